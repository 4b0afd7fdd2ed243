// The events section of a world's file from any bytes, read into a world of its own with the world's action
// catalogue and key table. Never a crash, a hang or a leak; what loads saves to bytes that load and save again to
// the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "engine/behaviour/events.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/read_context.h"
#include "engine/core/world.h"

namespace {

std::vector<uint8_t> Saved(const SWworld& world)
{
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        out.SetFormatVersion(SWworld::kDefaultFileVersion);
        if (!world.SaveEvents(out))
            std::abort();
    }
    return buffer.ToVector();
}

void Load(SWworld& world, std::span<const uint8_t> bytes, uint32_t version)
{
    SWreadcontext context(SWreadcontext::IdMode::kKeep);
    SWchunkstream in(bytes);
    in.SetFormatVersion(version);
    in.SetReadContext(&context);
    world.LoadEvents(in);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the file version, so the older layouts are reached too.
    static constexpr uint32_t kVersions[] = {951, 950, 940, 930, 920, 900, 899};
    const uint32_t version = kVersions[data[0] % std::size(kVersions)];
    SWworld world;
    world.SetBuildNumber(data[0] & 0x80 ? 3999 : 4100);
    Load(world, std::span<const uint8_t>(data + 1, size - 1), version);
    const std::vector<uint8_t> first = Saved(world);

    SWworld again;
    again.SetBuildNumber(4100);
    Load(again, first, SWworld::kDefaultFileVersion);
    if (again.CountEvents() != world.CountEvents())
        std::abort();
    if (Saved(again) != first)
        std::abort();
    return 0;
}
