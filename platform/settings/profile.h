#pragma once
// The application's profile: sections under the application's key, read with defaults the way the class library
// reads them. Nothing is written back on a read; callers that want missing values created write them.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pf {

class SettingsStore;

class Profile {
public:
    Profile(SettingsStore& store, std::string applicationKey); // store not owned, outlives the profile;
                                                               // e.g. "Software\\Brenix\\Vortan"
    std::string sectionKey(std::string_view section) const;    // "<application key>\\<section>"

    int getInt(std::string_view section, std::string_view entry, int def) const; // def unless a Dword is stored
    bool writeInt(std::string_view section, std::string_view entry, int value);
    std::string getString(std::string_view section, std::string_view entry, std::string_view def) const;
    bool writeString(std::string_view section, std::string_view entry, std::string_view value);
    std::optional<std::vector<uint8_t>> getBinary(std::string_view section, std::string_view entry) const;
    bool writeBinary(std::string_view section, std::string_view entry, std::span<const uint8_t> value);
    bool deleteEntry(std::string_view section, std::string_view entry);
    bool deleteSection(std::string_view section);

private:
    SettingsStore& m_store;
    std::string m_applicationKey;
};

} // namespace pf
