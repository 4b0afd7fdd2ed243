#pragma once
// EDPreview: the story board's preview of one event. Moving the board's time runs, under the world's lock, every
// timed action whose start has been passed, once: its motion (or a copy of it) goes into the world's timed-action
// table with the preview flag and the action's delay as its start time, so the frame step sets it to the board's
// time counted from there. Other actions passed on the way are marked and never run. The undo (destruction, or
// Forget for an action that goes) stops what an action started on every object node; the purge deletes it.
#include <cstdint>
#include <vector>

#include "engine/core/list.h"

class SWactionnode;
class SWevent;
class SWworld;

class EDNode : public SWlistnode {
public:
    explicit EDNode(SWactionnode* action);

    SWactionnode* action;  // the event's; Forget drops this node before the action goes
    uint32_t actionId;     // what the undo stops by
    int32_t kind;          // the action's kind, for the undo
    double start = 0.0;    // the action's delay when the preview was made
    double duration = 0.0; // of one pass
    double end = 0.0;      // start + repeat count x duration; not set for an endless action
    int32_t repeatCount = 1;
    uint8_t endless = 0;
    uint8_t started = 0;
};

class EDPreview {
public:
    explicit EDPreview(SWevent* event); // a node per action of the event, none started
    ~EDPreview();                       // undoes what the started actions began
    EDPreview(const EDPreview&) = delete;
    EDPreview& operator=(const EDPreview&) = delete;

    void SetTime(double ms); // negative or NaN is 0; the world's preview time follows
    double Time() const { return m_timeMs; }
    void Forget(const SWactionnode* action); // undo its start and drop its node, while it still lives
    const EDNode* NodeOf(const SWactionnode* action) const;
    size_t NodeCount() const { return m_nodes.Count(); }

private:
    SWworld* World() const;
    void Run(SWworld& world, EDNode& node);
    void Undo(SWworld& world, const std::vector<uint32_t>& actionIds);
    std::vector<uint32_t> StartedIds(const EDNode* only) const; // of started timed actions; null: every node

    SWevent* m_event; // the board's, which outlives its preview
    double m_timeMs = 0.0;
    SWlist m_nodes; // of EDNode, owned
};
