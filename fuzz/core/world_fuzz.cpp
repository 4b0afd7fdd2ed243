// The whole world reader over bytes. The input is a plain body; the header is made to match it (true length, the
// body's checksum as seed), so that mutations reach the world's records rather than the checksum. The body is read
// as the world itself and as a file to merge; a world that loads is saved, and that file must load and save again
// to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "engine/core/document_file.h"
#include "engine/core/read_context.h"
#include "engine/core/world.h"
#include "engine/core/world_file.h"
#include "testsupport/world/document_bytes.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void CheckStable(SWworld& world)
{
    std::vector<uint8_t> first;
    Check(WriteWorldFile(world, WorldFileMode::kScene, first) == DocumentStatus::kOk);
    SWdocumentfile file;
    Check(SWdocumentfile::Parse(first, file) == DocumentStatus::kOk);
    SWreadcontext context(SWreadcontext::IdMode::kKeep);
    const WorldLoadResult again = ReadWorldFile(file, context);
    Check(again.status == DocumentStatus::kOk && again.skipped.empty());
    std::vector<uint8_t> second;
    Check(WriteWorldFile(*again.world, WorldFileMode::kScene, second) == DocumentStatus::kOk);
    Check(second == first);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size + kDocumentHeaderBytes > 0xFFFFFFFF)
        return 0;
    SWdocumentfile file;
    if (SWdocumentfile::Parse(documenttest::FileOf(std::vector<uint8_t>(data, data + size), false), file) !=
        DocumentStatus::kOk)
        return 0;
    for (const auto mode : {SWreadcontext::IdMode::kKeep, SWreadcontext::IdMode::kFresh}) {
        SWreadcontext context(mode);
        const WorldLoadResult loaded = ReadWorldFile(file, context);
        Check((loaded.status == DocumentStatus::kOk) == (loaded.world != nullptr));
        if (loaded.world)
            CheckStable(*loaded.world);
    }
    return 0;
}
