#pragma once
// SWrootobject: the holder of a world's resources. Its children are four lists, each made on first use, and the
// header: textures, materials, geometry objects (what nodes draw; nodes refer to them, the list owns them) and
// background definitions (the first is the current one). A list's items are its children, walked by their
// next-sibling links.
#include <memory>

#include "engine/core/container.h"
#include "engine/core/matrix.h"

class SWbackground;
class SWgeometry;
class SWheader;
class SWmaterial;
class SWrendertarget;
class SWtexture;

// One of the root object's lists.
class SWobjectlist : public CVTN_Container {
public:
    enum class Kind { kTextures, kMaterials, kGeometry, kBackgrounds };
    explicit SWobjectlist(Kind kind) : m_kind(kind) {}
    Kind GetKind() const { return m_kind; }

private:
    const Kind m_kind;
};

class SWrootobject : public CVTN_Container {
public:
    SWrootobject();
    ~SWrootobject() override;

    bool AddTexture(std::unique_ptr<SWtexture> texture); // false: null or already placed
    SWtexture* GetFirstTexture() const;
    static SWtexture* GetNextTexture(const SWtexture* texture);
    bool AddMaterial(std::unique_ptr<SWmaterial> material);
    SWmaterial* GetFirstMaterial() const;
    static SWmaterial* GetNextMaterial(const SWmaterial* material);
    SWgeometry* AddGeometry(std::unique_ptr<SWgeometry> geometry); // answers it; null for null
    SWgeometry* GetFirstGeometry() const;                          // the first geometry object, or null
    SWobjectlist* GetList(SWobjectlist::Kind kind) const;          // null until made
    void SetBackground(std::unique_ptr<SWbackground> definition);  // replaces (deletes) the current one
    SWbackground* GetBackground() const;
    SWheader& GetHeader(); // made on first use
    SWheader* FindHeader() const;
    void SetGeometryMatrix(const SWmatrix& m); // the first geometry object's own matrix
    void NotifyChanged();                      // the contents-changed notice to the tree of containers
    // Queues the frame: an opaque batch, then a transparent one sorted back to front, filled by every geometry
    // object that is not hidden, then the render layers. Defined with the renderer; false when no batch opened.
    bool Render(SWrendertarget& target);

private:
    SWobjectlist& List(SWobjectlist::Kind kind); // made when missing
};
