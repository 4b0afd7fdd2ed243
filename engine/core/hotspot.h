#pragma once
// SWhotspot: a clickable area over the view (a child of the root node), with an optional picture and a label. Its
// texture is named; the pointer is a cache resolved by name from the root object and cleared whenever textures are
// replaced or deleted.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/core/node.h"

class SWtexture;

class SWhotspot : public SWnode {
public:
    SWhotspot();
    ~SWhotspot() override;

    const std::optional<std::string>& GetTextureName() const { return m_textureName; }
    void SetTextureName(std::optional<std::string> name); // forgets the cached texture
    SWtexture* GetTexture();                              // resolved by name and cached; null when missing
    void ForgetTexture() { m_texture = nullptr; }
    SWtexture* GetCachedTexture() const { return m_texture; }

    // Rectangles X, Y, W, H as fractions of their texture's width and height (the alter-ego one of the alter-ego
    // texture's), as the designer's texture viewer and hot-spot editor read them.
    const std::array<float, 4>& GetRect() const { return m_rect; }
    void SetRect(const std::array<float, 4>& rect) { m_rect = rect; }
    const std::array<float, 4>& GetAlterEgoRect() const { return m_alterEgo; }
    void SetAlterEgoRect(const std::array<float, 4>& rect) { m_alterEgo = rect; }

    SWtexture* GetImage() const { return m_picture.get(); }
    void SetImage(std::unique_ptr<SWtexture> image); // the old one is deleted; the size follows the image
    // The part of the picture shown, from its top left (a cut rounded up to powers of two keeps its own size):
    // each side clamped to 0..the picture's side, so 0 x 0 without a picture.
    void SetPictureSize(int32_t width, int32_t height);
    int32_t GetPictureWidth() const { return m_pictureWidth; }
    int32_t GetPictureHeight() const { return m_pictureHeight; }

    uint8_t GetLabelState() const { return m_label; }
    bool SetLabelState(uint8_t state); // true when it changed
    uint8_t GetSkip() const { return m_skip; }
    void SetSkip(uint8_t skip) { m_skip = skip; }

private:
    std::optional<std::string> m_textureName;
    SWtexture* m_texture = nullptr; // the root object's; a cache
    std::array<float, 4> m_rect = {0.0f, 0.0f, 0.0f, 0.0f};
    std::array<float, 4> m_alterEgo = {0.0f, 0.0f, 0.0f, 0.0f};
    std::unique_ptr<SWtexture> m_picture;
    int32_t m_pictureWidth = 0;
    int32_t m_pictureHeight = 0;
    uint8_t m_label = 0;
    uint8_t m_skip = 0;
};
