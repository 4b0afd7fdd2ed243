// The recovery copy keeps work through a crash: accepted, it stays until the work is saved or dropped, so a kill
// right after still finds it; a copy that does not read is moved aside, never deleted, and what still frames opens.
#include "designer/app/recovery.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include <gtest/gtest.h>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/main_frame.h"
#include "designer/app/project.h"
#include "designer/app/sample_project.h"
#include "designer/app/startup.h"
#include "designer/app/user_dialogs.h"
#include "platform/base/atomic_file.h"
#include "platform/settings/settings_backend.h"
#include "platform/testing/ui_fixture.h"
#include "platform/ui/controls/status_bar.h"
#include "platform/ui/dialog/dialog.h"
#include "platform/ui/providers/providers.h"
#include "testsupport/designer/sample_designer.h"

namespace {

constexpr const char* kOffer = "A recovery copy of the project you were working on was kept";

class RecoveryCopy : public pf::UiFixture {
protected:
    void SetUp() override
    {
        UiFixture::SetUp();
        folder = ownFolder();
        path = folder + "/recovery.vtp";
        CVTNDesignerApp app;
        app.NewWorkspace();
        {
            const SWworldlock hold(*app.GetWorld());
            BuildSampleWorld(*app.GetWorld());
        }
        ASSERT_TRUE(app.GetProject()->WriteBytes(sample, nullptr));
    }
    void TearDown() override
    {
        std::filesystem::remove_all(folder);
        UiFixture::TearDown();
    }
    void WriteCopy(const std::vector<uint8_t>& bytes)
    {
        ASSERT_TRUE(
            pf::writeFileAtomically(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
    }
    // A start as a person's: the first-run question cancelled, the boxes answered in turn (the offer first).
    bool Start(CVTND_Designer& designer, std::initializer_list<int32_t> answers)
    {
        CVTND_StartOptions options = designertest::TestStartOptions(path);
        options.developerRun = false;
        sim().onModal(kIddUserInformation, [](pf::Dialog& d) { d.endDialog(pf::IDCANCEL); });
        for (const int32_t answer : answers)
            sim().expectMessageBox(answer);
        return designer.Start(std::move(options));
    }
    std::vector<std::string> Boxes() const
    {
        std::vector<std::string> texts;
        for (const pf::MessageBoxCall& call : pf::ui().providers().scriptedMessageBox().calls())
            texts.push_back(call.text);
        return texts;
    }
    static std::string Status(const CVTND_Designer& designer)
    {
        return designer.GetMainFrame()->statusBar()->paneText(0);
    }
    std::vector<std::filesystem::path> KeptAside() const
    {
        std::vector<std::filesystem::path> kept;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().filename().string().starts_with("recovery-") && entry.path().extension() == ".vtp")
                kept.push_back(entry.path());
        return kept;
    }

    std::string folder;
    std::string path;
    std::vector<uint8_t> sample;
};

TEST_F(RecoveryCopy, AnAcceptedCopySurvivesAKillAndIsOfferedAgain)
{
    WriteCopy(sample);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The designer that accepts the copy and is killed before any save or new copy.
        CVTND_Designer designer;
        const char accepted = Start(designer, {pf::IDYES}) && designer.GetApp()->IsModified() ? 'y' : 'n';
        (void)!::write(ready[1], &accepted, 1);
        ::pause();
        ::_exit(0);
    }
    char accepted = 0;
    EXPECT_EQ(::read(ready[0], &accepted, 1), 1);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(accepted, 'y');
    ASSERT_TRUE(std::filesystem::exists(path)) << "the accepted copy went with the workspace it replaced";

    CVTND_Designer designer;
    ASSERT_TRUE(Start(designer, {pf::IDYES}));
    ASSERT_FALSE(Boxes().empty());
    EXPECT_NE(Boxes().front().find(kOffer), std::string::npos) << Boxes().front();
    EXPECT_TRUE(designer.GetApp()->IsModified());
    designer.Exit(); // an end that never asked keeps the copy of the work
    EXPECT_TRUE(std::filesystem::exists(path));
}

TEST_F(RecoveryCopy, ADamagedCopyIsKeptAsideAndWhatFramesIsOpened)
{
    // Cut short, as a crash mid-write leaves it; the rest appended makes a length the header does not state.
    std::vector<uint8_t> cut = sample;
    cut.insert(cut.end(), 16, 0);
    WriteCopy(cut);
    CVTND_Designer designer;
    ASSERT_TRUE(Start(designer, {pf::IDYES, pf::IDOK})); // the offer, then the note that it was damaged
    EXPECT_TRUE(designer.GetApp()->IsModified()) << "the lenient read opened it";
    const std::vector<std::filesystem::path> kept = KeptAside();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(path));
    std::ifstream in(kept.front(), std::ios::binary);
    EXPECT_EQ(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}), cut);
    ASSERT_EQ(Boxes().size(), 2u);
    EXPECT_NE(Boxes()[1].find(kept.front().string()), std::string::npos) << Boxes()[1];
    designer.Exit();

    // Nothing frames: still kept, and the box says where.
    ASSERT_TRUE(pf::writeFileAtomically(path, "VTNF0942 and nothing that holds"));
    CVTND_Designer again;
    ASSERT_TRUE(Start(again, {pf::IDYES, pf::IDOK}));
    EXPECT_FALSE(again.GetApp()->IsModified());
    EXPECT_EQ(KeptAside().size(), 2u);
    EXPECT_NE(Boxes().back().find("It was kept as " + folder + "/recovery-"), std::string::npos) << Boxes().back();
}

// The render thread lets the world go only between frames: the copy waits for the frame to end rather than miss it.
TEST_F(RecoveryCopy, ACopyWaitsForAFrameInsteadOfMissingIt)
{
    CVTND_Designer designer;
    ASSERT_TRUE(designer.Start(designertest::TestStartOptions(path)));
    designer.GetApp()->SetModified();
    std::atomic<bool> held{false};
    std::thread frame([&] {
        const SWworldlock hold(*designer.GetWorld());
        held = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    });
    while (!held)
        std::this_thread::yield();
    designer.WriteRecoveryCopy();
    frame.join();
    EXPECT_TRUE(std::filesystem::exists(path));
    designer.Exit();
}

// Only No drops a copy left behind: a box left by Cancel (its close box, Escape, a signal), a start that does not
// offer it (the screenshot run) and this designer's own saves keep it; its first copy of its own moves it aside. The
// offer says what project the copy was made from and when; Yes keeps the recovered work open even when a project was
// named to open, and says so.
TEST_F(RecoveryCopy, OnlyNoDropsACopyLeftBehindAndTheOfferSaysWhereItCameFrom)
{
    const std::string project = folder + "/work.vtp";
    WriteCopy(sample);
    ASSERT_TRUE(pf::writeFileAtomically(project, std::string(sample.begin(), sample.end())));
    {
        CVTND_Designer developer; // the screenshot run: no offer
        ASSERT_TRUE(developer.Start(designertest::TestStartOptions(path)));
        developer.Exit();
    }
    ASSERT_TRUE(std::filesystem::exists(path)) << "a start that did not offer it";
    {
        CVTND_Designer designer;
        ASSERT_TRUE(Start(designer, {pf::IDCANCEL}));
        ASSERT_TRUE(designer.OpenProjectFile(project));
        ASSERT_TRUE(designer.SaveTo(project));
        designer.Exit();
    }
    ASSERT_TRUE(std::filesystem::exists(path)) << "a box left unanswered, then a save of other work";
    EXPECT_TRUE(KeptAside().empty());
    {
        CVTND_Designer designer;
        ASSERT_TRUE(Start(designer, {pf::IDCANCEL}));
        ASSERT_TRUE(designer.OpenProjectFile(project));
        designer.GetApp()->SetModified();
        EXPECT_EQ(designer.WriteRecoveryCopy(), CVTND_Designer::RecoveryWrite::kWritten);
        ASSERT_EQ(KeptAside().size(), 1u) << "the copy left behind was replaced";
        EXPECT_NE(Status(designer).find(KeptAside().front().string()), std::string::npos) << Status(designer);
        designer.Exit(); // killed, as far as the copy goes: the work stays in it
    }

    CVTND_StartOptions named = designertest::TestStartOptions(path);
    named.developerRun = false;
    named.project = folder + "/other.vtp";
    sim().onModal(kIddUserInformation, [](pf::Dialog& d) { d.endDialog(pf::IDCANCEL); });
    sim().expectMessageBox(pf::IDYES);
    const size_t before = Boxes().size();
    CVTND_Designer designer;
    ASSERT_TRUE(designer.Start(std::move(named)));
    ASSERT_EQ(Boxes().size(), before + 1) << Boxes().back();
    EXPECT_NE(Boxes().back().find("It was made from " + project + ", written 20"), std::string::npos) << Boxes().back();
    EXPECT_TRUE(designer.GetApp()->IsModified());
    EXPECT_TRUE(designer.GetProjectPath().empty());
    EXPECT_NE(Status(designer).find(folder + "/other.vtp was not opened"), std::string::npos) << Status(designer);
    // Its own copy names the project again, for the start after the next.
    EXPECT_EQ(designer.WriteRecoveryCopy(), CVTND_Designer::RecoveryWrite::kWritten);
    EXPECT_EQ(designer.GetRecovery()->ReadOrigin().project, project);
    sim().expectMessageBox(pf::IDNO); // the save question
    designer.Close();
    designer.Exit();
    EXPECT_FALSE(std::filesystem::exists(path)) << "No drops the work and its copy";
}

// A copy that cannot be written (here a file-size limit, as a full disk fails) is said once with its cause, not at
// every interval, and said again when a copy is written again.
TEST_F(RecoveryCopy, ACopyThatCannotBeWrittenIsSaidOnceAndAgainWhenItIs)
{
    pf::ignoreFileSizeSignal();
    CVTND_Designer designer;
    ASSERT_TRUE(designer.Start(designertest::TestStartOptions(path)));
    designer.GetApp()->SetModified();
    rlimit was{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &was), 0);
    rlimit small = was;
    small.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const CVTND_Designer::RecoveryWrite first = designer.WriteRecoveryCopy();
    const std::string said = Status(designer);
    designer.GetMainFrame()->SetPaneText(0, "Ready");
    const CVTND_Designer::RecoveryWrite second = designer.WriteRecoveryCopy();
    const std::string saidAgain = Status(designer);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &was), 0);
    EXPECT_EQ(first, CVTND_Designer::RecoveryWrite::kFailed);
    EXPECT_EQ(second, CVTND_Designer::RecoveryWrite::kFailed);
    EXPECT_NE(said.find("no recovery copy"), std::string::npos) << said;
    EXPECT_NE(said.find("File too large"), std::string::npos) << said;
    EXPECT_EQ(saidAgain, "Ready");
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(designer.WriteRecoveryCopy(), CVTND_Designer::RecoveryWrite::kWritten);
    EXPECT_NE(Status(designer).find("written again"), std::string::npos) << Status(designer);
    EXPECT_TRUE(std::filesystem::exists(path));
    designer.Exit();
}

// The timer's copy goes to the disk on a thread of its own while the window answers: how it ended is said as a copy
// written at once says it, when the frame's timer finds it ended, and a save meanwhile waits for it, so the copy
// does not come back after the save deleted it.
TEST_F(RecoveryCopy, ACopyWrittenInTheBackgroundIsToldAsItEndsAndGoesWithTheSave)
{
    pf::ignoreFileSizeSignal();
    CVTND_Designer designer;
    ASSERT_TRUE(designer.Start(designertest::TestStartOptions(path)));
    designer.GetApp()->SetModified();
    const auto statusOnceEnded = [&](const std::string& wanted) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (Status(designer).find(wanted) == std::string::npos && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            sim().advance(kRecoveryCollectMs);
        }
        return Status(designer);
    };
    rlimit was{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &was), 0);
    rlimit small = was;
    small.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const CVTND_Designer::RecoveryWrite failing = designer.WriteRecoveryCopy(true);
    const std::string said = statusOnceEnded("no recovery copy");
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &was), 0);
    EXPECT_EQ(failing, CVTND_Designer::RecoveryWrite::kStarted);
    EXPECT_NE(said.find("File too large"), std::string::npos) << said;
    EXPECT_FALSE(std::filesystem::exists(path));

    EXPECT_EQ(designer.WriteRecoveryCopy(true), CVTND_Designer::RecoveryWrite::kStarted);
    EXPECT_NE(statusOnceEnded("written again").find("written again"), std::string::npos) << Status(designer);
    EXPECT_TRUE(std::filesystem::exists(path));

    const std::string project = folder + "/saved.vtp";
    EXPECT_EQ(designer.WriteRecoveryCopy(true), CVTND_Designer::RecoveryWrite::kStarted);
    ASSERT_TRUE(designer.SaveTo(project));
    EXPECT_FALSE(std::filesystem::exists(path)) << "the copy outlived the save";
    sim().advance(10 * kRecoveryCollectMs);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(designer.GetApp()->IsModified());
    designer.Exit();
}

// A second designer keeps no copy while the first holds it, and takes it over once the first has ended; what the
// first left (it was killed) is moved aside, not written over.
TEST_F(RecoveryCopy, ASecondDesignerTakesTheCopyOverOnceTheFirstHasEnded)
{
    auto first = std::make_unique<CVTND_Recovery>(path);
    ASSERT_TRUE(first->IsOwner());
    CVTND_Designer designer;
    ASSERT_TRUE(designer.Start(designertest::TestStartOptions(path)));
    designer.GetApp()->SetModified();
    EXPECT_EQ(designer.WriteRecoveryCopy(), CVTND_Designer::RecoveryWrite::kNotNeeded);
    EXPECT_FALSE(std::filesystem::exists(path));
    WriteCopy(sample);
    first.reset();
    EXPECT_EQ(designer.WriteRecoveryCopy(), CVTND_Designer::RecoveryWrite::kWritten);
    EXPECT_TRUE(designer.GetRecovery()->IsOwner());
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(KeptAside().size(), 1u);
    designer.Exit();
}

// A preview holds passing frames: the copy is written as it starts, holding the project as made, and an end during
// it names a copy only when one was written.
TEST_F(RecoveryCopy, APreviewStartsWithACopyAndAnEndNamesOnlyACopyWritten)
{
    for (const bool changedBefore : {true, false}) {
        SCOPED_TRACE(changedBefore ? "changed before the preview" : "changed during it");
        std::filesystem::remove(path);
        CVTND_Designer designer;
        ASSERT_TRUE(designer.Start(designertest::TestStartOptions(path)));
        if (changedBefore)
            designer.GetApp()->SetModified();
        ASSERT_TRUE(designer.StartPreview());
        designer.GetApp()->SetModified();
        EXPECT_EQ(std::filesystem::exists(path), changedBefore);
        const std::string line = designer.KeepUnsavedWork("ended");
        EXPECT_EQ(line.find(path) != std::string::npos, changedBefore) << line;
        designer.StopPreview();
        designer.Exit();
    }
}

} // namespace
