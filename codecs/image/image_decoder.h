#pragma once
// ImageDecoder: decodes a "CIS3.0" stream while its bytes arrive. The caller owns a buffer of the whole stream's
// length, copies arriving bytes to its end, reports the running count, and calls DecodeStep after each chunk.
// Lossy wavelet streams draw a coarse preview as soon as at most four levels are missing and sharpen it level by
// level; raw, reversible and palette streams are decoded in one go once complete. Pixels are 4 bytes: blue,
// green, red, 0 (a little-endian 0x00RRGGBB), rows of width x 4 bytes.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "codecs/entropy/arith_coder.h"
#include "codecs/image/cis_header.h"
#include "codecs/image/wavelet_planes.h"

namespace cis {

class ImageDecoder {
public:
    static constexpr int kDone = 0;      // the picture is complete; every further step returns 0
    static constexpr int kPreview = 10;  // a preview pass was drawn and more is to come: call again
    static constexpr int kNeedData = 11; // more bytes are needed
    static constexpr int kFailed = -1;   // sticky; Failure() tells why

    // Both buffers are the caller's and must outlive the decoder. An empty output makes the decoder allocate
    // width x height x 4 bytes once the header is known; a caller's output must hold that many. A header stating
    // more pixels than the limits allow fails before anything is allocated for it.
    explicit ImageDecoder(std::span<const uint8_t> streamBuffer, std::span<uint8_t> output = {},
                          const DecodeLimits& limits = {});

    void SetBytesReceived(size_t count); // bytes of the stream buffer filled so far (clamped to its size)
    int DecodeStep();

    DecodeStatus Failure() const { return m_failure; } // kOk until a step returns kFailed
    bool HasHeader() const { return m_headerParsed; }
    int Width() const { return m_header.width; }                 // after kTooLarge, the stated width
    int Height() const { return m_header.height; }               // after kTooLarge, the stated height
    std::span<const uint8_t> Pixels() const { return m_output; } // empty until the header is known

private:
    int StepHeader();
    bool PrepareOutput();
    int StepWhole();
    int StepProgressive();
    void DrawLevels(int missingLevels);
    int Fail(DecodeStatus cause);

    std::span<const uint8_t> m_stream; // the caller's stream buffer
    std::span<uint8_t> m_output;       // the caller's pixels, or m_ownOutput
    std::vector<uint8_t> m_ownOutput;
    DecodeLimits m_limits;
    size_t m_received = 0;
    CisHeader m_header;
    WaveletPlanes m_planes;
    ArithCoder m_coder;
    int m_nextLevel = 0;
    bool m_headerParsed = false;
    bool m_finished = false;
    bool m_failed = false;
    DecodeStatus m_failure = DecodeStatus::kOk;
};

} // namespace cis
