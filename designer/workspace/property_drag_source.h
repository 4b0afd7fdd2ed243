#pragma once
// PropertyDragSource: the owner of the property being dragged (its type id and object), one per process. The
// properties panel sets it when a property drag starts; the field that takes the drop reads it and resets it to
// type 0 with no object. User-interface thread only.
#include "designer/app/project_object.h"

inline CVTND_Object PropertyDragSource;
