#include "designer/editing/display_names.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <utility>
#include <vector>

#include "designer/editing/editor_engine.h"
#include "designer/editing/event_lookups.h"
#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/expression.h"
#include "engine/behaviour/expression_list.h"
#include "engine/core/data_node.h"
#include "platform/ui/controls/list_view.h"

namespace {

constexpr int32_t kHostCallbackKind = 16;
constexpr int32_t kSwitchKind = 23;
constexpr int32_t kCursorKind = 39;

bool OneOf(int32_t value, std::initializer_list<int32_t> values)
{
    return std::find(values.begin(), values.end(), value) != values.end();
}

const SWdatanode* FirstArgument(const SWactionnode& action)
{
    return static_cast<const SWdatanode*>(action.GetArguments().Head());
}

// The text of an argument as the display shows it: a string as it is, a number in decimal, nothing else.
std::string ArgumentText(const SWdatanode& argument)
{
    if (const char* text = argument.GetText())
        return text;
    if (const void* value = argument.GetData(SWdatanode::kInt))
        return std::to_string(*static_cast<const int32_t*>(value));
    if (const void* value = argument.GetData(SWdatanode::kByte))
        return std::to_string(*static_cast<const uint8_t*>(value));
    return {};
}

std::string Counted(const std::string& name, size_t count, const std::string& first)
{
    if (count == 0)
        return name;
    return count == 1 ? name + " (" + first + ")" : name + " (...)";
}

bool IsLinkedTo(const SWactionnode& action, uint32_t parentId)
{
    return action.GetThenLink() == parentId || action.GetElseLink() == parentId || action.GetQueueLink() == parentId;
}

void AppendAction(pf::ListView& list, const SWactionnode& action, const std::string& text)
{
    const int32_t index = list.insertItem(list.getItemCount(), text, CEditorEngine::ActionTypeIcon(action.GetKindId()));
    if (index >= 0)
        list.setItemData(index, reinterpret_cast<pf::LParam>(&action));
}

struct FollowerWalk {
    const SWevent& event;
    pf::ListView& list;
    std::vector<const SWactionnode*> shown; // each action once per list, whatever the links say
    int32_t maxDepth;
};

void InsertFollowers(FollowerWalk& walk, const SWactionnode& parent, bool onlyFirst, bool onlySecond, int32_t depth)
{
    if (depth > walk.maxDepth)
        return;
    const uint32_t parentId = parent.GetActionId();
    for (SWactionnode* a = walk.event.GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a)) {
        if (!IsLinkedTo(*a, parentId))
            continue;
        if (depth == 0 && onlySecond && a->GetElseLink() != parentId)
            continue;
        if (depth == 0 && onlyFirst && a->GetThenLink() != parentId)
            continue;
        if (std::find(walk.shown.begin(), walk.shown.end(), a) != walk.shown.end())
            continue;
        walk.shown.push_back(a);
        std::string text(static_cast<size_t>(5 * depth), ' ');
        if (a->GetElseLink() == parentId)
            text += '~';
        AppendAction(walk.list, *a, text + FormatObjectDisplayName(*a));
        InsertFollowers(walk, *a, onlyFirst, onlySecond, depth + 1);
    }
}

} // namespace

std::string KindName(const SWactionnode& action)
{
    const SWactionkind* kind = action.GetKind();
    return kind != nullptr && kind->GetName() ? *kind->GetName() : std::string();
}

std::string ExpressionName(const SWdatanode& argument)
{
    const auto* entry = static_cast<const SWexpressionentry*>(argument.GetData(SWdatanode::kObject));
    const SWexpression* expression = entry != nullptr ? entry->GetExpression() : nullptr;
    return expression != nullptr && expression->GetName() ? *expression->GetName() : std::string();
}

std::string FormatObjectDisplayName(const SWactionnode& action)
{
    const int32_t kind = action.GetKindId();
    const std::string name = KindName(action);
    const size_t count = action.GetArguments().Count();
    const SWdatanode* first = FirstArgument(action);
    if (kind == kHostCallbackKind) {
        const SWactionkind* own = action.GetKind();
        const std::string text1 = own != nullptr && own->GetFirstText() ? *own->GetFirstText() : std::string();
        const std::string text2 = own != nullptr && own->GetParameter() ? *own->GetParameter() : std::string();
        return text1 + "::" + text2;
    }
    if (first == nullptr)
        return name;
    if (kind == kSwitchKind) {
        const auto* byte = static_cast<const uint8_t*>(first->GetData(SWdatanode::kByte));
        return name + " (" + (byte != nullptr && *byte != 0 ? "Active)" : "Not active)");
    }
    if (kind == kCursorKind) {
        const auto* value = static_cast<const int32_t*>(first->GetData(SWdatanode::kInt));
        char hex[16];
        std::snprintf(hex, sizeof hex, "%x", value != nullptr ? static_cast<uint32_t>(*value) : 0u);
        return name + " (" + hex + ")";
    }
    if (kind == 24 || kind == 35)
        return Counted(name, count, ExpressionName(*first));
    if (KindIn(kind, {{2, 5}, {7, 8}, {10, 15}, {20, 22}, {26, 29}, {32, 34}, {37, 38}, {40, 58}, {60, 64}}))
        return Counted(name, count, ArgumentText(*first));
    return name;
}

void FillEventActionList(const SWevent& event, pf::ListView& list)
{
    list.deleteAllItems();
    FollowerWalk walk{event, list, {}, static_cast<int32_t>(event.CountActions())};
    for (SWactionnode* a = event.GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a)) {
        if (!a->IsTopLevel() || std::find(walk.shown.begin(), walk.shown.end(), a) != walk.shown.end())
            continue;
        walk.shown.push_back(a);
        AppendAction(list, *a, FormatObjectDisplayName(*a));
        InsertFollowers(walk, *a, false, false, 1);
    }
}

void FillFollowerActionList(const SWactionnode& action, bool onlyFirst, bool onlySecond, pf::ListView& list)
{
    list.deleteAllItems();
    if (const SWevent* event = action.GetEvent())
        InsertFollowerActions(*event, action, onlyFirst, onlySecond, list, 0);
}

void InsertFollowerActions(const SWevent& event, const SWactionnode& parent, bool onlyFirst, bool onlySecond,
                           pf::ListView& list, int32_t depth)
{
    FollowerWalk walk{event, list, {&parent}, depth + static_cast<int32_t>(event.CountActions())};
    InsertFollowers(walk, parent, onlyFirst, onlySecond, depth);
}

SWdatanode* FindArgumentByText(const SWactionnode& action, const std::string& text)
{
    for (SWlistnode* n = action.GetArguments().Head(); n != nullptr; n = n->Next()) {
        auto* argument = static_cast<SWdatanode*>(n);
        if (const char* held = argument->GetText(); held != nullptr && text == held)
            return argument;
    }
    return nullptr;
}

SWdatanode* FindArgumentByPointer(const SWactionnode& action, const void* pointer)
{
    for (SWlistnode* n = action.GetArguments().Head(); n != nullptr; n = n->Next()) {
        auto* argument = static_cast<SWdatanode*>(n);
        if (argument->GetType() == SWdatanode::kObject && argument->GetData(SWdatanode::kObject) == pointer)
            return argument;
    }
    return nullptr;
}

SWdatanode* FindArgumentById(const SWactionnode& action, uint32_t id)
{
    for (SWlistnode* n = action.GetArguments().Head(); n != nullptr; n = n->Next()) {
        auto* argument = static_cast<SWdatanode*>(n);
        const void* value = argument->GetData(SWdatanode::kInt);
        if (value != nullptr && static_cast<uint32_t>(*static_cast<const int32_t*>(value)) == id)
            return argument;
    }
    return nullptr;
}

// The types whose parameters EditEventParameters edits: a button or menu item for any other type would do nothing.
bool EventHasParameters(const SWevent& event)
{
    const uint32_t type = event.GetType();
    return type == 4 || IsNodeEventType(type) || type == 17 || type == 19 || type == 20;
}

bool EventCanCollapseInputs(const SWevent& event)
{
    const uint32_t type = event.GetType();
    if (type <= 4 || (type >= 8 && type <= 14) || type == 19 || type == 20)
        return false;
    if (IsNodeEventType(type))
        return event.GetObjectList() != nullptr && !event.GetObjectList()->Empty();
    return true;
}

bool ActionHasTargets(const SWactionnode& action)
{
    return !OneOf(action.GetKindId(), {6, 10, 16, 19, 20, 23, 25, 30, 40});
}

// The kinds of no arguments to edit, and those (the old kinds among them) for which no editor was ever made: Details
// would open nothing.
bool ActionHasDetails(const SWactionnode& action)
{
    const int32_t kind = action.GetKindId();
    return !KindIn(
        kind,
        {{0, 6}, {8, 9}, {11, 18}, {23, 24}, {26, 29}, {31, 33}, {35, 36}, {38, 39}, {48, 49}, {57, 58}, {64, 64}});
}
