#pragma once
// SWpixelbuffer: the colour buffer the software rasteriser draws into and presentation copies from, 32-bit words
// 0x00RRGGBB, rows top to bottom. Per row it keeps bit masks of the blocks drawn in this frame (current) and the
// frame before (previous), so that clearing at the start of a frame and converting at presentation touch only
// blocks that changed. It clears to a background colour or image and owns a depth buffer of the same size and
// block width.
#include <cstdint>
#include <memory>

#include "render/software/background_view.h"
#include "render/software/depth_buffer.h"

class SWbackground;
class SWtexture;

class SWpixelbuffer {
public:
    static constexpr int32_t kMostSide = 65535;
    static constexpr int64_t kMostPixels = int64_t{1} << 28; // the image decoders' cap

    SWpixelbuffer() = default;
    SWpixelbuffer(const SWpixelbuffer&) = delete;
    SWpixelbuffer& operator=(const SWpixelbuffer&) = delete;
    virtual ~SWpixelbuffer() = default;

    // Owned pixels, all cleared. False with nothing allocated for a side above kMostSide or more than kMostPixels
    // (the buffer is left as it was), or when memory runs out (the buffer is left empty); a side below 1 empties the
    // buffer and answers true.
    virtual bool SetSize(int32_t width, int32_t height);
    // The image's working pixels become the buffer's (not owned; the image outlives the attachment), so that an
    // off-screen frame is drawn straight into it; false for null or an image without pixels, and as SetSize.
    virtual bool AttachImage(SWtexture* image);
    bool AttachPixels(uint32_t* pixels, int32_t width, int32_t height); // the same for plain memory

    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }
    int32_t PitchBytes() const { return m_width * 4; }
    uint32_t BlockShift() const { return m_blockShift; }
    bool IsAttached() const { return m_attached != 0; }
    uint32_t* Row(int32_t y) { return m_pixels + static_cast<int64_t>(y) * m_width; }
    const uint32_t* Row(int32_t y) const { return m_pixels + static_cast<int64_t>(y) * m_width; }
    uint32_t& CurrentMask(int32_t y) { return m_current[y]; }
    uint32_t CurrentMask(int32_t y) const { return m_current[y]; }
    uint32_t& PreviousMask(int32_t y) { return m_previous[y]; }
    uint32_t PreviousMask(int32_t y) const { return m_previous[y]; }
    SWdepthbuffer& Depth() { return m_depth; }
    const SWdepthbuffer& Depth() const { return m_depth; }

    uint32_t RowRepeat() const { return m_rowRepeat; }
    void SetRowRepeat(uint32_t repeat); // 1 or 2 (the surface's supersampling); anything else is 1
    uint8_t IsRedrawAll() const { return m_redrawAll; }
    void MarkRedrawAll() { m_redrawAll = 1; } // the next Refresh clears and redraws every block
    uint32_t BackgroundColour() const { return m_view.colour; }
    bool IsImageFill() const { return m_clearRoutine == &SWpixelbuffer::FillRowImage; }

    // Start of a frame: clears the blocks drawn in the last two frames (everything with force or after a
    // background change), rotates the masks and marks every depth row for clearing.
    void Refresh(bool force);
    void SetBackground(const SWbackground* background); // not owned; null: colour 0. Redraws everything
    void UpdateBackground();                            // redraws everything only when what it draws changed

    // Row y of this buffer from rows 2y and 2y + 1 of a source exactly twice as wide and high (else nothing):
    // each pixel the truncated mean of its four, alpha 0, in the blocks the source drew in its last two frames.
    void HalveInto(const SWpixelbuffer& source, int32_t y);
    // The colour-coded stereo mix of row y: other's brightness into this buffer's blue, other written too with
    // writeBack; both rows are presented whole in the next frame. Nothing when the widths differ.
    void ApplyColourTable(SWpixelbuffer& other, int32_t y, bool writeBack);

private:
    using ClearRoutine = void (SWpixelbuffer::*)(int32_t y, uint32_t mask);

    bool IsRefusedSize(int32_t width, int32_t height) const;
    bool Allocate(uint32_t* attached, int32_t width, int32_t height);
    void Release();
    void BuildColumnMap();
    bool HasImage() const { return m_view.pixels != nullptr; }
    void ClearRow(int32_t y, uint32_t mask);
    void FillRowColour(int32_t y, uint32_t mask);
    void FillRowImage(int32_t y, uint32_t mask);
    int32_t SourceRow(int32_t y) const;

    ClearRoutine m_clearRoutine = nullptr; // chosen by the background
    uint32_t* m_pixels = nullptr;          // m_owned's, or an attached image's
    std::unique_ptr<uint32_t[]> m_owned;
    uint8_t m_attached = 0;
    std::unique_ptr<uint32_t[]> m_current;  // one mask per row
    std::unique_ptr<uint32_t[]> m_previous; // one mask per row
    uint32_t m_blockShift = 0;
    int32_t m_width = 0;
    int32_t m_height = 0;
    std::unique_ptr<uint32_t[]> m_columnMap; // source column per buffer column
    int32_t m_columnMapLength = 0;
    uint32_t m_rowRepeat = 1;
    uint32_t m_columnStamp = 0; // background version the column map was built for
    uint32_t m_updateStamp = 0; // background version UpdateBackground saw last
    uint8_t m_redrawAll = 1;
    SWdepthbuffer m_depth;
    const SWbackground* m_background = nullptr; // not owned: the world's, which outlives its frames
    SWbackgroundview m_view;                    // as last read from m_background
    int64_t m_mappedImageWidth = -1;            // image width x row repeat the map was built for
    bool m_mappedStretch = false;
};
