#pragma once
// What a preview of the project changes, as it stood at Start, put back at Stop, so that Save and Publish store the
// project as it was made and the next preview starts as the reopened and published worlds do: the background, each
// drawn thing's hidden and visible bytes, hot-spot labels, the cameras' eyes and stereo values, the world's stereo
// flag, the textures' filtering, the camera each window looks through, the cursor, the animated meshes' vertices,
// how each sound plays next, and the worlds the run loaded. Keyed by what the tree and the lists reach, and put back
// only where they still reach it.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

class CVTN_SubWorldInstance;
class CVTND_ExtendedWorld;
class CVTNDesignerApp;
class SWbackground;
class SWcameranode;
class SWgeometry;
class SWmesh;
class SWnode;
class SWtexture;
class SWwindow;
class SWworld;

std::unique_ptr<SWbackground> CopyOfBackground(const SWbackground& background);

// An instance about to be unloaded, announced deleted while it lives: its merged objects as a removed scene file's
// are (resources only when they go too), then its top node, which the loader made and no record lists.
void AnnounceUnloading(CVTNDesignerApp& app, CVTND_ExtendedWorld& world, const CVTN_SubWorldInstance& instance,
                       bool resources);

class CVTND_PreviewStart {
public:
    // Under the world's lock, as the run starts.
    void Keep(SWworld& world);
    // The background the project holds now is its own (taken from a scene file while the run goes on).
    void KeepBackground(SWworld& world);
    bool IsKept() const { return m_background.has_value(); }
    // Under the world's lock, the run stopped and its stop frame run. The worlds the run loaded are announced to app
    // (when it shows this world) and unloaded. Answers whether the background was put back: the views' renderers
    // then hold one just deleted.
    bool PutBack(CVTNDesignerApp& app, CVTND_ExtendedWorld& world);

private:
    struct Background {
        uint64_t serial = 0;                // of the root's background then; 0: it had none
        std::unique_ptr<SWbackground> copy; // null: it had none
    };
    std::optional<Background> m_background;
    std::map<const SWgeometry*, std::pair<bool, bool>> m_visibility; // hidden, visible
    std::map<const SWnode*, uint8_t> m_labels;
    std::map<const SWnode*, std::pair<uint8_t, bool>> m_eyes; // the configured eye, stereo shown
    std::map<const SWgeometry*, std::pair<float, float>> m_stereo;
    uint8_t m_worldStereo = 0;
    std::map<const SWtexture*, uint32_t> m_textureFlags;
    std::map<const SWwindow*, SWcameranode*> m_cameras; // compared with the tree before it is followed
    std::map<const SWmesh*, std::vector<float>> m_vertices;
    // The sub-world instances loaded when the preview started; the stop takes out every other one. Compared,
    // never followed.
    std::set<const CVTN_SubWorldInstance*> m_instances;
};
