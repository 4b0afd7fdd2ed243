#include "engine/resources/geometry.h"

#include "engine/core/type_tag.h"

SWgeometry::SWgeometry()
{
    AddTypeTag(MakeTag("NODE"));
}

SWmatrix& SWgeometry::GetRenderMatrix(SWmatrix& out) const
{
    out = m_renderMatrix;
    return out;
}

void SWgeometry::SetHidden(bool hidden, bool updateVisible)
{
    m_hidden = hidden ? 1 : 0;
    if (updateVisible)
        m_visible = hidden ? 0 : 1;
}

bool SWgeometry::Draw(SWrendertarget&, SWrenderbatch*, SWrenderbatch*, const SWmatrix&)
{
    return true;
}
