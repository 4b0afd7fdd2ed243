#pragma once
// ActionRef: a handle to an action of the world's events that an editor may delete while a runtime object still
// holds it. It keeps the action's id and a pointer cached under the world's structure generation, which every
// deletion raises; a stale cache looks the id up again, and an id that names nothing any more reads as null.
// An action outside any world (an id still unset) is held by its pointer: nothing can delete it behind our back
// through the world.
#include <cstdint>

class SWactionnode;
class SWevents;

class ActionRef {
public:
    ActionRef() = default;
    ActionRef(const SWevents* world, SWactionnode* action); // null action: none

    bool IsSet() const { return m_set; }
    SWactionnode* Get(const SWevents* world) const; // null when unset or gone
    void Reset() { *this = ActionRef(); }

private:
    bool m_set = false;
    uint32_t m_id = 0xFFFFFFFFu;
    mutable SWactionnode* m_cache = nullptr;
    mutable uint64_t m_stamp = UINT64_MAX;
};
