// Tooltip records ("TTIP", the list of "TTIE") read into an empty world: a read either fails and adds no tooltip,
// or adds tooltips whose list writes and reads back to the same bytes in another empty world.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/world.h"
#include "engine/resources/resource_report.h"
#include "engine/resources/tooltip.h"

namespace {

std::vector<uint8_t> ListOf(SWworld& world)
{
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    if (!WriteTooltipList(world, out))
        std::abort(); // every tooltip read can be written
    return buffer.ToVector();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SWworld world;
    SWchunkstream in(std::span<const uint8_t>(data, size));
    if (!ReadTooltipList(world, in)) {
        if (SWtooltips::Find(world) != nullptr && SWtooltips::Find(world)->GetList().Count() != 0)
            std::abort(); // a damaged list added tooltips
        (void)TakeKeptResourceReports();
        return 0;
    }
    const std::vector<uint8_t> written = ListOf(world);
    SWworld again;
    SWchunkstream reread(written);
    if (!ReadTooltipList(again, reread) || ListOf(again) != written)
        std::abort();
    (void)TakeKeptResourceReports();
    return 0;
}
