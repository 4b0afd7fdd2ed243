#pragma once
// CVTND_ObjectsFactory: makes project objects by type id through the creators the later parts of the designer
// register (9: the expression editor for a new entry, 11: a tooltip under a name, 13: a hot spot). A type nobody
// registered makes nothing.
#include <cstdint>

#include "designer/app/project_object.h"
#include "designer/app/registry.h"

class CVTNDesignerApp;

class CVTND_ObjectsFactory {
public:
    explicit CVTND_ObjectsFactory(CVTNDesignerApp& app) : m_app(app) {}

    // The made object, or the empty reference when the type has no creator or the creator made nothing.
    CVTND_Object CreateObject(uint16_t type, const CVTND_CreateRequest& request = {});
    CVTND_Object CreateObject(ObjectType type, const CVTND_CreateRequest& request = {})
    {
        return CreateObject(static_cast<uint16_t>(type), request);
    }

private:
    CVTNDesignerApp& m_app; // owns this factory
};
