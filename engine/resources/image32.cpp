#include "engine/resources/image32.h"

#include <algorithm>

#include "engine/core/tag_registry.h"
#include "engine/core/type_tag.h"

namespace {
const CVTN_TagRegistration kRegistration(MakeTag("CI32"), &CreateContainer<SWimage32>);
}

SWimage32::SWimage32()
{
    AddTypeTag(MakeTag("CI32"));
}

SWimage32::SWimage32(std::string name, int64_t width, int64_t height, const uint32_t* pixels) : SWimage32()
{
    SetName(std::move(name));
    if (Allocate(width, height) && pixels != nullptr)
        std::copy(pixels, pixels + PixelCount(), Pixels().begin());
}

std::unique_ptr<SWimage32> SWimage32::SWimage32FromPixels(std::string name, int64_t width, int64_t height,
                                                          const uint32_t* pixels)
{
    auto image = std::make_unique<SWimage32>(std::move(name), width, height, pixels);
    return image->IsValid() ? std::move(image) : nullptr;
}

std::unique_ptr<SWtexture> SWimage32::Clone() const
{
    auto copy = SWimage32FromPixels(GetName(), GetWidth(), GetHeight(), GetPixels());
    if (copy != nullptr)
        copy->SetTextureFlags(GetTextureFlags());
    return copy;
}
