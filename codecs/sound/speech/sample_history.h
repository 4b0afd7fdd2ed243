#pragma once
// A circular history of samples: the newest sample is just behind the write position.
#include <memory>
#include <vector>

namespace sound {

class SampleHistory {
public:
    static std::unique_ptr<SampleHistory> Create(int size); // zero-filled; null when size < 1 or memory runs out

    int Size() const { return static_cast<int>(m_samples.size()); }
    int Position() const { return m_position; }

    // count samples at the position + offset (wrapping), then the position moves on by count.
    void Write(int offset, int count, const float* samples);
    // count samples in time order, starting (delay + (count + 1) / 2) samples behind the position.
    void Read(int delay, int count, float* out) const;

private:
    SampleHistory() = default;

    std::vector<float> m_samples;
    int m_position = 0; // 0 .. size - 1
};

// (base + i mod size + size) mod size: an index into a ring of size, i possibly negative.
int WrapIndex(int i, int base, int size);

} // namespace sound
