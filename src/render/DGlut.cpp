#include "render/DGlut.h"

#include <GL/gl.h>

#include <cmath>
#include <numbers>

void TImmediateGL::Begin(unsigned primitive) {
    glBegin(primitive);
}
void TImmediateGL::Normal(float x, float y, float z) {
    glNormal3f(x, y, z);
}
void TImmediateGL::Vertex(float x, float y, float z) {
    glVertex3f(x, y, z);
}
void TImmediateGL::End() {
    glEnd();
}

namespace {

// The angle of step k out of count, kept as a single float.
float StepAngle(int k, int count) {
    return static_cast<float>(k * 2.0 * std::numbers::pi / count);
}

void EmitPoint(float r, float R, float a, float b, TFacetSink& out) {
    const double ca = std::cos(a), sa = std::sin(a), cb = std::cos(b), sb = std::sin(b);
    const double dist = R + r * cb;
    out.Normal(static_cast<float>(ca * cb), static_cast<float>(-sa * cb), static_cast<float>(sb));
    out.Vertex(static_cast<float>(ca * dist), static_cast<float>(-sa * dist),
               static_cast<float>(r * sb));
}

} // namespace

void TorusFacets(float tubeRadius, float centreRadius, int sides, int rings, unsigned primitive,
                 TFacetSink& out) {
    for (int i = 0; i < rings; ++i) {
        const float theta = StepAngle(i, rings);
        const float theta1 = StepAngle(i + 1, rings);
        for (int j = 0; j < sides; ++j) {
            const float phi = StepAngle(j, sides);
            const float phi1 = StepAngle(j + 1, sides);
            out.Begin(primitive);
            EmitPoint(tubeRadius, centreRadius, theta, phi1, out);
            EmitPoint(tubeRadius, centreRadius, theta1, phi1, out);
            EmitPoint(tubeRadius, centreRadius, theta1, phi, out);
            EmitPoint(tubeRadius, centreRadius, theta, phi, out);
            out.End();
        }
    }
}

void SolidTorus(float tubeRadius, float centreRadius, int sides, int rings) {
    TImmediateGL gl;
    TorusFacets(tubeRadius, centreRadius, sides, rings, GL_QUADS, gl);
}
