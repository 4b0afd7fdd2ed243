#pragma once
// CStoryBoard: the time axis of a story board. Rows (CSBRow) lie under each other from y 2, each with a label column
// on the left and markers on the track to the right of the splitter; the current time shows as a vertical line.
// The ruler (CStoryBoardTime) is a separate control above the track that follows the board.
//
// Lines that follow the mouse (current time, splitter, marker drag) are drawn in exclusive-or on the board's own
// client surface and erased by drawing them again, so a drag never repaints; the repaint comes once, at its end,
// through the message pump. Paint draws the current-time line on the same surface, which keeps every pair exact.
#include <cstdint>

#include "engine/core/list.h"
#include "platform/base/user_constants.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/controls/static_control.h"
#include "platform/ui/core/cursor.h"

namespace pf {
class Dc;
}
class CSBMarker;
class CSBRow;
class SWactionnode;

// Sent to the board's parent after initialisation and after the label width changed: lay the ruler out again.
inline constexpr uint32_t kMsgLayOutRuler = pf::WM_USER + 386;

inline constexpr uint32_t kSplitterCursor = 390;
inline constexpr uint32_t kMarkerCursor = 392; // also the ruler's handle

class CStoryBoard : public pf::StaticControl {
public:
    static constexpr int32_t kRowFillWidth = 5000; // the right end of every row's background and lines
    static constexpr int32_t kSplitterWidth = 4;   // the track starts this far right of the label column
    static constexpr int32_t kFirstRowY = 2;
    static constexpr int32_t kRowGap = 3; // between top-level rows
    static constexpr int32_t kMaxPixelsPerSecond = 32767;
    static constexpr float kDefaultScale = 0.5f; // 50 pixels a second
    static constexpr int32_t kDefaultLabelWidth = 100;

    CStoryBoard();
    ~CStoryBoard() override; // the rows and their markers go with it

    // -- The virtual operations of every board
    virtual void Initialise();              // metrics, current time 0, the ruler laid out
    virtual void Redraw();                  // invalidate with erase, then paint now
    virtual void SetCurrentTime(double ms); // negative or NaN is 0; the line moves by exclusive-or
    // A row's duration was handed to its action (an end-marker drag on a motion); the event's board tells the others.
    virtual void DurationChanged(SWactionnode& action) { (void)action; }

    // -- Geometry
    void SetLabelWidth(int32_t width); // the track origin follows at width + 4
    void SetStartTime(double ms);      // the time at the track origin
    void SetScale(float scale);        // pixels a second / 100; a value that is not finite is ignored
    int32_t LabelWidth() const { return m_labelWidth; }
    int32_t TrackOrigin() const { return m_labelWidth + kSplitterWidth; }
    int32_t ClientWidth() const { return m_clientWidth; }
    float Scale() const { return m_scale; }
    double StartTime() const { return m_startMs; }
    double CurrentTime() const { return m_currentMs; }
    int32_t PixelsPerSecond() const;  // scale x 100, from 1 to 32767
    int32_t TimeToX(double ms) const; // saturated to the int range
    double XToTime(int32_t x) const;
    int32_t TrackWidth() const { return m_clientWidth - m_labelWidth - kSplitterWidth; }
    int32_t WholeSecondsInTrack() const; // 0 for an empty track
    int32_t FirstTickOffset() const;     // the first whole second's x right of the origin
    int32_t LineHeight() const { return m_lineHeight; }
    int32_t HalfLineHeight() const { return m_halfLineHeight; }
    int32_t TextOffset() const { return m_textOffset; }
    int32_t CurrentLineX() const { return m_currentLineX; }

    // -- Rows
    SWlist& Rows() { return m_rows; }
    const SWlist& Rows() const { return m_rows; }
    void AddRow(CSBRow* row);           // a top-level row; the board owns it from now on
    CSBRow* FindRowAt(int32_t y) const; // top-level or nested, expanded rows only; null when none
    CSBMarker* HoveredMarker() const { return m_hovered; }
    CSBMarker* DraggedMarker() const { return m_dragged; }
    bool IsSplitterDragged() const { return m_splitterDrag; }
    void ForgetMarkersOf(const CSBRow& row); // the hovered or dragged marker of a row that goes

    // -- Drawing helpers the rows and markers use
    void DrawDragLine(int32_t x); // exclusive-or, white, over the whole client height
    const pf::Pen& GridPen() const { return m_gridPen; }
    const pf::Pen& MarkerPen() const { return m_markerPen; }
    const pf::Pen& RepetitionPen() const { return m_repetitionPen; }
    const pf::Pen& RowLinePen() const { return m_rowLinePen; }
    const pf::Brush& RowBrush() const { return m_rowBrush; }

protected:
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void Paint();
    void PaintRow(pf::Dc& dc, CSBRow& row, int32_t y);       // a top-level row: background, lines, grid, content
    void DrawRowContent(pf::Dc& dc, CSBRow& row, int32_t y); // markers, expand box, label, expanded children
    void DrawExpandBox(pf::Dc& dc, const CSBRow& row, int32_t y);
    void DrawLabel(pf::Dc& dc, const CSBRow& row, int32_t y);
    void DrawCurrentLine(pf::Dc& dc, int32_t x) const;
    void OnMouseMove(pf::Point p);
    void OnLeftDown(pf::Point p);
    void OnLeftUp();
    void OnRightDown(pf::Point p);
    void MoveDragLine(int32_t x);
    int32_t LabelRoom() const; // pixels a row's label may take before it is cut
    bool IsOverSplitter(int32_t x) const { return x > m_labelWidth && x < m_labelWidth + kSplitterWidth; }
    void AskForRulerLayout();
    void MeasureLines();

    SWlist m_rows; // of CSBRow, owned
    int32_t m_labelWidth = kDefaultLabelWidth;
    int32_t m_clientWidth = 0;
    float m_scale = kDefaultScale;
    double m_startMs = 0.0;
    double m_currentMs = 0.0;
    int32_t m_currentLineX = kDefaultLabelWidth + kSplitterWidth;
    pf::Cursor m_markerCursor;
    pf::Cursor m_splitterCursor;
    pf::Brush m_backgroundBrush;
    pf::Brush m_rowBrush;
    pf::Pen m_rowLinePen;
    pf::Pen m_gridPen;
    pf::Pen m_markerPen;
    pf::Pen m_repetitionPen;
    pf::Pen m_dragLinePen;
    bool m_splitterHover = false;
    bool m_splitterDrag = false;
    bool m_dragMoved = false;
    int32_t m_dragLineX = -5;
    CSBMarker* m_hovered = nullptr; // a marker of one of m_rows' rows
    CSBMarker* m_dragged = nullptr;
    int32_t m_lineHeight = 20;
    int32_t m_halfLineHeight = 10;
    int32_t m_textOffset = 0;
    float m_lineHeightFactor = 1.0f;
};
