#include "designer/workspace/rename_dlg.h"

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/notification.h"
#include "designer/app/registry.h"
#include "designer/app/window_placement.h"
#include "designer/workspace/receptors_texts.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/expression.h"
#include "engine/behaviour/expression_list.h"
#include "engine/behaviour/property.h"
#include "engine/core/cursor_list.h"
#include "engine/core/node.h"
#include "engine/core/sub_worlds.h"
#include "engine/resources/material.h"
#include "engine/resources/sound.h"
#include "engine/resources/texture.h"
#include "engine/resources/tooltip.h"
#include "platform/base/user_constants.h"
#include "platform/gfx/text/utf8.h"
#include "platform/ui/providers/providers.h"

namespace {

constexpr uint16_t kRenamedTypes[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 17, 22, 25};

bool IsNodeType(uint16_t type)
{
    return (type >= 1 && type <= 5) || type == 13 || type == 14 || type == 25;
}

std::string Text(uint32_t id)
{
    return pf::resources().string(id).value_or(std::string());
}

int32_t RunRename(CVTNDesignerApp&, const CVTND_ModalRequest& request)
{
    CVTND_RenameDlg dialog(request.subject, request.owner);
    return dialog.Run();
}

const CVTND_ModalToolRegistration kRenameTool(ModalTool::kRename, &RunRename);

} // namespace

uint32_t RenameKindText(uint16_t type)
{
    for (size_t i = 0; i < std::size(kRenamedTypes); ++i)
        if (kRenamedTypes[i] == type)
            return kIdsKindMeshNode + static_cast<uint32_t>(i);
    return 0;
}

CVTND_RenameDlg::CVTND_RenameDlg(CVTND_Object target, pf::Window* parent) : m_target(target), m_parent(parent) {}

void CVTND_RenameDlg::SetName(std::optional<std::string> name)
{
    m_name = std::move(name);
}

int32_t CVTND_RenameDlg::Run()
{
    return doModal(kIddRename, m_parent);
}

bool CVTND_RenameDlg::TakeCurrentName()
{
    const uint16_t type = m_target.GetType();
    void* object = m_target.GetObject();
    if (RenameKindText(type) == 0 || object == nullptr)
        return false;
    std::optional<std::string> name;
    if (IsNodeType(type))
        name = static_cast<SWnode*>(object)->GetName();
    else if (type == 6)
        name = static_cast<SWmaterial*>(object)->GetName();
    else if (type == 7)
        name = static_cast<CVTN_SubWorld*>(object)->GetName();
    else if (type == 8)
        name = static_cast<SWsound*>(object)->GetName();
    else if (type == 9) {
        const SWexpression* e = static_cast<SWexpressionentry*>(object)->GetExpression();
        name = e != nullptr ? e->GetName() : std::nullopt;
    } else if (type == 10)
        name = static_cast<SWcursor*>(object)->name;
    else if (type == 11)
        name = static_cast<CVTN_ToolTip*>(object)->GetName();
    else if (type == 12)
        name = static_cast<SWtexture*>(object)->GetName();
    else if (type == 15)
        name = static_cast<SWevent*>(object)->GetName();
    else if (type == 22)
        name = static_cast<SWproperty*>(object)->GetName();
    SetName(name);
    return true;
}

bool CVTND_RenameDlg::onInitDialog()
{
    PlaceWindowAtCursor(*this);
    if (!TakeCurrentName()) {
        endDialog(0);
        return false;
    }
    if (pf::Window* label = child(RenameControl::kKindLabel))
        label->setText(Text(RenameKindText(m_target.GetType())));
    if (m_name) {
        child(RenameControl::kCurrentName)->setText(*m_name);
        child(RenameControl::kNewName)->setText(*m_name);
    }
    gotoControl(child(RenameControl::kNewName));
    return false;
}

bool CVTND_RenameDlg::RenameInWorld(const std::string& oldName, const std::string& newName)
{
    CVTNDesignerApp* app = GetDesignerApp();
    CVTND_ExtendedWorld* world = app != nullptr ? app->GetWorld() : nullptr;
    if (world == nullptr)
        return false;
    void* object = m_target.GetObject();
    switch (m_target.GetType()) {
    case 6:
        return world->RenameMaterial(static_cast<SWmaterial*>(object), oldName, newName);
    case 7:
        return world->RenameSubWorld(static_cast<CVTN_SubWorld*>(object), oldName, newName);
    case 9:
        return world->RenameExpression(static_cast<SWexpressionentry*>(object), oldName, newName);
    case 10:
        return world->RenameCursor(static_cast<SWcursor*>(object), oldName, newName);
    case 11:
        return world->RenameTooltip(static_cast<CVTN_ToolTip*>(object), oldName, newName);
    case 12:
        return world->RenameTexture(static_cast<SWtexture*>(object), oldName, newName);
    case 15:
        return world->RenameEvent(static_cast<SWevent*>(object), oldName, newName);
    default:
        return world->RenameNode(static_cast<SWnode*>(object), oldName, newName);
    }
}

void CVTND_RenameDlg::onOK()
{
    const std::string typed = child(RenameControl::kNewName)->text();
    // Characters, not bytes: a name of one letter outside ASCII is still one letter.
    if (pf::decodeUtf8(typed).size() < 2) {
        pf::messageBox(hwnd(), Text(kIdsRenameValidName), Text(kIdsRenameErrorCaption), pf::MB_OK | pf::MB_ICONHAND);
        return;
    }
    m_newName = typed;
    const uint16_t type = m_target.GetType();
    if (type == 8 || type == 17 || type == 22) {
        m_newName.reset();
        endDialog(0);
        return;
    }
    const std::string oldName = m_name.value_or(std::string());
    if (oldName == typed) {
        m_newName.reset();
        endDialog(1);
        return;
    }
    CVTND_Event record(EventCode::kRenamed, m_target);
    record.SetTexts(oldName, typed);
    const bool renamed = RenameInWorld(oldName, typed);
    m_newName.reset();
    if (!renamed) {
        pf::messageBox(hwnd(), Text(kIdsRenameUniqueName), Text(kIdsRenameErrorCaption), pf::MB_OK | pf::MB_ICONHAND);
        return;
    }
    if (CVTNDesignerApp* app = GetDesignerApp())
        app->Broadcast(record);
    endDialog(1);
}
