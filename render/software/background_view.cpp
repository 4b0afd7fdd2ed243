#include "render/software/background_view.h"

#include "engine/resources/background.h"
#include "engine/resources/texture.h"

SWbackgroundview ReadBackgroundView(const SWbackground* background)
{
    SWbackgroundview view;
    if (background == nullptr)
        return view;
    view.colour = background->GetColour() & 0xFFFFFFu;
    view.stretch = background->GetStretch() != 0;
    const SWtexture* texture = background->GetTexture();
    if (texture == nullptr || !texture->IsValid() || texture->GetPixels() == nullptr || texture->GetWidth() < 1 ||
        texture->GetHeight() < 1)
        return view;
    view.image = texture;
    view.pixels = texture->GetPixels();
    view.width = texture->GetWidth();
    view.height = texture->GetHeight();
    return view;
}

bool BackgroundVersionChanged(const SWbackground* background, uint32_t& stamp)
{
    return background != nullptr && SWbackground::CheckVersion(*background, stamp);
}
