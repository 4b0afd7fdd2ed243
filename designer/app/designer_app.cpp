#include "designer/app/designer_app.h"

#include <algorithm>
#include <array>
#include <span>
#include <vector>

#include "designer/app/app_component.h"
#include "designer/app/editor_settings.h"
#include "designer/app/engine_interface.h"
#include "designer/app/extended_world.h"
#include "designer/app/map_canvas.h"
#include "designer/app/notification.h"
#include "designer/app/project.h"
#include "designer/app/registry.h"
#include "designer/app/window_placement.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/behaviour_records.h"
#include "engine/behaviour/event.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/node.h"
#include "engine/core/world_file.h"
#include "engine/core/world_sections.h"
#include "platform/base/assertion.h"
#include "platform/ui/core/resources.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/core/window.h"

namespace {

CVTNDesignerApp* g_app = nullptr; // the current one; set and cleared on the user-interface thread

constexpr uint16_t kTypeAction = static_cast<uint16_t>(ObjectType::kAction);
constexpr uint16_t kTypeEvent = static_cast<uint16_t>(ObjectType::kEvent);

// Kinds whose editor is one at a time, whatever object it is asked for.
bool IsSingleEditorKind(uint16_t kind)
{
    return kind == static_cast<uint16_t>(ObjectType::kWorldHeader) ||
           kind == static_cast<uint16_t>(ObjectType::kBackground);
}

pf::Hwnd HandleOf(pf::Window* window)
{
    return window != nullptr ? window->hwnd() : pf::kNoWindow;
}

// The nodes of node's subtree, each after its descendants.
void CollectSubtreeChildrenFirst(SWnode& node, std::vector<SWnode*>& out)
{
    for (SWnode* child = node.GetFirstChildNode(); child != nullptr; child = child->GetNextSiblingNode())
        CollectSubtreeChildrenFirst(*child, out);
    out.push_back(&node);
}

} // namespace

CVTNDesignerApp* GetDesignerApp()
{
    return g_app;
}

CVTNDesignerApp::CVTNDesignerApp(CVTND_EditorSettings* settings) : m_settings(settings)
{
    PF_ASSERT(g_app == nullptr, "one designer application at a time");
    g_app = this;
    if (const CVTND_ComponentCreator images = CVTND_Registry::FindEditorImagesCreator())
        m_images = images();
}

CVTNDesignerApp::~CVTNDesignerApp()
{
    m_editors.clear();
    DeleteEditorEngine();
    DeleteWorkspace();
    m_images.reset();
    if (g_app == this)
        g_app = nullptr;
}

// -- The workspace

void CVTNDesignerApp::NewWorkspace()
{
    auto world = std::make_unique<CVTND_ExtendedWorld>();
    auto project = std::make_unique<CVTND_Project>(*world, m_settings);
    std::unique_ptr<CVTND_GradientStore> gradients;
    if (const CVTND_GradientStoreCreator creator = CVTND_Registry::FindGradientStoreCreator())
        gradients = creator();
    SetWorkspace(std::move(world), std::move(project), std::move(gradients));
}

void CVTNDesignerApp::SetWorkspace(std::unique_ptr<CVTND_ExtendedWorld> world, std::unique_ptr<CVTND_Project> project,
                                   std::unique_ptr<CVTND_GradientStore> gradients)
{
    DeleteWorkspace();
    m_world = std::move(world);
    m_project = std::move(project);
    m_gradients = std::move(gradients);
    m_modified = 0;
}

// -- The modified flag

namespace {

// What an editor of kind can change of what a save writes, besides the project's own record, the world's settings
// and header and the small lists every form holds: a form of only these costs what they cost, not what the whole
// project does. A kind not named here reaches everything.
WorldWriteParts PartsReachedBy(uint16_t kind)
{
    const auto bit = [](WorldSection section) { return 1u << static_cast<uint32_t>(section); };
    WorldWriteParts parts;
    parts.nodes = false;
    switch (static_cast<ObjectType>(kind)) {
    case ObjectType::kMaterial: // its own record; its pictures are chosen by name among the textures
        parts.sections = bit(WorldSection::kMaterials);
        break;
    case ObjectType::kTexture: // a picture loaded anew, and what shows it: materials, backgrounds, hotspots
        parts.sections = bit(WorldSection::kTextures) | bit(WorldSection::kMaterials) | bit(WorldSection::kBackgrounds);
        parts.nodes = true;
        break;
    case ObjectType::kBackground:
        parts.sections = bit(WorldSection::kBackgrounds) | bit(WorldSection::kTextures);
        break;
    case ObjectType::kSound:
        parts.sections = bit(WorldSection::kSounds);
        break;
    case ObjectType::kWorldHeader:
    case ObjectType::kLoadedWorld:
        parts.sections = 0;
        break;
    case ObjectType::kTooltip:
        parts.sections = bit(WorldSection::kTooltips);
        parts.nodes = true;
        break;
    case ObjectType::kEvent:
    case ObjectType::kAction:
    case ObjectType::kExpression: // arguments, targets, motions, sounds and pictures chosen, properties of nodes
        parts.sections = bit(WorldSection::kEvents) | bit(WorldSection::kExpressions) | bit(WorldSection::kTooltips) |
                         bit(WorldSection::kSounds) | bit(WorldSection::kBackgrounds);
        parts.nodes = true;
        break;
    default:
        return {};
    }
    return parts;
}

WorldWriteParts Joined(WorldWriteParts a, const WorldWriteParts& b)
{
    a.sections |= b.sections;
    a.nodes = a.nodes || b.nodes;
    return a;
}

// The 64-bit FNV-1a of bytes, from hash.
uint64_t Hashed(uint64_t hash, std::span<const uint8_t> bytes)
{
    for (const uint8_t byte : bytes)
        hash = (hash ^ byte) * 0x100000001b3ull;
    return hash;
}

// The event that holds action, found by address: an action deleted meanwhile is simply not found.
const SWevent* EventHolding(const SWworld& world, const SWactionnode* action)
{
    for (const SWevent* e = world.GetFirstEvent(); e != nullptr; e = world.GetNextEvent(e))
        for (const SWactionnode* a = e->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a))
            if (a == action)
                return e;
    return nullptr;
}

} // namespace

bool CVTNDesignerApp::IsPreviewRunning() const
{
    return m_world != nullptr && m_world->IsRunning();
}

CVTNDesignerApp::EditorScope CVTNDesignerApp::OpenEditorScope() const
{
    EditorScope scope;
    scope.parts.sections = 0;
    scope.parts.nodes = false;
    for (const auto& record : m_editors) {
        if (record->onlyItsAction)
            scope.actions.push_back(static_cast<const SWactionnode*>(record->object));
        else
            scope.parts = Joined(scope.parts, PartsReachedBy(record->kind));
    }
    return scope;
}

std::optional<uint64_t> CVTNDesignerApp::FormOf(const EditorScope& scope) const
{
    if (m_project == nullptr || m_world == nullptr)
        return std::nullopt;
    std::optional<uint64_t> form = m_project->StoredForm(m_gradients.get(), scope.parts);
    if (!form || scope.actions.empty())
        return form;
    // The parts' form and the bytes of each action's event, as a save writes them, in one hash.
    std::array<uint8_t, 8> formBytes{};
    for (size_t i = 0; i < formBytes.size(); ++i)
        formBytes[i] = static_cast<uint8_t>(*form >> (8 * i));
    uint64_t hash = Hashed(0xcbf29ce484222325ull, formBytes);
    const SWworldlock lock(*m_world);
    for (const SWactionnode* action : scope.actions) {
        const SWevent* event = EventHolding(*m_world, action);
        if (event == nullptr)
            return std::nullopt;
        SWbuffer buffer;
        SWchunkstream record(buffer, SWchunkstream::kWrite);
        record.SetFormatVersion(kWorldFormatVersion);
        if (!SaveEventRecord(*event, record) || record.Status() != SWchunkstream::kStatusGood)
            return std::nullopt;
        for (size_t b = 0; b < buffer.BlockCount(); ++b)
            hash = Hashed(hash, buffer.Block(b));
    }
    return hash;
}

bool CVTNDesignerApp::NoteEditorChanges() const
{
    if (m_modified != 0 || !m_forms || IsPreviewRunning())
        return m_modified != 0;
    const std::optional<uint64_t> now = FormOf(m_forms->scope);
    // A form that cannot be made any more counts as changed.
    if (!now || std::find(m_forms->unchanged.begin(), m_forms->unchanged.end(), *now) == m_forms->unchanged.end())
        m_modified = 1;
    return m_modified != 0;
}

uint8_t CVTNDesignerApp::IsModified() const
{
    // A running preview moves, hides and recolours what the project stores until it stops, so what an open editor
    // changed cannot be told from it meanwhile: the answer is yes, so that nothing is lost, and is not kept.
    if (IsPreviewRunning())
        return m_modified != 0 || m_forms || m_formsAfterPreview ? 1 : 0;
    return NoteEditorChanges() ? 1 : 0;
}

void CVTNDesignerApp::SetModified(uint8_t modified)
{
    m_modified = modified;
    m_forms.reset();
    m_formsAfterPreview = false;
    // Saved with editors open: what they change from now on is the change.
    TakeEditorForms(std::nullopt);
}

void CVTNDesignerApp::TakeEditorForms(std::optional<uint64_t> before)
{
    if (m_modified == 0 && !m_editors.empty() && IsPreviewRunning()) {
        m_formsAfterPreview = true; // the forms taken before the preview stay to compare with when it stops
        return;
    }
    m_forms.reset();
    m_formsAfterPreview = false;
    if (m_modified != 0 || m_editors.empty())
        return;
    EditorForms forms{OpenEditorScope(), {}};
    if (const std::optional<uint64_t> now = FormOf(forms.scope))
        forms.unchanged.push_back(*now);
    if (before)
        forms.unchanged.push_back(*before);
    if (forms.unchanged.empty())
        m_modified = 1; // no form to compare with: what the editors change must not be lost
    else
        m_forms = std::move(forms);
}

void CVTNDesignerApp::NotePreviewStopped()
{
    // The preview has put back what it moved: what the editors changed meanwhile shows now.
    NoteEditorChanges();
    if (m_editors.empty())
        m_forms.reset();
    if (m_formsAfterPreview)
        TakeEditorForms(std::nullopt);
}

void CVTNDesignerApp::DeleteWorkspace()
{
    m_forms.reset();
    m_formsAfterPreview = false;
    m_eventMapCount = 0; // the next workspace's maps are numbered from 1, as its views are
    m_selection.Clear();
    m_propertiesObject = CVTND_Object();
    m_project.reset(); // it refers to the world
    m_gradients.reset();
    m_world.reset();
}

// -- The editor engine and the editor images

bool CVTNDesignerApp::MakeEditorEngine()
{
    DeleteEditorEngine();
    if (const CVTND_EngineCreator creator = CVTND_Registry::FindEngineCreator())
        m_engine = creator(*this);
    return m_engine != nullptr;
}

void CVTNDesignerApp::DeleteEditorEngine()
{
    if (m_engine != nullptr)
        m_engine->Clear();
    m_engine.reset();
}

const pf::Menu* CVTNDesignerApp::GetEventMapMenu()
{
    if (!m_eventMapMenu && pf::resources().menu(kEventMapMenu))
        m_eventMapMenu = pf::Menu::load(kEventMapMenu);
    return m_eventMapMenu ? &*m_eventMapMenu : nullptr;
}

// -- Tool windows

void CVTNDesignerApp::RegisterPanel(PanelRole role, pf::Window* dialog)
{
    if (role < PanelRole::kCount)
        m_panels[static_cast<size_t>(role)] = dialog;
}

pf::Window* CVTNDesignerApp::GetPanel(PanelRole role) const
{
    return role < PanelRole::kCount ? m_panels[static_cast<size_t>(role)] : nullptr;
}

void CVTNDesignerApp::RegisterChildFrame(pf::Window* frame, CVTND_MapCanvas* canvas)
{
    if (frame == nullptr)
        return;
    for (ChildFrame& registered : m_frames) {
        if (registered.frame == frame) {
            registered.canvas = canvas;
            return;
        }
    }
    m_frames.push_back({frame, canvas, m_nextFrameSerial++});
}

void CVTNDesignerApp::UnregisterChildFrame(pf::Window* frame)
{
    m_frames.remove_if([frame](const ChildFrame& registered) { return registered.frame == frame; });
}

CVTND_MapCanvas* CVTNDesignerApp::GetFirstEventMap()
{
    m_mapWalk = 0;
    return GetNextEventMap();
}

CVTND_MapCanvas* CVTNDesignerApp::GetNextEventMap()
{
    for (const ChildFrame& registered : m_frames) {
        if (registered.serial > m_mapWalk && registered.canvas != nullptr) {
            m_mapWalk = registered.serial;
            return registered.canvas;
        }
    }
    m_mapWalk = m_nextFrameSerial;
    return nullptr;
}

void CVTNDesignerApp::RedrawEventMaps()
{
    std::vector<CVTND_MapCanvas*> maps;
    for (const ChildFrame& registered : m_frames) {
        if (registered.canvas != nullptr)
            maps.push_back(registered.canvas);
    }
    for (CVTND_MapCanvas* map : maps) {
        const bool stillThere = std::any_of(m_frames.begin(), m_frames.end(),
                                            [map](const ChildFrame& registered) { return registered.canvas == map; });
        if (stillThere)
            map->RedrawMap();
    }
}

pf::Window* CVTNDesignerApp::OpenEventMapWindow()
{
    const CVTND_FrameCreator creator = CVTND_Registry::FindFrame(FrameClass::kEventMap);
    if (creator == nullptr)
        return nullptr;
    CVTND_FrameRequest request;
    request.mainFrame = m_mainFrame;
    request.menuId = kEventMapFrameMenu;
    request.number = ++m_eventMapCount;
    return creator(*this, request);
}

pf::Window* CVTNDesignerApp::OpenEventTimeline(SWevent* event)
{
    const CVTND_FrameCreator creator = CVTND_Registry::FindFrame(FrameClass::kEventTimeline);
    if (creator == nullptr || event == nullptr)
        return nullptr;
    CVTND_FrameRequest request;
    request.mainFrame = m_mainFrame;
    request.event = event;
    return creator(*this, request);
}

int32_t CVTNDesignerApp::OnToolsScaleCenter()
{
    const CVTND_ModalToolRun run = CVTND_Registry::FindModalTool(ModalTool::kScaleCenter);
    if (run == nullptr || m_world == nullptr)
        return -1;
    CVTND_ModalRequest request;
    request.owner = m_mainFrame;
    request.subject.InitFromNode(m_world->GetRootNode());
    return run(*this, request);
}

// -- Notifications

void CVTNDesignerApp::BroadcastEvent(uint32_t message, uintptr_t wParam, const CVTND_Event* event)
{
    if (!pf::hasUi())
        return; // no window exists to be told
    // Receivers may close editors, frames or panels while we send: take every handle first, then send to those
    // that are still windows when their turn comes.
    std::vector<pf::Hwnd> handles;
    for (const ChildFrame& registered : m_frames)
        handles.push_back(HandleOf(registered.frame));
    for (pf::Window* panel : m_panels)
        handles.push_back(HandleOf(panel));
    for (const auto& record : m_editors)
        handles.push_back(HandleOf(record->dialog));
    for (const ChildFrame& registered : m_frames) {
        if (registered.canvas != nullptr)
            handles.push_back(HandleOf(registered.canvas->GetWindow()));
    }
    pf::Ui& ui = pf::ui();
    const auto lParam = reinterpret_cast<pf::LParam>(event);
    for (const pf::Hwnd handle : handles) {
        if (handle != pf::kNoWindow && ui.window(handle) != nullptr)
            ui.send(handle, message, static_cast<pf::WParam>(wParam), lParam);
    }
}

void CVTNDesignerApp::Broadcast(const CVTND_Event& event)
{
    if (event.Is(EventCode::kPreviewStopped))
        NotePreviewStopped();
    BroadcastEvent(kMsgDesignerNotify, 0, &event);
}

void CVTNDesignerApp::AnnounceObject(const CVTND_Object& object)
{
    const CVTND_Event created(EventCode::kCreated, object);
    Broadcast(created);
}

// -- The editor factory

CVTND_EditDialog* CVTNDesignerApp::FindEditDialog(uint16_t kind, const void* object) const
{
    for (const auto& record : m_editors) {
        if (record->kind != kind)
            continue;
        if (IsSingleEditorKind(kind) || (object != nullptr && record->object == object))
            return record.get();
    }
    return nullptr;
}

pf::Window* CVTNDesignerApp::EditObject(CVTND_Object object, bool nearCursor)
{
    const uint16_t kind = object.GetType();
    if (object.IsType(ObjectType::kCursor)) {
        if (const CVTND_ModalToolRun browser = CVTND_Registry::FindModalTool(ModalTool::kIconBrowser)) {
            CVTND_ModalRequest request;
            request.owner = m_mainFrame;
            request.subject = object;
            browser(*this, request);
        }
        return nullptr;
    }
    if (CVTND_EditDialog* open = FindEditDialog(kind, object.GetObject()))
        return open->dialog;
    int32_t actionKind = kAnyActionKind;
    if (kind == kTypeAction && object.GetObject() != nullptr)
        actionKind = static_cast<SWactionnode*>(object.GetObject())->GetKindId();
    const CVTND_EditorConstructor constructor = CVTND_Registry::FindEditor(kind, actionKind);
    if (constructor == nullptr || (kind == kTypeAction && object.GetObject() == nullptr))
        return nullptr;
    NoteEditorChanges(); // what the editors open already changed
    auto owned = std::make_unique<CVTND_EditDialog>();
    CVTND_EditDialog* record = owned.get();
    record->kind = kind;
    record->object = object.GetObject();
    record->onlyItsAction =
        kind == kTypeAction && CVTND_Registry::FindEditorReach(kind, actionKind) == CVTND_EditorReach::kItsActionOnly;
    m_editors.push_back(std::move(owned));
    // The scope with the new editor's, as it is before it opens: a change it sets up as it opens and takes back as
    // it closes (an Escape) leaves it as it was, which is no change either.
    std::optional<uint64_t> before;
    if (m_modified == 0 && !IsPreviewRunning())
        before = FormOf(OpenEditorScope());
    CVTND_EditorRequest request;
    request.object = object.GetObject();
    request.record = record;
    request.parent = m_mainFrame;
    pf::Window* dialog = constructor(request);
    // The constructor may have closed again and unregistered (a refusal in its initialisation): look again.
    const auto listed =
        std::find_if(m_editors.begin(), m_editors.end(),
                     [record](const std::unique_ptr<CVTND_EditDialog>& r) { return r.get() == record; });
    if (listed == m_editors.end())
        return nullptr;
    if (dialog == nullptr) {
        m_editors.erase(listed);
        return nullptr;
    }
    record->dialog = dialog;
    if (nearCursor)
        PlaceWindowAtCursor(*dialog);
    dialog->show(pf::SW_SHOW);
    // What the editor set up as it opened (references resolved, fields shown) is no change of the user's: the form
    // to compare with is taken now.
    TakeEditorForms(before);
    return dialog;
}

void CVTNDesignerApp::UnregisterEditDialog(const pf::Window* dialog)
{
    if (dialog == nullptr)
        return;
    const auto found =
        std::find_if(m_editors.begin(), m_editors.end(),
                     [dialog](const std::unique_ptr<CVTND_EditDialog>& r) { return r->dialog == dialog; });
    if (found == m_editors.end())
        return;
    // Compared with the parts it could change still in the form; during a preview, once the preview stops.
    m_editors.erase(found);
    NoteEditorChanges();
    if (m_editors.empty() && !IsPreviewRunning()) {
        m_forms.reset();
        m_formsAfterPreview = false;
    }
}

// -- Deletion

void CVTNDesignerApp::ForgetDeleted(const CVTND_Object& object, uint32_t flags)
{
    for (const CVTND_ReferenceDropper dropper : CVTND_Registry::ReferenceDroppers())
        dropper(*this, object, flags);
    m_selection.RemoveObject(object.GetObject());
    if (m_propertiesObject.GetObject() == object.GetObject())
        m_propertiesObject = CVTND_Object();
}

bool CVTNDesignerApp::DeleteObject(const CVTND_Object& object, uint32_t flags)
{
    if (m_world == nullptr || object.GetObject() == nullptr)
        return false;
    // Everything that goes, in the order it is announced: children and actions before what holds them.
    std::vector<CVTND_Object> going;
    if (object.GetType() == kTypeEvent) {
        auto* event = static_cast<SWevent*>(object.GetObject());
        for (SWactionnode* action = event->GetFirstAction(); action != nullptr; action = SWevent::GetNextAction(action))
            going.emplace_back(action);
        going.push_back(object);
    } else if (object.GetType() == kTypeAction) {
        // What hangs on the action by its id (a queue's members, a condition's followers, theirs in turn) goes with
        // it, deepest first: left with a link to nothing it would be hidden from the event, its editors and its run,
        // yet still drawn on the maps.
        auto* action = static_cast<SWactionnode*>(object.GetObject());
        std::vector<SWactionnode*> tree{action};
        if (const SWevent* event = action->GetEvent())
            for (size_t i = 0; i < tree.size(); ++i)
                for (SWactionnode* a = event->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a))
                    if (a->IsDependentOf(tree[i]->GetActionId()) &&
                        std::find(tree.begin(), tree.end(), a) == tree.end())
                        tree.push_back(a);
        for (auto it = tree.rbegin(); it != tree.rend(); ++it)
            going.emplace_back(*it);
    } else if (object.IsNodeType()) {
        auto* node = static_cast<SWnode*>(object.GetObject());
        if (node == m_world->GetRootNode() || node->GetWorld() != m_world.get())
            return false;
        std::vector<SWnode*> nodes;
        CollectSubtreeChildrenFirst(*node, nodes);
        for (SWnode* n : nodes)
            going.emplace_back(n);
    } else {
        return false;
    }
    // Editors close on these notices and may touch their object while closing: it must still live.
    for (const CVTND_Object& item : going) {
        CVTND_Event deleted(EventCode::kDeleted, item);
        if (item.GetType() == kTypeAction)
            deleted.related[0] = CVTND_Object(static_cast<SWactionnode*>(item.GetObject())->GetEvent());
        Broadcast(deleted);
    }
    for (const CVTND_Object& item : going)
        ForgetDeleted(item, flags);
    bool removed = false;
    {
        SWworldlock lock(*m_world);
        if (object.GetType() == kTypeEvent) {
            removed = m_world->DeleteEvent(static_cast<SWevent*>(object.GetObject()));
        } else if (object.GetType() == kTypeAction) {
            for (const CVTND_Object& item : going) { // the action itself last
                auto* action = static_cast<SWactionnode*>(item.GetObject());
                removed = action->GetEvent() != nullptr && action->GetEvent()->RemoveAction(action);
            }
        } else {
            removed = m_world->DeleteNode(static_cast<SWnode*>(object.GetObject()));
        }
    }
    if (removed)
        m_modified = 1;
    return removed;
}
