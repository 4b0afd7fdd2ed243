#pragma once
// The settings tree and its text form. Keys are backslash paths, values are named, and both compare without
// regard to ASCII case while keeping the spelling they were first given. The text form, UTF-8, one item a line:
//   [Software\Brenix\Vortan\Editor]
//   "10"=dword:0000000a
//   "colour"=hex:ff,00,aa
//   "name"="text with \\ \" \n escapes"
// A line that does not parse is skipped with a warning; everything else in the file is kept.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pf {

enum class SettingType : uint32_t { // the registry's type numbers
    kString = 1,
    kBinary = 3,
    kDword = 4,
};

struct SettingValue {
    std::string name;
    SettingType type = SettingType::kDword;
    uint32_t dword = 0;
    std::string text;
    std::vector<uint8_t> bytes;
    bool operator==(const SettingValue&) const = default;
};

struct SettingKey {
    std::string path;                 // components joined by single backslashes, no leading or trailing one
    std::vector<SettingValue> values; // in the order they were first set
    bool operator==(const SettingKey&) const = default;

    SettingValue* findValue(std::string_view name);
    const SettingValue* findValue(std::string_view name) const;
};

struct SettingsTree {
    std::vector<SettingKey> keys; // in the order they were made; a key exists until deleted, values or not

    SettingKey* findKey(std::string_view path);
    const SettingKey* findKey(std::string_view path) const;
    SettingKey& makeKey(std::string_view path); // path must already be normalised
    bool operator==(const SettingsTree&) const = default;
};

struct SettingsParse {
    SettingsTree tree;
    std::vector<std::string> warnings; // "line N: why", at most kMaxSettingsWarnings of them and a count of the rest
};

inline constexpr size_t kMaxSettingsWarnings = 100;

SettingsParse parseSettingsFile(std::string_view text);
std::string formatSettingsFile(const SettingsTree& tree);
size_t formattedSettingBytes(const SettingValue& value); // its line in the text form, line break included

bool sameSettingName(std::string_view a, std::string_view b);   // ASCII case folded
bool normaliseKeyPath(std::string_view path, std::string& out); // trims outer backslashes; false: an empty
                                                                // component, or a line break in a name

} // namespace pf
