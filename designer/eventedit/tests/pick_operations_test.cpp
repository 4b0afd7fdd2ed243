// The pick operations under scripted pickers: an event's objects, sounds and keys; an action's node targets, camera,
// sound, cursor, events and expressions; re-picks, cancels, placement near the event or action, and Open.
#include <string>
#include <vector>

#include "designer/app/extended_world.h"
#include "designer/app/registry.h"
#include "designer/eventedit/tests/eventedit_fixture.h"
#include "designer/workspace/pick_operations.h"
#include "designer/workspace/receptors_texts.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/key_table.h"
#include "engine/core/cursor_list.h"
#include "engine/core/data_node.h"
#include "engine/core/node.h"
#include "engine/core/world.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/list_box.h"
#include "platform/ui/dialog/dialog.h"

namespace eventedittest {
namespace {

class PickOperations : public EventEditFixture {
protected:
    // The multiple picker: the names are added in order (queue mode on first when asked), then OK or Cancel.
    void ScriptMultiple(std::vector<std::string> names, bool ok = true, bool toggleQueue = false)
    {
        sim().onModal(kIddMultipleSelect, [this, names, ok, toggleQueue](pf::Dialog& d) {
            seenChosen.clear();
            auto* chosen = d.item<pf::ListBox>(PickerControl::kChosen);
            for (int32_t i = 0; i < chosen->getCount(); ++i)
                seenChosen.push_back(chosen->getText(i));
            seenQueue = d.item<pf::Button>(PickerControl::kQueueMode)->getCheck();
            if (toggleQueue)
                sim().click(*d.item<pf::Window>(PickerControl::kQueueMode));
            auto* offered = d.item<pf::ListBox>(PickerControl::kOffered);
            for (const std::string& name : names) {
                int32_t index = name == "*" && offered->getCount() > 0 ? 0 : -1; // "*": whatever comes first
                for (int32_t i = 0; i < offered->getCount() && index < 0; ++i)
                    if (offered->getText(i) == name || offered->getText(i).rfind(name + " (", 0) == 0)
                        index = i;
                ASSERT_GE(index, 0) << name;
                added.push_back(*reinterpret_cast<const std::string*>(offered->getItemData(index)));
                sim().selectListItem(*offered, index);
                sim().click(*d.item<pf::Window>(PickerControl::kAdd));
            }
            sim().click(*d.item<pf::Window>(ok ? pf::IDOK : pf::IDCANCEL));
        });
    }
    void ScriptSingle(const std::string& name)
    {
        sim().onModal(kIddSingleSelect, [this, name](pf::Dialog& d) {
            auto* list = d.item<pf::ListBox>(PickerControl::kOffered);
            for (int32_t i = 0; i < list->getCount(); ++i)
                if (list->getText(i) == name || list->getText(i).rfind(name + " (", 0) == 0)
                    sim().selectListItem(*list, i);
            sim().click(*d.item<pf::Window>(pf::IDOK));
        });
    }
    static std::vector<std::string> Texts(const SWactionnode& action)
    {
        std::vector<std::string> texts;
        for (const SWlistnode* n = action.GetArguments().Head(); n != nullptr; n = n->Next())
            if (const char* t = static_cast<const SWdatanode*>(n)->GetText())
                texts.emplace_back(t);
        return texts;
    }
    static std::vector<std::string> ObjectNames(const SWevent& event)
    {
        std::vector<std::string> names;
        for (const SWlistnode* n = event.GetObjectList() ? event.GetObjectList()->Head() : nullptr; n != nullptr;
             n = n->Next())
            names.push_back(*static_cast<const SWobjectnameentry*>(n)->name);
        return names;
    }
    static bool Near(const MapObject* a, const MapObject* b)
    {
        return a != nullptr && b != nullptr && a->IsPlaced() && std::abs(a->x - b->x) < 300 &&
               std::abs(a->y - b->y) < 300;
    }
    std::vector<std::string> seenChosen;
    std::vector<std::string> added; // names the scripts added, in order
    int32_t seenQueue = -1;
};

TEST_F(PickOperations, ClickEventObjectsWithQueueModeFromItsSequenceFlag)
{
    MapObject* anchor = Place(engine->AddEvent(sample->click), 600, 400);
    sample->click->SetSequenceMode(1);
    ScriptMultiple({*sample->mesh->GetName()}, true, true); // the box shows 1; the click turns it off
    EditEventParameters(canvas.get(), sample->click, 5, false);
    EXPECT_EQ(seenChosen, (std::vector<std::string>{*sample->hotspot->GetName()}));
    EXPECT_EQ(seenQueue, pf::BST_CHECKED);
    EXPECT_EQ(ObjectNames(*sample->click),
              (std::vector<std::string>{*sample->hotspot->GetName(), *sample->mesh->GetName()}));
    EXPECT_EQ(sample->click->GetSequenceMode(), 0);
    EXPECT_TRUE(Near(engine->FindNodeObject(sample->mesh), anchor));
}

TEST_F(PickOperations, SoundAndKeyEventsAndCancel)
{
    ScriptMultiple({"bell"});
    EditEventParameters(canvas.get(), sample->soundDone, 17, false);
    ASSERT_NE(sample->soundDone->GetSoundList(), nullptr);
    EXPECT_EQ(sample->soundDone->GetSoundList()->Count(), 2u);

    added.clear();
    ScriptMultiple({"*"});
    EditEventParameters(canvas.get(), sample->key, 19, false);
    ASSERT_EQ(added.size(), 1u);
    ASSERT_NE(sample->key->GetKeyEntry(), nullptr);
    EXPECT_EQ(static_cast<SWkeyreference*>(sample->key->GetKeyEntry()->Head())->key,
              sample->world.GetKeyTable().FindKeyByName(added[0]));

    const std::vector<std::string> before = ObjectNames(*sample->click);
    ScriptMultiple({*sample->mesh->GetName()}, false);
    EditEventParameters(canvas.get(), sample->click, 5, false);
    EXPECT_EQ(ObjectNames(*sample->click), before);
}

// The key list's flag silences a key event; the picker offers no queue mode for keys and its OK leaves it clear.
TEST_F(PickOperations, KeyPickOffersNoQueueModeAndLeavesTheEventFiring)
{
    sample->key->SetAllKeysFlag(1); // as an older file may hold it
    bool boxEnabled = true;
    sim().onModal(kIddMultipleSelect, [&](pf::Dialog& d) {
        auto* box = d.item<pf::Button>(PickerControl::kQueueMode);
        boxEnabled = box->isEnabled();
        seenQueue = box->getCheck();
        sim().click(*box);
        auto* offered = d.item<pf::ListBox>(PickerControl::kOffered);
        sim().selectListItem(*offered, 0);
        sim().click(*d.item<pf::Window>(PickerControl::kAdd));
        sim().click(*d.item<pf::Window>(pf::IDOK));
    });
    EditEventParameters(canvas.get(), sample->key, 19, false);
    EXPECT_FALSE(boxEnabled);
    EXPECT_EQ(seenQueue, pf::BST_UNCHECKED);
    EXPECT_EQ(sample->key->GetAllKeysFlag(), 0);
    ASSERT_NE(sample->key->GetKeyEntry(), nullptr);
    EXPECT_EQ(sample->key->GetKeyEntry()->Count(), 1u);
}

TEST_F(PickOperations, NodeTargetsReplaceArgumentsInResultOrderAndBroadcast)
{
    SWactionnode* action = sample->AddAction(*sample->motionDone, 2);
    MapObject* anchor = Place(engine->AddAction(action), 500, 300);
    action->AddArgument(sample->object->GetName()->c_str(), SWdatanode::kString, true);
    std::string text;
    ScriptMultiple({"*"});
    ASSERT_TRUE(BuildEventParameterPickList(canvas.get(), action, &text));
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(seenChosen, (std::vector<std::string>{*sample->object->GetName()}));
    EXPECT_EQ(Texts(*action), (std::vector<std::string>{*sample->object->GetName(), added[0]}));
    EXPECT_NE(text.find("(...)"), std::string::npos);
    ASSERT_EQ(recorder->Count(4), 1u);
    EXPECT_EQ(recorder->Events().back().detail, 4u);
    EXPECT_EQ(recorder->Events().back().related[0].GetObject(), sample->motionDone);
    EXPECT_TRUE(Near(engine->FindNodeObject(sample->world.GetRootNode()->FindByName(added[0])), anchor));

    // The same again: one argument per name.
    ScriptMultiple({});
    ASSERT_TRUE(BuildEventParameterPickList(canvas.get(), action, nullptr));
    EXPECT_EQ(Texts(*action).size(), 2u);
    ScriptMultiple({}, false);
    EXPECT_FALSE(BuildEventParameterPickList(canvas.get(), action, nullptr));
    EXPECT_EQ(Texts(*action).size(), 2u);
}

TEST_F(PickOperations, SingleTargetsCameraSoundAndCursor)
{
    SWactionnode* camera = sample->AddAction(*sample->motionDone, 5);
    ScriptSingle("side");
    ASSERT_TRUE(BuildEventParameterPickList(canvas.get(), camera, nullptr));
    EXPECT_EQ(Texts(*camera).front(), "side");

    SWactionnode* sound = sample->AddAction(*sample->motionDone, 7);
    sound->GetArguments().DeleteAll();
    ScriptSingle("bell");
    ASSERT_TRUE(BuildEventParameterPickList(canvas.get(), sound, nullptr));
    EXPECT_EQ(Texts(*sound), (std::vector<std::string>{"bell"}));

    SWactionnode* pointer = sample->AddAction(*sample->motionDone, 39);
    std::string text;
    ScriptSingle(sample->cursor->name);
    ASSERT_TRUE(BuildEventParameterPickList(canvas.get(), pointer, &text));
    const auto* id = static_cast<const int32_t*>(
        static_cast<const SWdatanode*>(pointer->GetArguments().Head())->GetData(SWdatanode::kInt));
    ASSERT_NE(id, nullptr);
    EXPECT_EQ(static_cast<uint32_t>(*id), sample->cursor->id);
    EXPECT_NE(text.find(" (" + std::to_string(sample->cursor->id) + ")"), std::string::npos);
}

TEST_F(PickOperations, EventNamesAndExpressionsAnnounceEachArgument)
{
    SWactionnode* events = sample->AddAction(*sample->motionDone, 12);
    ScriptMultiple({"tick", "rang"});
    ASSERT_TRUE(BuildEventParameterPickList(canvas.get(), events, nullptr));
    EXPECT_EQ(Texts(*events), (std::vector<std::string>{"tick", "rang"}));
    EXPECT_EQ(recorder->Count(4), 2u); // one argument added, announced, each

    SWactionnode* expression = sample->AddAction(*sample->motionDone, 35);
    MapObject* anchor = Place(engine->AddAction(expression), 100, 400);
    ScriptMultiple({"half"});
    ASSERT_TRUE(BuildEventParameterPickList(canvas.get(), expression, nullptr));
    ASSERT_EQ(expression->GetArguments().Count(), 1u);
    EXPECT_EQ(static_cast<SWdatanode*>(expression->GetArguments().Head())->GetData(SWdatanode::kObject),
              sample->otherExpression);
    EXPECT_TRUE(Near(engine->FindExpressionObject(sample->otherExpression), anchor));
}

TEST_F(PickOperations, OpenRunsTheEditorOrThePick)
{
    int opened = 0;
    static int* counter = nullptr;
    counter = &opened;
    const CVTND_EditorConstructor counting = [](const CVTND_EditorRequest& request) -> pf::Window* {
        *counter += request.object != nullptr ? 1 : 100;
        return nullptr;
    };
    const uint16_t action = static_cast<uint16_t>(ObjectType::kAction);
    const auto oldAny = CVTND_Registry::ReplaceEditor(action, kAnyActionKind, counting);
    const auto oldQueue = CVTND_Registry::ReplaceEditor(action, 30, counting);
    engine->AddAction(sample->queue)->Open(canvas.get(), {});
    EXPECT_EQ(opened, 1); // once, for the action
    CVTND_Registry::ReplaceEditor(action, kAnyActionKind, oldAny);
    CVTND_Registry::ReplaceEditor(action, 30, oldQueue);

    bool picked = false;
    sim().onModal(kIddMultipleSelect, [&](pf::Dialog& d) {
        picked = true;
        sim().click(*d.item<pf::Window>(pf::IDCANCEL));
    });
    engine->AddEvent(sample->click)->Open(canvas.get(), {});
    EXPECT_TRUE(picked);
}

} // namespace
} // namespace eventedittest
