#include "testsupport/designer/action_list_shots.h"

#include <memory>
#include <string>

#include "designer/app/designer_app.h"
#include "designer/editing/actions_receptor.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/map_object.h"
#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "platform/base/user_constants.h"
#include "platform/display/screen.h"
#include "platform/testing/user_sim.h"
#include "platform/ui/controls/list_view.h"
#include "platform/ui/core/resources.h"
#include "platform/ui/dialog/dialog.h"
#include "testsupport/designer/drag_frame.h"
#include "testsupport/designer/sample_world.h"
#include "testsupport/designer/test_palette.h"

namespace designertest {
namespace {

constexpr int32_t kIddActionList = 20190;
constexpr int32_t kIdList = 1053;
constexpr int32_t kDroppedKind = 23;

// The event's actions in a dialog beside a palette, the list covered by the receptor an editor gives it.
struct ListStage {
    explicit ListStage(CVTNDesignerApp& app)
        : sample(app), frame(pf::Rect::fromXywh(40, 40, 760, 500)), palette(frame, pf::Rect::fromXywh(0, 0, 170, 500))
    {
        pf::registerTemplate({kIddActionList,
                              "Actions of \"tick\"",
                              {380, 300},
                              pf::WS_POPUP | pf::WS_CAPTION | pf::WS_VISIBLE,
                              {{"listview", kIdList, {10, 10, 370, 290}, pf::WS_BORDER | pf::LVS_REPORT, ""}}});
        dialog.create(kIddActionList, &frame);
        dialog.move(pf::Rect::fromXywh(300, 120, 390, 330));
        list = dialog.item<pf::ListView>(kIdList);
        if (list == nullptr)
            return;
        list->insertColumn(0, "Action", 340);
        auto* receptor = new ActionsControlReceptor(list, sample.timer);
        receptor->AddOwner(list);
        handle = GetEditorEngine()->AddControlReceptor(receptor);
        receptor->Refill();
    }
    ~ListStage() { GetEditorEngine()->DeleteControlReceptor(GetEditorEngine()->FindReceptor(handle)); }

    SampleWorld sample;
    DragFrame frame;
    TestPalette palette;
    pf::Dialog dialog;
    pf::ListView* list = nullptr; // the dialog's
    uint32_t handle = 0;
};

void Trace(const EditorShot& shot, const std::string& line)
{
    if (shot.trace != nullptr)
        shot.trace->push_back(line);
}

// The row that shows action; -1 none.
int32_t RowOf(const pf::ListView& list, const SWactionnode* action)
{
    for (int32_t i = 0; i < list.getItemCount(); ++i)
        if (reinterpret_cast<const SWactionnode*>(list.getItemData(i)) == action)
            return i;
    return -1;
}

} // namespace

bool RunActionListDropScene(CVTNDesignerApp& app, pf::UserSim& sim, const EditorShot& shot)
{
    ListStage stage(app);
    if (stage.list == nullptr)
        return false;
    // A switch: once dropped, its row shows the active state it is given.
    SWactionkind* kind = stage.sample.Kind(kDroppedKind);
    if (kind == nullptr)
        return false;
    stage.palette.items = {PaletteItem{EdKind::kActionKind, kind, 0, kind->GetName().value_or("switch")}};
    stage.palette.invalidate();
    sim.pump();
    // Below the condition's false-branch follower, so both branches show above the band.
    const int32_t row = RowOf(*stage.list, stage.sample.elseFollower);
    if (row < 0)
        return false;
    for (int32_t i = 0; i < stage.list->getItemCount(); ++i)
        Trace(shot, "row " + std::to_string(i) + " '" + stage.list->getItemText(i, 0) + "'");
    const pf::Rect r = stage.list->getItemRect(row, pf::LVIR_BOUNDS);
    const pf::Point lowerHalf = stage.list->clientToScreen({r.l + 60, r.b - 3});
    sim.mouseDown(stage.palette.clientToScreen({20, 14}));
    sim.mouseMove(stage.list->clientToScreen({r.l + 60, r.t - 20}));
    sim.mouseMove(lowerHalf);
    sim.pump();
    if (shot.waitShown)
        shot.waitShown();
    bool ok = shot.picture(kActionListDropScene) && shot.compareLive(stage.dialog, kActionListDropScene);
    sim.mouseUp(lowerHalf);
    sim.pump();
    if (shot.waitShown)
        shot.waitShown();
    ok = shot.picture("action-list-drop-dropped") && shot.compareLive(stage.dialog, "action-list-drop-dropped") && ok;
    if (!pf::screen().isOverlayClear()) {
        Trace(shot, "overlay NOT clear after action-list-drop");
        ok = false;
    }
    const SWactionnode* placed = reinterpret_cast<const SWactionnode*>(stage.list->getItemData(row + 1));
    const bool under = placed != nullptr && placed->GetKindId() == kDroppedKind;
    Trace(shot, under ? "the new action is the row under the band" : "the new action is NOT under the band");
    return ok && under;
}

} // namespace designertest
