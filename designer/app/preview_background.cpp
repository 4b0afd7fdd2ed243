// The project's background as the designer keeps it while the project's preview runs.
#include <memory>

#include "designer/app/extended_world.h"
#include "designer/app/startup.h"
#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "engine/resources/background.h"
#include "engine/resources/texture.h"

void CVTND_Designer::KeepProjectBackground(SWworld& world)
{
    if (!m_previewStart.IsKept() || &world != static_cast<SWworld*>(GetWorld()))
        return;
    const SWworldlock hold(world);
    m_previewStart.KeepBackground(world);
}
