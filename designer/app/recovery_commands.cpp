// The designer's recovery copy and preferences commands.
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "designer/app/designer_app.h"
#include "designer/app/editor_settings.h"
#include "designer/app/extended_world.h"
#include "designer/app/main_frame.h"
#include "designer/app/project.h"
#include "designer/app/recovery.h"
#include "designer/app/startup.h"
#include "designer/app/user_dialogs.h"
#include "engine/core/document_file.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/providers/providers.h"

namespace {

std::string LocalTime(std::time_t when)
{
    std::tm local{};
    char text[32] = {};
    if (::localtime_r(&when, &local) == nullptr || std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local) == 0)
        return {};
    return text;
}

} // namespace

bool CVTND_Designer::OfferRecoveryCopy()
{
    if (m_recovery == nullptr || !m_recovery->IsOwner() || !m_recovery->Exists())
        return false;
    // Where it came from, so that a person knows where to save it.
    const CVTND_Recovery::Origin origin = m_recovery->ReadOrigin();
    std::string made = origin.project.empty() ? std::string() : "It was made from " + origin.project;
    if (origin.written) {
        const std::string when = LocalTime(*origin.written);
        made += made.empty() ? "It was written " + when : ", written " + when;
    }
    if (!made.empty())
        made = "\n" + made + ".";
    const int32_t answer =
        pf::messageBox(m_frame->hwnd(),
                       "Vortan did not end normally last time. A recovery copy of the project you were working on "
                       "was kept." +
                           made + "\nOpen it now? (No deletes it; Cancel keeps it for the next start.)",
                       "Vortan", pf::MB_YESNOCANCEL | pf::MB_ICONQUESTION);
    // Only No drops it: a box closed, escaped or ended by a signal (each a Cancel) leaves it for the next start.
    if (answer == pf::IDNO)
        m_recovery->DeleteEarlier();
    if (answer != pf::IDYES)
        return false;
    CVTND_Project::LoadResult result = CVTND_Project::LoadFile(m_recovery->Path(), m_settings.get());
    if (!result.ok()) {
        // Moved aside, never deleted; then what the container's lenient read still finds is opened.
        const std::optional<std::string> aside = m_recovery->MoveAside();
        const std::string where =
            aside ? "It was kept as " + *aside + "." : "It was left at " + m_recovery->Path() + ".";
        CVTND_Project::LoadResult damaged =
            CVTND_Project::LoadDamagedFile(aside.value_or(m_recovery->Path()), m_settings.get());
        if (!damaged.ok()) {
            ShowError("The recovery copy cannot be read: " + result.message + "\n" + where);
            return false;
        }
        pf::messageBox(m_frame->hwnd(),
                       "The recovery copy was damaged (" + result.message + "); what could still be read is opened.\n" +
                           where,
                       "Vortan", pf::MB_OK | pf::MB_ICONEXCLAMATION);
        result = std::move(damaged);
    }
    LoadedWorkspace loaded;
    loaded.result = std::move(result);
    if (!TearDownWorkspace())
        return false;
    m_recovery->Adopt();
    BuildWorkspace(&loaded);
    // An untitled project, modified until it is saved somewhere; the copy stays until then.
    RememberProjectFile({}, std::nullopt);
    m_recoveredFrom = origin.project;
    m_app->SetModified();
    UpdateTitle();
    DrainReports();
    return true;
}

CVTND_Designer::RecoveryWrite CVTND_Designer::WriteRecoveryCopy(bool background)
{
    if (m_recovery == nullptr || m_app == nullptr || m_app->GetProject() == nullptr)
        return RecoveryWrite::kNotNeeded;
    if (!m_recovery->IsOwner()) {
        // The designer that kept the copy has ended: this one keeps it from now on.
        if (!m_recovery->TakeOver())
            return RecoveryWrite::kNotNeeded;
        if (m_frame != nullptr)
            m_frame->SetPaneText(0, "The designer that kept the recovery copy has ended: this one keeps it now");
    }
    // Cheap questions first. A publish holds the world for its whole run: the copy, and the question whether an
    // open editor changed anything, wait for the next interval. A running preview holds a passing frame, not the
    // project as made: the copy written as it started stands.
    if (m_publishing || m_app->GetWorld()->IsRunning() || !m_app->IsModified())
        return RecoveryWrite::kNotNeeded;
    return WriteRecoveryNow(true, background);
}

CVTND_Designer::RecoveryWrite CVTND_Designer::WriteRecoveryNow(bool tell, bool background)
{
    // One copy at a time, each told in its turn.
    if (const std::optional<CVTND_Recovery::BackgroundWrite> ended = m_recovery->TakeBackground(true))
        NoteRecoveryWrite(ended->written, ended->error, tell);
    CVTND_Project* project = m_app->GetProject();
    std::string error;
    std::optional<std::string> aside;
    bool written = m_recovery->BeginWrite(error, &aside);
    if (tell && m_frame != nullptr && aside)
        m_frame->SetPaneText(0, "The recovery copy an earlier run left was kept as " + *aside);
    // The window cannot answer while the copy is made (in the background, while its document is); an end that asks
    // nothing draws nothing.
    std::optional<pf::WaitCursor> wait;
    if (tell && pf::hasUi())
        wait.emplace();
    std::unique_ptr<SWdocumentwriter> document;
    if (written) {
        // The render thread holds the lock for each whole frame and lets go only between frames: on a large project
        // a try at the timer's moment almost never lands in that gap, and no copy was ever made. Its frame ends
        // soon, so the copy waits for it; only the publish worker, which holds the world for its whole run, is not
        // waited for.
        SWworld& world = *m_app->GetWorld();
        const bool held = world.TryLock();
        if (!held && m_publishing) {
            error = "a publish holds the project";
        } else {
            if (!held)
                world.Lock();
            document = project->MakeDocument(m_recovery->Path(), m_app->GetGradientStore(), error);
            world.Unlock();
        }
        written = document != nullptr;
    }
    const std::string origin = m_projectPath.empty() ? m_recoveredFrom : m_projectPath;
    if (written && background) {
        // Made, the document needs nothing of the project: the window answers while it goes to the disk, and the
        // frame takes how that ended (CollectRecoveryCopy).
        m_recovery->WriteInBackground(
            [document = std::shared_ptr<SWdocumentwriter>(std::move(document)), path = m_recovery->Path()](
                std::string& cause) { return CVTND_Project::WriteDocument(path, *document, cause); },
            origin);
        if (m_frame != nullptr)
            m_frame->setTimer(kRecoveryCollectTimer, kRecoveryCollectMs);
        return RecoveryWrite::kStarted;
    }
    if (written) {
        written = CVTND_Project::WriteDocument(m_recovery->Path(), *document, error);
        document.reset();
    }
    if (written)
        m_recovery->Written(origin);
    NoteRecoveryWrite(written, error, tell);
    return written ? RecoveryWrite::kWritten : RecoveryWrite::kFailed;
}

void CVTND_Designer::CollectRecoveryCopy()
{
    if (m_recovery == nullptr)
        return;
    const std::optional<CVTND_Recovery::BackgroundWrite> ended = m_recovery->TakeBackground(false);
    // Taken here, or already by what had to wait for it (a save, the next copy).
    if (!m_recovery->HasBackground() && m_frame != nullptr)
        m_frame->killTimer(kRecoveryCollectTimer);
    if (ended)
        NoteRecoveryWrite(ended->written, ended->error, true);
}

void CVTND_Designer::NoteRecoveryWrite(bool written, const std::string& error, bool tell)
{
    m_recoveryError = written ? std::string() : error;
    if (tell && m_frame != nullptr) {
        // Said once as it starts failing, and once as it works again; the last good copy stays meanwhile.
        if (!written && !m_recoveryFailing)
            m_frame->SetPaneText(0, "Unsaved work has no recovery copy: " + error);
        else if (written && m_recoveryFailing)
            m_frame->SetPaneText(0, "The recovery copy is written again: " + m_recovery->Path());
        m_recoveryFailing = !written;
    }
}

void CVTND_Designer::WriteRecoveryCopyAtPreviewStart()
{
    m_previewStartModified = m_app->IsModified();
    m_previewCopyKept = m_previewStartModified && m_recovery != nullptr && !m_publishing &&
                        (m_recovery->IsOwner() || m_recovery->TakeOver()) &&
                        WriteRecoveryNow(true) == RecoveryWrite::kWritten;
}

std::string CVTND_Designer::KeepUnsavedWork(const std::string& how, bool mayAsk)
{
    const std::string offered = " and is offered at the next start";
    if (!m_started || m_app == nullptr || m_app->GetProject() == nullptr || m_recovery == nullptr)
        return how + "; nothing was left unsaved";
    // Elsewhere than on the user-interface thread, or with the views' thread stuck, nothing may be asked of the
    // project: the one may be halfway through a change, the other may hold the world.
    const bool modified = mayAsk ? m_app->IsModified() : m_previewStartModified;
    if (m_app->GetWorld()->IsRunning()) {
        if (m_previewCopyKept)
            return how + "; the unsaved work, as it stood when the preview started, is in " + m_recovery->Path() +
                   offered;
        if (!modified && !m_previewStartModified)
            return how + "; nothing was left unsaved";
        return how + "; the unsaved work is lost: " +
               (m_recoveryError.empty() ? std::string("it was changed while the preview ran") : m_recoveryError);
    }
    if (!mayAsk)
        return how + "; any unsaved work is lost (the designer was busy)";
    if (!modified)
        return how + "; nothing was left unsaved";
    if (!m_recovery->IsOwner() && !m_recovery->TakeOver())
        return how + "; the unsaved work is lost (another designer keeps the recovery copy)";
    if (WriteRecoveryNow(false) != RecoveryWrite::kWritten)
        return how + "; the unsaved work is lost: " + m_recoveryError;
    return how + "; the unsaved work is in " + m_recovery->Path() + offered;
}

std::string CVTND_Designer::KeepWorkOnLostDisplay(bool onUiThread)
{
    const std::string how = "the display was lost";
    // Nothing may draw or ask now; the views' thread stops before the copy is made, or nothing is written. A running
    // preview's copy was written as it started and needs nothing of the world.
    const bool stopped = onUiThread && (m_renderThread == nullptr || m_renderThread->Stop());
    const bool previewing = m_app != nullptr && m_app->GetWorld() != nullptr && m_app->GetWorld()->IsRunning();
    if (onUiThread && !stopped && !previewing)
        return how + "; the unsaved work is lost: the views' thread did not stop";
    return KeepUnsavedWork(how, onUiThread && stopped);
}

void CVTND_Designer::Preferences()
{
    if (m_frame != nullptr && m_settings != nullptr)
        RunPreferencesDialog(*m_frame, *m_settings, m_app != nullptr ? m_app->GetEditorEngine() : nullptr);
}
