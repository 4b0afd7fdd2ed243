#pragma once
// The designer's developer runs, on the headless screen: message boxes printed to stderr, one line each, with their
// harmless answer; the screenshot run starts the preview, clicks where asked, lets the render thread draw and writes
// the composed screen.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/base/rect.h"
#include "platform/ui/core/ui.h"
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

// What a developer run starts the designer on: the headless screen made afresh, a user-interface layer on it, its
// message boxes printed to stderr and its modal dialogs ended at once; the two answerers taken off as it goes.
class CVTND_DeveloperRunUi {
public:
    CVTND_DeveloperRunUi();
    ~CVTND_DeveloperRunUi();
    CVTND_DeveloperRunUi(const CVTND_DeveloperRunUi&) = delete;
    CVTND_DeveloperRunUi& operator=(const CVTND_DeveloperRunUi&) = delete;

    pf::Ui& Ui() { return m_ui; }

private:
    struct FreshScreen {
        FreshScreen(); // before the layer that draws on it
    };
    FreshScreen m_screen;
    pf::Ui m_ui;
    CVTND_StderrMessageBox m_boxes;
    CVTND_CancelModalDriver m_modal;
};

struct CVTND_ScreenshotOptions {
    std::string out;
    uint32_t frames = 30;
    std::optional<pf::Point> click; // in the active 3D view's client area
};

// After Start: the run, then the normal shutdown (Close, Exit). 0 written, 3 the picture could not be written, 1 the
// view drew no frame for two minutes before the frames asked for (no picture).
int RunScreenshot(CVTND_Designer& designer, const CVTND_ScreenshotOptions& options);
