#pragma once
// CEditorSelection: the event map's selected map objects in the order they were selected; the entry added last is
// the primary selection. Each entry keeps the screen point of its object's outline while a selection is moved.
#include <cstddef>

#include "engine/core/list.h"
#include "engine/core/list_node.h"
#include "platform/base/rect.h"

class MapObject;

class CESN : public SWlistnode {
public:
    explicit CESN(MapObject* object) : object(object) {}
    MapObject* object; // the engine's; an object leaves the selection before it goes
    pf::Point outline; // screen, during a move
};

class CEditorSelection : public SWlist {
public:
    bool Add(MapObject* object); // appended unless selected already; false then
    bool Remove(const MapObject* object);
    CESN* Find(const MapObject* object) const;
    bool Contains(const MapObject* object) const { return Find(object) != nullptr; }
    bool IsEmpty() const { return Empty(); }
    bool IsSingle() const { return Count() == 1; }
    CESN* First() const { return static_cast<CESN*>(Head()); }
    CESN* Last() const { return static_cast<CESN*>(Tail()); }
    static CESN* Next(const CESN* entry) { return static_cast<CESN*>(entry->Next()); }
    bool MakePrimary(const MapObject* object); // moves its entry to the end; false when not selected
};
