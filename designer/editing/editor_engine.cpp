// The editor engine: its registry of map objects, finds, references and placement, icons, settings and pens, and
// its registrations with the application. Drag tracking is in drag_tracking.cpp.
#include "designer/editing/editor_engine.h"

#include <algorithm>
#include <cmath>

#include "designer/app/designer_app.h"
#include "designer/app/editor_settings.h"
#include "designer/app/extended_world.h"
#include "designer/app/map_canvas.h"
#include "designer/app/registry.h"
#include "designer/editing/actions_receptor.h"
#include "designer/editing/display_names.h"
#include "designer/editing/event_lookups.h"
#include "designer/editing/map_object.h"
#include "designer/editing/picker_receptors.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/expression_list.h"
#include "engine/core/camera_node.h"
#include "engine/core/cursor_list.h"
#include "engine/core/data_node.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/world.h"
#include "engine/resources/material.h"
#include "engine/resources/sound.h"
#include "engine/resources/sound_list.h"
#include "platform/base/user_constants.h"
#include "platform/gfx/dc.h"
#include "platform/ui/core/ui.h"

namespace {

constexpr int32_t kJavaCallbackKind = 16;

int32_t IconSize()
{
    return pf::fixedSystemMetric(pf::SM_CXICON);
}

int32_t SmallIconSize()
{
    return pf::fixedSystemMetric(pf::SM_CXSMICON);
}

bool AnyActionHasText(const SWevent& event, const std::string& text)
{
    for (SWactionnode* a = event.GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a)) {
        if (FindArgumentByText(*a, text) != nullptr)
            return true;
    }
    return false;
}

pf::ColorRef ColourRef(const CVTND_Rgb& c)
{
    return pf::rgb(c.r, c.g, c.b);
}

CVTND_Rgb FromPacked(uint32_t rgb)
{
    return {static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb)};
}

// Colour settings in id order (13 to 18) with their defaults.
constexpr CVTND_Rgb kDefaultColours[6] = {{255, 255, 255}, {0, 0, 0},       {221, 221, 221},
                                          {0, 170, 0},     {221, 221, 221}, {238, 238, 0}};

} // namespace

CEditorEngine::CEditorEngine(CVTNDesignerApp* app) : m_app(app)
{
    std::copy(std::begin(kDefaultColours), std::end(kDefaultColours), m_colours.begin());
    MakePens();
}

CEditorEngine::~CEditorEngine()
{
    m_selection.DeleteAll();
    ReleaseAll();
}

SWworld* CEditorEngine::World() const
{
    return m_app != nullptr ? m_app->GetWorld() : nullptr;
}

// -- Registry

MapObject* CEditorEngine::MakeMapObject(uint16_t kind, void* content, EdImageList list, int32_t icon, bool small)
{
    if (content == nullptr)
        return nullptr;
    auto* object = new MapObject();
    object->SetContent(kind, content);
    AddMapObject(object);
    object->imageList = list;
    object->iconIndex = icon;
    object->width = small ? SmallIconSize() : IconSize();
    object->height = object->width;
    AddMapOwners(*object);
    return object;
}

void CEditorEngine::AddMapOwners(MapObject& object)
{
    if (m_app == nullptr)
        return;
    for (CVTND_MapCanvas* map = m_app->GetFirstEventMap(); map != nullptr; map = m_app->GetNextEventMap()) {
        pf::Window* window = map->GetWindow();
        if (window != nullptr && !object.OwnsWindow(window))
            object.AddOwner(window);
    }
}

MapObject* CEditorEngine::AddNode(SWnode* node)
{
    return MakeMapObject(EdKind::kNode, node, EdImageList::kObjects, node != nullptr ? MapNodeIcon(*node) : 0, false);
}

MapObject* CEditorEngine::AddSound(SWsound* sound)
{
    return MakeMapObject(EdKind::kSound, sound, EdImageList::kObjects, 1, false);
}

MapObject* CEditorEngine::AddExpression(SWexpressionentry* entry)
{
    return MakeMapObject(EdKind::kExpression, entry, EdImageList::kObjects, 3, false);
}

MapObject* CEditorEngine::AddKind1000(SWcursor* cursor)
{
    return MakeMapObject(EdKind::kCursor, cursor, EdImageList::kObjects, 7, false);
}

MapObject* CEditorEngine::AddKind4000(SWmaterial* material)
{
    return MakeMapObject(EdKind::kMaterial, material, EdImageList::kObjects, 9, false);
}

MapObject* CEditorEngine::AddWorld(CVTN_SubWorld* world)
{
    return MakeMapObject(EdKind::kLoadedWorld, world, EdImageList::kObjects, 12, false);
}

MapObject* CEditorEngine::AddAction(SWactionnode* action)
{
    if (action == nullptr)
        return nullptr;
    if (action->GetKindId() == kJavaCallbackKind)
        return MakeMapObject(EdKind::kAction, action, EdImageList::kObjects, 4, false);
    MapObject* object =
        MakeMapObject(EdKind::kAction, action, EdImageList::kSmallActions, ActionTypeIcon(action->GetKindId()), true);
    object->cursorImageList = EdImageList::kLargeActions;
    return object;
}

MapObject* CEditorEngine::AddEvent(SWevent* event)
{
    MapObject* object = MakeMapObject(EdKind::kEvent, event, EdImageList::kEvents,
                                      event != nullptr ? EventTypeIcon(event->GetType()) : 0, false);
    if (object == nullptr)
        return nullptr;
    object->disabledImageList = EdImageList::kDisabledEvents;
    SWworld* world = World();
    SWnode* root = world != nullptr ? world->GetRootNode() : nullptr;
    if (IsNodeEventType(event->GetType()) && root != nullptr) {
        const SWlist* list = event->GetObjectList();
        for (SWlistnode* n = list != nullptr ? list->Head() : nullptr; n != nullptr; n = n->Next()) {
            const auto& name = static_cast<const SWobjectnameentry*>(n)->name;
            SWnode* node = name ? FindTargetNode(*root, *name) : nullptr;
            if (node != nullptr && FindNodeObject(node) == nullptr)
                AddNode(node);
        }
    }
    if (event->GetType() == 17 && world != nullptr) {
        const SWlist* list = event->GetSoundList();
        for (SWlistnode* n = list != nullptr ? list->Head() : nullptr; n != nullptr; n = n->Next()) {
            const auto& name = static_cast<const SWnameentry*>(n)->name;
            SWsound* sound = name ? world->GetSoundList().FindByName(*name) : nullptr;
            if (sound != nullptr && FindSoundObject(sound) == nullptr)
                AddSound(sound);
        }
    }
    for (SWactionnode* action = event->GetFirstAction(); action != nullptr; action = SWevent::GetNextAction(action)) {
        if (FindActionObject(action) == nullptr)
            AddAction(action);
        AddEventTargets(*event, *action);
    }
    return object;
}

// The nodes a batch of events will look for are looked up together first: in a large world each search waits on
// memory, and searches made side by side wait together.
void CEditorEngine::AddEvents(std::span<SWevent* const> events)
{
    SWworld* world = World();
    SWnode* root = world != nullptr ? world->GetRootNode() : nullptr;
    constexpr size_t kBatch = 64;
    std::vector<std::string_view> names;
    std::vector<SWnode*> found;
    for (size_t first = 0; first < events.size(); first += kBatch) {
        const std::span<SWevent* const> batch = events.subspan(first, std::min(kBatch, events.size() - first));
        names.clear();
        for (const SWevent* event : batch)
            if (event != nullptr && root != nullptr)
                TargetNodeNames(*event, names);
        found.assign(names.size(), nullptr);
        if (root != nullptr)
            root->FindByNames(names, found);
        FoundAhead ahead{names, found};
        m_foundAhead = &ahead;
        try {
            for (SWevent* event : batch)
                AddEvent(event);
        } catch (...) {
            m_foundAhead = nullptr;
            throw;
        }
        m_foundAhead = nullptr;
    }
}

// The names AddEvent looks nodes up by, in the order it asks for them; the texts stay the events' own.
void CEditorEngine::TargetNodeNames(const SWevent& event, std::vector<std::string_view>& names)
{
    if (IsNodeEventType(event.GetType())) {
        const SWlist* list = event.GetObjectList();
        for (SWlistnode* n = list != nullptr ? list->Head() : nullptr; n != nullptr; n = n->Next())
            if (const auto& name = static_cast<const SWobjectnameentry*>(n)->name)
                names.emplace_back(*name);
    }
    for (SWactionnode* action = event.GetFirstAction(); action != nullptr; action = SWevent::GetNextAction(action))
        if (IsNodeTargetKind(action->GetKindId()))
            VisitActionTargetNames(event, *action, false, [&](std::string_view name) { names.push_back(name); });
}

SWnode* CEditorEngine::FindTargetNode(const SWnode& root, std::string_view name)
{
    if (FoundAhead* ahead = m_foundAhead;
        ahead != nullptr && ahead->next < ahead->names.size() && ahead->names[ahead->next] == name)
        return ahead->found[ahead->next++];
    return root.FindByName(name);
}

void CEditorEngine::AddEventTargets(SWevent& event, SWactionnode& action)
{
    SWworld* world = World();
    if (world == nullptr)
        return;
    const int32_t kind = action.GetKindId();
    if (IsNodeTargetKind(kind)) {
        VisitActionTargetNames(event, action, false, [&](std::string_view name) {
            SWnode* node = FindTargetNode(*world->GetRootNode(), name);
            if (node != nullptr && FindNodeObject(node) == nullptr)
                AddNode(node);
        });
    } else if (kind == 7 || kind == 8) {
        VisitActionTargetNames(event, action, true, [&](std::string_view name) {
            SWsound* sound = world->GetSoundList().FindByName(name);
            if (sound != nullptr && FindSoundObject(sound) == nullptr)
                AddSound(sound);
        });
    } else if (kind == 24 || kind == 35) {
        const SWexpressionlist* expressions = SWexpressionlist::Find(*world);
        for (SWlistnode* n = action.GetArguments().Head(); n != nullptr; n = n->Next()) {
            auto* entry = static_cast<SWexpressionentry*>(static_cast<SWdatanode*>(n)->GetData(SWdatanode::kObject));
            if (entry != nullptr && expressions != nullptr && expressions->Holds(entry) &&
                FindExpressionObject(entry) == nullptr)
                AddExpression(entry);
        }
    } else if (kind >= 54 && kind <= 56) {
        for (SWlistnode* n = action.GetArguments().Head(); n != nullptr; n = n->Next()) {
            const char* text = static_cast<const SWdatanode*>(n)->GetText();
            CVTN_SubWorld* entry = text != nullptr ? world->GetSubWorlds().FindByName(text) : nullptr;
            if (entry != nullptr && FindWorldObject(entry) == nullptr)
                AddWorld(entry);
        }
    }
}

MapObject* CEditorEngine::FindContentObject(const void* content) const
{
    return FindMapObjectOf(content);
}

MapObject* CEditorEngine::FindNodeObject(const SWnode* node) const
{
    return FindMapObjectOf(node, EdKind::kNode);
}

MapObject* CEditorEngine::FindSoundObject(const SWsound* sound) const
{
    return FindMapObjectOf(sound, EdKind::kSound);
}

MapObject* CEditorEngine::FindWorldObject(const CVTN_SubWorld* world) const
{
    return FindMapObjectOf(world, EdKind::kLoadedWorld);
}

MapObject* CEditorEngine::FindExpressionObject(const SWexpressionentry* entry) const
{
    return FindMapObjectOf(entry, EdKind::kExpression);
}

MapObject* CEditorEngine::FindActionObject(const SWactionnode* action) const
{
    return FindMapObjectOf(action, EdKind::kAction);
}

MapObject* CEditorEngine::FindEventObject(const SWevent* event) const
{
    return FindMapObjectOf(event, EdKind::kEvent);
}

MapObject* CEditorEngine::FindKind1000Object(const SWcursor* cursor) const
{
    return FindMapObjectOf(cursor, EdKind::kCursor);
}

MapObject* CEditorEngine::FindKind4000Object(const SWmaterial* material) const
{
    return FindMapObjectOf(material, EdKind::kMaterial);
}

void CEditorEngine::RemoveMapObject(MapObject* object)
{
    if (object == nullptr || !HoldsDroppable(object))
        return;
    m_selection.Remove(object);
    DeleteMapObject(object);
}

void CEditorEngine::ForgetMapObject(MapObject* object)
{
    m_selection.Remove(object);
    // Removing a scene file forgets thousands of objects: each walks the map only when it holds folds.
    if (object != nullptr) {
        object->SetFoldOwner(nullptr);
        for (MapObject* o = FirstMapObject(); object->FoldsHeld() != 0 && o != nullptr; o = NextMapObject(o))
            if (o->FoldOwner() == object)
                o->SetFoldOwner(nullptr);
    }
    ForgetOnMaps(object);
}

void CEditorEngine::ForgetOnMaps(const MapObject* object)
{
    if (m_app == nullptr)
        return;
    for (CVTND_MapCanvas* map = m_app->GetFirstEventMap(); map != nullptr; map = m_app->GetNextEventMap())
        map->ForgetMapObject(object);
}

void CEditorEngine::UpdateEventIcon(SWevent* event)
{
    if (MapObject* object = FindEventObject(event))
        object->iconIndex = EventTypeIcon(event->GetType());
}

// -- References

bool CEditorEngine::IsReferenced(const MapObject* object) const
{
    SWworld* world = World();
    if (world == nullptr || object == nullptr)
        return false;
    const SWnode* node = object->GetNode();
    const SWsound* sound = object->GetSound();
    const SWexpressionentry* entry = object->GetExpression();
    const SWcursor* cursor = object->GetCursor();
    const SWmaterial* material = object->GetMaterial();
    const CVTN_SubWorld* subWorld = object->GetWorld();
    for (SWevent* event = world->GetFirstEvent(); event != nullptr; event = SWevents::GetNextEvent(event)) {
        if (node != nullptr) {
            if (IsNodeEventType(event->GetType()) && event->GetObjectList() != nullptr) {
                for (SWlistnode* n = event->GetObjectList()->Head(); n != nullptr; n = n->Next()) {
                    const auto& name = static_cast<const SWobjectnameentry*>(n)->name;
                    if (name && world->GetRootNode()->FindByName(*name) == node)
                        return true;
                }
            }
            if (node->GetName() && AnyActionHasText(*event, *node->GetName()))
                return true;
        } else if (sound != nullptr) {
            if (event->GetType() == 17 && event->GetSoundList() != nullptr) {
                for (SWlistnode* n = event->GetSoundList()->Head(); n != nullptr; n = n->Next()) {
                    const auto& name = static_cast<const SWnameentry*>(n)->name;
                    if (name && world->GetSoundList().FindByName(*name) == sound)
                        return true;
                }
            }
            if (AnyActionHasText(*event, sound->GetName()))
                return true;
        } else if (entry != nullptr || cursor != nullptr) {
            for (SWactionnode* a = event->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a)) {
                if ((entry != nullptr ? FindArgumentByPointer(*a, entry) : FindArgumentById(*a, cursor->id)) != nullptr)
                    return true;
            }
        } else if (material != nullptr) {
            if (AnyActionHasText(*event, material->GetName()))
                return true;
        } else if (subWorld != nullptr) {
            if (subWorld->GetName() && AnyActionHasText(*event, *subWorld->GetName()))
                return true;
        }
    }
    return false;
}

void CEditorEngine::RemoveUnused()
{
    for (;;) {
        MapObject* unused = nullptr;
        for (MapObject* o = FirstMapObject(); o != nullptr && unused == nullptr; o = NextMapObject(o)) {
            const bool candidate = o->GetNode() != nullptr || o->GetSound() != nullptr ||
                                   o->GetExpression() != nullptr || o->GetWorld() != nullptr;
            if (candidate && !IsReferenced(o))
                unused = o;
        }
        if (unused == nullptr)
            break;
        RemoveMapObject(unused);
    }
    if (m_app != nullptr)
        m_app->RedrawEventMaps();
}

void CEditorEngine::RefreshActionReceptors()
{
    for (SWlistnode* n = m_receptors.Head(); n != nullptr; n = n->Next()) {
        if (auto* list = dynamic_cast<ActionsControlReceptor*>(&static_cast<DropReceptorLink*>(n)->receptor))
            list->Refill();
    }
}

// A queue's list is shown once, so its match ends the scan; a condition has two branch lists, so the scan starts
// over after each one.
void CEditorEngine::DeleteActionReceptorsOf(SWactionnode* action)
{
    if (action == nullptr)
        return;
    SWlistnode* n = m_receptors.Head();
    while (n != nullptr) {
        auto* list = dynamic_cast<ActionsControlReceptor*>(&static_cast<DropReceptorLink*>(n)->receptor);
        n = n->Next();
        if (list == nullptr)
            continue;
        if (list->queueTarget == action) {
            DeleteControlReceptor(list);
            return;
        }
        if (list->conditionTrueTarget == action || list->conditionFalseTarget == action) {
            DeleteControlReceptor(list);
            n = m_receptors.Head();
        }
    }
}

void CEditorEngine::DrawLink(pf::Dc& dc, pf::Point from, pf::Point to) const
{
    dc.moveTo(from);
    if (straightLines) {
        dc.lineTo(to);
        return;
    }
    if (to.x != from.x)
        dc.lineTo({to.x, from.y});
    if (to.y != from.y)
        dc.lineTo(to);
}

// -- Icons

int32_t CEditorEngine::ActionTypeIcon(int32_t kindId)
{
    static constexpr struct {
        int32_t kind;
        int32_t icon;
    } kTable[] = {{0, 1},   {2, 1},   {44, 1},  {1, 2},   {3, 2},   {46, 2},  {4, 11},  {45, 11}, {62, 11}, {63, 11},
                  {64, 11}, {5, 8},   {6, 27},  {7, 6},   {8, 7},   {10, 12}, {11, 30}, {12, 31}, {13, 3},  {14, 4},
                  {15, 29}, {16, 23}, {19, 10}, {20, 13}, {21, 14}, {22, 15}, {23, 16}, {24, 18}, {35, 18}, {25, 17},
                  {26, 20}, {43, 20}, {27, 19}, {41, 19}, {42, 19}, {28, 26}, {29, 25}, {30, 21}, {31, 22}, {32, 9},
                  {47, 9},  {34, 28}, {37, 32}, {38, 33}, {39, 34}, {40, 35}, {48, 38}, {49, 39}, {50, 36}, {51, 37},
                  {53, 42}, {54, 40}, {55, 41}, {56, 43}, {61, 44}};
    for (const auto& row : kTable) {
        if (row.kind == kindId)
            return row.icon;
    }
    return 5;
}

int32_t CEditorEngine::EventTypeIcon(uint32_t type)
{
    static constexpr int32_t kTable[21] = {0, 1, 11, 10, 2, 3, 5, 4, 0, 0, 0, 0, 0, 0, 0, 0, 6, 7, 0, 8, 9};
    return type < std::size(kTable) ? kTable[type] : 0;
}

int32_t CEditorEngine::MapNodeIcon(const SWnode& node)
{
    if (node.HasKind(SWnode::kKindRoot))
        return 6;
    if (node.HasKind(SWnode::kKindCamera)) {
        const auto* camera = dynamic_cast<const SWcameraobject*>(node.GetGeometry());
        const uint8_t subType = camera != nullptr ? camera->GetSubType() : 0;
        return subType == 3 || subType == 4 ? 17 : 2;
    }
    if (node.HasKind(SWnode::kKindMesh))
        return 0;
    if (!node.HasKind(SWnode::kKindObject)) {
        if (node.HasKind(SWnode::kKindGroup))
            return 10;
        return node.HasKind(SWnode::kKindHotspot) ? 15 : 0;
    }
    const SWobjectnode* object = SWobjectnode::FromNode(&node);
    const int code = object != nullptr ? object->GetKindCode() : 0;
    if (code == 3)
        return 7;
    if (code == 4)
        return 8;
    if (node.GetName() && *node.GetName() == kScreenNodeName)
        return 18;
    return 5;
}

// -- Settings and pens

namespace {

constexpr CVTND_SettingDef kSettings[] = {
    {EngineSetting::kShowEventNames, "show event names", SettingKind::kFlag, 1, ""},
    {EngineSetting::kShowObjectNames, "show object names", SettingKind::kFlag, 1, ""},
    {EngineSetting::kStraightLines, "show straight lines", SettingKind::kFlag, 1, ""},
    {EngineSetting::kMapColour, "event map color", SettingKind::kColour, 0xFFFFFF, ""},
    {EngineSetting::kTextColour, "event map text color", SettingKind::kColour, 0x000000, ""},
    {EngineSetting::kEventColour, "event map event color", SettingKind::kColour, 0xDDDDDD, ""},
    {EngineSetting::kSelectedEventColour, "event map selected event color", SettingKind::kColour, 0x00AA00, ""},
    {EngineSetting::kActionColour, "event map action color", SettingKind::kColour, 0xDDDDDD, ""},
    {EngineSetting::kSelectedActionColour, "event map selected action color", SettingKind::kColour, 0xEEEE00, ""},
    {EngineSetting::kAutoRemove, "auto-remove unused objects", SettingKind::kFlag, 0, ""},
    {EngineSetting::kAutoPanning, "auto panning", SettingKind::kFlag, 1, ""},
};

bool IsColourSetting(uint32_t id)
{
    return id >= EngineSetting::kMapColour && id <= EngineSetting::kSelectedActionColour;
}

// The pen drawn in a colour setting's colour, if any.
std::optional<EnginePen> PenOfColour(uint32_t id)
{
    switch (id) {
    case EngineSetting::kEventColour:
        return EnginePen::kEventLink;
    case EngineSetting::kSelectedEventColour:
        return EnginePen::kSelectedEventLink;
    case EngineSetting::kActionColour:
        return EnginePen::kActionLink;
    case EngineSetting::kSelectedActionColour:
        return EnginePen::kSelectedActionLink;
    default:
        return std::nullopt;
    }
}

} // namespace

void CEditorEngine::RegisterSettings()
{
    for (const CVTND_SettingDef& def : kSettings)
        CVTND_EditorSettings::Register(def);
}

const CVTND_Rgb& CEditorEngine::Colour(uint32_t settingId) const
{
    const uint32_t index = IsColourSetting(settingId) ? settingId - EngineSetting::kMapColour : 0;
    return m_colours[index];
}

void CEditorEngine::SetColour(uint32_t settingId, CVTND_Rgb colour)
{
    if (!IsColourSetting(settingId))
        return;
    CVTND_Rgb& held = m_colours[settingId - EngineSetting::kMapColour];
    if (held == colour)
        return;
    held = colour;
    if (const std::optional<EnginePen> pen = PenOfColour(settingId))
        MakePen(*pen);
}

void CEditorEngine::MakePen(EnginePen pen)
{
    const auto colour = [this](uint32_t id) { return ColourRef(Colour(id)); };
    pf::Pen made;
    switch (pen) {
    case EnginePen::kPrimarySelection:
        made = pf::createPen(pf::PS_SOLID, 3, pf::rgb(255, 51, 51));
        break;
    case EnginePen::kSecondarySelection:
        made = pf::createPen(pf::PS_SOLID, 3, pf::rgb(255, 128, 128));
        break;
    case EnginePen::kSelectedEventLink:
        made = pf::createPen(pf::PS_SOLID, 2, colour(EngineSetting::kSelectedEventColour));
        break;
    case EnginePen::kEventLink:
        made = pf::createPen(pf::PS_SOLID, 1, colour(EngineSetting::kEventColour));
        break;
    case EnginePen::kDragOutline:
        made = pf::createPen(pf::PS_SOLID, 4, pf::rgb(255, 255, 255));
        break;
    case EnginePen::kSelectedActionLink:
        made = pf::createPen(pf::PS_SOLID, 2, colour(EngineSetting::kSelectedActionColour));
        break;
    case EnginePen::kActionLink:
        made = pf::createPen(pf::PS_SOLID, 1, colour(EngineSetting::kActionColour));
        break;
    case EnginePen::kDotted:
        made = pf::createPen(pf::PS_DOT, 1, pf::rgb(255, 255, 255));
        break;
    case EnginePen::kCount:
        return;
    }
    m_pens[static_cast<size_t>(pen)] = made;
    ++m_penMade[static_cast<size_t>(pen)];
}

void CEditorEngine::MakePens()
{
    for (size_t i = 0; i < static_cast<size_t>(EnginePen::kCount); ++i)
        MakePen(static_cast<EnginePen>(i));
}

void CEditorEngine::LoadSettings(const CVTND_EditorSettings& settings)
{
    showEventNames = settings.GetFlag(EngineSetting::kShowEventNames);
    showObjectNames = settings.GetFlag(EngineSetting::kShowObjectNames);
    straightLines = settings.GetFlag(EngineSetting::kStraightLines);
    autoRemove = settings.GetFlag(EngineSetting::kAutoRemove);
    autoPanning = settings.GetFlag(EngineSetting::kAutoPanning);
    for (uint32_t id = EngineSetting::kMapColour; id <= EngineSetting::kSelectedActionColour; ++id)
        SetColour(id, FromPacked(settings.GetColour(id)));
}

void CEditorEngine::SettingChanged(uint32_t settingId)
{
    const CVTND_EditorSettings* settings = m_app != nullptr ? m_app->GetSettings() : nullptr;
    if (settings == nullptr)
        return;
    switch (settingId) {
    case EngineSetting::kShowEventNames:
        showEventNames = settings->GetFlag(settingId);
        break;
    case EngineSetting::kShowObjectNames:
        showObjectNames = settings->GetFlag(settingId);
        break;
    case EngineSetting::kStraightLines:
        straightLines = settings->GetFlag(settingId);
        break;
    case EngineSetting::kAutoRemove:
        autoRemove = settings->GetFlag(settingId);
        break;
    case EngineSetting::kAutoPanning:
        autoPanning = settings->GetFlag(settingId);
        break;
    default:
        if (IsColourSetting(settingId))
            SetColour(settingId, FromPacked(settings->GetColour(settingId)));
        break;
    }
}

// -- The rest of the application's interface

uint32_t CEditorEngine::AddControlReceptor(pf::Window& picker, uint32_t)
{
    auto* receptor = new MovableTargetControlReceptor(&picker);
    receptor->AddOwner(&picker);
    return EditorObjects::AddControlReceptor(receptor);
}

void CEditorEngine::SetDragObject(UIObject* object)
{
    m_dragList.clear();
    if (object != nullptr)
        m_dragList.push_back(object);
}

void CEditorEngine::RemoveControlReceptor(uint32_t handle)
{
    DeleteControlReceptor(FindReceptor(handle));
}

void CEditorEngine::Clear()
{
    if (m_dragging)
        CancelDrag();
    m_selection.DeleteAll();
    placementCursor = {0, 0};
    ForgetOnMaps(nullptr);
    ReleaseAll();
}

// -- Registrations with the application

namespace {

// The application's first notice to a new engine: the display settings and colours, 10 to 20.
std::unique_ptr<CVTND_EngineInterface> CreateEngine(CVTNDesignerApp& app)
{
    auto engine = std::make_unique<CEditorEngine>(&app);
    if (const CVTND_EditorSettings* settings = app.GetSettings())
        engine->LoadSettings(*settings);
    return engine;
}

// Nothing keeps two map objects of one content apart, so none of them may outlive it.
void RemoveEveryObjectOf(CEditorEngine& engine, const void* content)
{
    while (MapObject* object = engine.FindContentObject(content))
        engine.RemoveMapObject(object);
}

void RemoveNodeObjects(CEditorEngine& engine, SWnode& node)
{
    for (SWnode* child = node.GetFirstChildNode(); child != nullptr; child = child->GetNextSiblingNode())
        RemoveNodeObjects(engine, *child);
    RemoveEveryObjectOf(engine, &node);
}

// A deleted event takes its actions' map objects along, a node its subtree's, before anything is freed.
void DropMapReferences(CVTNDesignerApp& app, const CVTND_Object& object, uint32_t)
{
    auto* engine = dynamic_cast<CEditorEngine*>(app.GetEditorEngine());
    if (engine == nullptr || object.GetObject() == nullptr)
        return;
    if (object.IsType(ObjectType::kEvent)) {
        auto* event = static_cast<SWevent*>(object.GetObject());
        for (SWactionnode* a = event->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a)) {
            engine->DeleteActionReceptorsOf(a);
            RemoveEveryObjectOf(*engine, a);
        }
        RemoveEveryObjectOf(*engine, event);
    } else if (object.IsType(ObjectType::kAction)) {
        auto* action = static_cast<SWactionnode*>(object.GetObject());
        engine->DeleteActionReceptorsOf(action);
        RemoveEveryObjectOf(*engine, action);
    } else if (object.IsNodeType()) {
        RemoveNodeObjects(*engine, *static_cast<SWnode*>(object.GetObject()));
    } else {
        // A sound, cursor, material, expression or loadable world on the map: its object names it as it draws.
        RemoveEveryObjectOf(*engine, object.GetObject());
    }
}

struct SettingsRegistration {
    SettingsRegistration() { CEditorEngine::RegisterSettings(); }
};

const SettingsRegistration kSettingsRegistration;
const CVTND_EngineCreatorRegistration kEngineCreator(&CreateEngine);
const CVTND_ReferenceDropperRegistration kMapDropper(&DropMapReferences);

} // namespace
