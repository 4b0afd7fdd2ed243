// vortan-codec mesh ...: the geometry codec from the command line, on OFF meshes.
//   mesh topo IN.off [--timeout-ms N] [--save-stream OUT]: connectivity alone through the codec, checked through
//   the reorder maps; --save-stream keeps the topology stream (the seeds of the topology fuzz target come from it).
//   mesh encode IN.off OUT.px [--pos-bits N] [--tex-bits M] [--stats]: the whole codec into a stream-set file;
//   --stats prints where each stream's bits went (integer-coded fields per stream kind, and the rest).
//   mesh decode IN.px OUT.off: back to a mesh.
//   mesh roundtrip IN.off [--pos-bits N]: sizes, position errors through the vertex map, map consistency.
//   mesh icosahedron LEVELS OUT.off: the subdivided icosahedron of the benchmarks, for other tools to read.
// A stream-set file is the layout of testsupport/mesh/stream_set_file.h.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "apps/vortan-codec/command_table.h"
#include "apps/vortan-codec/tool_io.h"
#include "codecs/geometry/connectivity_codec.h"
#include "codecs/geometry/geometry_codec.h"
#include "codecs/geometry/integer_coder_stats.h"
#include "codecs/geometry/px_result.h"
#include "platform/base/atomic_file.h"
#include "testsupport/mesh/connectivity_check.h"
#include "testsupport/mesh/face_set.h"
#include "testsupport/mesh/mesh_generators.h"
#include "testsupport/mesh/off_file.h"
#include "testsupport/mesh/stream_set_file.h"

namespace {

using codectool::kExitDone;
using codectool::kExitFailed;
using codectool::kExitRefused;
using codectool::kExitUsage;
using codectool::ReportError;

constexpr uint32_t kDefaultTimeoutMs = 60000;
constexpr int64_t kLargestTimeoutMs = 24 * 60 * 60 * 1000;

// Ends the process with a TIMEOUT line if the work is not done in time, so the command ends on any input.
class Watchdog {
public:
    explicit Watchdog(uint32_t timeoutMs)
        : m_thread([this, timeoutMs] {
              std::unique_lock lock(m_mutex);
              if (!m_done.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_finished; })) {
                  std::printf("TIMEOUT after %u ms\n", timeoutMs);
                  std::fflush(stdout);
                  std::_Exit(codectool::kExitTimeout);
              }
          })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};

struct TopoOptions {
    uint32_t timeoutMs = kDefaultTimeoutMs;
    const char* saveStream = nullptr;
};

// False, with outError, for an unknown option, a missing value or a time out of range.
bool ParseTopoOptions(std::span<char* const> args, size_t first, TopoOptions& out, std::string& outError)
{
    for (size_t i = first; i < args.size(); ++i) {
        if (i + 1 >= args.size()) {
            outError = std::string(args[i]) + " needs a value";
            return false;
        }
        if (std::strcmp(args[i], "--save-stream") == 0) {
            out.saveStream = args[++i];
            continue;
        }
        if (std::strcmp(args[i], "--timeout-ms") != 0) {
            outError = std::string("unknown option ") + args[i];
            return false;
        }
        const std::optional<int64_t> ms =
            codectool::ParseNumber(args[++i], {"--timeout-ms", 1, kLargestTimeoutMs}, outError);
        if (!ms)
            return false;
        out.timeoutMs = static_cast<uint32_t>(*ms);
    }
    return true;
}

// Read whole and parsed, so that a missing file, a folder and bad text each get their own cause.
std::optional<meshtest::OffMesh> ReadMesh(const std::string& path, std::string& outError)
{
    const std::optional<std::vector<uint8_t>> bytes = codectool::ReadWholeFile(path, outError);
    if (!bytes)
        return std::nullopt;
    std::string problem;
    std::optional<meshtest::OffMesh> mesh =
        meshtest::ParseOff({reinterpret_cast<const char*>(bytes->data()), bytes->size()}, &problem);
    if (!mesh)
        outError = "cannot read " + path + ": " + problem;
    return mesh;
}

uint64_t TriangleCount(const meshtest::OffMesh& mesh)
{
    uint64_t triangles = 0;
    uint64_t sides = 0;
    for (const int32_t index : mesh.coordIndex) {
        if (index >= 0) {
            ++sides;
            continue;
        }
        triangles += sides >= 3 ? sides - 2 : 0;
        sides = 0;
    }
    return triangles + (sides >= 3 ? sides - 2 : 0);
}

int RunTopo(std::span<char* const> args)
{
    TopoOptions options;
    std::string error = "expected IN.off";
    if (args.empty() || !ParseTopoOptions(args, 1, options, error))
        return ReportError(kExitUsage,
                           error + "; usage: vortan-codec mesh topo IN.off [--timeout-ms N] [--save-stream OUT]");
    const Watchdog watchdog(options.timeoutMs);
    const auto started = std::chrono::steady_clock::now();
    const std::optional<meshtest::OffMesh> mesh = ReadMesh(args[0], error);
    if (!mesh) {
        std::printf("FAIL %s\n", error.c_str());
        return ReportError(kExitRefused, error);
    }
    const px::ConnectivityInput input{mesh->coordIndex, mesh->VertexCount()};
    std::vector<uint8_t> stream;
    std::vector<px::ObjectMaps> maps;
    const int encoded = px::EncodeConnectivity({&input, 1}, stream, maps);
    std::vector<px::DecodedConnectivity> decoded;
    const int decodedResult = encoded == px::PX_OK ? px::DecodeConnectivity(stream, decoded) : encoded;
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    const uint64_t triangles = TriangleCount(*mesh);
    const double bitsPerTriangle = triangles ? 8.0 * stream.size() / static_cast<double>(triangles) : 0.0;
    std::printf("vertices %u faces %u bytes %zu bits/triangle %.3f ", mesh->VertexCount(), mesh->FaceCount(),
                stream.size(), bitsPerTriangle);
    if (encoded == px::PXERR_INVALIDGEOMETRY) {
        std::printf("REFUSED code %d (%s) ms %.1f\n", encoded, px::PXResultName(encoded), ms);
        return kExitRefused;
    }
    if (encoded != px::PX_OK || decodedResult != px::PX_OK || decoded.size() != 1) {
        std::printf("FAIL encode %d decode %d ms %.1f\n", encoded, decodedResult, ms);
        return kExitFailed;
    }
    const std::string problem =
        meshtest::CheckConnectivity(mesh->coordIndex, decoded[0].coordIndex, decoded[0].vertexCount,
                                    {maps[0].vertexMap, maps[0].faceMap, maps[0].cornerMap});
    if (!problem.empty()) {
        std::printf("FAIL %s ms %.1f\n", problem.c_str(), ms);
        return kExitFailed;
    }
    // Written only once the stream is known to be good, and a failed write is a failed run.
    if (options.saveStream && !codectool::WriteWholeFile(options.saveStream, stream, error)) {
        std::printf("FAIL %s ms %.1f\n", error.c_str(), ms);
        return ReportError(kExitRefused, error);
    }
    std::printf("PASS ms %.1f\n", ms);
    return kExitDone;
}

// ---- encode, decode, roundtrip ----

struct CodecOptions {
    uint32_t positionBits = 10;
    uint32_t texCoordBits = 8;
    bool stats = false;
    std::vector<const char*> paths;
};

// The codec judges the bit counts; the tool only keeps them within what its parameters can carry.
bool ParseCodecOptions(std::span<char* const> args, CodecOptions& out, std::string& outError)
{
    for (size_t i = 0; i < args.size(); ++i) {
        if (std::strcmp(args[i], "--stats") == 0) {
            out.stats = true;
            continue;
        }
        const bool isPosition = std::strcmp(args[i], "--pos-bits") == 0;
        if (!isPosition && std::strcmp(args[i], "--tex-bits") != 0) {
            out.paths.push_back(args[i]);
            continue;
        }
        if (i + 1 >= args.size()) {
            outError = std::string(args[i]) + " needs a value";
            return false;
        }
        const std::optional<int64_t> bits =
            codectool::ParseNumber(args[i + 1], {args[i], 0, int64_t{UINT32_MAX}}, outError);
        if (!bits)
            return false;
        (isPosition ? out.positionBits : out.texCoordBits) = static_cast<uint32_t>(*bits);
        ++i;
    }
    return true;
}

// A refused mesh is the input's fault, a refused parameter the caller's; anything else is the codec's.
int ExitCodeOf(int pxResult)
{
    if (pxResult == px::PXERR_INVALIDGEOMETRY)
        return kExitRefused;
    return pxResult == px::PXERR_INVALIDPARAMETER ? kExitUsage : kExitFailed;
}

int Compress(const meshtest::OffMesh& mesh, const CodecOptions& options, px::PXStreamSet& streams,
             px::PXReorderMaps* maps)
{
    px::PXModel model;
    if (model.SetLists({meshtest::FaceSetOf(mesh)}) != px::PX_OK)
        return px::PXERR_OUTOFMEMORY;
    model.SetParam(px::kParamPositionBits, options.positionBits);
    model.SetParam(px::kParamTexCoordBits, options.texCoordBits);
    return px::CompressModel(model, streams, maps);
}

const char* StreamKindName(uint32_t kind)
{
    static const char* const kNames[] = {"?",         "positions", "topology", "colours",      "colour-index",
                                         "texcoords", "tex-index", "normals",  "normal-index", "shape"};
    return kind < std::size(kNames) ? kNames[kind] : "?";
}

// One line per stream: its bytes, then the bits of its integer-coded blocks by field, and "other" for what the
// stream holds beside them (its header, object counts, boxes, widths, run lists, flags, padding).
void PrintStreamStats(const px::PXStreamSet& streams, const px::IntegerCoderStats& stats, uint32_t vertexCount)
{
    std::printf("%-13s %9s %7s %10s %8s %10s %10s %10s %9s %9s %8s %8s\n", "stream", "bytes", "blocks", "absolute",
                "fixed", "table", "codes", "escapes", "other", "values", "entries", "escaped");
    uint64_t totalBytes = 0;
    for (uint32_t slot = 0; slot < px::PXStreamSet::kSlotCount; ++slot) {
        const px::PXStream* stream = streams.GetSlot(slot);
        if (!stream)
            continue;
        const px::IntegerBlockBits& bits = stats[slot + 1];
        const uint64_t streamBits = 8 * uint64_t{stream->GetLength()};
        const uint64_t other = streamBits > bits.TotalBits() ? streamBits - bits.TotalBits() : 0;
        std::printf("%-13s %9u %7llu %10llu %8llu %10llu %10llu %10llu %9llu %9llu %8llu %8llu\n",
                    StreamKindName(slot + 1), stream->GetLength(), static_cast<unsigned long long>(bits.blocks),
                    static_cast<unsigned long long>(bits.absoluteBits), static_cast<unsigned long long>(bits.fixedBits),
                    static_cast<unsigned long long>(bits.tableBits), static_cast<unsigned long long>(bits.codeBits),
                    static_cast<unsigned long long>(bits.escapeBits), static_cast<unsigned long long>(other),
                    static_cast<unsigned long long>(bits.deltaValues),
                    static_cast<unsigned long long>(bits.tableEntries),
                    static_cast<unsigned long long>(bits.escapedValues));
        totalBytes += stream->GetLength();
    }
    const px::PXStream* positions = streams.GetSlot(0);
    const px::PXStream* topology = streams.GetSlot(1);
    if (vertexCount > 0 && positions && topology)
        std::printf("vertices %u position-bits/vertex %.2f topology-bits/vertex %.2f total-bits/vertex %.2f\n",
                    vertexCount, 8.0 * positions->GetLength() / vertexCount, 8.0 * topology->GetLength() / vertexCount,
                    8.0 * static_cast<double>(totalBytes) / vertexCount);
}

int RunEncode(std::span<char* const> args)
{
    CodecOptions options;
    std::string error = "expected IN.off and OUT.px";
    if (!ParseCodecOptions(args, options, error) || options.paths.size() != 2)
        return ReportError(
            kExitUsage,
            error + "; usage: vortan-codec mesh encode IN.off OUT.px [--pos-bits N] [--tex-bits M] [--stats]");
    const std::optional<meshtest::OffMesh> mesh = ReadMesh(options.paths[0], error);
    if (!mesh)
        return ReportError(kExitRefused, error);
    const std::unique_ptr<pf::AtomicFile> output = codectool::OpenOutput(options.paths[1], error);
    if (!output)
        return ReportError(kExitRefused, error);
    px::PXStreamSet streams;
    px::IntegerCoderStats stats;
    int result = px::PX_OK;
    {
        const px::IntegerCoderStatsRecording recording(stats);
        result = Compress(*mesh, options, streams, nullptr);
    }
    if (result != px::PX_OK)
        return ReportError(ExitCodeOf(result), std::string("cannot encode ") + options.paths[0] + ": CompressModel " +
                                                   std::to_string(result) + " (" + px::PXResultName(result) + ")");
    const std::vector<uint8_t> file = meshtest::StreamSetFileOf(streams);
    if (!codectool::FinishOutput(*output, file, error))
        return ReportError(kExitRefused, error);
    std::printf("%s: %zu bytes\n", options.paths[1], file.size());
    if (options.stats)
        PrintStreamStats(streams, stats, mesh->VertexCount());
    return kExitDone;
}

meshtest::OffMesh OffOf(const px::PXIndexedFaceSet& set)
{
    meshtest::OffMesh mesh;
    mesh.positions = set.coord;
    mesh.coordIndex = set.coordIndex;
    return mesh;
}

int RunDecode(std::span<char* const> args)
{
    if (args.size() != 2)
        return ReportError(kExitUsage, "expected IN.px and OUT.off; usage: vortan-codec mesh decode IN.px OUT.off");
    std::string error;
    const std::optional<std::vector<uint8_t>> bytes = codectool::ReadWholeFile(args[0], error);
    if (!bytes)
        return ReportError(kExitRefused, error);
    px::PXStreamSet streams;
    if (!meshtest::ReadStreamSetFile(*bytes, streams))
        return ReportError(kExitRefused, std::string("cannot read ") + args[0] +
                                             ": not a stream-set file, or one cut short or damaged");
    const std::unique_ptr<pf::AtomicFile> output = codectool::OpenOutput(args[1], error);
    if (!output)
        return ReportError(kExitRefused, error);
    px::PXModel model;
    const int result = px::DecompressModel(streams, model);
    if (result != px::PX_OK || model.Count() == 0)
        return ReportError(kExitRefused, std::string("cannot decode ") + args[0] + ": DecompressModel " +
                                             std::to_string(result) + " (" + px::PXResultName(result) + ")");
    const std::string text = meshtest::FormatOff(OffOf(model.Lists()[0]));
    if (!codectool::FinishOutput(*output, {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, error))
        return ReportError(kExitRefused, error);
    return kExitDone;
}

struct PositionErrors {
    double maxRelative = 0;
    double rmsRelative = 0;
};

// Through the vertex map, relative to the bounding-box diagonal of the input's referenced vertices.
PositionErrors MeasurePositionErrors(const meshtest::OffMesh& input, const px::PXIndexedFaceSet& decoded,
                                     const std::vector<uint32_t>& vertexMap)
{
    float lo[3] = {INFINITY, INFINITY, INFINITY};
    float hi[3] = {-INFINITY, -INFINITY, -INFINITY};
    for (const uint32_t v : vertexMap)
        for (int axis = 0; axis < 3; ++axis) {
            lo[axis] = std::min(lo[axis], input.positions[3 * v + axis]);
            hi[axis] = std::max(hi[axis], input.positions[3 * v + axis]);
        }
    double diagonal = 0;
    for (int axis = 0; axis < 3; ++axis)
        diagonal += static_cast<double>(hi[axis] - lo[axis]) * (hi[axis] - lo[axis]);
    diagonal = std::sqrt(diagonal);
    PositionErrors errors;
    double sum = 0;
    for (uint32_t v = 0; v < vertexMap.size(); ++v) {
        double squared = 0;
        for (int axis = 0; axis < 3; ++axis) {
            const double d =
                static_cast<double>(decoded.coord[3 * v + axis]) - input.positions[3 * vertexMap[v] + axis];
            squared += d * d;
        }
        errors.maxRelative = std::max(errors.maxRelative, std::sqrt(squared));
        sum += squared;
    }
    if (diagonal > 0 && !vertexMap.empty()) {
        errors.maxRelative /= diagonal;
        errors.rmsRelative = std::sqrt(sum / static_cast<double>(vertexMap.size())) / diagonal;
    }
    return errors;
}

int RunRoundtrip(std::span<char* const> args)
{
    CodecOptions options;
    std::string error = "expected IN.off";
    if (!ParseCodecOptions(args, options, error) || options.paths.size() != 1)
        return ReportError(kExitUsage, error + "; usage: vortan-codec mesh roundtrip IN.off [--pos-bits N]");
    const Watchdog watchdog(kDefaultTimeoutMs);
    const auto started = std::chrono::steady_clock::now();
    const std::optional<meshtest::OffMesh> mesh = ReadMesh(options.paths[0], error);
    if (!mesh) {
        std::printf("FAIL %s\n", error.c_str());
        return ReportError(kExitRefused, error);
    }
    px::PXStreamSet streams;
    px::PXReorderMaps maps;
    const int compressed = Compress(*mesh, options, streams, &maps);
    px::PXModel model;
    const int decompressed = compressed == px::PX_OK ? px::DecompressModel(streams, model) : compressed;
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    if (compressed != px::PX_OK || decompressed != px::PX_OK || model.Count() != 1) {
        std::printf("vertices %u faces %u %s code %d (%s) ms %.1f\n", mesh->VertexCount(), mesh->FaceCount(),
                    compressed == px::PXERR_INVALIDGEOMETRY ? "REFUSED" : "FAIL", decompressed,
                    px::PXResultName(decompressed), ms);
        return compressed != px::PX_OK ? ExitCodeOf(compressed) : kExitFailed;
    }
    const px::PXIndexedFaceSet& decoded = model.Lists()[0];
    const px::ObjectMaps& objectMaps = maps.objects[0];
    const std::string problem =
        meshtest::CheckConnectivity(mesh->coordIndex, decoded.coordIndex, decoded.PositionCount(),
                                    {objectMaps.vertexMap, objectMaps.faceMap, objectMaps.cornerMap});
    size_t total = 0;
    for (uint32_t slot = 0; slot < px::PXStreamSet::kSlotCount; ++slot)
        if (const px::PXStream* stream = streams.GetSlot(slot))
            total += stream->GetLength();
    const PositionErrors errors = MeasurePositionErrors(*mesh, decoded, objectMaps.vertexMap);
    const double bitsPerVertex = 8.0 * static_cast<double>(streams.GetSlot(0)->GetLength()) / decoded.PositionCount();
    std::printf("vertices %u faces %u bytes %zu position-bits/vertex %.2f max %.3g rms %.3g maps %s ms %.1f\n",
                mesh->VertexCount(), mesh->FaceCount(), total, bitsPerVertex, errors.maxRelative, errors.rmsRelative,
                problem.empty() ? "OK" : ("FAIL " + problem).c_str(), ms);
    return problem.empty() ? kExitDone : kExitFailed;
}

constexpr int64_t kLargestIcosahedronLevels = 10;

int RunIcosahedron(std::span<char* const> args)
{
    const std::string usage = "; usage: vortan-codec mesh icosahedron LEVELS OUT.off";
    std::string error;
    if (args.size() != 2)
        return ReportError(kExitUsage, "expected LEVELS and OUT.off" + usage);
    const std::optional<int64_t> levels =
        codectool::ParseNumber(args[0], {"LEVELS", 0, kLargestIcosahedronLevels}, error);
    if (!levels)
        return ReportError(kExitUsage, error + usage);
    const std::unique_ptr<pf::AtomicFile> output = codectool::OpenOutput(args[1], error);
    if (!output)
        return ReportError(kExitRefused, error);
    const meshtest::OffMesh mesh = meshtest::MakeSubdividedIcosahedron(static_cast<uint32_t>(*levels));
    const std::string text = meshtest::FormatOff(mesh);
    if (!codectool::FinishOutput(*output, {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, error))
        return ReportError(kExitRefused, error);
    std::printf("%s: vertices %u triangles %u\n", args[1], mesh.VertexCount(), mesh.FaceCount());
    return kExitDone;
}

const bool kEncodeRegistered =
    RegisterCodecToolCommand({"mesh", "encode", "IN.off OUT.px [--pos-bits N] [--tex-bits M] [--stats]", RunEncode});
const bool kDecodeRegistered = RegisterCodecToolCommand({"mesh", "decode", "IN.px OUT.off", RunDecode});
const bool kRoundtripRegistered =
    RegisterCodecToolCommand({"mesh", "roundtrip", "IN.off [--pos-bits N]", RunRoundtrip});

const bool kIcosahedronRegistered = RegisterCodecToolCommand({"mesh", "icosahedron", "LEVELS OUT.off", RunIcosahedron});

const bool kTopoRegistered =
    RegisterCodecToolCommand({"mesh", "topo", "IN.off [--timeout-ms N] [--save-stream OUT]", RunTopo});

} // namespace
