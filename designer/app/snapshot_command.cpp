// The designer's Snapshot command: the active 3D view drawn again at its size and written as a picture.
#include <optional>
#include <string>

#include "designer/app/child_render_view.h"
#include "designer/app/editor_settings.h"
#include "designer/app/snapshot.h"
#include "designer/app/startup.h"
#include "engine/core/window.h"
#include "engine/core/world.h"
#include "platform/ui/core/ui.h"

namespace {

constexpr const char* kSnapshotFilter = "JPEG pictures (*.jpg)|*.jpg|Transparent PNG pictures (*.png)|*.png||";

} // namespace

bool CVTND_Designer::Snapshot()
{
    if (ActiveView() == nullptr)
        return false;
    // The folder chosen is kept only once the picture is written there: the next snapshot started in the folder
    // that had just refused one.
    const std::string folder = m_settings->GetDirectory(BrowseCategory::kSnapshots);
    const auto path = BrowseFile(true, static_cast<int32_t>(BrowseCategory::kSnapshots), kSnapshotFilter, "jpg",
                                 "Snapshot", ProjectStem() + ".jpg");
    if (!path)
        return false;
    if (SnapshotTo(*path))
        return true;
    m_settings->SetDirectory(BrowseCategory::kSnapshots, folder);
    return false;
}

bool CVTND_Designer::SnapshotTo(const std::string& path)
{
    CChildRenderView* view = ActiveView();
    if (view == nullptr || view->GetEngineWindow() == nullptr)
        return false;
    const pf::Rect client = view->clientRect();
    std::string error;
    std::optional<CVTND_Snapshot> shot;
    {
        const pf::WaitCursor wait;
        const SWworldlock hold(view->GetWorld());
        shot = DrawSnapshot(view->GetWorld(), view->GetEngineWindow()->GetCameraNode(),
                            static_cast<int32_t>(client.width()), static_cast<int32_t>(client.height()), error);
    }
    const int quality = static_cast<int>(m_settings->GetDword(kSettingSnapshotQuality));
    if (!shot || !WriteSnapshot(path, *shot, quality, error)) {
        ShowError("Cannot write the snapshot " + path + ": " + error + ".");
        return false;
    }
    return true;
}
