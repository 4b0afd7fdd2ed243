#include "designer/workspace/texture_viewer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/world_write_lock.h"
#include "engine/core/hotspot.h"
#include "engine/resources/texture.h"
#include "platform/base/user_constants.h"
#include "platform/gfx/edge.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/gfx/memory_dc.h"
#include "platform/ui/core/paint_dc.h"

namespace {

constexpr pf::ColorRef kBackground = pf::rgb(128, 128, 128);
constexpr pf::ColorRef kHotspotColour = pf::rgb(255, 255, 0);
constexpr pf::ColorRef kAlterEgoColour = pf::rgb(0, 255, 255);

// A copy of the top-left width x height pixels of a texture; null when it has none to give.
pf::DibSectionRef CopyOf(const SWtexture& texture, int32_t width, int32_t height)
{
    const uint32_t* pixels = texture.GetPixels();
    if (pixels == nullptr || width <= 0 || height <= 0 || width > texture.GetWidth() || height > texture.GetHeight())
        return nullptr;
    pf::DibSectionRef bitmap = pf::DibSection::create(width, height);
    if (bitmap == nullptr)
        return nullptr;
    pf::Surface32& surface = bitmap->surface();
    for (int32_t y = 0; y < height; ++y)
        std::memcpy(surface.row(y), pixels + static_cast<size_t>(y) * static_cast<size_t>(texture.GetWidth()),
                    static_cast<size_t>(width) * sizeof(uint32_t));
    return bitmap;
}

std::optional<std::string> NameOf(const SWtexture* texture)
{
    return texture == nullptr ? std::nullopt : std::optional<std::string>(texture->GetName());
}

void Stretch(pf::Dc& dc, const pf::Rect& dest, const pf::DibSectionRef& bitmap)
{
    pf::MemoryDc source;
    source.select(bitmap);
    dc.stretchBlt(dest, source, {0, 0, bitmap->width(), bitmap->height()}, pf::SRCCOPY);
}

} // namespace

void CVTND_TextureViewer::SetImage(SWtexture* image, SWtexture* hotspotTexture)
{
    m_image = image;
    m_hotspotTextureName = NameOf(hotspotTexture != nullptr ? hotspotTexture : image);
    CopyPixels();
    invalidate(true);
}

void CVTND_TextureViewer::UpdateBitmap()
{
    CopyPixels();
    invalidate(true);
}

void CVTND_TextureViewer::CopyPixels()
{
    m_bitmap = m_image == nullptr ? nullptr : CopyOf(*m_image, m_image->GetWidth(), m_image->GetHeight());
}

void CVTND_TextureViewer::SetFitToWindow(bool fit)
{
    m_fit = fit;
    invalidate(true);
}

void CVTND_TextureViewer::SetAlterEgoOwner(SWtexture* texture)
{
    m_alterEgoOwnerName = NameOf(texture);
    invalidate(true);
}

void CVTND_TextureViewer::ShowHotspots(bool show)
{
    if (show == m_showHotspots)
        return;
    m_showHotspots = show;
    invalidate(true);
}

void CVTND_TextureViewer::BuildHotspotBitmap(SWhotspot* hotspot)
{
    if (hotspot == nullptr)
        return;
    StoreHotspotBitmap(*hotspot);
    invalidate(true);
}

void CVTND_TextureViewer::StoreHotspotBitmap(const SWhotspot& hotspot)
{
    const SWtexture* picture = hotspot.GetImage();
    pf::DibSectionRef bitmap =
        picture == nullptr ? nullptr : CopyOf(*picture, hotspot.GetPictureWidth(), hotspot.GetPictureHeight());
    if (bitmap == nullptr)
        m_hotspotBitmaps.erase(&hotspot);
    else
        m_hotspotBitmaps[&hotspot] = std::move(bitmap);
}

SWworld* CVTND_TextureViewer::World() const
{
    if (m_world != nullptr)
        return m_world;
    const CVTNDesignerApp* app = GetDesignerApp();
    return app == nullptr ? nullptr : app->GetWorld();
}

pf::Rect CVTND_TextureViewer::AreaRect() const
{
    return clientRect().inflatedBy(-2, -2);
}

pf::Rect CVTND_TextureViewer::ImageRect() const
{
    if (m_bitmap == nullptr)
        return {};
    const pf::Rect area = AreaRect();
    const int64_t w = m_bitmap->width();
    const int64_t h = m_bitmap->height();
    if (!m_fit || area.isEmpty())
        return pf::Rect::fromXywh(area.l, area.t, static_cast<int32_t>(w), static_cast<int32_t>(h));
    // The larger scale that keeps both sides inside, compared in integers: area.w / w against area.h / h.
    const bool widthBound = area.width() * h <= area.height() * w;
    const int64_t shownW = widthBound ? area.width() : std::max<int64_t>(1, w * area.height() / h);
    const int64_t shownH = widthBound ? std::max<int64_t>(1, h * area.width() / w) : area.height();
    return pf::Rect::fromXywh(area.l + static_cast<int32_t>((area.width() - shownW) / 2),
                              area.t + static_cast<int32_t>((area.height() - shownH) / 2), static_cast<int32_t>(shownW),
                              static_cast<int32_t>(shownH));
}

pf::Rect CVTND_TextureViewer::HotspotRect(const SWhotspot& hotspot, bool alterEgo) const
{
    const pf::Rect image = ImageRect();
    const std::array<float, 4>& f = alterEgo ? hotspot.GetAlterEgoRect() : hotspot.GetRect();
    const auto at = [](int32_t origin, int64_t size, float fraction) {
        const double v = std::isfinite(fraction) ? std::clamp(static_cast<double>(fraction), -4.0, 4.0) : 0.0;
        return origin + static_cast<int32_t>(std::lround(v * static_cast<double>(size)));
    };
    const int32_t l = at(image.l, image.width(), f[0]);
    const int32_t t = at(image.t, image.height(), f[1]);
    const int32_t r = at(image.l, image.width(), f[0] + f[2]);
    const int32_t b = at(image.t, image.height(), f[1] + f[3]);
    return pf::Rect{l, t, r, b}.normalized();
}

pf::LResult CVTND_TextureViewer::handle(const pf::Msg& msg)
{
    switch (msg.message) {
    case pf::WM_PAINT:
        Paint();
        return 0;
    case pf::WM_ERASEBKGND:
        return 1;
    default:
        return pf::Control::handle(msg);
    }
}

void CVTND_TextureViewer::Paint()
{
    pf::PaintDc dc(*this);
    const pf::Rect area = pf::drawEdge(dc, clientRect(), pf::EdgeKind::kSunken);
    dc.fillRect(area, pf::createSolidBrush(kBackground));
    if (m_bitmap == nullptr)
        return;
    dc.intersectClipRect(area);
    Stretch(dc, ImageRect(), m_bitmap);
    if (m_showHotspots)
        PaintHotspots(dc);
}

void CVTND_TextureViewer::PaintHotspots(pf::Dc& dc)
{
    SWworld* world = World();
    if (world == nullptr || world->GetRootNode() == nullptr)
        return;
    const bool alterEgo = m_alterEgoOwnerName.has_value();
    const std::optional<std::string>& onTexture = alterEgo ? m_alterEgoOwnerName : m_hotspotTextureName;
    if (!onTexture)
        return;
    std::set<const SWhotspot*> seen;
    dc.selectBrush(pf::Brush{pf::BS_NULL, 0});
    dc.selectPen(pf::createPen(pf::PS_SOLID, 1, alterEgo ? kAlterEgoColour : kHotspotColour));
    for (SWnode* node = world->GetRootNode()->GetFirstChildNode(); node != nullptr; node = node->GetNextSiblingNode()) {
        auto* hotspot = dynamic_cast<SWhotspot*>(node);
        if (hotspot == nullptr || !node->HasKind(SWnode::kKindHotspot) || hotspot->GetTextureName() != onTexture)
            continue;
        seen.insert(hotspot);
        if (hotspot->GetSkip() != 0) {
            const CVTND_WorldWriteLock lock(world);
            hotspot->SetSkip(0);
            continue;
        }
        const pf::Rect r = HotspotRect(*hotspot, alterEgo);
        if (!alterEgo) {
            if (m_hotspotBitmaps.count(hotspot) == 0 && hotspot->GetImage() != nullptr)
                StoreHotspotBitmap(*hotspot);
            const auto picture = m_hotspotBitmaps.find(hotspot);
            if (picture != m_hotspotBitmaps.end())
                Stretch(dc, r, picture->second);
        }
        dc.rectangle(r);
    }
    // Pictures of hot spots that are gone: their addresses may come back for other objects.
    std::erase_if(m_hotspotBitmaps, [&](const auto& entry) { return seen.count(entry.first) == 0; });
}
