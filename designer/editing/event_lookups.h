#pragma once
// Small lookups the event editing shares: ranges of action kind numbers, which events and actions name nodes of the
// world's tree, the names an event's list holds, an event's last action, a material by name, particle systems.
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/core/data_node.h"

class SWlist;
class SWmaterial;
class SWnode;
class SWworld;

bool KindIn(int32_t kind, std::initializer_list<std::pair<int32_t, int32_t>> ranges); // ranges include both ends
bool IsNodeTargetKind(int32_t kind);           // the action's targets are nodes of the world's tree, by name
bool IsNodeEventType(uint32_t type);           // the event's object list names nodes of the world's tree
bool IsParticleSystemNode(const SWnode* node); // an object node of the particle kind; false for null

// The names list holds, in its order, those without a name left out; sounds: a list of sound names, else of object
// names. Null is empty.
std::vector<std::string> ListNames(const SWlist* list, bool sounds);

// The action's string arguments, in their order, those without text left out.
std::vector<std::string> ArgumentTexts(const SWactionnode& action);

// The names an action's targets go by (sounds: it acts on sounds, else on nodes): its string arguments; or, when it
// acts on what fired its event, the event's own names: a sound-finished event's sounds for a sound action, else the
// event's objects. The engine puts these on the map and the map joins them, so both ask here.
std::vector<std::string> ActionTargetNames(const SWevent& event, const SWactionnode& action, bool sounds);

// The same names, each handed to visit as a view of the text the event or action holds, nothing copied: what places
// thousands of events looks their targets up this way.
template <typename Visit>
void VisitActionTargetNames(const SWevent& event, const SWactionnode& action, bool sounds, Visit&& visit)
{
    if (!action.IsTargetTrigger()) {
        for (const SWlistnode* n = action.GetArguments().Head(); n != nullptr; n = n->Next())
            if (const char* text = static_cast<const SWdatanode*>(n)->GetText())
                visit(std::string_view(text));
        return;
    }
    const bool soundList = sounds && event.GetType() == static_cast<uint32_t>(EventType::kSoundFinished);
    const SWlist* list = soundList ? event.GetSoundList() : event.GetObjectList();
    for (const SWlistnode* n = list != nullptr ? list->Head() : nullptr; n != nullptr; n = n->Next()) {
        const std::optional<std::string>& name =
            soundList ? static_cast<const SWnameentry*>(n)->name : static_cast<const SWobjectnameentry*>(n)->name;
        if (name)
            visit(std::string_view(*name));
    }
}

SWactionnode* LastAction(const SWevent& event); // null for an event without actions

SWmaterial* MaterialNamed(const SWworld& world, const std::string& name); // the first of that name; null if none
