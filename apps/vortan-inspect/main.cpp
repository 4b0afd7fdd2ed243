// vortan-inspect: what the designer's readers make of a file a reviewer names. `icon FILE [--png OUT]` prints an
// ICO, CUR, XBM or XPM file's size, hot spot and colours (and writes the picture over white as a PNG); `class FILE`
// prints a Java class file's names and the methods the Java panel would list. Refusals exit with the tools' refusal
// code and one line naming the file and the reason.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "apps/vortan-codec/tool_io.h"
#include "designer/app/icon_image.h"
#include "designer/app/java_class_reader.h"
#include "platform/base/atomic_file.h"
#include "platform/gfx/png_file.h"

namespace {

using namespace codectool;

constexpr const char* kUsage = "usage: vortan-inspect icon FILE [--png OUT] | class FILE\n"
                               "exit codes: 0 done, 2 usage, 3 an input or output refused";

int Refuse(int code, const std::string& message)
{
    std::fprintf(stderr, "vortan-inspect: %s\n", message.c_str());
    return code;
}

bool ReadIcon(const std::string& path, const std::vector<uint8_t>& bytes, CVTND_IconImage& out, std::string& reason)
{
    switch (IconKindOfName(path)) {
    case IconFileKind::kIco:
        return ReadIcoImage(bytes, out, reason);
    case IconFileKind::kXbm:
        return ReadXbmImage(bytes, out, reason);
    case IconFileKind::kXpm:
        return ReadXpmImage(bytes, out, reason);
    default:
        reason = "not an .ico, .cur, .xbm or .xpm file";
        return false;
    }
}

std::vector<uint8_t> OverWhite(const CVTND_IconImage& image)
{
    std::vector<uint8_t> rgb;
    rgb.reserve(image.argb.size() * 3);
    for (const uint32_t pixel : image.argb) {
        const uint32_t alpha = pixel >> 24;
        for (const int shift : {16, 8, 0}) {
            const uint32_t channel = (pixel >> shift) & 0xFF;
            rgb.push_back(static_cast<uint8_t>((channel * alpha + 255 * (255 - alpha) + 127) / 255));
        }
    }
    return rgb;
}

int InspectIcon(const std::vector<std::string>& args)
{
    if (args.size() != 1 && !(args.size() == 3 && args[1] == "--png"))
        return Refuse(kExitUsage, kUsage);
    const std::string& path = args[0];
    std::string error;
    std::unique_ptr<pf::AtomicFile> output;
    if (args.size() == 3 && (output = OpenOutput(args[2], error)) == nullptr)
        return Refuse(kExitRefused, error);
    const std::optional<std::vector<uint8_t>> bytes = ReadWholeFile(path, error);
    if (!bytes)
        return Refuse(kExitRefused, error);
    CVTND_IconImage image;
    if (!ReadIcon(path, *bytes, image, error))
        return Refuse(kExitRefused, path + ": " + error);
    size_t opaque = 0;
    for (const uint32_t pixel : image.argb)
        opaque += (pixel >> 24) != 0 ? 1 : 0;
    std::printf("size %dx%d\nhot spot %d,%d\ncolours %u\nopaque pixels %zu\n", image.width, image.height,
                image.hotSpotX, image.hotSpotY, image.colourCount, opaque);
    if (output != nullptr) {
        pf::PngImage png{image.width, image.height, pf::PngPixels::kRgb, OverWhite(image)};
        const std::optional<std::vector<uint8_t>> encoded = pf::encodePng(png, error);
        if (!encoded || !FinishOutput(*output, *encoded, error))
            return Refuse(kExitRefused, args[2] + ": " + error);
    }
    return kExitDone;
}

int InspectClass(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        return Refuse(kExitUsage, kUsage);
    std::string error;
    const std::optional<std::vector<uint8_t>> bytes = ReadWholeFile(args[0], error);
    if (!bytes)
        return Refuse(kExitRefused, error);
    CVTND_JavaClass parsed;
    if (!CVTND_JavaClassReader::Read(*bytes, parsed, error))
        return Refuse(kExitRefused, args[0] + ": " + error);
    std::printf("class %s\nsuper %s\nversion %u.%u\nfields %u\nmethods %zu\n", parsed.className.c_str(),
                parsed.superName.c_str(), parsed.majorVersion, parsed.minorVersion, parsed.fieldCount,
                parsed.methods.size());
    for (const CVTND_JavaClassMethod& method : parsed.methods)
        std::printf("  %s%s\n", method.name.c_str(), method.descriptor.c_str());
    return kExitDone;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + (argc > 1 ? 2 : argc), argv + argc);
    const std::string command = argc > 1 ? argv[1] : "";
    // An option is never a file name: only "--png" where it stands is one.
    for (size_t i = 0; i < args.size(); ++i)
        if (args[i].starts_with("-") && !(command == "icon" && i == 1 && args[i] == "--png"))
            return Refuse(kExitUsage, kUsage);
    if (command == "icon")
        return InspectIcon(args);
    if (command == "class")
        return InspectClass(args);
    return Refuse(kExitUsage, kUsage);
}
