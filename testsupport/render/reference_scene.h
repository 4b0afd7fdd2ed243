#pragma once
// The renderer's reference scene, built in code as a world so that tests, the tool and the benchmarks draw the
// same thing through SWrootobject::Render: a checker-textured Gouraud torus (20,480 triangles), a Phong sphere
// with a reflection layer in its hole, a see-through flat cube beside it and a stretched sky picture behind.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "testsupport/render/mesh_loading.h"

class SWmeshobject;
class SWrendercamera;
class SWrendersurface;
class SWworld;

namespace rendertest {

struct ReferenceScene {
    std::unique_ptr<SWworld> world; // owns the meshes, materials, pictures and the background
    SWmeshobject* torus = nullptr;
    SWmeshobject* sphere = nullptr;
    SWmeshobject* cube = nullptr;
};

ReferenceScene MakeReferenceScene();

// The default render camera orbiting the origin at radius 4 and height 1.2, at 30 + 3 frame degrees, looking at
// the origin; eyeShift moves it along its own x axis (the stereo pair's -0.03 and +0.03).
void PlaceReferenceCamera(SWrendercamera& camera, uint32_t frame, float eyeShift = 0.0f);

// The scene's background on the surface's buffers, so that each frame starts from the sky.
void ShowReferenceBackground(const ReferenceScene& scene, SWrendersurface& surface);

// One mesh in one render mode ("continuous", "flat", "gouraud", "phong", or "dot3": Gouraud with the checker as
// both diffuse and bump texture), in a world of its own, its material lit and textured with the scene's checker;
// the answer's torus field holds the mesh. Nullopt for an unknown mode.
std::optional<ReferenceScene> MakeMeshScene(const TexturedMesh& shape, const std::string& mode);
// A crowd of columns x rows Gouraud spheres of radius 0.5, one unit apart in a plane facing the crowd camera, each
// a UV sphere of `segments` x `rings` (about 2 x segments x rings triangles), the checker on every one; a plain
// background. The large worlds: 13 x 5 spheres of 128 x 64 hold about a million triangles, half facing the
// eye.
ReferenceScene MakeSphereCrowd(uint32_t columns, uint32_t rows, uint32_t segments, uint32_t rings);
// Looking at the crowd's centre from far enough that its columns fill a 4:3 view's width.
void PlaceCrowdCamera(SWrendercamera& camera, uint32_t columns);
// The built-in meshes of the mesh scenes ("cube", "sphere", "torus"), each of bounding radius 1; nullopt otherwise.
std::optional<TexturedMesh> MakeNamedMesh(const std::string& name);
// Seen from 35 degrees round and 20 degrees up, the eye 3.5 radii away; cutting, the near plane moves to 0.85
// radii in front of the centre, so it takes the near cap off the mesh inside the view.
void PlaceMeshCamera(SWrendercamera& camera, bool nearCut);

} // namespace rendertest
