#pragma once
// The time-line window of one event: CChildEventTimelineFrame, an MDI child of the main frame, and its view
// CChildEventTimelineView, a child dialog (386) holding the zoom field with its spin, the ruler, the event's story
// board and the scroll bars. The application opens one per request (OpenEventTimeline); it closes with its event.
#include <cstdint>

#include "platform/ui/dialog/dialog.h"
#include "platform/ui/frame/frame_window.h"

namespace pf {
class ScrollBar;
class UpDown;
} // namespace pf
class CEventStoryBoard;
class CStoryBoardTime;
class CVTNDesignerApp;
class SWevent;

inline constexpr int32_t kTimelineViewId = 386;
inline constexpr const char* kTimelineFrameClass = "EventTimelineFrame";

class CChildEventTimelineView : public pf::Dialog {
public:
    static constexpr int32_t kZoomEdit = 1004;
    static constexpr int32_t kBoard = 1003;
    static constexpr int32_t kRuler = 1024;
    static constexpr int32_t kSpin = 1347;
    static constexpr int32_t kVerticalBar = 1018;
    static constexpr int32_t kHorizontalBar = 1175;
    static constexpr int32_t kScrollRange = 32767;
    static constexpr float kLargestZoom = 32767.0f; // the spin's range: beyond it pixels a second stop fitting

    bool Create(pf::Window& frame); // the template, with the board and the ruler put behind its statics
    void SetEvent(SWevent* event);
    void LayOutRuler();
    void FinishInitialUpdate(); // sizes are followed from here on
    CEventStoryBoard* Board() const { return m_board; }
    CStoryBoardTime* Ruler() const { return m_ruler; }
    double Zoom() const { return m_zoom; } // percent, as the field took it; the board's scale is a hundredth of it

protected:
    pf::LResult handle(const pf::Msg& msg) override;
    bool onInitDialog() override;
    void onOK() override {}     // Enter in the zoom field does not close the view
    void onCancel() override {} // nor does Esc

private:
    void OnSize(int32_t width, int32_t height);
    void OnHorizontalScroll(int32_t code, int32_t trackPos);
    void OnZoomChanged();
    void WriteZoom();
    void RepaintTrack();

    SWevent* m_event = nullptr;          // the world's; the frame closes before it goes
    CEventStoryBoard* m_board = nullptr; // owned by the window tree
    CStoryBoardTime* m_ruler = nullptr;  // owned by the window tree
    int32_t m_width = 0;
    int32_t m_height = 0;
    bool m_initialising = true;
    double m_zoom = 0.0;
    bool m_showingZoom = false; // the zoom field is being given the zoom back
};

class CChildEventTimelineFrame : public pf::MdiChild {
public:
    // A new frame for event in mainFrame's MDI client, registered with app; owned by its window. Null when the
    // frame or its view cannot be made.
    static CChildEventTimelineFrame* Open(CVTNDesignerApp& app, pf::FrameWindow& mainFrame, SWevent* event);
    static void RegisterWindowClass(pf::Ui& ui); // the frame's class: no cursor, no background

    void SetEvent(SWevent* event);
    SWevent* Event() const { return m_event; }
    CChildEventTimelineView& View() { return m_view; }

protected:
    pf::LResult handle(const pf::Msg& msg) override;
    void postNcDestroy() override { delete this; }

private:
    CChildEventTimelineFrame() = default;

    CChildEventTimelineView m_view;
    SWevent* m_event = nullptr; // the world's; the frame closes when it is deleted
};
