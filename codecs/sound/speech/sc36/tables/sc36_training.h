#pragma once
// Training of the SC36 quantiser tables on speech, and the generated source that carries a table set into the
// build. Everything here is deterministic: the same frames and the same start tables give the same bytes with the
// same compiler and C library. The codec itself never trains; vortan-train and the tests call this.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "codecs/sound/speech/sc36/sc36_format.h"
#include "codecs/sound/speech/sc36/sc36_tables.h"

namespace sound {

// The encoder's unquantised analysis of one frame, enhancement layer included.
struct Sc36TrainingFrame {
    Sc36FrameParams params;
    bool startsFile = false; // the quantisers' previous values start afresh here
};

// Every frame of 8000 Hz samples, as the encoder analyses them (two frames of zeros close the file, for the
// analysis' look-ahead); appended to out. False when the encoder cannot be made.
bool CollectSc36TrainingFrames(std::span<const int16_t> samples, std::vector<Sc36TrainingFrame>& out);

// 2:1 decimation of 16000 Hz samples to 8000 Hz through a fixed low-pass filter.
std::vector<int16_t> DecimateSpeechByTwo(std::span<const int16_t> samples);

struct Sc36TrainingPass {
    double envelopeError = 0.0; // mean squared error of the quantised arcsine coefficients, before refinement
    double refinedError = 0.0;  // the same after the enhancement layer's refinement
    double gainError = 0.0;     // mean squared error of the quantised gain, over gains within the end levels
    double phaseError = 0.0;    // mean squared error of the coded phase residuals (radians^2)
};

// passes rounds of training from start; each round re-quantises the frames with the tables of the round before.
// outPasses receives one line per round, measured with that round's new tables.
Sc36Tables TrainSc36Tables(const std::vector<Sc36TrainingFrame>& frames, const Sc36Tables& start, int passes,
                           std::vector<Sc36TrainingPass>& outPasses);

// How well a table set quantises the frames' parameters.
Sc36TrainingPass MeasureSc36Tables(const std::vector<Sc36TrainingFrame>& frames, const Sc36Tables& tables);

// The samples coded with tables (the enhancement layer too when enhanced) and decoded again at factor 1.0, without
// the frame format: the parameters go straight from the quantisers to the synthesis. The output starts one frame
// late, as the codec's does; null result when memory runs out.
std::vector<int16_t> Sc36RoundTripWithTables(std::span<const int16_t> samples, const Sc36Tables& tables, bool enhanced);

// The tables as the flat list of values that the generated source holds, and back.
std::vector<float> FlattenSc36Tables(const Sc36Tables& tables);
bool UnflattenSc36Tables(std::span<const float> values, Sc36Tables& out); // false: wrong count
// The generated source: its first line names the command that wrote it; the values are exact hexadecimal floats.
std::string Sc36TablesSource(const Sc36Tables& tables, const std::string& command, const std::string& provenance);

} // namespace sound
