#include "designer/editors/random_generator_dlg.h"

#include <cmath>
#include <limits>
#include <string>

#include "designer/app/world_write_lock.h"
#include "designer/workspace/display_units.h"
#include "designer/workspace/editor_fields.h"
#include "designer/workspace/value_generator.h"
#include "engine/behaviour/generator.h"

namespace {

constexpr int32_t kCodeRange = 6;

const bool kRegistered = CVTND_ValueGenerator::RegisterDialog(SWgenerator::kRandom, &CVTND_RandomGeneratorDlg::Make);

} // namespace

CVTND_RandomGeneratorDlg::CVTND_RandomGeneratorDlg(CVTND_ValueGenerator& control, pf::Window* parent)
    : CVTND_GeneratorDialog(control), m_generator(dynamic_cast<SWrandomgenerator*>(control.GetGenerator())),
      m_unit(control.GetUnit())
{
    create(kIdd, parent);
}

std::unique_ptr<CVTND_GeneratorDialog> CVTND_RandomGeneratorDlg::Make(CVTND_ValueGenerator& control, pf::Window* parent)
{
    (void)kRegistered;
    return std::make_unique<CVTND_RandomGeneratorDlg>(control, parent);
}

bool CVTND_RandomGeneratorDlg::onInitDialog()
{
    Refresh();
    return true;
}

void CVTND_RandomGeneratorDlg::SetMode(int32_t unit)
{
    if (unit == m_unit)
        return;
    m_unit = unit;
    Refresh();
}

void CVTND_RandomGeneratorDlg::SetTarget(SWgenerator* generator)
{
    m_generator = dynamic_cast<SWrandomgenerator*>(generator);
    Refresh();
}

void CVTND_RandomGeneratorDlg::Refresh()
{
    if (m_generator == nullptr || !isWindow())
        return;
    m_updating = true;
    child(kIdLowest)->setText(FormatInDisplayUnits(m_unit, m_generator->GetMinimum()));
    child(kIdHighest)->setText(FormatInDisplayUnits(m_unit, m_generator->GetMaximum()));
    m_updating = false;
}

pf::LResult CVTND_RandomGeneratorDlg::handle(const pf::Msg& msg)
{
    const int32_t id = msg.message == pf::WM_COMMAND ? pf::loWord(msg.wParam) : 0;
    if (id != kIdLowest && id != kIdHighest)
        return CVTND_GeneratorDialog::handle(msg);
    if (pf::hiWord(msg.wParam) != pf::EN_CHANGE || m_updating || m_generator == nullptr)
        return 0;
    constexpr double kLargest = std::numeric_limits<float>::max();
    const TypedNumber typed = ReadTypedNumber(child(id)->getText(), -kLargest, kLargest);
    const float value = FromDisplayUnits(m_unit, static_cast<float>(typed.value));
    SWrandomgenerator* generator = m_generator;
    SWworld* world = GetControl().GetSlot().GetWorld();
    const auto keep = [generator, world, id](float kept) {
        const CVTND_WorldWriteLock lock(world);
        if (id == kIdLowest)
            generator->SetMinimum(kept);
        else
            generator->SetMaximum(kept);
    };
    const auto stored = [generator, id] { return id == kIdLowest ? generator->GetMinimum() : generator->GetMaximum(); };
    if (typed.kind != TypedKind::kNumber || !std::isfinite(value)) {
        RefuseTypedText(
            child(id), [&] { return FormatInDisplayUnits(m_unit, stored()); }, m_updating, -kLargest, kLargest);
        GetControl().NotifyParent(kCodeRange);
        return 0;
    }
    BeginTypedEdit(child(id), [keep, before = stored()] { keep(before); });
    keep(value);
    GetControl().NotifyParent(kCodeRange);
    return 0;
}
