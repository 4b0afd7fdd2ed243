// Image codec measurements.
//   Timings (Google Benchmark): encode and decode in megapixels per second at 512 x 512 and 2048 x 2048, the
//   progressive decoder, the palette quantiser, and the arithmetic coder in MB/s on band-like and wave-like bytes
//   beside zlib.
//   Tables printed before the timings: bits per pixel and PSNR (RGB and luma) per quality for each picture, with
//   the same pictures through cjpeg at matched sizes when cjpeg and djpeg are on the PATH; the bytes each
//   progressive pass needs and its PSNR; the palette's PSNR.
// Pictures: the public test pictures from the cache (scripts/fetch-test-data), else synthetic ones.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "codecs/entropy/arith_coder.h"
#include "codecs/image/image_codec.h"
#include "codecs/image/image_decoder.h"
#include "codecs/image/palette_quantiser.h"
#include "testsupport/image/png_image.h"

namespace {

using testsupport::BgrImage;
using Clock = std::chrono::steady_clock;

std::filesystem::path PictureFolder()
{
    if (const char* data = std::getenv("VORTAN_TEST_DATA"))
        return std::filesystem::path(data) / "image";
    const char* cache = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    const std::filesystem::path base =
        cache ? std::filesystem::path(cache) : std::filesystem::path(home ? home : ".") / ".cache";
    return base / "vortan-test-data" / "image";
}

// Soft shapes, grain and a striped patch, as a stand-in when the public pictures are absent.
BgrImage Synthetic(int width, int height)
{
    BgrImage image{width, height, std::vector<uint8_t>(size_t(width) * size_t(height) * 3)};
    std::mt19937 rng(1);
    std::normal_distribution<double> grain(0.0, 3.0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double fx = double(x) / width;
            const double fy = double(y) / height;
            double channel[3] = {90 + 70 * fy, 100 + 60 * std::cos(fy * 7) + 30 * std::sin(fx * 13),
                                 120 + 80 * std::sin(fx * 5 + fy * 2)};
            if (x > width * 3 / 4 && y < height / 3)
                channel[0] = channel[1] = channel[2] = ((x / 3 + y / 5) % 2) ? 230 : 30;
            for (int c = 0; c < 3; ++c)
                image.pixels[(size_t(y) * width + x) * 3 + c] =
                    static_cast<uint8_t>(std::clamp(channel[c] + grain(rng), 0.0, 255.0));
        }
    }
    return image;
}

// A picture of the given size: the astronaut tiled (or cut) when present, else synthetic.
BgrImage PictureOfSize(int side)
{
    std::string error;
    const std::optional<BgrImage> source = testsupport::ReadPng((PictureFolder() / "astronaut.png").string(), error);
    if (!source)
        return Synthetic(side, side);
    BgrImage image{side, side, std::vector<uint8_t>(size_t(side) * side * 3)};
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            // Mirror the tiles so that no hard seams appear.
            const int sx = (x / source->width) % 2 ? source->width - 1 - x % source->width : x % source->width;
            const int sy = (y / source->height) % 2 ? source->height - 1 - y % source->height : y % source->height;
            std::copy_n(&source->pixels[(size_t(sy) * source->width + sx) * 3], 3,
                        &image.pixels[(size_t(y) * side + x) * 3]);
        }
    }
    return image;
}

struct NamedPicture {
    std::string name;
    BgrImage image;
};

std::vector<NamedPicture> TablePictures()
{
    std::vector<NamedPicture> pictures;
    for (const char* name : {"astronaut", "chelsea", "coffee", "brick", "grass", "gravel", "camera"}) {
        std::string error;
        if (std::optional<BgrImage> image =
                testsupport::ReadPng((PictureFolder() / (std::string(name) + ".png")).string(), error))
            pictures.push_back({name, std::move(*image)});
    }
    if (pictures.empty())
        pictures.push_back({"synthetic", Synthetic(512, 512)});
    return pictures;
}

double LumaPsnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    double squared = 0.0;
    for (size_t i = 0; i + 2 < a.size(); i += 3) {
        const double ya = 0.114 * a[i] + 0.587 * a[i + 1] + 0.299 * a[i + 2];
        const double yb = 0.114 * b[i] + 0.587 * b[i + 1] + 0.299 * b[i + 2];
        squared += (ya - yb) * (ya - yb);
    }
    const double mse = squared / double(a.size() / 3);
    return mse == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

// cjpeg and djpeg through PPM files: the JPEG size and decoded pixels at one quality.
class JpegPeer {
public:
    JpegPeer() : m_folder(std::filesystem::temp_directory_path() / ("image_bench_" + std::to_string(::getpid())))
    {
        m_available = std::system("command -v cjpeg > /dev/null 2>&1 && command -v djpeg > /dev/null 2>&1") == 0;
        if (m_available)
            std::filesystem::create_directories(m_folder);
    }
    ~JpegPeer() { std::filesystem::remove_all(m_folder); }

    bool IsAvailable() const { return m_available; }

    void SetPicture(const BgrImage& image)
    {
        m_image = &image;
        std::ofstream out(m_folder / "in.ppm", std::ios::binary);
        out << "P6\n" << image.width << " " << image.height << "\n255\n";
        for (size_t i = 0; i < image.pixels.size(); i += 3) {
            const char rgb[3] = {char(image.pixels[i + 2]), char(image.pixels[i + 1]), char(image.pixels[i])};
            out.write(rgb, 3);
        }
    }

    // The quality whose size comes closest to `bytes`, with its size and PSNR.
    struct Match {
        int quality = 0;
        size_t bytes = 0;
        double psnr = 0.0;
    };
    Match MatchSize(size_t bytes)
    {
        Match best;
        int lo = 1;
        int hi = 100;
        while (lo <= hi) {
            const int q = (lo + hi) / 2;
            const size_t size = Compress(q);
            if (best.bytes == 0 || std::llabs(static_cast<long long>(size) - static_cast<long long>(bytes)) <
                                       std::llabs(static_cast<long long>(best.bytes) - static_cast<long long>(bytes)))
                best = {q, size, 0.0};
            if (size < bytes)
                lo = q + 1;
            else
                hi = q - 1;
        }
        Compress(best.quality);
        best.psnr = DecodedPsnr();
        return best;
    }

private:
    size_t Compress(int quality)
    {
        const std::string command = "cjpeg -quality " + std::to_string(quality) + " -outfile '" +
                                    (m_folder / "out.jpg").string() + "' '" + (m_folder / "in.ppm").string() +
                                    "' 2> /dev/null";
        if (std::system(command.c_str()) != 0)
            return 0;
        return std::filesystem::file_size(m_folder / "out.jpg");
    }

    double DecodedPsnr()
    {
        const std::string command = "djpeg -ppm -outfile '" + (m_folder / "out.ppm").string() + "' '" +
                                    (m_folder / "out.jpg").string() + "' 2> /dev/null";
        if (std::system(command.c_str()) != 0)
            return 0.0;
        std::ifstream in(m_folder / "out.ppm", std::ios::binary);
        std::string magic;
        int width = 0, height = 0, maxValue = 0;
        in >> magic >> width >> height >> maxValue;
        in.get();
        std::vector<char> rgb(size_t(width) * height * 3);
        in.read(rgb.data(), static_cast<std::streamsize>(rgb.size()));
        std::vector<uint8_t> bgr(rgb.size());
        for (size_t i = 0; i < rgb.size(); i += 3) {
            bgr[i] = uint8_t(rgb[i + 2]);
            bgr[i + 1] = uint8_t(rgb[i + 1]);
            bgr[i + 2] = uint8_t(rgb[i]);
        }
        return testsupport::PeakSignalToNoise(bgr, m_image->pixels);
    }

    std::filesystem::path m_folder;
    bool m_available = false;
    const BgrImage* m_image = nullptr;
};

void PrintRateDistortion(const std::vector<NamedPicture>& pictures)
{
    JpegPeer jpeg;
    std::printf("# rate-distortion: picture quality bpp psnr_rgb psnr_y encode_MP/s decode_MP/s%s\n",
                jpeg.IsAvailable() ? " | cjpeg_quality cjpeg_bpp cjpeg_psnr_rgb" : " (cjpeg not found)");
    for (const NamedPicture& picture : pictures) {
        const BgrImage& image = picture.image;
        const double pixels = double(image.width) * image.height;
        if (jpeg.IsAvailable())
            jpeg.SetPicture(image);
        for (const int quality : {0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 99, 100}) {
            std::vector<uint8_t> stream;
            std::optional<cis::DecodedImage> decoded;
            double encodeMs = 1e30;
            double decodeMs = 1e30;
            for (int run = 0; run < 3; ++run) { // the best of three
                const Clock::time_point start = Clock::now();
                stream = cis::EncodeImage(image.width, image.height, image.pixels, quality);
                const Clock::time_point middle = Clock::now();
                decoded = cis::DecodeImage(stream);
                encodeMs = std::min(encodeMs, std::chrono::duration<double, std::milli>(middle - start).count());
                decodeMs = std::min(decodeMs, std::chrono::duration<double, std::milli>(Clock::now() - middle).count());
            }
            if (!decoded)
                continue;
            std::printf("%-10s %3d %7.4f %7.3f %7.3f %7.2f %7.2f", picture.name.c_str(), quality,
                        stream.size() * 8.0 / pixels, testsupport::PeakSignalToNoise(decoded->pixels, image.pixels),
                        LumaPsnr(decoded->pixels, image.pixels), pixels / 1e3 / encodeMs, pixels / 1e3 / decodeMs);
            const bool compare = jpeg.IsAvailable() && (quality % 20 == 10 || quality == 100);
            if (compare) {
                const JpegPeer::Match match = jpeg.MatchSize(stream.size());
                std::printf(" | %3d %7.4f %7.3f", match.quality, match.bytes * 8.0 / pixels, match.psnr);
            }
            std::printf("\n");
        }
    }
}

void PrintProgressive(const NamedPicture& picture)
{
    const BgrImage& image = picture.image;
    const std::vector<uint8_t> stream = cis::EncodeImage(image.width, image.height, image.pixels, 70);
    cis::ImageDecoder decoder(stream);
    std::vector<std::pair<size_t, std::vector<uint8_t>>> passes;
    int code = cis::ImageDecoder::kNeedData;
    for (size_t received = 0; code != cis::ImageDecoder::kDone && code != cis::ImageDecoder::kFailed;) {
        if (code == cis::ImageDecoder::kNeedData) {
            received = std::min(stream.size(), received + 64);
            decoder.SetBytesReceived(received);
        }
        code = decoder.DecodeStep();
        if (code == cis::ImageDecoder::kPreview || code == cis::ImageDecoder::kDone)
            passes.emplace_back(received,
                                testsupport::FromBgr0(decoder.Pixels().data(), image.width, image.height).pixels);
    }
    std::printf("# progressive (%s, quality 70, %zu bytes, 64-byte chunks): pass bytes_arrived psnr_vs_input\n",
                picture.name.c_str(), stream.size());
    for (size_t i = 0; i < passes.size(); ++i)
        std::printf("pass %zu %7zu %7.3f\n", i, passes[i].first,
                    testsupport::PeakSignalToNoise(passes[i].second, image.pixels));
}

void PrintPalette(const std::vector<NamedPicture>& pictures)
{
    std::printf("# palette (256 colours): picture psnr_rgb\n");
    for (const NamedPicture& picture : pictures) {
        const BgrImage& image = picture.image;
        const std::optional<cis::ColourHistogramResult> result =
            cis::BuildColourHistogram(image.pixels, image.width, image.height, 256);
        if (!result)
            continue;
        std::vector<uint8_t> remapped(image.pixels.size());
        for (size_t i = 0; i < result->indices.size(); ++i)
            for (size_t c = 0; c < 3; ++c)
                remapped[3 * i + c] = result->palette[3 * size_t{result->indices[i]} + 2 - c];
        std::printf("%-10s %7.3f\n", picture.name.c_str(), testsupport::PeakSignalToNoise(remapped, image.pixels));
    }
}

// ---- timings

void SetPixelRate(benchmark::State& state, int side)
{
    state.counters["MP/s"] =
        benchmark::Counter(double(side) * side * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

void BM_Encode(benchmark::State& state)
{
    const int side = static_cast<int>(state.range(0));
    const int quality = static_cast<int>(state.range(1));
    const BgrImage image = PictureOfSize(side);
    size_t bytes = 0;
    for (auto _ : state) {
        const std::vector<uint8_t> stream = cis::EncodeImage(side, side, image.pixels, quality);
        bytes = stream.size();
        benchmark::DoNotOptimize(stream.data());
    }
    SetPixelRate(state, side);
    state.counters["bpp"] = bytes * 8.0 / (double(side) * side);
}

void BM_Decode(benchmark::State& state)
{
    const int side = static_cast<int>(state.range(0));
    const BgrImage image = PictureOfSize(side);
    const std::vector<uint8_t> stream = cis::EncodeImage(side, side, image.pixels, static_cast<int>(state.range(1)));
    for (auto _ : state) {
        const std::optional<cis::DecodedImage> decoded = cis::DecodeImage(stream);
        benchmark::DoNotOptimize(decoded->pixels.data());
    }
    SetPixelRate(state, side);
}

void BM_DecodeProgressive(benchmark::State& state)
{
    const int side = static_cast<int>(state.range(0));
    const BgrImage image = PictureOfSize(side);
    const std::vector<uint8_t> stream = cis::EncodeImage(side, side, image.pixels, 50);
    for (auto _ : state) {
        cis::ImageDecoder decoder(stream);
        decoder.SetBytesReceived(stream.size());
        while (decoder.DecodeStep() == cis::ImageDecoder::kPreview) {
        }
        benchmark::DoNotOptimize(decoder.Pixels().data());
    }
    SetPixelRate(state, side);
}

void BM_Palette(benchmark::State& state)
{
    const int side = static_cast<int>(state.range(0));
    const BgrImage image = PictureOfSize(side);
    for (auto _ : state) {
        const std::optional<cis::ColourHistogramResult> result =
            cis::BuildColourHistogram(image.pixels, side, side, 256);
        benchmark::DoNotOptimize(result->indices.data());
    }
    SetPixelRate(state, side);
}

// Band-like: mostly zeros and small values; wave-like: differences of a noisy tone, spread over most bytes.
std::vector<int8_t> CoderInput(bool bandLike)
{
    std::mt19937 rng(3);
    std::vector<int8_t> values(1 << 20);
    std::geometric_distribution<int> magnitude(0.7);
    for (size_t i = 0; i < values.size(); ++i) {
        if (bandLike) {
            const int m = std::min(magnitude(rng), 20);
            values[i] = static_cast<int8_t>(rng() % 2 ? m : -m);
        } else {
            values[i] = static_cast<int8_t>(
                std::lround(60 * std::sin(i * 0.05) + std::normal_distribution<double>(0, 12)(rng)));
        }
    }
    return values;
}

void BM_ArithEncode(benchmark::State& state)
{
    const std::vector<int8_t> values = CoderInput(state.range(0) == 0);
    ArithCoder coder;
    std::vector<uint8_t> out;
    for (auto _ : state) {
        out.clear();
        coder.EncodeSignedBytes(out, values, 257);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(values.size()));
    state.counters["ratio"] = double(out.size()) / double(values.size());
    state.SetLabel(state.range(0) == 0 ? "band-like" : "wave-like");
}

void BM_ArithDecode(benchmark::State& state)
{
    const std::vector<int8_t> values = CoderInput(state.range(0) == 0);
    ArithCoder coder;
    std::vector<uint8_t> stream;
    coder.EncodeSignedBytes(stream, values, 257);
    std::vector<int8_t> back(values.size());
    for (auto _ : state) {
        coder.DecodeSignedBytes(stream, back, 257);
        benchmark::DoNotOptimize(back.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(values.size()));
    state.SetLabel(state.range(0) == 0 ? "band-like" : "wave-like");
}

void BM_ZlibCompress(benchmark::State& state)
{
    const std::vector<int8_t> values = CoderInput(state.range(0) == 0);
    std::vector<Bytef> out(compressBound(values.size()));
    uLongf size = 0;
    for (auto _ : state) {
        size = static_cast<uLongf>(out.size());
        compress2(out.data(), &size, reinterpret_cast<const Bytef*>(values.data()), values.size(), 9);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(values.size()));
    state.counters["ratio"] = double(size) / double(values.size());
    state.SetLabel(state.range(0) == 0 ? "band-like" : "wave-like");
}

BENCHMARK(BM_Encode)->ArgsProduct({{512, 2048}, {10, 50, 90, 100}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode)->ArgsProduct({{512, 2048}, {10, 50, 90, 100}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeProgressive)->Arg(512)->Arg(2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Palette)->Arg(512)->Arg(2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArithEncode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArithDecode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibCompress)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (std::getenv("IMAGE_BENCH_NO_TABLES") == nullptr) {
        const std::vector<NamedPicture> pictures = TablePictures();
        PrintRateDistortion(pictures);
        PrintProgressive(pictures.front());
        PrintPalette(pictures);
        std::fflush(stdout);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
