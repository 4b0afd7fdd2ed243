#pragma once
// The geometry codec's two entry points. CompressModel turns every face set of a model into the streams of the
// stream set (positions and topology always, the others when the attribute exists) and optionally the reorder
// maps; DecompressModel restores the face sets. Neither throws, prints or ends the process: every failure is a
// PXResult code, and a failed call leaves its outputs as they were.
#include "codecs/geometry/px_model.h"
#include "codecs/geometry/px_stream.h"

namespace px {

// PX_OK;
// PX_EMPTYLIST           the model holds no objects;
// PXERR_INVALIDPARAMETER a parameter out of range (position bits 1..24, texture-coordinate bits 1..15, normal
//                        bits 1..12) or more than 65,535 objects;
// PXERR_INVALIDGEOMETRY  invalid geometry or index lists, or more than one topology stream can describe;
// PXERR_OUTOFMEMORY      an allocation failed.
int CompressModel(const PXModel& model, PXStreamSet& streams, PXReorderMaps* maps);

// PX_OK, and the model holds the decoded face sets with default parameters;
// PX_EMPTYBITSTREAM      no positions or no topology stream;
// PX_ERR                 a damaged stream, or one of another kind than its slot, or streams that disagree;
// PXERR_VERSIONMISMATCH  a stream of another version;
// PXERR_OUTOFMEMORY      an allocation failed.
int DecompressModel(const PXStreamSet& streams, PXModel& model);

} // namespace px
