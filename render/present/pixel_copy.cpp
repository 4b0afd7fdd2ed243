#include "render/present/pixel_copy.h"

#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

void CopyPixelsPlain(const uint32_t* source, uint8_t* dest, int32_t count)
{
    if (count > 0)
        std::memcpy(dest, source, static_cast<size_t>(count) * 4);
}

void CopyPixelsWide(const uint32_t* source, uint8_t* dest, int32_t count)
{
#if defined(__SSE2__)
    if (count < kWideCopyMinPixels) {
        CopyPixelsPlain(source, dest, count);
        return;
    }
    // A destination of whole pixels is brought to a 16-byte boundary so that the stores are aligned; a row of a
    // destination whose pitch is not a multiple of four stays unaligned and takes unaligned stores.
    const bool pixelAligned = (reinterpret_cast<uintptr_t>(dest) & 3u) == 0;
    if (pixelAligned) {
        const int32_t head = static_cast<int32_t>(((16 - (reinterpret_cast<uintptr_t>(dest) & 15u)) & 15u) / 4);
        CopyPixelsPlain(source, dest, head);
        source += head;
        dest += head * 4;
        count -= head;
    }
    const auto* in = reinterpret_cast<const __m128i*>(source);
    auto* out = reinterpret_cast<__m128i*>(dest);
    for (; count >= 16; count -= 16, in += 4, out += 4) {
        // Prefetching past the run's end is harmless: a prefetch never faults.
        _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(in) + 256), _MM_HINT_NTA);
        const __m128i a = _mm_loadu_si128(in);
        const __m128i b = _mm_loadu_si128(in + 1);
        const __m128i c = _mm_loadu_si128(in + 2);
        const __m128i d = _mm_loadu_si128(in + 3);
        if (pixelAligned) {
            _mm_store_si128(out, a);
            _mm_store_si128(out + 1, b);
            _mm_store_si128(out + 2, c);
            _mm_store_si128(out + 3, d);
        } else {
            _mm_storeu_si128(out, a);
            _mm_storeu_si128(out + 1, b);
            _mm_storeu_si128(out + 2, c);
            _mm_storeu_si128(out + 3, d);
        }
    }
    CopyPixelsPlain(reinterpret_cast<const uint32_t*>(in), reinterpret_cast<uint8_t*>(out), count);
#else
    CopyPixelsPlain(source, dest, count);
#endif
}
