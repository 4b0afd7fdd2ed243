#pragma once
// The check every number field of the editors goes through: text no field can keep, typed into it as a person types
// it. Nothing non-finite or outside the field's range is stored, the field ends showing what is stored, and a refusal
// is said where the field says it: in a box for a field read when a button is pressed, on the main window's status
// bar for one read at each key.
#include <algorithm>
#include <cmath>
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
};

// Forty-five digits: a number no field keeps, every prefix of which up to 38 digits a float field takes on the way.
inline const std::string kFortyFiveDigits = "123456789012345678901234567890123456789012345";

// Each text typed into each field, as a person types it, each time from a field the focus came to afresh. A text
// the field refuses leaves what it kept before, not a number typed on the way, and the status bar says what it
// keeps; the field shows that once the focus leaves it. refusedOnly: only the texts each field refuses.
inline void CheckNumberFields(pf::Ui& ui, pf::UserSim& sim, pf::StatusBar& bar, const std::vector<NumberField>& fields,
                              const std::vector<std::string>& texts = {"12", "nan", "inf", "-inf", "1e40", "-1", "abc",
                                                                       "2147483600", "", kFortyFiveDigits},
                              bool refusedOnly = false)
{
    // Nothing typed yet: an editor that filled its fields as it opened took that for typing.
    EXPECT_EQ(bar.paneText(0).find("Not taken"), std::string::npos) << "said on opening: " << bar.paneText(0);
    for (const NumberField& f : fields) {
        for (const std::string& text : texts) {
            SCOPED_TRACE(f.name + " typed \"" + text + "\"");
            const auto check = [&] {
                pf::Window* field = f.field();
                ASSERT_NE(field, nullptr);
                std::string reaching = text; // what reaches the field
                if (f.digitsOnly)
                    std::erase_if(reaching, [](char c) { return c < '0' || c > '9'; });
                // A field whose text is limited drops the keys past its limit.
                if (const auto* edit = dynamic_cast<const pf::Edit*>(field); edit != nullptr && edit->limit() > 0)
                    reaching.resize(std::min(reaching.size(), static_cast<size_t>(edit->limit())));
                // Letters alone reach a digits-only field as nothing: its text stays.
                const bool untouched = reaching.empty() && !text.empty();
                std::optional<double> number;
                if (!reaching.empty() && reaching.find_first_not_of("-0123456789") == std::string::npos &&
                    reaching.find('-', 1) == std::string::npos && reaching != "-")
                    number = std::stod(reaching);
                const bool refused = !untouched && (!number || *number < f.low || *number > f.high);
                if (refusedOnly && !refused)
                    return;
                const pf::Hwnd handle = field->hwnd();
                bar.setText(0, "");
                const size_t boxes = ui.providers().scriptedMessageBox().calls().size();
                const double before = f.stored();
                ui.setFocus(handle); // the editors overlap: a click could land on another
                sim.replaceText(*field, text);
                sim.pump();
                if (f.commit) {
                    if (refused)
                        sim.expectMessageBox(pf::IDOK);
                    f.commit();
                    sim.pump();
                    EXPECT_EQ(ui.providers().scriptedMessageBox().calls().size(), boxes + (refused ? 1 : 0));
                } else {
                    const std::string said = bar.paneText(0);
                    EXPECT_EQ(said.starts_with("Not taken: the field needs "), refused) << said;
                    if (refused) {
                        // What it says it keeps reads as what it keeps.
                        const size_t at = said.rfind(", and keeps ");
                        ASSERT_NE(at, std::string::npos) << said;
                        const TypedNumber kept = ReadTypedNumber(
                            std::string_view(said).substr(at + 12, said.size() - at - 13), -3.5e38, 3.5e38);
                        ASSERT_EQ(kept.kind, TypedKind::kNumber) << said;
                        EXPECT_NEAR(kept.value, f.stored(), std::abs(f.stored()) * 1e-5) << said;
                    }
                }
                const double kept = f.stored();
                EXPECT_TRUE(std::isfinite(kept) && kept >= f.low && kept <= f.high) << kept;
                if (refused) {
                    EXPECT_EQ(kept, before) << "a refusal keeps what was there before the typing";
                } else if (number && !untouched) {
                    EXPECT_NEAR(kept, *number, std::max(1e-4, std::abs(*number) * 1e-6)) << "the field takes typing";
                }
                if (!ui.isWindow(handle))
                    return; // taken, and the editor closed
                pf::Window* top = field;
                while (top->parent() != nullptr)
                    top = top->parent();
                ui.setFocus(top->hwnd()); // the typing ends
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
