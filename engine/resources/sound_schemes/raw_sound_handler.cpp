#include "engine/resources/sound_schemes/raw_sound_handler.h"

#include <algorithm>
#include <array>

#include "engine/core/chunk_stream.h"
#include "engine/resources/sound.h"
#include "engine/resources/wav_file.h"

namespace {
constexpr size_t kCopyBlockBytes = 8192;
}

bool RawSoundHandler::Read(SWchunkstream& in, CVTN_Container* object, uint32_t /*word*/) const
{
    SWsound* const sound = SoundOf(object);
    uint32_t size = 0;
    if (sound == nullptr || !ReadSoundNames(in, *sound) || !in.ReadU32(size))
        return false;
    const std::optional<std::string> path = RestoreIntoTemporaryFile(*sound);
    if (!path)
        return false;
    WavFormat unused;
    uint8_t error = 0;
    WavFile file(*path, true, error, unused, MmioStream::kModePlainFile);
    if (error != 0) {
        Report(*sound, "cannot write " + *path + ": " + file.GetRefusal());
        return false;
    }
    std::array<uint8_t, kCopyBlockBytes> block;
    uint64_t left = size;
    while (left > 0) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>({left, block.size(), in.Remaining()}));
        if (want == 0 || in.ReadBytes(block.data(), want) != want || !file.Write(block.data(), want))
            break;
        left -= want;
    }
    // A payload that ends early still leaves what arrived in the file.
    if (!file.Close()) {
        Report(*sound, "cannot write " + *path);
        return false;
    }
    if (left > 0)
        return false;
    FinishRestoredSound(*sound, *path);
    return true;
}

bool RawSoundHandler::Write(SWchunkstream& out, CVTN_Container* object, uint32_t /*word*/) const
{
    SWsound* const sound = SoundOf(object);
    return sound != nullptr && WriteRawSoundRecord(out, *sound);
}
