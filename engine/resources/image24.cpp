#include "engine/resources/image24.h"

#include "engine/core/tag_registry.h"
#include "engine/core/type_tag.h"

namespace {

const CVTN_TagRegistration kRegistration(MakeTag("CI24"), &CreateContainer<SWimage24>);

constexpr uint32_t kOpaque = 0xFF000000u;

} // namespace

SWimage24::SWimage24()
{
    AddTypeTag(MakeTag("CI24"));
}

SWimage24::SWimage24(std::string name, int64_t width, int64_t height, const uint32_t* pixels) : SWimage24()
{
    SetName(std::move(name));
    if (!Allocate(width, height))
        return;
    std::vector<uint32_t>& own = Pixels();
    for (size_t i = 0; i < own.size(); ++i)
        own[i] = kOpaque | (pixels != nullptr ? pixels[i] & 0x00FFFFFFu : 0u);
}

std::unique_ptr<SWimage24> SWimage24::SWimage24FromPixels(std::string name, int64_t width, int64_t height,
                                                          const uint32_t* pixels)
{
    auto image = std::make_unique<SWimage24>(std::move(name), width, height, pixels);
    return image->IsValid() ? std::move(image) : nullptr;
}

std::unique_ptr<SWimage24> SWimage24::SWimage24FromPixels(std::string name, const SWtexture* source)
{
    if (source == nullptr || !source->IsValid())
        return nullptr;
    return SWimage24FromPixels(std::move(name), source->GetWidth(), source->GetHeight(), source->GetPixels());
}

std::vector<uint8_t> SWimage24::GetCompactPixels() const
{
    std::vector<uint8_t> rgb(PixelCount() * 3);
    uint8_t* out = rgb.data();
    for (const uint32_t pixel : Pixels()) {
        out[0] = static_cast<uint8_t>(pixel >> 16);
        out[1] = static_cast<uint8_t>(pixel >> 8);
        out[2] = static_cast<uint8_t>(pixel);
        out += 3;
    }
    return rgb;
}

bool SWimage24::SetCompactPixels(std::span<const uint8_t> rgb)
{
    if (PixelCount() == 0 || rgb.size() / 3 != PixelCount() || rgb.size() % 3 != 0)
        return false;
    std::vector<uint32_t>& own = Pixels();
    for (size_t i = 0; i < own.size(); ++i)
        own[i] = kOpaque | (static_cast<uint32_t>(rgb[3 * i]) << 16) | (static_cast<uint32_t>(rgb[3 * i + 1]) << 8) |
                 rgb[3 * i + 2];
    return true;
}

std::unique_ptr<SWtexture> SWimage24::Clone() const
{
    auto copy = SWimage24FromPixels(GetName(), GetWidth(), GetHeight(), GetPixels());
    if (copy != nullptr)
        copy->SetTextureFlags(GetTextureFlags());
    return copy;
}
