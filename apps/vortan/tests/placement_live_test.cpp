// Where the designer's editors and dialogs open on a small screen under a window manager: each wholly within the work
// area, its frame included, wherever the pointer was when it was asked for.
#include <X11/keysym.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "apps/vortan/tests/designer_desktop.h"
#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/main_frame.h"
#include "designer/app/project_object.h"
#include "designer/app/startup.h"
#include "designer/workspace/object_pickers.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/core/node.h"
#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "platform/display/screen.h"
#include "platform/live/tests/live_environment.h"
#include "platform/settings/settings_backend.h"
#include "platform/settings/settings_store.h"
#include "platform/ui/core/message_loop.h"
#include "platform/ui/dialog/dialog.h"
#include "platform/ui/providers/live_providers.h"

namespace pf {
namespace {

using namespace std::chrono_literals;

class PlacementLive : public designertest::SampleDesignerLive {
protected:
    PlacementLive()
    {
        screenSize = {800, 600};
        withWindowManager = true;
    }
    void SetUpLive() override
    {
        providers.install();
        ui().providers().install(&driver);
        StartInFolder("vortan-placement-live");
    }
    void TearDown() override
    {
        if (!IsSkipped())
            ui().providers().install(static_cast<ModalDriver*>(nullptr));
        SampleDesignerLive::TearDown();
    }
    unsigned long xOf(Hwnd hwnd) { return designertest::XWindowOf(backend(), hwnd); }
    // The window framed by the window manager and settled: where it stands then, its frame included.
    Rect OuterOnServer(Hwnd hwnd)
    {
        EXPECT_TRUE(runUntil(
            [&] { return xOf(hwnd) != 0 && liveServer().property(xOf(hwnd), "_NET_FRAME_EXTENTS").size() == 4; }));
        Rect outer;
        // Still while two looks a little apart agree: the window manager and the layer may move it once more.
        EXPECT_TRUE(runUntil([&] {
            const Rect first = liveServer().outerRect(xOf(hwnd));
            settle(150);
            outer = liveServer().outerRect(xOf(hwnd));
            return outer == first;
        }));
        return outer;
    }
    void ExpectWithinWorkArea(Hwnd hwnd, const std::string& name)
    {
        const Rect outer = OuterOnServer(hwnd);
        const Rect work = screen().workArea();
        EXPECT_TRUE(work.containsRect(outer)) << name << ": " << outer.l << "," << outer.t << " " << outer.r << ","
                                              << outer.b << " outside " << work.r << "x" << work.b;
    }
    // The pointer at the screen's far corner, the loop told of it, as when a person asks from there.
    void PointerToTheCorner()
    {
        const Point corner{screenSize.cx - 6, screenSize.cy - 6};
        liveServer().moveTo(corner);
        runUntil([&] { return ui().messagePos() == corner; }, 3000);
    }

    // Each modal dialog is checked on the server, then ends.
    class CheckingDriver final : public ModalDriver {
    public:
        std::function<void(Dialog&)> check;
        void run(Dialog& dialog) override
        {
            if (check)
                check(dialog);
            if (!dialog.hasEnded())
                dialog.endDialog(IDCANCEL);
        }
    };
    LiveProviders providers;
    CheckingDriver driver;
};

// Every object of the sample with an editor (nodes, material, texture, events and their actions), a translation
// added, a sound, the object picker and the preferences: each opened with the pointer in the screen's corner.
TEST_F(PlacementLive, EveryEditorAndDialogOpensWithinTheWorkArea)
{
    CVTNDesignerApp& app = *designer.GetApp();
    CVTND_ExtendedWorld& world = *designer.GetWorld();
    std::vector<CVTND_Object> objects;
    {
        const SWworldlock hold(world);
        for (SWnode* n = world.GetRootNode()->GetFirstChildNode(); n != nullptr; n = n->GetNextSiblingNode())
            objects.emplace_back(n);
        if (SWmaterial* material = world.GetRootObject()->GetFirstMaterial())
            objects.emplace_back(material);
        if (SWtexture* texture = world.GetRootObject()->GetFirstTexture())
            objects.emplace_back(ObjectType::kTexture, texture);
        SWevent* first = world.GetFirstEvent();
        ASSERT_NE(first, nullptr);
        if (SWactionkind* translate = world.GetActionCategories().FindKind(43))
            first->CreateAction(translate);
        for (SWevent* e = first; e != nullptr; e = SWevents::GetNextEvent(e)) {
            objects.emplace_back(e);
            for (SWactionnode* a = e->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a))
                objects.emplace_back(a);
        }
    }
    int32_t opened = 0;
    for (const CVTND_Object& object : objects) {
        for (const bool nearCursor : {true, false}) {
            PointerToTheCorner();
            Window* editor = app.EditObject(object, nearCursor);
            if (editor == nullptr)
                continue;
            const Hwnd hwnd = editor->hwnd();
            ExpectWithinWorkArea(hwnd, editor->text() + (nearCursor ? " at the pointer" : ""));
            ++opened;
            if (ui().window(hwnd) == editor)
                editor->destroy();
            settle(100);
        }
    }
    EXPECT_GE(opened, 12);

    Window* sound = designertest::OpenToneSoundEditor(designer, folder);
    ASSERT_NE(sound, nullptr);
    ExpectWithinWorkArea(sound->hwnd(), "sound");
    sound->destroy();

    std::vector<std::string> checked;
    driver.check = [&](Dialog& dialog) {
        ExpectWithinWorkArea(dialog.hwnd(), dialog.text());
        checked.push_back(dialog.text());
    };
    for (const bool multiple : {false, true}) {
        PointerToTheCorner();
        ObjectPickRequest request(5);
        request.Run(designer.GetMainFrame(), multiple, true);
    }
    PointerToTheCorner();
    designer.Preferences();
    EXPECT_EQ(checked.size(), 3u) << ::testing::PrintToString(checked);
}

} // namespace
} // namespace pf
