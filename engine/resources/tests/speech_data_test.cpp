#include "engine/resources/speech_data.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/root_object.h"
#include "engine/resources/tests/world_round_trip.h"

namespace {

std::vector<uint8_t> Saved(SWspeechdata& speech)
{
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    EXPECT_TRUE(speech.Write(out));
    return buffer.ToVector();
}

std::unique_ptr<SWspeechdata> Script()
{
    auto speech = std::make_unique<SWspeechdata>("hello");
    speech->SetString(1, "Head");
    speech->SetString(2, "extra");
    speech->SetFrameRate(25);
    speech->AddChannel(0, {0.0f, 0.5f, 1.0f});
    speech->AddChannel(19, {-0.25f});
    speech->AddChannel(27, {});
    return speech;
}

TEST(SpeechData, ChannelsAndValuesAtAndPastTheirEnds)
{
    const auto speech = Script();
    ASSERT_EQ(speech->GetChannelCount(), 3u);
    EXPECT_EQ(speech->GetChannel(3), nullptr);
    EXPECT_EQ(speech->GetChannel(0xFFFFFFFFu), nullptr);
    const SWspeechchannel* first = speech->GetChannel(0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetValue(2), 1.0f);
    EXPECT_EQ(first->GetValue(3), 0.0f);
    EXPECT_EQ(speech->GetChannel(2)->GetValue(0), 0.0f);
}

TEST(SpeechData, RecordRoundTripsSkipsLaterRecordsAndRefusesDamage)
{
    const auto speech = Script();
    std::vector<uint8_t> bytes = Saved(*speech);
    // A later record of another kind is skipped.
    const uint8_t extra[] = {'X', 'T', 'R', 'A', 2, 0, 0, 0, 7, 7};
    std::vector<uint8_t> withExtra = bytes;
    withExtra.insert(withExtra.end(), std::begin(extra), std::end(extra));
    SWspeechdata read;
    SWchunkstream in(withExtra);
    ASSERT_TRUE(read.Read(in));
    EXPECT_TRUE(read == *speech);

    const std::vector<uint8_t> before = Saved(read);
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        SWchunkstream shortIn(std::span<const uint8_t>(bytes.data(), cut));
        EXPECT_FALSE(read.Read(shortIn)) << cut;
    }
    EXPECT_EQ(Saved(read), before);
}

TEST(SpeechData, HostileCountsAreRefusedBeforeAllocating)
{
    // Strings "a", "", "", rate 30, then a channel count of 0xFFFFFFFF with nothing behind it.
    std::vector<uint8_t> header = {1, 0, 0, 0, 'a', 0, 0, 0, 0, 0, 0, 0, 0, 30, 0, 0, 0};
    std::vector<uint8_t> hugeChannels = header;
    hugeChannels.insert(hugeChannels.end(), {0xFF, 0xFF, 0xFF, 0xFF});
    // One channel claiming 0xFFFFFFFF values (0x40000000 x 4 would wrap a 32-bit size), then two values.
    std::vector<uint8_t> hugeValues = header;
    hugeValues.insert(hugeValues.end(), {1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    std::vector<uint8_t> wrapValues = hugeValues;
    wrapValues[21] = 0x00;
    wrapValues[22] = 0x00;
    wrapValues[23] = 0x00;
    wrapValues[24] = 0x40;
    // One channel whose four claimed values are three in the record.
    std::vector<uint8_t> oneShort = header;
    oneShort.insert(oneShort.end(), {1, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    for (const auto* bytes : {&hugeChannels, &hugeValues, &wrapValues, &oneShort}) {
        SWspeechdata speech("kept");
        SWchunkstream in(*bytes);
        EXPECT_FALSE(speech.Read(in));
        EXPECT_EQ(speech.GetName(), "kept");
        EXPECT_EQ(speech.GetChannelCount(), 0u);
    }
}

TEST(SpeechData, FoundDepthFirstAndByNameAndKeptInTheWorld)
{
    SWworld world;
    SWrootobject* root = world.GetRootObject();
    auto holder = std::make_unique<SWspeechdata>("outer");
    auto inner = std::make_unique<SWspeechdata>("inner");
    ASSERT_TRUE(holder->AddChild(inner.release()));
    SWspeechdata* outer = holder.get();
    ASSERT_TRUE(root->AddChild(holder.release()));
    auto script = Script();
    SWspeechdata* hello = script.get();
    ASSERT_TRUE(root->AddChild(script.release()));
    EXPECT_EQ(FindSpeechData(root), outer);
    EXPECT_EQ(FindSpeechData(outer)->GetName(), "outer");
    EXPECT_EQ(FindSpeechData(outer->GetFirstChild())->GetName(), "inner");
    EXPECT_EQ(FindSpeechDataByName(root, "hello"), hello);
    EXPECT_EQ(FindSpeechDataByName(root, "inner"), nullptr); // not a child of the root itself
    EXPECT_EQ(FindSpeechData(nullptr), nullptr);

    const WorldLoadResult loaded = RoundTripWorld(world);
    ASSERT_NE(loaded.world, nullptr);
    SWrootobject* again = loaded.world->GetRootObject();
    ASSERT_NE(FindSpeechDataByName(again, "hello"), nullptr);
    EXPECT_TRUE(*FindSpeechDataByName(again, "hello") == *hello);
    EXPECT_NE(FindSpeechDataByName(again, "outer"), nullptr);
}

} // namespace
