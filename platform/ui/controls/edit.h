#pragma once
// Single- and multi-line edits. setText (WM_SETTEXT) sends EN_CHANGE after the change without comparing texts,
// except on an ES_MULTILINE edit; every user edit that changes the text (a character, backspace, delete, paste,
// replaceSel) sends exactly one EN_CHANGE. limitText limits user input only, counted in UTF-8 bytes. A user Enter
// in a multi-line edit inserts "\r\n"; multi-line text is kept as given.
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

protected:
    LResult handle(const Msg& msg) override;
    virtual void textChanged(bool byUser);    // sends EN_CHANGE as the kind's rule says
    virtual void beforeUserEdit() {}          // the rich edit keeps its undo step here
    bool insertByUser(std::string_view text); // false when refused (read-only, over the limit)

private:
    void paint();
    void onChar(char32_t c);
    void onKeyDown(uint8_t vk);
    void clampSelection();

    int32_t m_selStart = 0;
    int32_t m_selEnd = 0;
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
