#pragma once
// CVTND_BackgroundTestGuard: lets an editor try a background on the running world and take it back. Before the
// first test it takes the root object's background definition out and keeps it, so the test's new definition
// replaces nothing that is lost. An editor that closes without committing gets the kept definition back into the
// root object, the world's render copy made from it and every window's renderer pointed at it; one that commits
// lets the kept definition go. Without a test nothing happens either way.
#include <memory>

class SWbackground;
class SWworld;

class CVTND_BackgroundTestGuard {
public:
    explicit CVTND_BackgroundTestGuard(SWworld* world); // the world outlives the guard; null: nothing to guard
    ~CVTND_BackgroundTestGuard();                       // restores, unless committed
    CVTND_BackgroundTestGuard(const CVTND_BackgroundTestGuard&) = delete;
    CVTND_BackgroundTestGuard& operator=(const CVTND_BackgroundTestGuard&) = delete;

    void BeforeTest(); // the first call keeps the root's definition; the world's lock is taken here
    void Restore();    // the kept definition back (none kept: none set), under the world's lock
    void Commit();     // what was tested stays; the kept definition is deleted
    bool HasTested() const { return m_tested; }

private:
    SWworld* m_world;
    std::unique_ptr<SWbackground> m_kept; // the root's definition before the first test; null: it had none
    bool m_tested = false;
};
