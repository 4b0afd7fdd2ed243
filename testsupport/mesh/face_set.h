#pragma once
// The geometry codec's face set for an OFF mesh: its positions and polygons, no attributes.
#include "codecs/geometry/px_model.h"
#include "testsupport/mesh/off_file.h"

namespace meshtest {

px::PXIndexedFaceSet FaceSetOf(const OffMesh& mesh); // coord and coordIndex copied; every attribute empty

} // namespace meshtest
