#include "designer/app/project_object.h"

#include <algorithm>

#include "engine/core/node.h"
#include "engine/core/object_node.h"

namespace {

constexpr int kParticleGeometryCode = 4; // SWobjectnode::GetKindCode of a particle system's node

} // namespace

bool CVTND_Object::IsNodeType() const
{
    switch (static_cast<ObjectType>(m_type)) {
    case ObjectType::kMeshNode:
    case ObjectType::kCamera:
    case ObjectType::kObjectNode:
    case ObjectType::kNode:
    case ObjectType::kGroup:
    case ObjectType::kHotspot:
    case ObjectType::kParticleNode:
    case ObjectType::kRoot:
        return true;
    default:
        return false;
    }
}

uint16_t CVTND_Object::TypeOfNode(const SWnode& node)
{
    ObjectType type = ObjectType::kNode;
    const SWobjectnode* object = SWobjectnode::FromNode(&node);
    if (node.HasKind(SWnode::kKindRoot))
        type = ObjectType::kRoot;
    else if (node.HasKind(SWnode::kKindCamera))
        type = ObjectType::kCamera;
    else if (node.HasKind(SWnode::kKindHotspot))
        type = ObjectType::kHotspot;
    else if (object != nullptr && object->GetKindCode() == kParticleGeometryCode)
        type = ObjectType::kParticleNode;
    else if (node.HasKind(SWnode::kKindMesh))
        type = ObjectType::kMeshNode;
    else if (node.HasKind(SWnode::kKindGroup))
        type = ObjectType::kGroup;
    else if (node.IsTransformNode())
        type = ObjectType::kObjectNode;
    return static_cast<uint16_t>(type);
}

void CVTND_Object::InitFromNode(SWnode* node)
{
    m_object = node;
    m_type = node != nullptr ? TypeOfNode(*node) : 0;
}

bool CVTND_Objects::AddUnique(const CVTND_Object& object)
{
    if (Contains(object))
        return false;
    m_items.push_back(object);
    return true;
}

bool CVTND_Objects::Remove(const CVTND_Object& object)
{
    return std::erase(m_items, object) != 0;
}

size_t CVTND_Objects::RemoveObject(const void* object)
{
    return std::erase_if(m_items, [object](const CVTND_Object& item) { return item.GetObject() == object; });
}

bool CVTND_Objects::Contains(const CVTND_Object& object) const
{
    return std::find(m_items.begin(), m_items.end(), object) != m_items.end();
}
