#pragma once
// CVTND_EventTimerDlg: the modal dialog of a timer event's interval, opened at the mouse. The interval is a float of
// milliseconds; the behaviour records store it as whole milliseconds in 32 bits, so a value they cannot hold
// (negative, not finite, beyond 4294967295, the bound the refusal names) is refused. It is shown in digits, exactly as
// kept: OK on the dialog unchanged writes nothing.
#include <optional>
#include <string>
#include <string_view>

#include "platform/ui/dialog/dialog.h"

class SWevent;

class CVTND_EventTimerDlg : public pf::Dialog {
public:
    static constexpr int32_t kIdd = 151;
    static constexpr int32_t kIdInterval = 1004;
    static constexpr size_t kMaxTextBytes = 80;

    explicit CVTND_EventTimerDlg(SWevent& event); // the world's; outlives the dialog
    int32_t DoModal(pf::Window* parent);          // IDOK when stored; the caller redraws the event maps

    // The interval text as the dialog reads it, as every number field reads one: blanks around it and a '+' before it,
    // then one decimal number from 0 to 4294967295 (4294967295 is kept as the float nearest, 2^32) and nothing else;
    // nullopt for any other text.
    static std::optional<float> ParseInterval(std::string_view text);

protected:
    bool onInitDialog() override;
    void onOK() override;

private:
    void ShowInterval(); // the timer's interval, as the event keeps it

    SWevent& m_event;
    std::string m_shown; // the text ShowInterval put in the field
};

// What the event parameters of a timer event run: the timer dialog over parent. The answer is the dialog's.
int32_t EditTimerEventParameters(pf::Window* parent, SWevent& event);
