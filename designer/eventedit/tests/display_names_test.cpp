// Display names of actions by kind and argument count, the indented follower lists (with a loop read from a damaged
// file ending), and the menu tests.
#include <string>
#include <vector>

#include "designer/app/registry.h"
#include "designer/editing/display_names.h"
#include "designer/eventedit/tests/eventedit_fixture.h"
#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/core/data_node.h"
#include "platform/ui/controls/list_view.h"

namespace eventedittest {
namespace {

class DisplayNames : public EventEditFixture {
protected:
    SWactionnode* Make(int32_t kind, std::vector<std::string> texts = {})
    {
        SWactionnode* action = sample->AddAction(*sample->motionDone, kind);
        for (const std::string& text : texts)
            action->AddArgument(text.c_str(), SWdatanode::kString, true);
        return action;
    }
    static std::string Name(const SWactionnode& action)
    {
        return action.GetKind() != nullptr && action.GetKind()->GetName() ? *action.GetKind()->GetName() : "";
    }
    std::vector<std::string> Rows(pf::ListView& list)
    {
        std::vector<std::string> rows;
        for (int32_t i = 0; i < list.getItemCount(); ++i)
            rows.push_back(list.getItemText(i, 0));
        return rows;
    }
    pf::ListView& List()
    {
        if (m_list == nullptr) {
            m_list = std::make_unique<pf::ListView>();
            pf::CreateParams params;
            params.className = "listview";
            params.style = pf::WS_CHILD | pf::LVS_REPORT;
            params.rect = pf::Rect::fromXywh(0, 0, 300, 200);
            params.parent = canvas->hwnd();
            EXPECT_TRUE(m_list->create(params));
            m_list->insertColumn(0, "Action", 280);
        }
        return *m_list;
    }
    std::unique_ptr<pf::ListView> m_list;
};

TEST_F(DisplayNames, TableByKindAndArgumentCount)
{
    for (int32_t kind = 0; kind <= 65; ++kind) {
        SCOPED_TRACE(kind);
        if (kind == 16 || kind == 23 || kind == 39 || kind == 24 || kind == 35)
            continue;
        const bool counted = (kind >= 2 && kind <= 5) || kind == 7 || kind == 8 || (kind >= 10 && kind <= 15) ||
                             (kind >= 20 && kind <= 22) || (kind >= 26 && kind <= 29) || (kind >= 32 && kind <= 34) ||
                             kind == 37 || kind == 38 || (kind >= 40 && kind <= 58) || (kind >= 60 && kind <= 64);
        SWactionnode* none = Make(kind);
        SWactionnode* one = Make(kind, {"lamp"});
        SWactionnode* two = Make(kind, {"lamp", "door"});
        const std::string name = Name(*none);
        EXPECT_EQ(FormatObjectDisplayName(*none), name);
        EXPECT_EQ(FormatObjectDisplayName(*one), counted ? name + " (lamp)" : name);
        EXPECT_EQ(FormatObjectDisplayName(*two), counted ? name + " (...)" : name);
    }
}

TEST_F(DisplayNames, SwitchCursorCallbackAndExpressionForms)
{
    SWactionnode* on = Make(23);
    SWactionnode* off = Make(23);
    const uint8_t one = 1, zero = 0;
    on->AddArgument(&one, SWdatanode::kByte, true);
    off->AddArgument(&zero, SWdatanode::kByte, true);
    EXPECT_EQ(FormatObjectDisplayName(*on), Name(*on) + " (Active)");
    EXPECT_EQ(FormatObjectDisplayName(*off), Name(*off) + " (Not active)");
    SWactionnode* cursor = Make(39);
    cursor->GetArguments().DeleteAll();
    const int32_t id = 0x2af;
    cursor->AddArgument(&id, SWdatanode::kInt, true);
    EXPECT_EQ(FormatObjectDisplayName(*cursor), Name(*cursor) + " (2af)");
    SWactionnode* callback = sample->motionDone->CreateHostCallbackAction("Lights", "toggle");
    EXPECT_EQ(FormatObjectDisplayName(*callback), "Lights::toggle");
    SWactionnode* expression = Make(35);
    expression->AddArgument(sample->expression, SWdatanode::kObject, false);
    EXPECT_NE(FormatObjectDisplayName(*expression).find(" ("), std::string::npos);
}

TEST_F(DisplayNames, FollowersIndentedWithTildeOnlyForTheFalseBranch)
{
    SWactionnode* deeper = sample->AddAction(*sample->timer, 2);
    deeper->SetQueueLink(sample->thenFollower->GetActionId());
    FillEventActionList(*sample->timer, List());
    const std::vector<std::string> rows = Rows(List());
    const auto rowOf = [&](const SWactionnode* a) {
        for (int32_t i = 0; i < List().getItemCount(); ++i) {
            if (reinterpret_cast<SWactionnode*>(List().getItemData(i)) == a)
                return rows[static_cast<size_t>(i)];
        }
        return std::string("<missing>");
    };
    EXPECT_EQ(rowOf(sample->thenFollower), "     " + FormatObjectDisplayName(*sample->thenFollower));
    EXPECT_EQ(rowOf(sample->elseFollower), "     ~" + FormatObjectDisplayName(*sample->elseFollower));
    EXPECT_EQ(rowOf(deeper), std::string(10, ' ') + FormatObjectDisplayName(*deeper));
    EXPECT_EQ(rowOf(sample->condition), FormatObjectDisplayName(*sample->condition));

    FillFollowerActionList(*sample->condition, true, false, List());
    ASSERT_EQ(List().getItemCount(), 2); // the true follower and its own follower
    EXPECT_EQ(reinterpret_cast<SWactionnode*>(List().getItemData(0)), sample->thenFollower);
    FillFollowerActionList(*sample->condition, false, true, List());
    ASSERT_EQ(List().getItemCount(), 1);
    EXPECT_EQ(Rows(List())[0], "~" + FormatObjectDisplayName(*sample->elseFollower));
}

TEST_F(DisplayNames, LoopOfLinksEndsTheList)
{
    SWactionnode* a = Make(2);
    SWactionnode* b = Make(3);
    a->SetQueueLink(b->GetActionId());
    b->SetQueueLink(a->GetActionId());
    FillFollowerActionList(*a, false, false, List());
    EXPECT_LE(List().getItemCount(), 2);
    FillEventActionList(*sample->motionDone, List());
    EXPECT_LE(List().getItemCount(), static_cast<int32_t>(sample->motionDone->CountActions()));
}

TEST_F(DisplayNames, MenuTests)
{
    const struct {
        uint32_t type;
        bool parameters;
    } events[] = {{0, false},  {3, false}, {4, true},  {5, true},   {8, false}, {14, false},
                  {15, false}, {16, true}, {17, true}, {18, false}, {20, true}, {21, false}};
    for (const auto& row : events) {
        SWevent event(1, row.type);
        EXPECT_EQ(EventHasParameters(event), row.parameters) << row.type;
    }
    EXPECT_TRUE(EventCanCollapseInputs(*sample->click)); // type 5 with object names
    EXPECT_FALSE(EventCanCollapseInputs(*sample->timer));
    EXPECT_FALSE(EventCanCollapseInputs(*sample->key));
    SWevent emptyClick(1, 5);
    EXPECT_FALSE(EventCanCollapseInputs(emptyClick));
    for (int32_t kind : {6, 10, 16, 19, 20, 23, 25, 30, 40})
        EXPECT_FALSE(ActionHasTargets(*Make(kind))) << kind;
    EXPECT_TRUE(ActionHasTargets(*Make(2)));
    for (int32_t kind : {1, 3, 5, 6, 8, 9, 11, 16, 24, 28, 29, 31, 35, 38, 39, 48, 49, 58})
        EXPECT_FALSE(ActionHasDetails(*Make(kind))) << kind;
    EXPECT_TRUE(ActionHasDetails(*Make(10)));
    // Details is offered exactly where an editor opens: none for 0, 2, 17, 18, 23, 26, 36, 57 and 64.
    for (int32_t kind = 0; kind <= 64; ++kind) {
        const SWactionnode* action = Make(kind);
        if (action->GetKind() == nullptr)
            continue;
        const bool editor = CVTND_Registry::FindEditor(static_cast<uint16_t>(ObjectType::kAction), kind) != nullptr;
        EXPECT_EQ(ActionHasDetails(*action), editor) << kind;
    }
}

TEST_F(DisplayNames, ArgumentLookups)
{
    SWactionnode* action = Make(2, {"lamp", "Lamp"});
    const int32_t id = 7;
    action->AddArgument(&id, SWdatanode::kInt, true);
    action->AddArgument(sample->expression, SWdatanode::kObject, false);
    EXPECT_EQ(FindArgumentByText(*action, "Lamp"), action->GetArguments().Head()->Next());
    EXPECT_EQ(FindArgumentByText(*action, "LAMP"), nullptr);
    EXPECT_NE(FindArgumentById(*action, 7), nullptr);
    EXPECT_EQ(FindArgumentById(*action, 8), nullptr);
    EXPECT_EQ(FindArgumentByPointer(*action, sample->expression), action->GetArguments().Tail());
}

} // namespace
} // namespace eventedittest
