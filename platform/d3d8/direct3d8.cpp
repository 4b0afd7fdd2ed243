#include "platform/d3d8/direct3d8.h"

#include "platform/base/assertion.h"
#include "platform/base/gdi_constants.h"
#include "platform/d3d8/draw_check.h"
#include "platform/display/screen.h"
#include "platform/gfx/dib.h"
#include "platform/sys/com_object.h"
#include "platform/sys/modules.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <utility>

namespace pf {

namespace {

// Sizes the stand-in refuses beyond, so that a caller's numbers cannot make it take unbounded memory.
constexpr uint64_t kMaxBufferBytes = uint64_t{64} << 20;
constexpr uint64_t kMaxTextureBytes = uint64_t{256} << 20;
constexpr uint32_t kMaxBackBufferSide = 4096;

std::atomic<int> g_live{0};
std::atomic<uint32_t> g_serial{0};

std::mutex g_mutex; // guards everything below
Direct3D8Config g_config;
FailurePlan g_plan;
std::vector<bool> g_fired;
std::map<std::string, uint32_t, std::less<>> g_callCounts;
std::vector<D3D8Call> g_log;
std::vector<DrawRecord> g_draws;

Direct3D8Config config()
{
    const std::lock_guard lock(g_mutex);
    return g_config;
}

HResult planned(std::string_view method)
{
    PF_ASSERT(isD3D8FailableMethod(method), "every method a plan can fail is listed in d3d8FailableMethods");
    const std::lock_guard lock(g_mutex);
    auto it = g_callCounts.find(method);
    if (it == g_callCounts.end())
        it = g_callCounts.emplace(std::string(method), 0).first;
    const uint32_t count = ++it->second;
    for (size_t i = 0; i < g_plan.entries.size(); ++i) {
        const FailurePlan::Entry& e = g_plan.entries[i];
        if (!g_fired[i] && e.method == method && e.nth == count) {
            g_fired[i] = true;
            return e.result;
        }
    }
    return S_OK;
}

size_t logCall(std::string_view method, std::initializer_list<double> args)
{
    const std::lock_guard lock(g_mutex);
    g_log.push_back({std::string(method), std::vector<double>(args), S_OK});
    return g_log.size() - 1;
}

void setLoggedResult(size_t index, HResult result)
{
    const std::lock_guard lock(g_mutex);
    if (index < g_log.size())
        g_log[index].result = result;
}

// Every method goes through here: logged first (so that a replay logs after its Apply), then the failure plan,
// then the body.
template <class Body> HResult call(std::string_view method, std::initializer_list<double> args, Body&& body)
{
    const size_t index = logCall(method, args);
    HResult result = planned(method);
    if (result == S_OK)
        result = body();
    setLoggedResult(index, result);
    return result;
}

double ptr(const void* p)
{
    return p == nullptr ? 0.0 : 1.0;
}

template <class Interface> class Counted : public ComObject<Interface> {
public:
    explicit Counted(const Guid& iid) : ComObject<Interface>(iid), m_serial(++g_serial) { g_live.fetch_add(1); }
    uint32_t serial() const { return m_serial; }

protected:
    ~Counted() override { g_live.fetch_sub(1); }

private:
    const uint32_t m_serial;
};

template <class T> double serialOf(T* object)
{
    if (object == nullptr)
        return 0.0;
    const auto* counted = dynamic_cast<const Counted<std::remove_cv_t<T>>*>(object);
    return counted != nullptr ? counted->serial() : -1.0;
}

// Only identity matters for these.
constexpr Guid IID_IDirect3D8 = {0x1D3D8001, 0x5E2A, 0x4B7C, {0x8F, 0x10, 0x00, 0xD3, 0xD8, 0x00, 0x00, 0x01}};
constexpr Guid IID_IDirect3DDevice8 = {0x1D3D8002, 0x5E2A, 0x4B7C, {0x8F, 0x10, 0x00, 0xD3, 0xD8, 0x00, 0x00, 0x02}};
constexpr Guid IID_IDirect3DTexture8 = {0x1D3D8003, 0x5E2A, 0x4B7C, {0x8F, 0x10, 0x00, 0xD3, 0xD8, 0x00, 0x00, 0x03}};
constexpr Guid IID_IDirect3DSurface8 = {0x1D3D8004, 0x5E2A, 0x4B7C, {0x8F, 0x10, 0x00, 0xD3, 0xD8, 0x00, 0x00, 0x04}};
constexpr Guid IID_IDirect3DVertexBuffer8 = {
    0x1D3D8005, 0x5E2A, 0x4B7C, {0x8F, 0x10, 0x00, 0xD3, 0xD8, 0x00, 0x00, 0x05}};
constexpr Guid IID_IDirect3DIndexBuffer8 = {
    0x1D3D8006, 0x5E2A, 0x4B7C, {0x8F, 0x10, 0x00, 0xD3, 0xD8, 0x00, 0x00, 0x06}};

// One level of a texture or a surface: pixels of a format, rows pitch bytes apart.
struct PixelPlane {
    D3DFORMAT format = D3DFMT_UNKNOWN;
    uint32_t width = 0, height = 0, pitch = 0;
    std::vector<uint8_t> bytes;
    bool locked = false;

    static std::optional<PixelPlane> make(D3DFORMAT format, uint32_t width, uint32_t height)
    {
        const PixelFormatInfo info = pixelFormatInfo(format);
        if (info.bytes == 0 || width == 0 || height == 0)
            return std::nullopt;
        PixelPlane p;
        p.format = format;
        p.width = width;
        p.height = height;
        p.pitch = static_cast<uint32_t>((uint64_t{width} * info.bytes + 3) & ~uint64_t{3});
        p.bytes.assign(uint64_t{p.pitch} * height, 0);
        return p;
    }

    RasterImage image() { return {format, width, height, pitch, bytes.data()}; }

    HResult lock(D3DLOCKED_RECT* out, const Rect* rect, uint32_t flags)
    {
        if (out == nullptr || locked)
            return D3DERR_INVALIDCALL;
        const Rect whole{0, 0, static_cast<int32_t>(width), static_cast<int32_t>(height)};
        const Rect r = rect != nullptr ? *rect : whole;
        if (r.l < 0 || r.t < 0 || r.r > whole.r || r.b > whole.b || r.l >= r.r || r.t >= r.b)
            return D3DERR_INVALIDCALL;
        if ((flags & D3DLOCK_DISCARD) != 0)
            std::fill(bytes.begin(), bytes.end(), uint8_t{0});
        locked = true;
        out->Pitch = static_cast<int32_t>(pitch);
        out->pBits = bytes.data() + uint64_t(r.t) * pitch + uint64_t(r.l) * pixelFormatInfo(format).bytes;
        return D3D_OK;
    }

    HResult unlock()
    {
        if (!locked)
            return D3DERR_INVALIDCALL;
        locked = false;
        return D3D_OK;
    }

    D3DSURFACE_DESC desc(uint32_t type, uint32_t usage, uint32_t pool) const
    {
        return {format, type, usage, pool, static_cast<uint32_t>(bytes.size()), D3DMULTISAMPLE_NONE, width, height};
    }
};

class Surface final : public Counted<IDirect3DSurface8> {
public:
    explicit Surface(PixelPlane plane) : Counted(IID_IDirect3DSurface8), m_plane(std::move(plane)) {}
    HResult GetDesc(D3DSURFACE_DESC* desc) override
    {
        return call("Surface::GetDesc", {ptr(desc)}, [&] {
            if (desc == nullptr)
                return D3DERR_INVALIDCALL;
            *desc = m_plane.desc(D3DRTYPE_SURFACE, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT);
            return D3D_OK;
        });
    }
    HResult LockRect(D3DLOCKED_RECT* locked, const Rect* rect, uint32_t flags) override
    {
        return call("Surface::LockRect", {ptr(locked), ptr(rect), double(flags)},
                    [&] { return m_plane.lock(locked, rect, flags); });
    }
    HResult UnlockRect() override
    {
        return call("Surface::UnlockRect", {}, [&] { return m_plane.unlock(); });
    }
    PixelPlane& plane() { return m_plane; }

private:
    PixelPlane m_plane;
};

class Texture final : public Counted<IDirect3DTexture8> {
public:
    Texture(std::vector<PixelPlane> levels, uint32_t usage, uint32_t pool)
        : Counted(IID_IDirect3DTexture8), m_levels(std::move(levels)), m_usage(usage), m_pool(pool)
    {
    }
    HResult GetLevelDesc(uint32_t level, D3DSURFACE_DESC* desc) override
    {
        return call("GetLevelDesc", {double(level), ptr(desc)}, [&] {
            if (desc == nullptr || level >= m_levels.size())
                return D3DERR_INVALIDCALL;
            *desc = m_levels[level].desc(D3DRTYPE_TEXTURE, m_usage, m_pool);
            return D3D_OK;
        });
    }
    HResult LockRect(uint32_t level, D3DLOCKED_RECT* locked, const Rect* rect, uint32_t flags) override
    {
        return call(
            "LockRect", {serialOf<IDirect3DTexture8>(this), double(level), ptr(locked), ptr(rect), double(flags)},
            [&] { return level < m_levels.size() ? m_levels[level].lock(locked, rect, flags) : D3DERR_INVALIDCALL; });
    }
    HResult UnlockRect(uint32_t level) override
    {
        return call("UnlockRect", {serialOf<IDirect3DTexture8>(this), double(level)},
                    [&] { return level < m_levels.size() ? m_levels[level].unlock() : D3DERR_INVALIDCALL; });
    }
    std::vector<PixelPlane>& levels() { return m_levels; }
    uint32_t pool() const { return m_pool; }

private:
    std::vector<PixelPlane> m_levels;
    uint32_t m_usage;
    uint32_t m_pool;
};

template <class Interface> class Buffer final : public Counted<Interface> {
public:
    Buffer(const Guid& iid, uint32_t length, uint32_t usage, uint32_t kind)
        : Counted<Interface>(iid), m_bytes(length, config().newResourceFill), m_usage(usage), m_kind(kind)
    {
    }
    HResult Lock(uint32_t offset, uint32_t size, uint8_t** data, uint32_t flags) override
    {
        return call(std::is_same_v<Interface, IDirect3DVertexBuffer8> ? "VertexBuffer::Lock" : "IndexBuffer::Lock",
                    {serialOf<Interface>(this), double(offset), double(size), ptr(data), double(flags)}, [&] {
                        const uint64_t end = uint64_t{offset} + (size == 0 ? m_bytes.size() - offset : size);
                        if (data == nullptr || m_locked || offset > m_bytes.size() || end > m_bytes.size())
                            return D3DERR_INVALIDCALL;
                        // Discard gives fresh contents: what the caller wrote before is no longer there.
                        if ((flags & D3DLOCK_DISCARD) != 0)
                            std::vector<uint8_t>(m_bytes.size(), 0).swap(m_bytes);
                        m_locked = true;
                        *data = m_bytes.data() + offset;
                        return D3D_OK;
                    });
    }
    HResult Unlock() override
    {
        return call(std::is_same_v<Interface, IDirect3DVertexBuffer8> ? "VertexBuffer::Unlock" : "IndexBuffer::Unlock",
                    {serialOf<Interface>(this)}, [&] {
                        if (!m_locked)
                            return D3DERR_INVALIDCALL;
                        m_locked = false;
                        return D3D_OK;
                    });
    }
    const std::vector<uint8_t>& bytes() const { return m_bytes; }
    uint32_t kind() const { return m_kind; } // the FVF, or the index format

private:
    std::vector<uint8_t> m_bytes;
    bool m_locked = false;
    uint32_t m_usage;
    uint32_t m_kind;
};
using VertexBuffer = Buffer<IDirect3DVertexBuffer8>;
using IndexBuffer = Buffer<IDirect3DIndexBuffer8>;

class Runtime;

class Device final : public Counted<IDirect3DDevice8> {
public:
    Device(Runtime* runtime, Hwnd window, const D3DPRESENT_PARAMETERS& params, Surface* backBuffer, bool rasterise);
    ~Device() override;

    HResult CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage, D3DFORMAT format,
                          uint32_t pool, IDirect3DTexture8** out) override
    {
        return call(
            "CreateTexture",
            {double(width), double(height), double(levels), double(usage), double(format), double(pool), ptr(out)},
            [&] {
                if (out == nullptr)
                    return D3DERR_INVALIDCALL;
                *out = nullptr;
                const D3DCAPS8 caps = config().caps;
                if (width == 0 || height == 0 || width > caps.MaxTextureWidth || height > caps.MaxTextureHeight ||
                    pixelFormatInfo(format).bytes == 0 || pool > D3DPOOL_SYSTEMMEM)
                    return D3DERR_INVALIDCALL;
                if (uint64_t{width} * height * 4 > kMaxTextureBytes)
                    return D3DERR_OUTOFVIDEOMEMORY;
                std::vector<PixelPlane> planes;
                uint32_t w = width, h = height;
                const uint8_t fill = config().newResourceFill;
                for (uint32_t l = 0; levels == 0 || l < levels; ++l) {
                    planes.push_back(*PixelPlane::make(format, w, h));
                    std::fill(planes.back().bytes.begin(), planes.back().bytes.end(), fill);
                    if (w == 1 && h == 1)
                        break;
                    w = std::max(1u, w / 2);
                    h = std::max(1u, h / 2);
                }
                *out = new Texture(std::move(planes), usage, pool);
                return D3D_OK;
            });
    }
    HResult CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, uint32_t pool,
                               IDirect3DVertexBuffer8** out) override
    {
        return call("CreateVertexBuffer", {double(length), double(usage), double(fvf), double(pool), ptr(out)}, [&] {
            if (out == nullptr)
                return D3DERR_INVALIDCALL;
            *out = nullptr;
            if (length == 0)
                return D3DERR_INVALIDCALL;
            if (length > kMaxBufferBytes)
                return D3DERR_OUTOFVIDEOMEMORY;
            *out = new VertexBuffer(IID_IDirect3DVertexBuffer8, length, usage, fvf);
            return D3D_OK;
        });
    }
    HResult CreateIndexBuffer(uint32_t length, uint32_t usage, D3DFORMAT format, uint32_t pool,
                              IDirect3DIndexBuffer8** out) override
    {
        return call("CreateIndexBuffer", {double(length), double(usage), double(format), double(pool), ptr(out)}, [&] {
            if (out == nullptr)
                return D3DERR_INVALIDCALL;
            *out = nullptr;
            if (length == 0 || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32))
                return D3DERR_INVALIDCALL;
            if (length > kMaxBufferBytes)
                return D3DERR_OUTOFVIDEOMEMORY;
            *out = new IndexBuffer(IID_IDirect3DIndexBuffer8, length, usage, format);
            return D3D_OK;
        });
    }
    HResult UpdateTexture(IDirect3DTexture8* source, IDirect3DTexture8* destination) override
    {
        return call("UpdateTexture", {serialOf(source), serialOf(destination)}, [&] {
            auto* src = dynamic_cast<Texture*>(source);
            auto* dst = dynamic_cast<Texture*>(destination);
            if (src == nullptr || dst == nullptr || src->pool() != D3DPOOL_SYSTEMMEM || dst->pool() != D3DPOOL_DEFAULT)
                return D3DERR_INVALIDCALL;
            auto& from = src->levels();
            auto& to = dst->levels();
            if (from.front().format != to.front().format || from.front().width != to.front().width ||
                from.front().height != to.front().height)
                return D3DERR_INVALIDCALL;
            for (size_t l = 0; l < std::min(from.size(), to.size()); ++l)
                to[l].bytes = from[l].bytes;
            return D3D_OK;
        });
    }
    HResult GetBackBuffer(uint32_t index, uint32_t type, IDirect3DSurface8** out) override
    {
        return call("GetBackBuffer", {double(index), double(type), ptr(out)}, [&] {
            if (out == nullptr || index != 0 || type != D3DBACKBUFFER_TYPE_MONO)
                return D3DERR_INVALIDCALL;
            m_backBuffer->AddRef();
            *out = m_backBuffer;
            return D3D_OK;
        });
    }
    HResult Present(const Rect* source, const Rect* destination, Hwnd overrideWindow, const void* dirtyRegion) override
    {
        return call("Present", {ptr(source), ptr(destination), double(overrideWindow), ptr(dirtyRegion)},
                    [&] { return present(source, destination, overrideWindow); });
    }
    HResult BeginScene() override
    {
        return call("BeginScene", {}, [&] { return std::exchange(m_inScene, true) ? D3DERR_INVALIDCALL : D3D_OK; });
    }
    HResult EndScene() override
    {
        return call("EndScene", {}, [&] { return std::exchange(m_inScene, false) ? D3D_OK : D3DERR_INVALIDCALL; });
    }
    HResult Clear(uint32_t count, const D3DRECT* rects, uint32_t flags, uint32_t color, float z,
                  uint32_t stencil) override
    {
        return call("Clear", {double(count), ptr(rects), double(flags), double(color), double(z), double(stencil)},
                    [&] {
                        if ((count != 0 && rects == nullptr) || ((flags & D3DCLEAR_ZBUFFER) != 0 && m_depth.empty()) ||
                            (flags & ~(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER)) != 0)
                            return D3DERR_INVALIDCALL;
                        if (m_rasterise)
                            clearTarget(target(), m_state.viewport,
                                        std::span<const D3DRECT>(rects, rects == nullptr ? 0 : count), flags, color, z);
                        return D3D_OK;
                    });
    }
    HResult SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override
    {
        return call("SetTransform", {double(state), ptr(matrix)}, [&] {
            if (matrix == nullptr)
                return D3DERR_INVALIDCALL;
            if (recording())
                return record([state, m = *matrix](Device& d) { return d.SetTransform(state, &m); });
            if (state == D3DTS_WORLD)
                m_state.world = *matrix;
            else if (state == D3DTS_VIEW)
                m_state.view = *matrix;
            else if (state == D3DTS_PROJECTION)
                m_state.projection = *matrix;
            return D3D_OK;
        });
    }
    HResult SetViewport(const D3DVIEWPORT8* viewport) override
    {
        return call("SetViewport", {ptr(viewport)}, [&] {
            if (viewport == nullptr || uint64_t{viewport->X} + viewport->Width > m_backBuffer->plane().width ||
                uint64_t{viewport->Y} + viewport->Height > m_backBuffer->plane().height)
                return D3DERR_INVALIDCALL;
            if (recording())
                return record([v = *viewport](Device& d) { return d.SetViewport(&v); });
            m_state.viewport = *viewport;
            return D3D_OK;
        });
    }
    HResult SetRenderState(D3DRENDERSTATETYPE state, uint32_t value) override
    {
        return call("SetRenderState", {double(state), double(value)}, [&] {
            if (state >= kD3DRenderStateCount)
                return D3DERR_INVALIDCALL;
            if (recording())
                return record([state, value](Device& d) { return d.SetRenderState(state, value); });
            m_state.renderStates[state] = value;
            return D3D_OK;
        });
    }
    HResult BeginStateBlock() override
    {
        return call("BeginStateBlock", {}, [&] {
            if (recording())
                return D3DERR_INVALIDCALL;
            m_recording.emplace();
            return D3D_OK;
        });
    }
    HResult EndStateBlock(uint32_t* token) override
    {
        return call("EndStateBlock", {ptr(token)}, [&] {
            if (token == nullptr || !recording())
                return D3DERR_INVALIDCALL;
            *token = ++m_nextToken;
            m_blocks[*token] = std::move(*m_recording);
            m_recording.reset();
            return D3D_OK;
        });
    }
    HResult ApplyStateBlock(uint32_t token) override
    {
        return call("ApplyStateBlock", {double(token)}, [&] {
            const auto it = m_blocks.find(token);
            if (it == m_blocks.end() || recording())
                return D3DERR_INVALIDCALL;
            // Copied, because a replayed call may not change the block it comes from.
            const StateBlock block = it->second;
            for (const auto& step : block.steps)
                step(*this);
            return D3D_OK;
        });
    }
    HResult DeleteStateBlock(uint32_t token) override
    {
        return call("DeleteStateBlock", {double(token)},
                    [&] { return m_blocks.erase(token) == 1 ? D3D_OK : D3DERR_INVALIDCALL; });
    }
    HResult SetTexture(uint32_t stage, IDirect3DTexture8* texture) override
    {
        return call("SetTexture", {double(stage), serialOf(texture)}, [&] {
            auto* ours = dynamic_cast<Texture*>(texture);
            if (stage >= kD3DStages || (texture != nullptr && ours == nullptr))
                return D3DERR_INVALIDCALL;
            if (recording())
                return record(
                    [stage, held = Held<Texture>(ours)](Device& d) { return d.SetTexture(stage, held.get()); });
            m_textures[stage].reset(ours);
            m_state.textures[stage] = ours != nullptr ? ours->serial() : 0;
            return D3D_OK;
        });
    }
    HResult SetTextureStageState(uint32_t stage, D3DTEXTURESTAGESTATETYPE type, uint32_t value) override
    {
        return call("SetTextureStageState", {double(stage), double(type), double(value)}, [&] {
            if (stage >= kD3DStages || type >= kD3DStageStateCount)
                return D3DERR_INVALIDCALL;
            if (recording())
                return record([stage, type, value](Device& d) { return d.SetTextureStageState(stage, type, value); });
            m_state.stageStates[stage][type] = value;
            return D3D_OK;
        });
    }
    HResult DrawPrimitive(D3DPRIMITIVETYPE type, uint32_t startVertex, uint32_t primitiveCount) override
    {
        return call("DrawPrimitive", {double(type), double(startVertex), double(primitiveCount)},
                    [&] { return draw(type, false, startVertex, 0, 0, primitiveCount); });
    }
    HResult DrawIndexedPrimitive(D3DPRIMITIVETYPE type, uint32_t minIndex, uint32_t vertexCount, uint32_t startIndex,
                                 uint32_t primitiveCount) override
    {
        return call("DrawIndexedPrimitive",
                    {double(type), double(minIndex), double(vertexCount), double(startIndex), double(primitiveCount)},
                    [&] { return draw(type, true, startIndex, minIndex, vertexCount, primitiveCount); });
    }
    HResult SetVertexShader(uint32_t fvf) override
    {
        return call("SetVertexShader", {double(fvf)}, [&] {
            if (recording())
                return record([fvf](Device& d) { return d.SetVertexShader(fvf); });
            m_state.fvf = fvf;
            return D3D_OK;
        });
    }
    HResult SetStreamSource(uint32_t stream, IDirect3DVertexBuffer8* buffer, uint32_t stride) override
    {
        return call("SetStreamSource", {double(stream), serialOf(buffer), double(stride)}, [&] {
            auto* ours = dynamic_cast<VertexBuffer*>(buffer);
            if (stream != 0 || (buffer != nullptr && ours == nullptr))
                return D3DERR_INVALIDCALL;
            if (recording())
                return record([stride, held = Held<VertexBuffer>(ours)](Device& d) {
                    return d.SetStreamSource(0, held.get(), stride);
                });
            m_stream.reset(ours);
            m_state.streamBuffer = ours != nullptr ? ours->serial() : 0;
            m_state.streamStride = stride;
            return D3D_OK;
        });
    }
    HResult SetIndices(IDirect3DIndexBuffer8* buffer, uint32_t baseVertexIndex) override
    {
        return call("SetIndices", {serialOf(buffer), double(baseVertexIndex)}, [&] {
            auto* ours = dynamic_cast<IndexBuffer*>(buffer);
            if (buffer != nullptr && ours == nullptr)
                return D3DERR_INVALIDCALL;
            if (recording())
                return record([baseVertexIndex, held = Held<IndexBuffer>(ours)](Device& d) {
                    return d.SetIndices(held.get(), baseVertexIndex);
                });
            m_indices.reset(ours);
            m_state.indexBuffer = ours != nullptr ? ours->serial() : 0;
            m_state.baseVertexIndex = baseVertexIndex;
            return D3D_OK;
        });
    }

private:
    // A reference held by the device or a state block: bound objects live as long as something binds them.
    template <class T> class Held {
    public:
        Held() = default;
        explicit Held(T* object) { reset(object); }
        Held(const Held& other) { reset(other.m_object); }
        Held& operator=(const Held& other)
        {
            reset(other.m_object);
            return *this;
        }
        ~Held() { reset(nullptr); }
        void reset(T* object)
        {
            if (object != nullptr)
                object->AddRef();
            if (m_object != nullptr)
                m_object->Release();
            m_object = object;
        }
        T* get() const { return m_object; }

    private:
        T* m_object = nullptr;
    };

    struct StateBlock {
        std::vector<std::function<HResult(Device&)>> steps;
    };

    bool recording() const { return m_recording.has_value(); }
    HResult record(std::function<HResult(Device&)> step)
    {
        m_recording->steps.push_back(std::move(step));
        return D3D_OK;
    }

    RasterTarget target()
    {
        RasterTarget t;
        t.colour = m_backBuffer->plane().image();
        t.depthFormat = m_params.AutoDepthStencilFormat;
        t.depth = m_depth.empty() ? nullptr : m_depth.data();
        return t;
    }

    HResult draw(D3DPRIMITIVETYPE type, bool indexed, uint32_t start, uint32_t minIndex, uint32_t vertexCount,
                 uint32_t primitives);
    HResult present(const Rect* source, const Rect* destination, Hwnd overrideWindow);

    Runtime* m_runtime; // one reference held
    Hwnd m_window;
    D3DPRESENT_PARAMETERS m_params;
    Surface* m_backBuffer; // one reference held
    std::vector<uint32_t> m_depth;
    bool m_rasterise;
    D3DDeviceState m_state;
    std::array<Held<Texture>, kD3DStages> m_textures;
    Held<VertexBuffer> m_stream;
    Held<IndexBuffer> m_indices;
    bool m_inScene = false;
    std::optional<StateBlock> m_recording;
    std::map<uint32_t, StateBlock> m_blocks;
    uint32_t m_nextToken = 0;
};

HResult Device::draw(D3DPRIMITIVETYPE type, bool indexed, uint32_t start, uint32_t minIndex, uint32_t vertexCount,
                     uint32_t primitives)
{
    VertexBuffer* vb = m_stream.get();
    IndexBuffer* ib = m_indices.get();
    if (!m_inScene || vb == nullptr)
        return D3DERR_INVALIDCALL;
    DrawStream stream;
    stream.fvf = m_state.fvf;
    stream.stride = m_state.streamStride;
    stream.vertices = vb->bytes();
    stream.indices = ib != nullptr ? &ib->bytes() : nullptr;
    stream.indexSize = ib != nullptr && ib->kind() == D3DFMT_INDEX32 ? 4 : 2;
    stream.baseVertexIndex = m_state.baseVertexIndex;
    const DrawCall drawCall{type, indexed, start, minIndex, vertexCount, primitives};
    const std::optional<CheckedDraw> checked = checkDraw(drawCall, stream);
    if (!checked)
        return D3DERR_INVALIDCALL;

    DrawRecord record;
    record.type = type;
    record.indexed = indexed;
    record.start = start;
    record.minIndex = minIndex;
    record.vertexCount = static_cast<uint32_t>(checked->vertexCount);
    record.primitiveCount = primitives;
    record.state = m_state;
    const auto vbegin = stream.vertices.begin() + static_cast<ptrdiff_t>(checked->firstByte);
    record.vertices.assign(vbegin, vbegin + static_cast<ptrdiff_t>(checked->byteCount));
    if (indexed) {
        const auto ibegin = stream.indices->begin() + static_cast<ptrdiff_t>(checked->indexFirstByte);
        record.indices.assign(ibegin, ibegin + static_cast<ptrdiff_t>(checked->indexByteCount));
    }
    if (m_rasterise) {
        std::array<RasterImage, kD3DStages> images{};
        BoundTextures bound{};
        for (uint32_t s = 0; s < kD3DStages; ++s)
            if (Texture* t = m_textures[s].get(); t != nullptr) {
                images[s] = t->levels().front().image();
                bound[s] = &images[s];
            }
        rasteriseDraw(target(), m_state, bound, stream, *checked);
    }
    const std::lock_guard lock(g_mutex);
    g_draws.push_back(std::move(record));
    return D3D_OK;
}

HResult Device::present(const Rect* source, const Rect* destination, Hwnd overrideWindow)
{
    PixelPlane& back = m_backBuffer->plane();
    const Rect whole{0, 0, static_cast<int32_t>(back.width), static_cast<int32_t>(back.height)};
    const Rect src = source != nullptr ? *source : whole;
    if (src.l < 0 || src.t < 0 || src.r > whole.r || src.b > whole.b || src.l >= src.r || src.t >= src.b)
        return D3DERR_INVALIDCALL;
    const Hwnd hwnd = overrideWindow != kNoWindow           ? overrideWindow
                      : m_params.hDeviceWindow != kNoWindow ? m_params.hDeviceWindow
                                                            : m_window;
    Rect dst;
    if (destination != nullptr) {
        dst = *destination;
    } else {
        if (!hasUi())
            return D3DERR_INVALIDCALL;
        const std::shared_lock lock(ui().treeLock());
        const Window* w = ui().window(hwnd);
        if (w == nullptr)
            return D3DERR_INVALIDCALL;
        dst = w->clientRect();
    }
    if (dst.isEmpty() || !hasUi())
        return D3DERR_INVALIDCALL;
    // The destination is filled by nearest source pixel, which for equal sizes is a plain copy; the rows go to the
    // window the way a device context's DIB transfer takes them, from whichever thread presents.
    const uint64_t width = static_cast<uint64_t>(dst.r - dst.l);
    const uint64_t height = static_cast<uint64_t>(dst.b - dst.t);
    if (width * height > uint64_t{kMaxBackBufferSide} * kMaxBackBufferSide)
        return D3DERR_INVALIDCALL;
    const PixelFormatInfo info = pixelFormatInfo(back.format);
    const uint64_t srcWidth = static_cast<uint64_t>(src.r - src.l);
    const uint64_t srcHeight = static_cast<uint64_t>(src.b - src.t);
    std::vector<uint8_t> bits(width * height * 4);
    for (uint64_t y = 0; y < height; ++y) {
        const uint64_t sy = static_cast<uint64_t>(src.t) + y * srcHeight / height;
        for (uint64_t x = 0; x < width; ++x) {
            const uint64_t sx = static_cast<uint64_t>(src.l) + x * srcWidth / width;
            const uint32_t argb = readArgb(info, back.bytes.data() + sy * back.pitch + sx * info.bytes);
            std::memcpy(bits.data() + (y * width + x) * 4, &argb, 4);
        }
    }
    WindowDc dc(hwnd);
    BitmapInfo bmi;
    bmi.bmiHeader.biWidth = static_cast<int32_t>(width);
    bmi.bmiHeader.biHeight = -static_cast<int32_t>(height);
    bmi.bmiHeader.biBitCount = 32;
    const int32_t lines =
        dc.setDIBitsToDevice(dst.l, dst.t, static_cast<uint32_t>(width), static_cast<uint32_t>(height), 0, 0, 0,
                             static_cast<uint32_t>(height), bits, bmi, DIB_RGB_COLORS);
    return lines == static_cast<int32_t>(height) ? D3D_OK : D3DERR_INVALIDCALL;
}

class Runtime final : public Counted<IDirect3D8> {
public:
    Runtime() : Counted(IID_IDirect3D8) {}

    HResult GetAdapterDisplayMode(uint32_t adapter, D3DDISPLAYMODE* mode) override
    {
        return call("GetAdapterDisplayMode", {double(adapter), ptr(mode)}, [&] {
            if (adapter != D3DADAPTER_DEFAULT || mode == nullptr)
                return D3DERR_INVALIDCALL;
            const Size size = screen().size();
            *mode = {static_cast<uint32_t>(size.cx), static_cast<uint32_t>(size.cy), 60, config().displayFormat};
            return D3D_OK;
        });
    }
    HResult GetAdapterIdentifier(uint32_t adapter, uint32_t flags, D3DADAPTER_IDENTIFIER8* identifier) override
    {
        return call("GetAdapterIdentifier", {double(adapter), double(flags), ptr(identifier)}, [&] {
            if (adapter != D3DADAPTER_DEFAULT || identifier == nullptr)
                return D3DERR_INVALIDCALL;
            const Direct3D8Config c = config();
            *identifier = {};
            std::strncpy(identifier->Driver, "vortan-reference", sizeof identifier->Driver - 1);
            std::strncpy(identifier->Description, "Vortan reference rasteriser", sizeof identifier->Description - 1);
            identifier->DriverVersion =
                (int64_t{6} << 48) | (int64_t{14} << 32) | (int64_t{10} << 16) | (c.driverBuild & 0xFFFF);
            identifier->VendorId = c.vendorId;
            return D3D_OK;
        });
    }
    HResult CheckDeviceFormat(uint32_t adapter, uint32_t deviceType, D3DFORMAT adapterFormat, uint32_t usage,
                              uint32_t resourceType, D3DFORMAT checkFormat) override
    {
        return call("CheckDeviceFormat",
                    {double(adapter), double(deviceType), double(adapterFormat), double(usage), double(resourceType),
                     double(checkFormat)},
                    [&] {
                        if (adapter != D3DADAPTER_DEFAULT || deviceType != D3DDEVTYPE_HAL)
                            return D3DERR_INVALIDCALL;
                        const Direct3D8Config c = config();
                        if (adapterFormat != c.displayFormat)
                            return D3DERR_NOTAVAILABLE;
                        const std::set<D3DFORMAT>& set =
                            (usage & D3DUSAGE_DEPTHSTENCIL) != 0 ? c.depthFormats : c.textureFormats;
                        return set.contains(checkFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
                    });
    }
    HResult CheckDepthStencilMatch(uint32_t adapter, uint32_t deviceType, D3DFORMAT adapterFormat,
                                   D3DFORMAT renderTargetFormat, D3DFORMAT depthFormat) override
    {
        return call("CheckDepthStencilMatch",
                    {double(adapter), double(deviceType), double(adapterFormat), double(renderTargetFormat),
                     double(depthFormat)},
                    [&] {
                        if (adapter != D3DADAPTER_DEFAULT || deviceType != D3DDEVTYPE_HAL)
                            return D3DERR_INVALIDCALL;
                        return config().depthFormats.contains(depthFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
                    });
    }
    HResult CheckDeviceMultiSampleType(uint32_t adapter, uint32_t deviceType, D3DFORMAT format, int32_t windowed,
                                       uint32_t type) override
    {
        return call("CheckDeviceMultiSampleType",
                    {double(adapter), double(deviceType), double(format), double(windowed), double(type)}, [&] {
                        if (adapter != D3DADAPTER_DEFAULT || deviceType != D3DDEVTYPE_HAL)
                            return D3DERR_INVALIDCALL;
                        return config().multiSampleTypes.contains(type) ? D3D_OK : D3DERR_NOTAVAILABLE;
                    });
    }
    HResult GetDeviceCaps(uint32_t adapter, uint32_t deviceType, D3DCAPS8* caps) override
    {
        return call("GetDeviceCaps", {double(adapter), double(deviceType), ptr(caps)}, [&] {
            if (adapter != D3DADAPTER_DEFAULT || deviceType != D3DDEVTYPE_HAL || caps == nullptr)
                return D3DERR_INVALIDCALL;
            *caps = config().caps;
            caps->DeviceType = deviceType;
            caps->AdapterOrdinal = adapter;
            return D3D_OK;
        });
    }
    HResult CreateDevice(uint32_t adapter, uint32_t deviceType, Hwnd focusWindow, uint32_t behaviorFlags,
                         D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice8** out) override
    {
        return call("CreateDevice",
                    {double(adapter), double(deviceType), double(focusWindow), double(behaviorFlags), ptr(parameters),
                     ptr(out)},
                    [&] { return createDevice(adapter, deviceType, focusWindow, parameters, out); });
    }

private:
    HResult createDevice(uint32_t adapter, uint32_t deviceType, Hwnd focusWindow, D3DPRESENT_PARAMETERS* p,
                         IDirect3DDevice8** out)
    {
        if (out == nullptr)
            return D3DERR_INVALIDCALL;
        *out = nullptr;
        if (adapter != D3DADAPTER_DEFAULT || deviceType != D3DDEVTYPE_HAL || p == nullptr || !hasUi())
            return D3DERR_INVALIDCALL;
        const Direct3D8Config c = config();
        const Hwnd window = p->hDeviceWindow != kNoWindow ? p->hDeviceWindow : focusWindow;
        Rect client;
        {
            const std::shared_lock lock(ui().treeLock());
            const Window* w = ui().window(window);
            if (w == nullptr)
                return D3DERR_INVALIDCALL;
            client = w->clientRect();
        }
        // Windowed: an unknown format is the display's, a zero size the client area's, as the platform fills them.
        if (p->BackBufferFormat == D3DFMT_UNKNOWN)
            p->BackBufferFormat = c.displayFormat;
        if (p->BackBufferWidth == 0)
            p->BackBufferWidth = static_cast<uint32_t>(client.r - client.l);
        if (p->BackBufferHeight == 0)
            p->BackBufferHeight = static_cast<uint32_t>(client.b - client.t);
        const D3DFORMAT format = p->BackBufferFormat;
        if ((format != D3DFMT_X8R8G8B8 && format != D3DFMT_A8R8G8B8 && format != D3DFMT_R5G6B5) ||
            p->BackBufferWidth == 0 || p->BackBufferHeight == 0 || p->BackBufferWidth > kMaxBackBufferSide ||
            p->BackBufferHeight > kMaxBackBufferSide || !c.multiSampleTypes.contains(p->MultiSampleType))
            return D3DERR_INVALIDCALL;
        if (p->EnableAutoDepthStencil != 0 && !c.depthFormats.contains(p->AutoDepthStencilFormat))
            return D3DERR_INVALIDCALL;
        auto plane = PixelPlane::make(format, p->BackBufferWidth, p->BackBufferHeight);
        *out = new Device(this, focusWindow, *p, new Surface(std::move(*plane)), c.rasterise);
        return D3D_OK;
    }
};

Device::Device(Runtime* runtime, Hwnd window, const D3DPRESENT_PARAMETERS& params, Surface* backBuffer, bool rasterise)
    : Counted(IID_IDirect3DDevice8), m_runtime(runtime), m_window(window), m_params(params), m_backBuffer(backBuffer),
      m_rasterise(rasterise), m_state(D3DDeviceState::initial(params.EnableAutoDepthStencil != 0,
                                                              params.BackBufferWidth, params.BackBufferHeight))
{
    m_runtime->AddRef();
    if (params.EnableAutoDepthStencil != 0)
        m_depth.assign(uint64_t{params.BackBufferWidth} * params.BackBufferHeight,
                       quantiseDepth(params.AutoDepthStencilFormat, 1.0f));
}

Device::~Device()
{
    // Bound objects and recorded blocks let go of their references before the device's own.
    m_blocks.clear();
    m_recording.reset();
    for (auto& t : m_textures)
        t.reset(nullptr);
    m_stream.reset(nullptr);
    m_indices.reset(nullptr);
    m_backBuffer->Release();
    m_runtime->Release();
}

std::string formatNumber(double v)
{
    if (v == static_cast<double>(static_cast<int64_t>(v)))
        return std::to_string(static_cast<int64_t>(v));
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

} // namespace

D3DCAPS8 Direct3D8Config::defaultCaps()
{
    D3DCAPS8 c;
    c.DeviceType = D3DDEVTYPE_HAL;
    c.Caps2 = D3DCAPS2_CANRENDERWINDOWED;
    c.DevCaps = D3DDEVCAPS_HWRASTERIZATION;
    c.RasterCaps = 0; // no W-buffer
    c.ZCmpCaps = 0xFF;
    c.ShadeCaps = D3DPSHADECAPS_COLORGOURAUDRGB | D3DPSHADECAPS_SPECULARGOURAUDRGB | D3DPSHADECAPS_ALPHAGOURAUDBLEND |
                  D3DPSHADECAPS_FOGGOURAUD;
    c.TextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA;
    c.TextureFilterCaps =
        D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MAGFPOINT | D3DPTFILTERCAPS_MAGFLINEAR;
    c.TextureAddressCaps = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_CLAMP | D3DPTADDRESSCAPS_INDEPENDENTUV;
    c.MaxTextureWidth = 2048;
    c.MaxTextureHeight = 2048;
    c.TextureOpCaps = D3DTEXOPCAPS_DISABLE | D3DTEXOPCAPS_SELECTARG1 | D3DTEXOPCAPS_SELECTARG2 | D3DTEXOPCAPS_MODULATE |
                      D3DTEXOPCAPS_ADD | D3DTEXOPCAPS_DOTPRODUCT3;
    c.MaxTextureBlendStages = 2;
    c.MaxSimultaneousTextures = 2;
    return c;
}

IDirect3D8* direct3DCreate8(uint32_t sdkVersion)
{
    const size_t index = logCall("Direct3DCreate8", {double(sdkVersion)});
    if (sdkVersion != D3D_SDK_VERSION) {
        setLoggedResult(index, D3DERR_INVALIDCALL);
        return nullptr;
    }
    return new Runtime();
}

void registerDirect3D8StandIn(const Direct3D8Config& next)
{
    {
        const std::lock_guard lock(g_mutex);
        g_config = next;
    }
    registerModule("d3d8.dll", {{"Direct3DCreate8", reinterpret_cast<void*>(&direct3DCreate8)}});
}

void unregisterDirect3D8StandIn()
{
    unregisterModule("d3d8.dll");
    const std::lock_guard lock(g_mutex);
    g_config = {};
}

int d3d8LiveObjects()
{
    return g_live.load();
}

void setD3D8FailurePlan(const FailurePlan& plan)
{
    const std::lock_guard lock(g_mutex);
    g_plan = plan;
    g_fired.assign(plan.entries.size(), false);
    g_callCounts.clear();
}

const std::vector<std::string_view>& d3d8FailableMethods()
{
    static const std::vector<std::string_view> kMethods = {
        "ApplyStateBlock",
        "BeginScene",
        "BeginStateBlock",
        "CheckDepthStencilMatch",
        "CheckDeviceFormat",
        "CheckDeviceMultiSampleType",
        "Clear",
        "CreateDevice",
        "CreateIndexBuffer",
        "CreateTexture",
        "CreateVertexBuffer",
        "DeleteStateBlock",
        "DrawIndexedPrimitive",
        "DrawPrimitive",
        "EndScene",
        "EndStateBlock",
        "GetAdapterDisplayMode",
        "GetAdapterIdentifier",
        "GetBackBuffer",
        "GetDeviceCaps",
        "GetLevelDesc",
        "IndexBuffer::Lock",
        "IndexBuffer::Unlock",
        "LockRect",
        "Present",
        "SetIndices",
        "SetRenderState",
        "SetStreamSource",
        "SetTexture",
        "SetTextureStageState",
        "SetTransform",
        "SetVertexShader",
        "SetViewport",
        "Surface::GetDesc",
        "Surface::LockRect",
        "Surface::UnlockRect",
        "UnlockRect",
        "UpdateTexture",
        "VertexBuffer::Lock",
        "VertexBuffer::Unlock",
    };
    return kMethods;
}

bool isD3D8FailableMethod(std::string_view method)
{
    const std::vector<std::string_view>& methods = d3d8FailableMethods();
    return std::find(methods.begin(), methods.end(), method) != methods.end();
}

std::vector<D3D8Call> d3d8CallLog()
{
    const std::lock_guard lock(g_mutex);
    return g_log;
}

std::vector<DrawRecord> d3d8Draws()
{
    const std::lock_guard lock(g_mutex);
    return g_draws;
}

void clearD3D8CallLog()
{
    const std::lock_guard lock(g_mutex);
    g_log.clear();
    g_draws.clear();
}

std::string formatD3D8Call(const D3D8Call& call)
{
    std::string text = call.method + "(";
    for (size_t i = 0; i < call.args.size(); ++i)
        text += (i == 0 ? "" : ", ") + formatNumber(call.args[i]);
    return text + ") = " + formatNumber(static_cast<double>(call.result));
}

} // namespace pf
