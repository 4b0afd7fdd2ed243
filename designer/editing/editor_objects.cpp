#include "designer/editing/editor_objects.h"

#include "designer/editing/map_object.h"
#include "platform/ui/core/ui.h"

// -- DropReceptor

void DropReceptor::AddOwner(pf::Window* window)
{
    m_owners.AddTail(new CDropReceptorOwner(window));
}

void DropReceptor::RemoveOwner(pf::Window* window)
{
    for (SWlistnode* n = m_owners.Head(); n != nullptr; n = n->Next()) {
        if (static_cast<CDropReceptorOwner*>(n)->window == window) {
            m_owners.Delete(n);
            return;
        }
    }
}

bool DropReceptor::OwnsWindow(const pf::Window* window) const
{
    if (window == nullptr)
        return false;
    for (SWlistnode* n = m_owners.Head(); n != nullptr; n = n->Next()) {
        if (static_cast<CDropReceptorOwner*>(n)->window == window)
            return true;
    }
    return false;
}

bool DropReceptor::Accepts(const Droppable& droppable) const
{
    const uint16_t kind = droppable.GetKindWord();
    if ((refuseMask & kind) != 0)
        return false;
    return (acceptMask & kind) != 0;
}

// -- EdContent

void EdContent::SetContent(uint16_t bits, void* content)
{
    AddKind(bits);
    m_content = content;
}

void EdContent::SetEventType(uint32_t type)
{
    SetContent(EdKind::kEventType, reinterpret_cast<void*>(static_cast<uintptr_t>(type)));
}

void EdContent::SetJavaMethod(const CVTND_JavaMethod* method)
{
    SetContent(EdKind::kJavaMethod, const_cast<CVTND_JavaMethod*>(method));
}

int32_t EdContent::GetEventType() const
{
    if ((GetKind() & EdKind::kEventType) == 0)
        return -1;
    return static_cast<int32_t>(reinterpret_cast<uintptr_t>(m_content));
}

const CVTND_JavaMethod* EdContent::GetJavaMethod() const
{
    return static_cast<const CVTND_JavaMethod*>(Get(EdKind::kJavaMethod));
}

const EdContent* DroppedContent(Droppable* droppable)
{
    if (droppable == nullptr)
        return nullptr;
    if (MapObject* object = droppable->AsMapObject())
        return object;
    return droppable->AsPaletteObject();
}

// -- EditorObjects

EditorObjects::~EditorObjects()
{
    ReleaseAll();
}

void EditorObjects::ReleaseAll()
{
    m_dragList.clear();
    m_current = nullptr;
    m_currentWindow = nullptr;
    m_byContent.Clear();
    while (SWlistnode* n = m_droppables.Head()) {
        auto* droppable = static_cast<Droppable*>(n);
        m_droppables.Remove(n);
        if (droppable->AsMapObject() == nullptr)
            delete droppable;
    }
    while (SWlistnode* n = m_receptors.Head()) {
        DropReceptor* receptor = &static_cast<DropReceptorLink*>(n)->receptor;
        m_receptors.Remove(n);
        delete receptor;
    }
}

void EditorObjects::AddMapObject(MapObject* object)
{
    if (object == nullptr)
        return;
    m_droppables.AddTail(static_cast<Droppable*>(object));
    m_receptors.AddTail(&object->link);
    object->m_handle = ++m_lastHandle;
    m_byContent.Insert(ContentHash(object->GetContent()), object);
}

void EditorObjects::AddDroppable(Droppable* droppable)
{
    if (droppable != nullptr)
        m_droppables.AddTail(droppable);
}

uint32_t EditorObjects::AddControlReceptor(DropReceptor* receptor)
{
    if (receptor == nullptr)
        return 0;
    m_receptors.AddTail(&receptor->link);
    // 2^32 registrations in one workspace would be needed before a handle came round again.
    if (++m_lastHandle == 0)
        ++m_lastHandle;
    receptor->m_handle = m_lastHandle;
    return receptor->m_handle;
}

void EditorObjects::DeleteMapObject(MapObject* object)
{
    if (object == nullptr)
        return;
    ForgetMapObject(object);
    m_byContent.Erase(ContentHash(object->GetContent()), object);
    m_droppables.Remove(static_cast<Droppable*>(object));
    m_receptors.Remove(&object->link);
    if (m_current == object)
        m_current = nullptr;
    std::erase(m_dragList, static_cast<Droppable*>(object));
    delete object;
}

void EditorObjects::DeleteDroppable(Droppable* droppable)
{
    if (droppable == nullptr || !m_droppables.Contains(droppable))
        return;
    if (MapObject* object = droppable->AsMapObject()) {
        DeleteMapObject(object);
        return;
    }
    m_droppables.Remove(droppable);
    std::erase(m_dragList, droppable);
    delete droppable;
}

void EditorObjects::DeleteControlReceptor(DropReceptor* receptor)
{
    if (receptor == nullptr || !m_receptors.Contains(&receptor->link))
        return;
    if (MapObject* object = receptor->AsMapObject()) {
        DeleteMapObject(object);
        return;
    }
    if (m_current == receptor) {
        m_current = nullptr;
        m_currentWindow = nullptr;
    }
    m_receptors.Remove(&receptor->link);
    delete receptor;
}

bool EditorObjects::HoldsReceptor(const DropReceptor* receptor) const
{
    return receptor != nullptr && m_receptors.Contains(&receptor->link);
}

DropReceptor* EditorObjects::FindReceptor(uint32_t handle) const
{
    if (handle == 0)
        return nullptr;
    for (SWlistnode* n = m_receptors.Head(); n != nullptr; n = n->Next()) {
        DropReceptor* receptor = &static_cast<DropReceptorLink*>(n)->receptor;
        if (receptor->m_handle == handle)
            return receptor;
    }
    return nullptr;
}

bool EditorObjects::HoldsDroppable(const Droppable* droppable) const
{
    return droppable != nullptr && m_droppables.Contains(droppable);
}

MapObject* EditorObjects::FirstMapObject() const
{
    for (SWlistnode* n = m_droppables.Head(); n != nullptr; n = n->Next()) {
        if (MapObject* object = static_cast<Droppable*>(n)->AsMapObject())
            return object;
    }
    return nullptr;
}

MapObject* EditorObjects::FindMapObjectOf(const void* content, uint16_t kindBits) const
{
    // The first made of those that match: handles grow with every object added.
    MapObject* first = nullptr;
    if (content != nullptr)
        m_byContent.ForEach(ContentHash(content), [&](MapObject* object) {
            if (object->GetContent() == content && (object->GetKind() & kindBits) == kindBits &&
                (first == nullptr || object->Handle() < first->Handle()))
                first = object;
        });
    return first;
}

MapObject* EditorObjects::NextMapObject(const MapObject* object) const
{
    if (object == nullptr)
        return nullptr;
    for (SWlistnode* n = static_cast<const Droppable*>(object)->Next(); n != nullptr; n = n->Next()) {
        if (MapObject* next = static_cast<Droppable*>(n)->AsMapObject())
            return next;
    }
    return nullptr;
}
