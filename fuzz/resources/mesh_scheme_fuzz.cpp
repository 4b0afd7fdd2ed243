// A mesh scheme record's payload ('MCPS' or 'MRAW', then 'MMAT' and 'MSMO'), read through the "IMES" row. A read
// either fails and leaves the mesh as it was, or gives a mesh whose every index names what exists, which the row
// writes again and reads back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/type_tag.h"
#include "engine/resources/mesh.h"
#include "engine/resources/mesh_schemes.h"
#include "engine/resources/resource_report.h"

namespace {

void CheckIndices(const SWmesh& mesh)
{
    for (uint32_t p = 0; p < mesh.GetPolygonCount(); ++p) {
        const SWindexrecord record = mesh.GetIndexRecord(p);
        for (int c = 0; c < 3; ++c)
            if (record.position[c] >= mesh.GetVertexCount() || record.cornerKey[c] >= mesh.GetCornerKeyCount() ||
                (mesh.GetTextureVertexCount() > 0 && record.texture[c] >= mesh.GetTextureVertexCount()))
                std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const SWcompressionscheme* const row = SWcompressionschemes::Table().FindById(MakeTag("IMES"));
    if (row == nullptr)
        std::abort();
    SWmesh mesh;
    const float triangle[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    mesh.SetVertices(std::vector<float>(triangle, triangle + 9));
    SWchunkstream in(std::span<const uint8_t>(data, size));
    if (!row->Read(in, &mesh, 0)) {
        if (mesh.GetVertexCount() != 3 || mesh.GetVertices()[3] != 1.0f)
            std::abort(); // a failed read changed the mesh
        return 0;
    }
    CheckIndices(mesh);
    if (mesh.GetPolygonCount() == 0)
        return 0; // every stored triangle named what does not exist, and the build dropped it
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    mesh.SetUserSettings(2, 2);
    if (!row->Write(out, &mesh, 0))
        std::abort();
    const std::vector<uint8_t> written = buffer.ToVector();
    SWchunkstream reread(written);
    reread.TakeTag();
    SWmesh again;
    if (!SWcompressionschemes::Table().ReadResource(MakeTag("IMES"), reread, &again, 0) || again.GetPolygonCount() == 0)
        std::abort();
    (void)TakeKeptResourceReports();
    return 0;
}
