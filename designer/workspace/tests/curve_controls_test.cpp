// The waveform and polynomial curve displays: their setters reach the generator through its own rules, and the
// curve they draw follows it.
#include <cmath>

#include "designer/workspace/curve_plot.h"
#include "designer/workspace/polynomial_ctrl.h"
#include "designer/workspace/tests/workspace_fixture.h"
#include "designer/workspace/waveform_ctrl.h"
#include "engine/behaviour/generator.h"
#include "engine/core/world.h"

namespace {

using namespace workspace_test;

using CurveControls = Controls;

bool HasCurvePixel(pf::Window& w)
{
    const std::unique_ptr<pf::Surface32> shot = pf::captureScreen(w.screenRect().inflatedBy(-2, -2));
    for (int32_t y = 0; y < shot->height(); ++y)
        for (int32_t x = 0; x < shot->width(); ++x)
            if ((shot->pixel(x, y) & 0xFFFFFFu) == 0x0000A0u)
                return true;
    return false;
}

TEST_F(CurveControls, WaveformSettersFollowTheGeneratorsRules)
{
    SWworld world;
    SWwaveformgenerator generator(&world);
    auto& curve = Control<CVTND_WaveformCtrl>(kWaveform);
    curve.SetPeriod(500.0f); // no generator yet: nothing happens
    EXPECT_EQ(generator.GetPeriod(), 1000.0f);
    curve.SetGenerator(&generator);
    curve.SetWaveType(3);
    EXPECT_EQ(generator.GetType(), SWgenerator::kTriangle);
    curve.SetWaveType(0);
    curve.SetWaveType(6);
    EXPECT_EQ(generator.GetType(), SWgenerator::kTriangle);
    curve.SetPeriod(0.25f); // below 1 is 1, and lock moves both
    EXPECT_EQ(generator.GetPeriod(), 1.0f);
    EXPECT_EQ(generator.GetEndPeriod(), 1.0f);
    curve.SetPhase(400.0f);
    EXPECT_EQ(generator.GetPhase(), 180.0f);
    curve.SetAttackTime(200.0f);
    curve.SetDecayTime(300.0f);
    EXPECT_EQ(generator.GetDuration(), 200.0f + 1000.0f + 300.0f);
    curve.SetAttackAmplitude(0.5f);
    curve.SetSustainAmplitude(2.0f);
    curve.SetDecayAmplitude(1.0f);
    curve.SetOffset(0.25f);
    EXPECT_EQ(generator.GetStartAmplitude(), 0.5f);
    EXPECT_EQ(generator.GetSustainAmplitude(), 2.0f);
    EXPECT_EQ(generator.GetDecayAmplitude(), 1.0f);
    EXPECT_EQ(generator.GetOffset(), 0.25f);
    sim().pump();
    EXPECT_TRUE(HasCurvePixel(curve));
    curve.SetGenerator(nullptr);
    sim().pump();
    EXPECT_FALSE(HasCurvePixel(curve));
}

TEST_F(CurveControls, PolynomialCurveFollowsShapeAmplitudeAndInvert)
{
    SWworld world;
    SWpolynomialgenerator generator(&world);
    generator.SetDuration(1000.0f);
    auto& curve = Control<CVTND_PolynomialCtrl>(kPolynomial);
    curve.SetGenerator(&generator);
    curve.SetAmplitude(2.0f);
    curve.SetShape(2.0f);
    std::vector<float> samples = SampleGeneratorCurve(generator, 1000.0f, 3);
    EXPECT_EQ(samples, (std::vector<float>{0.0f, 0.5f, 2.0f}));
    curve.ToggleInvert();
    EXPECT_TRUE(generator.GetInvert());
    samples = SampleGeneratorCurve(generator, 1000.0f, 3);
    EXPECT_NEAR(samples[1], 2.0f * std::sqrt(0.5f), 1e-5f);
    EXPECT_EQ(generator.GetValue(), 0.0f); // sampling went through a copy: the generator itself never ran
    sim().pump();
    EXPECT_TRUE(HasCurvePixel(curve));
}

} // namespace
