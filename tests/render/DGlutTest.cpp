#include "render/DGlut.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

namespace {

struct TPoint {
    float nx, ny, nz, x, y, z;
};

// Keeps every facet as the list of its normal/vertex pairs.
class TFacetRecorder : public TFacetSink {
public:
    void Begin(unsigned primitive) override {
        ASSERT_FALSE(Open) << "nested begin";
        Open = true;
        Primitives.push_back(primitive);
        Facets.emplace_back();
    }
    void Normal(float x, float y, float z) override { PendingNormal = {x, y, z}; }
    void Vertex(float x, float y, float z) override {
        ASSERT_TRUE(Open) << "vertex outside begin/end";
        Facets.back().push_back({PendingNormal[0], PendingNormal[1], PendingNormal[2], x, y, z});
    }
    void End() override {
        ASSERT_TRUE(Open);
        Open = false;
    }

    std::vector<unsigned> Primitives;
    std::vector<std::vector<TPoint>> Facets;
    bool Open = false;

private:
    std::array<float, 3> PendingNormal{};
};

TEST(SolidTorus, GameTorusIs625SeparateQuadsOfFourVertices) {
    TFacetRecorder out;
    TorusFacets(0.5f, 1.0f, 25, 25, GL_QUADS, out);
    ASSERT_EQ(out.Facets.size(), 625u);
    TFacetRecorder fat; // a tube wider than the centre line still draws
    TorusFacets(2.0f, 1.0f, 4, 4, GL_QUADS, fat);
    EXPECT_EQ(fat.Facets.size(), 16u);
    EXPECT_FALSE(out.Open);
    for (std::size_t f = 0; f < out.Facets.size(); ++f) {
        EXPECT_EQ(out.Primitives[f], 7u);
        EXPECT_EQ(out.Facets[f].size(), 4u);
    }
}

TEST(SolidTorus, FirstFacetRunsThetaPhi1ThenTheta1Phi1ThenTheta1PhiThenThetaPhi) {
    TFacetRecorder out;
    const float r = 0.5f, R = 0.9f;
    TorusFacets(r, R, 25, 25, GL_QUADS, out);
    const float step = static_cast<float>(2.0 * 3.14159265358979323846 / 25);
    const float angles[4][2] = {{0, step}, {step, step}, {step, 0}, {0, 0}};
    const auto& facet = out.Facets.front();
    for (int k = 0; k < 4; ++k) {
        const double a = angles[k][0], b = angles[k][1];
        const TPoint& p = facet[k];
        EXPECT_FLOAT_EQ(p.x, static_cast<float>(std::cos(a) * (R + r * std::cos(b)))) << k;
        EXPECT_FLOAT_EQ(p.y, static_cast<float>(-std::sin(a) * (R + r * std::cos(b)))) << k;
        EXPECT_FLOAT_EQ(p.z, static_cast<float>(r * std::sin(b))) << k;
        EXPECT_FLOAT_EQ(p.nx, static_cast<float>(std::cos(a) * std::cos(b))) << k;
        EXPECT_FLOAT_EQ(p.ny, static_cast<float>(-std::sin(a) * std::cos(b))) << k;
        EXPECT_FLOAT_EQ(p.nz, static_cast<float>(std::sin(b))) << k;
    }
    // The outermost point of the first facet lies on the x axis at R + r.
    EXPECT_FLOAT_EQ(facet[3].x, R + r);
    EXPECT_FLOAT_EQ(facet[3].y, 0.0f);
}

TEST(SolidTorus, NoSidesOrRingsDrawsNothing) {
    for (const auto& [sides, rings] : {std::pair{0, 25}, {25, 0}, {-3, 25}, {25, -1}}) {
        TFacetRecorder out;
        TorusFacets(0.5f, 1.0f, sides, rings, GL_QUADS, out);
        EXPECT_TRUE(out.Facets.empty()) << sides << " sides, " << rings << " rings";
    }
}

} // namespace
