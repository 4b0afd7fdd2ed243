#pragma once
// The per-frame lighting of a mesh and the vertex stage of the scalar mesh renderer. One headlight rides with the
// camera; a vertex is shaded by the angle between its normal and the light, looked up in the angle table and then
// in the material's two shade ramps. The stage writes screen vertices in the layout the group's format record
// gives (draw_groups.h), so a vertex never reaches past the stride.
#include <cstdint>
#include <span>

#include "engine/core/matrix.h"
#include "engine/core/vector.h"
#include "render/mesh/draw_groups.h"

class SWrendercamera;
struct SWviewport;

// What the vertex stage reads of a material's composited render data.
struct SWshadedata {
    const uint32_t* ramp1 = nullptr; // 256 colours; ramp 1 carries the opacity in its top byte
    const uint32_t* ramp2 = nullptr; // 256 colours
    float highlightScale = 0.0f;
    float highlightOffset = 0.484375f;
    uint32_t untextured[2] = {};
    uint32_t textured[2] = {};
};

// The frame's lighting state, all in the mesh's object space.
struct SWframelighting {
    SWmatrix combined;        // view matrix x render matrix
    SWmatrix objectFromView;  // its inverse
    SWmatrix objectFromWorld; // the render matrix's inverse
    SWvector eye;
    SWvector viewX;
    SWvector viewY;
    SWvector light;     // the headlight's point
    SWvector lightUnit; // the same as a unit direction from the origin
    SWvector b1;        // the highlight basis
    SWvector b2;
};

SWvector NormaliseTiny(const SWvector& v); // v / sqrt(v . v + tiny): the zero vector stays zero

void SetUpFrameLighting(const SWmatrix& view, const SWmatrix& render, const SWrendercamera& camera,
                        SWframelighting& out);

// The angle-table index of c = N . L^, clamped to the table (normals need not be unit length) with NaN as 0.
uint32_t ShadeIndex(const float* normal, const SWvector& lightUnit);
uint8_t ShadeOf(uint32_t index); // high byte of the angle-table entry

// The view-volume code of a vertex in clip space: 64 inside, else the bits of SWmesh::OutcodeOf.
uint8_t VertexOutcode(float x, float y, float z, float nearValue);

// The highlight pair of a normal: a light-facing one within k of (o, o), a back-facing one between k and 2k.
void HighlightPair(const float* normal, float c, const SWframelighting& lighting, float k, float o, float& u, float& v);
void ReflectionPair(const float* position, const float* normal, const SWframelighting& lighting, float& u, float& v);
// The light in a corner's tangent frame, as red, green and blue of 127 (1 - t.z), 127 (1 - t.y), 127 (1 - t.x).
uint32_t Dot3Colour(const SWtangentframe& frame, const SWvector& lightUnit);

// Shades every vertex of the group whose bit is set into out (stride words each, vertex by vertex). With a
// viewport the vertices are projected; without one they stay in clip space and get their outcode byte. Floats 4
// and 5 hold colour words as bits.
struct SWvertexstage {
    const SWdrawgroup* group = nullptr;
    const SWframelighting* lighting = nullptr;
    const SWshadedata* shade = nullptr;
    const SWviewport* viewport = nullptr; // null: clipped stage
    std::span<const uint32_t> visible;    // one bit per vertex
    float nearValue = -0.003f;
    uint32_t stride = 6;
};
void ShadeVertices(const SWvertexstage& stage, uint32_t* out, uint8_t* outcodes);
