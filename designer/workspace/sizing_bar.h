#pragma once
// CVTND_SizingBar: the window of one docking panel: a caption with the panel's title and a close box over its
// content dialog. Docked, it is a child of the main frame at the edge its state names, resized by dragging its
// inner edge, and, when another bar follows it on that edge, parted from that one by a splitter along its far end
// (its bottom in a column, its right end in a row); floating, it is a top-level window owned by the frame,
// sized by its bottom edge. A double click on the caption floats or docks it. A drag of the caption shows an outline
// (CVTND_DockDrag) and, let go over a dock edge of the frame, docks the bar there, elsewhere floats it there; the
// bar holds the keyboard meanwhile, and Escape, the right button or the keyboard or mouse going elsewhere leave it as
// it was. The bar keeps its content dialog object across both forms: the window is made again, the content dialog's
// window with it.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "designer/workspace/dock_drag.h"
#include "designer/workspace/dock_state.h"
#include "platform/ui/core/window.h"

namespace pf {
class FrameWindow;
class Ui;
} // namespace pf
class CVTND_PanelDlg;
class CVTND_SizingBar;

// What hears that a bar wants another place or size: the docking site, which lays the frame out again.
class CVTND_DockHost {
public:
    virtual ~CVTND_DockHost() = default;
    virtual void BarChanged() = 0;
    // bar's splitter was dragged so that bar would be length long along its side; the bar after it gives or takes
    // the difference.
    virtual void MoveSplitter(CVTND_SizingBar& bar, int32_t length) = 0;
    // bar's inner edge was dragged to make it size thick: every bar docked on its side takes that size.
    virtual void ResizeSide(CVTND_SizingBar& bar, int32_t size) = 0;
    // Where bar, dragged by its caption and let go at screen, would dock; nullopt away from every dock edge.
    virtual std::optional<CVTND_DockTarget> DockTargetAt(const CVTND_SizingBar& bar, pf::Point screen) const = 0;
};

class CVTND_SizingBar final : public pf::Window {
public:
    static constexpr const char* kClassName = "CVTND_SizingBar";
    static constexpr int32_t kCaptionHeight = 18;
    static constexpr int32_t kGripWidth = 5; // the inner edge of a docked bar, the bottom edge of a floating one

    // name and index make the bar's settings section; content is owned from now on; host outlives the bar.
    CVTND_SizingBar(std::string name, int32_t index, std::string title, std::unique_ptr<CVTND_PanelDlg> content,
                    CVTND_DockHost& host);
    ~CVTND_SizingBar() override;

    // Makes the window in the form state says, with the content inside; false when the window could not be made.
    bool Build(pf::FrameWindow& frame, const CVTND_DockState& state);
    CVTND_DockState GetState() const; // a floating bar's rectangle as its window stands now
    const std::string& GetName() const { return m_name; }
    int32_t GetIndex() const { return m_index; }
    const std::string& GetTitle() const { return m_title; }
    CVTND_PanelDlg& Content() const { return *m_content; }

    void SetVisible(bool visible);    // the close box and the View menu; a floating bar hides its window
    void SetFloating(bool floating);  // the window is made again in the other form
    void SetDockedSize(int32_t size); // clamped to the stored limits
    void SetShare(int32_t share);     // clamped to [0, kMaxDockSize]
    // The site's layout: frame client coordinates, empty hides; splitter when another bar follows on the side.
    void PlaceDocked(const pf::Rect& rect, bool splitter = false);
    int32_t DockedLength() const; // along its side, as placed
    pf::Rect CaptionRect() const; // client coordinates of the caption
    pf::Rect CloseBoxRect() const;
    pf::Rect GripRect() const;     // empty when the bar has none (a bar hidden)
    pf::Rect SplitterRect() const; // empty when no bar follows on its side
    void ShowFocus();              // the caption drawn again when the keyboard came into the bar or left it

    static void RegisterClass(pf::Ui& ui);

protected:
    pf::LResult handle(const pf::Msg& msg) override;

private:
    enum class Track : uint8_t { kNone, kSize, kCaption, kFloatSize, kSplit };
    bool MakeWindow();
    pf::Rect Inner() const; // the client without the grip and the splitter
    void LayoutContent();
    void Paint();
    bool IsCaptionActive() const; // floating, or the keyboard is in the bar
    void OnPress(pf::Point p);
    void OnMove(pf::Point p);
    void EndTrack();
    void RememberFloatRect();
    pf::Size FloatSize() const;                   // the floating window's, as last left
    pf::Rect FloatShapeAt(pf::Point press) const; // floating, with press where it is on the caption now
    void DragCaption(pf::Point screen);
    void EndCaptionDrag(bool drop); // drop: go where the outline shows; else stay as before
    void DropAt(const CVTND_DockTarget& target);

    std::string m_name;
    int32_t m_index;
    std::string m_title;
    std::unique_ptr<CVTND_PanelDlg> m_content;
    CVTND_DockHost& m_host;             // the panels' site, which owns this bar
    pf::FrameWindow* m_frame = nullptr; // owned by the designer; the site goes before it
    CVTND_DockState m_state;
    Track m_track = Track::kNone;
    pf::Point m_trackStart;                 // screen point of the press
    CVTND_DockState m_trackState;           // the state when the press began
    pf::Rect m_trackRect;                   // the window's rectangle when the press began
    CVTND_DockDrag m_drag;                  // the caption's drag, while m_track is kCaption
    pf::Hwnd m_focusBefore = pf::kNoWindow; // the keyboard's window before the caption drag took it
    bool m_splitter = false;                // another bar follows on the side
    bool m_drawnActive = false;             // the caption as last painted
    bool m_rebuilding = false;
};
