#pragma once

#include "render/SceneMatrices.h"

#include <cmath>
#include <numbers>

// Column-major 4x4 arithmetic, enough to predict what GL should hold.
namespace MatrixMath {

inline TGLMatrix Identity() {
    TGLMatrix m{};
    m[0] = m[5] = m[10] = m[15] = 1.0f;
    return m;
}

inline TGLMatrix Multiply(const TGLMatrix& a, const TGLMatrix& b) {
    TGLMatrix r{};
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 4; ++row) {
            double sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += static_cast<double>(a[k * 4 + row]) * b[col * 4 + k];
            r[col * 4 + row] = static_cast<float>(sum);
        }
    return r;
}

inline TGLMatrix Translated(const TGLMatrix& m, float x, float y, float z) {
    TGLMatrix t = Identity();
    t[12] = x;
    t[13] = y;
    t[14] = z;
    return Multiply(m, t);
}

inline TGLMatrix RotatedX(const TGLMatrix& m, double degrees) {
    const double a = degrees * std::numbers::pi / 180.0;
    TGLMatrix r = Identity();
    r[5] = static_cast<float>(std::cos(a));
    r[6] = static_cast<float>(std::sin(a));
    r[9] = static_cast<float>(-std::sin(a));
    r[10] = static_cast<float>(std::cos(a));
    return Multiply(m, r);
}

} // namespace MatrixMath

#define EXPECT_MATRIX_NEAR(actual, expected)                                                       \
    do {                                                                                           \
        const TGLMatrix a_ = (actual), e_ = (expected);                                            \
        for (int k_ = 0; k_ < 16; ++k_)                                                            \
            EXPECT_NEAR(a_[k_], e_[k_], 1e-5) << "element " << k_;                                 \
    } while (0)
