#include "engine/core/buffer.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

namespace {

constexpr size_t kFirstBlockBytes = 4096;
constexpr size_t kLargestGrowthBytes = size_t{1} << 20; // blocks grow with the buffer, up to 1 MiB at a time

} // namespace

SWbuffer::SWbuffer(std::span<const uint8_t> bytes)
{
    Append(bytes);
}

SWbuffer::SWbuffer(SWbuffer&& other) noexcept : m_blocks(std::move(other.m_blocks)), m_size(other.m_size)
{
    other.m_blocks.clear();
    other.m_size = 0;
}

SWbuffer& SWbuffer::operator=(SWbuffer&& other) noexcept
{
    if (this != &other) {
        m_blocks = std::move(other.m_blocks);
        m_size = other.m_size;
        other.m_blocks.clear();
        other.m_size = 0;
    }
    return *this;
}

bool SWbuffer::AddBlock(size_t atLeast)
{
    const size_t growth = std::clamp(m_size, kFirstBlockBytes, kLargestGrowthBytes);
    try {
        std::vector<uint8_t> block;
        block.reserve(std::max(atLeast, growth));
        m_blocks.push_back(std::move(block));
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    return true;
}

bool SWbuffer::Append(std::span<const uint8_t> bytes)
{
    if (bytes.empty())
        return true;
    const bool lastHasRoom = !m_blocks.empty() && m_blocks.back().capacity() - m_blocks.back().size() >= bytes.size();
    if (!lastHasRoom && !AddBlock(bytes.size()))
        return false;
    std::vector<uint8_t>& block = m_blocks.back();
    block.insert(block.end(), bytes.begin(), bytes.end()); // within capacity: cannot throw
    m_size += bytes.size();
    return true;
}

bool SWbuffer::Append(const void* data, size_t size)
{
    if (size == 0)
        return true;
    if (data == nullptr)
        return false;
    return Append(std::span<const uint8_t>(static_cast<const uint8_t*>(data), size));
}

bool SWbuffer::Adopt(SWbuffer&& other)
{
    if (this == &other || other.m_size == 0)
        return true;
    try {
        m_blocks.reserve(m_blocks.size() + other.m_blocks.size());
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    for (std::vector<uint8_t>& block : other.m_blocks)
        if (!block.empty())
            m_blocks.push_back(std::move(block)); // reserved above: cannot throw
    m_size += other.m_size;
    other.Clear();
    return true;
}

bool SWbuffer::Flatten()
{
    if (m_blocks.size() <= 1)
        return true;
    try {
        std::vector<uint8_t> joined;
        joined.reserve(m_size);
        for (const std::vector<uint8_t>& block : m_blocks)
            joined.insert(joined.end(), block.begin(), block.end());
        m_blocks.clear();
        m_blocks.push_back(std::move(joined));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

std::span<const uint8_t> SWbuffer::FlatBytes()
{
    if (m_blocks.empty() || !Flatten())
        return {};
    return m_blocks.front();
}

std::vector<uint8_t> SWbuffer::ToVector() const
{
    std::vector<uint8_t> bytes;
    bytes.reserve(m_size);
    for (const std::vector<uint8_t>& block : m_blocks)
        bytes.insert(bytes.end(), block.begin(), block.end());
    return bytes;
}

std::span<const uint8_t> SWbuffer::Block(size_t index) const
{
    return index < m_blocks.size() ? std::span<const uint8_t>(m_blocks[index]) : std::span<const uint8_t>();
}

void SWbuffer::Clear()
{
    m_blocks.clear();
    m_size = 0;
}
