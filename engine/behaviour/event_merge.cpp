// The merge of a world's events into another (scene import, sub-worlds). Action ids are unique only within their
// world, so two files number their actions alike: the merged ones take fresh ids from the target's counter, and
// every link and id list among them follows, so a merged action still reaches the one it reached in its file.
#include <map>
#include <string>
#include <vector>

#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/core/scene_import.h"
#include "engine/core/world.h"
#include "engine/core/world_sections.h"
#include "engine/resources/resource_report.h"

namespace {

void MergeEventSection(SWworld& target, SWworld& import, uint32_t, MergeRecord& record)
{
    std::vector<SWevent*> merged;
    while (SWevent* event = import.GetFirstEvent()) {
        import.UnlinkEvent(event);
        target.AppendEvent(event);
        merged.push_back(event);
        const std::string name = event->GetName().value_or("");
        record.entries.push_back({MergedKind::kEvent, event->GetId(), name, name});
    }
    // Old ids of every merged event first: a link may name an action of another merged event.
    std::map<uint32_t, uint32_t> fresh;
    for (const SWevent* event : merged) {
        for (const SWactionnode* a = event->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a)) {
            if (a->GetActionId() != SWactionnode::kUnset && !fresh.contains(a->GetActionId()))
                fresh.emplace(a->GetActionId(), target.NextActionId());
        }
    }
    // Each world has its own catalogue of kinds, and the import's goes with the import world: a merged action takes
    // the target's record of its kind. An action's own record (a host callback's) moves with it.
    const SWactioncategories& importKinds = import.GetActionCategories();
    const SWactioncategories& targetKinds = target.GetActionCategories();
    for (const SWevent* event : merged) {
        for (SWactionnode* a = event->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a)) {
            a->RemapIds(fresh);
            if (a->GetKind() != nullptr && a->GetKind() == importKinds.FindKind(a->GetKindId()))
                a->SetKind(targetKinds.FindKind(a->GetKindId()));
        }
    }
}

bool WriteEventSection(SWworldwriting& out, SWchunkstream& payload)
{
    return out.World().SaveEvents(payload);
}

// A damaged event ends the section; the events before it stay and the world's load goes on, so the user hears of
// it once rather than finding part of the behaviour silently gone.
bool ReadEventSection(SWworldreading& in, SWchunkstream& payload)
{
    std::string failed;
    if (in.World().LoadEvents(payload, &failed))
        return true;
    ResourceReport report;
    report.caption = "Damaged behaviour";
    report.text = "The events of this world could not all be read: reading stopped at event " + failed +
                  ". The events before it were kept.";
    ReportResource(report);
    return true;
}

constexpr SWworldsectionhandler kEventSection = {.writeStream = &WriteEventSection,
                                                 .readStream = &ReadEventSection,
                                                 .reserveIds = &SWevents::ReserveStoredIds,
                                                 .merge = &MergeEventSection};
const SWworldsectionregistration kEventSectionRegistered(WorldSection::kEvents, &kEventSection);

} // namespace
