#include "engine/resources/tooltip.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/object_node.h"
#include "engine/resources/gdi_canvas.h"
#include "engine/resources/image32.h"
#include "engine/resources/render_layer.h"
#include "engine/resources/tests/world_round_trip.h"

namespace {

struct TooltipWorld {
    TooltipWorld()
    {
        EnsureTooltipParts(world);
        auto owned = std::make_unique<CVTN_ToolTip>(&world, "tip");
        tip = owned.get();
        SWtooltips::Find(world)->GetList().AddTail(owned.release());
        tip->fadeIn = 100.0;
        tip->fadeOut = 200.0;
        EXPECT_TRUE(tip->SetTextureSize(16, 8));
        // The texture: opaque grey 200 with a transparent last pixel.
        uint32_t* pixels = tip->GetTexture()->GetPixelBuffer();
        for (int i = 0; i < 16 * 8; ++i)
            pixels[i] = 0xFFC8C8C8u;
        pixels[16 * 8 - 1] = 0x00C8C8C8u;
    }
    SWworld world;
    CVTN_ToolTip* tip = nullptr;
};

TEST(Tooltip, ShowAndHideImmediately)
{
    TooltipWorld w;
    ASSERT_NE(w.tip->GetFaderSprite(), nullptr);
    EXPECT_FALSE(w.tip->GetMainSprite()->IsEnabled());
    w.tip->Show(true);
    EXPECT_TRUE(w.tip->IsShown());
    EXPECT_TRUE(w.tip->GetMainSprite()->IsEnabled());
    EXPECT_FALSE(w.tip->GetFaderSprite()->IsEnabled());
    w.tip->SetShownPosition(30, 40);
    EXPECT_EQ(w.tip->GetMainSprite()->GetX(), 30);
    EXPECT_EQ(w.tip->GetMainSprite()->GetY(), 40);
    w.tip->Hide(true);
    EXPECT_FALSE(w.tip->IsShown());
    EXPECT_FALSE(w.tip->GetMainSprite()->IsEnabled());
    EXPECT_FALSE(w.tip->GetFaderSprite()->IsEnabled());
}

TEST(Tooltip, FadesInAndOutThroughTheFader)
{
    TooltipWorld w;
    w.world.SetCurrentWorldTime(1000.0f);
    w.tip->Show(false);
    EXPECT_TRUE(w.tip->IsFading());
    EXPECT_TRUE(w.tip->GetFaderSprite()->IsEnabled());
    EXPECT_FALSE(w.tip->GetMainSprite()->IsEnabled());
    EXPECT_EQ(w.tip->GetCurrentSprite(), w.tip->GetFaderSprite());
    w.world.SetCurrentWorldTime(1050.0f);
    w.world.SetNothingAnimated(1);
    StepTooltips(w.world);
    EXPECT_EQ(w.world.GetNothingAnimated(), 0); // a fading view is never refined as a still one
    // Half way: premultiplied and scaled by 0.5.
    EXPECT_EQ(w.tip->GetFader()->GetPixels()[0], 0x7F646464u);
    EXPECT_EQ(w.tip->GetFader()->GetPixels()[16 * 8 - 1], 0u);
    w.world.SetCurrentWorldTime(1100.0f);
    StepTooltips(w.world);
    EXPECT_FALSE(w.tip->IsFading());
    EXPECT_TRUE(w.tip->GetMainSprite()->IsEnabled());
    EXPECT_FALSE(w.tip->GetFaderSprite()->IsEnabled());
    w.world.SetNothingAnimated(1);
    StepTooltips(w.world);
    EXPECT_EQ(w.world.GetNothingAnimated(), 1);

    w.tip->Hide(false);
    EXPECT_TRUE(w.tip->GetFaderSprite()->IsEnabled());
    EXPECT_FALSE(w.tip->GetMainSprite()->IsEnabled());
    w.world.SetCurrentWorldTime(1200.0f);
    StepTooltips(w.world);
    EXPECT_EQ(w.tip->GetFader()->GetPixels()[0], 0x7F646464u);
    w.world.SetCurrentWorldTime(1300.0f);
    StepTooltips(w.world);
    EXPECT_FALSE(w.tip->GetFaderSprite()->IsEnabled());
    EXPECT_FALSE(w.tip->GetMainSprite()->IsEnabled());

    // Without a fade-in time there is no fader and showing is immediate.
    CVTN_ToolTip plain(&w.world, "plain");
    ASSERT_TRUE(plain.SetTextureSize(8, 8));
    EXPECT_EQ(plain.GetFaderSprite(), nullptr);
    plain.Show(false);
    EXPECT_TRUE(plain.GetMainSprite()->IsEnabled());
}

TEST(Tooltip, TextureFromTheCanvasGetsAlpha)
{
    TooltipWorld w;
    auto* canvas = dynamic_cast<GdiCanvas*>(w.world.GetPart(WorldPart::kCanvasManager));
    ASSERT_NE(canvas, nullptr);
    const auto image = GdiCanvas::CreateImage(16, 8);
    const auto line = GdiCanvas::CreateTextLine(image.get());
    GdiCanvas::SetColor(line.get(), 10, 20, 30);
    GdiCanvas::FillRect(line.get(), 0, 0, 16, 8);
    ASSERT_TRUE(w.tip->WriteTexture(*canvas, image.get()));
    EXPECT_EQ(w.tip->GetTexture()->GetPixels()[5], 0xFF0A141Eu);
}

TEST(Tooltip, RecordKeepsEntriesByNameWhenTheirNodeIsGone)
{
    TooltipWorld w;
    auto* kept = new SWobjectnode;
    kept->SetName("door");
    w.world.AddNode(kept, nullptr);
    auto* gone = new SWobjectnode;
    gone->SetName("window");
    w.world.AddNode(gone, nullptr);
    w.tip->GetOrAddEntry(kept);
    w.tip->GetOrAddEntry(gone);
    EXPECT_EQ(w.tip->GetOrAddEntry(kept), w.tip->GetFirstEntry());
    w.tip->delay = 250.0;
    w.tip->showAtCursor = 1;
    w.tip->SetPosition(0.25f, 0.75f);
    w.tip->SetWidth(12);
    w.tip->SetHeight(7);
    const uint32_t keptId = kept->GetId();
    ASSERT_TRUE(w.world.DeleteNode(gone));
    const CVTN_ToolTipEntry* second = CVTN_ToolTip::GetNextEntry(w.tip->GetFirstEntry());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(w.tip->GetEntryNode(*second), nullptr);
    EXPECT_EQ(second->name, "window");

    const WorldLoadResult loaded = RoundTripWorld(w.world);
    ASSERT_NE(loaded.world, nullptr);
    SWtooltips* tooltips = SWtooltips::Find(*loaded.world);
    ASSERT_NE(tooltips, nullptr);
    ASSERT_EQ(tooltips->GetList().Count(), 1u);
    auto* read = static_cast<CVTN_ToolTip*>(tooltips->GetList().Head());
    EXPECT_EQ(read->GetName(), "tip");
    EXPECT_EQ(read->delay, 250.0);
    EXPECT_EQ(read->fadeIn, 100.0);
    EXPECT_EQ(read->fadeOut, 200.0);
    EXPECT_EQ(read->showAtCursor, 1);
    EXPECT_EQ(read->GetWidth(), 12u);
    const CVTN_ToolTipEntry* first = read->GetFirstEntry();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->nodeId, keptId);
    EXPECT_EQ(first->name, "door");
    EXPECT_NE(read->GetEntryNode(*first), nullptr);
    const CVTN_ToolTipEntry* orphan = CVTN_ToolTip::GetNextEntry(first);
    ASSERT_NE(orphan, nullptr);
    EXPECT_EQ(orphan->nodeId, CVTN_ToolTipEntry::kNoNode);
    EXPECT_EQ(orphan->name, "window");
    ASSERT_NE(read->GetTexture(), nullptr);
    EXPECT_EQ(read->GetTexture()->GetPixels()[16 * 8 - 1], 0x00C8C8C8u);
    ASSERT_NE(read->GetMainSprite(), nullptr);

    // Truncated, or claiming more entries than the record holds: refused, the tooltip unchanged.
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    ASSERT_TRUE(read->Write(out));
    const std::vector<uint8_t> bytes = buffer.ToVector();
    // A record may end before the texture record; every other cut is damage.
    const size_t textureAt =
        std::search(bytes.begin(), bytes.end(), std::begin("CI32"), std::end("CI32") - 1) - bytes.begin();
    ASSERT_LT(textureAt, bytes.size());
    for (size_t cut = 1; cut < bytes.size(); cut += 7) {
        if (cut == textureAt)
            continue;
        SWchunkstream in(std::span<const uint8_t>(bytes.data(), cut));
        EXPECT_FALSE(read->Read(in)) << cut;
    }
    std::vector<uint8_t> hostile = bytes;
    const size_t countAt = 4 + 3 + 8 * 3 + 1 + 4 * 4;
    hostile[countAt] = 0xFF;
    hostile[countAt + 1] = 0xFF;
    hostile[countAt + 2] = 0xFF;
    hostile[countAt + 3] = 0xFF;
    SWchunkstream hostileIn(hostile);
    EXPECT_FALSE(read->Read(hostileIn));
    EXPECT_EQ(read->GetName(), "tip");
    EXPECT_EQ(CVTN_ToolTip::GetNextEntry(read->GetFirstEntry())->name, "window");
}

TEST(Tooltip, SpritesOutliveNeitherTheLayerNorTheTooltip)
{
    SWworld world;
    EnsureTooltipParts(world);
    auto* layer = dynamic_cast<SWrenderlayer*>(world.GetPart(WorldPart::kTooltipLayer));
    {
        CVTN_ToolTip tip(&world, "short");
        tip.fadeIn = 10.0;
        ASSERT_TRUE(tip.SetTextureSize(4, 4));
        EXPECT_EQ(layer->GetItems().Count(), 2u);
        ASSERT_TRUE(tip.SetTextureSize(8, 8)); // the old sprites go with the old texture
        EXPECT_EQ(layer->GetItems().Count(), 2u);
    }
    EXPECT_EQ(layer->GetItems().Count(), 0u);
    // A tooltip that outlives the layer (the world's parts go in reverse order) finds its sprites already gone.
    CVTN_ToolTip tip(&world, "long");
    ASSERT_TRUE(tip.SetTextureSize(4, 4));
    world.SetPart(WorldPart::kTooltipLayer, nullptr);
    EXPECT_EQ(tip.GetMainSprite(), nullptr);
}

} // namespace
