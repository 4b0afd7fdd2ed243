#pragma once
// CVTND_EditorSettings: the designer's settings under one key of the settings store, each by a small id. Whoever
// uses a setting registers it once, with its value name, kind and default (the editor engine its display settings
// and colours, 10 to 20; this file the wizard switch and the user's name and organization). A value that is missing
// is created with its default the first time it is read; a value of another kind, or a binary of another length,
// is left alone and the default used. Directories that file dialogs remember are values "directory %d" by category.
//
// One per process, over a store that outlives it; every call may come from any thread (the store locks).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pf {
class SettingsStore;
}

enum class SettingKind : uint8_t {
    kFlag = 0,   // a one-byte binary value
    kColour = 1, // a three-byte binary value: red, green, blue
    kDword = 2,
    kString = 3,
};

struct CVTND_SettingDef {
    uint32_t id = 0;
    const char* valueName = ""; // static text of the registrant
    SettingKind kind = SettingKind::kDword;
    uint32_t defaultValue = 0;     // flags 0/1, colours 0x00RRGGBB, dwords
    const char* defaultText = "";  // strings
    uint32_t highest = UINT32_MAX; // dwords: the largest the setting is used with; Preferences refuse more
};

// File dialog categories, each remembering its own directory.
enum class BrowseCategory : int32_t {
    kPublished = 0,
    kScenes = 1,
    kProjects = 2,
    kSnapshots = 3,
    kResources = 6,
};

class CVTND_EditorSettings {
public:
    static constexpr std::string_view kKey = "Software\\Brenix\\Vortan\\Editor";
    static constexpr uint32_t kOpenWizard = 1;
    static constexpr uint32_t kUserName = 2;
    static constexpr uint32_t kUserOrganization = 3;

    explicit CVTND_EditorSettings(pf::SettingsStore& store) : m_store(store) {}

    static bool Register(const CVTND_SettingDef& def); // false: the id is taken (the first is kept)
    static std::vector<CVTND_SettingDef> Registered(); // in id order, for the preferences dialog
    static std::optional<CVTND_SettingDef> Find(uint32_t id);

    void Load(); // every registered setting read once, so the missing ones are created with their defaults

    // Typed reads of a registered id; an unregistered id, or one of another kind, answers 0 or empty.
    bool GetFlag(uint32_t id) const;
    uint32_t GetColour(uint32_t id) const; // 0x00RRGGBB
    uint32_t GetDword(uint32_t id) const;
    std::string GetString(uint32_t id) const;
    bool SetFlag(uint32_t id, bool on); // false: not such a setting, or the store refused
    bool SetColour(uint32_t id, uint32_t rgb);
    bool SetDword(uint32_t id, uint32_t value);
    bool SetString(uint32_t id, std::string_view text);

    std::string GetDirectory(BrowseCategory category) const; // empty when none was remembered
    bool SetDirectory(BrowseCategory category, std::string_view directory);

    pf::SettingsStore& Store() const { return m_store; }

private:
    pf::SettingsStore& m_store; // the program's; outlives this
};

struct CVTND_SettingRegistration {
    explicit CVTND_SettingRegistration(const CVTND_SettingDef& def) : registered(CVTND_EditorSettings::Register(def)) {}
    bool registered;
};
