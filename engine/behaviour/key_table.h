#pragma once
// The key table: the world's fixed vocabulary of keys. Key events list key entries, key records carry them and
// the navigation motion binds its keys by code, so a key is known by its entry: two records of one key hold the
// same entry. Codes 0..255 are character codes; codes from 256 name keys without a character.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/core/list.h"

class SWkeytable;

class SWkeyentry : public SWlistnode {
public:
    SWkeyentry(SWkeytable& owner, int32_t code, std::string name);

    SWkeytable& GetOwner() const { return m_owner; }
    int32_t GetCode() const { return m_code; }
    const std::string& GetName() const { return m_name; }
    bool IsPressed() const { return m_pressed != 0; }
    void SetPressed(bool pressed) { m_pressed = pressed ? 1 : 0; }
    std::string GetText() const;                 // codes 0..255: that character; above: "%03d" ("258")
    const SWkeyentry* GetUppercaseEntry() const; // "a".."z": the entry of the capital; any other: itself

private:
    SWkeytable& m_owner; // the table owns this entry
    int32_t m_code;
    std::string m_name;
    uint8_t m_pressed = 0;
};

class SWkeytable {
public:
    static constexpr size_t kEntryCount = 79;

    SWkeytable(); // the whole table, in its fixed order
    virtual ~SWkeytable() = default;
    SWkeytable(const SWkeytable&) = delete;
    SWkeytable& operator=(const SWkeytable&) = delete;

    const SWkeyentry* GetFirst() const { return static_cast<const SWkeyentry*>(m_entries.Head()); }
    static const SWkeyentry* GetNext(const SWkeyentry* entry);
    size_t Count() const { return m_entries.Count(); }
    const SWkeyentry* FindKeyByCode(int32_t code) const;
    const SWkeyentry* FindKeyByName(std::string_view name) const; // byte for byte
    SWkeyentry* FindKeyByCode(int32_t code);
    void ResetKeyStates();                           // every pressed byte cleared (the world's start)
    const SWkeyentry* GetLetter(char capital) const; // 'A'..'Z'; null otherwise

private:
    void Add(int32_t code, std::string name);

    SWlist m_entries; // of SWkeyentry
    std::array<const SWkeyentry*, 26> m_letters{};
};

// What key translation needs of the keyboard: the host's keyboard state turned into characters. The engine may not
// use the window layer, so the designer hands its keyboard services in through this.
class SWkeyboardsource {
public:
    virtual ~SWkeyboardsource() = default;
    // The characters the key makes in the current keyboard state (shift and the like), into out; answers how many
    // (0 when none, more than 1 for a dead-key combination).
    virtual int TranslateToCharacters(uint32_t virtualKey, uint32_t scanCode, std::array<char, 2>& out) = 0;
};

class SWwinkeytable : public SWkeytable {
public:
    void SetKeyboardSource(SWkeyboardsource* source) { m_source = source; } // not owned; null: no characters
    // The entry for a key message: keyData carries the scan code in its third byte. Null when the key is not part
    // of the behaviour vocabulary.
    virtual const SWkeyentry* TranslateKey(uint32_t keyData, uint32_t virtualKey);

private:
    SWkeyboardsource* m_source = nullptr; // the host's, which outlives the world
};
