#include "render/format_record.h"

SWtexturestages::SWtexturestages()
{
    for (int stage = 1; stage < kTextureStageCount; ++stage)
        coordinateSets[stage] = static_cast<int8_t>(stage);
}
