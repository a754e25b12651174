#pragma once

// Solid shapes drawn as separate primitives with per-vertex normals.

// Where the facets go: immediate-mode GL in the game, a recorder in tests.
class TFacetSink {
public:
    virtual ~TFacetSink() = default;
    virtual void Begin(unsigned primitive) = 0;
    virtual void Normal(float x, float y, float z) = 0;
    virtual void Vertex(float x, float y, float z) = 0;
    virtual void End() = 0;
};

// Sends everything straight to the current GL context.
class TImmediateGL final : public TFacetSink {
public:
    void Begin(unsigned primitive) override;
    void Normal(float x, float y, float z) override;
    void Vertex(float x, float y, float z) override;
    void End() override;
};

// The torus surface, one primitive of the given type per facet, rings
// around the axis (outer loop) by sides around the tube. Nothing for
// sides or rings of 0 or less.
void TorusFacets(float tubeRadius, float centreRadius, int sides, int rings, unsigned primitive,
                 TFacetSink& out);

// A torus in the xy plane of the current matrix, centred on its origin,
// drawn as quadrilaterals.
void SolidTorus(float tubeRadius, float centreRadius, int sides, int rings);
