// Where new map objects go: around what they join, or around a point, clear of what every other object draws. The
// name under a picture counts: placed by their pictures alone, a node's name ran into its event's ("Left click
// ormeshnode0"), and a drop meant for one object landed on another's name.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "designer/editing/editor_engine.h"
#include "designer/editing/map_object.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/gfx/memory_dc.h"
#include "platform/ui/core/ui.h"

namespace {

constexpr int32_t kGap = 4; // between what two objects draw, so that two names never read as one

int32_t SmallIconSize()
{
    return pf::fixedSystemMetric(pf::SM_CXSMICON);
}

// The names' font, as MapObject::Draw writes with it.
class LabelFont {
public:
    LabelFont() { m_dc.selectObject(pf::getStockObject(pf::DEFAULT_GUI_FONT)); }
    pf::Size Extent(const std::string& label) const { return label.empty() ? pf::Size{} : m_dc.getTextExtent(label); }

private:
    pf::MemoryDc m_dc;
};

pf::Rect BoxAt(const MapObject& object, int32_t x, int32_t y, const pf::Size& label)
{
    return {x, y, x + std::max(object.width, label.cx), y + object.height + label.cy};
}

// What the objects already on the map draw, taken once for a whole search, and the size of the name of the object
// being placed.
class Clearance {
public:
    Clearance(const CEditorEngine& engine, const MapObject& placed) : m_label(m_font.Extent(placed.ShownLabel(engine)))
    {
        for (const MapObject* other = engine.FirstMapObject(); other != nullptr; other = engine.NextMapObject(other))
            if (other != &placed && other->IsPlaced())
                m_taken.push_back(
                    BoxAt(*other, other->x, other->y, m_font.Extent(other->ShownLabel(engine))).inflatedBy(kGap, kGap));
    }

    // Puts object at (x, y) and answers whether all it draws is clear there; a negative coordinate is off the map.
    bool Try(MapObject& object, int32_t x, int32_t y) const
    {
        object.x = x;
        object.y = y;
        if (x < 0 || y < 0)
            return false;
        const pf::Rect box = BoxAt(object, x, y, m_label).inflatedBy(1, 1); // an empty picture still takes its place
        return std::none_of(m_taken.begin(), m_taken.end(),
                            [&](const pf::Rect& taken) { return taken.intersects(box); });
    }

private:
    LabelFont m_font;
    pf::Size m_label;
    std::vector<pf::Rect> m_taken;
};

} // namespace

pf::Rect CEditorEngine::DrawnBox(const MapObject& object) const
{
    return BoxAt(object, object.x, object.y, LabelFont().Extent(object.ShownLabel(*this)));
}

// A width of 0 or less would never widen the circle, so the step is at least a small icon's width and the search
// ends below the limit whatever the stored sizes.
void CEditorEngine::PlaceNear(MapObject* object, const MapObject* anchor)
{
    if (object == nullptr || anchor == nullptr)
        return;
    const Clearance clear(*this, *object);
    const int32_t step = 2 * std::max(anchor->width, SmallIconSize());
    for (int32_t radius = step; radius < kPlacementLimit; radius += step) {
        const float r = static_cast<float>(radius);
        for (double angle = 0.0; angle <= 2.0 * std::numbers::pi; angle += std::numbers::pi / 36.0) {
            const int32_t x =
                static_cast<int32_t>(std::cos(angle) * r) + anchor->width / 2 + anchor->x - object->width / 2;
            const int32_t y =
                static_cast<int32_t>(std::sin(angle) * r) + anchor->height / 2 + anchor->y - object->height / 2;
            if (clear.Try(*object, x, y))
                return;
        }
    }
}

void CEditorEngine::PlaceAt(MapObject* object, int32_t x0, int32_t y0)
{
    if (object == nullptr)
        return;
    const Clearance clear(*this, *object);
    const int32_t step = 2 * std::max(object->width, SmallIconSize());
    for (int32_t radius = step; radius < kPlacementLimit; radius += step) {
        const float r = static_cast<float>(radius);
        for (double angle = 0.0; angle <= 2.0 * std::numbers::pi; angle += std::numbers::pi / 36.0) {
            if (clear.Try(*object, static_cast<int32_t>(std::cos(angle) * r) + x0,
                          static_cast<int32_t>(std::sin(angle) * r) + y0))
                return;
        }
    }
}
