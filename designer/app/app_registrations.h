#pragma once
// What the running designer asks of later parts besides the services' registrations: the window classes they
// register on each new window system, the docking panels (made once, given the main frame), the 3D view's cursor and
// the project wizard. Each is a namespace-scope registration object in the registrant's source, as in registry.h; a
// step without a registrant is skipped.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/core/cursor.h"

namespace pf {
class FrameWindow;
class Ui;
} // namespace pf
class CVTND_AppComponent;
class CVTNDesignerApp;

using CVTND_WindowClassRegistrar = void (*)(pf::Ui& ui);
// The ten panels, owned by what it answers; registered with the application by the creator itself.
using CVTND_PanelsCreator = std::unique_ptr<CVTND_AppComponent> (*)(CVTNDesignerApp& app, pf::FrameWindow& mainFrame);
// What a 3D view shows while the preview runs: the world's cursor entry as the render thread named it, copied.
struct CVTND_CursorEntry {
    std::string imageFile;
    int32_t hotSpotX = 0;
    int32_t hotSpotY = 0;
};
// entry null: the views' own cursor.
using CVTND_ViewCursorCreator = pf::Cursor (*)(const CVTND_CursorEntry* entry);
// Runs the wizard over the freshly built workspace; true when it changed the project.
using CVTND_WizardRun = bool (*)(CVTNDesignerApp& app, pf::FrameWindow& mainFrame);

class CVTND_AppRegistry {
public:
    static bool AddWindowClassRegistrar(CVTND_WindowClassRegistrar registrar); // all run, in order; each once
    static std::vector<CVTND_WindowClassRegistrar> WindowClassRegistrars();

    static bool RegisterPanelsCreator(CVTND_PanelsCreator creator); // the first registration wins
    static CVTND_PanelsCreator FindPanelsCreator();
    static CVTND_PanelsCreator ReplacePanelsCreator(CVTND_PanelsCreator creator);

    static bool RegisterViewCursorCreator(CVTND_ViewCursorCreator creator);
    static CVTND_ViewCursorCreator FindViewCursorCreator();
    static CVTND_ViewCursorCreator ReplaceViewCursorCreator(CVTND_ViewCursorCreator creator);

    static bool RegisterWizard(CVTND_WizardRun run);
    static CVTND_WizardRun FindWizard();
    static CVTND_WizardRun ReplaceWizard(CVTND_WizardRun run);
};

struct CVTND_WindowClassRegistration {
    explicit CVTND_WindowClassRegistration(CVTND_WindowClassRegistrar registrar)
        : registered(CVTND_AppRegistry::AddWindowClassRegistrar(registrar))
    {
    }
    bool registered;
};

struct CVTND_PanelsRegistration {
    explicit CVTND_PanelsRegistration(CVTND_PanelsCreator creator)
        : registered(CVTND_AppRegistry::RegisterPanelsCreator(creator))
    {
    }
    bool registered;
};

struct CVTND_ViewCursorRegistration {
    explicit CVTND_ViewCursorRegistration(CVTND_ViewCursorCreator creator)
        : registered(CVTND_AppRegistry::RegisterViewCursorCreator(creator))
    {
    }
    bool registered;
};

struct CVTND_WizardRegistration {
    explicit CVTND_WizardRegistration(CVTND_WizardRun run) : registered(CVTND_AppRegistry::RegisterWizard(run)) {}
    bool registered;
};
