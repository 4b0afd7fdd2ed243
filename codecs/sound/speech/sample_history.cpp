#include "codecs/sound/speech/sample_history.h"

#include <new>

namespace sound {

std::unique_ptr<SampleHistory> SampleHistory::Create(int size)
{
    if (size < 1)
        return nullptr;
    std::unique_ptr<SampleHistory> history(new (std::nothrow) SampleHistory);
    if (!history)
        return nullptr;
    try {
        history->m_samples.assign(static_cast<size_t>(size), 0.0f);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return history;
}

void SampleHistory::Write(int offset, int count, const float* samples)
{
    const int size = Size();
    for (int i = 0; i < count; ++i)
        m_samples[static_cast<size_t>(WrapIndex(offset + i, m_position, size))] = samples[i];
    m_position = WrapIndex(count, m_position, size);
}

void SampleHistory::Read(int delay, int count, float* out) const
{
    const int size = Size();
    const int start = -(delay + (count + 1) / 2);
    for (int i = 0; i < count; ++i)
        out[i] = m_samples[static_cast<size_t>(WrapIndex(start + i, m_position, size))];
}

int WrapIndex(int i, int base, int size)
{
    return (base + i % size + size) % size;
}

} // namespace sound
