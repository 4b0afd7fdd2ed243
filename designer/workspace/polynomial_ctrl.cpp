#include "designer/workspace/polynomial_ctrl.h"

#include <algorithm>

#include "designer/app/world_write_lock.h"
#include "designer/workspace/curve_plot.h"
#include "engine/behaviour/generator.h"
#include "platform/base/user_constants.h"
#include "platform/ui/core/paint_dc.h"

void CVTND_PolynomialCtrl::SetGenerator(SWpolynomialgenerator* generator)
{
    m_generator = generator;
    invalidate(true);
}

void CVTND_PolynomialCtrl::SetAmplitude(float value)
{
    if (m_generator == nullptr)
        return;
    {
        const CVTND_WorldWriteLock lock(m_generator->GetWorld());
        m_generator->SetAmplitude(value);
    }
    invalidate(true);
}

void CVTND_PolynomialCtrl::SetShape(float exponent)
{
    if (m_generator == nullptr)
        return;
    {
        const CVTND_WorldWriteLock lock(m_generator->GetWorld());
        m_generator->SetShape(exponent);
    }
    invalidate(true);
}

void CVTND_PolynomialCtrl::ToggleInvert()
{
    if (m_generator == nullptr)
        return;
    {
        const CVTND_WorldWriteLock lock(m_generator->GetWorld());
        m_generator->SetInvert(!m_generator->GetInvert());
    }
    invalidate(true);
}

void CVTND_PolynomialCtrl::Refresh()
{
    if (m_generator != nullptr)
        invalidate(true);
}

pf::LResult CVTND_PolynomialCtrl::handle(const pf::Msg& msg)
{
    switch (msg.message) {
    case pf::WM_PAINT:
        Paint();
        return 0;
    case pf::WM_ERASEBKGND:
        return 1;
    default:
        return pf::Control::handle(msg);
    }
}

void CVTND_PolynomialCtrl::Paint()
{
    pf::PaintDc dc(*this);
    std::vector<float> samples;
    if (m_generator != nullptr)
        samples = SampleGeneratorCurve(*m_generator, m_generator->GetDuration(),
                                       static_cast<int>(std::max<int64_t>(2, clientRect().width() - 4)));
    DrawCurvePlot(dc, clientRect(), samples, isEnabled());
}
