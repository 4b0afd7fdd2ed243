#include "designer/workspace/wave_envelope.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "platform/base/endian.h"
#include "platform/media/riff_wave_reader.h"

namespace {

constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kMaxChannels = 64;
constexpr size_t kReadBytes = 1 << 16;

enum class SampleKind { kUnsigned8, kSigned16, kSigned24, kSigned32, kFloat32, kNone };

SampleKind KindOf(const pf::RiffWaveReader& reader)
{
    const pf::WaveFormat& f = reader.format();
    const uint16_t tag = f.tag == pf::WAVE_FORMAT_EXTENSIBLE ? reader.subFormatTag() : f.tag;
    if (f.channels == 0 || f.channels > kMaxChannels || f.blockAlign != f.channels * ((f.bits + 7) / 8))
        return SampleKind::kNone;
    if (tag == kFormatFloat)
        return f.bits == 32 ? SampleKind::kFloat32 : SampleKind::kNone;
    if (tag != pf::WAVE_FORMAT_PCM)
        return SampleKind::kNone;
    switch (f.bits) {
    case 8:
        return SampleKind::kUnsigned8;
    case 16:
        return SampleKind::kSigned16;
    case 24:
        return SampleKind::kSigned24;
    case 32:
        return SampleKind::kSigned32;
    default:
        return SampleKind::kNone;
    }
}

template <SampleKind kKind> int16_t SampleAt(const uint8_t* p)
{
    if constexpr (kKind == SampleKind::kUnsigned8)
        return static_cast<int16_t>((p[0] - 128) * 256);
    else if constexpr (kKind == SampleKind::kSigned16)
        return static_cast<int16_t>(pf::loadU16le(p));
    else if constexpr (kKind == SampleKind::kSigned24)
        return static_cast<int16_t>(pf::loadU16le(p + 1)); // the top 16 of the 24 bits
    else if constexpr (kKind == SampleKind::kSigned32)
        return static_cast<int16_t>(pf::loadU16le(p + 2));
    else {
        const uint32_t bits = pf::loadU32le(p);
        float v = 0.0f;
        std::memcpy(&v, &bits, sizeof v);
        if (std::isnan(v))
            return 0;
        return static_cast<int16_t>(std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f));
    }
}

constexpr size_t BytesOf(SampleKind kind)
{
    switch (kind) {
    case SampleKind::kUnsigned8:
        return 1;
    case SampleKind::kSigned16:
        return 2;
    case SampleKind::kSigned24:
        return 3;
    default:
        return 4;
    }
}

// The lowest and highest of count consecutive samples, all channels alike: one flat loop per kind, which the
// compiler turns into packed minimum and maximum operations for the common kinds.
template <SampleKind kKind> void ScanSamples(const uint8_t* p, size_t count, int16_t& low, int16_t& high)
{
    int16_t lo = low;
    int16_t hi = high;
    for (size_t i = 0; i < count; ++i) {
        const int16_t v = SampleAt<kKind>(p + i * BytesOf(kKind));
        lo = v < lo ? v : lo;
        hi = v > hi ? v : hi;
    }
    low = lo;
    high = hi;
}

void ScanSamples(SampleKind kind, const uint8_t* p, size_t count, int16_t& low, int16_t& high)
{
    switch (kind) {
    case SampleKind::kUnsigned8:
        return ScanSamples<SampleKind::kUnsigned8>(p, count, low, high);
    case SampleKind::kSigned16:
        return ScanSamples<SampleKind::kSigned16>(p, count, low, high);
    case SampleKind::kSigned24:
        return ScanSamples<SampleKind::kSigned24>(p, count, low, high);
    case SampleKind::kSigned32:
        return ScanSamples<SampleKind::kSigned32>(p, count, low, high);
    case SampleKind::kFloat32:
        return ScanSamples<SampleKind::kFloat32>(p, count, low, high);
    case SampleKind::kNone:
        return;
    }
}

// Fills the buffer unless the data ends first, so that only the last read can end inside a frame.
size_t ReadFully(pf::RiffWaveReader& reader, std::vector<uint8_t>& buffer)
{
    size_t got = 0;
    while (got < buffer.size()) {
        const size_t n = reader.read(buffer.data() + got, buffer.size() - got);
        if (n == 0)
            break;
        got += n;
    }
    return got;
}

} // namespace

bool CVTND_WaveEnvelope::Parse(const std::string& path, const std::stop_token& stop, CVTND_WaveEnvelope& out)
{
    out = {};
    pf::WaveError error = pf::WaveError::kNone;
    const std::unique_ptr<pf::RiffWaveReader> reader = pf::RiffWaveReader::open(path, &error);
    return reader != nullptr && Parse(*reader, stop, out);
}

bool CVTND_WaveEnvelope::Parse(pf::RiffWaveReader& reader, const std::stop_token& stop, CVTND_WaveEnvelope& out)
{
    out = {};
    const SampleKind kind = KindOf(reader);
    if (kind == SampleKind::kNone)
        return false;
    const uint32_t frameBytes = reader.format().blockAlign;
    const size_t channels = reader.format().channels;
    const uint64_t frames = reader.dataBytes() / frameBytes; // a torn last frame is left out
    if (frames == 0)
        return false;
    CVTND_WaveEnvelope envelope;
    envelope.m_frames = frames;
    envelope.m_rate = reader.format().rate;
    envelope.m_framesPerBlock = static_cast<uint32_t>((frames + kTargetBlocks - 1) / kTargetBlocks);
    const size_t blocks = static_cast<size_t>((frames + envelope.m_framesPerBlock - 1) / envelope.m_framesPerBlock);
    envelope.m_low.assign(blocks, std::numeric_limits<int16_t>::max());
    envelope.m_high.assign(blocks, std::numeric_limits<int16_t>::min());

    std::vector<uint8_t> buffer(kReadBytes - kReadBytes % frameBytes);
    uint64_t frame = 0;
    while (frame < frames) {
        if (stop.stop_requested())
            return false;
        const size_t got = ReadFully(reader, buffer);
        const size_t whole = got / frameBytes;
        if (whole == 0)
            break;
        // Block by block: the frames of one block are consecutive samples of every channel.
        const size_t usable = static_cast<size_t>(std::min<uint64_t>(whole, frames - frame));
        for (size_t done = 0; done < usable;) {
            const size_t block = static_cast<size_t>(frame / envelope.m_framesPerBlock);
            const size_t inBlock = static_cast<size_t>(envelope.m_framesPerBlock - frame % envelope.m_framesPerBlock);
            const size_t take = std::min(inBlock, usable - done);
            ScanSamples(kind, buffer.data() + done * frameBytes, take * channels, envelope.m_low[block],
                        envelope.m_high[block]);
            done += take;
            frame += take;
        }
        if (got < buffer.size())
            break;
    }
    if (frame < frames)
        return false; // the data ended before what the file itself holds: a read error
    out = std::move(envelope);
    return true;
}

std::vector<std::pair<int16_t, int16_t>> CVTND_WaveEnvelope::Columns(int32_t width) const
{
    if (width < 1 || m_low.empty())
        return {};
    std::vector<std::pair<int16_t, int16_t>> columns(static_cast<size_t>(width));
    const uint64_t n = m_low.size();
    for (int32_t x = 0; x < width; ++x) {
        uint64_t first = n * static_cast<uint64_t>(x) / static_cast<uint64_t>(width);
        const uint64_t end = std::max(first + 1, n * static_cast<uint64_t>(x + 1) / static_cast<uint64_t>(width));
        first = std::min(first, n - 1);
        int16_t low = m_low[first];
        int16_t high = m_high[first];
        for (uint64_t b = first + 1; b < std::min(end, n); ++b) {
            low = std::min(low, m_low[b]);
            high = std::max(high, m_high[b]);
        }
        columns[static_cast<size_t>(x)] = {low, high};
    }
    return columns;
}
