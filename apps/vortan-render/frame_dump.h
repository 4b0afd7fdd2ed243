#pragma once
// `vortan-render scene --dump DIR`: each frame's screen-space triangles, exactly as the rasteriser received them
// (after clipping, sorting and joining), with the background they were drawn over, the textures they read and the
// frame we drew, written to DIR/frame-NNNN.bin for the GL peer of bench/peer/. For the frame-level side-by-side it
// also writes DIR/mesh-NNNN.bin: the object-space draw groups the frame drew, with the matrices and the inputs of our
// vertex stage, so that the peer transforms, shades, culls and clips them itself. The layouts are in
// bench/peer/README.md.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "render/software/rasteriser.h"

class SWpixelbuffer;
class SWrendertarget;
class SWrootobject;
class SWtexture;

namespace rendertool {

class FrameDump final : public SWtrianglerecorder {
public:
    explicit FrameDump(std::string directory) : m_directory(std::move(directory)) {}

    void BeginFrame(const SWpixelbuffer& background); // the buffer as refreshed, before anything is drawn
    void Record(const Run& run, const uint32_t* v0, const uint32_t* v1, const uint32_t* v2) override;
    // After the frame is drawn, before EndFrame: every draw group of the world's meshes whose triangles reached the
    // rasteriser this frame, as the vertex stage saw it, with the target's viewport and the camera's lighting.
    void AddMeshes(SWrootobject& root, SWrendertarget& target);
    // Writes DIR/frame-NNNN.bin with the frame as drawn; false, with the reason, when it cannot.
    bool EndFrame(const SWpixelbuffer& drawn, uint32_t frame, std::string& outError);

private:
    struct DumpRun {
        SWtrianglerecorder::Run run;
        std::vector<uint32_t> words; // three vertex records of the format's stride per triangle
    };
    int32_t TextureId(const SWtexture* texture);
    void PutRunHeader(std::string& out, const Run& run); // pipeline, depth, blend and format as README.md gives them

    std::string m_directory;
    int32_t m_width = 0;
    int32_t m_height = 0;
    std::vector<uint32_t> m_background;
    std::vector<DumpRun> m_runs;
    std::map<const SWtexture*, int32_t> m_textureIds; // not owned: the scene's, alive for the frame
    std::vector<const SWtexture*> m_textures;
    std::string m_meshes; // the mesh file from its viewport on; empty when AddMeshes was not called
};

} // namespace rendertool
