#include "engine/resources/wav_file.h"

#include <iterator>
#include <string>

#include "platform/base/atomic_file.h"
#include "platform/media/riff_wave_reader.h"
#include "platform/media/riff_wave_writer.h"
#include "platform/media/wave_format.h"

namespace {

constexpr uint16_t kTagPcm = 1;
constexpr uint16_t kTagExtensible = 0xFFFE;

const char* WaveErrorText(pf::WaveError error)
{
    static const char* const kTexts[] = {"opened",
                                         "missing or unreadable",
                                         "not a RIFF/WAVE file",
                                         "no \"fmt \" chunk",
                                         "\"fmt \" chunk too short",
                                         "no \"data\" chunk"};
    const auto index = static_cast<size_t>(static_cast<int>(error));
    return index < std::size(kTexts) ? kTexts[index] : "unreadable";
}

// Why a PCM layout is not one this system plays; empty when it is.
std::string RefusalOf(uint16_t channels, uint32_t rate, uint16_t bits)
{
    if (channels != 1 && channels != 2)
        return std::to_string(channels) + " channels (1 or 2 are taken)";
    if (bits != 8 && bits != 16)
        return std::to_string(bits) + " bits per sample (8 or 16 are taken)";
    if (rate == 0)
        return "sample rate 0";
    return {};
}

} // namespace

WavFile::WavFile(const std::string& path, bool write, uint8_t& outError, WavFormat& format, int mode)
    : MmioStream(mode, write)
{
    bool opened = false;
    if (mode == kModeRiffWave)
        opened = write ? OpenRiffSink(path, format) : OpenRiffSource(path, format);
    else if (mode == kModePlainFile)
        opened = write ? OpenPlainSink(path) : OpenPlainSource(path);
    else
        opened = Refuse("mode " + std::to_string(mode) + " does not open a path");
    outError = opened ? 0 : 1;
    if (!opened)
        SetFailed();
}

void WavFile::PretendWritten(uint64_t bytes)
{
    if (m_writer != nullptr)
        m_writer->pretendWritten(bytes);
}

bool WavFile::OpenRiffSource(const std::string& path, WavFormat& format)
{
    pf::WaveError error{};
    m_reader = pf::RiffWaveReader::open(path, &error);
    if (m_reader == nullptr)
        return Refuse(WaveErrorText(error));
    const pf::WaveFormat& stored = m_reader->format();
    const bool pcm = stored.tag == kTagPcm || (stored.tag == kTagExtensible && m_reader->subFormatTag() == kTagPcm);
    if (!pcm)
        return Refuse("format tag " + std::to_string(stored.tag) + " is not PCM");
    if (std::string why = RefusalOf(stored.channels, stored.rate, stored.bits); !why.empty())
        return Refuse(std::move(why));
    const uint32_t frameBytes = stored.channels * stored.bits / 8u;
    format = {stored.channels, stored.rate, stored.bits, m_reader->dataBytes() / frameBytes};
    return true;
}

bool WavFile::OpenRiffSink(const std::string& path, const WavFormat& format)
{
    if (std::string why = RefusalOf(format.channels, format.sampleRate, format.bitsPerSample); !why.empty())
        return Refuse(std::move(why));
    m_writer =
        pf::RiffWaveWriter::create(path, pf::WaveFormat::pcm(format.channels, format.sampleRate, format.bitsPerSample));
    return m_writer != nullptr || Refuse("cannot create " + path);
}

bool WavFile::OpenPlainSource(const std::string& path)
{
    m_file = std::fopen(path.c_str(), "rb");
    return m_file != nullptr || Refuse("cannot open " + path);
}

bool WavFile::OpenPlainSink(const std::string& path)
{
    std::string error;
    m_output = pf::AtomicFile::open(path, error);
    return m_output != nullptr || Refuse(error);
}

bool WavFile::Refuse(std::string why)
{
    m_refusal = std::move(why);
    return false;
}
