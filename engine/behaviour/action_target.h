#pragma once
// What a handler is aimed at, and what it acts with. The target is read only through its kind: a handler that
// expects a name and is handed a key entry sees no target, so no handler ever reads a key entry as text.
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

class SWactionnode;
class SWdatanode;
class SWkeyentry;
class SWmotion;
class SWnode;

class ActionTarget {
public:
    ActionTarget() = default;
    static ActionTarget Text(const char* text); // null: none
    static ActionTarget Key(const SWkeyentry* key);
    static ActionTarget Byte(uint8_t value);
    static ActionTarget Integer(int32_t value);
    static ActionTarget Object(SWnode* node);
    // An expression entry as a kind-35 argument names it: only compared with the world's entries before use.
    static ActionTarget ExpressionEntry(const void* entry);

    bool IsNone() const { return std::holds_alternative<std::monostate>(m_value); }
    const char* GetText() const; // null unless a text
    const SWkeyentry* GetKey() const;
    std::optional<uint8_t> GetByte() const;
    std::optional<int32_t> GetInteger() const;
    SWnode* GetObject() const;
    const void* GetExpressionEntry() const;

private:
    struct EntryAddress {
        const void* entry;
    };
    // The text is owned, so a target stored in a delayed or sequence entry outlives the argument it came from.
    std::variant<std::monostate, std::string, const SWkeyentry*, uint8_t, int32_t, SWnode*, EntryAddress> m_value;
};

// The action itself, its motion (or a clone), the second text of kind 10, or nothing.
struct ActionSubject {
    SWactionnode* action = nullptr;
    SWmotion* motion = nullptr;
    const char* text = nullptr;
};

// What a run hands a handler for one argument of an action of kind: a text for a string, the byte or integer of
// those, an object only for the expression action (kind 35), whose object arguments name expression entries.
ActionTarget TargetOfArgument(const SWdatanode& argument, int32_t kind);
