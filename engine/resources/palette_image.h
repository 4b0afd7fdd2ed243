#pragma once
// SWimage (tag "CIMG"): a picture reduced to a palette of at most 256 colours and one index byte per pixel. The
// quantiser works on 6-bit colour cells and its entries are cell values times 4, so the picture shown has the low
// two bits of every channel cleared, even for a picture of one colour. Equal pictures give equal palettes.
//
// Record: "TXHD", "PALT" (u32 n in 1..256, then n x R, G, B bytes), "PIDX" (width x height index bytes, each
// below n).
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/resources/pixel_image.h"

class SWimage : public SWpixelimage {
public:
    static constexpr uint32_t kMaxColours = 256;

    SWimage(); // empty and invalid, for the tag registry
    // pixels: width x height words 0xAARRGGBB (alpha dropped), or null for black. A refused size, or no memory for
    // the quantiser, gives an invalid image (the second is reported).
    SWimage(std::string name, int64_t width, int64_t height, const uint32_t* pixels);

    uint32_t GetColourCount() const { return m_colours; }
    std::span<const uint8_t> GetPalette() const { return {m_palette.data(), m_colours * size_t{3}}; } // R, G, B
    std::span<const uint8_t> GetIndices() const { return m_indices; }

    bool Read(SWchunkstream& in) override;   // false: damaged record, image unchanged
    bool Write(SWchunkstream& out) override; // the record's payload
    std::unique_ptr<SWtexture> Clone() const override;

private:
    void ShowPalette(); // the pixel buffer from palette and indices

    std::array<uint8_t, kMaxColours * 3> m_palette{};
    uint32_t m_colours = 0;
    std::vector<uint8_t> m_indices;
};
