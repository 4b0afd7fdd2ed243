#include "platform/ui/providers/live_color_dialog.h"

#include "platform/base/typed_number.h"
#include "platform/base/user_constants.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/controls/trackbar.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/resources.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/dialog/dialog.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace pf {

namespace {

// A grid of colour swatches; a click, or an arrow key while it has the focus, selects one and tells the parent with
// BN_CLICKED.
class SwatchGrid final : public Window {
public:
    explicit SwatchGrid(const std::array<ColorRef, 16>& colors) : m_colors(colors) {}

    int32_t selected() const { return m_selected; }
    void select(int32_t index)
    {
        m_selected = index;
        invalidate(false);
    }
    static Rect swatchRect(int32_t index)
    {
        const int32_t column = index % kSwatchColumns;
        const int32_t row = index / kSwatchColumns;
        return Rect::fromXywh(column * (kSwatchWidth + kSwatchGap), row * (kSwatchHeight + kSwatchGap), kSwatchWidth,
                              kSwatchHeight);
    }

    LResult handle(const Msg& msg) override
    {
        if (msg.message == WM_PAINT) {
            paint();
            return 0;
        }
        if (msg.message == WM_LBUTTONDOWN) {
            const Hwnd self = hwnd();
            ui().setFocus(self);
            const Point p = pointFromLParam(msg.lParam);
            for (int32_t i = 0; i < 16 && ui().window(self) == this; ++i)
                if (swatchRect(i).contains(p)) {
                    choose(i);
                    return 0;
                }
            return 0;
        }
        if (msg.message == WM_KEYDOWN) {
            moveByKey(static_cast<uint8_t>(msg.wParam));
            return 0;
        }
        if (msg.message == WM_SETFOCUS || msg.message == WM_KILLFOCUS) {
            invalidate(false);
            return 0;
        }
        return Window::handle(msg);
    }

private:
    void choose(int32_t index)
    {
        select(index);
        if (Window* parentWindow = parent())
            parentWindow->send(WM_COMMAND, makeWParam(static_cast<uint16_t>(id()), BN_CLICKED),
                               static_cast<LParam>(hwnd()));
    }

    // The arrows walk the rows and columns, stopping at the edges; the first arrow chooses the first swatch.
    void moveByKey(uint8_t vk)
    {
        const int32_t at = std::max(0, m_selected);
        int32_t column = at % kSwatchColumns;
        int32_t row = at / kSwatchColumns;
        if (vk == VK_LEFT || vk == VK_RIGHT)
            column = std::clamp(column + (vk == VK_LEFT ? -1 : 1), 0, kSwatchColumns - 1);
        else if (vk == VK_UP || vk == VK_DOWN)
            row = std::clamp(row + (vk == VK_UP ? -1 : 1), 0, 16 / kSwatchColumns - 1);
        else
            return;
        const int32_t next = m_selected < 0 ? 0 : row * kSwatchColumns + column;
        if (next != m_selected)
            choose(next);
    }

    void paint()
    {
        PaintDc dc(*this);
        dc.fillRect(clientRect(), createSolidBrush(getSysColor(COLOR_BTNFACE)));
        for (int32_t i = 0; i < 16; ++i) {
            const Rect r = swatchRect(i);
            dc.fillRect(r, createSolidBrush(m_colors[static_cast<size_t>(i)]));
            dc.draw3dRect(r, getSysColor(COLOR_BTNSHADOW), getSysColor(COLOR_BTNHIGHLIGHT));
            if (i == m_selected)
                dc.draw3dRect({r.l + 1, r.t + 1, r.r - 1, r.b - 1}, rgb(0, 0, 0), rgb(0, 0, 0));
        }
        if (ui().focus() == hwnd())
            dc.drawFocusRect(swatchRect(std::max(0, m_selected)).inflatedBy(1, 1).intersected(clientRect()));
    }

    const std::array<ColorRef, 16>& m_colors; // the dialog's or the basic ones, outliving the grid's window
    int32_t m_selected = -1;
};

class Preview final : public Window {
public:
    ColorRef color = 0;
    LResult handle(const Msg& msg) override
    {
        if (msg.message != WM_PAINT)
            return Window::handle(msg);
        PaintDc dc(*this);
        dc.fillRect(clientRect(), createSolidBrush(color));
        dc.draw3dRect(clientRect(), getSysColor(COLOR_BTNSHADOW), getSysColor(COLOR_BTNHIGHLIGHT));
        return 0;
    }
};

DialogTemplate colorDialogTemplate()
{
    DialogTemplate tpl;
    tpl.idd = kColorDialogIdd;
    tpl.caption = "Colour";
    tpl.size = {430, 276};
    tpl.style = WS_POPUP | WS_CAPTION;
    tpl.controls = {
        {"static", -1, {10, 8, 220, 24}, SS_LEFT, "Basic colours:"},
        {"static", -1, {10, 82, 220, 98}, SS_LEFT, "Custom colours:"},
        {"button", kColorAddCustomId, {10, 152, 218, 176}, WS_TABSTOP, "Add to custom colours"},
    };
    const char* const names[3] = {"Red:", "Green:", "Blue:"};
    for (int32_t i = 0; i < 3; ++i) {
        const int32_t y = 100 + i * 34;
        tpl.controls.push_back({"static", -1, {240, y + 4, 285, y + 20}, SS_LEFT, names[i]});
        tpl.controls.push_back({"trackbar", kColorTrackFirstId + i, {285, y, 370, y + 26}, WS_TABSTOP, ""});
        tpl.controls.push_back({"edit", kColorEditFirstId + i, {375, y + 2, 420, y + 22}, WS_BORDER | WS_TABSTOP, ""});
    }
    // One line across the dialog: a static writes no second one, and beside the buttons the reason was cut.
    tpl.controls.push_back({"static", kColorReasonId, {10, 246, 420, 266}, SS_LEFT, ""});
    tpl.controls.push_back({"button", IDOK, {250, 212, 330, 236}, WS_TABSTOP | BS_DEFPUSHBUTTON, "OK"});
    tpl.controls.push_back({"button", IDCANCEL, {340, 212, 420, 236}, WS_TABSTOP, "Cancel"});
    return tpl;
}

class ColorDialog final : public Dialog {
public:
    ColorDialog(ColorRef initial, const std::array<ColorRef, 16>& custom) : m_color(initial), m_custom(custom) {}
    ~ColorDialog() override { ui().removeObserver(this); }

    ColorRef color() const { return m_color; }
    const std::array<ColorRef, 16>& custom() const { return m_custom; }

protected:
    bool onInitDialog() override
    {
        const int32_t gridWidth = kSwatchColumns * (kSwatchWidth + kSwatchGap);
        const int32_t gridHeight = 2 * (kSwatchHeight + kSwatchGap);
        const std::vector<Hwnd> templateControls = children();
        m_basic.create({"window", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0,
                        Rect::fromXywh(10, 28, gridWidth, gridHeight), hwnd(), kColorBasicGridId});
        m_customGrid.create({"window", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0,
                             Rect::fromXywh(10, 102, gridWidth, gridHeight), hwnd(), kColorCustomGridId});
        // The grids come first in the tab order, as they stand first on the screen: the rest go above them.
        for (const Hwnd h : templateControls)
            if (Window* w = ui().window(h))
                w->setPos(HWND_TOP, {}, SWP_NOMOVE | SWP_NOSIZE);
        m_preview.create({"window", "", WS_CHILD | WS_VISIBLE, 0, {240, 10, 420, 84}, hwnd(), kColorPreviewId});
        for (int32_t i = 0; i < 3; ++i)
            item<Trackbar>(kColorTrackFirstId + i)->setRange(0, 255);
        const auto it = std::find(basicColors().begin(), basicColors().end(), m_color);
        if (it != basicColors().end())
            m_basic.select(static_cast<int32_t>(it - basicColors().begin()));
        show(m_color);
        // A typing ends as the focus leaves its edit: a later one keeps what the channel holds then, not what it held
        // before an earlier typing, and a refused text gives way to the channel's number.
        ui().addObserver(this, [this, self = hwnd()](const Msg& msg) {
            if (msg.message != WM_KILLFOCUS || ui().window(self) != this)
                return;
            for (int32_t i = 0; i < 3; ++i) {
                Window* edit = child(kColorEditFirstId + i);
                if (edit == nullptr || edit->hwnd() != msg.hwnd)
                    continue;
                m_typing = -1;
                if (channelTyped(i) != channelOf(m_color, i)) {
                    ++m_updating;
                    edit->setText(std::to_string(channelOf(m_color, i)));
                    --m_updating;
                }
            }
        });
        return true;
    }

    LResult handle(const Msg& msg) override
    {
        if (msg.message == WM_HSCROLL && m_updating == 0) {
            ColorRef c = m_color;
            for (int32_t i = 0; i < 3; ++i)
                if (static_cast<Hwnd>(msg.lParam) == child(kColorTrackFirstId + i)->hwnd())
                    c = withChannel(c, i, item<Trackbar>(kColorTrackFirstId + i)->getPos());
            show(c);
            return 0;
        }
        if (msg.message == WM_COMMAND && m_updating == 0) {
            const int32_t id = loWord(msg.wParam);
            const int32_t code = hiWord(msg.wParam);
            if (id == kColorBasicGridId && code == BN_CLICKED) {
                show(basicColors()[static_cast<size_t>(m_basic.selected())]);
                return 0;
            }
            if (id == kColorCustomGridId && code == BN_CLICKED) {
                show(m_custom[static_cast<size_t>(m_customGrid.selected())]);
                return 0;
            }
            if (id == kColorAddCustomId && code == BN_CLICKED) {
                addCustom();
                return 0;
            }
            if (id >= kColorEditFirstId && id < kColorEditFirstId + 3 && code == EN_CHANGE) {
                editChanged(id - kColorEditFirstId);
                return 0;
            }
        }
        return Dialog::handle(msg);
    }

private:
    static ColorRef withChannel(ColorRef c, int32_t channel, int32_t value)
    {
        const auto v = static_cast<uint8_t>(std::clamp(value, 0, 255));
        return rgb(channel == 0 ? v : getRValue(c), channel == 1 ? v : getGValue(c), channel == 2 ? v : getBValue(c));
    }
    static int32_t channelOf(ColorRef c, int32_t channel)
    {
        return channel == 0 ? getRValue(c) : channel == 1 ? getGValue(c) : getBValue(c);
    }

    void onOK() override
    {
        // A refused text still in an edit: the channel keeps its number, which the edit shows again.
        for (int32_t i = 0; i < 3; ++i) {
            Window* edit = child(kColorEditFirstId + i);
            if (channelTyped(i) != channelOf(m_color, i)) {
                show(m_color);
                refuse(i, channelOf(m_color, i));
                gotoControl(edit);
                return;
            }
        }
        Dialog::onOK();
    }

    // Puts the colour into every control except the one the user is typing in; a change by other means than
    // typing ends the typing.
    void show(ColorRef c, int32_t typingChannel = -1)
    {
        ++m_updating;
        if (typingChannel < 0) {
            m_typing = -1;
            child(kColorReasonId)->setText("");
        }
        m_color = c;
        for (int32_t i = 0; i < 3; ++i) {
            item<Trackbar>(kColorTrackFirstId + i)->setPos(channelOf(c, i));
            if (i != typingChannel)
                child(kColorEditFirstId + i)->setText(std::to_string(channelOf(c, i)));
        }
        m_preview.color = c;
        m_preview.invalidate(false);
        --m_updating;
    }

    // Each number typed is shown at once; the channel's number from before the typing is kept for a refusal, so
    // that "2147483600" leaves the channel as it was rather than at the "21" typed on the way.
    void editChanged(int32_t channel)
    {
        if (m_typing != channel) {
            m_typing = channel;
            m_before = channelOf(m_color, channel);
        }
        const TypedNumber typed = ReadTypedWholeNumber(child(kColorEditFirstId + channel)->text(), 0.0, 255.0);
        if (typed.kind == TypedKind::kNumber) {
            child(kColorReasonId)->setText("");
            show(withChannel(m_color, channel, static_cast<int32_t>(typed.value)), channel);
            return;
        }
        if (typed.kind == TypedKind::kUnfinished)
            return; // "", "+" and "-" are where more typing starts: the channel keeps what it has
        show(withChannel(m_color, channel, m_before), channel);
        refuse(channel, m_before);
    }

    // The number an edit holds as the designer's fields read one (" 3", "+5", "5."); -1 for any other text.
    int32_t channelTyped(int32_t channel)
    {
        const TypedNumber typed = ReadTypedWholeNumber(child(kColorEditFirstId + channel)->text(), 0.0, 255.0);
        return typed.kind == TypedKind::kNumber ? static_cast<int32_t>(typed.value) : -1;
    }

    void refuse(int32_t channel, int32_t kept)
    {
        static const char* const names[3] = {"Red", "Green", "Blue"};
        child(kColorReasonId)
            ->setText(std::string(names[channel]) + " takes a whole number from 0 to 255, and keeps " +
                      std::to_string(kept) + ".");
    }

    void addCustom()
    {
        int32_t slot = m_customGrid.selected();
        if (slot < 0)
            slot = m_nextCustom;
        m_custom[static_cast<size_t>(slot)] = m_color;
        m_nextCustom = (slot + 1) % 16;
        m_customGrid.select(m_nextCustom);
    }

    ColorRef m_color;
    std::array<ColorRef, 16> m_custom;
    SwatchGrid m_basic{basicColors()};
    SwatchGrid m_customGrid{m_custom};
    Preview m_preview;
    int32_t m_nextCustom = 0;
    int m_updating = 0;
    int32_t m_typing = -1; // the channel being typed into
    int32_t m_before = 0;  // its number before the typing
};

} // namespace

const std::array<ColorRef, 16>& basicColors()
{
    static const std::array<ColorRef, 16> colors = {
        rgb(0, 0, 0),     rgb(128, 0, 0),     rgb(0, 128, 0),     rgb(128, 128, 0),   rgb(0, 0, 128), rgb(128, 0, 128),
        rgb(0, 128, 128), rgb(192, 192, 192), rgb(128, 128, 128), rgb(255, 0, 0),     rgb(0, 255, 0), rgb(255, 255, 0),
        rgb(0, 0, 255),   rgb(255, 0, 255),   rgb(0, 255, 255),   rgb(255, 255, 255),
    };
    return colors;
}

std::optional<ColorRef> LiveColorDialog::choose(const ColorDialogRequest& request)
{
    std::array<ColorRef, 16> custom;
    custom.fill(rgb(255, 255, 255));
    if (request.custom != nullptr)
        custom = *request.custom;
    resources().addDialog(colorDialogTemplate());
    ColorDialog dialog((request.flags & CC_RGBINIT) != 0 ? request.initial : rgb(0, 0, 0), custom);
    if (dialog.doModal(kColorDialogIdd, ui().window(request.owner)) != IDOK)
        return std::nullopt;
    if (request.custom != nullptr)
        *request.custom = dialog.custom();
    return dialog.color();
}

} // namespace pf
