// The merge of expressions, tooltips and speech scripts from an import into a world: each comes across under a name
// unique there, what refers to it follows, and taking the merge out removes it without leaving anything pointing
// at it.
#include <gtest/gtest.h>

#include <memory>

#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/expression.h"
#include "engine/behaviour/expression_list.h"
#include "engine/behaviour/property.h"
#include "engine/behaviour/speech_motion.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/core/data_node.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/scene_import.h"
#include "engine/core/world.h"
#include "engine/resources/speech_data.h"
#include "engine/resources/tooltip.h"

namespace {

SWexpressionentry* AddExpression(SWworld& world, const char* name, const char* text, const char* target)
{
    auto expression = std::make_unique<SWexpression>(&world);
    expression->SetName(std::string(name));
    expression->SetText(std::string(text));
    expression->SetTargetText(std::string(target));
    return SWexpressionlist::Of(world).Add(std::move(expression));
}

CVTN_ToolTip* AddTooltip(SWworld& world, const char* name)
{
    EnsureTooltipParts(world);
    auto tooltip = std::make_unique<CVTN_ToolTip>(&world, name);
    CVTN_ToolTip* added = tooltip.get();
    SWtooltips::Find(world)->GetList().AddTail(tooltip.release());
    return added;
}

SWspeechdata* AddScript(SWworld& world, const char* name)
{
    auto* script = new SWspeechdata(name);
    script->AddChannel(0, {0.5f, 1.0f});
    EXPECT_TRUE(world.GetRootObject()->AddChild(script));
    return script;
}

// An import as a scene file brings it: a node with a variable, an expression assigning to it from a start event's
// action, a tooltip on the node and a speech script that an action's motion names. The target already has an
// expression, a tooltip and a script of those names.
struct Merge {
    SWworld target;
    SWworld import;
    SWevent* event = nullptr;
    SWexpressionentry* expression = nullptr;
    SWspeechmotion* motion = nullptr;

    Merge()
    {
        auto* lamp = new SWobjectnode();
        lamp->SetName(std::string("lamp"));
        auto level = std::make_unique<SWproperty>(kTypeFloat);
        level->SetName(std::string("level"));
        level->SetFloatAll(1.0f);
        lamp->AddVariable(std::move(level));
        import.AddNode(lamp, nullptr);
        expression = AddExpression(import, "calc", "3*4", "lamp.level");
        event = import.NewEvent();
        event->SetName(std::string("start"));
        SWactionnode* run = event->CreateAction(import.GetActionCategories().FindKind(35));
        run->AddArgument(expression, SWdatanode::kObject, false);
        AddTooltip(import, "tip")->GetOrAddEntry(lamp);
        AddScript(import, "talk");
        SWactionnode* talk = event->CreateAction(import.GetActionCategories().FindKind(SWspeechmotion::kKind));
        motion = dynamic_cast<SWspeechmotion*>(talk->GetMotion());
        EXPECT_NE(motion, nullptr);
        if (motion != nullptr)
            motion->SetSpeechDataName(std::string("talk"));

        AddExpression(target, "calc", "1", "");
        AddTooltip(target, "tip");
        AddScript(target, "talk");
    }
};

TEST(SectionMerge, ExpressionsTooltipsAndScriptsComeAcrossUnderUniqueNamesAndWork)
{
    Merge m;
    const MergeRecord record = MergeWorld(m.target, m.import, MergeOptions(), "scene.vtn");

    const SWexpressionlist* expressions = SWexpressionlist::Find(m.target);
    ASSERT_NE(expressions, nullptr);
    SWexpressionentry* merged = expressions->FindByName("calc_1");
    ASSERT_EQ(merged, m.expression); // moved, so the action that holds it still does
    ASSERT_EQ(m.target.CountEvents(), 1u);
    SWactionnode* run = m.target.GetFirstEvent()->GetFirstAction();
    EXPECT_EQ(static_cast<SWdatanode*>(run->GetArguments().Head())->GetData(SWdatanode::kObject), merged);
    merged->GetExpression()->Execute(*SWexpression::Evaluate(merged->GetExpression()));
    SWnode* lamp = m.target.GetRootNode()->FindByName("lamp");
    ASSERT_NE(lamp, nullptr);
    EXPECT_FLOAT_EQ(lamp->FindVariable("level")->GetAsFloat(), 12.0f);

    SWtooltips* tooltips = SWtooltips::Find(m.target);
    ASSERT_EQ(tooltips->GetList().Count(), 2u);
    auto* tip = static_cast<CVTN_ToolTip*>(tooltips->GetList().Tail());
    EXPECT_EQ(tip->GetName(), "tip_1");
    ASSERT_NE(tip->GetFirstEntry(), nullptr);
    EXPECT_EQ(tip->GetEntryNode(*tip->GetFirstEntry()), lamp);

    EXPECT_NE(FindSpeechDataByName(m.target.GetRootObject(), "talk_1"), nullptr);
    EXPECT_EQ(m.motion->GetSpeechDataName(), std::optional<std::string>("talk_1"));

    const auto has = [&](MergedKind kind, const char* name) {
        return std::any_of(record.entries.begin(), record.entries.end(),
                           [&](const MergeEntry& e) { return e.kind == kind && e.name == name; });
    };
    EXPECT_TRUE(has(MergedKind::kExpression, "calc_1"));
    EXPECT_TRUE(has(MergedKind::kTooltip, "tip_1"));
    EXPECT_TRUE(has(MergedKind::kSpeechData, "talk_1"));
}

TEST(SectionMerge, KindsLeftOutStayInTheImport)
{
    Merge m;
    MergeOptions options;
    options.kinds = kMergeAll & ~(kMergeExpressions | kMergeTooltips);
    MergeWorld(m.target, m.import, options, "scene.vtn");
    EXPECT_EQ(SWexpressionlist::Find(m.target)->Entries().Count(), 1u);
    EXPECT_EQ(SWexpressionlist::Find(m.import)->Entries().Count(), 1u);
    EXPECT_EQ(SWtooltips::Find(m.target)->GetList().Count(), 1u);
}

// A running speech motion holds its script by address: removing the merge stops it and makes it let go first, so
// the next step reads no freed script (AddressSanitizer).
TEST(SectionMerge, RemovingTheMergeTakesEverythingOutAndReleasesRunningScripts)
{
    Merge m;
    const MergeRecord record = MergeWorld(m.target, m.import, MergeOptions(), "scene.vtn");
    SWspeechdata* script = FindSpeechDataByName(m.target.GetRootObject(), "talk_1");
    ASSERT_NE(script, nullptr);
    m.motion->SetSpeechData(script);
    auto running = std::make_unique<SWspeechmotion>(*m.motion);
    SWspeechmotion* run = running.get();
    TimedActionTable::Of(m.target).Add(std::move(running));
    run->SetLoop(true);
    run->SetDuration(1000.0f);
    run->Start();
    run->Step(0.0f);

    RemoveMerged(m.target, record); // the event, and the action's motion with it, goes first
    EXPECT_EQ(run->GetSpeechData(), nullptr);
    EXPECT_EQ(run->GetSpeechDataName(), std::optional<std::string>("talk_1")); // it keeps the name it had
    run->Step(40.0f);
    EXPECT_EQ(FindSpeechDataByName(m.target.GetRootObject(), "talk_1"), nullptr);
    EXPECT_NE(FindSpeechDataByName(m.target.GetRootObject(), "talk"), nullptr);
    EXPECT_EQ(SWexpressionlist::Find(m.target)->FindByName("calc_1"), nullptr);
    EXPECT_NE(SWexpressionlist::Find(m.target)->FindByName("calc"), nullptr);
    EXPECT_EQ(SWtooltips::Find(m.target)->GetList().Count(), 1u);
    EXPECT_EQ(m.target.CountEvents(), 0u);
}

} // namespace
