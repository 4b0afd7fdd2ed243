#pragma once
// The designer as its whole-program tests start it over the sample world: settings kept in memory only, a developer
// run (no first-run questions), its recovery file in the test's folder, the first view looking through the sample's
// camera. Header only, so the live tests need no library of ours for it.
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "designer/app/child_render_view.h"
#include "designer/app/sample_project.h"
#include "designer/app/startup.h"
#include "engine/core/world.h"
#include "engine/resources/resource_report.h"
#include "platform/settings/settings_store.h"

namespace designertest {

// A machine busy with other tests (sanitizer builds, two cores) can hold the render thread up for seconds, so a
// test's waits for its frames, and the designer's join of it at exit, allow a minute.
inline constexpr std::chrono::milliseconds kRenderThreadWait{60000};

// How the tests start the designer: settings in memory, a developer run, frames drawn at normal priority so that they
// come even beside busy work, a minute to end the render thread, the recovery file where the test says.
inline CVTND_StartOptions TestStartOptions(const std::string& recoveryPath)
{
    CVTND_StartOptions options;
    options.store = std::make_unique<pf::SettingsStore>(nullptr);
    options.developerRun = true;
    options.renderPriority = CVTN_ThreadHandler::Priority::kNormal;
    options.joinTimeout = kRenderThreadWait;
    options.recoveryPath = recoveryPath;
    return options;
}

// What earlier tests of the process reported with no designer up (worlds written beside no sound file) is kept for
// the next designer, which shows it as its own box. Declared before a designer, this drops it first.
struct EarlierReportsDropped {
    EarlierReportsDropped() { (void)TakeKeptResourceReports(); }
};

inline bool StartOnSampleWorld(CVTND_Designer& designer, const std::filesystem::path& folder,
                               CVTN_ThreadHandler::Priority renderPriority = CVTN_ThreadHandler::Priority::kNormal)
{
    CVTND_StartOptions options = TestStartOptions((folder / "recovery.vtp").string());
    options.renderPriority = renderPriority;
    if (!designer.Start(std::move(options)))
        return false;
    {
        const SWworldlock hold(*designer.GetWorld());
        BuildSampleWorld(*designer.GetWorld());
    }
    designer.ActiveView()->TakeLastCamera();
    designer.ActiveView()->RefreshBackground();
    return true;
}

} // namespace designertest
