#include "designer/editors/node_matrix_snapshot.h"

#include <map>
#include <vector>

#include "designer/app/world_write_lock.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/world.h"

namespace {

// The nodes that take part: enabled object nodes.
SWobjectnode* TakingPart(SWnode* node)
{
    SWobjectnode* object = SWobjectnode::FromNode(node);
    return object != nullptr && object->IsEnabled() ? object : nullptr;
}

} // namespace

void TKObjectModifierDialog::ResetNodeMatrices()
{
    // Only a move redraws: a redraw restarts the views' refinement, whose frames hold the world for as long as a
    // large scene takes to draw, and opening or closing an editor did that for nothing.
    if (m_world != nullptr && PutAtRest())
        m_world->Invalidate(false);
}

bool TKObjectModifierDialog::PutAtRest()
{
    if (!m_posed)
        return false;
    m_posed = false;
    bool moved = false;
    CVTND_WorldWriteLock lock(m_world);
    SWnode* const root = m_world->GetRootNode();
    for (SWnode* n = root; n != nullptr; n = n->NextInTree(root)) {
        SWobjectnode* object = TakingPart(n);
        if (object == nullptr || object->GetTransformVariable() == nullptr)
            continue;
        const SWmatrix rest = object->GetInitialMatrix();
        if (object->GetLocalMatrix() != rest) {
            object->SetLocalMatrix(rest);
            moved = true;
        }
    }
    return moved;
}

void TKObjectModifierDialog::RestoreNodeMatrices(bool activate)
{
    if (m_world == nullptr)
        return;
    if (!activate) {
        if (m_snapshotMode != 0)
            Record();
        return;
    }
    if (m_snapshotMode == 0) {
        ResetNodeMatrices();
        return;
    }
    if (Restore())
        m_world->Invalidate(false);
}

void TKObjectModifierDialog::Record()
{
    m_records.DeleteAll();
    // An editor that posed nothing since its last reset, or whose poses are all back at rest, records that alone:
    // a record of each node of a large scene took longer than all the rest of closing the editor.
    m_recordedAtRest = true;
    if (!m_posed)
        return;
    CVTND_WorldWriteLock lock(m_world);
    SWnode* const root = m_world->GetRootNode();
    for (SWnode* n = root; n != nullptr && m_recordedAtRest; n = n->NextInTree(root))
        if (const SWobjectnode* object = TakingPart(n))
            m_recordedAtRest = object->GetLocalMatrix() == object->GetInitialMatrix();
    if (m_recordedAtRest)
        return;
    for (SWnode* n = root; n != nullptr; n = n->NextInTree(root)) {
        if (SWobjectnode* object = TakingPart(n)) {
            auto* record = new TKOMmemory;
            record->name = object->GetName();
            record->matrix = object->GetLocalMatrix();
            m_records.AddTail(record);
        }
    }
}

// The k-th record of a name goes to the k-th node of that name, depth-first, among the nodes that take part as
// the records were taken from them.
bool TKObjectModifierDialog::Restore()
{
    if (m_recordedAtRest)
        return PutAtRest();
    if (m_records.Head() == nullptr)
        return false; // nothing recorded yet: the editor's first activation
    bool moved = false;
    CVTND_WorldWriteLock lock(m_world);
    SWnode* const root = m_world->GetRootNode();
    std::map<std::string, std::vector<SWobjectnode*>> byName;
    for (SWnode* n = root; n != nullptr; n = n->NextInTree(root))
        if (SWobjectnode* object = TakingPart(n); object != nullptr && object->GetName())
            byName[*object->GetName()].push_back(object);
    std::map<std::string, size_t> used;
    for (const SWlistnode* n = m_records.Head(); n != nullptr; n = n->Next()) {
        const auto* record = static_cast<const TKOMmemory*>(n);
        if (!record->name)
            continue;
        const auto found = byName.find(*record->name);
        size_t& k = used[*record->name];
        if (found != byName.end() && k < found->second.size() && found->second[k]->GetLocalMatrix() != record->matrix) {
            found->second[k]->SetLocalMatrix(record->matrix);
            moved = true;
            m_posed = true;
        }
        ++k;
    }
    return moved;
}
