#pragma once
// Builds RIFF/WAVE files byte by byte, so each damaged case is a valid file with one named change.
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/base/endian.h"
#include "platform/media/wave_format.h"

namespace pf::test {

using Bytes = std::vector<uint8_t>;

inline void Append(Bytes& out, const Bytes& more)
{
    for (const uint8_t b : more) // byte by byte: a ranged insert here trips a false array-bounds warning at -O3
        out.push_back(b);
}

inline void AppendU32(Bytes& out, uint32_t v)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

// A chunk: id, stated size (the body's by default), body, and a pad byte after an odd body.
inline Bytes Chunk(const char* id, const Bytes& body, std::optional<uint32_t> statedSize = std::nullopt)
{
    Bytes out(id, id + 4);
    AppendU32(out, statedSize.value_or(static_cast<uint32_t>(body.size())));
    Append(out, body);
    if (body.size() % 2 == 1)
        out.push_back(0);
    return out;
}

inline Bytes Riff(std::initializer_list<Bytes> chunks, std::optional<uint32_t> statedSize = std::nullopt)
{
    Bytes body = {'W', 'A', 'V', 'E'};
    for (const Bytes& c : chunks)
        Append(body, c);
    Bytes out = {'R', 'I', 'F', 'F'};
    AppendU32(out, statedSize.value_or(static_cast<uint32_t>(body.size())));
    Append(out, body);
    return out;
}

// The 16 format bytes, then `extra` bytes as they follow in a longer "fmt ".
inline Bytes FmtBody(const WaveFormat& f, const Bytes& extra = {})
{
    Bytes out(16);
    storeU16le(&out[0], f.tag);
    storeU16le(&out[2], f.channels);
    storeU32le(&out[4], f.rate);
    storeU32le(&out[8], f.avgBytesPerSec);
    storeU16le(&out[12], f.blockAlign);
    storeU16le(&out[14], f.bits);
    Append(out, extra);
    return out;
}

inline Bytes Ramp(size_t n, uint8_t start = 0)
{
    Bytes out(n);
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<uint8_t>(start + i * 7);
    return out;
}

inline Bytes ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::filesystem::path& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A fresh folder per test, removed with the fixture.
class ScratchDir {
public:
    ScratchDir()
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_path = std::filesystem::temp_directory_path() / (std::string("pf_media_") + info->test_suite_name() + "_" +
                                                           info->name() + "_" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~ScratchDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::filesystem::path& path() const { return m_path; }
    std::string file(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

} // namespace pf::test
