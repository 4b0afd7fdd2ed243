#pragma once
// CMainFrame: the designer's main window: menu and accelerators 128, the tool bar, the four-pane status bar and the
// MDI client that holds the 3D views and the later parts' frames. Its commands go to the designer (CVTND_Designer);
// it keeps the state of a drag that the editor engine runs (BeginDrag) and shows the queued resource reports.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui/frame/frame_window.h"

class CVTND_Designer;

// Commands of menu 128.
enum MainCommand : uint32_t {
    kCmdNewProject = 57600,
    kCmdOpenProject = 57601,
    kCmdSave = 57603,
    kCmdSaveAs = 57604,
    kCmdRecentFirst = 57616, // four in a row
    kCmdExit = 57665,
    kCmdAddSceneFile = 32800,
    kCmdOpenPublished = 32801,
    kCmdPublish = 32802,
    kCmdSnapshot = 32803,
    kCmdNewView = 32810,
    kCmdCloseView = 32811,
    kCmdNewEventMap = 32771, // the event map tool bar's own "new window", so that a closed map can come back
    kCmdStart = 32820,
    kCmdStop = 32821,
    kCmdScaleCenter = 32830,
    kCmdRemoveSceneFiles = 32831,
    kCmdSynchronizeSceneFiles = 32832,
    kCmdPreferences = 32833,
};

inline constexpr uint32_t kMainMenu = 128;
inline constexpr uint32_t kMsgRenderFault = 0x400 + 301;    // wParam: the faulted world; the text waits in the designer
inline constexpr uint32_t kMsgUpdateCommands = 0x400 + 302; // the active frame or a world's running state changed
inline constexpr uint32_t kMsgPreviewUnloads = 0x400 + 303; // the preview queued unloads of sub-worlds
inline constexpr uint32_t kRecoveryTimer = 17;
inline constexpr uint32_t kExitTimer = 18;
inline constexpr uint32_t kRecoveryCollectTimer = 19; // while a recovery copy goes to the disk in the background
inline constexpr uint32_t kRecoveryCollectMs = 100;

// The menu, accelerators and tool bar of the frame, registered once per process.
void RegisterMainFrameResources();

class CMainFrame final : public pf::FrameWindow {
public:
    explicit CMainFrame(CVTND_Designer& designer) : m_designer(designer) {}
    // The least size of the main window, frame included, at which every panel stays readable.
    static constexpr int32_t kMinimumWidth = 640;
    static constexpr int32_t kMinimumHeight = 480;

    bool Create(const pf::Rect& rect);
    // The menu's recent-file entries, most recent first (up to four).
    void SetRecentFiles(const std::vector<std::string>& paths);
    // Menu items and tool-bar buttons follow what can be done now.
    struct CommandStates {
        bool running = false;         // the active world's preview
        bool haveView = false;        // a project view, or an active player: what Start and Snapshot act on
        bool haveRenderFrame = false; // any 3D view or player: what Close 3D View closes
        bool publishable = false;
    };
    void UpdateCommandStates(const CommandStates& states);
    void SetPaneText(int32_t pane, const std::string& text);
    // Where the frame stands when not maximised (screen coordinates), kept while it is, for the next start.
    pf::Rect NormalRect() const { return m_normalRect; }
    bool IsMaximized() const { return (style() & pf::WS_MAXIMIZE) != 0; }

    // -- Dragging for the editor engine: the engine has begun a drag; moves and the release come here.
    void BeginDrag();
    bool IsDragging() const { return m_dragging; }

protected:
    pf::LResult handle(const pf::Msg& msg) override;
    bool handleCommand(uint32_t id, uint32_t code) override;
    void postNcDestroy() override { delete this; } // made with new by the designer; its window owns it

private:
    void EndDrag(bool drop, pf::Point screen);
    void LayOutStatusPanes();

    CVTND_Designer& m_designer;
    bool m_dragging = false;
    std::vector<std::string> m_recent;
    pf::Rect m_normalRect;
};
