// The rename dialog run modally under scripts: what it shows, names it refuses (too short, in letters not bytes;
// taken by another object of the kind), the unchanged name, a rename announced with both names, and sounds, which
// it never renames.
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/workspace/receptors_texts.h"
#include "designer/workspace/rename_dlg.h"
#include "engine/behaviour/event.h"
#include "engine/core/node.h"
#include "engine/resources/sound.h"
#include "platform/base/user_constants.h"
#include "platform/display/screen.h"
#include "platform/testing/ui_fixture.h"
#include "platform/ui/providers/providers.h"
#include "testsupport/designer/broadcast_recorder.h"
#include "testsupport/designer/sample_world.h"

namespace {

class RenameDialog : public pf::UiFixture {
protected:
    void SetUp() override
    {
        UiFixture::SetUp();
        app = std::make_unique<CVTNDesignerApp>();
        sample = std::make_unique<designertest::SampleWorld>(*app);
        recorder = std::make_unique<designertest::BroadcastRecorder>();
    }
    void TearDown() override
    {
        recorder.reset();
        sample.reset();
        app.reset();
        UiFixture::TearDown();
    }
    // Types each name in turn into the new-name edit and presses OK; the last press ends the dialog or not.
    int32_t Run(CVTND_Object target, std::vector<std::string> names, bool cancelAtEnd = false)
    {
        sim().onModal(kIddRename, [this, names, cancelAtEnd](pf::Dialog& d) {
            shownKind = d.child(RenameControl::kKindLabel)->text();
            shownCurrent = d.child(RenameControl::kCurrentName)->text();
            shownNew = d.child(RenameControl::kNewName)->text();
            focusOnNew = pf::ui().focus() == d.child(RenameControl::kNewName)->hwnd();
            placed = d.screenRect();
            for (const std::string& name : names) {
                if (d.hasEnded())
                    break;
                sim().replaceText(*d.child(RenameControl::kNewName), name);
                sim().click(*d.child(pf::IDOK));
            }
            if (!d.hasEnded())
                sim().click(*d.child(pf::IDCANCEL));
            (void)cancelAtEnd;
        });
        CVTND_RenameDlg dialog(target, nullptr);
        return dialog.Run();
    }
    size_t Boxes() { return ui().providers().scriptedMessageBox().calls().size(); }

    std::unique_ptr<CVTNDesignerApp> app;
    std::unique_ptr<designertest::SampleWorld> sample;
    std::unique_ptr<designertest::BroadcastRecorder> recorder;
    std::string shownKind, shownCurrent, shownNew;
    bool focusOnNew = false;
    pf::Rect placed;
};

TEST_F(RenameDialog, ShowsKindAndNameAndRenamesAnEvent)
{
    sim().mouseMove({200, 150});
    EXPECT_EQ(Run(CVTND_Object(sample->timer), {"alarm"}), 1);
    EXPECT_EQ(shownCurrent, "tick");
    EXPECT_EQ(shownNew, "tick");
    EXPECT_EQ(shownKind, pf::resources().string(RenameKindText(15)).value());
    EXPECT_TRUE(focusOnNew);
    EXPECT_EQ(placed.l, 200);
    EXPECT_EQ(placed.t, 150);
    EXPECT_EQ(sample->timer->GetName(), std::optional<std::string>("alarm"));
    ASSERT_EQ(recorder->Count(3), 1u);
    EXPECT_EQ(recorder->Events().back().firstText, std::optional<std::string>("tick"));
    EXPECT_EQ(recorder->Events().back().secondText, std::optional<std::string>("alarm"));
}

TEST_F(RenameDialog, ShortNamesAreRefusedInLettersAndTheDialogStays)
{
    ui().providers().scriptedMessageBox().expect(pf::IDOK);
    ui().providers().scriptedMessageBox().expect(pf::IDOK);
    EXPECT_EQ(Run(CVTND_Object(sample->timer), {"a", "\xC3\xA9", "\xC3\xA9t"}), 1);
    EXPECT_EQ(Boxes(), 2u);
    EXPECT_EQ(ui().providers().scriptedMessageBox().calls().front().flags & pf::MB_ICONHAND, pf::MB_ICONHAND);
    EXPECT_EQ(sample->timer->GetName(), std::optional<std::string>("\xC3\xA9t"));
}

TEST_F(RenameDialog, UnchangedNameEndsWithoutNotice)
{
    EXPECT_EQ(Run(CVTND_Object(sample->object), {*sample->object->GetName()}), 1);
    EXPECT_EQ(recorder->Count(3), 0u);
}

TEST_F(RenameDialog, TakenNameIsRefusedAndTheObjectKeepsItsName)
{
    const std::string own = *sample->object->GetName();
    ui().providers().scriptedMessageBox().expect(pf::IDOK);
    EXPECT_EQ(Run(CVTND_Object(sample->object), {*sample->otherObject->GetName()}), 0); // then cancelled
    EXPECT_EQ(Boxes(), 1u);
    EXPECT_EQ(sample->object->GetName(), std::optional<std::string>(own));
    EXPECT_EQ(recorder->Count(3), 0u);
}

TEST_F(RenameDialog, SoundsAreNeverRenamedAndUnknownKindsEndAtOnce)
{
    EXPECT_EQ(Run(CVTND_Object(sample->sound), {"other"}), 0);
    EXPECT_EQ(sample->sound->GetName(), "speech");
    EXPECT_EQ(Run(CVTND_Object(static_cast<uint16_t>(26), sample->sound), {}), 0);
}

// Not "unchanged": the world's rename is asked, and here it refuses a name that its own event already bears.
TEST_F(RenameDialog, CaseOnlyChangeGoesToTheWorld)
{
    ui().providers().scriptedMessageBox().expect(pf::IDOK);
    EXPECT_EQ(Run(CVTND_Object(sample->timer), {"Tick"}), 0);
    EXPECT_EQ(Boxes(), 1u);
    EXPECT_EQ(ui().providers().scriptedMessageBox().calls().back().text,
              pf::resources().string(kIdsRenameUniqueName).value());
}

} // namespace
