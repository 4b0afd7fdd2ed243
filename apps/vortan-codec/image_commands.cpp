// `vortan-codec image ...`: the image codec on PNG files. Each run prints one line: width, height, stream bytes,
// bits per pixel, PSNR against the input where there is one, and milliseconds. Every command takes
// `--max-pixels N` after its arguments: the most pixels a PNG or stream may claim before it is refused.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "apps/vortan-codec/command_table.h"
#include "apps/vortan-codec/tool_io.h"
#include "codecs/image/image_codec.h"
#include "codecs/image/image_decoder.h"
#include "codecs/image/palette_quantiser.h"
#include "platform/base/atomic_file.h"
#include "platform/gfx/png_file.h"
#include "testsupport/image/png_image.h"

namespace {

using Clock = std::chrono::steady_clock;
using codectool::kExitDone;
using codectool::kExitFailed;
using codectool::kExitRefused;
using codectool::kExitUsage;
using codectool::ReportError;
using testsupport::BgrImage;

constexpr size_t kProgressiveChunkBytes = 256;
// The largest --max-pixels taken: the stream decoders read anything above the format's ceiling as that ceiling,
// and 4 G pixels of PNG is more than any machine here holds.
constexpr int64_t kLargestPixelLimit = int64_t{1} << 32;

struct ImageArguments {
    std::vector<const char*> paths;
    uint64_t maxPixels = cis::kDefaultMaxPixels;
};

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The PNG whole from the file, so that a missing file, a folder and a damaged picture each get their own cause.
std::optional<BgrImage> ReadPicture(const std::string& path, uint64_t maxPixels, std::string& outError)
{
    const std::optional<std::vector<uint8_t>> file = codectool::ReadWholeFile(path, outError);
    if (!file)
        return std::nullopt;
    std::optional<pf::PngImage> png = pf::readPngBytes(*file, {pf::PngPixels::kBgr, maxPixels}, outError);
    if (!png) {
        outError = "cannot read " + path + ": " + outError;
        return std::nullopt;
    }
    return BgrImage{png->width, png->height, std::move(png->bytes)};
}

bool FinishPicture(pf::AtomicFile& output, const BgrImage& image, std::string& outError)
{
    const std::optional<std::vector<uint8_t>> png =
        pf::encodePng({image.width, image.height, pf::PngPixels::kBgr, image.pixels}, outError);
    return png && codectool::FinishOutput(output, *png, outError);
}

bool WritePicture(const std::string& path, const BgrImage& image, std::string& outError)
{
    const std::unique_ptr<pf::AtomicFile> output = codectool::OpenOutput(path, outError);
    return output && FinishPicture(*output, image, outError);
}

// A refused claim is the stream's fault; only a failed allocation within the limit is the machine's.
int ReportDecodeFailure(const char* path, cis::DecodeStatus status, int width, int height, uint64_t maxPixels)
{
    const std::string cannot = std::string("cannot decode ") + path + ": ";
    if (status == cis::DecodeStatus::kTooLarge)
        return ReportError(kExitRefused, cannot + "it claims " + std::to_string(width) + " x " +
                                             std::to_string(height) + " pixels, more than the limit of " +
                                             std::to_string(maxPixels) + " (--max-pixels)");
    if (status == cis::DecodeStatus::kOutOfMemory)
        return ReportError(kExitFailed, cannot + "out of memory");
    return ReportError(kExitRefused, cannot + "not a CIS3.0 stream of a supported type, or damaged or cut short");
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

int Encode(const ImageArguments& args)
{
    std::string error;
    const std::optional<int64_t> quality = codectool::ParseNumber(args.paths[2], {"QUALITY", 0, 100}, error);
    if (!quality)
        return ReportError(kExitUsage, error);
    const std::optional<BgrImage> input = ReadPicture(args.paths[0], args.maxPixels, error);
    if (!input)
        return ReportError(kExitRefused, error);
    const std::unique_ptr<pf::AtomicFile> output = codectool::OpenOutput(args.paths[1], error);
    if (!output)
        return ReportError(kExitRefused, error);
    const Clock::time_point start = Clock::now();
    const std::vector<uint8_t> stream =
        cis::EncodeImage(input->width, input->height, input->pixels, static_cast<int>(*quality));
    const double ms = MillisecondsSince(start);
    if (stream.empty())
        return ReportError(kExitRefused, std::string("cannot encode ") + args.paths[0] +
                                             ": larger than the format carries, or out of memory");
    // The encoder's own output, decoded for the PSNR line: it may claim up to the format's ceiling.
    const std::optional<cis::DecodedImage> decoded = cis::DecodeImage(stream, {cis::kMaxPixels});
    if (!decoded)
        return ReportError(kExitFailed, std::string("the stream encoded from ") + args.paths[0] + " does not decode");
    if (!codectool::FinishOutput(*output, stream, error))
        return ReportError(kExitRefused, error);
    PrintRun(input->width, input->height, stream.size(), testsupport::PeakSignalToNoise(decoded->pixels, input->pixels),
             ms);
    return kExitDone;
}

int Decode(const ImageArguments& args)
{
    std::string error;
    const std::optional<std::vector<uint8_t>> stream = codectool::ReadWholeFile(args.paths[0], error);
    if (!stream)
        return ReportError(kExitRefused, error);
    const std::unique_ptr<pf::AtomicFile> output = codectool::OpenOutput(args.paths[1], error);
    if (!output)
        return ReportError(kExitRefused, error);
    const Clock::time_point start = Clock::now();
    cis::DecodedImage decoded;
    const cis::DecodeStatus status = cis::DecodeImageChecked(*stream, {args.maxPixels}, decoded);
    const double ms = MillisecondsSince(start);
    if (status != cis::DecodeStatus::kOk)
        return ReportDecodeFailure(args.paths[0], status, decoded.width, decoded.height, args.maxPixels);
    if (!FinishPicture(*output, BgrImage{decoded.width, decoded.height, decoded.pixels}, error))
        return ReportError(kExitRefused, error);
    PrintRun(decoded.width, decoded.height, stream->size(), std::nullopt, ms);
    return kExitDone;
}

std::string PassFileName(const char* prefix, size_t pass)
{
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, "-%02zu.png", pass);
    return prefix + std::string(suffix);
}

// Feeds the stream in small chunks as if it arrived over a slow line and writes every preview as
// PREFIX-NN.png; the PSNR of each is against the final picture.
int Progressive(const ImageArguments& args)
{
    std::string error;
    const std::optional<std::vector<uint8_t>> stream = codectool::ReadWholeFile(args.paths[0], error);
    if (!stream)
        return ReportError(kExitRefused, error);
    // The first pass's file, opened before decoding: the later names share its folder, so it speaks for them.
    const std::unique_ptr<pf::AtomicFile> firstOutput = codectool::OpenOutput(PassFileName(args.paths[1], 0), error);
    if (!firstOutput)
        return ReportError(kExitRefused, error);
    const Clock::time_point start = Clock::now();
    cis::ImageDecoder decoder(*stream, {}, {args.maxPixels});
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
        // A stream that ends before its picture is complete is cut short, whatever the last step said.
        const cis::DecodeStatus status =
            code == cis::ImageDecoder::kFailed ? decoder.Failure() : cis::DecodeStatus::kDamaged;
        return ReportDecodeFailure(args.paths[0], status, decoder.Width(), decoder.Height(), args.maxPixels);
    }
    for (size_t i = 0; i < passes.size(); ++i) {
        const bool written = i == 0 ? FinishPicture(*firstOutput, passes[i], error)
                                    : WritePicture(PassFileName(args.paths[1], i), passes[i], error);
        if (!written)
            return ReportError(kExitRefused, error);
        std::printf("pass=%zu bytes=%zu psnr=%.3f\n", i, arrived[i],
                    testsupport::PeakSignalToNoise(passes[i].pixels, passes.back().pixels));
    }
    PrintRun(decoder.Width(), decoder.Height(), stream->size(), std::nullopt, ms);
    return kExitDone;
}

int Palette(const ImageArguments& args)
{
    std::string error;
    const std::optional<int64_t> colours = codectool::ParseNumber(args.paths[2], {"COLOURS", 1, 256}, error);
    if (!colours)
        return ReportError(kExitUsage, error);
    const std::optional<BgrImage> input = ReadPicture(args.paths[0], args.maxPixels, error);
    if (!input)
        return ReportError(kExitRefused, error);
    const std::unique_ptr<pf::AtomicFile> output = codectool::OpenOutput(args.paths[1], error);
    if (!output)
        return ReportError(kExitRefused, error);
    const Clock::time_point start = Clock::now();
    const std::optional<cis::ColourHistogramResult> result =
        cis::BuildColourHistogram(input->pixels, input->width, input->height, static_cast<int>(*colours));
    const double ms = MillisecondsSince(start);
    if (!result)
        return ReportError(kExitRefused,
                           std::string("cannot reduce ") + args.paths[0] + ": too many pixels, or out of memory");
    BgrImage remapped{input->width, input->height, std::vector<uint8_t>(input->pixels.size())};
    for (size_t i = 0; i < result->indices.size(); ++i) {
        const uint8_t* entry = &result->palette[3 * size_t{result->indices[i]}];
        remapped.pixels[3 * i] = entry[2]; // the palette holds p2, p1, p0
        remapped.pixels[3 * i + 1] = entry[1];
        remapped.pixels[3 * i + 2] = entry[0];
    }
    if (!FinishPicture(*output, remapped, error))
        return ReportError(kExitRefused, error);
    // The stored size of a palette picture: 3 bytes per entry and one index byte per pixel.
    PrintRun(input->width, input->height, size_t(result->colours) * 3 + result->indices.size(),
             testsupport::PeakSignalToNoise(remapped.pixels, input->pixels), ms);
    return kExitDone;
}

// The positional arguments, then an optional `--max-pixels N`.
template <int (*Run)(const ImageArguments&), size_t kPaths> int WithArguments(std::span<char* const> args)
{
    ImageArguments parsed;
    std::string error = "expected " + std::to_string(kPaths) + " arguments before any option";
    for (size_t i = 0; i < args.size(); ++i) {
        if (std::strcmp(args[i], "--max-pixels") != 0) {
            parsed.paths.push_back(args[i]);
            continue;
        }
        if (i + 1 >= args.size())
            return ReportError(kExitUsage, "--max-pixels needs a value");
        const std::optional<int64_t> limit =
            codectool::ParseNumber(args[++i], {"--max-pixels", 1, kLargestPixelLimit}, error);
        if (!limit)
            return ReportError(kExitUsage, error);
        parsed.maxPixels = static_cast<uint64_t>(*limit);
    }
    if (parsed.paths.size() != kPaths)
        return ReportError(kExitUsage, error + "; see vortan-codec with no arguments");
    return Run(parsed);
}

const bool kRegistered =
    RegisterCodecToolCommand(
        {"image", "encode", "IN.png OUT.cis QUALITY [--max-pixels N]", WithArguments<Encode, 3>}) &&
    RegisterCodecToolCommand({"image", "decode", "IN.cis OUT.png [--max-pixels N]", WithArguments<Decode, 2>}) &&
    RegisterCodecToolCommand(
        {"image", "progressive", "IN.cis OUTPREFIX [--max-pixels N]", WithArguments<Progressive, 2>}) &&
    RegisterCodecToolCommand(
        {"image", "palette", "IN.png OUT.png COLOURS [--max-pixels N]", WithArguments<Palette, 3>});

} // namespace
