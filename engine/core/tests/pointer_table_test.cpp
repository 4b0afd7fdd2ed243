// The flat pointer table against a plain list of its entries, through inserts and erases in random order with few
// distinct hashes, so that runs of entries collide, wrap round the end of the array and close up behind an erase.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "engine/core/pointer_table.h"

namespace {

std::vector<int*> Under(const SWpointertable<int>& table, uint64_t hash)
{
    std::vector<int*> found;
    table.ForEach(hash, [&](int* item) { found.push_back(item); });
    std::sort(found.begin(), found.end());
    return found;
}

TEST(PointerTable, KeepsEveryEntryThroughCollidingInsertsAndErases)
{
    std::vector<int> items(600);
    std::vector<std::pair<uint64_t, int*>> kept; // what the table should hold
    SWpointertable<int> table;
    std::mt19937 random(7);
    for (int step = 0; step < 20000; ++step) {
        // Hashes near the top of the range too: their homes lie at the end of the array, and their runs wrap.
        const uint64_t hash = random() % 2 == 0 ? random() % 37 : UINT64_MAX - random() % 5;
        if (kept.empty() || random() % 3 != 0) {
            int* item = &items[random() % items.size()];
            table.Insert(hash, item);
            kept.emplace_back(hash, item);
        } else {
            const size_t at = random() % kept.size();
            ASSERT_TRUE(table.Erase(kept[at].first, kept[at].second));
            kept.erase(kept.begin() + static_cast<ptrdiff_t>(at));
        }
        ASSERT_EQ(table.Size(), kept.size());
        if (step % 97 != 0)
            continue;
        for (const uint64_t probe : {hash, uint64_t{3}, UINT64_MAX}) {
            std::vector<int*> expected;
            for (const auto& [h, item] : kept)
                if (h == probe)
                    expected.push_back(item);
            std::sort(expected.begin(), expected.end());
            ASSERT_EQ(Under(table, probe), expected) << "step " << step << ", hash " << probe;
        }
    }
    EXPECT_FALSE(table.Erase(12345, &items[0])); // never stored under that hash
    size_t all = 0;
    table.ForAll([&](int*) { ++all; });
    EXPECT_EQ(all, kept.size());
    table.Clear();
    EXPECT_TRUE(Under(table, 3).empty());
    EXPECT_FALSE(table.Erase(3, &items[0]));
}

} // namespace
