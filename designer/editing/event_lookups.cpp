#include "designer/editing/event_lookups.h"

#include <optional>

#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/core/data_node.h"
#include "engine/core/list.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "engine/resources/material.h"

bool KindIn(int32_t kind, std::initializer_list<std::pair<int32_t, int32_t>> ranges)
{
    for (const auto& [from, to] : ranges) {
        if (kind >= from && kind <= to)
            return true;
    }
    return false;
}

bool IsNodeTargetKind(int32_t kind)
{
    return ActionKindNamesNodes(kind);
}

bool IsNodeEventType(uint32_t type)
{
    return type == 5 || type == 6 || type == 7 || type == 16;
}

bool IsParticleSystemNode(const SWnode* node)
{
    const auto* object = dynamic_cast<const SWobjectnode*>(node);
    return object != nullptr && object->HasKind(SWnode::kKindObject) && object->GetKindCode() == 4;
}

std::vector<std::string> ListNames(const SWlist* list, bool sounds)
{
    std::vector<std::string> names;
    for (const SWlistnode* n = list != nullptr ? list->Head() : nullptr; n != nullptr; n = n->Next()) {
        const std::optional<std::string>& name =
            sounds ? static_cast<const SWnameentry*>(n)->name : static_cast<const SWobjectnameentry*>(n)->name;
        if (name)
            names.push_back(*name);
    }
    return names;
}

std::vector<std::string> ArgumentTexts(const SWactionnode& action)
{
    std::vector<std::string> texts;
    for (const SWlistnode* n = action.GetArguments().Head(); n != nullptr; n = n->Next()) {
        if (const char* text = static_cast<const SWdatanode*>(n)->GetText())
            texts.emplace_back(text);
    }
    return texts;
}

std::vector<std::string> ActionTargetNames(const SWevent& event, const SWactionnode& action, bool sounds)
{
    std::vector<std::string> names;
    VisitActionTargetNames(event, action, sounds, [&](std::string_view name) { names.emplace_back(name); });
    return names;
}

SWactionnode* LastAction(const SWevent& event)
{
    SWactionnode* last = nullptr;
    for (SWactionnode* a = event.GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a))
        last = a;
    return last;
}

SWmaterial* MaterialNamed(const SWworld& world, const std::string& name)
{
    const SWrootobject* root = world.GetRootObject();
    for (SWmaterial* m = root != nullptr ? root->GetFirstMaterial() : nullptr; m != nullptr;
         m = SWrootobject::GetNextMaterial(m)) {
        if (m->GetName() == name)
            return m;
    }
    return nullptr;
}
