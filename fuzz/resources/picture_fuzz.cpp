// Procedural picture records ("CIPR"): a read either fails and leaves the picture as it was, or gives a picture
// whose record reads back to the same bytes and the same pixels. Pictures above 2^20 pixels are skipped: rendering
// them under the sanitizers takes long and shows nothing a smaller one does not.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/type_tag.h"
#include "engine/resources/picture.h"
#include "engine/resources/texture_header_record.h"

namespace {

bool ClaimsTooManyPixels(std::span<const uint8_t> payload)
{
    SWchunkstream in(payload);
    while (in.Remaining() >= 8) {
        const uint32_t tag = in.TakeTag();
        const auto child = in.OpenChild();
        TextureHeader header;
        if (tag == MakeTag("TXHD") && ReadTextureHeader(*child, header) &&
            uint64_t{header.width} * header.height > (uint64_t{1} << 20))
            return true;
    }
    return false;
}

std::vector<uint8_t> PayloadOf(SWpicture& picture)
{
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    if (!picture.Write(out))
        std::abort(); // every picture the reader accepts can be written
    return buffer.ToVector();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> payload(data, size);
    if (ClaimsTooManyPixels(payload))
        return 0;
    SWpicture kept("kept", 4, 4, BackgroundGenerator::kRadial);
    const std::vector<uint8_t> before = PayloadOf(kept);
    SWchunkstream in(payload);
    if (!kept.Read(in)) {
        if (PayloadOf(kept) != before)
            std::abort(); // a failed read changed the picture
        return 0;
    }
    if (!kept.IsValid() || kept.GetGenerator().owner != &kept)
        std::abort();
    const std::vector<uint8_t> written = PayloadOf(kept);
    SWpicture again;
    SWchunkstream reread(written);
    if (!again.Read(reread) || PayloadOf(again) != written)
        std::abort();
    const size_t count = static_cast<size_t>(kept.GetWidth32()) * kept.GetHeight32();
    for (size_t i = 0; i < count; ++i)
        if (kept.GetPixels()[i] != again.GetPixels()[i] || (kept.GetPixels()[i] >> 24) != 0xFF)
            std::abort();
    return 0;
}
