// The designer tooltip's "PRTT" payload, read into a small world with two named nodes and drawn. A record that reads
// is written again, and that payload must read and write to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "designer/editors/designer_tooltip.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/object_node.h"
#include "engine/core/world.h"
#include "platform/gfx/text/fixed_font_engine.h"
#include "platform/gfx/text/font_engine.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

struct SmallWorld {
    SmallWorld()
    {
        for (const char* name : {"object0", "button"}) {
            auto* node = new SWobjectnode;
            node->SetName(std::string(name));
            world.AddNode(node, nullptr);
        }
        EnsureTooltipParts(world);
    }
    SWworld world;
};

std::vector<uint8_t> Rewritten(SWworld& world)
{
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        const auto* tip = dynamic_cast<const VTND_ToolTip*>(SWtooltips::Find(world)->GetList().Tail());
        Check(tip != nullptr && tip->WriteRecord(out));
    }
    return buffer.ToVector();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static pf::FixedFontEngine fonts;
    pf::setFontEngine(&fonts);
    SmallWorld first;
    SWchunkstream in{std::span<const uint8_t>(data, size)};
    const size_t before = SWtooltips::Find(first.world)->GetList().Count();
    if (ReadTooltipRecord(first.world, in) != TooltipRecordRead::kOk) {
        Check(SWtooltips::Find(first.world)->GetList().Count() == before);
        return 0;
    }
    // Drawn as a first show draws it, with whatever the record stated.
    static_cast<CVTN_ToolTip*>(SWtooltips::Find(first.world)->GetList().Tail())->MakePicture();
    const std::vector<uint8_t> once = Rewritten(first.world);
    SmallWorld second;
    SWchunkstream again{std::span<const uint8_t>(once)};
    Check(ReadTooltipRecord(second.world, again) == TooltipRecordRead::kOk);
    Check(Rewritten(second.world) == once);
    return 0;
}
