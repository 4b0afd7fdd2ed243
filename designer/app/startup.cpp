#include "designer/app/startup.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <thread>
#include <utility>

#include "designer/app/app_component.h"
#include "designer/app/app_registrations.h"
#include "designer/app/child_render_view.h"
#include "designer/app/designer_app.h"
#include "designer/app/designer_utilities.h"
#include "designer/app/editor_settings.h"
#include "designer/app/engine_interface.h"
#include "designer/app/extended_world.h"
#include "designer/app/main_frame.h"
#include "designer/app/notification.h"
#include "designer/app/project.h"
#include "designer/app/publish_dialogs.h"
#include "designer/app/publish_worker.h"
#include "designer/app/recovery.h"
#include "designer/app/registry.h"
#include "designer/app/skipped_records.h"
#include "designer/app/user_dialogs.h"
#include "designer/app/window_placement.h"
#include "engine/core/camera_node.h"
#include "engine/core/hotspot.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/scene_import.h"
#include "engine/core/sub_world_loader.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/thread_handler.h"
#include "engine/core/window.h"
#include "engine/core/world_file.h"
#include "engine/resources/background.h"
#include "engine/resources/geometry.h"
#include "engine/resources/resource_report.h"
#include "engine/resources/texture.h"
#include "platform/base/atomic_file.h"
#include "platform/display/screen.h"
#include "platform/settings/profile.h"
#include "platform/settings/settings_store.h"
#include "platform/time/mm_timer.h"
#include "platform/time/timer_caps.h"
#include "platform/ui/core/message_loop.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/providers/providers.h"
#include "render/render_drivers.h"

namespace {

constexpr uint32_t kTimerPeriodMs = 17;
constexpr const char* kProjectFilter = "Vortan projects (*.vtp)|*.vtp|All files (*.*)|*.*||";
constexpr const char* kSceneFilter = "Scene files (*.vtn)|*.vtn|All files (*.*)|*.*||";
constexpr const char* kPublishedFilter = "Published worlds (*.vto)|*.vto|All files (*.*)|*.*||";

CVTND_Designer* g_current = nullptr;

// Threads that did not end in time, by name; shown once at exit.
std::mutex g_stuckLock;
std::vector<std::string>& StuckList()
{
    static std::vector<std::string> list;
    return list;
}

// What a thread left running may still touch: kept until the process ends, reachable, never deleted.
std::vector<std::unique_ptr<CVTNDesignerApp>>* g_keptAlive = nullptr;

// The recovery interval (seconds, 0 off, its milliseconds 32 bits) and the snapshot quality (a percentage).
const CVTND_SettingRegistration kRecoveryInterval({kSettingRecoveryInterval, "recovery interval", SettingKind::kDword,
                                                   120, "", UINT32_MAX / 1000});
const CVTND_SettingRegistration kSnapshotQuality({kSettingSnapshotQuality, "snapshot quality", SettingKind::kDword, 90,
                                                  "", 100});

std::string FileNameOf(const std::string& path)
{
    return std::filesystem::path(path).filename().string();
}

// The project's path as the recent-file list and the title keep it: a relative one would name another file, or
// none, once the designer starts from another folder.
std::string AbsolutePathOf(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

} // namespace

CVTND_Designer::CVTND_Designer()
{
    // Step 1: the application object's registrations are static; before anything reports, the sink takes over.
    SetResourceReportSink(&m_sink);
    m_sink.Take(TakeKeptResourceReports());
    CVTN_ThreadHandler::SetStuckReporter([](const std::string& name) {
        const std::lock_guard hold(g_stuckLock);
        StuckList().push_back(name);
    });
    g_current = this;
}

CVTND_Designer::~CVTND_Designer()
{
    Exit();
    if (g_current == this)
        g_current = nullptr;
}

CVTND_Designer* CVTND_Designer::Current()
{
    return g_current;
}

void CVTND_Designer::ReadViewingConfiguration(pf::SettingsStore& store)
{
    store.getOrCreateDword(kViewingKey, "antialiasing", 0);
    store.getOrCreateDword(kViewingKey, "supersampling", 1);
    (void)store.valueNames(kNavigationKey);
}

std::vector<std::string> CVTND_Designer::StuckThreads() const
{
    const std::lock_guard hold(g_stuckLock);
    return StuckList();
}

bool CVTND_Designer::Start(CVTND_StartOptions options)
{
    m_developerRun = options.developerRun;
    // Step 2: the renderer's driver manager.
    SWrenderdrivers::Get().Init();
    // Step 4 (the command line was step 3, the caller's): settings, recent files, the "Viewer" switches.
    m_store = options.store != nullptr ? std::move(options.store) : pf::SettingsStore::openDefault();
    const pf::SettingsStore::Batch batch(*m_store); // the defaults a first start creates: one write
    m_profile = std::make_unique<pf::Profile>(*m_store, kProfileKey);
    m_recent = ReadRecentFiles(*m_profile);
    SWrenderdrivers::Get().ApplyViewerProfile(*m_profile);
    m_settings = std::make_unique<CVTND_EditorSettings>(*m_store);

    // Step 5: the save-finished event is a member; the later parts' window classes; the editor images (made by the
    // application object); the main frame on the work area; the timer.
    for (const CVTND_WindowClassRegistrar registrar : CVTND_AppRegistry::WindowClassRegistrars())
        registrar(pf::ui());
    m_app = std::make_unique<CVTNDesignerApp>(m_settings.get());
    m_steps.push_back("images");
    // The main frame stands where it was last closed, maximised when it was; the first time it fills the work area.
    const std::optional<MainWindowPlacement> placement =
        m_developerRun ? std::nullopt : ReadMainWindowPlacement(*m_profile);
    const pf::Rect workArea = pf::screen().workArea();
    auto frame = std::make_unique<CMainFrame>(*this);
    if (!frame->Create(placement ? FitWithin(placement->normal, workArea) : workArea))
        return false;
    m_frame = frame.release(); // the layer's from now on; deleted with its window
    m_frame->show(placement && placement->maximized ? pf::SW_SHOWMAXIMIZED : pf::SW_SHOW);
    m_app->SetMainFrame(m_frame);
    m_sink.SetTarget(&pf::ui(), m_frame->hwnd());
    m_frame->SetRecentFiles(m_recent);
    m_timerPeriod = pf::timeBeginPeriod(kTimerPeriodMs) == pf::TIMERR_NOERROR;
    m_timer = std::make_unique<pf::MmTimer>(kTimerPeriodMs, [this] {
        const std::lock_guard hold(m_timerLock);
        if (m_timerWorld != nullptr)
            m_timerWorld->GetRedrawEvent().Set();
    });
    m_renderPriority = options.renderPriority;
    m_renderThread = std::make_unique<CVTND_RenderThread>(options.joinTimeout, m_renderPriority);
    m_renderThread->SetFaultCallback([this](SWworld* world, const std::string& what) {
        {
            const std::lock_guard hold(m_faultLock);
            m_faultText = what;
            m_faultWorld = world;
        }
        if (pf::hasUi() && m_frame != nullptr)
            pf::ui().post(m_frame->hwnd(), kMsgRenderFault);
    });
    m_recovery = std::make_unique<CVTND_Recovery>(options.recoveryPath);

    // Step 6: the workspace, the first-run question, the recovery offer, the render thread (in BuildWorkspace).
    BuildWorkspace(nullptr);
    m_started = true;
    ShowSettingsWarnings();
    if (options.exitAfterMs > 0)
        m_frame->setTimer(kExitTimer, options.exitAfterMs);
    // A close during the questions below (the window manager's, or --exit-after) ends the start-up there.
    if (!m_developerRun && m_settings->GetString(CVTND_EditorSettings::kUserName).empty())
        RunUserInformationDialog(*m_frame, *m_settings);
    const bool recovered = !m_developerRun && !m_closed && OfferRecoveryCopy();
    if (m_closed)
        return true;
    if (!m_recovery->IsOwner())
        m_frame->SetPaneText(0, "Another designer keeps the recovery copy: none is kept here");
    if (const CVTND_WizardRun wizard = CVTND_AppRegistry::FindWizard();
        wizard != nullptr && m_settings->GetFlag(CVTND_EditorSettings::kOpenWizard))
        wizard(*m_app, *m_frame);
    // The recovered work stays open: the project named to open is not opened over it.
    if (options.project && recovered)
        m_frame->SetPaneText(0, "The recovered work is open: " + *options.project + " was not opened");
    else if (options.project)
        m_projectRefused = !OpenProjectFile(*options.project, false);
    const uint32_t interval = m_settings->GetDword(kSettingRecoveryInterval);
    if (interval > 0)
        m_frame->setTimer(kRecoveryTimer, interval * 1000);
    UpdateCommandStates();
    return true;
}

int CVTND_Designer::Run()
{
    if (!m_started)
        return 1;
    // Each turn of the loop is a batch of settings changes, written once at its end.
    while (!pf::ui().quitCode().has_value()) {
        {
            const pf::SettingsStore::Batch batch(*m_store);
            pf::runLoopStep(pf::ui());
        }
        ShowSettingsWarnings();
    }
    return *pf::ui().quitCode();
}

void CVTND_Designer::ShowSettingsWarnings()
{
    const std::vector<std::string> warnings = m_store->warnings();
    if (warnings.size() <= m_settingsWarningsShown || m_frame == nullptr)
        return;
    std::string text = "Some settings could not be read or kept:";
    for (size_t i = m_settingsWarningsShown; i < warnings.size(); ++i)
        text += "\n" + warnings[i];
    m_settingsWarningsShown = warnings.size();
    pf::messageBox(m_frame->hwnd(), text, "Vortan", pf::MB_OK | pf::MB_ICONEXCLAMATION);
}

void CVTND_Designer::BuildWorkspace(LoadedWorkspace* loaded)
{
    if (m_app->MakeEditorEngine())
        m_steps.push_back("engine");
    if (CVTND_AppRegistry::FindViewCursorCreator() != nullptr)
        m_steps.push_back("cursor");
    if (m_panels == nullptr)
        if (const CVTND_PanelsCreator creator = CVTND_AppRegistry::FindPanelsCreator()) {
            m_panels = creator(*m_app, *m_frame);
            m_steps.push_back("panels");
        }
    if (loaded != nullptr)
        m_app->SetWorkspace(std::move(loaded->result.world), std::move(loaded->result.project),
                            std::move(loaded->result.gradients));
    else
        m_app->NewWorkspace();
    m_steps.push_back("world");
    // The viewing configuration and the navigation settings: created with their defaults when missing.
    ReadViewingConfiguration(*m_store);
    CVTND_ExtendedWorld* world = m_app->GetWorld();
    m_app->SetPropertiesObject(CVTND_Object(static_cast<uint16_t>(ObjectType::kRoot), world->GetRootNode()));
    // The event map opens last, so that it stands in front of the first view as every newly opened child does.
    NewView();
    if (pf::Window* map = m_app->OpenEventMapWindow()) {
        m_steps.push_back("event map");
        PlaceBesideFirstView(*map);
    }
    SetTimerWorld(world);
    m_renderThread->Start(*world);
    m_steps.push_back("render thread");
    UpdateTitle();
    UpdateCommandStates();
}

bool CVTND_Designer::TearDownWorkspace()
{
    if (m_app == nullptr || m_app->GetWorld() == nullptr)
        return true;
    StopPreview();
    SetTimerWorld(nullptr);
    const bool ended = m_renderThread->Stop();
    m_steps.push_back("teardown");
    m_app->Broadcast(CVTND_Event(EventCode::kWorkspaceClosing, CVTND_Object()));
    // Open editors close without applying; each unregisters itself as its window goes.
    std::vector<pf::Window*> editors;
    for (const auto& record : m_app->GetEditDialogs())
        if (record->dialog != nullptr)
            editors.push_back(record->dialog);
    for (pf::Window* editor : editors)
        if (pf::hasUi() && pf::ui().isWindow(editor->hwnd()))
            editor->destroy();
    if (!ended) {
        KeepAliveAfterStuckThread();
        return false;
    }
    if (m_frame != nullptr && m_frame->mdiClient() != nullptr)
        for (pf::MdiChild* child : m_frame->mdiClient()->childFrames())
            child->destroy();
    // The recovery copy outlives the workspace: it goes when the work is saved or dropped (AskSave, SaveTo), not
    // when a recovered project is opened in place of the empty one.
    m_app->DeleteEditorEngine();
    m_app->DeleteWorkspace();
    return true;
}

// The render thread did not end: whatever it may touch stays alive, and the designer carries on with a fresh
// application object. The frames go without touching the world: their windows leave it only through the lock the
// thread may hold, so they are emptied of it first.
void CVTND_Designer::KeepAliveAfterStuckThread()
{
    if (g_keptAlive == nullptr)
        g_keptAlive = new std::vector<std::unique_ptr<CVTNDesignerApp>>();
    static auto* keptPlayers = new std::vector<std::unique_ptr<SWworld>>(); // reachable until the process ends
    if (m_frame != nullptr && m_frame->mdiClient() != nullptr)
        for (pf::MdiChild* child : m_frame->mdiClient()->childFrames()) {
            if (auto* render = dynamic_cast<CChildRenderFrame*>(child)) {
                render->View().Abandon();
                if (std::unique_ptr<SWworld> player = render->ReleaseWorld())
                    keptPlayers->push_back(std::move(player));
            }
            child->destroy();
        }
    m_app->SetMainFrame(nullptr);
    g_keptAlive->push_back(std::move(m_app));
    m_renderThread = std::make_unique<CVTND_RenderThread>(CVTN_ThreadHandler::kJoinTimeout, m_renderPriority);
    m_renderThread->SetFaultCallback([this](SWworld* world, const std::string& what) {
        {
            const std::lock_guard hold(m_faultLock);
            m_faultText = what;
            m_faultWorld = world;
        }
        if (pf::hasUi() && m_frame != nullptr)
            pf::ui().post(m_frame->hwnd(), kMsgRenderFault);
    });
    m_app = std::make_unique<CVTNDesignerApp>(m_settings.get());
    m_app->SetMainFrame(m_frame);
}

void CVTND_Designer::Close()
{
    if (m_closed || !AskSave())
        return;
    m_closed = true;
    m_frame->killTimer(kRecoveryTimer);
    m_frame->killTimer(kExitTimer);
    TearDownWorkspace();
    if (m_frame->mdiClient() != nullptr)
        for (pf::MdiChild* child : m_frame->mdiClient()->childFrames())
            child->destroy();
    pf::ui().postQuit(0);
}

void CVTND_Designer::Exit()
{
    if (m_exited || !m_started)
        return;
    m_exited = true;
    std::optional<pf::SettingsStore::Batch> batch(std::in_place, *m_store); // what the shutdown stores: one write
    // An end that did not ask (Close asks, and drops or saves) keeps the copy of modified work.
    const bool unsavedWork = !m_closed && m_app != nullptr && m_app->IsModified();
    if (!m_closed) {
        m_closed = true;
        TearDownWorkspace();
    }
    if (m_timer != nullptr)
        m_timer->kill();
    m_timer.reset();
    if (m_timerPeriod)
        pf::timeEndPeriod(kTimerPeriodMs);
    m_timerPeriod = false;
    m_panels.reset();
    const std::vector<std::string> stuck = StuckThreads();
    if (!stuck.empty()) {
        std::string names;
        for (const std::string& name : stuck)
            names += (names.empty() ? "" : ", ") + name;
        pf::messageBox(m_frame != nullptr ? m_frame->hwnd() : pf::kNoWindow,
                       "These threads did not end in time and were left running: " + names + ".", "Vortan",
                       pf::MB_OK | pf::MB_ICONHAND);
    }
    m_sink.SetTarget(nullptr, pf::kNoWindow);
    if (m_frame != nullptr && pf::hasUi() && pf::ui().isWindow(m_frame->hwnd())) {
        if (!m_developerRun)
            WriteMainWindowPlacement(*m_profile, {m_frame->NormalRect(), m_frame->IsMaximized()});
        m_frame->destroy(); // deletes the frame
    }
    m_frame = nullptr;
    m_app.reset(); // the shared editor images go with it
    if (m_recovery != nullptr && !unsavedWork)
        m_recovery->Delete();
    m_recovery.reset();
    batch.reset();
    SetResourceReportSink(nullptr);
    CVTN_ThreadHandler::SetStuckReporter({});
    SWrenderdrivers::Get().Shutdown();
}

// -- Project commands

bool CVTND_Designer::AskSave()
{
    if (m_app == nullptr || !m_app->IsModified())
        return true;
    const CVTND_Project* project = m_app->GetProject();
    const std::string name = !m_projectPath.empty()                           ? FileNameOf(m_projectPath)
                             : project != nullptr && project->GetObjectName() ? *project->GetObjectName()
                                                                              : std::string("Untitled");
    const int32_t answer = pf::messageBox(m_frame->hwnd(), "Save changes to " + name + "?", "Vortan",
                                          pf::MB_YESNOCANCEL | pf::MB_ICONQUESTION);
    if (answer == pf::IDCANCEL)
        return false;
    if (answer == pf::IDYES)
        return Save();
    if (m_recovery != nullptr)
        m_recovery->Delete();
    return true;
}

bool CVTND_Designer::NewProject()
{
    if (!AskSave())
        return false;
    if (!TearDownWorkspace())
        return false;
    RememberProjectFile({}, std::nullopt);
    m_recoveredFrom.clear();
    BuildWorkspace(nullptr);
    return true;
}

bool CVTND_Designer::OpenProject()
{
    const auto path =
        BrowseFile(false, static_cast<int32_t>(BrowseCategory::kProjects), kProjectFilter, "vtp", "Open Project");
    return path ? OpenProjectFile(*path) : false;
}

bool CVTND_Designer::OpenProjectFile(const std::string& given, bool askFirst)
{
    const std::string path = AbsolutePathOf(given);
    if (askFirst && !AskSave())
        return false;
    LoadedWorkspace loaded;
    const std::optional<pf::FileStamp> stamp = pf::fileStampOf(path); // before the read: a change during it counts
    {
        const pf::WaitCursor wait;
        loaded.result = CVTND_Project::LoadFile(path, m_settings.get());
    }
    if (!loaded.result.ok()) {
        ShowError(loaded.result.message.empty() ? "Cannot open " + path + "." : loaded.result.message);
        DropRecent(given); // as the list had it, perhaps relative
        DropRecent(path);
        DrainReports();
        return false;
    }
    if (!askFirst && !AskSave())
        return false;
    const std::string note = loaded.result.message;
    {
        const pf::WaitCursor wait; // the old workspace goes and the new one is laid out: seconds for a large one
        if (!TearDownWorkspace())
            return false;
        BuildWorkspace(&loaded);
        RememberProjectFile(path, stamp);
        m_recoveredFrom.clear();
        AddRecent(path);
        UpdateTitle();
    }
    if (!note.empty())
        pf::messageBox(m_frame->hwnd(), note, "Vortan", pf::MB_OK | pf::MB_ICONEXCLAMATION);
    if (m_app->GetProject() != nullptr && m_app->GetProject()->SynchronizeOnLoad(m_frame) != 0)
        UpdateTitle();
    DrainReports();
    return true;
}

void CVTND_Designer::OpenRecent(size_t index)
{
    if (index < m_recent.size()) {
        const std::string path = m_recent[index];
        OpenProjectFile(path);
    }
}

bool CVTND_Designer::Save()
{
    if (!m_projectPath.empty() && pf::isReadOnlyTarget(m_projectPath))
        return SaveOverReadOnly();
    return m_projectPath.empty() ? SaveAs() : SaveTo(m_projectPath);
}

bool CVTND_Designer::SaveAs()
{
    // The project's own name is proposed, in its own folder once it has one.
    const std::string proposed = m_projectPath.empty() ? ProjectStem() + ".vtp" : m_projectPath;
    const auto path = BrowseFile(true, static_cast<int32_t>(BrowseCategory::kProjects), kProjectFilter, "vtp",
                                 "Save Project As", proposed);
    return path ? SaveTo(*path) : false;
}

bool CVTND_Designer::SaveTo(const std::string& given)
{
    const std::string path = AbsolutePathOf(given);
    CVTND_Project* project = m_app->GetProject();
    if (project == nullptr || !MayReplaceProjectFile(path))
        return false;
    // A running preview has moved, hidden and recoloured the project: it stops, and puts the project back, first.
    StopProjectPreview();
    bool saved = false;
    {
        const pf::WaitCursor wait;
        const SWworldlock hold(*m_app->GetWorld());
        saved = project->SaveFile(path, m_app->GetGradientStore(), m_frame);
    }
    if (!saved)
        return false;
    RememberProjectFile(path, pf::fileStampOf(path));
    m_app->SetModified(0);
    if (m_recovery != nullptr)
        m_recovery->Delete();
    AddRecent(path);
    UpdateTitle();
    return true;
}

bool CVTND_Designer::AddSceneFile()
{
    const auto path =
        BrowseFile(false, static_cast<int32_t>(BrowseCategory::kScenes), kSceneFilter, "vtn", "Add Scene File");
    return path ? AddSceneFilePath(*path) : false;
}

bool CVTND_Designer::AddSceneFilePath(const std::string& path)
{
    CVTND_Project* project = m_app->GetProject();
    if (project == nullptr)
        return false;
    const bool first = project->GetAddedFiles().Count() == 0;
    CVTN_SubWorld* added = nullptr;
    {
        const pf::WaitCursor wait;
        added = project->AddSceneFile(path, m_frame);
    }
    if (added != nullptr) {
        for (CChildRenderView* view : Views()) {
            if (first)
                view->TakeLastCamera();
            view->RefreshBackground();
        }
        m_app->SetModified();
        UpdateTitle();
    }
    DrainReports();
    UpdateCommandStates();
    return added != nullptr;
}

// -- Views and the preview

CVTND_ExtendedWorld* CVTND_Designer::GetWorld() const
{
    return m_app != nullptr ? m_app->GetWorld() : nullptr;
}

std::vector<CChildRenderView*> CVTND_Designer::Views() const
{
    std::vector<CChildRenderView*> views;
    if (m_frame == nullptr || m_frame->mdiClient() == nullptr)
        return views;
    for (pf::MdiChild* child : m_frame->mdiClient()->childFrames())
        if (auto* frame = dynamic_cast<CChildRenderFrame*>(child); frame != nullptr && !frame->IsPlayer())
            views.push_back(&frame->View());
    return views;
}

CChildRenderView* CVTND_Designer::ActiveView() const
{
    if (m_frame == nullptr || m_frame->mdiClient() == nullptr)
        return nullptr;
    auto* frame = dynamic_cast<CChildRenderFrame*>(m_frame->mdiClient()->activeChild());
    if (frame != nullptr)
        return &frame->View();
    const std::vector<CChildRenderView*> views = Views();
    return views.empty() ? nullptr : views.front();
}

CChildRenderView* CVTND_Designer::NewView()
{
    CVTND_ExtendedWorld* world = GetWorld();
    if (world == nullptr || m_frame == nullptr)
        return nullptr;
    const pf::Rect area = m_frame->mdiClient()->clientRect();
    const int32_t count = static_cast<int32_t>(Views().size());
    const int32_t width = std::max<int32_t>(200, static_cast<int32_t>(area.width() * 2 / 3));
    const int32_t height = std::max<int32_t>(150, static_cast<int32_t>(area.height() * 2 / 3));
    const pf::Rect rect = pf::Rect::fromXywh(8 + 24 * count, 8 + 24 * count, width, height);
    CChildRenderFrame* frame =
        CChildRenderFrame::Open(*m_frame, *world, "3D View " + std::to_string(count + 1), rect, false);
    UpdateCommandStates();
    return frame != nullptr ? &frame->View() : nullptr;
}

void CVTND_Designer::PlaceBesideFirstView(pf::Window& child) const
{
    constexpr int32_t kGap = 8;
    constexpr int32_t kSmallest = 240; // the event map's list of event types beside a useful part of its map
    const std::vector<CChildRenderView*> views = Views();
    const pf::Window* view = views.empty() ? nullptr : views.front()->parent();
    if (view == nullptr || m_frame->mdiClient() == nullptr)
        return;
    const pf::Rect client = m_frame->mdiClient()->clientRect();
    const pf::Rect v = view->windowRect();
    const int32_t height = std::min<int32_t>(static_cast<int32_t>(child.windowRect().height()), client.b - 2 * kGap);
    const pf::Rect corner{v.l + static_cast<int32_t>(v.width() * 2 / 3), client.b - kGap - height, client.r - kGap,
                          client.b - kGap};
    if (corner.width() >= kSmallest && corner.height() >= kSmallest)
        child.move(corner);
}

CChildRenderFrame* CVTND_Designer::FrontRenderFrame() const
{
    if (m_frame == nullptr || m_frame->mdiClient() == nullptr)
        return nullptr;
    if (auto* active = dynamic_cast<CChildRenderFrame*>(m_frame->mdiClient()->activeChild()))
        return active;
    const std::vector<pf::MdiChild*> children = m_frame->mdiClient()->childFrames(); // bottom to top
    for (auto child = children.rbegin(); child != children.rend(); ++child)
        if (auto* frame = dynamic_cast<CChildRenderFrame*>(*child))
            return frame;
    return nullptr;
}

void CVTND_Designer::CloseActiveView()
{
    if (CChildRenderFrame* frame = FrontRenderFrame())
        frame->destroy();
    UpdateCommandStates();
}

bool CVTND_Designer::IsPreviewRunning() const
{
    const SWworld* world = ActiveWorld();
    return world != nullptr && world->IsRunning();
}

SWworld* CVTND_Designer::ActiveWorld() const
{
    if (m_frame != nullptr && m_frame->mdiClient() != nullptr)
        if (auto* frame = dynamic_cast<CChildRenderFrame*>(m_frame->mdiClient()->activeChild());
            frame != nullptr && frame->IsPlayer())
            return &frame->View().GetWorld();
    return GetWorld();
}

std::vector<CChildRenderFrame*> CVTND_Designer::Players() const
{
    std::vector<CChildRenderFrame*> players;
    if (m_frame != nullptr && m_frame->mdiClient() != nullptr)
        for (pf::MdiChild* child : m_frame->mdiClient()->childFrames())
            if (auto* frame = dynamic_cast<CChildRenderFrame*>(child); frame != nullptr && frame->IsPlayer())
                players.push_back(frame);
    return players;
}

bool CVTND_Designer::StartPreview()
{
    if (SWworld* player = ActiveWorld(); player != nullptr && player != GetWorld()) {
        if (player->IsRunning())
            return false;
        m_renderThread->Resume(player);
        player->SetRunning(true);
        UpdateCommandStates();
        return true;
    }
    CVTND_ExtendedWorld* world = GetWorld();
    if (world == nullptr || world->IsRunning())
        return false;
    // From now on the world holds passing frames: the copy holds the project as made.
    WriteRecoveryCopyAtPreviewStart();
    m_renderThread->Resume(world);
    {
        const SWworldlock hold(*world);
        m_previewStart.Keep(*world);
        world->SetRunning(true);
    }
    world->Invalidate(true);
    m_app->Broadcast(CVTND_Event(EventCode::kPreviewStarted, CVTND_Object()));
    UpdateCommandStates();
    return true;
}

bool CVTND_Designer::StopPreview()
{
    if (SWworld* player = ActiveWorld(); player != nullptr && player != GetWorld()) {
        if (!player->IsRunning())
            return false;
        player->SetRunning(false);
        if (CChildRenderView* view = ActiveView())
            view->DropPointer();
        UpdateCommandStates();
        return true;
    }
    return StopProjectPreview();
}

// The project's own preview, whichever view or player is active.
bool CVTND_Designer::StopProjectPreview()
{
    CVTND_ExtendedWorld* world = GetWorld();
    if (world == nullptr || !world->IsRunning())
        return false;
    EndPreviewOfProject(*world);
    for (CChildRenderView* view : Views())
        view->DropPointer();
    world->Invalidate(true);
    m_app->Broadcast(CVTND_Event(EventCode::kPreviewStopped, CVTND_Object()));
    UpdateCommandStates();
    return true;
}

// What the preview changed is the preview's, not the project's: the turned nodes and every variable go back to their
// initial values, the background to the one kept at Start, what was hidden or shown to how it stood then, and the
// worlds it loaded go, so Save and Publish store the project as it was made.
// The stop frame (the world-stop events, the end of the motions) runs here first, not at the next tick, so nothing
// moves after the project is put back; a world whose frames fail is not stepped again.
void CVTND_Designer::EndPreviewOfProject(CVTND_ExtendedWorld& world)
{
    const SWworldlock hold(world);
    world.SetRunning(false);
    if (!m_renderThread->IsFaulted(&world)) {
        try {
            world.RunFrame();
        } catch (const std::exception&) {
            // the render thread's own frames report such faults; the project is put back all the same
        }
    }
    if (m_previewStart.PutBack(*m_app, world))
        for (CChildRenderView* view : Views())
            view->RefreshBackground(); // the renderers held the one just deleted
}

void CVTND_Designer::RunPreviewUnloads()
{
    CVTND_ExtendedWorld* world = GetWorld();
    if (world == nullptr)
        return;
    const SWworldlock hold(*world);
    for (const CVTND_ExtendedWorld::PendingUnload& unload : world->TakeUnloads()) {
        CVTN_SubWorld* entry = world->GetSubWorlds().FindByName(unload.entry);
        if (entry == nullptr)
            continue;
        CVTN_SubWorldLoader& loader = CVTN_SubWorldLoader::Of(*world);
        for (const CVTN_SubWorldInstance* instance : loader.Unloading(*entry, unload.all))
            AnnounceUnloading(*m_app, *world, *instance, unload.resources);
        loader.UnloadSubWorld(*entry, nullptr, unload.all, unload.resources);
    }
    world->Invalidate(false);
}

void CVTND_Designer::OnRenderFault()
{
    std::string what;
    SWworld* world = nullptr;
    {
        const std::lock_guard hold(m_faultLock);
        what = std::exchange(m_faultText, {});
        world = std::exchange(m_faultWorld, nullptr);
    }
    if (world == nullptr)
        return;
    if (world == GetWorld()) {
        StopPreview();
    } else {
        world->SetRunning(false);
    }
    ShowError("The preview stopped: a frame failed (" + what + "). The project in memory is intact and can be saved.");
}

// -- Publishing

bool CVTND_Designer::Publish()
{
    if (GetWorld() == nullptr)
        return false;
    const auto path = BrowseFile(true, static_cast<int32_t>(BrowseCategory::kPublished), kPublishedFilter, "vto",
                                 "Publish", ProjectStem() + ".vto");
    return path ? PublishTo(*path) : false;
}

bool CVTND_Designer::PublishTo(const std::string& path, bool chooseSchemes)
{
    CVTND_ExtendedWorld* world = GetWorld();
    CVTND_Project* project = m_app != nullptr ? m_app->GetProject() : nullptr;
    if (world == nullptr || project == nullptr)
        return false;
    StopProjectPreview();
    // The page's player has the size of the project's current view, else of its first.
    const std::vector<CChildRenderView*> views = Views();
    CChildRenderView* sized = views.empty() ? nullptr : views.front();
    {
        const SWworldlock hold(*world);
        for (CChildRenderView* view : views)
            if (view->GetEngineWindow() != nullptr && world->GetCurrentView() == view->GetEngineWindow())
                sized = view;
    }
    const int32_t width = sized != nullptr ? static_cast<int32_t>(sized->clientRect().width()) : 640;
    const int32_t height = sized != nullptr ? static_cast<int32_t>(sized->clientRect().height()) : 480;
    if (chooseSchemes) {
        std::unique_ptr<CVTND_PublishDlg> dialog;
        {
            const SWworldlock hold(*world);
            dialog = std::make_unique<CVTND_PublishDlg>(*world, *project, width, height);
        }
        if (dialog->Run(*m_frame) != pf::IDOK)
            return false;
    }
    CVTND_PublishRequest request{path, project->GetHtmlOption(), width, height};
    SaveWorkerThread worker(*world, std::move(request), m_saveFinished);
    m_publishing = true;
    if (worker.Start()) {
        CVTND_WaitDlg wait(m_saveFinished, &worker);
        wait.Run(*m_frame);
    }
    worker.Join();
    m_publishing = false;
    DrainReports();
    if (!worker.Result().ok) {
        ShowError(worker.Result().message);
        return false;
    }
    m_frame->SetPaneText(0, "Published " + path);
    return true;
}

CChildRenderFrame* CVTND_Designer::OpenPublishedWorld()
{
    const auto path = BrowseFile(false, static_cast<int32_t>(BrowseCategory::kPublished), kPublishedFilter, "vto",
                                 "Open Published World");
    return path ? OpenPublishedFile(*path) : nullptr;
}

CChildRenderFrame* CVTND_Designer::OpenPublishedFile(const std::string& path)
{
    if (m_frame == nullptr || m_renderThread == nullptr)
        return nullptr;
    WorldLoadResult loaded;
    {
        const pf::WaitCursor wait;
        loaded = LoadWorldFile(path, SWreadcontext::IdMode::kFresh, SWreadlimits::Defaults(),
                               [] { return std::unique_ptr<SWworld>(std::make_unique<CVTND_ExtendedWorld>()); });
    }
    if (loaded.status != DocumentStatus::kOk || loaded.world == nullptr) {
        ShowError(loaded.message.empty() ? "Cannot open " + path + ": " + DocumentStatusText(loaded.status) + "."
                                         : loaded.message);
        DrainReports();
        return nullptr;
    }
    ReportSkippedRecords(path, loaded.skipped);
    // The player shows the world at the size the page gives it: the active view's.
    int32_t width = 640;
    int32_t height = 480;
    if (CChildRenderView* view = ActiveView()) {
        width = static_cast<int32_t>(view->clientRect().width());
        height = static_cast<int32_t>(view->clientRect().height());
    }
    const int32_t offset = 16 + 24 * static_cast<int32_t>(Players().size());
    SWworld* world = loaded.world.get();
    CVTND_RenderThread* thread = m_renderThread.get();
    CChildRenderFrame* frame = CChildRenderFrame::OpenPlayer(
        *m_frame, std::move(loaded.world), "Published: " + FileNameOf(path),
        pf::Rect::fromXywh(offset, offset, width, height), [this, thread](SWworld& closing) {
            // The render thread lets go of the world before the frame frees it.
            if (m_renderThread.get() == thread)
                thread->RemovePlayer(&closing);
            closing.SetRunning(false);
            if (pf::hasUi() && m_frame != nullptr)
                pf::ui().post(m_frame->hwnd(), kMsgUpdateCommands);
        });
    if (frame == nullptr) {
        ShowError("Cannot open a player for " + path + ".");
        return nullptr;
    }
    // Grow the frame so that its view has exactly the page's size.
    const pf::Rect client = frame->View().clientRect();
    const pf::Rect outer = frame->windowRect();
    frame->move(pf::Rect::fromXywh(offset, offset, static_cast<int32_t>(outer.width() + width - client.width()),
                                   static_cast<int32_t>(outer.height() + height - client.height())));
    frame->View().MakeActive();
    world->SetRunning(true);
    m_renderThread->AddPlayer(world);
    world->Invalidate(true);
    if (GetWorld() != nullptr)
        GetWorld()->GetRedrawEvent().Set();
    DrainReports();
    UpdateCommandStates();
    return frame;
}

// -- Tools of later parts

bool CVTND_Designer::HasTool(uint32_t command) const
{
    switch (command) {
    case kCmdScaleCenter:
        return CVTND_Registry::FindModalTool(ModalTool::kScaleCenter) != nullptr;
    case kCmdRemoveSceneFiles:
        return CVTND_Registry::FindModalTool(ModalTool::kRemoveSceneFiles) != nullptr;
    case kCmdSynchronizeSceneFiles:
        return CVTND_Registry::FindModalTool(ModalTool::kSynchronizeSceneFiles) != nullptr;
    default:
        return false;
    }
}

void CVTND_Designer::RunTool(uint32_t command)
{
    if (command == kCmdScaleCenter && m_app != nullptr) {
        const SWworldlock hold(*GetWorld());
        m_app->OnToolsScaleCenter();
        return;
    }
    // The scene-file dialogs take the world's lock inside the project's operations, as the render thread runs.
    const ModalTool tool =
        command == kCmdRemoveSceneFiles ? ModalTool::kRemoveSceneFiles : ModalTool::kSynchronizeSceneFiles;
    const CVTND_ModalToolRun run = CVTND_Registry::FindModalTool(tool);
    if ((command == kCmdRemoveSceneFiles || command == kCmdSynchronizeSceneFiles) && run != nullptr &&
        m_app != nullptr) {
        CVTND_ModalRequest request;
        request.owner = m_frame;
        run(*m_app, request);
        DrainReports(); // what a file read left out, said when the dialog is done
        // A view that looked through a camera a removed file brought looks through the world's last one again.
        for (CChildRenderView* view : Views()) {
            const SWwindow* window = view->GetEngineWindow();
            if (window != nullptr && window->GetCameraNode() == nullptr)
                view->TakeLastCamera();
            view->RefreshBackground();
        }
    }
}

// -- Reports, errors, recent files

void CVTND_Designer::DrainReports()
{
    m_sink.Drain(m_frame != nullptr ? m_frame->hwnd() : pf::kNoWindow);
}

void CVTND_Designer::ShowError(const std::string& text)
{
    pf::messageBox(m_frame != nullptr ? m_frame->hwnd() : pf::kNoWindow, text, "Vortan", pf::MB_OK | pf::MB_ICONHAND);
}

void CVTND_Designer::UpdateTitle()
{
    if (m_frame == nullptr)
        return;
    const std::string name = m_projectPath.empty() ? std::string("Untitled") : FileNameOf(m_projectPath);
    m_frame->setText("Vortan - " + name);
}

void CVTND_Designer::UpdateCommandStates()
{
    if (m_frame == nullptr)
        return;
    const bool haveView = !Views().empty();
    const bool playerActive = ActiveWorld() != nullptr && ActiveWorld() != GetWorld();
    m_frame->UpdateCommandStates({.running = IsPreviewRunning(),
                                  .haveView = haveView || playerActive,
                                  .haveRenderFrame = FrontRenderFrame() != nullptr,
                                  .publishable = GetWorld() != nullptr && haveView});
}

void CVTND_Designer::SetTimerWorld(SWworld* world)
{
    const std::lock_guard hold(m_timerLock);
    m_timerWorld = world;
}

std::string CVTND_Designer::ProjectStem() const
{
    return m_projectPath.empty() ? std::string("Untitled") : std::filesystem::path(m_projectPath).stem().string();
}

std::optional<std::string> CVTND_Designer::BrowseFile(bool save, int32_t category, const std::string& filter,
                                                      const std::string& extension, const std::string& title,
                                                      const std::string& proposed)
{
    pf::FileDialogRequest request;
    request.save = save;
    request.owner = m_frame != nullptr ? m_frame->hwnd() : pf::kNoWindow;
    request.title = title;
    request.filter = filter;
    request.defaultExtension = extension;
    request.fileName = proposed;
    // A published world belongs beside its project: the folder of the last publish held another project's.
    const bool besideProject =
        save && static_cast<BrowseCategory>(category) == BrowseCategory::kPublished && !m_projectPath.empty();
    request.initialDirectory = BrowseStartFolder(
        besideProject ? std::string() : m_settings->GetDirectory(static_cast<BrowseCategory>(category)), m_projectPath);
    request.flags = save ? pf::OFN_OVERWRITEPROMPT | pf::OFN_PATHMUSTEXIST : pf::OFN_FILEMUSTEXIST;
    const auto paths = pf::getFileName(request);
    if (!paths || paths->empty())
        return std::nullopt;
    const std::string directory = std::filesystem::path(paths->front()).parent_path().string();
    if (!directory.empty())
        m_settings->SetDirectory(static_cast<BrowseCategory>(category), directory);
    return paths->front();
}
