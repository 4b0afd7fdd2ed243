#include "codecs/image/image_decoder.h"

#include <algorithm>
#include <new>

#include "codecs/image/colour_transform.h"
#include "codecs/image/image_codec.h"
#include "codecs/image/preview_renderer.h"

namespace cis {
namespace {

constexpr int kMaxMissingForPreview = 4;
constexpr int kDisplayablePerStep = 3;

size_t OutputBytes(const CisHeader& header)
{
    return static_cast<size_t>(header.width) * static_cast<size_t>(header.height) * 4;
}

} // namespace

ImageDecoder::ImageDecoder(std::span<const uint8_t> streamBuffer, std::span<uint8_t> output, const DecodeLimits& limits)
    : m_stream(streamBuffer), m_output(output), m_limits(limits)
{
}

void ImageDecoder::SetBytesReceived(size_t count)
{
    m_received = std::min(count, m_stream.size());
}

int ImageDecoder::DecodeStep()
{
    if (m_finished)
        return kDone;
    if (m_failed)
        return kFailed;
    try {
        if (!m_headerParsed) {
            const int code = StepHeader();
            if (code != kDone)
                return code;
        }
        return m_header.IsProgressive() ? StepProgressive() : StepWhole();
    } catch (const std::bad_alloc&) {
        return Fail(DecodeStatus::kOutOfMemory);
    }
}

int ImageDecoder::StepHeader()
{
    switch (ParseHeader(m_stream.first(m_received), m_stream.size(), m_header, m_limits.maxPixels)) {
    case HeaderStatus::kNeedMore:
        return kNeedData;
    case HeaderStatus::kDamaged:
        return Fail(DecodeStatus::kDamaged);
    case HeaderStatus::kTooLarge:
        return Fail(DecodeStatus::kTooLarge);
    case HeaderStatus::kOk:
        break;
    }
    m_headerParsed = true;
    if (!PrepareOutput())
        return Fail(DecodeStatus::kOutputTooSmall);
    if (m_header.IsProgressive())
        m_planes.Allocate(m_header);
    return kDone;
}

bool ImageDecoder::PrepareOutput()
{
    const size_t bytes = OutputBytes(m_header);
    if (m_output.empty()) {
        m_ownOutput.assign(bytes, 0);
        m_output = m_ownOutput;
        return true;
    }
    if (m_output.size() < bytes)
        return false;
    m_output = m_output.first(bytes);
    return true;
}

int ImageDecoder::StepWhole()
{
    if (m_received < m_header.StreamBytes())
        return kNeedData;
    const PixelTarget out{m_output.data(), m_header.width, m_header.height, 4};
    if (!DecodeStreamPixels(m_header, m_stream.subspan(m_header.headerBytes, m_header.dataBytes), out))
        return Fail(DecodeStatus::kDamaged);
    m_finished = true;
    return kDone;
}

// Decodes every level whose bytes have all arrived, stopping after three displayable levels so that the caller
// can show each sharper preview; a level is displayable when at most four levels are missing after it.
int ImageDecoder::StepProgressive()
{
    const std::span<const uint8_t> coded = m_stream.subspan(m_header.headerBytes, m_header.dataBytes);
    int code = kNeedData;
    int displayable = 0;
    while (true) {
        const uint64_t needed = uint64_t{m_header.headerBytes} + m_header.LevelOffset(m_nextLevel) +
                                m_header.levelBytes[static_cast<size_t>(m_nextLevel)];
        if (m_received < needed) {
            code = kNeedData;
            break;
        }
        if (!m_planes.DecodeLevel(m_header, coded, m_nextLevel, m_coder))
            return Fail(DecodeStatus::kDamaged);
        const int missing = m_header.levels - m_nextLevel;
        ++m_nextLevel;
        code = missing == 0 ? kDone : kPreview;
        if (missing <= kMaxMissingForPreview)
            ++displayable;
        if (code == kDone || displayable == kDisplayablePerStep)
            break;
    }
    if (displayable == 0)
        return code;
    DrawLevels(m_header.levels - (m_nextLevel - 1));
    if (code != kDone)
        return kPreview;
    m_finished = true;
    m_planes.Release();
    return kDone;
}

void ImageDecoder::DrawLevels(int missingLevels)
{
    const int width = m_header.width;
    const int height = m_header.height;
    if (missingLevels == 0) {
        m_planes.ToPixels(m_header, PixelTarget{m_output.data(), width, height, 4});
        return;
    }
    const int s = missingLevels;
    const int sampleWidth = width >> s;
    const int sampleHeight = height >> s;
    const bool colour = m_header.PlaneCount() == 3;
    const int chromaShift = colour ? m_header.chromaShift[1] : 0;
    std::vector<uint32_t> samples(static_cast<size_t>(sampleWidth) * static_cast<size_t>(sampleHeight));
    for (int y = 0; y < sampleHeight; ++y) {
        for (int x = 0; x < sampleWidth; ++x) {
            const int32_t luma = m_planes.Plane(0).At(x, y) >> s;
            const int32_t i = colour ? m_planes.Plane(1).At(x, y) >> (s - chromaShift) : 0;
            const int32_t q = colour ? m_planes.Plane(2).At(x, y) >> (s - chromaShift) : 0;
            samples[static_cast<size_t>(y) * static_cast<size_t>(sampleWidth) + static_cast<size_t>(x)] =
                YiqToPackedColour(luma, i, q);
        }
    }
    DrawPreview(PreviewSamples{samples, sampleWidth, sampleHeight, s}, m_output.data(), width, height);
}

int ImageDecoder::Fail(DecodeStatus cause)
{
    m_failed = true;
    m_failure = cause;
    m_planes.Release();
    return kFailed;
}

} // namespace cis
