// Decode speed of the Tonalwave models on one core: realtime factor (seconds of audio per CPU second) on frames of
// every kind written by the field-list writer with random fields, one lost frame in twenty; and the memory of one
// decoder. Encode speed on a mixed signal of tones, a sweep, noise bursts and clicks; and the memory of one encoder.
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "codecs/sound/Tonalwave/Decode/tonalwave_decoder.h"
#include "codecs/sound/Tonalwave/Encode/tonalwave_encoder.h"
#include "codecs/sound/Tonalwave/tonalwave_bits.h"
#include "codecs/sound/Tonalwave/tonalwave_codec.h"
#include "codecs/sound/Tonalwave/tonalwave_frame.h"

namespace {

constexpr int kFrames = 200;
constexpr size_t kSlotBytes = 558;

std::vector<uint8_t> MakeSlots(sound::TonalwaveModel model)
{
    const sound::TonalwaveLayout layout =
        sound::BuildLayout(*sound::DecodeConfigurationCode(sound::ConfigurationCodeOf(model)));
    std::mt19937 random(static_cast<uint32_t>(model) + 1);
    const int sequence[] = {0, 0, 0, 1, 2, 2, 3, 0, 6, 8, 8, 5, 0, 0, 6, 7, 2, 4, 5, 0};
    std::vector<uint8_t> slots(kFrames * kSlotBytes, 0);
    for (int frame = 0; frame < kFrames; ++frame) {
        const std::span<uint8_t> slot(slots.data() + static_cast<size_t>(frame) * kSlotBytes, kSlotBytes);
        sound::RingPosition at;
        if (frame % 20 == 13) {
            sound::WriteBits(slot, at, 15, 4);
            continue;
        }
        const int code = sequence[frame % 20];
        const auto kind = static_cast<size_t>(sound::KindOfWindowCode(code));
        sound::TonalwaveFieldList list;
        list.count = static_cast<int>(layout.fieldWidths[kind].size());
        for (int i = 0; i < list.count; ++i)
            list.values[static_cast<size_t>(i)] =
                static_cast<uint16_t>(random() & ((1u << layout.fieldWidths[kind][static_cast<size_t>(i)]) - 1u));
        list.values[0] = static_cast<uint16_t>(code);
        sound::WriteFieldList(slot, at, list.View(), layout);
    }
    return slots;
}

void BM_TonalwaveDecode(benchmark::State& state)
{
    const auto model = static_cast<sound::TonalwaveModel>(state.range(0));
    const std::vector<uint8_t> slots = MakeSlots(model);
    sound::CodecInfo info;
    sound::DescriptorOf(model).getInfo(&info);
    std::unique_ptr<sound::CodecHandle> handle;
    sound::DescriptorOf(model).openDecoder(&handle);
    std::vector<int16_t> samples(static_cast<size_t>(info.channels) * info.frameSamples);
    std::vector<uint8_t> slot(kSlotBytes);
    for (auto _ : state) {
        for (int frame = 0; frame < kFrames; ++frame) {
            std::copy_n(slots.begin() + static_cast<ptrdiff_t>(frame) * static_cast<ptrdiff_t>(kSlotBytes), kSlotBytes,
                        slot.begin());
            sound::CodecIO io;
            io.coded = slot.data();
            io.codedSize = static_cast<uint16_t>(kSlotBytes);
            io.samples = samples.data();
            sound::DecodeTonalwaveFrame(handle.get(), &io);
        }
        benchmark::DoNotOptimize(samples.data());
    }
    const double audioSeconds = static_cast<double>(kFrames) * info.frameSamples / info.sampleRate;
    state.counters["realtime"] =
        benchmark::Counter(audioSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    const auto decoder =
        sound::TonalwaveDecoder::Create(*sound::DecodeConfigurationCode(sound::ConfigurationCodeOf(model)));
    state.counters["decoder_bytes"] = static_cast<double>(decoder->MemoryBytes());
    state.SetLabel(sound::NameOf(model));
    sound::CloseTonalwaveDecoder(&handle);
}

BENCHMARK(BM_TonalwaveDecode)
    ->DenseRange(0, sound::kTonalwaveModelCount - 1)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(false);

// Tones with vibrato, a sweep, noise bursts and a click every second: every frame kind comes up.
std::vector<int16_t> MakeSignal(const sound::CodecInfo& info)
{
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 2000.0);
    const size_t frames = static_cast<size_t>(kFrames) * info.frameSamples;
    std::vector<int16_t> samples(frames * info.channels);
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / info.sampleRate;
        double value = 5000.0 * std::sin(2 * 3.14159265 * (300.0 + 20.0 * std::sin(30.0 * t)) * t) +
                       3000.0 * std::sin(2 * 3.14159265 * (100.0 + 400.0 * t) * t);
        if (std::fmod(t, 1.0) < 0.1)
            value += noise(random);
        if (i % info.sampleRate == info.sampleRate / 2)
            value = 30000.0;
        for (int c = 0; c < info.channels; ++c)
            samples[i * info.channels + static_cast<size_t>(c)] = static_cast<int16_t>(value / (c + 1));
    }
    return samples;
}

void BM_TonalwaveEncode(benchmark::State& state)
{
    const auto model = static_cast<sound::TonalwaveModel>(state.range(0));
    sound::CodecInfo info;
    sound::DescriptorOf(model).getInfo(&info);
    const std::vector<int16_t> signal = MakeSignal(info);
    const size_t frameValues = static_cast<size_t>(info.channels) * info.frameSamples;
    std::vector<uint8_t> slot(kSlotBytes);
    for (auto _ : state) {
        std::unique_ptr<sound::CodecHandle> handle;
        sound::DescriptorOf(model).openEncoder(&handle);
        for (int frame = 0; frame < kFrames; ++frame) {
            sound::CodecIO io;
            io.coded = slot.data();
            io.codedSize = static_cast<uint16_t>(kSlotBytes);
            io.samples = const_cast<int16_t*>(signal.data()) + static_cast<size_t>(frame) * frameValues;
            sound::EncodeTonalwaveFrame(handle.get(), &io);
        }
        benchmark::DoNotOptimize(slot.data());
        sound::CloseTonalwaveEncoder(&handle);
    }
    const double audioSeconds = static_cast<double>(kFrames) * info.frameSamples / info.sampleRate;
    state.counters["realtime"] =
        benchmark::Counter(audioSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    const auto encoder =
        sound::TonalwaveEncoder::Create(*sound::DecodeConfigurationCode(sound::ConfigurationCodeOf(model)));
    state.counters["encoder_bytes"] = static_cast<double>(encoder->MemoryBytes());
    state.SetLabel(sound::NameOf(model));
}

BENCHMARK(BM_TonalwaveEncode)
    ->DenseRange(0, sound::kTonalwaveModelCount - 1)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(false);

} // namespace

BENCHMARK_MAIN();
