// Motion and generator records from any bytes. The first byte chooses the reader: 0, the rest is a run of generator
// records; a kind with a registered motion creator (41 for the XYZ rotation, and so on), the rest is the record list
// of that kind's motion; any other byte, the registered kinds in ascending order taken round by that byte, so every
// motion a later part registers is read here without naming it. Never a crash, a hang or a leak; what loads writes
// bytes that load again to the same bytes, and starting, stepping it over a long time and folding it into a node
// ends. The node carries a key-frame track, a mesh and a vertex frame table, so the key-frame motions that bind to
// it play from whatever frames and times their records give.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/generator.h"
#include "engine/behaviour/keyframe_motion.h"
#include "engine/behaviour/motion.h"
#include "engine/behaviour/vertex_keyframe_motion.h"
#include "engine/core/animation_data.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/mesh_node.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "engine/resources/mesh_object.h"

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

// A mesh node of 4 vertices with a 10-frame default track and a frame table of 3 frames of 5 vertices.
SWmeshnode* AnimatedNode(SWworld& world)
{
    auto* mesh = static_cast<SWmeshobject*>(world.GetRootObject()->AddGeometry(std::make_unique<SWmeshobject>()));
    mesh->SetVertices(std::vector<float>{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0});
    auto* node = new SWmeshnode(mesh);
    world.AddNode(node, nullptr);
    AnimationTrack& track = node->GetAnimationTracks().AddTrack(std::string(kDefaultAnimationName));
    for (uint32_t f = 0; f < 10; ++f) {
        SWmatrix key = SWmatrix::Rotation(0.1f * static_cast<float>(f), 1);
        key.SetTranslation(static_cast<float>(f), 0.0f, 0.0f);
        track.SetKey(f, key);
    }
    auto table = std::make_unique<VertexFrameTable>();
    if (table->Allocate(3, 5)) {
        for (uint32_t f = 0; f < 3; ++f) {
            std::span<float> positions = table->GetFrameVertices(f);
            for (size_t i = 0; i < positions.size(); ++i)
                positions[i] = static_cast<float>(f + i);
        }
        table->SetReady(true);
        node->SetVertexFrameTable(std::move(table));
    }
    return node;
}

void Bind(SWmotion& motion, SWmeshnode& node)
{
    if (auto* play = dynamic_cast<SWkeyframemotion*>(&motion))
        play->Bind(node);
    else if (auto* jump = dynamic_cast<SWkeyframejumpmotion*>(&motion))
        jump->Bind(node);
    else if (auto* vertices = dynamic_cast<SWvertexkeyframemotion*>(&motion))
        vertices->Bind(node);
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
    SWmeshnode* node = AnimatedNode(world);
    auto* nodeMotion = dynamic_cast<SWnodemotion*>(motion.get());
    if (nodeMotion != nullptr)
        nodeMotion->BindNode(node->GetId());
    Bind(*motion, *node);
    motion->Start();
    Exercise(*motion);
    if (nodeMotion != nullptr)
        nodeMotion->ApplyToNode(*node);
    std::unique_ptr<SWmotion> copy(motion->Clone());
    if (copy != nullptr) {
        Bind(*copy, *node);
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
