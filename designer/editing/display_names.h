#pragma once
// How the event editing shows actions: the one-line display name of an action, action lists filled as indented
// trees of followers, lookups of an action's arguments, and the tests that decide which menu items an event or an
// action offers. The pick operations that put chosen objects on the map are in pick_operations.h.
#include <cstdint>
#include <string>

namespace pf {
class ListView;
}
class CEditorEngine;
class SWactionnode;
class SWdatanode;
class SWevent;

std::string KindName(const SWactionnode& action);       // its kind's name; empty when none
std::string ExpressionName(const SWdatanode& argument); // the name of the expression it holds; empty when none
std::string FormatObjectDisplayName(const SWactionnode& action);

// The event's top-level actions, each followed by its followers indented 5 spaces a level; item data the action.
void FillEventActionList(const SWevent& event, pf::ListView& list);
// The followers of action (in its own event); at the top only first-link or only second-link followers when asked.
void FillFollowerActionList(const SWactionnode& action, bool onlyFirst, bool onlySecond, pf::ListView& list);
// The recursive step of both. An action appears at most once per list and the depth never passes the event's action
// count, so links that loop (a damaged file) end the walk instead of the stack.
void InsertFollowerActions(const SWevent& event, const SWactionnode& parent, bool onlyFirst, bool onlySecond,
                           pf::ListView& list, int32_t depth);

SWdatanode* FindArgumentByText(const SWactionnode& action, const std::string& text); // byte-wise equal string
SWdatanode* FindArgumentByPointer(const SWactionnode& action, const void* pointer);
SWdatanode* FindArgumentById(const SWactionnode& action, uint32_t id); // the 32-bit datum

bool EventHasParameters(const SWevent& event);
bool EventCanCollapseInputs(const SWevent& event);
bool ActionHasTargets(const SWactionnode& action);
bool ActionHasDetails(const SWactionnode& action);
