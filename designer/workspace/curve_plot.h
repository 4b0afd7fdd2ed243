#pragma once
// The curve a generator draws over a span of its local time, as the waveform and polynomial displays show it. The
// generator is sampled through a copy, so the running one is never stepped by a paint.
#include <vector>

#include "platform/base/rect.h"

namespace pf {
class Dc;
}
class SWgenerator;

// count samples of the generator at evenly spaced times 0..spanMs (both ends included); empty when count < 2 or the
// generator cannot be copied. spanMs <= 0 or not finite samples one second.
std::vector<float> SampleGeneratorCurve(const SWgenerator& generator, float spanMs, int count);

// Draws the samples across area on white in a sunken edge: the zero line in grey and the curve over it, scaled so
// that the samples and 0 fit with a margin.
void DrawCurvePlot(pf::Dc& dc, const pf::Rect& client, const std::vector<float>& samples, bool enabled);
