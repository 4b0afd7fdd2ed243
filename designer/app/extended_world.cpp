#include "designer/app/extended_world.h"

#include <cstring>
#include <optional>
#include <string_view>
#include <utility>

#include "designer/app/designer_app.h"
#include "designer/app/main_frame.h"
#include "designer/app/notification.h"
#include "designer/app/project.h"
#include "designer/app/world_host.h"
#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/channel_motion.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/expression.h"
#include "engine/behaviour/expression_list.h"
#include "engine/behaviour/generator.h"
#include "engine/behaviour/motion.h"
#include "engine/behaviour/particle_motion.h"
#include "engine/behaviour/track_target_motion.h"
#include "engine/behaviour/xyz_motion.h"
#include "engine/core/data_node.h"
#include "engine/core/hotspot.h"
#include "engine/core/node.h"
#include "engine/core/root_object.h"
#include "engine/core/scene_import.h"
#include "engine/core/sub_worlds.h"
#include "engine/resources/material.h"
#include "engine/resources/particle_node.h"
#include "engine/resources/texture.h"
#include "engine/resources/tooltip.h"
#include "platform/ui/core/ui.h"

namespace {

constexpr int32_t kBackgroundActionKind = 19;
constexpr int32_t kLoadWorldKind = 54;
constexpr int32_t kHideShowWorldKind = 56;

// Every string argument of action equal to oldName becomes newName.
void RenameActionArguments(SWactionnode& action, std::string_view oldName, const std::string& newName)
{
    for (SWlistnode* n = action.GetArguments().Head(); n != nullptr; n = n->Next()) {
        auto* argument = static_cast<SWdatanode*>(n);
        const char* text = argument->GetText();
        if (text != nullptr && std::string_view(text) == oldName)
            argument->SetText(newName.c_str(), true);
    }
}

// The same for every action whose kind is in [firstKind, lastKind].
void RenameStringArguments(SWworld& world, int32_t firstKind, int32_t lastKind, std::string_view oldName,
                           const std::string& newName)
{
    for (SWevent* e = world.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e)) {
        for (SWactionnode* a = e->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a)) {
            if (a->GetKindId() >= firstKind && a->GetKindId() <= lastKind)
                RenameActionArguments(*a, oldName, newName);
        }
    }
}

void RenameIfNamed(std::optional<std::string>& name, std::string_view oldName, const std::string& newName)
{
    if (name && *name == oldName)
        name = newName;
}

// Every reference by name to a node the events hold: the object lists, the string arguments of the kinds that
// name nodes, a load-world action's parent node and the motions' reference, aim and channel targets.
void RenameNodeReferences(SWworld& world, std::string_view oldName, const std::string& newName)
{
    world.RenameObjectNames(oldName, newName);
    for (SWevent* e = world.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e)) {
        for (SWactionnode* a = e->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a)) {
            if (ActionKindNamesNodes(a->GetKindId()))
                RenameActionArguments(*a, oldName, newName);
            if (auto* load = dynamic_cast<SWimportvtoactionnode*>(a))
                RenameIfNamed(load->settings.fileName, oldName, newName);
            auto* motion = dynamic_cast<SWnodemotion*>(a->GetMotion());
            if (motion == nullptr)
                continue;
            std::optional<std::string> reference = motion->GetTargetNodeName();
            RenameIfNamed(reference, oldName, newName);
            motion->SetTargetNodeName(std::move(reference));
            if (auto* aim = dynamic_cast<SWtracktargetmotion*>(motion);
                aim != nullptr && aim->GetTargetName() && *aim->GetTargetName() == oldName) {
                SWnode* const target = aim->GetTarget(); // setting the name forgets the resolved node
                aim->SetTargetName(newName);
                aim->SetTarget(target);
            }
            if (auto* channels = dynamic_cast<SWchannelmotion*>(motion)) {
                for (int i = 0; i < SWchannelmotion::kChannelCount; ++i) {
                    std::optional<std::string> target = channels->GetChannel(i).GetTargetName();
                    RenameIfNamed(target, oldName, newName);
                    channels->GetChannel(i).SetTargetName(std::move(target));
                }
            }
        }
    }
}

// Every reference by name to an object's variables ("NODE:lamp.level", or bare in an expression's text): the
// expressions' texts and targets, pending watched variables, the property generators of the XYZ motions and the
// particle slots, and the host messages that send a variable's value. Each holder resolves its new text again, so
// the value keeps following the variable.
void RenameVariableReferences(SWworld& world, std::string_view prefix, std::string_view oldName,
                              const std::string& newName)
{
    const auto renamed = [&](const std::optional<std::string>& text) {
        return text ? SWexpression::RenameObjectInText(*text, prefix, oldName, newName) : std::nullopt;
    };
    if (SWexpressionlist* list = SWexpressionlist::Find(world)) {
        for (const SWlistnode* n = list->Entries().Head(); n != nullptr; n = n->Next()) {
            SWexpression* expression = static_cast<const SWexpressionentry*>(n)->GetExpression();
            if (std::optional<std::string> text = renamed(expression->GetText()))
                expression->SetText(std::move(text));
            if (std::optional<std::string> target = renamed(expression->GetTargetText())) {
                SWproperty* const variable = expression->GetTargetVariable(); // the text alone goes unsaved
                expression->SetTargetText(std::move(target));
                expression->SetTargetVariable(variable);
            }
        }
    }
    const auto renameGenerator = [&](SWgenerator* generator) {
        if (auto* sampling = dynamic_cast<SWpropertygenerator*>(generator))
            if (std::optional<std::string> name = renamed(sampling->GetPropertyName()))
                sampling->SetPropertyName(std::move(name));
    };
    for (SWnode* n = world.GetRootNode(); n != nullptr; n = n->NextInTree(world.GetRootNode())) {
        const auto* particles = dynamic_cast<const SWparticlenode*>(n->GetGeometry());
        for (int slot = 0; particles != nullptr && slot < SWparticlenode::kSlotCount; ++slot)
            if (const auto* held = dynamic_cast<const SWparticlegenerator*>(particles->GetGenerator(slot)))
                renameGenerator(held->Get());
    }
    for (SWevent* e = world.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e)) {
        if (std::optional<std::string> watched = renamed(e->GetWatchedVariableName()))
            e->SetWatchedVariableName(std::move(watched));
        for (SWactionnode* a = e->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a)) {
            const auto* xyz = dynamic_cast<const SWxyzmotion*>(a->GetMotion());
            for (int i = 0; xyz != nullptr && i < 3; ++i)
                renameGenerator(xyz->GetGenerator(i));
            // A message that sends a variable's value holds the reference as its text, resolved at each send.
            const auto* message = dynamic_cast<const SWhostmessageaction*>(a);
            auto* argument = static_cast<SWdatanode*>(a->GetArguments().Head());
            if (message != nullptr && message->sendVariable != 0 && argument != nullptr &&
                argument->GetText() != nullptr)
                if (std::optional<std::string> text = renamed(std::string(argument->GetText())))
                    argument->SetText(text->c_str(), true);
        }
    }
}

bool OtherNodeNamed(const SWworld& world, const SWnode* node, std::string_view name)
{
    SWnode* root = world.GetRootNode();
    for (SWnode* n = root; n != nullptr; n = n->NextInTree(root)) {
        if (n != node && n->GetName() && *n->GetName() == name)
            return true;
    }
    return false;
}

std::string Replaced(const std::string& name, std::string_view oldName, const std::string& newName)
{
    return name == oldName ? newName : name;
}

} // namespace

CVTND_ExtendedWorld::~CVTND_ExtendedWorld()
{
    // Events and their motions go first in the engine's destructor; nothing here needs the host any more.
    m_host = nullptr;
}

void CVTND_ExtendedWorld::SetHost(CVTND_WorldHost* host)
{
    SWworldlock lock(*this);
    m_host = host;
}

void CVTND_ExtendedWorld::JavaCallback(SWevent* event, const char* text1, const char* text2, const char* dataText)
{
    if (m_host != nullptr)
        m_host->JavaCallback(event, text1, text2, dataText);
}

void CVTND_ExtendedWorld::SetCursor(const SWcursor* cursor)
{
    if (m_host != nullptr)
        m_host->SetCursor(cursor);
}

void CVTND_ExtendedWorld::HostMessage(const char* text)
{
    if (m_host != nullptr)
        m_host->HostMessage(text);
}

bool CVTND_ExtendedWorld::BeginMouseLook()
{
    return m_host != nullptr && m_host->BeginMouseLook();
}

void CVTND_ExtendedWorld::EndMouseLook()
{
    if (m_host != nullptr)
        m_host->EndMouseLook();
}

bool CVTND_ExtendedWorld::IsApplicationWorld() const
{
    const CVTNDesignerApp* app = GetDesignerApp();
    return app != nullptr && app->GetWorld() == this;
}

void CVTND_ExtendedWorld::MarkModified() const
{
    if (CVTNDesignerApp* app = GetDesignerApp(); app != nullptr && app->GetWorld() == this)
        app->SetModified();
}

void CVTND_ExtendedWorld::ReplaceTextureReferences(SWtexture* old, SWtexture* replacement, bool keep)
{
    if (old != nullptr && replacement != nullptr && old != replacement && IsApplicationWorld()) {
        CVTND_Event replaced(EventCode::kReplaced, CVTND_Object(ObjectType::kTexture, old));
        replaced.related[0] = CVTND_Object(ObjectType::kTexture, replacement);
        GetDesignerApp()->Broadcast(replaced);
    }
    SWworld::ReplaceTextureReferences(old, replacement, keep);
}

void CVTND_ExtendedWorld::UnloadSubWorld(CVTN_SubWorld& entry, bool all, bool resources)
{
    const CVTNDesignerApp* app = GetDesignerApp();
    if (!IsApplicationWorld() || app->GetMainFrame() == nullptr || !pf::hasUi()) {
        SWworld::UnloadSubWorld(entry, all, resources);
        return;
    }
    {
        const std::lock_guard hold(m_unloadsLock);
        m_unloads.push_back({entry.GetName().value_or(""), all, resources});
    }
    pf::ui().post(app->GetMainFrame()->hwnd(), kMsgPreviewUnloads);
}

std::vector<CVTND_ExtendedWorld::PendingUnload> CVTND_ExtendedWorld::TakeUnloads()
{
    const std::lock_guard hold(m_unloadsLock);
    return std::exchange(m_unloads, {});
}

// -- Renames

bool CVTND_ExtendedWorld::RenameNode(SWnode* node, const std::string& oldName, const std::string& newName)
{
    SWworldlock lock(*this);
    if (node == nullptr || node->GetWorld() != this || OtherNodeNamed(*this, node, newName))
        return false;
    const std::optional<std::string> previous = node->GetName();
    node->SetName(newName);
    if (previous) {
        RenameNodeReferences(*this, *previous, newName);
        RenameVariableReferences(*this, "NODE", *previous, newName);
    }
    if (m_project != nullptr)
        m_project->RenameMergeEntries(MergedKind::kNode, node, node->GetId(), oldName, newName);
    MarkModified();
    return true;
}

bool CVTND_ExtendedWorld::RenameMaterial(SWmaterial* material, const std::string& oldName, const std::string& newName)
{
    SWworldlock lock(*this);
    if (material == nullptr)
        return false;
    for (SWmaterial* m = GetRootObject()->GetFirstMaterial(); m != nullptr; m = SWrootobject::GetNextMaterial(m)) {
        if (m != material && m->GetName() == newName)
            return false;
    }
    material->SetName(newName);
    if (m_project != nullptr)
        m_project->RenameMergeEntries(MergedKind::kMaterial, material, 0, oldName, newName);
    MarkModified();
    return true;
}

bool CVTND_ExtendedWorld::RenameSubWorld(CVTN_SubWorld* entry, const std::string& oldName, const std::string& newName)
{
    SWworldlock lock(*this);
    if (entry == nullptr)
        return false;
    const CVTN_SubWorld* named = GetSubWorlds().FindByName(newName);
    if (named != nullptr && named != entry)
        return false;
    entry->SetName(newName);
    // Kind 54 keeps the root node's name in its own settings, not among its arguments: only the entry's name moves.
    RenameStringArguments(*this, kLoadWorldKind, kHideShowWorldKind, oldName, newName);
    if (m_project != nullptr)
        m_project->RenameMergeEntries(MergedKind::kSubWorld, entry, 0, oldName, newName);
    MarkModified();
    return true;
}

bool CVTND_ExtendedWorld::RenameExpression(SWexpressionentry* entry, const std::string& oldName,
                                           const std::string& newName)
{
    SWworldlock lock(*this);
    SWexpressionlist* list = SWexpressionlist::Find(*this);
    if (entry == nullptr || list == nullptr || !list->Holds(entry))
        return false;
    const SWexpressionentry* named = list->FindByName(newName);
    if (named != nullptr && named != entry)
        return false;
    // Actions hold the entry itself, not its name: nothing else follows.
    entry->GetExpression()->SetName(newName);
    if (m_project != nullptr)
        m_project->RenameMergeEntries(MergedKind::kExpression, entry, 0, oldName, newName);
    MarkModified();
    return true;
}

bool CVTND_ExtendedWorld::RenameCursor(SWcursor* cursor, const std::string& oldName, const std::string& newName)
{
    SWworldlock lock(*this);
    if (cursor == nullptr)
        return false;
    const SWcursor* named = GetCursorList().FindByName(newName);
    if (named != nullptr && named != cursor)
        return false;
    cursor->name = newName;
    if (m_project != nullptr)
        m_project->RenameMergeEntries(MergedKind::kCursor, cursor, cursor->id, oldName, newName);
    MarkModified();
    return true;
}

bool CVTND_ExtendedWorld::RenameTooltip(CVTN_ToolTip* tooltip, const std::string& oldName, const std::string& newName)
{
    SWworldlock lock(*this);
    SWtooltips* tooltips = SWtooltips::Find(*this);
    if (tooltip == nullptr || tooltips == nullptr)
        return false;
    bool held = false;
    for (SWlistnode* n = tooltips->GetList().Head(); n != nullptr; n = n->Next()) {
        const auto* other = static_cast<const CVTN_ToolTip*>(n);
        if (other == tooltip)
            held = true;
        else if (other->GetName() == newName)
            return false;
    }
    if (!held)
        return false;
    // Tooltips name their nodes, never the reverse: the merge records are the only references by name.
    tooltip->SetTooltipName(newName);
    if (m_project != nullptr)
        m_project->RenameMergeEntries(MergedKind::kTooltip, tooltip, 0, oldName, newName);
    MarkModified();
    return true;
}

bool CVTND_ExtendedWorld::RenameTexture(SWtexture* texture, const std::string& oldName, const std::string& newName)
{
    SWworldlock lock(*this);
    if (texture == nullptr)
        return false;
    const SWtexture* named = FindTextureByName(newName);
    if (named != nullptr && named != texture)
        return false;
    MarkModified();
    for (SWevent* e = GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e)) {
        for (SWactionnode* a = e->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a)) {
            auto* background = a->GetKindId() == kBackgroundActionKind ? dynamic_cast<SWbackgroundaction*>(a) : nullptr;
            if (background != nullptr && background->GetTextureName() == oldName)
                background->SetTextureName(newName);
        }
    }
    SWnode* root = GetRootNode();
    for (SWnode* n = root; n != nullptr; n = n->NextInTree(root)) {
        auto* hotspot = dynamic_cast<SWhotspot*>(n);
        if (hotspot != nullptr && hotspot->GetTextureName() == oldName)
            hotspot->SetTextureName(newName);
    }
    for (SWmaterial* m = GetRootObject()->GetFirstMaterial(); m != nullptr; m = SWrootobject::GetNextMaterial(m)) {
        m->SetStoredTextureNames(Replaced(m->GetTextureName(), oldName, newName),
                                 Replaced(m->GetReflectionTextureName(), oldName, newName),
                                 Replaced(m->GetBumpTextureName(), oldName, newName));
    }
    texture->SetName(newName);
    if (m_project != nullptr)
        m_project->RenameMergeEntries(MergedKind::kTexture, texture, 0, oldName, newName);
    return true;
}

bool CVTND_ExtendedWorld::RenameEvent(SWevent* event, const std::string& oldName, const std::string& newName)
{
    SWworldlock lock(*this);
    // Ignoring case, and finding the event itself: a change of letter case alone is refused.
    if (event == nullptr || event->GetWorld() != this || FindEvent(newName) != nullptr)
        return false;
    event->SetName(newName); // the string arguments of the event-naming kinds follow
    if (m_project != nullptr)
        m_project->RenameMergeEntries(MergedKind::kEvent, event, event->GetId(), oldName, newName);
    MarkModified();
    return true;
}
