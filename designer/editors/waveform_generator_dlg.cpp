#include "designer/editors/waveform_generator_dlg.h"

#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <tuple>

#include "designer/app/world_write_lock.h"
#include "designer/workspace/display_units.h"
#include "designer/workspace/editor_fields.h"
#include "designer/workspace/tooltip_texts.h"
#include "designer/workspace/value_generator.h"
#include "designer/workspace/waveform_ctrl.h"
#include "engine/behaviour/generator.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/up_down.h"

namespace {

constexpr int32_t kIdCurve = 1003;
constexpr int32_t kIdType = 1002;
constexpr int32_t kIdStartTime = 1004;
constexpr int32_t kIdStartAmplitude = 1172;
constexpr int32_t kIdSustainTime = 1174;
constexpr int32_t kIdSustainAmplitude = 1176;
constexpr int32_t kIdDecayTime = 1177;
constexpr int32_t kIdDecayAmplitude = 1179;
constexpr int32_t kIdOffset = 1181;
constexpr int32_t kIdPeriod = 1182;
constexpr int32_t kIdPhase = 1183;
constexpr int32_t kIdEndPeriod = 1184;
constexpr int32_t kIdLock = 1187;
constexpr int32_t kIdInfinite = 1193;
constexpr int32_t kIdAbsolute = 1188;
constexpr int32_t kIdPositive = 1195;
constexpr int32_t kIdsDecayGroup[] = {1387, 1388, 1389, kIdDecayTime, kIdDecayAmplitude, 1353, 1354};
constexpr int32_t kCodeType = 11;

// Each edit, its spin and the spin's range.
struct Field {
    int32_t edit;
    int32_t spin;
    int32_t lower;
    int32_t upper;
};
constexpr Field kFields[] = {{kIdStartTime, 1348, 0, 32767},   {kIdStartAmplitude, 1349, -32767, 32767},
                             {kIdSustainTime, 1351, 0, 32767}, {kIdSustainAmplitude, 1352, -32767, 32767},
                             {kIdDecayTime, 1353, 0, 32767},   {kIdDecayAmplitude, 1354, -32767, 32767},
                             {kIdOffset, 1355, -32767, 32767}, {kIdPeriod, 1356, 0, 32767},
                             {kIdPhase, 1357, -180, 180},      {kIdEndPeriod, 1358, 0, 32767}};

bool RegisterAll()
{
    bool all = true;
    for (uint8_t type = SWgenerator::kSine; type <= SWgenerator::kSawtoothDown; ++type)
        all = CVTND_ValueGenerator::RegisterDialog(type, &CVTND_WaveformGenerator::Make) && all;
    return all;
}
const bool kRegistered = RegisterAll();

} // namespace

CVTND_WaveformGenerator::CVTND_WaveformGenerator(CVTND_ValueGenerator& control, pf::Window* parent)
    : CVTND_GeneratorDialog(control), m_generator(dynamic_cast<SWwaveformgenerator*>(control.GetGenerator())),
      m_unit(control.GetUnit())
{
    create(kIdd, parent);
}

std::unique_ptr<CVTND_GeneratorDialog> CVTND_WaveformGenerator::Make(CVTND_ValueGenerator& control, pf::Window* parent)
{
    (void)kRegistered;
    return std::make_unique<CVTND_WaveformGenerator>(control, parent);
}

CVTND_WaveformCtrl* CVTND_WaveformGenerator::Curve() const
{
    return dynamic_cast<CVTND_WaveformCtrl*>(child(kIdCurve));
}

bool CVTND_WaveformGenerator::onInitDialog()
{
    auto* type = item<pf::ComboBox>(kIdType);
    for (uint32_t i = 0; i < 5; ++i)
        type->addString(TooltipTextOf(kIdsWaveTypeFirst + i));
    for (const Field& field : kFields) {
        if (auto* spin = item<pf::UpDown>(field.spin)) {
            spin->setRange32(field.lower, field.upper);
            spin->setBuddy(child(field.edit)->hwnd());
        }
    }
    if (CVTND_WaveformCtrl* curve = Curve())
        curve->SetGenerator(m_generator);
    // A colour value is absolute from the start, so no box is offered that a later unit change would override.
    if (m_unit == kUnitColour)
        ApplyColourRule();
    Refresh();
    EnableDecay(m_generator == nullptr || !m_generator->GetInfinite());
    return true;
}

void CVTND_WaveformGenerator::ApplyColourRule()
{
    child(kIdAbsolute)->enable(true);
    child(kIdPositive)->enable(true);
    if (m_unit != kUnitColour || m_generator == nullptr)
        return;
    {
        const CVTND_WorldWriteLock lock(GetControl().GetSlot().GetWorld());
        m_generator->SetAbsolute(true);
    }
    item<pf::Button>(kIdAbsolute)->setCheck(pf::BST_CHECKED);
    item<pf::Button>(kIdPositive)->setCheck(0);
    child(kIdAbsolute)->enable(false);
    child(kIdPositive)->enable(false);
    if (CVTND_WaveformCtrl* curve = Curve())
        curve->Refresh();
}

void CVTND_WaveformGenerator::SetMode(int32_t unit)
{
    if (unit != m_unit) {
        m_unit = unit;
        ApplyColourRule();
    }
    Refresh();
}

void CVTND_WaveformGenerator::SetTarget(SWgenerator* generator)
{
    m_generator = dynamic_cast<SWwaveformgenerator*>(generator);
    if (CVTND_WaveformCtrl* curve = Curve()) {
        const CVTND_WorldWriteLock lock(GetControl().GetSlot().GetWorld());
        curve->SetGenerator(m_generator);
    }
    Refresh();
}

void CVTND_WaveformGenerator::Refresh()
{
    if (m_generator == nullptr)
        return;
    m_updating = true;
    const SWwaveformgenerator& g = *m_generator;
    const std::pair<int32_t, double> values[] = {
        {kIdStartTime, g.GetStartTime()},     {kIdStartAmplitude, ToDisplayUnits(m_unit, g.GetStartAmplitude())},
        {kIdSustainTime, g.GetSustainTime()}, {kIdSustainAmplitude, ToDisplayUnits(m_unit, g.GetSustainAmplitude())},
        {kIdDecayTime, g.GetDecayTime()},     {kIdDecayAmplitude, ToDisplayUnits(m_unit, g.GetDecayAmplitude())},
        {kIdOffset, g.GetOffset()},           {kIdPeriod, g.GetPeriod()},
        {kIdEndPeriod, g.GetEndPeriod()},     {kIdPhase, g.GetPhase()}};
    for (const auto& [id, value] : values)
        child(id)->setText(FormatReal(value));
    item<pf::Button>(kIdAbsolute)->setCheck(g.GetAbsolute() ? pf::BST_CHECKED : 0);
    item<pf::Button>(kIdPositive)->setCheck(g.GetPositive() ? pf::BST_CHECKED : 0);
    item<pf::Button>(kIdLock)->setCheck(g.GetLock() ? pf::BST_CHECKED : 0);
    item<pf::Button>(kIdInfinite)->setCheck(g.GetInfinite() ? pf::BST_CHECKED : 0);
    const uint8_t type = g.GetType();
    if (type >= SWgenerator::kSine && type <= SWgenerator::kSawtoothDown)
        item<pf::ComboBox>(kIdType)->setCurSel(type - 1);
    m_updating = false;
}

void CVTND_WaveformGenerator::EditChanged(int32_t id)
{
    CVTND_WaveformCtrl* curve = Curve();
    if (m_updating || m_generator == nullptr || curve == nullptr)
        return;
    const std::string text = child(id)->getText();
    // The generator keeps a period of at least 1 ms, a phase within half a turn either way and no time below 0.
    constexpr double kLargest = std::numeric_limits<float>::max();
    const bool period = id == kIdPeriod || id == kIdEndPeriod;
    const bool time = id == kIdStartTime || id == kIdSustainTime || id == kIdDecayTime;
    const double low = period ? 1.0 : id == kIdPhase ? -180.0 : time ? 0.0 : -kLargest;
    const double high = id == kIdPhase ? 180.0 : kLargest;
    const TypedNumber typed = ReadTypedNumber(text, low, high);
    const auto value = static_cast<float>(typed.value);
    const bool scaled = id == kIdStartAmplitude || id == kIdSustainAmplitude || id == kIdDecayAmplitude;
    using Wave = SWwaveformgenerator;
    using Setter = void (CVTND_WaveformCtrl::*)(float);
    static const std::map<int32_t, std::tuple<float (Wave::*)() const, Setter, int32_t>> kKept = {
        {kIdStartTime, {&Wave::GetStartTime, &CVTND_WaveformCtrl::SetAttackTime, 1}},
        {kIdStartAmplitude, {&Wave::GetStartAmplitude, &CVTND_WaveformCtrl::SetAttackAmplitude, 4}},
        {kIdSustainTime, {&Wave::GetSustainTime, &CVTND_WaveformCtrl::SetSustainTime, 2}},
        {kIdSustainAmplitude, {&Wave::GetSustainAmplitude, &CVTND_WaveformCtrl::SetSustainAmplitude, 5}},
        {kIdDecayTime, {&Wave::GetDecayTime, &CVTND_WaveformCtrl::SetDecayTime, 3}},
        {kIdDecayAmplitude, {&Wave::GetDecayAmplitude, &CVTND_WaveformCtrl::SetDecayAmplitude, 6}},
        {kIdOffset, {&Wave::GetOffset, &CVTND_WaveformCtrl::SetOffset, 7}},
        {kIdPhase, {&Wave::GetPhase, &CVTND_WaveformCtrl::SetPhase, 8}},
        {kIdPeriod, {&Wave::GetPeriod, &CVTND_WaveformCtrl::SetPeriod, 9}},
        {kIdEndPeriod, {&Wave::GetEndPeriod, &CVTND_WaveformCtrl::SetEndPeriod, 10}}};
    const auto found = kKept.find(id);
    if (found == kKept.end())
        return;
    // Copied out, not bound: clang 14 lets no lambda capture a structured binding.
    const auto get = std::get<0>(found->second);
    const Setter set = std::get<1>(found->second);
    const int32_t code = std::get<2>(found->second);
    const auto keep = [curve, set, world = GetControl().GetSlot().GetWorld()](float kept) {
        const CVTND_WorldWriteLock lock(world);
        (curve->*set)(kept);
    };
    const Wave* generator = m_generator;
    const auto shown = [&] {
        const float kept = (generator->*get)();
        return FormatReal(scaled ? ToDisplayUnits(m_unit, kept) : kept);
    };
    if (typed.kind != TypedKind::kNumber || (scaled && !std::isfinite(FromDisplayUnits(m_unit, value)))) {
        RefuseTypedText(child(id), shown, m_updating, low, high);
        if (period && m_generator->GetLock()) {
            m_updating = true;
            child(id == kIdPeriod ? kIdEndPeriod : kIdPeriod)->setText(shown());
            m_updating = false;
        }
        GetControl().NotifyParent(code);
        return;
    }
    BeginTypedEdit(child(id), [keep, before = (generator->*get)()] { keep(before); });
    keep(scaled ? FromDisplayUnits(m_unit, value) : value);
    // With lock the other period shows the same text, as typed.
    if (period && m_generator->GetLock()) {
        m_updating = true;
        child(id == kIdPeriod ? kIdEndPeriod : kIdPeriod)->setText(text);
        m_updating = false;
    }
    GetControl().NotifyParent(code);
}

void CVTND_WaveformGenerator::EnableDecay(bool enabled)
{
    for (const int32_t id : kIdsDecayGroup)
        if (pf::Window* w = child(id))
            w->enable(enabled);
}

void CVTND_WaveformGenerator::Clicked(int32_t id)
{
    const CVTND_WorldWriteLock lock(GetControl().GetSlot().GetWorld());
    SWwaveformgenerator& g = *m_generator;
    if (id == kIdLock) {
        g.SetLock(!g.GetLock());
        return;
    }
    if (id == kIdInfinite) {
        g.SetInfinite(!g.GetInfinite());
        EnableDecay(!g.GetInfinite());
    } else if (id == kIdAbsolute) {
        g.SetAbsolute(!g.GetAbsolute());
        if (g.GetAbsolute())
            item<pf::Button>(kIdPositive)->setCheck(0);
    } else if (id == kIdPositive) {
        g.SetPositive(!g.GetPositive());
        if (g.GetPositive())
            item<pf::Button>(kIdAbsolute)->setCheck(0);
    } else {
        return;
    }
    if (CVTND_WaveformCtrl* curve = Curve())
        curve->Refresh();
}

pf::LResult CVTND_WaveformGenerator::handle(const pf::Msg& msg)
{
    if (msg.message == pf::WM_COMMAND && m_generator != nullptr) {
        const int32_t id = pf::loWord(msg.wParam);
        const int32_t code = pf::hiWord(msg.wParam);
        if (code == pf::EN_CHANGE) {
            EditChanged(id);
        } else if (code == pf::BN_CLICKED) {
            Clicked(id);
        } else if (code == pf::CBN_SELCHANGE && id == kIdType && !m_updating) {
            const int32_t index = item<pf::ComboBox>(kIdType)->getCurSel();
            if (CVTND_WaveformCtrl* curve = Curve(); curve != nullptr && index >= 0 && index < 5) {
                {
                    const CVTND_WorldWriteLock lock(GetControl().GetSlot().GetWorld());
                    curve->SetWaveType(index + 1);
                }
                GetControl().NotifyParent(kCodeType);
            }
        }
    }
    return CVTND_GeneratorDialog::handle(msg);
}
