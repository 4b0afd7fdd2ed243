// Key-frame and vertex-stream block payloads read through their rows; the first byte picks the row ("KLZS",
// "KDEF", "VLZS", "VDEF", then the plain "KRAW" and "VRAW"), the rest is the payload. A read either fails and
// leaves the block as it was, or gives a block that its row writes again and reads back to the same body.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/type_tag.h"
#include "engine/resources/animation_schemes.h"

namespace {

constexpr uint32_t kRows[] = {MakeTag("KLZS"), MakeTag("KDEF"), MakeTag("VLZS"),
                              MakeTag("VDEF"), MakeTag("KRAW"), MakeTag("VRAW")};

std::unique_ptr<SWmotionblock> MakeBlock(SchemeKind kind)
{
    if (kind == SchemeKind::kKeyFrames) {
        auto block = std::make_unique<SWkeyframeblock>();
        block->GetTracks().AddTrack(std::nullopt).SetKey(3, SWmatrix::Translation(1, 2, 3));
        return block;
    }
    auto block = std::make_unique<SWvertexstreamblock>();
    if (!block->SetFrames(1, 1, {1.0f, 2.0f, 3.0f}))
        std::abort();
    return block;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const auto* const row = dynamic_cast<const SWmotionblockscheme*>(
        SWcompressionschemes::Table().FindById(kRows[data[0] % std::size(kRows)]));
    if (row == nullptr)
        std::abort();
    const std::unique_ptr<SWmotionblock> block = MakeBlock(row->GetKind());
    const std::optional<std::vector<uint8_t>> before = block->EncodeBody();
    SWchunkstream in(std::span<const uint8_t>(data + 1, size - 1));
    if (!row->ReadPayload(in, *block)) {
        if (block->EncodeBody() != before)
            std::abort(); // a failed read changed the block
        return 0;
    }
    const std::optional<std::vector<uint8_t>> body = block->EncodeBody();
    if (!body)
        std::abort();
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        if (!row->WritePayload(out, *block))
            std::abort();
    }
    const std::vector<uint8_t> written = buffer.ToVector();
    const std::unique_ptr<SWmotionblock> again = MakeBlock(row->GetKind());
    SWchunkstream reread(written);
    if (!row->ReadPayload(reread, *again) || again->EncodeBody() != body)
        std::abort();
    return 0;
}
