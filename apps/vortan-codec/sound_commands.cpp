// vortan-codec sound ...: the own wave codec and the sound measures from the command line.
//   sound encode wave IN.wav OUT.bin QUALITY   the stored data of a sound (channels, rate, block stream)
//   sound decode wave IN.bin OUT.wav           back to a 16-bit wave file
//   sound compare REF.wav TEST.wav             length, lag, SNR, segmental SNR and log-spectral distance
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "apps/vortan-codec/command_table.h"
#include "codecs/sound/wave_codec/wave_file_codec.h"
#include "platform/base/endian.h"
#include "platform/media/riff_wave_reader.h"
#include "testsupport/sound/sound_metrics.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr uint32_t kLargestQuality = 100;

class FileByteSource final : public sound::WaveByteSource {
public:
    explicit FileByteSource(const char* path) : m_in(path, std::ios::binary) {}
    bool IsOpen() const { return m_in.is_open(); }
    size_t Read(std::span<uint8_t> out) override
    {
        m_in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
        return static_cast<size_t>(m_in.gcount());
    }

private:
    std::ifstream m_in;
};

bool WriteFile(const char* path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

bool ParseQuality(const char* text, uint32_t& out)
{
    const char* end = text + std::strlen(text);
    const auto [next, error] = std::from_chars(text, end, out);
    return error == std::errc() && next == end && out <= kLargestQuality;
}

int EncodeWave(std::span<char* const> args)
{
    uint32_t quality = 0;
    if (args.size() != 4 || std::strcmp(args[0], "wave") != 0 || !ParseQuality(args[3], quality)) {
        std::fprintf(stderr, "usage: vortan-codec sound encode wave IN.wav OUT.bin QUALITY (0..100)\n");
        return kExitUsage;
    }
    std::vector<uint8_t> stored;
    sound::VectorByteSink sink(stored);
    if (!sound::EncodeWaveFile(args[1], sink, quality)) {
        std::fprintf(stderr, "%s: not a readable PCM wave file of 1 or 2 channels and 8 or 16 bits\n", args[1]);
        return kExitFailed;
    }
    if (!WriteFile(args[2], stored)) {
        std::fprintf(stderr, "%s: cannot write\n", args[2]);
        return kExitFailed;
    }
    std::printf("%zu bytes\n", stored.size());
    return 0;
}

int DecodeWave(std::span<char* const> args)
{
    if (args.size() != 3 || std::strcmp(args[0], "wave") != 0) {
        std::fprintf(stderr, "usage: vortan-codec sound decode wave IN.bin OUT.wav\n");
        return kExitUsage;
    }
    FileByteSource source(args[1]);
    if (!source.IsOpen()) {
        std::fprintf(stderr, "%s: cannot read\n", args[1]);
        return kExitFailed;
    }
    if (!sound::DecodeToWaveFile(source, args[2])) {
        std::fprintf(stderr, "%s: damaged or cut stream; %s holds what came before the damage, if anything\n",
                     args[1], args[2]);
        return kExitFailed;
    }
    return 0;
}

struct Sound {
    std::vector<int16_t> samples;
    pf::WaveFormat format;
};

bool LoadSound(const char* path, Sound& out)
{
    pf::WaveError error = pf::WaveError::None;
    const auto reader = pf::RiffWaveReader::open(path, &error);
    if (!reader || (reader->format().bits != 8 && reader->format().bits != 16) || reader->format().channels == 0) {
        std::fprintf(stderr, "%s: not a readable 8- or 16-bit wave file\n", path);
        return false;
    }
    out.format = reader->format();
    std::vector<uint8_t> bytes(reader->dataBytes());
    bytes.resize(reader->read(bytes));
    if (out.format.bits == 8) {
        for (const uint8_t b : bytes)
            out.samples.push_back(static_cast<int16_t>(257 * int32_t{b} - 32768));
    } else {
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            out.samples.push_back(static_cast<int16_t>(pf::loadU16le(&bytes[i])));
    }
    out.samples.resize(out.samples.size() / out.format.channels * out.format.channels);
    return true;
}

void PrintLevel(const char* name, double db)
{
    if (std::isinf(db))
        std::printf("%s: inf dB\n", name);
    else
        std::printf("%s: %.2f dB\n", name, db);
}

int Compare(std::span<char* const> args)
{
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: vortan-codec sound compare REF.wav TEST.wav\n");
        return kExitUsage;
    }
    Sound ref;
    Sound test;
    if (!LoadSound(args[0], ref) || !LoadSound(args[1], test))
        return kExitFailed;
    if (ref.format.channels != test.format.channels || ref.format.rate != test.format.rate) {
        std::fprintf(stderr, "the two files differ in channels or rate: resample first\n");
        return kExitFailed;
    }
    const int channels = ref.format.channels;
    const int rate = static_cast<int>(ref.format.rate);
    const soundtest::SoundComparison result =
        soundtest::CompareSounds(ref.samples, test.samples, channels, rate, rate / 2);
    std::printf("length: ref %zu frames, test %zu frames\n", result.refFrames, result.testFrames);
    std::printf("lag: %d frames\n", result.lagFrames);
    PrintLevel("SNR", result.snrDb);
    PrintLevel("segmental SNR", result.segmentalSnrDb);
    PrintLevel("log-spectral distance", result.logSpectralDistanceDb);
    return 0;
}

const bool kRegistered = RegisterCodecToolCommand({"sound", "encode", "wave IN.wav OUT.bin QUALITY", EncodeWave}) &&
                         RegisterCodecToolCommand({"sound", "decode", "wave IN.bin OUT.wav", DecodeWave}) &&
                         RegisterCodecToolCommand({"sound", "compare", "REF.wav TEST.wav", Compare});

} // namespace
