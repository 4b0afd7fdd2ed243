// Clipper fuzz target: triangles of any stride (4 to 255 words) and lead, with any floats, clipped through the
// call the mesh renderer makes. Input: u8 stride, u8 lead, f32 near distance, f32 far distance, then triangles of
// 3 x stride words until the input ends. Outcodes are computed from the vertices as the vertex stage does.
// Nothing may be written outside a buffer; for finite input every vertex left lies in the view volume (before
// projection for the first triangle of a fan, taken back from the screen for the rest).
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "render/format_record.h"
#include "render/mesh/clipper.h"
#include "render/render_batch.h"
#include "render/render_camera.h"
#include "render/render_surface.h"

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;
constexpr float kSlack = 1e-5f;

uint8_t OutcodeOf(const uint32_t* v, float nearValue)
{
    const float x = std::bit_cast<float>(v[0]);
    const float y = std::bit_cast<float>(v[1]);
    const float z = std::bit_cast<float>(v[2]);
    return (x < z ? 1 : 0) | (x > -z ? 2 : 0) | (y < z ? 4 : 0) | (y > -z ? 8 : 0) | (z > nearValue ? 16 : 0) |
           (z < -1.0f ? 32 : 0);
}

// The volume test holds to 1e-5 only where f32 carries that: a cut between corners of 1e30 keeps about 1e23 of
// rounding. Larger corners are still clipped, and still must not write outside a buffer.
bool IsWithinPrecision(const uint32_t* v)
{
    constexpr float kLargest = 1e4f;
    for (int i = 0; i < 3; ++i)
        if (!(std::fabs(std::bit_cast<float>(v[i])) <= kLargest))
            return false;
    return true;
}

bool InsideVolume(const uint32_t* v, float nearValue)
{
    const float x = std::bit_cast<float>(v[0]);
    const float y = std::bit_cast<float>(v[1]);
    const float z = std::bit_cast<float>(v[2]);
    return z <= nearValue + kSlack && z >= -1.0f - kSlack && std::fabs(x) <= -z + kSlack && std::fabs(y) <= -z + kSlack;
}

// A projected fan vertex taken back to clip space with the frame's factors, then tested as the first triangle is:
// a screen test would scale the 1e-5 by 1/z, which near 0 is unbounded.
bool InsideAfterProjection(const uint32_t* v, const SWviewport& viewport, float nearValue)
{
    const float z = (std::bit_cast<float>(v[2]) - viewport.depthOffset) / viewport.depthScale;
    const float x = (std::bit_cast<float>(v[0]) - viewport.xOffset) / viewport.xScale * z;
    const float y = (std::bit_cast<float>(v[1]) - viewport.yOffset) / viewport.yScale * z;
    const uint32_t clip[3] = {std::bit_cast<uint32_t>(x), std::bit_cast<uint32_t>(y), std::bit_cast<uint32_t>(z)};
    return InsideVolume(clip, nearValue);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 10)
        return 0;
    const int stride = 4 + data[0] % 252;
    const int lead = data[1];
    float nearDistance, farDistance;
    std::memcpy(&nearDistance, data + 2, 4);
    std::memcpy(&farDistance, data + 6, 4);
    if (!std::isfinite(nearDistance) || !std::isfinite(farDistance) || nearDistance < 0.0f ||
        farDistance <= nearDistance * 1.001f || farDistance > 1e6f)
        nearDistance = 0.15f, farDistance = 50.0f;
    data += 10;
    size -= 10;

    SWrendercamera camera;
    camera.SetNearPlane(nearDistance);
    camera.SetFarPlane(farDistance);
    SWrendersurface surface;
    if (!surface.Init())
        return 0;
    surface.SetCamera(&camera);
    surface.Resize(kWidth, kHeight);
    surface.BeginFrame();
    float matrix[16];
    surface.GetViewMatrix(matrix);
    const float nearValue = surface.NearValue();
    SWrenderbatch* const batch = surface.Queue().NewBatch();
    SWtexturestages* const format = batch != nullptr ? batch->TakeFormatRecord() : nullptr;
    if (format == nullptr)
        return 0;
    format->vertexStride = static_cast<uint8_t>(stride);
    format->firstFloatWord = static_cast<uint8_t>(lead);

    const size_t triangleBytes = static_cast<size_t>(3) * stride * 4;
    for (int count = 0; size >= triangleBytes && count < 64; ++count, data += triangleBytes, size -= triangleBytes) {
        SWprimitivenode* const node = batch->AllocPrimitives(1);
        uint32_t* const words = batch->TakeWords(3 * stride);
        if (node == nullptr || words == nullptr)
            break;
        std::memcpy(words, data, triangleBytes);
        const uint8_t codes[3] = {OutcodeOf(words, nearValue), OutcodeOf(words + stride, nearValue),
                                  OutcodeOf(words + 2 * stride, nearValue)};
        const bool isFinite =
            IsWithinPrecision(words) && IsWithinPrecision(words + stride) && IsWithinPrecision(words + 2 * stride);
        node->format = format;
        node->vertices = words;
        batch->AppendPrimitives(node);
        SWprimitivenode* const tail = batch->EndNode()->prev;
        surface.GetClipper()->ClipQueuedTriangle(node, codes, *batch);
        if (!isFinite || batch->EndNode()->prev == nullptr)
            continue;
        bool isListed = false;
        for (const SWprimitivenode* n = batch->FirstNode(); n != batch->EndNode(); n = n->next)
            isListed = isListed || n == node;
        if (!isListed)
            continue;
        if ((codes[0] | codes[1] | codes[2]) != 0)
            for (int i = 0; i < 3; ++i)
                if (!InsideVolume(words + i * stride, nearValue))
                    __builtin_trap();
        for (const SWprimitivenode* n = tail->next; n != batch->EndNode(); n = n->next)
            for (int i = 0; i < 3; ++i)
                if (n != node && !InsideAfterProjection(n->vertices + i * stride, surface.Viewport(), nearValue))
                    __builtin_trap();
    }
    surface.EndFrame();
    return 0;
}
