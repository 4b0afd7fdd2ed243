// vortan [options] [PROJECT.vtp]: the designer. With a display it opens in a real window; without one it says why,
// runs the screenshot mode on the same project and prints where the picture is.
//   --screenshot OUT.png [--frames N] [--click X,Y]   on the headless screen: the preview started, a click at a
//                                                       point of the 3D view, N frames drawn, the screen written
//   --exit-after MS                                    closes the main window after MS milliseconds
// Switch letters in any case. The batch mode (-m, -l) is not available. Exit 0, 2 usage, 3 a refusal, 4 the main
// window destroyed by another program or the display lost (unsaved work is in the recovery copy). SIGINT, SIGTERM and
// SIGHUP close the main window as its close box does, whenever they come.
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "designer/app/developer_run.h"
#include "designer/app/startup.h"
#include "platform/base/atomic_file.h"
#include "platform/display/screen.h"
#include "platform/live/sdl_audio.h"
#include "platform/live/sdl_backend.h"
#include "platform/live/x_errors.h"
#include "platform/settings/settings_store.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/providers/live_providers.h"

namespace {

constexpr int kExitUsage = 2;

struct Options {
    std::optional<std::string> project;
    std::optional<std::string> screenshot;
    uint32_t frames = 30;
    std::optional<pf::Point> click;
    uint32_t exitAfterMs = 0;
};

int Usage(const std::string& why)
{
    if (!why.empty())
        std::fprintf(stderr, "vortan: %s\n", why.c_str());
    std::fprintf(stderr, "usage: vortan [--screenshot OUT.png [--frames N] [--click X,Y]] [--exit-after MS] "
                         "[--] [PROJECT.vtp]\n");
    return kExitUsage;
}

bool ParseNumber(std::string_view text, uint32_t& out, uint32_t low, uint32_t high)
{
    const auto [end, failed] = std::from_chars(text.data(), text.data() + text.size(), out);
    return failed == std::errc() && end == text.data() + text.size() && out >= low && out <= high;
}

std::string Lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::optional<int> Parse(int argc, char** argv, Options& options)
{
    bool optionsEnded = false; // after "--" every argument is the project, whatever it starts with
    for (int i = 1; i < argc; ++i) {
        const std::string arg = Lower(argv[i]);
        const bool hasValue = i + 1 < argc;
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && (arg == "-m" || arg == "-l" || arg == "/m" || arg == "/l"))
            return Usage("the batch mode (" + std::string(argv[i]) + ") is not available");
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            if (options.project)
                return Usage("one project at most");
            options.project = argv[i];
            continue;
        }
        // An option that takes a value and has none is missing it: it is not unknown.
        const bool valued = arg == "--screenshot" || arg == "--frames" || arg == "--click" || arg == "--exit-after";
        if (valued && (!hasValue || (arg == "--screenshot" && argv[i + 1][0] == '-')))
            return Usage(std::string(argv[i]) +
                         (arg == "--screenshot" ? " is missing its file (OUT.png)" : " is missing its value"));
        if (arg == "--screenshot" && hasValue) {
            options.screenshot = argv[++i];
        } else if (arg == "--frames" && hasValue) {
            if (!ParseNumber(argv[++i], options.frames, 1, 10000))
                return Usage("--frames takes a number from 1 to 10000");
        } else if (arg == "--click" && hasValue) {
            const std::string_view value = argv[++i];
            const size_t comma = value.find(',');
            uint32_t x = 0;
            uint32_t y = 0;
            if (comma == std::string_view::npos || !ParseNumber(value.substr(0, comma), x, 0, 16384) ||
                !ParseNumber(value.substr(comma + 1), y, 0, 16384))
                return Usage("--click takes X,Y");
            options.click = pf::Point{static_cast<int32_t>(x), static_cast<int32_t>(y)};
        } else if (arg == "--exit-after" && hasValue) {
            if (!ParseNumber(argv[++i], options.exitAfterMs, 1, 86400000))
                return Usage("--exit-after takes milliseconds");
        } else {
            return Usage("unknown option " + std::string(argv[i]));
        }
    }
    if (!options.screenshot && (options.click || options.frames != 30))
        return Usage("--frames and --click go with --screenshot");
    return std::nullopt;
}

std::string DefaultScreenshotPath()
{
    const char* cache = std::getenv("XDG_CACHE_HOME");
    std::string base = cache != nullptr && cache[0] == '/' ? std::string(cache) : std::string();
    if (base.empty()) {
        const char* home = std::getenv("HOME");
        base = std::string(home != nullptr ? home : "/tmp") + "/.cache";
    }
    return base + "/vortan/screen.png";
}

int RunHeadless(const Options& options, const std::string& out)
{
    const CVTND_DeveloperRunUi ui;
    CVTND_Designer designer;
    CVTND_StartOptions start;
    start.project = options.project;
    start.developerRun = true;
    start.renderPriority = CVTN_ThreadHandler::Priority::kNormal; // no person to yield to: the picture waits on frames
    if (!designer.Start(std::move(start))) {
        std::fprintf(stderr, "vortan: the main window could not be made\n");
        return 1;
    }
    CVTND_ScreenshotOptions shot;
    shot.out = out;
    shot.frames = options.frames;
    shot.click = options.click;
    return RunScreenshot(designer, shot);
}

// Another program destroyed the main window: nobody can be asked about unsaved work, so it stays in the recovery
// copy, written now, as after any end that did not ask.
void EndAfterLostWindow(CVTND_Designer& designer, const pf::SdlBackend& live, int& status)
{
    if (!live.lostApplicationWindow())
        return;
    status = pf::kQuitWindowLost;
    std::fprintf(stderr, "vortan: %s\n",
                 designer.KeepUnsavedWork("the main window was destroyed by another program").c_str());
}

} // namespace

int main(int argc, char** argv)
{
    pf::catchTerminationSignals();
    pf::ignoreFileSizeSignal();
    Options options;
    if (const std::optional<int> refused = Parse(argc, argv, options))
        return *refused;
    pf::DisplayChoice choice;
    if (!options.screenshot)
        choice = pf::openDisplayBackend();
    if (options.screenshot || !choice.backend->isLive())
        pf::releaseTerminationSignals(); // nothing would hand them on: the default action ends the run
    if (options.screenshot)
        return RunHeadless(options, *options.screenshot);
    if (!choice.backend->isLive()) {
        const std::string out = DefaultScreenshotPath();
        std::printf("vortan: no display (%s); running the screenshot mode instead\n", choice.reason.c_str());
        const int status = RunHeadless(options, out);
        if (status == 0)
            std::printf("vortan: the screen is in %s\n", out.c_str());
        return status;
    }
    pf::SdlAudio audio;
    if (audio.isOpen())
        pf::setAudioOut(&audio);
    int status = 0;
    {
        pf::Ui ui;
        ui.setBackend(choice.backend.get());
        pf::LiveProviders providers;
        providers.install();
        {
            CVTND_Designer designer;
            // A display gone is a main window destroyed by another program: the work kept, and the same end.
            pf::whenDisplayIsLost(
                [&designer](bool onUiThread) {
                    std::fprintf(stderr, "vortan: %s\n", designer.KeepWorkOnLostDisplay(onUiThread).c_str());
                },
                pf::kQuitWindowLost);
            CVTND_StartOptions start;
            start.project = options.project;
            start.exitAfterMs = options.exitAfterMs;
            if (!designer.Start(std::move(start))) {
                std::fprintf(stderr, "vortan: the main window could not be made\n");
                status = 1;
            } else {
                // Shown in a box as well; the error stream keeps them where the box has gone.
                for (const std::string& warning : designer.GetStore().warnings())
                    std::fprintf(stderr, "vortan: settings: %s\n", warning.c_str());
                status = designer.Run();
                EndAfterLostWindow(designer, static_cast<const pf::SdlBackend&>(*choice.backend), status);
            }
            designer.Exit();
            pf::whenDisplayIsLost({}, pf::kQuitWindowLost);
        }
        ui.setBackend(nullptr);
    }
    pf::setAudioOut(nullptr);
    return status;
}
