#pragma once

class QObject;
class QWindow;

// What the fixed-size guard does differently with each Qt version: one unit
// for Qt before 6.5 (FixedSizeQt64.cpp), one for later ones
// (FixedSizeQt65.cpp), chosen in CMakeLists.txt.

// Takes back on the Wayland connection an enlargement Qt has just asked for,
// where Qt cannot be trusted to do so itself.
void WithdrawEnlargement(QWindow* window);

// Tells whether a state change the window system applied was its own, for
// Qt versions that report a state only as the window already holds it
// again.
class TEnlargementSignals {
public:
    // An enlarged state was signalled; context bounds the check's lifetime.
    void Signalled(QObject* context);
    // At the applied state's event: the compositor applied an enlargement
    // that was not asked for.
    bool AppliedUnasked();

private:
    bool WasSignalled = false; // signalled, its event not seen yet
    bool Requested = false;    // asked for, not yet carried out
};
