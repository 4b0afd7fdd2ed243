#include "platform/settings/profile.h"

#include "platform/settings/settings_store.h"

namespace pf {

Profile::Profile(SettingsStore& store, std::string applicationKey)
    : m_store(store), m_applicationKey(std::move(applicationKey))
{
}

std::string Profile::sectionKey(std::string_view section) const
{
    return m_applicationKey + "\\" + std::string(section);
}

int Profile::getInt(std::string_view section, std::string_view entry, int def) const
{
    const auto value = m_store.getDword(sectionKey(section), entry);
    return value ? static_cast<int>(*value) : def;
}

bool Profile::writeInt(std::string_view section, std::string_view entry, int value)
{
    return m_store.setDword(sectionKey(section), entry, static_cast<uint32_t>(value));
}

std::string Profile::getString(std::string_view section, std::string_view entry, std::string_view def) const
{
    return m_store.getString(sectionKey(section), entry).value_or(std::string(def));
}

bool Profile::writeString(std::string_view section, std::string_view entry, std::string_view value)
{
    return m_store.setString(sectionKey(section), entry, value);
}

std::optional<std::vector<uint8_t>> Profile::getBinary(std::string_view section, std::string_view entry) const
{
    return m_store.getBinary(sectionKey(section), entry);
}

bool Profile::writeBinary(std::string_view section, std::string_view entry, std::span<const uint8_t> value)
{
    return m_store.setBinary(sectionKey(section), entry, value);
}

bool Profile::deleteEntry(std::string_view section, std::string_view entry)
{
    return m_store.deleteValue(sectionKey(section), entry);
}

bool Profile::deleteSection(std::string_view section)
{
    return m_store.deleteKey(sectionKey(section));
}

} // namespace pf
