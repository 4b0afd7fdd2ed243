// The event map's layout block read over a small world with fixed ids (node 101 and 102, events 201 and 202,
// actions 0 and 1 of event 201, cursor 301, sounds "bell" and "horn", material "brass", loaded world "level2").
// Whatever reads, every map object keeps a size of its own, and what was read writes a block that reads again to
// the same positions.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

#include "designer/editing/editor_engine.h"
#include "designer/editing/map_object.h"
#include "engine/behaviour/event.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/cursor_list.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/world.h"
#include "engine/resources/material.h"
#include "engine/resources/sound.h"
#include "engine/resources/sound_list.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

std::unique_ptr<SWworld> SmallWorld()
{
    auto world = std::make_unique<SWworld>();
    for (const uint32_t id : {101u, 102u}) {
        auto* node = new SWobjectnode;
        node->SetName("node" + std::to_string(id));
        world->AddNode(node, nullptr);
        node->SetId(id);
    }
    SWevent* first = world->AddEventOfType(5);
    first->SetId(201);
    world->AddEventOfType(4)->SetId(202);
    for (const int32_t kind : {2, 25})
        first->CreateAction(world->GetActionCategories().FindKind(kind));
    world->GetCursorList().Add("hand", 301);
    world->GetSoundList().Add(std::make_unique<SWsound>("bell"));
    world->GetSoundList().Add(std::make_unique<SWsound>("horn"));
    world->GetRootObject()->AddMaterial(std::make_unique<SWmaterial>("brass"));
    world->GetSubWorlds().Add(std::string("level2"));
    return world;
}

struct Position {
    void* content;
    int32_t x, y;
};

std::vector<Position> Positions(const CEditorEngine& engine)
{
    std::vector<Position> out;
    for (MapObject* o = engine.FirstMapObject(); o != nullptr; o = engine.NextMapObject(o)) {
        Check(o->width == 16 || o->width == 32); // small icons, icons and pictures: never a stored size
        Check(o->height == o->width);
        Check(o->pixels.empty() || o->pixels.size() == 32 * 32 * 3);
        out.push_back({o->GetContent(), o->x, o->y});
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static std::unique_ptr<SWworld> world = SmallWorld();
    CEditorEngine engine(nullptr);
    SWchunkstream in{std::span<const uint8_t>(data, size)};
    engine.ReadLayout(in, *world);
    const std::vector<Position> read = Positions(engine);

    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        Check(engine.WriteLayout(out));
    }
    const std::vector<uint8_t> written = buffer.ToVector();
    CEditorEngine again(nullptr);
    SWchunkstream back{std::span<const uint8_t>(written)};
    Check(again.ReadLayout(back, *world));
    const std::vector<Position> reread = Positions(again);
    Check(reread.size() == read.size());
    for (size_t i = 0; i < read.size(); ++i) {
        Check(read[i].content == reread[i].content);
        Check(read[i].x == reread[i].x && read[i].y == reread[i].y);
    }
    return 0;
}
