// Speech data records ("QJSH"): a read either fails and leaves the object as it was, or gives an object whose
// record reads back to an equal one. Hostile counts must be refused before they size an allocation.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "engine/core/chunk_stream.h"
#include "engine/resources/speech_data.h"
#include "testsupport/resources/record_payload.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SWspeechdata kept("kept");
    kept.AddChannel(3, {0.5f, 1.0f});
    const std::vector<uint8_t> before = RecordPayloadOf(kept);
    SWchunkstream in(std::span<const uint8_t>(data, size));
    if (!kept.Read(in)) {
        if (RecordPayloadOf(kept) != before)
            std::abort(); // a failed read changed the object
        return 0;
    }
    const std::vector<uint8_t> written = RecordPayloadOf(kept);
    SWspeechdata again;
    SWchunkstream reread(written);
    if (!again.Read(reread) || !(again == kept))
        std::abort();
    return 0;
}
