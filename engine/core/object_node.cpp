#include "engine/core/object_node.h"

#include "engine/behaviour/property.h"
#include "engine/core/node_names.h"
#include "engine/core/transform_value.h"
#include "engine/core/type_tag.h"
#include "engine/resources/geometry.h"

SWobjectnode::SWobjectnode(uint16_t extraKinds) : SWnode(static_cast<uint16_t>(kKindObject | extraKinds))
{
    SetClass(kClassObjectNode, true);
    // A large world has tens of thousands of nodes, few of whose variables are ever read: the three built-ins
    // (about a kilobyte a node) wait until the list is.
    DeferVariables();
}

SWobjectnode::~SWobjectnode() = default;

void SWobjectnode::MakeDeferred()
{
    m_localPrevious = std::make_unique<SWmatrix>(m_localInitial);
    auto transform = std::make_unique<SWproperty>(kTypeMatrix, std::make_unique<TypedValueTransform>(m_localInitial),
                                                  std::make_unique<TypedValueTransform>(m_local),
                                                  std::make_unique<TypedValueTransform>(*m_localPrevious));
    transform->SetName(std::string(kTransformVariableName));
    // Built in: never saved, never edited by the user; the views carry the same flags.
    const uint8_t builtIn = SWproperty::kFlagBuiltIn | SWproperty::kFlagUser;
    transform->SetAllFlags(builtIn);
    m_transformVariable = AddVariable(std::move(transform));
    auto position = std::make_unique<SWproperty>(kTypeVector, *m_transformVariable, 0);
    position->SetName(std::string(kPositionVariableName));
    position->SetAllFlags(builtIn);
    AddVariable(std::move(position));
    auto rotation = std::make_unique<SWproperty>(kTypeQuaternion, *m_transformVariable, 0);
    rotation->SetName(std::string(kRotationVariableName));
    rotation->SetAllFlags(builtIn);
    AddVariable(std::move(rotation));
}

void SWobjectnode::ResetDeferred()
{
    m_local = m_localInitial; // what the variable's ResetToInitial does to its current copy
}

SWobjectnode::PendingState& SWobjectnode::Pending()
{
    if (m_pendingState == nullptr)
        m_pendingState = std::make_unique<PendingState>();
    return *m_pendingState;
}

const SWmatrix& SWobjectnode::GetPendingMatrix() const
{
    static const SWmatrix kIdentity;
    return m_pendingState != nullptr ? m_pendingState->pending : kIdentity;
}

SWmatrix SWobjectnode::GetLocalMatrix() const
{
    return m_local;
}

void SWobjectnode::SetLocalMatrix(const SWmatrix& m)
{
    m_local = m;
}

SWmatrix SWobjectnode::GetInitialMatrix() const
{
    return m_localInitial;
}

void SWobjectnode::SetInitialMatrix(const SWmatrix& m)
{
    // All three copies, as the variable's SetMatrixAll writes them.
    m_localInitial = m;
    m_local = m;
    if (m_localPrevious != nullptr)
        *m_localPrevious = m;
}

void SWobjectnode::ApplyTransform(const SWmatrix& p)
{
    SWmatrix& pending = Pending().pending;
    if (m_hasPending)
        pending.PostMultiply(p);
    else
        pending = p;
    m_hasPending = true;
}

void SWobjectnode::Translate(float x, float y, float z)
{
    ApplyTransform(SWmatrix::Translation(x, y, z));
}

void SWobjectnode::UpdateMatrices(const SWnode* parent)
{
    if (m_hasPending) {
        m_local.PostMultiply(m_pendingState->pending);
        m_pendingState->pending.SetIdentity();
        m_hasPending = false;
    }
    const SWmatrix& local = m_local;
    local.Multiply(m_object, m_animation);
    const SWobjectnode* const transformParent = FromNode(parent);
    if (transformParent != nullptr) {
        transformParent->m_world.Multiply(m_world, m_object);
        transformParent->m_baseWorld.Multiply(m_baseWorld, local);
    } else {
        m_world = m_object;
        m_baseWorld = local;
    }
    UpdateRenderMatrix();
}

void SWobjectnode::UpdateRenderMatrix() const
{
    if (SWgeometry* geometry = GetGeometry()) {
        SWmatrix render;
        m_world.Multiply(render, geometry->GetMatrix());
        geometry->SetRenderMatrix(render);
    }
}

void SWobjectnode::RefreshObjectMatrix()
{
    m_local.Multiply(m_object, m_animation);
    UpdateRenderMatrix();
}

SWtimedactionentry* SWobjectnode::GetTimedActions() const
{
    return static_cast<SWtimedactionentry*>(m_timedActions.Head());
}

SWtimedactionentry* SWobjectnode::AttachTimedAction(SWnodemotion* motion)
{
    auto* entry = new SWtimedactionentry(motion);
    m_timedActions.AddTail(entry);
    return entry;
}

bool SWobjectnode::DeleteTimedAction(SWtimedactionentry* entry)
{
    return m_timedActions.Delete(entry);
}

SWtimedactionentry* SWobjectnode::FindTimedActionEntry(const SWnodemotion* motion) const
{
    for (SWlistnode* n = m_timedActions.Head(); n != nullptr; n = n->Next())
        if (static_cast<SWtimedactionentry*>(n)->motion == motion)
            return static_cast<SWtimedactionentry*>(n);
    return nullptr;
}

void SWobjectnode::SetVisible(bool visible)
{
    if (SWgeometry* geometry = GetGeometry())
        geometry->SetHidden(!visible, true);
}

int SWobjectnode::GetKindCode() const
{
    if (HasKind(kKindMesh) || HasKind(kKindCamera) || HasKind(kKindRoot))
        return 1;
    const SWgeometry* geometry = GetGeometry();
    if (geometry != nullptr && geometry->IsKindOf(MakeTag("PSYS"))) // the particle node's tag
        return 4;
    if (HasKind(kKindHotspot))
        return 3;
    return 2;
}

SWmatrix ComputeNodeToWorldMatrix(const SWnode& node)
{
    const auto* object = dynamic_cast<const SWobjectnode*>(&node);
    if (object == nullptr)
        return SWmatrix();
    SWmatrix product = object->GetLocalMatrix();
    for (const SWnode* p = node.GetParentNode(); p != nullptr; p = p->GetParentNode()) {
        const auto* ancestor = dynamic_cast<const SWobjectnode*>(p);
        if (ancestor == nullptr)
            break;
        ancestor->GetLocalMatrix().Multiply(product, product);
    }
    return product;
}
