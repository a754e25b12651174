#pragma once

#include <QObject>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <vector>

// Answers modal dialogs that open inside a handler the test cannot return
// from: every few milliseconds it looks at the topmost modal window and runs
// the first step meant for it, once.
class TModalDriver : public QObject {
public:
    using TStep = std::function<void(QWidget* dialog)>;

    TModalDriver() {
        connect(&Timer, &QTimer::timeout, this, [this] { Poll(); });
        Timer.start(20);
    }

    // Runs `act` the next time a modal window of type T is on top.
    template <class T> void When(std::function<void(T&)> act) {
        Steps.push_back({[](QWidget* w) { return dynamic_cast<T*>(w) != nullptr; },
                         [act](QWidget* w) { act(*dynamic_cast<T*>(w)); }});
    }

    bool Done() const { return Next == Steps.size(); }

private:
    struct TEntry {
        std::function<bool(QWidget*)> Matches;
        TStep Act;
    };

    void Poll();

    QTimer Timer;
    std::vector<TEntry> Steps;
    std::size_t Next = 0;
};
