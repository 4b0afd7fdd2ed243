// The event map's layout block: a round trip of every content kind with a picture, skipped and late entries, and
// damaged blocks that end in bounded time with what was read before the damage kept; the project file's record.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <tuple>
#include <vector>

#include "designer/app/extended_world.h"
#include "designer/app/project.h"
#include "designer/eventedit/map_layout.h"
#include "designer/eventedit/tests/eventedit_fixture.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/cursor_list.h"
#include "engine/core/node.h"
#include "engine/core/world.h"
#include "platform/gfx/dib.h"
#include "platform/ui/providers/providers.h"

namespace eventedittest {
namespace {

struct Placed {
    uint16_t kind;
    void* content;
    int32_t x, y;
};

class MapLayout : public EventEditFixture {
protected:
    std::vector<uint8_t> Write()
    {
        SWbuffer buffer;
        {
            SWchunkstream out(buffer, SWchunkstream::kWrite);
            EXPECT_TRUE(engine->WriteLayout(out));
        }
        return buffer.ToVector();
    }
    bool Read(const std::vector<uint8_t>& bytes)
    {
        SWchunkstream in{std::span<const uint8_t>(bytes)};
        return engine->ReadLayout(in);
    }
    std::vector<Placed> Snapshot() const
    {
        std::vector<Placed> out;
        for (MapObject* o = engine->FirstMapObject(); o != nullptr; o = engine->NextMapObject(o))
            out.push_back({o->GetKindWord(), o->GetContent(), o->x, o->y});
        return out;
    }
    // Every content kind on the map, placed apart; the event brings its actions unplaced, then they get places.
    void FillMap()
    {
        int32_t x = 10;
        const auto put = [&](MapObject* o) {
            ASSERT_NE(o, nullptr);
            o->x = x;
            o->y = x / 2;
            x += 40;
        };
        put(engine->AddEvent(sample->motionDone));
        for (MapObject* o = engine->FirstMapObject(); o != nullptr; o = engine->NextMapObject(o)) {
            if (!o->IsPlaced())
                put(o);
        }
        put(engine->AddSound(sample->otherSound));
        put(engine->AddExpression(sample->expression));
        put(engine->AddKind1000(sample->cursor));
        put(engine->AddWorld(sample->loadedWorld));
        put(engine->AddKind4000(sample->material));
        pictured = engine->AddNode(sample->screenNode);
        put(pictured);
        pictured->pixels.resize(32 * 32 * 3);
        for (size_t i = 0; i < pictured->pixels.size(); ++i)
            pictured->pixels[i] = static_cast<uint8_t>(i * 7);
    }
    MapObject* pictured = nullptr;
};

TEST_F(MapLayout, RoundTripKeepsPositionsKindsAndPicture)
{
    FillMap();
    const std::vector<Placed> before = Snapshot();
    const std::vector<uint8_t> block = Write();
    engine->Clear();
    ASSERT_TRUE(Read(block));
    const std::vector<Placed> after = Snapshot();
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
        SCOPED_TRACE(i);
        MapObject* o = engine->FindContentObject(before[i].content);
        ASSERT_NE(o, nullptr);
        EXPECT_EQ(o->GetKindWord(), before[i].kind);
        EXPECT_EQ(o->x, before[i].x);
        EXPECT_EQ(o->y, before[i].y);
    }
    MapObject* screen = engine->FindNodeObject(sample->screenNode);
    ASSERT_NE(screen->bitmap, nullptr);
    EXPECT_EQ(screen->width, 32);
    for (const auto& [c, r] : {std::pair{0, 0}, std::pair{31, 0}, std::pair{5, 31}, std::pair{17, 9}}) {
        const size_t at = static_cast<size_t>((31 - r) * 96 + 3 * c);
        const uint32_t expected =
            (uint32_t{screen->pixels[at + 2]} << 16) | (uint32_t{screen->pixels[at + 1]} << 8) | screen->pixels[at];
        EXPECT_EQ(screen->bitmap->surface().pixel(c, r) & 0xFFFFFF, expected) << c << "," << r;
    }
    EXPECT_EQ(engine->FindSoundObject(sample->otherSound)->bitmap, nullptr); // no picture: 0xFFFFFFFF
}

TEST_F(MapLayout, IdentifiersCountFromOneAndFoldOwnersUseThem)
{
    FillMap();
    MapObject* event = engine->FindEventObject(sample->motionDone);
    engine->FindSoundObject(sample->otherSound)->SetFoldOwner(event);
    const std::vector<uint8_t> block = Write();
    SWchunkstream in{std::span<const uint8_t>(block)};
    const uint32_t count = in.ReadU32();
    std::vector<uint32_t> ids, owners;
    for (uint32_t i = 0; i < count; ++i) {
        ids.push_back(in.ReadU32());
        owners.push_back(in.ReadU32());
        in.Skip(1 + 4 + 4);
        const uint16_t kind = in.ReadU16() & EdKind::kContentMask;
        if (kind == EdKind::kSound || kind == EdKind::kLoadedWorld || kind == EdKind::kMaterial)
            in.ReadString();
        else
            in.ReadU32();
        const uint32_t width = in.ReadU32();
        if (width != 0xFFFFFFFF) {
            const uint32_t height = in.ReadU32();
            in.Skip(uint64_t{width} * height * 3);
        }
    }
    for (uint32_t i = 0; i < count; ++i)
        EXPECT_EQ(ids[i], i + 1);
    EXPECT_NE(std::find(owners.begin(), owners.end(), 1u), owners.end()); // the event is the first entry
}

TEST_F(MapLayout, DeletedContentIsSkippedAndLaterEntriesRead)
{
    FillMap();
    const int32_t materialX = engine->FindKind4000Object(sample->material)->x;
    const std::vector<uint8_t> block = Write();
    engine->Clear();
    sample->world.GetCursorList().Remove(sample->cursor); // gone before the project was read again
    ASSERT_TRUE(Read(block));
    EXPECT_EQ(engine->FindKind1000Object(sample->cursor), nullptr);
    ASSERT_NE(engine->FindKind4000Object(sample->material), nullptr);
    EXPECT_EQ(engine->FindKind4000Object(sample->material)->x, materialX);
}

TEST_F(MapLayout, DamagedBlocksEndBoundedWithoutForeignSizes)
{
    FillMap();
    const std::vector<uint8_t> block = Write();
    const auto started = std::chrono::steady_clock::now();
    for (size_t cut = 0; cut < block.size(); ++cut) {
        SCOPED_TRACE(cut);
        engine->Clear();
        EXPECT_FALSE(Read(std::vector<uint8_t>(block.begin(), block.begin() + static_cast<ptrdiff_t>(cut))));
        for (MapObject* o = engine->FirstMapObject(); o != nullptr; o = engine->NextMapObject(o))
            EXPECT_TRUE(o->width == 32 || o->width == 16) << o->width;
    }
    // count 0xFFFFFFFF over a short block
    std::vector<uint8_t> huge = block;
    huge[0] = huge[1] = huge[2] = huge[3] = 0xFF;
    engine->Clear();
    EXPECT_FALSE(Read(huge));
    EXPECT_EQ(engine->FirstMapObject(), nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60));
}

// A picture of one node entry: sizes other than 32 x 32 are read past and never become the object's size.
TEST_F(MapLayout, PicturesOfOtherSizesAreSkipped)
{
    const auto entry = [&](uint32_t width, uint32_t height, size_t bytes) {
        SWbuffer buffer;
        {
            SWchunkstream out(buffer, SWchunkstream::kWrite);
            out.WriteU32(2);
            for (SWnode* node : {sample->object, sample->mesh}) {
                out.WriteU32(1);
                out.WriteU32(0);
                out.WriteU8(0);
                out.WriteU32(100);
                out.WriteU32(200);
                out.WriteU16(EdKind::kMapObject | EdKind::kNode);
                out.WriteU32(node->GetId());
                out.WriteU32(width);
                if (width != 0xFFFFFFFF) {
                    out.WriteU32(height);
                    out.WriteBytes(std::vector<uint8_t>(bytes, 0x55));
                }
                width = 0xFFFFFFFF; // the second entry has none
            }
        }
        return buffer.ToVector();
    };
    const struct {
        uint32_t width, height;
        size_t bytes;
        bool ok;
    } cases[] = {{1, 1, 3, true},
                 {0, 0, 0, true},
                 {0xFFFFFFFF, 0, 0, true},
                 {40000, 40000, 16, false},
                 {0xFFFFFFFE, 0xFFFFFFFF, 8, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        engine->Clear();
        EXPECT_EQ(Read(entry(c.width, c.height, c.bytes)), c.ok);
        MapObject* o = engine->FindNodeObject(sample->object);
        ASSERT_EQ(o != nullptr, c.ok); // a picture past the record's end damages its own entry
        if (o != nullptr) {
            EXPECT_EQ(o->bitmap, nullptr);
            EXPECT_NE(o->width, static_cast<int32_t>(c.width));
            EXPECT_EQ(o->x, 100);
        }
        EXPECT_EQ(engine->FindNodeObject(sample->mesh) != nullptr, c.ok);
    }
}

// Saved, closed and opened again as the designer does: the new world's map has the same places, picture and
// scroll origin. A block cut short inside the file still opens, told once.
TEST_F(MapLayout, ProjectFileKeepsTheLayoutAndReportsDamageOnce)
{
    FillMap();
    canvas->ScrollTo({40, 25});
    const std::vector<uint8_t> picture = pictured->pixels;
    const auto places = [this] {
        std::vector<std::tuple<uint16_t, int32_t, int32_t>> out;
        for (MapObject* o = engine->FirstMapObject(); o != nullptr; o = engine->NextMapObject(o))
            if (o->IsPlaced()) // the other events of the world come unplaced, for the canvas to place
                out.emplace_back(o->GetKindWord(), o->x, o->y);
        std::sort(out.begin(), out.end());
        return out;
    };
    const auto before = places();
    const std::filesystem::path folder = std::filesystem::path(ownFolder());
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "layout.vtp").string();
    ASSERT_TRUE(app->GetProject()->SaveFile(path, app->GetGradientStore()));

    std::vector<uint8_t> block = Write();
    block.resize(block.size() / 2);
    app->GetProject()->GetKeptRecords().push_back({MakeTag("PLAY"), block});
    const std::string damaged = (folder / "damaged.vtp").string();
    ASSERT_TRUE(app->GetProject()->SaveFile(damaged, app->GetGradientStore()));
    app->GetProject()->GetKeptRecords().clear();
    CVTND_Project::LoadResult cut = CVTND_Project::LoadFile(damaged);
    ASSERT_TRUE(cut.ok()) << cut.message;
    EXPECT_TRUE(cut.damagedButOpened) << cut.message;

    CVTND_Project::LoadResult loaded = CVTND_Project::LoadFile(path);
    ASSERT_TRUE(loaded.ok()) << loaded.message;
    EXPECT_FALSE(loaded.damagedButOpened);
    engine->Clear();
    canvas->ScrollTo({0, 0});
    sample.reset(); // its pointers are into the world that goes now
    app->SetWorkspace(std::move(loaded.world), std::move(loaded.project), std::move(loaded.gradients));
    ApplyProjectLayout(*app);
    EXPECT_EQ(places(), before);
    EXPECT_EQ(canvas->GetScrollOrigin(), (pf::Point{40, 25}));
    const SWnode* screen = app->GetWorld()->GetRootNode()->FindByName(kScreenNodeName);
    const MapObject* reopened = engine->FindNodeObject(const_cast<SWnode*>(screen));
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(reopened->pixels, picture);
    std::filesystem::remove_all(folder);
}

TEST_F(MapLayout, KeptLayoutIsAppliedOnceWithTheScrollOrigin)
{
    FillMap();
    const std::vector<Placed> before = Snapshot();
    std::vector<uint8_t> record = Write();
    for (const int32_t v : {40, 25})
        for (int shift = 0; shift < 32; shift += 8)
            record.push_back(static_cast<uint8_t>(v >> shift));
    engine->Clear();
    app->GetProject()->GetKeptRecords().push_back({MakeTag("PLAY"), record});
    ApplyProjectLayout(*app);
    EXPECT_EQ(canvas->GetScrollOrigin(), (pf::Point{40, 25}));
    for (const Placed& p : before)
        EXPECT_EQ(engine->FindContentObject(p.content)->x, p.x);
    for (SWevent* e = sample->world.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e))
        EXPECT_NE(engine->FindEventObject(e), nullptr); // every event of the world is on the map
    EXPECT_TRUE(app->GetProject()->GetKeptRecords().empty());
}

} // namespace
} // namespace eventedittest
