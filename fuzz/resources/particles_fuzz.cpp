// Particle system records ("PSYS" after its "GHDR"): "PPAR", "PCOL" and "PGSL" slots. The engine is linked whole, so
// slots holding a generator record of a known kind go through the generators' readers, and others are kept. A read
// either fails and leaves the node as it was, or gives a node whose record reads back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/resources/particle_node.h"

namespace {

std::vector<uint8_t> BodyOf(const SWparticlenode& node)
{
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    if (!node.WriteBody(out))
        std::abort();
    return buffer.ToVector();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SWparticlenode kept;
    kept.GetParticles().SetGravity(2.0f);
    const std::vector<uint8_t> before = BodyOf(kept);
    SWchunkstream in(std::span<const uint8_t>(data, size));
    if (!kept.ReadBody(in)) {
        if (BodyOf(kept) != before)
            std::abort(); // a failed read changed the node
        return 0;
    }
    const std::vector<uint8_t> written = BodyOf(kept);
    SWparticlenode again;
    SWchunkstream reread(written);
    if (!again.ReadBody(reread) || BodyOf(again) != written)
        std::abort();
    for (int slot = 0; slot < SWparticlenode::kSlotCount; ++slot) {
        const std::vector<uint8_t>* a = kept.GetKeptSlot(slot);
        const std::vector<uint8_t>* b = again.GetKeptSlot(slot);
        if ((a == nullptr) != (b == nullptr) || (a != nullptr && *a != *b))
            std::abort();
    }
    return 0;
}
