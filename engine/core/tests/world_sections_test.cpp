#include "engine/core/world_sections.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/chunk_stream.h"
#include "engine/core/document_file.h"
#include "engine/core/scene_import.h"
#include "engine/core/tests/world_test_support.h"
#include "engine/core/type_tag.h"
#include "engine/core/world.h"

namespace {

// Puts fake handlers in place for a test and restores what was installed (the real ones, when linked) after it.
class SectionSwap {
public:
    SectionSwap(WorldSection section, const SWworldsectionhandler* handler)
        : m_section(section), m_previous(ReplaceWorldSectionHandler(section, handler))
    {
    }
    ~SectionSwap() { ReplaceWorldSectionHandler(m_section, m_previous); }

private:
    WorldSection m_section;
    const SWworldsectionhandler* m_previous;
};

std::vector<std::string> g_calls; // what the fake readers were handed, in order

bool WriteFixed(SWchunkstream& out, const char* text)
{
    return out.WriteBytes(reinterpret_cast<const uint8_t*>(text), std::char_traits<char>::length(text));
}

std::string Rest(SWchunkstream& in)
{
    std::string text(static_cast<size_t>(in.Remaining()), '\0');
    in.ReadBytes(text.data(), text.size());
    return text;
}

constexpr SWworldsectionhandler kFakeExpressions = {
    .writeStream = [](SWworldwriting&, SWchunkstream& out) { return WriteFixed(out, "expressions"); },
    .readStream =
        [](SWworldreading&, SWchunkstream& in) {
            g_calls.push_back("72EX:" + Rest(in));
            return true;
        },
};
constexpr SWworldsectionhandler kFakeEvents = {
    .writeStream = [](SWworldwriting&, SWchunkstream& out) { return WriteFixed(out, "events\x01\x02"); },
    .readStream =
        [](SWworldreading&, SWchunkstream& in) {
            g_calls.push_back("72ES:" + Rest(in));
            return true;
        },
};
// Two speech records, the first with a child of its own.
constexpr SWworldsectionhandler kFakeSpeech = {
    .write =
        [](SWworldwriting& out, uint32_t parent) {
            const std::optional<uint32_t> first =
                out.AddRecord(MakeTag("QJSH"), parent, [](SWchunkstream& s) { return WriteFixed(s, "first"); });
            return first &&
                   out.AddRecord(MakeTag("QJSC"), *first, [](SWchunkstream& s) { return WriteFixed(s, "c"); }) &&
                   out.AddRecord(MakeTag("QJSH"), parent, nullptr);
        },
    .read =
        [](SWworldreading& in, uint32_t index) {
            SWworldreading::Payload payload;
            if (!in.Open(index, payload))
                return false;
            g_calls.push_back("QJSH:" + Rest(*payload.stream) + ":" + std::to_string(in.Children(index).size()));
            return true;
        },
};

WorldLoadResult Load(std::vector<uint8_t> bytes)
{
    SWdocumentfile file;
    EXPECT_EQ(SWdocumentfile::Parse(std::move(bytes), file), DocumentStatus::kOk);
    SWreadcontext context(SWreadcontext::IdMode::kKeep);
    return ReadWorldFile(file, context);
}

// A file written while the fake handlers were installed.
std::vector<uint8_t> FileWithSections()
{
    SectionSwap expressions(WorldSection::kExpressions, &kFakeExpressions);
    SectionSwap events(WorldSection::kEvents, &kFakeEvents);
    SectionSwap speech(WorldSection::kSpeech, &kFakeSpeech);
    SWworld world;
    return SceneBytes(world);
}

TEST(WorldSections, WithoutHandlersTheSectionsComeBackByteForByte)
{
    const std::vector<uint8_t> written = FileWithSections();
    SectionSwap expressions(WorldSection::kExpressions, nullptr);
    SectionSwap events(WorldSection::kEvents, nullptr);
    SectionSwap speech(WorldSection::kSpeech, nullptr);
    WorldLoadResult loaded = Load(written);
    ASSERT_EQ(loaded.status, DocumentStatus::kOk);
    EXPECT_TRUE(loaded.skipped.empty());
    SWkeptsections* kept = SWkeptsections::Find(*loaded.world);
    ASSERT_NE(kept, nullptr);
    ASSERT_TRUE(kept->Payload(WorldSection::kEvents).has_value());
    EXPECT_EQ(kept->Payload(WorldSection::kEvents)->size(), 8u);
    EXPECT_EQ(kept->Records(WorldSection::kSpeech).size(), 3u);
    EXPECT_EQ(SceneBytes(*loaded.world), written);
}

TEST(WorldSections, HandlersAreHandedTheirSectionsInTheFilesOrder)
{
    const std::vector<uint8_t> written = FileWithSections();
    SectionSwap expressions(WorldSection::kExpressions, &kFakeExpressions);
    SectionSwap events(WorldSection::kEvents, &kFakeEvents);
    SectionSwap speech(WorldSection::kSpeech, &kFakeSpeech);
    g_calls.clear();
    WorldLoadResult loaded = Load(written);
    ASSERT_EQ(loaded.status, DocumentStatus::kOk);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"QJSH:first:1", "QJSH::0", "72EX:expressions",
                                                 std::string("72ES:events\x01\x02", 13)}));
    EXPECT_EQ(SWkeptsections::Find(*loaded.world), nullptr); // nothing kept when every section was handled
    EXPECT_EQ(SceneBytes(*loaded.world), written);
}

TEST(WorldSections, ASectionThatFailsToReadIsSkippedWithItsDescendants)
{
    static constexpr SWworldsectionhandler kRefusingSpeech = {
        .write = kFakeSpeech.write,
        .read = [](SWworldreading&, uint32_t) { return false; },
    };
    const std::vector<uint8_t> written = FileWithSections();
    SectionSwap speech(WorldSection::kSpeech, &kRefusingSpeech);
    WorldLoadResult loaded = Load(written);
    ASSERT_EQ(loaded.status, DocumentStatus::kOk);
    std::vector<uint32_t> tags;
    for (const SkippedRecord& skipped : loaded.skipped)
        tags.push_back(skipped.tag);
    EXPECT_EQ(tags, (std::vector<uint32_t>{MakeTag("QJSH"), MakeTag("QJSC"), MakeTag("QJSH")}));
}

TEST(WorldSections, TheFirstRegistrationOfASectionWins)
{
    SectionSwap cleared(WorldSection::kTooltips, nullptr);
    const SWworldsectionregistration first(WorldSection::kTooltips, &kFakeEvents);
    const SWworldsectionregistration second(WorldSection::kTooltips, &kFakeExpressions);
    EXPECT_TRUE(first.registered);
    EXPECT_FALSE(second.registered);
    EXPECT_EQ(FindWorldSectionHandler(WorldSection::kTooltips), &kFakeEvents);
    EXPECT_EQ(FindWorldSection(MakeTag("5PTS"), MakeTag("72ES")), WorldSection::kEvents);
    EXPECT_EQ(FindWorldSection(MakeTag("ROOT"), MakeTag("72ES")), std::nullopt);
    EXPECT_EQ(FindWorldSection(MakeTag("WRLD"), MakeTag("SNLS")), WorldSection::kSounds);
}

TEST(WorldSections, ALoadMakesTheWorldItsCallerAsksFor)
{
    class DerivedWorld : public SWworld {};
    SWworld world;
    AddObject(world, "box");
    SWdocumentfile file;
    ASSERT_EQ(SWdocumentfile::Parse(SceneBytes(world), file), DocumentStatus::kOk);
    SWreadcontext context(SWreadcontext::IdMode::kKeep);
    const WorldLoadResult loaded = ReadWorldFile(file, context, [] { return std::make_unique<DerivedWorld>(); });
    ASSERT_EQ(loaded.status, DocumentStatus::kOk);
    EXPECT_NE(dynamic_cast<DerivedWorld*>(loaded.world.get()), nullptr);
    EXPECT_NE(loaded.world->GetRootNode()->FindByName("box"), nullptr);
    SWreadcontext plain(SWreadcontext::IdMode::kKeep);
    EXPECT_EQ(dynamic_cast<DerivedWorld*>(ReadWorldFile(file, plain).world.get()), nullptr);
}

// Sections above the core merge their content and take it out again through their hooks.
TEST(WorldSections, MergeAndRemoveReachTheSectionsHooksAsTheFlagsSay)
{
    static std::vector<std::string> calls;
    static constexpr SWworldsectionhandler kMergingTooltips = {
        .merge =
            [](SWworld&, SWworld&, uint32_t, MergeRecord& record) {
                calls.push_back("merge tooltips");
                record.entries.push_back({MergedKind::kTooltip, 0, "tip", "tip"});
            },
        .removeMerged =
            [](SWworld&, const MergeEntry& entry) {
                calls.push_back("remove " + entry.name);
                return entry.kind == MergedKind::kTooltip;
            },
    };
    static constexpr SWworldsectionhandler kMergingExpressions = {
        .merge =
            [](SWworld&, SWworld&, uint32_t, MergeRecord& record) {
                calls.push_back("merge expressions");
                record.entries.push_back({MergedKind::kExpression, 0, "sum", "sum"});
            },
        .removeMerged =
            [](SWworld&, const MergeEntry& entry) {
                calls.push_back("remove " + entry.name);
                return entry.kind == MergedKind::kExpression;
            },
    };
    SectionSwap tooltips(WorldSection::kTooltips, &kMergingTooltips);
    SectionSwap expressions(WorldSection::kExpressions, &kMergingExpressions);
    SWworld target;
    SWworld import;
    MergeOptions options;
    options.kinds = kMergeAll & ~kMergeExpressions;
    EXPECT_EQ(MergeWorld(target, import, options, "a.vtn").entries.size(), 1u);
    EXPECT_EQ(calls, (std::vector<std::string>{"merge tooltips"}));
    calls.clear();
    const MergeRecord record = MergeWorld(target, import, {}, "b.vtn");
    EXPECT_EQ(calls, (std::vector<std::string>{"merge tooltips", "merge expressions"}));
    calls.clear();
    EXPECT_EQ(RemoveMerged(target, record), 2u);
    // Last merged first; each entry is offered in section order until a hook takes it.
    EXPECT_EQ(calls, (std::vector<std::string>{"remove sum", "remove sum", "remove tip"}));
    options.entries = false;
    calls.clear();
    EXPECT_TRUE(MergeWorld(target, import, options, "c.vtn").entries.empty());
    EXPECT_TRUE(calls.empty());
}

} // namespace
