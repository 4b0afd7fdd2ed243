#include "platform/ui/controls/edit.h"

#include "platform/base/user_constants.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"

#include <algorithm>
#include <optional>

namespace pf {

namespace {

std::string utf8Of(char32_t c)
{
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x110000) {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

// The start of the code point before `at`: continuation bytes are 10xxxxxx.
int32_t previousCodePoint(const std::string& s, int32_t at)
{
    int32_t i = at - 1;
    while (i > 0 && (static_cast<uint8_t>(s[static_cast<size_t>(i)]) & 0xC0) == 0x80)
        --i;
    return std::max(0, i);
}

int32_t nextCodePoint(const std::string& s, int32_t at)
{
    int32_t i = at + 1;
    while (i < static_cast<int32_t>(s.size()) && (static_cast<uint8_t>(s[static_cast<size_t>(i)]) & 0xC0) == 0x80)
        ++i;
    return std::min<int32_t>(i, static_cast<int32_t>(s.size()));
}

std::string g_clipboard; // the layer's clipboard: text only, the user-interface thread only

} // namespace

bool Edit::isMultiLine() const
{
    return (style() & ES_MULTILINE) != 0;
}

bool Edit::isReadOnly() const
{
    return (style() & ES_READONLY) != 0;
}

void Edit::setReadOnly(bool on)
{
    setStyle(on ? (style() | ES_READONLY) : (style() & ~ES_READONLY));
    invalidate(true);
}

void Edit::clampSelection()
{
    const int32_t size = static_cast<int32_t>(text().size());
    m_selStart = std::clamp(m_selStart, 0, size);
    m_selEnd = std::clamp(m_selEnd, 0, size);
    if (m_selStart > m_selEnd)
        std::swap(m_selStart, m_selEnd);
    if (m_caret != m_selStart)
        m_caret = m_selEnd;
}

void Edit::setSel(int32_t start, int32_t end)
{
    m_selStart = start;
    m_selEnd = end < 0 ? static_cast<int32_t>(text().size()) : end;
    if (start < 0)
        m_selStart = m_selEnd = static_cast<int32_t>(text().size()); // -1 start: no selection, caret at the end
    const bool caretFirst = m_selStart > m_selEnd;
    clampSelection();
    m_caret = caretFirst ? m_selStart : m_selEnd;
    invalidate(true);
}

int32_t Edit::anchor() const
{
    return m_caret == m_selStart ? m_selEnd : m_selStart;
}

void Edit::moveCaret(int32_t to, bool extend)
{
    const int32_t from = extend ? anchor() : to;
    m_caret = to;
    m_selStart = std::min(from, to);
    m_selEnd = std::max(from, to);
}

void Edit::limitText(int32_t maxBytes)
{
    m_limit = std::max(0, maxBytes);
}

bool Edit::insertByUser(std::string_view insert)
{
    clampSelection();
    const std::string& current = text();
    const size_t after = current.size() - static_cast<size_t>(m_selEnd - m_selStart) + insert.size();
    if (m_limit > 0 && after > static_cast<size_t>(m_limit) && !insert.empty())
        return false;
    if (insert.empty() && m_selStart == m_selEnd)
        return false;
    beforeUserEdit();
    std::string next = current.substr(0, static_cast<size_t>(m_selStart));
    next.append(insert);
    next.append(current.substr(static_cast<size_t>(m_selEnd)));
    m_selStart = m_selEnd = m_caret = m_selStart + static_cast<int32_t>(insert.size());
    Window::defaultHandle({hwnd(), WM_SETTEXT, 0, reinterpret_cast<LParam>(next.c_str())});
    textChanged(true);
    return true;
}

void Edit::replaceSel(std::string_view text)
{
    insertByUser(text);
}

void Edit::paste()
{
    if (!isReadOnly())
        insertByUser(g_clipboard);
}

void Edit::cut()
{
    copy();
    if (!isReadOnly() && m_selEnd > m_selStart)
        insertByUser({});
}

void Edit::copy() const
{
    if (m_selEnd > m_selStart)
        g_clipboard = text().substr(static_cast<size_t>(m_selStart), static_cast<size_t>(m_selEnd - m_selStart));
}

void Edit::textChanged(bool byUser)
{
    if (byUser || !isMultiLine())
        notifyCommand(EN_CHANGE);
}

void Edit::onChar(char32_t c)
{
    if (isReadOnly())
        return;
    if (c == '\b') {
        clampSelection();
        if (m_selStart == m_selEnd && m_selStart > 0)
            m_selStart = previousCodePoint(text(), m_selStart);
        insertByUser({});
        return;
    }
    if (c == '\r' || c == '\n') {
        if (isMultiLine())
            insertByUser("\r\n");
        return;
    }
    if (c < 32 || c == 127)
        return; // control characters are keys, not text
    if ((style() & ES_NUMBER) != 0 && (c < '0' || c > '9'))
        return;
    insertByUser(utf8Of(c));
}

void Edit::onKeyDown(uint8_t vk)
{
    const bool control = ui().getKeyState(VK_CONTROL) < 0;
    const bool shift = ui().getKeyState(VK_SHIFT) < 0;
    const int32_t size = static_cast<int32_t>(text().size());
    clampSelection();
    const bool collapse = !shift && m_selStart != m_selEnd; // an arrow alone ends a selection at its own side
    switch (vk) {
    case VK_LEFT:
        moveCaret(collapse ? m_selStart : previousCodePoint(text(), m_caret), shift);
        break;
    case VK_RIGHT:
        moveCaret(collapse ? m_selEnd : nextCodePoint(text(), m_caret), shift);
        break;
    case VK_HOME:
        moveCaret(0, shift);
        break;
    case VK_END:
        moveCaret(size, shift);
        break;
    case VK_DELETE:
        if (isReadOnly())
            return;
        if (m_selStart == m_selEnd && m_selEnd < size)
            m_selEnd = nextCodePoint(text(), m_selEnd);
        insertByUser({});
        return;
    case 'V':
        if (control)
            paste();
        return;
    case 'C':
        if (control)
            copy();
        return;
    case 'X':
        if (control)
            cut();
        return;
    case 'A':
        if (control)
            setSel(0, -1);
        return;
    default:
        return;
    }
    invalidate(true);
}

LResult Edit::handle(const Msg& msg)
{
    const Hwnd self = hwnd();
    switch (msg.message) {
    case WM_PAINT:
        paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SETTEXT:
        Window::defaultHandle(msg);
        m_selStart = m_selEnd = m_caret = m_scrollX = 0;
        textChanged(false);
        return isAlive(self, this) ? 1 : 0;
    case WM_CHAR:
        onChar(static_cast<char32_t>(msg.wParam));
        return 0;
    case WM_KEYDOWN:
        onKeyDown(static_cast<uint8_t>(msg.wParam));
        return 0;
    case WM_LBUTTONDOWN:
        ui().setFocus(self);
        if (isAlive(self, this))
            setSel(-1, -1);
        return 0;
    case WM_PASTE:
        paste();
        return 0;
    case WM_COPY:
        copy();
        return 0;
    case EM_GETSEL:
        return makeLParam(m_selStart, m_selEnd);
    case EM_SETSEL:
        setSel(static_cast<int32_t>(static_cast<intptr_t>(msg.wParam)), static_cast<int32_t>(msg.lParam));
        return 0;
    case EM_REPLACESEL:
        replaceSel(msg.lParam != 0 ? reinterpret_cast<const char*>(msg.lParam) : "");
        return 0;
    case EM_LIMITTEXT:
        limitText(static_cast<int32_t>(msg.wParam));
        return 0;
    case EM_SETREADONLY:
        setReadOnly(msg.wParam != 0);
        return 1;
    default:
        return Control::handle(msg);
    }
}

// Keeps the caret in the field: text scrolls by whole pixels, as far as the caret asks and no further than the end
// of its line allows. A multi-line edit scrolls all its lines along the caret's, which a long expression ran past.
void Edit::scrollToCaret(const Dc& dc, int32_t room)
{
    const std::string_view s = text();
    const auto caret = static_cast<size_t>(m_caret);
    size_t first = 0;
    size_t last = s.size();
    if (isMultiLine()) {
        const size_t before = s.substr(0, caret).find_last_of("\r\n");
        first = before == std::string_view::npos ? 0 : before + 1;
        last = std::min(s.find_first_of("\r\n", caret), s.size());
    }
    const std::string_view line = s.substr(first, last - first);
    const auto widthOf = [&dc](std::string_view t) { return static_cast<int32_t>(dc.getTextExtent(t).cx); };
    const int32_t caretX = widthOf(line.substr(0, caret - first));
    if (caretX - m_scrollX > room)
        m_scrollX = caretX - room;
    if (caretX < m_scrollX)
        m_scrollX = std::max(0, caretX - room / 3); // going left shows some of what comes before
    m_scrollX = std::clamp(m_scrollX, 0, std::max(0, widthOf(line) - room));
}

// One line of text from byte `first` at (x, y); the part of the selection it holds, while the edit has the focus,
// in the highlight colours.
void Edit::paintLine(Dc& dc, int32_t x, int32_t y, size_t first, std::string_view line)
{
    dc.textOut(x, y, line);
    if (ui().focus() != hwnd())
        return;
    const auto lineStart = static_cast<int32_t>(first);
    const int32_t from = std::clamp(m_selStart - lineStart, 0, static_cast<int32_t>(line.size()));
    const int32_t to = std::clamp(m_selEnd - lineStart, 0, static_cast<int32_t>(line.size()));
    if (from >= to)
        return;
    const std::string_view chosen = line.substr(static_cast<size_t>(from), static_cast<size_t>(to - from));
    const int32_t left = x + static_cast<int32_t>(dc.getTextExtent(line.substr(0, static_cast<size_t>(from))).cx);
    const Size extent = dc.getTextExtent(chosen);
    dc.fillRect({left, y, left + static_cast<int32_t>(extent.cx), y + static_cast<int32_t>(extent.cy)},
                createSolidBrush(getSysColor(COLOR_HIGHLIGHT)));
    const ColorRef saved = dc.setTextColor(getSysColor(COLOR_HIGHLIGHTTEXT));
    dc.textOut(left, y, chosen);
    dc.setTextColor(saved);
}

void Edit::paint()
{
    PaintDc dc(*this);
    const Rect r = clientRect();
    const bool plain = isReadOnly() || !isEnabled();
    fillBackground(dc, r, plain ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT,
                   getSysColor(plain ? COLOR_BTNFACE : COLOR_WINDOW));
    if (!isEnabled())
        dc.setTextColor(getSysColor(COLOR_GRAYTEXT));
    dc.setBkMode(TRANSPARENT);
    const int32_t lineHeight = dc.getTextMetrics().tmHeight;
    const std::string& s = text();
    clampSelection();
    scrollToCaret(dc, std::max(0, static_cast<int32_t>(r.width()) - 5));
    const int32_t saved = dc.saveDc();
    dc.intersectClipRect(r);
    int32_t y = 1;
    size_t start = 0;
    std::optional<Point> caretAt; // where the caret's line shows it; none when that line is below the field
    for (;;) {
        size_t end = isMultiLine() ? s.find_first_of("\r\n", start) : std::string::npos;
        const std::string_view line =
            std::string_view(s).substr(start, end == std::string::npos ? std::string::npos : end - start);
        paintLine(dc, 2 - m_scrollX, y, start, line);
        const auto caretInLine = static_cast<size_t>(m_caret) - start;
        if (static_cast<size_t>(m_caret) >= start && caretInLine <= line.size())
            caretAt = Point{2 - m_scrollX + static_cast<int32_t>(dc.getTextExtent(line.substr(0, caretInLine)).cx), y};
        if (end == std::string::npos)
            break;
        start = end + ((s[end] == '\r' && end + 1 < s.size() && s[end + 1] == '\n') ? 2 : 1);
        y += lineHeight;
        if (y > r.b)
            break;
    }
    if (ui().focus() == hwnd() && caretAt)
        dc.fillRect({caretAt->x, caretAt->y, caretAt->x + 1, caretAt->y + lineHeight},
                    createSolidBrush(getSysColor(COLOR_WINDOWTEXT)));
    dc.restoreDc(saved);
    if ((style() & WS_BORDER) != 0)
        drawClientEdge(dc);
}

// ---- rich edit

uint32_t RichEdit::setEventMask(uint32_t mask)
{
    const uint32_t previous = m_eventMask;
    m_eventMask = mask;
    return previous;
}

bool RichEdit::undo()
{
    if (m_undo.empty())
        return false;
    const std::string previous = std::move(m_undo.back());
    m_undo.pop_back();
    Window::defaultHandle({hwnd(), WM_SETTEXT, 0, reinterpret_cast<LParam>(previous.c_str())});
    textChanged(true);
    return true;
}

void RichEdit::beforeUserEdit()
{
    m_undo.push_back(text());
}

void RichEdit::textChanged(bool /*byUser*/)
{
    if ((m_eventMask & ENM_CHANGE) != 0)
        notifyCommand(EN_CHANGE);
}

LResult RichEdit::handle(const Msg& msg)
{
    switch (msg.message) {
    case EM_SETEVENTMASK:
        return setEventMask(static_cast<uint32_t>(msg.lParam));
    case EM_GETEVENTMASK:
        return m_eventMask;
    case EM_UNDO:
        return undo() ? 1 : 0;
    case EM_CANUNDO:
        return canUndo() ? 1 : 0;
    default:
        return Edit::handle(msg);
    }
}

} // namespace pf
