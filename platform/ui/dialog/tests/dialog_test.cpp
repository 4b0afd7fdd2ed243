// Dialogs from templates: modeless creation, modal runs, keys, data exchange, subclassing, and the modeless editor
// that deletes itself.
#include "platform/gfx/gdi_objects.h"
#include "platform/testing/image_check.h"
#include "platform/testing/message_spy.h"
#include "platform/testing/ui_fixture.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/dialog/dialog.h"

namespace pf {
namespace {

constexpr int32_t kIdd = 9001;
constexpr int32_t kIddNested = 9002;
constexpr int32_t kIddMultiline = 9003;
constexpr int32_t kIdName = 1000;
constexpr int32_t kIdApply = 1001;
constexpr int32_t kIdNotes = 1002;

void registerTemplates()
{
    registerTemplate({kIdd,
                      "Rename",
                      {240, 120},
                      WS_POPUP | WS_CAPTION,
                      {
                          {"edit", kIdName, {10, 10, 230, 30}, WS_TABSTOP | WS_BORDER, "old"},
                          {"button", kIdApply, {10, 40, 80, 60}, WS_TABSTOP, "Apply"},
                          {"button", IDOK, {90, 90, 160, 112}, WS_TABSTOP | BS_DEFPUSHBUTTON, "OK"},
                          {"button", IDCANCEL, {165, 90, 235, 112}, WS_TABSTOP, "Cancel"},
                      }});
    registerTemplate({kIddNested,
                      "Nested",
                      {100, 60},
                      WS_POPUP | WS_CAPTION,
                      {
                          {"button", IDOK, {10, 10, 90, 30}, WS_TABSTOP, "OK"},
                      }});
    registerTemplate({kIddMultiline,
                      "Notes",
                      {200, 120},
                      WS_POPUP | WS_CAPTION,
                      {
                          {"edit", kIdNotes, {10, 10, 190, 80}, WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN, ""},
                          {"edit", kIdName, {10, 85, 190, 100}, WS_TABSTOP, ""},
                          {"button", IDOK, {10, 100, 90, 118}, WS_TABSTOP, "OK"},
                      }});
}

class Dialogs : public UiFixture {
protected:
    void SetUp() override
    {
        UiFixture::SetUp();
        registerTemplates();
        owner.create({"window", "owner", WS_VISIBLE | WS_CAPTION, 0, {0, 0, 800, 600}, kNoWindow, 0});
    }
    void TearDown() override
    {
        owner.destroy();
        UiFixture::TearDown();
    }
    // Strict failures are expected in some tests: collect them instead of failing.
    std::vector<std::string> collectStrictFailures()
    {
        ui().setStrictFailureHandler([this](const std::string& what) { strict.push_back(what); });
        return {};
    }

    Window owner;
    std::vector<std::string> strict;
};

class RenameDialog : public Dialog {
public:
    std::string name = "from the caller";
    int32_t initCalls = 0;
    bool endInInit = false;
    bool initDoneWhenCreateReturned() const { return initCalls == 1; }

protected:
    bool onInitDialog() override
    {
        ++initCalls;
        updateData(false);
        if (endInInit)
            endDialog(IDCANCEL);
        return true;
    }
    void doDataExchange() override { ddxText(kIdName, name); }
};

TEST_F(Dialogs, ModelessCreateReturnsInitialisedAndHidden)
{
    RenameDialog d;
    MessageSpy spy;
    spy.onlyMessages({WM_COMMAND});
    ASSERT_TRUE(d.create(kIdd, &owner));
    EXPECT_TRUE(d.initDoneWhenCreateReturned());
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.child(kIdName)->text(), "from the caller");
    EXPECT_NE(d.item<Edit>(kIdName), nullptr);
    EXPECT_EQ(d.item<Button>(kIdName), nullptr) << "item<T> is null for another kind";
    // Table order is z-order and tab order.
    const std::vector<Hwnd> kids = d.children();
    ASSERT_EQ(kids.size(), 4u);
    EXPECT_EQ(ui().window(kids[0])->id(), kIdName);
    EXPECT_EQ(ui().window(kids[3])->id(), IDCANCEL);
    d.show(SW_SHOW);
    EXPECT_TRUE(d.isVisible());
    d.destroy();
}

TEST_F(Dialogs, DoModalDisablesTheOwnerOnlyDuringTheRun)
{
    RenameDialog d;
    bool ownerDisabledDuring = false;
    bool dialogVisibleDuring = false;
    sim().onModal(kIdd, [&](Dialog& dialog) {
        ownerDisabledDuring = !owner.isEnabled();
        dialogVisibleDuring = dialog.isVisible();
        sim().replaceText(*dialog.child(kIdName), "new name");
        sim().click(*dialog.child(IDOK));
    });
    EXPECT_EQ(d.doModal(kIdd, &owner), IDOK);
    EXPECT_TRUE(ownerDisabledDuring);
    EXPECT_TRUE(dialogVisibleDuring);
    EXPECT_TRUE(owner.isEnabled());
    EXPECT_FALSE(d.isWindow());
    EXPECT_EQ(d.name, "new name") << "onOK ran updateData(true)";
    EXPECT_EQ(ui().activeWindow(), owner.hwnd());
}

TEST_F(Dialogs, EndDialogInInitDialogSkipsTheDriver)
{
    RenameDialog d;
    d.endInInit = true;
    EXPECT_EQ(d.doModal(kIdd, &owner), IDCANCEL);
    EXPECT_TRUE(ui().providers().scriptedModal().runs().empty());
    EXPECT_TRUE(owner.isEnabled());
}

TEST_F(Dialogs, DriverReturningWithoutEndingEndsAsCancelAndIsAStrictFailure)
{
    collectStrictFailures();
    RenameDialog d;
    sim().onModal(kIdd, [](Dialog&) {});
    EXPECT_EQ(d.doModal(kIdd, &owner), IDCANCEL);
    ASSERT_EQ(strict.size(), 1u);
    EXPECT_NE(strict[0].find("9001"), std::string::npos);
    EXPECT_TRUE(owner.isEnabled());
    RenameDialog unscripted;
    EXPECT_EQ(unscripted.doModal(kIdd, &owner), IDCANCEL);
    EXPECT_EQ(strict.size(), 3u) << "an unscripted run and the dialog it left open";
}

TEST_F(Dialogs, UnknownTemplateFails)
{
    RenameDialog d;
    EXPECT_EQ(d.doModal(4242, &owner), -1);
    EXPECT_FALSE(d.create(4242, &owner));
}

TEST_F(Dialogs, EnterPressesTheDefaultButtonAndEscCancels)
{
    RenameDialog d;
    sim().onModal(kIdd, [&](Dialog&) { sim().keyPress(VK_RETURN); });
    EXPECT_EQ(d.doModal(kIdd, &owner), IDOK);
    RenameDialog e;
    sim().onModal(kIdd, [&](Dialog&) { sim().keyPress(VK_ESCAPE); });
    EXPECT_EQ(e.doModal(kIdd, &owner), IDCANCEL);
    // A push button with the focus is the one Enter presses.
    RenameDialog f;
    sim().onModal(kIdd, [&](Dialog& dialog) {
        ui().setFocus(dialog.child(IDCANCEL)->hwnd());
        sim().keyPress(VK_RETURN);
    });
    EXPECT_EQ(f.doModal(kIdd, &owner), IDCANCEL);
}

TEST_F(Dialogs, EnterInAWantReturnEditIsANewLine)
{
    Dialog d;
    std::string notes;
    sim().onModal(kIddMultiline, [&](Dialog& dialog) {
        sim().typeText(dialog, kIdNotes, "a");
        sim().keyPress(VK_RETURN);
        sim().typeChars("b");
        notes = dialog.child(kIdNotes)->text();
        EXPECT_FALSE(dialog.hasEnded());
        sim().click(*dialog.child(kIdName));
        sim().keyPress(VK_RETURN); // in a single-line edit Enter is the dialog's
    });
    EXPECT_EQ(d.doModal(kIddMultiline, &owner), IDOK);
    EXPECT_EQ(notes, "a\r\nb");
}

TEST_F(Dialogs, NestedModalsEachDisableTheirOwner)
{
    RenameDialog outer;
    bool outerDisabledDuringInner = false;
    int32_t innerResult = 0;
    sim().onModal(kIdd, [&](Dialog& dialog) {
        Dialog inner;
        sim().onModal(kIddNested, [&](Dialog& d) {
            outerDisabledDuringInner = !dialog.isEnabled();
            sim().click(*d.child(IDOK));
        });
        innerResult = inner.doModal(kIddNested, &dialog);
        EXPECT_TRUE(dialog.isEnabled());
        sim().keyPress(VK_ESCAPE);
    });
    EXPECT_EQ(outer.doModal(kIdd, &owner), IDCANCEL);
    EXPECT_EQ(innerResult, IDOK);
    EXPECT_TRUE(outerDisabledDuringInner);
    EXPECT_TRUE(owner.isEnabled());
}

TEST_F(Dialogs, TabMovesBetweenTabStops)
{
    RenameDialog d;
    d.create(kIdd, &owner);
    d.show(SW_SHOW);
    EXPECT_EQ(ui().focus(), d.child(kIdName)->hwnd());
    sim().keyPress(VK_TAB);
    EXPECT_EQ(ui().focus(), d.child(kIdApply)->hwnd());
    sim().keyDown(VK_SHIFT);
    sim().keyPress(VK_TAB);
    sim().keyUp(VK_SHIFT);
    EXPECT_EQ(ui().focus(), d.child(kIdName)->hwnd());
    d.destroy();
}

// A page made inside the dialog, and a control made of controls on it, offer their own stops in their places; a
// radio group is one stop, entered at its checked button, whose arrows move the choice round the group.
TEST_F(Dialogs, TabWalksThePagesInsideAndEntersARadioGroupAtItsChoice)
{
    registerTemplate({9020,
                      "Outer",
                      {300, 200},
                      WS_POPUP | WS_CAPTION,
                      {
                          {"edit", 1, {10, 10, 100, 30}, WS_TABSTOP | WS_BORDER, ""},
                          {"button", 102, {10, 40, 100, 56}, WS_GROUP | WS_TABSTOP | BS_AUTORADIOBUTTON, "a"},
                          {"button", 103, {10, 60, 100, 76}, BS_AUTORADIOBUTTON, "b"},
                          {"button", 104, {10, 80, 100, 96}, BS_AUTORADIOBUTTON, "c"},
                          {"button", IDOK, {10, 170, 90, 192}, WS_GROUP | WS_TABSTOP, "OK"},
                      }});
    registerTemplate({9021,
                      "",
                      {150, 100},
                      WS_CHILD,
                      {
                          {"edit", 10, {10, 10, 140, 30}, WS_TABSTOP | WS_BORDER, ""},
                          {"window", 11, {10, 40, 140, 60}, WS_TABSTOP, ""},
                          {"button", 12, {10, 70, 140, 90}, WS_TABSTOP | WS_DISABLED, "off"},
                      }});
    class Outer : public Dialog {
    public:
        Dialog page;
        Window* inner = nullptr; // the edit inside control 11, owned by the layer

    protected:
        bool onInitDialog() override
        {
            page.create(9021, this);
            page.move(Rect::fromXywh(140, 10, 150, 100));
            page.show(SW_SHOW);
            inner = pf::ui().createWindow(
                {"edit", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, {0, 0, 130, 20}, page.child(11)->hwnd(), 1});
            return true;
        }
    } d;
    ASSERT_TRUE(d.create(9020, &owner));
    d.show(SW_SHOW);
    d.item<Button>(103)->setCheck(BST_CHECKED);
    const auto walk = [&](bool backwards) {
        std::vector<int32_t> ids;
        for (int i = 0; i < 5; ++i) {
            if (backwards)
                sim().keyDown(VK_SHIFT);
            sim().keyPress(VK_TAB);
            if (backwards)
                sim().keyUp(VK_SHIFT);
            Window* focus = ui().window(ui().focus());
            ids.push_back(focus == nullptr ? -1 : focus == d.inner ? 20 : focus->id());
        }
        return ids;
    };
    ASSERT_EQ(ui().focus(), d.child(1)->hwnd());
    EXPECT_EQ(walk(false), (std::vector<int32_t>{103, IDOK, 10, 20, 1}));
    EXPECT_EQ(walk(true), (std::vector<int32_t>{20, 10, IDOK, 103, 1}));

    ui().setFocus(d.child(103)->hwnd());
    sim().keyPress(VK_DOWN);
    EXPECT_EQ(ui().focus(), d.child(104)->hwnd());
    EXPECT_EQ(d.item<Button>(104)->getCheck(), BST_CHECKED);
    EXPECT_EQ(d.item<Button>(103)->getCheck(), BST_UNCHECKED);
    sim().keyPress(VK_RIGHT);
    EXPECT_EQ(ui().focus(), d.child(102)->hwnd()) << "round the end of the group";
    sim().keyPress(VK_UP);
    EXPECT_EQ(d.item<Button>(104)->getCheck(), BST_CHECKED);
    EXPECT_EQ(d.item<Button>(102)->getCheck(), BST_UNCHECKED);
    d.destroy();
}

TEST_F(Dialogs, RadioExchangeReadsTheCheckedOneOfTheGroup)
{
    registerTemplate({9010,
                      "Radios",
                      {200, 100},
                      WS_POPUP,
                      {
                          {"button", 1, {0, 0, 100, 20}, WS_GROUP | BS_AUTORADIOBUTTON, "a"},
                          {"button", 2, {0, 20, 100, 40}, BS_AUTORADIOBUTTON, "b"},
                          {"button", 3, {0, 40, 100, 60}, WS_GROUP | BS_AUTORADIOBUTTON, "other group"},
                      }});
    class Radios : public Dialog {
    public:
        int32_t choice = 1;
        void doDataExchange() override { ddxRadio(1, choice); }
    } d;
    d.create(9010, &owner);
    d.updateData(false);
    EXPECT_EQ(d.item<Button>(2)->getCheck(), BST_CHECKED);
    d.item<Button>(3)->setCheck(BST_CHECKED);
    d.choice = 7;
    d.updateData(true);
    EXPECT_EQ(d.choice, 1) << "the other group does not count";
    d.item<Button>(2)->setCheck(BST_UNCHECKED);
    d.updateData(true);
    EXPECT_EQ(d.choice, -1);
    d.destroy();
}

class LoudEdit : public Edit {
public:
    int32_t changes = 0;

protected:
    LResult handle(const Msg& msg) override
    {
        if (msg.message == WM_CHAR)
            ++changes;
        return Edit::handle(msg);
    }
};

TEST_F(Dialogs, SubclassKeepsTheControlsStateAndHandle)
{
    RenameDialog d;
    d.create(kIdd, &owner);
    const Hwnd h = d.child(kIdName)->hwnd();
    const Rect r = d.child(kIdName)->windowRect();
    MessageSpy spy;
    LoudEdit* edit = d.subclass<LoudEdit>(kIdName);
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(spy.log().empty()) << "the old object goes without messages";
    EXPECT_EQ(edit->hwnd(), h);
    EXPECT_EQ(edit->windowRect(), r);
    EXPECT_EQ(edit->text(), "from the caller");
    EXPECT_EQ(d.children().front(), h) << "same place in the z-order";
    d.show(SW_SHOW);
    sim().typeText(*edit, "x");
    EXPECT_EQ(edit->changes, 1);
    EXPECT_EQ(d.item<Edit>(kIdName), edit);
    EXPECT_EQ(d.subclass<LoudEdit>(4242), nullptr);
    d.destroy();
}

// The modeless editor pattern: made hidden, shown by its maker, deleting itself in postNcDestroy.
class ModelessEditor : public Dialog {
public:
    explicit ModelessEditor(bool* deleted) : m_deleted(deleted) {}
    ~ModelessEditor() override { *m_deleted = true; }

protected:
    void onOK() override
    {
        updateData(true);
        destroy();
    }
    void onCancel() override { destroy(); }
    LResult handle(const Msg& msg) override
    {
        if (msg.message == WM_COMMAND && loWord(msg.wParam) == kIdApply && hiWord(msg.wParam) == BN_CLICKED) {
            destroy(); // from inside the button's notification
            return 0;
        }
        return Dialog::handle(msg);
    }
    void postNcDestroy() override { delete this; }

private:
    bool* m_deleted;
};

TEST_F(Dialogs, ModelessEditorDeletesItselfOnOkCancelAndFromANotification)
{
    for (const int32_t button : {IDOK, IDCANCEL, kIdApply}) {
        SCOPED_TRACE(button);
        bool deleted = false;
        auto* editor = new ModelessEditor(&deleted);
        ASSERT_TRUE(editor->create(kIdd, &owner));
        editor->show(SW_SHOW);
        editor->show(SW_SHOW); // the factory shows it again
        Window* control = editor->child(button);
        const Hwnd controlHwnd = control->hwnd();
        sim().click(*control); // the button's own code after BN_CLICKED must stop: it died in it
        EXPECT_TRUE(deleted);
        EXPECT_FALSE(ui().isWindow(controlHwnd));
        sim().pump();
    }
}

class DiesOnChange : public ModelessEditor {
public:
    using ModelessEditor::ModelessEditor;

protected:
    LResult handle(const Msg& msg) override
    {
        if (msg.message == WM_COMMAND && hiWord(msg.wParam) == EN_CHANGE) {
            destroy(); // the edit that notified dies with us, inside its own handler
            return 0;
        }
        return ModelessEditor::handle(msg);
    }
};

TEST_F(Dialogs, ParentDestroyedInsideAChildsNotification)
{
    bool deleted = false;
    auto* editor = new DiesOnChange(&deleted);
    editor->create(kIdd, &owner);
    editor->show(SW_SHOW);
    Window* edit = editor->child(kIdName);
    const Hwnd editHwnd = edit->hwnd();
    sim().typeText(*edit, "xyz"); // the first character kills both; the rest go to whoever has the focus
    EXPECT_TRUE(deleted);
    EXPECT_FALSE(ui().isWindow(editHwnd));
    sim().pump();
}

TEST_F(Dialogs, DestroyDuringANestedModalLeavesNothingBehind)
{
    bool deleted = false;
    auto* editor = new ModelessEditor(&deleted);
    editor->create(kIdd, &owner);
    editor->show(SW_SHOW);
    RenameDialog modal;
    sim().onModal(kIdd, [&](Dialog& dialog) {
        editor->destroy(); // a modeless editor goes while a modal dialog runs
        sim().click(*dialog.child(IDOK));
    });
    EXPECT_EQ(modal.doModal(kIdd, &owner), IDOK);
    EXPECT_TRUE(deleted);
    EXPECT_TRUE(owner.isEnabled());
}

TEST_F(Dialogs, ModalDialogDestroyedWithItsOwnerDuringItsRun)
{
    bool deleted = false;
    auto* editor = new ModelessEditor(&deleted);
    editor->create(kIdd, &owner);
    editor->show(SW_SHOW);
    RenameDialog modal;
    sim().onModal(kIdd, [&](Dialog&) { editor->destroy(); }); // takes the modal dialog it owns along
    EXPECT_EQ(modal.doModal(kIdd, editor), -1);
    EXPECT_TRUE(deleted);
    EXPECT_FALSE(modal.isWindow());
    EXPECT_TRUE(owner.isEnabled());
}

TEST_F(Dialogs, CtlColorDlgBrushPaintsTheBackground)
{
    class Tinted : public Dialog {
    public:
        Brush brush = createSolidBrush(rgb(10, 200, 30));
        LResult handle(const Msg& msg) override
        {
            if (msg.message == WM_CTLCOLORDLG)
                return resultFromBrush(&brush);
            return Dialog::handle(msg);
        }
    } d;
    registerTemplate({9020, "", {50, 50}, WS_POPUP | WS_VISIBLE, {}});
    d.create(9020, &owner);
    sim().pump();
    EXPECT_EQ(screenPixel(d.clientToScreen({25, 25})), pixelFromColorRef(rgb(10, 200, 30)));
    d.destroy();
}

} // namespace
} // namespace pf
