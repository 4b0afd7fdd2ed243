// Wavelet ("WAVL") and palette ("CIMG") image records: the first byte picks the kind, the rest is the record's
// payload. A read either fails and leaves the image as it was, or gives an image whose record reads back to the
// same bytes. Pictures above 2^22 pixels are skipped: decoding them takes gigabytes under the sanitizers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

#include "engine/core/chunk_stream.h"
#include "engine/resources/palette_image.h"
#include "engine/resources/resource_report.h"
#include "engine/resources/wavelet_image.h"
#include "testsupport/resources/record_payload.h"

namespace {

template <typename Image> void CheckRecord(std::span<const uint8_t> payload, Image& kept)
{
    const std::vector<uint8_t> before = RecordPayloadOf(kept);
    SWchunkstream in(payload);
    if (!kept.Read(in)) {
        if (RecordPayloadOf(kept) != before)
            std::abort(); // a failed read changed the image
        return;
    }
    if (!kept.IsValid())
        std::abort();
    const std::vector<uint8_t> written = RecordPayloadOf(kept);
    Image again;
    SWchunkstream reread(written);
    if (!again.Read(reread) || RecordPayloadOf(again) != written)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const std::span<const uint8_t> payload(data + 1, size - 1);
    if (ClaimsMorePixelsThan(payload, uint64_t{1} << 22))
        return 0;
    const uint32_t pixels[4] = {0xFF102030u, 0xFF405060u, 0xFF708090u, 0xFFA0B0C0u};
    if (data[0] % 2 == 0) {
        SWwaveletimage kept("kept", 2, 2, pixels, 50);
        CheckRecord(payload, kept);
    } else {
        SWimage kept("kept", 2, 2, pixels);
        CheckRecord(payload, kept);
    }
    (void)TakeKeptResourceReports();
    return 0;
}
