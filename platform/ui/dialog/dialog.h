#pragma once
// Dialogs built from C++ templates (resources.h). create() builds a modeless dialog hidden, makes the controls in
// table order, runs onInitDialog and returns with initialisation done; it shows only with WS_VISIBLE or when the
// caller shows it. doModal() does the same, disables the owner's top-level window, shows the dialog and hands it
// to the modal driver; it returns the endDialog code (-1 when the dialog could not be made). A driver that returns
// without ending the dialog ends it as IDCANCEL and is reported as a strict failure, so nothing hangs.
//
// Keys: Enter presses the push button that has the focus, else the default push button (BS_DEFPUSHBUTTON, else IDOK),
// unless the focus is a multi-line ES_WANTRETURN edit; Esc is IDCANCEL; Tab and Shift+Tab walk the tab order
// (tabStops); Ctrl+Tab and Ctrl+Shift+Tab turn the pages of the dialog's tab control (pageTabs) as a click on the next
// or previous tab does.
#include "platform/ui/core/resources.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/core/window.h"

#include <memory>
#include <string>
#include <vector>

namespace pf {

class TabControl;

class Dialog : public Window {
public:
    bool create(int32_t idd, Window* parent); // modeless; false when the template is unknown
    int32_t doModal(int32_t idd, Window* owner);
    void endDialog(int32_t result); // a modeless dialog only hides
    int32_t templateId() const { return m_idd; }
    bool isModal() const { return m_modal; }
    bool hasEnded() const { return m_ended; }
    int32_t result() const { return m_result; }

    template <typename T> T* item(int32_t id) const
    {
        return dynamic_cast<T*>(child(id));
    } // GetDlgItem of a kind; null otherwise
    // Puts a T (derived from the standard control) behind the control's handle, keeping its state; the old
    // object goes without a message. Null when there is no such control.
    template <typename T> T* subclass(int32_t id)
    {
        Window* old = child(id);
        return old == nullptr ? nullptr : static_cast<T*>(ui().replaceObject(*old, std::make_unique<T>()));
    }

    bool updateData(bool save);        // runs doDataExchange
    void gotoControl(Window* control); // focus, and the text of an edit selected
    // The tab order: every shown, enabled WS_TABSTOP control of the dialog and of the pages and controls made of
    // controls inside it, in table order with each page's stops in its place; a radio group is one stop, its checked
    // button. from may be any window of the dialog (a part of a stop, another button of a group); null: the ends.
    std::vector<Window*> tabStops() const;
    Window* nextTabStop(Window* from, bool backwards) const;
    Window* defaultButton() const;

    // Data exchange, in doDataExchange: saving reads the control into the value, loading writes the value out.
    void ddxText(int32_t id, std::string& value);
    void ddxCheck(int32_t id, int32_t& value);
    void ddxRadio(int32_t firstId, int32_t& value); // index of the checked radio of the group, -1 none
    void ddxCbIndex(int32_t id, int32_t& value);
    bool isSaving() const { return m_saving; }

protected:
    LResult handle(const Msg& msg) override;
    bool preTranslateMessage(const Msg& msg) override;
    virtual bool onInitDialog() { return true; } // true: the layer puts the focus on the first tab stop
    virtual void onOK();                         // updateData(true), then endDialog(IDOK)
    virtual void onCancel();                     // endDialog(IDCANCEL)
    virtual void doDataExchange() {}
    // Tab brought the focus to control; a dialog that scrolls its controls brings it into view.
    virtual void showControl(Window& control) { (void)control; }

private:
    bool build(const DialogTemplate& tpl, Window* parent, bool showWhenVisible);
    bool isWantReturnEdit(const Window* w) const;
    bool isOutermostDialog() const; // a page inside another dialog leaves its keys to that one
    void tabFrom(Window* focus, bool backwards);
    TabControl* pageTabs() const;  // the first shown tab control of more than one page, in tree order
    bool turnPage(bool backwards); // false when there are no pages to turn

    int32_t m_idd = 0;
    bool m_modal = false;
    bool m_ended = false;
    bool m_saving = false;
    int32_t m_result = -1;
};

} // namespace pf
