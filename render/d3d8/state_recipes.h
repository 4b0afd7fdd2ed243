#pragma once
// The 20 fixed state recipes of the Direct3D 8 path and the choice of recipes for a texture-stage block. A recipe
// is three lists for one rendering pass: render states, texture-stage states and textures; an entry marked as a
// parameter takes the next value of the pass's parameters, consumed across the three lists in that order.
//
// A parameter is a state value or a texture, never a texture squeezed into a 32-bit word.
#include <cstdint>
#include <functional>
#include <span>

struct SWtexturestages;
class SWtexture;
namespace pf {
class IDirect3DDevice8;
class IDirect3DTexture8;
} // namespace pf

inline constexpr uint32_t kStateRecipeCount = 20;
inline constexpr uint32_t kMostRecipeParameters = 16;
inline constexpr uint32_t kMostRecipePasses = 2;

struct SWrecipeparameter {
    enum class Kind : uint8_t { kValue = 0, kTexture = 1 };
    Kind kind = Kind::kValue;
    uint32_t value = 0;
    pf::IDirect3DTexture8* texture = nullptr; // not owned: the surface's texture manager holds it

    static SWrecipeparameter Value(uint32_t v) { return {Kind::kValue, v, nullptr}; }
    static SWrecipeparameter Texture(pf::IDirect3DTexture8* t) { return {Kind::kTexture, 0, t}; }
};

struct SWrecipepass {
    uint32_t recipe = 0; // index into the table, below kStateRecipeCount
    uint32_t parameterCount = 0;
    SWrecipeparameter parameters[kMostRecipeParameters];

    void Add(const SWrecipeparameter& p)
    {
        if (parameterCount < kMostRecipeParameters)
            parameters[parameterCount++] = p;
    }
};

struct SWrecipe {
    uint32_t passCount = 0; // 0: the block's combination has no recipe and nothing is drawn
    bool blended = false;
    SWrecipepass passes[kMostRecipePasses];
};

// One recipe's lists as the table holds them.
struct SWrenderstateentry {
    uint32_t state;
    uint32_t value; // ignored when fromParameter
    bool fromParameter;
};
struct SWstagestateentry {
    uint32_t stage;
    uint32_t type;
    uint32_t value;
    bool fromParameter;
};
struct SWstaterecipe {
    std::span<const SWrenderstateentry> renderStates;
    std::span<const SWstagestateentry> stageStates;
    std::span<const uint32_t> textureStages; // each takes the next parameter as its texture
};

const SWstaterecipe& StateRecipe(uint32_t index); // index below kStateRecipeCount

// The device texture of a stage's image, or null (no image, or no copy could be made).
using SWtexturelookup = std::function<pf::IDirect3DTexture8*(const SWtexture* image)>;

// Chooses the passes for a stage block (kind, stage count, stage operations, the card's simultaneous textures)
// and fills their parameters; false, with no pass, for a combination without a recipe.
bool BuildRecipe(const SWtexturestages& block, uint32_t simultaneousTextures, const SWtexturelookup& lookup,
                 SWrecipe& out);

// Sets the pass's render states, stage states and textures, in that order; false at the first refused call or
// when the pass has fewer parameters than its recipe takes.
bool ApplyRecipePass(pf::IDirect3DDevice8& device, const SWrecipepass& pass);
