#include "engine/core/root_object.h"

#include "engine/core/header.h"
#include "engine/resources/background.h"
#include "engine/resources/geometry.h"
#include "engine/resources/material.h"
#include "engine/resources/texture.h"

SWrootobject::SWrootobject() = default;

SWrootobject::~SWrootobject() = default;

SWobjectlist* SWrootobject::GetList(SWobjectlist::Kind kind) const
{
    for (CVTN_Container* c = GetFirstChild(0); c != nullptr; c = c->GetNextSibling())
        if (auto* list = dynamic_cast<SWobjectlist*>(c); list != nullptr && list->GetKind() == kind)
            return list;
    return nullptr;
}

SWobjectlist& SWrootobject::List(SWobjectlist::Kind kind)
{
    if (SWobjectlist* list = GetList(kind))
        return *list;
    auto* list = new SWobjectlist(kind);
    AddChild(list, 0);
    return *list;
}

bool SWrootobject::AddTexture(std::unique_ptr<SWtexture> texture)
{
    if (!texture || !List(SWobjectlist::Kind::kTextures).AddChild(texture.get()))
        return false;
    texture.release();
    return true;
}

SWtexture* SWrootobject::GetFirstTexture() const
{
    const SWobjectlist* list = GetList(SWobjectlist::Kind::kTextures);
    return list != nullptr ? dynamic_cast<SWtexture*>(list->GetFirstChild(0)) : nullptr;
}

SWtexture* SWrootobject::GetNextTexture(const SWtexture* texture)
{
    return texture != nullptr ? dynamic_cast<SWtexture*>(texture->GetNextSibling()) : nullptr;
}

bool SWrootobject::AddMaterial(std::unique_ptr<SWmaterial> material)
{
    if (!material || !List(SWobjectlist::Kind::kMaterials).AddChild(material.get()))
        return false;
    material.release();
    return true;
}

SWmaterial* SWrootobject::GetFirstMaterial() const
{
    const SWobjectlist* list = GetList(SWobjectlist::Kind::kMaterials);
    return list != nullptr ? dynamic_cast<SWmaterial*>(list->GetFirstChild(0)) : nullptr;
}

SWmaterial* SWrootobject::GetNextMaterial(const SWmaterial* material)
{
    return material != nullptr ? dynamic_cast<SWmaterial*>(material->GetNextSibling()) : nullptr;
}

SWgeometry* SWrootobject::AddGeometry(std::unique_ptr<SWgeometry> geometry)
{
    if (!geometry || !List(SWobjectlist::Kind::kGeometry).AddChild(geometry.get()))
        return nullptr;
    return geometry.release();
}

SWgeometry* SWrootobject::GetFirstGeometry() const
{
    const SWobjectlist* list = GetList(SWobjectlist::Kind::kGeometry);
    return list != nullptr ? dynamic_cast<SWgeometry*>(list->GetFirstChild(0)) : nullptr;
}

void SWrootobject::SetBackground(std::unique_ptr<SWbackground> definition)
{
    SWobjectlist& list = List(SWobjectlist::Kind::kBackgrounds);
    if (CVTN_Container* old = list.GetFirstChild(0)) {
        old->Detach();
        delete old;
    }
    if (definition && list.AddChild(definition.get()))
        definition.release();
}

SWbackground* SWrootobject::GetBackground() const
{
    const SWobjectlist* list = GetList(SWobjectlist::Kind::kBackgrounds);
    return list != nullptr ? dynamic_cast<SWbackground*>(list->GetFirstChild(0)) : nullptr;
}

SWheader* SWrootobject::FindHeader() const
{
    for (CVTN_Container* c = GetFirstChild(0); c != nullptr; c = c->GetNextSibling())
        if (auto* header = dynamic_cast<SWheader*>(c))
            return header;
    return nullptr;
}

SWheader& SWrootobject::GetHeader()
{
    if (SWheader* header = FindHeader())
        return *header;
    auto* header = new SWheader();
    AddChild(header, 0);
    return *header;
}

void SWrootobject::SetGeometryMatrix(const SWmatrix& m)
{
    if (SWgeometry* first = GetFirstGeometry())
        first->SetMatrix(m);
}

void SWrootobject::NotifyChanged()
{
    for (CVTN_Container* c = this; c != nullptr; c = c->GetNextInTree(this))
        c->Notify(kNotifyContentsChanged, this);
}
