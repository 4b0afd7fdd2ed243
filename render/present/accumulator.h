#pragma once
// SWaccumulator: refines a still view. Each presented frame, drawn with the camera shifted by the jitter of the
// current step, is added to a running sum and the mean written back into the frame, so that after 23 frames the
// picture is the mean of 23 jittered renderings. Integer arithmetic only: 16-bit sums per channel and a 24-bit
// fixed-point reciprocal per step.
#include <cstdint>
#include <memory>

class SWaccumulator {
public:
    static constexpr int32_t kLastStep = 23;
    enum Format : uint32_t { kFormat32 = 0, kFormat565 = 1 };

    SWaccumulator();

    // The frame it works on; not owned. A changed size frees the sum and resets the step.
    void SetFrame(void* pixels, uint32_t pitchBytes, uint32_t format);
    void SetSize(uint32_t width, uint32_t height);
    void Reset(); // the view changed: start again from step 0
    // Adds the frame drawn with Jitter(step) and writes back the mean so far; false (sum freed) without a frame.
    bool Accumulate();

    int32_t GetStep() const { return m_step; }
    bool IsDone() const { return m_done != 0; }
    uint32_t GetWidth() const { return m_width; }
    uint32_t GetHeight() const { return m_height; }
    bool HasSum() const { return m_sum != nullptr; }
    void Jitter(int32_t step, float& x, float& y) const; // (0, 0) outside 1..24
    uint32_t Weight(int32_t k) const { return m_weights[k]; }

private:
    template <uint32_t kFormat> void AccumulateRows();

    uint32_t m_width = 0;
    uint32_t m_height = 0;
    uint8_t* m_pixels = nullptr;
    uint32_t m_pitch = 0;
    int32_t m_step = 0;
    std::unique_ptr<uint16_t[]> m_sum; // four channels per pixel
    uint8_t m_done = 0;
    uint32_t m_format = kFormat32;
    float m_jitter[25][2] = {};
    uint32_t m_weights[25] = {};
};
