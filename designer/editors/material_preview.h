#pragma once
// CVTND_MaterialPreview: the 128 x 128 picture of a material on the preview sphere, drawn by the engine's own
// renderer through the world's active camera, shared by every material editor of the process.
//
// What it keeps between two refreshes holds nothing of a world: the render camera, the picture and the render
// surface. The sphere is the world's (a hidden mesh of the geometry list, object reference id 328328), found again
// at every refresh and built when missing, so a new world gets a sphere of its own and a world that went took its
// sphere with it. The sphere carries the edited material only while a refresh holds the world's lock: at the end
// of each render its polygons let the material go, so a material deleted later is never reached nor kept alive in
// a saved world by the hidden sphere.
#include <cstdint>
#include <memory>

class SWimage24;
class SWmaterial;
class SWmeshobject;
class SWrendercamera;
class SWrendersurface;
class SWworld;

inline constexpr int32_t kPreviewSphereId = 328328;
inline constexpr int32_t kPreviewSide = 128;
inline constexpr float kPreviewSphereRadius = 50.0f;
inline constexpr int32_t kPreviewSphereLevel = 5;

class CVTND_MaterialPreview {
public:
    static CVTND_MaterialPreview& Get(); // made on first use, kept until the process ends

    // Renders material (may be null) on the world's sphere, all under the world's lock, and puts back everything
    // of the world the render changed. False, with the picture as it was, when the world has no active camera,
    // its field of view is not a positive finite angle, or the surface cannot draw.
    bool Refresh(SWworld& world, SWmaterial* material);

    SWimage24* GetImage() const { return m_image.get(); } // null before the first refresh
    uint64_t GetRenderCount() const { return m_renders; } // refreshes that drew
    // The world's sphere, built (hidden, without material) and added when missing; under the caller's lock.
    static SWmeshobject* FindOrBuildSphere(SWworld& world);

private:
    CVTND_MaterialPreview();
    ~CVTND_MaterialPreview();
    bool MakeSurface();

    std::unique_ptr<SWrendercamera> m_camera;
    std::unique_ptr<SWimage24> m_image;
    std::unique_ptr<SWrendersurface> m_surface;
    uint64_t m_renders = 0;
};
