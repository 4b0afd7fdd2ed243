#include "engine/behaviour/key_table.h"

#include <cstdio>

namespace {

constexpr int32_t kFirstNamedCode = 256;

} // namespace

SWkeyentry::SWkeyentry(SWkeytable& owner, int32_t code, std::string name)
    : m_owner(owner), m_code(code), m_name(std::move(name))
{
}

std::string SWkeyentry::GetText() const
{
    if (m_code >= 0 && m_code < kFirstNamedCode)
        return std::string(1, static_cast<char>(m_code));
    char text[16];
    std::snprintf(text, sizeof text, "%03d", static_cast<int>(m_code));
    return text;
}

const SWkeyentry* SWkeyentry::GetUppercaseEntry() const
{
    if (m_code >= 'a' && m_code <= 'z')
        return m_owner.GetLetter(static_cast<char>(m_code - 'a' + 'A'));
    return this;
}

SWkeytable::SWkeytable()
{
    Add(8, "BackSpace");
    Add(24, "Delete"); // not 127: stored key events hold 24
    Add(9, "Tab");
    Add(13, "Enter");
    Add(27, "Esc");
    Add(32, "Space");
    Add(256, "Page Down");
    Add(257, "Page Up");
    Add(258, "Up");
    Add(259, "Down");
    Add(260, "Right");
    Add(261, "Left");
    for (char c = '0'; c <= '9'; ++c)
        Add(c, std::string(1, c));
    for (char c = 'A'; c <= 'Z'; ++c)
        Add(c, std::string(1, c));
    for (char c = 'a'; c <= 'z'; ++c)
        Add(c, std::string(1, c));
    for (const char c : {'*', '+', '-', '/', '.'})
        Add(c, std::string(1, c));
    for (char c = 'A'; c <= 'Z'; ++c)
        m_letters[static_cast<size_t>(c - 'A')] = FindKeyByCode(c);
}

void SWkeytable::Add(int32_t code, std::string name)
{
    m_entries.AddTail(new SWkeyentry(*this, code, std::move(name)));
}

const SWkeyentry* SWkeytable::GetNext(const SWkeyentry* entry)
{
    return entry != nullptr ? static_cast<const SWkeyentry*>(entry->Next()) : nullptr;
}

const SWkeyentry* SWkeytable::FindKeyByCode(int32_t code) const
{
    for (const SWkeyentry* e = GetFirst(); e != nullptr; e = GetNext(e))
        if (e->GetCode() == code)
            return e;
    return nullptr;
}

SWkeyentry* SWkeytable::FindKeyByCode(int32_t code)
{
    return const_cast<SWkeyentry*>(static_cast<const SWkeytable*>(this)->FindKeyByCode(code));
}

const SWkeyentry* SWkeytable::FindKeyByName(std::string_view name) const
{
    for (const SWkeyentry* e = GetFirst(); e != nullptr; e = GetNext(e))
        if (e->GetName() == name)
            return e;
    return nullptr;
}

void SWkeytable::ResetKeyStates()
{
    for (SWlistnode* n = m_entries.Head(); n != nullptr; n = n->Next())
        static_cast<SWkeyentry*>(n)->SetPressed(false);
}

const SWkeyentry* SWkeytable::GetLetter(char capital) const
{
    if (capital < 'A' || capital > 'Z')
        return nullptr;
    return m_letters[static_cast<size_t>(capital - 'A')];
}

const SWkeyentry* SWwinkeytable::TranslateKey(uint32_t keyData, uint32_t virtualKey)
{
    if (m_source != nullptr) {
        std::array<char, 2> characters{};
        const uint32_t scanCode = (keyData >> 16) & 0xFF;
        if (m_source->TranslateToCharacters(virtualKey, scanCode, characters) == 1) {
            const int32_t code = static_cast<uint8_t>(characters[0]);
            if (code >= 42 && code <= 122)
                if (const SWkeyentry* entry = FindKeyByCode(code))
                    return entry;
        }
    }
    int32_t mapped = -1;
    switch (virtualKey) {
    case 8:
    case 9:
    case 13:
    case 27:
    case 32:
        mapped = static_cast<int32_t>(virtualKey);
        break;
    case 33: // page up
        mapped = 257;
        break;
    case 34: // page down
        mapped = 256;
        break;
    case 37: // left
        mapped = 261;
        break;
    case 38: // up
        mapped = 258;
        break;
    case 39: // right
        mapped = 260;
        break;
    case 40: // down
        mapped = 259;
        break;
    case 46: // delete
        mapped = 24;
        break;
    default:
        return nullptr;
    }
    return FindKeyByCode(mapped);
}
