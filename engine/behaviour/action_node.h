#pragma once
// SWactionnode: one step an event runs when it fires. This is the part every action kind shares: its event, its
// id within the world, the three links that place it under a condition or in a sequence, its kind and its
// arguments (typically target names). The kinds derive from it.
//
// Link ids and the action id use all bits set for "unset"; an action whose three links are unset is top-level.
#include <cstdint>
#include <map>

#include "engine/core/data_node.h"
#include "engine/core/list.h"

class SWevent;
class SWworld;

class SWactionnode : public SWlistnode {
public:
    static constexpr uint32_t kUnset = 0xFFFFFFFFu;

    explicit SWactionnode(int32_t kindId = 0);
    ~SWactionnode() override; // deletes the arguments

    SWworld* GetWorld() const { return m_world; }
    void SetWorld(SWworld* world) { m_world = world; } // the world owning the event, which outlives the action
    SWevent* GetEvent() const { return m_event; }
    void SetEvent(SWevent* event) { m_event = event; } // the event whose list owns the action
    uint32_t GetActionId() const { return m_actionId; }
    void SetActionId(uint32_t id) { m_actionId = id; }
    uint32_t GetThenLink() const { return m_thenLink; }
    uint32_t GetElseLink() const { return m_elseLink; }
    uint32_t GetQueueLink() const { return m_queueLink; }
    void SetThenLink(uint32_t id) { m_thenLink = id; }
    void SetElseLink(uint32_t id) { m_elseLink = id; }
    void SetQueueLink(uint32_t id) { m_queueLink = id; }
    bool IsTopLevel() const { return m_thenLink == kUnset && m_elseLink == kUnset && m_queueLink == kUnset; }
    bool IsDependentOf(uint32_t actionId) const; // one of its three links names actionId
    int32_t GetKindId() const { return m_kindId; }

    SWlist& GetArguments() { return m_arguments; } // of SWdatanode, owned
    const SWlist& GetArguments() const { return m_arguments; }
    SWdatanode* AddArgument(const void* datum, int type, bool copy); // appended; null for an unknown type

    // Renumbers the action id and the three links through map (old id to new); ids the map lacks are kept.
    virtual void RemapIds(const std::map<uint32_t, uint32_t>& map);

private:
    SWworld* m_world = nullptr;
    SWevent* m_event = nullptr;
    uint32_t m_actionId = kUnset;
    uint32_t m_thenLink = kUnset;
    uint32_t m_elseLink = kUnset;
    uint32_t m_queueLink = kUnset;
    int32_t m_kindId;
    SWlist m_arguments;
};
