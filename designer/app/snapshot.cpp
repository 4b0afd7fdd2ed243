#include "designer/app/snapshot.h"

#include <algorithm>
#include <cctype>
#include <new>

#include "engine/core/camera_node.h"
#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "engine/resources/image32.h"
#include "platform/gfx/jpeg_file.h"
#include "platform/gfx/png_file.h"
#include "platform/gfx/surface32.h"
#include "render/render_camera.h"
#include "render/render_surface.h"
#include "render/software/depth_buffer.h"
#include "render/software/pixel_buffer.h"

namespace {

constexpr int32_t kMaxSide = 16384;

bool EndsWithPng(const std::string& path)
{
    if (path.size() < 4)
        return false;
    std::string tail = path.substr(path.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return std::tolower(c); });
    return tail == ".png";
}

// A pixel took a depth value this frame: its block was cleared for a triangle and the value is not the empty 0.
bool HasDepth(const SWdepthbuffer& depth, int32_t x, int32_t y)
{
    if (y >= depth.Height() || x >= depth.Width())
        return false;
    if (((depth.ClearMask(y) >> (static_cast<uint32_t>(x) >> depth.BlockShift())) & 1u) != 0)
        return false;
    return depth.Row(y)[x] != 0;
}

} // namespace

std::optional<CVTND_Snapshot> DrawSnapshot(SWworld& world, SWcameranode* camera, int32_t width, int32_t height,
                                           std::string& outError)
{
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
        outError = "the view has no size to take";
        return std::nullopt;
    }
    SWrootobject* root = world.GetRootObject();
    if (root == nullptr) {
        outError = "the world has nothing to draw";
        return std::nullopt;
    }
    try {
        SWrendercamera eye;
        if (const SWcameraobject* lens = camera != nullptr ? camera->GetCameraObject() : nullptr)
            lens->ComputeSurfaceMatrices(camera->GetWorldMatrix(), eye,
                                         static_cast<float>(width) / static_cast<float>(height));
        SWrendersurface surface;
        if (!surface.Init()) {
            outError = "out of memory for the drawing";
            return std::nullopt;
        }
        surface.SetCamera(&eye);
        surface.BufferA().SetBackground(root->GetBackground());
        surface.BufferB().SetBackground(root->GetBackground());
        SWimage32 image("snapshot", width, height, nullptr);
        if (!surface.AttachImage(&image)) {
            outError = "out of memory for " + std::to_string(width) + " x " + std::to_string(height) + " pixels";
            return std::nullopt;
        }
        surface.BeginFrame();
        surface.RefreshBuffers();
        const bool queued = root->Render(surface);
        const bool ended = surface.EndFrame();
        if (!queued || !ended) {
            outError = "the world could not be drawn";
            return std::nullopt;
        }
        CVTND_Snapshot shot;
        shot.width = width;
        shot.height = height;
        shot.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
        const SWdepthbuffer& depth = surface.GetCurrentBuffer()->Depth();
        const uint32_t* source = image.GetPixels();
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) {
                const size_t at = static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x);
                shot.pixels[at] = (source[at] & 0x00FFFFFFu) | (HasDepth(depth, x, y) ? 0xFF000000u : 0u);
            }
        return shot;
    } catch (const std::bad_alloc&) {
        outError = "out of memory for " + std::to_string(width) + " x " + std::to_string(height) + " pixels";
        return std::nullopt;
    }
}

bool WriteSnapshot(const std::string& path, const CVTND_Snapshot& shot, int quality, std::string& outError)
{
    if (shot.width <= 0 || shot.height <= 0 ||
        shot.pixels.size() != static_cast<size_t>(shot.width) * static_cast<size_t>(shot.height)) {
        outError = "the snapshot is empty";
        return false;
    }
    if (!EndsWithPng(path)) {
        const pf::Surface32 surface(const_cast<uint32_t*>(shot.pixels.data()), shot.width, shot.height,
                                    static_cast<ptrdiff_t>(shot.width) * 4);
        return pf::writeJpegFile(path, surface, std::clamp(quality, 0, 100), outError);
    }
    pf::PngImage image;
    image.width = shot.width;
    image.height = shot.height;
    image.pixels = pf::PngPixels::kBgra;
    image.bytes.resize(shot.pixels.size() * 4);
    for (size_t i = 0; i < shot.pixels.size(); ++i) {
        const uint32_t p = shot.pixels[i];
        image.bytes[i * 4] = static_cast<uint8_t>(p);
        image.bytes[i * 4 + 1] = static_cast<uint8_t>(p >> 8);
        image.bytes[i * 4 + 2] = static_cast<uint8_t>(p >> 16);
        image.bytes[i * 4 + 3] = static_cast<uint8_t>(p >> 24);
    }
    return pf::writePngFileWithAlpha(path, image, outError);
}
