#include "render/software/colour_fill.h"

#include <algorithm>
#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "render/render_drivers.h"

void FillColourPlain(uint32_t* pixels, int32_t count, uint32_t colour)
{
    if (count > 0)
        std::fill_n(pixels, count, colour);
}

void FillColourWide(uint32_t* pixels, int32_t count, uint32_t colour)
{
#if defined(__SSE2__)
    if (count <= 0)
        return;
    // Pixels are 4-byte aligned, so at most three reach the 16-byte boundary.
    while (count > 0 && (reinterpret_cast<uintptr_t>(pixels) & 15u) != 0) {
        *pixels++ = colour;
        --count;
    }
    const __m128i four = _mm_set1_epi32(static_cast<int>(colour));
    auto* wide = reinterpret_cast<__m128i*>(pixels);
    for (; count >= 16; count -= 16, wide += 4) {
        _mm_store_si128(wide, four);
        _mm_store_si128(wide + 1, four);
        _mm_store_si128(wide + 2, four);
        _mm_store_si128(wide + 3, four);
    }
    for (; count >= 4; count -= 4)
        _mm_store_si128(wide++, four);
    pixels = reinterpret_cast<uint32_t*>(wide);
    while (count-- > 0)
        *pixels++ = colour;
#else
    FillColourPlain(pixels, count, colour);
#endif
}

SWcolourfill ChooseColourFill()
{
    const SWrenderdrivers* drivers = SWrenderdrivers::Current();
    return drivers != nullptr && drivers->UseSSE() != 0 ? &FillColourWide : &FillColourPlain;
}
