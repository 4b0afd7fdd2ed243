#include <gtest/gtest.h>

#include <thread>

#include "engine/core/record_builder.h"
#include "engine/resources/file_references.h"
#include "engine/resources/sound_schemes/raw_sound_handler.h"
#include "engine/resources/sound_schemes/tests/sound_scheme_test_support.h"
#include "engine/resources/sound_schemes/tonalwave_sound_handler.h"
#include "platform/media/temp_file.h"
#include "testsupport/sound/sound_metrics.h"

namespace {

using namespace soundschemetest;

struct Scheme {
    const char* id;
    uint16_t channels;
    uint32_t rate;
    uint32_t delayFrames; // the decoded sound starts this late
};

const Scheme kSchemes[] = {
    {"7499", 1, 22050, 0},    {"7498", 2, 44100, 0},    {"7496", 2, 22050, 2048},
    {"7495", 1, 22050, 2048}, {"7494", 2, 11025, 1024}, {"7493", 1, 11025, 1024},
    {"7492", 1, 8000, 1024},  {"7491", 1, 8000, 0},     {"7490", 1, 8000, 0},
};

// A sound of a fresh world, as the world reader makes one before the scheme record: type known, no file yet.
struct LoadingWorld {
    std::unique_ptr<SWworld> world = std::make_unique<SWworld>();
    SWsound* sound = AddSound(*world, "", "", "7499");
    explicit LoadingWorld(uint8_t type = SWsound::kTypeWave) { sound->SetType(type); }
};

std::vector<uint8_t> StoreFile(const std::string& path, std::string_view id, uint32_t quality = 100)
{
    SWworld world;
    SWsound* const sound = AddSound(world, "tone", path, id);
    sound->SetQualityPercent(quality);
    return StoreSound(*sound);
}

// What the row itself writes, as a tool or the publishing writer's fallback calls it, past the dispatcher's checks.
std::vector<uint8_t> WriteWithRow(const std::string& path, std::string_view id)
{
    SWworld world;
    SWsound* const sound = AddSound(world, "tone", path, id);
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        EXPECT_TRUE(Row(id)->Write(out, sound, 0));
    }
    return buffer.ToVector();
}

std::vector<uint8_t> RecordOf(std::string_view id, const std::vector<uint8_t>& payload)
{
    std::vector<uint8_t> record;
    record.insert(record.end(), id.begin(), id.end());
    PutU32(record, static_cast<uint32_t>(payload.size()));
    record.insert(record.end(), payload.begin(), payload.end());
    return record;
}

TEST(SoundSchemeRows, NineOfferedRowsWithRawTheDefault)
{
    const auto rows = SWcompressionschemes::Table().OfferedRows(SchemeKind::kSound);
    std::vector<uint32_t> ids;
    for (const SWcompressionscheme* row : rows)
        ids.push_back(row->GetId());
    std::vector<uint32_t> expected;
    for (const Scheme& scheme : kSchemes)
        expected.push_back(IdTag(scheme.id));
    EXPECT_EQ(ids, expected);
    EXPECT_EQ(SWcompressionschemes::Table().DefaultOf(SchemeKind::kSound), Row("7499"));
    EXPECT_EQ(Row("7497"), nullptr);
}

TEST(SoundHandlersRoundTrip, EveryRowRestoresItsSoundIntoAWorld)
{
    const PrivateTempDir temp;
    const RecordingReports reports;
    for (const Scheme& scheme : kSchemes)
        for (const uint16_t bits : {16, 8}) {
            SCOPED_TRACE(testing::Message() << scheme.id << ", " << bits << " bits");
            const std::vector<int16_t> input = Tone(scheme.channels, static_cast<int>(scheme.rate), scheme.rate / 4);
            const std::string source = temp.File("source.wav");
            WriteFile(source, WaveBytes(scheme.channels, scheme.rate, bits, input));
            const std::vector<uint8_t> record = StoreFile(source, scheme.id);
            EXPECT_EQ(TagOf(record), IdTag(scheme.id));

            LoadingWorld loading;
            ASSERT_TRUE(LoadSound(record, *loading.sound));
            const std::string path = loading.sound->GetFileName();
            EXPECT_EQ(temp.OwnTemporaries(), std::vector<std::string>{path});
            EXPECT_EQ(loading.sound->GetName(), "tone");
            EXPECT_EQ(loading.sound->GetType(), SWsound::kTypeWave);
            EXPECT_EQ(loading.sound->GetFileSize(), std::filesystem::file_size(path));
            EXPECT_EQ(loading.world->GetFileReferences().Paths(), std::vector<std::string>{path});
            EXPECT_EQ(loading.world->TakeSoundQueues().load, std::vector<SWsound*>{loading.sound});
            if (std::string(scheme.id) == "7499") {
                EXPECT_EQ(ReadFile(path), ReadFile(source));
                continue;
            }
            const DecodedWave wave = ReadWave(path);
            ASSERT_TRUE(wave.opened);
            EXPECT_EQ(wave.format.bits, 16);
            EXPECT_EQ(wave.format.channels, scheme.channels);
            EXPECT_EQ(wave.format.rate, scheme.rate);
            EXPECT_GE(wave.samples.size() / scheme.channels, input.size() / scheme.channels + scheme.delayFrames);
        }
    EXPECT_TRUE(reports.reports.empty());
}

// The codecs' own floors on the committed fixtures hold through the handlers, which store what a world stores.
TEST(SoundHandlersRoundTrip, FixturesKeepTheCodecsQualityFloors)
{
    const PrivateTempDir temp;
    const struct {
        const char* id;
        const char* fixture;
        double segmentalSnrDb;
    } floors[] = {
        {"7492", "speech_8000_mono.wav", 3.5},   {"7493", "speech_11025_mono.wav", 4.1},
        {"7494", "music_11025_stereo.wav", 6.3}, {"7495", "speech_22050_mono.wav", 5.9},
        {"7496", "music_22050_stereo.wav", 9.0},
    };
    for (const auto& floor : floors) {
        SCOPED_TRACE(floor.id);
        const DecodedWave reference = ReadWave(Fixture(floor.fixture));
        ASSERT_TRUE(reference.opened) << "set VORTAN_SOURCE_DIR";
        LoadingWorld loading;
        ASSERT_TRUE(LoadSound(StoreFile(Fixture(floor.fixture), floor.id), *loading.sound));
        const DecodedWave decoded = ReadWave(loading.sound->GetFileName());
        const soundtest::SoundComparison c =
            soundtest::CompareSounds(reference.samples, decoded.samples, reference.format.channels,
                                     static_cast<int>(reference.format.rate), 4096);
        ASSERT_TRUE(c.error.empty()) << c.error;
        EXPECT_GE(c.segmentalSnrDb, floor.segmentalSnrDb);
    }
}

TEST(SoundHandlersTemporaryFiles, GoWithTheWorldThatLoadedThemAndOnlyThose)
{
    const PrivateTempDir temp;
    const std::string source = temp.File("source.wav");
    WriteFile(source, WaveBytes(1, 8000, 16, Tone(1, 8000, 2000)));
    {
        LoadingWorld loading;
        for (const char* id : {"7499", "7498", "7492", "7491", "7490"}) {
            SWsound* const sound = AddSound(*loading.world, id, "", "7499");
            ASSERT_TRUE(LoadSound(StoreFile(source, id), *sound));
        }
        // A raw payload cut short: false, and what arrived stays listed with the world.
        std::vector<uint8_t> payload;
        PutU32(payload, 0);
        PutU32(payload, 0);
        PutU32(payload, 100);
        payload.resize(payload.size() + 50, 0xAB);
        EXPECT_FALSE(LoadSound(RecordOf("7499", payload), *loading.sound));
        EXPECT_EQ(std::filesystem::file_size(loading.sound->GetFileName()), 50u);
        EXPECT_TRUE(loading.world->TakeSoundQueues().load.size() == 5);
        EXPECT_EQ(temp.OwnTemporaries().size(), 6u);
        EXPECT_EQ(loading.world->GetFileReferences().Paths().size(), 6u);
    }
    EXPECT_TRUE(temp.OwnTemporaries().empty());
    EXPECT_TRUE(std::filesystem::exists(source));

    const std::vector<uint8_t> record = StoreFile(source, "7492");
    SWsound orphan("orphan");
    orphan.SetFileName(source);
    EXPECT_FALSE(LoadSound(record, orphan)) << "no world would delete its file";
    EXPECT_EQ(orphan.GetFileName(), source);

    LoadingWorld loading;
    loading.sound->SetFileName(source);
    ::setenv("TMPDIR", temp.File("missing").c_str(), 1); // no temporary file can be made
    EXPECT_FALSE(LoadSound(record, *loading.sound));
    ::setenv("TMPDIR", temp.path.c_str(), 1);
    EXPECT_EQ(loading.sound->GetFileName(), source);
    EXPECT_TRUE(loading.world->TakeSoundQueues().load.empty());
    EXPECT_TRUE(loading.world->GetFileReferences().Paths().empty());
    EXPECT_TRUE(temp.OwnTemporaries().empty());
}

// Whatever cannot be coded its own way is stored as it is, reported, and comes back byte for byte.
TEST(SoundHandlersFallback, UncodableFilesAreStoredRawAndReported)
{
    const PrivateTempDir temp;
    const std::vector<int16_t> tone = Tone(1, 22050, 3000);
    const struct {
        const char* what;
        const char* file;
        std::vector<uint8_t> bytes;
        const char* id;
        uint8_t type;
    } cases[] = {
        {"not RIFF", "a.wav", {'h', 'e', 'l', 'l', 'o'}, "7495", SWsound::kTypeWave},
        {"24-bit", "b.wav", WaveBytes(1, 22050, 24, tone), "7495", SWsound::kTypeWave},
        {"float", "c.wav", WaveBytes(1, 22050, 32, tone, 3), "7492", SWsound::kTypeWave},
        {"44.1 kHz stereo", "d.wav", WaveBytes(2, 44100, 16, Tone(2, 44100, 3000)), "7495", SWsound::kTypeWave},
        {"MIDI", "e.mid", {'M', 'T', 'h', 'd', 0, 0, 0, 6}, "7491", SWsound::kTypeMidi},
        {"24-bit through the own codec", "f.wav", WaveBytes(1, 8000, 24, tone), "7498", SWsound::kTypeWave},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = temp.File(c.file);
        WriteFile(path, c.bytes);
        RecordingReports reports;
        const std::vector<uint8_t> record = WriteWithRow(path, c.id);
        EXPECT_EQ(TagOf(record), MakeTag("7499"));
        ASSERT_EQ(reports.reports.size(), 1u);
        EXPECT_EQ(reports.reports[0].text.rfind("tone: ", 0), 0u) << reports.reports[0].text;
        LoadingWorld loading(c.type);
        ASSERT_TRUE(LoadSound(record, *loading.sound));
        EXPECT_EQ(ReadFile(loading.sound->GetFileName()), c.bytes);
        EXPECT_EQ(loading.sound->GetType(), c.type);
    }

    RecordingReports reports;
    const std::vector<uint8_t> missing = WriteWithRow(temp.File("missing.wav"), "7492");
    ASSERT_GE(missing.size(), 12u);
    EXPECT_EQ(TagOf(missing), MakeTag("7499"));
    EXPECT_EQ(pf::loadU32le(&missing[missing.size() - 4]), 0u) << "an empty raw record";
    EXPECT_FALSE(reports.reports.empty());
}

TEST(SoundHandlersFallback, FilesPastARecordsLengthAreLeftOut)
{
    EXPECT_TRUE(RawSoundRecordFits(0xFFFFFFFFull - 12 - 5 - 9, 5, 9));
    EXPECT_FALSE(RawSoundRecordFits(0xFFFFFFFFull - 12 - 5 - 9 + 1, 5, 9));
    EXPECT_FALSE(RawSoundRecordFits(0, 0xFFFFFFFFull, 0));

    const PrivateTempDir temp;
    const std::string path = temp.File("huge.wav");
    WriteFile(path, std::vector<uint8_t>{});
    std::filesystem::resize_file(path, 0x100000000ull); // sparse: no disk is used
    SWworld world;
    SWsound* const sound = AddSound(world, "big", path, "7499");
    const RecordingReports reports;
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    EXPECT_FALSE(SWcompressionschemes::Table().WriteResource(1, out, sound, 0));
    EXPECT_EQ(out.Status(), SWchunkstream::kStatusGood);
    EXPECT_EQ(buffer.Size(), 0u);
    ASSERT_EQ(reports.reports.size(), 1u);
    EXPECT_NE(reports.reports[0].text.find("big"), std::string::npos);
}

TEST(SoundHandlersWaveCodec, QualityIsClampedAndLeftAt100)
{
    const PrivateTempDir temp;
    const std::string path = temp.File("source.wav");
    WriteFile(path, WaveBytes(1, 8000, 8, std::vector<int16_t>{0, -32768, 32767 - 255, 0, 0, 0, 0, 0}));
    SWworld world;
    SWsound* const sound = AddSound(world, "tone", path, "7498");
    sound->SetQualityPercent(300);
    const std::vector<uint8_t> clamped = StoreSound(*sound);
    EXPECT_EQ(sound->GetQualityPercent(), 100u);
    EXPECT_EQ(clamped, StoreSound(*sound));

    LoadingWorld loading;
    ASSERT_TRUE(LoadSound(clamped, *loading.sound));
    const DecodedWave wave = ReadWave(loading.sound->GetFileName());
    ASSERT_GE(wave.samples.size(), 3u); // 8-bit bytes 128, 0 and 255, widened exactly
    EXPECT_EQ(wave.samples[0], 128);
    EXPECT_EQ(wave.samples[1], -32768);
    EXPECT_EQ(wave.samples[2], 32767);
}

TEST(SoundHandlersAccepts, LayoutsAndMessages)
{
    const PrivateTempDir temp;
    SWworld world;
    for (const uint16_t channels : {1, 2})
        for (const uint32_t rate : {8000u, 11025u, 22050u, 44100u}) {
            SCOPED_TRACE(testing::Message() << channels << " channels, " << rate << " Hz");
            const std::string path = temp.File(std::to_string(channels) + "_" + std::to_string(rate) + ".wav");
            WriteFile(path, WaveBytes(channels, rate, 16, Tone(channels, static_cast<int>(rate), 100)));
            SWsound* const sound = AddSound(world, "s", path, "7499");
            for (const Scheme& scheme : kSchemes) {
                const SWcompressionscheme* const row = Row(scheme.id);
                const bool coded = scheme.delayFrames != 0 || std::string(scheme.id) <= "7491";
                const bool fits = !coded || (channels == scheme.channels && rate == scheme.rate);
                EXPECT_EQ(row->Accepts(sound), fits) << scheme.id;
                const std::optional<std::string> text = row->Describe(sound);
                EXPECT_EQ(text.has_value(), !fits) << scheme.id;
                if (text) {
                    EXPECT_NE(text->find(std::to_string(rate)), std::string::npos) << *text;
                    EXPECT_NE(text->find(channels == 2 ? "Stereo" : "Mono"), std::string::npos) << *text;
                    // What the publish then does with the sound, as the default row stores it.
                    EXPECT_NE(text->find("published uncompressed"), std::string::npos) << *text;
                }
                EXPECT_FALSE(row->Accepts(nullptr)) << scheme.id;
            }
        }
    // A file that cannot be read is said to be so, not described as a layout of zeros.
    SWsound* const unread = AddSound(world, "u", temp.File("missing.wav"), "7499");
    const std::optional<std::string> text = Row("7495")->Describe(unread);
    ASSERT_TRUE(text.has_value());
    EXPECT_NE(text->find("cannot be read"), std::string::npos) << *text;
    EXPECT_EQ(text->find("is 0 Hz"), std::string::npos) << *text;
    const TonalwaveSoundHandler stranger({MakeTag("7497"), SchemeKind::kSound, false, false, "x", "x"});
    SWsound* const sound = world.GetSoundList().GetFirst();
    EXPECT_FALSE(stranger.Accepts(sound));
    EXPECT_EQ(stranger.Describe(sound), std::optional<std::string>(""));
}

// Every record cut at any length, and payloads of random frames, read without harm and write no more than they hold.
TEST(SoundHandlersDamaged, CutAndRandomPayloadsAreSafe)
{
    const PrivateTempDir temp;
    const RecordingReports reports;
    for (const Scheme& scheme : kSchemes) {
        SCOPED_TRACE(scheme.id);
        const std::string source = temp.File("source.wav");
        WriteFile(source, WaveBytes(scheme.channels, scheme.rate, 16, Tone(scheme.channels, 8000, 600)));
        const std::vector<uint8_t> record = StoreFile(source, scheme.id);
        const std::vector<uint8_t> payload(record.begin() + 8, record.end());
        LoadingWorld loading;
        for (size_t cut = 0; cut < payload.size(); cut += cut < 64 ? 1 : 97) {
            const std::vector<uint8_t> part(payload.begin(), payload.begin() + static_cast<ptrdiff_t>(cut));
            SWsound* const sound = AddSound(*loading.world, "", "", "7499");
            if (LoadSound(RecordOf(scheme.id, part), *sound)) {
                EXPECT_LE(std::filesystem::file_size(sound->GetFileName()), 44 + 4 * (cut + 4096) * 32);
            }
        }
        std::vector<uint8_t> noisy = payload;
        for (size_t i = 40; i < noisy.size(); ++i)
            noisy[i] = static_cast<uint8_t>(i * 2654435761u >> 13);
        SWsound* const sound = AddSound(*loading.world, "", "", "7499");
        LoadSound(RecordOf(scheme.id, noisy), *sound);
    }
}

TEST(SoundHandlersDamaged, HeadersNoWriterStoresAreRefused)
{
    const PrivateTempDir temp;
    const struct {
        const char* what;
        uint16_t bits, channels;
        uint32_t rate;
    } cases[] = {
        {"3 channels", 16, 3, 8000}, {"8 bits", 8, 1, 8000}, {"rate 0", 16, 1, 0}, {"too fast", 16, 1, 192001}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> payload;
        PutU32(payload, 0);
        PutU32(payload, 0);
        PutU16(payload, c.bits);
        PutU16(payload, c.channels);
        PutU32(payload, c.rate);
        payload.resize(payload.size() + 558);
        LoadingWorld loading;
        EXPECT_FALSE(LoadSound(RecordOf("7492", payload), *loading.sound));
        EXPECT_TRUE(temp.OwnTemporaries().empty());
    }
    std::vector<uint8_t> huge;
    PutU32(huge, 0xFFFFFFFF); // a name of 4 GiB in a record of 8 bytes
    PutU32(huge, 0);
    LoadingWorld loading;
    EXPECT_FALSE(LoadSound(RecordOf("7499", huge), *loading.sound));
    EXPECT_FALSE(LoadSound(RecordOf("7498", std::vector<uint8_t>(12, 0)), *loading.sound));
    EXPECT_TRUE(temp.OwnTemporaries().empty());
}

// A world's nine sounds, one per row, written record after record and read back in order.
TEST(SoundHandlersWorld, NineSoundsInOneStream)
{
    const PrivateTempDir temp;
    SWbuffer buffer;
    {
        SWworld world;
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        for (const Scheme& scheme : kSchemes) {
            const std::string source = temp.File(std::string(scheme.id) + ".wav");
            WriteFile(source, WaveBytes(scheme.channels, scheme.rate, 16,
                                        Tone(scheme.channels, static_cast<int>(scheme.rate), 1000)));
            SWsound* const sound = AddSound(world, scheme.id, source, scheme.id);
            ASSERT_TRUE(SWcompressionschemes::Table().WriteResource(1, out, sound, 0));
        }
    }
    SWworld world;
    SWchunkstream in(buffer, SWchunkstream::kRead);
    for (const Scheme& scheme : kSchemes) {
        SWsound* const sound = AddSound(world, "", "", "7499");
        EXPECT_EQ(in.PeekTag(), IdTag(scheme.id));
        EXPECT_TRUE(SWcompressionschemes::Table().ReadResource(in.PeekTag(), in, sound, 0));
        EXPECT_EQ(sound->GetName(), scheme.id);
    }
    EXPECT_EQ(in.Remaining(), 0u);
    EXPECT_EQ(temp.OwnTemporaries().size(), 9u);
    EXPECT_EQ(world.GetFileReferences().Paths().size(), 9u);
    EXPECT_EQ(world.TakeSoundQueues().load.size(), 9u);
}

// Two sounds of different rows stored and restored on two threads give what one after the other gives.
TEST(SoundHandlersThreads, TwoRowsAtOnceGiveTheSameBytes)
{
    const PrivateTempDir temp;
    const std::string mono = temp.File("mono.wav");
    WriteFile(mono, WaveBytes(1, 8000, 16, Tone(1, 8000, 4000)));
    const std::string wide = temp.File("wide.wav");
    WriteFile(wide, WaveBytes(1, 22050, 16, Tone(1, 22050, 6000)));
    const auto run = [&](const std::string& path, std::string_view id) {
        const std::vector<uint8_t> record = StoreFile(path, id);
        LoadingWorld loading;
        EXPECT_TRUE(LoadSound(record, *loading.sound));
        return std::make_pair(record, ReadFile(loading.sound->GetFileName()));
    };
    for (const auto& pair : {std::make_pair("7495", "7490"), std::make_pair("7491", "7498")}) {
        const std::string_view first = pair.first;
        const std::string_view second = pair.second;
        const std::string& firstPath = std::string(pair.first) == "7495" ? wide : mono;
        const auto one = run(firstPath, first);
        const auto two = run(mono, second);
        std::pair<std::vector<uint8_t>, std::vector<uint8_t>> beside;
        std::thread other([&] { beside = run(mono, second); });
        EXPECT_EQ(run(firstPath, first), one);
        other.join();
        EXPECT_EQ(beside, two);
    }
}

} // namespace

namespace {

// A restored file handed from one list to another goes with the second only.
TEST(SoundHandlersTemporaryFiles, ReleasedFileGoesWithTheListThatTookItOver)
{
    const PrivateTempDir temp;
    const std::string path = pf::makeTempFile("swsnd").value_or("");
    ASSERT_FALSE(path.empty());
    auto target = std::make_unique<SWfilereferences>();
    {
        SWfilereferences import;
        import.Add(path);
        EXPECT_TRUE(import.Release(path));
        EXPECT_FALSE(import.Release(path));
        target->Add(path);
    }
    EXPECT_TRUE(std::filesystem::exists(path));
    target.reset();
    EXPECT_FALSE(std::filesystem::exists(path));
}

} // namespace
