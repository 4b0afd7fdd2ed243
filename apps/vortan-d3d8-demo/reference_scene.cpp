#include "apps/vortan-d3d8-demo/reference_scene.h"

#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace pf {

namespace {

// Pre-transformed, coloured, one texture: what the screen-space recipes draw.
struct ScreenVertex {
    float x, y, z, rhw;
    uint32_t diffuse;
    float u, v;
};
constexpr uint32_t kScreenFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// Positions through the matrices: the crossing triangles under the perspective camera.
struct WorldVertex {
    float x, y, z;
    uint32_t diffuse;
};
constexpr uint32_t kWorldFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;

constexpr uint32_t kCheckerSide = 64;

// Releases a stand-in object at the end of a scope, whatever path leaves it.
template <typename T> class Held {
public:
    Held() = default;
    ~Held()
    {
        if (m_object != nullptr)
            m_object->Release();
    }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    T** out() { return &m_object; }
    T* get() const { return m_object; }
    T* operator->() const { return m_object; }

private:
    T* m_object = nullptr;
};

// Every call must succeed: the scene is the stand-in's own demonstration.
class Calls {
public:
    bool operator()(HResult result)
    {
        m_ok = m_ok && result == D3D_OK;
        return m_ok;
    }
    bool ok() const { return m_ok; }

private:
    bool m_ok = true;
};

uint32_t checkerTexel(uint32_t x, uint32_t y)
{
    // Eight-texel squares with a one-texel gradient inside, so a shifted copy shows at once.
    const bool dark = ((x / 8) + (y / 8)) % 2 == 0;
    const uint32_t base = dark ? 0x30u : 0xD0u;
    return 0xFF000000u | ((base + x % 8) << 16) | ((base + y % 8) << 8) | (dark ? 0xA0u : 0x20u);
}

// A unit normal as the Dot3 stage reads it: each axis biased into 0..255.
uint32_t normalTexel(uint32_t x, uint32_t y)
{
    const float nx = (static_cast<float>(x) + 0.5f) / kCheckerSide * 2.0f - 1.0f;
    const float ny = (static_cast<float>(y) + 0.5f) / kCheckerSide * 2.0f - 1.0f;
    const float r2 = nx * nx + ny * ny;
    const float nz = r2 < 1.0f ? std::sqrt(1.0f - r2) : 0.0f;
    const auto bias = [](float v) { return static_cast<uint32_t>(std::lround((v * 0.5f + 0.5f) * 255.0f)); };
    return 0xFF000000u | (bias(r2 < 1.0f ? nx : 0.0f) << 16) | (bias(r2 < 1.0f ? ny : 0.0f) << 8) | bias(nz);
}

template <typename Texel> bool fillTexture(IDirect3DTexture8& texture, Texel texel)
{
    D3DLOCKED_RECT locked;
    if (texture.LockRect(0, &locked, nullptr, 0) != D3D_OK)
        return false;
    for (uint32_t y = 0; y < kCheckerSide; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + ptrdiff_t{locked.Pitch} * y);
        for (uint32_t x = 0; x < kCheckerSide; ++x)
            row[x] = texel(x, y);
    }
    return texture.UnlockRect(0) == D3D_OK;
}

// A managed-looking texture made the way the renderer uploads: system memory, then UpdateTexture.
template <typename Texel> bool makeTexture(IDirect3DDevice8& device, Texel texel, IDirect3DTexture8** out)
{
    Held<IDirect3DTexture8> staging;
    Calls call;
    call(device.CreateTexture(kCheckerSide, kCheckerSide, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, staging.out()));
    call(call.ok() && fillTexture(*staging.get(), texel) ? D3D_OK : D3DERR_INVALIDCALL);
    call(device.CreateTexture(kCheckerSide, kCheckerSide, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, out));
    call(device.UpdateTexture(staging.get(), *out));
    return call.ok();
}

template <typename Vertex>
bool drawList(IDirect3DDevice8& device, uint32_t fvf, const std::vector<Vertex>& vertices,
              const std::vector<uint16_t>& indices)
{
    Held<IDirect3DVertexBuffer8> vb;
    Held<IDirect3DIndexBuffer8> ib;
    Calls call;
    const auto vertexBytes = static_cast<uint32_t>(vertices.size() * sizeof(Vertex));
    const auto indexBytes = static_cast<uint32_t>(indices.size() * sizeof(uint16_t));
    uint8_t* bytes = nullptr;
    call(device.CreateVertexBuffer(vertexBytes, D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC, fvf, D3DPOOL_DEFAULT, vb.out()));
    call(call.ok() ? vb->Lock(0, 0, &bytes, D3DLOCK_DISCARD) : D3DERR_INVALIDCALL);
    if (!call.ok())
        return false;
    std::memcpy(bytes, vertices.data(), vertexBytes);
    call(vb->Unlock());
    call(device.CreateIndexBuffer(indexBytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT, ib.out()));
    call(call.ok() ? ib->Lock(0, 0, &bytes, D3DLOCK_DISCARD) : D3DERR_INVALIDCALL);
    if (!call.ok())
        return false;
    std::memcpy(bytes, indices.data(), indexBytes);
    call(ib->Unlock());
    call(device.SetVertexShader(fvf));
    call(device.SetStreamSource(0, vb.get(), sizeof(Vertex)));
    call(device.SetIndices(ib.get(), 0));
    call(device.DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, static_cast<uint32_t>(vertices.size()), 0,
                                     static_cast<uint32_t>(indices.size() / 3)));
    call(device.SetStreamSource(0, nullptr, 0));
    call(device.SetIndices(nullptr, 0));
    return call.ok();
}

// A screen-aligned quad over pixels [l, r) x [t, b), its corners at the half-pixel offset so that texel centres
// fall on pixel centres.
void addQuad(std::vector<ScreenVertex>& v, std::vector<uint16_t>& idx, float l, float t, float r, float b,
             uint32_t diffuse, float u0 = 0, float v0 = 0, float u1 = 1, float v1 = 1)
{
    const auto first = static_cast<uint16_t>(v.size());
    v.push_back({l - 0.5f, t - 0.5f, 0.5f, 1.0f, diffuse, u0, v0});
    v.push_back({r - 0.5f, t - 0.5f, 0.5f, 1.0f, diffuse, u1, v0});
    v.push_back({r - 0.5f, b - 0.5f, 0.5f, 1.0f, diffuse, u1, v1});
    v.push_back({l - 0.5f, b - 0.5f, 0.5f, 1.0f, diffuse, u0, v1});
    for (const uint16_t i : {0, 1, 2, 0, 2, 3})
        idx.push_back(static_cast<uint16_t>(first + i));
}

void setStage(IDirect3DDevice8& device, Calls& call, uint32_t stage, uint32_t colorOp, uint32_t arg1, uint32_t arg2)
{
    call(device.SetTextureStageState(stage, D3DTSS_COLOROP, colorOp));
    call(device.SetTextureStageState(stage, D3DTSS_COLORARG1, arg1));
    call(device.SetTextureStageState(stage, D3DTSS_COLORARG2, arg2));
    call(device.SetTextureStageState(stage, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1));
    call(device.SetTextureStageState(stage, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE));
}

bool drawTexelCopy(IDirect3DDevice8& device, IDirect3DTexture8* checker)
{
    Calls call;
    std::vector<ScreenVertex> v;
    std::vector<uint16_t> idx;
    addQuad(v, idx, 16, 16, 16 + kCheckerSide, 16 + kCheckerSide, 0xFFFFFFFFu);
    call(device.SetTexture(0, checker));
    setStage(device, call, 0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    call(device.SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT));
    call(device.SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT));
    return call.ok() && drawList(device, kScreenFvf, v, idx);
}

// Tiles sharing every edge, each adding the same small colour: any pixel drawn twice shows brighter.
bool drawAdditiveTiles(IDirect3DDevice8& device)
{
    Calls call;
    std::vector<ScreenVertex> v;
    std::vector<uint16_t> idx;
    constexpr int kColumns = 7, kRows = 5;
    const auto cornerOf = [](int c, int r) {
        // Slanted, uneven tiles, so shared edges are not axis-aligned.
        return std::array<float, 2>{100.0f + c * 23.3f + r * 4.1f, 16.0f + r * 13.7f + c * 1.9f};
    };
    for (int r = 0; r <= kRows; ++r)
        for (int c = 0; c <= kColumns; ++c) {
            const auto p = cornerOf(c, r);
            v.push_back({p[0], p[1], 0.5f, 1.0f, 0xFF203040u, 0, 0});
        }
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c) {
            const auto a = static_cast<uint16_t>(r * (kColumns + 1) + c);
            const auto b = static_cast<uint16_t>(a + 1);
            const auto d = static_cast<uint16_t>(a + kColumns + 1);
            const auto e = static_cast<uint16_t>(d + 1);
            for (const uint16_t i : {a, b, e, a, e, d})
                idx.push_back(i);
        }
    call(device.SetTexture(0, nullptr));
    setStage(device, call, 0, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT);
    call(device.SetRenderState(D3DRS_ALPHABLENDENABLE, 1));
    call(device.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE));
    call(device.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE));
    const bool drawn = call.ok() && drawList(device, kScreenFvf, v, idx);
    call(device.SetRenderState(D3DRS_ALPHABLENDENABLE, 0));
    return drawn && call.ok();
}

// The light vector in the diffuse colour, biased like the normals; the stage's dot product shades the dome.
bool drawDot3(IDirect3DDevice8& device, IDirect3DTexture8* normals)
{
    Calls call;
    std::vector<ScreenVertex> v;
    std::vector<uint16_t> idx;
    addQuad(v, idx, 300, 16, 428, 144, 0xFFB0B0E0u);
    call(device.SetTexture(0, normals));
    setStage(device, call, 0, D3DTOP_DOTPRODUCT3, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    call(device.SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR));
    call(device.SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR));
    call(device.SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP));
    call(device.SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP));
    return call.ok() && drawList(device, kScreenFvf, v, idx);
}

D3DMATRIX perspective(float fovY, float aspect, float zNear, float zFar)
{
    D3DMATRIX m;
    const float yScale = 1.0f / std::tan(fovY / 2);
    m.m[0][0] = yScale / aspect;
    m.m[1][1] = yScale;
    m.m[2][2] = zFar / (zFar - zNear);
    m.m[2][3] = 1.0f;
    m.m[3][2] = -zNear * zFar / (zFar - zNear);
    return m;
}

// Two triangles that pass through each other: only the depth test can draw their crossing right.
bool drawCrossingTriangles(IDirect3DDevice8& device)
{
    Calls call;
    D3DMATRIX view;
    view.m[0][0] = view.m[1][1] = view.m[2][2] = view.m[3][3] = 1.0f;
    view.m[3][0] = 1.2f; // the camera looks at the lower left of the frame
    view.m[3][1] = 0.9f;
    view.m[3][2] = 4.0f;
    const D3DMATRIX projection = perspective(0.9f, static_cast<float>(kSceneWidth) / kSceneHeight, 0.5f, 20.0f);
    D3DMATRIX identity;
    identity.m[0][0] = identity.m[1][1] = identity.m[2][2] = identity.m[3][3] = 1.0f;
    call(device.SetTransform(D3DTS_WORLD, &identity));
    call(device.SetTransform(D3DTS_VIEW, &view));
    call(device.SetTransform(D3DTS_PROJECTION, &projection));
    call(device.SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE));
    call(device.SetRenderState(D3DRS_ZWRITEENABLE, 1));
    call(device.SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL));
    call(device.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE));
    call(device.SetRenderState(D3DRS_CLIPPING, 1));
    call(device.SetTexture(0, nullptr));
    setStage(device, call, 0, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT);
    const std::vector<WorldVertex> v = {
        {-1.0f, -0.8f, -1.0f, 0xFFE04030u}, {1.0f, -0.8f, 1.0f, 0xFFE04030u},  {0.0f, 0.9f, 0.0f, 0xFFF0A020u},
        {-1.0f, -0.6f, 1.0f, 0xFF3060E0u},  {1.0f, -0.6f, -1.0f, 0xFF3060E0u}, {0.2f, 1.0f, 0.0f, 0xFF30C0E0u},
    };
    const bool drawn = call.ok() && drawList(device, kWorldFvf, v, {0, 1, 2, 3, 4, 5});
    call(device.SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE));
    return drawn && call.ok();
}

// The same texture over a quad whose coordinates run from -1 to 2: clamped, its border texels stretch; wrapped,
// it repeats three times each way.
bool drawClampAndWrap(IDirect3DDevice8& device, IDirect3DTexture8* checker)
{
    Calls call;
    call(device.SetTexture(0, checker));
    setStage(device, call, 0, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    call(device.SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT));
    call(device.SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT));
    bool drawn = call.ok();
    for (const uint32_t mode : {D3DTADDRESS_CLAMP, D3DTADDRESS_WRAP}) {
        std::vector<ScreenVertex> v;
        std::vector<uint16_t> idx;
        const float left = mode == D3DTADDRESS_CLAMP ? 16.0f : 224.0f;
        addQuad(v, idx, left, 300, left + 192, 300 + 160, 0xFFFFFFFFu, -1, -1, 2, 2);
        call(device.SetTextureStageState(0, D3DTSS_ADDRESSU, mode));
        call(device.SetTextureStageState(0, D3DTSS_ADDRESSV, mode));
        drawn = drawn && call.ok() && drawList(device, kScreenFvf, v, idx);
    }
    return drawn;
}

} // namespace

bool drawReferenceScene(IDirect3DDevice8& device)
{
    Held<IDirect3DTexture8> checker;
    Held<IDirect3DTexture8> normals;
    if (!makeTexture(device, checkerTexel, checker.out()) || !makeTexture(device, normalTexel, normals.out()))
        return false;
    Calls call;
    call(device.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF202428u, 1.0f, 0));
    call(device.BeginScene());
    // The screen-space draws share one state block, as the renderer's recipes do.
    uint32_t screenSpace = 0;
    call(device.BeginStateBlock());
    call(device.SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE));
    call(device.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE));
    call(device.SetRenderState(D3DRS_LIGHTING, 0));
    call(device.SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE));
    call(device.EndStateBlock(&screenSpace));
    call(device.ApplyStateBlock(screenSpace));
    const bool drawn = call.ok() && drawTexelCopy(device, checker.get()) && drawAdditiveTiles(device) &&
                       drawDot3(device, normals.get()) && drawCrossingTriangles(device) &&
                       drawClampAndWrap(device, checker.get());
    call(device.SetTexture(0, nullptr));
    call(device.EndScene());
    call(device.DeleteStateBlock(screenSpace));
    return drawn && call.ok();
}

} // namespace pf
