// Any text as a settings file: parsing never fails hard, and what it keeps writes out and reads back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/settings/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const pf::SettingsParse first = pf::parseSettingsFile(text);
    if (first.warnings.size() > pf::kMaxSettingsWarnings + 1)
        std::abort();
    const std::string written = pf::formatSettingsFile(first.tree);
    const pf::SettingsParse second = pf::parseSettingsFile(written);
    if (!second.warnings.empty() || !(second.tree == first.tree) || pf::formatSettingsFile(second.tree) != written)
        std::abort();
    return 0;
}
