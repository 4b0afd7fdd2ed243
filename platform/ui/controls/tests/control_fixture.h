#pragma once
// A dialog holding one control of every kind, and a spy on what reaches it.
#include "platform/gfx/gdi_objects.h"
#include "platform/testing/message_spy.h"
#include "platform/testing/ui_fixture.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/controls/list_box.h"
#include "platform/ui/controls/list_view.h"
#include "platform/ui/controls/scroll_bar.h"
#include "platform/ui/controls/static_control.h"
#include "platform/ui/controls/tab_control.h"
#include "platform/ui/controls/trackbar.h"
#include "platform/ui/controls/tree_view.h"
#include "platform/ui/controls/up_down.h"
#include "platform/ui/dialog/dialog.h"

#include <functional>
#include <optional>

namespace pf::test {

enum : int32_t {
    kIddControls = 9100,
    kEdit = 100,
    kMultiEdit,
    kRich,
    kPush,
    kCheck,
    kRadio1,
    kRadio2,
    kRadio3,
    kGroup,
    kStatic,
    kNotifyStatic,
    kCombo,
    kSortedCombo,
    kList,
    kNotifyList,
    kMultiList,
    kListView,
    kTree,
    kTrack,
    kSpinBuddy,
    kSpin,
    kTab,
    kScroll,
    kPlainStatic,
};

inline void registerControlsTemplate()
{
    registerTemplate({kIddControls,
                      "Controls",
                      {600, 440},
                      WS_POPUP | WS_CAPTION,
                      {
                          {"edit", kEdit, {10, 10, 150, 30}, WS_TABSTOP | WS_BORDER, "start"},
                          {"edit", kMultiEdit, {10, 35, 150, 75}, WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN, ""},
                          {"richedit", kRich, {10, 80, 150, 100}, WS_TABSTOP, ""},
                          {"button", kPush, {160, 10, 240, 32}, WS_TABSTOP, "Push"},
                          {"button", kCheck, {160, 40, 260, 56}, WS_TABSTOP | BS_AUTOCHECKBOX, "Check"},
                          {"button", kRadio1, {160, 60, 260, 76}, WS_GROUP | WS_TABSTOP | BS_AUTORADIOBUTTON, "One"},
                          {"button", kRadio2, {160, 80, 260, 96}, BS_AUTORADIOBUTTON, "Two"},
                          {"button", kRadio3, {160, 100, 260, 116}, WS_GROUP | BS_AUTORADIOBUTTON, "Other group"},
                          {"button", kGroup, {270, 5, 400, 120}, BS_GROUPBOX, "Group"},
                          {"static", kStatic, {280, 25, 390, 41}, 0, "Label"},
                          {"static", kNotifyStatic, {280, 45, 390, 61}, SS_NOTIFY, "Clickable"},
                          {"combobox", kCombo, {10, 110, 150, 130}, WS_TABSTOP | CBS_DROPDOWNLIST, ""},
                          {"combobox", kSortedCombo, {10, 135, 150, 155}, CBS_DROPDOWNLIST | CBS_SORT, ""},
                          {"listbox", kList, {410, 10, 590, 70}, WS_TABSTOP, ""},
                          {"listbox", kNotifyList, {410, 75, 590, 135}, LBS_NOTIFY, ""},
                          {"listbox", kMultiList, {410, 140, 590, 200}, LBS_NOTIFY | LBS_MULTIPLESEL, ""},
                          {"listview",
                           kListView,
                           {10, 210, 290, 330},
                           WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                           ""},
                          {"treeview",
                           kTree,
                           {300, 210, 590, 330},
                           TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_CHECKBOXES,
                           ""},
                          {"trackbar", kTrack, {10, 340, 210, 370}, WS_TABSTOP, ""},
                          {"edit", kSpinBuddy, {220, 345, 280, 365}, WS_BORDER, "0"},
                          {"updown", kSpin, {280, 345, 296, 365}, UDS_SETBUDDYINT | UDS_ARROWKEYS, ""},
                          {"tab", kTab, {310, 340, 590, 430}, 0, ""},
                          {"scrollbar", kScroll, {10, 380, 210, 396}, 0, ""},
                          {"static", kPlainStatic, {10, 400, 100, 416}, 0, "plain"},
                      }});
}

class ControlHost : public Dialog {
public:
    std::function<std::optional<LResult>(const Msg&)> hook;
    Brush staticBrush = createSolidBrush(rgb(0, 128, 0));
    bool answerStaticBrush = false;

protected:
    LResult handle(const Msg& msg) override
    {
        if (hook) {
            const Hwnd self = hwnd();
            if (const std::optional<LResult> answer = hook(msg))
                return *answer;
            if (!ui().isWindow(self))
                return 0;
        }
        if (msg.message == WM_CTLCOLORSTATIC && answerStaticBrush)
            return resultFromBrush(&staticBrush);
        return Dialog::handle(msg);
    }
};

class Controls : public UiFixture {
protected:
    void SetUp() override
    {
        UiFixture::SetUp();
        registerControlsTemplate();
        ASSERT_TRUE(host.create(kIddControls, nullptr));
        host.show(SW_SHOW);
        sim().pump();
    }
    void TearDown() override
    {
        spy.reset();
        host.destroy();
        UiFixture::TearDown();
    }
    template <typename T> T& control(int32_t id)
    {
        T* c = host.item<T>(id);
        EXPECT_NE(c, nullptr) << "control " << id;
        return *c;
    }
    // Starts recording what reaches the host, each with the note `probe` reads at that moment.
    MessageSpy& watch(std::function<std::string(const Msg&)> probe = nullptr)
    {
        spy = std::make_unique<MessageSpy>();
        spy->onlyWindows({host.hwnd()}).onlyMessages({WM_COMMAND, WM_NOTIFY, WM_HSCROLL, WM_VSCROLL});
        if (probe)
            spy->probe(std::move(probe));
        return *spy;
    }
    std::vector<std::string> notes() const
    {
        std::vector<std::string> out;
        for (const SpiedMessage& m : spy->log())
            out.push_back(m.note);
        return out;
    }

    ControlHost host;
    std::unique_ptr<MessageSpy> spy;
};

inline std::string scrollNote(const Msg& m)
{
    if (m.message != WM_HSCROLL && m.message != WM_VSCROLL)
        return m.message == WM_NOTIFY ? "notify " + std::to_string(notifyRecord<NMHDR>(m.lParam)->code) : "command";
    return "scroll " + std::to_string(loWord(m.wParam)) + " " + std::to_string(hiWord(m.wParam));
}

} // namespace pf::test
