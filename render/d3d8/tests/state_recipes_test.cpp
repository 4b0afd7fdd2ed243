// The state recipes: the choice of passes and parameters for every row of the choice table, and each of the 20
// recipes applied with known parameters against its row of the recipe table. The expectations are written here
// from the tables themselves, in their own notation, so that a slip in the code's table shows.
#include "render/d3d8/state_recipes.h"

#include <algorithm>
#include <map>
#include <sstream>

#include "render/d3d8/tests/d3d8_fixture.h"
#include "render/format_record.h"

namespace d3d8test {
namespace {

using namespace pf;

std::vector<std::string> Split(const std::string& text, char by = ' ')
{
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, by);)
        if (!part.empty())
            parts.push_back(part);
    return parts;
}

IDirect3DTexture8* FakeTexture(int stage)
{
    // Identity only: the choice never touches a texture.
    return reinterpret_cast<IDirect3DTexture8*>(static_cast<uintptr_t>(0x1000 + 16 * stage));
}

// "#n Z W TF F0 F0 T0 | #m ..." for a built recipe, each parameter named by what it equals.
std::string Describe(const SWrecipe& recipe, const SWtexturestages& block)
{
    std::string text;
    for (uint32_t p = 0; p < recipe.passCount; ++p) {
        const SWrecipepass& pass = recipe.passes[p];
        text += (p == 0 ? "#" : " | #") + std::to_string(pass.recipe);
        for (uint32_t i = 0; i < pass.parameterCount; ++i) {
            const SWrecipeparameter& q = pass.parameters[i];
            std::string name = "?";
            if (q.kind == SWrecipeparameter::Kind::kTexture) {
                for (int s = 0; s < 4; ++s)
                    if (q.texture == FakeTexture(s))
                        name = "T" + std::to_string(s);
            } else if (i == 0 && q.value == D3DCMP_LESSEQUAL) {
                name = "Z";
            } else if (i == 1) {
                name = q.value == 1 ? "W" : q.value == 0 ? "0" : "?";
            } else if (q.value == 0xFF000000u) {
                name = "TF";
            } else if (q.value == block.constants[0]) {
                name = "R";
            } else if (q.value == block.constants[2]) {
                name = "C";
            } else {
                // A filter: which stage's operation it follows is told by the table below, which gives each stage
                // a different bilinear bit pattern across its two runs.
                name = "f" + std::to_string(q.value);
            }
            text += " " + name;
        }
    }
    return text;
}

struct ChoiceRow {
    uint8_t kind, stages;
    uint8_t ops[4];
    uint32_t simultaneous;
    const char* expected; // Fk written as the filter of stage k's operation, replaced before comparing
};

// The choice table, row by row, with the reflection bit (8) set where the condition asks for it.
const ChoiceRow kChoiceRows[] = {
    {3, 0, {0, 0, 0, 0}, 2, "#0 Z W"},
    {3, 1, {1, 0, 0, 0}, 2, "#1 Z W TF F0 F0 T0"},
    {3, 1, {9, 0, 0, 0}, 2, "#2 Z W R F0 F0 T0"},
    {3, 2, {1, 8, 0, 0}, 2, "#3 Z W TF F0 F0 T0 | #4 Z 0 R F1 F1 T1"},
    {4, 1, {3, 0, 0, 0}, 2, "#5 Z W T0"},
    {4, 2, {3, 1, 0, 0}, 2, "#6 Z W TF F1 F1 T1 T0"},
    {4, 2, {3, 9, 0, 0}, 3, "#7 Z W R F1 F1 T1 T0"},
    {4, 2, {3, 9, 0, 0}, 2, "#8 Z W T0 | #9 Z 0 R F1 F1 T1"},
    {4, 3, {3, 1, 8, 0}, 2, "#10 Z W TF F1 F1 T1 T0 | #11 Z 0 R F2 F2 T2"},
    {5, 2, {3, 1, 0, 0}, 2, "#12 Z W C F1 F1 T1 | #13 Z 0 T0"},
    {5, 3, {3, 1, 0, 0}, 2, "#14 Z W C F1 F1 F2 F2 T1 T2 | #15 Z 0 T0"},
    {5, 3, {3, 0, 9, 0}, 2, "#16 Z W C F1 F1 T1 | #17 Z 0 R F2 F2 T2 T0"},
    {5, 4, {3, 1, 0, 8}, 2, "#18 Z W C F1 F1 F2 F2 T1 T2 | #19 Z 0 R F3 F3 T3 T0"},
};

SWtexturestages BlockOf(const ChoiceRow& row)
{
    SWtexturestages block;
    block.combineMode = row.kind;
    block.layerCount = row.stages;
    block.flags = 1 | 2; // depth-tested, opaque
    block.vertexAlpha = 0;
    block.constants[0] = 0x00ABCDEF; // the reflection amount word
    block.constants[2] = 0x00123456; // the second packed colour
    for (int s = 0; s < 4; ++s) {
        block.layerFlags[s] = row.ops[s];
        block.images[s] = reinterpret_cast<const SWtexture*>(static_cast<uintptr_t>(0x2000 + 16 * s));
    }
    return block;
}

std::string WithFilters(std::string expected, const uint8_t ops[4])
{
    for (int s = 0; s < 4; ++s) {
        const std::string token = std::string("F").append(std::to_string(s));
        const std::string value = std::string("f").append(std::to_string((ops[s] & 1) + 1)); // never matched again
        for (size_t at = expected.find(token); at != std::string::npos; at = expected.find(token, at + 2))
            expected.replace(at, token.size(), value);
    }
    return expected;
}

SWtexturelookup FakeLookup()
{
    return [](const SWtexture* image) {
        return FakeTexture(static_cast<int>((reinterpret_cast<uintptr_t>(image) - 0x2000) / 16));
    };
}

TEST(StateRecipeChoice, EveryRowOfTheTableGivesItsPassesAndParameters)
{
    for (const ChoiceRow& row : kChoiceRows) {
        for (int flip = 0; flip < 2; ++flip) {
            ChoiceRow r = row;
            for (int s = 0; s < 4; ++s)
                r.ops[s] = static_cast<uint8_t>(r.ops[s] ^ (flip != 0 && r.ops[s] != 3 ? 1 : 0));
            SCOPED_TRACE(testing::Message() << "kind " << int(r.kind) << " stages " << int(r.stages) << " flip " << flip
                                            << " simultaneous " << r.simultaneous);
            const SWtexturestages block = BlockOf(r);
            SWrecipe recipe;
            ASSERT_TRUE(BuildRecipe(block, r.simultaneous, FakeLookup(), recipe));
            EXPECT_EQ(Describe(recipe, block), WithFilters(r.expected, r.ops));
            EXPECT_FALSE(recipe.blended);
        }
    }
}

TEST(StateRecipeChoice, OtherCombinationsBuildNoRecipe)
{
    const std::pair<uint8_t, uint8_t> none[] = {{0, 0}, {3, 3}, {4, 0}, {4, 4}, {5, 1}, {5, 5}, {6, 1}, {2, 0}};
    for (const auto& [kind, stages] : none) {
        SWtexturestages block;
        block.combineMode = kind;
        block.layerCount = stages;
        SWrecipe recipe;
        EXPECT_FALSE(BuildRecipe(block, 4, FakeLookup(), recipe)) << int(kind) << "," << int(stages);
        EXPECT_EQ(recipe.passCount, 0u);
    }
}

TEST(StateRecipeChoice, FlagsAndAlphaDecideDepthWriteFactorAndBlending)
{
    const struct {
        uint8_t flags, alpha;
        uint32_t z, w, tf;
        bool blended;
    } cases[] = {
        {1 | 2, 0, D3DCMP_LESSEQUAL, 1, 0xFF000000u, false}, // opaque
        {2, 0, D3DCMP_ALWAYS, 1, 0xFF000000u, false},        // not depth-tested
        {1 | 2, 7, D3DCMP_LESSEQUAL, 0, 0xFF000000u, true},  // see-through: no z write
        {1 | 4, 0, D3DCMP_LESSEQUAL, 0, 0u, true},           // texture alpha: no factor alpha
        {1 | 2 | 4, 0, D3DCMP_LESSEQUAL, 0, 0u, true},       // (f & 6) is 6, not 2
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(testing::Message() << "flags " << int(k.flags) << " alpha " << int(k.alpha));
        ChoiceRow row = kChoiceRows[3]; // kind 3, two stages: both passes, and TF in the first
        SWtexturestages block = BlockOf(row);
        block.flags = k.flags;
        block.vertexAlpha = k.alpha;
        SWrecipe recipe;
        ASSERT_TRUE(BuildRecipe(block, 2, FakeLookup(), recipe));
        EXPECT_EQ(recipe.passes[0].parameters[0].value, k.z);
        EXPECT_EQ(recipe.passes[0].parameters[1].value, k.w);
        EXPECT_EQ(recipe.passes[0].parameters[2].value, k.tf);
        EXPECT_EQ(recipe.passes[1].parameters[0].value, k.z);
        EXPECT_EQ(recipe.passes[1].parameters[1].value, 0u); // a second pass never writes depth
        EXPECT_EQ(recipe.blended, k.blended);
    }
}

// One recipe of the recipe table in its own notation: the blend column, then per stage its fragments
// ("fp" filters from parameters, "LINEAR", "cN" coordinates, "WRAP"/"CLAMP", "C=OP(ARGS)", "A=OP(ARGS)", "DISABLE"),
// then the texture stages.
struct RecipeRow {
    int index;
    const char* blend; // "specular,SRC,DEST[,TF]"
    std::vector<std::string> stages;
    std::vector<uint32_t> textures;
};

const std::vector<RecipeRow>& RecipeRows()
{
    const std::string t13 = "fp c0 WRAP C=MODULATE(TEXTURE,CURRENT) A=ADD(TFACTOR,TEXTURE)";
    const std::string t49 = "fp c1 WRAP C=MODULATE(TEXTURE,TFACTOR) A=SELECTARG1(TFACTOR)";
    const std::string t58 = "LINEAR c0 CLAMP C=ADD(TEXTURE,DIFFUSE) A=SELECTARG1(DIFFUSE)";
    const std::string t1216 = "fp c1 WRAP C=DOTPRODUCT3(TEXTURE,CURRENT) A=SELECTARG1(CURRENT)";
    const std::string t1315 = "LINEAR c0 CLAMP C=SELECTARG1(TEXTURE) A=SELECTARG1(CURRENT)";
    const std::string t1719 = "fp c2 WRAP C=MODULATE(TEXTURE,TFACTOR) A=SELECTARG1(TFACTOR)";
    const std::string addCurrent = "LINEAR c0 CLAMP C=ADD(TEXTURE,CURRENT)";
    static const std::vector<RecipeRow> rows = {
        {0, "1,ONE,INVSRCALPHA", {"C=DISABLE A=SELECTARG1(DIFFUSE)", "A=DISABLE"}, {}},
        {1, "1,ONE,INVSRCALPHA,TF", {t13, "C=SELECTARG2(CURRENT) A=MODULATE(DIFFUSE,CURRENT)", "DISABLE"}, {0}},
        {3, "1,ONE,INVSRCALPHA,TF", {t13, "C=SELECTARG2(CURRENT) A=MODULATE(DIFFUSE,CURRENT)", "DISABLE"}, {0}},
        {2,
         "1,ONE,INVSRCALPHA,TF",
         {"fp c0 WRAP C=MODULATE(TEXTURE,TFACTOR) A=SELECTARG1(DIFFUSE)",
          "C=ADD(DIFFUSE,CURRENT) A=SELECTARG1(CURRENT)", "DISABLE"},
         {0}},
        {4, "0,ONE,ONE,TF", {t49, "DISABLE"}, {0}},
        {9, "0,ONE,ONE,TF", {t49, "DISABLE"}, {0}},
        {5, "1,ONE,INVSRCALPHA", {t58, "DISABLE"}, {0}},
        {8, "1,ONE,INVSRCALPHA", {t58, "DISABLE"}, {0}},
        {6,
         "1,ONE,INVSRCALPHA,TF",
         {"fp c1 WRAP C=MODULATE(TEXTURE,CURRENT) A=ADD(TFACTOR,TEXTURE)", addCurrent + " A=MODULATE(DIFFUSE,CURRENT)",
          "DISABLE"},
         {0, 1}},
        {10,
         "1,ONE,INVSRCALPHA,TF",
         {"fp c1 WRAP C=MODULATE(TEXTURE,CURRENT) A=ADD(TFACTOR,TEXTURE)", addCurrent + " A=MODULATE(DIFFUSE,CURRENT)",
          "DISABLE"},
         {0, 1}},
        {7,
         "1,ONE,INVSRCALPHA,TF",
         {"fp c1 WRAP C=MODULATE(TEXTURE,TFACTOR) A=SELECTARG1(DIFFUSE)", addCurrent + " A=SELECTARG1(CURRENT)",
          "C=ADD(DIFFUSE,CURRENT) A=SELECTARG1(CURRENT)", "DISABLE"},
         {0, 1}},
        {11, "0,ONE,ONE,TF", {"fp c2 WRAP C=MODULATE(TEXTURE,TFACTOR) A=SELECTARG1(TFACTOR)", "DISABLE"}, {0}},
        {12, "1,ONE,INVSRCALPHA,TF", {t1216, "C=MODULATE(TFACTOR,CURRENT) A=SELECTARG2(TFACTOR)", "DISABLE"}, {0}},
        {16, "1,ONE,INVSRCALPHA,TF", {t1216, "C=MODULATE(TFACTOR,CURRENT) A=SELECTARG2(TFACTOR)", "DISABLE"}, {0}},
        {13, "0,ONE,ONE", {t1315, "DISABLE"}, {0}},
        {15, "0,ONE,ONE", {t1315, "DISABLE"}, {0}},
        {14,
         "1,ONE,INVSRCALPHA,TF",
         {t1216, "fp c1 WRAP C=MODULATE(TEXTURE,CURRENT) A=MODULATE(TEXTURE,TFACTOR)", "DISABLE"},
         {0, 1}},
        {18,
         "1,ONE,INVSRCALPHA,TF",
         {t1216, "fp c1 WRAP C=MODULATE(TEXTURE,CURRENT) A=MODULATE(TEXTURE,TFACTOR)", "DISABLE"},
         {0, 1}},
        {17, "0,ONE,ONE,TF", {t1719, addCurrent + " A=SELECTARG1(CURRENT)", "DISABLE"}, {0, 1}},
        {19, "0,ONE,ONE,TF", {t1719, addCurrent + " A=SELECTARG1(CURRENT)", "DISABLE"}, {0, 1}},
    };
    return rows;
}

const std::map<std::string, uint32_t> kNames = {
    {"ONE", D3DBLEND_ONE},
    {"INVSRCALPHA", D3DBLEND_INVSRCALPHA},
    {"DISABLE", D3DTOP_DISABLE},
    {"SELECTARG1", D3DTOP_SELECTARG1},
    {"SELECTARG2", D3DTOP_SELECTARG2},
    {"MODULATE", D3DTOP_MODULATE},
    {"ADD", D3DTOP_ADD},
    {"DOTPRODUCT3", D3DTOP_DOTPRODUCT3},
    {"TEXTURE", D3DTA_TEXTURE},
    {"CURRENT", D3DTA_CURRENT},
    {"DIFFUSE", D3DTA_DIFFUSE},
    {"TFACTOR", D3DTA_TFACTOR},
};

using StageSet = std::vector<std::tuple<uint32_t, uint32_t, uint32_t>>; // stage, state, value

// "OP(A,B)" onto the operation's state and its argument states.
void AddOperation(StageSet& out, uint32_t stage, uint32_t opState, const std::string& text)
{
    const size_t open = text.find('(');
    const std::string op = text.substr(0, open);
    out.emplace_back(stage, opState, kNames.at(op));
    if (open == std::string::npos)
        return;
    const auto args = Split(text.substr(open + 1, text.size() - open - 2), ',');
    if (op == "SELECTARG2")
        out.emplace_back(stage, opState + 2, kNames.at(args.at(0)));
    else
        for (size_t i = 0; i < args.size(); ++i)
            out.emplace_back(stage, opState + 1 + static_cast<uint32_t>(i), kNames.at(args[i]));
}

using D3D8RecipeApply = D3D8Fixture;

TEST_F(D3D8RecipeApply, EachRecipeSetsExactlyTheStatesOfItsRow)
{
    MakeSurface();
    IDirect3DDevice8* device = surface->Device();
    IDirect3DTexture8* tex[2] = {};
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &tex[0]), D3D_OK);
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &tex[1]), D3D_OK);
    ASSERT_EQ(RecipeRows().size(), size_t{kStateRecipeCount});
    for (const RecipeRow& row : RecipeRows()) {
        SCOPED_TRACE(testing::Message() << "recipe " << row.index);
        // Known parameters: Z 11, W 12, TF 13, the filters of the k-th parameter stage 20 + k, then the textures.
        SWrecipepass pass;
        pass.recipe = static_cast<uint32_t>(row.index);
        std::vector<std::pair<uint32_t, uint32_t>> renders;
        const auto blend = Split(row.blend, ',');
        pass.Add(SWrecipeparameter::Value(11));
        pass.Add(SWrecipeparameter::Value(12));
        renders = {{D3DRS_ZFUNC, 11},
                   {D3DRS_ZWRITEENABLE, 12},
                   {D3DRS_SPECULARENABLE, static_cast<uint32_t>(std::stoul(blend[0]))},
                   {D3DRS_SRCBLEND, kNames.at(blend[1])},
                   {D3DRS_DESTBLEND, kNames.at(blend[2])}};
        if (blend.size() == 4) {
            pass.Add(SWrecipeparameter::Value(13));
            renders.emplace_back(D3DRS_TEXTUREFACTOR, 13);
        }
        StageSet stages;
        uint32_t filterStage = 0;
        for (uint32_t s = 0; s < row.stages.size(); ++s)
            for (const std::string& part : Split(row.stages[s])) {
                if (part == "fp") {
                    const uint32_t value = 20 + filterStage++;
                    pass.Add(SWrecipeparameter::Value(value));
                    pass.Add(SWrecipeparameter::Value(value));
                    stages.emplace_back(s, D3DTSS_MINFILTER, value);
                    stages.emplace_back(s, D3DTSS_MAGFILTER, value);
                } else if (part == "LINEAR") {
                    stages.emplace_back(s, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
                    stages.emplace_back(s, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
                } else if (part[0] == 'c') {
                    stages.emplace_back(s, D3DTSS_TEXCOORDINDEX, static_cast<uint32_t>(part[1] - '0'));
                } else if (part == "WRAP" || part == "CLAMP") {
                    const uint32_t mode = part == "WRAP" ? D3DTADDRESS_WRAP : D3DTADDRESS_CLAMP;
                    stages.emplace_back(s, D3DTSS_ADDRESSU, mode);
                    stages.emplace_back(s, D3DTSS_ADDRESSV, mode);
                } else if (part == "DISABLE") {
                    stages.emplace_back(s, D3DTSS_COLOROP, D3DTOP_DISABLE);
                    stages.emplace_back(s, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
                } else if (part.rfind("C=", 0) == 0) {
                    AddOperation(stages, s, D3DTSS_COLOROP, part.substr(2));
                } else {
                    ASSERT_EQ(part.rfind("A=", 0), 0u) << part;
                    AddOperation(stages, s, D3DTSS_ALPHAOP, part.substr(2));
                }
            }
        for (size_t t = 0; t < row.textures.size(); ++t)
            pass.Add(SWrecipeparameter::Texture(tex[t]));

        clearD3D8CallLog();
        ASSERT_TRUE(ApplyRecipePass(*device, pass));
        std::vector<std::pair<uint32_t, uint32_t>> gotRenders;
        StageSet gotStages;
        std::vector<std::pair<uint32_t, double>> gotTextures;
        std::string order;
        for (const D3D8Call& call : d3d8CallLog()) {
            if (call.method == "SetRenderState") {
                gotRenders.emplace_back(uint32_t(call.args[0]), uint32_t(call.args[1]));
                order += "R";
            } else if (call.method == "SetTextureStageState") {
                gotStages.emplace_back(uint32_t(call.args[0]), uint32_t(call.args[1]), uint32_t(call.args[2]));
                order += "S";
            } else if (call.method == "SetTexture") {
                gotTextures.emplace_back(uint32_t(call.args[0]), call.args[1]);
                order += "T";
            }
        }
        EXPECT_EQ(gotRenders.front(), renders.front()); // ZFUNC first
        EXPECT_EQ(gotRenders[1], renders[1]);           // then ZWRITEENABLE
        EXPECT_EQ(gotRenders.back(), renders.back());   // TEXTUREFACTOR last when there is one
        std::sort(gotRenders.begin(), gotRenders.end());
        std::sort(renders.begin(), renders.end());
        EXPECT_EQ(gotRenders, renders);
        std::sort(gotStages.begin(), gotStages.end());
        std::sort(stages.begin(), stages.end());
        EXPECT_EQ(gotStages, stages);
        ASSERT_EQ(gotTextures.size(), row.textures.size());
        for (size_t t = 0; t < row.textures.size(); ++t)
            EXPECT_EQ(gotTextures[t].first, row.textures[t]);
        EXPECT_TRUE(std::is_sorted(order.begin(), order.end(), [](char a, char b) {
            return std::string("RST").find(a) < std::string("RST").find(b);
        }));
    }
    tex[0]->Release();
    tex[1]->Release();
}

TEST_F(D3D8RecipeApply, APassShortOfParametersOrWithAWrongKindStopsAndFails)
{
    MakeSurface();
    SWrecipepass pass;
    pass.recipe = 5; // Z, W, T0
    pass.Add(SWrecipeparameter::Value(4));
    pass.Add(SWrecipeparameter::Value(1));
    EXPECT_FALSE(ApplyRecipePass(*surface->Device(), pass)); // no texture parameter
    pass.Add(SWrecipeparameter::Value(7));
    EXPECT_FALSE(ApplyRecipePass(*surface->Device(), pass)); // a value where a texture belongs
    pass.recipe = kStateRecipeCount;
    EXPECT_FALSE(ApplyRecipePass(*surface->Device(), pass));
}

} // namespace
} // namespace d3d8test
