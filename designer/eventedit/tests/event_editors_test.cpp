// The event editor, the timer dialog and the expression editor, opened through the editor factory (or the object
// factory, for a new expression) and driven as a user drives them.
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <thread>

#include "designer/app/extended_world.h"
#include "designer/app/notification.h"
#include "designer/app/startup.h"
#include "designer/eventedit/event_edit_dlg.h"
#include "designer/eventedit/expression_editor_dlg.h"
#include "designer/eventedit/tests/eventedit_fixture.h"
#include "designer/workspace/editor_texts.h"
#include "designer/workspace/event_timer_dlg.h"
#include "designer/workspace/list_panels.h"
#include "designer/workspace/workspace_messages.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/expression.h"
#include "engine/behaviour/expression_list.h"
#include "engine/behaviour/property.h"
#include "engine/core/data_node.h"
#include "engine/core/node.h"
#include "engine/core/world.h"
#include "platform/settings/settings_backend.h"
#include "platform/settings/settings_store.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/controls/list_view.h"
#include "platform/ui/providers/providers.h"
#include "testsupport/designer/sample_designer.h"

namespace eventedittest {
namespace {

using Dlg = CVTND_EventEditDlg;

class EventEditors : public EventEditFixture {
protected:
    Dlg* OpenEvent(SWevent* event)
    {
        return dynamic_cast<Dlg*>(app->EditObject(CVTND_Object(ObjectType::kEvent, event), false));
    }
    std::vector<pf::MessageBoxCall> Boxes() { return pf::ui().providers().scriptedMessageBox().calls(); }
    // The role a message box showed: its text looked up among the editors' texts.
    // The timer's refusal: the numbers it takes, and what it keeps.
    void ExpectIntervalRefused(const std::string& kept)
    {
        ASSERT_FALSE(Boxes().empty());
        EXPECT_EQ(Boxes().back().text, EditorTextOf(kIdsValidValue) + " The timer keeps " + kept + " milliseconds.");
    }
    void ExpectLastBox(uint32_t role)
    {
        const auto boxes = Boxes();
        ASSERT_FALSE(boxes.empty());
        EXPECT_EQ(boxes.back().text, EditorTextOf(role));
        EXPECT_EQ(boxes.back().caption, EditorTextOf(kIdsEditorErrorCaption));
        EXPECT_EQ(boxes.back().flags & 0xF0u, 16u); // MB_ICONERROR
    }
    SWproperty* AddVariable(SWnode& node, const char* name, float value)
    {
        auto variable = std::make_unique<SWproperty>(kTypeFloat);
        variable->SetName(std::string(name));
        variable->SetFloatAll(value);
        return node.AddVariable(std::move(variable));
    }
};

// -- The event editor

TEST_F(EventEditors, ANewEventIsMadeListedAndPlacedAsTheEditorOpens)
{
    auto panel = std::make_unique<pf::Window>();
    panel->create({"", "", pf::WS_POPUP, 0, pf::Rect::fromXywh(900, 0, 200, 200)});
    auto* panelList = dynamic_cast<pf::ListView*>(
        pf::ui().createWindow({"listview", "", pf::WS_CHILD, 0, pf::Rect::fromXywh(0, 0, 200, 200), panel->hwnd()}));
    app->RegisterPanel(PanelRole::kEvents, panel.get());
    const size_t events = sample->world.CountEvents();
    Dlg* editor = OpenEvent(nullptr);
    ASSERT_NE(editor, nullptr);
    SWevent* made = editor->Event();
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(sample->world.CountEvents(), events + 1);
    EXPECT_EQ(made->GetType(), 0u);
    EXPECT_EQ(made->GetFlag(), 1);
    EXPECT_EQ(editor->text(), EditorTextOf(kIdsNewEventTitle));
    EXPECT_EQ(editor->child(Dlg::kIdName)->text(), *made->GetName());
    EXPECT_FALSE(editor->child(Dlg::kIdEventParameters)->isEnabled());
    EXPECT_EQ(panelList->getItemCount(), 1);
    EXPECT_EQ(panelList->getItemData(0), reinterpret_cast<pf::LParam>(made));
    EXPECT_NE(engine->FindEventObject(made), nullptr);
    EXPECT_EQ(editor->Record()->object, made);
    EXPECT_EQ(OpenEvent(made), editor); // its record names the new event

    sim().click(*editor->child(pf::IDCANCEL)); // a new event stays when its editor is cancelled
    EXPECT_EQ(sample->world.CountEvents(), events + 1);
    EXPECT_TRUE(app->GetEditDialogs().empty());
    app->RegisterPanel(PanelRole::kEvents, nullptr);
}

TEST_F(EventEditors, CloseChecksTheNameAndBroadcastsARename)
{
    Dlg* editor = OpenEvent(sample->timer);
    Dlg* other = OpenEvent(sample->click);
    ASSERT_NE(editor, nullptr);
    const pf::Rect r = other->screenRect();
    other->move(r.offsetBy(400, 0)); // side by side, so that the user's clicks reach the editor they aim at
    recorder->Clear();
    sim().replaceText(*editor->child(Dlg::kIdName), "");
    sim().expectMessageBox(pf::IDOK);
    sim().click(*editor->child(pf::IDOK));
    ExpectLastBox(kIdsValidName);
    EXPECT_TRUE(editor->isWindow());

    sim().replaceText(*editor->child(Dlg::kIdName), "CLICKED"); // another event's name in other letters
    sim().expectMessageBox(pf::IDOK);
    sim().click(*editor->child(pf::IDOK));
    ExpectLastBox(kIdsUniqueName);
    EXPECT_EQ(*sample->timer->GetName(), "tick");
    EXPECT_EQ(recorder->Events().size(), 0u);

    sim().replaceText(*editor->child(Dlg::kIdName), "Tick"); // the event finds itself: refused too
    sim().expectMessageBox(pf::IDOK);
    sim().click(*editor->child(pf::IDOK));
    ExpectLastBox(kIdsUniqueName);

    // A second editor cannot be opened on the same event; a rename from elsewhere reaches the open one.
    CVTND_Event elsewhere(EventCode::kRenamed, CVTND_Object(sample->click));
    elsewhere.SetTexts(std::string("clicked"), std::string("pressed twice"));
    app->Broadcast(elsewhere);
    EXPECT_EQ(other->child(Dlg::kIdName)->text(), "pressed twice");
    recorder->Clear();

    sim().replaceText(*editor->child(Dlg::kIdName), "every second");
    sim().click(*editor->child(pf::IDOK));
    EXPECT_EQ(*sample->timer->GetName(), "every second");
    ASSERT_EQ(recorder->Count(3), 1u);
    const auto& renamed = recorder->Events().back();
    EXPECT_EQ(renamed.firstText, "tick");
    EXPECT_EQ(renamed.secondText, "every second");
    EXPECT_FALSE(editor == nullptr);
    EXPECT_EQ(app->GetEditDialogs().size(), 1u);

    sim().click(*other->child(pf::IDCANCEL));
    recorder->Clear();
    Dlg* again = OpenEvent(sample->timer);
    sim().click(*again->child(pf::IDOK)); // unchanged name: closes without a notice
    EXPECT_EQ(recorder->Events().size(), 0u);
    EXPECT_TRUE(app->GetEditDialogs().empty());
}

TEST_F(EventEditors, TypeFlagAndStateAreWrittenAtOnce)
{
    sample->world.SetEventTypeHidden(2, true);
    Dlg* editor = OpenEvent(sample->click);
    auto* types = editor->item<pf::ComboBox>(Dlg::kIdType);
    int32_t shown = 0;
    int32_t below = 0; // shown types below 5
    for (uint32_t type = 0; type < kEventTypeCount; ++type) {
        if (sample->world.GetEventTypeName(type) != nullptr) {
            below += type < 5 ? 1 : 0;
            ++shown;
        }
    }
    EXPECT_EQ(types->getCount(), shown);
    EXPECT_EQ(types->getCurSel(), below); // the index and the type differ once type 2 is hidden
    EXPECT_EQ(static_cast<uint32_t>(types->getItemData(types->getCurSel())), 5u);
    EXPECT_TRUE(editor->child(Dlg::kIdEventParameters)->isEnabled());
    const int32_t plain = 0; // type 0 has no parameters
    ASSERT_EQ(types->getItemData(plain), 0);
    ASSERT_TRUE(sim().chooseCombo(*types, plain));
    EXPECT_EQ(sample->click->GetType(), 0u);
    EXPECT_FALSE(editor->child(Dlg::kIdEventParameters)->isEnabled());
    // Parameters is offered exactly where it opens something: not for types 15, 18 and 21.
    for (const auto& [type, offered] : {std::pair{15u, false}, {17u, true}, {18u, false}, {21u, false}}) {
        Dlg* other = OpenEvent(sample->world.AddEventOfType(type));
        ASSERT_NE(other, nullptr) << type;
        EXPECT_EQ(other->child(Dlg::kIdEventParameters)->isEnabled(), offered) << type;
        sim().click(*other->child(pf::IDCANCEL));
    }

    // The box inverts the byte, and a notice of the map's toggle shows the byte again: they agree after any mix.
    auto* autoReset = editor->item<pf::Button>(Dlg::kIdAutoReset);
    const uint8_t before = sample->click->GetFlag();
    sim().click(*autoReset);
    EXPECT_EQ(sample->click->GetFlag(), before ? 0 : 1);
    sample->click->SetFlag(before); // the map's command
    CVTND_Event toggled(EventCode::kChanged, CVTND_Object(sample->click));
    toggled.detail = static_cast<uint32_t>(EventDetail::kAutoResetToggled);
    app->Broadcast(toggled);
    EXPECT_EQ(autoReset->getCheck() == pf::BST_CHECKED, sample->click->GetFlag() != 0);
    sim().click(*autoReset);
    EXPECT_EQ(autoReset->getCheck() == pf::BST_CHECKED, sample->click->GetFlag() != 0);

    sim().click(*editor->child(Dlg::kIdInactive));
    EXPECT_FALSE(sample->click->IsEnabled());
    sim().click(*editor->child(Dlg::kIdActive));
    EXPECT_TRUE(sample->click->IsEnabled());
    sim().click(*editor->child(pf::IDCANCEL)); // nothing of it is undone
    EXPECT_EQ(sample->click->GetType(), 0u);
}

TEST_F(EventEditors, TheActionListIndentsFollowersAndActsOnTheSelection)
{
    Dlg* editor = OpenEvent(sample->timer);
    auto* list = editor->item<pf::ListView>(Dlg::kIdActions);
    ASSERT_EQ(list->getItemCount(), static_cast<int32_t>(sample->timer->CountActions()));
    EXPECT_EQ(list->getItemData(0), reinterpret_cast<pf::LParam>(sample->condition));
    EXPECT_EQ(list->getItemData(1), reinterpret_cast<pf::LParam>(sample->thenFollower));
    EXPECT_EQ(list->getItemText(1, 0).rfind("     ", 0), 0u);
    EXPECT_EQ(list->getItemText(2, 0).substr(0, 6), "     ~");
    for (const int32_t id : {Dlg::kIdRemove, Dlg::kIdActionParameters, Dlg::kIdDetails})
        EXPECT_FALSE(editor->child(id)->isEnabled());

    ASSERT_TRUE(sim().selectListViewItem(*list, 0)); // a condition: no targets, a details editor
    EXPECT_EQ(editor->SelectedAction(), sample->condition);
    EXPECT_TRUE(editor->child(Dlg::kIdRemove)->isEnabled());
    EXPECT_FALSE(editor->child(Dlg::kIdActionParameters)->isEnabled());
    EXPECT_TRUE(editor->child(Dlg::kIdDetails)->isEnabled());

    // Deleted from the map while selected: the buttons go dark and a click on Details opens nothing.
    SWactionnode* stop = sample->stopQueue;
    ASSERT_TRUE(sim().selectListViewItem(*list, list->getItemCount() - 1));
    EXPECT_EQ(editor->SelectedAction(), stop);
    ASSERT_TRUE(app->DeleteObject(CVTND_Object(stop), CVTNDesignerApp::kDeleteFromKey));
    EXPECT_EQ(editor->SelectedAction(), nullptr);
    EXPECT_FALSE(editor->child(Dlg::kIdDetails)->isEnabled());
    EXPECT_EQ(list->getItemCount(), static_cast<int32_t>(sample->timer->CountActions())); // its item went too
    const size_t open = app->GetEditDialogs().size();
    editor->send(pf::WM_COMMAND, pf::makeWParam(Dlg::kIdDetails, pf::BN_CLICKED), 0);
    EXPECT_EQ(app->GetEditDialogs().size(), open);

    const size_t actions = sample->timer->CountActions();
    ASSERT_TRUE(sim().selectListViewItem(*list, list->getItemCount() - 1)); // the queue's last member
    sim().click(*editor->child(Dlg::kIdRemove));
    EXPECT_EQ(sample->timer->CountActions(), actions - 1);
    EXPECT_EQ(list->getItemCount(), static_cast<int32_t>(actions - 1));
    EXPECT_FALSE(editor->child(Dlg::kIdRemove)->isEnabled());
    EXPECT_EQ(editor->SelectedAction(), nullptr);
}

// With auto-remove on, removing the one action that named a node takes the node off the map; a node another event
// names stays.
TEST_F(EventEditors, RemovingAnActionTakesWhatOnlyItNamedOffTheMap)
{
    engine->autoRemove = true;
    SWactionnode* show = sample->AddAction(*sample->key, 21);
    show->AddArgument("object1", SWdatanode::kString, true);
    engine->AddNode(sample->otherObject);
    engine->AddNode(sample->hotspot); // the click event names it
    Dlg* editor = OpenEvent(sample->key);
    auto* list = editor->item<pf::ListView>(Dlg::kIdActions);
    ASSERT_EQ(list->getItemCount(), 1);
    ASSERT_TRUE(sim().selectListViewItem(*list, 0));
    sim().click(*editor->child(Dlg::kIdRemove));
    EXPECT_EQ(sample->key->CountActions(), 0u);
    EXPECT_EQ(engine->FindNodeObject(sample->otherObject), nullptr);
    EXPECT_NE(engine->FindNodeObject(sample->hotspot), nullptr);
}

TEST_F(EventEditors, ActionsAreDroppedOntoTheListAndDraggedOutToAnotherEvent)
{
    Dlg* editor = OpenEvent(sample->click);
    const pf::Rect placed = editor->screenRect();
    editor->move(placed.offsetBy(910 - placed.l, 10 - placed.t)); // beside the map
    sim().pump();
    auto* list = editor->item<pf::ListView>(Dlg::kIdActions);
    const pf::Rect area = list->screenRect();
    DragFromPalette({Item(EdKind::kActionKind, sample->Kind(21), "hide")}, {{area.l + 30, area.t + 40}});
    ASSERT_EQ(sample->click->CountActions(), 1u);
    SWactionnode* made = sample->click->GetFirstAction();
    EXPECT_EQ(made->GetKindId(), 21);
    ASSERT_EQ(list->getItemCount(), 1);
    EXPECT_EQ(list->getItemData(0), reinterpret_cast<pf::LParam>(made));
    EXPECT_TRUE(pf::screen().isOverlayClear());
    const auto dropped = pf::captureScreen(area); // a band left behind would go with a repaint
    list->invalidate();
    sim().pump();
    EXPECT_EQ(pf::compareSurfaces(*dropped, *pf::captureScreen(area), 0).differing, 0);

    // Out of the list onto the timer's map object: the action moves there.
    MapObject* timer = Place(engine->AddEvent(sample->timer), 300, 200);
    canvas->RedrawMap();
    sim().pump();
    recorder->Clear();
    const pf::Point target = canvas->CentreOf(*timer);
    ASSERT_TRUE(sim().beginListDrag(*list, 0, {target.x - 40, target.y}));
    ASSERT_TRUE(engine->IsDragging());
    ASSERT_TRUE(frame->IsDragging());
    sim().mouseMove(target);
    sim().mouseUp(target);
    sim().pump();
    EXPECT_EQ(made->GetEvent(), sample->timer);
    EXPECT_EQ(sample->click->CountActions(), 0u);
    EXPECT_EQ(recorder->Count(5), 1u);
    EXPECT_TRUE(pf::screen().isOverlayClear());
}

TEST_F(EventEditors, DetailsOpensTheActionsEditorAndDeletingTheEventClosesAll)
{
    static int made = 0;
    made = 0;
    const auto displaced = CVTND_Registry::ReplaceEditor(16, 7, [](const CVTND_EditorRequest& r) {
        ++made;
        return static_cast<pf::Window*>(CVTND_ModelessEditorDlg::Open(
            std::make_unique<CVTND_ModelessEditorDlg>(16, r.object, r.record), CVTND_EventTimerDlg::kIdd, r.parent));
    });
    Dlg* editor = OpenEvent(sample->timer);
    auto* list = editor->item<pf::ListView>(Dlg::kIdActions);
    SWactionnode* member = sample->queueMembers.back(); // a sound played, its editor a stand-in here
    int32_t index = 0;
    while (index < list->getItemCount() && list->getItemData(index) != reinterpret_cast<pf::LParam>(member))
        ++index;
    ASSERT_TRUE(sim().selectListViewItem(*list, index));
    sim().click(*editor->child(Dlg::kIdDetails));
    EXPECT_EQ(made, 1);
    EXPECT_NE(app->FindEditDialog(16, member), nullptr);
    CVTND_Registry::ReplaceEditor(16, 7, displaced);

    ASSERT_TRUE(app->DeleteObject(CVTND_Object(sample->timer), CVTNDesignerApp::kDeleteFromMenu));
    EXPECT_EQ(app->FindEditDialog(15, sample->timer), nullptr);
    EXPECT_EQ(app->FindEditDialog(16, member), nullptr);
}

// -- The timer dialog

TEST(EventTimerInterval, ValuesTheRecordsWouldStoreDifferentlyAreRefused)
{
    EXPECT_EQ(CVTND_EventTimerDlg::ParseInterval("250.5"), 250.5f);
    EXPECT_EQ(CVTND_EventTimerDlg::ParseInterval("  +12"), 12.0f);
    EXPECT_EQ(CVTND_EventTimerDlg::ParseInterval("0"), 0.0f);
    EXPECT_EQ(CVTND_EventTimerDlg::ParseInterval("4294967040"), 4294967040.0f); // the largest float below 2^32
    EXPECT_EQ(CVTND_EventTimerDlg::ParseInterval("4294967295"), 4294967296.0f); // the bound its refusal names
    for (const char* refused : {"-5", "nan", "inf", "-inf", "1e12", "4294967296", "1e400", "-0.5", "abc", "12abc", "",
                                "5-", "1-2", "+", "-", "."})
        EXPECT_FALSE(CVTND_EventTimerDlg::ParseInterval(refused).has_value()) << refused;
}

TEST_F(EventEditors, TheTimerDialogOpensAtTheMouseAndStoresWhatItTakes)
{
    Dlg* editor = OpenEvent(sample->timer);
    sample->timer->SetTimerInterval(1000.0f);
    const pf::Point mouse{1200, 1000}; // near the screen's corner: pulled back onto it
    sim().mouseMove(mouse);
    std::string shown;
    pf::Rect placed;
    sim().onModal(CVTND_EventTimerDlg::kIdd, [&](pf::Dialog& d) {
        shown = d.child(CVTND_EventTimerDlg::kIdInterval)->text();
        placed = d.screenRect();
        sim().replaceText(*d.child(CVTND_EventTimerDlg::kIdInterval), "-5");
        sim().expectMessageBox(pf::IDOK);
        sim().click(*d.child(pf::IDOK)); // refused: the dialog stays
        EXPECT_FALSE(d.hasEnded());
        sim().replaceText(*d.child(CVTND_EventTimerDlg::kIdInterval), "250.5");
        sim().click(*d.child(pf::IDOK));
    });
    sim().click(*editor->child(Dlg::kIdEventParameters));
    EXPECT_EQ(shown, "1000");
    ExpectIntervalRefused("1000");
    EXPECT_EQ(sample->timer->GetTimerInterval(), 250.5f);
    const pf::Rect screen = pf::screen().workArea();
    EXPECT_TRUE(placed.r <= screen.r && placed.b <= screen.b && placed.l >= 0 && placed.t >= 0);
    EXPECT_TRUE(placed.l < mouse.x || placed.t < mouse.y);

    for (const char* refused : {"", "abc"}) {
        sim().onModal(CVTND_EventTimerDlg::kIdd, [&](pf::Dialog& d) {
            sim().replaceText(*d.child(CVTND_EventTimerDlg::kIdInterval), refused);
            sim().expectMessageBox(pf::IDOK);
            sim().click(*d.child(pf::IDOK)); // refused, and the field shows the interval again
            shown = d.child(CVTND_EventTimerDlg::kIdInterval)->text();
            sim().click(*d.child(pf::IDCANCEL));
        });
        EditTimerEventParameters(editor, *sample->timer);
        ExpectIntervalRefused("250.5");
        EXPECT_EQ(shown, "250.5") << refused;
        EXPECT_EQ(sample->timer->GetTimerInterval(), 250.5f);
    }
    sim().onModal(CVTND_EventTimerDlg::kIdd, [&](pf::Dialog& d) {
        sim().replaceText(*d.child(CVTND_EventTimerDlg::kIdInterval), "77");
        sim().click(*d.child(pf::IDCANCEL));
    });
    EditTimerEventParameters(editor, *sample->timer);
    EXPECT_EQ(sample->timer->GetTimerInterval(), 250.5f);

    // Shown in digits exactly as kept, and OK on the dialog unchanged keeps it: "1.23457e+06" stored 1234570. The
    // bound the refusal names is taken, and saved as it.
    const size_t boxes = Boxes().size();
    for (const auto& [typed, kept, digits] :
         {std::tuple{"1234567", 1234567.0f, "1234567"}, std::tuple{"2147483648", 2147483648.0f, "2147483648"},
          std::tuple{"4294967295", 4294967296.0f, "4294967296"}}) {
        SCOPED_TRACE(typed);
        for (const bool typing : {true, false}) {
            sim().onModal(CVTND_EventTimerDlg::kIdd, [&, typed = typed](pf::Dialog& d) {
                if (typing)
                    sim().replaceText(*d.child(CVTND_EventTimerDlg::kIdInterval), typed);
                else
                    shown = d.child(CVTND_EventTimerDlg::kIdInterval)->text();
                sim().click(*d.child(pf::IDOK));
            });
            EXPECT_EQ(EditTimerEventParameters(editor, *sample->timer), pf::IDOK);
            EXPECT_EQ(sample->timer->GetTimerInterval(), kept);
        }
        EXPECT_EQ(shown, digits);
    }
    EXPECT_EQ(Boxes().size(), boxes);
}

// -- The expression editor

TEST_F(EventEditors, TheExpressionChecksRunInOrderAndChangeNothing)
{
    AddVariable(*sample->object, "level", 1.0f);
    auto* editor = dynamic_cast<CVTND_ExpressionEditorDlg*>(
        app->EditObject(CVTND_Object(ObjectType::kExpression, sample->expression), false));
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->child(CVTND_ExpressionEditorDlg::kIdName)->text(), "double");
    SWexpression* held = sample->expression->GetExpression();
    const std::string textBefore = *held->GetText();
    struct Step {
        const char* text;
        const char* target;
        const char* name;
        uint32_t role;
    };
    const Step steps[] = {
        {"", "NODE:object0.level", "n", kIdsEmptyExpression},
        {"2**(", "NODE:object0.level", "n", kIdsCannotInterpret},
        {"2*3", "x", "n", kIdsEmptyExpression},
        {"2*3", "NODE:nowhere.level", "n", kIdsTargetNotFound},
        {"2*3", "NODE:object0.level", "", kIdsValidName},
        {"2*3", "NODE:object0.level", "half", kIdsUniqueName},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.role);
        sim().replaceText(*editor->child(CVTND_ExpressionEditorDlg::kIdText), step.text);
        sim().replaceText(*editor->child(CVTND_ExpressionEditorDlg::kIdTarget), step.target);
        sim().replaceText(*editor->child(CVTND_ExpressionEditorDlg::kIdName), step.name);
        sim().expectMessageBox(pf::IDOK);
        sim().click(*editor->child(pf::IDOK));
        ExpectLastBox(step.role);
        EXPECT_TRUE(editor->isWindow());
        EXPECT_EQ(*held->GetText(), textBefore);
        EXPECT_EQ(*held->GetName(), "double");
    }
}

TEST_F(EventEditors, AnEntryKeepsItsExpressionAndANewOneJoinsTheList)
{
    SWproperty* level = AddVariable(*sample->object, "level", 4.0f);
    auto* editor = dynamic_cast<CVTND_ExpressionEditorDlg*>(
        app->EditObject(CVTND_Object(ObjectType::kExpression, sample->expression), false));
    SWexpression* held = sample->expression->GetExpression();
    recorder->Clear();
    sim().replaceText(*editor->child(CVTND_ExpressionEditorDlg::kIdText), "NODE:object0.level*2");
    sim().replaceText(*editor->child(CVTND_ExpressionEditorDlg::kIdTarget), "NODE:object0.level");
    sim().click(*editor->child(pf::IDOK)); // keeping its own name is allowed
    EXPECT_TRUE(app->GetEditDialogs().empty());
    EXPECT_EQ(sample->expression->GetExpression(), held);
    EXPECT_EQ(*held->GetText(), "NODE:object0.level*2");
    EXPECT_EQ(held->GetTargetVariable(), level);
    ASSERT_EQ(recorder->Count(7), 1u);
    const auto value = SWexpression::Evaluate(held);
    ASSERT_NE(value, nullptr);
    EXPECT_FLOAT_EQ(value->GetAsFloat(), 8.0f);

    // The node renamed while the editor is open: OK takes the text and target under the new name.
    editor = dynamic_cast<CVTND_ExpressionEditorDlg*>(
        app->EditObject(CVTND_Object(ObjectType::kExpression, sample->expression), false));
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(sample->world.RenameNode(sample->object, "object0", "dial"));
    CVTND_Event renamed(EventCode::kRenamed, CVTND_Object(sample->object));
    renamed.SetTexts(std::string("object0"), std::string("dial"));
    app->Broadcast(renamed);
    sim().click(*editor->child(pf::IDOK));
    EXPECT_TRUE(app->GetEditDialogs().empty());
    EXPECT_EQ(*held->GetText(), "NODE:dial.level*2");
    EXPECT_EQ(held->GetTargetVariable(), level);
    ASSERT_TRUE(sample->world.RenameNode(sample->object, "dial", "object0"));

    const size_t entries = SWexpressionlist::Of(sample->world).Entries().Count();
    app->GetObjectsFactory().CreateObject(ObjectType::kExpression);
    auto* fresh = dynamic_cast<CVTND_ExpressionEditorDlg*>(pf::ui().window(pf::ui().activeWindow()));
    ASSERT_NE(fresh, nullptr);
    EXPECT_TRUE(fresh->IsNewExpression());
    EXPECT_TRUE(fresh->isVisible());
    ASSERT_EQ(app->GetEditDialogs().size(), 1u); // a record: it hears notices and closes with the project
    EXPECT_EQ(app->GetEditDialogs().front()->dialog, fresh);
    sim().replaceText(*fresh->child(CVTND_ExpressionEditorDlg::kIdText), "1+1");
    sim().replaceText(*fresh->child(CVTND_ExpressionEditorDlg::kIdTarget), "NODE:object0.level");
    sim().replaceText(*fresh->child(CVTND_ExpressionEditorDlg::kIdName), "half");
    sim().expectMessageBox(pf::IDOK);
    sim().click(*fresh->child(pf::IDOK));
    EXPECT_EQ(SWexpressionlist::Of(sample->world).Entries().Count(), entries); // name taken: nothing added
    EXPECT_TRUE(fresh->isWindow());
    sim().replaceText(*fresh->child(CVTND_ExpressionEditorDlg::kIdName), "two");
    recorder->Clear();
    sim().click(*fresh->child(pf::IDOK));
    SWexpressionentry* added = SWexpressionlist::Of(sample->world).FindByName("two");
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(*added->GetExpression()->GetText(), "1+1");
    ASSERT_EQ(recorder->Count(1), 1u);
    EXPECT_EQ(recorder->Events().back().subject.GetObject(), added);
    EXPECT_TRUE(app->GetEditDialogs().empty());
}

// A new expression's editor, opened from the Expressions panel, goes with its project: its OK can never add to the
// next one.
using NewObjectEditors = pf::UiFixture;

TEST_F(NewObjectEditors, ANewExpressionsEditorClosesWithItsProject)
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("vortan-new-expression-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const designertest::EarlierReportsDropped earlierReports;
    CVTND_Designer designer;
    ASSERT_TRUE(designertest::StartOnSampleWorld(designer, folder));
    sim().pump();
    CVTNDesignerApp* app = designer.GetApp();
    pf::Window* panel = app->GetPanel(PanelRole::kExpressions);
    ASSERT_NE(panel, nullptr);
    sim().click(*panel->child(panel_ids::kNew));
    auto* fresh = dynamic_cast<CVTND_ExpressionEditorDlg*>(pf::ui().window(pf::ui().activeWindow()));
    ASSERT_NE(fresh, nullptr);
    const pf::Hwnd editor = fresh->hwnd();
    sim().expectMessageBox(pf::IDNO); // do not save
    EXPECT_TRUE(designer.NewProject());
    EXPECT_FALSE(pf::ui().isWindow(editor));
    EXPECT_TRUE(designer.GetApp()->GetEditDialogs().empty());
    designer.Exit();
    std::filesystem::remove_all(folder);
}

TEST_F(EventEditors, DroppedPropertiesLandAtTheCaretOrReplaceTheTarget)
{
    SWproperty* level = AddVariable(*sample->object, "level", 1.0f);
    auto* editor = dynamic_cast<CVTND_ExpressionEditorDlg*>(
        app->EditObject(CVTND_Object(ObjectType::kExpression, sample->otherExpression), false));
    auto* text = editor->item<pf::RichEdit>(CVTND_ExpressionEditorDlg::kIdText);
    app->SetPropertiesObject(CVTND_Object(sample->object));
    sim().replaceText(*text, "1 + ");
    editor->send(workspace_messages::kPropertyDropped, CVTND_ExpressionEditorDlg::kIdText,
                 reinterpret_cast<pf::LParam>(level));
    EXPECT_EQ(text->text(), "1 + NODE:object0.level");
    ASSERT_TRUE(text->undo()); // one step
    EXPECT_EQ(text->text(), "1 + ");
    editor->send(workspace_messages::kPropertyDropped, CVTND_ExpressionEditorDlg::kIdTarget,
                 reinterpret_cast<pf::LParam>(level));
    EXPECT_EQ(editor->child(CVTND_ExpressionEditorDlg::kIdTarget)->text(), "NODE:object0.level");

    app->SetPropertiesObject(CVTND_Object(sample->sound));
    EXPECT_EQ(CVTND_ExpressionEditorDlg::ReferenceOf(app->GetPropertiesObject(), *level), "SOUND:speech.level");
    app->SetPropertiesObject(CVTND_Object(sample->material)); // no reference for other owners
    editor->send(workspace_messages::kPropertyDropped, CVTND_ExpressionEditorDlg::kIdTarget,
                 reinterpret_cast<pf::LParam>(level));
    EXPECT_EQ(editor->child(CVTND_ExpressionEditorDlg::kIdTarget)->text(), "NODE:object0.level");

    // Notices: a rename rewrites the name, a change the text, and a target that no longer resolves is emptied.
    CVTND_Event renamed(EventCode::kRenamed, CVTND_Object(sample->otherExpression));
    renamed.SetTexts(std::string("half"), std::string("halved"));
    app->Broadcast(renamed);
    EXPECT_EQ(editor->child(CVTND_ExpressionEditorDlg::kIdName)->text(), "halved");
    sample->otherExpression->GetExpression()->SetText(std::string("3 / 4"));
    app->Broadcast(CVTND_Event(EventCode::kChanged, CVTND_Object(sample->otherExpression)));
    EXPECT_EQ(text->text(), "3 / 4");
    EXPECT_EQ(editor->child(CVTND_ExpressionEditorDlg::kIdTarget)->text(), "");
}

TEST_F(EventEditors, AnEntryUpdatedWhileTheRenderThreadEvaluates)
{
    AddVariable(*sample->object, "level", 2.0f);
    std::atomic<bool> stop{false};
    std::thread render([&] {
        while (!stop.load()) {
            SWworldlock lock(sample->world);
            for (const SWlistnode* n = SWexpressionlist::Of(sample->world).Entries().Head(); n != nullptr;
                 n = n->Next())
                (void)SWexpression::Evaluate(static_cast<const SWexpressionentry*>(n)->GetExpression());
            for (SWevent* e = sample->world.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e))
                (void)e->GetName();
        }
    });
    for (int i = 0; i < 200; ++i) {
        auto* editor = dynamic_cast<CVTND_ExpressionEditorDlg*>(
            app->EditObject(CVTND_Object(ObjectType::kExpression, sample->expression), false));
        editor->child(CVTND_ExpressionEditorDlg::kIdText)->setText("NODE:object0.level+" + std::to_string(i));
        editor->child(CVTND_ExpressionEditorDlg::kIdTarget)->setText("NODE:object0.level");
        editor->send(pf::WM_COMMAND, pf::makeWParam(pf::IDOK, pf::BN_CLICKED), 0);
    }
    stop = true;
    render.join();
    EXPECT_EQ(*sample->expression->GetExpression()->GetText(), "NODE:object0.level+199");
}

} // namespace
} // namespace eventedittest
