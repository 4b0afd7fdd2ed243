#pragma once
// The rows and markers of a story board. A row owns its markers and its child rows (the actions a condition or a
// queue holds); an action row builds its markers from its action's delay and duration. Marker times are
// milliseconds; a row keeps respaced times from a drag until its markers are built again.
#include <cstdint>
#include <string>

#include "engine/core/list.h"

namespace pf {
class Dc;
}
class CStoryBoard;
class SWactionnode;

class CSBMarker;

class CSBRow : public SWlistnode {
public:
    enum class Type : uint8_t { kPlain = 0, kAction = 1 };

    explicit CSBRow(Type type = Type::kPlain) : m_type(type) {}
    ~CSBRow() override; // markers and child rows go with it

    virtual std::string Label() const { return {}; }
    virtual void RightClick(bool inLabel, int32_t x, int32_t y); // a plain row does nothing
    virtual void Rebuild();                                      // child rows deleted, markers built again
    virtual void BuildMarkers() {}

    Type GetType() const { return m_type; }
    CStoryBoard* Board() const { return m_board; }
    void SetBoard(CStoryBoard* board) { m_board = board; }
    CSBRow* ParentRow() const { return m_parent; }
    SWlist& Markers() { return m_markers; }
    const SWlist& Markers() const { return m_markers; }
    SWlist& Children() { return m_children; }
    const SWlist& Children() const { return m_children; }
    void AddMarker(CSBMarker* marker); // the row owns it from now on
    void AddChild(CSBRow* row);        // the row owns it; it takes this row's board
    void DeleteChildren();
    void DeleteMarkers();
    int32_t Top() const { return m_top; }
    void SetTop(int32_t y) { m_top = y; }
    int32_t TotalHeight() const; // one line, plus the expanded children's
    bool IsExpanded() const { return m_expanded != 0; }
    void SetExpanded(bool on) { m_expanded = on ? 1 : 0; }
    bool IsExpandable() const { return m_expandable != 0; }
    void SetExpandable(bool on) { m_expandable = on ? 1 : 0; }
    CSBRow* FindRowAt(int32_t y);         // this row or an expanded descendant
    CSBMarker* MarkerAt(int32_t x) const; // the first hit-testable marker under x
    // The marker a drag from marker takes once it moves right: the last hit-testable one at marker's time (an end
    // lying on its start), else marker itself.
    CSBMarker* MarkerDraggedRight(CSBMarker& marker) const;
    bool IsOnExpandBox(int32_t x, int32_t y) const; // 8 <= x < 17, within 6 of the middle line
    void ShiftMarkers(double deltaMs);              // this row's markers and all its descendants'

private:
    Type m_type;
    SWlist m_markers;               // of CSBMarker, owned
    SWlist m_children;              // of CSBRow, owned
    CStoryBoard* m_board = nullptr; // the board that (through its rows) owns this row
    CSBRow* m_parent = nullptr;
    int32_t m_top = 0;
    uint8_t m_expanded = 0;
    uint8_t m_visible = 1;
    uint8_t m_expandable = 0;
};

// A row for one action of an event.
class CSBActionNodeRow : public CSBRow {
public:
    static constexpr size_t kMaxRepetitionMarkers = 4096;

    explicit CSBActionNodeRow(SWactionnode* action) : CSBRow(Type::kAction), m_action(action) {}

    std::string Label() const override;
    void BuildMarkers() override;
    SWactionnode* Action() const { return m_action; }

private:
    void BuildSoundMarkers(double delayMs);

    SWactionnode* m_action; // the event's; the board removes this row before the action goes
};

class CSBMarker : public SWlistnode {
public:
    enum Kind : uint16_t { kStart = 1, kEnd = 2, kRepetitionEnd = 3, kEndlessEnd = 4, kEndlessStart = 5 };

    CSBMarker(Kind kind, double timeMs, bool hitTestable) : m_kind(kind), m_timeMs(timeMs), m_hit(hitTestable) {}

    virtual void Draw(pf::Dc& dc, int32_t rowY) const { (void)dc, (void)rowY; }
    virtual void SetTime(double ms) { m_timeMs = ms; }
    virtual void RightClick() {}

    Kind GetKind() const { return m_kind; }
    double Time() const { return m_timeMs; }
    void MoveTime(double ms) { m_timeMs = ms; } // display only: nothing of the action changes
    bool IsHitTestable() const { return m_hit; }
    CSBRow* Row() const { return m_row; }
    void SetRow(CSBRow* row) { m_row = row; }

private:
    Kind m_kind;
    double m_timeMs;
    bool m_hit;
    CSBRow* m_row = nullptr; // the row that owns it
};

// A marker of an action row: dropping a start marker sets the action's delay; dropping an end marker hands the
// new duration to a motion action, or respaces the row's markers for display.
class CSBActionMarker : public CSBMarker {
public:
    using CSBMarker::CSBMarker;

    void Draw(pf::Dc& dc, int32_t rowY) const override;
    void SetTime(double ms) override;

private:
    void DropStart(double ms);
    void DropEnd(double ms);
};

// Timed actions: the kinds whose rows end where their motion does, and that the preview runs.
bool IsTimedActionKind(int32_t kind);
