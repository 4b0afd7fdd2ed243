#include "designer/editors/polynomial_generator_dlg.h"

#include <cmath>
#include <limits>
#include <string>

#include "designer/app/world_write_lock.h"
#include "designer/workspace/display_units.h"
#include "designer/workspace/editor_fields.h"
#include "designer/workspace/polynomial_ctrl.h"
#include "designer/workspace/value_generator.h"
#include "engine/behaviour/generator.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/up_down.h"

namespace {

constexpr int32_t kIdCurve = 1003;
constexpr int32_t kIdShape = 1181;
constexpr int32_t kIdAmplitude = 1182;
constexpr int32_t kIdOffset = 1183;
constexpr int32_t kIdInvert = 1187;
constexpr int32_t kIdMirror = 1188;
constexpr int32_t kIdShapeSpin = 1355;
constexpr int32_t kCodeAmplitude = 6;
constexpr int32_t kCodeShape = 12;

const bool kRegistered =
    CVTND_ValueGenerator::RegisterDialog(SWgenerator::kPolynomial, &CVTND_PolynomialGeneratorDlg::Make);

} // namespace

CVTND_PolynomialGeneratorDlg::CVTND_PolynomialGeneratorDlg(CVTND_ValueGenerator& control, pf::Window* parent)
    : CVTND_GeneratorDialog(control), m_generator(dynamic_cast<SWpolynomialgenerator*>(control.GetGenerator())),
      m_unit(control.GetUnit())
{
    create(kIdd, parent);
}

std::unique_ptr<CVTND_GeneratorDialog> CVTND_PolynomialGeneratorDlg::Make(CVTND_ValueGenerator& control,
                                                                          pf::Window* parent)
{
    (void)kRegistered;
    return std::make_unique<CVTND_PolynomialGeneratorDlg>(control, parent);
}

CVTND_PolynomialCtrl* CVTND_PolynomialGeneratorDlg::Curve() const
{
    return dynamic_cast<CVTND_PolynomialCtrl*>(child(kIdCurve));
}

bool CVTND_PolynomialGeneratorDlg::onInitDialog()
{
    if (auto* spin = item<pf::UpDown>(kIdShapeSpin)) {
        spin->setRange32(0, 32767);
        spin->setBuddy(child(kIdShape)->hwnd());
    }
    if (CVTND_PolynomialCtrl* curve = Curve())
        curve->SetGenerator(m_generator);
    Refresh();
    return true;
}

void CVTND_PolynomialGeneratorDlg::SetMode(int32_t unit)
{
    if (unit == m_unit)
        return;
    m_unit = unit;
    Refresh();
}

void CVTND_PolynomialGeneratorDlg::SetTarget(SWgenerator* generator)
{
    m_generator = dynamic_cast<SWpolynomialgenerator*>(generator);
    if (CVTND_PolynomialCtrl* curve = Curve()) {
        const CVTND_WorldWriteLock lock(GetControl().GetSlot().GetWorld());
        curve->SetGenerator(m_generator);
    }
    Refresh();
}

void CVTND_PolynomialGeneratorDlg::Refresh()
{
    if (m_generator == nullptr)
        return;
    m_updating = true;
    child(kIdShape)->setText(FormatReal(m_generator->GetShape()));
    child(kIdAmplitude)->setText(FormatReal(ToDisplayUnits(m_unit, m_generator->GetAmplitude())));
    child(kIdOffset)->setText(FormatReal(ToDisplayUnits(m_unit, m_generator->GetOffset())));
    item<pf::Button>(kIdInvert)->setCheck(m_generator->GetInvert() ? pf::BST_CHECKED : 0);
    item<pf::Button>(kIdMirror)->setCheck(m_generator->GetMirror() ? pf::BST_CHECKED : 0);
    m_updating = false;
}

void CVTND_PolynomialGeneratorDlg::EditChanged(int32_t id)
{
    CVTND_PolynomialCtrl* curve = Curve();
    if (m_updating || m_generator == nullptr || curve == nullptr)
        return;
    // The shape is an exponent: no negative one is taken.
    constexpr double kLargest = std::numeric_limits<float>::max();
    const double low = id == kIdShape ? 0.0 : -kLargest;
    const TypedNumber typed = ReadTypedNumber(child(id)->getText(), low, kLargest);
    const auto value = static_cast<float>(typed.value);
    CVTND_PolynomialCtrl& shown = *curve;
    SWpolynomialgenerator* generator = m_generator;
    SWworld* world = GetControl().GetSlot().GetWorld();
    // The curve keeps the shape and the amplitude, the generator the offset; each is kept as stored.
    const auto keep = [&shown, generator, world, id](float kept) {
        const CVTND_WorldWriteLock lock(world);
        if (id == kIdShape) {
            shown.SetShape(kept);
        } else if (id == kIdAmplitude) {
            shown.SetAmplitude(kept);
        } else {
            generator->SetOffset(kept);
            shown.Refresh();
        }
    };
    const auto stored = [generator, id] {
        return id == kIdShape       ? generator->GetShape()
               : id == kIdAmplitude ? generator->GetAmplitude()
                                    : generator->GetOffset();
    };
    const int32_t code = id == kIdShape ? kCodeShape : kCodeAmplitude;
    if (typed.kind != TypedKind::kNumber || !std::isfinite(FromDisplayUnits(m_unit, value))) {
        RefuseTypedText(
            child(id), [&] { return FormatReal(id == kIdShape ? stored() : ToDisplayUnits(m_unit, stored())); },
            m_updating, low, kLargest);
        GetControl().NotifyParent(code);
        return;
    }
    BeginTypedEdit(child(id), [keep, before = stored()] { keep(before); });
    keep(id == kIdShape ? value : FromDisplayUnits(m_unit, value));
    GetControl().NotifyParent(code);
}

pf::LResult CVTND_PolynomialGeneratorDlg::handle(const pf::Msg& msg)
{
    if (msg.message == pf::WM_COMMAND && m_generator != nullptr) {
        const int32_t id = pf::loWord(msg.wParam);
        const int32_t code = pf::hiWord(msg.wParam);
        if (code == pf::EN_CHANGE && (id == kIdShape || id == kIdAmplitude || id == kIdOffset)) {
            EditChanged(id);
        } else if (code == pf::BN_CLICKED && id == kIdInvert) {
            const CVTND_WorldWriteLock lock(GetControl().GetSlot().GetWorld());
            if (CVTND_PolynomialCtrl* curve = Curve())
                curve->ToggleInvert();
        } else if (code == pf::BN_CLICKED && id == kIdMirror) {
            const bool mirror = item<pf::Button>(kIdMirror)->getCheck() == pf::BST_CHECKED;
            if (mirror != m_generator->GetMirror()) {
                {
                    const CVTND_WorldWriteLock lock(GetControl().GetSlot().GetWorld());
                    m_generator->SetMirror(mirror);
                }
                if (CVTND_PolynomialCtrl* curve = Curve())
                    curve->Refresh();
                GetControl().NotifyParent(kCodeAmplitude);
            }
        }
    }
    return CVTND_GeneratorDialog::handle(msg);
}
