#include "designer/editors/property_generator_dlg.h"

#include <memory>

#include "designer/app/world_write_lock.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/map_object.h"
#include "designer/editing/picker_receptors.h"
#include "designer/workspace/property_drag_source.h"
#include "designer/workspace/value_generator.h"
#include "engine/behaviour/generator.h"
#include "engine/behaviour/property.h"
#include "engine/core/node.h"
#include "engine/resources/sound.h"
#include "platform/ui/controls/button.h"

namespace {

constexpr int32_t kIdReference = 1004;
constexpr int32_t kIdValue = 1012;
constexpr int32_t kIdChange = 1013;

const bool kRegistered = CVTND_ValueGenerator::RegisterDialog(SWgenerator::kProperty, &CVTND_PropertyGenerator::Make);

bool IsNodeType(uint16_t type)
{
    return type == 1 || type == 2 || type == 3 || type == 4 || type == 14 || type == 18;
}

} // namespace

CVTND_PropertyGenerator::CVTND_PropertyGenerator(CVTND_ValueGenerator& control, pf::Window* parent)
    : CVTND_GeneratorDialog(control), m_generator(dynamic_cast<SWpropertygenerator*>(control.GetGenerator()))
{
    create(kIdd, parent);
}

std::unique_ptr<CVTND_GeneratorDialog> CVTND_PropertyGenerator::Make(CVTND_ValueGenerator& control, pf::Window* parent)
{
    (void)kRegistered;
    return std::make_unique<CVTND_PropertyGenerator>(control, parent);
}

bool CVTND_PropertyGenerator::onInitDialog()
{
    if (CEditorEngine* engine = GetEditorEngine()) {
        auto receptor = std::make_unique<PropertyControlReceptor>(this);
        receptor->AddOwner(child(kIdReference));
        m_receptor = engine->AddControlReceptor(receptor.release());
    }
    if (m_generator != nullptr) {
        item<pf::Button>(kIdValue)->setCheck(m_generator->GetRelative() ? 0 : pf::BST_CHECKED);
        item<pf::Button>(kIdChange)->setCheck(m_generator->GetRelative() ? pf::BST_CHECKED : 0);
    }
    return true;
}

void CVTND_PropertyGenerator::SetTarget(SWgenerator* generator)
{
    m_generator = dynamic_cast<SWpropertygenerator*>(generator);
    child(kIdReference)
        ->setText(m_generator != nullptr ? m_generator->GetPropertyName().value_or(std::string()) : std::string());
}

// The receptor goes first, while the engine still lists it; then the window.
void CVTND_PropertyGenerator::onOK()
{
    CEditorEngine* engine = GetEditorEngine();
    if (engine != nullptr && m_receptor != 0) {
        if (DropReceptor* receptor = engine->FindReceptor(m_receptor))
            engine->DeleteControlReceptor(receptor);
    }
    m_receptor = 0;
    destroy();
}

void CVTND_PropertyGenerator::Dropped(int32_t control, const SWproperty* property)
{
    const CVTND_Object owner = PropertyDragSource;
    PropertyDragSource = CVTND_Object();
    if (property == nullptr || owner.GetObject() == nullptr || control != kIdReference)
        return;
    const std::string name = property->GetName().value_or(std::string());
    std::string reference;
    if (IsNodeType(owner.GetType()))
        reference =
            "NODE:" + static_cast<const SWnode*>(owner.GetObject())->GetName().value_or(std::string()) + "." + name;
    else if (owner.IsType(ObjectType::kSound))
        reference = "SOUND:" + static_cast<const SWsound*>(owner.GetObject())->GetName() + "." + name;
    else
        return;
    if (reference.size() > kMaxReference - 1)
        reference.resize(kMaxReference - 1);
    child(kIdReference)->setText(reference);
}

pf::LResult CVTND_PropertyGenerator::handle(const pf::Msg& msg)
{
    if (msg.message == kMsgPropertyDropped) {
        Dropped(static_cast<int32_t>(msg.wParam), reinterpret_cast<const SWproperty*>(msg.lParam));
        return 1;
    }
    if (msg.message == pf::WM_DESTROY && m_receptor != 0) {
        if (CEditorEngine* engine = GetEditorEngine())
            if (DropReceptor* receptor = engine->FindReceptor(m_receptor))
                engine->DeleteControlReceptor(receptor);
        m_receptor = 0;
    }
    if (msg.message == pf::WM_COMMAND && m_generator != nullptr) {
        const int32_t id = pf::loWord(msg.wParam);
        const int32_t code = pf::hiWord(msg.wParam);
        const CVTND_WorldWriteLock lock(GetControl().GetSlot().GetWorld());
        if (code == pf::EN_CHANGE && id == kIdReference) {
            std::string text = child(kIdReference)->getText();
            if (text.size() > kMaxReference)
                text.resize(kMaxReference);
            m_generator->SetPropertyName(std::move(text));
        } else if (code == pf::BN_CLICKED && id == kIdValue) {
            m_generator->SetRelative(false);
        } else if (code == pf::BN_CLICKED && id == kIdChange) {
            m_generator->SetRelative(true);
        }
    }
    return CVTND_GeneratorDialog::handle(msg);
}
