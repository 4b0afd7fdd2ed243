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
        ShowError(result.message.empty() ? "The recovery copy cannot be read." : result.message);
        m_recovery->Delete();
        return;
    }
    LoadedWorkspace loaded;
    loaded.result = std::move(result);
    if (!TearDownWorkspace())
        return;
    BuildWorkspace(&loaded);
    m_projectPath.clear(); // an untitled project, modified until it is saved somewhere
    m_app->SetModified();
    UpdateTitle();
    DrainReports();
}

void CVTND_Designer::WriteRecoveryCopy()
{
    if (m_recovery == nullptr || !m_recovery->IsOwner() || m_app == nullptr || !m_app->IsModified())
        return;
    CVTND_Project* project = m_app->GetProject();
    if (project == nullptr)
        return;
    // A world held elsewhere (the publish worker) is copied at the next interval rather than stall the loop.
    SWworld& world = *m_app->GetWorld();
    if (!world.TryLock())
        return;
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
