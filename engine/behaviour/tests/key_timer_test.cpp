// The key table, key translation through a scripted keyboard, the timer across the clock's wrap, and the input
// queues.
#include <gtest/gtest.h>

#include <map>

#include "engine/behaviour/input_queue.h"
#include "engine/behaviour/key_table.h"
#include "engine/behaviour/timer.h"
#include "platform/time/clock.h"
#include "platform/time/virtual_clock.h"

namespace {

// A US keyboard with Shift either held or not: letters, digits and a few punctuation keys.
class ScriptedKeyboard : public SWkeyboardsource {
public:
    int TranslateToCharacters(uint32_t virtualKey, uint32_t, std::array<char, 2>& out) override
    {
        const auto found = characters.find(virtualKey);
        if (found == characters.end())
            return 0;
        out[0] = found->second;
        return 1;
    }
    std::map<uint32_t, char> characters;
};

class InstalledClock {
public:
    explicit InstalledClock(uint32_t startMs) : clock(startMs) { pf::setClock(&clock); }
    ~InstalledClock() { pf::setClock(nullptr); }
    pf::VirtualClock clock;
};

} // namespace

TEST(KeyTable, SeventyNineEntriesInTableOrder)
{
    SWkeytable keys;
    ASSERT_EQ(keys.Count(), SWkeytable::kEntryCount);
    const SWkeyentry* first = keys.GetFirst();
    EXPECT_EQ(first->GetCode(), 8);
    EXPECT_EQ(SWkeytable::GetNext(first)->GetCode(), 24);
    EXPECT_EQ(keys.FindKeyByName("Page Down")->GetCode(), 256);
    EXPECT_EQ(SWkeytable::GetNext(keys.FindKeyByName("Page Down"))->GetCode(), 257);
    const SWkeyentry* last = first;
    while (SWkeytable::GetNext(last) != nullptr)
        last = SWkeytable::GetNext(last);
    EXPECT_EQ(last->GetName(), ".");
    for (const char* name : {"Space", "Up", "Down", "Right", "Left"})
        EXPECT_NE(keys.FindKeyByName(name), nullptr) << name;
    EXPECT_EQ(keys.FindKeyByName("space"), nullptr);
}

TEST(KeyTable, TextsAndUppercaseEntries)
{
    SWkeytable keys;
    EXPECT_EQ(keys.FindKeyByCode(258)->GetText(), "258");
    EXPECT_EQ(keys.FindKeyByCode('a')->GetText(), "a");
    EXPECT_EQ(keys.FindKeyByCode('a')->GetUppercaseEntry(), keys.FindKeyByCode('A'));
    EXPECT_EQ(keys.FindKeyByCode('5')->GetUppercaseEntry(), keys.FindKeyByCode('5'));
    keys.FindKeyByCode('x')->SetPressed(true);
    keys.ResetKeyStates();
    EXPECT_FALSE(keys.FindKeyByCode('x')->IsPressed());
}

TEST(KeyTranslation, CharactersFirstThenVirtualKeys)
{
    SWwinkeytable keys;
    ScriptedKeyboard keyboard;
    keys.SetKeyboardSource(&keyboard);
    keyboard.characters = {{65, 'a'}, {188, ','}, {186, ';'}, {219, '['}};
    EXPECT_EQ(keys.TranslateKey(0x001E0001, 65), keys.FindKeyByCode('a'));
    keyboard.characters[65] = 'A'; // Shift held
    EXPECT_EQ(keys.TranslateKey(0x001E0001, 65), keys.FindKeyByCode('A'));
    EXPECT_EQ(keys.TranslateKey(0, 188), nullptr);
    for (char c = 58; c <= 64; ++c) {
        keyboard.characters[300] = c;
        EXPECT_EQ(keys.TranslateKey(0, 300), nullptr) << int(c);
    }
    for (char c = 91; c <= 96; ++c) {
        keyboard.characters[300] = c;
        EXPECT_EQ(keys.TranslateKey(0, 300), nullptr) << int(c);
    }
    EXPECT_EQ(keys.TranslateKey(0, 38)->GetCode(), 258);
    EXPECT_EQ(keys.TranslateKey(0, 40)->GetCode(), 259);
    EXPECT_EQ(keys.TranslateKey(0, 39)->GetCode(), 260);
    EXPECT_EQ(keys.TranslateKey(0, 37)->GetCode(), 261);
    EXPECT_EQ(keys.TranslateKey(0, 46)->GetCode(), 24);
    EXPECT_EQ(keys.TranslateKey(0, 33)->GetCode(), 257);
    EXPECT_EQ(keys.TranslateKey(0, 45), nullptr);
}

TEST(Timer, PeriodZeroNeverExpiresAndAPeriodExpiresOnce)
{
    InstalledClock installed(1000);
    SWtimer never;
    never.Start();
    installed.clock.advance(100000);
    EXPECT_FALSE(never.Expired(nullptr));

    SWtimer timer;
    timer.SetPeriod(100.0f);
    timer.Start();
    installed.clock.advance(99);
    float elapsed = 0.0f;
    EXPECT_FALSE(timer.Expired(&elapsed));
    EXPECT_EQ(elapsed, 99.0f);
    installed.clock.advance(1);
    EXPECT_TRUE(timer.Expired(nullptr));
    EXPECT_FALSE(timer.Expired(nullptr));
    EXPECT_EQ(timer.Elapsed(), 0.0);
}

TEST(Timer, ExpiresAcrossTheClocksWrap)
{
    InstalledClock installed(0xFFFFFF00u);
    SWtimer timer;
    timer.SetPeriod(500.0f);
    timer.Start();
    installed.clock.advance(400); // the reading wraps past zero
    EXPECT_EQ(timer.Elapsed(), 400.0);
    EXPECT_FALSE(timer.Expired(nullptr));
    installed.clock.advance(100);
    EXPECT_TRUE(timer.Expired(nullptr));
    float stopped = -1.0f;
    timer.Stop(&stopped);
    EXPECT_EQ(stopped, 0.0f);
}

TEST(InputQueue, PushPopMoveAllAndClear)
{
    SWinputqueue posted(true);
    SWinputqueue dispatch(false);
    SWkeytable keys;
    posted.Push(SWinputrecord::SWinputrecordKey(*keys.FindKeyByCode(259), true, 5));
    posted.Push(SWinputrecord::SWinputrecordTrigger(nullptr, std::string("data"), 6, std::string("Door")));
    posted.Push(SWinputrecord::SWinputrecordMouse(1, 2, 300, 400, InputKind::kMousePressed, 7));
    dispatch.Push(new SWinputrecord(InputKind::kWorldStep, 4));
    posted.MoveAll(dispatch);
    EXPECT_EQ(posted.Count(), 0u);
    EXPECT_EQ(dispatch.Count(), 4u);
    delete dispatch.Pop();
    SWinputrecord* key = dispatch.Pop();
    EXPECT_EQ(key->GetKind(), InputKind::kKeyPressed);
    EXPECT_EQ(key->GetDataText(), std::optional<std::string>("259"));
    EXPECT_EQ(std::get<const SWkeyentry*>(key->GetTarget()), keys.FindKeyByCode(259));
    delete key;
    SWinputrecord* trigger = dispatch.Pop();
    EXPECT_EQ(trigger->GetEventName(), std::optional<std::string>("Door"));
    delete trigger;
    SWinputrecord* mouse = dispatch.Pop();
    EXPECT_EQ(std::get<SWmousepoint>(mouse->GetTarget()).x, 300);
    EXPECT_EQ(mouse->GetSecondWord(), 400u);
    delete mouse;
    EXPECT_EQ(dispatch.Pop(), nullptr);
    dispatch.Push(new SWinputrecord(InputKind::kWorldStep, 4));
    dispatch.Clear();
    EXPECT_EQ(dispatch.Count(), 0u);
}
