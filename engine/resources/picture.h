#pragma once
// SWpicture (tag "CIPR"): a procedural picture, a texture whose pixels a BackgroundGenerator renders from a small
// parameter block (a linear, radial or four-corner gradient, or a checker). Only the block is stored; the pixels
// are rendered again after loading.
//
// Picture coordinates run x right and y down, in fractions of the size, taken at pixel centres. Colours are floats
// 0..1, turned into bytes as c x 255 + 0.5, truncated and clamped; every pixel gets alpha 255. Whatever a file
// holds renders: a cell size below 1/4096 or not finite, a span of zero length or a centre that makes no distance
// give colour A, and nothing divides by zero.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/resources/pixel_image.h"

class SWchunkstream;
class SWpicture;

class BackgroundGenerator {
public:
    static constexpr uint16_t kLinear = 5;  // A to B along the angle (counter-clockwise from +x, y up)
    static constexpr uint16_t kRadial = 6;  // A at the centre to B at the farthest corner
    static constexpr uint16_t kChecker = 7; // A and B cells of size x by size y, turned by the angle
    static constexpr uint16_t kCorner = 8;  // A top left, B top right, parameters 1..3 bottom left, corner 4
    using Colour = std::array<float, 3>;

    BackgroundGenerator(uint16_t type, SWpicture* owner); // the defaults of the type; a type outside 5..8 is linear

    // The parameter block, in its stored order.
    uint16_t type;
    SWpicture* owner; // the picture that owns this generator
    Colour colourA;
    Colour colourB;
    Colour colourC;
    float middlePosition;
    uint8_t middleColourOn;
    std::array<float, 3> parameters; // linear: angle; radial: centre x, y; checker: size x, y, angle; corner 3
    Colour corner4;

    static bool IsKnownType(uint32_t type) { return type >= kLinear && type <= kCorner; }
    void SetDefaults();                        // of the current type
    uint32_t ColourAt(float x, float y) const; // 0xFFRRGGBB at picture coordinates (x, y)
    void Render(uint32_t* pixels, int32_t width, int32_t height) const;

    bool Write(SWchunkstream& out) const; // the whole "PGEN" record
    // The payload of a "PGEN" record. False, with this generator unchanged: short, or an unknown type.
    bool Read(SWchunkstream& in);

    bool SameParameters(const BackgroundGenerator& other) const; // the block bit for bit, owner aside
};

class SWpicture : public SWpixelimage {
public:
    SWpicture(); // empty and invalid with a linear generator, for the tag registry and readers
    // The pixels are rendered at once; a refused size gives an invalid picture that still has its generator.
    SWpicture(std::string name, int64_t width, int64_t height, uint16_t type);
    ~SWpicture() override;

    BackgroundGenerator& GetGenerator() { return *m_generator; }
    const BackgroundGenerator& GetGenerator() const { return *m_generator; }
    void Render(); // the generator into the pixels, then Touch

    // "TXHD" then "PGEN". Read renders the picture; false: damaged record, picture unchanged.
    bool Read(SWchunkstream& in) override;
    bool Write(SWchunkstream& out) override;
    // The same name, size and generator, rendered.
    std::unique_ptr<SWtexture> Clone() const override;

private:
    std::unique_ptr<BackgroundGenerator> m_generator; // never null
};
