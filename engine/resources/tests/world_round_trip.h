#pragma once
// For the record tests of the resources: a world written to a scene file in memory and read back, and the nested
// records a written file holds.
#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <vector>

#include "engine/core/chunk_stream.h"
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

// The nested tags of every record of tag in the file, in order.
inline std::vector<uint32_t> NestedTagsOf(const std::vector<uint8_t>& bytes, uint32_t tag)
{
    SWdocumentfile file;
    EXPECT_EQ(SWdocumentfile::Parse(std::vector<uint8_t>(bytes), file), DocumentStatus::kOk);
    std::vector<uint32_t> tags;
    for (const DocumentRecord& record : file.Records()) {
        if (record.tag != tag)
            continue;
        std::vector<uint8_t> payload;
        EXPECT_EQ(SWdocumentfile::DecodePayload(record, payload), PayloadStatus::kOk);
        SWchunkstream in{std::span<const uint8_t>(payload)};
        while (in.Remaining() >= 8) {
            tags.push_back(in.TakeTag());
            in.SkipRecord();
        }
    }
    return tags;
}
