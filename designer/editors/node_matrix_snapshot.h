#pragma once
// TKObjectModifierDialog: what puts scene nodes back after the controller editor's preview moved them. Reset puts
// every enabled object node at its rest transform; recording keeps every such node's local matrix by name, and
// restoring writes the records back. Each concerns only an editor that posed nodes (NotePose) since its last reset:
// an editor opened and closed without a pose walks no node of the scene. Records of one name go to the nodes of that
// name in their depth-first order, the k-th record to the k-th node, so two nodes that share a name each get their own
// matrix back; a record whose node is gone (deleted or renamed) is skipped and kept, and a node added since keeps its
// matrix.
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

    void NotePose() { m_posed = true; }      // before the editor's preview moves a node
    void ResetNodeMatrices();                // every enabled object node at its rest matrix; a redraw if one moved
    void RestoreNodeMatrices(bool activate); // true: write the records back (a redraw if one moved); false: record
    const SWlist& Records() const { return m_records; }

private:
    void Record();
    bool Restore();   // whether a node moved
    bool PutAtRest(); // every node ResetNodeMatrices resets; whether one moved

    SWworld* m_world; // outlives the editor that holds this snapshot
    SWlist m_records; // of TKOMmemory, owned
    uint8_t m_snapshotMode = 1;
    bool m_recordedAtRest = false; // the last record found every node at rest, and holds nothing
    bool m_posed = false;          // a node may have been posed since the last reset
};
