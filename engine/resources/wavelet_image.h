#pragma once
// SWwaveletimage (tag "WAVL"): a picture kept as a wavelet-coded "CIS3.0" stream at a quality the user chose. The
// pixels shown are the stream decoded again (blue, green, red from the codec, alpha 255), so the loss is visible
// in the editor and happens once: saving writes the kept stream as it is and loading never encodes again.
//
// Two states keep a picture that the codec cannot carry from being lost:
// - not encoded: the encoder refused the picture (a side above the codec's 65,535, no memory); the given pixels are
//   kept and stored as "PX32" instead of "WCIS";
// - damaged: a stored stream did not decode to the header's size; it is kept and written back byte for byte, and
//   the picture shows mid-grey. Read from a record, it shows a placeholder of kPlaceholderSide square instead of
//   the size the header states (a few bytes of stream could claim 128 MiB of grey); the stated size is what the
//   record is written back with.
//
// Record: "TXHD", "WQUA" (u32 quality), then "WCIS" (the stream) or "PX32" (w x h u32 words).
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "codecs/image/image_decoder.h"
#include "engine/resources/pixel_image.h"

class SWwaveletimage : public SWpixelimage {
public:
    static constexpr uint32_t kGrey = 0xFF808080u; // shown for a stream that does not decode
    static constexpr int32_t kPlaceholderSide = 8; // of what a read stream that does not decode shows

    SWwaveletimage(); // empty and invalid, for the tag registry
    ~SWwaveletimage() override;
    // pixels: width x height words 0xAARRGGBB (alpha is dropped). Quality is clamped to 0..100. A refused size
    // gives an invalid image; a picture the encoder refuses keeps these pixels, not encoded.
    SWwaveletimage(std::string name, int64_t width, int64_t height, const uint32_t* pixels, int quality);

    uint32_t GetQuality() const { return m_quality; }
    bool IsEncoded() const { return !m_stream.empty(); }
    bool IsStreamDamaged() const { return m_damaged; }
    std::span<const uint8_t> GetStream() const { return m_stream; } // empty when not encoded
    bool IsPlaceholder() const { return m_statedWidth != 0; }
    // The size the record states: the shown size, but for a placeholder.
    uint32_t GetStatedWidth() const { return IsPlaceholder() ? m_statedWidth : GetWidth32(); }
    uint32_t GetStatedHeight() const { return IsPlaceholder() ? m_statedHeight : GetHeight32(); }

    bool Read(SWchunkstream& in) override;   // false: damaged record, image unchanged; a bad stream alone is not
    bool Write(SWchunkstream& out) override; // the record's payload
    std::unique_ptr<SWtexture> Clone() const override;

    // -- Progressive loading: the "WCIS" bytes as they arrive. The image keeps its size, set before.
    // False, with nothing changed: no size yet, a placeholder, or length 0.
    bool BeginStream(uint32_t length);
    // Appends bytes and decodes as far as they reach, redrawing after each pass; once complete the container hears
    // kNotifyChanged once. Answers the decoder's last code (ImageDecoder::kNeedData, kPreview, kDone, kFailed);
    // kFailed also for bytes beyond the stated length or without BeginStream. A failure takes the damaged state.
    int FeedChunk(std::span<const uint8_t> bytes);

private:
    void ShowDecoded(std::span<const uint8_t> bgrx, size_t bytesPerPixel);
    void MarkDamaged(); // grey pixels, the stream kept, a report
    bool DecodeKeptStream();

    uint32_t m_quality = 0;
    std::vector<uint8_t> m_stream;
    bool m_damaged = false;
    uint32_t m_statedWidth = 0; // while a placeholder shows; 0 otherwise
    uint32_t m_statedHeight = 0;
    // Progressive state: the stream arrives into m_stream, which the decoder reads in place.
    std::unique_ptr<cis::ImageDecoder> m_decoder;
    size_t m_received = 0;
    bool m_finished = false;
};
