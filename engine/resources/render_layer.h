#pragma once
// SWrenderlayer: flat items drawn over the scene after its batches, in list order; the world's tooltip layer is
// one. Every item is a layer sprite (item tag "STRI"): a part of an image shown at a pixel position.
//
// RenderItems draws each visible and enabled sprite as one batch of two triangles in the 2D view (x right and y up
// from -1 to 1 across the target), with one format record: stride 8, first float word 6, two colours (white and
// zero), combine mode 3, vertex alpha 255, one texture layer, no depth test or write, texture alpha when the image
// carries alpha (a 32-bit image). Sprite images must be power-of-two sized, as the texture stages refuse others;
// the source rectangle picks the part shown.
#include <cstdint>

#include "engine/core/list.h"
#include "engine/core/type_tag.h"
#include "engine/core/world.h"

class SWrendertarget;
class SWtexture;
class SWrenderlayer;

class SWlayersprite : public SWlistnode {
public:
    static constexpr uint32_t kTag = MakeTag("STRI");

    // A sprite of the image's size at (x, y), visible and enabled, appended to the layer, which owns it.
    static SWlayersprite* Create(SWrenderlayer& layer, int32_t x, int32_t y, const SWtexture* image);
    void Destroy(); // unlinks and deletes it

    uint32_t GetTag() const { return kTag; }
    void SetPosition(int32_t x, int32_t y)
    {
        m_x = x;
        m_y = y;
    }
    int32_t GetX() const { return m_x; } // pixels, top left
    int32_t GetY() const { return m_y; }
    void SetVisible(bool visible) { m_visible = visible; }
    bool IsVisible() const { return m_visible; }
    void SetEnabled(bool enabled) { m_enabled = enabled; } // what a tooltip's show and hide toggle
    bool IsEnabled() const { return m_enabled; }
    // A width x height sprite showing the image's pixels from (x, y).
    void SetSourceRect(int32_t width, int32_t height, int32_t x, int32_t y);
    int32_t GetWidth() const { return m_width; }
    int32_t GetHeight() const { return m_height; }
    int32_t GetSourceX() const { return m_sourceX; }
    int32_t GetSourceY() const { return m_sourceY; }
    const SWtexture* GetImage() const { return m_image; }
    void SetImage(const SWtexture* image) { m_image = image; } // not owned; the size is left as it is
    // A holder's pointer to this sprite, set to null when the sprite goes (with its layer, say); null: none.
    void SetBackLink(SWlayersprite** link) { m_backLink = link; }

    ~SWlayersprite() override;

private:
    SWlayersprite(int32_t x, int32_t y, const SWtexture* image);

    SWlayersprite** m_backLink = nullptr;
    const SWtexture* m_image; // not owned: the holder of the sprite keeps it alive
    int32_t m_x;
    int32_t m_y;
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_sourceX = 0;
    int32_t m_sourceY = 0;
    bool m_visible = true;
    bool m_enabled = true;
};

class SWrenderlayer : public SWworldpart {
public:
    SWlist& GetItems() { return m_items; } // of SWlayersprite, owned
    const SWlist& GetItems() const { return m_items; }

    // One batch per drawn sprite, in list order, then the target's Flush. Answers the sprites drawn.
    uint32_t RenderItems(SWrendertarget& target) const;

private:
    SWlist m_items;
};
