#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "codecs/image/image_codec.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/record_builder.h"
#include "engine/core/type_tag.h"
#include "engine/resources/palette_image.h"
#include "engine/resources/resource_report.h"
#include "engine/resources/wavelet_image.h"
#include "platform/base/color.h"
#include "testsupport/image/png_image.h"

namespace {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> words;
};

// The committed photograph as pixel words built here, so a channel swapped on either side shows.
Picture Photo()
{
    std::string error;
    const auto png = testsupport::ReadPng("codecs/image/tests/data/photo_96x64.png", error);
    EXPECT_TRUE(png.has_value()) << error;
    Picture picture;
    if (!png)
        return picture;
    picture.width = png->width;
    picture.height = png->height;
    for (size_t i = 0; i < png->pixels.size() / 3; ++i)
        picture.words.push_back(pf::makePixel(png->pixels[i * 3 + 2], png->pixels[i * 3 + 1], png->pixels[i * 3], 7));
    return picture;
}

std::vector<uint8_t> BgrOf(const Picture& picture)
{
    std::vector<uint8_t> bgr;
    for (const uint32_t word : picture.words) {
        bgr.push_back(static_cast<uint8_t>(word));
        bgr.push_back(static_cast<uint8_t>(word >> 8));
        bgr.push_back(static_cast<uint8_t>(word >> 16));
    }
    return bgr;
}

std::vector<uint32_t> OpaqueWordsOf(const cis::DecodedImage& image)
{
    std::vector<uint32_t> words;
    for (size_t i = 0; i < image.pixels.size() / 3; ++i)
        words.push_back(pf::makePixel(image.pixels[i * 3 + 2], image.pixels[i * 3 + 1], image.pixels[i * 3], 255));
    return words;
}

std::vector<uint32_t> PixelsOf(const SWtexture& texture)
{
    return {texture.GetPixels(), texture.GetPixels() + texture.GetWidth32() * texture.GetHeight32()};
}

std::vector<uint8_t> PayloadOf(CVTN_Container& object)
{
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    EXPECT_TRUE(object.Write(out));
    return buffer.ToVector();
}

bool ReadPayload(CVTN_Container& object, const std::vector<uint8_t>& payload)
{
    SWchunkstream in(payload);
    return object.Read(in);
}

// Sub-records of a payload by tag, in order, for building damaged variants.
struct SubRecord {
    uint32_t tag;
    std::vector<uint8_t> body;
};

std::vector<SubRecord> SplitPayload(const std::vector<uint8_t>& payload)
{
    std::vector<SubRecord> records;
    SWchunkstream in(payload);
    while (in.Remaining() >= 8) {
        SubRecord record{in.TakeTag(), {}};
        const auto child = in.OpenChild();
        record.body.resize(child->Remaining());
        child->ReadBytes(record.body);
        records.push_back(std::move(record));
    }
    return records;
}

std::vector<uint8_t> JoinPayload(const std::vector<SubRecord>& records)
{
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    for (const SubRecord& record : records) {
        SWrecordbuilder builder(out, record.tag);
        builder.Stream().WriteBytes(record.body);
        builder.Finish();
    }
    return buffer.ToVector();
}

std::vector<uint8_t> U32Bytes(uint32_t value)
{
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
            static_cast<uint8_t>(value >> 24)};
}

// Hears kNotifyChanged from wavelet textures and counts it.
class ChangeCounter : public CVTN_Container {
public:
    ChangeCounter() { RegisterListener(kNotifyChanged, MakeTag("WAVL")); }
    void Notify(uint32_t code, CVTN_Container* /*sender*/) override { heard += code == kNotifyChanged ? 1 : 0; }
    int heard = 0;
};

TEST(WaveletImage, KeepsTheEncodersStreamAndShowsItDecoded)
{
    const Picture photo = Photo();
    ASSERT_FALSE(photo.words.empty());
    for (const int quality : {10, 50, 90}) {
        SCOPED_TRACE(quality);
        const SWwaveletimage image("photo", photo.width, photo.height, photo.words.data(), quality);
        const std::vector<uint8_t> expected = cis::EncodeImage(photo.width, photo.height, BgrOf(photo), quality);
        EXPECT_EQ(std::vector<uint8_t>(image.GetStream().begin(), image.GetStream().end()), expected);
        const auto decoded = cis::DecodeImage(expected);
        ASSERT_TRUE(decoded.has_value());
        EXPECT_EQ(PixelsOf(image), OpaqueWordsOf(*decoded));
        EXPECT_EQ(image.GetQuality(), static_cast<uint32_t>(quality));
        EXPECT_NE(PixelsOf(image), photo.words) << "lossy, and the loss is shown";
    }
}

TEST(WaveletImage, QualityHundredGivesTheSourceExactly)
{
    const Picture photo = Photo();
    const SWwaveletimage image("photo", photo.width, photo.height, photo.words.data(), 100);
    std::vector<uint32_t> opaque = photo.words;
    for (uint32_t& word : opaque)
        word |= 0xFF000000u;
    EXPECT_EQ(PixelsOf(image), opaque);
}

TEST(WaveletImage, SaveAndReloadKeepTheStreamByteForByte)
{
    const Picture photo = Photo();
    SWwaveletimage image("photo", photo.width, photo.height, photo.words.data(), 50);
    image.SetTextureFlags(SWtexture::kFlagBilinear);
    const std::vector<uint8_t> payload = PayloadOf(image);

    SWwaveletimage loaded;
    ASSERT_TRUE(ReadPayload(loaded, payload));
    EXPECT_EQ(loaded.GetName(), "photo");
    EXPECT_EQ(loaded.GetTextureFlags(), SWtexture::kFlagBilinear);
    EXPECT_EQ(loaded.GetQuality(), 50u);
    EXPECT_TRUE(std::equal(loaded.GetStream().begin(), loaded.GetStream().end(), image.GetStream().begin(),
                           image.GetStream().end()));
    EXPECT_EQ(PixelsOf(loaded), PixelsOf(image));
    EXPECT_EQ(PayloadOf(loaded), payload) << "never encoded again";

    const auto clone = CloneTextureObject(&loaded);
    ASSERT_NE(clone, nullptr);
    ASSERT_EQ(clone->GetTag(), MakeTag("WAVL"));
    EXPECT_EQ(PayloadOf(*clone), payload);
    EXPECT_EQ(PixelsOf(*clone), PixelsOf(loaded));
}

TEST(WaveletImage, ProgressiveFeedEndsWithTheOneShotPixelsAndOneChange)
{
    const Picture photo = Photo();
    for (const int quality : {30, 100}) {
        const SWwaveletimage source("photo", photo.width, photo.height, photo.words.data(), quality);
        const std::span<const uint8_t> stream = source.GetStream();
        for (const size_t chunk : {size_t{1}, size_t{7}, size_t{1024}}) {
            SCOPED_TRACE(testing::Message() << "quality " << quality << ", chunk " << chunk);
            SWwaveletimage target("photo", photo.width, photo.height, nullptr, 0);
            const ChangeCounter counter;
            ASSERT_TRUE(target.BeginStream(static_cast<uint32_t>(stream.size())));
            int code = cis::ImageDecoder::kNeedData;
            for (size_t at = 0; at < stream.size(); at += chunk)
                code = target.FeedChunk(stream.subspan(at, std::min(chunk, stream.size() - at)));
            EXPECT_EQ(code, cis::ImageDecoder::kDone);
            EXPECT_EQ(PixelsOf(target), PixelsOf(source));
            EXPECT_EQ(counter.heard, 1);
            EXPECT_FALSE(target.IsStreamDamaged());
        }
    }
}

TEST(WaveletImage, ProgressiveFeedOfAnotherSizeOrTooManyBytesGoesGrey)
{
    const Picture photo = Photo();
    const SWwaveletimage source("photo", photo.width, photo.height, photo.words.data(), 50);
    const std::span<const uint8_t> stream = source.GetStream();
    (void)TakeKeptResourceReports();

    SWwaveletimage smaller("small", 32, 32, nullptr, 0);
    ASSERT_TRUE(smaller.BeginStream(static_cast<uint32_t>(stream.size())));
    EXPECT_EQ(smaller.FeedChunk(stream), cis::ImageDecoder::kFailed);
    EXPECT_TRUE(smaller.IsStreamDamaged());
    EXPECT_EQ(PixelsOf(smaller), std::vector<uint32_t>(32 * 32, SWwaveletimage::kGrey));

    SWwaveletimage same("photo", photo.width, photo.height, nullptr, 0);
    ASSERT_TRUE(same.BeginStream(static_cast<uint32_t>(stream.size() - 1)));
    EXPECT_EQ(same.FeedChunk(stream), cis::ImageDecoder::kFailed) << "more than the stated length";
    EXPECT_EQ(TakeKeptResourceReports().reports.size(), 2u);
}

TEST(WaveletImage, RefusedByTheEncoderKeepsItsPixelsAsPlainWords)
{
    std::vector<uint32_t> row(65536);
    for (size_t i = 0; i < row.size(); ++i)
        row[i] = 0xFF000000u | static_cast<uint32_t>(i * 2654435761u >> 8);
    SWwaveletimage wide("wide", 65536, 1, row.data(), 50);
    ASSERT_TRUE(wide.IsValid()) << "a size textures allow, beyond the codec's sides";
    EXPECT_FALSE(wide.IsEncoded());
    EXPECT_EQ(PixelsOf(wide), row);

    const std::vector<uint8_t> payload = PayloadOf(wide);
    const auto records = SplitPayload(payload);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[2].tag, MakeTag("PX32"));
    SWwaveletimage loaded;
    ASSERT_TRUE(ReadPayload(loaded, payload));
    EXPECT_EQ(PixelsOf(loaded), row);
    EXPECT_FALSE(loaded.IsEncoded());
}

// A stream that does not decode shows a small grey placeholder, however large the size its header states (a few
// bytes of stream once made 128 MiB of grey), and is written back byte for byte with that size.
TEST(WaveletImage, AStreamThatDoesNotDecodeShowsAPlaceholderAndIsWrittenBackUnchanged)
{
    const Picture photo = Photo();
    SWwaveletimage image("photo", photo.width, photo.height, photo.words.data(), 70);
    auto truncated = SplitPayload(PayloadOf(image));
    ASSERT_EQ(truncated[2].tag, MakeTag("WCIS"));
    truncated[2].body.resize(truncated[2].body.size() / 2);
    auto large = truncated;
    std::copy_n(U32Bytes(8192).begin(), 4, large[0].body.end() - 12);
    std::copy_n(U32Bytes(4096).begin(), 4, large[0].body.end() - 8);
    const std::vector<uint8_t> damagedPayloads[] = {JoinPayload(truncated), JoinPayload(large)};
    const uint32_t statedWidths[] = {static_cast<uint32_t>(photo.width), 8192};
    const uint32_t statedHeights[] = {static_cast<uint32_t>(photo.height), 4096};
    (void)TakeKeptResourceReports();

    for (size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(i == 0 ? "truncated" : "stating 8192 x 4096");
        SWwaveletimage loaded;
        ASSERT_TRUE(ReadPayload(loaded, damagedPayloads[i]));
        EXPECT_TRUE(loaded.IsStreamDamaged());
        EXPECT_TRUE(loaded.IsPlaceholder());
        EXPECT_EQ(loaded.GetWidth(), SWwaveletimage::kPlaceholderSide);
        EXPECT_EQ(loaded.GetHeight(), SWwaveletimage::kPlaceholderSide);
        EXPECT_EQ(PixelsOf(loaded), std::vector<uint32_t>(64, SWwaveletimage::kGrey));
        EXPECT_EQ(loaded.GetStatedWidth(), statedWidths[i]);
        EXPECT_EQ(loaded.GetStatedHeight(), statedHeights[i]);
        const auto reports = TakeKeptResourceReports().reports;
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0].text, "photo");
        EXPECT_EQ(PayloadOf(loaded), damagedPayloads[i]);
        EXPECT_FALSE(loaded.BeginStream(64)) << "a placeholder has no picture to decode into";

        const auto clone = CloneTextureObject(&loaded);
        ASSERT_NE(clone, nullptr);
        EXPECT_EQ(PayloadOf(*clone), damagedPayloads[i]);
        EXPECT_EQ(PixelsOf(*clone), PixelsOf(loaded));
    }
}

TEST(WaveletImageDamaged, ReadFailsAndTheImageIsUnchanged)
{
    const Picture photo = Photo();
    SWwaveletimage source("photo", photo.width, photo.height, photo.words.data(), 50);
    const auto good = SplitPayload(PayloadOf(source));
    ASSERT_EQ(good.size(), 3u);
    struct Case {
        const char* name;
        std::vector<SubRecord> records;
    };
    std::vector<Case> cases;
    cases.push_back({"no header", {good[1], good[2]}});
    cases.push_back({"stream before header", {good[2], good[0], good[1]}});
    cases.push_back({"no stream", {good[0], good[1]}});
    auto header = good;
    header[0].body.resize(header[0].body.size() - 2);
    cases.push_back({"short header", header});
    auto huge = good;
    std::copy_n(U32Bytes(70000).begin(), 4, huge[0].body.end() - 12);
    cases.push_back({"width beyond the cap", huge});
    auto emptyStream = good;
    emptyStream[2].body.clear();
    cases.push_back({"empty stream", emptyStream});
    auto both = good;
    both.push_back({MakeTag("PX32"), std::vector<uint8_t>(photo.words.size() * 4)});
    cases.push_back({"stream and pixels", both});
    auto shortPixels = good;
    shortPixels[2] = {MakeTag("PX32"), std::vector<uint8_t>(photo.words.size() * 4 - 4)};
    cases.push_back({"pixels one short", shortPixels});

    SWwaveletimage target("kept", 2, 1, std::vector<uint32_t>{1, 2}.data(), 100);
    const std::vector<uint8_t> before = PayloadOf(target);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(ReadPayload(target, JoinPayload(c.records)));
        EXPECT_EQ(PayloadOf(target), before);
    }
    std::vector<uint8_t> cut = JoinPayload(good);
    cut.resize(cut.size() - 3);
    EXPECT_FALSE(ReadPayload(target, cut)) << "record cut short";
    EXPECT_EQ(PayloadOf(target), before);
}

TEST(PaletteImage, OneColourGivesOneEntryOfItsCell)
{
    const uint32_t colour = pf::makePixel(201, 77, 255, 0);
    const std::vector<uint32_t> words(12, colour);
    const SWimage image("one", 4, 3, words.data());
    ASSERT_TRUE(image.IsValid());
    ASSERT_EQ(image.GetColourCount(), 1u);
    EXPECT_EQ(std::vector<uint8_t>(image.GetPalette().begin(), image.GetPalette().end()),
              (std::vector<uint8_t>{4 * (201 >> 2), 4 * (77 >> 2), 4 * (255 >> 2)}));
    EXPECT_EQ(PixelsOf(image), std::vector<uint32_t>(12, pf::makePixel(200, 76, 252, 255)));
}

TEST(PaletteImage, FewCellsComeBackAsTheirCellValues)
{
    std::vector<uint32_t> words;
    for (int i = 0; i < 40 * 30; ++i)
        words.push_back(pf::makePixel(static_cast<uint8_t>(i % 8 * 33), static_cast<uint8_t>(i / 40 % 6 * 41),
                                      static_cast<uint8_t>(i % 5 * 60 + 3), 0));
    const SWimage image("cells", 40, 30, words.data());
    ASSERT_TRUE(image.IsValid());
    std::vector<uint32_t> expected;
    for (const uint32_t word : words)
        expected.push_back(0xFF000000u | (word & 0xFCFCFCu));
    EXPECT_EQ(PixelsOf(image), expected);
}

TEST(PaletteImage, PhotographRoundTripsWithEveryIndexInItsPalette)
{
    const Picture photo = Photo();
    SWimage image("photo", photo.width, photo.height, photo.words.data());
    ASSERT_TRUE(image.IsValid());
    EXPECT_LE(image.GetColourCount(), 256u);
    EXPECT_GT(image.GetColourCount(), 16u);
    for (const uint8_t index : image.GetIndices())
        ASSERT_LT(index, image.GetColourCount());

    const std::vector<uint8_t> payload = PayloadOf(image);
    SWimage loaded;
    ASSERT_TRUE(ReadPayload(loaded, payload));
    EXPECT_EQ(PixelsOf(loaded), PixelsOf(image));
    EXPECT_EQ(PayloadOf(loaded), payload);
    const SWimage again("photo", photo.width, photo.height, photo.words.data());
    EXPECT_EQ(PayloadOf(const_cast<SWimage&>(again)), payload) << "deterministic";
    const auto clone = CloneTextureObject(&image);
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(PayloadOf(*clone), payload);
}

TEST(PaletteImageDamaged, ReadFailsAndTheImageIsUnchanged)
{
    const std::vector<uint32_t> words = {0xFF0000FFu, 0xFF00FF00u, 0xFFFF0000u, 0xFF0000FFu};
    SWimage source("four", 2, 2, words.data());
    const auto good = SplitPayload(PayloadOf(source));
    ASSERT_EQ(good.size(), 3u);
    ASSERT_EQ(good[1].tag, MakeTag("PALT"));
    const uint32_t colours = source.GetColourCount();

    auto palette = [&](uint32_t n) {
        auto records = good;
        records[1].body = U32Bytes(n);
        records[1].body.resize(4 + size_t{n} * 3, 9);
        return records;
    };
    auto indices = [&](std::vector<uint8_t> bytes) {
        auto records = good;
        records[2].body = std::move(bytes);
        return records;
    };
    const struct {
        const char* name;
        std::vector<SubRecord> records;
    } cases[] = {
        {"palette of 0", palette(0)},
        {"palette of 300", palette(300)},
        {"palette shorter than its count",
         [&] {
             auto records = palette(colours);
             records[1].body.pop_back();
             return records;
         }()},
        {"index not below n", indices({0, 1, 2, static_cast<uint8_t>(colours)})},
        {"indices one short", indices({0, 1, 2})},
        {"indices one long", indices({0, 1, 2, 0, 0})},
        {"indices before palette", {good[0], good[2], good[1]}},
        {"no indices", {good[0], good[1]}},
        {"no header", {good[1], good[2]}},
        {"palette cut inside its count",
         [&] {
             auto records = good;
             records[1].body = {1, 0};
             return records;
         }()},
    };
    SWimage target("kept", 1, 1, words.data());
    const std::vector<uint8_t> before = PayloadOf(target);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(ReadPayload(target, JoinPayload(c.records)));
        EXPECT_EQ(PayloadOf(target), before);
    }
    EXPECT_TRUE(ReadPayload(target, JoinPayload(palette(colours)))) << "the table's base case reads";
    auto later = good;
    later.push_back({MakeTag("ZZZZ"), {1, 2, 3}});
    EXPECT_TRUE(ReadPayload(target, JoinPayload(later))) << "a sub-record of a later version is skipped";
    EXPECT_EQ(PayloadOf(target), PayloadOf(source));
}

} // namespace
