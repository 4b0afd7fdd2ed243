#pragma once
// Push buttons, check boxes, radio buttons and group boxes. BN_CLICKED follows a release inside after a press
// inside; an auto check box toggles and an auto radio button checks itself (and clears the other auto radios of
// its group, from the previous WS_GROUP control to the next) before BN_CLICKED, which comes even when the radio
// was already checked. setCheck never notifies. Disabled buttons take no input. The arrow keys on a radio button move
// the focus and the choice to the previous or next shown, enabled radio of its group, round its ends.
#include "platform/gfx/icon.h"
#include "platform/ui/controls/control.h"

namespace pf {

class Button : public Control {
public:
    int32_t getCheck() const { return m_check; }
    void setCheck(int32_t state); // BST_UNCHECKED, BST_CHECKED, BST_INDETERMINATE; no notification
    uint32_t buttonType() const { return style() & 0xF; }
    bool isRadio() const;
    bool isCheckBox() const;
    bool isPushButton() const;
    IconRef setIcon(IconRef icon); // BM_SETIMAGE with IMAGE_ICON
    void click();                  // BM_CLICK: what a press and release inside do
    bool isPushed() const { return m_pushed; }

protected:
    LResult handle(const Msg& msg) override;

private:
    void paint();
    void paintGroupBox(Dc& dc);
    void paintMark(Dc& dc); // check boxes and radio buttons
    bool showsDefaultOutline() const;
    void invalidateDefaultSiblings(); // the default button's outline follows the focus among push buttons
    void uncheckGroupSiblings();
    void moveInGroup(int32_t step); // the arrows of a radio: the focus and the choice to the next of its group

    int32_t m_check = 0;
    bool m_pushed = false;
    bool m_tracking = false;
    IconRef m_icon;
};

} // namespace pf
