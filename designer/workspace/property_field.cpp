#include "designer/workspace/property_field.h"

#include "designer/workspace/property_drag_source.h"
#include "designer/workspace/workspace_messages.h"
#include "engine/behaviour/property.h"
#include "engine/core/java_class_node.h"
#include "engine/core/node.h"
#include "engine/resources/sound.h"

std::optional<std::string> CVTND_PropertyField::ReferenceText(const CVTND_Object& owner, const SWproperty& property)
{
    if (owner.GetObject() == nullptr)
        return std::nullopt;
    std::string text;
    if (owner.IsNodeType())
        text = "NODE:" + static_cast<const SWnode*>(owner.GetObject())->GetName().value_or("");
    else if (owner.IsType(ObjectType::kSound))
        text = "SOUND:" + static_cast<const SWsound*>(owner.GetObject())->GetName();
    else if (owner.IsType(ObjectType::kResourceItem))
        text = "RESOURCE:" + static_cast<const SWjavaclassnode*>(owner.GetObject())->GetName().value_or("");
    else
        return std::nullopt;
    return text + "." + property.GetName().value_or("");
}

pf::LResult CVTND_PropertyField::handle(const pf::Msg& msg)
{
    if (msg.message != workspace_messages::kPropertyDropped)
        return pf::Edit::handle(msg);
    const auto* property = reinterpret_cast<const SWproperty*>(msg.lParam);
    const CVTND_Object owner = PropertyDragSource;
    PropertyDragSource = CVTND_Object(); // read once: a later drop must not find this owner
    if (property == nullptr)
        return 0;
    if (const std::optional<std::string> text = ReferenceText(owner, *property)) {
        setText(*text);
        return 1;
    }
    return 0;
}
