#include "designer/app/objects_factory.h"

CVTND_Object CVTND_ObjectsFactory::CreateObject(uint16_t type, const CVTND_CreateRequest& request)
{
    const CVTND_ObjectCreator creator = CVTND_Registry::FindObjectCreator(type);
    return creator != nullptr ? creator(m_app, request) : CVTND_Object();
}
