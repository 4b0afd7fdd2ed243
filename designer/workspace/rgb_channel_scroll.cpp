#include "designer/workspace/rgb_channel_scroll.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "designer/workspace/editor_fields.h"
#include "designer/workspace/number_text.h"
#include "designer/workspace/workspace_messages.h"
#include "platform/base/user_constants.h"
#include "platform/gfx/edge.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"

namespace {

constexpr int32_t kGap = 4;
constexpr int32_t kThumbHalf = 3;

// The channel's colour at fraction f of the track: black to the full channel, or black to white for intensity.
pf::ColorRef ChannelColour(int32_t mode, double f)
{
    const auto level = static_cast<uint8_t>(std::lround(std::clamp(f, 0.0, 1.0) * 255.0));
    switch (mode) {
    case 0:
        return pf::rgb(level, 0, 0);
    case 1:
        return pf::rgb(0, level, 0);
    case 2:
        return pf::rgb(0, 0, level);
    default:
        return pf::rgb(level, level, level);
    }
}

} // namespace

void CVTND_RGBChannelScroll::Initialize()
{
    if (GetEdit() != nullptr || !isWindow())
        return;
    const pf::Rect client = clientRect();
    // A tab stop: a channel is typed as it is dragged, and without one the keyboard reached no colour of a material.
    auto* edit =
        pf::ui().createWindow({"edit",
                               "",
                               pf::WS_CHILD | pf::WS_VISIBLE | pf::WS_BORDER | pf::WS_TABSTOP | pf::ES_AUTOHSCROLL,
                               0,
                               {client.r - kEditWidth, 0, client.r, client.b},
                               hwnd(),
                               kEditId});
    if (edit != nullptr)
        ShowValueText();
}

pf::Edit* CVTND_RGBChannelScroll::GetEdit() const
{
    return dynamic_cast<pf::Edit*>(child(kEditId));
}

pf::Rect CVTND_RGBChannelScroll::TrackRect() const
{
    const pf::Rect client = clientRect();
    return {client.l, client.t, std::max(client.l, client.r - kEditWidth - kGap), client.b};
}

void CVTND_RGBChannelScroll::SetValue(float value, int32_t mode)
{
    m_mode = mode >= 0 && mode <= 2 ? mode : 3;
    m_value = std::isfinite(value) ? value : 0.0f;
    ShowValueText();
    invalidate(true);
}

void CVTND_RGBChannelScroll::ShowValueText()
{
    pf::Edit* edit = GetEdit();
    if (edit == nullptr)
        return;
    m_updating = true;
    edit->setText(m_mode <= 2 ? FormatNumberInt(static_cast<double>(m_value) * 255.0) : FormatNumberG(m_value));
    m_updating = false;
}

void CVTND_RGBChannelScroll::TakeValueAt(int32_t x)
{
    const pf::Rect track = TrackRect().inflatedBy(-(2 + kThumbHalf), 0);
    const double span = std::max<double>(1.0, static_cast<double>(track.width() - 1));
    m_value = static_cast<float>(std::clamp((x - track.l) / span, 0.0, 1.0));
    ShowValueText();
    invalidate(true);
}

void CVTND_RGBChannelScroll::ValueTyped()
{
    const pf::Edit* edit = GetEdit();
    if (edit == nullptr)
        return;
    // A colour channel shows whole bytes, so a fraction typed there would show as another number than it keeps.
    const bool bytes = m_mode <= 2;
    const double high = bytes ? 255.0 : std::numeric_limits<float>::max();
    const TypedNumber typed = ReadTypedNumber(edit->text(), 0.0, high);
    const pf::Hwnd self = hwnd();
    if (typed.kind != TypedKind::kNumber || (bytes && typed.value != std::trunc(typed.value))) {
        const auto kept = [this, bytes] {
            return bytes ? FormatNumberInt(static_cast<double>(m_value) * 255.0) : FormatNumberG(m_value);
        };
        RefuseTypedEdit(
            edit, kept,
            [this, self](const std::string&) {
                if (!isAlive(self, this))
                    return;
                ShowValueText();
                if (pf::Edit* shown = GetEdit())
                    shown->setSel(0, -1);
            },
            0.0, high, bytes);
        return;
    }
    BeginTypedEdit(edit, [this, self, before = m_value] {
        if (!isAlive(self, this))
            return;
        m_value = before;
        invalidate(true);
        Send(workspace_messages::kChannelChanged);
    });
    m_value = static_cast<float>(bytes ? typed.value / 255.0 : typed.value);
    invalidate(true); // the slider follows; the box keeps what the person is typing, which is what it holds
    Send(workspace_messages::kChannelChanged);
}

void CVTND_RGBChannelScroll::Send(uint32_t message)
{
    workspace_messages::SendToParent(*this, message, static_cast<pf::WParam>(id()),
                                     reinterpret_cast<pf::LParam>(&m_value));
}

pf::LResult CVTND_RGBChannelScroll::handle(const pf::Msg& msg)
{
    using namespace workspace_messages;
    const pf::Hwnd self = hwnd();
    switch (msg.message) {
    case pf::WM_CREATE:
        Initialize();
        return 0;
    case pf::WM_SIZE:
        if (pf::Edit* edit = GetEdit()) {
            const pf::Rect client = clientRect();
            edit->move({client.r - kEditWidth, 0, client.r, client.b});
        }
        return 0;
    case pf::WM_PAINT:
        Paint();
        return 0;
    case pf::WM_ERASEBKGND:
        return 1;
    case pf::WM_COMMAND:
        if (pf::loWord(msg.wParam) == kEditId && pf::hiWord(msg.wParam) == pf::EN_CHANGE && !m_updating)
            ValueTyped();
        return 0;
    case pf::WM_LBUTTONDOWN: {
        const pf::Point at = pf::pointFromLParam(msg.lParam);
        if (!isEnabled() || !TrackRect().contains(at))
            return 0;
        m_drag.Begin(*this);
        TakeValueAt(at.x);
        Send(kChannelDragging);
        return 0;
    }
    case pf::WM_MOUSEMOVE:
        if (m_drag.IsActive()) {
            TakeValueAt(pf::pointFromLParam(msg.lParam).x);
            Send(kChannelDragging);
        }
        return 0;
    case pf::WM_LBUTTONUP:
        if (m_drag.End(*this) && isAlive(self, this))
            Send(kChannelChanged);
        return 0;
    case pf::WM_CAPTURECHANGED:
        m_drag.CaptureChanged(msg, *this);
        return 0;
    default:
        return pf::Control::handle(msg);
    }
}

void CVTND_RGBChannelScroll::Paint()
{
    pf::PaintDc dc(*this);
    const pf::Rect client = clientRect();
    const pf::Rect track = TrackRect();
    dc.fillRect({track.r, client.t, std::max(track.r, client.r - kEditWidth), client.b},
                pf::createSolidBrush(pf::getSysColor(pf::COLOR_BTNFACE)));
    // The channel is a strip across the middle; the thumb stands the whole height over it.
    const int32_t strip = std::min<int32_t>(4, static_cast<int32_t>(track.height() / 4));
    dc.fillRect(track, pf::createSolidBrush(pf::getSysColor(pf::COLOR_BTNFACE)));
    const pf::Rect band = pf::drawEdge(dc, track.inflatedBy(0, -strip), pf::EdgeKind::kSunken);
    if (band.isEmpty())
        return;
    // One column at a time: the band is a few hundred pixels wide at most.
    const double span = std::max<double>(1.0, static_cast<double>(band.width() - 1));
    for (int32_t x = band.l; x < band.r; ++x)
        dc.fillRect({x, band.t, x + 1, band.b}, pf::createSolidBrush(ChannelColour(m_mode, (x - band.l) / span)));
    const pf::Rect inner = track.inflatedBy(-(2 + kThumbHalf), 0);
    const double shown = std::clamp(static_cast<double>(m_value), 0.0, 1.0);
    const int32_t x = inner.l + static_cast<int32_t>(std::lround(shown * std::max<int64_t>(0, inner.width() - 1)));
    const pf::Rect thumb{x - kThumbHalf, client.t, x + kThumbHalf + 1, client.b};
    dc.fillRect(thumb, pf::createSolidBrush(pf::getSysColor(pf::COLOR_BTNFACE)));
    pf::drawEdge(dc, thumb, pf::EdgeKind::kButton);
}
