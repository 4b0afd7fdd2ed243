#pragma once
// Result codes of the geometry codec: the numbers are shown to the user by the mesh object, so they never change.
#include <cstdint>

namespace px {

enum PXResult : int {
    PX_OK = 0,
    PX_EMPTYBITSTREAM = 1,      // decoding without a slot 0 or slot 1 stream
    PX_EMPTYLIST = 2,           // compressing a model with no objects
    PX_EMPTYMODEL = 3,          // never produced here; callers may still show it
    PX_ERR = 4,                 // a stream is damaged: bad header, wrong kind, inconsistent or truncated body
    PXERR_OUTOFMEMORY = 5,      // an allocation failed; nothing was stored
    PXERR_INVALIDPARAMETER = 6, // a parameter word is outside its range, or more objects than a stream can count
    PXERR_INVALIDGEOMETRY = 7,  // a face set fails the input checks, or its geometry is more than the coder handles
    PXERR_INVALIDMODEL = 8,     // never produced here; callers may still show it
    PXERR_VERSIONMISMATCH = 9,  // a stream's header names a version other than 13
};

const char* PXResultName(int result); // the caller's caption for a result; "Bizzarro!" for an unknown value

} // namespace px
