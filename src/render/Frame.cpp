#include "render/Frame.h"

#include "game/MoveRules.h"
#include "render/DGlut.h"

#include <GL/gl.h>

#include <exception>

namespace {

constexpr float r = TubeRadius;
constexpr float RodHeight = 2.0f * r * RingCount - 0.5f;

// Runs one move rule. A cue that fails strikes after the rule changed the
// board, so the ring's matrix must still follow the board before the frame
// ends: the first failure is kept and rethrown once the matrix is captured.
template <class Rule> void RunRule(Rule&& rule, std::exception_ptr& failure) {
    if (failure)
        return;
    try {
        rule();
    } catch (...) {
        failure = std::current_exception();
    }
}

void DrawRing(int i, TBoardState& board, TSceneMatrices& matrices, TFrameHost& host) {
    const int p = board.SelectedPeg;
    const int level = board.Rings[i].Level;
    std::exception_ptr failure;
    LoadModelview(matrices.RingCurrent[i]);
    RunRule([&] { TryLift(board, i, host); }, failure);
    if (board.CarriedRing == i) {
        LoadModelview(matrices.PegMatrix[p]);
        glTranslatef(0.0f, 0.0f, CarriedOffset(i, level));
    }
    if (!failure && CanPlace(board, i)) {
        // The placed transform uses the count before the ring lands.
        const float count = static_cast<float>(board.Pegs[p].Count);
        const float l = static_cast<float>(level);
        LoadModelview(matrices.PegMatrix[p]);
        glTranslatef(0.0f, 0.0f, 1.5f * r * (l - count));
        glTranslatef(0.0f, 0.0f, -1.5f * r * l);
        RunRule([&] { TryPlace(board, i, host); }, failure);
    }
    CaptureModelview(matrices.RingCurrent[i]);
    if (failure)
        std::rethrow_exception(failure);
    CheckRefusal(board, i, host);
    const auto colour = RingColour(level);
    glColor3f(colour[0], colour[1], colour[2]);
    SolidTorus(r, board.Rings[i].MajorRadius, Slices, Slices);
}

} // namespace

std::array<float, 3> RingColour(int level) {
    const float l = static_cast<float>(level);
    const float n = static_cast<float>(RingCount);
    return {(l + 1.0f) / (l + 4.0f) + 0.8f, (l + 1.0f) / (n + 5.0f) + 0.4f,
            (l + 1.0f) / (n + 6.0f) + 0.2f};
}

float CarriedOffset(int ring, int level) {
    return -2.0f * r * static_cast<float>(RingCount - ring) - 1.5f * r * static_cast<float>(level);
}

void DrawPeg(int p, const TBoardState& board, const TSceneMatrices& matrices, GLUquadric* quadric) {
    glRotatef(180.0f, 1.0f, 0.0f, 0.0f);
    if (p == board.SelectedPeg)
        glColor3f(0.8f, 0.3f, 0.3f);
    else
        glColor3f(0.7f, 0.7f, 0.7f);
    glTranslatef(0.0f, 0.0f, -r);
    gluCylinder(quadric, 0.2, 0.2, RodHeight, Slices, Slices);
    glTranslatef(0.0f, 0.0f, RodHeight);
    gluDisk(quadric, 0.0, 0.2, Slices, Slices);

    LoadModelview(matrices.PegMatrix[p]);
    glRotatef(180.0f, 1.0f, 0.0f, 0.0f);
    glColor3f(1.0f, 1.0f, 1.0f);
    glTranslatef(0.0f, 0.0f, -(r + 0.2f));
    gluCylinder(quadric, 2.0, 2.0, 0.2, Slices, Slices);
    glTranslatef(0.0f, 0.0f, 0.2f);
    gluDisk(quadric, 0.2, 2.0, Slices, Slices);
}

void DrawFrame(TBoardState& board, TSceneMatrices& matrices, GLUquadric* quadric,
               TFrameHost& host) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    CaptureModelview(matrices.BaseView);
    try {
        glTranslatef(-3.0f, 0.0f, 0.0f);
        CaptureModelview(matrices.PegMatrix[0]);
        DrawPeg(0, board, matrices, quadric);

        LoadModelview(matrices.BaseView);
        CaptureModelview(matrices.PegMatrix[1]);
        DrawPeg(1, board, matrices, quadric);

        LoadModelview(matrices.BaseView);
        glTranslatef(3.0f, 0.0f, 0.0f);
        CaptureModelview(matrices.PegMatrix[2]);
        DrawPeg(2, board, matrices, quadric);

        for (int i = 0; i < RingCount; ++i)
            DrawRing(i, board, matrices, host);

        ForcePutMode(board);
    } catch (...) {
        LoadModelview(matrices.BaseView);
        throw;
    }

    bool solved = false;
    try {
        solved = CheckSolved(board, host);
    } catch (const std::exception& e) {
        // Only the solved cue can fail here, and it plays once the game is
        // stopped: the puzzle is solved all the same, so the player still
        // gets the name entry and the frame is still shown.
        solved = true;
        host.ReportError(e.what());
    }
    if (solved) {
        try {
            host.BeginNameEntry();
        } catch (...) {
            LoadModelview(matrices.BaseView);
            throw;
        }
    }

    LoadModelview(matrices.BaseView);
    host.SwapBuffers();
}
