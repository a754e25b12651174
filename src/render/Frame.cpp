#include "render/Frame.h"

#include "game/MoveRules.h"
#include "render/DGlut.h"

#include <GL/gl.h>

#include <exception>

namespace {

constexpr float r = TubeRadius;
constexpr float RodHeight = 2.0f * r * RingCount - 0.5f;

void DrawRing(int i, TBoardState& board, TSceneMatrices& matrices, TFrameHost& host) {
    const int p = board.SelectedPeg;
    const float level = static_cast<float>(board.Rings[i].Level);
    LoadModelview(matrices.RingCurrent[i]);
    TryLift(board, i, host);
    if (board.CarriedRing == i) {
        LoadModelview(matrices.PegMatrix[p]);
        glTranslatef(0.0f, 0.0f, -2.0f * r * static_cast<float>(RingCount - i));
        glTranslatef(0.0f, 0.0f, -1.5f * r * level);
    }
    if (CanPlace(board, i)) {
        // The placed transform uses the count before the ring lands.
        const float count = static_cast<float>(board.Pegs[p].Count);
        LoadModelview(matrices.PegMatrix[p]);
        glTranslatef(0.0f, 0.0f, 1.5f * r * (level - count));
        glTranslatef(0.0f, 0.0f, -1.5f * r * level);
        TryPlace(board, i, host);
    }
    CaptureModelview(matrices.RingCurrent[i]);
    CheckRefusal(board, i, host);
    const auto colour = RingColour(board.Rings[i].Level);
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

    const bool armed = board.GameActive == 1;
    bool solved = false;
    try {
        solved = CheckSolved(board, host);
    } catch (const std::exception& e) {
        // The solved cue fails after the game was already stopped: report it
        // and still let the player enter a name.
        solved = armed && board.GameActive == 0;
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
