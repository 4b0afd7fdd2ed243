#include "designer/workspace/properties_dlg.h"

#include <algorithm>
#include <vector>

#include "designer/app/extended_world.h"
#include "designer/app/notification.h"
#include "designer/workspace/list_panels.h"
#include "designer/workspace/property_drag_source.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/properties.h"
#include "engine/behaviour/property.h"
#include "engine/core/java_class_node.h"
#include "engine/core/node.h"
#include "engine/resources/sound.h"

CVTND_PropertiesDlg::CVTND_PropertiesDlg(CVTNDesignerApp& app)
    : CVTND_ListPanelDlg(app, PanelRole::kProperties, panel_ids::kProperties, ObjectType::kProperty)
{
}

SWproperties2* CVTND_PropertiesDlg::VariablesOf(CVTND_ExtendedWorld& world, const CVTND_Object& object)
{
    if (object.GetObject() == nullptr)
        return nullptr;
    if (object.IsNodeType())
        return static_cast<SWnode*>(object.GetObject());
    switch (static_cast<ObjectType>(object.GetType())) {
    case ObjectType::kEvent:
        return static_cast<SWevent*>(object.GetObject());
    case ObjectType::kResourceItem:
        return static_cast<SWjavaclassnode*>(object.GetObject());
    case ObjectType::kSound:
        return world.FindSoundVariables(*static_cast<SWsound*>(object.GetObject()));
    default:
        return nullptr;
    }
}

bool CVTND_PropertiesDlg::CanAddTo(const CVTND_Object& object)
{
    switch (object.GetType()) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 8:
    case 14:
    case 17:
    case 18:
    case 25:
        return object.GetObject() != nullptr;
    default:
        return false;
    }
}

std::string CVTND_PropertiesDlg::TypeName(uint32_t type)
{
    switch (type) {
    case 1:
        return "string";
    case 2:
        return "integer";
    case 4:
        return "boolean";
    case 8:
        return "float";
    case 16:
        return "vector";
    case 32:
        return "quaternion";
    case 64:
        return "matrix";
    default:
        return "?";
    }
}

CVTND_Object CVTND_PropertiesDlg::FirstSelected() const
{
    const CVTND_Object* first = m_app.GetSelection().First();
    return first != nullptr ? *first : m_app.GetPropertiesObject();
}

bool CVTND_PropertiesDlg::RunDialog(const CVTND_Object& owner, SWproperty* property, PropertyDialogMode mode)
{
    const CVTND_ModalToolRun run = CVTND_Registry::FindModalTool(ModalTool::kAddProperty);
    if (run == nullptr)
        return false;
    CVTND_ModalRequest request;
    request.owner = this;
    request.subject = owner;
    request.property = property;
    request.propertyMode = mode;
    run(m_app, request);
    void* const selected = SelectedObject();
    Refill();
    if (const int32_t index = FindItem(selected); index >= 0) // the same variable stays chosen for the next command
        GetList()->setItemState(index, pf::LVIS_SELECTED, pf::LVIS_SELECTED);
    return true;
}

bool CVTND_PropertiesDlg::AddProperty()
{
    const CVTND_Object owner = FirstSelected();
    return CanAddTo(owner) && RunDialog(owner, nullptr, PropertyDialogMode::kAdd);
}

bool CVTND_PropertiesDlg::CastProperty()
{
    const CVTND_Object owner = FirstSelected();
    SWproperty* source = SelectedProperty();
    return source != nullptr && CanAddTo(owner) && RunDialog(owner, source, PropertyDialogMode::kCast);
}

bool CVTND_PropertiesDlg::EditProperty()
{
    SWproperty* property = SelectedProperty();
    if (property == nullptr || (property->GetFlags() & SWproperty::kFlagEditable) == 0)
        return false;
    const CVTND_Object owner = m_app.GetPropertiesObject();
    if (!RunDialog(owner, property, PropertyDialogMode::kEdit))
        return false;
    CVTND_Event changed(EventCode::kChanged, owner);
    changed.related[0] = CVTND_Object(ObjectType::kProperty, property);
    m_app.Broadcast(changed);
    return true;
}

void CVTND_PropertiesDlg::Fill(CVTND_ExtendedWorld& world)
{
    if (SWproperties2* variables = VariablesOf(world, m_app.GetPropertiesObject())) {
        std::vector<void*> shown;
        for (SWproperty* v = variables->GetFirstVariable(); v != nullptr; v = SWproperties2::GetNextVariable(v))
            if ((v->GetFlags() & SWproperty::kFlagTemporary) == 0)
                shown.push_back(v);
        AddItems(shown);
    }
    if (pf::ListView* list = GetList())
        list->fitColumnsToContent();
}

void CVTND_PropertiesDlg::OnObjectEvent(const CVTND_Event& event)
{
    const CVTND_Object& shown = m_app.GetPropertiesObject();
    if (event.subject.IsType(ObjectType::kProperty)) {
        if (event.Is(EventCode::kDeleted))
            RemoveItem(event.subject.GetObject());
        else if (pf::ListView* list = GetList())
            list->fitColumnsToContent(); // a new value may be wider
        return;
    }
    if (event.subject.GetObject() == nullptr || event.subject.GetObject() != shown.GetObject())
        return;
    if (event.Is(EventCode::kDeleted))
        Empty(); // the application forgets it right after: nothing of it may stay listed
    else
        Refill();
}

void CVTND_PropertiesDlg::OnNotifyRecord(const pf::NMHDR& header, pf::LParam record)
{
    if (header.code == pf::LVN_BEGINDRAG && header.idFrom == static_cast<uintptr_t>(kPanelMainControl)) {
        const auto* nm = pf::notifyRecord<pf::NMLISTVIEW>(record);
        pf::ListView* list = GetList();
        if (list == nullptr || nm->iItem < 0 || nm->iItem >= list->getItemCount())
            return;
        PropertyDragSource = m_app.GetPropertiesObject();
        StartPaletteDrag(CVTND_Object(ObjectType::kProperty, reinterpret_cast<void*>(list->getItemData(nm->iItem))));
        return;
    }
    if ((header.code == pf::NM_DBLCLK || header.code == pf::NM_RETURN) &&
        header.idFrom == static_cast<uintptr_t>(kPanelMainControl)) {
        EditProperty(); // a variable has no editor of its own: the dialog edits it
        return;
    }
    CVTND_ListPanelDlg::OnNotifyRecord(header, record);
}

void CVTND_PropertiesDlg::OnCommand(int32_t id)
{
    if (id == panel_ids::kAdd)
        AddProperty();
    else if (id == panel_ids::kCast)
        CastProperty();
    else if (id == panel_ids::kEdit)
        EditProperty();
}

void CVTND_PropertiesDlg::Layout(const pf::Rect& client)
{
    constexpr int32_t kRow = 26;
    if (pf::ListView* list = GetList()) {
        list->move({client.l, client.t, client.r, std::max(client.t, client.b - kRow)});
        list->fitColumnsToContent();
    }
    int32_t x = client.l + 2;
    for (const int32_t id : {panel_ids::kAdd, panel_ids::kCast, panel_ids::kEdit}) {
        if (pf::Window* button = child(id))
            button->move({x, client.b - kRow + 3, x + 56, client.b - 2});
        x += 60;
    }
}

std::string CVTND_PropertiesDlg::ItemText(void* object, int32_t column) const
{
    const auto* variable = static_cast<SWproperty*>(object);
    switch (column) {
    case 0:
        return variable->GetName().value_or(std::string());
    case 1:
        return TypeName(variable->GetType());
    default:
        return variable->GetAsString();
    }
}
