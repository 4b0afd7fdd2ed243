#include "testsupport/render/fill_scene.h"

#include <memory>

namespace testsupport {

namespace {

struct Textures {
    std::unique_ptr<SWimage32> picture;
    std::unique_ptr<FalloffImage> falloff;

    Textures()
    {
        std::vector<uint32_t> texels(256 * 256);
        for (size_t i = 0; i < texels.size(); ++i)
            texels[i] = static_cast<uint32_t>(i * 2654435761u) | 0x80000000u;
        picture = std::make_unique<SWimage32>("picture", 256, 256, texels.data());
        std::vector<uint32_t> lighting(32 * 32, 0xFFFFFFFFu);
        std::vector<uint8_t> bytes(512, 200);
        falloff = std::make_unique<FalloffImage>(lighting.data(), bytes);
    }
};

const Textures& SharedTextures()
{
    static const Textures textures;
    return textures;
}

} // namespace

SWtexturestages FillFormat(int index, uint8_t filter, int blendMode)
{
    SWtexturestages format;
    const int mode = index / 8, code = index % 8;
    const int free = code == 0 ? 0 : code == 3 ? 2 : 1; // layers past the mode's fixed ones
    const int layers = free + (mode - 3);
    SetVertexLayout(format, 2, 1);
    if (mode < 3 || layers > kTextureStageCount)
        return format; // no pipeline of that number: a record of none, which no caller can take for it
    format.combineMode = static_cast<uint8_t>(mode);
    format.layerCount = static_cast<uint8_t>(layers);
    for (int layer = 0; layer < layers; ++layer) {
        format.images[layer] = filter == 2 ? static_cast<const SWtexture*>(SharedTextures().falloff.get())
                                           : SharedTextures().picture.get();
        format.layerFlags[layer] = filter;
        format.coordinateSets[layer] = 0;
    }
    if (code == 2)
        format.layerFlags[mode - 3] |= 8;
    format.constants[0] = 0x808080;
    format.constants[1] = 0x101010;
    format.constants[2] = 0xC0C0C0;
    format.vertexAlpha = (blendMode & 1) != 0 ? 1 : 0;
    format.flags = static_cast<uint8_t>(3 | ((blendMode & 2) != 0 ? 4 : 0));
    return format;
}

ScreenVertex FillVertex(float x, float y, float w)
{
    ScreenVertex v;
    v.x = x;
    v.y = y;
    v.w = w;
    v.colours[0] = 0x80C0A080u;
    v.colours[1] = 0x00102030u;
    v.uv[0][0] = x / 128.0f;
    v.uv[0][1] = y / 128.0f;
    return v;
}

std::vector<ScreenVertex> FillTriangles(int32_t width, int32_t height)
{
    const auto w = static_cast<float>(width), h = static_cast<float>(height);
    return {FillVertex(0, 0, 1), FillVertex(w, 0, 1), FillVertex(w, h, 1),
            FillVertex(0, 0, 1), FillVertex(w, h, 1), FillVertex(0, h, 1)};
}

} // namespace testsupport
