// The whole world reader over bytes. The input is a plain body; the header is made to match it (true length, the
// body's checksum as seed), so that mutations reach the world's records rather than the checksum. The body is read
// as the world itself (and, for inputs of odd length, as a file to merge); a world that loads is saved, and that file
// must load and save again to the same bytes. The seeds are small worlds of a few kinds each (make_world_seeds.sh):
// inputs of a few kilobytes keep the target fast enough to reach depth.
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
    // Read as the world itself, with the save-and-load check; inputs of odd length are read again as a file to
    // merge, which differs only in the ids it gives (the writer stores them as they are). One read and one check an
    // input at most, instead of two of each, as each costs a whole world built and torn down.
    for (const auto mode : {SWreadcontext::IdMode::kKeep, SWreadcontext::IdMode::kFresh}) {
        if (mode == SWreadcontext::IdMode::kFresh && size % 2 == 0)
            break;
        SWreadcontext context(mode);
        const WorldLoadResult loaded = ReadWorldFile(file, context);
        Check((loaded.status == DocumentStatus::kOk) == (loaded.world != nullptr));
        if (loaded.world && mode == SWreadcontext::IdMode::kKeep)
            CheckStable(*loaded.world);
    }
    return 0;
}
