// Damaged, truncated and random streams: both decoders refuse them without crashing, hanging or reading out of
// bounds (the suite runs under the address and undefined-behaviour sanitizers).
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "codecs/entropy/arith_coder.h"
#include "codecs/image/cis_header.h"
#include "codecs/image/image_codec.h"
#include "codecs/image/image_decoder.h"
#include "codecs/image/raw_stream.h"
#include "codecs/image/tests/test_pictures.h"
#include "platform/base/endian.h"

namespace cis {
namespace {

using testing::Picture;
using Stream = std::vector<uint8_t>;

// The progressive decoder fed in chunks of `chunk` bytes: its last code once it stops.
int FeedDecoder(const Stream& stream, size_t chunk)
{
    ImageDecoder decoder(stream);
    int code = ImageDecoder::kNeedData;
    size_t received = 0;
    for (int steps = 0; steps < 100000; ++steps) {
        if (code == ImageDecoder::kNeedData) {
            if (received == stream.size())
                return code;
            received = std::min(stream.size(), received + chunk);
            decoder.SetBytesReceived(received);
        }
        code = decoder.DecodeStep();
        if (code == ImageDecoder::kDone || code == ImageDecoder::kFailed)
            return code;
    }
    ADD_FAILURE() << "the decoder did not finish";
    return code;
}

void ExpectRefused(const Stream& stream)
{
    EXPECT_FALSE(DecodeImage(stream).has_value());
    const int code = FeedDecoder(stream, 13);
    EXPECT_TRUE(code == ImageDecoder::kFailed || code == ImageDecoder::kNeedData) << code;
}

// Either decoder may accept a damaged stream that still reads as a picture; it must not crash doing so, and an
// accepted picture has the stated size.
void ExpectHandled(const Stream& stream)
{
    const std::optional<DecodedImage> decoded = DecodeImage(stream);
    if (decoded) {
        EXPECT_EQ(decoded->pixels.size(), size_t(decoded->width) * size_t(decoded->height) * 3);
    }
    FeedDecoder(stream, 29);
}

Stream ValidWavelet(int w = 100, int h = 70, int quality = 50)
{
    const Picture p = testing::PhotoLike(w, h, 3);
    return EncodeImage(p.width, p.height, p.pixels, quality);
}

size_t PlanesOffset(const Stream& s)
{
    return 30 + 4 * (size_t{s[29]} + 1);
}

TEST(DamagedHeader, EachRefusedFieldChangeIsRefused)
{
    const Stream valid = ValidWavelet();
    ASSERT_TRUE(DecodeImage(valid).has_value());
    ASSERT_EQ(valid[29], 4);
    const std::vector<std::pair<const char*, std::function<void(Stream&)>>> changes = {
        {"identifier", [](Stream& s) { s[1] = 'X'; }},
        {"older version", [](Stream& s) { s[3] = '2'; }},
        {"minor version", [](Stream& s) { s[5] = '1'; }},
        {"header length below its fields", [](Stream& s) { pf::storeU16le(&s[8], 40); }},
        {"header length below raw minimum", [](Stream& s) { pf::storeU16le(&s[8], 12); }},
        {"header length past the stream",
         [](Stream& s) { pf::storeU16le(&s[8], static_cast<uint16_t>(s.size() + 1)); }},
        {"data length past the stream", [](Stream& s) { pf::storeU32le(&s[10], pf::loadU32le(&s[10]) + 1); }},
        {"data length huge", [](Stream& s) { pf::storeU32le(&s[10], 0xFFFFFFF0u); }},
        {"width 0", [](Stream& s) { pf::storeU16le(&s[16], 0); }},
        {"height 0", [](Stream& s) { pf::storeU16le(&s[18], 0); }},
        {"too many pixels",
         [](Stream& s) {
             pf::storeU16le(&s[16], 65535);
             pf::storeU16le(&s[18], 65535);
         }},
        {"coder kind 9", [](Stream& s) { s[24] = 9; }},
        {"coder kind 4", [](Stream& s) { s[24] = 4; }},
        {"transform 3", [](Stream& s) { s[25] = 3; }},
        {"byte 26", [](Stream& s) { s[26] = 0; }},
        {"byte 27", [](Stream& s) { s[27] = 2; }},
        {"colour flag 2", [](Stream& s) { s[21] = 2; }},
        {"level count 0", [](Stream& s) { s[29] = 0; }},
        {"level count 6", [](Stream& s) { s[29] = 6; }},
        {"passes shorter than 6", [](Stream& s) { pf::storeU16le(&s[16], 40); }},
        {"level sizes beyond the data", [](Stream& s) { pf::storeU32le(&s[30], pf::loadU32le(&s[10]) + 1); }},
        {"level sizes wrapping",
         [](Stream& s) {
             pf::storeU32le(&s[30], 0xFFFFFFFFu);
             pf::storeU32le(&s[34], 2);
         }},
        {"luma subsampled", [](Stream& s) { s[PlanesOffset(s) + 1] = 1; }},
        {"chroma shift 2",
         [](Stream& s) {
             s[PlanesOffset(s) + 3] = 2;
             s[PlanesOffset(s) + 5] = 2;
         }},
        {"chroma shifts differ", [](Stream& s) { s[PlanesOffset(s) + 3] = 1; }},
        {"dropped beyond the levels", [](Stream& s) { s[PlanesOffset(s)] = 5; }},
    };
    for (const auto& [name, change] : changes) {
        SCOPED_TRACE(name);
        Stream damaged = valid;
        change(damaged);
        ExpectRefused(damaged);
    }
}

TEST(DamagedHeader, ShiftedLevelSizesAndDroppedLevelsNeverCrash)
{
    const Stream valid = ValidWavelet();
    for (size_t k = 0; k + 1 <= valid[29]; ++k) {
        Stream moved = valid; // one byte moved from level k to level k + 1: bands start in the wrong place
        pf::storeU32le(&moved[30 + 4 * k], pf::loadU32le(&moved[30 + 4 * k]) - 1);
        pf::storeU32le(&moved[34 + 4 * k], pf::loadU32le(&moved[34 + 4 * k]) + 1);
        ExpectHandled(moved);
    }
    for (uint8_t dropped = 1; dropped <= 4; ++dropped) {
        Stream fewer = valid;
        fewer[PlanesOffset(fewer) + 2] = dropped;
        ExpectHandled(fewer);
    }
    Stream halved = valid; // a chroma shift the data were not coded for
    halved[PlanesOffset(halved) + 3] = halved[PlanesOffset(halved) + 5] = 1;
    ExpectHandled(halved);
}

TEST(DamagedStream, TruncationAtEveryLengthIsRefused)
{
    const Picture small = testing::PhotoLike(23, 23, 4);
    const Picture tiny = testing::Noise(5, 6, 5);
    const Picture photo = testing::PhotoLike(30, 30, 6);
    WaveletOptions words;
    words.reversible = true;
    words.coderKind = CoderKind::kWords;
    const std::vector<Stream> streams = {
        EncodeImage(small.width, small.height, small.pixels, 40),
        EncodeImage(tiny.width, tiny.height, tiny.pixels, 40),
        EncodePaletteImage(photo.width, photo.height, photo.pixels, 32),
        EncodeWaveletImage(small.width, small.height, small.pixels, words),
    };
    for (const Stream& stream : streams) {
        ASSERT_FALSE(stream.empty());
        ASSERT_TRUE(DecodeImage(stream).has_value());
        for (size_t length = 0; length < stream.size(); ++length) {
            const Stream cut(stream.begin(), stream.begin() + static_cast<ptrdiff_t>(length));
            EXPECT_FALSE(DecodeImage(cut).has_value()) << length;
            const int code = FeedDecoder(cut, 1 + length % 17);
            EXPECT_TRUE(code == ImageDecoder::kFailed || code == ImageDecoder::kNeedData) << length;
        }
    }
}

// The first band's header sits right after the stream header: maximum, minimum, limit.
TEST(DamagedStream, BandLimitsBeyondTheCoderAreRefused)
{
    Stream bytes = ValidWavelet();
    const size_t band = pf::loadU16le(&bytes[8]);
    pf::storeU16le(&bytes[band + 4], 127); // -127..128 no longer fits a signed byte
    ExpectRefused(bytes);
    pf::storeU16le(&bytes[band + 4], 60000);
    ExpectRefused(bytes);

    const Picture p = testing::PhotoLike(50, 50, 7);
    WaveletOptions options;
    options.coderKind = CoderKind::kWords;
    Stream words = EncodeWaveletImage(p.width, p.height, p.pixels, options);
    ASSERT_TRUE(DecodeImage(words).has_value());
    const size_t wordBand = pf::loadU16le(&words[8]);
    pf::storeU16le(&words[wordBand + 4], kMaxWordLimit + 1); // 2L + 3 reaches the 17-bit model's total
    ExpectRefused(words);
}

TEST(DamagedStream, StaticModelWithZeroCountsIsRefused)
{
    const Picture p = testing::PhotoLike(50, 50, 8);
    WaveletOptions options;
    options.coderKind = CoderKind::kStatic;
    Stream bytes = EncodeWaveletImage(p.width, p.height, p.pixels, options);
    ASSERT_TRUE(DecodeImage(bytes).has_value());
    const size_t band = pf::loadU16le(&bytes[8]);
    const size_t counts = 2 * (2 * size_t{pf::loadU16le(&bytes[band + 4])} + 2); // n + 1 counts of the low band
    std::fill_n(bytes.begin() + static_cast<ptrdiff_t>(band + 6), counts, 0);
    ExpectRefused(bytes);
}

Stream RawPaletteStream(uint16_t colours, const std::vector<uint8_t>& indices, int width, int height)
{
    CisHeader header;
    header.width = static_cast<uint16_t>(width);
    header.height = static_cast<uint16_t>(height);
    header.bitsOrColours = 8;
    header.colourFlag = 1;
    header.coderKind = 2;
    std::vector<uint8_t> data(2 + 3 * size_t{std::min<uint16_t>(colours, 300)}, 0x55);
    data[0] = static_cast<uint8_t>(colours);
    data[1] = static_cast<uint8_t>(colours >> 8);
    ArithCoder coder;
    coder.EncodeBytes(data, indices, 257);
    header.dataBytes = static_cast<uint32_t>(data.size());
    Stream stream = WriteHeader(header);
    stream.insert(stream.end(), data.begin(), data.end());
    return stream;
}

TEST(DamagedStream, PaletteCountsAndIndicesOutOfRangeAreRefused)
{
    const std::vector<uint8_t> indices = {0, 1, 2, 3, 3, 2, 1, 0, 0};
    ASSERT_TRUE(DecodeImage(RawPaletteStream(4, indices, 3, 3)).has_value());
    ExpectRefused(RawPaletteStream(300, indices, 3, 3)); // more entries than a palette holds
    ExpectRefused(RawPaletteStream(0, indices, 3, 3));
    std::vector<uint8_t> beyond = indices;
    beyond[4] = 7;
    ExpectRefused(RawPaletteStream(4, beyond, 3, 3));                      // an index past the palette
    ExpectRefused(RawPaletteStream(4, std::vector<uint8_t>(10, 1), 3, 3)); // more indices than pixels

    const Picture photo = testing::PhotoLike(40, 30, 9);
    const Stream palette = EncodePaletteImage(photo.width, photo.height, photo.pixels, 16);
    const std::optional<PalettePicture> decoded = DecodePalettePicture(palette);
    ASSERT_TRUE(decoded.has_value());
    const size_t firstChunk = pf::loadU16le(&palette[8]) + 3 * size_t(decoded->Colours());
    const uint32_t count = pf::loadU32le(&palette[firstChunk]);
    for (const uint32_t wrong : {uint32_t{40 * 30 + 1}, count + 1, count - 1, 0xFFFFFFFFu}) {
        Stream damaged = palette;
        pf::storeU32le(&damaged[firstChunk], wrong);
        ExpectRefused(damaged);
    }
    Stream deeper = palette; // one chunk more than the stream holds
    deeper[29] = static_cast<uint8_t>(deeper[29] + 1);
    ExpectRefused(deeper);
}

TEST(DamagedStream, RandomMutationsNeverCrash)
{
    const Picture p = testing::PhotoLike(48, 40, 10);
    WaveletOptions subsampled;
    subsampled.chromaShift = 1;
    const std::vector<Stream> streams = {
        ValidWavelet(48, 40, 70),
        EncodeImage(p.width, p.height, p.pixels, 100),
        EncodePaletteImage(p.width, p.height, p.pixels, 40),
        EncodeWaveletImage(p.width, p.height, p.pixels, subsampled),
    };
    std::mt19937 rng(11);
    for (const Stream& valid : streams) {
        for (int trial = 0; trial < 150; ++trial) {
            Stream damaged = valid;
            const int flips = 1 + static_cast<int>(rng() % 4);
            for (int f = 0; f < flips; ++f)
                damaged[rng() % damaged.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
            ExpectHandled(damaged);
        }
    }
}

TEST(DamagedStream, RandomBytesBehindAPlausibleHeaderNeverCrash)
{
    std::mt19937 rng(12);
    for (int trial = 0; trial < 300; ++trial) {
        Stream bytes(67 + rng() % 400);
        for (uint8_t& b : bytes)
            b = static_cast<uint8_t>(rng());
        CisHeader header;
        header.width = static_cast<uint16_t>(1 + rng() % 120);
        header.height = static_cast<uint16_t>(1 + rng() % 120);
        header.colourFlag = static_cast<uint8_t>(rng() % 2);
        header.coderKind = static_cast<uint8_t>(std::array<int, 4>{1, 2, 3, 5}[rng() % 4]);
        header.transform = static_cast<uint8_t>(std::array<int, 3>{1, 2, 100}[rng() % 3]);
        header.levels = static_cast<uint8_t>(1 + rng() % 5);
        const Stream head = WriteHeader(header);
        std::copy(head.begin(), head.end(), bytes.begin());
        pf::storeU32le(&bytes[10], static_cast<uint32_t>(bytes.size() - head.size()));
        ExpectHandled(bytes);
        Stream noise(rng() % 100);
        for (uint8_t& b : noise)
            b = static_cast<uint8_t>(rng());
        ExpectHandled(noise);
    }
}

} // namespace
} // namespace cis
