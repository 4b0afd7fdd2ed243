#pragma once
// A render target for producer tests: it keeps what producers queue and counts flushes, and draws nothing.
#include <cstdint>
#include <cstring>

#include "render/render_target.h"

class QueueTarget final : public SWrendertarget {
public:
    QueueTarget(uint32_t width, uint32_t height)
    {
        m_width = width;
        m_height = height;
        // x / z and y / z from -1 to 1 across the target.
        m_viewport = {static_cast<float>(width) / 2,
                      static_cast<float>(width) / 2,
                      static_cast<float>(height) / 2,
                      static_cast<float>(height) / 2,
                      1.0f,
                      0.0f};
    }
    bool Init() override { return true; }
    uint32_t GetId() const override { return 7; }
    bool Resize(uint32_t width, uint32_t height) override
    {
        m_width = width;
        m_height = height;
        return true;
    }
    bool Draw(const SWdirectdraw*, const SWdirectdraw*, const SWprimitivenode*) override { return true; }
    bool TakesDot3() const override { return false; }
    bool SetRenderMode(uint32_t) override { return true; }
    bool SetPhase(uint32_t) override { return true; }
    bool GetViewMatrix(float* out) override
    {
        std::memcpy(out, m_view, sizeof(m_view));
        return true;
    }
    SWvertexbuffer* CreateVertexBuffer(uint32_t, uint32_t) override { return nullptr; }
    SWindexbuffer* CreateIndexBuffer(uint32_t) override { return nullptr; }
    SWvertexbuffer* GetVertexScratch(uint32_t, uint32_t) override { return nullptr; }
    SWindexbuffer* GetIndexScratch(uint32_t) override { return nullptr; }
    bool Flush() override
    {
        ++flushes;
        return SWrendertarget::Flush();
    }

    int flushes = 0;
    float m_view[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};
