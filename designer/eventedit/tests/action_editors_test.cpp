// The action editors opened through the editor factory on actions of the sample world and driven as a user drives
// them: the text and flag editors, the queue and the stop controller.
#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "designer/app/extended_world.h"
#include "designer/app/notification.h"
#include "designer/editing/picker_receptors.h"
#include "designer/eventedit/background_action_dlg.h"
#include "designer/eventedit/color_effect_pages.h"
#include "designer/eventedit/condition_editor_dlg.h"
#include "designer/eventedit/event_story_board.h"
#include "designer/eventedit/flag_action_editors.h"
#include "designer/eventedit/play_sound_dlg.h"
#include "designer/eventedit/queue_editor_dlg.h"
#include "designer/eventedit/stereo_editor_dlg.h"
#include "designer/eventedit/stop_controller_dlg.h"
#include "designer/eventedit/tests/eventedit_fixture.h"
#include "designer/eventedit/text_action_editors.h"
#include "designer/eventedit/timeline_frame.h"
#include "designer/workspace/audio_waveform_ctrl.h"
#include "designer/workspace/editor_texts.h"
#include "designer/workspace/number_text.h"
#include "designer/workspace/property_drag_source.h"
#include "designer/workspace/receptors_texts.h"
#include "designer/workspace/rename_dlg.h"
#include "designer/workspace/workspace_controls.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/property.h"
#include "engine/core/buffer.h"
#include "engine/core/camera_node.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/data_node.h"
#include "engine/core/node.h"
#include "engine/core/world.h"
#include "engine/resources/picture.h"
#include "engine/resources/sound.h"
#include "engine/resources/sound_list.h"
#include "platform/media/riff_wave_writer.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/list_box.h"
#include "platform/ui/controls/list_view.h"
#include "platform/ui/controls/trackbar.h"
#include "platform/ui/frame/frame_window.h"
#include "platform/ui/providers/providers.h"
#include "testsupport/designer/number_fields.h"
#include "testsupport/designer/timeline_event.h"

namespace eventedittest {
namespace {

class ActionEditors : public EventEditFixture {
protected:
    void SetUp() override
    {
        EventEditFixture::SetUp();
        RegisterWorkspaceControls(ui());
    }
    template <typename T> T* OpenAction(SWactionnode* action)
    {
        return dynamic_cast<T*>(app->EditObject(CVTND_Object(action), false));
    }
    SWactionnode* Add(int32_t kind, std::vector<std::string> arguments = {})
    {
        SWactionnode* action = sample->AddAction(*sample->click, kind);
        for (const std::string& a : arguments)
            action->AddArgument(a.c_str(), SWdatanode::kString, true);
        return action;
    }
    std::vector<std::string> Arguments(const SWactionnode& action)
    {
        std::vector<std::string> texts;
        for (const SWlistnode* n = action.GetArguments().Head(); n != nullptr; n = n->Next()) {
            const char* text = static_cast<const SWdatanode*>(n)->GetText();
            texts.push_back(text != nullptr ? text : "<not a text>");
        }
        return texts;
    }
    static SWactionnode* ActionOf(const pf::ListView& list, int32_t item)
    {
        return reinterpret_cast<SWactionnode*>(list.getItemData(item));
    }
    bool Checked(pf::Window& editor, int32_t id)
    {
        return static_cast<pf::Dialog&>(editor).item<pf::Button>(id)->getCheck() == pf::BST_CHECKED;
    }
};

TEST_F(ActionEditors, TextArgumentsAreWrittenOnOkOnly)
{
    SWactionnode* url = Add(10, {"http://example.org"});
    auto* editor = OpenAction<CVTND_ActionLoadUrlDlg>(url);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->child(1004)->text(), "http://example.org");
    EXPECT_EQ(editor->child(1172)->text(), "");
    sim().click(*editor->child(pf::IDOK));
    EXPECT_EQ(Arguments(*url), (std::vector<std::string>{"http://example.org", ""}));

    SWactionnode* file = Add(20, {"old.vto"});
    auto* fileEditor = OpenAction<CVTND_ActionLoadVTNDlg>(file);
    sim().replaceText(*fileEditor->child(1004), "new.vto");
    sim().click(*fileEditor->child(pf::IDCANCEL));
    EXPECT_EQ(Arguments(*file), (std::vector<std::string>{"old.vto"}));
    fileEditor = OpenAction<CVTND_ActionLoadVTNDlg>(file);
    sim().replaceText(*fileEditor->child(1004), "");
    sim().click(*fileEditor->child(pf::IDOK));
    EXPECT_EQ(Arguments(*file), (std::vector<std::string>{""}));
}

// The records keep a load-URL action's empty argument, so its frame name stays second, and drop every other kind's
// empty argument: the editors write both alike, and a reopened load-object-file editor shows its field empty anyway.
TEST_F(ActionEditors, EmptyTextArgumentsAfterASaveAndALoad)
{
    SWactionnode* url = Add(10, {"http://example.org"});
    SWactionnode* file = Add(20, {"old.vto"});
    sim().click(*OpenAction<CVTND_ActionLoadUrlDlg>(url)->child(pf::IDOK));
    auto* fileEditor = OpenAction<CVTND_ActionLoadVTNDlg>(file);
    sim().replaceText(*fileEditor->child(1004), "");
    sim().click(*fileEditor->child(pf::IDOK));
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        out.SetFormatVersion(951);
        ASSERT_TRUE(sample->world.SaveEvents(out));
    }
    const std::vector<uint8_t> bytes = buffer.ToVector();
    SWworld reopened;
    SWchunkstream in(std::span<const uint8_t>(bytes.data(), bytes.size()));
    in.SetFormatVersion(951);
    ASSERT_TRUE(reopened.LoadEvents(in));
    SWevent* clicked = reopened.FindEvent("clicked");
    ASSERT_NE(clicked, nullptr);
    const SWactionnode* readUrl = clicked->FindAction(url->GetActionId());
    const SWactionnode* readFile = clicked->FindAction(file->GetActionId());
    ASSERT_TRUE(readUrl != nullptr && readFile != nullptr);
    EXPECT_EQ(Arguments(*readUrl), (std::vector<std::string>{"http://example.org", ""}));
    EXPECT_TRUE(Arguments(*readFile).empty());
}

TEST_F(ActionEditors, TheHostMessageTakesPropertiesAndAsksBeforeAMissingOne)
{
    using Dlg = CVTND_ActionSendMessageToHostDlg;
    auto* message = dynamic_cast<SWhostmessageaction*>(Add(40, {"hello"}));
    ASSERT_NE(message, nullptr);
    auto volume = std::make_unique<SWproperty>(kTypeFloat);
    volume->SetName(std::string("volume"));
    SWproperty* property = sample->world.GetSoundVariables(*sample->sound).AddVariable(std::move(volume));
    auto* editor = OpenAction<Dlg>(message);
    PropertyDragSource = CVTND_Object(sample->sound);
    editor->send(kMsgPropertyDropped, Dlg::kIdText, reinterpret_cast<pf::LParam>(property));
    EXPECT_EQ(editor->child(Dlg::kIdText)->text(), "hello"); // the box is clear: nothing changes
    EXPECT_TRUE(PropertyDragSource.GetObject() == nullptr);
    sim().click(*editor->child(Dlg::kIdIsProperty));
    EXPECT_EQ(message->sendVariable, 0); // written on OK only
    PropertyDragSource = CVTND_Object(sample->sound);
    editor->send(kMsgPropertyDropped, Dlg::kIdText, reinterpret_cast<pf::LParam>(property));
    EXPECT_EQ(editor->child(Dlg::kIdText)->text(), "SOUND:speech.volume");

    sim().replaceText(*editor->child(Dlg::kIdText), "SOUND:speech.nothing");
    sim().expectMessageBox(pf::IDNO);
    sim().click(*editor->child(pf::IDOK));
    const auto& asked = pf::ui().providers().scriptedMessageBox().calls().back();
    EXPECT_EQ(asked.text, EditorTextOf(kIdsNoSuchProperty));
    EXPECT_EQ(asked.flags, pf::MB_YESNO | pf::MB_ICONEXCLAMATION);
    EXPECT_TRUE(editor->isWindow());
    EXPECT_EQ(Arguments(*message), (std::vector<std::string>{"hello"}));
    sim().replaceText(*editor->child(Dlg::kIdText), "SOUND:speech.volume");
    sim().click(*editor->child(pf::IDOK)); // it exists: no question
    EXPECT_EQ(Arguments(*message), (std::vector<std::string>{"SOUND:speech.volume"}));
    EXPECT_EQ(message->sendVariable, 1);

    editor = OpenAction<Dlg>(message);
    sim().click(*editor->child(Dlg::kIdIsProperty));
    sim().click(*editor->child(pf::IDCANCEL));
    EXPECT_EQ(message->sendVariable, 1);

    // The node renamed while the editor is open: OK stores the reference under the new name, not the old.
    auto level = std::make_unique<SWproperty>(kTypeFloat);
    level->SetName(std::string("level"));
    sample->object->AddVariable(std::move(level));
    editor = OpenAction<Dlg>(message);
    sim().replaceText(*editor->child(Dlg::kIdText), "NODE:object0.level");
    ASSERT_TRUE(sample->world.RenameNode(sample->object, "object0", "dial"));
    CVTND_Event renamed(EventCode::kRenamed, CVTND_Object(sample->object));
    renamed.SetTexts(std::string("object0"), std::string("dial"));
    app->Broadcast(renamed);
    sim().click(*editor->child(pf::IDOK));
    EXPECT_EQ(Arguments(*message), (std::vector<std::string>{"NODE:dial.level"}));
}

TEST_F(ActionEditors, NodeFlagsAreWrittenOnOkEachToItsByte)
{
    SWactionnode* hide = Add(21);
    auto* hideEditor = OpenAction<CVTND_ActionHideUnhideDlg>(hide);
    EXPECT_EQ(hideEditor->text(), EditorTextOf(kIdsHideActionTitle));
    sim().click(*hideEditor->child(CVTND_ActionHideUnhideDlg::kIdChildren));
    sim().click(*hideEditor->child(pf::IDOK));
    EXPECT_EQ(dynamic_cast<SWvisibilityaction*>(hide)->settings.subtree, 1);
    auto* showEditor = OpenAction<CVTND_ActionHideUnhideDlg>(Add(22));
    EXPECT_EQ(showEditor->text(), EditorTextOf(kIdsShowActionTitle));
    sim().click(*showEditor->child(pf::IDCANCEL));

    auto* reset = dynamic_cast<SWresetaction*>(Add(34));
    ASSERT_NE(reset, nullptr);
    reset->settings.position = 1;
    reset->settings.rotation = 0;
    reset->settings.subtree = 1;
    auto* resetEditor = OpenAction<CVTND_ActionResetObjectDlg>(reset);
    EXPECT_FALSE(Checked(*resetEditor, CVTND_ActionResetObjectDlg::kIdRotation));
    EXPECT_TRUE(Checked(*resetEditor, CVTND_ActionResetObjectDlg::kIdPosition));
    sim().click(*resetEditor->child(CVTND_ActionResetObjectDlg::kIdRotation));
    sim().click(*resetEditor->child(CVTND_ActionResetObjectDlg::kIdChildren));
    EXPECT_EQ(reset->settings.rotation, 0); // not before OK
    sim().click(*resetEditor->child(pf::IDOK));
    EXPECT_EQ(reset->settings.rotation, 1);
    EXPECT_EQ(reset->settings.position, 1);
    EXPECT_EQ(reset->settings.subtree, 0);
}

TEST_F(ActionEditors, LoadedWorldFlagsAreWrittenAtEveryClick)
{
    using Unload = CVTND_ActionUnloadVTODlg;
    auto* unload = dynamic_cast<SWunloadworldaction*>(Add(55));
    ASSERT_NE(unload, nullptr);
    auto* editor = OpenAction<Unload>(unload);
    EXPECT_TRUE(Checked(*editor, Unload::kIdResourcesToo));
    sim().click(*editor->child(Unload::kIdKeepResources));
    EXPECT_EQ(unload->byte2, 0);
    sim().click(*editor->child(Unload::kIdAll));
    EXPECT_EQ(unload->byte1, 1);
    // Every reference unloaded still unloads the resources as the radios say: they stay to be chosen.
    sim().click(*editor->child(Unload::kIdResourcesToo));
    EXPECT_EQ(unload->byte2, 1);
    sim().click(*editor->child(pf::IDCANCEL)); // stays set
    EXPECT_EQ(unload->byte1, 1);
    editor = OpenAction<Unload>(unload);
    EXPECT_TRUE(editor->child(Unload::kIdKeepResources)->isEnabled());
    sim().click(*editor->child(Unload::kIdKeepResources));
    EXPECT_EQ(unload->byte2, 0);
    sim().click(*editor->child(pf::IDOK));

    using Show = CVTND_ActionHideUnhideVTODlg;
    auto* show = dynamic_cast<SWshowworldaction*>(Add(56));
    ASSERT_NE(show, nullptr);
    auto* showEditor = OpenAction<Show>(show);
    EXPECT_TRUE(Checked(*showEditor, Show::kIdShow));
    EXPECT_TRUE(Checked(*showEditor, Show::kIdLast));
    sim().click(*showEditor->child(Show::kIdHide));
    EXPECT_EQ(show->show, 0); // the runtime hides
    sim().click(*showEditor->child(Show::kIdFirst));
    EXPECT_EQ(show->byte3, 0);
    sim().click(*showEditor->child(Show::kIdAll));
    EXPECT_EQ(show->byte2, 1);
    EXPECT_FALSE(showEditor->child(Show::kIdLast)->isEnabled());
    sim().click(*showEditor->child(pf::IDOK));
    EXPECT_EQ(show->show, 0);
}

TEST_F(ActionEditors, TheQueueShowsBlockingMembersAndStoresItsLoopOnEveryClose)
{
    using Dlg = CVTND_ActionSequenceActionsDlg;
    auto* editor = OpenAction<Dlg>(sample->queue);
    ASSERT_NE(editor, nullptr);
    auto* list = editor->item<pf::ListView>(Dlg::kIdList);
    ASSERT_EQ(list->getItemCount(), 2);
    EXPECT_EQ(list->columnCount(), 2);
    EXPECT_FALSE(editor->child(Dlg::kIdBlocking)->isEnabled());
    ASSERT_TRUE(sim().selectListViewItem(*list, 1));
    EXPECT_TRUE(editor->child(Dlg::kIdBlocking)->isEnabled());
    sim().click(*editor->child(Dlg::kIdBlocking));
    EXPECT_TRUE(sample->queueMembers[1]->IsWaiting());
    EXPECT_EQ(list->getItemText(1, 1), "B");
    engine->RefreshActionReceptors(); // another editor changed actions: the list refills
    sim().pump();
    EXPECT_EQ(list->getItemText(1, 1), "B");

    sim().click(*editor->child(Dlg::kIdRemove));
    EXPECT_EQ(list->getItemCount(), 1);
    EXPECT_FALSE(editor->child(Dlg::kIdBlocking)->isEnabled());
    EXPECT_FALSE(Checked(*editor, Dlg::kIdBlocking));

    sim().click(*editor->child(Dlg::kIdLoop));
    sim().keyPress(pf::VK_ESCAPE);
    EXPECT_TRUE(app->GetEditDialogs().empty());
    EXPECT_TRUE(dynamic_cast<SWqueueaction*>(sample->queue)->IsLooping());

    auto* fresh = OpenAction<Dlg>(Add(30));
    EXPECT_EQ(fresh->item<pf::ListView>(Dlg::kIdList)->getItemCount(), 0);
    EXPECT_FALSE(Checked(*fresh, Dlg::kIdLoop));
}

TEST_F(ActionEditors, TheStopControllerOffersMotionsOfTheSameNodesAndReplacesItsList)
{
    using Dlg = CVTND_ActionStopControllerDlg;
    const std::string node = *sample->object->GetName();
    std::vector<SWactionnode*> motions;
    for (const int32_t kind : {41, 42, 43, 44, 61})
        motions.push_back(Add(kind, {node}));
    motions[2]->AddArgument(node.c_str(), SWdatanode::kString, true); // names the node twice: listed once
    Add(41, {*sample->camera->GetName()});                            // another node: not listed
    auto* stop = dynamic_cast<SWstopmotionsaction*>(Add(46, {node}));
    ASSERT_NE(stop, nullptr);
    stop->AddTarget(motions[1]->GetActionId());
    stop->AddTarget(999999); // not available: not shown
    auto* editor = OpenAction<Dlg>(stop);
    auto* available = editor->item<pf::ListBox>(Dlg::kIdAvailable);
    auto* interrupt = editor->item<pf::ListBox>(Dlg::kIdInterrupt);
    ASSERT_EQ(available->getCount(), 3);
    ASSERT_EQ(interrupt->getCount(), 1);
    EXPECT_EQ(available->getText(0).rfind("clicked.", 0), 0u);

    sim().click(*interrupt, {interrupt->getItemRect(0).l + 4, interrupt->getItemRect(0).t + 4});
    sim().click(*editor->child(Dlg::kIdToAvailable)); // back: four available, ids 0, 2, 3, 1 in list order
    ASSERT_EQ(available->getCount(), 4);
    for (const int32_t index : {1, 3})
        sim().click(*available, {available->getItemRect(index).l + 4, available->getItemRect(index).t + 4});
    const auto second = available->getItemData(1);
    const auto fourth = available->getItemData(3);
    sim().click(*editor->child(Dlg::kIdToInterrupt));
    ASSERT_EQ(interrupt->getCount(), 2);
    EXPECT_EQ(interrupt->getItemData(0), second);
    EXPECT_EQ(interrupt->getItemData(1), fourth);

    sim().click(*editor->child(Dlg::kIdStopAll));
    EXPECT_EQ(stop->all, 1);
    sim().click(*editor->child(pf::IDOK));
    EXPECT_EQ(stop->GetIds(), (std::vector<uint32_t>{static_cast<uint32_t>(second), static_cast<uint32_t>(fourth)}));

    editor = OpenAction<Dlg>(stop);
    interrupt = editor->item<pf::ListBox>(Dlg::kIdInterrupt);
    for (int32_t i = 0; i < interrupt->getCount(); ++i)
        interrupt->setSel(i, true);
    sim().click(*editor->child(Dlg::kIdToAvailable));
    sim().click(*editor->child(pf::IDOK)); // an emptied list keeps the stop list
    EXPECT_EQ(stop->GetIds().size(), 2u);

    editor = OpenAction<Dlg>(stop);
    ASSERT_TRUE(sample->world.RenameEvent(sample->click, "clicked", "touched"));
    CVTND_Event renamed(EventCode::kRenamed, CVTND_Object(sample->click));
    renamed.SetTexts(std::string("clicked"), std::string("touched"));
    app->Broadcast(renamed);
    EXPECT_EQ(editor->item<pf::ListBox>(Dlg::kIdAvailable)->getText(0).rfind("touched.", 0), 0u);
}

// -- The condition test

TEST(ConditionConstant, DigitsAndOnePointAfterOneSignMakeANumber)
{
    using Dlg = CVTND_ActionConditionDlg;
    EXPECT_EQ(Dlg::ParseConstant("2.5"), 2.5f);
    EXPECT_EQ(Dlg::ParseConstant("-2.5"), -2.5f);
    EXPECT_EQ(Dlg::ParseConstant("+3"), 3.0f);
    EXPECT_EQ(Dlg::ParseConstant(".5"), 0.5f);
    EXPECT_EQ(Dlg::ParseConstant("5."), 5.0f);
    EXPECT_EQ(Dlg::ParseConstant(""), 0.0f);
    // Not one whole number: once read in part, "5-" as 5, "1-2" as 1 and a lone sign or point as 0.
    for (const char* refused : {"1.2.3", "+-1", "a", "1e3", "2 ", "1000000000000000000000000000000000000000", "5-",
                                "1-2", "-", "+", ".", "-."})
        EXPECT_FALSE(Dlg::ParseConstant(refused).has_value()) << refused;
}

// The constant shown as kept, so that OK on the editor unchanged keeps it ("1.23457e+06" was refused); what people
// type into it, each followed by OK, stored whole or refused; a property to test that names nothing refused, saying
// which name is missing.
TEST_F(ActionEditors, TheConditionKeepsItsConstantAndRefusesWhatNamesNothing)
{
    using Dlg = CVTND_ActionConditionDlg;
    auto* condition = dynamic_cast<SWconditionaction*>(sample->condition);
    ASSERT_NE(condition, nullptr);
    auto level = std::make_unique<SWproperty>(kTypeFloat);
    level->SetName(std::string("level"));
    SWproperty* tested = sample->object->AddVariable(std::move(level));
    condition->SetOperand1(tested);
    condition->SetOperand2(nullptr);
    condition->settings.constant = 1234567.0f;
    const size_t boxes = ui().providers().scriptedMessageBox().calls().size();
    auto* editor = OpenAction<Dlg>(condition);
    EXPECT_EQ(editor->child(Dlg::kIdCompareWith)->getText(), "1234567");
    sim().click(*editor->child(pf::IDOK));
    EXPECT_TRUE(app->GetEditDialogs().empty());
    EXPECT_EQ(condition->settings.constant, 1234567.0f);
    EXPECT_EQ(ui().providers().scriptedMessageBox().calls().size(), boxes);

    for (const auto& [typed, taken] :
         {std::pair{"+4", 4.0f}, std::pair{"+5", 5.0f}, std::pair{".5", 0.5f}, std::pair{"5.", 5.0f},
          std::pair{"4294967295", 4294967296.0f}, std::pair{"1234567", 1234567.0f}, std::pair{" 3", -1.0f},
          std::pair{"1e40\b\b39", -1.0f}, std::pair{"", -1.0f}, std::pair{"+", -1.0f}, std::pair{"-", -1.0f},
          std::pair{"5-", -1.0f}, std::pair{"1-2", -1.0f}}) {
        SCOPED_TRACE(typed);
        const std::optional<float> before = condition->settings.constant;
        editor = OpenAction<Dlg>(condition);
        sim().replaceText(*editor->child(Dlg::kIdCompareWith), typed);
        if (taken < 0.0f)
            sim().expectMessageBox(pf::IDOK);
        sim().click(*editor->child(pf::IDOK));
        EXPECT_EQ(condition->settings.constant, taken < 0.0f ? before : taken);
        if (taken < 0.0f) {
            ASSERT_FALSE(app->GetEditDialogs().empty()) << "refused: the editor stays";
            EXPECT_EQ(editor->child(Dlg::kIdCompareWith)->getText(), FormatNumberPlain(*before));
            sim().click(*editor->child(pf::IDCANCEL));
        }
    }

    for (const auto& [typed, missing] :
         {std::pair{"NODE:object0.nothing", "\"nothing\""}, std::pair{"NODE:nobody.level", "\"nobody\""},
          std::pair{"object0", "object.property"}}) {
        SCOPED_TRACE(typed);
        editor = OpenAction<Dlg>(condition);
        sim().replaceText(*editor->child(Dlg::kIdTested), typed);
        sim().expectMessageBox(pf::IDOK);
        sim().click(*editor->child(pf::IDOK));
        ASSERT_FALSE(app->GetEditDialogs().empty()) << "the editor stays for the name to be mended";
        EXPECT_NE(ui().providers().scriptedMessageBox().calls().back().text.find(missing), std::string::npos);
        EXPECT_EQ(condition->GetOperand1(), tested);
        sim().click(*editor->child(pf::IDCANCEL));
    }
}

TEST_F(ActionEditors, TheConditionWritesOperandsMaskAndBecomesOnOk)
{
    using Dlg = CVTND_ActionConditionDlg;
    auto level = std::make_unique<SWproperty>(kTypeFloat);
    level->SetName(std::string("level"));
    SWproperty* tested = sample->object->AddVariable(std::move(level));
    auto other = std::make_unique<SWproperty>(kTypeFloat);
    other->SetName(std::string("limit"));
    SWproperty* limit = sample->otherObject->AddVariable(std::move(other));
    auto* condition = dynamic_cast<SWconditionaction*>(sample->condition);
    ASSERT_NE(condition, nullptr);
    condition->settings.mask = 5;
    auto* editor = OpenAction<Dlg>(condition);
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(Checked(*editor, Dlg::kIdGreaterOrEqual));
    EXPECT_FALSE(editor->child(Dlg::kIdChangesOnly)->isEnabled());
    EXPECT_EQ(editor->item<pf::ListView>(Dlg::kIdTrueList)->getItemCount(), 1);
    EXPECT_EQ(editor->item<pf::ListView>(Dlg::kIdFalseList)->getItemCount(), 1);
    recorder->Clear();
    sim().replaceText(*editor->child(Dlg::kIdTested), "NODE:object0.level");
    sim().replaceText(*editor->child(Dlg::kIdCompareWith), "NODE:object1.limit");
    sim().click(*editor->child(Dlg::kIdBecomes));
    sim().click(*editor->child(pf::IDOK));
    EXPECT_EQ(condition->GetOperand1(), tested);
    EXPECT_EQ(condition->GetOperand2(), limit);
    EXPECT_FALSE(condition->settings.constant.has_value());
    EXPECT_EQ(condition->settings.mask, 5);
    EXPECT_EQ(condition->settings.changedOnly, 1);
    EXPECT_TRUE(recorder->Events().empty()); // nothing is broadcast

    // The compare-with text, each in an editor of its own; unusable ones are refused with a message, change
    // nothing and show what is stored again.
    struct Case {
        const char* text;
        bool operand;
        std::optional<float> constant;
        const char* shown; // after OK, when refused
    };
    const Case cases[] = {{"2.5", false, 2.5f, nullptr},
                          {"+3", false, 3.0f, nullptr},
                          {"", false, 3.0f, "3"},
                          {"1.2.3", false, 3.0f, "3"},
                          {"a", false, 3.0f, "3"},
                          {"BAD:object1.limit", false, 3.0f, "3"},
                          {"NODE:object1.limit", true, std::nullopt, nullptr},
                          {"NODE:object1.nothing", true, std::nullopt, "NODE:object1.limit"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        editor = OpenAction<Dlg>(condition);
        sim().replaceText(*editor->child(Dlg::kIdCompareWith), c.text);
        if (c.shown != nullptr)
            sim().expectMessageBox(pf::IDOK);
        sim().click(*editor->child(pf::IDOK));
        EXPECT_EQ(condition->GetOperand2() != nullptr, c.operand);
        EXPECT_EQ(condition->settings.constant, c.constant);
        if (c.shown != nullptr) {
            EXPECT_EQ(ui().providers().scriptedMessageBox().calls().back().text, EditorTextOf(kIdsValidCompareValue));
            EXPECT_EQ(editor->child(Dlg::kIdCompareWith)->getText(), c.shown);
            sim().click(*editor->child(pf::IDCANCEL));
        }
    }
}

// Both operands' node renamed through the rename dialog while the editor is open: the fields follow, so OK neither
// refuses the compare-with text nor drops the tested operand.
TEST_F(ActionEditors, TheConditionsOperandsFollowANodeRenamedWhileItIsOpen)
{
    using Dlg = CVTND_ActionConditionDlg;
    std::vector<SWproperty*> variables;
    for (const char* name : {"level", "limit"}) {
        auto variable = std::make_unique<SWproperty>(kTypeFloat);
        variable->SetName(std::string(name));
        variables.push_back(sample->object->AddVariable(std::move(variable)));
    }
    auto* condition = dynamic_cast<SWconditionaction*>(sample->condition);
    ASSERT_NE(condition, nullptr);
    condition->SetOperand1(variables[0]);
    condition->SetOperand2(variables[1]);
    auto* editor = OpenAction<Dlg>(condition);
    ASSERT_NE(editor, nullptr);
    ASSERT_EQ(editor->child(Dlg::kIdTested)->getText(), "NODE:object0.level");
    sim().onModal(kIddRename, [this](pf::Dialog& d) {
        sim().replaceText(*d.child(RenameControl::kNewName), "dial");
        sim().click(*d.child(pf::IDOK));
    });
    CVTND_RenameDlg rename{CVTND_Object(sample->object), nullptr};
    ASSERT_EQ(rename.Run(), 1);
    EXPECT_EQ(editor->child(Dlg::kIdTested)->getText(), "NODE:dial.level");
    EXPECT_EQ(editor->child(Dlg::kIdCompareWith)->getText(), "NODE:dial.limit");
    condition->SetOperand1(nullptr); // OK must find it again by the name shown
    sim().click(*editor->child(pf::IDOK));
    EXPECT_TRUE(app->GetEditDialogs().empty());
    EXPECT_EQ(condition->GetOperand1(), variables[0]);
    EXPECT_EQ(condition->GetOperand2(), variables[1]);
}

TEST_F(ActionEditors, ChangesOnlyPassesThroughAndAnotherRadioReplacesIt)
{
    using Dlg = CVTND_ActionConditionDlg;
    auto* condition = dynamic_cast<SWconditionaction*>(sample->condition);
    condition->settings.mask = 16;
    auto* editor = OpenAction<Dlg>(condition);
    EXPECT_TRUE(Checked(*editor, Dlg::kIdChangesOnly));
    sim().click(*editor->child(Dlg::kIdChangesOnly)); // disabled: nothing
    sim().click(*editor->child(pf::IDOK));
    EXPECT_EQ(condition->settings.mask, 16);
    editor = OpenAction<Dlg>(condition);
    sim().click(*editor->child(Dlg::kIdGreater));
    sim().click(*editor->child(pf::IDOK));
    EXPECT_EQ(condition->settings.mask, 4);
}

TEST_F(ActionEditors, TheConditionsListsTakeFollowersAndForgetDeletedProperties)
{
    using Dlg = CVTND_ActionConditionDlg;
    auto level = std::make_unique<SWproperty>(kTypeFloat);
    level->SetName(std::string("level"));
    SWproperty* tested = sample->object->AddVariable(std::move(level));
    auto* condition = dynamic_cast<SWconditionaction*>(sample->condition);
    condition->SetOperand1(tested);
    auto* editor = OpenAction<Dlg>(condition);
    const pf::Rect placed = editor->screenRect();
    editor->move(placed.offsetBy(900 - placed.l, 0)); // clear of the palette
    sim().pump();
    EXPECT_EQ(editor->child(Dlg::kIdTested)->text(), "NODE:object0.level");
    auto* falseList = editor->item<pf::ListView>(Dlg::kIdFalseList);
    const pf::Rect area = falseList->screenRect();
    DragFromPalette({Item(EdKind::kActionKind, sample->Kind(21), "hide")}, {{area.l + 20, area.b - 10}});
    ASSERT_EQ(falseList->getItemCount(), 2);
    SWactionnode* made = ActionOf(*falseList, 1);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->GetElseLink(), condition->GetActionId());

    ASSERT_TRUE(sim().selectListViewItem(*falseList, 1));
    sim().click(*editor->child(Dlg::kIdRemove));
    EXPECT_EQ(falseList->getItemCount(), 1);
    EXPECT_FALSE(editor->child(Dlg::kIdRemove)->isEnabled());

    app->Broadcast(CVTND_Event(EventCode::kDeleted, CVTND_Object(ObjectType::kProperty, tested)));
    EXPECT_EQ(editor->child(Dlg::kIdTested)->text(), "");
}

// -- Stereo vision

TEST_F(ActionEditors, StereoPreviewsOnItsCameraAndClosingPutsTheWorldBack)
{
    using Dlg = CVTND_ActionStereoscopicFeaturesDlg;
    auto* camera = dynamic_cast<SWcameranode*>(sample->camera);
    ASSERT_NE(camera, nullptr);
    auto* stereo = dynamic_cast<SWstereoaction*>(Add(37, {*camera->GetName()}));
    ASSERT_NE(stereo, nullptr);
    stereo->settings.stereoOn = 0;
    sample->world.SetStereo(0);
    auto* editor = OpenAction<Dlg>(stereo);
    EXPECT_EQ(camera->GetEyeIndex(), 0);
    sim().click(*editor->child(Dlg::kIdEnabled));
    EXPECT_EQ(stereo->settings.stereoOn, 1);
    EXPECT_NE(camera->GetEyeIndex(), 0);
    EXPECT_EQ(sample->world.GetStereo(), 1);
    ASSERT_TRUE(sim().chooseCombo(*editor->item<pf::ComboBox>(Dlg::kIdTechnique), 0));
    EXPECT_EQ(stereo->settings.eye, 1);
    EXPECT_EQ(camera->GetEye(), 1);
    sim().click(*editor->child(pf::IDCANCEL));
    EXPECT_EQ(stereo->settings.stereoOn, 0); // the enabled byte as found
    EXPECT_EQ(stereo->settings.eye, 1);      // the technique stays
    EXPECT_EQ(camera->GetEyeIndex(), 0);
    EXPECT_EQ(sample->world.GetStereo(), 0);

    auto* aimless = dynamic_cast<SWstereoaction*>(Add(37));
    editor = OpenAction<Dlg>(aimless);
    ASSERT_TRUE(sim().chooseCombo(*editor->item<pf::ComboBox>(Dlg::kIdTechnique), 0));
    EXPECT_EQ(aimless->settings.eye, 2); // without a target the technique changes nothing
    sim().click(*editor->child(pf::IDOK));
}

// -- The render thread meanwhile

TEST_F(ActionEditors, EditorsWriteWhileTheRenderThreadRunsTheirActions)
{
    // A running world whose timer fires every frame runs the condition, a stereo and a background action.
    auto* stereo = dynamic_cast<SWstereoaction*>(sample->AddAction(*sample->timer, 37));
    stereo->AddArgument(sample->camera->GetName()->c_str(), SWdatanode::kString, true);
    auto* background = dynamic_cast<SWbackgroundaction*>(sample->AddAction(*sample->timer, 19));
    ASSERT_TRUE(stereo != nullptr && background != nullptr);
    sample->timer->SetTimerInterval(0.0f);
    sample->world.SetRunning(true);
    std::atomic<bool> stop{false};
    std::thread render([&] {
        while (!stop.load()) {
            sample->world.RunFrame(); // takes the world's lock itself
            // A pause between frames, as the designer's render thread waits for its timer: a loop that took the
            // lock again at once kept the editors waiting for it for minutes.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    for (int i = 0; i < 20; ++i) {
        auto* condition = OpenAction<CVTND_ActionConditionDlg>(sample->condition);
        sim().click(
            *condition->child(i % 2 == 0 ? CVTND_ActionConditionDlg::kIdGreater : CVTND_ActionConditionDlg::kIdLess));
        sim().click(*condition->child(pf::IDOK));
        auto* queue = OpenAction<CVTND_ActionSequenceActionsDlg>(sample->queue);
        sim().click(*queue->child(CVTND_ActionSequenceActionsDlg::kIdLoop));
        sim().click(*queue->child(pf::IDOK));
        auto* stereoEditor = OpenAction<CVTND_ActionStereoscopicFeaturesDlg>(stereo);
        sim().click(*stereoEditor->child(CVTND_ActionStereoscopicFeaturesDlg::kIdEnabled));
        sim().click(*stereoEditor->child(pf::IDOK));
        auto* backgroundEditor = OpenAction<CVTND_ActionBackgroundDlg>(background);
        ASSERT_TRUE(
            sim().chooseCombo(*backgroundEditor->item<pf::ComboBox>(CVTND_ActionBackgroundDlg::kIdKind), 2 + i % 4));
        sim().click(*backgroundEditor->child(CVTND_ActionBackgroundDlg::kIdTest));
        sim().click(*backgroundEditor->child(pf::IDOK));
    }
    stop = true;
    render.join();
    sample->world.SetRunning(false);
    EXPECT_TRUE(app->GetEditDialogs().empty());
    EXPECT_EQ(dynamic_cast<SWconditionaction*>(sample->condition)->settings.mask, 8);
}

TEST_F(ActionEditors, TheSelectedActionStaysShownWhenItsDetailsOpen)
{
    auto* editor = OpenAction<CVTND_ActionConditionDlg>(sample->condition);
    auto* list = editor->item<pf::ListView>(CVTND_ActionConditionDlg::kIdTrueList);
    ASSERT_GT(list->getItemCount(), 0);
    sim().selectListViewItem(*list, 0);
    SWactionnode* selected = editor->SelectedAction();
    sim().click(*editor->child(CVTND_ActionConditionDlg::kIdDetails)); // every action list is refilled
    sim().pump();
    ASSERT_TRUE(app->GetEditDialogs().size() == 2u);
    EXPECT_EQ(editor->SelectedAction(), selected);
    EXPECT_NE(list->getItemState(0, pf::LVIS_SELECTED), 0u); // what Remove would take is what the list shows
    EXPECT_TRUE(editor->child(CVTND_ActionConditionDlg::kIdRemove)->isEnabled());
}

// -- Play sound

TEST(PlaySoundValues, PositionsAndRepeatsStayWhatTheActionStores)
{
    using Dlg = CVTND_ActionPlaySoundDlg; // the stored count a preview plays, a file's as well as a typed one
    EXPECT_EQ(Dlg::ClampRepeatCount(0), 1u);
    EXPECT_EQ(Dlg::ClampRepeatCount(-3), 1u);
    EXPECT_EQ(Dlg::ClampRepeatCount(std::nan("")), 1u);
    EXPECT_EQ(Dlg::ClampRepeatCount(1e20), 2147483647u);
    EXPECT_EQ(Dlg::ClampRepeatCount(300), 300u);
}

class PlaySoundEditor : public ActionEditors {
protected:
    void SetUp() override
    {
        ActionEditors::SetUp();
        const std::string path = (std::filesystem::path(ownFolder()) / "play-sound-2500ms.wav").string();
        auto writer = pf::RiffWaveWriter::create(path, pf::WaveFormat::pcm(1, 8000, 8));
        ASSERT_NE(writer, nullptr);
        const std::vector<uint8_t> silence(20000, 0x80); // 2.5 s at 8000 bytes a second
        ASSERT_TRUE(writer->write(silence));
        ASSERT_TRUE(writer->finish());
        sample->sound->SetFileName(path);
        action = dynamic_cast<SWsoundaction*>(Add(7, {sample->sound->GetName()}));
        ASSERT_NE(action, nullptr);
    }
    SWsoundaction* action = nullptr;
};

TEST_F(PlaySoundEditor, ANewActionOpensOnTheWholeSoundAndEveryFieldWritesAtOnce)
{
    using Dlg = CVTND_ActionPlaySoundDlg;
    ASSERT_EQ(sample->sound->GetLength(), 2500u);
    recorder->Clear();
    auto* editor = OpenAction<Dlg>(action);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->child(Dlg::kIdStart)->text(), "0");
    EXPECT_EQ(editor->child(Dlg::kIdEnd)->text(), "2500");
    EXPECT_EQ(editor->child(Dlg::kIdDuration)->text(), "2500");
    EXPECT_EQ(action->settings.endMs, 2500u);
    EXPECT_TRUE(recorder->Events().empty()); // opening announces nothing

    sim().replaceText(*editor->child(Dlg::kIdStart), "x");
    EXPECT_EQ(action->settings.startMs, 0u);
    ui().setFocus(editor->hwnd()); // the field left shows what it keeps
    EXPECT_EQ(editor->child(Dlg::kIdStart)->text(), "0");
    sim().replaceText(*editor->child(Dlg::kIdEnd), "4294967295");
    EXPECT_EQ(action->settings.endMs, 4294967295u);
    EXPECT_EQ(editor->child(Dlg::kIdEnd)->text(), "4294967295");
    EXPECT_EQ(editor->item<pf::Trackbar>(Dlg::kIdEndSlider)->getPos(), 2500);
    sim().replaceText(*editor->child(Dlg::kIdEnd), "2000");
    EXPECT_EQ(editor->child(Dlg::kIdDuration)->text(), "2000");
    sim().replaceText(*editor->child(Dlg::kIdRepeat), "0");
    EXPECT_EQ(action->settings.playOption2, 1u);
    ui().setFocus(editor->hwnd());
    EXPECT_EQ(editor->child(Dlg::kIdRepeat)->text(), "1");
    sim().click(*editor->child(Dlg::kIdLoop));
    EXPECT_EQ(action->settings.playOption1, 1);
    sim().click(*editor->child(Dlg::kIdLoop)); // a second click leaves Loop shown, and stored
    EXPECT_TRUE(Checked(*editor, Dlg::kIdLoop));
    EXPECT_EQ(action->settings.playOption1, 1);
    sim().click(*editor->child(Dlg::kIdRepeatRadio));
    EXPECT_EQ(action->settings.playOption1, 0);
    sim().click(*editor->child(Dlg::kIdLoop));
    ASSERT_FALSE(recorder->Events().empty());
    for (const auto& e : recorder->Events()) {
        EXPECT_EQ(e.code, 4u);
        EXPECT_EQ(e.detail, 1u);
        EXPECT_EQ(e.sender, editor->hwnd());
        EXPECT_EQ(e.subject.GetObject(), action);
    }
}

TEST_F(PlaySoundEditor, PlayFollowsTheSoundAndClosingStopsIt)
{
    using Dlg = CVTND_ActionPlaySoundDlg;
    auto* editor = OpenAction<Dlg>(action);
    auto* waveform = editor->item<CVTND_AudioWaveformCtrl>(Dlg::kIdWaveform);
    // The envelope is scanned on its own thread, which a machine busy with other tests may hold up for seconds.
    for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
         waveform->IsParsing() && std::chrono::steady_clock::now() < end;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        sim().pump();
    }
    ASSERT_EQ(waveform->GetSampleCount(), 20000u);
    sample->world.TakeSoundQueues();
    sim().replaceText(*editor->child(Dlg::kIdRepeat), "3");
    sim().click(*editor->child(Dlg::kIdPlay));
    EXPECT_TRUE(editor->IsPreviewing());
    auto queues = sample->world.TakeSoundQueues();
    EXPECT_EQ(queues.play, std::vector<SWsound*>{sample->sound});
    EXPECT_EQ(sample->sound->GetPlay().repeatCount, 3u);
    EXPECT_EQ(sample->sound->GetPlay().loop, 0);
    EXPECT_EQ(sample->sound->GetRepeatCount(), 2u);   // the sound's own, which is saved
    sample->world.GetSoundList().Play(sample->sound); // the world's sound step starts what was queued
    sim().advance(1200);
    const pf::Rect area = waveform->EnvelopeRect();
    const int32_t expected = area.l + static_cast<int32_t>((area.width() - 1) * 1200 / 2500);
    EXPECT_EQ(waveform->MarkerX(2), expected); // the marker follows the sound as the clock runs
    EXPECT_EQ(waveform->DrawnMarkerX(2), expected);
    sim().click(*editor->child(Dlg::kIdStop));
    EXPECT_FALSE(editor->IsPreviewing());
    EXPECT_EQ(sample->world.TakeSoundQueues().stop, std::vector<SWsound*>{sample->sound});

    sim().click(*editor->child(Dlg::kIdPlay));
    sim().click(*editor->child(pf::IDOK)); // closing while it plays stops it
    EXPECT_FALSE(sample->world.TakeSoundQueues().stop.empty());
    EXPECT_TRUE(app->GetEditDialogs().empty());

    editor = OpenAction<Dlg>(action);
    app->Broadcast(CVTND_Event(EventCode::kDeleted, CVTND_Object(sample->sound)));
    EXPECT_TRUE(app->GetEditDialogs().empty()); // the sound on display went
}

// The event editors' number fields in the table every editor's fields go through: the play-sound action's range and
// repeats, the checker background's angle and cell sizes, the time line's zoom.
TEST_F(PlaySoundEditor, NoNumberFieldStoresWhatItCannotKeepAndEachShowsWhatIsStored)
{
    pf::FrameWindow mainFrame; // whose status bar the fields report on
    ASSERT_TRUE(mainFrame.createFrame("Vortan", pf::Rect::fromXywh(0, 0, 1100, 800), 0, pf::WS_VISIBLE));
    ASSERT_TRUE(mainFrame.createStatusBar({600, -1}));
    app->SetMainFrame(&mainFrame);
    struct Unset {
        CVTNDesignerApp& app;
        ~Unset()
        {
            while (!app.GetEditDialogs().empty() && app.GetEditDialogs().front()->dialog != nullptr)
                app.GetEditDialogs().front()->dialog->destroy();
            app.SetMainFrame(nullptr);
        }
    } unset{*app};
    using designertest::NumberField;
    std::vector<NumberField> fields;

    using Sound = CVTND_ActionPlaySoundDlg;
    auto* player = OpenAction<Sound>(action);
    ASSERT_NE(player, nullptr);
    for (const auto& [id, stored, low, high] :
         {std::tuple{Sound::kIdStart, &action->settings.startMs, 0.0, 4294967295.0},
          std::tuple{Sound::kIdEnd, &action->settings.endMs, 0.0, 4294967295.0},
          std::tuple{Sound::kIdRepeat, &action->settings.playOption2, 1.0, 2147483647.0}}) {
        fields.push_back({"play sound " + std::to_string(id), [=, id = id] { return player->child(id); },
                          [=, stored = stored] { return static_cast<double>(*stored); }, low, high});
        fields.back().whole = true;
    }

    auto* background = dynamic_cast<SWbackgroundaction*>(Add(19));
    ASSERT_NE(background, nullptr);
    auto* effects = OpenAction<CVTND_ActionBackgroundDlg>(background);
    ASSERT_NE(effects, nullptr);
    ASSERT_TRUE(sim().chooseCombo(*effects->item<pf::ComboBox>(CVTND_ActionBackgroundDlg::kIdKind), 5)); // checker
    auto* checker = dynamic_cast<SWpicture*>(background->GetOwnPicture());
    ASSERT_NE(checker, nullptr);
    const BackgroundGenerator& g = checker->GetGenerator();
    using Page = CVTND_ColorEffectPage;
    fields.push_back({"checker angle", [=] { return effects->Page()->child(Page::kIdFirstText); },
                      [&g] { return g.parameters[2] * 57.29577951308232; }, -3.4e38, 3.4e38});
    for (const auto& [id, slot] : {std::pair{Page::kIdSecondText, 0}, std::pair{Page::kIdThirdText, 1}})
        fields.push_back({"checker size " + std::to_string(id), [=, id = id] { return effects->Page()->child(id); },
                          [&g, slot = slot] { return static_cast<double>(g.parameters[static_cast<size_t>(slot)]); },
                          0.0, 3.4e38});

    designertest::TimelineEvent laidOut(*sample);
    auto* timeline = dynamic_cast<CChildEventTimelineFrame*>(app->OpenEventTimeline(laidOut.event));
    ASSERT_NE(timeline, nullptr);
    fields.push_back({"time-line zoom", [=] { return timeline->View().child(CChildEventTimelineView::kZoomEdit); },
                      [=] { return timeline->View().Zoom(); }, 1.0, CChildEventTimelineView::kLargestZoom});

    // Before a sound is chosen the positions are read all the same: they once showed text they never kept.
    auto* silent = dynamic_cast<SWsoundaction*>(Add(7, {"nowhere"}));
    ASSERT_NE(silent, nullptr);
    auto* unsounded = OpenAction<Sound>(silent);
    ASSERT_NE(unsounded, nullptr);
    for (const auto& [id, stored] :
         {std::pair{Sound::kIdStart, &silent->settings.startMs}, std::pair{Sound::kIdEnd, &silent->settings.endMs}}) {
        fields.push_back({"no sound " + std::to_string(id), [=, id = id] { return unsounded->child(id); },
                          [=, stored = stored] { return static_cast<double>(*stored); }, 0.0, 4294967295.0});
        fields.back().whole = true;
    }

    designertest::CheckNumberFields(ui(), sim(), *mainFrame.statusBar(), fields);
    timeline->destroy();
}

TEST_F(PlaySoundEditor, WithoutALinkedSoundNothingPlaysAndThePositionsAreStillKept)
{
    using Dlg = CVTND_ActionPlaySoundDlg;
    SWactionnode* silent = Add(7, {"nowhere"});
    auto* editor = OpenAction<Dlg>(silent);
    sample->world.TakeSoundQueues();
    sim().replaceText(*editor->child(Dlg::kIdStart), "100");
    EXPECT_EQ(dynamic_cast<SWsoundaction*>(silent)->settings.startMs, 100u);
    sim().click(*editor->child(Dlg::kIdPlay));
    EXPECT_FALSE(editor->IsPreviewing());
    EXPECT_TRUE(sample->world.TakeSoundQueues().play.empty());
}

} // namespace
} // namespace eventedittest
