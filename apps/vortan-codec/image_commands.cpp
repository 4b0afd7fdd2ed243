// `vortan-codec image ...`: the image codec on PNG files. Each run prints one line: width, height, stream bytes,
// bits per pixel, PSNR against the input where there is one, and milliseconds.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "apps/vortan-codec/command_table.h"
#include "codecs/image/image_codec.h"
#include "codecs/image/image_decoder.h"
#include "codecs/image/palette_quantiser.h"
#include "testsupport/image/png_image.h"

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::BgrImage;

constexpr size_t kProgressiveChunkBytes = 256;

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::optional<std::vector<uint8_t>> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::optional<int> ParseInt(const char* text)
{
    try {
        size_t used = 0;
        const int value = std::stoi(text, &used);
        return used == std::string(text).size() ? std::optional<int>(value) : std::nullopt;
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<BgrImage> ReadPicture(const std::string& path)
{
    std::string error;
    std::optional<BgrImage> image = testsupport::ReadPng(path, error);
    if (!image)
        std::fprintf(stderr, "vortan-codec: cannot read %s: %s\n", path.c_str(), error.c_str());
    return image;
}

bool WritePicture(const std::string& path, const BgrImage& image)
{
    std::string error;
    if (testsupport::WritePng(path, image, error))
        return true;
    std::fprintf(stderr, "vortan-codec: cannot write %s: %s\n", path.c_str(), error.c_str());
    return false;
}

void PrintRun(int width, int height, size_t bytes, std::optional<double> psnr, double ms)
{
    const double bitsPerPixel = static_cast<double>(bytes) * 8.0 / (double(width) * double(height));
    std::printf("width=%d height=%d bytes=%zu bpp=%.4f psnr=", width, height, bytes, bitsPerPixel);
    if (psnr)
        std::printf("%.3f", *psnr);
    else
        std::printf("-");
    std::printf(" ms=%.2f\n", ms);
}

int Encode(std::span<char* const> args)
{
    const std::optional<int> quality = ParseInt(args[2]);
    if (!quality || *quality < 0 || *quality > 100) {
        std::fprintf(stderr, "vortan-codec: quality must be 0..100\n");
        return 2;
    }
    const std::optional<BgrImage> input = ReadPicture(args[0]);
    if (!input)
        return 1;
    const Clock::time_point start = Clock::now();
    const std::vector<uint8_t> stream = cis::EncodeImage(input->width, input->height, input->pixels, *quality);
    const double ms = MillisecondsSince(start);
    if (stream.empty()) {
        std::fprintf(stderr, "vortan-codec: the picture cannot be encoded\n");
        return 1;
    }
    const std::optional<cis::DecodedImage> decoded = cis::DecodeImage(stream);
    if (!decoded || !WriteFile(args[1], stream)) {
        std::fprintf(stderr, "vortan-codec: cannot write %s\n", args[1]);
        return 1;
    }
    PrintRun(input->width, input->height, stream.size(), testsupport::PeakSignalToNoise(decoded->pixels, input->pixels),
             ms);
    return 0;
}

int Decode(std::span<char* const> args)
{
    const std::optional<std::vector<uint8_t>> stream = ReadFile(args[0]);
    if (!stream) {
        std::fprintf(stderr, "vortan-codec: cannot read %s\n", args[0]);
        return 1;
    }
    const Clock::time_point start = Clock::now();
    const std::optional<cis::DecodedImage> decoded = cis::DecodeImage(*stream);
    const double ms = MillisecondsSince(start);
    if (!decoded) {
        std::fprintf(stderr, "vortan-codec: %s is not a readable CIS3.0 stream\n", args[0]);
        return 1;
    }
    if (!WritePicture(args[1], BgrImage{decoded->width, decoded->height, decoded->pixels}))
        return 1;
    PrintRun(decoded->width, decoded->height, stream->size(), std::nullopt, ms);
    return 0;
}

// Feeds the stream in small chunks as if it arrived over a slow line and writes every preview as
// PREFIX-NN.png; the PSNR of each is against the final picture.
int Progressive(std::span<char* const> args)
{
    const std::optional<std::vector<uint8_t>> stream = ReadFile(args[0]);
    if (!stream) {
        std::fprintf(stderr, "vortan-codec: cannot read %s\n", args[0]);
        return 1;
    }
    const Clock::time_point start = Clock::now();
    cis::ImageDecoder decoder(*stream);
    std::vector<BgrImage> passes;
    std::vector<size_t> arrived;
    int code = cis::ImageDecoder::kNeedData;
    for (size_t received = 0; code != cis::ImageDecoder::kDone && code != cis::ImageDecoder::kFailed;) {
        if (code == cis::ImageDecoder::kNeedData) {
            if (received == stream->size())
                break;
            received = std::min(stream->size(), received + kProgressiveChunkBytes);
            decoder.SetBytesReceived(received);
        }
        code = decoder.DecodeStep();
        if (code == cis::ImageDecoder::kPreview || code == cis::ImageDecoder::kDone) {
            passes.push_back(testsupport::FromBgr0(decoder.Pixels().data(), decoder.Width(), decoder.Height()));
            arrived.push_back(received);
        }
    }
    const double ms = MillisecondsSince(start);
    if (code != cis::ImageDecoder::kDone) {
        std::fprintf(stderr, "vortan-codec: %s did not decode (step code %d)\n", args[0], code);
        return 1;
    }
    for (size_t i = 0; i < passes.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "-%02zu.png", i);
        if (!WritePicture(std::string(args[1]) + name, passes[i]))
            return 1;
        std::printf("pass=%zu bytes=%zu psnr=%.3f\n", i, arrived[i],
                    testsupport::PeakSignalToNoise(passes[i].pixels, passes.back().pixels));
    }
    PrintRun(decoder.Width(), decoder.Height(), stream->size(), std::nullopt, ms);
    return 0;
}

int Palette(std::span<char* const> args)
{
    const std::optional<int> colours = ParseInt(args[2]);
    if (!colours || *colours < 1 || *colours > 256) {
        std::fprintf(stderr, "vortan-codec: colours must be 1..256\n");
        return 2;
    }
    const std::optional<BgrImage> input = ReadPicture(args[0]);
    if (!input)
        return 1;
    const Clock::time_point start = Clock::now();
    const std::optional<cis::ColourHistogramResult> result =
        cis::BuildColourHistogram(input->pixels, input->width, input->height, *colours);
    const double ms = MillisecondsSince(start);
    if (!result) {
        std::fprintf(stderr, "vortan-codec: the picture cannot be reduced\n");
        return 1;
    }
    BgrImage remapped{input->width, input->height, std::vector<uint8_t>(input->pixels.size())};
    for (size_t i = 0; i < result->indices.size(); ++i) {
        const uint8_t* entry = &result->palette[3 * size_t{result->indices[i]}];
        remapped.pixels[3 * i] = entry[2]; // the palette holds p2, p1, p0
        remapped.pixels[3 * i + 1] = entry[1];
        remapped.pixels[3 * i + 2] = entry[0];
    }
    if (!WritePicture(args[1], remapped))
        return 1;
    // The stored size of a palette picture: 3 bytes per entry and one index byte per pixel.
    PrintRun(input->width, input->height, size_t(result->colours) * 3 + result->indices.size(),
             testsupport::PeakSignalToNoise(remapped.pixels, input->pixels), ms);
    return 0;
}

template <int (*Run)(std::span<char* const>), size_t kArgs> int WithArguments(std::span<char* const> args)
{
    if (args.size() != kArgs) {
        std::fprintf(stderr, "vortan-codec image: expected %zu arguments\n", kArgs);
        return 2;
    }
    return Run(args);
}

const bool kRegistered =
    RegisterCodecToolCommand({"image", "encode", "IN.png OUT.cis QUALITY", WithArguments<Encode, 3>}) &&
    RegisterCodecToolCommand({"image", "decode", "IN.cis OUT.png", WithArguments<Decode, 2>}) &&
    RegisterCodecToolCommand({"image", "progressive", "IN.cis OUTPREFIX", WithArguments<Progressive, 2>}) &&
    RegisterCodecToolCommand({"image", "palette", "IN.png OUT.png COLOURS", WithArguments<Palette, 3>});

} // namespace
