#pragma once
// The material editor's preview sphere lives in the geometry list while the designer runs, but it is the
// editor's, not the project's: it leaves the list for a save or a publish and comes back after, whatever the
// writer did. The caller holds the world's lock for the aside's whole life.
#include <cstdint>
#include <memory>

#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "engine/resources/geometry.h"
#include "engine/resources/mesh_object.h"

inline constexpr int32_t kPreviewSphereReference = 328328; // the sphere's object reference id

// The sphere is never counted, saved or published.
inline bool IsPreviewSphere(const SWgeometry* geometry)
{
    const auto* mesh = dynamic_cast<const SWmeshobject*>(geometry);
    return mesh != nullptr && mesh->GetObjectReference().id == kPreviewSphereReference;
}

class PreviewSphereAside {
public:
    explicit PreviewSphereAside(SWworld& world) : m_root(*world.GetRootObject())
    {
        for (SWgeometry* g = m_root.GetFirstGeometry(); g != nullptr;
             g = dynamic_cast<SWgeometry*>(g->GetNextSibling())) {
            if (IsPreviewSphere(g)) {
                g->Detach();
                m_sphere.reset(g);
                return;
            }
        }
    }
    ~PreviewSphereAside()
    {
        if (m_sphere)
            m_root.AddGeometry(std::move(m_sphere));
    }
    PreviewSphereAside(const PreviewSphereAside&) = delete;
    PreviewSphereAside& operator=(const PreviewSphereAside&) = delete;

    bool TookOne() const { return m_sphere != nullptr; }

private:
    SWrootobject& m_root;
    std::unique_ptr<SWgeometry> m_sphere;
};
