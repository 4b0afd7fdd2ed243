#pragma once
// SWbuffer: a growable memory buffer of chained blocks. Appending never moves what is already written, so a record
// is built piece by piece and its exact length is known before it is emitted.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

class SWbuffer {
public:
    SWbuffer() = default;                              // empty
    explicit SWbuffer(std::span<const uint8_t> bytes); // a copy of bytes in one block (empty when out of memory)
    SWbuffer(SWbuffer&& other) noexcept;
    SWbuffer& operator=(SWbuffer&& other) noexcept;
    SWbuffer(const SWbuffer&) = delete;
    SWbuffer& operator=(const SWbuffer&) = delete;
    ~SWbuffer() = default; // frees every block

    size_t Size() const { return m_size; } // bytes held, over all blocks
    bool Empty() const { return m_size == 0; }
    size_t BlockCount() const { return m_blocks.size(); }

    bool Append(std::span<const uint8_t> bytes); // false: out of memory, nothing appended
    bool Append(const void* data, size_t size);  // the same for size bytes at data
    // Appends other's bytes by taking its blocks, without a copy; other is left empty. False: out of memory, both
    // unchanged.
    bool Adopt(SWbuffer&& other);
    bool Flatten();                                     // joins the blocks into one; false: out of memory, unchanged
    std::span<const uint8_t> FlatBytes();               // flattens, then lends every byte; empty when that failed
    std::vector<uint8_t> ToVector() const;              // a copy of every byte in order
    std::span<const uint8_t> Block(size_t index) const; // lends block index's bytes; empty past the last block
    void Clear();                                       // frees every block

private:
    bool AddBlock(size_t atLeast);

    std::vector<std::vector<uint8_t>> m_blocks; // each block's capacity is fixed when it is made
    size_t m_size = 0;
};
