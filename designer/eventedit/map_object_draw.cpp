// How droppables show themselves: a map object drawn on the canvas, the drag cursor of a map or palette object, and a
// map object opened by a double click.
#include <string>

#include "designer/app/designer_app.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/editor_images.h"
#include "designer/editing/map_object.h"
#include "designer/workspace/pick_operations.h"
#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/expression.h"
#include "engine/behaviour/expression_list.h"
#include "engine/core/cursor_list.h"
#include "engine/core/node.h"
#include "engine/core/sub_worlds.h"
#include "engine/resources/material.h"
#include "engine/resources/sound.h"
#include "platform/base/gdi_constants.h"
#include "platform/gfx/dc.h"
#include "platform/gfx/dib.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/gfx/memory_dc.h"
#include "platform/ui/core/ui.h"

namespace {

constexpr int32_t kHostCallbackKind = 16;
constexpr int32_t kEllipseMargin = 5;

pf::ColorRef ColourOf(const CEditorEngine& engine, uint32_t id)
{
    const CVTND_Rgb& c = engine.Colour(id);
    return pf::rgb(c.r, c.g, c.b);
}

std::string OrEmpty(const std::optional<std::string>& text)
{
    return text ? *text : std::string();
}

// The icon a droppable drags with: from its cursor list when it has one, else from its own list.
pf::IconRef DragIcon(const Droppable& droppable)
{
    const CVTND_EditorImages* images = GetEditorImages();
    if (images == nullptr)
        return nullptr;
    const EdImageList which =
        droppable.cursorImageList != EdImageList::kNone ? droppable.cursorImageList : droppable.imageList;
    const pf::ImageListRef list = images->ListOf(which);
    return list != nullptr ? list->getIcon(droppable.iconIndex) : nullptr;
}

} // namespace

void UIObject::ShowDragCursor()
{
    if (!pf::hasUi())
        return;
    const pf::IconRef icon = DragIcon(*this);
    pf::ui().setCursor(icon != nullptr ? pf::cursorFromIcon(icon) : pf::loadCursor(pf::IDC_ARROW));
}

void MapObject::ShowDragCursor()
{
    if (!pf::hasUi())
        return;
    const pf::IconRef icon = DragIcon(*this);
    if (icon == nullptr) {
        pf::ui().setCursor(pf::loadCursor(pf::IDC_ARROW));
        return;
    }
    const pf::Point hot = icon->hotSpot();
    const pf::Point at = pf::ui().cursorPos();
    pf::ui().setCursorPos({at.x - grabOffset.x + hot.x, at.y - grabOffset.y + hot.y});
    grabOffset = hot;
    pf::ui().setCursor(pf::cursorFromIcon(icon));
}

std::string MapObject::Label() const
{
    if (const SWnode* node = GetNode())
        return OrEmpty(node->GetName());
    if (const SWsound* sound = GetSound())
        return sound->GetName();
    if (const CVTN_SubWorld* world = GetWorld())
        return OrEmpty(world->GetName());
    if (const SWcursor* cursor = GetCursor())
        return cursor->name;
    if (const SWmaterial* material = GetMaterial())
        return material->GetName();
    if (const SWexpressionentry* entry = GetExpression())
        return entry->GetExpression() != nullptr ? OrEmpty(entry->GetExpression()->GetName()) : std::string();
    if (const SWactionnode* action = GetAction(); action != nullptr && action->GetKindId() == kHostCallbackKind) {
        const SWactionkind* kind = action->GetKind();
        return kind == nullptr ? std::string() : OrEmpty(kind->GetFirstText()) + "::" + OrEmpty(kind->GetParameter());
    }
    return {};
}

void MapObject::Draw(pf::Dc& dc, pf::Point scroll, bool highlight)
{
    const CEditorEngine* engine = GetEditorEngine();
    const CVTND_EditorImages* images = GetEditorImages();
    if (engine == nullptr)
        return;
    const pf::Point at{x - scroll.x, y - scroll.y};
    const uint32_t style = pf::ILD_TRANSPARENT | (highlight ? pf::ILD_BLEND50 : 0);
    dc.selectObject(pf::getStockObject(pf::DEFAULT_GUI_FONT));
    dc.setTextColor(ColourOf(*engine, EngineSetting::kTextColour));
    dc.setBkColor(ColourOf(*engine, EngineSetting::kMapColour));
    dc.setBkMode(pf::OPAQUE);
    if (const SWevent* event = GetEvent()) {
        const EdImageList list =
            event->IsEnabled() || disabledImageList == EdImageList::kNone ? imageList : disabledImageList;
        if (images != nullptr && images->ListOf(list) != nullptr)
            images->ListOf(list)->draw(dc, iconIndex, at, style);
    } else if (bitmap != nullptr) {
        pf::MemoryDc picture;
        picture.select(bitmap);
        dc.bitBlt(at.x, at.y, 32, 32, picture, 0, 0, pf::SRCCOPY);
    } else if (images != nullptr && images->ListOf(imageList) != nullptr) {
        images->ListOf(imageList)->draw(dc, iconIndex, at, style);
    }
    if (const std::string label = ShownLabel(*engine); !label.empty())
        dc.textOut(at.x, at.y + height, label);
    const CESN* entry = engine->Selection().Find(this);
    if (entry == nullptr)
        return;
    const EnginePen pen =
        entry == engine->Selection().Last() ? EnginePen::kPrimarySelection : EnginePen::kSecondarySelection;
    dc.selectPen(engine->GetPen(pen));
    dc.selectObject(pf::getStockObject(pf::NULL_BRUSH));
    dc.ellipse(
        {at.x - kEllipseMargin, at.y - kEllipseMargin, at.x + width + kEllipseMargin, at.y + height + kEllipseMargin});
}

std::string MapObject::ShownLabel(const CEditorEngine& engine) const
{
    std::string label;
    if (const SWevent* event = GetEvent())
        label = engine.showEventNames ? OrEmpty(event->GetName()) : std::string();
    else
        label = engine.showObjectNames ? Label() : std::string();
    return Shortened(std::move(label));
}

// A name of any length ran far under the names beside it; the map shows its first characters, never cutting one.
std::string MapObject::Shortened(std::string label)
{
    constexpr size_t kLongestLabel = 32; // characters
    size_t characters = 0;
    for (size_t i = 0; i < label.size(); ++i) {
        if ((static_cast<uint8_t>(label[i]) & 0xC0) == 0x80)
            continue; // within a character
        if (++characters > kLongestLabel) {
            label.resize(i);
            return label + "...";
        }
    }
    return label;
}

void MapObject::Open(pf::Window* window, pf::Point)
{
    CVTNDesignerApp* app = GetDesignerApp();
    if (SWactionnode* action = GetAction()) {
        EditActionDetails(action);
    } else if (SWexpressionentry* entry = GetExpression()) {
        if (app != nullptr)
            app->EditObject(CVTND_Object(entry), true);
    } else if (SWevent* event = GetEvent()) {
        EditEventParameters(window, event, event->GetType(), true);
    }
}
