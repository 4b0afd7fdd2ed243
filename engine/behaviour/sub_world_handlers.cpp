// The handlers of loadable sub-worlds. Each names its sub-world by the target; the loader takes the world's lock
// itself, which is recursive, so these run inside the frame step as they are.
#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/events.h"
#include "engine/behaviour/handler_world.h"
#include "engine/core/scene_import.h"
#include "engine/core/sub_world_loader.h"
#include "engine/core/world.h"

namespace {

using behaviour_handlers::WorldOf;

CVTN_SubWorld* NamedSubWorld(SWworld* world, const ActionTarget& target)
{
    const char* const name = target.GetText();
    return world != nullptr && name != nullptr ? world->GetSubWorlds().FindByName(name) : nullptr;
}

// The action's text names the node the instance goes under; its placement is the instance's transform. While
// the world runs the loader thread reads the file and the frame step merges it.
void LoadWorld(SWevent*, SWevents* events, const ActionTarget& target, const ActionSubject& subject)
{
    SWworld* const world = WorldOf(events);
    CVTN_SubWorld* const entry = NamedSubWorld(world, target);
    const auto* const action = dynamic_cast<const SWimportvtoactionnode*>(subject.action);
    if (entry == nullptr || action == nullptr)
        return;
    SubWorldLoadRequest request;
    request.rootName = action->settings.fileName;
    request.initialTransform = action->settings.placement;
    request.importFlags = static_cast<uint32_t>(action->settings.index) & kMergeAll; // as its editor ticks them
    request.executeStartEvents = action->settings.byte1 != 0;
    request.applyRequest = true;
    request.showAtOnce = true;
    CVTN_SubWorldLoader::Of(*world).LoadFile(*entry, request, world->IsRunning());
}

void UnloadWorld(SWevent*, SWevents* events, const ActionTarget& target, const ActionSubject& subject)
{
    SWworld* const world = WorldOf(events);
    CVTN_SubWorld* const entry = NamedSubWorld(world, target);
    const auto* const action = dynamic_cast<const SWunloadworldaction*>(subject.action);
    if (entry == nullptr || action == nullptr)
        return;
    world->UnloadSubWorld(*entry, action->byte1 != 0, action->byte2 != 0);
    world->Invalidate(false);
}

void HideShowWorld(SWevent*, SWevents* events, const ActionTarget& target, const ActionSubject& subject)
{
    SWworld* const world = WorldOf(events);
    CVTN_SubWorld* const entry = NamedSubWorld(world, target);
    const auto* const action = dynamic_cast<const SWshowworldaction*>(subject.action);
    if (entry == nullptr || action == nullptr)
        return;
    CVTN_SubWorldLoader::Of(*world).ShowSubWorld(*entry, action->show != 0, action->byte2 != 0, action->byte3 != 0);
    world->Invalidate(false);
}

const bool kRegistered = RegisterActionHandler(54, LoadWorld) && RegisterActionHandler(55, UnloadWorld) &&
                         RegisterActionHandler(56, HideShowWorld);

} // namespace
