#pragma once
// CVTND_CaptureDrag: the press, drag and release of the self-drawn inputs (dial, point picker, channel slider).
// The control holds the mouse from the press to the release, so a drag that leaves it still reports; a capture
// taken by another window ends the drag without a release report, since the user never let go over the control.
#include "platform/ui/controls/control.h"
#include "platform/ui/core/ui.h"

class CVTND_CaptureDrag {
public:
    bool IsActive() const { return m_active; }

    void Begin(pf::Control& control)
    {
        pf::ui().setCapture(control.hwnd());
        m_active = true;
    }

    // On the button's release: gives the capture back and answers whether a drag was under way. Giving it back
    // runs the control's WM_CAPTURECHANGED, so the caller asks whether it is alive before it reports the release.
    bool End(const pf::Control& control)
    {
        if (!m_active)
            return false;
        m_active = false;
        if (pf::ui().capture() == control.hwnd())
            pf::ui().releaseCapture();
        return true;
    }

    void CaptureChanged(const pf::Msg& msg, const pf::Control& control)
    {
        if (static_cast<pf::Hwnd>(msg.lParam) != control.hwnd())
            m_active = false;
    }

private:
    bool m_active = false;
};
