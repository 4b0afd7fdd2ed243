// `vortan-world publish IN.vtn OUT.vto [options]`: sets the schemes asked for (or converts the textures as the
// texture editor would), writes the published file, reads it back and prints one line per resource: kind, name,
// scheme, the bytes of its record before the container compresses, and for meshes and textures the error against
// the source. Then the totals and each phase's milliseconds.
// `vortan-world texture IN.vtn OUT.vtn NAME KIND`: converts one texture as the texture editor's kind combo does.
#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "apps/vortan-world/command_table.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/mesh_node.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "engine/core/world_file.h"
#include "engine/resources/animation_schemes.h"
#include "engine/resources/compression_scheme.h"
#include "engine/resources/image32.h"
#include "engine/resources/image8.h"
#include "engine/resources/mesh_object.h"
#include "engine/resources/palette_image.h"
#include "engine/resources/resource_report.h"
#include "engine/resources/sound.h"
#include "engine/resources/sound_list.h"
#include "engine/resources/texture.h"
#include "engine/resources/wavelet_image.h"
#include "engine/resources/world_records.h"
#include "platform/base/endian.h"
#include "testsupport/tools/tool_world.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitRefused = 3;

int Refuse(const std::string& message)
{
    std::fprintf(stderr, "vortan-world: %s\n", message.c_str());
    return kExitRefused;
}

// Reports go to stdout as the tool's own lines, so they sit beside the resource they concern.
class PrintingSink : public ResourceReportSink {
public:
    void Report(const ResourceReport& report) override
    {
        if (!muted)
            std::printf("report [%s] %s\n", report.caption.c_str(), report.text.c_str());
    }
    bool muted = false;
};

struct SinkInstallation {
    explicit SinkInstallation(ResourceReportSink* sink) { SetResourceReportSink(sink); }
    ~SinkInstallation() { SetResourceReportSink(nullptr); }
};

class Stopwatch {
public:
    double LapMs()
    {
        const auto now = std::chrono::steady_clock::now();
        const double ms = std::chrono::duration<double, std::milli>(now - m_start).count();
        m_start = now;
        return ms;
    }

private:
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

std::string IdText(uint32_t id)
{
    char text[5] = {};
    pf::storeU32le(reinterpret_cast<uint8_t*>(text), id);
    return text;
}

// The offered row of kind spelled text; null, with outError naming the offered ones, otherwise.
const SWcompressionscheme* OfferedRow(const char* text, SchemeKind kind, const char* option, std::string& outError)
{
    std::string offered;
    for (const SWcompressionscheme* row : SWcompressionschemes::Table().OfferedRows(kind)) {
        if (std::strlen(text) == 4 && row->GetId() == pf::loadU32le(reinterpret_cast<const uint8_t*>(text)))
            return row;
        offered += (offered.empty() ? "" : ", ") + IdText(row->GetId());
    }
    outError = std::string(option) + " \"" + text + "\" is not an offered scheme of its kind: " + offered;
    return nullptr;
}

// -- Texture kinds, as the texture editor's combo converts them

struct TextureKind {
    uint32_t tag = 0; // "CI32", "CIG8", "WAVL" or "CIMG"
    int quality = 0;  // "WAVL" only
};

// "CI32", "CIG8", "CIMG" or "WAVL:Q"; false, with outError naming the value and what is taken, otherwise.
bool ParseTextureKind(const std::string& text, TextureKind& out, std::string& outError)
{
    if (text == "CI32" || text == "CIG8" || text == "CIMG") {
        out.tag = pf::loadU32le(reinterpret_cast<const uint8_t*>(text.c_str()));
        return true;
    }
    if (text.rfind("WAVL:", 0) != 0) {
        outError = "the texture kind \"" + text + "\" is none of CI32, CIG8, WAVL:Q and CIMG";
        return false;
    }
    int quality = -1;
    const char* const digits = text.c_str() + 5;
    const char* const end = text.c_str() + text.size();
    const auto [stop, error] = std::from_chars(digits, end, quality);
    if (error != std::errc() || stop != end || quality < 0 || quality > 100) {
        outError = "the quality of \"" + text + "\" must be a whole number from 0 to 100";
        return false;
    }
    out = {MakeTag("WAVL"), quality};
    return true;
}

// A new image of kind from the texture's name, size and pixels; null when the texture has none.
std::unique_ptr<SWtexture> Convert(const SWtexture& source, const TextureKind& kind)
{
    const uint32_t* const pixels = source.GetPixels();
    if (pixels == nullptr)
        return nullptr;
    const int64_t width = source.GetWidth(), height = source.GetHeight();
    std::unique_ptr<SWtexture> made;
    if (kind.tag == MakeTag("CI32")) {
        made = std::make_unique<SWimage32>(source.GetName(), width, height, pixels);
    } else if (kind.tag == MakeTag("CIG8")) {
        std::vector<uint8_t> grey(static_cast<size_t>(width * height));
        for (size_t i = 0; i < grey.size(); ++i)
            grey[i] = SWpixelimage::GreyOf(pixels[i]);
        made = std::make_unique<SWimage8>(source.GetName(), width, height, grey.data());
    } else if (kind.tag == MakeTag("WAVL")) {
        made = std::make_unique<SWwaveletimage>(source.GetName(), width, height, pixels, kind.quality);
    } else {
        made = std::make_unique<SWimage>(source.GetName(), width, height, pixels);
    }
    return made->GetPixels() != nullptr ? std::move(made) : nullptr;
}

// Replaces old in the texture list; every holder of old is pointed at the new one and old is deleted.
bool ReplaceTexture(SWworld& world, SWtexture* old, const TextureKind& kind)
{
    std::unique_ptr<SWtexture> made = Convert(*old, kind);
    if (made == nullptr)
        return false;
    SWtexture* const added = made.get();
    if (!world.GetRootObject()->AddTexture(std::move(made)))
        return false;
    world.ReplaceTextureReferences(old, added, false);
    return true;
}

std::vector<SWtexture*> Textures(const SWworld& world)
{
    std::vector<SWtexture*> out;
    for (SWtexture* t = world.GetRootObject()->GetFirstTexture(); t != nullptr; t = SWrootobject::GetNextTexture(t))
        out.push_back(t);
    return out;
}

std::vector<SWmesh*> Meshes(const SWworld& world)
{
    std::vector<SWmesh*> out;
    const SWobjectlist* list = world.GetRootObject()->GetList(SWobjectlist::Kind::kGeometry);
    for (CVTN_Container* c = list != nullptr ? list->GetFirstChild() : nullptr; c != nullptr; c = c->GetNextSibling())
        if (auto* mesh = dynamic_cast<SWmesh*>(c); mesh != nullptr)
            out.push_back(mesh);
    return out;
}

// -- Errors against the source

std::vector<float> RestPositions(const SWmesh& mesh)
{
    const auto* object = dynamic_cast<const SWmeshobject*>(&mesh);
    const float* v =
        object != nullptr && object->GetBaseVertices() != nullptr ? object->GetBaseVertices() : mesh.GetVertices();
    return v != nullptr ? std::vector<float>(v, v + size_t{mesh.GetVertexCount()} * 3) : std::vector<float>();
}

// The largest distance (per axis) from a used vertex of loaded to the nearest source vertex, and the source's
// largest extent. The codec renumbers vertices, so each is matched through a grid of the source's.
std::pair<double, double> MeshError(const SWmesh& source, const SWmesh& loaded)
{
    const std::vector<float> from = RestPositions(source), to = RestPositions(loaded);
    if (from.empty() || to.empty())
        return {0, 0};
    std::array<float, 3> low{from[0], from[1], from[2]}, high = low;
    for (size_t i = 0; i < from.size(); ++i) {
        low[i % 3] = std::min(low[i % 3], from[i]);
        high[i % 3] = std::max(high[i % 3], from[i]);
    }
    const double extent = std::max({double{high[0]} - low[0], double{high[1]} - low[1], double{high[2]} - low[2]});
    const double cell = std::max(extent / 128.0, 1e-20);
    // Counted from the source's low corner, a source vertex falls in cells 0..128; a decoded one far outside, or
    // not a number (a file may hold any float), is held to a cell beyond them, never converted out of range.
    auto axisCell = [&](float value, int axis) {
        const double at = std::floor((double{value} - low[axis]) / cell);
        return at >= -1024.0 && at <= 1024.0 ? static_cast<int64_t>(at) : int64_t{2048};
    };
    auto key = [&](const float* v, int d) {
        return std::array<int64_t, 3>{axisCell(v[0], 0) + d % 3 - 1, axisCell(v[1], 1) + d / 3 % 3 - 1,
                                      axisCell(v[2], 2) + d / 9 - 1};
    };
    std::map<std::array<int64_t, 3>, std::vector<uint32_t>> grid;
    for (uint32_t v = 0; v < from.size() / 3; ++v)
        grid[key(&from[v * 3], 13)].push_back(v);
    auto distance = [&](const float* v, uint32_t s) {
        double worst = 0;
        for (int a = 0; a < 3; ++a)
            worst = std::max<double>(worst, std::fabs(v[a] - from[s * 3 + a]));
        return worst;
    };
    double error = 0;
    for (size_t v = 0; v < to.size() / 3; ++v) {
        double best = 1e300;
        for (int d = 0; d < 27; ++d)
            if (const auto found = grid.find(key(&to[v * 3], d)); found != grid.end())
                for (const uint32_t s : found->second)
                    best = std::min(best, distance(&to[v * 3], s));
        if (best > cell) // farther than the neighbouring cells reach: look at every source vertex
            for (uint32_t s = 0; s < from.size() / 3; ++s)
                best = std::min(best, distance(&to[v * 3], s));
        error = std::max(error, best);
    }
    return {error, extent};
}

struct PixelError {
    double psnr = 0; // dB over red, green and blue; infinite when equal
    int largest = 0; // the largest channel difference
};

PixelError TextureError(const std::vector<uint32_t>& source, const SWtexture& loaded)
{
    const uint32_t* pixels = loaded.GetPixels();
    const size_t count = size_t{loaded.GetWidth32()} * loaded.GetHeight32();
    if (pixels == nullptr || count != source.size() || count == 0)
        return {0, 255};
    double squares = 0;
    PixelError error;
    for (size_t i = 0; i < count; ++i)
        for (int shift = 0; shift < 24; shift += 8) {
            const int d = static_cast<int>((source[i] >> shift) & 0xFF) - static_cast<int>((pixels[i] >> shift) & 0xFF);
            squares += d * d;
            error.largest = std::max(error.largest, std::abs(d));
        }
    const double mse = squares / (3.0 * static_cast<double>(count));
    error.psnr = mse == 0 ? INFINITY : 10.0 * std::log10(255.0 * 255.0 / mse);
    return error;
}

// -- The bytes of each resource's record, before the container compresses

size_t SchemeRecordBytes(int kind, CVTN_Container* object, uint32_t word, const SWcompressionscheme*& used)
{
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    auto* choice = dynamic_cast<SWschemechoice*>(object);
    const SWcompressionscheme* const chosen = choice != nullptr ? choice->GetScheme() : nullptr;
    used = SWcompressionschemes::Table().RowFor(kind, object, SchemeWriteMode::kChosen);
    const bool written = SWcompressionschemes::Table().WriteResource(kind, out, object, word);
    if (choice != nullptr)
        choice->SetScheme(chosen);
    return written ? buffer.Size() : 0;
}

size_t ImageRecordBytes(SWtexture& texture)
{
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    return WriteImagePayload(texture, out) ? buffer.Size() : 0;
}

// 0 when the file cannot be looked at (it is only printed).
uint64_t FileSize(const std::string& path)
{
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(path, error);
    return error ? 0 : static_cast<uint64_t>(size);
}

// -- publish

struct PublishOptions {
    const SWcompressionscheme* mesh = nullptr;
    bool settings = false;
    uint32_t first = 0, second = 0;
    const SWcompressionscheme* keyFrames = nullptr;
    const SWcompressionscheme* vertices = nullptr;
    bool convert = false;
    TextureKind textures;
};

int PublishUsage()
{
    std::fprintf(stderr, "usage: vortan-world publish IN.vtn OUT.vto [--mesh RMES|IMES] [--mesh-settings S1,S2] "
                         "[--keyframes KRAW|KLZS|KDEF] [--vertices VRAW|VLZS|VDEF] [--textures keep|WAVL:Q|CIMG]\n");
    return kWorldToolUsage;
}

// "S1,S2", each a digit.
bool ParseMeshSettings(const char* value, PublishOptions& options, std::string& outError)
{
    unsigned first = 0, second = 0;
    char extra = 0;
    if (std::sscanf(value, "%u,%u%c", &first, &second, &extra) != 2 || first > 9 || second > 9 ||
        std::strchr(value, '-') != nullptr) {
        outError = std::string("--mesh-settings \"") + value + "\" must be S1,S2, each a whole number from 0 to 9";
        return false;
    }
    options.settings = true;
    options.first = first;
    options.second = second;
    return true;
}

// False, with outError, for a value out of its range; false with outError empty when the options do not form a
// command (the usage says the rest).
bool ParsePublishOptions(std::span<char* const> args, PublishOptions& options, std::string& outError)
{
    for (size_t i = 2; i < args.size(); i += 2) {
        const std::string option = args[i];
        if (i + 1 >= args.size())
            return false;
        const char* value = args[i + 1];
        if (option == "--mesh") {
            options.mesh = OfferedRow(value, SchemeKind::kMesh, "--mesh", outError);
            if (options.mesh == nullptr)
                return false;
        } else if (option == "--keyframes") {
            options.keyFrames = OfferedRow(value, SchemeKind::kKeyFrames, "--keyframes", outError);
            if (options.keyFrames == nullptr)
                return false;
        } else if (option == "--vertices") {
            options.vertices = OfferedRow(value, SchemeKind::kVertexStreams, "--vertices", outError);
            if (options.vertices == nullptr)
                return false;
        } else if (option == "--mesh-settings") {
            if (!ParseMeshSettings(value, options, outError))
                return false;
        } else if (option == "--textures") {
            if (std::string(value) == "keep")
                continue;
            if (!ParseTextureKind(value, options.textures, outError))
                return false;
            options.convert = options.textures.tag == MakeTag("WAVL") || options.textures.tag == MakeTag("CIMG");
            if (!options.convert) {
                outError = std::string("--textures \"") + value + "\" must be keep, WAVL:Q (Q from 0 to 100) or CIMG";
                return false;
            }
        } else {
            return false;
        }
    }
    return true;
}

// What the source held, by name, to measure the published file against.
struct SourceCopy {
    std::unordered_map<std::string, std::vector<uint32_t>> pixels;
    std::unordered_map<std::string, const SWmesh*> meshes; // of the source world, which outlives the comparison
};

int Publish(std::span<char* const> args)
{
    PublishOptions options;
    std::string optionError;
    if (args.size() < 2 || args.size() % 2 != 0 || !ParsePublishOptions(args, options, optionError)) {
        if (optionError.empty())
            return PublishUsage();
        std::fprintf(stderr, "vortan-world: publish: %s\n", optionError.c_str());
        return kWorldToolUsage;
    }
    PrintingSink sink;
    const SinkInstallation installed(&sink);
    Stopwatch watch;
    std::string error;
    WorldLoadResult source = tooltest::LoadToolWorld(args[0], SWreadcontext::IdMode::kKeep, error);
    if (source.status != DocumentStatus::kOk)
        return Refuse(error);
    const double loadMs = watch.LapMs();
    // The world to publish is a second copy, so the source's meshes and pictures stay to compare with.
    WorldLoadResult world = tooltest::LoadToolWorld(args[0], SWreadcontext::IdMode::kKeep, error);
    if (world.status != DocumentStatus::kOk)
        return Refuse(error);
    SourceCopy copy;
    for (SWtexture* t : Textures(*source.world))
        if (t->GetPixels() != nullptr)
            copy.pixels[t->GetName()].assign(t->GetPixels(),
                                             t->GetPixels() + size_t{t->GetWidth32()} * t->GetHeight32());
    for (SWmesh* m : Meshes(*source.world))
        copy.meshes[m->GetName()] = m;

    watch.LapMs();
    SWworld& w = *world.world;
    for (SWmesh* mesh : Meshes(w)) {
        if (options.mesh != nullptr)
            mesh->SetScheme(options.mesh);
        if (options.settings)
            mesh->SetUserSettings(options.first, options.second);
    }
    SWnode* const rootNode = w.GetRootNode();
    for (SWnode* node = rootNode; node != nullptr; node = node->NextInTree(rootNode))
        if (auto* object = dynamic_cast<SWobjectnode*>(node); object != nullptr) {
            if (options.keyFrames != nullptr)
                object->SetKeyFrameSchemeId(options.keyFrames->GetId());
            if (options.vertices != nullptr)
                object->SetVertexSchemeId(options.vertices->GetId());
        }
    if (options.convert)
        for (SWtexture* texture : Textures(w))
            if (!ReplaceTexture(w, texture, options.textures))
                std::printf("report [texture] %s: no pixels to convert, kept as it was\n", texture->GetName().c_str());
    const double convertMs = watch.LapMs();

    const DocumentStatus saved = SaveWorldFile(w, WorldFileMode::kPublished, args[1], &error);
    if (saved != DocumentStatus::kOk)
        return Refuse(error.empty() ? DocumentStatusText(saved) : error);
    const double publishMs = watch.LapMs();
    const WorldLoadResult back = tooltest::LoadToolWorld(args[1], SWreadcontext::IdMode::kKeep, error);
    const double readMs = watch.LapMs();
    if (back.status != DocumentStatus::kOk)
        return Refuse("the published file does not read back: " + error);

    // The per-resource lines: the records are written again, quietly, to measure each one.
    sink.muted = true;
    size_t resources = 0, total = 0;
    bool complete = true;
    std::unordered_map<std::string, SWtexture*> loadedTextures;
    for (SWtexture* t : Textures(*back.world))
        loadedTextures[t->GetName()] = t;
    std::unordered_map<std::string, SWmesh*> loadedMeshes;
    for (SWmesh* m : Meshes(*back.world))
        loadedMeshes[m->GetName()] = m;

    for (SWtexture* texture : Textures(w)) {
        const size_t bytes = ImageRecordBytes(*texture);
        const auto found = loadedTextures.find(texture->GetName());
        const auto pixels = copy.pixels.find(texture->GetName());
        std::string error = "missing";
        if (found != loadedTextures.end() && pixels != copy.pixels.end()) {
            const PixelError e = TextureError(pixels->second, *found->second);
            char text[64];
            std::snprintf(text, sizeof text, "psnr=%.2fdB max=%d", e.psnr, e.largest);
            error = text;
        } else if (found != loadedTextures.end()) {
            error = "no source pixels";
        }
        complete = complete && found != loadedTextures.end();
        std::printf("texture  %-24s %s %10zu  %s\n", texture->GetName().c_str(), TagText(texture->GetTag()).c_str(),
                    bytes, error.c_str());
        ++resources;
        total += bytes;
    }
    for (SWmesh* mesh : Meshes(w)) {
        const SWcompressionscheme* used = nullptr;
        const size_t bytes = SchemeRecordBytes(4, mesh, 0, used);
        const auto found = loadedMeshes.find(mesh->GetName());
        std::string error = "missing";
        if (found != loadedMeshes.end() && copy.meshes.count(mesh->GetName()) != 0) {
            const auto [e, extent] = MeshError(*copy.meshes[mesh->GetName()], *found->second);
            char text[96];
            std::snprintf(text, sizeof text, "error=%.3g (%.3g of extent) triangles=%u/%u", e,
                          extent > 0 ? e / extent : 0.0, found->second->GetPolygonCount(), mesh->GetPolygonCount());
            error = text;
        }
        complete = complete && found != loadedMeshes.end();
        std::printf("mesh     %-24s %s %10zu  %s\n", mesh->GetName().c_str(),
                    used != nullptr ? IdText(used->GetId()).c_str() : "----", bytes, error.c_str());
        ++resources;
        total += bytes;
    }
    size_t keyBlocks = 0, vertexBlocks = 0;
    for (SWnode* node = rootNode; node != nullptr; node = node->NextInTree(rootNode)) {
        auto* object = dynamic_cast<SWobjectnode*>(node);
        if (object == nullptr)
            continue;
        const SWcompressionscheme* used = nullptr;
        if (object->GetAnimationTracks().GetTrackCount() > 0) {
            SWkeyframeblock block;
            block.SetTracks(object->GetAnimationTracks());
            block.SetScheme(SWcompressionschemes::Table().FindById(object->GetKeyFrameSchemeId()));
            const size_t bytes = SchemeRecordBytes(2, &block, 0, used);
            std::printf("keyframes %-23s %s %10zu\n", node->GetName().value_or("-").c_str(),
                        used != nullptr ? IdText(used->GetId()).c_str() : "----", bytes);
            ++resources;
            ++keyBlocks;
            total += bytes;
        }
        if (auto* meshNode = dynamic_cast<SWmeshnode*>(node);
            meshNode != nullptr && meshNode->GetVertexFrameTable() != nullptr) {
            SWvertexstreamblock block;
            if (!block.CopyFrom(*meshNode->GetVertexFrameTable()))
                return Refuse("out of memory");
            block.SetScheme(SWcompressionschemes::Table().FindById(object->GetVertexSchemeId()));
            const size_t bytes = SchemeRecordBytes(3, &block, 0, used);
            std::printf("vertices %-24s %s %10zu\n", node->GetName().value_or("-").c_str(),
                        used != nullptr ? IdText(used->GetId()).c_str() : "----", bytes);
            ++resources;
            ++vertexBlocks;
            total += bytes;
        }
    }
    for (SWsound* sound = w.GetSoundList().GetFirst(); sound != nullptr; sound = w.GetSoundList().GetNext(sound)) {
        const SWcompressionscheme* used = nullptr;
        const size_t bytes = SchemeRecordBytes(1, sound, 0, used);
        std::printf("sound    %-24s %s %10zu\n", sound->GetName().c_str(),
                    used != nullptr ? IdText(used->GetId()).c_str() : "path", bytes);
        ++resources;
        total += bytes;
    }
    size_t backKeys = 0, backVertices = 0;
    SWnode* const backRoot = back.world->GetRootNode();
    for (SWnode* node = backRoot; node != nullptr; node = node->NextInTree(backRoot)) {
        if (auto* object = dynamic_cast<SWobjectnode*>(node); object != nullptr) {
            backKeys += object->GetAnimationTracks().GetTrackCount() > 0 ? 1 : 0;
            backVertices += dynamic_cast<SWmeshnode*>(node) != nullptr && object->GetVertexFrameTable() != nullptr;
        }
    }
    complete = complete && backKeys == keyBlocks && backVertices == vertexBlocks &&
               back.world->GetSoundList().Count() == w.GetSoundList().Count();
    sink.muted = false;

    std::printf("total resources=%zu record-bytes=%zu file-bytes=%llu source-bytes=%llu read-back=%s\n", resources,
                total, static_cast<unsigned long long>(FileSize(args[1])),
                static_cast<unsigned long long>(FileSize(args[0])), complete ? "complete" : "incomplete");
    std::printf("times load=%.1fms convert=%.1fms publish=%.1fms load-published=%.1fms\n", loadMs, convertMs, publishMs,
                readMs);
    return complete ? kWorldToolDone : kExitFailed;
}

// -- texture

int ConvertOne(std::span<char* const> args)
{
    TextureKind kind;
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: vortan-world texture IN.vtn OUT.vtn NAME CI32|CIG8|WAVL:Q|CIMG\n");
        return kWorldToolUsage;
    }
    if (std::string error; !ParseTextureKind(args[3], kind, error)) {
        std::fprintf(stderr, "vortan-world: texture: %s\n", error.c_str());
        return kWorldToolUsage;
    }
    PrintingSink sink;
    const SinkInstallation installed(&sink);
    std::string error;
    WorldLoadResult loaded = tooltest::LoadToolWorld(args[0], SWreadcontext::IdMode::kKeep, error);
    if (loaded.status != DocumentStatus::kOk)
        return Refuse(error);
    SWtexture* const texture = loaded.world->FindTextureByName(args[2]);
    if (texture == nullptr)
        return Refuse(std::string("no texture named ") + args[2]);
    const std::vector<uint32_t> before(
        texture->GetPixels() != nullptr ? texture->GetPixels() : nullptr,
        texture->GetPixels() != nullptr ? texture->GetPixels() + size_t{texture->GetWidth32()} * texture->GetHeight32()
                                        : nullptr);
    if (!ReplaceTexture(*loaded.world, texture, kind))
        return Refuse(std::string("texture ") + args[2] + " has no pixels to convert");
    const DocumentStatus saved = SaveWorldFile(*loaded.world, WorldFileMode::kScene, args[1], &error);
    if (saved != DocumentStatus::kOk)
        return Refuse(error.empty() ? DocumentStatusText(saved) : error);
    SWtexture* const made = loaded.world->FindTextureByName(args[2]);
    const PixelError difference = TextureError(before, *made);
    std::printf("texture %s %s %ux%u bytes=%zu psnr=%.2fdB max=%d\n", args[2], TagText(made->GetTag()).c_str(),
                made->GetWidth32(), made->GetHeight32(), ImageRecordBytes(*made), difference.psnr, difference.largest);
    return kWorldToolDone;
}

const bool kRegistered =
    RegisterWorldToolCommand({"publish",
                              "IN.vtn OUT.vto [--mesh RMES|IMES] [--mesh-settings S1,S2] [--keyframes KRAW|KLZS|KDEF] "
                              "[--vertices VRAW|VLZS|VDEF] [--textures keep|WAVL:Q|CIMG]",
                              &Publish}) &&
    RegisterWorldToolCommand({"texture", "IN.vtn OUT.vtn NAME CI32|CIG8|WAVL:Q|CIMG", &ConvertOne});

} // namespace
