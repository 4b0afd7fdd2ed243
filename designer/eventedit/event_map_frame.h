#pragma once
// The event map window: CChildEventMapFrame, an MDI child of the main frame with its own tool bar and status bar, and
// its view CChildEventMapView, a child dialog (288) holding the event list, the canvas, the map's scroll bars and the
// hidden edit that takes the keyboard for the canvas. Every window shows the engine's one map at its own scroll
// origin.
#include <cstdint>

#include "platform/ui/controls/edit.h"
#include "platform/ui/dialog/dialog.h"
#include "platform/ui/frame/frame_window.h"

namespace pf {
class ListView;
class ScrollBar;
class StatusBar;
class ToolBar;
} // namespace pf
class CVTNDesignerApp;
class CVTND_EventMap;
class ControlReceptor;

inline constexpr const char* kEventMapFrameClass = "EventMapFrame";
inline constexpr int32_t kEventMapScrollRange = 5000;

// Hidden, yet it takes the focus when the canvas is clicked; every released key goes to the canvas.
class CVTND_HiddenEventMapEdit : public pf::Edit {
protected:
    pf::LResult handle(const pf::Msg& msg) override;
};

class CChildEventMapView : public pf::Dialog {
public:
    bool Create(pf::Window& frame);
    void InitialUpdate();             // the event list filled, the scroll bars set, sizes followed from here on
    void ScrollTo(pf::Point origin);  // as the user's thumb tracking would
    void ShowMapPoint(pf::Point map); // status panes 2 and 3
    void FitRanges(pf::Point extent); // extent: the right and bottom edges of what the map draws
    void FocusHiddenEdit();
    void ToggleEventList(); // command 32772
    bool IsListShown() const;
    CVTND_EventMap* Canvas() const { return m_canvas; }
    pf::ListView* EventList() const;
    pf::ScrollBar* Bar(bool vertical) const;

protected:
    pf::LResult handle(const pf::Msg& msg) override;
    bool onInitDialog() override;
    void onOK() override {}
    void onCancel() override {}

private:
    void OnSize(int32_t width, int32_t height);
    void OnScroll(bool vertical, int32_t code, int32_t trackPos, pf::Window* bar);
    bool OnWheel(int32_t delta); // false when there is nothing to scroll
    void BeginEventTypeDrag(int32_t item);
    pf::StatusBar* Status() const;

    CVTND_EventMap* m_canvas = nullptr;               // owned by the window tree
    CVTND_HiddenEventMapEdit* m_hiddenEdit = nullptr; // owned by the window tree
    int32_t m_width = 0;
    int32_t m_height = 0;
    bool m_firstSize = true;
};

class CChildEventMapFrame : public pf::MdiChild {
public:
    // A new window in mainFrame's MDI client, titled with number, registered with app; owned by its window. Null
    // when the frame or its view cannot be made.
    static CChildEventMapFrame* Open(CVTNDesignerApp& app, pf::FrameWindow& mainFrame, uint32_t number);
    static void RegisterWindowClass(pf::Ui& ui);

    CVTND_EventMap* GetEventMap() const { return m_view.Canvas(); }
    CChildEventMapView& View() { return m_view; }
    pf::ToolBar* Tools() const { return m_toolBar; }
    pf::StatusBar* Status() const { return m_statusBar; }
    void RedrawMap();

protected:
    pf::LResult handle(const pf::Msg& msg) override;
    bool handleCommand(uint32_t id, uint32_t code) override;
    void postNcDestroy() override { delete this; }

private:
    CChildEventMapFrame() = default;
    void Layout();
    void Closing();

    CChildEventMapView m_view;
    pf::ToolBar* m_toolBar = nullptr;     // owned by the window tree
    pf::StatusBar* m_statusBar = nullptr; // owned by the window tree
    uint32_t m_receptor = 0;              // the engine's handle of the empty map's receptor
    bool m_closed = false;
};
