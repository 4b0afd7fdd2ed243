#pragma once
// The world's lock around a control's change of an engine object. Objects made without a world (a generator built
// for a test, a clone) have nobody to race with and need none, so a null world locks nothing.
#include "engine/core/world.h"

class CVTND_WorldWriteLock {
public:
    explicit CVTND_WorldWriteLock(SWworld* world) : m_world(world)
    {
        if (m_world != nullptr)
            m_world->Lock();
    }
    ~CVTND_WorldWriteLock()
    {
        if (m_world != nullptr)
            m_world->Unlock();
    }
    CVTND_WorldWriteLock(const CVTND_WorldWriteLock&) = delete;
    CVTND_WorldWriteLock& operator=(const CVTND_WorldWriteLock&) = delete;

private:
    SWworld* m_world; // the locked world, which outlives every control that edits it; may be null
};
