#include "render/software/pixel_buffer.h"

#include <algorithm>
#include <new>

#include "engine/resources/texture.h"
#include "render/software/block_runs.h"
#include "render/software/colour_fill.h"
#include "render/software/colour_table.h"

namespace {

// The least n from `least` up with 2^n >= width, minus 5: 32 blocks cover the row.
uint32_t BlockShiftFor(int32_t width, uint32_t least)
{
    uint32_t n = least;
    while ((int64_t{1} << n) < width)
        ++n;
    return n - 5;
}

// Mask of blocks at toShift that hold any pixel of the fromShift blocks in mask, where a source pixel p lands on
// p / 2: halving maps source blocks onto destination blocks this way whatever the two widths' block shifts.
uint32_t HalvedMask(uint32_t mask, uint32_t fromShift, uint32_t toShift)
{
    uint32_t out = 0;
    for (int bit = 0; bit < 32; ++bit) {
        if ((mask >> bit & 1) == 0)
            continue;
        const int64_t first = (int64_t{bit} << fromShift) / 2;
        const int64_t last = ((int64_t{bit + 1} << fromShift) - 1) / 2;
        for (int64_t block = first >> toShift; block <= (last >> toShift) && block < 32; ++block)
            out |= 1u << block;
    }
    return out;
}

uint32_t HalvedPixel(uint32_t a, uint32_t b, uint32_t c, uint32_t d)
{
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const uint32_t sum = (a >> shift & 0xFF) + (b >> shift & 0xFF) + (c >> shift & 0xFF) + (d >> shift & 0xFF);
        out |= (sum / 4) << shift;
    }
    return out;
}

// The integer part of (index + 0.5) x scale x size, modulo size, with scale = 1 / size (tiling: the index itself)
// or repeat / extent (stretching). Worked exactly in integers so every build and variant picks the same texel.
uint32_t SourceIndex(int64_t index, int64_t size, bool stretch, int64_t repeat, int64_t extent)
{
    if (!stretch)
        return static_cast<uint32_t>(index % size);
    return static_cast<uint32_t>(((2 * index + 1) * size * repeat / (2 * extent)) % size);
}

} // namespace

bool SWpixelbuffer::SetSize(int32_t width, int32_t height)
{
    if (IsRefusedSize(width, height))
        return false;
    return Allocate(nullptr, width, height);
}

bool SWpixelbuffer::AttachImage(SWtexture* image)
{
    if (image == nullptr || !image->IsValid())
        return false;
    return AttachPixels(image->GetPixelBuffer(), image->GetWidth(), image->GetHeight());
}

bool SWpixelbuffer::AttachPixels(uint32_t* pixels, int32_t width, int32_t height)
{
    if (pixels == nullptr || width < 1 || height < 1 || IsRefusedSize(width, height))
        return false;
    return Allocate(pixels, width, height);
}

void SWpixelbuffer::SetRowRepeat(uint32_t repeat)
{
    m_rowRepeat = repeat == 2 ? 2 : 1;
}

void SWpixelbuffer::Refresh(bool force)
{
    BuildColumnMap();
    const uint32_t fill = force || m_redrawAll != 0 ? ~0u : 0u;
    for (int32_t y = 0; y < m_height; ++y) {
        const uint32_t old = m_previous[y];
        const uint32_t drawn = m_current[y];
        m_previous[y] = drawn;
        m_current[y] = fill;
        if ((old | drawn | fill) != 0)
            ClearRow(y, old | drawn | fill);
    }
    m_redrawAll = 0;
    m_depth.MarkAllRows();
}

void SWpixelbuffer::SetBackground(const SWbackground* background)
{
    m_background = background;
    m_view = ReadBackgroundView(background);
    BackgroundVersionChanged(background, m_updateStamp); // what is drawn from now on is this version
    m_clearRoutine = HasImage() ? &SWpixelbuffer::FillRowImage : &SWpixelbuffer::FillRowColour;
    m_redrawAll = 1;
}

void SWpixelbuffer::UpdateBackground()
{
    const SWbackgroundview now = ReadBackgroundView(m_background);
    const ClearRoutine routine = now.pixels != nullptr ? &SWpixelbuffer::FillRowImage : &SWpixelbuffer::FillRowColour;
    // The version is asked every time, so that its stamp follows the background even when something else changed.
    const bool newVersion = BackgroundVersionChanged(m_background, m_updateStamp);
    if (newVersion || now.colour != m_view.colour || now.image != m_view.image || now.stretch != m_view.stretch ||
        routine != m_clearRoutine)
        m_redrawAll = 1;
    m_view = now;
    m_clearRoutine = routine;
}

void SWpixelbuffer::HalveInto(const SWpixelbuffer& source, int32_t y)
{
    if (y < 0 || y >= m_height || int64_t{source.m_width} != 2 * int64_t{m_width} ||
        int64_t{source.m_height} != 2 * int64_t{m_height})
        return;
    const int32_t top = 2 * y;
    const uint32_t drawn =
        source.m_current[top] | source.m_previous[top] | source.m_current[top + 1] | source.m_previous[top + 1];
    const uint32_t mask = HalvedMask(drawn, source.m_blockShift, m_blockShift);
    m_current[y] = mask;
    const uint32_t* const upper = source.Row(top);
    const uint32_t* const lower = source.Row(top + 1);
    uint32_t* const out = Row(y);
    ForEachMaskedRun(mask, m_blockShift, 0, m_width, [&](int32_t first, int32_t count) {
        for (int32_t x = first; x < first + count; ++x)
            out[x] = HalvedPixel(upper[2 * x], upper[2 * x + 1], lower[2 * x], lower[2 * x + 1]);
    });
}

void SWpixelbuffer::ApplyColourTable(SWpixelbuffer& other, int32_t y, bool writeBack)
{
    if (y < 0 || y >= m_height || y >= other.m_height || other.m_width != m_width)
        return;
    m_previous[y] = ~0u;
    other.m_previous[y] = ~0u;
    uint32_t* const mine = Row(y);
    uint32_t* const theirs = other.Row(y);
    for (int32_t x = 0; x < m_width; ++x) {
        const uint32_t mixed = MixStereoPixel(mine[x], theirs[x]);
        mine[x] = mixed;
        if (writeBack)
            theirs[x] = mixed;
    }
}

bool SWpixelbuffer::IsRefusedSize(int32_t width, int32_t height) const
{
    return width > kMostSide || height > kMostSide || int64_t{width} * int64_t{height} > kMostPixels;
}

// Frees what the buffer held, then takes the new pixels; empty (and true) for a side below 1, empty and false when
// memory runs out. Every resize clears the whole buffer.
bool SWpixelbuffer::Allocate(uint32_t* attached, int32_t width, int32_t height)
{
    Release();
    if (width < 1 || height < 1) {
        m_depth.SetSize(0, 0, 0);
        return true;
    }
    const uint32_t shift = BlockShiftFor(width, attached != nullptr ? 8 : 5);
    const size_t rows = static_cast<size_t>(height);
    if (attached == nullptr)
        m_owned.reset(new (std::nothrow) uint32_t[rows * static_cast<size_t>(width)]);
    m_current.reset(new (std::nothrow) uint32_t[rows]);
    m_previous.reset(new (std::nothrow) uint32_t[rows]);
    if ((attached == nullptr && !m_owned) || !m_current || !m_previous || !m_depth.SetSize(width, height, shift)) {
        Release();
        m_depth.SetSize(0, 0, 0);
        return false;
    }
    m_pixels = attached != nullptr ? attached : m_owned.get();
    m_attached = attached != nullptr ? 1 : 0;
    m_width = width;
    m_height = height;
    m_blockShift = shift;
    std::fill_n(m_current.get(), rows, ~0u);
    std::fill_n(m_previous.get(), rows, ~0u);
    Refresh(true);
    return true;
}

void SWpixelbuffer::Release()
{
    m_owned.reset();
    m_current.reset();
    m_previous.reset();
    m_pixels = nullptr;
    m_attached = 0;
    m_width = m_height = 0;
    m_blockShift = 0;
}

// The column map follows the background image: rebuilt when the background reports a new version, the buffer's
// width changed, or the image's width, the row repeat or the stretch flag changed.
void SWpixelbuffer::BuildColumnMap()
{
    const bool newVersion = BackgroundVersionChanged(m_background, m_columnStamp);
    if (m_view.image != nullptr) {
        // The image's storage is read afresh: the texture may have replaced it since the background was set.
        const SWbackgroundview now = ReadBackgroundView(m_background);
        const bool same = now.image == m_view.image;
        m_view.pixels = same ? now.pixels : nullptr;
        m_view.width = same ? now.width : 0;
        m_view.height = same ? now.height : 0;
    }
    if (!HasImage() || m_width < 1)
        return;
    const int64_t imageWidth = int64_t{m_view.width} * m_rowRepeat;
    if (!newVersion && m_columnMapLength == m_width && imageWidth == m_mappedImageWidth &&
        m_view.stretch == m_mappedStretch)
        return;
    if (m_columnMapLength != m_width) {
        m_columnMap.reset(new (std::nothrow) uint32_t[static_cast<size_t>(m_width)]);
        m_columnMapLength = m_columnMap ? m_width : 0;
        if (!m_columnMap)
            return;
    }
    // Each column of the image covers row-repeat buffer columns; the last one stops at the width.
    for (int32_t x = 0; x < m_width; ++x)
        m_columnMap[x] = SourceIndex(x / m_rowRepeat, m_view.width, m_view.stretch, m_rowRepeat, m_width);
    m_mappedImageWidth = imageWidth;
    m_mappedStretch = m_view.stretch;
}

void SWpixelbuffer::ClearRow(int32_t y, uint32_t mask)
{
    const ClearRoutine routine = m_clearRoutine != nullptr ? m_clearRoutine : &SWpixelbuffer::FillRowColour;
    (this->*routine)(y, mask);
}

void SWpixelbuffer::FillRowColour(int32_t y, uint32_t mask)
{
    uint32_t* const row = Row(y);
    const uint32_t colour = m_view.colour;
    const SWcolourfill fill = ChooseColourFill();
    ForEachMaskedRun(mask, m_blockShift, 0, m_width,
                     [row, colour, fill](int32_t first, int32_t count) { fill(row + first, count, colour); });
}

void SWpixelbuffer::FillRowImage(int32_t y, uint32_t mask)
{
    if (!HasImage() || m_columnMapLength != m_width) {
        FillRowColour(y, mask);
        return;
    }
    const uint32_t* const source = m_view.pixels + static_cast<int64_t>(SourceRow(y)) * m_view.width;
    const uint32_t* const columns = m_columnMap.get();
    uint32_t* const row = Row(y);
    // Images carry alpha in their top byte (255 where they have none); the buffer's pixels keep it 0.
    ForEachMaskedRun(mask, m_blockShift, 0, m_width, [&](int32_t first, int32_t count) {
        for (int32_t x = first; x < first + count; ++x)
            row[x] = source[columns[x]] & 0xFFFFFFu;
    });
}

int32_t SWpixelbuffer::SourceRow(int32_t y) const
{
    return static_cast<int32_t>(
        SourceIndex(m_rowRepeat > 1 ? y / 2 : y, m_view.height, m_view.stretch, m_rowRepeat, m_height));
}
