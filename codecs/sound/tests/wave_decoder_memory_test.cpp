// What the wave decoder reserves is bounded by what it really decodes, never by what block headers claim. The
// replaced allocation functions below watch the largest single request while a test asks them to; they are the
// whole test program's, so they also count allocations and fail a chosen one for the allocation probe.
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

#include <gtest/gtest.h>

#include "codecs/sound/tests/tonalwave_allocation_probe.h"
#include "codecs/sound/wave_codec/wave_decoder.h"
#include "platform/base/endian.h"

namespace {

std::atomic<bool> g_watching{false};
std::atomic<size_t> g_largestRequest{0};

[[maybe_unused]] void NoteRequest(size_t bytes)
{
    if (!g_watching.load(std::memory_order_relaxed))
        return;
    size_t seen = g_largestRequest.load(std::memory_order_relaxed);
    while (bytes > seen && !g_largestRequest.compare_exchange_weak(seen, bytes))
        ;
}

// The largest single allocation made while `work` runs.
template <typename Work> size_t LargestRequestDuring(Work work)
{
    g_largestRequest = 0;
    g_watching = true;
    work();
    g_watching = false;
    return g_largestRequest;
}

// A stream of `blocks` headers of `blockBytes` bytes, each claiming a full block of samples, then the end block.
std::vector<uint8_t> ClaimingStream(size_t blocks, uint32_t blockBytes, uint32_t mode)
{
    std::vector<uint8_t> stream(blocks * blockBytes + sound::kWaveBlockHeaderBytes, 0);
    for (size_t b = 0; b < blocks; ++b) {
        uint8_t* block = &stream[b * blockBytes];
        pf::storeU32le(block, blockBytes);
        pf::storeU32le(block + 4, sound::kWaveBlockSamples);
        pf::storeU32le(block + 8, mode);
    }
    pf::storeU32le(&stream[blocks * blockBytes], sound::kWaveBlockHeaderBytes);
    return stream;
}

} // namespace

#if SOUNDTEST_REPLACES_NEW
// GCC sees free() meet a pointer from new once these replacements are inlined; here they are the same allocator.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(size_t bytes)
{
    NoteRequest(bytes);
    if (soundtest::CountAllocationAndAskFailure())
        throw std::bad_alloc();
    if (void* p = std::malloc(bytes == 0 ? 1 : bytes))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void* operator new(size_t bytes, const std::nothrow_t&) noexcept
{
    NoteRequest(bytes);
    if (soundtest::CountAllocationAndAskFailure())
        return nullptr;
    return std::malloc(bytes == 0 ? 1 : bytes);
}
void* operator new[](size_t bytes)
{
    return operator new(bytes);
}
void* operator new[](size_t bytes, const std::nothrow_t& tag) noexcept
{
    return operator new(bytes, tag);
}
void operator delete(void* p, size_t) noexcept
{
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p, size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}
#endif

// 4096 headers of 12 bytes, each claiming 32768 samples of a copy block that holds none: once 256 MB were reserved
// for them all before the first was refused.
TEST(WaveDecoderMemory, ClaimedSamplesOfRefusedBlocksAreNeverReserved)
{
    if (!soundtest::CanCountAllocations())
        GTEST_SKIP() << "this test program's allocations cannot be watched";
    const std::vector<uint8_t> stream = ClaimingStream(4096, sound::kWaveBlockHeaderBytes, sound::kWaveModeCopy);
    sound::WaveDecoder decoder;
    int result = 0;
    const size_t largest = LargestRequestDuring([&] { result = decoder.Feed(stream); });
    EXPECT_EQ(result, sound::kWaveFailed);
    EXPECT_EQ(decoder.Failure(), sound::WaveFailure::kDamagedStream);
    EXPECT_TRUE(decoder.Output().empty());
    EXPECT_LE(largest, 4 * stream.size()); // the carried bytes and the block list, not 64 KB per header
}

// Silent transform blocks are the stream format's densest output: 21 bytes give 32768 samples. What is reserved
// follows the samples decoded, within the vector's doubling.
TEST(WaveDecoderMemory, SilentBlocksReserveNoMoreThanTwiceTheirOutput)
{
    if (!soundtest::CanCountAllocations())
        GTEST_SKIP() << "this test program's allocations cannot be watched";
    constexpr uint32_t kSilentBlockBytes = 21; // header, then the flag word (clear), size and window
    const std::vector<uint8_t> stream = ClaimingStream(64, kSilentBlockBytes, 0x9864);
    sound::WaveDecoder decoder;
    int result = 0;
    const size_t largest = LargestRequestDuring([&] { result = decoder.Feed(stream); });
    ASSERT_EQ(result, sound::kWaveFinished);
    EXPECT_EQ(decoder.SilencedBlocks(), 64u);
    const size_t outputBytes = decoder.Output().size() * sizeof(int16_t);
    EXPECT_EQ(outputBytes, size_t{64} * sound::kWaveBlockSamples * 2);
    EXPECT_LE(largest, 2 * outputBytes);
}
