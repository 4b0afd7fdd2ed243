#pragma once
// Tab controls: a row of tabs over a display area. A user's click on another tab sends TCN_SELCHANGING (non-zero
// cancels), then changes the selection and sends TCN_SELCHANGE; setCurSel never notifies. Left and Right on the focused
// tabs (Home and End too) choose as a click does.
#include "platform/ui/controls/control.h"

#include <string>
#include <vector>

namespace pf {

class TabControl : public Control {
public:
    int32_t insertItem(int32_t index, std::string_view text); // the index, or -1
    bool deleteAllItems();
    int32_t getItemCount() const { return static_cast<int32_t>(m_items.size()); }
    int32_t getCurSel() const { return m_curSel; }
    int32_t setCurSel(int32_t index);      // the previous selection, -1 when out of range
    bool selectAsUser(int32_t index);      // as a click on that tab; false when out of range, the same or refused
    Rect getItemRect(int32_t index) const; // client coordinates; empty when out of range
    Rect adjustRect(bool larger, const Rect& rect) const; // display area <-> window rectangle
    int32_t hitTest(Point client) const;

protected:
    LResult handle(const Msg& msg) override;

private:
    void paint();
    void onKeyDown(uint8_t vk);
    int32_t tabWidth(int32_t index) const;

    std::vector<std::string> m_items;
    int32_t m_curSel = -1;
};

} // namespace pf
