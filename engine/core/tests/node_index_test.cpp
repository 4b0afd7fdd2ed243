// The world's index of nodes by id and by name, against a walk of the tree, through every way the tree changes:
// adds, deletions (the world's and a plain delete), renames, new ids, moves, detached subtrees edited and put back,
// merges and their removal. Shared names and ids must find what the walk finds first.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/scene_import.h"
#include "engine/core/world.h"

namespace {

const char* const kNames[] = {"a", "b", "c", "d"};

const SWnode* WalkFind(const SWnode& within, const std::optional<std::string>& name, uint32_t id)
{
    for (const SWnode* n = &within; n != nullptr; n = n->NextInTree(&within))
        if (name ? n->GetName() == name : n->GetId() == id)
            return n;
    return nullptr;
}

std::vector<SWnode*> Nodes(SWnode& root)
{
    std::vector<SWnode*> all;
    for (SWnode* n = &root; n != nullptr; n = n->NextInTree(&root))
        all.push_back(n);
    return all;
}

void ExpectIndexMatchesWalk(SWnode& root, SWnode& within, uint32_t missingId)
{
    for (const char* name : kNames) {
        ASSERT_EQ(root.FindByName(name), WalkFind(root, std::string(name), 0)) << name;
        ASSERT_EQ(within.FindByName(name), WalkFind(within, std::string(name), 0)) << name;
    }
    // Searched side by side, in more than one batch, a name missing among them.
    std::vector<std::string_view> names;
    for (int i = 0; i < 41; ++i)
        names.push_back(i % 5 == 4 ? "missing" : kNames[i % 4]);
    for (const SWnode* from : {&root, &within}) {
        std::vector<SWnode*> found(names.size());
        from->FindByNames(names, found);
        for (size_t i = 0; i < names.size(); ++i)
            ASSERT_EQ(found[i], WalkFind(*from, std::string(names[i]), 0)) << i;
    }
    for (SWnode* n : Nodes(root)) {
        ASSERT_EQ(root.FindById(n->GetId()), WalkFind(root, std::nullopt, n->GetId()));
        ASSERT_EQ(within.FindById(n->GetId()), WalkFind(within, std::nullopt, n->GetId()));
    }
    ASSERT_EQ(root.FindById(missingId), WalkFind(root, std::nullopt, missingId)); // a deleted node's, mostly
}

TEST(NodeIndex, AnswersAsTheWalkThroughEveryChangeOfTheTree)
{
    SWworld world;
    SWnode& root = *world.GetRootNode();
    std::mt19937 random(66);
    const auto pick = [&](const std::vector<SWnode*>& from) { return from[random() % from.size()]; };
    const auto fresh = [&](SWnode* under) {
        auto* node = new SWobjectnode(SWnode::kKindObject);
        node->SetName(std::string(kNames[random() % 4]));
        EXPECT_TRUE(world.AddNode(node, under));
        return node;
    };
    std::vector<MergeRecord> merged;
    std::vector<uint32_t> gone;
    for (int step = 0; step < 600; ++step) {
        const std::vector<SWnode*> all = Nodes(root);
        std::vector<SWnode*> others(all.begin() + 1, all.end());
        SWnode* some = others.empty() ? nullptr : pick(others);
        switch (random() % 9) {
        case 0:
        case 1:
            fresh(pick(all));
            break;
        case 2: // a name shared, dropped or new
            if (some != nullptr)
                some->SetName(random() % 5 == 0 ? std::nullopt : std::optional<std::string>(kNames[random() % 4]));
            break;
        case 3: // an id held twice, as a damaged file may have it
            if (some != nullptr)
                some->SetId(pick(all)->GetId());
            break;
        case 4:
            if (some != nullptr && others.size() > 12) {
                gone.push_back(some->GetId());
                random() % 2 == 0 ? (void)world.DeleteNode(some) : delete some;
            }
            break;
        case 5: { // moved, or edited while out of the tree and put back
            SWnode* to = pick(all);
            if (some == nullptr || to->IsInSubtreeOf(*some))
                break;
            some->Detach();
            EXPECT_EQ(root.FindById(some->GetId()) == some, false);
            some->SetName(std::string(kNames[random() % 4]));
            to->AddChildNode(some);
            break;
        }
        case 6: { // a merged scene, removed again later
            SWworld import;
            for (int i = 0; i < 4; ++i) {
                SWnode* under = i == 0 ? nullptr : Nodes(*import.GetRootNode())[random() % (i + 1)];
                auto* node = new SWobjectnode(SWnode::kKindObject);
                node->SetName(std::string(kNames[random() % 4]));
                import.AddNode(node, under);
            }
            MergeOptions options;
            options.parent = pick(all);
            options.uniqueNames = random() % 2 == 0;
            merged.push_back(MergeWorld(world, import, options, "scene.vtn"));
            ExpectIndexMatchesWalk(*import.GetRootNode(), *import.GetRootNode(), 0);
            break;
        }
        case 7:
            if (!merged.empty()) {
                RemoveMerged(world, merged.front());
                merged.erase(merged.begin());
            }
            break;
        default:
            break;
        }
        const std::vector<SWnode*> now = Nodes(root);
        ExpectIndexMatchesWalk(root, *pick(now), gone.empty() ? 0 : gone.back());
        if (HasFatalFailure())
            return;
    }
}

} // namespace
