#include "engine/resources/picture.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <new>

#include "engine/core/chunk_stream.h"
#include "engine/core/record_builder.h"
#include "engine/core/tag_registry.h"
#include "engine/core/type_tag.h"
#include "engine/resources/texture_header_record.h"

namespace {

const CVTN_TagRegistration kRegistration(MakeTag("CIPR"), &CreateContainer<SWpicture>);
constexpr uint32_t kTagHeader = MakeTag("TXHD");
constexpr uint32_t kTagGenerator = MakeTag("PGEN");
constexpr float kLeastCell = 1.0f / 4096.0f;

uint32_t ByteOf(float c)
{
    const float v = c * 255.0f + 0.5f;
    if (!(v > 0.0f)) // NaN too
        return 0;
    return v >= 255.0f ? 255 : static_cast<uint32_t>(v);
}

uint32_t Pack(const BackgroundGenerator::Colour& c)
{
    return 0xFF000000u | ByteOf(c[0]) << 16 | ByteOf(c[1]) << 8 | ByteOf(c[2]);
}

BackgroundGenerator::Colour Mix(const BackgroundGenerator::Colour& a, const BackgroundGenerator::Colour& b, float t)
{
    return {a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t, a[2] + (b[2] - a[2]) * t};
}

void WriteColour(SWchunkstream& out, const BackgroundGenerator::Colour& c)
{
    for (float v : c)
        out.WriteF32(v);
}

void ReadColour(SWchunkstream& in, BackgroundGenerator::Colour& c)
{
    for (float& v : c)
        in.ReadF32(v);
}

} // namespace

BackgroundGenerator::BackgroundGenerator(uint16_t type, SWpicture* owner)
    : type(IsKnownType(type) ? type : kLinear), owner(owner)
{
    SetDefaults();
}

void BackgroundGenerator::SetDefaults()
{
    colourA = {0.0f, 0.0f, 1.0f};
    colourB = {0.0f, 0.0f, 0.3f};
    colourC = {0.0f, 0.0f, 0.15f};
    middlePosition = 0.5f;
    middleColourOn = 0;
    parameters = {0.0f, 0.0f, 0.0f};
    corner4 = {0.0f, 0.0f, 0.0f};
    switch (type) {
    case kLinear:
        parameters[0] = 4.712389f;
        break;
    case kRadial:
        parameters = {0.5f, 0.5f, 0.0f};
        break;
    case kChecker:
        colourB = {1.0f, 1.0f, 1.0f};
        parameters = {0.1f, 0.1f, 1.5707964f};
        break;
    case kCorner:
        colourA = {1.0f, 0.0f, 0.0f};
        colourB = {0.0f, 1.0f, 0.0f};
        parameters = {0.0f, 0.0f, 1.0f};
        corner4 = {1.0f, 1.0f, 1.0f};
        break;
    default:
        break;
    }
}

uint32_t BackgroundGenerator::ColourAt(float x, float y) const
{
    // t runs 0 at A to 1 at B; the middle colour, when on, sits at the middle position.
    const auto gradient = [this](float t) {
        t = std::clamp(t, 0.0f, 1.0f);
        if (middleColourOn == 0)
            return Pack(Mix(colourA, colourB, t));
        const float m = std::isfinite(middlePosition) ? std::clamp(middlePosition, 0.0f, 1.0f) : 0.5f;
        if (t < m)
            return Pack(Mix(colourA, colourC, t / m));
        if (m < 1.0f)
            return Pack(Mix(colourC, colourB, (t - m) / (1.0f - m)));
        return Pack(colourC);
    };
    switch (type) {
    case kLinear: {
        const double angle = parameters[0];
        const double dx = std::cos(angle);
        const double dy = -std::sin(angle); // y runs down in the picture
        // The span of the direction over the picture's corners.
        const double low = std::min(0.0, dx) + std::min(0.0, dy);
        const double high = std::max(0.0, dx) + std::max(0.0, dy);
        const double span = high - low;
        if (!(span > 1e-9) || !std::isfinite(span))
            return Pack(colourA);
        return gradient(static_cast<float>((x * dx + y * dy - low) / span));
    }
    case kRadial: {
        const double cx = parameters[0];
        const double cy = parameters[1];
        double farthest = 0.0;
        for (double corner_x : {0.0, 1.0})
            for (double corner_y : {0.0, 1.0})
                farthest = std::max(farthest, std::hypot(corner_x - cx, corner_y - cy));
        if (!(farthest > 1e-9) || !std::isfinite(farthest))
            return Pack(colourA);
        return gradient(static_cast<float>(std::hypot(x - cx, y - cy) / farthest));
    }
    case kChecker: {
        const float sx = parameters[0];
        const float sy = parameters[1];
        if (!(sx >= kLeastCell) || !(sy >= kLeastCell) || !std::isfinite(sx) || !std::isfinite(sy))
            return Pack(colourA);
        const double c = std::cos(static_cast<double>(parameters[2]));
        const double s = std::sin(static_cast<double>(parameters[2]));
        const double px = x - 0.5;
        const double py = y - 0.5;
        const double u = (px * c + py * s) / sx;
        const double v = (py * c - px * s) / sy;
        if (!std::isfinite(u) || !std::isfinite(v))
            return Pack(colourA);
        // |u| and |v| stay below 4096: the picture spans at most sqrt(2)/2 from its centre.
        const int64_t cells = static_cast<int64_t>(std::floor(u)) + static_cast<int64_t>(std::floor(v));
        return Pack((cells & 1) == 0 ? colourA : colourB);
    }
    case kCorner: {
        const Colour corner3 = {parameters[0], parameters[1], parameters[2]};
        return Pack(Mix(Mix(colourA, colourB, x), Mix(corner3, corner4, x), y));
    }
    default:
        return Pack(colourA);
    }
}

void BackgroundGenerator::Render(uint32_t* pixels, int32_t width, int32_t height) const
{
    if (pixels == nullptr || width <= 0 || height <= 0)
        return;
    for (int32_t row = 0; row < height; ++row) {
        const float y = (static_cast<float>(row) + 0.5f) / static_cast<float>(height);
        for (int32_t column = 0; column < width; ++column) {
            const float x = (static_cast<float>(column) + 0.5f) / static_cast<float>(width);
            pixels[static_cast<size_t>(row) * width + column] = ColourAt(x, y);
        }
    }
}

bool BackgroundGenerator::Write(SWchunkstream& out) const
{
    SWrecordbuilder record(out, kTagGenerator);
    SWchunkstream& body = record.Stream();
    body.WriteU16(type);
    body.WriteU16(0);
    WriteColour(body, colourA);
    WriteColour(body, colourB);
    WriteColour(body, colourC);
    body.WriteF32(middlePosition);
    body.WriteU8(middleColourOn);
    for (float p : parameters)
        body.WriteF32(p);
    WriteColour(body, corner4);
    return record.Finish();
}

bool BackgroundGenerator::Read(SWchunkstream& in)
{
    BackgroundGenerator read(kLinear, owner);
    read.type = in.ReadU16();
    in.ReadU16();
    ReadColour(in, read.colourA);
    ReadColour(in, read.colourB);
    ReadColour(in, read.colourC);
    in.ReadF32(read.middlePosition);
    in.ReadU8(read.middleColourOn);
    for (float& p : read.parameters)
        in.ReadF32(p);
    ReadColour(in, read.corner4);
    if (in.Status() != 0 || !IsKnownType(read.type))
        return false;
    *this = read;
    return true;
}

bool BackgroundGenerator::SameParameters(const BackgroundGenerator& other) const
{
    const auto bits = [](const BackgroundGenerator& g) {
        std::array<uint32_t, 19> words{};
        size_t i = 0;
        for (const Colour* c : {&g.colourA, &g.colourB, &g.colourC, &g.corner4})
            for (float v : *c)
                words[i++] = std::bit_cast<uint32_t>(v);
        for (float v : g.parameters)
            words[i++] = std::bit_cast<uint32_t>(v);
        words[i++] = std::bit_cast<uint32_t>(g.middlePosition);
        words[i++] = g.middleColourOn;
        words[i++] = g.type;
        return words;
    };
    return bits(*this) == bits(other);
}

SWpicture::SWpicture() : m_generator(std::make_unique<BackgroundGenerator>(BackgroundGenerator::kLinear, this))
{
    AddTypeTag(MakeTag("CIPR"));
}

SWpicture::SWpicture(std::string name, int64_t width, int64_t height, uint16_t type) : SWpicture()
{
    SetName(std::move(name));
    *m_generator = BackgroundGenerator(type, this);
    if (Allocate(width, height))
        Render();
}

SWpicture::~SWpicture() = default;

void SWpicture::Render()
{
    m_generator->Render(GetPixelBuffer(), GetWidth(), GetHeight());
    Touch();
}

bool SWpicture::Read(SWchunkstream& in)
{
    TextureHeader header;
    bool hasHeader = false;
    BackgroundGenerator generator(BackgroundGenerator::kLinear, this);
    bool hasGenerator = false;
    while (in.Status() == 0 && in.Remaining() >= 8) {
        const uint32_t tag = in.TakeTag();
        const std::unique_ptr<SWchunkstream> child = in.OpenChild();
        if (tag == kTagHeader) {
            if (!ReadTextureHeader(*child, header))
                return false;
            hasHeader = true;
        } else if (tag == kTagGenerator) {
            if (!generator.Read(*child))
                return false;
            hasGenerator = true;
        }
        if (child->Status() != 0)
            return false;
    }
    if (in.Status() != 0 || !hasHeader || !hasGenerator)
        return false;
    try {
        SWpicture fresh;
        if (!fresh.Allocate(header.width, header.height))
            return false;
        Pixels().swap(fresh.Pixels());
    } catch (const std::bad_alloc&) {
        return false;
    }
    SetSize(static_cast<int32_t>(header.width), static_cast<int32_t>(header.height));
    SetName(std::move(header.name));
    SetTextureFlags(header.flags);
    *m_generator = generator;
    Render();
    return true;
}

bool SWpicture::Write(SWchunkstream& out)
{
    if (!IsValid() || !WriteTextureHeader(out, *this))
        return false;
    return m_generator->Write(out);
}

std::unique_ptr<SWtexture> SWpicture::Clone() const
{
    try {
        auto copy = std::make_unique<SWpicture>(GetName(), GetWidth(), GetHeight(), m_generator->type);
        if (!copy->IsValid())
            return nullptr;
        *copy->m_generator = *m_generator;
        copy->m_generator->owner = copy.get();
        copy->SetTextureFlags(GetTextureFlags());
        copy->Render();
        return copy;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
