#include "engine/resources/image8.h"

#include "engine/core/tag_registry.h"
#include "engine/core/type_tag.h"

namespace {
const CVTN_TagRegistration kRegistration(MakeTag("CIG8"), &CreateContainer<SWimage8>);
}

SWimage8::SWimage8()
{
    AddTypeTag(MakeTag("CIG8"));
}

SWimage8::SWimage8(std::string name, int64_t width, int64_t height, const uint8_t* grey) : SWimage8()
{
    SetName(std::move(name));
    if (!Allocate(width, height))
        return;
    std::vector<uint32_t>& own = Pixels();
    for (size_t i = 0; i < own.size(); ++i)
        own[i] = PixelOfGrey(grey != nullptr ? grey[i] : 0);
}

std::vector<uint8_t> SWimage8::GetGreyBytes() const
{
    std::vector<uint8_t> grey;
    grey.reserve(PixelCount());
    for (const uint32_t pixel : Pixels())
        grey.push_back(GreyOf(pixel));
    return grey;
}

bool SWimage8::SetGreyBytes(std::span<const uint8_t> grey)
{
    if (PixelCount() == 0 || grey.size() != PixelCount())
        return false;
    std::vector<uint32_t>& own = Pixels();
    for (size_t i = 0; i < own.size(); ++i)
        own[i] = PixelOfGrey(grey[i]);
    return true;
}

std::unique_ptr<SWtexture> SWimage8::Clone() const
{
    auto copy = std::make_unique<SWimage8>(GetName(), GetWidth(), GetHeight(), nullptr);
    if (!copy->IsValid())
        return nullptr;
    copy->Pixels() = Pixels(); // the working buffer, which a surface may have drawn colour into
    copy->SetTextureFlags(GetTextureFlags());
    return copy;
}
