#pragma once
// The check every number field of the editors goes through: text no field can keep, typed into it as a person types
// it. Nothing non-finite or outside the field's range is stored, the field ends showing what is stored, and a refusal
// is said where the field says it: in a box for a field read when a button is pressed, on the main window's status
// bar for one read at each key.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "designer/workspace/editor_fields.h"
#include "platform/testing/user_sim.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/controls/status_bar.h"
#include "platform/ui/providers/providers.h"

namespace designertest {

// One field: where it is, what it stores (in the units it shows) and the range it keeps. Commit presses the button
// the field is read at; none for a field read at each key. Within opens the field's dialog, runs the check in it and
// closes it when still open, for a dialog that closes when it takes a number; none for a field whose window stays.
struct NumberField {
    using Check = std::function<void()>;
    NumberField(std::string name, std::function<pf::Window*()> field, std::function<double()> stored, double low,
                double high, std::function<void()> commit = {}, std::function<void(const Check&)> within = {})
        : name(std::move(name)), field(std::move(field)), stored(std::move(stored)), low(low), high(high),
          commit(std::move(commit)), within(std::move(within))
    {
    }
    std::string name;
    std::function<pf::Window*()> field;
    std::function<double()> stored;
    double low, high;
    std::function<void()> commit;
    std::function<void(const Check&)> within;
    bool digitsOnly = false; // an edit that drops every key but a digit, with nothing to say
    bool whole = false;      // one that keeps whole numbers: ".5" is refused
    bool atEachKey = false;  // one with a button that is read at each key all the same: its refusals go unboxed
};

// Forty-five digits: a number no field keeps, every prefix of which up to 38 digits a float field takes on the way.
inline const std::string kFortyFiveDigits = "123456789012345678901234567890123456789012345";

// What people type into number fields, '\b' a Backspace: signs and blanks around a number, a point at either end,
// starts of a number, numbers with more after them, the largest 32-bit count, and "1e40" cut back to "1e39".
inline const std::vector<std::string> kHostileTexts = {"+4", " 3", "+5", "1e40\b\b39", ".5",         "5.",     "",
                                                       "+",  "-",  "5-", "1-2",        "4294967295", "1234567"};

// What a field makes of the text that reached it, read as a person reads it: a number in range is taken (one with a
// fraction not by a field of whole numbers), a start of one waits for more, anything else is refused.
enum class Reading : uint8_t { kTaken, kWaits, kRefused };
inline Reading ReadAsPerson(std::string text, double low, double high, bool whole, double& value)
{
    while (!text.empty() && text.front() == ' ')
        text.erase(0, 1);
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    if (text.starts_with('+') && !text.starts_with("+-") && !text.starts_with("++"))
        text.erase(0, 1);
    if (text.empty() || text == "-" || text == "." || text == "-.")
        return Reading::kWaits;
    if (text.find_first_not_of("-+.0123456789eE") != std::string::npos)
        return Reading::kRefused;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value) || value < low || value > high ||
        (whole && value != std::trunc(value)))
        return Reading::kRefused;
    return Reading::kTaken;
}

// Each text typed into each field, as a person types it, each time from a field the focus came to afresh, then Tab
// (or the field's button). A text the field refuses leaves what it kept before the focus came, not a number typed on
// the way, and the status bar says what it keeps; a start of a number says nothing; once the focus leaves, the field
// shows what it keeps. refusedOnly: only the texts each field refuses.
inline std::vector<std::string> EveryTestText()
{
    std::vector<std::string> texts = {"12", "nan", "inf", "-inf", "1e40", "-1", "abc", "2147483600", kFortyFiveDigits};
    texts.insert(texts.end(), kHostileTexts.begin(), kHostileTexts.end());
    return texts;
}

inline void CheckNumberFields(pf::Ui& ui, pf::UserSim& sim, pf::StatusBar& bar, const std::vector<NumberField>& fields,
                              const std::vector<std::string>& texts = EveryTestText(), bool refusedOnly = false)
{
    // Nothing typed yet: an editor that filled its fields as it opened took that for typing.
    EXPECT_EQ(bar.paneText(0).find("Not taken"), std::string::npos) << "said on opening: " << bar.paneText(0);
    for (const NumberField& f : fields) {
        for (const std::string& text : texts) {
            SCOPED_TRACE(f.name + " typed \"" + text + "\"");
            const auto check = [&] {
                pf::Window* field = f.field();
                ASSERT_NE(field, nullptr);
                std::string reaching; // what reaches the field: a digits-only one drops the rest, a limited one
                const auto* edit = dynamic_cast<const pf::Edit*>(field); // what goes past its limit
                for (const char c : text) {
                    if (c == '\b') {
                        if (!reaching.empty())
                            reaching.pop_back();
                    } else if ((!f.digitsOnly || (c >= '0' && c <= '9')) &&
                               (edit == nullptr || edit->limit() <= 0 ||
                                reaching.size() < static_cast<size_t>(edit->limit()))) {
                        reaching += c;
                    }
                }
                // Letters alone reach a digits-only field as nothing: its text stays.
                const bool untouched = reaching.empty() && !text.empty();
                double number = 0.0;
                Reading reading = untouched ? Reading::kWaits : ReadAsPerson(reaching, f.low, f.high, f.whole, number);
                const bool atKey = !f.commit || f.atEachKey;
                if (!atKey && reading == Reading::kWaits && !untouched)
                    reading = Reading::kRefused; // a field read at a button has nothing more to wait for
                const bool refused = reading == Reading::kRefused;
                if (refusedOnly && !refused)
                    return;
                const pf::Hwnd handle = field->hwnd();
                bar.setText(0, "");
                const size_t boxes = ui.providers().scriptedMessageBox().calls().size();
                const double before = f.stored();
                ui.setFocus(handle); // the editors overlap: a click could land on another
                sim.keyChord(pf::VK_CONTROL, 'A');
                if (text.empty())
                    sim.keyPress(pf::VK_DELETE);
                sim.typeChars(text);
                sim.pump();
                const std::string said = bar.paneText(0);
                if (f.commit) {
                    const bool boxed = refused && !f.atEachKey;
                    if (boxed)
                        sim.expectMessageBox(pf::IDOK);
                    f.commit();
                    sim.pump();
                    EXPECT_EQ(ui.providers().scriptedMessageBox().calls().size(), boxes + (boxed ? 1 : 0));
                }
                const double kept = f.stored();
                EXPECT_TRUE(std::isfinite(kept) && kept >= f.low && kept <= f.high) << kept;
                const bool taken = reading == Reading::kTaken;
                if (!taken) {
                    EXPECT_EQ(kept, before) << "what was there before the typing stays";
                } else if (!untouched) {
                    EXPECT_NEAR(kept, number, std::max(1e-4, std::abs(number) * 1e-6)) << "the field takes typing";
                }
                if (atKey) {
                    EXPECT_EQ(said.starts_with("Not taken: the field needs "), refused) << said;
                    if (refused) {
                        // What it says it keeps reads as what it keeps.
                        const size_t at = said.rfind(", and keeps ");
                        ASSERT_NE(at, std::string::npos) << said;
                        const TypedNumber shown = ReadTypedNumber(
                            std::string_view(said).substr(at + 12, said.size() - at - 13), -3.5e38, 3.5e38);
                        ASSERT_EQ(shown.kind, TypedKind::kNumber) << said;
                        EXPECT_NEAR(shown.value, kept, std::abs(kept) * 1e-5) << said;
                    }
                }
                if (!ui.isWindow(handle))
                    return; // taken, and the editor closed
                if (ui.focus() == handle)
                    sim.keyPress(pf::VK_TAB); // the typing ends
                if (ui.focus() == handle) {
                    pf::Window* top = field;
                    while (top->parent() != nullptr)
                        top = top->parent();
                    ui.setFocus(top->hwnd()); // a field Tab does not leave
                }
                sim.pump();
                EXPECT_EQ(f.stored(), kept) << "leaving the field stores nothing";
                const TypedNumber shown = ReadTypedNumber(field->getText(), -3.5e38, 3.5e38);
                ASSERT_EQ(shown.kind, TypedKind::kNumber) << field->getText();
                EXPECT_NEAR(shown.value, kept, std::abs(kept) * 1e-5) << field->getText();
            };
            if (f.within)
                f.within(check);
            else
                check();
        }
    }
}

} // namespace designertest
