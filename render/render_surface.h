#pragma once
// SWrendersurface: the software render target. It draws the frame with the rasteriser into pixel buffer A (or B,
// the second buffer of the colour-coded stereo pair), halves A into C when supersampling by 2, and can take an
// image as its pixels for off-screen frames (snapshots and previews).
//
// When its rasteriser draws in bands, Flush hands the direct-draw records to the rasteriser's workers as a pass,
// once enough triangles wait, and returns while they draw, so that the meshes go on culling the next groups
// meanwhile. Records wait for the next Flush while the workers hold as many passes as they take or the scratch
// buffers of the records handed over and waiting pass a bound; once a quarter of the bound waits, Flush draws with
// the workers until the oldest pass is drawn, so that the scratch a frame keeps does not grow with the world. A pass's
// records give their scratch buffers back as soon as the pass is drawn, for the next groups to use. Everything is drawn
// before anything that would change where or how it draws (a new frame or view, a refresh, a size, mode or phase), and
// each record keeps scratch buffers and a copy of its format record of its own until then, so that the producer
// may change or free its own meanwhile; the textures it names must stay until the frame ends. A record may leave
// its vertices to its vertex work (the meshes' projected stage), which the rasteriser's lanes run before drawing it.
//
// Until Init has made the rasteriser and the clipper, every operation that needs them does nothing and answers
// false, so a surface whose Init failed can be kept without harm.
#include <cstdint>
#include <memory>
#include <vector>

#include "render/render_target.h"
#include "render/software/pixel_buffer.h"
#include "render/software/raster_host.h"

class SWrasteriser;
class SWsoftindexbuffer;
class SWsoftvertexbuffer;
class SWtexture;

class SWrendersurface : public SWrendertarget, public SWrasterhost {
public:
    static constexpr uint32_t kId = 0x54464F53; // "SOFT" in memory order

    enum class Mode : uint32_t { kNormal = 0, kInterlaced = 1, kStereo = 2 };

    SWrendersurface();
    ~SWrendersurface() override;

    bool Init() override;
    bool Initialize() { return Init(); }
    uint32_t GetId() const override { return kId; }
    bool Resize(uint32_t width, uint32_t height) override;
    bool SetSupersampling(uint32_t a, uint32_t b) override; // 1, 1 or 2, 2; anything else changes nothing
    bool SetSampling(uint32_t a, uint32_t b) { return SetSupersampling(a, b); }
    bool RefreshBuffers() override;
    bool PrepareBuffers() { return RefreshBuffers(); }
    bool BeginFrame() override;
    bool EndFrame() override;
    bool Draw(const SWdirectdraw* chainB, const SWdirectdraw* chainA, const SWprimitivenode* list) override;
    bool TakesDot3() const override { return true; }
    bool TakesVertexWork() const override { return true; }
    bool Flush() override;
    void FinishDrawing() override { DrawWaiting(); }
    bool SetRenderMode(uint32_t mode) override; // 0, 1 or 2
    bool SetPhase(uint32_t phase) override;     // 0 or 1
    bool SelectBuffer(uint32_t phase) { return SetPhase(phase); }
    bool SetRenderCamera(SWrendercamera* camera) { return SetCamera(camera); }
    bool GetViewMatrix(float out[16]) override;
    SWvertexbuffer* CreateVertexBuffer(uint32_t coordinateSets, uint32_t vertexCount) override;
    SWindexbuffer* CreateIndexBuffer(uint32_t indexCount) override;
    SWvertexbuffer* GetVertexScratch(uint32_t coordinateSets, uint32_t vertexCount) override;
    SWindexbuffer* GetIndexScratch(uint32_t indexCount) override;

    bool AttachImage(SWtexture* image); // false when the image has no pixels; the image outlives the surface's use
    bool SetSize(uint32_t width, uint32_t height, SWtexture* image);

    bool CanDraw() const { return m_rasteriser != nullptr && GetClipper() != nullptr; }
    uint32_t GetRenderMode() const { return static_cast<uint32_t>(m_mode); }
    uint32_t GetPhase() const { return m_phase; }
    uint32_t GetBufferWidth() const { return m_bufferWidth; }
    uint32_t GetBufferHeight() const { return m_bufferHeight; }
    SWpixelbuffer& BufferA() { return m_a; }
    SWpixelbuffer& BufferB() { return m_b; }
    SWpixelbuffer& BufferC() { return m_c; }
    SWpixelbuffer* GetCurrentBuffer() const { return m_current; }
    SWrasteriser* GetRasteriser() const { return m_rasteriser.get(); }

    // Records are handed to the workers once leastTriangles wait, while the scratch buffers of the records handed
    // over and waiting stay within mostScratchBytes.
    void SetHandOver(uint64_t leastTriangles, size_t mostScratchBytes);
    // The bytes of scratch the surface and its rasteriser keep for the frames, the records' buffers and the bins:
    // the most they held at once. Asked between frames.
    size_t ScratchBytes() const;

    SWpixelbuffer* CurrentPixelBuffer() override { return m_current; }
    float NearDistance() const override;
    float FarDistance() const override;

private:
    // A scratch buffer and the sizes it was made for; one reference owned.
    template <typename Buffer> struct Scratch {
        Buffer* buffer = nullptr;
        uint32_t sets = 0;
        uint32_t count = 0;
    };

    // A free scratch buffer, remade when too small, with one more reference; null without memory.
    template <typename Buffer, typename Make>
    static Buffer* LendScratch(std::vector<Scratch<Buffer>>& scratches, uint32_t sets, uint32_t count, Make&& make);

    void FitCurrentBuffer();
    // A record handed to the workers, the last of its pass.
    struct Handed {
        uint64_t pass;
        SWdirectdrawrecord* last;
        size_t bytes; // of the pass's records' scratch buffers
    };

    void DrawAhead();     // hands the records that wait to the rasteriser's workers, when they have room
    void GiveBackDrawn(); // the scratch buffers of records in passes the workers have drawn
    void DrawWaiting();   // the records Flush handed over or kept, if any
    void RecordsFreed();  // the records were drawn and freed: none is drawn ahead any more

    std::unique_ptr<SWrasteriser> m_rasteriser;
    Mode m_mode = Mode::kNormal;
    uint32_t m_phase = 0;
    uint32_t m_bufferWidth = 0;
    uint32_t m_bufferHeight = 0;
    SWpixelbuffer* m_current; // one of m_a, m_b, m_c
    SWpixelbuffer m_a;
    SWpixelbuffer m_b;
    SWpixelbuffer m_c;
    // Lent again once no record holds them: a record waiting to be drawn keeps its own.
    std::vector<Scratch<SWsoftvertexbuffer>> m_vertexScratches;
    std::vector<Scratch<SWsoftindexbuffer>> m_indexScratches;
    SWdirectdrawrecord* m_drawnAhead = nullptr; // the last record handed to the workers; chain A's
    std::vector<Handed> m_handed;               // passes whose buffers are not yet given back, oldest first
    size_t m_handedFirst = 0;
    SWdirectdrawrecord* m_givenBack = nullptr; // the last record whose buffers were given back
    size_t m_bytesAhead = 0;                   // of the records handed over and not yet given back
    uint64_t m_leastAhead;
    size_t m_mostScratchBytes;
};
