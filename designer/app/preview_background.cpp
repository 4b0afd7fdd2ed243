// The project's background as the designer keeps it while the project's preview runs.
#include <memory>

#include "designer/app/extended_world.h"
#include "designer/app/startup.h"
#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "engine/resources/background.h"
#include "engine/resources/texture.h"

std::unique_ptr<SWbackground> CVTND_Designer::CopyOfBackground(const SWbackground& background)
{
    auto copy = std::make_unique<SWbackground>(background.GetColour());
    if (background.GetTexture() != nullptr)
        copy->SetTexture(CloneTextureObject(background.GetTexture()));
    copy->SetMode(background.GetMode());
    copy->SetBackgroundFlags(background.GetBackgroundFlags());
    return copy;
}

void CVTND_Designer::KeepProjectBackground(SWworld& world)
{
    if (!m_backgroundAtStart || &world != static_cast<SWworld*>(GetWorld()))
        return;
    const SWworldlock hold(world);
    const SWbackground* now = world.GetRootObject()->GetBackground();
    m_backgroundAtStart =
        BackgroundAtStart{now != nullptr ? now->GetSerial() : 0, now != nullptr ? CopyOfBackground(*now) : nullptr};
}
