#include "codecs/sound/wave_codec/wave_file_codec.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <string>
#include <system_error>

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
    return pcm && (format.channels == 1 || format.channels == 2) && (format.bits == 8 || format.bits == 16) &&
           format.rate != 0 && format.rate <= pf::kMaxWaveRate;
}

std::string ErrnoText(int errnoValue)
{
    const std::error_code code(errnoValue, std::generic_category());
    return code.message();
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
        for (const uint8_t b : bytes) // unsigned 8-bit: 0 -> -32768, 128 -> 128, 255 -> 32767
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

WaveFileResult EncodeData(pf::RiffWaveReader& reader, WaveEncoder& encoder, WaveByteSink& sink)
{
    std::vector<uint8_t> buffer(kIoBufferBytes);
    std::vector<uint8_t> odd;
    std::vector<int16_t> samples;
    // The reader hands out the bytes of "data" only, never a chunk that follows it.
    while (reader.consumed() < reader.dataBytes()) {
        const size_t got = reader.read(buffer);
        if (got == 0)
            return WaveFileResult::kCannotReadInput; // the file failed or shrank while being read
        BytesToSamples(std::span<const uint8_t>(buffer).first(got), reader.format().bits, odd, samples);
        if (encoder.Feed(samples) != kWaveOk)
            return WaveFileResult::kOutOfMemory; // the only way a feed of valid samples fails
        if (!sink.Write(encoder.Output()))
            return WaveFileResult::kCannotWriteOutput;
    }
    if (encoder.Finish() != kWaveFinished)
        return WaveFileResult::kOutOfMemory;
    return sink.Write(encoder.Output()) ? WaveFileResult::kOk : WaveFileResult::kCannotWriteOutput;
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
    return true;
}

// A rate the wave header cannot state without its byte rate wrapping is refused with the rest.
bool IsWritableStoredHeader(const StoredHeader& header)
{
    return (header.channels == 1 || header.channels == 2) && header.rate != 0 && header.rate <= pf::kMaxWaveRate;
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
    pf::RiffWaveWriter& m_writer; // outlives this helper
    uint16_t m_channels;
    std::vector<uint8_t> m_bytes;
};

WaveFileResult DecodeData(WaveByteSource& source, WaveDecoder& decoder, FrameWriter& frames)
{
    std::vector<uint8_t> buffer(kIoBufferBytes);
    for (;;) {
        const size_t got = source.Read(buffer);
        if (got == 0)
            return WaveFileResult::kDamagedStream; // the stream ended before its end block
        const int result = decoder.Feed(std::span<const uint8_t>(buffer).first(got));
        if (!frames.Write(decoder.Output()))
            return WaveFileResult::kCannotWriteOutput;
        if (result == kWaveFailed)
            return decoder.Failure() == WaveFailure::kOutOfMemory ? WaveFileResult::kOutOfMemory
                                                                  : WaveFileResult::kDamagedStream;
        if (result == kWaveFinished)
            return WaveFileResult::kOk;
    }
}

WaveFileResult EncodeReadable(pf::RiffWaveReader& reader, WaveByteSink& sink, uint32_t qualityPercent,
                              const std::string& wavePath, std::string& outError)
{
    WaveEncoder encoder;
    if (encoder.Init(kWaveSystemMode, qualityPercent) != kWaveOk) {
        outError = "out of memory";
        return WaveFileResult::kOutOfMemory;
    }
    WaveFileResult result =
        WriteFileHeader(reader.format(), sink) ? WaveFileResult::kOk : WaveFileResult::kCannotWriteOutput;
    if (result == WaveFileResult::kOk)
        result = EncodeData(reader, encoder, sink);
    if (result == WaveFileResult::kCannotReadInput)
        outError = "cannot read " + wavePath + ": the file failed or shrank while being read";
    else if (result == WaveFileResult::kCannotWriteOutput)
        outError = "the encoded bytes could not be stored";
    else if (result == WaveFileResult::kOutOfMemory)
        outError = "out of memory";
    return result;
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

WaveFileResult EncodeWaveFile(const std::string& wavePath, WaveByteSink& sink, uint32_t qualityPercent,
                              std::string& outError)
{
    outError.clear();
    try {
        pf::WaveError error = pf::WaveError::kNone;
        const std::unique_ptr<pf::RiffWaveReader> reader = pf::RiffWaveReader::open(wavePath, &error);
        if (error == pf::WaveError::kCannotOpen) {
            outError = "cannot read " + wavePath + ": " + ErrnoText(errno);
            return WaveFileResult::kCannotReadInput;
        }
        if (!reader) {
            outError = wavePath + ": " + pf::describeWaveError(error);
            return WaveFileResult::kNotCodable;
        }
        if (!IsCodablePcm(*reader)) {
            outError = wavePath + ": not PCM of 1 or 2 channels and 8 or 16 bits at 1..1000000 Hz";
            return WaveFileResult::kNotCodable;
        }
        return EncodeReadable(*reader, sink, qualityPercent, wavePath, outError);
    } catch (const std::bad_alloc&) {
        outError = "out of memory";
        return WaveFileResult::kOutOfMemory;
    }
}

bool EncodeWaveFile(const std::string& wavePath, WaveByteSink& sink, uint32_t qualityPercent)
{
    std::string ignored;
    return EncodeWaveFile(wavePath, sink, qualityPercent, ignored) == WaveFileResult::kOk;
}

WaveFileResult DecodeToWaveFile(WaveByteSource& source, const std::string& wavePath, const WaveDecodeOptions& options,
                                std::string& outError)
{
    outError.clear();
    try {
        StoredHeader header;
        if (!ReadStoredHeader(source, header)) {
            outError = "damaged or cut stream: the 8-byte header is incomplete";
            return WaveFileResult::kDamagedStream;
        }
        if (!IsWritableStoredHeader(header)) {
            outError = "the stream names " + std::to_string(header.channels) + " channels at " +
                       std::to_string(header.rate) + " Hz; a wave file of 1 or 2 channels at 1..1000000 Hz is written";
            return WaveFileResult::kNotCodable;
        }
        const std::unique_ptr<pf::RiffWaveWriter> writer =
            pf::RiffWaveWriter::create(wavePath, pf::WaveFormat::pcm(header.channels, header.rate, 16), &outError);
        if (!writer)
            return WaveFileResult::kCannotWriteOutput;
        WaveDecoder decoder;
        FrameWriter frames(*writer, header.channels);
        const WaveFileResult decoded = DecodeData(source, decoder, frames);
        const uint64_t framesDecoded = writer->dataBytes() / (2u * header.channels);
        // A part is kept only when there is one: a wave file of no frames would claim a sound that is not there.
        const bool keptPart = decoded == WaveFileResult::kDamagedStream && options.keepPartial && framesDecoded > 0;
        const bool keep = decoded == WaveFileResult::kOk || keptPart;
        if (keep && !writer->finish()) {
            outError = writer->error();
            return WaveFileResult::kCannotWriteOutput;
        }
        if (decoded == WaveFileResult::kCannotWriteOutput)
            outError = writer->error();
        else if (decoded == WaveFileResult::kOutOfMemory)
            outError = "out of memory";
        else if (decoded == WaveFileResult::kDamagedStream)
            outError = "damaged or cut stream after " + std::to_string(framesDecoded) + " frames" +
                       (keptPart ? "; " + wavePath + " holds them" : "");
        return decoded;
    } catch (const std::bad_alloc&) {
        outError = "out of memory";
        return WaveFileResult::kOutOfMemory;
    }
}

bool DecodeToWaveFile(WaveByteSource& source, const std::string& wavePath)
{
    std::string ignored;
    return DecodeToWaveFile(source, wavePath, {}, ignored) == WaveFileResult::kOk;
}

} // namespace sound
