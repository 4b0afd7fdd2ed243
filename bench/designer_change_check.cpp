// designer_change_check: what the designer's question "is the project changed?" costs with an editor open, and what
// a recovery copy costs, on designer_scale's generated project at several sizes, each size in a fresh process.
//
//   designer_change_check [--sizes 1,4] [--runs N]
//       one line per operation: "OPERATION: 1x=VALUE 4x=VALUE growth=RATIO", then a verdict per size step
//
// editor-material and editor-rotate: the material editor, and the Details of a Rotate XYZ action, opened and closed
// unchanged on the UI thread (the median of --runs, 7 unless told), in seconds; each must leave the project
// unmodified. editor-*-peak: how far the process's peak resident memory rose over what it held before the opens
// and closes, in MB, beside project-mb, what one copy of the project in memory takes. recovery-copy: the recovery
// copy of the modified project written (CVTND_Designer::WriteRecoveryCopy), in seconds; recovery-copy-held: how
// long the timer's copy, which goes to the disk in the background, holds the UI thread; recovery-copy-peak as the
// editors' peaks. The verdict: an editor opened and closed at a size costs at most twice what it costs at the size
// before it (the project four times larger), and raises the peak by less than half a copy of the project; exit 1
// when either fails.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/project.h"
#include "designer/app/recovery.h"
#include "designer/app/startup.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/core/root_object.h"
#include "engine/core/window.h"
#include "engine/core/window_renderer.h"
#include "engine/core/world.h"
#include "engine/resources/material.h"
#include "platform/base/user_constants.h"
#include "platform/display/screen.h"
#include "platform/settings/settings_backend.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/core/window.h"
#include "testsupport/designer/sample_designer.h"
#include "testsupport/designer/scale_project.h"

namespace {

using Clock = std::chrono::steady_clock;

double Timed(const std::function<void()>& work)
{
    const Clock::time_point start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// A line of /proc/self/status in kB ("VmHWM", "VmRSS").
double StatusMb(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field + ":", 0) == 0)
            return std::atof(line.c_str() + field.size() + 1) / 1024.0;
    return 0.0;
}

// How far work raises the peak resident memory over what is resident before it: the peak is reset first.
double PeakRiseMb(const std::function<void()>& work)
{
    std::ofstream("/proc/self/clear_refs") << "5";
    const double before = StatusMb("VmRSS");
    work();
    return std::max(0.0, StatusMb("VmHWM") - before);
}

void Report(const char* operation, double value)
{
    std::printf("result %s %.6f\n", operation, value);
    std::fflush(stdout);
}

// Until the views have refined their picture of the scene just made (bounded): their frames hold the world, and an
// editor measured meanwhile waited for them, far longer on a larger scene. The first paints restart the refinement,
// so it counts once it has stayed done a while.
void SettleViews(SWworld& world, pf::Ui& ui)
{
    const auto refining = [&] {
        const SWworldlock hold(world);
        for (const std::unique_ptr<SWwindow>& window : world.GetWindows())
            if (SWwindowrenderer* renderer = window->GetRenderer();
                renderer != nullptr && !renderer->IsAntialiasingDone())
                return true;
        return false;
    };
    const Clock::time_point end = Clock::now() + std::chrono::seconds(60);
    Clock::time_point done = Clock::now();
    while (Clock::now() < end && Clock::now() - done < std::chrono::milliseconds(300)) {
        ui.pump();
        ::usleep(5000);
        if (refining())
            done = Clock::now();
    }
}

// One size in this process.
int RunSize(double size, int runs)
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("vortan-change-check-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    pf::screen().reset();
    pf::Ui ui;
    CVTND_Designer designer;
    if (!designer.Start(designertest::TestStartOptions((folder / "recovery.vtp").string()))) {
        std::fprintf(stderr, "designer_change_check: the designer did not start\n");
        return 1;
    }
    CVTNDesignerApp& app = *designer.GetApp();
    CVTND_ExtendedWorld& world = *app.GetWorld();
    const designertest::Counts counts = designertest::CountsFor(size);
    {
        const SWworldlock hold(world);
        designertest::FillScene(counts, world);
        designertest::AddEvents(world, counts);
    }
    std::vector<uint8_t> whole;
    app.GetProject()->WriteBytes(whole, app.GetGradientStore());
    Report("project-mb", static_cast<double>(whole.size()) / (1024.0 * 1024.0));
    whole = {};
    whole.shrink_to_fit();
    app.SetModified(0);
    SettleViews(world, ui);

    SWmaterial* material = world.GetRootObject()->GetFirstMaterial();
    SWactionnode* rotate = world.GetFirstEvent() != nullptr ? world.GetFirstEvent()->GetFirstAction() : nullptr;
    int failed = 0;
    const auto openAndClose = [&](const CVTND_Object& subject, const char* name, const char* peakName) {
        const auto once = [&] {
            pf::Window* editor = app.EditObject(subject, false);
            if (editor == nullptr) {
                ++failed;
                return;
            }
            ui.pump();
            editor->send(pf::WM_CLOSE, 0, 0);
            ui.pump();
            if (app.IsModified() != 0)
                ++failed;
        };
        once(); // the editor's classes and pictures are made the first time
        std::vector<double> times;
        for (int run = 0; run < runs; ++run)
            times.push_back(Timed(once));
        Report(name, Median(times));
        Report(peakName, PeakRiseMb(once));
    };
    openAndClose(CVTND_Object(material), "editor-material", "editor-material-peak");
    openAndClose(CVTND_Object(rotate), "editor-rotate", "editor-rotate-peak");
    if (failed != 0)
        std::printf("note %d opens and closes failed or left the project modified\n", failed);

    app.SetModified();
    std::vector<double> copies;
    for (int run = 0; run < std::max(1, runs / 2); ++run)
        copies.push_back(Timed([&] { designer.WriteRecoveryCopy(); }));
    Report("recovery-copy", Median(copies));
    // The timer's copy: the window is held while the document is made, not while it goes to the disk.
    std::vector<double> held;
    for (int run = 0; run < std::max(1, runs / 2); ++run) {
        held.push_back(Timed([&] {
            if (designer.WriteRecoveryCopy(true) != CVTND_Designer::RecoveryWrite::kStarted)
                ++failed;
        }));
        const std::optional<CVTND_Recovery::BackgroundWrite> ended = designer.GetRecovery()->TakeBackground(true);
        if (!ended || !ended->written)
            ++failed;
    }
    Report("recovery-copy-held", Median(held));
    Report("recovery-copy-peak", PeakRiseMb([&] { designer.WriteRecoveryCopy(); }));
    std::error_code ignored;
    Report("recovery-copy-mb",
           static_cast<double>(std::filesystem::file_size(folder / "recovery.vtp", ignored)) / (1024.0 * 1024.0));
    app.SetModified(0);
    designer.Exit();
    std::filesystem::remove_all(folder);
    return failed == 0 ? 0 : 1;
}

std::map<std::string, double> RunChild(const std::string& self, double size, int runs)
{
    std::map<std::string, double> results;
    int channel[2];
    if (::pipe(channel) != 0)
        return results;
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(channel[1], 1);
        ::close(channel[0]);
        const std::string sizeText = std::to_string(size);
        const std::string runsText = std::to_string(runs);
        ::execl(self.c_str(), self.c_str(), "--one", sizeText.c_str(), "--runs", runsText.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(channel[1]);
    std::string out;
    char piece[4096];
    for (ssize_t got; (got = ::read(channel[0], piece, sizeof piece)) > 0;)
        out.append(piece, static_cast<size_t>(got));
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    size_t at = 0;
    while (at < out.size()) {
        const size_t end = std::min(out.find('\n', at), out.size());
        const std::string line = out.substr(at, end - at);
        at = end + 1;
        char name[64] = {};
        double value = 0.0;
        if (std::sscanf(line.c_str(), "result %63s %lf", name, &value) == 2)
            results[name] = value;
        else if (!line.empty())
            std::printf("%gx %s\n", size, line.c_str());
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        results["failed"] = 1.0;
    return results;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<double> sizes = {1.0, 4.0};
    int runs = 7;
    std::optional<double> one;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool value = i + 1 < argc;
        if (arg == "--sizes" && value) {
            sizes.clear();
            for (const char* p = argv[++i]; *p != '\0';) {
                char* end = nullptr;
                sizes.push_back(std::strtod(p, &end));
                p = *end == ',' ? end + 1 : end;
                if (end == p && *p != '\0')
                    break;
            }
        } else if (arg == "--runs" && value) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--one" && value) {
            one = std::atof(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: designer_change_check [--sizes 1,4] [--runs N]\n");
            return 2;
        }
    }
    if (one)
        return RunSize(*one, runs);

    std::vector<std::map<std::string, double>> all;
    for (const double size : sizes)
        all.push_back(RunChild(argv[0], size, runs));
    const char* operations[] = {"project-mb",         "editor-material",    "editor-material-peak",
                                "editor-rotate",      "editor-rotate-peak", "recovery-copy",
                                "recovery-copy-held", "recovery-copy-peak", "recovery-copy-mb"};
    for (const char* operation : operations) {
        std::printf("%s:", operation);
        for (size_t s = 0; s < sizes.size(); ++s)
            std::printf(" %gx=%.4f", sizes[s], all[s].count(operation) ? all[s][operation] : -1.0);
        for (size_t s = 1; s < sizes.size(); ++s)
            if (all[s - 1][operation] > 0.0)
                std::printf(" growth=%.2f", all[s][operation] / all[s - 1][operation]);
        std::printf("\n");
    }
    bool ok = true;
    for (size_t s = 0; s < sizes.size(); ++s) {
        if (all[s].count("failed") != 0) {
            std::printf("verdict %gx: the run failed\n", sizes[s]);
            ok = false;
        }
        for (const char* editor : {"editor-material", "editor-rotate"}) {
            const std::string peak = std::string(editor) + "-peak";
            const bool small = all[s][peak] < all[s]["project-mb"] / 2.0;
            const bool cheap = s == 0 || all[s][editor] <= 2.0 * all[s - 1][editor];
            std::printf("verdict %gx %s: %s, %s\n", sizes[s], editor, cheap ? "cost within twice" : "COST GREW",
                        small ? "no copy of the project at the peak" : "A COPY AT THE PEAK");
            ok = ok && small && cheap;
        }
    }
    return ok ? 0 : 1;
}
