#pragma once
// The renderer's reference scene, built in code as a world so that tests, the tool and the benchmarks draw the
// same thing through SWrootobject::Render: a checker-textured Gouraud torus (20,480 triangles), a Phong sphere
// with a reflection layer in its hole, a see-through flat cube beside it and a stretched sky picture behind.
#include <cstdint>
#include <memory>

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

} // namespace rendertest
