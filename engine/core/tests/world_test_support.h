#pragma once
// What the world's file tests share: named object nodes added to a tree, and a world as the bytes of a scene file.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/core/object_node.h"
#include "engine/core/world.h"
#include "engine/core/world_file.h"

inline SWobjectnode* AddObject(SWworld& world, const char* name, SWnode* parent = nullptr)
{
    auto* node = new SWobjectnode; // the tree owns it from AddNode on
    node->SetName(name);
    world.AddNode(node, parent);
    return node;
}

inline std::vector<uint8_t> SceneBytes(SWworld& world)
{
    std::vector<uint8_t> bytes;
    EXPECT_EQ(WriteWorldFile(world, WorldFileMode::kScene, bytes), DocumentStatus::kOk);
    return bytes;
}
