#pragma once

#include "app/App.h"
#include "game/BoardState.h"
#include "support/QtPrinters.h"
#include "support/TempWorkDir.h"

#include <gtest/gtest.h>

#include <QRect>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// The game's windows with their own board, in a fresh working directory that
// holds the five cue files. Errors are collected instead of shown.
class MainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Shows the window and waits for its first frame and the start-up after it.
    void ShowWindow();
    // Presses a key on the main window and waits for the frame it asks for;
    // when that frame never comes the test fails here. Loops that press
    // until something happens stop through ASSERT_NO_FATAL_FAILURE.
    void Press(int key);
    // Waits until more than `frames` frames were swapped; false when they
    // did not come in time.
    [[nodiscard]] bool WaitForFrameAfter(int frames);

    // Where the host's screen (see HostDesktop.h) shows the scene whole, as
    // the game draws it now; the pointer is moved off it first.
    std::optional<QRect> SceneOnHostScreen();

    std::unique_ptr<TTempWorkDir> Dir;
    TBoardState Board = InitialBoardState();
    std::unique_ptr<TTarvinWindows> Windows;
    TFrmGL* Frm = nullptr;
    QStringList Errors;
};
