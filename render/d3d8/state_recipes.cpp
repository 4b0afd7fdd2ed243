#include "render/d3d8/state_recipes.h"

#include <initializer_list>
#include <vector>

#include "platform/base/result.h"
#include "platform/d3d8/d3d8.h"
#include "render/format_record.h"

namespace {

using namespace pf;

constexpr uint32_t kNoArgument = 0xFFFFFFFFu;

// A recipe as the table below builds it, kept for the life of the process.
struct RecipeLists {
    std::vector<SWrenderstateentry> renderStates;
    std::vector<SWstagestateentry> stageStates;
    std::vector<uint32_t> textureStages;
    SWstaterecipe view;
};

enum class Blend { kAlpha, kAlphaFactor, kAdd, kAddFactor };

std::vector<SWrenderstateentry> RenderStatesFor(Blend blend)
{
    const bool additive = blend == Blend::kAdd || blend == Blend::kAddFactor;
    std::vector<SWrenderstateentry> list = {
        {D3DRS_ZFUNC, 0, true},
        {D3DRS_ZWRITEENABLE, 0, true},
        {D3DRS_SPECULARENABLE, additive ? 0u : 1u, false},
        {D3DRS_SRCBLEND, D3DBLEND_ONE, false},
        {D3DRS_DESTBLEND, additive ? D3DBLEND_ONE : D3DBLEND_INVSRCALPHA, false},
    };
    if (blend == Blend::kAlphaFactor || blend == Blend::kAddFactor)
        list.push_back({D3DRS_TEXTUREFACTOR, 0, true});
    return list;
}

// The stage-state fragments the table is written in.
class StageList {
public:
    // A stage sampling a material image: its filters are the pass's parameters, its coordinates wrap.
    StageList& Wrapped(uint32_t s, uint32_t set)
    {
        m_list.push_back({s, D3DTSS_MINFILTER, 0, true});
        m_list.push_back({s, D3DTSS_MAGFILTER, 0, true});
        return Sampling(s, set, D3DTADDRESS_WRAP);
    }
    // A stage sampling a lookup image through set 0: always linear, its coordinates clamped.
    StageList& Clamped(uint32_t s)
    {
        m_list.push_back({s, D3DTSS_MINFILTER, D3DTEXF_LINEAR, false});
        m_list.push_back({s, D3DTSS_MAGFILTER, D3DTEXF_LINEAR, false});
        return Sampling(s, 0, D3DTADDRESS_CLAMP);
    }
    StageList& Colour(uint32_t s, uint32_t op, uint32_t arg1 = kNoArgument, uint32_t arg2 = kNoArgument)
    {
        return Operation(s, D3DTSS_COLOROP, op, arg1, arg2);
    }
    StageList& Alpha(uint32_t s, uint32_t op, uint32_t arg1 = kNoArgument, uint32_t arg2 = kNoArgument)
    {
        return Operation(s, D3DTSS_ALPHAOP, op, arg1, arg2);
    }
    StageList& Disable(uint32_t s) { return Colour(s, D3DTOP_DISABLE).Alpha(s, D3DTOP_DISABLE); }
    std::vector<SWstagestateentry> Take() { return std::move(m_list); }

private:
    StageList& Sampling(uint32_t s, uint32_t set, uint32_t addressMode)
    {
        m_list.push_back({s, D3DTSS_TEXCOORDINDEX, set, false});
        m_list.push_back({s, D3DTSS_ADDRESSU, addressMode, false});
        m_list.push_back({s, D3DTSS_ADDRESSV, addressMode, false});
        return *this;
    }
    // The operation first, then its arguments: ARG1 and ARG2 follow the operation's own state id.
    StageList& Operation(uint32_t s, uint32_t opState, uint32_t op, uint32_t arg1, uint32_t arg2)
    {
        m_list.push_back({s, opState, op, false});
        if (arg1 != kNoArgument)
            m_list.push_back({s, opState + 1, arg1, false});
        if (arg2 != kNoArgument)
            m_list.push_back({s, opState + 2, arg2, false});
        return *this;
    }

    std::vector<SWstagestateentry> m_list;
};

constexpr uint32_t TEX = D3DTA_TEXTURE;
constexpr uint32_t CUR = D3DTA_CURRENT;
constexpr uint32_t DIF = D3DTA_DIFFUSE;
constexpr uint32_t TFA = D3DTA_TFACTOR;
constexpr uint32_t NA = kNoArgument;

RecipeLists Make(Blend blend, StageList stages, std::vector<uint32_t> textures)
{
    return {RenderStatesFor(blend), stages.Take(), std::move(textures), {}};
}

std::vector<RecipeLists> BuildTable()
{
    std::vector<RecipeLists> t(kStateRecipeCount);
    t[0] = Make(Blend::kAlpha,
                StageList().Colour(0, D3DTOP_DISABLE).Alpha(0, D3DTOP_SELECTARG1, DIF).Alpha(1, D3DTOP_DISABLE), {});
    t[1] = Make(Blend::kAlphaFactor,
                StageList()
                    .Wrapped(0, 0)
                    .Colour(0, D3DTOP_MODULATE, TEX, CUR)
                    .Alpha(0, D3DTOP_ADD, TFA, TEX)
                    .Colour(1, D3DTOP_SELECTARG2, NA, CUR)
                    .Alpha(1, D3DTOP_MODULATE, DIF, CUR)
                    .Disable(2),
                {0});
    t[3] = t[1];
    t[2] = Make(Blend::kAlphaFactor,
                StageList()
                    .Wrapped(0, 0)
                    .Colour(0, D3DTOP_MODULATE, TEX, TFA)
                    .Alpha(0, D3DTOP_SELECTARG1, DIF)
                    .Colour(1, D3DTOP_ADD, DIF, CUR)
                    .Alpha(1, D3DTOP_SELECTARG1, CUR)
                    .Disable(2),
                {0});
    t[4] =
        Make(Blend::kAddFactor,
             StageList().Wrapped(0, 1).Colour(0, D3DTOP_MODULATE, TEX, TFA).Alpha(0, D3DTOP_SELECTARG1, TFA).Disable(1),
             {0});
    t[9] = t[4];
    t[5] =
        Make(Blend::kAlpha,
             StageList().Clamped(0).Colour(0, D3DTOP_ADD, TEX, DIF).Alpha(0, D3DTOP_SELECTARG1, DIF).Disable(1), {0});
    t[8] = t[5];
    t[6] = Make(Blend::kAlphaFactor,
                StageList()
                    .Wrapped(0, 1)
                    .Colour(0, D3DTOP_MODULATE, TEX, CUR)
                    .Alpha(0, D3DTOP_ADD, TFA, TEX)
                    .Clamped(1)
                    .Colour(1, D3DTOP_ADD, TEX, CUR)
                    .Alpha(1, D3DTOP_MODULATE, DIF, CUR)
                    .Disable(2),
                {0, 1});
    t[10] = t[6];
    t[7] = Make(Blend::kAlphaFactor,
                StageList()
                    .Wrapped(0, 1)
                    .Colour(0, D3DTOP_MODULATE, TEX, TFA)
                    .Alpha(0, D3DTOP_SELECTARG1, DIF)
                    .Clamped(1)
                    .Colour(1, D3DTOP_ADD, TEX, CUR)
                    .Alpha(1, D3DTOP_SELECTARG1, CUR)
                    .Colour(2, D3DTOP_ADD, DIF, CUR)
                    .Alpha(2, D3DTOP_SELECTARG1, CUR)
                    .Disable(3),
                {0, 1});
    t[11] =
        Make(Blend::kAddFactor,
             StageList().Wrapped(0, 2).Colour(0, D3DTOP_MODULATE, TEX, TFA).Alpha(0, D3DTOP_SELECTARG1, TFA).Disable(1),
             {0});
    t[12] = Make(Blend::kAlphaFactor,
                 StageList()
                     .Wrapped(0, 1)
                     .Colour(0, D3DTOP_DOTPRODUCT3, TEX, CUR)
                     .Alpha(0, D3DTOP_SELECTARG1, CUR)
                     .Colour(1, D3DTOP_MODULATE, TFA, CUR)
                     .Alpha(1, D3DTOP_SELECTARG2, NA, TFA)
                     .Disable(2),
                 {0});
    t[16] = t[12];
    t[13] =
        Make(Blend::kAdd,
             StageList().Clamped(0).Colour(0, D3DTOP_SELECTARG1, TEX).Alpha(0, D3DTOP_SELECTARG1, CUR).Disable(1), {0});
    t[15] = t[13];
    t[14] = Make(Blend::kAlphaFactor,
                 StageList()
                     .Wrapped(0, 1)
                     .Colour(0, D3DTOP_DOTPRODUCT3, TEX, CUR)
                     .Alpha(0, D3DTOP_SELECTARG1, CUR)
                     .Wrapped(1, 1)
                     .Colour(1, D3DTOP_MODULATE, TEX, CUR)
                     .Alpha(1, D3DTOP_MODULATE, TEX, TFA)
                     .Disable(2),
                 {0, 1});
    t[18] = t[14];
    t[17] = Make(Blend::kAddFactor,
                 StageList()
                     .Wrapped(0, 2)
                     .Colour(0, D3DTOP_MODULATE, TEX, TFA)
                     .Alpha(0, D3DTOP_SELECTARG1, TFA)
                     .Clamped(1)
                     .Colour(1, D3DTOP_ADD, TEX, CUR)
                     .Alpha(1, D3DTOP_SELECTARG1, CUR)
                     .Disable(2),
                 {0, 1});
    t[19] = t[17];
    for (RecipeLists& r : t)
        r.view = {r.renderStates, r.stageStates, r.textureStages};
    return t;
}

uint32_t FilterOf(uint8_t operation)
{
    return (operation & 1u) + 1u; // point, or linear with the bilinear flag
}

} // namespace

const SWstaterecipe& StateRecipe(uint32_t index)
{
    static const std::vector<RecipeLists> table = BuildTable();
    return table[index < kStateRecipeCount ? index : 0].view;
}

bool BuildRecipe(const SWtexturestages& block, uint32_t simultaneousTextures, const SWtexturelookup& lookup,
                 SWrecipe& out)
{
    out = {};
    const uint8_t kind = block.combineMode;
    const uint8_t stages = block.layerCount;
    const uint8_t flags = block.flags;
    const uint8_t alpha = block.vertexAlpha;
    const uint8_t* op = block.layerFlags;
    const SWrecipeparameter z = SWrecipeparameter::Value((flags & 1u) != 0 ? D3DCMP_LESSEQUAL : D3DCMP_ALWAYS);
    const SWrecipeparameter w = SWrecipeparameter::Value((flags & 6u) == 2u && alpha == 0 ? 1u : 0u);
    const SWrecipeparameter noWrite = SWrecipeparameter::Value(0);
    const SWrecipeparameter tf = SWrecipeparameter::Value((flags & 4u) != 0 ? 0u : 0xFF000000u);
    const SWrecipeparameter r = SWrecipeparameter::Value(block.constants[0]);
    const SWrecipeparameter c = SWrecipeparameter::Value(block.constants[2]);
    const auto f = [&](int stage) { return SWrecipeparameter::Value(FilterOf(op[stage])); };
    const auto tx = [&](int stage) {
        return SWrecipeparameter::Texture(lookup ? lookup(block.images[stage]) : nullptr);
    };
    const auto pass = [&](uint32_t recipe, std::initializer_list<SWrecipeparameter> parameters) {
        SWrecipepass& p = out.passes[out.passCount++];
        p.recipe = recipe;
        for (const SWrecipeparameter& parameter : parameters)
            p.Add(parameter);
    };
    const bool reflect1 = (op[1] & 8u) != 0;
    const bool reflect2 = (op[2] & 8u) != 0;
    if (kind == 3 && stages == 0) {
        pass(0, {z, w});
    } else if (kind == 3 && stages == 1 && (op[0] & 8u) == 0) {
        pass(1, {z, w, tf, f(0), f(0), tx(0)});
    } else if (kind == 3 && stages == 1) {
        pass(2, {z, w, r, f(0), f(0), tx(0)});
    } else if (kind == 3 && stages == 2) {
        pass(3, {z, w, tf, f(0), f(0), tx(0)});
        pass(4, {z, noWrite, r, f(1), f(1), tx(1)});
    } else if (kind == 4 && stages == 1) {
        pass(5, {z, w, tx(0)});
    } else if (kind == 4 && stages == 2 && !reflect1) {
        pass(6, {z, w, tf, f(1), f(1), tx(1), tx(0)});
    } else if (kind == 4 && stages == 2 && simultaneousTextures >= 3) {
        pass(7, {z, w, r, f(1), f(1), tx(1), tx(0)});
    } else if (kind == 4 && stages == 2) {
        pass(8, {z, w, tx(0)});
        pass(9, {z, noWrite, r, f(1), f(1), tx(1)});
    } else if (kind == 4 && stages == 3) {
        pass(10, {z, w, tf, f(1), f(1), tx(1), tx(0)});
        pass(11, {z, noWrite, r, f(2), f(2), tx(2)});
    } else if (kind == 5 && stages == 2) {
        pass(12, {z, w, c, f(1), f(1), tx(1)});
        pass(13, {z, noWrite, tx(0)});
    } else if (kind == 5 && stages == 3 && !reflect2) {
        pass(14, {z, w, c, f(1), f(1), f(2), f(2), tx(1), tx(2)});
        pass(15, {z, noWrite, tx(0)});
    } else if (kind == 5 && stages == 3) {
        pass(16, {z, w, c, f(1), f(1), tx(1)});
        pass(17, {z, noWrite, r, f(2), f(2), tx(2), tx(0)});
    } else if (kind == 5 && stages == 4) {
        pass(18, {z, w, c, f(1), f(1), f(2), f(2), tx(1), tx(2)});
        pass(19, {z, noWrite, r, f(3), f(3), tx(3), tx(0)});
    } else {
        return false;
    }
    out.blended = (flags & 4u) != 0 || alpha != 0;
    return true;
}

bool ApplyRecipePass(pf::IDirect3DDevice8& device, const SWrecipepass& pass)
{
    if (pass.recipe >= kStateRecipeCount)
        return false;
    const SWstaterecipe& recipe = StateRecipe(pass.recipe);
    uint32_t next = 0;
    // The next parameter when it is of the kind the entry wants; null when the pass has run out or holds another.
    const auto take = [&](SWrecipeparameter::Kind kind) -> const SWrecipeparameter* {
        if (next >= pass.parameterCount || pass.parameters[next].kind != kind)
            return nullptr;
        return &pass.parameters[next++];
    };
    const auto valueOf = [&](uint32_t fixed, bool fromParameter, uint32_t& outValue) {
        if (!fromParameter) {
            outValue = fixed;
            return true;
        }
        const SWrecipeparameter* p = take(SWrecipeparameter::Kind::kValue);
        if (p != nullptr)
            outValue = p->value;
        return p != nullptr;
    };
    uint32_t value = 0;
    for (const SWrenderstateentry& e : recipe.renderStates) {
        if (!valueOf(e.value, e.fromParameter, value) || !pf::succeeded(device.SetRenderState(e.state, value)))
            return false;
    }
    for (const SWstagestateentry& e : recipe.stageStates) {
        if (!valueOf(e.value, e.fromParameter, value) ||
            !pf::succeeded(device.SetTextureStageState(e.stage, e.type, value)))
            return false;
    }
    for (const uint32_t stage : recipe.textureStages) {
        const SWrecipeparameter* p = take(SWrecipeparameter::Kind::kTexture);
        if (p == nullptr || !pf::succeeded(device.SetTexture(stage, p->texture)))
            return false;
    }
    return true;
}
