#pragma once
// Measuring, centring and scaling a scene node with its subtree, as the scale and centre tool and the scene-graph
// panel do it. Sizes are world units (metres). Every change is made under the node's world's lock.
#include "engine/core/bbox.h"

class SWnode;

// The box around the geometry of node (and, with subtree, of its descendants) in world coordinates; an empty box
// when none of them has a mesh.
SWbbox GetNodeBoundingBox(const SWnode& node, bool subtree = true);

// Moves node by minus the centre of its subtree's box (a node that cannot be transformed, the root, moves each
// child instead); marks the world changed. False when the box is empty or the node is in no world.
bool CenterNode(SWnode& node);

// Scales node (or, for the root, the scene under it) by the three factors. False, changing nothing, for a factor
// that is not finite or not above 0: a zero factor would collapse the node for good.
bool ScaleNode(SWnode& node, float factorX, float factorY, float factorZ);

// Scales node uniformly so that its box fits targetSize (not above 0: the application's reference size of the 3D
// view). Only axes whose extent is finite and above 0 count; false, changing nothing, when none does (a node without
// a mesh, a point) or there is no size to fit.
bool ScaleNodeToFit(SWnode& node, float targetSize = -1.0f);
