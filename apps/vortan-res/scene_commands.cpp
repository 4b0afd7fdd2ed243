// vortan-res picture, material, text, particles and speech: the computed scene resources from the command line.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "apps/vortan-res/command_table.h"
#include "engine/core/chunk_stream.h"
#include "engine/resources/gdi_canvas.h"
#include "engine/resources/image32.h"
#include "engine/resources/material.h"
#include "engine/resources/particle_node.h"
#include "engine/resources/picture.h"
#include "engine/resources/speech_data.h"
#include "platform/gfx/text/fixed_font_engine.h"
#include "platform/gfx/text/font_engine.h"
#include "testsupport/image/png_image.h"
#include "testsupport/resources/queue_target.h"
#include "testsupport/tools/tool_input.h"

namespace {

constexpr const char* kPictureUsage = "linear|radial|checker|corner OUT.png [--param NAME=VALUE ...]";
constexpr const char* kMaterialUsage =
    "OUTPREFIX [--ambient I,R,G,B] [--diffuse ...] [--specular ...] [--smoothness N] "
    "[--transparency T] [--mode 2..5] [--bump FILE.png --amount A]";
constexpr const char* kTextUsage = "OUT.png FACE HEIGHT FLAGS ALIGN TEXT [--fixed]";
constexpr const char* kParticlesUsage = "SECONDS [--seed N]";
constexpr const char* kSpeechUsage = "FILE";

int Usage(const char* group, const char* usage)
{
    return ReportToolError(kExitUsage, std::string("usage: vortan-res ") + group + " " + usage);
}

// A finite number: from_chars takes "nan" and "inf", which no setting keeps and no cast may be given.
bool ParseFloat(std::string_view text, float& out)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size() && std::isfinite(out);
}

// A float that converts to a u32: from 0 up to, not including, 2^32.
bool IsU32(float value)
{
    return value >= 0.0f && value < 4294967296.0f;
}

bool ParseFloats(std::string_view text, float* out, int count)
{
    for (int i = 0; i < count; ++i) {
        const size_t comma = text.find(',');
        if ((comma == std::string_view::npos) != (i == count - 1))
            return false;
        if (!ParseFloat(text.substr(0, comma), out[i]))
            return false;
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    }
    return true;
}

bool WritePixels(const std::string& path, const uint32_t* pixels, int width, int height)
{
    std::string error;
    const testsupport::BgrImage image = testsupport::FromBgr0(reinterpret_cast<const uint8_t*>(pixels), width, height);
    if (!testsupport::WritePng(path, image, error)) {
        ReportToolError(kExitRefused, tooltest::WriteRefusal(path, error));
        return false;
    }
    return true;
}

// -- picture linear|radial|checker|corner OUT.png [--param NAME=VALUE ...]
int RunPicture(std::span<char* const> args)
{
    if (args.size() < 2 || (args.size() - 2) % 2 != 0)
        return Usage("picture", kPictureUsage);
    const std::string_view kind = args[0];
    const uint16_t type = kind == "linear"    ? BackgroundGenerator::kLinear
                          : kind == "radial"  ? BackgroundGenerator::kRadial
                          : kind == "checker" ? BackgroundGenerator::kChecker
                          : kind == "corner"  ? BackgroundGenerator::kCorner
                                              : 0;
    if (type == 0)
        return Usage("picture", kPictureUsage);
    SWpicture picture("picture", 256, 256, type);
    BackgroundGenerator& g = picture.GetGenerator();
    for (size_t i = 2; i < args.size(); i += 2) {
        const std::string_view assignment = args[i + 1];
        const size_t equals = assignment.find('=');
        if (std::strcmp(args[i], "--param") != 0 || equals == std::string_view::npos)
            return Usage("picture", kPictureUsage);
        const std::string_view name = assignment.substr(0, equals);
        const std::string_view value = assignment.substr(equals + 1);
        float number = 0.0f;
        bool ok = true;
        if (name == "a" || name == "b" || name == "c" || name == "corner4")
            ok = ParseFloats(value,
                             (name == "a"   ? g.colourA
                              : name == "b" ? g.colourB
                              : name == "c" ? g.colourC
                                            : g.corner4)
                                 .data(),
                             3);
        else if (name == "middle" && (ok = ParseFloat(value, number)))
            g.middlePosition = number;
        else if (name == "middle-on" && (ok = ParseFloat(value, number)))
            g.middleColourOn = number != 0.0f ? 1 : 0;
        else if ((name == "p1" || name == "p2" || name == "p3") && (ok = ParseFloat(value, number)))
            g.parameters[name[1] - '1'] = number;
        else
            ok = false;
        if (!ok)
            return ReportToolError(kExitUsage, "unknown or malformed parameter: " + std::string(assignment));
    }
    picture.Render();
    if (!WritePixels(args[1], picture.GetPixels(), 256, 256))
        return kExitRefused;
    std::printf("picture %s 256x256 centre=%08X\n", std::string(kind).c_str(), picture.GetPixels()[128 * 256 + 128]);
    return kExitDone;
}

// -- material OUTPREFIX [--ambient I,R,G,B] [--diffuse ...] [--specular ...] [--smoothness N] [--transparency T]
//    [--mode 2..5] [--bump FILE.png --amount A]
int RunMaterial(std::span<char* const> args)
{
    if (args.empty() || (args.size() - 1) % 2 != 0)
        return Usage("material", kMaterialUsage);
    const std::string prefix = args[0];
    SWmaterial material("material");
    std::unique_ptr<SWimage32> bump;
    float amount = 0.0f;
    for (size_t i = 1; i < args.size(); i += 2) {
        const std::string_view option = args[i];
        const std::string_view value = args[i + 1];
        float v[4] = {};
        if ((option == "--ambient" || option == "--diffuse" || option == "--specular") && ParseFloats(value, v, 4)) {
            if (option == "--ambient")
                material.SetAmbientColour(v[0], v[1], v[2], v[3]);
            else if (option == "--diffuse")
                material.SetDiffuseColour(v[0], v[1], v[2], v[3]);
            else
                material.SetSpecularColour(v[0], v[1], v[2], v[3]);
        } else if (option == "--smoothness" && ParseFloat(value, v[0])) {
            material.SetSmoothness(v[0]);
        } else if (option == "--transparency" && ParseFloat(value, v[0])) {
            material.SetTransparency(v[0]);
        } else if (option == "--mode" && ParseFloat(value, v[0]) && v[0] >= 2 && v[0] <= 5) {
            material.SetRenderMode(static_cast<uint32_t>(v[0]));
        } else if (option == "--amount" && ParseFloat(value, v[0])) {
            amount = v[0];
        } else if (option == "--bump") {
            std::string error;
            const auto png = tooltest::ReadPngInput(std::string(value), error);
            if (!png)
                return ReportToolError(kExitRefused, error);
            std::vector<uint32_t> pixels(static_cast<size_t>(png->width) * png->height);
            for (size_t p = 0; p < pixels.size(); ++p)
                pixels[p] = 0xFF000000u | uint32_t{png->pixels[p * 3 + 2]} << 16 |
                            uint32_t{png->pixels[p * 3 + 1]} << 8 | png->pixels[p * 3];
            bump = SWimage32::SWimage32FromPixels("bump", png->width, png->height, pixels.data());
            if (bump == nullptr)
                return ReportToolError(kExitRefused, "cannot use " + std::string(value) + " as a bump map: too large");
        } else {
            return ReportToolError(kExitUsage, "bad option: " + std::string(option) + " " + std::string(value));
        }
    }
    material.BuildTexture();
    std::vector<uint32_t> strip(256 * 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 256; ++x)
            strip[y * 256 + x] = (y < 8 ? material.GetRamp1() : material.GetRamp2())[x];
    if (!WritePixels(prefix + "_ramps.png", strip.data(), 256, 16) ||
        !WritePixels(prefix + "_lighting.png", material.GetCompositedTexture()->GetPixels(), 32, 32))
        return kExitRefused;
    // The falloff curve: entry j as a column of height entry / 2 over 512 x 128.
    const auto falloff = material.GetCompositedTexture()->GetFalloff();
    std::vector<uint32_t> curve(512 * 128, 0);
    for (size_t j = 0; j < falloff.size(); ++j)
        for (int y = 127; y >= 128 - falloff[j] / 2; --y)
            curve[static_cast<size_t>(y) * 512 + j] = 0x00FFFFFFu;
    if (!WritePixels(prefix + "_falloff.png", curve.data(), 512, 128))
        return kExitRefused;
    if (bump != nullptr) {
        material.SetBumpTexture(bump.get());
        material.SetBumpAmount(amount);
        material.BuildDot3NormalMap();
        material.SetTexture(bump.get());
        material.BuildTexture();
        material.BuildDot3DiffuseMap();
        const SWtexture* normals = material.GetDot3NormalMap();
        const SWtexture* diffuse = material.GetDot3DiffuseMap();
        if (!WritePixels(prefix + "_dot3_normals.png", normals->GetPixels(), normals->GetWidth(),
                         normals->GetHeight()) ||
            !WritePixels(prefix + "_dot3_diffuse.png", diffuse->GetPixels(), diffuse->GetWidth(), diffuse->GetHeight()))
            return kExitRefused;
    }
    const auto& k = material.GetPackedColours();
    std::printf("highlight scale=%g offset=%g\n", material.GetHighlightScale(), material.GetHighlightOffset());
    std::printf("packed ambient=%06X diffuse=%06X specular=%06X reflection=%06X\n", k[0], k[1], k[2],
                material.GetReflectionParameter());
    std::printf("pairs untextured=%08X,%08X textured=%08X,%08X\n", material.GetUntexturedColours()[0],
                material.GetUntexturedColours()[1], material.GetTexturedColours()[0], material.GetTexturedColours()[1]);
    return kExitDone;
}

// -- text OUT.png "FACE" HEIGHT FLAGS ALIGN "TEXT" [--fixed]
int RunText(std::span<char* const> args)
{
    if (args.size() != 6 && !(args.size() == 7 && std::strcmp(args[6], "--fixed") == 0))
        return Usage("text", kTextUsage);
    float height = 0, flags = 0, align = 0;
    if (!ParseFloat(args[2], height) || !ParseFloat(args[3], flags) || !ParseFloat(args[4], align) || height < 1 ||
        height > 1024 || !IsU32(flags) || !IsU32(align))
        return Usage("text", kTextUsage);
    pf::FixedFontEngine fixed;
    if (args.size() == 7)
        pf::setFontEngine(&fixed);
    const auto probe = GdiCanvas::CreateImage(1, 1);
    const auto measure = GdiCanvas::CreateTextLine(probe.get());
    GdiCanvas::SetFont(measure.get(), args[1], static_cast<uint32_t>(flags), static_cast<int32_t>(height));
    const pf::Size extent = GdiCanvas::GetTextExtent(measure.get(), args[5]);
    const pf::TextMetrics metrics = GdiCanvas::GetTextMetrics(measure.get());
    const int32_t width = std::max(extent.cx, 1);
    const int32_t rows = std::max(metrics.tmHeight, 1);
    const auto image = GdiCanvas::CreateImage(width, rows);
    const auto line = GdiCanvas::CreateTextLine(image.get());
    GdiCanvas::SetFont(line.get(), args[1], static_cast<uint32_t>(flags), static_cast<int32_t>(height));
    GdiCanvas::SetColor(line.get(), 255, 255, 255);
    const uint32_t a = static_cast<uint32_t>(align);
    GdiCanvas::SetTextAlign(line.get(), a);
    const int32_t x = (a & GdiCanvas::kAlignCentre) != 0 ? width / 2 : (a & GdiCanvas::kAlignRight) != 0 ? width : 0;
    const int32_t y = (a & GdiCanvas::kAlignBaseline) != 0 ? metrics.tmAscent
                      : (a & GdiCanvas::kAlignBottom) != 0 ? rows
                                                           : 0;
    GdiCanvas::TextOut(line.get(), x, y, args[5]);
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * rows);
    GdiCanvas::ReadRows(image.get(), 0, rows, pixels.data());
    pf::setFontEngine(nullptr);
    if (!WritePixels(args[0], pixels.data(), width, rows))
        return kExitRefused;
    size_t inked = 0;
    for (uint32_t pixel : pixels)
        inked += (pixel & 0x00FFFFFFu) != 0 ? 1 : 0;
    std::printf("text %dx%d ascent=%d inked=%zu face=%s\n", width, rows, metrics.tmAscent, inked,
                GdiCanvas::GetTextFace(line.get()).c_str());
    return kExitDone;
}

// -- particles SECONDS [--seed N]
int RunParticles(std::span<char* const> args)
{
    float seconds = 0, seed = 1;
    if (args.empty() || !ParseFloat(args[0], seconds) || seconds < 0 || seconds > 3600 ||
        (args.size() != 1 &&
         !(args.size() == 3 && std::strcmp(args[1], "--seed") == 0 && ParseFloat(args[2], seed) && IsU32(seed))))
        return Usage("particles", kParticlesUsage);
    SWparticlenode node;
    node.GetParticles().SetSeed(static_cast<uint32_t>(seed));
    SWmatrix place; // the emitter 3 m in front of the camera and below its axis, its +Z turned to point up
    place[5] = 0.0f;
    place[6] = 1.0f;
    place[9] = -1.0f;
    place[10] = 0.0f;
    place[7] = -0.5f;
    place[11] = -3.0f;
    node.SetRenderMatrix(place);
    node.GetParticles().Start();
    QueueTarget target(640, 480);
    SWmatrix view; // scaled so that 10 m in front reach the far plane, with a view of 90 degrees
    for (int i = 0; i < 12; ++i)
        view[i] *= 0.1f;
    const int frames = static_cast<int>(seconds * 50);
    for (int frame = 0; frame <= frames; ++frame) {
        node.SetWorldTime(static_cast<float>(frame) * 20.0f);
        target.Queue().Clear();
        SWrenderbatch* batch = target.Queue().NewBatch();
        node.Draw(target, nullptr, batch, view);
        if (frame % 50 != 0 || frame == 0)
            continue;
        SWbbox box;
        for (const auto& p : node.GetParticles().GetParticles())
            box.AddPoint(p.position);
        const auto& e = box.Extents();
        std::printf("t=%d live=%u box=%.3f,%.3f,%.3f..%.3f,%.3f,%.3f queued=%u\n", frame / 50,
                    node.GetParticles().GetLiveCount(), e[0], e[2], e[4], e[1], e[3], e[5], node.GetQueuedCount());
    }
    return kExitDone;
}

// -- speech FILE
int RunSpeech(std::span<char* const> args)
{
    if (args.size() != 1)
        return Usage("speech", kSpeechUsage);
    std::string error;
    const std::optional<std::vector<uint8_t>> bytes = tooltest::ReadInput(args[0], error);
    if (!bytes)
        return ReportToolError(kExitRefused, error);
    SWchunkstream in(*bytes);
    SWspeechdata speech;
    if (!speech.Read(in))
        return ReportToolError(kExitRefused, std::string("cannot read ") + args[0] + ": not a speech data record");
    std::printf("name=%s mesh=%s third=%s rate=%u channels=%u\n", speech.GetString(0).c_str(),
                speech.GetString(1).c_str(), speech.GetString(2).c_str(), speech.GetFrameRate(),
                speech.GetChannelCount());
    for (uint32_t c = 0; c < speech.GetChannelCount(); ++c)
        std::printf("channel %u code=%u values=%u\n", c, speech.GetChannel(c)->GetCode(),
                    speech.GetChannel(c)->GetValueCount());
    return kExitDone;
}

const bool kRegistered = RegisterResToolCommand({"picture", "", kPictureUsage, &RunPicture}) &&
                         RegisterResToolCommand({"material", "", kMaterialUsage, &RunMaterial}) &&
                         RegisterResToolCommand({"text", "", kTextUsage, &RunText}) &&
                         RegisterResToolCommand({"particles", "", kParticlesUsage, &RunParticles}) &&
                         RegisterResToolCommand({"speech", "", kSpeechUsage, &RunSpeech});

} // namespace
