#pragma once
// The geometry codec's two entry points. CompressModel turns every face set of a model into the streams of the
// stream set (slots 0 and 1 always, the others when the attribute exists) and optionally the reorder maps;
// DecompressModel restores the face sets. Neither throws, prints or ends the process: every failure is a code
// of PXResult, and a failed call leaves its outputs as they were.
#include "codecs/geometry/px_model.h"
#include "codecs/geometry/px_stream.h"

namespace px {

// 0; 2 no objects; 6 a parameter out of range (position bits 1..24, texture-coordinate bits 1..15, normal bits
// 1..12) or more than 65,535 objects; 7 invalid geometry or index lists; 5 out of memory.
int CompressModel(const PXModel& model, PXStreamSet& streams, PXReorderMaps* maps);

// 0; 1 no slot 0 or slot 1 stream; 4 a damaged or mismatched stream; 9 a stream of another version;
// 5 out of memory. On success the model holds the decoded face sets and default parameters.
int DecompressModel(const PXStreamSet& streams, PXModel& model);

} // namespace px
