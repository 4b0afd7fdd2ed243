#pragma once
// SWproperties2: a list of variables. Every scene node, event, sound, Java class entry and the world itself holds
// one, so built-in and user variables live side by side. The list owns its variables; a bound variable views a
// variable of the same list, so removing a variable also removes the variables that view it.
//
// Records: one per saved variable (flag 4), tagged "7400".."7406" by type, payload SWproperty::Save; no terminator.
//
// An owner may defer its built-in variables (an object node's transform and its views, which most nodes of a large
// world are never asked for): they are made, at the head of the list, the first time anything reads or changes the
// list. Until then the list is empty, saving writes nothing (built-ins are never saved), and ResetToInitial and
// RemoveAllVariables go to the owner's own storage without making them.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "engine/core/list.h"

class SWchunkstream;
class SWproperty;

class SWproperties2 {
public:
    SWproperties2() = default;
    virtual ~SWproperties2(); // deletes every variable
    SWproperties2(const SWproperties2&) = delete;
    SWproperties2& operator=(const SWproperties2&) = delete;

    SWproperty* GetFirstVariable() const;
    static SWproperty* GetNextVariable(const SWproperty* variable); // null after the last
    size_t CountVariables() const
    {
        MakeDeferredVariables();
        return m_variables.Count();
    }

    SWproperty* FindVariable(std::string_view name) const; // byte for byte; unnamed variables never match
    SWproperty* FindVariableById(uint32_t id) const;
    // Appends variable and answers it. Null, with variable deleted, when the list holds one of the same name (both
    // named). An id of 0 or one the list holds already is replaced by a fresh one; any other id raises the
    // process-wide counter past it, so later ids never repeat it.
    SWproperty* AddVariable(std::unique_ptr<SWproperty> variable);
    // Deletes variable and, first, every variable of the list that views it (directly or through others).
    // False: not in this list.
    bool RemoveVariable(SWproperty* variable);
    void RemoveAllVariables();
    void ResetToInitial();                                    // every own-storage variable's current := initial
    bool IsTargetOfBinding(const SWproperty* variable) const; // some variable of the list views it

    bool ReadVariables(SWchunkstream& in); // up to "END " or the record's end; damaged records are skipped
    // Before a file is read: the ids of the variables ReadVariables would read from in, reserved (ReserveObjectId).
    static void ReserveStoredIds(SWchunkstream& in);
    bool WriteVariables(SWchunkstream& out) const;

    // Raised by every removal, so that callers caching a variable know to look it up again.
    uint64_t GetRemovalCount() const { return m_removals; }
    // Raised by every removal from any list and by every list that goes with variables in it: handles caching a
    // variable of a list that tells its world nothing (a sound's, a Java entry's) look it up again after it.
    static uint64_t GetProcessRemovalCount();

    bool HasDeferredVariables() const { return m_deferred.load(std::memory_order_acquire); }

protected:
    // Called for each variable just before it is deleted (the world counts deletions through it).
    virtual void OnVariableRemoved(SWproperty&) {}

    // Deferred built-ins: DeferVariables from the owner's constructor; MakeDeferred adds them (through AddVariable)
    // when first wanted, and ResetDeferred does what ResetToInitial would have done to them.
    void DeferVariables() { m_deferred.store(true, std::memory_order_release); }
    void MakeDeferredVariables() const;
    virtual void MakeDeferred() {}
    virtual void ResetDeferred() {}

private:
    void ReadOneVariable(SWchunkstream& in, uint32_t type);
    void KeepOrReplace(std::unique_ptr<SWproperty> read);
    void BindPendingVariables();
    bool LeadsBackTo(const SWproperty& start, const SWproperty& self) const;

    SWlist m_variables; // of SWproperty
    uint64_t m_removals = 0;
    std::atomic<bool> m_deferred{false};
    bool m_making = false; // MakeDeferred is running: its own additions must not start it again
};
