#pragma once
// The 3D views: CChildRenderFrame, an MDI child of the main frame, and its CChildRenderView, which adds a window to a
// world (the project's, or a player's) and shows what the render thread draws into it. The view is the world's host
// while it is the active view: the host callbacks come on the render thread under the world's lock and only post
// their work to the view. While the world runs, presses, releases, moves and keys go to the world's input queue.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "designer/app/app_registrations.h"
#include "designer/app/world_host.h"
#include "engine/core/world.h"
#include "platform/ui/frame/frame_window.h"

class CVTND_ExtendedWorld;
class SWwindow;

inline constexpr uint32_t kMsgViewHostWork = pf::WM_USER + 310; // a host callback's work, posted to the view
inline constexpr uint32_t kMsgViewRedraw = pf::WM_USER + 311;   // posted after a notice: the whole view again

class CChildRenderView final : public pf::Window, public CVTND_WorldHost {
public:
    explicit CChildRenderView(SWworld& world) : m_world(world) {}
    ~CChildRenderView() override;

    SWworld& GetWorld() const { return m_world; }
    SWwindow* GetEngineWindow() const { return m_window; }
    // The world's current view and host, under the world's lock; its size becomes the reference size.
    void MakeActive();
    void RefreshBackground(); // the root object's background into the renderer (after a file changed it)
    void TakeLastCamera();    // the world's last camera, for a view opened on a world with cameras
    // The next frame draws the whole view afresh, ending a still view's refinement of what it showed before.
    void RedrawWhole();
    void DropPointer(); // capture and pointer lock end (Stop, teardown)
    bool IsPointerLocked() const { return m_locked; }
    // The world is left to a thread that did not stop: the view forgets its window without taking the lock.
    void Abandon() { m_window = nullptr; }

    // -- CVTND_WorldHost: render thread, under the world's lock
    void JavaCallback(SWevent* event, const char* text1, const char* text2, const char* dataText) override;
    void SetCursor(const SWcursor* cursor) override;
    void HostMessage(const char* text) override;
    bool BeginMouseLook() override;
    void EndMouseLook() override;

protected:
    pf::LResult handle(const pf::Msg& msg) override;

private:
    friend class CChildRenderFrame;
    void Attach();
    void Detach();
    void Resize();
    void PostMouse(uint32_t message, pf::LParam lParam);
    void PostKey(bool down, pf::WParam vk, pf::LParam keyData);
    void DoHostWork();
    void PostWork();

    SWworld& m_world;
    SWwindow* m_window = nullptr; // the world's, taken out before this window goes
    std::atomic<bool> m_focused{false};
    bool m_locked = false; // mouse-look's capture and pointer lock
    uint8_t m_buttons = 0; // bits of the buttons held: 1 right, 2 left

    std::mutex m_workLock; // the posted work below, written on the render thread
    std::optional<std::string> m_status;
    bool m_cursorChanged = false;
    std::optional<CVTND_CursorEntry> m_cursorEntry; // the entry the world asked for last; nullopt: none
    pf::Cursor m_shownCursor;                       // user-interface thread: what the view shows over itself
    std::optional<bool> m_mouseLook;
};

class CChildRenderFrame final : public pf::MdiChild {
public:
    // A new frame with its view on world, registered with the application; owned by its window, which deletes it.
    // A player frame shows a published world it owns; the render thread steps it until the frame closes.
    static CChildRenderFrame* Open(pf::FrameWindow& mainFrame, SWworld& world, const std::string& title,
                                   const pf::Rect& rect, bool player);
    // A player frame that owns the published world it shows. onClose runs as the frame goes, before anything of it
    // is freed, so the render thread lets go of the world first; the world is deleted after the view has left it.
    static CChildRenderFrame* OpenPlayer(pf::FrameWindow& mainFrame, std::unique_ptr<SWworld> world,
                                         const std::string& title, const pf::Rect& rect,
                                         std::function<void(SWworld&)> onClose);
    CChildRenderView& View() { return m_view; }
    bool IsPlayer() const { return m_player; }
    // A thread that did not stop may still step the world: it is handed over to be kept alive, never freed.
    std::unique_ptr<SWworld> ReleaseWorld() { return std::move(m_owned); }

protected:
    pf::LResult handle(const pf::Msg& msg) override;
    void onMdiActivate(bool active, pf::MdiChild* other) override;
    void postNcDestroy() override { delete this; }

private:
    CChildRenderFrame(SWworld& world, bool player, std::unique_ptr<SWworld> owned = nullptr)
        : m_owned(std::move(owned)), m_view(world), m_player(player)
    {
    }
    // The frame's window and its view's, made and attached; nullptr when either window cannot be made.
    static CChildRenderFrame* Place(std::unique_ptr<CChildRenderFrame> frame, pf::FrameWindow& mainFrame,
                                    const std::string& title, const pf::Rect& rect);
    std::unique_ptr<SWworld> m_owned; // a player's world; declared first, so it goes after the view has left it
    CChildRenderView m_view;
    bool m_player;
    std::function<void(SWworld&)> m_onClose;
};
