#pragma once
// SWmeshnode: an object node that draws a mesh object (its geometry, the root object's).
#include <array>

#include "engine/core/object_node.h"

class SWmeshobject;

class SWmeshnode : public SWobjectnode {
public:
    explicit SWmeshnode(SWmeshobject* mesh = nullptr); // mesh: the root object's; may be null

    SWmeshobject* GetMeshObject() const;
    // The working positions become the rest positions again and the bounds follow; nothing without a mesh.
    void UpdateAnimatedVertices();
    // The geometry's extents (min x, max x, min y, max y, min z, max z); null when it has none.
    const std::array<float, 6>* GetGeometryAnimationRange() const;
};
