#pragma once
// Receptors over lists of actions: the action lists of the editors (ActionsControlReceptor, with the insertion band
// under the pointer) and the story board's rows (StoryBoardControlReceptor). Both take actions, action kinds and
// Java methods, and put them into the receptor's event, on the branch of its condition or into its queue.
#include <cstdint>

#include "designer/editing/client_area_receptor.h"

class SWactionnode;
class SWevent;

class BaseActionsControlReceptor : public ClientAreaReceptor {
public:
    static constexpr uint16_t kAcceptMask = 0x288; // action, action kind, Java method
    static constexpr uint8_t kPriority = 4;

    // list: the control the receptor covers and refills (its owner too); event: where drops go.
    BaseActionsControlReceptor(pf::Window* list, SWevent* event);

    void OnDrop(pf::Window* window, pf::Point at, Droppable* droppable, bool more) override;
    // Refuses an action whose links already lead up to it from the receptor's targets: hung below them, it would
    // close a loop of links.
    bool CanAccept(Droppable* droppable) override;
    void InsertAction(SWactionnode* action);
    void Refill(); // the list again from the receptor's targets

    pf::Window* ListWindow() const { return m_list; }
    SWevent* event;
    SWactionnode* queueTarget = nullptr; // set at most one of the three targets
    SWactionnode* conditionTrueTarget = nullptr;
    SWactionnode* conditionFalseTarget = nullptr;
    SWactionnode* insertionPoint = nullptr;
    uint8_t insertBefore = 0;

private:
    SWactionnode* Target() const; // the queue or condition target, or null
    bool Reaches(const SWactionnode& action) const;

    pf::Window* m_list; // the hosting dialog's control; the dialog deletes the receptor before the control goes
};

class ActionsControlReceptor : public BaseActionsControlReceptor {
public:
    using BaseActionsControlReceptor::BaseActionsControlReceptor;

    void OnEnter(pf::Window* window, pf::Point at, Droppable* droppable) override;
    void OnHover(pf::Window* window, pf::Point at, Droppable* droppable) override;
    void OnLeave(pf::Window* window, Droppable* droppable) override;

    struct Hit {
        SWactionnode* action = nullptr; // null: no item under the point
        uint8_t before = 0;
        pf::Rect band; // screen; three rows at the item's top (before) or bottom
    };
    static Hit HitTestList(pf::Window* list, pf::Point screen);
    static void DrawInsertionBand(pf::Window* list, const pf::Rect& screenBand); // exclusive-or: twice erases

    SWactionnode* hovered = nullptr;
    pf::Rect band;
};

class StoryBoardControlReceptor : public BaseActionsControlReceptor {
public:
    using BaseActionsControlReceptor::BaseActionsControlReceptor;
};
