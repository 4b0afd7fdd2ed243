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
    if (m_world == nullptr)
        return;
    {
        CVTND_WorldWriteLock lock(m_world);
        SWnode* const root = m_world->GetRootNode();
        for (SWnode* n = root; n != nullptr; n = n->NextInTree(root))
            if (SWobjectnode* object = TakingPart(n); object != nullptr && object->GetTransformVariable() != nullptr)
                object->SetLocalMatrix(object->GetInitialMatrix());
    }
    m_world->Invalidate(false);
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
    Restore();
    m_world->Invalidate(false);
}

void TKObjectModifierDialog::Record()
{
    m_records.DeleteAll();
    CVTND_WorldWriteLock lock(m_world);
    SWnode* const root = m_world->GetRootNode();
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
void TKObjectModifierDialog::Restore()
{
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
        if (found != byName.end() && k < found->second.size())
            found->second[k]->SetLocalMatrix(record->matrix);
        ++k;
    }
}
