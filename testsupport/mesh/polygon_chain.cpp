#include "testsupport/mesh/polygon_chain.h"

#include <utility>
#include <vector>

#include "engine/resources/array_block.h"

namespace meshtest {

std::unique_ptr<SWarrayblock> PolygonChainOf(const OffMesh& off, uint32_t smoothingMask)
{
    SWarrayblockChain chain;
    std::vector<uint32_t> corners;
    for (const int32_t index : off.coordIndex) {
        if (index >= 0) {
            corners.push_back(static_cast<uint32_t>(index));
            continue;
        }
        auto block = std::make_unique<SWarrayblock>(std::move(corners), false, std::vector<uint32_t>{}, 0, nullptr);
        corners = {};
        block->SetSmoothingMask(smoothingMask);
        chain.Add(std::move(block));
    }
    return chain.Release();
}

} // namespace meshtest
