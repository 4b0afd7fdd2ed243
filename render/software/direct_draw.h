#pragma once
// The software surface's vertex and index buffers for direct drawing, and the record that hands one indexed draw
// to the rasteriser. The buffers are reference counted: a new one holds one reference, and the last Release
// deletes it.
#include <cstdint>
#include <vector>

struct SWtexturestages;

class SWvertexbuffer {
public:
    SWvertexbuffer(const SWvertexbuffer&) = delete;
    SWvertexbuffer& operator=(const SWvertexbuffer&) = delete;

    uint32_t AddRef() { return m_references++; } // the count before
    uint32_t Release();                          // the count after; at 0 the buffer is deleted
    virtual void* Lock(uint32_t firstVertex) = 0;
    virtual void Unlock() = 0;

protected:
    SWvertexbuffer() = default;
    virtual ~SWvertexbuffer() = default;

private:
    uint32_t m_references = 1;
};

class SWindexbuffer {
public:
    SWindexbuffer(const SWindexbuffer&) = delete;
    SWindexbuffer& operator=(const SWindexbuffer&) = delete;

    uint32_t AddRef() { return m_references++; }
    uint32_t Release();
    virtual void* Lock(uint32_t firstIndex) = 0;
    virtual void Unlock() = 0;

protected:
    SWindexbuffer() = default;
    virtual ~SWindexbuffer() = default;

private:
    uint32_t m_references = 1;
};

// Vertices of 8n + 24 bytes for n texture-coordinate sets.
class SWsoftvertexbuffer final : public SWvertexbuffer {
public:
    // Caller owns one reference; null when the size is refused or there is no memory.
    static SWsoftvertexbuffer* Create(uint32_t vertexCount, uint32_t coordinateSets);

    void* Lock(uint32_t firstVertex) override; // null past the end
    void Unlock() override;

    uint32_t* Data() { return m_words.data(); }
    const uint32_t* Data() const { return m_words.data(); }
    uint32_t VertexCount() const { return m_vertexCount; }
    uint32_t StrideBytes() const { return m_strideBytes; }
    uint32_t WordCount() const { return static_cast<uint32_t>(m_words.size()); }
    int LockCount() const { return m_locks; }

private:
    SWsoftvertexbuffer() = default;

    std::vector<uint32_t> m_words;
    uint32_t m_vertexCount = 0;
    uint32_t m_strideBytes = 0;
    int m_locks = 0;
};

class SWsoftindexbuffer final : public SWindexbuffer {
public:
    static SWsoftindexbuffer* Create(uint32_t indexCount); // caller owns one reference; null as above

    void* Lock(uint32_t firstIndex) override; // null past the end
    void Unlock() override {}

    uint16_t* Data() { return m_indices.data(); }
    const uint16_t* Data() const { return m_indices.data(); }
    uint32_t IndexCount() const { return static_cast<uint32_t>(m_indices.size()); }

private:
    SWsoftindexbuffer() = default;

    std::vector<uint16_t> m_indices;
};

// What fills an indexed draw's vertices, left to whoever draws the draw, so that the threads that draw it share
// the work: it comes in parts that write vertices no other part writes and may run at once on different threads,
// every one of them before any triangle of the draw is looked at. Running a part again writes the same words.
class SWvertexwork {
public:
    virtual ~SWvertexwork() = default;
    virtual uint32_t PartCount() const = 0;
    virtual void RunPart(uint32_t part) const = 0;
};

// One indexed draw of the surface's direct-draw chain. Nothing in it is owned.
struct SWdirectdraw {
    SWdirectdraw* next = nullptr;
    const SWtexturestages* format = nullptr;
    const SWsoftvertexbuffer* vertices = nullptr;
    const SWsoftindexbuffer* indices = nullptr;
    int32_t vertexCount = 0;
    int32_t triangleCount = 0;
    const SWvertexwork* work = nullptr; // null when the vertices are already filled
};
