#include "designer/editors/details_particles_dlg.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/notification.h"
#include "designer/app/registry.h"
#include "designer/editors/gradient_store.h"
#include "designer/workspace/color_button.h"
#include "designer/workspace/editor_fields.h"
#include "designer/workspace/editor_texts.h"
#include "designer/workspace/generator_slot.h"
#include "designer/workspace/gradient.h"
#include "designer/workspace/tooltip_texts.h"
#include "designer/workspace/value_generator.h"
#include "designer/workspace/workspace_messages.h"
#include "engine/behaviour/particle_motion.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/world.h"
#include "engine/resources/particle_node.h"
#include "platform/ui/controls/trackbar.h"

namespace {

constexpr int32_t kIdName = 1004;
constexpr int32_t kIdGradient = 1016;
constexpr int32_t kIdColour = 1164;
constexpr std::array<int32_t, 3> kSliderIds = {1352, 1359, 1360}; // red, green, blue
constexpr std::array<int32_t, 3> kEditIds = {1044, 1045, 1046};
constexpr int32_t kUnitDegrees = 1;

bool IsDegrees(int32_t id)
{
    return id == 1021 || id == 1022 || id == 1031;
}

pf::Window* MakeParticlesEditor(const CVTND_EditorRequest& request)
{
    return CVTND_ModelessEditorDlg::Open(
        std::make_unique<CVTND_DetailsParticlesDlg>(static_cast<SWnode*>(request.object), request.record),
        CVTND_DetailsParticlesDlg::kIdd, request.parent);
}
const CVTND_EditorRegistration kRegistered(ObjectType::kParticleNode, kAnyActionKind, &MakeParticlesEditor);

} // namespace

CVTND_DetailsParticlesDlg::CVTND_DetailsParticlesDlg(SWnode* node, CVTND_EditDialog* record)
    : CVTND_ModelessEditorDlg(static_cast<uint16_t>(ObjectType::kParticleNode), node, record), m_node(node),
      m_particles(node != nullptr ? dynamic_cast<SWparticlenode*>(node->GetGeometry()) : nullptr)
{
    if (SWworld* world = World())
        m_nodeRef = NodeRef(*world, node);
}

CVTND_Gradient* CVTND_DetailsParticlesDlg::Gradient() const
{
    return dynamic_cast<CVTND_Gradient*>(child(kIdGradient));
}

CVTND_GradientPersinstancy* CVTND_DetailsParticlesDlg::Store() const
{
    CVTNDesignerApp* app = App();
    return app != nullptr ? dynamic_cast<CVTND_GradientPersinstancy*>(app->GetGradientStore()) : nullptr;
}

size_t CVTND_DetailsParticlesDlg::TestRunCount() const
{
    SWworld* world = World();
    if (world == nullptr || m_particles == nullptr)
        return 0;
    const auto* list = TimedActionTable::Of(*world).GetTypeList(SWparticlemotion::kType);
    if (list == nullptr)
        return 0;
    return static_cast<size_t>(std::count_if(list->begin(), list->end(), [this](const auto& m) {
        const auto* p = dynamic_cast<const SWparticlemotion*>(m.get());
        return p != nullptr && p->GetParticleGeometry() == m_particles;
    }));
}

bool CVTND_DetailsParticlesDlg::onInitDialog()
{
    CVTND_ModelessEditorDlg::onInitDialog();
    SWworld* world = World();
    m_updating = true;
    child(kIdName)->setText(m_node != nullptr && m_node->GetName() ? *m_node->GetName() : std::string());
    for (const int32_t id : kSliderIds)
        item<pf::Trackbar>(id)->setRange(0, 255);
    if (m_particles != nullptr) {
        for (size_t i = 0; i < kParameterIds.size(); ++i) {
            auto* editor = dynamic_cast<CVTND_ValueGenerator*>(child(kParameterIds[i]));
            if (editor == nullptr)
                continue;
            const int slot = static_cast<int>(i);
            if (IsDegrees(kParameterIds[i]))
                editor->SetUnit(kUnitDegrees);
            editor->AttachValue(CVTND_GeneratorSlot::ForParticle(world, *m_particles, slot),
                                m_particles->GetParticles().GetParameter(slot));
            editor->SetAnimated(false);
        }
    }
    CVTND_Gradient* gradient = Gradient();
    gradient->LayoutKeys();
    CVTND_GradientPersinstancy* store = Store();
    if (store != nullptr && world != nullptr && m_particles != nullptr) {
        if (CVTND_GradientPersinstancyNode* record = store->FindOrCreate(*world, m_node, true);
            record != nullptr && record->LoadIntoControl(*gradient)) {
            gradient->invalidate(true);
            ShowKeyColour();
        }
    }
    m_updating = false;
    const bool running = world != nullptr && world->IsRunning();
    child(kIdStart)->enable(!running);
    child(kIdStop)->enable(!running);
    return true;
}

void CVTND_DetailsParticlesDlg::CopyColourTable()
{
    SWworld* world = World();
    if (m_particles == nullptr || world == nullptr)
        return;
    const SWworldlock lock(*world);
    m_particles->GetParticles().SetColourTable(Gradient()->GetGradientData().data());
}

void CVTND_DetailsParticlesDlg::ShowKeyColour()
{
    const CVTND_Gradient* gradient = Gradient();
    const std::array<float, 3> colour = gradient->GetKeyColor();
    if (auto* button = item<CVTND_ColorButton>(kIdColour))
        button->SetColor(colour[0], colour[1], colour[2]);
    const std::array<uint8_t, 3> rgb = gradient->GetKeyRGB();
    const bool updating = m_updating;
    m_updating = true;
    for (size_t c = 0; c < 3; ++c)
        child(kEditIds[c])->setText(std::to_string(rgb[c]));
    m_updating = updating;
}

void CVTND_DetailsParticlesDlg::KeySelectionChanged()
{
    const CVTND_Gradient* gradient = Gradient();
    if (gradient->HasSelectedKey()) {
        ShowKeyColour();
        const std::array<float, 3> colour = gradient->GetKeyColor();
        for (size_t c = 0; c < 3; ++c)
            item<pf::Trackbar>(kSliderIds[c])->setPos(static_cast<int32_t>(colour[c] * 255.0f));
    } else {
        for (const int32_t id : kSliderIds)
            item<pf::Trackbar>(id)->setPos(0);
    }
}

void CVTND_DetailsParticlesDlg::SlidersChanged()
{
    CVTND_Gradient* gradient = Gradient();
    if (!gradient->HasSelectedKey())
        return;
    std::array<float, 3> colour{};
    for (size_t c = 0; c < 3; ++c)
        colour[c] = static_cast<float>(item<pf::Trackbar>(kSliderIds[c])->getPos()) * (1.0f / 255.0f);
    gradient->SetKeyColor(colour[0], colour[1], colour[2]);
    ShowKeyColour();
    CopyColourTable();
}

void CVTND_DetailsParticlesDlg::ColourEditChanged(int32_t id)
{
    CVTND_Gradient* gradient = Gradient();
    if (m_updating || !gradient->HasSelectedKey())
        return;
    const size_t c = static_cast<size_t>(std::find(kEditIds.begin(), kEditIds.end(), id) - kEditIds.begin());
    const TypedNumber typed = ReadTypedNumber(child(id)->getText(), 0.0, 255.0);
    if (typed.kind != TypedKind::kNumber) {
        RefuseTypedText(
            child(id), [gradient, c] { return std::to_string(gradient->GetKeyRGB()[std::min<size_t>(c, 2)]); },
            m_updating, 0.0, 255.0);
        return;
    }
    BeginTypedEdit(child(id), [this, self = hwnd(), before = gradient->GetKeyColor()] {
        CVTND_Gradient* kept = pf::ui().window(self) == this ? Gradient() : nullptr;
        if (kept == nullptr || !kept->HasSelectedKey())
            return;
        kept->SetKeyColor(before[0], before[1], before[2]);
        for (size_t k = 0; k < 3; ++k)
            item<pf::Trackbar>(kSliderIds[k])->setPos(static_cast<int32_t>(before[k] * 255.0f));
        if (auto* button = item<CVTND_ColorButton>(kIdColour))
            button->SetColor(before[0], before[1], before[2]);
        CopyColourTable();
    });
    const auto value = static_cast<int32_t>(typed.value);
    if (c == 0)
        gradient->SetKeyRed(value);
    else if (c == 1)
        gradient->SetKeyGreen(value);
    else
        gradient->SetKeyBlue(value);
    item<pf::Trackbar>(kSliderIds[c])->setPos(std::clamp(value, 0, 255));
    if (auto* button = item<CVTND_ColorButton>(kIdColour)) {
        const std::array<float, 3> colour = gradient->GetKeyColor();
        button->SetColor(colour[0], colour[1], colour[2]);
    }
    CopyColourTable();
}

void CVTND_DetailsParticlesDlg::ChooseKeyColour()
{
    CVTND_Gradient* gradient = Gradient();
    auto* button = item<CVTND_ColorButton>(kIdColour);
    if (!gradient->HasSelectedKey() || button == nullptr || !button->ChooseColor(this))
        return;
    const std::array<float, 3> colour = button->GetColor();
    gradient->SetKeyColor(colour[0], colour[1], colour[2]);
    KeySelectionChanged();
    CopyColourTable();
}

void CVTND_DetailsParticlesDlg::StartTestRun()
{
    SWworld* world = World();
    auto* node = dynamic_cast<SWobjectnode*>(m_node);
    if (m_particles == nullptr || world == nullptr || node == nullptr || world->IsRunning())
        return;
    const SWworldlock lock(*world);
    if (TestRunCount() != 0)
        return; // one emission per system: a second would outlive the editor
    auto motion = std::make_unique<SWparticleemission>(world);
    motion->SetParticleNode(node);
    SWparticleemission* started = motion.get();
    TimedActionTable::Of(*world).Add(std::move(motion));
    started->Start();
    m_particles->GetParticles().SetParam3040(1.0f);
    m_particles->GetParticles().Start();
    world->Invalidate(false);
}

void CVTND_DetailsParticlesDlg::StopTestRun()
{
    SWworld* world = World();
    if (m_particles == nullptr || world == nullptr)
        return;
    const SWworldlock lock(*world);
    TimedActionTable& table = TimedActionTable::Of(*world);
    std::vector<SWnodemotion*> ours;
    if (const auto* list = table.GetTypeList(SWparticlemotion::kType)) {
        for (const std::unique_ptr<SWnodemotion>& m : *list) {
            const auto* p = dynamic_cast<const SWparticlemotion*>(m.get());
            if (p != nullptr && p->GetParticleGeometry() == m_particles)
                ours.push_back(m.get());
        }
    }
    for (SWnodemotion* motion : ours)
        table.Remove(motion);
    m_particles->GetParticles().Stop();
}

bool CVTND_DetailsParticlesDlg::Validate()
{
    // The node the editor was opened on, never one found by name: another may bear the same name.
    SWworld* world = World();
    if (world == nullptr || m_nodeRef.Get(world) != m_node || m_node == nullptr) {
        ShowError(kIdsParticlesNoNode);
        return false;
    }
    const std::string name = child(kIdName)->getText();
    if (name.empty()) {
        ShowError(kIdsValidName);
        return false;
    }
    const std::string old = m_node->GetName().value_or(std::string());
    if (name == old)
        return true;
    auto* designerWorld = dynamic_cast<CVTND_ExtendedWorld*>(world);
    if (designerWorld == nullptr || !designerWorld->RenameNode(m_node, old, name)) {
        ShowError(kIdsUniqueName);
        return false;
    }
    m_renamedFrom = old;
    return true;
}

void CVTND_DetailsParticlesDlg::Apply()
{
    if (!m_renamedFrom)
        return;
    CVTND_Object subject;
    subject.InitFromNode(m_node);
    CVTND_Event event(EventCode::kRenamed, subject);
    event.SetTexts(*m_renamedFrom, m_node->GetName());
    event.sender = hwnd();
    if (CVTNDesignerApp* app = App())
        app->Broadcast(event);
}

void CVTND_DetailsParticlesDlg::OnNotify(const CVTND_Event& event)
{
    if (event.Is(EventCode::kChanged) && event.detail == static_cast<uint32_t>(EventDetail::kGeometryReplaced) &&
        event.subject.GetObject() == m_node) {
        DestroyWindow(); // the system, its slots and its test run go with the old geometry
        return;
    }
    if (event.Is(EventCode::kRenamed) && event.sender != hwnd() && event.subject.IsType(ObjectType::kParticleNode) &&
        event.subject.GetObject() == m_node) {
        m_updating = true;
        child(kIdName)->setText(event.secondText.value_or(std::string()));
        m_updating = false;
    } else if (event.Is(EventCode::kPreviewStarted) || event.Is(EventCode::kPreviewStopped)) {
        StopTestRun();
        const bool enabled = event.Is(EventCode::kPreviewStopped);
        child(kIdStart)->enable(enabled);
        child(kIdStop)->enable(enabled);
    }
}

void CVTND_DetailsParticlesDlg::OnClosing()
{
    SWworld* world = World();
    if (m_particles == nullptr)
        return;
    if (world != nullptr && !world->IsRunning())
        StopTestRun();
    CVTND_GradientPersinstancy* store = Store();
    if (store != nullptr && world != nullptr && m_nodeRef.Get(world) == m_node) {
        if (CVTND_GradientPersinstancyNode* record = store->FindOrCreate(*world, m_node, true))
            record->StoreFromControl(*Gradient());
    }
}

pf::LResult CVTND_DetailsParticlesDlg::handle(const pf::Msg& msg)
{
    switch (msg.message) {
    case workspace_messages::kValueTyped:
        if (m_particles != nullptr && World() != nullptr) {
            const SWworldlock lock(*World());
            m_particles->MarkParametersChanged();
        }
        return 1;
    case workspace_messages::kGradientChanged:
        CopyColourTable();
        return 1;
    case workspace_messages::kGradientKeySelected:
        KeySelectionChanged();
        return 1;
    case pf::WM_HSCROLL:
        SlidersChanged();
        break;
    case pf::WM_COMMAND: {
        const int32_t id = pf::loWord(msg.wParam);
        if (pf::hiWord(msg.wParam) == pf::EN_CHANGE &&
            std::find(kEditIds.begin(), kEditIds.end(), id) != kEditIds.end()) {
            ColourEditChanged(id);
        } else if (pf::hiWord(msg.wParam) == pf::BN_CLICKED) {
            if (id == kIdStart) {
                StartTestRun();
                return 0;
            }
            if (id == kIdStop) {
                if (World() != nullptr && !World()->IsRunning())
                    StopTestRun();
                return 0;
            }
            if (id == kIdColour)
                ChooseKeyColour();
        }
        break;
    }
    default:
        break;
    }
    return CVTND_ModelessEditorDlg::handle(msg);
}
