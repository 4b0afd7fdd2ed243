#pragma once
// CEventStoryBoard: the story board of one event. A row per action in the event's list order, the actions a
// condition (kind 25) or a queue (kind 30) holds nested under its row by their links; it follows the designer's
// notifications about the event's actions, takes dropped actions through its receptor, and previews the event as
// its current time moves.
//
// Every action gets at most one row, however its links run: a linked action listed before its parent brings in its
// parent's top-level ancestor with the whole subtree, and a cycle of links (from a damaged file) ends where an
// action already has a row.
#include <cstdint>
#include <memory>

#include "designer/eventedit/story_board.h"

class CSBActionNodeRow;
class CVTND_Event;
class EDPreview;
class SWactionnode;
class SWevent;

class CEventStoryBoard : public CStoryBoard {
public:
    CEventStoryBoard();
    ~CEventStoryBoard() override; // the preview undone, the receptor given back to the engine

    void Attach(SWevent* event);             // initialise, receptor, preview, rows
    void Redraw() override;                  // the rows that are missing, then the repaint
    void Rebuild();                          // the same
    void SetCurrentTime(double ms) override; // the line, then the preview
    void DurationChanged(SWactionnode& action) override;

    SWevent* Event() const { return m_event; }
    EDPreview* Preview() const { return m_preview.get(); }
    uint32_t ReceptorHandle() const { return m_receptorHandle; } // 0 while no engine took one
    CSBActionNodeRow* FindRow(const SWactionnode* action) const; // expanded or not
    bool RemoveRow(const SWactionnode* action);                  // deleted with its children
    void UpdateRow(const SWactionnode* action); // its markers and its later siblings', their held rows again
    size_t RowCount() const;                    // every row, nested ones included

protected:
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void AddRowFor(SWactionnode* action, CSBRow* parent); // with the rows of what it holds
    void AddHeldRows(CSBActionNodeRow& row);
    void RebuildRow(CSBActionNodeRow& row);                   // markers again, held rows again, expanded byte kept
    SWactionnode* ParentOf(const SWactionnode& action) const; // by the first set link; null when none
    SWactionnode* EntryAncestor(SWactionnode& action) const;  // what to add so that action gets its row
    void OnNotify(const CVTND_Event& event);
    void DropRowsThatLeft(); // rows of actions moved to another event
    void RepaintRow(const CSBRow& row, int32_t oldHeight);

    SWevent* m_event = nullptr;    // the world's; the frame closes before the event goes
    uint32_t m_receptorHandle = 0; // of the StoryBoardControlReceptor the editor engine owns
    std::unique_ptr<EDPreview> m_preview;
};
