#include "engine/resources/wavelet_image.h"

#include <algorithm>
#include <new>

#include "codecs/image/image_codec.h"
#include "engine/core/child_records.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/record_builder.h"
#include "engine/core/tag_registry.h"
#include "engine/core/type_tag.h"
#include "engine/resources/resource_report.h"
#include "engine/resources/texture_header_record.h"

namespace {
const CVTN_TagRegistration kRegistration(MakeTag("WAVL"), &CreateContainer<SWwaveletimage>);

constexpr uint32_t kTagHeader = MakeTag("TXHD");
constexpr uint32_t kTagQuality = MakeTag("WQUA");
constexpr uint32_t kTagStream = MakeTag("WCIS");
constexpr uint32_t kTagPixels = MakeTag("PX32");

uint32_t PixelOfBgr(const uint8_t* bgr)
{
    return 0xFF000000u | static_cast<uint32_t>(bgr[2]) << 16 | static_cast<uint32_t>(bgr[1]) << 8 | bgr[0];
}

// The codec's picture: blue, green, red of every word, alpha dropped.
std::vector<uint8_t> BgrOfPixels(const uint32_t* pixels, size_t count)
{
    std::vector<uint8_t> bgr(count * 3);
    for (size_t i = 0; i < count; ++i) {
        bgr[i * 3] = static_cast<uint8_t>(pixels[i]);
        bgr[i * 3 + 1] = static_cast<uint8_t>(pixels[i] >> 8);
        bgr[i * 3 + 2] = static_cast<uint8_t>(pixels[i] >> 16);
    }
    return bgr;
}

// A stream larger than this for its picture is not one the encoder wrote (raw is 3 bytes a pixel).
uint64_t StreamCeilingBytes(uint64_t pixels)
{
    return pixels * 16 + 65536;
}

struct StoredWavelet {
    TextureHeader header;
    bool hasHeader = false;
    uint32_t quality = 0;
    std::vector<uint8_t> stream;
    std::vector<uint32_t> pixels;
    bool hasStream = false;
    bool hasPixels = false;
};

// stream decoded into width x height pixel words; false when it does not decode to that size.
bool DecodeStream(std::span<const uint8_t> stream, uint32_t width, uint32_t height, std::vector<uint32_t>& out)
{
    const uint64_t count = uint64_t{width} * height;
    cis::DecodeLimits limits;
    limits.maxPixels = count;
    cis::DecodedImage decoded;
    if (cis::DecodeImageChecked(stream, limits, decoded) != cis::DecodeStatus::kOk ||
        decoded.width != static_cast<int64_t>(width) || decoded.height != static_cast<int64_t>(height) ||
        decoded.pixels.size() / 3 < count)
        return false;
    out.resize(count);
    for (size_t i = 0; i < count; ++i)
        out[i] = PixelOfBgr(&decoded.pixels[i * 3]);
    return true;
}

bool ReadStreamRecord(SWchunkstream& in, const StoredWavelet& stored, std::vector<uint8_t>& out)
{
    const uint64_t length = in.Remaining();
    if (length == 0 || length > StreamCeilingBytes(uint64_t{stored.header.width} * stored.header.height))
        return false;
    out.resize(length);
    return in.ReadBytes(out) == length;
}

bool ReadPixelRecord(SWchunkstream& in, const StoredWavelet& stored, std::vector<uint32_t>& out)
{
    const uint64_t count = uint64_t{stored.header.width} * stored.header.height;
    if (in.Remaining() / 4 != count || in.Remaining() % 4 != 0)
        return false; // a pixel record of the wrong size fails the record
    out.resize(count);
    return in.ReadU32s(out);
}

bool ReadSubRecord(uint32_t tag, SWchunkstream& in, StoredWavelet& stored)
{
    if (tag == kTagHeader)
        return stored.hasHeader = ReadTextureHeader(in, stored.header);
    if (tag == kTagQuality)
        return in.ReadU32(stored.quality);
    if (!stored.hasHeader)
        return tag != kTagStream && tag != kTagPixels; // pixels mean nothing before their size
    if (tag == kTagStream)
        return stored.hasStream = ReadStreamRecord(in, stored, stored.stream);
    if (tag == kTagPixels)
        return stored.hasPixels = ReadPixelRecord(in, stored, stored.pixels);
    return true; // a later sub-record: skipped
}
} // namespace

SWwaveletimage::SWwaveletimage()
{
    AddTypeTag(MakeTag("WAVL"));
}

SWwaveletimage::~SWwaveletimage() = default;

SWwaveletimage::SWwaveletimage(std::string name, int64_t width, int64_t height, const uint32_t* pixels, int quality)
    : SWwaveletimage()
{
    SetName(std::move(name));
    m_quality = static_cast<uint32_t>(std::clamp(quality, 0, 100));
    if (!Allocate(width, height))
        return;
    if (pixels != nullptr)
        std::copy(pixels, pixels + PixelCount(), Pixels().begin());
    try {
        const std::vector<uint8_t> bgr = BgrOfPixels(Pixels().data(), PixelCount());
        m_stream = cis::EncodeImage(static_cast<int>(width), static_cast<int>(height), bgr, quality);
    } catch (const std::bad_alloc&) {
        m_stream.clear();
    }
    // A refused picture keeps the given pixels and is stored plain: a texture without pixels helps nobody.
    if (!m_stream.empty() && !DecodeKeptStream())
        MarkDamaged();
}

bool SWwaveletimage::Read(SWchunkstream& in)
{
    StoredWavelet stored;
    try {
        const auto readChild = [&stored](uint32_t tag, SWchunkstream& child) {
            return ReadSubRecord(tag, child, stored);
        };
        if (!ReadChildRecords(in, readChild))
            return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (in.Status() != 0 || !stored.hasHeader || stored.hasStream == stored.hasPixels)
        return false;

    std::vector<uint32_t> shown;
    bool damaged = false;
    const uint32_t statedWidth = stored.header.width, statedHeight = stored.header.height;
    try {
        if (stored.hasPixels) {
            shown.swap(stored.pixels);
        } else if (!DecodeStream(stored.stream, statedWidth, statedHeight, shown)) {
            damaged = true;
            shown.assign(size_t{kPlaceholderSide} * kPlaceholderSide, kGrey);
            stored.header.width = stored.header.height = kPlaceholderSide;
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    TakeStoredImage(stored.header, shown);
    m_quality = std::min(stored.quality, 100u);
    m_stream.swap(stored.stream);
    m_statedWidth = damaged ? statedWidth : 0;
    m_statedHeight = damaged ? statedHeight : 0;
    m_damaged = false;
    m_decoder.reset();
    if (damaged)
        MarkDamaged();
    Touch();
    return true;
}

bool SWwaveletimage::Write(SWchunkstream& out)
{
    if (!IsValid() || !WriteTextureHeader(out, *this, GetStatedWidth(), GetStatedHeight()))
        return false;
    {
        SWrecordbuilder quality(out, kTagQuality);
        quality.Stream().WriteU32(m_quality);
        if (!quality.Finish())
            return false;
    }
    if (!m_stream.empty()) {
        SWrecordbuilder stream(out, kTagStream);
        stream.Stream().WriteBytes(m_stream);
        return stream.Finish();
    }
    SWrecordbuilder plain(out, kTagPixels);
    plain.Stream().WriteU32s(Pixels());
    return plain.Finish();
}

std::unique_ptr<SWtexture> SWwaveletimage::Clone() const
{
    if (!IsValid())
        return nullptr;
    try {
        auto copy = std::make_unique<SWwaveletimage>();
        CopyImageTo(*copy);
        copy->m_quality = m_quality;
        copy->m_stream = m_stream;
        copy->m_damaged = m_damaged;
        copy->m_statedWidth = m_statedWidth;
        copy->m_statedHeight = m_statedHeight;
        return copy;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool SWwaveletimage::BeginStream(uint32_t length)
{
    if (!IsValid() || IsPlaceholder() || length == 0 || length > StreamCeilingBytes(PixelCount()))
        return false;
    std::vector<uint8_t> buffer;
    try {
        buffer.assign(length, 0);
        cis::DecodeLimits limits;
        limits.maxPixels = PixelCount();
        m_stream.swap(buffer);
        m_decoder =
            std::make_unique<cis::ImageDecoder>(std::span<const uint8_t>(m_stream), std::span<uint8_t>(), limits);
    } catch (const std::bad_alloc&) {
        m_stream.swap(buffer);
        return false;
    }
    std::fill(Pixels().begin(), Pixels().end(), kGrey);
    m_received = 0;
    m_finished = false;
    m_damaged = false;
    return true;
}

int SWwaveletimage::FeedChunk(std::span<const uint8_t> bytes)
{
    if (m_decoder == nullptr || bytes.size() > m_stream.size() - m_received) {
        if (m_decoder != nullptr && !m_damaged)
            MarkDamaged();
        return cis::ImageDecoder::kFailed;
    }
    std::copy(bytes.begin(), bytes.end(), m_stream.begin() + static_cast<std::ptrdiff_t>(m_received));
    m_received += bytes.size();
    if (m_finished)
        return cis::ImageDecoder::kDone;
    if (m_damaged)
        return cis::ImageDecoder::kFailed; // the rest is still kept, to be written back as it came
    m_decoder->SetBytesReceived(m_received);
    for (;;) {
        const int code = m_decoder->DecodeStep();
        const bool sizeDiffers =
            m_decoder->HasHeader() && (m_decoder->Width() != GetWidth() || m_decoder->Height() != GetHeight());
        if (code == cis::ImageDecoder::kFailed || sizeDiffers) {
            MarkDamaged();
            return cis::ImageDecoder::kFailed;
        }
        if (code == cis::ImageDecoder::kNeedData)
            return code;
        ShowDecoded(m_decoder->Pixels(), 4);
        if (code == cis::ImageDecoder::kDone) {
            m_finished = true;
            Touch(); // the one kNotifyChanged of the load
            return code;
        }
        SetStamp(GetStamp() + 1); // a redraw without telling listeners: they hear once, when it is complete
    }
}

void SWwaveletimage::ShowDecoded(std::span<const uint8_t> bgrx, size_t bytesPerPixel)
{
    std::vector<uint32_t>& pixels = Pixels();
    const size_t count = std::min(pixels.size(), bgrx.size() / bytesPerPixel);
    for (size_t i = 0; i < count; ++i)
        pixels[i] = PixelOfBgr(&bgrx[i * bytesPerPixel]);
}

void SWwaveletimage::MarkDamaged()
{
    m_damaged = true;
    std::fill(Pixels().begin(), Pixels().end(), kGrey);
    ReportResource({GetName(), "Damaged wavelet image"});
}

bool SWwaveletimage::DecodeKeptStream()
{
    return DecodeStream(m_stream, GetWidth32(), GetHeight32(), Pixels());
}
