// The project reader over bytes. The input is a plain body; the header is made to match it ("0942", true length,
// the body's checksum as seed), so that mutations reach the project item and the world's records rather than the
// checksum. It is read as a project by a fresh application; a project that loads is saved, and that file must load
// and save again to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/project.h"
#include "engine/core/document_file.h"
#include "testsupport/world/document_bytes.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size + kDocumentHeaderBytes > 0xFFFFFFFF)
        return 0;
    CVTNDesignerApp app;
    const std::vector<uint8_t> file = documenttest::FileOf(std::vector<uint8_t>(data, data + size), false, "0942");
    CVTND_Project::LoadResult loaded = CVTND_Project::LoadBytes(file, "input");
    Check(loaded.ok() == (loaded.world != nullptr));
    Check(loaded.ok() || !loaded.message.empty());
    if (!loaded.ok())
        return 0;
    std::vector<uint8_t> first;
    Check(loaded.project->WriteBytes(first, loaded.gradients.get()));
    CVTND_Project::LoadResult again = CVTND_Project::LoadBytes(first, "first");
    Check(again.ok());
    std::vector<uint8_t> second;
    Check(again.project->WriteBytes(second, again.gradients.get()));
    Check(second == first);
    return 0;
}
