#include "designer/workspace/waveform_ctrl.h"

#include <algorithm>

#include "designer/app/world_write_lock.h"
#include "designer/workspace/curve_plot.h"
#include "engine/behaviour/generator.h"
#include "platform/base/user_constants.h"
#include "platform/ui/core/paint_dc.h"

void CVTND_WaveformCtrl::SetGenerator(SWwaveformgenerator* generator)
{
    m_generator = generator;
    invalidate(true);
}

template <typename Change> void CVTND_WaveformCtrl::Edit(Change change)
{
    if (m_generator == nullptr)
        return;
    {
        const CVTND_WorldWriteLock lock(m_generator->GetWorld());
        change(*m_generator);
    }
    invalidate(true);
}

void CVTND_WaveformCtrl::SetWaveType(int32_t type)
{
    if (type >= SWgenerator::kSine && type <= SWgenerator::kSawtoothDown)
        Edit([type](SWwaveformgenerator& g) { g.SetShape(static_cast<uint8_t>(type)); });
}

void CVTND_WaveformCtrl::SetPeriod(float ms)
{
    Edit([ms](SWwaveformgenerator& g) { g.SetPeriod(ms); });
}

void CVTND_WaveformCtrl::SetEndPeriod(float ms)
{
    Edit([ms](SWwaveformgenerator& g) { g.SetEndPeriod(ms); });
}

void CVTND_WaveformCtrl::SetAttackTime(float ms)
{
    Edit([ms](SWwaveformgenerator& g) { g.SetStartTime(ms); });
}

void CVTND_WaveformCtrl::SetAttackAmplitude(float value)
{
    Edit([value](SWwaveformgenerator& g) { g.SetStartAmplitude(value); });
}

void CVTND_WaveformCtrl::SetSustainTime(float ms)
{
    Edit([ms](SWwaveformgenerator& g) { g.SetSustainTime(ms); });
}

void CVTND_WaveformCtrl::SetSustainAmplitude(float value)
{
    Edit([value](SWwaveformgenerator& g) { g.SetSustainAmplitude(value); });
}

void CVTND_WaveformCtrl::SetDecayTime(float ms)
{
    Edit([ms](SWwaveformgenerator& g) { g.SetDecayTime(ms); });
}

void CVTND_WaveformCtrl::SetDecayAmplitude(float value)
{
    Edit([value](SWwaveformgenerator& g) { g.SetDecayAmplitude(value); });
}

void CVTND_WaveformCtrl::SetPhase(float degrees)
{
    Edit([degrees](SWwaveformgenerator& g) { g.SetPhase(degrees); });
}

void CVTND_WaveformCtrl::SetOffset(float value)
{
    Edit([value](SWwaveformgenerator& g) { g.SetOffset(value); });
}

void CVTND_WaveformCtrl::Refresh()
{
    if (m_generator != nullptr)
        invalidate(true);
}

pf::LResult CVTND_WaveformCtrl::handle(const pf::Msg& msg)
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

void CVTND_WaveformCtrl::Paint()
{
    pf::PaintDc dc(*this);
    std::vector<float> samples;
    if (m_generator != nullptr) {
        const float duration = m_generator->GetDuration();
        const float span = duration > 0.0f ? duration : m_generator->GetPeriod();
        samples =
            SampleGeneratorCurve(*m_generator, span, static_cast<int>(std::max<int64_t>(2, clientRect().width() - 4)));
    }
    DrawCurvePlot(dc, clientRect(), samples, isEnabled());
}
