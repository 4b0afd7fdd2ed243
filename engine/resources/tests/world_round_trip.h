#pragma once
// A world written to a scene file in memory and read back, for the record tests of the resources.
#include <gtest/gtest.h>

#include <vector>

#include "engine/core/document_file.h"
#include "engine/core/world.h"
#include "engine/core/world_file.h"

inline WorldLoadResult RoundTripWorld(SWworld& world)
{
    std::vector<uint8_t> bytes;
    EXPECT_EQ(WriteWorldFile(world, WorldFileMode::kScene, bytes), DocumentStatus::kOk);
    SWdocumentfile file;
    EXPECT_EQ(SWdocumentfile::Parse(std::move(bytes), file), DocumentStatus::kOk);
    SWreadcontext context(SWreadcontext::IdMode::kKeep);
    return ReadWorldFile(file, context);
}
