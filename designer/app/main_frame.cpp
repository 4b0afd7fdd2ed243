#include "designer/app/main_frame.h"

#include <algorithm>
#include <mutex>

#include "designer/app/designer_app.h"
#include "designer/app/engine_interface.h"
#include "designer/app/report_sink.h"
#include "designer/app/startup.h"
#include "platform/gfx/icon.h"
#include "platform/gfx/image_list.h"
#include "platform/ui/core/ui.h"

namespace {

constexpr uint8_t kVkF5 = 116;
constexpr uint32_t kToolBar = 128;

std::vector<pf::MenuItem> FileItems(const std::vector<std::string>& recent)
{
    std::vector<pf::MenuItem> items = {
        {kCmdNewProject, "New Project\tCtrl+N", 0, {}},
        {kCmdOpenProject, "Open Project...\tCtrl+O", 0, {}},
        {kCmdSave, "Save\tCtrl+S", 0, {}},
        {kCmdSaveAs, "Save As...", 0, {}},
        {0, "", pf::MF_SEPARATOR, {}},
        {kCmdAddSceneFile, "Add Scene File...", 0, {}},
        {kCmdOpenPublished, "Open Published World...", 0, {}},
        {kCmdPublish, "Publish...", 0, {}},
        {kCmdSnapshot, "Snapshot...", 0, {}},
        {0, "", pf::MF_SEPARATOR, {}},
    };
    for (size_t i = 0; i < recent.size() && i < 4; ++i)
        items.push_back({kCmdRecentFirst + static_cast<uint32_t>(i), std::to_string(i + 1) + " " + recent[i], 0, {}});
    if (recent.empty())
        items.push_back({kCmdRecentFirst, "Recent File", pf::MF_GRAYED, {}});
    items.push_back({0, "", pf::MF_SEPARATOR, {}});
    items.push_back({kCmdExit, "Exit", 0, {}});
    return items;
}

std::vector<pf::MenuItem> MenuBar(const std::vector<std::string>& recent)
{
    return {
        {0, "File", 0, FileItems(recent)},
        {0,
         "View",
         0,
         {{kCmdNewView, "New 3D View", 0, {}},
          {kCmdCloseView, "Close 3D View", 0, {}},
          {kCmdNewEventMap, "New Event Map", 0, {}}}},
        {0, "Preview", 0, {{kCmdStart, "Start\tF5", 0, {}}, {kCmdStop, "Stop\tShift+F5", 0, {}}}},
        {0,
         "Tools",
         0,
         {{kCmdScaleCenter, "Scale and Centre...", 0, {}},
          {kCmdRemoveSceneFiles, "Remove Scene Files...", 0, {}},
          {kCmdSynchronizeSceneFiles, "Synchronise Scene Files...", 0, {}},
          {0, "", pf::MF_SEPARATOR, {}},
          {kCmdPreferences, "Preferences...", 0, {}}}},
    };
}

// The tool bar's pictures, drawn here: a sheet, a folder, a disk, a green triangle, a red square and a camera.
pf::IconRef Glyph(int index)
{
    constexpr int kSide = 16;
    std::vector<uint32_t> argb(kSide * kSide, 0);
    std::vector<uint8_t> mask(kSide * kSide, 1);
    const auto put = [&](int x, int y, uint32_t colour) {
        if (x >= 0 && y >= 0 && x < kSide && y < kSide) {
            argb[static_cast<size_t>(y * kSide + x)] = 0xFF000000u | colour;
            mask[static_cast<size_t>(y * kSide + x)] = 0;
        }
    };
    const auto box = [&](int l, int t, int r, int b, uint32_t fill, uint32_t edge) {
        for (int y = t; y <= b; ++y)
            for (int x = l; x <= r; ++x)
                put(x, y, x == l || x == r || y == t || y == b ? edge : fill);
    };
    switch (index) {
    case 0: // new
        box(3, 1, 12, 14, 0xFFFFFF, 0x404040);
        for (int y = 4; y <= 11; y += 2)
            for (int x = 5; x <= 10; ++x)
                put(x, y, 0x8090A0);
        break;
    case 1: // open
        box(1, 4, 14, 13, 0xE8C060, 0x806020);
        box(1, 2, 6, 4, 0xE8C060, 0x806020);
        break;
    case 2: // save
        box(1, 1, 14, 14, 0x3050A0, 0x102040);
        box(4, 2, 11, 6, 0xFFFFFF, 0xC0C0C0);
        box(4, 9, 11, 14, 0xA0A0A0, 0x606060);
        break;
    case 3: // start
        for (int x = 4; x <= 12; ++x)
            for (int y = 2 + (x - 4) / 2; y <= 13 - (x - 4) / 2; ++y)
                put(x, y, 0x20A030);
        break;
    case 4: // stop
        box(3, 3, 12, 12, 0xD02020, 0x801010);
        break;
    default: // snapshot
        box(1, 4, 14, 13, 0x505050, 0x202020);
        box(4, 2, 7, 4, 0x505050, 0x202020);
        box(6, 6, 10, 11, 0x80C0FF, 0xFFFFFF);
        break;
    }
    return pf::Icon::create(kSide, kSide, std::move(argb), std::move(mask));
}

// A command of the frame's own menu, not one of those others appended to it.
bool IsFrameCommand(uint32_t id)
{
    for (const pf::MenuItem& popup : MenuBar({}))
        for (const pf::MenuItem& item : popup.popup)
            if (item.id != 0 && item.id == id)
                return true;
    return id >= kCmdRecentFirst && id < kCmdRecentFirst + 4;
}

} // namespace

void RegisterMainFrameResources()
{
    static std::once_flag once;
    std::call_once(once, [] {
        pf::resources().addMenu(kMainMenu, MenuBar({}));
        pf::resources().addAccelerators(kMainMenu, {{static_cast<uint8_t>('N'), pf::FCONTROL, kCmdNewProject},
                                                    {static_cast<uint8_t>('O'), pf::FCONTROL, kCmdOpenProject},
                                                    {static_cast<uint8_t>('S'), pf::FCONTROL, kCmdSave},
                                                    {kVkF5, 0, kCmdStart},
                                                    {kVkF5, pf::FSHIFT, kCmdStop}});
        pf::resources().addToolBar(kToolBar, {{kCmdNewProject, 0},
                                              {kCmdOpenProject, 1},
                                              {kCmdSave, 2},
                                              {0, -1},
                                              {kCmdStart, 3},
                                              {kCmdStop, 4},
                                              {0, -1},
                                              {kCmdSnapshot, 5}});
    });
}

bool CMainFrame::Create(const pf::Rect& rect)
{
    RegisterMainFrameResources();
    // A sizing border: without it a window manager offers neither sizing nor maximising.
    if (!createFrame("Vortan", rect, kMainMenu, pf::WS_THICKFRAME))
        return false;
    m_normalRect = rect;
    // Below this the panels beside the child windows turn to strips too narrow to read a name in.
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    setAccelerators(pf::resources().accelerators(kMainMenu));
    pf::ImageListRef images = pf::ImageList::create(16, 16, pf::ILC_COLOR32 | pf::ILC_MASK, 6, 0);
    for (int i = 0; i < 6; ++i)
        images->addIcon(*Glyph(i));
    createToolBar(kToolBar, images);
    createStatusBar({-1});
    LayOutStatusPanes();
    statusBar()->setText(0, "Ready");
    return true;
}

void CMainFrame::SetRecentFiles(const std::vector<std::string>& paths)
{
    m_recent = paths;
    const pf::Menu old = menu();
    pf::Menu fresh(MenuBar(paths));
    // The states of the old menu's commands carry over.
    for (const pf::MenuItem& popup : old.items())
        for (const pf::MenuItem& item : popup.popup)
            if (item.id != 0 && (item.id < kCmdRecentFirst || item.id >= kCmdRecentFirst + 4))
                fresh.enableItem(item.id, item.flags & pf::MF_GRAYED);
    // Entries others appended after ours to a popup other than File (the docking panels' View entries) stay.
    for (size_t p = 1; p < old.items().size() && p < fresh.items().size(); ++p) {
        const pf::Menu from = old.subMenu(static_cast<int32_t>(p));
        pf::Menu to = fresh.subMenu(static_cast<int32_t>(p));
        const size_t ours = to.items().size();
        for (size_t i = ours; i < from.items().size(); ++i)
            to.appendItem(from.items()[i]);
    }
    menu() = fresh;
    invalidate(true);
}

void CMainFrame::UpdateCommandStates(const CommandStates& states)
{
    const auto set = [&](uint32_t id, bool on) {
        menu().enableItem(id, on ? pf::MF_ENABLED : pf::MF_GRAYED);
        if (toolBar() != nullptr)
            toolBar()->enableButton(id, on);
    };
    set(kCmdStart, !states.running && states.haveView);
    set(kCmdStop, states.running);
    set(kCmdSnapshot, states.haveView);
    set(kCmdCloseView, states.haveRenderFrame);
    set(kCmdPublish, states.publishable);
    set(kCmdScaleCenter, m_designer.HasTool(kCmdScaleCenter));
    set(kCmdRemoveSceneFiles, m_designer.HasTool(kCmdRemoveSceneFiles));
    set(kCmdSynchronizeSceneFiles, m_designer.HasTool(kCmdSynchronizeSceneFiles));
}

// The message pane takes what the three fixed panes at the right leave, so a wide window shows a long message whole.
void CMainFrame::LayOutStatusPanes()
{
    pf::StatusBar* bar = statusBar();
    if (bar == nullptr)
        return;
    constexpr int32_t kFixedPane = 80;
    constexpr int32_t kLeastMessagePane = 200;
    const int32_t message =
        std::max<int32_t>(kLeastMessagePane, static_cast<int32_t>(clientRect().width()) - 3 * kFixedPane);
    bar->setParts({message, message + kFixedPane, message + 2 * kFixedPane, -1});
}

void CMainFrame::SetPaneText(int32_t pane, const std::string& text)
{
    if (statusBar() != nullptr)
        statusBar()->setText(pane, text);
}

bool CMainFrame::handleCommand(uint32_t id, uint32_t code)
{
    (void)code;
    if (id >= kCmdRecentFirst && id < kCmdRecentFirst + 4) {
        m_designer.OpenRecent(id - kCmdRecentFirst);
        return true;
    }
    if (!isChoosableCommand(menu().items(), id) && id != kCmdExit)
        return true; // a disabled command reached by its key does nothing
    switch (id) {
    case kCmdNewProject:
        m_designer.NewProject();
        return true;
    case kCmdOpenProject:
        m_designer.OpenProject();
        return true;
    case kCmdSave:
        m_designer.Save();
        return true;
    case kCmdSaveAs:
        m_designer.SaveAs();
        return true;
    case kCmdAddSceneFile:
        m_designer.AddSceneFile();
        return true;
    case kCmdNewView:
        m_designer.NewView();
        return true;
    case kCmdCloseView:
        m_designer.CloseActiveView();
        return true;
    case kCmdNewEventMap:
        if (CVTNDesignerApp* app = GetDesignerApp())
            app->OpenEventMapWindow();
        return true;
    case kCmdSnapshot:
        m_designer.Snapshot();
        return true;
    case kCmdPublish:
        m_designer.Publish();
        return true;
    case kCmdOpenPublished:
        m_designer.OpenPublishedWorld();
        return true;
    case kCmdStart:
        m_designer.StartPreview();
        return true;
    case kCmdStop:
        m_designer.StopPreview();
        return true;
    case kCmdScaleCenter:
    case kCmdRemoveSceneFiles:
    case kCmdSynchronizeSceneFiles:
        m_designer.RunTool(id);
        return true;
    case kCmdPreferences:
        m_designer.Preferences();
        return true;
    case kCmdExit:
        post(pf::WM_CLOSE);
        return true;
    default:
        return false;
    }
}

void CMainFrame::BeginDrag()
{
    CVTNDesignerApp* app = GetDesignerApp();
    if (app == nullptr || app->GetEditorEngine() == nullptr)
        return;
    m_dragging = true;
    pf::ui().setCapture(hwnd());
}

void CMainFrame::EndDrag(bool drop, pf::Point screen)
{
    m_dragging = false;
    CVTNDesignerApp* app = GetDesignerApp();
    CVTND_EngineInterface* engine = app != nullptr ? app->GetEditorEngine() : nullptr;
    if (engine != nullptr) {
        if (drop)
            engine->Drop(screen);
        else
            engine->CancelDrag();
    }
    pf::ui().setCursor(pf::loadCursor(pf::IDC_ARROW));
    if (pf::ui().capture() == hwnd())
        pf::ui().releaseCapture();
}

pf::LResult CMainFrame::handle(const pf::Msg& msg)
{
    switch (msg.message) {
    case pf::WM_MOUSEMOVE:
        if (m_dragging) {
            CVTNDesignerApp* app = GetDesignerApp();
            if (CVTND_EngineInterface* engine = app != nullptr ? app->GetEditorEngine() : nullptr)
                engine->DragTo(clientToScreen(pf::pointFromLParam(msg.lParam)));
            return 0;
        }
        break;
    case pf::WM_LBUTTONUP:
        if (m_dragging) {
            EndDrag(true, clientToScreen(pf::pointFromLParam(msg.lParam)));
            return 0;
        }
        break;
    case pf::WM_CAPTURECHANGED:
        if (m_dragging) {
            m_dragging = false; // the capture is already gone: no release of our own
            CVTNDesignerApp* app = GetDesignerApp();
            if (CVTND_EngineInterface* engine = app != nullptr ? app->GetEditorEngine() : nullptr)
                engine->CancelDrag();
            pf::ui().setCursor(pf::loadCursor(pf::IDC_ARROW));
            return 0;
        }
        break;
    case pf::WM_COMMAND:
        // The frame's own commands are its own whatever child is active: the event map's Align X shares Stop's id.
        if (msg.lParam == 0 && IsFrameCommand(pf::loWord(msg.wParam)) &&
            handleCommand(pf::loWord(msg.wParam), pf::hiWord(msg.wParam)))
            return 0;
        break;
    case pf::WM_MOVE:
    case pf::WM_SIZE:
        if (!IsMaximized())
            m_normalRect = windowRect();
        if (msg.message == pf::WM_SIZE)
            LayOutStatusPanes();
        break;
    case pf::WM_CLOSE:
        m_designer.Close();
        return 0;
    case pf::WM_TIMER:
        if (msg.wParam == kRecoveryTimer) {
            m_designer.WriteRecoveryCopy(true);
            return 0;
        }
        if (msg.wParam == kRecoveryCollectTimer) {
            m_designer.CollectRecoveryCopy();
            return 0;
        }
        if (msg.wParam == kExitTimer) {
            killTimer(kExitTimer);
            post(pf::WM_CLOSE);
            return 0;
        }
        break;
    case kMsgBeginEditorDrag:
        BeginDrag();
        return 0;
    case kMsgDrainReports:
        m_designer.DrainReports();
        return 0;
    case kMsgRenderFault:
        m_designer.OnRenderFault();
        return 0;
    case kMsgUpdateCommands:
        m_designer.UpdateCommandStates();
        return 0;
    case kMsgPreviewUnloads:
        m_designer.RunPreviewUnloads();
        return 0;
    default:
        break;
    }
    return pf::FrameWindow::handle(msg);
}
