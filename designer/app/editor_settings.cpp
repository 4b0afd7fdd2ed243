#include "designer/app/editor_settings.h"

#include <array>
#include <map>
#include <mutex>

#include "platform/settings/settings_store.h"

namespace {

struct Definitions {
    std::mutex mutex;
    std::map<uint32_t, CVTND_SettingDef> byId;
};

// Function-local, so that registrations from other files' static initialisers find it built.
Definitions& Defs()
{
    static Definitions defs;
    return defs;
}

const CVTND_SettingRegistration kOpenWizard({CVTND_EditorSettings::kOpenWizard, "open wizard", SettingKind::kDword, 1,
                                             "", 1}); // on or off
const CVTND_SettingRegistration kUserName({CVTND_EditorSettings::kUserName, "user name", SettingKind::kString});
const CVTND_SettingRegistration kUserOrganization({CVTND_EditorSettings::kUserOrganization, "user organization",
                                                   SettingKind::kString});

std::array<uint8_t, 3> ColourBytes(uint32_t rgb)
{
    return {static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb)};
}

std::string DirectoryName(BrowseCategory category)
{
    return "directory " + std::to_string(static_cast<int32_t>(category));
}

} // namespace

bool CVTND_EditorSettings::Register(const CVTND_SettingDef& def)
{
    Definitions& defs = Defs();
    const std::lock_guard<std::mutex> lock(defs.mutex);
    return defs.byId.try_emplace(def.id, def).second;
}

std::vector<CVTND_SettingDef> CVTND_EditorSettings::Registered()
{
    Definitions& defs = Defs();
    const std::lock_guard<std::mutex> lock(defs.mutex);
    std::vector<CVTND_SettingDef> all;
    for (const auto& [id, def] : defs.byId)
        all.push_back(def);
    return all;
}

std::optional<CVTND_SettingDef> CVTND_EditorSettings::Find(uint32_t id)
{
    Definitions& defs = Defs();
    const std::lock_guard<std::mutex> lock(defs.mutex);
    const auto found = defs.byId.find(id);
    if (found == defs.byId.end())
        return std::nullopt;
    return found->second;
}

void CVTND_EditorSettings::Load()
{
    for (const CVTND_SettingDef& def : Registered()) {
        switch (def.kind) {
        case SettingKind::kFlag:
            GetFlag(def.id);
            break;
        case SettingKind::kColour:
            GetColour(def.id);
            break;
        case SettingKind::kDword:
            GetDword(def.id);
            break;
        case SettingKind::kString:
            GetString(def.id);
            break;
        }
    }
}

bool CVTND_EditorSettings::GetFlag(uint32_t id) const
{
    const std::optional<CVTND_SettingDef> def = Find(id);
    if (!def || def->kind != SettingKind::kFlag)
        return false;
    const uint8_t fallback = def->defaultValue != 0 ? 1 : 0;
    const std::vector<uint8_t> value = m_store.getOrCreateBinary(kKey, def->valueName, std::span(&fallback, 1));
    return value.size() == 1 ? value[0] != 0 : fallback != 0;
}

uint32_t CVTND_EditorSettings::GetColour(uint32_t id) const
{
    const std::optional<CVTND_SettingDef> def = Find(id);
    if (!def || def->kind != SettingKind::kColour)
        return 0;
    const std::array<uint8_t, 3> fallback = ColourBytes(def->defaultValue);
    const std::vector<uint8_t> value = m_store.getOrCreateBinary(kKey, def->valueName, fallback);
    if (value.size() != 3)
        return def->defaultValue & 0xFFFFFFu;
    return uint32_t{value[0]} << 16 | uint32_t{value[1]} << 8 | value[2];
}

uint32_t CVTND_EditorSettings::GetDword(uint32_t id) const
{
    const std::optional<CVTND_SettingDef> def = Find(id);
    if (!def || def->kind != SettingKind::kDword)
        return 0;
    return m_store.getOrCreateDword(kKey, def->valueName, def->defaultValue);
}

std::string CVTND_EditorSettings::GetString(uint32_t id) const
{
    const std::optional<CVTND_SettingDef> def = Find(id);
    if (!def || def->kind != SettingKind::kString)
        return {};
    return m_store.getOrCreateString(kKey, def->valueName, def->defaultText);
}

bool CVTND_EditorSettings::SetFlag(uint32_t id, bool on)
{
    const std::optional<CVTND_SettingDef> def = Find(id);
    const uint8_t byte = on ? 1 : 0;
    return def && def->kind == SettingKind::kFlag && m_store.setBinary(kKey, def->valueName, std::span(&byte, 1));
}

bool CVTND_EditorSettings::SetColour(uint32_t id, uint32_t rgb)
{
    const std::optional<CVTND_SettingDef> def = Find(id);
    return def && def->kind == SettingKind::kColour && m_store.setBinary(kKey, def->valueName, ColourBytes(rgb));
}

bool CVTND_EditorSettings::SetDword(uint32_t id, uint32_t value)
{
    const std::optional<CVTND_SettingDef> def = Find(id);
    return def && def->kind == SettingKind::kDword && m_store.setDword(kKey, def->valueName, value);
}

bool CVTND_EditorSettings::SetString(uint32_t id, std::string_view text)
{
    const std::optional<CVTND_SettingDef> def = Find(id);
    return def && def->kind == SettingKind::kString && m_store.setString(kKey, def->valueName, text);
}

std::string CVTND_EditorSettings::GetDirectory(BrowseCategory category) const
{
    return m_store.getString(kKey, DirectoryName(category)).value_or(std::string());
}

bool CVTND_EditorSettings::SetDirectory(BrowseCategory category, std::string_view directory)
{
    return m_store.setString(kKey, DirectoryName(category), directory);
}
