// The designer tooltip: layout, texture sizes, premultiplied pixels, margins and alignment, fonts, and its "PRTT"
// record through the project file, whole and damaged.
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include "designer/app/project_records.h"
#include "designer/editors/tests/tooltip_fixture.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/read_context.h"
#include "engine/core/type_tag.h"
#include "engine/core/world_file.h"
#include "engine/resources/gdi_canvas.h"
#include "engine/resources/render_layer.h"
#include "platform/base/atomic_file.h"

namespace tooltiptest {
namespace {

using Tooltip = EditorsFixture;

long PeakKilobytes() // the process's most resident memory so far
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The thread sanitizer's shadow grows with every fresh address a picture takes and is not given back: three times the
// room there, still far below what drawing every tooltip at once takes.
#if defined(__SANITIZE_THREAD__)
constexpr long kShadowFactor = 3;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr long kShadowFactor = 3;
#else
constexpr long kShadowFactor = 1;
#endif
#else
constexpr long kShadowFactor = 1;
#endif

// The first column of row y whose alpha is the text's (255), or -1.
int32_t FirstTextColumn(const VTND_ToolTip& tip, int32_t y)
{
    for (int32_t x = 0; x < static_cast<int32_t>(tip.GetWidth()); ++x)
        if ((EditorsFixture::Pixel(tip, x, y) >> 24) == 255)
            return x;
    return -1;
}

TEST_F(Tooltip, LinesSplitAtEveryBreakAndAreCut)
{
    VTND_ToolTip* tip = NewTooltip("tip");
    ASSERT_NE(tip, nullptr);
    tip->SetText("a\r\nb");
    std::vector<VTND_ToolTip::Line> lines = tip->LayOut();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].text, "a");
    EXPECT_EQ(lines[1].text, "");
    EXPECT_EQ(lines[2].text, "b");
    EXPECT_EQ(lines[1].width, 0);
    tip->SetText("");
    EXPECT_EQ(tip->LayOut().size(), 1u);
    tip->SetText(std::string(3000, 'x'));
    lines = tip->LayOut();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text.size(), VTND_ToolTip::kMaxLineLength);
    tip->Render();
    ASSERT_GT(lines[0].width, 2047);
    EXPECT_EQ(tip->GetWidth(), 2047u); // the canvases and texture stay within 2048 a side
    EXPECT_EQ(tip->GetTexture()->GetWidth(), 2048);

    // Italic widens every line by the overhang.
    tip->SetText("ab\nabcd");
    const std::vector<VTND_ToolTip::Line> upright = tip->LayOut();
    tip->italic = 1;
    tip->ApplyFont();
    ASSERT_GT(tip->overhang, 0);
    const std::vector<VTND_ToolTip::Line> slanted = tip->LayOut();
    for (size_t i = 0; i < 2; ++i)
        EXPECT_EQ(slanted[i].width, upright[i].width + tip->overhang);
}

TEST_F(Tooltip, TextureSizesArePowersOfTwoStrictlyAbove)
{
    for (const auto& [size, texture] : {std::pair{5, 8u}, {8, 16u}, {9, 16u}, {100, 128u}, {128, 256u}, {0, 1u}})
        EXPECT_EQ(VTND_ToolTip::TextureSizeFor(size), texture) << size;
    VTND_ToolTip* tip = NewTooltip("tip");
    tip->Resize(8, 8);
    EXPECT_EQ(tip->GetTexture()->GetWidth(), 16);
    EXPECT_EQ(tip->GetTexture()->GetHeight(), 16);
    tip->Resize(9, 5);
    EXPECT_EQ(tip->GetTexture()->GetWidth(), 16);
    EXPECT_EQ(tip->GetTexture()->GetHeight(), 8);
    // Within one size the texture and sprite stay; a new size replaces both, the sprite keeping its place.
    SWimage32* texture = tip->GetTexture();
    SWlayersprite* sprite = tip->GetMainSprite();
    const uint32_t allocations = tip->GetTextureAllocations();
    tip->Resize(12, 7);
    EXPECT_EQ(tip->GetTexture(), texture);
    EXPECT_EQ(tip->GetMainSprite(), sprite);
    EXPECT_EQ(sprite->GetWidth(), 12);
    EXPECT_EQ(sprite->GetHeight(), 7);
    tip->SetShownPosition(30, 40);
    tip->Resize(20, 7);
    EXPECT_EQ(tip->GetTextureAllocations(), allocations + 1);
    EXPECT_EQ(tip->GetTexture()->GetWidth(), 32);
    EXPECT_EQ(tip->GetMainSprite()->GetX(), 30);
    EXPECT_EQ(tip->GetMainSprite()->GetY(), 40);
    EXPECT_EQ(tip->GetMainSprite()->GetWidth(), 20);
    EXPECT_TRUE(tip->GetMainSprite()->IsVisible());
    // Nothing or less becomes 8.
    tip->Resize(0, -3);
    EXPECT_EQ(tip->GetWidth(), 8u);
    EXPECT_EQ(tip->GetHeight(), 8u);
}

TEST_F(Tooltip, PixelsArePremultipliedByTheirOpacity)
{
    VTND_ToolTip* tip = NewTooltip("tip");
    tip->SetText("W");
    tip->Render();
    const int32_t midY = static_cast<int32_t>(tip->GetHeight()) / 3;
    const int32_t textX = FirstTextColumn(*tip, midY);
    ASSERT_GE(textX, 0);
    EXPECT_EQ(Pixel(*tip, 0, 0), 0x80000000u); // black at 128
    EXPECT_EQ(Pixel(*tip, textX, midY), 0xFFFFFFFFu);
    tip->textRGB[0] = 200;
    tip->textRGB[1] = 100;
    tip->textRGB[2] = 51;
    tip->textOpacity = 128u << 24;
    tip->backRGB[0] = 255;
    tip->backOpacity = 0xFF000000u;
    tip->Render();
    // floor(c x a / 255): 200 -> 100, 100 -> 50, 51 -> 25.
    const uint32_t text = Pixel(*tip, textX, midY);
    EXPECT_EQ(text >> 24, 128u);
    EXPECT_EQ((text >> 16) & 0xFF, 200u * 128 / 255);
    EXPECT_EQ((text >> 8) & 0xFF, 100u * 128 / 255);
    EXPECT_EQ(text & 0xFF, 51u * 128 / 255);
    EXPECT_EQ(Pixel(*tip, 0, 0), 0xFFFF0000u);
}

TEST_F(Tooltip, MarginsEnlargeTheBoxAndAlignmentPlacesTheText)
{
    VTND_ToolTip* tip = NewTooltip("tip");
    tip->SetText("ab");
    tip->hAlign = VTND_ToolTip::kLeft; // from the top left corner first
    tip->vAlign = VTND_ToolTip::kTop;
    tip->Render();
    const uint32_t width = tip->GetWidth();
    const uint32_t height = tip->GetHeight();
    const int32_t y = static_cast<int32_t>(height) / 3;
    const int32_t left = FirstTextColumn(*tip, y);
    tip->hMargin = 10;
    tip->vMargin = 4;
    tip->Render();
    EXPECT_EQ(tip->GetWidth(), width + 10);
    EXPECT_EQ(tip->GetHeight(), height + 4);
    EXPECT_EQ(FirstTextColumn(*tip, y), left); // the whole margin right and below
    EXPECT_NE(Pixel(*tip, static_cast<int32_t>(width) + 5, y) >> 24, 255u);
    tip->hAlign = VTND_ToolTip::kCentre;
    tip->vAlign = VTND_ToolTip::kMiddle;
    tip->Render();
    EXPECT_EQ(FirstTextColumn(*tip, y + 2), left + 5);
    EXPECT_EQ(FirstTextColumn(*tip, 0), -1); // half the vertical margin above
    tip->hAlign = VTND_ToolTip::kRight;
    tip->vAlign = VTND_ToolTip::kBottom;
    tip->Render();
    EXPECT_EQ(FirstTextColumn(*tip, y + 4), left + 10);
}

TEST_F(Tooltip, ApplyFontPassesBoldOnlyForSevenHundredAndNeverStrikeout)
{
    VTND_ToolTip* tip = NewTooltip("tip");
    tip->weight = 600;
    tip->strikeout = 1;
    tip->underline = 1;
    tip->charHeight = 20;
    tip->ApplyFont();
    uint32_t flags = GdiCanvas::GetFontFlags(tip->GetColourLine());
    EXPECT_EQ(flags & GdiCanvas::kBold, 0u);
    EXPECT_NE(flags & GdiCanvas::kUnderline, 0u);
    EXPECT_EQ(tip->strikeout, 0);
    EXPECT_EQ(tip->charHeight, 20);
    tip->weight = 700;
    tip->ApplyFont();
    flags = GdiCanvas::GetFontFlags(tip->GetMaskLine());
    EXPECT_NE(flags & GdiCanvas::kBold, 0u);
    EXPECT_EQ(tip->weight, 700);
}

// -- The "PRTT" record through the project file

VTND_ToolTip* FullTooltip(EditorsFixture& f, const std::string& name)
{
    CVTND_CreateRequest request;
    request.name = name;
    auto* tip =
        static_cast<VTND_ToolTip*>(f.app->GetObjectsFactory().CreateObject(ObjectType::kTooltip, request).GetObject());
    tip->hMargin = 10;
    tip->vMargin = 4;
    tip->italic = 1;
    tip->charHeight = 14;
    tip->SetText("first\r\nsecond");
    tip->textRGB[1] = 10;
    tip->backRGB[2] = 200;
    tip->textOpacity = 200u << 24;
    tip->backOpacity = 60u << 24;
    tip->hAlign = VTND_ToolTip::kCentre;
    tip->vAlign = VTND_ToolTip::kBottom;
    tip->delay = 250.0;
    tip->fadeIn = 100.0;
    tip->fadeOut = 50.0;
    tip->SetPosition(12.0f, 34.0f);
    tip->GetOrAddEntry(f.sample->object);
    tip->GetOrAddEntry(f.sample->hotspot);
    tip->ApplyFont();
    tip->Render();
    return tip;
}

std::vector<VTND_ToolTip*> DesignerTooltipsNamed(SWworld& world, const std::string& name, size_t& allNamed)
{
    std::vector<VTND_ToolTip*> found;
    allNamed = 0;
    for (SWlistnode* n = SWtooltips::Find(world)->GetList().Head(); n != nullptr; n = n->Next()) {
        auto* tip = static_cast<CVTN_ToolTip*>(n);
        if (tip->GetName() != name)
            continue;
        ++allNamed;
        if (auto* designer = dynamic_cast<VTND_ToolTip*>(tip))
            found.push_back(designer);
    }
    return found;
}

TEST_F(Tooltip, ProjectRoundTripKeepsEveryFieldAndPixel)
{
    VTND_ToolTip* tip = FullTooltip(*this, "help");
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(app->GetProject()->WriteBytes(bytes, app->GetGradientStore()));
    CVTND_Project::LoadResult loaded = CVTND_Project::LoadBytes(bytes, "round");
    ASSERT_TRUE(loaded.ok()) << loaded.message;
    EXPECT_FALSE(loaded.damagedButOpened);
    size_t named = 0;
    const std::vector<VTND_ToolTip*> read = DesignerTooltipsNamed(*loaded.world, "help", named);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(named, 1u); // the world part's engine copy was replaced
    VTND_ToolTip& back = *read[0];
    EXPECT_EQ(back.GetTexture(), nullptr) << "a tooltip read draws itself when first needed, not when read";
    back.MakePicture();
    EXPECT_EQ(back.GetText(), tip->GetText());
    EXPECT_EQ(back.GetFaceName(), tip->GetFaceName());
    EXPECT_EQ(back.charHeight, tip->charHeight);
    EXPECT_EQ(back.italic, 1);
    EXPECT_EQ(back.hMargin, 10);
    EXPECT_EQ(back.vMargin, 4);
    EXPECT_EQ(back.hAlign, tip->hAlign);
    EXPECT_EQ(back.vAlign, tip->vAlign);
    EXPECT_EQ(back.textOpacity, tip->textOpacity);
    EXPECT_EQ(back.backOpacity, tip->backOpacity);
    EXPECT_EQ(std::vector<uint8_t>(back.textRGB, back.textRGB + 3),
              std::vector<uint8_t>(tip->textRGB, tip->textRGB + 3));
    EXPECT_EQ(std::vector<uint8_t>(back.backRGB, back.backRGB + 3),
              std::vector<uint8_t>(tip->backRGB, tip->backRGB + 3));
    EXPECT_EQ(back.delay, 250.0);
    EXPECT_EQ(back.fadeIn, 100.0);
    EXPECT_EQ(back.fadeOut, 50.0);
    float x = 0, y = 0;
    back.GetPosition(x, y);
    EXPECT_EQ(x, 12.0f);
    EXPECT_EQ(y, 34.0f);
    std::vector<std::string> entries;
    for (CVTN_ToolTipEntry* e = back.GetFirstEntry(); e != nullptr; e = CVTN_ToolTip::GetNextEntry(e)) {
        ASSERT_NE(back.GetEntryNode(*e), nullptr);
        entries.push_back(*back.GetEntryNode(*e)->GetName());
    }
    EXPECT_EQ(entries, (std::vector<std::string>{*sample->object->GetName(), *sample->hotspot->GetName()}));
    EXPECT_EQ(back.GetWidth(), tip->GetWidth());
    EXPECT_EQ(back.GetHeight(), tip->GetHeight());
    ASSERT_EQ(back.GetTexture()->PixelCount(), tip->GetTexture()->PixelCount());
    for (int32_t py = 0; py < static_cast<int32_t>(tip->GetHeight()); ++py)
        for (int32_t px = 0; px < static_cast<int32_t>(tip->GetWidth()); ++px)
            ASSERT_EQ(Pixel(back, px, py), Pixel(*tip, px, py)) << px << "," << py;
    // Saved again, the same bytes.
    std::vector<uint8_t> again;
    ASSERT_TRUE(loaded.project->WriteBytes(again, loaded.gradients.get()));
    EXPECT_EQ(again, bytes);
}

TEST_F(Tooltip, AnEngineTooltipIsKeptByTheWorldAndWrittenWithoutARecord)
{
    EnsureTooltipParts(World());
    auto engineTip = std::make_unique<CVTN_ToolTip>(&World(), "brought");
    ASSERT_TRUE(engineTip->SetTextureSize(16, 8));
    engineTip->GetTexture()->GetPixelBuffer()[3] = 0xFF123456u;
    SWtooltips::Find(World())->GetList().AddTail(engineTip.release());
    std::vector<uint8_t> payload;
    {
        SWbuffer buffer;
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        ASSERT_TRUE(WriteTooltipRecords(World(), out));
        EXPECT_EQ(out.Position(), 0u);
    }
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(app->GetProject()->WriteBytes(bytes, app->GetGradientStore()));
    CVTND_Project::LoadResult loaded = CVTND_Project::LoadBytes(bytes, "engine");
    ASSERT_TRUE(loaded.ok()) << loaded.message;
    size_t named = 0;
    EXPECT_TRUE(DesignerTooltipsNamed(*loaded.world, "brought", named).empty());
    ASSERT_EQ(named, 1u);
    const auto* kept = static_cast<CVTN_ToolTip*>(SWtooltips::Find(*loaded.world)->GetList().Tail());
    EXPECT_EQ(kept->GetTexture()->GetPixels()[3], 0xFF123456u);
}

// The payload of one "PRTT" of a full tooltip.
std::vector<uint8_t> RecordOf(const VTND_ToolTip& tip)
{
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        EXPECT_TRUE(tip.WriteRecord(out));
    }
    return buffer.ToVector();
}

TEST_F(Tooltip, DamagedRecordsChangeNothing)
{
    const std::vector<uint8_t> record = RecordOf(*FullTooltip(*this, "help"));
    const size_t before = SWtooltips::Find(World())->GetList().Count();
    for (size_t cut = 0; cut < record.size(); ++cut) {
        SWchunkstream in{std::span<const uint8_t>(record.data(), cut)};
        ASSERT_EQ(ReadTooltipRecord(World(), in), TooltipRecordRead::kDamaged) << cut;
    }
    EXPECT_EQ(SWtooltips::Find(World())->GetList().Count(), before);
    // A name count and a text length that claim more than the record holds.
    const size_t countAt = 4 + 4 + 3 * 8 + 1 + 8;
    std::vector<uint8_t> counted = record;
    counted[countAt + 3] = 0x40;
    SWchunkstream countIn{std::span<const uint8_t>(counted)};
    EXPECT_EQ(ReadTooltipRecord(World(), countIn), TooltipRecordRead::kDamaged);
    // A position far beyond any view is kept as stored and shown at the edge, never converted out of range.
    std::vector<uint8_t> far = record;
    const float huge = 4.2e21f;
    std::memcpy(far.data() + countAt - 8, &huge, 4);
    SWchunkstream farIn{std::span<const uint8_t>(far)};
    ASSERT_EQ(ReadTooltipRecord(World(), farIn), TooltipRecordRead::kOk);
    auto* farTip = static_cast<CVTN_ToolTip*>(SWtooltips::Find(World())->GetList().Tail());
    farTip->MakePicture();
    float x = 0, y = 0;
    farTip->GetPosition(x, y);
    EXPECT_EQ(x, huge);
    EXPECT_EQ(farTip->GetMainSprite()->GetX(), 1000000);
    SWchunkstream whole{std::span<const uint8_t>(record)};
    EXPECT_EQ(ReadTooltipRecord(World(), whole), TooltipRecordRead::kOk);
    EXPECT_EQ(SWtooltips::Find(World())->GetList().Count(), before + 2);
}

// A record of about a hundred bytes once made a tooltip of 2047 x 2047 at once, and one of line breaks a line each:
// read, a tooltip makes nothing until it is shown, its margins stay within a view and its lines within its side.
TEST_F(Tooltip, AHostileRecordMakesItsPicturesOnlyWhenShownAndWithinAView)
{
    VTND_ToolTip* model = FullTooltip(*this, "hostile");
    model->hMargin = 0x7FFFFFFF;
    model->vMargin = 0x7FFFFFFF;
    model->SetText(std::string(100000, '\n'));
    const std::vector<uint8_t> record = RecordOf(*model);
    for (int i = 0; i < 32; ++i) {
        SWchunkstream in{std::span<const uint8_t>(record)};
        ASSERT_EQ(ReadTooltipRecord(World(), in), TooltipRecordRead::kOk);
        const auto* read = static_cast<VTND_ToolTip*>(SWtooltips::Find(World())->GetList().Tail());
        ASSERT_EQ(read->GetTexture(), nullptr);
        EXPECT_EQ(read->GetColourImage(), nullptr);
    }
    auto* shown = static_cast<VTND_ToolTip*>(SWtooltips::Find(World())->GetList().Tail());
    EXPECT_EQ(shown->hMargin, VTND_ToolTip::kMaxMargin);
    EXPECT_EQ(shown->LayOut().size(), 2047u);
    {
        const SWworldlock lock(World());
        shown->Show(true);
    }
    ASSERT_NE(shown->GetTexture(), nullptr);
    EXPECT_EQ(shown->GetWidth(), 2047u);
    EXPECT_EQ(shown->GetText().size(), 100000u) << "the text is kept whole, to be written back";
}

// A project of 32 tooltips whose margins are near the 32-bit limit is a few kilobytes. Opened, saved by the
// designer's save and by the recovery copy's writer, and opened again, it stays that small: a tooltip the project
// draws from its own record is never drawn only to be written, which made each as large as a view. Published, each
// is drawn to be written and let go again: all 32 kept at once took gigabytes.
TEST_F(Tooltip, HugeMarginsSaveAsSmallAsTheyOpen)
{
    constexpr size_t kCount = 32;
    for (size_t i = 0; i < kCount; ++i) {
        VTND_ToolTip* tip = FullTooltip(*this, "wide" + std::to_string(i));
        tip->hMargin = 0x7FFFFFF0;
        tip->vMargin = 0x7FFFFFF0;
    }
    std::vector<uint8_t> made;
    ASSERT_TRUE(app->GetProject()->WriteBytes(made, app->GetGradientStore()));
    CVTND_Project::LoadResult opened = CVTND_Project::LoadBytes(made, "wide");
    ASSERT_TRUE(opened.ok()) << opened.message;
    const std::string path = ::testing::TempDir() + "huge_margins_" + std::to_string(::getpid()) + ".vtp";
    ASSERT_TRUE(opened.project->SaveFile(path, opened.gradients.get()));
    std::vector<uint8_t> recovery;
    ASSERT_TRUE(opened.project->WriteBytes(recovery, opened.gradients.get()));
    constexpr uint64_t kMostBytes = 2u << 20;
    EXPECT_LT(std::filesystem::file_size(path), kMostBytes);
    EXPECT_LT(recovery.size(), kMostBytes);
    CVTND_Project::LoadResult again = CVTND_Project::LoadFile(path);
    std::filesystem::remove(path);
    ASSERT_TRUE(again.ok()) << again.message;
    size_t named = 0;
    const std::vector<VTND_ToolTip*> read = DesignerTooltipsNamed(*again.world, "wide31", named);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0]->hMargin, VTND_ToolTip::kMaxMargin);
    EXPECT_EQ(read[0]->vMargin, VTND_ToolTip::kMaxMargin);
    EXPECT_EQ(SWtooltips::Find(*again.world)->GetList().Count(), SWtooltips::Find(World())->GetList().Count());

    // Published, each is drawn to be written and let go again; past what a reader takes, nothing is written.
    const long before = PeakKilobytes();
    std::vector<uint8_t> published;
    EXPECT_EQ(WriteWorldFile(*again.world, WorldFileMode::kPublished, published), DocumentStatus::kOverLimit);
    EXPECT_LT(PeakKilobytes() - before, kShadowFactor << 20)
        << "kilobytes more at the most: all drawn at once took twice that";
    SWlist& tips = SWtooltips::Find(*again.world)->GetList();
    for (SWlistnode* n = tips.Head(); n != nullptr; n = n->Next())
        EXPECT_EQ(static_cast<CVTN_ToolTip*>(n)->GetTexture(), nullptr) << static_cast<CVTN_ToolTip*>(n)->GetName();
    // Four of them keep their margins: the file opens, and drawn again from their records they write the same.
    size_t kept = 0;
    for (SWlistnode* n = tips.Head(); n != nullptr; n = n->Next()) {
        if (auto* tip = dynamic_cast<VTND_ToolTip*>(static_cast<CVTN_ToolTip*>(n)); tip != nullptr && kept++ >= 4)
            tip->hMargin = tip->vMargin = 0;
    }
    ASSERT_EQ(WriteWorldFile(*again.world, WorldFileMode::kPublished, published), DocumentStatus::kOk);
    EXPECT_LT(published.size(), kMostBytes);
    std::vector<uint8_t> republished;
    ASSERT_EQ(WriteWorldFile(*again.world, WorldFileMode::kPublished, republished), DocumentStatus::kOk);
    EXPECT_EQ(republished, published);
    const std::string vto = ::testing::TempDir() + "huge_margins_" + std::to_string(::getpid()) + ".vto";
    ASSERT_TRUE(pf::writeFileAtomically(
        vto, std::string_view(reinterpret_cast<const char*>(published.data()), published.size())));
    const WorldLoadResult played = LoadWorldFile(vto, SWreadcontext::IdMode::kKeep);
    std::filesystem::remove(vto);
    ASSERT_EQ(played.status, DocumentStatus::kOk);
    const auto* first = static_cast<CVTN_ToolTip*>(SWtooltips::Find(*played.world)->GetList().Head());
    ASSERT_NE(first->GetTexture(), nullptr);
    EXPECT_EQ(first->GetWidth(), 2047u);
}

// A project whose "PRTT" is cut short opens with the tooltip's engine part and one note.
std::vector<uint8_t> g_cutRecord;
bool WriteCutRecord(CVTND_ProjectWriting&, SWchunkstream& payload)
{
    payload.WriteTag(MakeTag("PRTT"));
    payload.WriteU32(static_cast<uint32_t>(g_cutRecord.size()));
    return payload.WriteBytes(g_cutRecord.data(), g_cutRecord.size());
}

TEST_F(Tooltip, ADamagedRecordOpensTheProjectWithTheEngineTooltip)
{
    const VTND_ToolTip* tip = FullTooltip(*this, "help");
    const std::vector<uint8_t> record = RecordOf(*tip);
    const CVTND_ProjectRecordHandler* real = FindProjectRecordHandler(MakeTag("PRTT"));
    ASSERT_NE(real, nullptr);
    const CVTND_ProjectRecordHandler cutting{&WriteCutRecord, real->read};
    for (const size_t cut : {size_t{3}, record.size() / 2, record.size() - 1}) {
        g_cutRecord.assign(record.begin(), record.begin() + static_cast<std::ptrdiff_t>(cut));
        ReplaceProjectRecordHandler(MakeTag("PRTT"), &cutting);
        std::vector<uint8_t> bytes;
        const bool written = app->GetProject()->WriteBytes(bytes, app->GetGradientStore());
        ReplaceProjectRecordHandler(MakeTag("PRTT"), real);
        ASSERT_TRUE(written);
        CVTND_Project::LoadResult loaded = CVTND_Project::LoadBytes(bytes, "cut");
        ASSERT_TRUE(loaded.ok()) << loaded.message;
        EXPECT_TRUE(loaded.damagedButOpened);
        size_t named = 0;
        EXPECT_TRUE(DesignerTooltipsNamed(*loaded.world, "help", named).empty());
        EXPECT_EQ(named, 1u);
    }
}

} // namespace
} // namespace tooltiptest
