#pragma once
// TKObjectModifierDialog: what puts scene nodes back after the controller editor's preview moved them. Reset puts
// every enabled object node at its rest transform; recording keeps every such node's local matrix by name, and
// restoring writes the records back. Records of one name go to the nodes of that name in their depth-first order,
// the k-th record to the k-th node, so two nodes that share a name each get their own matrix back; a record whose
// node is gone (deleted or renamed) is skipped and kept, and a node added since keeps its matrix.
//
// Every read and write of node matrices runs under the world's lock; the redraw request follows the unlock.
#include <cstdint>
#include <optional>
#include <string>

#include "engine/core/list.h"
#include "engine/core/matrix.h"

class SWworld;

class TKOMmemory : public SWlistnode {
public:
    std::optional<std::string> name;
    SWmatrix matrix; // the node's local matrix when recorded
};

class TKObjectModifierDialog {
public:
    explicit TKObjectModifierDialog(SWworld* world) : m_world(world) {} // the designer's world; may be null
    virtual ~TKObjectModifierDialog() = default;

    void ResetNodeMatrices();                // every enabled object node at its rest matrix, then a redraw
    void RestoreNodeMatrices(bool activate); // true: write the records back (and redraw); false: record anew
    const SWlist& Records() const { return m_records; }

private:
    void Record();
    void Restore();

    SWworld* m_world; // outlives the editor that holds this snapshot
    SWlist m_records; // of TKOMmemory, owned
    uint8_t m_snapshotMode = 1;
};
