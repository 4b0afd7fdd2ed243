#pragma once
// Single- and multi-line edits. setText (WM_SETTEXT) sends EN_CHANGE after the change without comparing texts,
// except on an ES_MULTILINE edit; every user edit that changes the text (a character, backspace, delete, paste,
// replaceSel) sends exactly one EN_CHANGE. limitText limits user input only, counted in UTF-8 bytes. A user Enter
// in a multi-line edit inserts "\r\n"; multi-line text is kept as given. The selection shows in the highlight colours
// while the edit has the focus; Shift with the arrows, Home and End moves one end of it (the caret); Ctrl+A, Ctrl+C,
// Ctrl+X and Ctrl+V select all, copy, cut and paste; a one-line edit scrolls its text to keep the caret in view.
#include "platform/ui/controls/control.h"

#include <string>

namespace pf {

class Edit : public Control {
public:
    void setSel(int32_t start, int32_t end); // byte offsets; -1 end selects to the end
    std::pair<int32_t, int32_t> getSel() const { return {m_selStart, m_selEnd}; }
    void replaceSel(std::string_view text); // a user edit: EN_CHANGE
    void limitText(int32_t maxBytes);       // 0: no limit
    int32_t limit() const { return m_limit; }
    bool isMultiLine() const;
    bool isReadOnly() const;
    void setReadOnly(bool on);
    void paste(); // the layer's clipboard text, as a user edit
    void copy() const;
    void cut();                                            // copy, then the selection removed as a user edit
    int32_t caret() const { return m_caret; }              // one end of the selection; Shift with a caret key moves it
    int32_t horizontalScroll() const { return m_scrollX; } // pixels of the text left of the field

protected:
    LResult handle(const Msg& msg) override;
    virtual void textChanged(bool byUser);    // sends EN_CHANGE as the kind's rule says
    virtual void beforeUserEdit() {}          // the rich edit keeps its undo step here
    bool insertByUser(std::string_view text); // false when refused (read-only, over the limit)

private:
    void paint();
    void paintLine(Dc& dc, int32_t x, int32_t y, size_t first, std::string_view line);
    void scrollToCaret(const Dc& dc, int32_t room);
    void onChar(char32_t c);
    void onKeyDown(uint8_t vk);
    void clampSelection();
    int32_t anchor() const; // the end of the selection the caret is not at
    void moveCaret(int32_t to, bool extend);

    int32_t m_selStart = 0;
    int32_t m_selEnd = 0;
    int32_t m_caret = 0;   // m_selStart or m_selEnd
    int32_t m_scrollX = 0; // kept by painting, where text widths are known
    int32_t m_limit = 0;
};

// Rich edit: an edit with an undo stack; EN_CHANGE only when its event mask holds ENM_CHANGE.
class RichEdit : public Edit {
public:
    uint32_t setEventMask(uint32_t mask); // returns the previous mask
    bool canUndo() const { return !m_undo.empty(); }
    bool undo();

protected:
    LResult handle(const Msg& msg) override;
    void textChanged(bool byUser) override;
    void beforeUserEdit() override;

private:
    uint32_t m_eventMask = 0;
    std::vector<std::string> m_undo;
};

} // namespace pf
