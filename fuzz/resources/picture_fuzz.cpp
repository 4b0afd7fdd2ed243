// Procedural picture records ("CIPR"): a read either fails and leaves the picture as it was, or gives a picture
// whose record reads back to the same bytes and the same pixels. Pictures above 2^20 pixels are skipped: rendering
// them under the sanitizers takes long and shows nothing a smaller one does not.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "engine/core/chunk_stream.h"
#include "engine/resources/picture.h"
#include "testsupport/resources/record_payload.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> payload(data, size);
    if (ClaimsMorePixelsThan(payload, uint64_t{1} << 20))
        return 0;
    SWpicture kept("kept", 4, 4, BackgroundGenerator::kRadial);
    const std::vector<uint8_t> before = RecordPayloadOf(kept);
    SWchunkstream in(payload);
    if (!kept.Read(in)) {
        if (RecordPayloadOf(kept) != before)
            std::abort(); // a failed read changed the picture
        return 0;
    }
    if (!kept.IsValid() || kept.GetGenerator().owner != &kept)
        std::abort();
    const std::vector<uint8_t> written = RecordPayloadOf(kept);
    SWpicture again;
    SWchunkstream reread(written);
    if (!again.Read(reread) || RecordPayloadOf(again) != written)
        std::abort();
    const size_t count = static_cast<size_t>(kept.GetWidth32()) * kept.GetHeight32();
    for (size_t i = 0; i < count; ++i)
        if (kept.GetPixels()[i] != again.GetPixels()[i] || (kept.GetPixels()[i] >> 24) != 0xFF)
            std::abort();
    return 0;
}
