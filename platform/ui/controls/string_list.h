#pragma once
// The items of a combo box or list box: texts with item data, in order, optionally sorted (ASCII
// case-insensitive, a new item after its equals).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pf {

struct StringItem {
    std::string text;
    intptr_t data = 0;
    bool selected = false; // list boxes with several selections
};

class StringList {
public:
    explicit StringList(bool sorted = false) : m_sorted(sorted) {}
    void setSorted(bool sorted) { m_sorted = sorted; }

    int32_t count() const { return static_cast<int32_t>(m_items.size()); }
    bool isValid(int32_t index) const { return index >= 0 && index < count(); }
    int32_t add(std::string_view text);                   // at the end, or its sorted place; the index
    int32_t insert(int32_t index, std::string_view text); // -1: the end; never sorted; -1 when out of range
    bool remove(int32_t index);
    void clear() { m_items.clear(); }
    StringItem& at(int32_t index) { return m_items[static_cast<size_t>(index)]; }
    const StringItem& at(int32_t index) const { return m_items[static_cast<size_t>(index)]; }
    // Whole-text matches from after `start` round to it (-1: from the top); -1 when none.
    int32_t findStringExact(int32_t start, std::string_view text) const; // ASCII case-insensitive
    int32_t findExact(std::string_view text) const;                      // byte for byte
    int32_t findPrefix(int32_t start, std::string_view prefix) const;    // case-insensitive prefix

private:
    std::vector<StringItem> m_items;
    bool m_sorted;
};

int compareNoCase(std::string_view a, std::string_view b); // ASCII only: <0, 0, >0

} // namespace pf
