// setDIBitsToDevice with caller-chosen headers, rectangles, scan ranges and row bytes: whatever they say, nothing
// may be read past the rows given or written outside the clip. Input layout (little-endian):
//   0 biWidth i32, 4 biHeight i32, 8 biBitCount u16, 10 biClrUsed u32, 14 biCompression u8, 15 biPlanes u8,
//   16 xDest i32, 20 yDest i32, 24 width u32, 28 height u32, 32 xSrc i32, 36 ySrc i32, 40 startScan u32,
//   44 lines u32, 48 colour count u8, 49 clip byte (bit 0: clip on, then 4-bit left and top), then the colour
//   table (4 bytes each, as many as fit) and the row bytes.
#include "platform/base/endian.h"
#include "platform/gfx/surface_dc.h"

#include <cstdlib>
#include <memory>
#include <vector>

namespace {

constexpr int32_t kWidth = 24;
constexpr int32_t kHeight = 20;
constexpr int32_t kMargin = 4;
constexpr uint32_t kCanary = 0xA5A5A5A5u;
constexpr size_t kHeaderBytes = 50;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < kHeaderBytes)
        return 0;
    pf::BitmapInfoHeader header;
    header.biWidth = static_cast<int32_t>(pf::loadU32le(data));
    header.biHeight = static_cast<int32_t>(pf::loadU32le(data + 4));
    header.biBitCount = pf::loadU16le(data + 8);
    header.biClrUsed = pf::loadU32le(data + 10);
    header.biCompression = data[14];
    header.biPlanes = data[15];
    const auto i32 = [&](size_t at) { return static_cast<int32_t>(pf::loadU32le(data + at)); };

    const size_t colourCount = std::min<size_t>(data[48], (size - kHeaderBytes) / 4);
    std::vector<pf::RgbQuad> colours(colourCount);
    for (size_t i = 0; i < colourCount; ++i) {
        const uint8_t* q = data + kHeaderBytes + 4 * i;
        colours[i] = {q[0], q[1], q[2], q[3]};
    }
    const size_t rowsAt = kHeaderBytes + 4 * colourCount;
    // The rows live in their own allocation so that any over-read lands outside it.
    const std::vector<uint8_t> rows(data + rowsAt, data + size);

    constexpr int32_t stride = kWidth + 2 * kMargin;
    std::vector<uint32_t> memory(static_cast<size_t>(stride * (kHeight + 2 * kMargin)), kCanary);
    auto surface = std::make_shared<pf::Surface32>(&memory[kMargin * stride + kMargin], kWidth, kHeight, stride * 4);
    surface->fill(0);
    pf::SurfaceDc dc(surface);
    const uint8_t clip = data[49];
    if ((clip & 1) != 0)
        dc.intersectClipRect({(clip >> 1) & 7, (clip >> 4) & 7, kWidth - 2, kHeight - 3});
    pf::BitmapInfo info;
    info.bmiHeader = header;
    info.bmiColors = colours;
    dc.setDIBitsToDevice(i32(16), i32(20), pf::loadU32le(data + 24), pf::loadU32le(data + 28), i32(32), i32(36),
                         pf::loadU32le(data + 40), pf::loadU32le(data + 44), rows, info, pf::DIB_RGB_COLORS);

    const pf::Rect clipRect = (clip & 1) != 0 ? pf::Rect{(clip >> 1) & 7, (clip >> 4) & 7, kWidth - 2, kHeight - 3}
                                              : pf::Rect{0, 0, kWidth, kHeight};
    for (int32_t y = -kMargin; y < kHeight + kMargin; ++y) {
        for (int32_t x = -kMargin; x < kWidth + kMargin; ++x) {
            const uint32_t pixel = memory[static_cast<size_t>((y + kMargin) * stride + x + kMargin)];
            const bool inSurface = x >= 0 && y >= 0 && x < kWidth && y < kHeight;
            if (!inSurface && pixel != kCanary)
                std::abort(); // written outside the surface
            if (inSurface && !clipRect.contains({x, y}) && pixel != 0)
                std::abort(); // written outside the clip
        }
    }
    return 0;
}
