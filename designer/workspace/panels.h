#pragma once
// CVTND_Panels: the ten docking panels of the designer, made once with the main frame and kept until exit. It is the
// frame's dock site (the docked bars take their edges before the MDI client gets the rest), adds a show-and-hide
// entry per panel to the View menu, reads each bar's place from the settings at start and writes it at the end.
#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "designer/app/app_component.h"
#include "designer/app/designer_app.h"
#include "designer/workspace/dock_state.h"
#include "designer/workspace/sizing_bar.h"
#include "platform/ui/frame/frame_window.h"

namespace pf {
class Profile;
}
class CVTNDesignerApp;
class CVTND_PanelDlg;

class CVTND_Panels final : public CVTND_AppComponent, public pf::DockSite, public CVTND_DockHost {
public:
    static constexpr size_t kCount = 10;
    static constexpr uint32_t kFirstViewCommand = 25200; // ten in a row, in bar order

    // profile: where the bars' places are kept, outliving this; null keeps them nowhere.
    CVTND_Panels(CVTNDesignerApp& app, pf::FrameWindow& frame, pf::Profile* profile);
    CVTND_Panels(CVTNDesignerApp& app, pf::FrameWindow& frame, std::unique_ptr<pf::Profile> profile); // owned
    ~CVTND_Panels() override; // the places written, the bars gone, the frame without a site

    // The default place of bar index in a frame whose screen rectangle is frame.
    static CVTND_DockState DefaultState(size_t index, const pf::Rect& frame);
    static const char* BarName(size_t index); // "SceneGraph", ... as the settings sections name them
    CVTND_SizingBar& Bar(size_t index) const { return *m_bars[index]; }
    CVTND_SizingBar* FindBar(PanelRole role) const;
    std::vector<CVTND_DockState> States() const;
    void SaveStates() const;

    // -- pf::DockSite
    pf::Rect layoutDocked(const pf::Rect& area) override;
    bool dockCommand(uint32_t id) override;
    std::vector<pf::Window*> panes() const override; // the shown panels' contents, in bar order
    // -- CVTND_DockHost
    void BarChanged() override;
    void MoveSplitter(CVTND_SizingBar& bar, int32_t length) override;
    void ResizeSide(CVTND_SizingBar& bar, int32_t size) override;
    std::optional<CVTND_DockTarget> DockTargetAt(const CVTND_SizingBar& bar, pf::Point screen) const override;

private:
    void UpdateMenu();
    size_t NextOnSide(size_t index) const;            // the next docked, shown bar on index's side; kCount when none
    size_t IndexOf(const CVTND_SizingBar& bar) const; // kCount for a bar not ours

    CVTNDesignerApp& m_app;
    pf::FrameWindow& m_frame; // the designer's; it outlives the panels
    std::unique_ptr<pf::Profile> m_ownedProfile;
    pf::Profile* m_profile; // m_ownedProfile's or the caller's; may be null
    std::array<std::unique_ptr<CVTND_SizingBar>, kCount> m_bars;
    pf::Rect m_dockArea; // what the frame's last layout gave the bars, frame client coordinates
    bool m_inLayout = false;
};
