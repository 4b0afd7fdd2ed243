// Motion and generator records from any bytes. The first byte chooses: even, the rest is a run of generator
// records; odd, the rest is an XYZ motion's record list. Never a crash, a hang or a leak; what loads writes bytes
// that load again to the same bytes, and stepping it over a long time ends.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

#include "engine/behaviour/generator.h"
#include "engine/behaviour/xyz_motion.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/object_node.h"
#include "engine/core/world.h"

namespace {

template <typename Write> std::vector<uint8_t> Written(Write write)
{
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        if (!write(out))
            std::abort();
    }
    return buffer.ToVector();
}

void Exercise(SWmotion& motion)
{
    for (const float t : {0.0f, 16.0f, 1e3f, 1e6f, 1e9f, 3e9f})
        motion.Step(t);
    motion.SetTime(12345.0f);
}

void FuzzGenerators(SWworld& world, std::span<const uint8_t> bytes)
{
    SWchunkstream in(bytes);
    for (int count = 0; count < 64 && in.PeekTag() != kTagEnd; ++count) {
        std::unique_ptr<SWgenerator> g = SWgenerator::Read(&world, in);
        if (g == nullptr)
            continue;
        const std::vector<uint8_t> first = Written([&](SWchunkstream& out) { return g->Save(out); });
        SWchunkstream again(first);
        std::unique_ptr<SWgenerator> reread = SWgenerator::Read(&world, again);
        if (reread == nullptr || Written([&](SWchunkstream& out) { return reread->Save(out); }) != first)
            std::abort();
        g->SetLoopForever(true);
        Exercise(*g);
    }
}

void FuzzXyz(SWworld& world, std::span<const uint8_t> bytes)
{
    SWxyzmotion motion(&world);
    SWchunkstream in(bytes);
    if (!motion.Load(in))
        return;
    const std::vector<uint8_t> first = Written([&](SWchunkstream& out) { return motion.Save(out); });
    SWxyzmotion again(&world);
    SWchunkstream reread(first);
    if (!again.Load(reread) || Written([&](SWchunkstream& out) { return again.Save(out); }) != first)
        std::abort();
    auto* node = new SWobjectnode();
    world.AddNode(node, nullptr);
    Exercise(motion);
    motion.ApplyToNode(*node);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    SWworld world;
    const std::span<const uint8_t> rest(data + 1, size - 1);
    if ((data[0] & 1) == 0)
        FuzzGenerators(world, rest);
    else
        FuzzXyz(world, rest);
    return 0;
}
