// What one click does in the preview after the motion editors were opened and closed, against the same project
// saved and reopened and against its published world: the node's matrix after the click, compared. New actions and
// a rotation align read from a file run too.
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "designer/editors/controller_editor.h"
#include "designer/editors/tests/editors_fixture.h"
#include "designer/workspace/value_generator.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/generator.h"
#include "engine/behaviour/input_queue.h"
#include "engine/behaviour/keyframe_motion.h"
#include "engine/behaviour/track_target_motion.h"
#include "engine/behaviour/xyz_motion.h"
#include "engine/core/animation_data.h"
#include "engine/core/document_file.h"
#include "engine/core/node.h"
#include "engine/core/node_names.h"
#include "engine/core/object_node.h"
#include "engine/core/read_context.h"
#include "engine/core/world_file.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/controls/trackbar.h"

namespace editorstest {
namespace {

constexpr const char* kNode = "object0";
constexpr uint32_t kFrameMs = 33;

bool Near(const SWmatrix& a, const SWmatrix& b)
{
    for (int i = 0; i < 16; ++i)
        if (!(std::fabs(a[i] - b[i]) <= 1e-4f))
            return false;
    return true;
}

class PreviewAfterEditors : public EditorsFixture {
protected:
    // A left click on object0 runs one action of kind on it. The sample's default track of object0 starts at
    // frame 0 one step along x from its rest, so that a jump to a new jump's frame moves it.
    SWactionnode* OnClick(int32_t kind)
    {
        sample = std::make_unique<designertest::SampleWorld>(*app);
        World().UpdateNodeTransforms(World().GetRootNode(), 0);
        if (AnimationTrack* track = Node()->GetAnimationTracks().FindByName(kDefaultAnimationName))
            track->SetKey(0, SWmatrix::Translation(1.0f, 0.0f, 0.0f));
        SWevent* click = World().AddEventOfType(static_cast<uint32_t>(EventType::kLeftClickObject));
        click->SetName(std::string("hit"));
        click->AddObjectName(std::string(kNode));
        SWactionnode* action = sample->AddAction(*click, kind);
        action->AddArgument(kNode, SWdatanode::kString, true);
        return action;
    }
    void Frame(SWworld& world)
    {
        world.RunFrame();
        virtualClock().advance(kFrameMs);
    }
    // Started, one click on object0, twelve frames (midway through every motion here), stopped.
    void ClickOnce(SWworld& world)
    {
        world.SetRunning(true);
        Frame(world);
        auto* click = new SWinputrecord(InputKind::kObjectClick, 0, world.GetRootNode()->FindByName(kNode));
        click->SetSecondWord(2);
        world.GetPostedQueue().Push(click);
        for (int i = 0; i < 12; ++i)
            Frame(world);
        world.SetRunning(false);
        Frame(world);
    }
    std::unique_ptr<SWworld> Reopened(WorldFileMode mode)
    {
        std::vector<uint8_t> bytes;
        EXPECT_EQ(WriteWorldFile(World(), mode, bytes), DocumentStatus::kOk);
        SWdocumentfile file;
        EXPECT_EQ(SWdocumentfile::Parse(std::move(bytes), file), DocumentStatus::kOk);
        SWreadcontext context(SWreadcontext::IdMode::kKeep);
        WorldLoadResult loaded = ReadWorldFile(file, context);
        EXPECT_EQ(loaded.status, DocumentStatus::kOk);
        return std::move(loaded.world);
    }
    // One click in the preview, then in the project saved and reopened and in its published world: object0 ends
    // alike in all three. Each world is handed to check after its click; the preview's matrix is the answer.
    SWmatrix ExpectPlayedAsSaved(const std::function<void(SWworld&)>& check = {})
    {
        const std::unique_ptr<SWworld> project = Reopened(WorldFileMode::kProject);
        const std::unique_ptr<SWworld> published = Reopened(WorldFileMode::kPublished);
        ClickOnce(World());
        const SWmatrix preview = Node()->GetLocalMatrix();
        if (check)
            check(World());
        for (SWworld* world : {project.get(), published.get()}) {
            if (world == nullptr)
                continue;
            ClickOnce(*world);
            EXPECT_TRUE(
                Near(SWobjectnode::FromNode(world->GetRootNode()->FindByName(kNode))->GetLocalMatrix(), preview))
                << (world == project.get() ? "reopened" : "published");
            if (check)
                check(*world);
        }
        return preview;
    }
    SWobjectnode* Node() { return SWobjectnode::FromNode(sample->object); }
};

// Each editor opened and closed with no change, then with one (the slider moved, a value typed). The rotate XYZ
// changed is a new one, its value typed in the editor.
TEST_F(PreviewAfterEditors, OneClickAfterEachMotionEditorPlaysAsTheSavedAndPublishedWorlds)
{
    struct Row {
        int32_t kind;
        bool change;
    };
    for (const Row row : {Row{41, false}, Row{41, true}, Row{43, false}, Row{43, true}, Row{53, false}, Row{53, true},
                          Row{42, false}, Row{42, true}, Row{44, false}, Row{44, true}, Row{47, false}, Row{47, true},
                          Row{45, false}, Row{63, false}}) {
        SCOPED_TRACE(testing::Message() << "kind " << row.kind << (row.change ? ", changed" : ""));
        SWactionnode* action = OnClick(row.kind);
        if (auto* xyz = dynamic_cast<SWxyzmotion*>(action->GetMotion());
            xyz != nullptr && !(row.kind == 41 && row.change)) {
            auto track = std::make_unique<SWaxistrack>(&World(), row.kind == 43 ? 1.0f : 0.5f);
            track->SetDuration(row.kind == 41 ? 0.0f : 1000.0f); // a rotation at once, the others over a second
            xyz->SetGenerator(std::move(track), 1);
        }
        if (auto* aim = dynamic_cast<SWtracktargetmotion*>(action->GetMotion()))
            aim->SetTargetName(sample->otherObject->GetName());
        if (auto* jump = dynamic_cast<SWkeyframejumpmotion*>(action->GetMotion()))
            jump->SetFrame(12);
        pf::Window* editor = app->EditObject(CVTND_Object(action), false);
        ASSERT_NE(editor, nullptr);
        sim().pump();
        if (auto* controller = dynamic_cast<CVTND_ActionControllerDlg*>(editor); controller != nullptr && row.change) {
            sim().moveTrackbar(*controller->item<pf::Trackbar>(1352), 600);
            if (auto* y = dynamic_cast<CVTND_ValueGenerator*>(controller->CurrentPage()->child(1005))) {
                sim().replaceText(*y->GetEdit(), "45");
                sim().pump();
            }
        }
        editor->destroy();
        sim().pump();
        const SWmatrix moved = ExpectPlayedAsSaved();
        if (row.kind != 45 && row.kind != 63) {
            EXPECT_FALSE(Near(moved, Node()->GetInitialMatrix())); // the arcballs wait for a drag
        }
    }
}

// The rotation align as a file holds it, its target by name only: in the preview, reopened and published, the
// click turns object0's Z axis to the target.
TEST_F(PreviewAfterEditors, ARotationAlignReadFromAFileAimsAtItsTarget)
{
    SWactionnode* action = OnClick(42);
    dynamic_cast<SWtracktargetmotion*>(action->GetMotion())->SetTargetName(sample->otherObject->GetName());
    const std::string target = *sample->otherObject->GetName();
    ExpectPlayedAsSaved([&target](SWworld& world) {
        const auto* own = SWobjectnode::FromNode(world.GetRootNode()->FindByName(kNode));
        const auto* aimed = SWobjectnode::FromNode(world.GetRootNode()->FindByName(target));
        SWmatrix inverse;
        own->GetWorldMatrix().Invert(inverse);
        const SWvector p = inverse.TransformPoint(aimed->GetWorldMatrix().GetTranslation());
        EXPECT_NEAR(p.z / std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z), 1.0f, 1e-4f);
    });
}

// Neither was opened in an editor: their unset frames are the runtime's to settle.
TEST_F(PreviewAfterEditors, ANewPlayAndJumpMoveTheNodeOnTheFirstRun)
{
    for (const int32_t kind : {44, 47}) {
        SCOPED_TRACE(kind);
        OnClick(kind);
        EXPECT_FALSE(Near(ExpectPlayedAsSaved(), Node()->GetInitialMatrix()));
    }
}

} // namespace
} // namespace editorstest
