#pragma once
// The designer's developer runs, on the headless screen: message boxes printed to stderr, one line each, with their
// harmless answer; the screenshot run starts the preview, clicks where asked, lets the render thread draw and writes
// the composed screen.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/base/rect.h"
#include "platform/ui/providers/providers.h"

class CVTND_Designer;

class CVTND_StderrMessageBox final : public pf::MessageBoxProvider {
public:
    int32_t show(const pf::MessageBoxCall& call) override;
};

// Ends every modal dialog at once with Cancel, so a developer run never waits for a person.
class CVTND_CancelModalDriver final : public pf::ModalDriver {
public:
    void run(pf::Dialog& dialog) override;
};

struct CVTND_ScreenshotOptions {
    std::string out;
    uint32_t frames = 30;
    std::optional<pf::Point> click; // in the active 3D view's client area
};

// After Start: the run, then the normal shutdown (Close, Exit). 0 written, 3 the picture could not be written, 1 the
// view drew no frame for two minutes before the frames asked for (no picture).
int RunScreenshot(CVTND_Designer& designer, const CVTND_ScreenshotOptions& options);
