// vortan-sample OUT.vtp: writes the designer's bundled sample project (a camera, a turning textured cube and a
// floor, with a click on the cube that switches the background). The build runs it, so the sample always matches
// the project format. Exit 0 written, 2 usage, 3 the file could not be written.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "designer/app/developer_run.h"
#include "designer/app/extended_world.h"
#include "designer/app/project.h"
#include "designer/app/sample_project.h"
#include "designer/app/startup.h"
#include "platform/settings/settings_backend.h"
#include "platform/settings/settings_store.h"

namespace {

// The project at path opened in a designer on the headless screen, its first event map drawn once, and saved again:
// the map places what it has never placed as it draws, and that layout is stored with the project. A sample written
// without it was laid out, and so rewritten, by its first unchanged save.
bool StoreFirstLayout(const std::string& path)
{
    CVTND_DeveloperRunUi ui;
    // The designer's recovery copy and its lock go in a folder of the run's own, not the person's state folder.
    const std::filesystem::path scratch =
        std::filesystem::temp_directory_path() / ("vortan-sample-" + std::to_string(::getpid()));
    std::error_code ignored;
    std::filesystem::create_directories(scratch, ignored);
    bool saved = false;
    {
        CVTND_Designer designer;
        CVTND_StartOptions start;
        start.project = path;
        start.store = std::make_unique<pf::SettingsStore>(nullptr); // the person's settings are not the build's
        start.developerRun = true;
        start.recoveryPath = (scratch / "recovery.vtp").string();
        if (designer.Start(std::move(start))) {
            ui.Ui().pump();
            saved = designer.SaveTo(path);
        }
        designer.Exit();
    }
    std::filesystem::remove_all(scratch, ignored);
    return saved;
}

} // namespace

int main(int argc, char** argv)
{
    // An option is never a file name: "--help" would be written as a project of that name.
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: vortan-sample OUT.vtp\n");
        return 2;
    }
    {
        CVTND_ExtendedWorld world;
        BuildSampleWorld(world);
        CVTND_Project project(world, nullptr);
        project.SetObjectName("Sample");
        project.SetHtmlOption(true);
        if (!project.SaveFile(argv[1], nullptr)) {
            std::fprintf(stderr, "vortan-sample: cannot write %s\n", argv[1]);
            return 3;
        }
    }
    if (!StoreFirstLayout(argv[1])) {
        std::fprintf(stderr, "vortan-sample: cannot write %s with its event map's layout\n", argv[1]);
        return 3;
    }
    return 0;
}
