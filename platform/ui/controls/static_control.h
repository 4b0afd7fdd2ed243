#pragma once
// Static text, icons and frames. STN_CLICKED only with SS_NOTIFY; before painting it asks its parent for
// WM_CTLCOLORSTATIC, whose brush fills the background (a hollow one leaves it transparent) and whose DC colours
// draw the text. Text too long for a static two lines high or more is broken at spaces into lines.
#include "platform/gfx/icon.h"
#include "platform/ui/controls/control.h"

namespace pf {

class StaticControl : public Control {
public:
    IconRef setIcon(IconRef icon); // SS_ICON; returns the previous one
    const IconRef& icon() const { return m_icon; }

protected:
    LResult handle(const Msg& msg) override;

private:
    void paint();
    IconRef m_icon;
};

} // namespace pf
