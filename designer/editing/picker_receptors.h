#pragma once
// Receptors of the small pickers in dialogs: a node dropped on a clickable or movable target picker, a property
// dropped on a property field. Each tells its owner dialog by a message and changes nothing itself.
#include <cstdint>

#include "designer/editing/client_area_receptor.h"

// Client area of the window dropped on; the owner hears 1086 (wParam 0, lParam the node) for nodes with the object
// flag (1) or, when clickable, the hot-spot flag (2) too.
class NodePickerControlReceptor : public ClientAreaReceptor {
public:
    static constexpr uint16_t kAcceptMask = 32;
    static constexpr uint8_t kPriority = 4;

    NodePickerControlReceptor(pf::Window* ownerDialog, uint16_t nodeFlags);

    void OnDrop(pf::Window* window, pf::Point at, Droppable* droppable, bool more) override;

    pf::Window* OwnerDialog() const { return m_owner; }

private:
    pf::Window* m_owner; // the dialog that deletes this receptor before it goes
    uint16_t m_nodeFlags;
};

class ClickableTargetControlReceptor : public NodePickerControlReceptor {
public:
    explicit ClickableTargetControlReceptor(pf::Window* ownerDialog);
};

class MovableTargetControlReceptor : public NodePickerControlReceptor {
public:
    explicit MovableTargetControlReceptor(pf::Window* ownerDialog);
};

// A property item from a panel dropped on a property field: 1151 to the owner, wParam the field's control id.
class PropertyControlReceptor : public ClientAreaReceptor {
public:
    static constexpr uint16_t kAcceptMask = 1;
    static constexpr uint8_t kPriority = 4;

    explicit PropertyControlReceptor(pf::Window* ownerDialog);

    void OnDrop(pf::Window* window, pf::Point at, Droppable* droppable, bool more) override;

private:
    pf::Window* m_owner; // the dialog that deletes this receptor before it goes
};

inline constexpr uint32_t kMsgNodeDropped = 0x400 + 62;      // 1086
inline constexpr uint32_t kMsgPropertyDropped = 0x400 + 127; // 1151
