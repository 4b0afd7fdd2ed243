#include <gtest/gtest.h>

#include <set>

#include "engine/core/document_file.h"
#include "engine/core/scene_import.h"
#include "engine/core/world_file.h"
#include "engine/resources/sound_schemes/tests/sound_scheme_test_support.h"

namespace {

using namespace soundschemetest;

struct Source {
    const char* id;
    uint16_t channels;
    uint32_t rate;
};

const Source kSources[] = {
    {"7499", 1, 22050}, {"7498", 2, 44100}, {"7496", 2, 22050}, {"7495", 1, 22050}, {"7494", 2, 11025},
    {"7493", 1, 11025}, {"7492", 1, 8000},  {"7491", 1, 8000},  {"7490", 1, 8000},
};

WorldLoadResult SaveAndLoad(SWworld& world, WorldFileMode mode)
{
    std::vector<uint8_t> bytes;
    EXPECT_EQ(WriteWorldFile(world, mode, bytes), DocumentStatus::kOk);
    SWdocumentfile file;
    EXPECT_EQ(SWdocumentfile::Parse(std::move(bytes), file), DocumentStatus::kOk);
    SWreadcontext context(SWreadcontext::IdMode::kKeep);
    return ReadWorldFile(file, context);
}

// A world with one sound per row, published and opened again: every sound plays a restored file of its row's
// layout, listed once and queued once, and the files go when the opened world does.
TEST(SoundSchemesWorldFile, PublishedWorldRestoresEverySound)
{
    const PrivateTempDir temp;
    const RecordingReports reports;
    SWworld world;
    for (const Source& source : kSources) {
        const std::string path = temp.File(std::string(source.id) + ".wav");
        WriteFile(path, WaveBytes(source.channels, source.rate, 16,
                                  Tone(source.channels, static_cast<int>(source.rate), source.rate / 5)));
        AddSound(world, source.id, path, source.id);
    }
    {
        const WorldLoadResult loaded = SaveAndLoad(world, WorldFileMode::kPublished);
        ASSERT_EQ(loaded.status, DocumentStatus::kOk);
        SWworld& opened = *loaded.world;
        ASSERT_EQ(opened.GetSoundList().Count(), std::size(kSources));
        std::set<SWsound*> queued;
        for (SWsound* sound : opened.TakeSoundQueues().load)
            EXPECT_TRUE(queued.insert(sound).second) << "queued twice";
        std::set<std::string> restored;
        for (const Source& source : kSources) {
            SCOPED_TRACE(source.id);
            SWsound* const sound = opened.GetSoundList().FindByName(source.id);
            ASSERT_NE(sound, nullptr);
            EXPECT_EQ(sound->GetType(), SWsound::kTypeWave);
            EXPECT_EQ(sound->GetScheme(), Row(source.id));
            EXPECT_EQ(sound->GetStoredFileName(), temp.File(std::string(source.id) + ".wav"));
            EXPECT_EQ(queued.count(sound), 1u);
            restored.insert(sound->GetFileName());
            const DecodedWave wave = ReadWave(sound->GetFileName());
            ASSERT_TRUE(wave.opened);
            EXPECT_EQ(wave.format.channels, source.channels);
            EXPECT_EQ(wave.format.rate, source.rate);
            EXPECT_GE(wave.samples.size(), size_t{source.channels} * (source.rate / 5));
        }
        const std::vector<std::string> owned = temp.OwnTemporaries();
        EXPECT_EQ(std::set<std::string>(owned.begin(), owned.end()), restored);
        const std::vector<std::string>& listed = opened.GetFileReferences().Paths();
        EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), restored);
        EXPECT_EQ(listed.size(), std::size(kSources));
    }
    EXPECT_TRUE(temp.OwnTemporaries().empty());
    EXPECT_TRUE(reports.reports.empty());
}

// Sounds merged from an opened world keep playing their restored files once that world is gone, and the files go
// with the world they were merged into.
TEST(SoundSchemesWorldFile, MergedSoundsKeepTheirRestoredFiles)
{
    const PrivateTempDir temp;
    const RecordingReports reports;
    SWworld published;
    const std::string path = temp.File("tone.wav");
    WriteFile(path, WaveBytes(1, 8000, 16, Tone(1, 8000, 1600)));
    AddSound(published, "tone", path, "7492");
    {
        SWworld target;
        {
            WorldLoadResult loaded = SaveAndLoad(published, WorldFileMode::kPublished);
            ASSERT_EQ(loaded.status, DocumentStatus::kOk);
            MergeWorld(target, *loaded.world, MergeOptions{}, "published.vto");
        }
        SWsound* const sound = target.GetSoundList().FindByName("tone");
        ASSERT_NE(sound, nullptr);
        EXPECT_TRUE(ReadWave(sound->GetFileName()).opened) << "the file outlives the world it was restored in";
        EXPECT_EQ(target.GetFileReferences().Paths().size(), 1u);
        EXPECT_EQ(temp.OwnTemporaries().size(), 1u);
    }
    EXPECT_TRUE(temp.OwnTemporaries().empty());
}

// A scene file stores every sound raw, whatever its chosen row: the files come back byte for byte.
TEST(SoundSchemesWorldFile, SceneFileKeepsTheFilesAsTheyAre)
{
    const PrivateTempDir temp;
    SWworld world;
    const std::string path = temp.File("a.wav");
    WriteFile(path, WaveBytes(1, 8000, 8, Tone(1, 8000, 3000)));
    AddSound(world, "a", path, "7490")->SetSc36Variant(1);
    const WorldLoadResult loaded = SaveAndLoad(world, WorldFileMode::kScene);
    ASSERT_EQ(loaded.status, DocumentStatus::kOk);
    SWsound* const sound = loaded.world->GetSoundList().FindByName("a");
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(ReadFile(sound->GetFileName()), ReadFile(path));
    EXPECT_EQ(sound->GetScheme(), Row("7490"));
    EXPECT_EQ(sound->GetSc36Variant(), 1);
}

} // namespace
