#include "designer/editing/editor_selection.h"

bool CEditorSelection::Add(MapObject* object)
{
    if (object == nullptr || Contains(object))
        return false;
    AddTail(new CESN(object));
    return true;
}

bool CEditorSelection::Remove(const MapObject* object)
{
    CESN* entry = Find(object);
    return entry != nullptr && Delete(entry);
}

CESN* CEditorSelection::Find(const MapObject* object) const
{
    for (CESN* entry = First(); entry != nullptr; entry = Next(entry)) {
        if (entry->object == object)
            return entry;
    }
    return nullptr;
}

bool CEditorSelection::MakePrimary(const MapObject* object)
{
    CESN* entry = Find(object);
    if (entry == nullptr)
        return false;
    if (entry != Last()) {
        SWlist::Remove(entry);
        AddTail(entry);
    }
    return true;
}
