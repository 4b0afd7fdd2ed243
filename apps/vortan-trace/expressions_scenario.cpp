// An expression action on the step event assigns "lamp.level*2+SOUND:hum.volume/(box.width-1)" to box.height each
// frame while the scenario raises lamp.level; a condition after it tests box.height > 3 and runs its then- or
// else-linked action.
#include <cstdio>
#include <memory>
#include <string>

#include "apps/vortan-trace/scenario_table.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/expression.h"
#include "engine/behaviour/expression_list.h"
#include "engine/behaviour/property.h"
#include "engine/core/data_node.h"
#include "engine/core/node.h"
#include "testsupport/behaviour/demo_scene.h"
#include "testsupport/behaviour/frame_driver.h"

namespace {

std::string Decimal(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", static_cast<double>(value));
    return text;
}

int RunExpressions(const TraceRun& run)
{
    FrameDriver d;
    BuildDemoScene(d.world);
    SWproperty* level = d.world.GetRootNode()->FindByName("lamp")->FindVariable("level");
    SWproperty* height = d.world.GetRootNode()->FindByName("box")->FindVariable("height");

    auto expression = std::make_unique<SWexpression>(&d.world);
    expression->SetText(std::string("lamp.level*2+SOUND:hum.volume/(box.width-1)"));
    expression->SetTargetText(std::string("box.height"));
    expression->SetName(std::string("height"));
    SWexpressionentry* entry = SWexpressionlist::Of(d.world).Add(std::move(expression));

    SWevent* step = d.Event(static_cast<uint32_t>(EventType::kWorldStep), "step");
    d.Action(step, 35)->AddArgument(entry, SWdatanode::kObject, false);
    auto* test = static_cast<SWconditionaction*>(d.Action(step, 25));
    test->SetOperand1(height);
    test->settings.constant = 3.0f;
    test->settings.mask = 4; // greater
    d.Action(step, 0, "tall")->SetThenLink(test->GetActionId());
    d.Action(step, 0, "short")->SetElseLink(test->GetActionId());

    d.Observe(run.out);
    d.Start();
    for (int i = 0; i < run.frames; ++i) {
        const float value = 0.5f * static_cast<float>(i);
        run.out.Note(d.FrameCount(), "lamp.level := " + Decimal(value));
        level->AssignFloat(value);
        d.Frame(run.dtMs);
        run.out.Note(d.FrameCount(), "box.height = " + Decimal(height->GetAsFloat()));
    }
    d.Stop();
    return kTraceDone;
}

const bool kRegistered = RegisterTraceScenario(
    {"expressions", "an expression assigned to box.height each step, and a condition on the result", 6,
     RunExpressions});

} // namespace
