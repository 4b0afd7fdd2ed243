#include "designer/editors/designer_tooltip.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "engine/core/chunk_stream.h"
#include "engine/core/node.h"
#include "engine/core/record_builder.h"
#include "engine/core/type_tag.h"
#include "engine/resources/gdi_canvas.h"
#include "engine/resources/image32.h"
#include "engine/resources/render_layer.h"

namespace {

constexpr uint32_t kAlignTopLeft = 36;
constexpr uint32_t kTagTooltipRecord = MakeTag("PRTT");
constexpr int32_t kMaxSide = 2047;

} // namespace

// The float is kept as read, but a huge or non-finite one shows at the nearest edge of what a view can hold (or at
// 0), never converted out of range.
int32_t VTND_ToolTip::PixelOf(float value)
{
    if (!std::isfinite(value))
        return 0;
    constexpr auto kEdge = static_cast<float>(kMaxPosition);
    return static_cast<int32_t>(std::clamp(value, -kEdge, kEdge));
}

VTND_ToolTip::VTND_ToolTip(SWworld& world, std::string name, bool picturesNow)
    : CVTN_ToolTip(&world, std::move(name)), m_world(world), m_fontFromFile(!picturesNow)
{
    EnsureTooltipParts(world);
    if (picturesNow)
        MakePictures();
}

void VTND_ToolTip::MakePictures()
{
    // The render thread may make them (a first show) while the editor opens the tooltip: both under the lock.
    const SWworldlock lock(m_world);
    if (m_picturesMade)
        return;
    m_picturesMade = true;
    if (SetTextureSize(m_textureWidth, m_textureHeight))
        ++m_allocations;
    if (SWlayersprite* sprite = GetMainSprite())
        sprite->SetVisible(true); // enabled only while the engine base shows the tooltip
    MakeCanvases(8, 8);
    if (!m_fontFromFile)
        ReadFontMetrics();
}

void VTND_ToolTip::MakePicture()
{
    const SWworldlock lock(m_world);
    if (m_picturesMade)
        return;
    ApplyFont();
    Render();
}

void VTND_ToolTip::ReleasePicture()
{
    const SWworldlock lock(m_world);
    if (!m_picturesMade || IsShown() || IsFading())
        return;
    m_colourLine.reset();
    m_maskLine.reset();
    m_colourImage.reset();
    m_maskImage.reset();
    std::vector<uint32_t>().swap(m_maskRows);
    ReleaseTexture();
    m_textureWidth = 8;
    m_textureHeight = 8;
    CVTN_ToolTip::SetWidth(0); // the next render sizes everything again
    CVTN_ToolTip::SetHeight(0);
    m_picturesMade = false;
}

VTND_ToolTip::~VTND_ToolTip()
{
    m_colourLine.reset();
    m_maskLine.reset();
}

GdiCanvas* VTND_ToolTip::Canvas() const
{
    return dynamic_cast<GdiCanvas*>(m_world.GetPart(WorldPart::kCanvasManager));
}

void VTND_ToolTip::MakeCanvases(int32_t width, int32_t height)
{
    for (auto [image, line] : {std::pair{&m_colourImage, &m_colourLine}, std::pair{&m_maskImage, &m_maskLine}}) {
        if (*image != nullptr)
            continue;
        *image = GdiCanvas::CreateImage(width, height);
        *line = GdiCanvas::CreateTextLine(image->get());
        GdiCanvas::SetTextAlign(line->get(), kAlignTopLeft);
    }
}

uint32_t VTND_ToolTip::TextureSizeFor(int32_t size)
{
    uint32_t texture = 1;
    while (texture <= static_cast<uint32_t>(std::max(size, 0)) && texture < 0x80000000u)
        texture <<= 1;
    return texture;
}

// -- Font

void VTND_ToolTip::ApplyFont()
{
    MakePictures();
    // Strikeout is kept and saved but the canvas is never asked for it.
    const uint32_t flags = (weight == 700 ? GdiCanvas::kBold : 0) | (italic != 0 ? GdiCanvas::kItalic : 0) |
                           (underline != 0 ? GdiCanvas::kUnderline : 0);
    // A height read from a file is bounded like the tooltip's size.
    const int32_t height = std::clamp<int32_t>(static_cast<int16_t>(charHeight & 0xFFFF), -512, 512);
    GdiCanvas::SetFont(m_colourLine.get(), m_faceName, flags, height);
    GdiCanvas::SetFont(m_maskLine.get(), m_faceName, flags, height);
    ReadFontMetrics();
}

void VTND_ToolTip::ApplyLogFont(const pf::LogFont& font)
{
    MakePictures();
    GdiCanvas::SetLogFont(m_colourLine.get(), font);
    GdiCanvas::SetLogFont(m_maskLine.get(), font);
    ReadFontMetrics();
}

void VTND_ToolTip::ReadFontMetrics()
{
    std::string face = GdiCanvas::GetTextFace(m_colourLine.get());
    if (face.size() > 1024)
        face.resize(1024);
    SetFaceName(std::move(face));
    const pf::TextMetrics metrics = GdiCanvas::GetTextMetrics(m_colourLine.get());
    charHeight = metrics.tmHeight - metrics.tmInternalLeading;
    weight = metrics.tmWeight;
    italic = metrics.tmItalic;
    underline = metrics.tmUnderlined;
    strikeout = metrics.tmStruckOut;
    pitchAndFamily = metrics.tmPitchAndFamily;
    overhang = metrics.tmOverhang;
}

pf::LogFont VTND_ToolTip::BuildLogFont() const
{
    pf::LogFont font;
    font.height = -charHeight;
    font.weight = weight;
    font.italic = italic;
    font.underline = underline;
    font.strikeOut = strikeout;
    font.charSet = 1;
    font.pitchAndFamily = pitchAndFamily;
    const size_t length = std::min(m_faceName.size(), sizeof(font.face) - 1);
    std::memcpy(font.face, m_faceName.data(), length);
    font.face[length] = '\0';
    return font;
}

// -- Rendering

std::vector<VTND_ToolTip::Line> VTND_ToolTip::LayOut() const
{
    std::vector<Line> lines(1);
    for (const char c : m_text) {
        // Every line is a pixel high at least: past the largest side, more lines could not show.
        if (c == '\r' || c == '\n') {
            if (lines.size() == static_cast<size_t>(kMaxSide))
                break;
            lines.emplace_back();
        } else if (lines.back().text.size() < kMaxLineLength) {
            lines.back().text.push_back(c);
        }
    }
    const bool slanted = (GdiCanvas::GetFontFlags(m_colourLine.get()) & GdiCanvas::kItalic) != 0;
    for (Line& line : lines) {
        const pf::Size extent = GdiCanvas::GetTextExtent(m_colourLine.get(), line.text);
        line.width = extent.cx + (slanted ? overhang : 0);
        line.height = extent.cy;
    }
    return lines;
}

void VTND_ToolTip::Render()
{
    MakePictures();
    const std::vector<Line> lines = LayOut();
    int32_t blockWidth = 0;
    int32_t blockHeight = 0;
    for (const Line& line : lines) {
        blockWidth = std::max(blockWidth, line.width);
        blockHeight += line.height;
    }
    Resize(blockWidth, blockHeight);
    const auto width = static_cast<int32_t>(GetWidth());
    const auto height = static_cast<int32_t>(GetHeight());
    GdiTextLine* colour = m_colourLine.get();
    GdiTextLine* mask = m_maskLine.get();
    GdiCanvas::SetColor(colour, backRGB[0], backRGB[1], backRGB[2]);
    GdiCanvas::FillRect(colour, 0, 0, width, height);
    GdiCanvas::SetColor(colour, textRGB[0], textRGB[1], textRGB[2]);
    GdiCanvas::SetColor(mask, 255, 255, 255);
    GdiCanvas::FillRect(mask, 0, 0, width, height);
    GdiCanvas::SetColor(mask, 0, 0, 0);
    int32_t y = 0;
    if (vAlign == kMiddle)
        y = (height - blockHeight) / 2;
    else if (vAlign == kBottom)
        y = height - blockHeight;
    for (const Line& line : lines) {
        int32_t x = 0;
        if (hAlign == kCentre)
            x = (width - line.width) / 2;
        else if (hAlign == kRight)
            x = width - line.width;
        GdiCanvas::TextOut(colour, x, y, line.text);
        GdiCanvas::TextOut(mask, x, y, line.text);
        y += line.height;
    }
    ComposeTexture();
}

void VTND_ToolTip::Resize(int32_t width, int32_t height)
{
    const SWworldlock lock(m_world);
    width = static_cast<int32_t>(std::clamp<int64_t>(int64_t{width} + hMargin, INT32_MIN, INT32_MAX));
    height = static_cast<int32_t>(std::clamp<int64_t>(int64_t{height} + vMargin, INT32_MIN, INT32_MAX));
    if (width <= 0)
        width = 8;
    if (height <= 0)
        height = 8;
    // Sizes come from files too (a font height, a margin): the canvases and texture stay within 2048 pixels a side.
    width = std::min(width, kMaxSide);
    height = std::min(height, kMaxSide);
    if (static_cast<uint32_t>(width) == GetWidth() && static_cast<uint32_t>(height) == GetHeight())
        return;
    const uint32_t textureWidth = TextureSizeFor(width);
    const uint32_t textureHeight = TextureSizeFor(height);
    if (textureWidth != m_textureWidth || textureHeight != m_textureHeight || GetTexture() == nullptr) {
        // The engine base keeps the shown position and the shown state across the new sprites.
        if (!SetTextureSize(textureWidth, textureHeight))
            return;
        ++m_allocations;
        m_textureWidth = textureWidth;
        m_textureHeight = textureHeight;
        if (SWlayersprite* sprite = GetMainSprite())
            sprite->SetVisible(true);
        if (SWlayersprite* sprite = GetFaderSprite())
            sprite->SetVisible(true);
    }
    MakeCanvases(width, height);
    for (auto [image, line] :
         {std::pair{m_colourImage.get(), m_colourLine.get()}, std::pair{m_maskImage.get(), m_maskLine.get()}}) {
        if (GdiCanvas::ResizeImage(image, width, height, false))
            GdiCanvas::SetClipRect(line, 0, 0, width, height);
    }
    CVTN_ToolTip::SetWidth(static_cast<uint32_t>(width));
    CVTN_ToolTip::SetHeight(static_cast<uint32_t>(height));
    for (SWlayersprite* sprite : {GetMainSprite(), GetFaderSprite()}) {
        if (sprite != nullptr)
            sprite->SetSourceRect(width, height, 0, 0);
    }
}

void VTND_ToolTip::ComposeTexture()
{
    const SWworldlock lock(m_world);
    SWimage32* texture = GetTexture();
    GdiCanvas* canvas = Canvas();
    if (texture == nullptr || canvas == nullptr)
        return;
    const int32_t textureWidth = texture->GetWidth();
    const int32_t textureHeight = texture->GetHeight();
    uint32_t* pixels = texture->GetPixelBuffer();
    canvas->CopyImageTo(m_colourImage.get(), pixels, textureWidth, textureHeight);
    const int32_t w = std::min<int32_t>(static_cast<int32_t>(GetWidth()), textureWidth);
    const int32_t h = std::min<int32_t>(static_cast<int32_t>(GetHeight()), textureHeight);
    const int32_t maskWidth = m_maskImage != nullptr ? m_maskImage->GetWidth() : 0;
    if (w <= 0 || h <= 0 || maskWidth < w)
        return;
    std::vector<uint32_t>& mask = m_maskRows;
    mask.assign(static_cast<size_t>(h + 1) * static_cast<size_t>(maskWidth), 0xFFFFFFFFu);
    GdiCanvas::ReadRows(m_maskImage.get(), 0, h, mask.data());
    const uint32_t textAlpha = textOpacity >> 24;
    const uint32_t backAlpha = backOpacity >> 24;
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            const uint32_t maskPixel = mask[static_cast<size_t>(y) * static_cast<size_t>(maskWidth) + x];
            const uint32_t a = ((maskPixel >> 8) & 0xFF) == 255 ? backAlpha : textAlpha;
            uint32_t& p = pixels[static_cast<size_t>(y) * static_cast<size_t>(textureWidth) + x];
            const uint32_t r = ((p >> 16) & 0xFF) * a / 255;
            const uint32_t g = ((p >> 8) & 0xFF) * a / 255;
            const uint32_t b = (p & 0xFF) * a / 255;
            p = (a << 24) | (r << 16) | (g << 8) | b;
        }
    }
    texture->Touch();
}

// -- The "PRTT" record

bool VTND_ToolTip::WriteRecord(SWchunkstream& out) const
{
    out.WriteString(GetName());
    out.WriteF64(delay);
    out.WriteF64(fadeIn);
    out.WriteF64(fadeOut);
    out.WriteU8(showAtCursor);
    float x = 0.0f;
    float y = 0.0f;
    GetPosition(x, y);
    out.WriteF32(x);
    out.WriteF32(y);
    std::vector<std::string> names;
    for (CVTN_ToolTipEntry* e = GetFirstEntry(); e != nullptr; e = GetNextEntry(e)) {
        const SWnode* node = GetEntryNode(*e);
        if (node != nullptr && node->GetName())
            names.push_back(*node->GetName());
        else if (!e->name.empty())
            names.push_back(e->name);
    }
    out.WriteU32(static_cast<uint32_t>(names.size()));
    for (const std::string& name : names)
        out.WriteString(name);
    out.WriteString(m_faceName);
    out.WriteU32(static_cast<uint32_t>(charHeight));
    out.WriteU32(static_cast<uint32_t>(weight));
    out.WriteU8(italic);
    out.WriteU8(underline);
    out.WriteU8(strikeout);
    out.WriteU8(pitchAndFamily);
    out.WriteString(m_text);
    out.WriteBytes(textRGB, 3);
    out.WriteBytes(backRGB, 3);
    out.WriteU32(textOpacity);
    out.WriteU32(backOpacity);
    out.WriteU8(reserved);
    out.WriteU8(hAlign);
    out.WriteU8(vAlign);
    out.WriteU32(static_cast<uint32_t>(hMargin));
    out.WriteU32(static_cast<uint32_t>(vMargin));
    return out.Status() == SWchunkstream::kStatusGood;
}

bool WriteTooltipRecords(SWworld& world, SWchunkstream& out)
{
    SWtooltips* tooltips = SWtooltips::Find(world);
    for (SWlistnode* n = tooltips != nullptr ? tooltips->GetList().Head() : nullptr; n != nullptr; n = n->Next()) {
        const auto* tooltip = dynamic_cast<const VTND_ToolTip*>(n);
        if (tooltip == nullptr)
            continue; // brought by an added scene file: the world part keeps it
        SWrecordbuilder record(out, kTagTooltipRecord);
        if (!tooltip->WriteRecord(record.Stream()) || !record.Finish())
            return false;
    }
    return out.Status() == SWchunkstream::kStatusGood;
}

TooltipRecordRead ReadTooltipRecord(SWworld& world, SWchunkstream& in)
{
    std::string name;
    in.ReadString(name);
    const double delay = in.ReadF64();
    const double fadeIn = in.ReadF64();
    const double fadeOut = in.ReadF64();
    const uint8_t atCursor = in.ReadU8();
    const float x = in.ReadF32();
    const float y = in.ReadF32();
    const uint32_t count = in.ReadU32();
    // Every name takes its length word at least.
    if (in.Status() != SWchunkstream::kStatusGood || count > in.Remaining() / 4)
        return TooltipRecordRead::kDamaged;
    std::vector<std::string> nodeNames(count);
    for (std::string& nodeName : nodeNames)
        in.ReadString(nodeName);
    std::string face;
    in.ReadString(face);
    const uint32_t charHeight = in.ReadU32();
    const uint32_t weight = in.ReadU32();
    uint8_t fontBytes[4] = {};
    in.ReadBytes(fontBytes, 4);
    std::string text;
    in.ReadString(text);
    uint8_t colours[6] = {};
    in.ReadBytes(colours, 6);
    const uint32_t textOpacity = in.ReadU32();
    const uint32_t backOpacity = in.ReadU32();
    const uint8_t reserved = in.ReadU8();
    const uint8_t hAlign = in.ReadU8();
    const uint8_t vAlign = in.ReadU8();
    const uint32_t hMargin = in.ReadU32();
    const uint32_t vMargin = in.ReadU32();
    if (in.Status() != SWchunkstream::kStatusGood)
        return TooltipRecordRead::kDamaged;

    EnsureTooltipParts(world);
    auto tooltip = std::make_unique<VTND_ToolTip>(world, name, false);
    tooltip->delay = delay;
    tooltip->fadeIn = fadeIn;
    tooltip->fadeOut = fadeOut;
    tooltip->showAtCursor = atCursor;
    tooltip->SetPosition(x, y);
    tooltip->SetShownPosition(VTND_ToolTip::PixelOf(x), VTND_ToolTip::PixelOf(y));
    SWnode* root = world.GetRootNode();
    for (std::string& nodeName : nodeNames) {
        SWnode* node = root != nullptr ? root->FindByName(nodeName) : nullptr;
        if (node != nullptr)
            tooltip->GetOrAddEntry(node);
        else
            tooltip->AddStoredEntry(CVTN_ToolTipEntry::kNoNode, std::move(nodeName));
    }
    tooltip->SetFaceName(std::move(face));
    tooltip->charHeight = static_cast<int32_t>(charHeight);
    tooltip->weight = static_cast<int32_t>(weight);
    tooltip->italic = fontBytes[0];
    tooltip->underline = fontBytes[1];
    tooltip->strikeout = fontBytes[2];
    tooltip->pitchAndFamily = fontBytes[3];
    tooltip->SetText(std::move(text));
    std::copy(colours, colours + 3, tooltip->textRGB);
    std::copy(colours + 3, colours + 6, tooltip->backRGB);
    tooltip->textOpacity = textOpacity & 0xFF000000u;
    tooltip->backOpacity = backOpacity & 0xFF000000u;
    tooltip->reserved = reserved;
    tooltip->hAlign = hAlign;
    tooltip->vAlign = vAlign;
    tooltip->hMargin = static_cast<int32_t>(std::min<uint32_t>(hMargin, VTND_ToolTip::kMaxMargin));
    tooltip->vMargin = static_cast<int32_t>(std::min<uint32_t>(vMargin, VTND_ToolTip::kMaxMargin));

    // The world part brought the same tooltip as an engine tooltip: the designer's takes its place.
    const SWworldlock lock(world);
    SWlist& list = SWtooltips::Find(world)->GetList();
    SWlistnode* same = nullptr;
    for (SWlistnode* n = list.Head(); n != nullptr; n = n->Next()) {
        const auto* other = static_cast<CVTN_ToolTip*>(n);
        if (other->GetName() == tooltip->GetName() && dynamic_cast<const VTND_ToolTip*>(other) == nullptr) {
            same = n;
            break;
        }
    }
    if (same != nullptr) {
        list.InsertBefore(same, tooltip.release());
        list.Delete(same);
    } else {
        list.AddTail(tooltip.release());
    }
    return TooltipRecordRead::kOk;
}

VTND_ToolTip* CreateDesignerTooltip(SWworld& world, const std::string& name)
{
    EnsureTooltipParts(world);
    auto tooltip = std::make_unique<VTND_ToolTip>(world, name);
    tooltip->hAlign = VTND_ToolTip::kCentre; // a new tooltip's; stored ones keep what they were saved with
    tooltip->vAlign = VTND_ToolTip::kMiddle;
    tooltip->ApplyFont();
    tooltip->Render();
    VTND_ToolTip* made = tooltip.get();
    const SWworldlock lock(world);
    SWtooltips::Find(world)->GetList().AddTail(tooltip.release());
    return made;
}
