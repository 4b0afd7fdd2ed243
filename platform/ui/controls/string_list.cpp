#include "platform/ui/controls/string_list.h"

#include <algorithm>
#include <cstddef>

namespace pf {

namespace {

char foldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

int compareNoCase(std::string_view a, std::string_view b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(foldAscii(a[i]));
        const auto y = static_cast<unsigned char>(foldAscii(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int32_t StringList::add(std::string_view text)
{
    size_t at = m_items.size();
    if (m_sorted) {
        at = 0;
        while (at < m_items.size() && compareNoCase(m_items[at].text, text) <= 0)
            ++at;
    }
    m_items.insert(m_items.begin() + static_cast<ptrdiff_t>(at), StringItem{std::string(text)});
    return static_cast<int32_t>(at);
}

int32_t StringList::insert(int32_t index, std::string_view text)
{
    if (index == -1)
        index = count();
    if (index < 0 || index > count())
        return -1;
    m_items.insert(m_items.begin() + index, StringItem{std::string(text)});
    return index;
}

bool StringList::remove(int32_t index)
{
    if (!isValid(index))
        return false;
    m_items.erase(m_items.begin() + index);
    return true;
}

int32_t StringList::findStringExact(int32_t start, std::string_view text) const
{
    const int32_t n = count();
    for (int32_t k = 1; k <= n; ++k) {
        const int32_t i = ((start < 0 ? -1 : start) + k) % n;
        if (i >= 0 && compareNoCase(m_items[static_cast<size_t>(i)].text, text) == 0)
            return i;
    }
    return -1;
}

int32_t StringList::findExact(std::string_view text) const
{
    for (int32_t i = 0; i < count(); ++i)
        if (m_items[static_cast<size_t>(i)].text == text)
            return i;
    return -1;
}

int32_t StringList::findPrefix(int32_t start, std::string_view prefix) const
{
    const int32_t n = count();
    for (int32_t k = 1; k <= n; ++k) {
        const int32_t i = ((start < 0 ? -1 : start) + k) % n;
        const std::string& t = m_items[static_cast<size_t>(i)].text;
        if (t.size() >= prefix.size() && compareNoCase(std::string_view(t).substr(0, prefix.size()), prefix) == 0)
            return i;
    }
    return -1;
}

} // namespace pf
