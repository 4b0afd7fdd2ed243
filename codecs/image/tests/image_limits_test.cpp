// What a stream can make the decoders allocate: a header's claim is checked against the caller's pixel limit and
// against the data that follow before anything is reserved for it. Allocations are watched through the global
// operator new of this test program: while a watch is on, it records the largest request and refuses any above
// 64 MB, so a decoder that reserves first fails here quickly instead of taking gigabytes.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>

#include "codecs/entropy/arith_coder.h"
#include "codecs/image/cis_header.h"
#include "codecs/image/image_codec.h"
#include "codecs/image/image_decoder.h"
#include "codecs/image/raw_stream.h"
#include "codecs/image/tests/test_pictures.h"
#include "platform/base/endian.h"

namespace {

std::atomic<bool> g_watching{false};
std::atomic<size_t> g_largestRequest{0};
constexpr size_t kRefusedRequestBytes = size_t{64} << 20;

void* Allocate(size_t size)
{
    if (g_watching.load(std::memory_order_relaxed)) {
        size_t largest = g_largestRequest.load(std::memory_order_relaxed);
        while (largest < size && !g_largestRequest.compare_exchange_weak(largest, size))
            ;
        if (size > kRefusedRequestBytes)
            throw std::bad_alloc();
    }
    if (void* block = std::malloc(size == 0 ? 1 : size))
        return block;
    throw std::bad_alloc();
}

} // namespace

// GCC sees free() meet a pointer from new once these replacements are inlined; here they are the same allocator.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(size_t size)
{
    return Allocate(size);
}

void* operator new[](size_t size)
{
    return Allocate(size);
}

void operator delete(void* block) noexcept
{
    std::free(block);
}

void operator delete[](void* block) noexcept
{
    std::free(block);
}

void operator delete(void* block, size_t) noexcept
{
    std::free(block);
}

void operator delete[](void* block, size_t) noexcept
{
    std::free(block);
}

namespace cis {
namespace {

using testing::Picture;
using Stream = std::vector<uint8_t>;

// Nothing a claim sizes: the arithmetic coder's model tables (a few hundred kilobytes) are the largest fixed need.
constexpr size_t kFixedTablesBytes = size_t{1} << 20;

// The largest single request made while `work` ran.
size_t LargestRequestDuring(const std::function<void()>& work)
{
    g_largestRequest = 0;
    g_watching = true;
    work();
    g_watching = false;
    return g_largestRequest;
}

// The progressive decoder given the whole stream at once: its last code and why it failed.
std::pair<int, DecodeStatus> DecodeProgressively(const Stream& stream, const DecodeLimits& limits)
{
    ImageDecoder decoder(stream, {}, limits);
    decoder.SetBytesReceived(stream.size());
    int code = ImageDecoder::kPreview;
    for (int steps = 0; steps < 100 && code == ImageDecoder::kPreview; ++steps)
        code = decoder.DecodeStep();
    return {code, decoder.Failure()};
}

void SetSize(Stream& s, uint16_t width, uint16_t height)
{
    pf::storeU16le(&s[16], width);
    pf::storeU16le(&s[18], height);
}

Stream Wavelet(int w, int h)
{
    const Picture p = testing::PhotoLike(w, h, 21);
    return EncodeImage(p.width, p.height, p.pixels, 50);
}

TEST(DecodeLimitsClaim, HugeClaimIsRefusedBeforeAnythingLargeIsReserved)
{
    Stream stream = Wavelet(100, 70); // a small stream whose header is made to state 16384 x 16384
    SetSize(stream, 16384, 16384);
    DecodedImage image;
    DecodeStatus status = DecodeStatus::kOk;
    const size_t oneShot = LargestRequestDuring([&] { status = DecodeImageChecked(stream, {}, image); });
    EXPECT_EQ(status, DecodeStatus::kTooLarge);
    EXPECT_EQ(image.width, 16384);
    EXPECT_EQ(image.height, 16384);
    EXPECT_TRUE(image.pixels.empty());
    EXPECT_LT(oneShot, kFixedTablesBytes);

    std::pair<int, DecodeStatus> progressive;
    const size_t stepped = LargestRequestDuring([&] { progressive = DecodeProgressively(stream, {}); });
    EXPECT_EQ(progressive.first, ImageDecoder::kFailed);
    EXPECT_EQ(progressive.second, DecodeStatus::kTooLarge);
    EXPECT_LT(stepped, kFixedTablesBytes);
}

// Each kind of stream decodes at a limit of exactly its pixel count and is refused one pixel below it, by both
// decoders, with the stated size reported.
TEST(DecodeLimitsClaim, LimitIsInclusiveForEveryStreamKind)
{
    const Picture p = testing::PhotoLike(61, 47, 22);
    WaveletOptions words;
    words.coderKind = CoderKind::kWords;
    const std::vector<std::pair<const char*, Stream>> streams = {
        {"wavelet", EncodeImage(p.width, p.height, p.pixels, 50)},
        {"raw", EncodeImage(p.width, p.height, p.pixels, 100)},
        {"palette", EncodePaletteImage(p.width, p.height, p.pixels, 16)},
        {"words", EncodeWaveletImage(p.width, p.height, p.pixels, words)},
    };
    const uint64_t pixels = 61 * 47;
    for (const auto& [name, stream] : streams) {
        SCOPED_TRACE(name);
        ASSERT_FALSE(stream.empty());
        DecodedImage image;
        EXPECT_EQ(DecodeImageChecked(stream, DecodeLimits{pixels}, image), DecodeStatus::kOk);
        EXPECT_EQ(image.pixels.size(), pixels * 3);
        EXPECT_EQ(DecodeImageChecked(stream, DecodeLimits{pixels - 1}, image), DecodeStatus::kTooLarge);
        EXPECT_EQ(image.width, 61);
        EXPECT_EQ(image.height, 47);
        EXPECT_TRUE(image.pixels.empty());
        EXPECT_EQ(DecodeProgressively(stream, DecodeLimits{pixels}).first, ImageDecoder::kDone);
        EXPECT_EQ(DecodeProgressively(stream, DecodeLimits{pixels - 1}).second, DecodeStatus::kTooLarge);
    }
    const Stream palette = streams[2].second;
    EXPECT_TRUE(DecodePalettePicture(palette, DecodeLimits{pixels}).has_value());
    EXPECT_FALSE(DecodePalettePicture(palette, DecodeLimits{pixels - 1}).has_value());
}

// A damaged header is damaged whatever it claims: the limit is only asked once every other check has passed, and a
// limit above the format's ceiling does not lift the ceiling.
TEST(DecodeLimitsClaim, DamagedOrOverCeilingClaimsAreDamagedNotTooLarge)
{
    Stream overCeiling = Wavelet(100, 70);
    SetSize(overCeiling, 65535, 65535);
    Stream badIdentifierAndHuge = overCeiling;
    SetSize(badIdentifierAndHuge, 16384, 16384);
    badIdentifierAndHuge[0] = 'X';
    for (const Stream* stream : {&overCeiling, &badIdentifierAndHuge}) {
        DecodedImage image;
        EXPECT_EQ(DecodeImageChecked(*stream, DecodeLimits{UINT64_MAX}, image), DecodeStatus::kDamaged);
        EXPECT_EQ(image.width, 0);
        EXPECT_EQ(DecodeProgressively(*stream, DecodeLimits{UINT64_MAX}).second, DecodeStatus::kDamaged);
    }
}

Stream RawGrey(int w, int h, uint8_t value)
{
    return EncodeRawGrey(w, h, std::vector<uint8_t>(static_cast<size_t>(w) * static_cast<size_t>(h), value));
}

// Claims that the data cannot back are refused as damaged before the pixels are reserved, even when the caller
// allows any size; each is built from a valid stream by one named change.
TEST(DecodeLimitsData, ClaimsTheDataCannotHoldAreRefusedWithoutReserving)
{
    const Picture photo = testing::PhotoLike(40, 30, 23);
    const std::vector<std::pair<const char*, std::function<Stream()>>> cases = {
        {"raw grey of 128 MB in a few bytes",
         [] {
             Stream s = RawGrey(16, 16, 9);
             SetSize(s, 16384, 8192);
             return s;
         }},
        {"raw colour of 256 M pixels in a few bytes",
         [&] {
             Stream s = EncodeImage(photo.width, photo.height, photo.pixels, 100);
             SetSize(s, 16384, 16384);
             return s;
         }},
        {"wavelet level too short for its band headers",
         [] {
             Stream s = Wavelet(100, 70);
             SetSize(s, 16384, 16384);
             const uint32_t first = pf::loadU32le(&s[30]);
             pf::storeU32le(&s[30], 3 * 6 - 1); // three planes' low bands need 18 bytes
             pf::storeU32le(&s[34], pf::loadU32le(&s[34]) + first - (3 * 6 - 1));
             return s;
         }},
        {"palette data shorter than its chunk counts",
         [&] {
             Stream s = EncodePaletteImage(photo.width, photo.height, photo.pixels, 16);
             const size_t header = pf::loadU16le(&s[8]);
             const size_t kept = 3 * 16 + 2;
             s.resize(header + kept);
             pf::storeU32le(&s[10], static_cast<uint32_t>(kept));
             for (size_t k = 0; k <= s[29]; ++k)
                 pf::storeU32le(&s[30 + 4 * k], 0);
             SetSize(s, 16384, 16384);
             return s;
         }},
    };
    for (const auto& [name, make] : cases) {
        SCOPED_TRACE(name);
        const Stream stream = make();
        DecodedImage image;
        DecodeStatus status = DecodeStatus::kOk;
        const size_t largest =
            LargestRequestDuring([&] { status = DecodeImageChecked(stream, DecodeLimits{kMaxPixels}, image); });
        EXPECT_EQ(status, DecodeStatus::kDamaged);
        EXPECT_LT(largest, kFixedTablesBytes);
        std::pair<int, DecodeStatus> progressive;
        const size_t stepped =
            LargestRequestDuring([&] { progressive = DecodeProgressively(stream, DecodeLimits{kMaxPixels}); });
        EXPECT_EQ(progressive.second, DecodeStatus::kDamaged);
        EXPECT_LT(stepped, kFixedTablesBytes);
    }
}

// The raw check leans on how tightly the coder can pack one repeated value: the tightest run must stay well inside
// the bound, and a picture that packs that tightly must still decode.
TEST(DecodeLimitsData, TightestRawRunStaysInsideTheBound)
{
    const Stream grey = RawGrey(1024, 512, 200);
    const size_t dataBytes = pf::loadU32le(&grey[10]);
    EXPECT_LT(size_t{1024} * 512, dataBytes * 200); // measured: about 127 pixels to the byte; the check allows 256
    const std::optional<DecodedImage> decoded = DecodeImage(grey);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->pixels, std::vector<uint8_t>(size_t{1024} * 512 * 3, 200));
    const Picture solid = testing::Solid(300, 200, 1, 2, 3);
    EXPECT_TRUE(DecodeImage(EncodeImage(solid.width, solid.height, solid.pixels, 100)).has_value());
}

TEST(DecodeLimitsOutput, CallersOutputTooSmallIsItsOwnCause)
{
    const Stream stream = Wavelet(30, 20);
    std::vector<uint8_t> tooSmall(30 * 20 * 4 - 1);
    ImageDecoder decoder(stream, tooSmall);
    decoder.SetBytesReceived(stream.size());
    EXPECT_EQ(decoder.DecodeStep(), ImageDecoder::kFailed);
    EXPECT_EQ(decoder.Failure(), DecodeStatus::kOutputTooSmall);
}

} // namespace
} // namespace cis
