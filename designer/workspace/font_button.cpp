#include "designer/workspace/font_button.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/base/user_constants.h"
#include "platform/gfx/dc.h"
#include "platform/gfx/edge.h"
#include "platform/gfx/text/font.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"

namespace {

constexpr int32_t kFaceMargin = 6; // the edge and a pixel of air above and below the sample

} // namespace

void CVTND_FontButton::SetLogFont(const pf::LogFont& font)
{
    m_logFont = font;
    m_logFont.face[sizeof m_logFont.face - 1] = '\0'; // a caller's face name may fill the field
    m_hasFont = true;
    invalidate(true);
}

pf::LogFont CVTND_FontButton::ShownLogFont() const
{
    pf::LogFont shown = m_logFont;
    const int32_t room = std::max(1, static_cast<int32_t>(clientRect().height()) - kFaceMargin);
    // A negative height is the character height, a positive one the cell; either way the magnitude is capped.
    if (shown.height < 0)
        shown.height = -std::min(room, -std::max(shown.height, -0x7FFFFFFF));
    else if (shown.height > 0)
        shown.height = std::min(room, shown.height);
    shown.width = 0; // a stretched sample would not show the face
    return shown;
}

pf::LResult CVTND_FontButton::handle(const pf::Msg& msg)
{
    if (msg.message == pf::WM_PAINT) {
        Paint();
        return 0;
    }
    return pf::Button::handle(msg);
}

void CVTND_FontButton::Paint()
{
    pf::PaintDc dc(*this);
    const pf::Rect client = clientRect();
    dc.fillRect(client, pf::createSolidBrush(pf::getSysColor(pf::COLOR_BTNFACE)));
    pf::Rect face =
        isPushed() ? pf::drawEdge(dc, client, pf::EdgeKind::kSunken) : pf::drawEdge(dc, client, pf::EdgeKind::kButton);
    if (isPushed())
        face = face.offsetBy(1, 1);
    dc.setBkMode(pf::TRANSPARENT);
    dc.setTextColor(pf::getSysColor(isEnabled() ? pf::COLOR_BTNTEXT : pf::COLOR_GRAYTEXT));
    if (m_hasFont)
        dc.selectFont(pf::createFontIndirect(ShownLogFont()));
    const std::string sample = m_hasFont ? std::string(m_logFont.face) : text();
    drawText(dc, face, sample, 1);
    if (pf::ui().focus() == hwnd())
        dc.drawFocusRect(face.inflatedBy(-1, -1));
}
