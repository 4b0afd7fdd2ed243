#include "engine/behaviour/mesh_node_motion.h"

#include "engine/core/object_node.h"
#include "engine/core/world.h"

SWmeshnodemotion::SWmeshnodemotion(const SWmeshnodemotion& other) : SWnodemotion(other) {}

SWmeshnodemotion::~SWmeshnodemotion() = default;

void SWmeshnodemotion::SetTargetObject(SWobjectnode* node)
{
    if (node == GetTargetObject())
        return;
    m_target = m_world != nullptr && node != nullptr ? NodeRef(*m_world, node) : NodeRef();
}

SWobjectnode* SWmeshnodemotion::GetTargetObject() const
{
    return dynamic_cast<SWobjectnode*>(m_target.Get(m_world));
}
