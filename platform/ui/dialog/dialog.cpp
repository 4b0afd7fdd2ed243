#include "platform/ui/dialog/dialog.h"

#include "platform/base/user_constants.h"
#include "platform/gfx/dc.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/controls/tab_control.h"
#include "platform/ui/providers/providers.h"

#include <algorithm>

namespace pf {

namespace {

Rect insetsOf(uint32_t style)
{
    Window probe;
    probe.setStyle(style);
    return probe.clientInsets();
}

} // namespace

bool Dialog::build(const DialogTemplate& tpl, Window* parent, bool showWhenVisible)
{
    m_idd = tpl.idd;
    m_ended = false;
    m_result = -1;
    const bool child = (tpl.style & WS_CHILD) != 0;
    const Rect insets = insetsOf(tpl.style);
    const int32_t width = tpl.size.cx + insets.l + insets.r;
    const int32_t height = tpl.size.cy + insets.t + insets.b;
    Rect rect = Rect::fromXywh(0, 0, width, height);
    if (!child) {
        // Centred over the owner, or on the screen, and kept on the screen.
        const Rect area = parent != nullptr ? parent->topLevel()->screenRect()
                                            : Rect{0, 0, getSystemMetrics(SM_CXSCREEN), getSystemMetrics(SM_CYSCREEN)};
        const int32_t x = std::max(0, area.l + static_cast<int32_t>((area.width() - width) / 2));
        const int32_t y = std::max(0, area.t + static_cast<int32_t>((area.height() - height) / 2));
        rect = Rect::fromXywh(x, y, width, height);
    }
    CreateParams params{
        "dialog", tpl.caption, tpl.style & ~WS_VISIBLE, 0, rect, parent != nullptr ? parent->hwnd() : kNoWindow, 0};
    if (!Window::create(params))
        return false;
    const Hwnd self = hwnd();
    for (const ControlDef& def : tpl.controls) {
        ui().createWindow(
            {def.cls, def.text, def.style | WS_CHILD | (def.visible ? WS_VISIBLE : 0u), 0, def.rc, self, def.id});
        if (ui().window(self) != this)
            return false;
    }
    const bool defaultFocus = send(WM_INITDIALOG, 0, 0) != 0;
    if (ui().window(self) != this)
        return false;
    if (defaultFocus && !child && !m_ended) {
        if (Window* first = nextTabStop(nullptr, false))
            ui().setFocus(first->hwnd());
    }
    if (showWhenVisible && (tpl.style & WS_VISIBLE) != 0 && ui().window(self) == this)
        show(SW_SHOW);
    return ui().window(self) == this;
}

bool Dialog::create(int32_t idd, Window* parent)
{
    const std::optional<DialogTemplate> tpl = resources().dialog(idd);
    if (!tpl)
        return false;
    m_modal = false;
    return build(*tpl, parent, true);
}

int32_t Dialog::doModal(int32_t idd, Window* owner)
{
    const std::optional<DialogTemplate> tpl = resources().dialog(idd);
    if (!tpl)
        return -1;
    const ModalScope modalRun;
    m_modal = true;
    Window* ownerTop = owner != nullptr ? owner->topLevel() : nullptr;
    const Hwnd ownerHwnd = ownerTop != nullptr ? ownerTop->hwnd() : kNoWindow;
    if (!build(*tpl, ownerTop, false))
        return m_ended ? m_result : -1;
    const Hwnd self = hwnd();
    if (!m_ended) {
        const bool ownerWasEnabled = ownerTop != nullptr && ownerTop->isEnabled();
        if (ownerWasEnabled)
            ownerTop->enable(false);
        show(SW_SHOW);
        if (ui().window(self) == this && !m_ended)
            ui().providers().modalDriver().run(*this);
        if (ui().window(self) == this && !m_ended) {
            ui().reportStrictFailure("modal dialog " + std::to_string(m_idd) + " was left open by its driver");
            m_ended = true;
            m_result = IDCANCEL;
        }
        if (ownerWasEnabled && ui().window(ownerHwnd) == ownerTop)
            ownerTop->enable(true);
    }
    if (ui().window(self) == this)
        destroy();
    if (ui().window(ownerHwnd) != nullptr && ui().window(ownerHwnd)->isVisible())
        ui().activate(ownerHwnd);
    return m_result;
}

void Dialog::endDialog(int32_t result)
{
    m_result = result;
    m_ended = true;
    if (!m_modal)
        show(SW_HIDE);
}

bool Dialog::updateData(bool save)
{
    m_saving = save;
    doDataExchange();
    m_saving = false;
    return true;
}

void Dialog::onOK()
{
    if (updateData(true))
        endDialog(IDOK);
}

void Dialog::onCancel()
{
    endDialog(IDCANCEL);
}

namespace {

bool isShownAndEnabled(const Window& w)
{
    return (w.style() & WS_VISIBLE) != 0 && w.isEnabled();
}

bool isRadio(const Window* w)
{
    const auto* button = dynamic_cast<const Button*>(w);
    return button != nullptr && button->isRadio();
}

// A radio group is one stop, entered at its checked button; the member with the tab stop when none is checked.
Window* radioGroupStop(Window& member)
{
    for (Window* w : groupOf(member)) {
        auto* radio = dynamic_cast<Button*>(w);
        if (radio != nullptr && radio->isRadio() && radio->getCheck() == BST_CHECKED && isShownAndEnabled(*radio))
            return radio;
    }
    return &member;
}

// The tab stops under parent in tab order. A page, or a control made of controls, offers the stops inside it in its
// own place, so that every control a person sees in the dialog is reached whatever window holds it.
void collectTabStops(const Window& parent, std::vector<Window*>& out)
{
    for (const Hwnd h : parent.children()) {
        Window* w = ui().window(h);
        if (w == nullptr || !isShownAndEnabled(*w))
            continue;
        const size_t before = out.size();
        collectTabStops(*w, out);
        if (out.size() != before || (w->style() & WS_TABSTOP) == 0)
            continue;
        out.push_back(isRadio(w) ? radioGroupStop(*w) : w);
    }
}

// Whether `stop` is where `focus` stands in the tab order: the stop itself, a part of it (a combo box's edit), or
// another button of its radio group.
bool standsAt(const Window* stop, Window* focus)
{
    if (stop == focus || focus->isDescendantOf(stop))
        return true;
    if (!isRadio(stop) || !isRadio(focus))
        return false;
    const std::vector<Window*> group = groupOf(*focus);
    return std::find(group.begin(), group.end(), stop) != group.end();
}

} // namespace

std::vector<Window*> Dialog::tabStops() const
{
    std::vector<Window*> stops;
    collectTabStops(*this, stops);
    return stops;
}

Window* Dialog::nextTabStop(Window* from, bool backwards) const
{
    const std::vector<Window*> stops = tabStops();
    if (stops.empty())
        return nullptr;
    const auto at = from == nullptr ? stops.end()
                                    : std::find_if(stops.begin(), stops.end(),
                                                   [from](const Window* stop) { return standsAt(stop, from); });
    if (at == stops.end())
        return backwards ? stops.back() : stops.front();
    const size_t i = static_cast<size_t>(at - stops.begin());
    return stops[backwards ? (i + stops.size() - 1) % stops.size() : (i + 1) % stops.size()];
}

Window* Dialog::defaultButton() const
{
    for (const Hwnd h : children()) {
        Window* w = ui().window(h);
        if (w != nullptr && w->className() == "button" && (w->style() & 0xF) == BS_DEFPUSHBUTTON)
            return w;
    }
    return child(IDOK);
}

void Dialog::gotoControl(Window* control)
{
    if (control == nullptr)
        return;
    ui().setFocus(control->hwnd());
    if (auto* edit = dynamic_cast<Edit*>(control))
        edit->setSel(0, -1);
}

bool Dialog::isWantReturnEdit(const Window* w) const
{
    return w != nullptr && dynamic_cast<const Edit*>(w) != nullptr &&
           (w->style() & (ES_MULTILINE | ES_WANTRETURN)) == (ES_MULTILINE | ES_WANTRETURN);
}

bool Dialog::isOutermostDialog() const
{
    for (const Window* p = parent(); p != nullptr; p = p->parent())
        if (dynamic_cast<const Dialog*>(p) != nullptr)
            return false;
    return true;
}

void Dialog::tabFrom(Window* focus, bool backwards)
{
    Window* next = nextTabStop(focus != nullptr && focus->isDescendantOf(this) ? focus : nullptr, backwards);
    if (next == nullptr)
        return;
    const Hwnd nextHwnd = next->hwnd();
    gotoControl(next);
    if (ui().window(nextHwnd) == next)
        showControl(*next);
}

TabControl* Dialog::pageTabs() const
{
    std::vector<const Window*> pending{this};
    while (!pending.empty()) {
        const Window* w = pending.back();
        pending.pop_back();
        const std::vector<Hwnd>& kids = w->children();
        for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
            Window* kid = ui().window(*it);
            if (kid == nullptr || !isShownAndEnabled(*kid))
                continue;
            if (auto* tabs = dynamic_cast<TabControl*>(kid); tabs != nullptr && tabs->getItemCount() > 1)
                return tabs;
            pending.push_back(kid);
        }
    }
    return nullptr;
}

bool Dialog::turnPage(bool backwards)
{
    TabControl* tabs = pageTabs();
    if (tabs == nullptr)
        return false;
    const Hwnd tabsHwnd = tabs->hwnd();
    const int32_t count = tabs->getItemCount();
    tabs->selectAsUser((tabs->getCurSel() + (backwards ? count - 1 : 1)) % count);
    // A focus left on the page that went away would take keys unseen: it moves to the tabs.
    Window* focus = ui().window(ui().focus());
    if (ui().window(tabsHwnd) == tabs && (focus == nullptr || !focus->isVisible()))
        ui().setFocus(tabsHwnd);
    return true;
}

// The outermost dialog takes the keys of the pages inside it. A page in a window of another kind (a panel of a
// frame) walks its own controls with Tab, and leaves Enter and Esc to the window that holds it.
bool Dialog::preTranslateMessage(const Msg& msg)
{
    if ((msg.message != WM_KEYDOWN && msg.message != WM_CHAR) || !isOutermostDialog())
        return false;
    const bool page = (style() & WS_CHILD) != 0;
    Window* focus = ui().window(ui().focus());
    if (msg.message == WM_CHAR)
        return msg.wParam == '\t' || (!page && ((msg.wParam == '\r' && !isWantReturnEdit(focus)) || msg.wParam == 27));
    if (msg.wParam == VK_TAB) {
        // Ctrl+Tab in a panel without tabs is the frame's, which brings another child window forward.
        if (ui().getKeyState(VK_CONTROL) < 0)
            return turnPage(ui().getKeyState(VK_SHIFT) < 0) || !page;
        tabFrom(focus, ui().getKeyState(VK_SHIFT) < 0);
        return true;
    }
    if (page)
        return false;
    switch (msg.wParam) {
    case VK_RETURN: {
        if (isWantReturnEdit(focus))
            return false;
        // A push button that has the focus is the one Return presses; elsewhere the default button is.
        if (auto* pushButton = dynamic_cast<Button*>(focus); pushButton != nullptr && pushButton->isPushButton()) {
            pushButton->send(BM_CLICK); // to the page or dialog that holds it, as a click would
            return true;
        }
        Window* button = defaultButton();
        if (button != nullptr && !button->isEnabled())
            return true;
        const int32_t id = button != nullptr ? button->id() : IDOK;
        send(WM_COMMAND, makeWParam(id, BN_CLICKED), button != nullptr ? static_cast<LParam>(button->hwnd()) : 0);
        return true;
    }
    case VK_ESCAPE: {
        Window* cancel = child(IDCANCEL);
        const Hwnd self = hwnd();
        const bool modal = m_modal;
        send(WM_COMMAND, makeWParam(IDCANCEL, BN_CLICKED), cancel != nullptr ? static_cast<LParam>(cancel->hwnd()) : 0);
        // A modeless window without a Cancel button that Cancel left open closes as by its close box.
        if (cancel == nullptr && !modal && ui().window(self) == this && isVisible())
            send(WM_CLOSE);
        return true;
    }
    default:
        return false;
    }
}

LResult Dialog::handle(const Msg& msg)
{
    switch (msg.message) {
    case WM_INITDIALOG:
        return onInitDialog() ? 1 : 0;
    case WM_COMMAND:
        if (hiWord(msg.wParam) == BN_CLICKED && loWord(msg.wParam) == IDOK) {
            onOK();
            return 0;
        }
        if (hiWord(msg.wParam) == BN_CLICKED && loWord(msg.wParam) == IDCANCEL) {
            onCancel();
            return 0;
        }
        return 0;
    case WM_CLOSE:
        onCancel();
        return 0;
    case WM_ERASEBKGND: {
        Dc* dc = dcFromWParam(msg.wParam);
        if (dc == nullptr)
            return 0;
        const Brush* brush = brushFromResult(send(WM_CTLCOLORDLG, msg.wParam, static_cast<LParam>(hwnd())));
        if (brush == nullptr)
            dc->fillRect(clientRect(), createSolidBrush(getSysColor(COLOR_BTNFACE)));
        else if (!brush->isHollow())
            dc->fillRect(clientRect(), *brush);
        return 1;
    }
    case WM_SETFOCUS:
        // The dialog passes the focus on to a control: the first tab stop.
        if ((style() & WS_CHILD) == 0)
            if (Window* first = nextTabStop(nullptr, false))
                ui().setFocus(first->hwnd());
        return 0;
    default:
        return Window::handle(msg);
    }
}

void Dialog::ddxText(int32_t id, std::string& value)
{
    Window* w = child(id);
    if (w == nullptr)
        return;
    if (m_saving)
        value = w->text();
    else
        w->setText(value);
}

void Dialog::ddxCheck(int32_t id, int32_t& value)
{
    auto* b = item<Button>(id);
    if (b == nullptr)
        return;
    if (m_saving)
        value = b->getCheck();
    else
        b->setCheck(value);
}

void Dialog::ddxRadio(int32_t firstId, int32_t& value)
{
    Window* first = child(firstId);
    if (first == nullptr)
        return;
    std::vector<Button*> radios;
    const std::vector<Window*> group = groupOf(*first);
    for (auto it = std::find(group.begin(), group.end(), first); it != group.end(); ++it)
        if (auto* b = dynamic_cast<Button*>(*it); b != nullptr && b->isRadio())
            radios.push_back(b);
    if (m_saving) {
        value = -1;
        for (size_t i = 0; i < radios.size(); ++i)
            if (radios[i]->getCheck() == BST_CHECKED)
                value = static_cast<int32_t>(i);
        return;
    }
    for (size_t i = 0; i < radios.size(); ++i)
        radios[i]->setCheck(static_cast<int32_t>(i) == value ? BST_CHECKED : BST_UNCHECKED);
}

void Dialog::ddxCbIndex(int32_t id, int32_t& value)
{
    auto* combo = item<ComboBox>(id);
    if (combo == nullptr)
        return;
    if (m_saving)
        value = combo->getCurSel();
    else
        combo->setCurSel(value);
}

} // namespace pf
