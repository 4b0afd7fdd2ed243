#include "designer/workspace/list_panels.h"

#include <algorithm>
#include <string>
#include <vector>

#include "designer/app/extended_world.h"
#include "designer/app/objects_factory.h"
#include "designer/app/registry.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/editor_images.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/expression.h"
#include "engine/behaviour/expression_list.h"
#include "engine/core/cursor_list.h"
#include "engine/resources/sound.h"
#include "engine/resources/sound_list.h"
#include "platform/base/user_constants.h"
#include "platform/ui/core/resources.h"

// -- Events

CVTND_EventsDlg::CVTND_EventsDlg(CVTNDesignerApp& app)
    : CVTND_ListPanelDlg(app, PanelRole::kEvents, panel_ids::kEvents, ObjectType::kEvent)
{
}

void CVTND_EventsDlg::RedrawList()
{
    if (pf::ListView* list = GetList())
        list->invalidate();
}

void CVTND_EventsDlg::Fill(CVTND_ExtendedWorld& world)
{
    std::vector<void*> events;
    for (SWevent* event = world.GetFirstEvent(); event != nullptr; event = SWevents::GetNextEvent(event))
        events.push_back(event);
    AddItems(events);
}

std::string CVTND_EventsDlg::ItemText(void* object, int32_t) const
{
    return static_cast<SWevent*>(object)->GetName().value_or(std::string());
}

// The editor images keep the event icons at the large size only; the same icon resources give the small pictures.
pf::ImageListRef CVTND_EventsDlg::Images()
{
    if (m_images != nullptr || GetEditorImages() == nullptr)
        return m_images;
    const int32_t side = pf::fixedSystemMetric(pf::SM_CXSMICON);
    const std::vector<uint32_t>& ids = CVTND_EditorImages::IdsOf(EditorImageList::kEvents);
    m_images = pf::ImageList::create(side, side, pf::ILC_COLOR32 | pf::ILC_MASK, static_cast<int32_t>(ids.size()), 0);
    for (const uint32_t id : ids) {
        const pf::IconRef icon = pf::resources().icon(id, side);
        if (icon == nullptr || m_images->addIcon(*icon) < 0)
            return m_images = nullptr; // a hole would shift every later type onto the wrong picture
    }
    return m_images;
}

int32_t CVTND_EventsDlg::ItemImage(void* object) const
{
    return m_images != nullptr ? CEditorEngine::EventTypeIcon(static_cast<SWevent*>(object)->GetType()) : -1;
}

// -- Expressions

CVTND_ExpressionsDlg::CVTND_ExpressionsDlg(CVTNDesignerApp& app)
    : CVTND_ListPanelDlg(app, PanelRole::kExpressions, panel_ids::kExpressions, ObjectType::kExpression)
{
    m_objectIcon = 3;
}

void CVTND_ExpressionsDlg::NewExpression()
{
    CVTND_CreateRequest request;
    request.owner = this;
    m_app.GetObjectsFactory().CreateObject(static_cast<uint16_t>(ObjectType::kExpression), request);
}

void CVTND_ExpressionsDlg::Fill(CVTND_ExtendedWorld& world)
{
    std::vector<void*> entries;
    if (const SWexpressionlist* list = SWexpressionlist::Find(world))
        for (SWlistnode* node = list->Entries().Head(); node != nullptr; node = node->Next())
            entries.push_back(static_cast<SWexpressionentry*>(node));
    AddItems(entries);
}

std::string CVTND_ExpressionsDlg::ItemText(void* object, int32_t) const
{
    const SWexpression* expression = static_cast<SWexpressionentry*>(object)->GetExpression();
    return expression != nullptr ? expression->GetName().value_or(std::string()) : std::string();
}

void CVTND_ExpressionsDlg::OnCommand(int32_t id)
{
    if (id == panel_ids::kNew)
        NewExpression();
}

void CVTND_ExpressionsDlg::Layout(const pf::Rect& client)
{
    constexpr int32_t kRow = 26;
    if (pf::Window* list = child(kPanelMainControl))
        list->move({client.l, client.t, client.r, std::max(client.t, client.b - kRow)});
    if (pf::Window* button = child(panel_ids::kNew))
        button->move({client.l + 2, client.b - kRow + 3, client.l + 72, client.b - 2});
}

// -- Sounds

CVTND_SoundsDlg::CVTND_SoundsDlg(CVTNDesignerApp& app)
    : CVTND_ListPanelDlg(app, PanelRole::kSounds, panel_ids::kSounds, ObjectType::kSound)
{
    m_objectIcon = 1;
}

void CVTND_SoundsDlg::Fill(CVTND_ExtendedWorld& world)
{
    const SWsoundlist& sounds = world.GetSoundList();
    std::vector<void*> listed;
    for (SWsound* sound = sounds.GetFirst(); sound != nullptr; sound = sounds.GetNext(sound))
        listed.push_back(sound);
    AddItems(listed);
}

std::string CVTND_SoundsDlg::ItemText(void* object, int32_t) const
{
    return static_cast<SWsound*>(object)->GetName();
}

// -- Cursors

CVTND_CursorsDlg::CVTND_CursorsDlg(CVTNDesignerApp& app)
    : CVTND_ListPanelDlg(app, PanelRole::kCursors, panel_ids::kCursors, ObjectType::kCursor)
{
    m_objectIcon = 7;
}

void CVTND_CursorsDlg::Fill(CVTND_ExtendedWorld& world)
{
    std::vector<void*> cursors;
    for (SWcursor* cursor = world.GetCursorList().GetFirst(); cursor != nullptr; cursor = CursorList::GetNext(cursor))
        cursors.push_back(cursor);
    AddItems(cursors);
}

std::string CVTND_CursorsDlg::ItemText(void* object, int32_t column) const
{
    const auto* cursor = static_cast<SWcursor*>(object);
    return column == 0 ? cursor->name : std::to_string(cursor->id);
}
