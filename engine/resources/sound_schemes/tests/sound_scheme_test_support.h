#pragma once
// What the sound scheme tests share: wave files made in memory, a private temporary folder whose "sws*.tmp" files
// can be counted, memory sources and sinks for the frame loops, a report recorder, and a world's sound stored and
// read back through the scheme table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/type_tag.h"
#include "engine/core/world.h"
#include "engine/resources/compression_scheme.h"
#include "engine/resources/resource_report.h"
#include "engine/resources/sound.h"
#include "engine/resources/sound_schemes/mmio_frame_stream.h"
#include "platform/base/endian.h"
#include "platform/media/riff_wave_reader.h"

namespace soundschemetest {

inline void PutU16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void PutU32(std::vector<uint8_t>& out, uint32_t v)
{
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}
inline void PutText(std::vector<uint8_t>& out, const char* text)
{
    out.insert(out.end(), text, text + 4);
}

// A RIFF/WAVE file of interleaved 16-bit samples stored at bits (8: the high byte plus 128; 24 and 32: zero low
// bytes).
inline std::vector<uint8_t> WaveBytes(uint16_t channels, uint32_t rate, uint16_t bits, std::span<const int16_t> samples,
                                      uint16_t formatTag = 1)
{
    std::vector<uint8_t> data;
    for (const int16_t s : samples) {
        if (bits == 8)
            data.push_back(static_cast<uint8_t>((s >> 8) + 128));
        else if (bits == 24)
            data.push_back(0);
        else if (bits == 32)
            PutU16(data, 0);
        if (bits >= 16)
            PutU16(data, static_cast<uint16_t>(s));
    }
    std::vector<uint8_t> out;
    PutText(out, "RIFF");
    PutU32(out, static_cast<uint32_t>(36 + data.size()));
    PutText(out, "WAVE");
    PutText(out, "fmt ");
    PutU32(out, 16);
    PutU16(out, formatTag);
    PutU16(out, channels);
    PutU32(out, rate);
    PutU32(out, rate * channels * bits / 8);
    PutU16(out, channels * bits / 8);
    PutU16(out, bits);
    PutText(out, "data");
    PutU32(out, static_cast<uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

inline std::vector<int16_t> Tone(int channels, int rate, size_t frames, double hz = 440.0, double amplitude = 8000.0)
{
    std::vector<int16_t> out;
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            out.push_back(static_cast<int16_t>(amplitude * std::sin(6.283185307179586 * hz * (c + 1) * i / rate)));
    return out;
}

inline void WriteFile(const std::string& path, std::span<const uint8_t> bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct DecodedWave {
    pf::WaveFormat format;
    std::vector<int16_t> samples;
    bool opened = false;
};
inline DecodedWave ReadWave(const std::string& path)
{
    DecodedWave wave;
    pf::WaveError error{};
    const auto reader = pf::RiffWaveReader::open(path, &error);
    if (!reader)
        return wave;
    wave.opened = true;
    wave.format = reader->format();
    std::vector<uint8_t> bytes(reader->dataBytes());
    bytes.resize(reader->read(bytes.data(), bytes.size()));
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        wave.samples.push_back(static_cast<int16_t>(pf::loadU16le(&bytes[i])));
    return wave;
}

inline std::string Fixture(const char* name)
{
    const char* root = std::getenv("VORTAN_SOURCE_DIR");
    return std::string(root != nullptr ? root : ".") + "/codecs/sound/tests/data/" + name;
}

// $TMPDIR pointed at a folder of its own for the test's life, so restored files can be counted and none is left.
class PrivateTempDir {
public:
    PrivateTempDir()
    {
        if (const char* old = std::getenv("TMPDIR"))
            m_old = old;
        std::string pattern = (std::filesystem::temp_directory_path() / "swtestXXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr)
            path = pattern;
        ::setenv("TMPDIR", path.c_str(), 1);
    }
    ~PrivateTempDir()
    {
        if (m_old)
            ::setenv("TMPDIR", m_old->c_str(), 1);
        else
            ::unsetenv("TMPDIR");
        std::error_code error;
        std::filesystem::remove_all(path, error);
    }
    PrivateTempDir(const PrivateTempDir&) = delete;
    PrivateTempDir& operator=(const PrivateTempDir&) = delete;

    std::vector<std::string> OwnTemporaries() const
    {
        std::vector<std::string> out;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(path, error)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("sws", 0) == 0 && name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0)
                out.push_back(entry.path().string());
        }
        return out;
    }
    std::string File(const std::string& name) const { return path + "/" + name; }

    std::string path;

private:
    std::optional<std::string> m_old;
};

class RecordingReports : public ResourceReportSink {
public:
    RecordingReports() { SetResourceReportSink(this); }
    ~RecordingReports() override { SetResourceReportSink(nullptr); }
    void Report(const ResourceReport& report) override { reports.push_back(report); }
    std::vector<ResourceReport> reports;
};

// Bytes in memory as a loop's source: steps back over everything delivered, records every read it was asked for.
class MemorySource : public sound::WaveFrameSource {
public:
    explicit MemorySource(std::vector<uint8_t> bytes, bool eightBit = false)
        : m_bytes(std::move(bytes)), m_eightBit(eightBit)
    {
    }

    bool Read(void* buffer, size_t n, size_t& outCount, bool widen) override
    {
        asks.push_back({n, widen});
        outCount = sound::ReadFromMemory(m_bytes, m_position, buffer, n, widen);
        const auto* const out = static_cast<const uint8_t*>(buffer);
        delivered.insert(delivered.end(), out, out + outCount);
        return outCount > 0;
    }
    bool SetHistory(uint32_t) override { return true; }
    bool StepBack(int64_t n) override
    {
        m_position = static_cast<size_t>(
            std::clamp<int64_t>(static_cast<int64_t>(m_position) + n, 0, static_cast<int64_t>(m_bytes.size())));
        return true;
    }
    bool HasEightBitSamples() const override { return m_eightBit; }
    bool HasFailed() const override { return false; }

    struct Ask {
        size_t n;
        bool widen;
    };
    std::vector<Ask> asks;
    std::vector<uint8_t> delivered;

private:
    std::vector<uint8_t> m_bytes;
    size_t m_position = 0;
    bool m_eightBit;
};

class MemorySink : public sound::WaveFrameSink {
public:
    bool Write(const void* bytes, size_t n) override
    {
        const auto* const p = static_cast<const uint8_t*>(bytes);
        this->bytes.insert(this->bytes.end(), p, p + n);
        return true;
    }
    std::vector<int16_t> Samples() const
    {
        std::vector<int16_t> out;
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            out.push_back(static_cast<int16_t>(pf::loadU16le(&bytes[i])));
        return out;
    }
    std::vector<uint8_t> bytes;
};

using sound::SampleBytes;

// A four-character id as its tag, from text known only at run time.
inline uint32_t IdTag(std::string_view id)
{
    uint8_t bytes[4] = {};
    for (size_t i = 0; i < 4 && i < id.size(); ++i)
        bytes[i] = static_cast<uint8_t>(id[i]);
    return pf::loadU32le(bytes);
}

inline const SWcompressionscheme* Row(std::string_view id)
{
    return SWcompressionschemes::Table().FindById(IdTag(id));
}

// A sound of world on path with the row of id as its scheme; the world owns it.
inline SWsound* AddSound(SWworld& world, const std::string& name, const std::string& path, std::string_view id)
{
    auto sound = std::make_unique<SWsound>(name);
    sound->SetWorld(&world);
    sound->SetFileName(path);
    sound->SetScheme(Row(id));
    return world.GetSoundList().Add(std::move(sound));
}

// The sound's scheme record, as the world writer stores it.
inline std::vector<uint8_t> StoreSound(SWsound& sound, bool* written = nullptr)
{
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        const bool stored = SWcompressionschemes::Table().WriteResource(1, out, &sound, 0);
        if (written != nullptr)
            *written = stored && out.Status() == SWchunkstream::kStatusGood;
    }
    return buffer.ToVector();
}

inline bool LoadSound(std::span<const uint8_t> record, SWsound& sound)
{
    SWchunkstream in(record);
    const uint32_t tag = in.PeekTag();
    return SWcompressionschemes::Table().ReadResource(tag, in, &sound, 0);
}

inline uint32_t TagOf(std::span<const uint8_t> record)
{
    return record.size() >= 4 ? pf::loadU32le(record.data()) : 0;
}

} // namespace soundschemetest
