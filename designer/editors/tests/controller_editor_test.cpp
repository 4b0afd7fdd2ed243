// The controller editor: its page table, the frame combo, the preview slider and its poses, its notices and the
// snapshot around activation and closing, and the XYZ, track-target and speech pages, opened through the factory
// on controller actions of the sample world and driven by the user's mouse and keys.
#include <atomic>
#include <cmath>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "designer/app/notification.h"
#include "designer/app/project.h"
#include "designer/editing/editor_objects.h"
#include "designer/editing/event_lookups.h"
#include "designer/editors/controller_editor.h"
#include "designer/editors/controller_pages.h"
#include "designer/editors/tests/editors_fixture.h"
#include "designer/workspace/receptors_texts.h"
#include "designer/workspace/rename_dlg.h"
#include "designer/workspace/value_generator.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/generator.h"
#include "engine/behaviour/keyframe_motion.h"
#include "engine/behaviour/speech_motion.h"
#include "engine/behaviour/track_target_motion.h"
#include "engine/behaviour/xyz_motion.h"
#include "engine/core/animation_data.h"
#include "engine/core/data_node.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/resources/mesh.h"
#include "engine/resources/speech_data.h"
#include "platform/testing/image_check.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/controls/scroll_bar.h"
#include "platform/ui/controls/trackbar.h"
#include "testsupport/designer/drag_frame.h"
#include "testsupport/designer/test_palette.h"

namespace editorstest {
namespace {

constexpr float kQuarterTurn = 1.5707964f;

class ControllerEditor : public EditorsFixture {
protected:
    // A controller action of kind on the timer event; XYZ kinds turn a quarter about Y in one second.
    SWactionnode* Controller(int32_t kind, const SWnode* target = nullptr)
    {
        SWactionnode* action = sample->AddAction(*sample->timer, kind);
        if (auto* xyz = dynamic_cast<SWxyzmotion*>(action->GetMotion())) {
            auto track = std::make_unique<SWaxistrack>(&World(), kQuarterTurn);
            track->SetDuration(1000.0f);
            xyz->SetGenerator(std::move(track), 1);
        }
        if (target != nullptr)
            action->AddArgument(target->GetName()->c_str(), SWdatanode::kString, true);
        return action;
    }
    CVTND_ActionControllerDlg* OpenOn(SWactionnode* action)
    {
        return Open<CVTND_ActionControllerDlg>(CVTND_Object(action));
    }
    SWobjectnode* Object() { return SWobjectnode::FromNode(sample->object); }
    SWmatrix Posed(SWobjectnode& node, SWnodemotion& motion, float t)
    {
        motion.Reset(false);
        motion.SetTime(t);
        SWmatrix out;
        node.GetInitialMatrix().Multiply(out, motion.GetMatrix(true));
        return out;
    }
};

TEST_F(ControllerEditor, ThePageFollowsTheMotionKindAndGrowsTheHost)
{
    struct Row {
        int32_t kind, slot, idd, growth;
    };
    for (const Row row :
         {Row{41, 0, 382, 130}, Row{43, 1, 382, 130}, Row{53, 8, 382, 130}, Row{42, 3, 385, 140}, Row{60, 9, 154, 130},
          Row{44, 2, 384, 220}, Row{47, 5, 432, 140}, Row{50, 6, 434, 220}, Row{51, 7, 443, 120}}) {
        SCOPED_TRACE(row.kind);
        CVTND_ActionControllerDlg* editor = OpenOn(Controller(row.kind));
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->PageIndex(), row.slot);
        ASSERT_NE(editor->CurrentPage(), nullptr);
        EXPECT_EQ(editor->CurrentPage()->Idd(), row.idd);
        EXPECT_EQ(editor->CurrentPage()->windowRect().topLeft(), (pf::Point{5, 50}));
        EXPECT_EQ(editor->clientRect().b, 172 + row.growth);
        EXPECT_EQ(editor->ControllerPageControlId(1)->windowRect().t, 56 + row.growth);   // the duration field
        EXPECT_EQ(editor->ControllerPageControlId(13)->windowRect().t, 140 + row.growth); // Close
        EXPECT_EQ(editor->ControllerPageControlId(4), nullptr);
        editor->DestroyWindow();
    }
}

TEST_F(ControllerEditor, AKindWithoutAMotionOpensWithNoPageAndItsMotionControlsDisabled)
{
    CVTND_ActionControllerDlg* editor = OpenOn(Controller(52));
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->CurrentPage(), nullptr);
    for (const int32_t id : {1004, 1373, 1374, 1173, 1188, 1376, 1369, 1370, 1352})
        EXPECT_FALSE(editor->child(id)->isEnabled()) << id;
    sim().click(*editor->child(1));
    sim().pump();
    EXPECT_TRUE(app->GetEditDialogs().empty());
}

TEST_F(ControllerEditor, OwnFrameDropsThePivotAndOtherFramesKeepItOnlyWhileChecked)
{
    SWactionnode* action = Controller(41);
    auto* motion = dynamic_cast<SWnodemotion*>(action->GetMotion());
    CVTND_ActionControllerDlg* editor = OpenOn(action);
    auto* combo = editor->item<pf::ComboBox>(1376);
    ASSERT_TRUE(sim().chooseCombo(*combo, 1)); // parent frame
    sim().pump();
    EXPECT_TRUE(editor->child(1369)->isEnabled());
    sim().click(*editor->child(1369));
    EXPECT_EQ(motion->GetOptionFlags(), SWnodemotion::kFrameParent | SWnodemotion::kFramePivot);
    sim().chooseCombo(*combo, 2); // world frame: the checked pivot stays
    EXPECT_EQ(motion->GetOptionFlags(), SWnodemotion::kFrameWorld | SWnodemotion::kFramePivot);
    sim().chooseCombo(*combo, 0);
    EXPECT_EQ(motion->GetOptionFlags(), SWnodemotion::kFrameLocal);
    EXPECT_FALSE(editor->child(1369)->isEnabled());
    sim().chooseCombo(*combo, 4); // target frame shows the picker and the placeholder
    EXPECT_TRUE(editor->child(1003)->isVisible());
    EXPECT_EQ(editor->child(1390)->getText(), "(no node)");
}

// The slider poses at duration x position / 1000 from each node's rest matrix, so two moves give the pose of one.
TEST_F(ControllerEditor, TheSliderPosesFromRestAndWithArgumentsOnlyTheNamedNodes)
{
    SWactionnode* everywhere = Controller(41);
    auto* motion = dynamic_cast<SWnodemotion*>(everywhere->GetMotion());
    CVTND_ActionControllerDlg* editor = OpenOn(everywhere);
    auto* slider = editor->item<pf::Trackbar>(1352);
    sim().moveTrackbar(*slider, 500);
    sim().moveTrackbar(*slider, 1000);
    const SWmatrix full = Posed(*Object(), *motion, 1000.0f);
    EXPECT_NE(full, Object()->GetInitialMatrix()); // a quarter turn
    EXPECT_EQ(Object()->GetLocalMatrix(), full);
    EXPECT_EQ(editor->child(1174)->text(), "1000"); // the moment shown beside the slider, in ms
    sim().moveTrackbar(*slider, 0);
    EXPECT_EQ(Object()->GetLocalMatrix(), Object()->GetInitialMatrix());
    editor->DestroyWindow();

    SWactionnode* named = Controller(41, sample->otherObject);
    editor = OpenOn(named);
    sim().moveTrackbar(*editor->item<pf::Trackbar>(1352), 1000);
    auto* other = SWobjectnode::FromNode(sample->otherObject);
    EXPECT_EQ(other->GetLocalMatrix(), Posed(*other, *dynamic_cast<SWnodemotion*>(named->GetMotion()), 1000.0f));
    EXPECT_EQ(Object()->GetLocalMatrix(), Object()->GetInitialMatrix());
    sim().moveTrackbar(*editor->item<pf::Trackbar>(1352), 0);
    named->SetSuppress(1); // a suppressed action poses nothing
    sim().moveTrackbar(*editor->item<pf::Trackbar>(1352), 1000);
    EXPECT_EQ(other->GetLocalMatrix(), other->GetInitialMatrix());
}

TEST_F(ControllerEditor, FieldsWriteThroughAndTellTheOthers)
{
    SWactionnode* action = Controller(43);
    SWmotion* motion = action->GetMotion();
    CVTND_ActionControllerDlg* editor = OpenOn(action);
    recorder->Clear();
    // Typed key by key, a text the count cannot be leaves the count from before the typing, not a number typed on
    // the way ("300000000" of "3000000000"), and the box says why; the field shows the count once it is left.
    for (const auto& [typed, boxes] : {std::pair{"3.7", 1}, std::pair{"3000000000", 1}, std::pair{"1e10", 1},
                                       std::pair{"inf", 3}, std::pair{"-5", 1}, std::pair{"0", 1}}) {
        for (int box = 0; box < boxes; ++box)
            sim().expectMessageBox(pf::IDOK);
        sim().replaceText(*editor->child(1173), typed);
        EXPECT_EQ(motion->GetLoopCount(), 1) << typed;
        EXPECT_NE(LastBox().find("from 1 up to 2147483647"), std::string::npos);
        ui().setFocus(editor->hwnd());
        EXPECT_EQ(editor->child(1173)->getText(), "1") << typed;
    }
    sim().replaceText(*editor->child(1173), "2147483647");
    EXPECT_EQ(motion->GetLoopCount(), INT32_MAX);
    sim().replaceText(*editor->child(1173), "3");
    sim().click(*editor->child(1373));
    EXPECT_TRUE(motion->IsLoopingForever());
    const size_t told = recorder->Count(4);
    EXPECT_GE(told, 2u);
    EXPECT_EQ(recorder->Events().back().sender, editor->hwnd());
    EXPECT_EQ(recorder->Events().back().detail, 1u);
    sim().click(*editor->child(1188));
    EXPECT_TRUE(motion->IsPingPong());
    EXPECT_EQ(recorder->Count(4), told); // the oscillate box tells nobody
}

TEST_F(ControllerEditor, NoticesOfTheReferenceAndTheActionAndTheSnapshotAroundActivation)
{
    SWactionnode* action = Controller(41, sample->object);
    auto* motion = dynamic_cast<SWnodemotion*>(action->GetMotion());
    motion->SetOptionFlags(SWnodemotion::kFrameTarget);
    motion->SetTargetNodeName(sample->otherObject->GetName());
    CVTND_ActionControllerDlg* editor = OpenOn(action);
    EXPECT_EQ(motion->GetTargetNode(), sample->otherObject); // resolved by name on opening
    EXPECT_EQ(editor->child(1390)->getText(), *sample->otherObject->GetName());

    const std::string old = *sample->otherObject->GetName();
    ASSERT_TRUE(World().RenameNode(sample->otherObject, old, "renamed twin"));
    CVTND_Event renamed(EventCode::kRenamed, CVTND_Object(sample->otherObject));
    renamed.SetTexts(old, std::string("renamed twin"));
    app->Broadcast(renamed);
    EXPECT_EQ(editor->child(1390)->getText(), "renamed twin");

    // Deactivated, the pose is recorded; reactivated, what happened meanwhile is undone.
    sim().moveTrackbar(*editor->item<pf::Trackbar>(1352), 1000);
    const SWmatrix posed = Object()->GetLocalMatrix();
    pf::Window elsewhere; // another top-level window
    elsewhere.create({"window", "elsewhere", pf::WS_POPUP | pf::WS_VISIBLE, 0, pf::Rect::fromXywh(900, 700, 100, 80)});
    sim().pump();
    sim().click(elsewhere);
    Object()->SetLocalMatrix(SWmatrix::Translation(9.0f, 0.0f, 0.0f));
    sim().click(*editor->child(1357));
    EXPECT_EQ(Object()->GetLocalMatrix(), posed);

    CVTND_Event deleted(EventCode::kDeleted, CVTND_Object(sample->otherObject));
    app->Broadcast(deleted);
    EXPECT_EQ(motion->GetTargetNode(), nullptr);
    EXPECT_FALSE(motion->GetTargetNodeName());
    EXPECT_EQ(editor->child(1390)->getText(), "");

    app->Broadcast(CVTND_Event(EventCode::kDeleted, CVTND_Object(action)));
    sim().pump();
    EXPECT_TRUE(app->GetEditDialogs().empty());
    EXPECT_EQ(Object()->GetLocalMatrix(), Object()->GetInitialMatrix()); // back at rest after closing
}

// Renamed through the rename dialog, a node keeps every reference: the arguments the preview poses by, the reference
// frame's node, the rotation-align target across a save, and a click event's object list.
TEST_F(ControllerEditor, RenamingANodeRenamesEveryReferenceToItByName)
{
    SWnode* twin = sample->otherObject;
    const std::string old = *twin->GetName();
    SWactionnode* rotate = Controller(41, twin);
    auto* motion = dynamic_cast<SWnodemotion*>(rotate->GetMotion());
    motion->SetOptionFlags(SWnodemotion::kFrameTarget);
    motion->SetTargetNodeName(old);
    SWactionnode* align = Controller(42, sample->object);
    auto* aim = dynamic_cast<SWtracktargetmotion*>(align->GetMotion());
    aim->SetTargetName(old);
    aim->SetTarget(twin);
    sample->click->AddObjectName(old);
    sample->click->AddObjectName(std::string("Object1")); // another case: another name
    CVTND_ActionControllerDlg* aligning = OpenOn(align);
    CVTND_ActionControllerDlg* editor = OpenOn(rotate);

    sim().onModal(kIddRename, [this](pf::Dialog& d) {
        sim().replaceText(*d.child(RenameControl::kNewName), "twin");
        sim().click(*d.child(pf::IDOK));
    });
    CVTND_RenameDlg dialog{CVTND_Object(twin), nullptr};
    ASSERT_EQ(dialog.Run(), 1);
    EXPECT_EQ(twin->GetName(), std::optional<std::string>("twin"));
    EXPECT_EQ(editor->child(1390)->getText(), "twin");
    EXPECT_EQ(aligning->CurrentPage()->child(1358)->getText(), "twin");
    EXPECT_EQ(motion->GetTargetNodeName(), std::optional<std::string>("twin"));
    sim().moveTrackbar(*editor->item<pf::Trackbar>(1352), 1000);
    auto* other = SWobjectnode::FromNode(twin);
    EXPECT_EQ(other->GetLocalMatrix(), Posed(*other, *motion, 1000.0f));
    EXPECT_NE(other->GetLocalMatrix(), other->GetInitialMatrix());
    EXPECT_EQ(ListNames(sample->click->GetObjectList(), false).back(), "Object1");
    EXPECT_EQ(ListNames(sample->click->GetObjectList(), false).end()[-2], "twin");
    EXPECT_EQ(aim->GetTarget(), twin);

    std::vector<uint8_t> bytes;
    ASSERT_TRUE(app->GetProject()->WriteBytes(bytes, app->GetGradientStore()));
    CVTND_Project::LoadResult reopened = CVTND_Project::LoadBytes(bytes, "renamed");
    ASSERT_TRUE(reopened.ok());
    const SWtracktargetmotion* kept = nullptr;
    for (SWevent* e = reopened.world->GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e))
        for (SWactionnode* a = e->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a))
            if (a->GetKindId() == 42)
                kept = dynamic_cast<const SWtracktargetmotion*>(a->GetMotion());
    ASSERT_NE(kept, nullptr);
    ASSERT_TRUE(kept->GetTargetName());
    EXPECT_NE(reopened.world->GetRootNode()->FindByName(*kept->GetTargetName()), nullptr);
}

TEST_F(ControllerEditor, XyzPageStoresDisplayUnitsAndTheRotationOrder)
{
    SWactionnode* rotate = Controller(41);
    auto* motion = dynamic_cast<SWxyzmotion*>(rotate->GetMotion());
    CVTND_ActionControllerDlg* editor = OpenOn(rotate);
    pf::Window* page = editor->CurrentPage();
    EXPECT_FALSE(editor->child(1004)->isEnabled());
    auto* order = page->child(1002) != nullptr ? dynamic_cast<pf::ComboBox*>(page->child(1002)) : nullptr;
    ASSERT_NE(order, nullptr);
    sim().chooseCombo(*order, 8);
    EXPECT_EQ(motion->GetRotationOrder(), 8);
    auto* x = dynamic_cast<CVTND_ValueGenerator*>(page->child(1004));
    ASSERT_NE(x, nullptr);
    sim().replaceText(*x->GetEdit(), "90");
    sim().pump();
    EXPECT_NEAR(static_cast<SWaxistrack*>(motion->GetGenerator(0))->GetAmount(), kQuarterTurn, 1e-5);
    editor->DestroyWindow();

    SWactionnode* scale = Controller(53);
    editor = OpenOn(scale);
    auto* sx = dynamic_cast<CVTND_ValueGenerator*>(editor->CurrentPage()->child(1004));
    sim().replaceText(*sx->GetEdit(), "50");
    sim().pump();
    EXPECT_NEAR(static_cast<SWaxistrack*>(dynamic_cast<SWxyzmotion*>(scale->GetMotion())->GetGenerator(0))->GetAmount(),
                0.5f, 1e-5);
    EXPECT_TRUE(editor->CurrentPage()->child(1012)->isVisible());
}

// Two nodes share "walk" (21 and 41 frames, 3 and 2 keys); a third has no animation of that name.
TEST_F(ControllerEditor, KeyFramePagesListTheAnimationsAndPoseFromRestLeavingTheMotionUnbound)
{
    auto* first = SWobjectnode::FromNode(sample->object);
    auto* second = SWobjectnode::FromNode(sample->otherObject);
    AnimationTrack& a = first->GetAnimationTracks().AddTrack(std::string("walk"));
    for (const uint32_t f : {0u, 10u, 20u})
        a.SetKey(f, SWmatrix::Translation(static_cast<float>(f), 0.0f, 0.0f));
    AnimationTrack& b = second->GetAnimationTracks().AddTrack(std::string("walk"));
    b.SetKey(0, SWmatrix());
    b.SetKey(40, SWmatrix::Translation(4.0f, 0.0f, 0.0f));
    second->GetAnimationTracks().AddTrack(std::string("wave")).SetKey(3, SWmatrix());
    SWactionnode* play = Controller(44, sample->object);
    play->AddArgument(sample->otherObject->GetName()->c_str(), SWdatanode::kString, true);
    play->AddArgument(sample->mesh->GetName()->c_str(), SWdatanode::kString, true); // no "walk": skipped
    auto* motion = dynamic_cast<SWkeyframemotion*>(play->GetMotion());
    motion->SetBlockName(std::string("walk"));
    CVTND_ActionControllerDlg* editor = OpenOn(play);
    pf::Window* page = editor->CurrentPage();
    auto* combo = dynamic_cast<pf::ComboBox*>(page->child(1257));
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->getCount(), static_cast<int32_t>(editor->MotionList().Count()));
    // The list's order reversed: the first entry at the bottom, the last at the top.
    EXPECT_EQ(combo->getLBText(combo->getCount() - 1), editor->MotionList().First()->name);
    EXPECT_EQ(combo->getLBText(0), static_cast<CVTND_MotionListNode*>(editor->MotionList().Tail())->name);
    EXPECT_EQ(editor->MotionList().FindByName(std::string_view("walk"))->keyCount, 3);
    ASSERT_TRUE(motion->GetBlockName());
    EXPECT_EQ(*motion->GetBlockName(), "walk");
    EXPECT_EQ(editor->frameLimit, 41);
    EXPECT_EQ(motion->GetEndFrame(), 41); // unset: the limit

    auto* mesh = SWobjectnode::FromNode(sample->mesh);
    const SWmatrix meshBefore = mesh != nullptr ? mesh->GetLocalMatrix() : SWmatrix();
    auto* endBar = dynamic_cast<pf::ScrollBar*>(page->child(1081));
    const pf::Rect left = endBar->arrowRect(true);
    sim().click(*endBar, {(left.l + left.r) / 2, (left.t + left.b) / 2}); // one frame back: 40
    EXPECT_EQ(motion->GetEndFrame(), 40);
    EXPECT_EQ(page->child(1082)->getText(), "40");
    EXPECT_EQ(motion->GetBoundNode(), nullptr);
    EXPECT_NE(second->GetLocalMatrix(), second->GetInitialMatrix()); // posed at the end of the play
    if (mesh != nullptr) {
        EXPECT_EQ(mesh->GetLocalMatrix(), meshBefore);
    }
    const pf::Rect right = endBar->arrowRect(false);
    sim().click(*endBar, {(right.l + right.r) / 2, (right.t + right.b) / 2});
    sim().click(*endBar, {(right.l + right.r) / 2, (right.t + right.b) / 2}); // held at the limit, posed there
    EXPECT_EQ(motion->GetEndFrame(), 41);
    editor->DestroyWindow();

    SWactionnode* jump = Controller(47, sample->otherObject);
    editor = OpenOn(jump);
    EXPECT_EQ(editor->frameLimit, 2); // a jump's limit is the key count
}

TEST_F(ControllerEditor, ANodeDroppedOnTheTargetPickerBecomesTheTargetAndTheAimIsWritten)
{
    ASSERT_TRUE(app->MakeEditorEngine()); // the pickers register their receptors with it as they open
    SWactionnode* action = Controller(42);
    auto* aim = dynamic_cast<SWtracktargetmotion*>(action->GetMotion());
    ASSERT_NE(aim, nullptr);
    aim->SetTargetName(std::string("nowhere"));
    CVTND_ActionControllerDlg* editor = OpenOn(action);
    pf::Window* page = editor->CurrentPage();
    EXPECT_EQ(page->child(1358)->getText(), "(no target)");
    EXPECT_EQ(*aim->GetTargetName(), "nowhere"); // an unresolvable name is kept

    designertest::DragFrame dragFrame(pf::Rect::fromXywh(1100, 600, 170, 200));
    designertest::TestPalette palette(dragFrame, pf::Rect::fromXywh(0, 0, 170, 200));
    designertest::PaletteItem item;
    item.contentKind = EdKind::kNode;
    item.content = sample->otherObject;
    palette.items = {item};
    sim().pump();
    const pf::Point picker = page->child(1003)->clientToScreen({10, 10});
    sim().mouseDown(palette.clientToScreen({20, 20}));
    sim().mouseMove(picker);
    sim().mouseMove({picker.x + 2, picker.y + 2});
    sim().mouseUp({picker.x + 2, picker.y + 2});
    sim().pump();
    EXPECT_EQ(aim->GetTarget(), sample->otherObject);
    EXPECT_EQ(aim->GetTargetName(), sample->otherObject->GetName());
    EXPECT_EQ(page->child(1358)->getText(), *sample->otherObject->GetName());

    sim().click(*page->child(1014));
    EXPECT_EQ(aim->GetAimOption(), 2);
    sim().click(*page->child(1385));
    EXPECT_TRUE(aim->GetAimAway());
}

// The render thread steps the world under its lock while the user drags the slider.
TEST_F(ControllerEditor, TheSliderMovesWhileTheRenderThreadRunsFrames)
{
    SWactionnode* action = Controller(41, sample->object);
    CVTND_ActionControllerDlg* editor = OpenOn(action);
    std::atomic<bool> stop{false};
    std::thread render([&] {
        while (!stop.load()) {
            SWworldlock lock(World());
            World().RunFrame();
        }
    });
    auto* slider = editor->item<pf::Trackbar>(1352);
    for (int i = 0; i < 200; ++i)
        sim().moveTrackbar(*slider, (i * 37) % 1001);
    stop = true;
    render.join();
    sim().moveTrackbar(*slider, 0);
    EXPECT_EQ(Object()->GetLocalMatrix(), Object()->GetInitialMatrix());
}

// The mesh node's vertices swell by a tenth a frame over four frames.
TEST_F(ControllerEditor, VertexPagesPoseTheMeshAndPutItsVerticesBackOnDeactivation)
{
    auto* node = SWobjectnode::FromNode(sample->mesh);
    auto* mesh = node != nullptr ? dynamic_cast<SWmesh*>(node->GetGeometry()) : nullptr;
    ASSERT_NE(mesh, nullptr);
    ASSERT_GT(mesh->GetVertexCount(), 0u);
    const std::vector<float> rest(mesh->GetVertices(), mesh->GetVertices() + mesh->GetVertexCount() * 3);
    auto table = std::make_unique<VertexFrameTable>();
    ASSERT_TRUE(table->Allocate(4, mesh->GetVertexCount()));
    for (uint32_t frame = 0; frame < 4; ++frame) {
        const std::span<float> out = table->GetFrameVertices(frame);
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = rest[i] * (1.0f + 0.1f * static_cast<float>(frame));
    }
    table->SetReady(true);
    node->SetVertexFrameTable(std::move(table));
    SWactionnode* play = Controller(50, sample->mesh);
    CVTND_ActionControllerDlg* editor = OpenOn(play);
    EXPECT_EQ(editor->frameLimit, 4);
    auto* endBar = dynamic_cast<pf::ScrollBar*>(editor->CurrentPage()->child(1081));
    ASSERT_NE(endBar, nullptr);
    const pf::Rect left = endBar->arrowRect(true);
    sim().click(*endBar, {(left.l + left.r) / 2, (left.t + left.b) / 2}); // the end at frame 3, posed there
    const std::vector<float> posed(mesh->GetVertices(), mesh->GetVertices() + rest.size());
    EXPECT_NE(posed, rest);

    pf::Window elsewhere; // another top-level window takes the activation: the vertices go back
    elsewhere.create({"window", "elsewhere", pf::WS_POPUP | pf::WS_VISIBLE, 0, pf::Rect::fromXywh(900, 700, 100, 80)});
    sim().click(elsewhere);
    EXPECT_EQ(std::vector<float>(mesh->GetVertices(), mesh->GetVertices() + rest.size()), rest);
}

// A waveform put on X takes the motion's loops, and so do the two constant axes; the axis labels have their colours.
TEST_F(ControllerEditor, XyzPageGivesEveryAxisTheLoopsAfterAGeneratorIsReplacedAndColoursItsLabels)
{
    SWactionnode* action = Controller(43);
    auto* motion = dynamic_cast<SWxyzmotion*>(action->GetMotion());
    motion->SetLoop(true);
    motion->SetOscillate(true);
    CVTND_ActionControllerDlg* editor = OpenOn(action);
    auto* x = dynamic_cast<CVTND_ValueGenerator*>(editor->CurrentPage()->child(1004));
    ASSERT_NE(x, nullptr);
    sim().expectMenu(CVTND_ValueGenerator::kMenuCommandBase + 1); // a sine
    sim().click(*x->GetButton());
    sim().pump();
    ASSERT_NE(motion->GetGenerator(0)->GetType(), motion->GetGenerator(1)->GetType());
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_TRUE(motion->GetGenerator(axis)->IsLoopingForever()) << axis;
        EXPECT_TRUE(motion->GetGenerator(axis)->IsPingPong()) << axis;
    }
    // The label's text in its colour: some pixel of "X:" is dark red.
    const pf::Rect label = editor->CurrentPage()->child(1359)->screenRect();
    bool red = false;
    for (int32_t y = label.t; y < label.b && !red; ++y)
        for (int32_t px = label.l; px < label.r && !red; ++px)
            red = pf::screenPixel({px, y}) == 0xAA0000u;
    EXPECT_TRUE(red);
}

TEST_F(ControllerEditor, AReferenceNamingNoObjectNodeIsDroppedOnOpening)
{
    SWactionnode* action = Controller(43);
    auto* motion = dynamic_cast<SWnodemotion*>(action->GetMotion());
    motion->SetOptionFlags(SWnodemotion::kFrameTarget);
    motion->SetTargetNodeName(std::string("nowhere"));
    CVTND_ActionControllerDlg* editor = OpenOn(action);
    EXPECT_FALSE(motion->GetTargetNodeName());
    EXPECT_EQ(editor->child(1390)->getText(), "(no node)");
}

// With the extend flag the play lasts the extended time plus the transition, whatever its frames.
TEST_F(ControllerEditor, KeyFramePlayTakesItsTimesFromTheFieldsAndTheExtendFlag)
{
    SWactionnode* play = Controller(44, sample->object);
    auto* motion = dynamic_cast<SWkeyframemotion*>(play->GetMotion());
    CVTND_ActionControllerDlg* editor = OpenOn(play);
    pf::Window* page = editor->CurrentPage();
    sim().replaceText(*page->child(1258), "200");
    sim().replaceText(*page->child(1206), "3000");
    sim().click(*page->child(1205));
    EXPECT_FLOAT_EQ(motion->GetBlendTime(), 200.0f);
    EXPECT_TRUE(motion->GetUseExplicitDuration());
    EXPECT_FLOAT_EQ(motion->GetDuration(), 3200.0f);
    sim().click(*page->child(1104));
    EXPECT_EQ(motion->GetOption(2), 0); // apply to children off
}

TEST_F(ControllerEditor, ANewKeyFrameJumpOpensWithASecondsTransition)
{
    SWactionnode* jump = Controller(47, sample->object);
    CVTND_ActionControllerDlg* editor = OpenOn(jump);
    EXPECT_EQ(editor->CurrentPage()->child(1258)->getText(), "1000");
    EXPECT_FLOAT_EQ(jump->GetMotion()->GetDuration(), 1000.0f);
}

TEST_F(ControllerEditor, SpeechPageBindsTheWorldsFirstScript)
{
    SWactionnode* lipSync = Controller(60);
    auto* motion = dynamic_cast<SWspeechmotion*>(lipSync->GetMotion());
    ASSERT_NE(motion, nullptr);
    CVTND_ActionControllerDlg* editor = OpenOn(lipSync); // no speech data: empty fields, nothing bound
    EXPECT_EQ(editor->CurrentPage()->child(1004)->getText(), "");
    EXPECT_EQ(motion->GetSpeechData(), nullptr);
    editor->DestroyWindow();

    auto* script = new SWspeechdata("hello");
    script->SetString(1, *sample->object->GetName());
    script->SetString(2, *sample->otherObject->GetName());
    World().GetRootObject()->AddChild(script);
    editor = OpenOn(lipSync);
    EXPECT_EQ(editor->CurrentPage()->child(1004)->getText(), "hello");
    EXPECT_EQ(editor->CurrentPage()->child(1005)->getText(), *sample->object->GetName());
    EXPECT_EQ(editor->CurrentPage()->child(1006)->getText(), *sample->otherObject->GetName());
    EXPECT_EQ(motion->GetSpeechData(), script);
    EXPECT_EQ(motion->GetSound(), nullptr); // no sound of the speech's fixed name
}

} // namespace
} // namespace editorstest
