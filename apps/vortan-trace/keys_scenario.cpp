// Key records made through the world's key table from scripted key messages (Shift+A, a, comma, the arrows; the
// comma is no key of the table and makes no record), against a key event without a list, one with a list, one with the
// combination byte set and a release event.
#include <array>
#include <string>

#include "apps/vortan-trace/scenario_table.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/key_table.h"
#include "testsupport/behaviour/frame_driver.h"

namespace {

constexpr uint32_t kVirtualComma = 188;

// A keyboard whose shift key the script holds.
class ScriptedKeyboard : public SWkeyboardsource {
public:
    int TranslateToCharacters(uint32_t virtualKey, uint32_t, std::array<char, 2>& out) override
    {
        if (virtualKey >= 'A' && virtualKey <= 'Z') {
            out[0] = static_cast<char>(shift ? virtualKey : virtualKey - 'A' + 'a');
            return 1;
        }
        if (virtualKey == kVirtualComma) {
            out[0] = shift ? '<' : ',';
            return 1;
        }
        return 0;
    }
    bool shift = false;
};

int RunKeys(const TraceRun& run)
{
    FrameDriver d;
    ScriptedKeyboard keyboard;
    SWwinkeytable& keys = d.world.GetKeyTable();
    keys.SetKeyboardSource(&keyboard);
    d.Event(19, "any");
    SWevent* listed = d.Event(19, "listed");
    listed->AddKey(keys.GetLetter('A'));
    listed->AddKey(keys.TranslateKey(0, 37)); // left
    d.Action(listed, 0)->SetTargetIsTrigger(1);
    SWevent* combo = d.Event(19, "combo");
    combo->AddKey(keys.GetLetter('A'));
    combo->SetAllKeysFlag(1); // never fires from key records
    d.Event(20, "released");
    d.Observe(run.out);
    d.Start();
    const auto press = [&](int frame, const char* what, uint32_t virtualKey, bool shift) {
        keyboard.shift = shift;
        const SWkeyentry* entry = keys.TranslateKey(0, virtualKey);
        run.out.Note(frame - 1, std::string(what) + " -> " + (entry != nullptr ? entry->GetName() : std::string("-")));
        if (entry != nullptr) {
            d.world.PostKeyDown(*entry);
            d.world.PostKeyUp(*entry);
        }
    };
    run.Frames(d, [&](int frame) {
        if (frame == 1) {
            press(frame, "Shift+A", 'A', true);
            press(frame, "a", 'A', false);
        } else if (frame == 2) {
            press(frame, "comma", kVirtualComma, false);
        } else if (frame == 3) {
            press(frame, "left", 37, false);
            press(frame, "up", 38, false);
            press(frame, "right", 39, false);
            press(frame, "down", 40, false);
        }
    });
    d.Stop();
    return kTraceDone;
}

const bool kRegistered = RegisterTraceScenario(
    {"keys", "key messages through the key table against key lists and the combination byte", 4, RunKeys});

} // namespace
