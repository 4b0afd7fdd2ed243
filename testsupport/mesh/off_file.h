#pragma once
// OFF meshes for tests, tools and benchmarks: "OFF" (or "COFF"/"NOFF"...) header, counts, vertices, faces.
// Comments after '#' and extra per-vertex or per-face fields (colours) are skipped. Numbers are read without the
// locale; every count is checked against what the text can hold before anything is reserved.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace meshtest {

struct OffMesh {
    std::vector<float> positions;    // x, y, z per vertex
    std::vector<int32_t> coordIndex; // polygons with -1 after each
    uint32_t VertexCount() const { return static_cast<uint32_t>(positions.size() / 3); }
    uint32_t FaceCount() const;
};

// A coordinate that is not a finite number is refused with the rest. outError, when given, says why, without the path.
std::optional<OffMesh> ParseOff(std::string_view text, std::string* outError = nullptr);
// Read as every named input is (platform/base/input_file.h): a FIFO, a device or a file past its size limit is refused.
std::optional<OffMesh> ReadOffFile(const std::string& path, std::string* outError = nullptr);
std::string FormatOff(const OffMesh& mesh);
bool WriteOffFile(const std::string& path, const OffMesh& mesh); // through a temporary file and a rename

} // namespace meshtest
