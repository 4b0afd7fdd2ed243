#pragma once
// SWrendertarget: what one frame is drawn into. It owns the frame's render queue, its direct-draw chains and its
// clipper, holds the viewport factors of the frame and points at the camera. The software surface and the
// hardware device derive from it; producers (meshes, layers, particles) see only this interface.
//
// A target is used by one thread at a time; the caller holds the world's lock during a frame.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "render/format_record.h"
#include "render/render_queue.h"
#include "render/software/direct_draw.h"

class SWclipper;
class SWrendercamera;

// The six factors of the projection to the screen, in the order the clipper reads them.
struct SWviewport {
    float xScale = 0.0f;
    float xOffset = 0.0f;
    float yScale = 0.0f;
    float yOffset = 0.0f;
    float depthScale = 0.0f;
    float depthOffset = 0.0f;
};

// One record of a direct-draw chain with the buffer references it holds: they are released when the chain is
// freed.
struct SWdirectdrawrecord {
    SWdirectdraw draw;                  // first, so that the chain the rasteriser walks is these records
    SWvertexbuffer* vertices = nullptr; // one reference owned
    SWindexbuffer* indices = nullptr;   // one reference owned
    SWdirectdrawrecord* next = nullptr; // the same chain, seen as records
    SWtexturestages heldFormat;         // the draw's format as it was handed over, for a target that draws later
    // The producer's vertex work for draw.work, kept when the record is handed out again so that the producer
    // may reuse it rather than make one a frame.
    std::unique_ptr<SWvertexwork> work;

    void ReleaseBuffers(); // the references it holds, once nothing reads the buffers through it any more
};

class SWrendertarget {
public:
    static constexpr int kScratchSlots = 10;

    SWrendertarget();
    SWrendertarget(const SWrendertarget&) = delete;
    SWrendertarget& operator=(const SWrendertarget&) = delete;
    virtual ~SWrendertarget();

    virtual bool Init() = 0; // the drawing machinery; false when memory ran out
    virtual uint32_t GetId() const = 0;
    virtual bool Resize(uint32_t width, uint32_t height) = 0;
    virtual bool SetSupersampling(uint32_t a, uint32_t b); // false when a != b; 2 gives factor 2, else 1
    virtual bool RefreshBuffers();
    virtual bool BeginFrame();
    virtual bool EndFrame(); // draws the queue and the direct-draw chains, then frees them
    virtual bool Draw(const SWdirectdraw* chainB, const SWdirectdraw* chainA, const SWprimitivenode* list) = 0;
    virtual bool TakesDot3() const = 0;
    virtual bool TakesIndexedBuffers() const { return true; }
    // A direct-draw record may leave its vertices to its vertex work, which the target runs before drawing it.
    virtual bool TakesVertexWork() const { return false; }
    virtual bool Flush(); // draws and frees pending direct-draw records
    // Everything handed over so far is drawn before this returns, so that what the records point at may change.
    virtual void FinishDrawing() {}
    virtual bool SetRenderMode(uint32_t mode) = 0;
    virtual bool SetPhase(uint32_t phase) = 0;
    virtual bool GetViewMatrix(float out[16]) = 0; // sets the viewport factors and the clipper's near plane
    // Each answers with one reference the caller owns, or null.
    virtual SWvertexbuffer* CreateVertexBuffer(uint32_t coordinateSets, uint32_t vertexCount) = 0;
    virtual SWindexbuffer* CreateIndexBuffer(uint32_t indexCount) = 0;
    virtual SWvertexbuffer* GetVertexScratch(uint32_t coordinateSets, uint32_t vertexCount) = 0;
    virtual SWindexbuffer* GetIndexScratch(uint32_t indexCount) = 0;

    bool SetCamera(SWrendercamera* camera); // not owned: the caller's camera outlives the frames it is used for
    SWrendercamera* GetCamera() const { return m_camera; }
    SWclipper* GetClipper() const { return m_clipper.get(); }
    SWrenderqueue& Queue() { return m_queue; }
    void SetJitter(float x, float y);
    float GetJitterX() const { return m_jitterX; }
    float GetJitterY() const { return m_jitterY; }
    uint32_t GetWidth() const { return m_width; }
    uint32_t GetHeight() const { return m_height; }
    uint32_t GetSupersampling() const { return m_factor; }
    uint32_t GetFrameCount() const { return m_frameCount; }
    void SetOwnerWord(uint32_t word) { m_ownerWord = word; }
    uint32_t GetOwnerWord() const { return m_ownerWord; }
    const SWviewport& Viewport() const { return m_viewport; }
    float NearValue() const { return m_nearValue; }

    // A zeroed record appended to chain A; null (the chain unchanged) when there is no memory.
    virtual SWdirectdrawrecord* NewDirectDrawRecord();
    const SWdirectdraw* ChainA() const { return m_chainA != nullptr ? &m_chainA->draw : nullptr; }
    // At least size bytes for slot 0..9, reused while its capacity exceeds size; null for another slot or when
    // there is no memory. The contents are not kept across a replacement.
    void* GetScratch(uint32_t size, uint32_t slot);
    uint32_t ScratchCapacity(uint32_t slot) const { return slot < kScratchSlots ? m_scratch[slot].capacity : 0; }

protected:
    SWdirectdrawrecord* FirstDirectDrawRecord() { return m_chainA; } // chain A as records
    void FreeDirectDraws();
    void SetClipper(std::unique_ptr<SWclipper> clipper);
    void SetNearValue(float nearValue);
    // Hands the clipper the near value for the depth range n..f and writes the view matrix of the camera (a default
    // one when null) with its window shifted by the jitter, in pixels of a w x h frame. Always true.
    bool FinishViewMatrix(SWrendercamera* camera, float n, float f, float w, float h, float out[16]);

    SWrenderqueue m_queue;
    float m_jitterX = 0.0f;
    float m_jitterY = 0.0f;
    uint32_t m_ownerWord = 0;
    SWrendercamera* m_camera = nullptr; // not owned
    uint32_t m_factor = 1;
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    SWviewport m_viewport;
    float m_nearValue = -0.001f;
    uint32_t m_frameCount = 0;

private:
    struct Scratch {
        std::unique_ptr<uint8_t[]> bytes;
        uint32_t capacity = 0;
    };

    std::unique_ptr<SWclipper> m_clipper;
    std::array<Scratch, kScratchSlots> m_scratch;
    SWdirectdrawrecord* m_chainA = nullptr; // records owned by m_records
    SWdirectdrawrecord* m_chainALast = nullptr;
    // Records outlive the frame and are handed out again, so a frame allocates only when it draws more groups
    // directly than any frame before.
    std::vector<std::unique_ptr<SWdirectdrawrecord>> m_records;
    size_t m_recordsInUse = 0;
};
