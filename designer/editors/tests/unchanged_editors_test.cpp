// The project's modified flag around the editors, which write through to the world as they are used: opened and
// closed without a change they leave the project unmodified, and a change made in one marks it.
#include <functional>
#include <string>
#include <vector>

#include "designer/app/notification.h"
#include "designer/editors/controller_editor.h"
#include "designer/editors/tests/editors_fixture.h"
#include "designer/workspace/value_generator.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/core/object_node.h"
#include "platform/base/user_constants.h"
#include "platform/ui/controls/edit.h"

namespace editorstest {
namespace {

using UnchangedEditors = EditorsFixture;

// Closes editor as its user does: the Close (OK) button where it has one, else its close box.
void CloseLikeAUser(pf::UserSim& sim, pf::Window& editor)
{
    if (pf::Window* close = editor.child(pf::IDOK); close != nullptr && close->isVisible())
        sim.click(*close);
    else
        editor.send(pf::WM_CLOSE, 0, 0);
    sim.pump();
}

TEST_F(UnchangedEditors, OpeningAndClosingEachEditorLeavesTheProjectUnmodifiedAndAChangeMarksIt)
{
    SWactionnode* rotate = sample->AddAction(*sample->click, 41); // rotate XYZ
    SWtexture* texture = World().GetRootObject()->GetFirstTexture();
    ASSERT_NE(texture, nullptr);
    app->SetModified(0); // as a project just saved or opened
    const std::vector<std::pair<std::string, CVTND_Object>> subjects = {
        {"material", CVTND_Object(sample->material)},
        {"texture", CVTND_Object(ObjectType::kTexture, texture)},
        {"event", CVTND_Object(sample->click)},
        {"rotate XYZ", CVTND_Object(rotate)},
    };
    for (const auto& [name, subject] : subjects) {
        pf::Window* editor = app->EditObject(subject, false);
        ASSERT_NE(editor, nullptr) << name;
        sim().pump();
        EXPECT_EQ(app->IsModified(), 0) << name << " open";
        CloseLikeAUser(sim(), *editor);
        EXPECT_TRUE(app->GetEditDialogs().empty()) << name;
        EXPECT_EQ(app->IsModified(), 0) << name << " closed";
    }

    // A preview moves what the project stores until it stops: asked meanwhile, the project reads as changed, and
    // once the preview has put everything back it reads unmodified again.
    pf::Window* open = app->EditObject(CVTND_Object(sample->material), false);
    ASSERT_NE(open, nullptr);
    auto* moving = SWobjectnode::FromNode(sample->object);
    const SWmatrix rest = moving->GetInitialMatrix();
    World().SetRunning(true);
    moving->SetInitialMatrix(SWmatrix::Translation(5.0f, 0.0f, 0.0f));
    EXPECT_EQ(app->IsModified(), 1);
    moving->SetInitialMatrix(rest);
    World().SetRunning(false);
    EXPECT_EQ(app->IsModified(), 0);
    CloseLikeAUser(sim(), *open);
    EXPECT_EQ(app->IsModified(), 0);

    // Two open at once; a value typed in the second marks the project while both are open, and it stays marked.
    pf::Window* material = app->EditObject(CVTND_Object(sample->material), false);
    pf::Window* details = app->EditObject(CVTND_Object(rotate), false);
    ASSERT_TRUE(material != nullptr && details != nullptr);
    sim().pump();
    EXPECT_EQ(app->IsModified(), 0);
    auto* controller = dynamic_cast<CVTND_ActionControllerDlg*>(details);
    ASSERT_TRUE(controller != nullptr && controller->CurrentPage() != nullptr);
    auto* x = dynamic_cast<CVTND_ValueGenerator*>(controller->CurrentPage()->child(1004));
    ASSERT_NE(x, nullptr);
    sim().replaceText(*x->GetEdit(), "30");
    sim().pump();
    EXPECT_EQ(app->IsModified(), 1);
    CloseLikeAUser(sim(), *details);
    CloseLikeAUser(sim(), *material);
    EXPECT_EQ(app->IsModified(), 1);
}

// An editor opened and closed while a preview runs: the preview moved what the project stores meanwhile, and once
// it has put it back and stopped the project is as unmodified as before. The form taken amid the preview once
// marked it.
TEST_F(UnchangedEditors, AnEditorOpenedAndClosedDuringAPreviewLeavesTheProjectUnmodified)
{
    app->SetModified(0);
    auto* moving = SWobjectnode::FromNode(sample->object);
    const SWmatrix rest = moving->GetInitialMatrix();
    const auto preview = [&](const std::function<void()>& during) {
        World().SetRunning(true);
        moving->SetInitialMatrix(SWmatrix::Translation(5.0f, 0.0f, 0.0f));
        during();
        moving->SetInitialMatrix(rest); // as the designer puts the project back at Stop
        World().SetRunning(false);
        app->Broadcast(CVTND_Event(EventCode::kPreviewStopped, CVTND_Object()));
    };
    preview([&] {
        pf::Window* editor = app->EditObject(CVTND_Object(sample->click), false);
        ASSERT_NE(editor, nullptr);
        sim().pump();
        CloseLikeAUser(sim(), *editor);
    });
    EXPECT_EQ(app->IsModified(), 0) << "closed during the preview";
    pf::Window* kept = nullptr;
    preview([&] { kept = app->EditObject(CVTND_Object(sample->click), false); });
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(app->IsModified(), 0) << "open after the preview";
    CloseLikeAUser(sim(), *kept);
    EXPECT_EQ(app->IsModified(), 0);
}

} // namespace
} // namespace editorstest
