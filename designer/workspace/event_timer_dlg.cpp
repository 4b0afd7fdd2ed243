#include "designer/workspace/event_timer_dlg.h"

#include <charconv>
#include <cmath>
#include <string>

#include "designer/app/window_placement.h"
#include "designer/app/world_write_lock.h"
#include "designer/workspace/editor_fields.h"
#include "designer/workspace/editor_texts.h"
#include "engine/behaviour/event.h"
#include "engine/core/world.h"
#include "platform/base/user_constants.h"
#include "platform/ui/providers/providers.h"

namespace {

constexpr float kTwoTo32 = 4294967296.0f;

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
    size_t start = 0;
    while (start < text.size() && (text[start] == ' ' || text[start] == '\t'))
        ++start;
    if (start < text.size() && text[start] == '+')
        ++start; // from_chars takes no plus sign, atof does
    double value = 0.0;
    const char* first = text.data() + start;
    const auto [end, error] = std::from_chars(first, text.data() + text.size(), value);
    // Text without a number, or with more after it, once read as 0 ms: a timer that fired at every frame.
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    const float stored = static_cast<float>(value);
    // The records truncate to a u32 (negative and NaN become 0, 2^32 and up the largest), while the frame step never
    // fires a negative or NaN interval: such a value would change its meaning across a save.
    if (!std::isfinite(stored) || stored < 0.0f || stored >= kTwoTo32)
        return std::nullopt;
    return stored;
}

bool CVTND_EventTimerDlg::onInitDialog()
{
    PlaceWindowAtCursor(*this);
    ShowInterval();
    return true;
}

void CVTND_EventTimerDlg::ShowInterval()
{
    char text[32] = {};
    const float interval = m_event.GetTimerInterval();
    const auto [end, error] = std::to_chars(text, text + sizeof(text) - 1, interval, std::chars_format::general, 6);
    if (error == std::errc())
        *end = '\0';
    if (pf::Window* edit = child(kIdInterval))
        edit->setText(text);
}

void CVTND_EventTimerDlg::onOK()
{
    const std::optional<float> interval = ParseInterval(FieldText(child(kIdInterval), kMaxTextBytes));
    if (!interval) {
        pf::messageBox(hwnd(), EditorTextOf(kIdsValidValue), EditorTextOf(kIdsEditorErrorCaption),
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
