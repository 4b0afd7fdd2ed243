// vortan-codec mesh ...: the geometry codec from the command line, on OFF meshes.
//   mesh topo IN.off [--timeout-ms N] [--save-stream OUT]: connectivity alone through the codec, checked through
//   the reorder maps; --save-stream keeps the topology stream (the seeds of the topology fuzz target come from it).
#include <chrono>
#include <charconv>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "apps/vortan-codec/command_table.h"
#include "codecs/geometry/connectivity_codec.h"
#include "codecs/geometry/px_result.h"
#include "testsupport/mesh/connectivity_check.h"
#include "testsupport/mesh/off_file.h"

namespace {

constexpr uint32_t kDefaultTimeoutMs = 60000;

// Ends the process with a TIMEOUT line if the work is not done in time, so the command ends on any input.
class Watchdog {
public:
    explicit Watchdog(uint32_t timeoutMs)
        : m_thread([this, timeoutMs] {
              std::unique_lock lock(m_mutex);
              if (!m_done.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_finished; })) {
                  std::printf("TIMEOUT after %u ms\n", timeoutMs);
                  std::fflush(stdout);
                  std::_Exit(4);
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

bool ParseTopoOptions(std::span<char* const> args, size_t first, TopoOptions& out)
{
    for (size_t i = first; i < args.size(); ++i) {
        if (i + 1 >= args.size())
            return false;
        if (std::strcmp(args[i], "--save-stream") == 0) {
            out.saveStream = args[++i];
            continue;
        }
        if (std::strcmp(args[i], "--timeout-ms") != 0)
            return false;
        const char* text = args[++i];
        const auto [end, error] = std::from_chars(text, text + std::strlen(text), out.timeoutMs);
        if (error != std::errc() || *end != '\0' || out.timeoutMs == 0)
            return false;
    }
    return true;
}

bool SaveBytes(const char* path, const std::vector<uint8_t>& bytes)
{
    std::FILE* file = std::fopen(path, "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
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
    if (args.empty() || !ParseTopoOptions(args, 1, options)) {
        std::fprintf(stderr, "usage: vortan-codec mesh topo IN.off [--timeout-ms N] [--save-stream OUT]\n");
        return 2;
    }
    const Watchdog watchdog(options.timeoutMs);
    const auto started = std::chrono::steady_clock::now();
    std::string error;
    const std::optional<meshtest::OffMesh> mesh = meshtest::ReadOffFile(args[0], &error);
    if (!mesh) {
        std::printf("FAIL cannot read %s: %s\n", args[0], error.c_str());
        return 1;
    }
    const px::ConnectivityInput input{mesh->coordIndex, mesh->VertexCount()};
    std::vector<uint8_t> stream;
    std::vector<px::ObjectMaps> maps;
    const int encoded = px::EncodeConnectivity({&input, 1}, stream, maps);
    std::vector<px::DecodedConnectivity> decoded;
    const int decodedResult = encoded == px::PX_OK ? px::DecodeConnectivity(stream, decoded) : encoded;
    if (options.saveStream && encoded == px::PX_OK && !SaveBytes(options.saveStream, stream))
        std::fprintf(stderr, "cannot write %s\n", options.saveStream);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    const uint64_t triangles = TriangleCount(*mesh);
    const double bitsPerTriangle = triangles ? 8.0 * stream.size() / static_cast<double>(triangles) : 0.0;
    std::printf("vertices %u faces %u bytes %zu bits/triangle %.3f ", mesh->VertexCount(), mesh->FaceCount(),
                stream.size(), bitsPerTriangle);
    if (encoded == px::PXERR_INVALIDGEOMETRY) {
        std::printf("REFUSED code %d (%s) ms %.1f\n", encoded, px::PXResultName(encoded), ms);
        return 3;
    }
    if (encoded != px::PX_OK || decodedResult != px::PX_OK || decoded.size() != 1) {
        std::printf("FAIL encode %d decode %d ms %.1f\n", encoded, decodedResult, ms);
        return 1;
    }
    const std::string problem =
        meshtest::CheckConnectivity(mesh->coordIndex, decoded[0].coordIndex, decoded[0].vertexCount,
                                    {maps[0].vertexMap, maps[0].faceMap, maps[0].cornerMap});
    if (!problem.empty()) {
        std::printf("FAIL %s ms %.1f\n", problem.c_str(), ms);
        return 1;
    }
    std::printf("PASS ms %.1f\n", ms);
    return 0;
}

const bool kTopoRegistered =
    RegisterCodecToolCommand({"mesh", "topo", "IN.off [--timeout-ms N] [--save-stream OUT]", RunTopo});

} // namespace
