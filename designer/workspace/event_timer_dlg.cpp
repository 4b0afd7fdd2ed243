#include "designer/workspace/event_timer_dlg.h"

#include <string>

#include "designer/app/window_placement.h"
#include "designer/app/world_write_lock.h"
#include "designer/workspace/editor_fields.h"
#include "designer/workspace/editor_texts.h"
#include "designer/workspace/number_text.h"
#include "engine/behaviour/event.h"
#include "engine/core/world.h"
#include "platform/base/user_constants.h"
#include "platform/ui/providers/providers.h"

namespace {

constexpr double kLargestInterval = 4294967295.0; // what the records hold, and what the refusal names

// The world that owns event: the renderer steps its timers under that world's lock.
SWworld* WorldOf(const SWevent& event)
{
    return dynamic_cast<SWworld*>(event.GetWorld());
}

} // namespace

CVTND_EventTimerDlg::CVTND_EventTimerDlg(SWevent& event) : m_event(event) {}

int32_t CVTND_EventTimerDlg::DoModal(pf::Window* parent)
{
    return doModal(kIdd, parent);
}

std::optional<float> CVTND_EventTimerDlg::ParseInterval(std::string_view text)
{
    // Text without a number, or with more after it, once read as 0 ms: a timer that fired at every frame. The records
    // truncate to a u32 (negative and NaN become 0), while the frame step never fires a negative or NaN interval.
    const TypedNumber typed = ReadTypedNumber(text, 0.0, kLargestInterval);
    if (typed.kind != TypedKind::kNumber)
        return std::nullopt;
    return static_cast<float>(typed.value);
}

bool CVTND_EventTimerDlg::onInitDialog()
{
    PlaceWindowAtCursor(*this);
    ShowInterval();
    return true;
}

void CVTND_EventTimerDlg::ShowInterval()
{
    // "1.23457e+06" read back as 1234570: OK on the unchanged dialog stored another interval.
    m_shown = FormatNumberPlain(m_event.GetTimerInterval());
    if (pf::Window* edit = child(kIdInterval))
        edit->setText(m_shown);
}

void CVTND_EventTimerDlg::onOK()
{
    const std::string text = FieldText(child(kIdInterval), kMaxTextBytes);
    if (text == m_shown) {
        endDialog(pf::IDOK); // unchanged: 2^32, kept for 4294967295, is past the bound a typed number may reach
        return;
    }
    const std::optional<float> interval = ParseInterval(text);
    if (!interval) {
        std::string kept = EditorTextOf(kIdsIntervalKept);
        if (const size_t at = kept.find("%s"); at != std::string::npos)
            kept.replace(at, 2, m_shown);
        pf::messageBox(hwnd(), EditorTextOf(kIdsValidValue) + " " + kept, EditorTextOf(kIdsEditorErrorCaption),
                       pf::MB_OK | pf::MB_ICONHAND);
        ShowInterval(); // the field shows what the timer keeps
        return;
    }
    {
        CVTND_WorldWriteLock lock(WorldOf(m_event));
        m_event.SetTimerInterval(*interval);
    }
    endDialog(pf::IDOK);
}

int32_t EditTimerEventParameters(pf::Window* parent, SWevent& event)
{
    CVTND_EventTimerDlg dialog(event);
    return dialog.DoModal(parent);
}
