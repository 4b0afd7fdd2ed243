#pragma once
// SWgeometry (tag "NODE"): the base of every object a scene node draws. It keeps its own matrix, the matrix it is
// drawn with this frame (the node transform, set by the node update), its name and its hidden and visible bytes.
#include <cstdint>
#include <string>

#include "engine/core/container.h"
#include "engine/core/matrix.h"

class SWbbox;
class SWrenderbatch;
class SWrendertarget;

// Two 32-bit values embedded in scene objects: the id of the object referred to (-1 when unset) and a further value.
struct ObjectReference {
    int32_t id = -1;
    uint32_t value = 0;
    bool IsSet() const { return id != -1; }
};

class SWgeometry : public CVTN_Container {
public:
    SWgeometry();

    const std::string& GetName() const { return m_name; }
    void SetName(std::string name) { m_name = std::move(name); }

    const SWmatrix& GetMatrix() const { return m_matrix; }
    void SetMatrix(SWmatrix matrix) { m_matrix = matrix; }
    SWmatrix& GetRenderMatrix(SWmatrix& out) const; // copies the render matrix into out and returns out
    void SetRenderMatrix(const SWmatrix& matrix) { m_renderMatrix = matrix; }

    virtual bool IsHidden() const { return m_hidden != 0; }
    void SetHidden(bool hidden, bool updateVisible); // with updateVisible the visible byte becomes !hidden
    bool IsVisible() const { return m_visible != 0; }
    void SetVisible(bool visible) { m_visible = visible ? 1 : 0; }

    // Two navigation values of the node that carries this geometry: the navigation motion clears both on the slow
    // key and when the run key is let go, and a camera reset clears them. Nothing here reads them; they are not
    // saved. An index other than 0 or 1 reads 0 and sets nothing.
    float GetKeyStateValue(int index) const { return index == 0 || index == 1 ? m_keyStateValues[index] : 0.0f; }
    void SetKeyStateValue(int index, float value)
    {
        if (index == 0 || index == 1)
            m_keyStateValues[index] = value;
    }
    void ClearKeyStateValues() { m_keyStateValues[0] = m_keyStateValues[1] = 0.0f; }

    // The extents (min x, max x, min y, max y, min z, max z) the geometry occupies; null when it has none yet.
    virtual const SWbbox* GetBoundingBox() const { return nullptr; }

    // Puts this frame's primitives into the opaque and transparent batches (either may be null) with the target's
    // view matrix, under the render matrix. The base draws nothing and answers true; the drawing kinds' bodies
    // live with the renderer, so this header names its types only.
    virtual bool Draw(SWrendertarget& target, SWrenderbatch* opaque, SWrenderbatch* transparent, const SWmatrix& view);

private:
    std::string m_name;
    SWmatrix m_matrix;
    SWmatrix m_renderMatrix;
    uint8_t m_hidden = 0;
    uint8_t m_visible = 1;
    float m_keyStateValues[2] = {0.0f, 0.0f};
};
