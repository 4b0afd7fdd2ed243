#pragma once
// TraceObserver: turns each happening the behaviour runtime reports into one line of text, so that the trace tool
// can print a run and tests can compare one. RecordingObserver keeps those lines and, beside them, the few facts
// tests check most (the events fired, the actions executed with their text targets, the skipped actions).
//
// Line format: "F<frame> <word> <details>", the frame being the driver's frame count (0 before the first frame):
//   dispatch <record> [-> <record target>]        a record taken from the dispatch queue
//   requeue <record>                             a named trigger whose event does not exist yet
//   fire <event> by <record>                     an event fired
//   exec #<id> k<kind> target=<t> subject=<s>    an action's handler called (or a kind without one)
//   skip #<id>                                   an action already on its chain, or a chain too deep
//   delay #<id> <ms>ms                           an action scheduled to run later
//   delayed #<id> target=<t> data=<text>         a delayed action run
//   active <event> on|off                        an event's activation changed
//   seq-start q#<id> [first #<id>]               a sequence group started (a new sequence, or its next group)
//   seq-wait q#<id> on #<id>                     a sequence waiting for an action's motions
//   seq-end q#<id>                               a sequence finished
//   host <text1> <text2> data=<text>             the host callback
// Events are named by their name in quotes, or "#<id>" when they have none; a missing text prints as "-".
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/behaviour/behaviour_observer.h"

class TraceObserver : public BehaviourObserver {
public:
    void SetFrame(int frame) { m_frame = frame; }

    void RecordDispatched(const SWinputrecord& record) override;
    void RecordRequeued(const SWinputrecord& record) override;
    void EventFired(const SWevent& event, const SWinputrecord& record) override;
    void ActionExecuted(const SWactionnode& action, const ActionTarget& target, const ActionSubject& subject) override;
    void ActionSkipped(const SWactionnode& action) override;
    void DelayScheduled(const SWactionnode& action, double delayMs) override;
    void DelayRun(const SWactionnode& action, const ActionTarget& target,
                  const std::optional<std::string>& dataText) override;
    void ActivationChanged(const SWevent& event, bool active) override;
    void SequenceStarted(const SWactionqueueentry& entry, const SWactionnode* first) override;
    void SequenceWaiting(const SWactionqueueentry& entry, const SWactionnode& action) override;
    void SequenceFinished(const SWactionqueueentry& entry) override;
    void HostCall(const char* text1, const char* text2, const char* dataText) override;

    // Descriptions used in the lines; also handy to scenarios that print lines of their own.
    static std::string Describe(const SWevent& event);
    static std::string Describe(const SWinputrecord& record);
    static std::string Describe(const ActionTarget& target);

protected:
    virtual void Emit(const std::string& line) = 0;

private:
    void Line(const std::string& text);
    int m_frame = 0;
};

// Keeps every line, and the facts tests check most.
class RecordingObserver : public TraceObserver {
public:
    void EventFired(const SWevent& event, const SWinputrecord& record) override;
    void ActionExecuted(const SWactionnode& action, const ActionTarget& target, const ActionSubject& subject) override;
    void ActionSkipped(const SWactionnode& action) override;

    std::vector<std::string> lines;
    std::vector<std::string> fired; // event names ("?" for none)
    std::vector<uint32_t> executed; // action ids, in execution order
    std::vector<std::string> texts; // each executed action's text target, "-" for none
    int skipped = 0;

    size_t CountLines(const std::string& word) const; // lines whose word (after the frame) is word

protected:
    void Emit(const std::string& line) override { lines.push_back(line); }
};
