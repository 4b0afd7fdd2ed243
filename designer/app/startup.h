#pragma once
// CVTND_Designer: the running designer: start-up in the order the workspace needs (the driver manager, the
// settings and the recent files, the "Viewer" switches, the save-finished event, the later parts' window classes,
// the shared editor images, the main frame on the work area, the 17 ms timer, then the workspace), the loop, the
// project commands and the shutdown. The executable only parses its command line, picks the display and calls
// Start, Run and Exit; tests run the same start-up in-process on their own window system.
//
// Threads: everything here runs on the user-interface thread except the timer's callback (it only sets the
// world's redraw event, through a pointer swapped under m_timerLock) and the report and stuck-thread callbacks.
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "designer/app/app_component.h"
#include "designer/app/preview_start.h"
#include "designer/app/project.h"
#include "designer/app/render_thread.h"
#include "designer/app/report_sink.h"
#include "engine/core/sync_event.h"
#include "platform/base/file_stamp.h"
#include "platform/settings/settings_store.h"

namespace pf {
class MmTimer;
class Profile;
class Window;
} // namespace pf
class CChildRenderFrame;
class CChildRenderView;
class CMainFrame;
class CVTND_AppComponent;
class CVTND_EditorSettings;
class CVTND_ExtendedWorld;
class CVTND_Recovery;
class CVTN_SubWorldInstance;
class CVTNDesignerApp;
class SWbackground;
class SWgeometry;
class SWnode;
class SWtexture;
class SWworld;

// The application's own editor settings.
inline constexpr uint32_t kSettingRecoveryInterval = 30; // seconds between recovery copies; 0: none
inline constexpr uint32_t kSettingSnapshotQuality = 31;  // JPEG quality of snapshots

struct CVTND_StartOptions {
    std::optional<std::string> project;       // opened after the workspace is built, as Open Project does
    std::unique_ptr<pf::SettingsStore> store; // null: the process's default settings file
    bool developerRun = false;                // --screenshot: no first-run question, no recovery offer
    uint32_t exitAfterMs = 0;                 // WM_CLOSE after this long; 0: never
    std::string recoveryPath;                 // empty: the default place
    std::chrono::milliseconds joinTimeout = CVTN_ThreadHandler::kJoinTimeout;
    // The views draw at normal scheduling a few nice steps behind the user-interface thread: menus and typing come
    // first, yet background work cannot starve the preview a person watches. A test waiting for frames beside other
    // busy tests asks for normal.
    CVTN_ThreadHandler::Priority renderPriority = CVTN_ThreadHandler::Priority::kLow;
};

class CVTND_Designer {
public:
    static constexpr const char* kProfileKey = "Software\\Brenix\\Vortan";
    static constexpr const char* kViewingKey = "Software\\Brenix\\Vortan\\Common\\Local Viewing Configuration";
    static constexpr const char* kNavigationKey = "Software\\Brenix\\Vortan\\Common\\Navigation";
    static constexpr size_t kRecentFiles = 4;

    CVTND_Designer(); // the report sink and the stuck-thread reporter, before anything can report
    ~CVTND_Designer();
    CVTND_Designer(const CVTND_Designer&) = delete;
    CVTND_Designer& operator=(const CVTND_Designer&) = delete;

    static CVTND_Designer* Current(); // the one started last; null when none runs

    // The settings start-up reads, read as it reads them: the recent files (most recent first, at most
    // kRecentFiles, empty entries skipped) and the viewing and navigation configuration (made when missing).
    static std::vector<std::string> ReadRecentFiles(const pf::Profile& profile);
    static void ReadViewingConfiguration(pf::SettingsStore& store);

    bool Start(CVTND_StartOptions options); // on the current pf::Ui; false: no main frame could be made
    int Run();                              // the loop, until the frame has closed
    void Exit();                            // what remains of the shutdown; once

    // -- Commands (user-interface thread)
    bool NewProject();
    bool OpenProject(); // through the file dialog
    bool OpenProjectFile(const std::string& path, bool askFirst = true);
    void OpenRecent(size_t index);
    bool Save();
    bool SaveAs();
    bool SaveTo(const std::string& path);
    bool AddSceneFile(); // through the file dialog
    bool AddSceneFilePath(const std::string& path);
    CChildRenderView* NewView();
    void CloseActiveView(); // the front 3D view or player: the active child when it is one; never another kind
    bool StartPreview();
    bool StopPreview();
    bool Snapshot(); // through the file dialog
    bool SnapshotTo(const std::string& path);
    // Publishing: the ".vto" through the save dialog, the preview stopped, the schemes chosen in the publish dialog
    // (skipped when chooseSchemes is false), the worker run behind the wait dialog; the HTML page when the project
    // asks for it. False: cancelled or failed (one box says why; nothing half written).
    bool Publish();
    bool PublishTo(const std::string& path, bool chooseSchemes = true);
    // A published world in a player frame of its own, running at once as a visitor's player runs it; the project
    // never sees it. Null: cancelled, or the file was refused (one box names it and the cause).
    CChildRenderFrame* OpenPublishedWorld();
    CChildRenderFrame* OpenPublishedFile(const std::string& path);
    std::vector<CChildRenderFrame*> Players() const;
    void RunTool(uint32_t command);
    bool HasTool(uint32_t command) const;
    void ShowSettingsWarnings(); // those not yet shown, in one box; after each turn of the loop
    void Preferences();
    void Close();   // the frame's close: the save question, then the shutdown; Cancel keeps everything
    bool AskSave(); // true: go on (saved, or not wanted); false: Cancel

    // -- Reached by the frame
    void DrainReports();
    void OnRenderFault();
    void RunPreviewUnloads(); // what the project's preview queued (CVTND_ExtendedWorld::TakeUnloads)
    // The recovery timer's copy: written when the project is modified and no preview or publish runs; a copy that
    // cannot be written is said in the status bar once, and again once it is written again. In the background, the
    // copy goes to the disk on a thread of its own (kStarted), and CollectRecoveryCopy, on the frame's timer, tells
    // how that ended.
    enum class RecoveryWrite { kNotNeeded, kWritten, kFailed, kStarted };
    RecoveryWrite WriteRecoveryCopy(bool background = false);
    void CollectRecoveryCopy();
    // An end nobody could be asked about (how: what happened): the unsaved work kept in the recovery copy where it
    // can be, and the line that says where, or why it could not be; mayAsk false: nothing is asked of the project,
    // only what is kept already is said. KeepWorkOnLostDisplay stops the views' thread first and draws nothing.
    std::string KeepUnsavedWork(const std::string& how, bool mayAsk = true);
    std::string KeepWorkOnLostDisplay(bool onUiThread);
    void UpdateCommandStates();

    // -- State
    CVTNDesignerApp* GetApp() const { return m_app.get(); }
    CMainFrame* GetMainFrame() const { return m_frame; }
    CVTND_ExtendedWorld* GetWorld() const;
    CChildRenderView* ActiveView() const; // the active project view (a player frame's view when one is active)
    SWworld* ActiveWorld() const;         // the active player's world, else the project's
    std::vector<CChildRenderView*> Views() const;
    CVTND_RenderThread& GetRenderThread() { return *m_renderThread; }
    CVTND_ReportSink& GetReportSink() { return m_sink; }
    CVTND_EditorSettings* GetSettings() const { return m_settings.get(); }
    pf::SettingsStore& GetStore() const { return *m_store; }
    CVTN_SyncEvent& GetSaveFinished() { return m_saveFinished; }
    const std::string& GetProjectPath() const { return m_projectPath; }
    const std::vector<std::string>& GetRecentFiles() const { return m_recent; }
    bool IsPreviewRunning() const;
    // A background the project took while its preview runs (a scene file's, answered Yes) is the project's own: the
    // stop keeps it instead of putting back the one kept at Start.
    void KeepProjectBackground(SWworld& world);
    bool HasClosed() const { return m_closed; }
    bool ProjectRefused() const { return m_projectRefused; } // the project the start was given did not open
    std::vector<std::string> StuckThreads() const;
    CVTND_Recovery* GetRecovery() const { return m_recovery.get(); }
    // The workspace's build steps as they ran, for tests of the order ("engine", "panels", ...).
    const std::vector<std::string>& Steps() const { return m_steps; }

private:
    struct LoadedWorkspace {
        CVTND_Project::LoadResult result;
    };
    void BuildWorkspace(LoadedWorkspace* loaded);
    bool TearDownWorkspace(); // false when the render thread had to be left behind
    void AddRecent(const std::string& path);
    void DropRecent(const std::string& path);
    void SaveRecent();
    void UpdateTitle();
    // The workspace's first child after the first view stands in the client's bottom-right corner, in front, covering
    // at most the view's own bottom-right corner: the middle of the view, where its world is framed, stays in sight.
    void PlaceBesideFirstView(pf::Window& child) const;
    CChildRenderFrame* FrontRenderFrame() const; // the active child when it shows a world, else the topmost that does
    void SetTimerWorld(SWworld* world);
    void ShowError(const std::string& text);
    void KeepAliveAfterStuckThread();
    bool OfferRecoveryCopy(); // true: the copy was opened
    RecoveryWrite WriteRecoveryNow(bool tell, bool background = false);
    void NoteRecoveryWrite(bool written, const std::string& error, bool tell);
    void WriteRecoveryCopyAtPreviewStart();
    bool StopProjectPreview();
    void EndPreviewOfProject(CVTND_ExtendedWorld& world);
    // proposed: the file name the dialog offers (with a folder: it opens there).
    // The project file as it was when opened or last saved, and whether path may be written: another path, or the
    // same file unchanged, or a changed one the person said Yes to replacing (project_file_guard.cpp).
    void RememberProjectFile(const std::string& path, std::optional<pf::FileStamp> stamp);
    bool MayReplaceProjectFile(const std::string& path);
    bool SaveOverReadOnly(); // the project's own file is read-only: says so, nothing written, offers Save As
    std::optional<std::string> BrowseFile(bool save, int32_t category, const std::string& filter,
                                          const std::string& extension, const std::string& title,
                                          const std::string& proposed = {});
    std::string ProjectStem() const; // the project file's name without its extension; "Untitled" before a save

    CVTND_ReportSink m_sink;
    std::unique_ptr<pf::SettingsStore> m_store;
    size_t m_settingsWarningsShown = 0;
    bool m_projectRefused = false;
    bool m_publishing = false; // the publish worker holds the world's lock for its whole run
    std::unique_ptr<pf::Profile> m_profile;
    std::unique_ptr<CVTND_EditorSettings> m_settings;
    std::unique_ptr<CVTNDesignerApp> m_app;
    std::unique_ptr<CVTND_AppComponent> m_panels;
    std::unique_ptr<CVTND_RenderThread> m_renderThread;
    CVTN_ThreadHandler::Priority m_renderPriority = CVTN_ThreadHandler::Priority::kLow;
    std::unique_ptr<CVTND_Recovery> m_recovery;
    std::string m_recoveredFrom; // the project an opened recovery copy was made from, while it is untitled
    std::string m_recoveryError; // why the last copy was not written
    bool m_recoveryFailing = false;
    bool m_previewStartModified = false; // as the project's preview started
    bool m_previewCopyKept = false;      // the copy then written holds the project as made
    CVTN_SyncEvent m_saveFinished{true, false};
    CMainFrame* m_frame = nullptr; // owned by its window
    std::unique_ptr<pf::MmTimer> m_timer;
    std::mutex m_timerLock; // guards m_timerWorld against the timer's thread
    SWworld* m_timerWorld = nullptr;
    std::mutex m_faultLock; // guards m_faultText, written on the render thread
    std::string m_faultText;
    SWworld* m_faultWorld = nullptr;
    CVTND_PreviewStart m_previewStart; // while a preview of the project runs
    std::vector<std::string> m_recent;
    std::string m_projectPath;
    std::optional<pf::FileStamp> m_projectStamp; // of m_projectPath when it was opened or saved
    std::vector<std::string> m_steps;
    bool m_developerRun = false;
    bool m_started = false;
    bool m_closed = false;
    bool m_exited = false;
    bool m_timerPeriod = false;
};
