#pragma once
// What the registered scenes that need the whole designer stand on: a running designer over the sample world, with
// its main frame, 3D view and render thread.
#include <cstdint>
#include <string>

#include "apps/editors-shots/editors_scenes.h"
#include "designer/app/startup.h"

class CVTNDesignerApp;
class CVTND_ExtendedWorld;

struct DesignerStage {
    explicit DesignerStage(EditorsSceneContext& context);
    ~DesignerStage();
    DesignerStage(const DesignerStage&) = delete;
    DesignerStage& operator=(const DesignerStage&) = delete;

    // Lets the render thread draw the world (time moving by ms of the virtual clock headless) and the layer paint.
    void Settle(uint32_t ms = 100);
    bool Check(bool condition, const std::string& what); // traced as "ok: what" or "NOT: what"
    // The scene's last picture, then the tool's live comparison; false when either fails or ok is.
    bool Done(const std::string& picture, bool ok);

    EditorsSceneContext& context;
    pf::UserSim& sim;
    CVTND_Designer designer;
    bool started = false;
    CVTNDesignerApp* app = nullptr;
    CVTND_ExtendedWorld* world = nullptr;
};
