#include "codecs/geometry/px_result.h"

namespace px {

const char* PXResultName(int result)
{
    switch (result) {
    case PX_OK:
        return "PX_OK";
    case PX_EMPTYBITSTREAM:
        return "PX_EMPTYBITSTREAM";
    case PX_EMPTYLIST:
        return "PX_EMPTYLIST";
    case PX_EMPTYMODEL:
        return "PX_EMPTYMODEL";
    case PX_ERR:
        return "PX_ERR";
    case PXERR_OUTOFMEMORY:
        return "PXERR_OUTOFMEMORY";
    case PXERR_INVALIDPARAMETER:
        return "PXERR_INVALIDPARAMETER";
    case PXERR_INVALIDGEOMETRY:
        return "PXERR_INVALIDGEOMETRY";
    case PXERR_INVALIDMODEL:
        return "PXERR_INVALIDMODEL";
    case PXERR_VERSIONMISMATCH:
        return "PXERR_VERSIONMISMATCH";
    default:
        return "Bizzarro!";
    }
}

} // namespace px
