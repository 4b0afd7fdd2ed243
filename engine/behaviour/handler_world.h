#pragma once
// What the action handlers look up before they act: the world their events belong to and the node an action names.
// Both answer null when there is nothing to act on, so a handler stops there instead of guessing.
#include "engine/behaviour/action_target.h"
#include "engine/behaviour/events.h"
#include "engine/core/node.h"
#include "engine/core/world.h"

namespace behaviour_handlers {

inline SWworld* WorldOf(SWevents* events)
{
    return events != nullptr ? events->AsWorld() : nullptr;
}

// The first node under the world's root, depth first, whose name is the target's text.
inline SWnode* NamedNode(SWworld* world, const ActionTarget& target)
{
    const char* const name = target.GetText();
    if (world == nullptr || name == nullptr || world->GetRootNode() == nullptr)
        return nullptr;
    return world->GetRootNode()->FindByName(name);
}

} // namespace behaviour_handlers
