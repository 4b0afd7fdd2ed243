#pragma once
// SWmeshnodemotion: a node motion that moves the vertices of a mesh node, its target object (held by handle, so a
// deleted node reads as none). The two work arrays belong to the subclass that fills them.
#include <cstdint>
#include <vector>

#include "engine/behaviour/motion.h"
#include "engine/behaviour/refs.h"

class SWobjectnode;

class SWmeshnodemotion : public SWnodemotion {
public:
    SWmeshnodemotion(SWworld* world, uint32_t type) : SWnodemotion(world, type) {}
    SWmeshnodemotion(const SWmeshnodemotion& other); // unbound, with empty work arrays
    ~SWmeshnodemotion() override;

    void SetTargetObject(SWobjectnode* node); // replaced only when it differs
    SWobjectnode* GetTargetObject() const;    // null when unset or gone

protected:
    std::vector<float> m_first;  // 3 floats per vertex
    std::vector<float> m_second; // the same

private:
    NodeRef m_target;
};
