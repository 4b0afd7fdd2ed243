// The audio waveform control's envelope of a 10-minute 44.1 kHz 16-bit stereo sound (106 MB): parsing the file on
// the scanning thread's path, reducing the envelope to the columns of a width, and painting the control at 400 and
// 1,600 pixels wide on the headless screen.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "designer/workspace/audio_waveform_ctrl.h"
#include "designer/workspace/wave_envelope.h"
#include "designer/workspace/workspace_controls.h"
#include "platform/base/user_constants.h"
#include "platform/display/screen.h"
#include "platform/media/riff_wave_writer.h"
#include "platform/ui/core/ui.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr uint32_t kFrames = kRate * 600;

// Written once per run into the temporary folder; a slow swell under a tone, so every block differs.
const std::string& LongSound()
{
    static const std::string path = [] {
        const std::string file = (std::filesystem::temp_directory_path() / "vortan-controls-bench.wav").string();
        auto writer = pf::RiffWaveWriter::create(file, pf::WaveFormat::pcm(2, kRate, 16));
        std::vector<uint8_t> chunk;
        for (uint32_t start = 0; writer != nullptr && start < kFrames; start += kRate) {
            chunk.clear();
            for (uint32_t i = start; i < start + kRate && i < kFrames; ++i) {
                const double level = 0.5 + 0.45 * std::sin(i * 1e-5);
                const auto sample = static_cast<int16_t>(std::lround(30000.0 * level * std::sin(i * 0.0627)));
                for (int channel = 0; channel < 2; ++channel) {
                    chunk.push_back(static_cast<uint8_t>(sample));
                    chunk.push_back(static_cast<uint8_t>(static_cast<uint16_t>(sample) >> 8));
                }
            }
            writer->write(chunk);
        }
        return writer != nullptr && writer->finish() ? file : std::string();
    }();
    return path;
}

void BM_EnvelopeParse(benchmark::State& state)
{
    const std::string& path = LongSound();
    for (auto _ : state) {
        CVTND_WaveEnvelope envelope;
        if (!CVTND_WaveEnvelope::Parse(path, std::stop_token(), envelope))
            state.SkipWithError("the sound did not parse");
        benchmark::DoNotOptimize(envelope.BlockCount());
    }
    state.SetBytesProcessed(state.iterations() * int64_t{kFrames} * 4);
}
BENCHMARK(BM_EnvelopeParse)->Unit(benchmark::kMillisecond);

void BM_EnvelopeColumns(benchmark::State& state)
{
    CVTND_WaveEnvelope envelope;
    if (!CVTND_WaveEnvelope::Parse(LongSound(), std::stop_token(), envelope))
        state.SkipWithError("the sound did not parse");
    for (auto _ : state)
        benchmark::DoNotOptimize(envelope.Columns(static_cast<int32_t>(state.range(0))).data());
}
BENCHMARK(BM_EnvelopeColumns)->Arg(400)->Arg(1600)->Unit(benchmark::kMicrosecond);

// The whole paint of the control, envelope and three markers, as WM_PAINT does it after an invalidation.
void BM_EnvelopePaint(benchmark::State& state)
{
    pf::screen().reset();
    pf::Ui ui;
    RegisterWorkspaceControls(ui);
    const auto width = static_cast<int32_t>(state.range(0));
    pf::Window frame;
    frame.create({"window", "", pf::WS_POPUP | pf::WS_VISIBLE, 0, {0, 0, width + 4, 204}, pf::kNoWindow, 0});
    auto* control = static_cast<CVTND_AudioWaveformCtrl*>(ui.createWindow({CVTND_AudioWaveformCtrl::kClassName,
                                                                           "",
                                                                           pf::WS_CHILD | pf::WS_VISIBLE,
                                                                           0,
                                                                           {2, 2, width + 2, 202},
                                                                           frame.hwnd(),
                                                                           1}));
    control->SetSound(LongSound());
    while (control->IsParsing()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ui.pump();
    }
    control->SetMarkerMask(CVTND_AudioWaveformCtrl::kMarkerStart | CVTND_AudioWaveformCtrl::kMarkerEnd |
                           CVTND_AudioWaveformCtrl::kMarkerPlay);
    control->SetEndMarker(kFrames / 2);
    control->SetPlayPosition(kFrames / 3);
    ui.pump();
    if (control->GetEnvelope().IsEmpty())
        state.SkipWithError("no envelope");
    for (auto _ : state) {
        control->invalidate(true);
        control->update();
    }
    frame.destroy();
}
BENCHMARK(BM_EnvelopePaint)->Arg(400)->Arg(1600)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
