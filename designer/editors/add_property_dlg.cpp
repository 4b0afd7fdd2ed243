#include "designer/editors/add_property_dlg.h"

#include <limits>
#include <string>
#include <vector>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/window_placement.h"
#include "designer/editors/world_texts.h"
#include "designer/workspace/editor_fields.h"
#include "designer/workspace/editor_texts.h"
#include "engine/behaviour/properties.h"
#include "engine/behaviour/property.h"
#include "engine/core/java_class_node.h"
#include "engine/core/matrix.h"
#include "engine/core/node.h"
#include "engine/core/quaternion.h"
#include "engine/core/typed_value_data.h"
#include "engine/core/vector.h"
#include "engine/resources/sound.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/providers/providers.h"

namespace {

constexpr int32_t kIdName = 1028;
constexpr int32_t kIdAdd = 1026;
constexpr int32_t kIdDone = 1027;
constexpr int32_t kIdOk = 1034;
// The radios with their types, in the order Add tests them.
constexpr std::array<std::pair<int32_t, uint32_t>, 6> kRadios = {{{1023, kTypeFloat},
                                                                  {1021, kTypeString},
                                                                  {1017, kTypeInteger},
                                                                  {1019, kTypeBoolean},
                                                                  {1024, kTypeVector},
                                                                  {1018, kTypeQuaternion}}};
// Page slots: boolean, matrix, quaternion, float, vector, integer, string.
constexpr std::array<int32_t, 7> kPageTemplates = {160, 163, 162, 159, 161, 159, 159};
constexpr std::array<uint32_t, 7> kPageTypes = {kTypeBoolean, kTypeMatrix,  kTypeQuaternion, kTypeFloat,
                                                kTypeVector,  kTypeInteger, kTypeString};
constexpr int32_t kPageX = 5;
constexpr int32_t kPageY = 120;
constexpr int32_t kIddComponent = 193;

int32_t RunAddProperty(CVTNDesignerApp&, const CVTND_ModalRequest& request)
{
    CVTND_AddPropertyDlg dialog(request.subject, request.property, request.propertyMode);
    return dialog.doModal(CVTND_AddPropertyDlg::kIdd, request.owner);
}

const CVTND_ModalToolRegistration kAddPropertyTool(ModalTool::kAddProperty, &RunAddProperty);

std::string Formatted(float value)
{
    return FormatReal(value, "%.4f");
}

// A field RefusedField passed.
float NumberIn(const pf::Window* edit)
{
    const TypedNumber typed = ReadTypedNumber(edit != nullptr ? edit->getText() : std::string(),
                                              -std::numeric_limits<float>::max(), std::numeric_limits<float>::max());
    return typed.kind == TypedKind::kNumber ? static_cast<float>(typed.value) : 0.0f;
}

class CastComponentDlg : public pf::Dialog {
public:
    CastComponentDlg(bool quaternion, int16_t& out) : m_quaternion(quaternion), m_out(out) {}

protected:
    bool onInitDialog() override
    {
        if (auto* x = item<pf::Button>(1012))
            x->setCheck(pf::BST_CHECKED);
        child(1015)->enable(m_quaternion);
        return true;
    }
    void onOK() override
    {
        for (int16_t k = 0; k < 4; ++k)
            if (const auto* radio = item<pf::Button>(1012 + k);
                radio != nullptr && radio->getCheck() == pf::BST_CHECKED) {
                m_out = k;
                break;
            }
        endDialog(pf::IDOK);
    }

private:
    bool m_quaternion;
    int16_t& m_out;
};

} // namespace

int32_t RunCastComponentDialog(pf::Window* owner, bool quaternion, int16_t& outComponent)
{
    outComponent = 0;
    CastComponentDlg dialog(quaternion, outComponent);
    return dialog.doModal(kIddComponent, owner);
}

// -- The pages

void CVTND_InitPropertyPage::ShowDefaults(uint32_t type)
{
    switch (templateId()) {
    case 160:
        if (auto* yes = item<pf::Button>(1012))
            yes->setCheck(pf::BST_CHECKED);
        break;
    case 161:
        for (const int32_t id : {1004, 1172, 1173})
            child(id)->setText(Formatted(0.0f));
        break;
    case 162: {
        const std::array<float, 4> identity = {0.0f, 0.0f, 0.0f, 1.0f};
        for (size_t k = 0; k < 4; ++k)
            child(1004 + (k == 0 ? 0 : 167 + static_cast<int32_t>(k)))->setText(Formatted(identity[k]));
        break;
    }
    case 159:
        child(1004)->setText(type == kTypeFloat ? "0.0000" : type == kTypeInteger ? "0" : WorldTextOf(kIdsStringWord));
        break;
    default:
        break;
    }
}

void CVTND_InitPropertyPage::Fill(const SWproperty& property, uint32_t type)
{
    switch (templateId()) {
    case 159:
        if (type == kTypeInteger)
            child(1004)->setText(std::to_string(property.GetAsInt()));
        else if (type == kTypeFloat && property.GetType() != kTypeFloat)
            child(1004)->setText(Formatted(property.GetAsFloat()));
        else if (type == kTypeString && property.GetType() == kTypeFloat)
            child(1004)->setText(FormatReal(property.GetAsFloat())); // 2.5, as a person would write it
        else
            child(1004)->setText(property.GetAsString());
        break;
    case 160: {
        const bool value = property.GetAsBool();
        if (auto* yes = item<pf::Button>(1012))
            yes->setCheck(value ? pf::BST_CHECKED : pf::BST_UNCHECKED);
        if (auto* no = item<pf::Button>(1013))
            no->setCheck(value ? pf::BST_UNCHECKED : pf::BST_CHECKED);
        break;
    }
    case 161: {
        const SWvector v = property.GetAsVector();
        child(1004)->setText(Formatted(v.x));
        child(1172)->setText(Formatted(v.y));
        child(1173)->setText(Formatted(v.z));
        break;
    }
    case 162: {
        const CVTN_Quaternion q = property.GetAsQuaternion();
        child(1004)->setText(Formatted(q.x));
        child(1172)->setText(Formatted(q.y));
        child(1173)->setText(Formatted(q.z));
        child(1174)->setText(Formatted(q.w));
        break;
    }
    default:
        break;
    }
    // A cast's value is its source's: shown, never edited here.
    for (const pf::Hwnd h : children())
        if (pf::Window* w = pf::ui().window(h))
            w->enable(!property.IsBound());
}

int32_t CVTND_InitPropertyPage::RefusedField(uint32_t type, double& low, double& high) const
{
    const bool whole = type == kTypeInteger;
    low = whole ? std::numeric_limits<int32_t>::min() : -std::numeric_limits<float>::max();
    high = whole ? std::numeric_limits<int32_t>::max() : std::numeric_limits<float>::max();
    std::vector<int32_t> fields;
    if (templateId() == 159 && (type == kTypeFloat || type == kTypeInteger))
        fields = {1004};
    else if (templateId() == 161)
        fields = {1004, 1172, 1173};
    else if (templateId() == 162)
        fields = {1004, 1172, 1173, 1174};
    for (const int32_t id : fields) {
        const std::string text = child(id) != nullptr ? child(id)->getText() : std::string();
        if ((whole ? ReadTypedWholeNumber(text, low, high) : ReadTypedNumber(text, low, high)).kind !=
            TypedKind::kNumber)
            return id;
    }
    return 0;
}

void CVTND_InitPropertyPage::Write(SWproperty& property)
{
    if (property.IsBound())
        return;
    switch (templateId()) {
    case 159: {
        std::string text = child(1004)->getText();
        if (text.size() > 1024)
            text.resize(1024);
        property.AssignString(text);
        break;
    }
    case 160: {
        const auto* no = item<pf::Button>(1013);
        property.AssignBool(!(no != nullptr && no->getCheck() == pf::BST_CHECKED));
        break;
    }
    case 161:
        property.AssignVector(NumberIn(child(1004)), NumberIn(child(1172)), NumberIn(child(1173)));
        break;
    case 162:
        property.AssignQuaternion(CVTN_Quaternion(NumberIn(child(1004)), NumberIn(child(1172)), NumberIn(child(1173)),
                                                  NumberIn(child(1174))));
        break;
    default:
        break;
    }
}

// -- The dialog

CVTND_AddPropertyDlg::CVTND_AddPropertyDlg(const CVTND_Object& owner, SWproperty* property, PropertyDialogMode mode)
    : m_owner(owner), m_property(property), m_mode(property != nullptr ? mode : PropertyDialogMode::kAdd)
{
}

CVTND_AddPropertyDlg::~CVTND_AddPropertyDlg() = default;

int CVTND_AddPropertyDlg::CastRule(uint32_t sourceType, uint32_t newType)
{
    static constexpr std::array<uint32_t, 6> kNew = {kTypeString, kTypeInteger, kTypeBoolean,
                                                     kTypeFloat,  kTypeVector,  kTypeQuaternion};
    static constexpr std::array<std::array<int, 6>, 7> kTable = {{
        {0, 1, 1, 1, 1, 1}, // string
        {1, 0, 1, 1, 0, 0}, // integer
        {1, 1, 0, 1, 0, 0}, // boolean
        {1, 1, 1, 0, 0, 0}, // float
        {1, 2, 0, 2, 0, 0}, // vector
        {1, 2, 0, 2, 0, 0}, // quaternion
        {1, 1, 0, 1, 1, 1}, // matrix
    }};
    static constexpr std::array<uint32_t, 7> kSource = {kTypeString, kTypeInteger,    kTypeBoolean, kTypeFloat,
                                                        kTypeVector, kTypeQuaternion, kTypeMatrix};
    for (size_t s = 0; s < kSource.size(); ++s)
        for (size_t t = 0; t < kNew.size(); ++t)
            if (kSource[s] == sourceType && kNew[t] == newType)
                return kTable[s][t];
    return 0;
}

CVTND_InitPropertyPage* CVTND_AddPropertyDlg::PageOfType(uint32_t type) const
{
    for (size_t k = 0; k < kPageTypes.size(); ++k)
        if (kPageTypes[k] == type)
            return m_pages[k].get();
    return nullptr;
}

bool CVTND_AddPropertyDlg::onInitDialog()
{
    PlaceWindowAtCursor(*this);
    CheckType(0);
    for (size_t k = 0; k < m_pages.size(); ++k) {
        m_pages[k] = std::make_unique<CVTND_InitPropertyPage>();
        if (m_pages[k]->create(kPageTemplates[k], this)) {
            const pf::Rect r = m_pages[k]->windowRect();
            m_pages[k]->move(
                pf::Rect::fromXywh(kPageX, kPageY, static_cast<int32_t>(r.width()), static_cast<int32_t>(r.height())));
            m_pages[k]->ShowDefaults(kPageTypes[k]);
        }
    }
    if (m_mode == PropertyDialogMode::kEdit) {
        setText(WorldTextOf(kIdsEditPropertyTitle));
        child(kIdName)->setText(m_property->GetName().value_or(std::string()));
        child(kIdName)->enable(false);
        CheckType(m_property->GetType());
        // Every page shows the value as its type reads it, so a change of type carries the value over.
        for (size_t k = 0; k < m_pages.size(); ++k)
            if (kPageTypes[k] != kTypeMatrix)
                m_pages[k]->Fill(*m_property, kPageTypes[k]);
        ShowPage(PageOfType(m_property->GetType()));
        if (m_property->IsBuiltIn())
            for (const auto& [radio, type] : kRadios)
                child(radio)->enable(false);
        child(kIdAdd)->show(pf::SW_HIDE);
        child(kIdDone)->show(pf::SW_HIDE);
        child(kIdOk)->show(pf::SW_SHOW);
        return true;
    }
    CheckType(kTypeFloat);
    if (m_mode == PropertyDialogMode::kAdd)
        ShowPage(PageOfType(kTypeFloat));
    return true;
}

uint32_t CVTND_AddPropertyDlg::CheckedType() const
{
    for (const auto& [radio, type] : kRadios)
        if (const auto* b = item<pf::Button>(radio); b != nullptr && b->getCheck() == pf::BST_CHECKED)
            return type;
    return 0;
}

void CVTND_AddPropertyDlg::CheckType(uint32_t type)
{
    for (const auto& [radio, t] : kRadios)
        if (auto* b = item<pf::Button>(radio))
            b->setCheck(t == type ? pf::BST_CHECKED : pf::BST_UNCHECKED);
}

void CVTND_AddPropertyDlg::ShowPage(CVTND_InitPropertyPage* page)
{
    if (page == m_shown)
        return;
    if (m_shown != nullptr)
        m_shown->show(pf::SW_HIDE);
    m_shown = page;
    if (m_shown != nullptr)
        m_shown->show(pf::SW_SHOW);
}

pf::LResult CVTND_AddPropertyDlg::handle(const pf::Msg& msg)
{
    if (msg.message == pf::WM_COMMAND && pf::hiWord(msg.wParam) == pf::BN_CLICKED) {
        const int32_t id = pf::loWord(msg.wParam);
        for (const auto& [radio, type] : kRadios)
            if (radio == id) {
                if (m_mode != PropertyDialogMode::kCast)
                    ShowPage(PageOfType(type));
                return 0;
            }
        if (id == kIdAdd) { // also Enter's, the default button even while hidden in edit mode
            onOK();
            return 0;
        }
        if (id == kIdDone) {
            endDialog(pf::IDOK);
            return 0;
        }
        if (id == kIdOk) {
            ApplyEdit();
            return 0;
        }
    }
    return Dialog::handle(msg);
}

void CVTND_AddPropertyDlg::onOK()
{
    if (m_mode == PropertyDialogMode::kEdit)
        ApplyEdit();
    else
        Add();
}

int32_t CVTND_AddPropertyDlg::Refuse(uint32_t textId)
{
    return pf::messageBox(hwnd(), WorldTextOf(textId), EditorTextOf(kIdsEditorErrorCaption),
                          pf::MB_OK | pf::MB_ICONEXCLAMATION);
}

// Text such as "abc" or "nan" was read as 0 or stored as not-a-number: nothing is written, and the page shows
// again what the property holds, or a new one's default.
bool CVTND_AddPropertyDlg::RefuseTyped(uint32_t type)
{
    CVTND_InitPropertyPage* page = PageOfType(type);
    double low = 0.0;
    double high = 0.0;
    const int32_t field = page != nullptr ? page->RefusedField(type, low, high) : 0;
    if (field == 0)
        return false;
    pf::messageBox(hwnd(), TypedRefusalText(low, high, type == kTypeInteger), EditorTextOf(kIdsEditorErrorCaption),
                   pf::MB_OK | pf::MB_ICONEXCLAMATION);
    if (m_mode == PropertyDialogMode::kEdit)
        page->Fill(*m_property, type);
    else
        page->ShowDefaults(type);
    gotoControl(page->child(field));
    return true;
}

SWproperties2* CVTND_AddPropertyDlg::OwnerList() const
{
    void* object = m_owner.GetObject();
    if (object == nullptr)
        return nullptr;
    switch (m_owner.GetType()) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 14:
    case 18:
        return static_cast<SWnode*>(object);
    case 17:
        return static_cast<SWjavaclassnode*>(object);
    case 8: {
        CVTNDesignerApp* app = GetDesignerApp();
        return app != nullptr && app->GetWorld() != nullptr
                   ? &app->GetWorld()->GetSoundVariables(*static_cast<SWsound*>(object))
                   : nullptr;
    }
    default:
        return nullptr; // a render layer, a material, nothing selected: no list to add to
    }
}

void CVTND_AddPropertyDlg::Add()
{
    std::string name = child(kIdName)->getText();
    if (name.size() > 260)
        name.resize(260);
    if (name.empty()) {
        Refuse(kIdsPropertyEmptyName);
        return;
    }
    // An expression reads "object.property" up to a bracket or an operator, and a second dot is an error in it.
    if (name.find_first_of(".()+-*/") != std::string::npos) {
        Refuse(kIdsPropertyReachableName);
        gotoControl(child(kIdName));
        return;
    }
    const uint32_t type = CheckedType();
    SWproperties2* list = OwnerList();
    CVTNDesignerApp* app = GetDesignerApp();
    if (list == nullptr || type == 0 || app == nullptr || app->GetWorld() == nullptr) {
        Refuse(kIdsPropertyNoOwner);
        return;
    }
    if (m_mode != PropertyDialogMode::kCast && RefuseTyped(type))
        return;
    std::unique_ptr<SWproperty> made;
    if (m_mode == PropertyDialogMode::kCast) {
        if (m_property->GetOwner() != list) {
            Refuse(kIdsPropertyNoOwner); // a binding lives inside its source's list
            return;
        }
        const int rule = CastRule(m_property->GetType(), type);
        if (rule == 0) {
            Refuse(kIdsPropertyInconsistent);
            return;
        }
        int16_t component = 0;
        if (rule == 2 && RunCastComponentDialog(this, m_property->GetType() == kTypeQuaternion, component) != pf::IDOK)
            return;
        made = std::make_unique<SWproperty>(type, *m_property, component);
    } else {
        made = std::make_unique<SWproperty>(type);
    }
    made->SetName(name);
    SWproperty* added = nullptr;
    {
        SWworldlock lock(*app->GetWorld());
        added = list->AddVariable(std::move(made)); // a duplicate is deleted by the list
        if (added != nullptr && m_mode != PropertyDialogMode::kCast)
            if (CVTND_InitPropertyPage* page = PageOfType(type))
                page->Write(*added);
        if (added != nullptr)
            added->StoreCurrentValue();
    }
    if (added == nullptr) {
        Refuse(kIdsPropertyUniqueName);
        return;
    }
    CVTND_Object announced;
    announced.InitProperty(added);
    app->AnnounceObject(announced);
    child(kIdName)->setText("");
    CheckType(kTypeFloat);
    if (m_mode != PropertyDialogMode::kCast)
        ShowPage(PageOfType(kTypeFloat));
}

// The type changes only when another is chosen, the page never writes through a binding, and what was written
// becomes the initial value, which a reset of the world goes back to.
void CVTND_AddPropertyDlg::ApplyEdit()
{
    if (child(kIdName)->getText().empty()) {
        Refuse(kIdsPropertyEmptyName);
        return;
    }
    const uint32_t type = CheckedType();
    if (!m_property->IsBound() && RefuseTyped(type))
        return;
    CVTNDesignerApp* app = GetDesignerApp();
    if (type != 0 && app != nullptr && app->GetWorld() != nullptr) {
        SWworldlock lock(*app->GetWorld());
        if (type != m_property->GetType())
            m_property->SetType(type);
        if (CVTND_InitPropertyPage* page = PageOfType(type); page != nullptr && !m_property->IsBound()) {
            page->Write(*m_property);
            m_property->StoreCurrentValue();
        }
    }
    endDialog(pf::IDOK);
}
