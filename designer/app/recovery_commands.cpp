// The designer's recovery copy and preferences commands.
#include <filesystem>

#include "designer/app/designer_app.h"
#include "designer/app/editor_settings.h"
#include "designer/app/extended_world.h"
#include "designer/app/main_frame.h"
#include "designer/app/project.h"
#include "designer/app/recovery.h"
#include "designer/app/startup.h"
#include "designer/app/user_dialogs.h"
#include "platform/base/atomic_file.h"
#include "platform/ui/providers/providers.h"

void CVTND_Designer::OfferRecoveryCopy()
{
    if (m_recovery == nullptr || !m_recovery->IsOwner() || !m_recovery->Exists())
        return;
    const int32_t answer =
        pf::messageBox(m_frame->hwnd(),
                       "Vortan did not end normally last time. A recovery copy of the project you were working on "
                       "was kept.\nOpen it now? (No deletes it.)",
                       "Vortan", pf::MB_YESNO | pf::MB_ICONQUESTION);
    if (answer != pf::IDYES) {
        m_recovery->Delete();
        return;
    }
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
            return;
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
        return;
    BuildWorkspace(&loaded);
    // An untitled project, modified until it is saved somewhere; the copy stays until then.
    RememberProjectFile({}, std::nullopt);
    m_app->SetModified();
    UpdateTitle();
    DrainReports();
}

void CVTND_Designer::WriteRecoveryCopy()
{
    // A publish holds the world for its whole run: the copy, and the question whether an open editor changed
    // anything, wait for the next interval.
    if (m_recovery == nullptr || !m_recovery->IsOwner() || m_app == nullptr || m_publishing || !m_app->IsModified())
        return;
    CVTND_Project* project = m_app->GetProject();
    if (project == nullptr)
        return;
    // A running preview holds a passing frame, not the project as made: the copy waits for the next interval after
    // the preview stops, and the last one stands meanwhile.
    if (m_app->GetWorld()->IsRunning())
        return;
    // The render thread holds the lock for each whole frame and lets go only between frames: on a large project
    // a try at the timer's moment almost never lands in that gap, and no copy was ever made. Its frame ends soon,
    // so the copy waits for it; only the publish worker, which holds the world for its whole run, is not waited for
    // (the copy comes at the next interval).
    SWworld& world = *m_app->GetWorld();
    if (!world.TryLock()) {
        if (m_publishing)
            return;
        world.Lock();
    }
    std::vector<uint8_t> bytes;
    const bool written = project->WriteBytes(bytes, m_app->GetGradientStore());
    world.Unlock();
    if (written)
        pf::writeFileAtomically(m_recovery->Path(),
                                std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void CVTND_Designer::Preferences()
{
    if (m_frame != nullptr && m_settings != nullptr)
        RunPreferencesDialog(*m_frame, *m_settings, m_app != nullptr ? m_app->GetEditorEngine() : nullptr);
}
