#pragma once
// The settings file. Every store goes through the atomic writer, so a crash at any moment leaves the old file or the
// new one, never a torn one; a new settings file is readable by its owner alone.
#include <cstddef>
#include <optional>
#include <string>

#include "platform/settings/settings_backend.h"

namespace pf {

class FileBackend final : public SettingsBackend {
public:
    static constexpr size_t kMaxFileBytes = 16u << 20; // a settings file past this is not ours to parse

    explicit FileBackend(std::string path); // the folder is made on the first store

    SettingsLoad load() override;
    bool store(const std::string& text, bool keepOriginal) override; // keeps the original as path + ".bak"
    size_t maxTextBytes() const override { return kMaxFileBytes; }

    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// VORTAN_SETTINGS_FILE when set; else $XDG_CONFIG_HOME/vortan/settings.reg, $XDG_CONFIG_HOME defaulting to
// $HOME/.config; nullopt when neither variable gives a folder.
std::optional<std::string> defaultSettingsPath();

} // namespace pf
