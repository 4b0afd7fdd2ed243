// A sound scheme record read into a fresh world: the first byte picks the row ("7499" ... "7490"), the rest is the
// record's payload. A read must end, write no more audio than its payload can carry, and leave no temporary file
// once the world that loaded it is gone.
//
// Every record restores its sound into a temporary file, written through a sink that syncs it when closed: on a
// disk the syncs and the file system's bookkeeping kept this target waiting for most of its time. The temporaries
// go to a folder of the process's own in memory (/dev/shm) when there is one, where the same code runs without
// waiting on a device.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

#include "engine/core/chunk_stream.h"
#include "engine/core/type_tag.h"
#include "engine/core/world.h"
#include "engine/resources/compression_scheme.h"
#include "engine/resources/sound.h"

namespace {

constexpr uint32_t kIds[] = {MakeTag("7499"), MakeTag("7498"), MakeTag("7496"), MakeTag("7495"), MakeTag("7494"),
                             MakeTag("7493"), MakeTag("7492"), MakeTag("7491"), MakeTag("7490")};

// The most audio a payload of n bytes can become: raw is a copy; a Tonalwave slot of 558 bytes gives at most 2048
// samples; an RT24 frame of 54 bits 180 samples and an SC36 base layer of 8 bytes 160. The own codec's blocks may
// hold long runs, so it is bounded only by its decoder's own limits.
uint64_t MostOutputBytes(uint32_t id, uint64_t n)
{
    constexpr uint64_t kWaveHeader = 44;
    if (id == MakeTag("7499"))
        return n;
    if (id == MakeTag("7498"))
        return UINT64_MAX;
    if (id == MakeTag("7491"))
        return kWaveHeader + (n * 8 / 54 + 1) * 360;
    if (id == MakeTag("7490"))
        return kWaveHeader + (n / 8 + 1) * 320;
    return kWaveHeader + (n / 558 + 1) * 2048 * 2 * 2;
}

// The most payload a row is handed. Each codec's own target decodes frames in depth; here a record needs only a few
// frames to reach every step of its reading (the names, the header, the restored file, the bound on what it writes,
// the clean-up), while a payload of kilobytes decoded by a speech codec costs up to a second an input under the
// sanitizers, which kept this target at a few dozen inputs a second.
size_t MostPayloadBytes(uint32_t id)
{
    if (id == MakeTag("7499"))
        return SIZE_MAX; // a copy: cheap at any length
    if (id == MakeTag("7498"))
        return 512;
    if (id == MakeTag("7491") || id == MakeTag("7490"))
        return 96; // the names, the header and about ten frames
    return 640;    // Tonalwave: the names, the header and one slot
}

// TMPDIR set to a new folder in memory, removed again at exit; left alone where no such folder can be made.
void KeepTemporariesInMemory()
{
    static char folder[] = "/dev/shm/vortan-fuzz-XXXXXX";
    if (::access("/dev/shm", W_OK) != 0 || ::mkdtemp(folder) == nullptr)
        return;
    ::setenv("TMPDIR", folder, 1);
    std::atexit([] { ::rmdir(folder); }); // empty by then: each world takes its files with it
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool inMemory = (KeepTemporariesInMemory(), true);
    (void)inMemory;
    if (size < 1)
        return 0;
    const uint32_t id = kIds[data[0] % std::size(kIds)];
    const std::span<const uint8_t> payload(data + 1, std::min(size - 1, MostPayloadBytes(id)));
    std::vector<uint8_t> record(8);
    for (int i = 0; i < 4; ++i) {
        record[i] = static_cast<uint8_t>(id >> (8 * i));
        record[4 + i] = static_cast<uint8_t>(payload.size() >> (8 * i));
    }
    record.insert(record.end(), payload.begin(), payload.end());

    std::string restored;
    {
        auto world = std::make_unique<SWworld>();
        auto owned = std::make_unique<SWsound>("fuzz");
        owned->SetWorld(world.get());
        SWsound* const sound = world->GetSoundList().Add(std::move(owned));
        SWchunkstream in(record);
        const bool read = SWcompressionschemes::Table().ReadResource(id, in, sound, 0);
        restored = sound->GetFileName();
        std::error_code error;
        const uint64_t written = restored.empty() ? 0 : std::filesystem::file_size(restored, error);
        if (read && (error || written > MostOutputBytes(id, payload.size())))
            std::abort();
    }
    std::error_code error;
    if (!restored.empty() && std::filesystem::exists(restored, error))
        std::abort(); // the world's referenced files go with it
    return 0;
}
