#include "testsupport/mesh/face_set.h"

namespace meshtest {

px::PXIndexedFaceSet FaceSetOf(const OffMesh& mesh)
{
    px::PXIndexedFaceSet set;
    set.coord = mesh.positions;
    set.coordIndex = mesh.coordIndex;
    return set;
}

} // namespace meshtest
