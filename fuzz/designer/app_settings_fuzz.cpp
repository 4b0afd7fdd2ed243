// Any text as the settings file, through the settings parser, then every reader of the application's own settings as
// start-up runs them: the recent files, the "Viewer" switches, the editor settings, the viewing and navigation
// configuration. What those readers wrote back (the values made with their defaults) must read back the same from
// the stored text, so a damaged file never comes back different at the next start.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "designer/app/editor_settings.h"
#include "designer/app/startup.h"
#include "platform/settings/profile.h"
#include "platform/settings/settings_backend.h"
#include "platform/settings/settings_store.h"
#include "render/render_drivers.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

struct Seen {
    std::vector<std::string> recent;
    std::vector<int> viewer;
    std::vector<std::string> editor; // each registered setting's value, as text
    uint32_t antialiasing = 0;
    uint32_t supersampling = 0;
    bool operator==(const Seen&) const = default;
};

Seen ReadAll(pf::SettingsStore& store)
{
    Seen seen;
    pf::Profile profile(store, CVTND_Designer::kProfileKey);
    seen.recent = CVTND_Designer::ReadRecentFiles(profile);
    Check(seen.recent.size() <= CVTND_Designer::kRecentFiles);
    for (const std::string& path : seen.recent)
        Check(!path.empty());
    SWrenderdrivers::Get().ApplyViewerProfile(profile);
    for (const char* name : {"MMX", "SSE", "SSE2"}) {
        seen.viewer.push_back(profile.getInt("Viewer", name, -1));
        Check(seen.viewer.back() >= 0); // a switch that was missing or unreadable is written as on
    }
    CVTND_EditorSettings settings(store);
    settings.Load();
    for (const CVTND_SettingDef& def : CVTND_EditorSettings::Registered()) {
        switch (def.kind) {
        case SettingKind::kFlag:
            seen.editor.push_back(settings.GetFlag(def.id) ? "1" : "0");
            break;
        case SettingKind::kColour:
            seen.editor.push_back(std::to_string(settings.GetColour(def.id)));
            Check(settings.GetColour(def.id) <= 0xFFFFFFu);
            break;
        case SettingKind::kDword:
            seen.editor.push_back(std::to_string(settings.GetDword(def.id)));
            break;
        case SettingKind::kString:
            seen.editor.push_back(settings.GetString(def.id));
            break;
        }
    }
    CVTND_Designer::ReadViewingConfiguration(store);
    seen.antialiasing = store.getDword(CVTND_Designer::kViewingKey, "antialiasing").value_or(0xFFFFFFFFu);
    seen.supersampling = store.getDword(CVTND_Designer::kViewingKey, "supersampling").value_or(0xFFFFFFFFu);
    return seen;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto backend = std::make_unique<pf::MemoryBackend>(std::string(reinterpret_cast<const char*>(data), size));
    pf::MemoryBackend* const stored = backend.get();
    pf::SettingsStore store(std::move(backend));
    const Seen first = ReadAll(store);
    Check(stored->text().has_value());
    pf::SettingsStore again(std::make_unique<pf::MemoryBackend>(*stored->text()));
    Check(ReadAll(again) == first);
    return 0;
}
