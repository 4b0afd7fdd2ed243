// The project file is written over only when it is still the file the designer read or last wrote: another
// program may have written it meanwhile (in place, cut short, or a new file renamed over it), and a save would
// lose that work without a word.
#include <filesystem>
#include <utility>

#include "designer/app/designer_app.h"
#include "designer/app/main_frame.h"
#include "designer/app/project.h"
#include "designer/app/startup.h"
#include "platform/base/atomic_file.h"
#include "platform/ui/providers/providers.h"

void CVTND_Designer::RememberProjectFile(const std::string& path, std::optional<pf::FileStamp> stamp)
{
    m_projectPath = path;
    m_projectStamp = path.empty() ? std::nullopt : std::move(stamp);
    // Relative names of the project's files are read beside the project file, wherever the designer started.
    if (CVTND_Project* project = m_app != nullptr ? m_app->GetProject() : nullptr)
        project->SetFolder(path.empty() ? std::string() : std::filesystem::path(path).parent_path().string());
}

bool CVTND_Designer::MayReplaceProjectFile(const std::string& path)
{
    if (path != m_projectPath || !m_projectStamp)
        return true;
    const std::optional<pf::FileStamp> now = pf::fileStampOf(path);
    if (!now || *now == *m_projectStamp)
        return true; // gone since: nothing there to lose
    const int32_t answer = pf::messageBox(m_frame != nullptr ? m_frame->hwnd() : pf::kNoWindow,
                                          path + " was changed by another program after it was opened.\n"
                                                 "Replace it with this project?",
                                          "Vortan", pf::MB_YESNO | pf::MB_ICONEXCLAMATION);
    return answer == pf::IDYES;
}

bool CVTND_Designer::SaveOverReadOnly()
{
    // Its owner made it read-only: it stays as it is, and the work may still go to a file of another name.
    const int32_t answer = pf::messageBox(m_frame != nullptr ? m_frame->hwnd() : pf::kNoWindow,
                                          m_projectPath + " is read-only: nothing was written.\n"
                                                          "Save the project under another name?",
                                          "Vortan", pf::MB_YESNO | pf::MB_ICONEXCLAMATION);
    return answer == pf::IDYES && SaveAs();
}
