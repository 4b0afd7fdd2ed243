#include "designer/workspace/control_edges.h"

#include "platform/gfx/dc.h"
#include "platform/gfx/gdi_objects.h"

pf::Rect DrawSunkenEdge(pf::Dc& dc, const pf::Rect& r)
{
    dc.draw3dRect(r, pf::getSysColor(pf::COLOR_BTNSHADOW), pf::getSysColor(pf::COLOR_BTNHIGHLIGHT));
    const pf::Rect inner = r.inflatedBy(-1, -1);
    dc.draw3dRect(inner, pf::getSysColor(pf::COLOR_3DDKSHADOW), pf::getSysColor(pf::COLOR_3DLIGHT));
    return inner.inflatedBy(-1, -1);
}

pf::Rect DrawRaisedEdge(pf::Dc& dc, const pf::Rect& r)
{
    dc.draw3dRect(r, pf::getSysColor(pf::COLOR_BTNHIGHLIGHT), pf::getSysColor(pf::COLOR_3DDKSHADOW));
    const pf::Rect inner = r.inflatedBy(-1, -1);
    dc.draw3dRect(inner, pf::getSysColor(pf::COLOR_3DLIGHT), pf::getSysColor(pf::COLOR_BTNSHADOW));
    return inner.inflatedBy(-1, -1);
}
