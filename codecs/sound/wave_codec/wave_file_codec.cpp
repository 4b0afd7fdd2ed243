#include "codecs/sound/wave_codec/wave_file_codec.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "codecs/sound/wave_codec/wave_codec_format.h"
#include "codecs/sound/wave_codec/wave_decoder.h"
#include "codecs/sound/wave_codec/wave_encoder.h"
#include "platform/base/endian.h"
#include "platform/media/riff_wave_reader.h"
#include "platform/media/riff_wave_writer.h"

namespace sound {
namespace {

constexpr size_t kIoBufferBytes = 8192;

bool IsCodablePcm(const pf::RiffWaveReader& reader)
{
    const pf::WaveFormat& format = reader.format();
    const bool pcm = format.tag == pf::WAVE_FORMAT_PCM ||
                     (format.tag == pf::WAVE_FORMAT_EXTENSIBLE && reader.subFormatTag() == pf::WAVE_FORMAT_PCM);
    return pcm && (format.channels == 1 || format.channels == 2) && (format.bits == 8 || format.bits == 16);
}

bool WriteFileHeader(const pf::WaveFormat& format, WaveByteSink& sink)
{
    uint8_t header[kWaveFileHeaderBytes];
    pf::storeU16le(header, format.channels);
    pf::storeU16le(header + 2, 0);
    pf::storeU32le(header + 4, format.rate);
    return sink.Write(header);
}

// The data bytes of one read as samples. A 16-bit sample cut by the end of the read waits in `odd` for the next
// read, so that every later sample keeps its byte order.
void BytesToSamples(std::span<const uint8_t> bytes, uint16_t bits, std::vector<uint8_t>& odd,
                    std::vector<int16_t>& outSamples)
{
    outSamples.clear();
    if (bits == 8) {
        for (const uint8_t b : bytes)   // unsigned 8-bit: 0 -> -32768, 128 -> 128, 255 -> 32767
            outSamples.push_back(static_cast<int16_t>(257 * int32_t{b} - 32768));
        return;
    }
    size_t i = 0;
    if (!odd.empty() && !bytes.empty()) {
        outSamples.push_back(static_cast<int16_t>(odd[0] | (bytes[0] << 8)));
        odd.clear();
        i = 1;
    }
    for (; i + 1 < bytes.size(); i += 2)
        outSamples.push_back(static_cast<int16_t>(pf::loadU16le(&bytes[i])));
    if (i < bytes.size())
        odd.assign(1, bytes[i]);
}

bool EncodeData(pf::RiffWaveReader& reader, WaveEncoder& encoder, WaveByteSink& sink)
{
    std::vector<uint8_t> buffer(kIoBufferBytes);
    std::vector<uint8_t> odd;
    std::vector<int16_t> samples;
    // The reader hands out the bytes of "data" only, never a chunk that follows it.
    while (reader.consumed() < reader.dataBytes()) {
        const size_t got = reader.read(buffer);
        if (got == 0)
            return false;   // the file failed while being read
        BytesToSamples(std::span<const uint8_t>(buffer).first(got), reader.format().bits, odd, samples);
        if (encoder.Feed(samples) != kWaveOk || !sink.Write(encoder.Output()))
            return false;
    }
    return encoder.Finish() == kWaveFinished && sink.Write(encoder.Output());
}

struct StoredHeader {
    uint16_t channels = 0;
    uint32_t rate = 0;
};

bool ReadExactly(WaveByteSource& source, std::span<uint8_t> out)
{
    size_t got = 0;
    while (got < out.size()) {
        const size_t n = source.Read(out.subspan(got));
        if (n == 0)
            return false;
        got += n;
    }
    return true;
}

bool ReadStoredHeader(WaveByteSource& source, StoredHeader& out)
{
    uint8_t header[kWaveFileHeaderBytes];
    if (!ReadExactly(source, header))
        return false;
    out.channels = pf::loadU16le(header);
    out.rate = pf::loadU32le(header + 4);
    return (out.channels == 1 || out.channels == 2) && out.rate != 0;
}

// Writes whole frames only: a sample left over from a stereo pair waits for its partner.
class FrameWriter {
public:
    FrameWriter(pf::RiffWaveWriter& writer, uint16_t channels) : m_writer(writer), m_channels(channels) {}

    bool Write(std::span<const int16_t> samples)
    {
        for (const int16_t sample : samples) {
            m_bytes.resize(m_bytes.size() + 2);
            pf::storeU16le(&m_bytes[m_bytes.size() - 2], static_cast<uint16_t>(sample));
        }
        const size_t frameBytes = size_t{2} * m_channels;
        const size_t whole = m_bytes.size() / frameBytes * frameBytes;
        const bool written = m_writer.write(std::span<const uint8_t>(m_bytes).first(whole));
        m_bytes.erase(m_bytes.begin(), m_bytes.begin() + static_cast<long>(whole));
        return written;
    }

private:
    pf::RiffWaveWriter& m_writer;   // outlives this helper
    uint16_t m_channels;
    std::vector<uint8_t> m_bytes;
};

bool DecodeData(WaveByteSource& source, WaveDecoder& decoder, FrameWriter& frames)
{
    std::vector<uint8_t> buffer(kIoBufferBytes);
    for (;;) {
        const size_t got = source.Read(buffer);
        if (got == 0)
            return false;   // the stream ended before its end block
        const int result = decoder.Feed(std::span<const uint8_t>(buffer).first(got));
        const bool written = frames.Write(decoder.Output());
        if (result == kWaveFailed || !written)
            return false;
        if (result == kWaveFinished)
            return true;
    }
}

} // namespace

bool VectorByteSink::Write(std::span<const uint8_t> bytes)
{
    try {
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

size_t SpanByteSource::Read(std::span<uint8_t> out)
{
    const size_t take = std::min(out.size(), m_bytes.size() - m_position);
    std::copy_n(m_bytes.begin() + static_cast<long>(m_position), take, out.begin());
    m_position += take;
    return take;
}

bool EncodeWaveFile(const std::string& wavePath, WaveByteSink& sink, uint32_t qualityPercent)
{
    try {
        pf::WaveError error = pf::WaveError::None;
        const std::unique_ptr<pf::RiffWaveReader> reader = pf::RiffWaveReader::open(wavePath, &error);
        if (!reader || !IsCodablePcm(*reader))
            return false;
        WaveEncoder encoder;
        if (encoder.Init(kWaveSystemMode, qualityPercent) != kWaveOk)
            return false;
        return WriteFileHeader(reader->format(), sink) && EncodeData(*reader, encoder, sink);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool DecodeToWaveFile(WaveByteSource& source, const std::string& wavePath)
{
    try {
        StoredHeader header;
        if (!ReadStoredHeader(source, header))
            return false;
        const std::unique_ptr<pf::RiffWaveWriter> writer =
            pf::RiffWaveWriter::create(wavePath, pf::WaveFormat::pcm(header.channels, header.rate, 16));
        if (!writer)
            return false;
        WaveDecoder decoder;
        FrameWriter frames(*writer, header.channels);
        const bool decoded = DecodeData(source, decoder, frames);
        const bool finished = writer->finish();
        return decoded && finished;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace sound
