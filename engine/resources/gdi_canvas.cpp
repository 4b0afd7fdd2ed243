#include "engine/resources/gdi_canvas.h"

#include <algorithm>
#include <cstring>

#include "platform/base/gdi_constants.h"
#include "platform/gfx/text/font.h"

GdiCanvasImage::GdiCanvasImage(pf::DibSectionRef dib) : m_dib(std::move(dib))
{
    m_dc.select(m_dib);
}

GdiTextLine::GdiTextLine(GdiCanvasImage& image)
    : m_image(image), m_clip(pf::Rect{0, 0, image.GetWidth(), image.GetHeight()})
{
}

void GdiTextLine::Apply()
{
    pf::MemoryDc& dc = m_image.m_dc;
    const pf::ColorRef colour = pf::rgb(m_red, m_green, m_blue);
    dc.selectPen(pf::createPen(pf::PS_SOLID, 1, colour));
    dc.selectBrush(pf::createSolidBrush(colour));
    dc.setTextColor(colour);
    dc.setBkMode(pf::TRANSPARENT);
    dc.setTextAlign(GdiCanvas::PlatformAlign(m_align));
    dc.selectFont(m_hasFont ? m_font : nullptr);
    const pf::Region clip(m_clip);
    dc.selectClipRgn(&clip);
}

GdiCanvas::GdiCanvas(SWworld* world) : m_world(world) {}

std::unique_ptr<GdiCanvasImage> GdiCanvas::CreateImage(int32_t width, int32_t height)
{
    // A zero size would make a DIB without pixels that later copies read through.
    if (width <= 0 || height <= 0)
        return nullptr;
    pf::DibSectionRef dib = pf::DibSection::create(width, height, 32, true);
    if (dib == nullptr)
        return nullptr;
    return std::make_unique<GdiCanvasImage>(std::move(dib));
}

bool GdiCanvas::ResizeImage(GdiCanvasImage* image, int32_t width, int32_t height, bool keep)
{
    if (image == nullptr)
        return false;
    const std::lock_guard<std::mutex> hold(image->m_mutex);
    if (width == image->GetWidth() && height == image->GetHeight())
        return true;
    if (width <= 0 || height <= 0)
        return false;
    pf::DibSectionRef dib = pf::DibSection::create(width, height, 32, true);
    if (dib == nullptr)
        return false;
    if (keep) {
        const int32_t rows = std::min(height, image->GetHeight());
        const size_t columns = static_cast<size_t>(std::min(width, image->GetWidth()));
        for (int32_t y = 0; y < rows; ++y)
            std::memcpy(dib->surface().row(y), image->m_dib->surface().row(y), columns * sizeof(uint32_t));
    }
    image->m_dib = std::move(dib);
    image->m_dc.select(image->m_dib);
    return true;
}

int32_t GdiCanvas::CopyImageTo(GdiCanvasImage* image, uint32_t* pixels, int32_t width, int32_t height) const
{
    if (image == nullptr || pixels == nullptr || width <= 0 || height <= 0)
        return 0;
    if (m_world != nullptr)
        m_world->Lock();
    int32_t rows = 0;
    {
        const std::lock_guard<std::mutex> hold(image->m_mutex);
        rows = std::min(height, image->GetHeight());
        const size_t columns = static_cast<size_t>(std::min(width, image->GetWidth()));
        for (int32_t y = 0; y < rows; ++y)
            std::memcpy(pixels + static_cast<size_t>(y) * width, image->m_dib->surface().row(y),
                        columns * sizeof(uint32_t));
    }
    if (m_world != nullptr)
        m_world->Unlock();
    return rows;
}

int32_t GdiCanvas::ReadRows(GdiCanvasImage* image, int32_t first, int32_t count, uint32_t* buffer)
{
    if (image == nullptr || buffer == nullptr || first < 0 || count <= 0)
        return 0;
    const std::lock_guard<std::mutex> hold(image->m_mutex);
    if (first >= image->GetHeight())
        return 0;
    // Clamped to the image: a count past its last row reads no further than the DIB.
    const int32_t rows = std::min(count, image->GetHeight() - first);
    const size_t width = static_cast<size_t>(image->GetWidth());
    for (int32_t y = 0; y < rows; ++y)
        std::memcpy(buffer + static_cast<size_t>(y) * width, image->m_dib->surface().row(first + y),
                    width * sizeof(uint32_t));
    return rows;
}

std::unique_ptr<GdiTextLine> GdiCanvas::CreateTextLine(GdiCanvasImage* image)
{
    if (image == nullptr)
        return nullptr;
    return std::make_unique<GdiTextLine>(*image);
}

void GdiCanvas::SetColor(GdiTextLine* line, uint8_t red, uint8_t green, uint8_t blue)
{
    if (line == nullptr)
        return;
    const std::lock_guard<std::mutex> hold(line->m_image.m_mutex);
    line->m_red = red;
    line->m_green = green;
    line->m_blue = blue;
}

bool GdiCanvas::FillRect(GdiTextLine* line, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    if (line == nullptr)
        return false;
    const std::lock_guard<std::mutex> hold(line->m_image.m_mutex);
    line->Apply();
    return line->m_image.m_dc.fillRect(pf::Rect{left, top, right, bottom},
                                       pf::createSolidBrush(pf::rgb(line->m_red, line->m_green, line->m_blue)));
}

bool GdiCanvas::TextOut(GdiTextLine* line, int32_t x, int32_t y, std::string_view text)
{
    if (line == nullptr)
        return false;
    const std::lock_guard<std::mutex> hold(line->m_image.m_mutex);
    line->Apply();
    return line->m_image.m_dc.textOut(x, y, text);
}

void GdiCanvas::SetClipRect(GdiTextLine* line, int32_t x, int32_t y, int32_t width, int32_t height)
{
    if (line == nullptr)
        return;
    const std::lock_guard<std::mutex> hold(line->m_image.m_mutex);
    const int64_t right = std::clamp<int64_t>(int64_t{x} + std::max(width, 0), INT32_MIN, INT32_MAX);
    const int64_t bottom = std::clamp<int64_t>(int64_t{y} + std::max(height, 0), INT32_MIN, INT32_MAX);
    line->m_clip = pf::Rect{x, y, static_cast<int32_t>(right), static_cast<int32_t>(bottom)};
}

void GdiCanvas::SetFont(GdiTextLine* line, std::string_view face, uint32_t flags, int32_t height)
{
    if (line == nullptr)
        return;
    {
        const std::lock_guard<std::mutex> hold(line->m_image.m_mutex);
        if (line->m_hasFont && line->m_face == face && line->m_flags == flags && line->m_height == height)
            return;
    }
    pf::LogFont font;
    font.height = height == INT32_MIN ? INT32_MAX : -height;
    font.weight = (flags & kBold) != 0 ? pf::FW_BOLD : 400;
    font.italic = (flags & kItalic) != 0 ? 1 : 0;
    font.underline = (flags & kUnderline) != 0 ? 1 : 0;
    font.charSet = pf::ANSI_CHARSET;
    font.outPrecision = pf::OUT_TT_ONLY_PRECIS;
    const size_t length = std::min(face.size(), sizeof(font.face) - 1);
    std::memcpy(font.face, face.data(), length);
    SetLogFont(line, font);
    const std::lock_guard<std::mutex> hold(line->m_image.m_mutex);
    line->m_face = std::string(face);
    line->m_flags = flags;
    line->m_height = height;
}

void GdiCanvas::SetLogFont(GdiTextLine* line, const pf::LogFont& font)
{
    if (line == nullptr)
        return;
    // Resolving a font may take the font engine's own lock; it is never taken under the image's mutex.
    pf::FontRef resolved = pf::createFontIndirect(font);
    const std::lock_guard<std::mutex> hold(line->m_image.m_mutex);
    line->m_logFont = font;
    line->m_font = std::move(resolved);
    line->m_hasFont = true;
    line->m_face.assign(font.face, strnlen(font.face, sizeof(font.face)));
    line->m_flags = (font.weight >= pf::FW_BOLD ? kBold : 0) | (font.italic != 0 ? kItalic : 0) |
                    (font.underline != 0 ? kUnderline : 0);
    line->m_height = font.height == INT32_MIN ? INT32_MAX : -font.height;
}

uint32_t GdiCanvas::GetFontFlags(const GdiTextLine* line)
{
    if (line == nullptr)
        return 0;
    const std::lock_guard<std::mutex> hold(line->m_image.m_mutex);
    if (!line->m_hasFont)
        return 1;
    const pf::LogFont& font = line->m_logFont;
    return 1 + (font.italic != 0 ? 4 : 0) + (font.weight >= pf::FW_BOLD ? 2 : 0) + (font.underline != 0 ? 8 : 0);
}

void GdiCanvas::SetTextAlign(GdiTextLine* line, uint32_t flags)
{
    if (line == nullptr)
        return;
    const std::lock_guard<std::mutex> hold(line->m_image.m_mutex);
    line->m_align = flags;
}

uint32_t GdiCanvas::PlatformAlign(uint32_t flags)
{
    uint32_t align = (flags & kAlignBaseline) != 0 ? pf::TA_BASELINE
                     : (flags & kAlignBottom) != 0 ? pf::TA_BOTTOM
                                                   : pf::TA_TOP;
    if ((flags & kAlignCentre) != 0)
        align |= pf::TA_CENTER;
    else if ((flags & kAlignRight) != 0)
        align |= pf::TA_RIGHT;
    else
        align |= pf::TA_LEFT;
    return align;
}

pf::Size GdiCanvas::GetTextExtent(GdiTextLine* line, std::string_view text)
{
    if (line == nullptr)
        return {};
    const std::lock_guard<std::mutex> hold(line->m_image.m_mutex);
    line->Apply();
    return line->m_image.m_dc.getTextExtent(text);
}

pf::TextMetrics GdiCanvas::GetTextMetrics(GdiTextLine* line)
{
    if (line == nullptr)
        return {};
    const std::lock_guard<std::mutex> hold(line->m_image.m_mutex);
    line->Apply();
    return line->m_image.m_dc.getTextMetrics();
}

std::string GdiCanvas::GetTextFace(GdiTextLine* line)
{
    if (line == nullptr)
        return {};
    const std::lock_guard<std::mutex> hold(line->m_image.m_mutex);
    line->Apply();
    return line->m_image.m_dc.getTextFace();
}
