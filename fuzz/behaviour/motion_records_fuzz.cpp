// Motion and generator records from any bytes. The first byte chooses the reader: 0, the rest is a run of generator
// records; a kind with a registered motion creator (41 for the XYZ rotation, and so on), the rest is the record list
// of that kind's motion; any other byte, the registered kinds in ascending order taken round by that byte, so every
// motion a later part registers is read here without naming it. Never a crash, a hang or a leak; what loads writes
// bytes that load again to the same bytes, and starting, stepping it over a long time and folding it into a node
// ends.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/generator.h"
#include "engine/behaviour/motion.h"
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

int32_t ChooseKind(uint8_t selector)
{
    const std::vector<int32_t> kinds = ListMotionCreatorKinds();
    if (kinds.empty())
        return -1;
    if (std::find(kinds.begin(), kinds.end(), static_cast<int32_t>(selector)) != kinds.end())
        return selector;
    return kinds[selector % kinds.size()];
}

void FuzzMotion(SWworld& world, int32_t kind, std::span<const uint8_t> bytes)
{
    const MotionCreator create = FindMotionCreator(kind);
    std::unique_ptr<SWmotion> motion(create(&world));
    if (motion == nullptr)
        return;
    SWchunkstream in(bytes);
    if (motion->Load(in)) {
        const std::vector<uint8_t> first = Written([&](SWchunkstream& out) { return motion->Save(out); });
        std::unique_ptr<SWmotion> again(create(&world));
        SWchunkstream reread(first);
        if (!again->Load(reread) || Written([&](SWchunkstream& out) { return again->Save(out); }) != first)
            std::abort();
    }
    // A damaged list keeps what was read; it must run as safely as a whole one.
    auto* node = new SWobjectnode();
    world.AddNode(node, nullptr);
    auto* nodeMotion = dynamic_cast<SWnodemotion*>(motion.get());
    if (nodeMotion != nullptr)
        nodeMotion->BindNode(node->GetId());
    motion->Start();
    Exercise(*motion);
    if (nodeMotion != nullptr)
        nodeMotion->ApplyToNode(*node);
    std::unique_ptr<SWmotion> copy(motion->Clone());
    if (copy != nullptr) {
        copy->Start();
        Exercise(*copy);
    }
    motion->Stop();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    SWworld world;
    const std::span<const uint8_t> rest(data + 1, size - 1);
    if (data[0] == 0) {
        FuzzGenerators(world, rest);
        return 0;
    }
    const int32_t kind = ChooseKind(data[0]);
    if (kind >= 0)
        FuzzMotion(world, kind, rest);
    return 0;
}
