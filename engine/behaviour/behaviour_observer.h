#pragma once
// BehaviourObserver: the runtime reports each happening here, one call each, so tools can print a run and tests
// can record it; the runtime itself never prints. Every call comes on the render thread under the world's lock.
#include <cstdint>
#include <optional>
#include <string>

#include "engine/behaviour/action_target.h"

class SWactionnode;
class SWactionqueueentry;
class SWevent;
class SWinputrecord;

class BehaviourObserver {
public:
    virtual ~BehaviourObserver() = default;
    virtual void RecordDispatched(const SWinputrecord&) {}
    virtual void RecordRequeued(const SWinputrecord&) {} // a named trigger whose event does not exist yet
    virtual void EventFired(const SWevent&, const SWinputrecord&) {}
    virtual void ActionExecuted(const SWactionnode&, const ActionTarget&, const ActionSubject&) {}
    virtual void ActionSkipped(const SWactionnode&) {} // already on the chain that runs it, or the chain too deep
    virtual void DelayScheduled(const SWactionnode&, double) {}
    virtual void DelayRun(const SWactionnode&, const ActionTarget&, const std::optional<std::string>&) {}
    virtual void ActivationChanged(const SWevent&, bool) {}
    virtual void SequenceStarted(const SWactionqueueentry&, const SWactionnode*) {} // the group's first member
    virtual void SequenceWaiting(const SWactionqueueentry&, const SWactionnode&) {}
    virtual void SequenceFinished(const SWactionqueueentry&) {}
    virtual void HostCall(const char*, const char*, const char*) {} // texts 1 and 2, data text; each may be null
};
