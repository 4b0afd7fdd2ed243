// The designer tooltip's places in the designer services: the object factory's creator of type 11, the project
// item's "PRTT" records and the dropper of deleted nodes.
#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/project_records.h"
#include "designer/app/registry.h"
#include "designer/editors/designer_tooltip.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/node.h"
#include "engine/core/type_tag.h"

namespace {

CVTND_Object CreateTooltip(CVTNDesignerApp& app, const CVTND_CreateRequest& request)
{
    CVTND_Object object;
    if (CVTND_ExtendedWorld* world = app.GetWorld())
        object.InitTooltip(CreateDesignerTooltip(*world, request.name));
    return object;
}
const CVTND_ObjectCreatorRegistration kCreatorRegistered(ObjectType::kTooltip, &CreateTooltip);

bool WriteTooltips(CVTND_ProjectWriting& out, SWchunkstream& payload)
{
    return WriteTooltipRecords(out.world, payload);
}

// A damaged record is left out alone: the engine tooltip the world part brought stays with its stored texture.
ProjectRecordRead ReadTooltip(CVTND_ProjectReading& in, uint32_t, SWchunkstream& payload)
{
    return ReadTooltipRecord(in.world, payload) == TooltipRecordRead::kOk ? ProjectRecordRead::kOk
                                                                          : ProjectRecordRead::kDamagedOptional;
}

constexpr CVTND_ProjectRecordHandler kHandler = {&WriteTooltips, &ReadTooltip};
const CVTND_ProjectRecordRegistration kHandlerRegistered(MakeTag("PRTT"), &kHandler);

// A deleted node leaves every tooltip: an entry kept would save its name, which a later node may take.
void DropTooltipEntries(CVTNDesignerApp& app, const CVTND_Object& object, uint32_t)
{
    CVTND_ExtendedWorld* world = app.GetWorld();
    SWtooltips* tooltips = world != nullptr ? SWtooltips::Find(*world) : nullptr;
    if (tooltips == nullptr || !object.IsNodeType())
        return;
    const auto* node = static_cast<const SWnode*>(object.GetObject());
    const SWworldlock lock(*world);
    for (SWlistnode* n = tooltips->GetList().Head(); n != nullptr; n = n->Next()) {
        auto* tooltip = static_cast<CVTN_ToolTip*>(n);
        while (CVTN_ToolTipEntry* entry = tooltip->FindEntry(node))
            tooltip->DeleteEntry(entry);
    }
}
const CVTND_ReferenceDropperRegistration kDropperRegistered(&DropTooltipEntries);

} // namespace
