#include "testsupport/mesh/off_file.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/base/input_file.h"
#include "testsupport/mesh/polygon_list.h"

namespace meshtest {

namespace {

// Whitespace-separated tokens with '#' comments skipped; a header token may also end its line.
class OffTokens {
public:
    explicit OffTokens(std::string_view text) : m_text(text) {}

    std::string_view Next()
    {
        SkipSpaceAndComments();
        const size_t begin = m_pos;
        while (m_pos < m_text.size() && !IsSpace(m_text[m_pos]) && m_text[m_pos] != '#')
            ++m_pos;
        return m_text.substr(begin, m_pos - begin);
    }

    void SkipLine()
    {
        while (m_pos < m_text.size() && m_text[m_pos] != '\n')
            ++m_pos;
    }

    size_t Remaining() const { return m_text.size() - m_pos; }

private:
    static bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

    void SkipSpaceAndComments()
    {
        while (m_pos < m_text.size()) {
            if (IsSpace(m_text[m_pos])) {
                ++m_pos;
            } else if (m_text[m_pos] == '#') {
                SkipLine();
            } else {
                break;
            }
        }
    }

    std::string_view m_text;
    size_t m_pos = 0;
};

template <typename T> bool ParseNumber(std::string_view token, T& out)
{
    const char* end = token.data() + token.size();
    const auto [ptr, ec] = std::from_chars(token.data(), end, out);
    return ec == std::errc() && ptr == end;
}

std::optional<OffMesh> Fail(std::string* outError, const std::string& message)
{
    if (outError)
        *outError = message;
    return std::nullopt;
}

} // namespace

uint32_t OffMesh::FaceCount() const
{
    uint32_t faces = 0;
    bool open = false;
    for (const int32_t index : coordIndex) {
        if (index < 0) {
            faces += open ? 1 : 0;
            open = false;
        } else {
            open = true;
        }
    }
    return faces + (open ? 1 : 0);
}

std::optional<OffMesh> ParseOff(std::string_view text, std::string* outError)
{
    OffTokens tokens(text);
    const std::string_view header = tokens.Next();
    if (header.size() < 3 || header.substr(header.size() - 3) != "OFF")
        return Fail(outError, "not an OFF file");
    uint64_t vertexCount = 0, faceCount = 0, edgeCount = 0;
    if (!ParseNumber(tokens.Next(), vertexCount) || !ParseNumber(tokens.Next(), faceCount) ||
        !ParseNumber(tokens.Next(), edgeCount))
        return Fail(outError, "bad counts");
    // A vertex needs at least 6 characters ("0 0 0\n"), a face at least 8.
    if (vertexCount > tokens.Remaining() / 6 || faceCount > tokens.Remaining() / 8)
        return Fail(outError, "counts larger than the file");
    OffMesh mesh;
    mesh.positions.resize(vertexCount * 3);
    for (uint64_t v = 0; v < vertexCount; ++v) {
        for (int axis = 0; axis < 3; ++axis) {
            float& coordinate = mesh.positions[v * 3 + axis];
            if (!ParseNumber(tokens.Next(), coordinate))
                return Fail(outError, "bad vertex " + std::to_string(v));
            // "nan" and "inf" parse as numbers, but no place in space is either: whatever measures, quantises or
            // grids the mesh later would get nothing it could use.
            if (!std::isfinite(coordinate))
                return Fail(outError, "vertex " + std::to_string(v) + " is not a finite point");
        }
        tokens.SkipLine();
    }
    for (uint64_t f = 0; f < faceCount; ++f) {
        uint64_t sides = 0;
        if (!ParseNumber(tokens.Next(), sides) || sides > tokens.Remaining() / 2)
            return Fail(outError, "bad face " + std::to_string(f));
        for (uint64_t s = 0; s < sides; ++s) {
            int32_t index = 0;
            if (!ParseNumber(tokens.Next(), index) || index < 0 || static_cast<uint64_t>(index) >= vertexCount)
                return Fail(outError, "bad index in face " + std::to_string(f));
            mesh.coordIndex.push_back(index);
        }
        mesh.coordIndex.push_back(-1);
        tokens.SkipLine();
    }
    return mesh;
}

std::optional<OffMesh> ReadOffFile(const std::string& path, std::string* outError)
{
    // Through the checked reader, as every named input: a FIFO or a device is refused at once, never waited on or
    // read without end, and so is a file past the size limit.
    std::vector<uint8_t> bytes;
    const pf::InputFileResult read = pf::readWholeFile(path, bytes);
    if (!read.ok())
        return Fail(outError, read.cause);
    return ParseOff(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), outError);
}

std::string FormatOff(const OffMesh& mesh)
{
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << "OFF\n" << mesh.VertexCount() << ' ' << mesh.FaceCount() << " 0\n";
    out.precision(9);
    for (uint32_t v = 0; v < mesh.VertexCount(); ++v)
        out << mesh.positions[3 * v] << ' ' << mesh.positions[3 * v + 1] << ' ' << mesh.positions[3 * v + 2] << '\n';
    for (const std::vector<int32_t>& polygon : PolygonsOf(mesh.coordIndex)) {
        out << polygon.size();
        for (const int32_t index : polygon)
            out << ' ' << index;
        out << '\n';
    }
    return out.str();
}

bool WriteOffFile(const std::string& path, const OffMesh& mesh)
{
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << FormatOff(mesh);
        out.flush();
        if (!out)
            return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    return !error;
}

} // namespace meshtest
