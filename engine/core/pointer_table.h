#pragma once
// SWpointertable: pointers kept under a 64-bit hash of their key in one flat array, probed linearly. A lookup in a
// table of tens of thousands reads a line or two of the array and then the object itself, where a node-based hash
// map reads its bucket, its node and the node's vector first: at the size of a large project those are three cache
// and page misses per lookup, which is most of what finding a node by name costs.
//
// Several pointers may share a hash (equal keys, or a collision): ForEach hands every pointer stored under the hash
// to the caller, who compares the keys. The order it hands them in is not that of insertion. Not thread-safe.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

template <typename T> class SWpointertable {
public:
    size_t Size() const { return m_size; }

    void Insert(uint64_t hash, T* item)
    {
        if ((m_size + 1) * 8 > m_slots.size() * 5) // at most five eighths full, so probes stay short
            Grow();
        Place(hash, item);
        ++m_size;
    }

    // Removes the one entry of item stored under hash; false when there is none.
    bool Erase(uint64_t hash, const T* item)
    {
        if (m_slots.empty())
            return false;
        size_t hole = Home(hash);
        while (m_slots[hole].item != item || m_slots[hole].hash != hash) {
            if (m_slots[hole].item == nullptr)
                return false;
            hole = (hole + 1) & Mask();
        }
        // Later entries of the run move back into the hole when it lies between their home and where they are,
        // so that no probe ever stops early at a gap (no markers of removed entries are needed).
        for (size_t next = (hole + 1) & Mask(); m_slots[next].item != nullptr; next = (next + 1) & Mask()) {
            const size_t home = Home(m_slots[next].hash);
            if (((next - home) & Mask()) >= ((next - hole) & Mask())) {
                m_slots[hole] = m_slots[next];
                hole = next;
            }
        }
        m_slots[hole] = Slot{};
        --m_size;
        return true;
    }

    // visit(T*) for every entry stored under hash.
    template <typename Visit> void ForEach(uint64_t hash, Visit&& visit) const
    {
        if (m_slots.empty())
            return;
        for (size_t at = Home(hash); m_slots[at].item != nullptr; at = (at + 1) & Mask())
            if (m_slots[at].hash == hash)
                visit(m_slots[at].item);
    }

    // Asks the cache for the line where a search of hash starts, so that several searches can wait for memory at once.
    void Prefetch(uint64_t hash) const
    {
        if (!m_slots.empty())
            __builtin_prefetch(&m_slots[Home(hash)]);
    }

    // visit(T*) for every entry.
    template <typename Visit> void ForAll(Visit&& visit) const
    {
        for (const Slot& slot : m_slots)
            if (slot.item != nullptr)
                visit(slot.item);
    }

    void Clear()
    {
        m_slots.clear();
        m_size = 0;
    }

private:
    struct Slot {
        uint64_t hash = 0;
        T* item = nullptr; // null: empty
    };

    size_t Mask() const { return m_slots.size() - 1; }
    // The hash's high bits after a multiplication by 2^64 / phi: keys that differ in their low bits only (ids,
    // addresses) spread over the whole table.
    size_t Home(uint64_t hash) const
    {
        return static_cast<size_t>((hash * 0x9E3779B97F4A7C15ull) >> (64 - std::countr_zero(m_slots.size())));
    }

    void Place(uint64_t hash, T* item)
    {
        size_t at = Home(hash);
        while (m_slots[at].item != nullptr)
            at = (at + 1) & Mask();
        m_slots[at] = Slot{hash, item};
    }

    void Grow()
    {
        std::vector<Slot> old(m_slots.empty() ? 16 : m_slots.size() * 2);
        old.swap(m_slots);
        for (const Slot& slot : old)
            if (slot.item != nullptr)
                Place(slot.hash, slot.item);
    }

    std::vector<Slot> m_slots; // a power of two long
    size_t m_size = 0;
};
