#include "testsupport/behaviour/trace_observer.h"

#include <cstdio>
#include <string_view>

#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_queue_entry.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/input_queue.h"
#include "engine/behaviour/key_table.h"
#include "engine/behaviour/motion.h"
#include "engine/core/node.h"
#include "engine/resources/sound.h"

namespace {

// Built by appending: some compilers warn falsely on a literal prepended to a temporary string.
std::string Quoted(std::string_view text)
{
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted.append(1, '"').append(text).append(1, '"');
    return quoted;
}

std::string Quoted(const char* text)
{
    return text != nullptr ? Quoted(std::string_view(text)) : "-";
}

std::string Quoted(const std::optional<std::string>& text)
{
    return text ? Quoted(std::string_view(*text)) : "-";
}

std::string NodeName(const SWnode* node)
{
    if (node == nullptr)
        return "-";
    return node->GetName() ? std::string("node ") + Quoted(node->GetName())
                           : std::string("node #") + std::to_string(node->GetId());
}

std::string QueueName(const SWactionqueueentry& entry)
{
    return entry.GetQueueAction() != nullptr ? std::string("q#") + std::to_string(entry.GetQueueAction()->GetActionId())
                                             : "q-";
}

const char* RecordKindName(InputKind kind)
{
    switch (kind) {
    case InputKind::kKeyReleased:
        return "key-up";
    case InputKind::kKeyPressed:
        return "key-down";
    case InputKind::kMouseReleased:
        return "mouse-up";
    case InputKind::kMousePressed:
        return "mouse-down";
    case InputKind::kNamedTrigger:
        return "trigger";
    case InputKind::kObjectClick:
        return "click";
    case InputKind::kMouseMove:
        return "mouse-move";
    case InputKind::kWorldStart:
        return "start";
    case InputKind::kWorldStop:
        return "stop";
    case InputKind::kWorldStep:
        return "step";
    case InputKind::kTimer:
        return "timer";
    case InputKind::kMotionFinished:
        return "motion-end";
    case InputKind::kSoundFinished:
        return "sound-end";
    case InputKind::kPropertyChanged:
        return "variable";
    }
    return "?";
}

} // namespace

std::string TraceObserver::Describe(const SWevent& event)
{
    return event.GetName() ? Quoted(event.GetName()) : std::string("#") + std::to_string(event.GetId());
}

std::string TraceObserver::Describe(const SWinputrecord& record)
{
    std::string text = RecordKindName(record.GetKind());
    const SWinputtarget& target = record.GetTarget();
    if (const auto* key = std::get_if<const SWkeyentry*>(&target); key != nullptr && *key != nullptr)
        text += std::string(" key ") + Quoted(std::string_view((*key)->GetName()));
    else if (const auto* event = std::get_if<SWevent*>(&target); event != nullptr && *event != nullptr)
        text += std::string(" ") + Describe(**event);
    else if (const auto* node = std::get_if<SWnode*>(&target); node != nullptr)
        text += std::string(" ") + NodeName(*node);
    else if (const auto* sound = std::get_if<SWsound*>(&target); sound != nullptr && *sound != nullptr)
        text += std::string(" sound ") + Quoted(std::string_view((*sound)->GetName()));
    else if (std::holds_alternative<SWproperty*>(target))
        text += " variable";
    else if (record.GetKind() == InputKind::kNamedTrigger && record.GetEventName())
        text += std::string(" name ") + Quoted(record.GetEventName());
    if (record.GetKind() == InputKind::kNamedTrigger && record.GetDataText())
        text += std::string(" data=") + Quoted(record.GetDataText());
    return text;
}

std::string TraceObserver::Describe(const ActionTarget& target)
{
    if (target.GetText() != nullptr)
        return Quoted(target.GetText());
    if (target.GetKey() != nullptr)
        return std::string("key ") + Quoted(std::string_view(target.GetKey()->GetName()));
    if (auto byte = target.GetByte())
        return std::string("byte ") + std::to_string(*byte);
    if (auto integer = target.GetInteger())
        return std::string("int ") + std::to_string(*integer);
    if (target.GetObject() != nullptr)
        return NodeName(target.GetObject());
    if (target.GetExpressionEntry() != nullptr)
        return "expression";
    return "-";
}

void TraceObserver::Line(const std::string& text)
{
    Emit(std::string("F") + std::to_string(m_frame) + " " + text);
}

void TraceObserver::RecordDispatched(const SWinputrecord& record)
{
    Line(std::string("dispatch ") + Describe(record));
}

void TraceObserver::RecordRequeued(const SWinputrecord& record)
{
    Line(std::string("requeue ") + Describe(record));
}

void TraceObserver::EventFired(const SWevent& event, const SWinputrecord& record)
{
    Line(std::string("fire ") + Describe(event) + " by " + Describe(record));
}

void TraceObserver::ActionExecuted(const SWactionnode& action, const ActionTarget& target, const ActionSubject& subject)
{
    std::string with = "-";
    if (subject.motion != nullptr)
        with = subject.motion == action.GetMotion() ? "motion" : "motion-clone";
    else if (subject.text != nullptr)
        with = Quoted(subject.text);
    else if (subject.action != nullptr)
        with = "action";
    Line(std::string("exec #") + std::to_string(action.GetActionId()) + " k" + std::to_string(action.GetKindId()) +
         std::string(" target=") + Describe(target) + " subject=" + with);
}

void TraceObserver::ActionSkipped(const SWactionnode& action)
{
    Line(std::string("skip #") + std::to_string(action.GetActionId()));
}

void TraceObserver::DelayScheduled(const SWactionnode& action, double delayMs)
{
    char ms[32];
    std::snprintf(ms, sizeof ms, "%.0f", delayMs);
    Line(std::string("delay #") + std::to_string(action.GetActionId()) + " " + ms + "ms");
}

void TraceObserver::DelayRun(const SWactionnode& action, const ActionTarget& target,
                             const std::optional<std::string>& dataText)
{
    Line(std::string("delayed #") + std::to_string(action.GetActionId()) + " target=" + Describe(target) +
         std::string(" data=") + Quoted(dataText));
}

void TraceObserver::ActivationChanged(const SWevent& event, bool active)
{
    Line(std::string("active ") + Describe(event) + (active ? " on" : " off"));
}

void TraceObserver::SequenceStarted(const SWactionqueueentry& entry, const SWactionnode* first)
{
    Line(std::string("seq-start ") + QueueName(entry) +
         (first != nullptr ? std::string(" first #") + std::to_string(first->GetActionId()) : ""));
}

void TraceObserver::SequenceWaiting(const SWactionqueueentry& entry, const SWactionnode& action)
{
    Line(std::string("seq-wait ") + QueueName(entry) + " on #" + std::to_string(action.GetActionId()));
}

void TraceObserver::SequenceFinished(const SWactionqueueentry& entry)
{
    Line(std::string("seq-end ") + QueueName(entry));
}

void TraceObserver::HostCall(const char* text1, const char* text2, const char* dataText)
{
    Line(std::string("host ") + Quoted(text1) + " " + Quoted(text2) + " data=" + Quoted(dataText));
}

void RecordingObserver::EventFired(const SWevent& event, const SWinputrecord& record)
{
    fired.push_back(event.GetName().value_or("?"));
    TraceObserver::EventFired(event, record);
}

void RecordingObserver::ActionExecuted(const SWactionnode& action, const ActionTarget& target,
                                       const ActionSubject& subject)
{
    executed.push_back(action.GetActionId());
    texts.push_back(target.GetText() != nullptr ? target.GetText() : "-");
    TraceObserver::ActionExecuted(action, target, subject);
}

void RecordingObserver::ActionSkipped(const SWactionnode& action)
{
    ++skipped;
    TraceObserver::ActionSkipped(action);
}

size_t RecordingObserver::CountLines(const std::string& word) const
{
    size_t count = 0;
    for (const std::string& line : lines) {
        const size_t space = line.find(' ');
        if (space != std::string::npos && line.compare(space + 1, word.size() + 1, word + " ") == 0)
            ++count;
    }
    return count;
}
