// A condition on a variable, tested at each step against the constant 5 with mask 6 (different or greater) and
// only when the variable changed, running its then- or else-linked action.
#include <memory>
#include <string>

#include "apps/vortan-trace/scenario_table.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/property.h"
#include "testsupport/behaviour/frame_driver.h"

namespace {

int RunConditions(const TraceRun& run)
{
    FrameDriver d;
    SWproperty* x = d.world.GetVariables().AddVariable(std::make_unique<SWproperty>(kTypeFloat));
    SWevent* event = d.Event(2, "test");
    auto* test = static_cast<SWconditionaction*>(d.Action(event, 25));
    test->SetOperand1(x);
    test->settings.constant = 5.0f;
    test->settings.mask = 6;
    test->settings.changedOnly = 1;
    d.Action(event, 0, "then")->SetThenLink(test->GetActionId());
    d.Action(event, 0, "else")->SetElseLink(test->GetActionId());
    d.Observe(run.out);
    d.Start();
    const float values[] = {6.0f, 6.0f, 5.0f, 4.0f, 4.0f, 7.0f};
    run.Frames(d, [&](int frame) {
        const float value = values[static_cast<size_t>(frame - 1) % std::size(values)];
        run.out.Note(frame - 1, std::string("x := ") + std::to_string(static_cast<int>(value)));
        x->AssignFloat(value);
    });
    d.Stop();
    return kTraceDone;
}

const bool kRegistered = RegisterTraceScenario(
    {"conditions", "a changed-only condition with mask 6 running its then- or else-linked action", 6, RunConditions});

} // namespace
