#include "platform/gfx/png_file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

// PNGs are built here byte by byte, with stored (uncompressed) deflate blocks, so that every colour type, bit depth
// and damage is exactly what the test says.
namespace {

using Bytes = std::vector<uint8_t>;

uint32_t Crc32(const uint8_t* data, size_t size)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void PutU32be(Bytes& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

Bytes Chunk(const char* type, const Bytes& body)
{
    Bytes out;
    PutU32be(out, static_cast<uint32_t>(body.size()));
    for (int i = 0; i < 4; ++i) // an insert of the four, this compiler takes for an overflow
        out.push_back(static_cast<uint8_t>(type[i]));
    out.insert(out.end(), body.begin(), body.end());
    PutU32be(out, Crc32(out.data() + 4, body.size() + 4));
    return out;
}

// A zlib stream of stored blocks: the rows appear as they are.
Bytes StoredZlib(const Bytes& raw)
{
    Bytes out = {0x78, 0x01};
    size_t at = 0;
    do {
        const size_t piece = std::min<size_t>(raw.size() - at, 65535);
        const bool last = at + piece == raw.size();
        out.push_back(last ? 1 : 0);
        out.push_back(static_cast<uint8_t>(piece));
        out.push_back(static_cast<uint8_t>(piece >> 8));
        out.push_back(static_cast<uint8_t>(~piece));
        out.push_back(static_cast<uint8_t>(~piece >> 8));
        out.insert(out.end(), raw.begin() + static_cast<ptrdiff_t>(at),
                   raw.begin() + static_cast<ptrdiff_t>(at + piece));
        at += piece;
    } while (at < raw.size());
    uint32_t a = 1;
    uint32_t b = 0;
    for (const uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    PutU32be(out, (b << 16) | a);
    return out;
}

struct PngSpec {
    uint32_t width = 0;
    uint32_t height = 0;
    uint8_t depth = 8;
    uint8_t colourType = 2; // 0 grey, 2 RGB, 3 palette, 4 grey and alpha, 6 RGBA
    uint8_t interlace = 0;
    Bytes rows;         // every row with its filter byte, as the IDAT inflates
    Bytes palette;      // PLTE body
    Bytes transparency; // tRNS body
    Bytes zlib;         // the IDAT body when not empty; otherwise the rows, stored
    Bytes padding;      // the body of an ancillary chunk that readers skip, when not empty
};

PngSpec Spec(uint32_t width, uint32_t height, uint8_t depth, uint8_t colourType, uint8_t interlace = 0)
{
    PngSpec spec;
    spec.width = width;
    spec.height = height;
    spec.depth = depth;
    spec.colourType = colourType;
    spec.interlace = interlace;
    return spec;
}

Bytes IhdrBody(const PngSpec& spec)
{
    Bytes body;
    PutU32be(body, spec.width);
    PutU32be(body, spec.height);
    body.insert(body.end(), {spec.depth, spec.colourType, 0, 0, spec.interlace});
    return body;
}

Bytes BuildPng(const PngSpec& spec)
{
    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const auto append = [&out](const Bytes& chunk) { out.insert(out.end(), chunk.begin(), chunk.end()); };
    append(Chunk("IHDR", IhdrBody(spec)));
    if (!spec.palette.empty())
        append(Chunk("PLTE", spec.palette));
    if (!spec.transparency.empty())
        append(Chunk("tRNS", spec.transparency));
    if (!spec.padding.empty())
        append(Chunk("vrPd", spec.padding));
    append(Chunk("IDAT", spec.zlib.empty() ? StoredZlib(spec.rows) : spec.zlib));
    append(Chunk("IEND", {}));
    return out;
}

// Rows of filter type 0 ("none").
Bytes Unfiltered(const std::vector<Bytes>& rows)
{
    Bytes out;
    for (const Bytes& row : rows) {
        out.push_back(0);
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

std::optional<pf::PngImage> Read(const Bytes& png, pf::PngPixels pixels, uint64_t maxPixels = pf::kPngDefaultMaxPixels)
{
    std::string error;
    std::optional<pf::PngImage> image = pf::readPngBytes(png, {pixels, maxPixels}, error);
    EXPECT_EQ(image.has_value(), error.empty()) << error;
    return image;
}

// A 3x2 RGB picture, the base of the damaged files.
PngSpec SmallRgb()
{
    PngSpec spec = Spec(3, 2, 8, 2);
    spec.rows = Unfiltered({{255, 0, 0, 0, 255, 0, 0, 0, 255}, {10, 20, 30, 40, 50, 60, 70, 80, 90}});
    return spec;
}

const Bytes kSmallRgbPixels = {255, 0, 0, 0, 255, 0, 0, 0, 255, 10, 20, 30, 40, 50, 60, 70, 80, 90};

std::filesystem::path TempPath(const std::string& name)
{
    return std::filesystem::temp_directory_path() / ("pf_png_test_" + std::to_string(::getpid()) + "_" + name);
}

Bytes FileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void PutFile(const std::filesystem::path& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// --- every colour type in ---

TEST(PngFileRead, RgbReadsInEveryForm)
{
    const Bytes png = BuildPng(SmallRgb());
    const std::optional<pf::PngImage> rgb = Read(png, pf::PngPixels::kRgb);
    ASSERT_TRUE(rgb);
    EXPECT_EQ(rgb->width, 3);
    EXPECT_EQ(rgb->height, 2);
    EXPECT_EQ(rgb->bytes, kSmallRgbPixels);
    const std::optional<pf::PngImage> bgr = Read(png, pf::PngPixels::kBgr);
    ASSERT_TRUE(bgr);
    EXPECT_EQ(bgr->bytes, Bytes({0, 0, 255, 0, 255, 0, 255, 0, 0, 30, 20, 10, 60, 50, 40, 90, 80, 70}));
    const std::optional<pf::PngImage> bgra = Read(png, pf::PngPixels::kBgra);
    ASSERT_TRUE(bgra);
    EXPECT_EQ(bgra->bytes, Bytes({0,  0,  255, 255, 0,  255, 0,  255, 255, 0,  0,  255,
                                  30, 20, 10,  255, 60, 50,  40, 255, 90,  80, 70, 255}));
}

TEST(PngFileRead, GreyOfEveryDepthIsExpanded)
{
    PngSpec eight = Spec(2, 1, 8, 0);
    eight.rows = Unfiltered({{0x00, 0x7F}});
    EXPECT_EQ(Read(BuildPng(eight), pf::PngPixels::kRgb)->bytes, Bytes({0, 0, 0, 0x7F, 0x7F, 0x7F}));

    PngSpec one = Spec(10, 1, 1, 0); // ten 1-bit pixels: 1011000001, padded to two bytes
    one.rows = Unfiltered({{0xB0, 0x40}});
    const Bytes grey = Read(BuildPng(one), pf::PngPixels::kBgr)->bytes;
    const Bytes expected = {1, 0, 1, 1, 0, 0, 0, 0, 0, 1};
    ASSERT_EQ(grey.size(), 30u);
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(grey[3 * i], expected[i] * 255) << i;
}

TEST(PngFileRead, AlphaIsKeptInBgraAndCompositedOntoBlackOtherwise)
{
    PngSpec rgba = Spec(2, 1, 8, 6);
    rgba.rows = Unfiltered({{10, 20, 30, 0, 40, 50, 60, 255}});
    EXPECT_EQ(Read(BuildPng(rgba), pf::PngPixels::kRgb)->bytes, Bytes({0, 0, 0, 40, 50, 60}));
    EXPECT_EQ(Read(BuildPng(rgba), pf::PngPixels::kBgra)->bytes, Bytes({30, 20, 10, 0, 60, 50, 40, 255}));

    PngSpec greyAlpha = Spec(2, 1, 8, 4);
    greyAlpha.rows = Unfiltered({{90, 128, 200, 255}});
    EXPECT_EQ(Read(BuildPng(greyAlpha), pf::PngPixels::kBgra)->bytes, Bytes({90, 90, 90, 128, 200, 200, 200, 255}));
    EXPECT_EQ(Read(BuildPng(greyAlpha), pf::PngPixels::kRgb)->bytes.back(), 200);
}

TEST(PngFileRead, PaletteOfEveryDepthIsLookedUp)
{
    const Bytes palette = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
    PngSpec four = Spec(3, 1, 4, 3); // indexes 1, 2, 3
    four.rows = Unfiltered({{0x12, 0x30}});
    four.palette = palette;
    EXPECT_EQ(Read(BuildPng(four), pf::PngPixels::kRgb)->bytes, Bytes({255, 0, 0, 0, 255, 0, 0, 0, 255}));

    PngSpec one = Spec(2, 1, 1, 3); // indexes 1, 0
    one.rows = Unfiltered({{0x80}});
    one.palette = palette;
    one.transparency = {255, 0}; // entry 0 opaque, entry 1 clear (its colour kept)
    EXPECT_EQ(Read(BuildPng(one), pf::PngPixels::kBgra)->bytes, Bytes({0, 0, 255, 0, 0, 0, 0, 255}));
}

TEST(PngFileRead, SixteenBitAndInterlacedPicturesRead)
{
    PngSpec deep = Spec(2, 1, 16, 2);
    deep.rows = Unfiltered({{0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0}});
    EXPECT_EQ(Read(BuildPng(deep), pf::PngPixels::kRgb)->bytes, Bytes({0, 255, 0, 255, 255, 0}));

    // A 2x2 grey picture in seven passes: only passes 1 (pixel 0,0), 6 (pixel 1,0) and 7 (row 1) hold pixels.
    PngSpec interlaced = Spec(2, 2, 8, 0, 1);
    interlaced.rows = {0, 11, 0, 22, 0, 33, 44};
    EXPECT_EQ(Read(BuildPng(interlaced), pf::PngPixels::kBgr)->bytes,
              Bytes({11, 11, 11, 22, 22, 22, 33, 33, 33, 44, 44, 44}));
}

// The offsets of the 88-byte SmallRgb file.
constexpr size_t kIhdrCrcAt = 29;
constexpr size_t kIdatAt = 33;
constexpr size_t kRowsAt = 48;
constexpr size_t kIdatCrcAt = 72;
constexpr size_t kIendAt = 76;

struct Damage {
    const char* name;
    Bytes png;
};

Bytes Cut(size_t size)
{
    Bytes png = BuildPng(SmallRgb());
    png.resize(size);
    return png;
}

TEST(PngFileRead, AFileCutRightAfterItsPixelsReads)
{
    // Everything the picture needs is there; only the end marker is missing.
    const Bytes png = Cut(kIendAt);
    const std::optional<pf::PngImage> image = Read(png, pf::PngPixels::kRgb);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->bytes, kSmallRgbPixels);
}

// --- out and back ---

TEST(PngFileWrite, EveryFormWritesAnRgbPngThatReadsBack)
{
    const Bytes png = BuildPng(SmallRgb());
    for (const pf::PngPixels form : {pf::PngPixels::kRgb, pf::PngPixels::kBgr, pf::PngPixels::kBgra}) {
        SCOPED_TRACE(static_cast<int>(form));
        std::optional<pf::PngImage> source = Read(png, form);
        ASSERT_TRUE(source);
        if (form == pf::PngPixels::kBgra)
            source->bytes[3] = 7; // alpha is not written
        std::string error;
        const std::optional<Bytes> encoded = pf::encodePng(*source, error);
        ASSERT_TRUE(encoded) << error;
        EXPECT_EQ((*encoded)[24], 8); // IHDR bit depth
        EXPECT_EQ((*encoded)[25], 2); // IHDR colour type: RGB
        EXPECT_EQ(Read(*encoded, pf::PngPixels::kRgb)->bytes, kSmallRgbPixels);
    }
}

TEST(PngFileWrite, AlphaFormKeepsEachPixelsAlphaAndRefusesFormsWithoutOne)
{
    pf::PngImage image{2, 1, pf::PngPixels::kBgra, {0x10, 0x20, 0x30, 0x00, 0x40, 0x50, 0x60, 0xFF}};
    std::string error;
    const std::optional<Bytes> encoded = pf::encodePngWithAlpha(image, error);
    ASSERT_TRUE(encoded) << error;
    EXPECT_EQ((*encoded)[25], 6); // IHDR colour type: RGBA
    EXPECT_EQ(Read(*encoded, pf::PngPixels::kBgra)->bytes, image.bytes);
    const std::filesystem::path path = TempPath("alpha.png");
    ASSERT_TRUE(pf::writePngFileWithAlpha(path.string(), image, error)) << error;
    EXPECT_EQ(FileBytes(path), *encoded);
    const pf::PngImage rgb{1, 1, pf::PngPixels::kRgb, {1, 2, 3}};
    EXPECT_FALSE(pf::encodePngWithAlpha(rgb, error));
    EXPECT_FALSE(pf::writePngFileWithAlpha(path.string(), rgb, error));
    EXPECT_EQ(FileBytes(path), *encoded); // a refusal leaves the old file
}

TEST(PngFileWrite, SurfaceIsWrittenTopRowFirstWithoutItsAlpha)
{
    std::vector<uint32_t> memory = {0x11223344u, 0xFF556677u, // the bottom row comes first in memory
                                    0x00AABBCCu, 0x80DDEEF0u};
    const pf::Surface32 bottomUp(&memory[2], 2, 2, -8);
    const std::filesystem::path path = TempPath("surface.png");
    std::string error;
    ASSERT_TRUE(pf::writePngFile(path.string(), bottomUp, error)) << error;
    const std::optional<pf::PngImage> back = pf::readPngFile(path.string(), {}, error);
    std::filesystem::remove(path);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(back->bytes, Bytes({0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xF0, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}));
}

TEST(PngFileWrite, ReplacingALargerFileLeavesNoneOfIt)
{
    const std::filesystem::path path = TempPath("replace.png");
    std::string error;
    const pf::PngImage large{64, 64, pf::PngPixels::kRgb, Bytes(64 * 64 * 3, 0x5A)};
    ASSERT_TRUE(pf::writePngFile(path.string(), large, error)) << error;
    const pf::PngImage small{3, 2, pf::PngPixels::kRgb, kSmallRgbPixels};
    ASSERT_TRUE(pf::writePngFile(path.string(), small, error)) << error;
    EXPECT_EQ(FileBytes(path), *pf::encodePng(small, error));
    std::filesystem::remove(path);
}

TEST(PngFileWrite, ARefusedWriteLeavesWhatWasThere)
{
    const std::filesystem::path path = TempPath("kept.png");
    const Bytes old = BuildPng(SmallRgb());
    PutFile(path, old);
    const std::vector<pf::PngImage> refused = {
        {0, 0, pf::PngPixels::kRgb, {}},             // empty
        {3, 2, pf::PngPixels::kRgb, Bytes(17)},      // one byte short
        {-3, -2, pf::PngPixels::kRgb, Bytes(18)},    // negative sizes
        {1 << 20, 1 << 12, pf::PngPixels::kRgb, {}}, // bytes missing, and past the encoder's 4 GB
    };
    for (const pf::PngImage& image : refused) {
        SCOPED_TRACE(std::to_string(image.width) + "x" + std::to_string(image.height));
        std::string error;
        EXPECT_FALSE(pf::writePngFile(path.string(), image, error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(FileBytes(path), old);
    }
    const pf::Surface32 empty(0, 0);
    std::string error;
    EXPECT_FALSE(pf::writePngFile(path.string(), empty, error));
    EXPECT_EQ(FileBytes(path), old);
    std::filesystem::remove(path);
}

TEST(PngFileWrite, PathsThatCannotTakeAFileAreRefused)
{
    const pf::PngImage image{3, 2, pf::PngPixels::kRgb, kSmallRgbPixels};
    const std::filesystem::path folder = TempPath("folder.png");
    std::filesystem::create_directory(folder);
    std::string error;
    EXPECT_FALSE(pf::writePngFile(folder.string(), image, error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    std::filesystem::remove(folder);

    const std::filesystem::path fifo = TempPath("fifo.png");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    error.clear();
    EXPECT_FALSE(pf::writePngFile(fifo.string(), image, error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    std::filesystem::remove(fifo);

    const std::filesystem::path missing = TempPath("no-such-folder") / "x.png";
    error.clear();
    EXPECT_FALSE(pf::writePngFile(missing.string(), image, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(std::filesystem::exists(missing.parent_path()));
}

TEST(PngFileRead, FileProblemsNameTheirCause)
{
    std::string error;
    EXPECT_FALSE(pf::readPngFile(TempPath("absent.png").string(), {}, error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
    const std::filesystem::path folder = TempPath("a-folder");
    std::filesystem::create_directory(folder);
    error.clear();
    EXPECT_FALSE(pf::readPngFile(folder.string(), {}, error));
    EXPECT_NE(error.find("folder"), std::string::npos) << error;
    std::filesystem::remove(folder);
    // A FIFO without a writer once kept the reader waiting for ever; a device is no file either.
    const std::filesystem::path fifo = TempPath("a-fifo.png");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo.string(), std::string("/dev/zero")}) {
        error.clear();
        EXPECT_FALSE(pf::readPngFile(path, {}, error));
        EXPECT_NE(error.find("not a file"), std::string::npos) << error;
    }
    std::filesystem::remove(fifo);
}

// --- damaged files and hostile claims ---

Bytes Flipped(size_t at)
{
    Bytes png = BuildPng(SmallRgb());
    png.at(at) ^= 0x01;
    return png;
}

template <typename Change> Bytes Changed(Change change)
{
    PngSpec spec = SmallRgb();
    change(spec);
    return BuildPng(spec);
}

std::vector<Damage> DamagedFiles()
{
    EXPECT_EQ(BuildPng(SmallRgb()).size(), 88u);
    return {
        {"empty", {}},
        {"cut inside the signature", Cut(4)},
        {"signature only", Cut(8)},
        {"cut inside IHDR", Cut(20)},
        {"cut after IHDR", Cut(kIdatAt)},
        {"cut inside the rows", Cut(kRowsAt + 7)},
        {"cut before the IDAT CRC", Cut(kIdatCrcAt)},
        {"signature byte", Flipped(1)},
        {"IHDR CRC", Flipped(kIhdrCrcAt)},
        {"IDAT CRC", Flipped(kIdatCrcAt)},
        {"width 0", Changed([](PngSpec& s) { s.width = 0; })},
        {"height 0", Changed([](PngSpec& s) { s.height = 0; })},
        {"width 2^31", Changed([](PngSpec& s) { s.width = 0x80000000u; })},
        {"bit depth 3", Changed([](PngSpec& s) { s.depth = 3; })},
        {"colour type 5", Changed([](PngSpec& s) { s.colourType = 5; })},
        {"16-bit palette", Changed([](PngSpec& s) { s.colourType = 3, s.depth = 16; })},
        {"palette without PLTE", Changed([](PngSpec& s) { s.colourType = 3; })},
        {"interlace method 2", Changed([](PngSpec& s) { s.interlace = 2; })},
        {"zlib header check", Changed([](PngSpec& s) { s.zlib = StoredZlib(s.rows), s.zlib[0] = 0x79; })},
        {"Adler-32", Changed([](PngSpec& s) { s.zlib = StoredZlib(s.rows), s.zlib.back() ^= 1; })},
        {"row filter 5", Changed([](PngSpec& s) { s.rows[0] = 5; })},
        {"one row of two", Changed([](PngSpec& s) { s.rows.resize(10); })},
        {"50000x50000 claim", Changed([](PngSpec& s) { s.width = s.height = 50000; })},
        {"8192x8192 claim in 88 bytes", Changed([](PngSpec& s) { s.width = s.height = 8192; })},
    };
}
TEST(PngFileDamaged, EveryDamageIsRefusedFromMemoryAndFromAFile)
{
    const std::filesystem::path path = TempPath("damaged.png");
    for (const Damage& damage : DamagedFiles()) {
        SCOPED_TRACE(damage.name);
        for (const pf::PngPixels form : {pf::PngPixels::kRgb, pf::PngPixels::kBgra}) {
            std::string error;
            EXPECT_FALSE(pf::readPngBytes(damage.png, {form}, error));
            EXPECT_FALSE(error.empty());
        }
        PutFile(path, damage.png);
        std::string error;
        EXPECT_FALSE(pf::readPngFile(path.string(), {}, error));
        EXPECT_FALSE(error.empty());
    }
    std::filesystem::remove(path);
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define PNG_TEST_SEES_ALLOCATIONS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define PNG_TEST_SEES_ALLOCATIONS 1
#endif
#endif

#ifdef PNG_TEST_SEES_ALLOCATIONS
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*));

std::atomic<size_t> g_largestAllocation{0};

void NoteAllocation(const volatile void*, size_t size)
{
    size_t seen = g_largestAllocation.load();
    while (size > seen && !g_largestAllocation.compare_exchange_weak(seen, size)) {
    }
}

void NoteFree(const volatile void*) {}
#endif

// The largest single allocation that reading the PNG made; 0 where the build cannot see allocations.
size_t LargestAllocationReading(const Bytes& png, uint64_t maxPixels, std::string& outError)
{
#ifdef PNG_TEST_SEES_ALLOCATIONS
    static const bool hooked = __sanitizer_install_malloc_and_free_hooks(NoteAllocation, NoteFree) != 0;
    EXPECT_TRUE(hooked);
    g_largestAllocation = 0;
#endif
    EXPECT_FALSE(pf::readPngBytes(png, {pf::PngPixels::kBgra, maxPixels}, outError));
#ifdef PNG_TEST_SEES_ALLOCATIONS
    return g_largestAllocation.load();
#else
    return 0;
#endif
}

constexpr size_t kSmallAllocation = 1 << 20; // libpng's own state and row buffers fit many times over

TEST(PngFileClaims, AClaimOverThePixelLimitAllocatesNothing)
{
    const Bytes png = Changed([](PngSpec& s) { s.width = s.height = 50000; });
    std::string error;
    EXPECT_LT(LargestAllocationReading(png, pf::kPngDefaultMaxPixels, error), kSmallAllocation);
    EXPECT_NE(error.find("limit"), std::string::npos) << error;
}

TEST(PngFileClaims, AClaimItsBytesCannotHoldAllocatesNothing)
{
    // Each claim is under the pixel limit, and each would need more than the file's 88 bytes even if every row
    // compressed as far as deflate can go.
    const std::vector<std::pair<const char*, Bytes>> claims = {
        {"8192x8192 RGB, the limit exactly", Changed([](PngSpec& s) { s.width = s.height = 8192; })},
        {"1000000x1 grey of 1 bit",
         Changed([](PngSpec& s) { s.width = 1000000, s.height = 1, s.colourType = 0, s.depth = 1; })},
        {"50000x1 grey of 16 bits",
         Changed([](PngSpec& s) { s.width = 50000, s.height = 1, s.colourType = 0, s.depth = 16; })},
    };
    for (const auto& [name, png] : claims) {
        SCOPED_TRACE(name);
        std::string error;
        EXPECT_LT(LargestAllocationReading(png, pf::kPngDefaultMaxPixels, error), kSmallAllocation);
        EXPECT_NE(error.find("can hold"), std::string::npos) << error;
    }
}

// 50000 x 50000 x 4 bytes is 10^10, past 32 bits: reckoned in 32 bits it would look like 1.4 GB and be allocated.
// With no pixel limit and enough bytes to pass the length check, only the 64-bit reckoning stands in the way.
TEST(PngFileClaims, ABufferPastThirtyTwoBitsIsNeverAllocated)
{
    const Bytes png = Changed([](PngSpec& s) {
        s.width = s.height = 50000;
        s.padding.resize(size_t{10} * 1000 * 1000);
    });
    std::string error;
    EXPECT_LT(LargestAllocationReading(png, std::numeric_limits<uint64_t>::max(), error),
              png.size() + kSmallAllocation);
    EXPECT_NE(error.find("PNG library"), std::string::npos) << error;
}

TEST(PngFileClaims, ThePixelLimitIsInclusive)
{
    const Bytes png = BuildPng(SmallRgb());
    EXPECT_TRUE(Read(png, pf::PngPixels::kRgb, 6));
    std::string error;
    EXPECT_FALSE(pf::readPngBytes(png, {pf::PngPixels::kRgb, 5}, error));
    EXPECT_NE(error.find("limit of 5"), std::string::npos) << error;
}

TEST(PngFileClaims, TheMostCompressedPictureStillReads)
{
    // A flat picture compresses about as far as deflate goes, so it sits closest to the length check.
    const pf::PngImage flat{2048, 2048, pf::PngPixels::kRgb, Bytes(size_t{2048} * 2048 * 3, 0)};
    std::string error;
    const std::optional<Bytes> png = pf::encodePng(flat, error);
    ASSERT_TRUE(png) << error;
    EXPECT_LT(png->size(), flat.bytes.size() / 500);
    const std::optional<pf::PngImage> back = Read(*png, pf::PngPixels::kRgb);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->bytes, flat.bytes);
}

} // namespace
