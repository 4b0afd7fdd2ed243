#pragma once
// The mesh's draw operation, on the renderer's side of the line: the engine keeps only the renderer a mesh holds,
// and the body that picks, feeds and runs it lives here, so that the engine includes nothing of the renderer.
#include "engine/resources/mesh.h"

class SWmatrix;
class SWrenderbatch;
class SWrendertarget;

// True without drawing for a mesh with no vertices or no polygons; false when the target gives no renderer;
// otherwise the held renderer (replaced when the target wants another kind) draws the mesh. When a group's flat
// flag changed, the mesh's normals are computed again first, which moves its stamp and so rebuilds the groups.
bool DrawMesh(SWmesh& mesh, SWheldmeshrenderer& held, SWrendertarget& target, SWrenderbatch* opaque,
              SWrenderbatch* transparent, const SWmatrix& view);
