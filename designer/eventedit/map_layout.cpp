// The event map's layout block: positions and pictures of the map objects, and the record of the project file that
// carries it.
#include "designer/eventedit/map_layout.h"

#include <algorithm>
#include <map>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/map_canvas.h"
#include "designer/app/project.h"
#include "designer/app/project_records.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/event_lookups.h"
#include "designer/editing/map_object.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/expression_list.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/cursor_list.h"
#include "engine/core/node.h"
#include "engine/core/record_builder.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/type_tag.h"
#include "engine/core/world.h"
#include "engine/resources/material.h"
#include "engine/resources/sound.h"
#include "engine/resources/sound_list.h"
#include "platform/gfx/dib.h"

namespace {

constexpr uint32_t kNoPicture = 0xFFFFFFFF;
constexpr int32_t kPictureSide = 32;
constexpr size_t kPictureBytes = kPictureSide * kPictureSide * 3;
constexpr uint32_t kLayoutTag = MakeTag("PLAY");

bool KeyIsString(uint16_t kind)
{
    return kind == EdKind::kSound || kind == EdKind::kLoadedWorld || kind == EdKind::kMaterial;
}

bool KeyIsId(uint16_t kind)
{
    return kind == EdKind::kNode || kind == EdKind::kExpression || kind == EdKind::kAction || kind == EdKind::kEvent ||
           kind == EdKind::kCursor;
}

// The world's things a layout names, looked up in maps made once per read: a layout of many thousand entries must
// not walk the world's lists for each. Each list's first thing of a key wins, as the lists' own finds answer.
class LayoutResolver {
public:
    explicit LayoutResolver(SWworld& world) : m_world(world)
    {
        for (SWevent* e = world.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e)) {
            m_events.emplace(e->GetId(), e);
            for (SWactionnode* a = e->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a))
                m_actions.emplace(a->GetActionId(), a);
        }
        if (const SWexpressionlist* expressions = SWexpressionlist::Find(world))
            for (SWlistnode* n = expressions->Entries().Head(); n != nullptr; n = n->Next())
                m_expressions.emplace(static_cast<SWexpressionentry*>(n)->GetId(), n);
        for (SWcursor* c = world.GetCursorList().GetFirst(); c != nullptr; c = CursorList::GetNext(c))
            m_cursors.emplace(c->id, c);
    }

    void* Resolve(uint16_t kind, uint32_t id, const std::string& name)
    {
        switch (kind) {
        case EdKind::kNode:
            return m_world.GetRootNode() != nullptr ? m_world.GetRootNode()->FindById(id) : nullptr;
        case EdKind::kExpression:
            return Find(m_expressions, id);
        case EdKind::kAction:
            return Find(m_actions, id);
        case EdKind::kEvent:
            return Find(m_events, id);
        case EdKind::kCursor:
            return Find(m_cursors, id);
        case EdKind::kSound:
        case EdKind::kLoadedWorld:
        case EdKind::kMaterial:
            return Named(kind, name);
        default:
            return nullptr;
        }
    }

private:
    template <typename Map> static void* Find(const Map& map, uint32_t id)
    {
        const auto at = map.find(id);
        return at != map.end() ? at->second : nullptr;
    }

    // The few named kinds are found by their lists once per name.
    void* Named(uint16_t kind, const std::string& name)
    {
        const auto [at, added] = m_named.try_emplace({kind, name}, nullptr);
        if (added) {
            if (kind == EdKind::kSound)
                at->second = m_world.GetSoundList().FindByName(name);
            else if (kind == EdKind::kLoadedWorld)
                at->second = m_world.GetSubWorlds().FindByName(name);
            else
                at->second = MaterialNamed(m_world, name);
        }
        return at->second;
    }

    SWworld& m_world;
    std::unordered_map<uint32_t, void*> m_events, m_actions, m_expressions, m_cursors;
    std::map<std::pair<uint16_t, std::string>, void*> m_named;
};

MapObject* FindOrAdd(CEditorEngine& engine, uint16_t kind, void* content)
{
    if (MapObject* found = engine.FindContentObject(content))
        return found;
    switch (kind) {
    case EdKind::kNode:
        return engine.AddNode(static_cast<SWnode*>(content));
    case EdKind::kSound:
        return engine.AddSound(static_cast<SWsound*>(content));
    case EdKind::kExpression:
        return engine.AddExpression(static_cast<SWexpressionentry*>(content));
    case EdKind::kAction:
        return engine.AddAction(static_cast<SWactionnode*>(content));
    case EdKind::kEvent:
        return engine.AddEvent(static_cast<SWevent*>(content));
    case EdKind::kCursor:
        return engine.AddKind1000(static_cast<SWcursor*>(content));
    case EdKind::kLoadedWorld:
        return engine.AddWorld(static_cast<CVTN_SubWorld*>(content));
    case EdKind::kMaterial:
        return engine.AddKind4000(static_cast<SWmaterial*>(content));
    default:
        return nullptr;
    }
}

// The stored rows run bottom row first, three bytes per pixel (blue, green, red).
std::shared_ptr<pf::DibSection> PictureBitmap(const std::vector<uint8_t>& pixels)
{
    std::shared_ptr<pf::DibSection> dib = pf::DibSection::create(kPictureSide, kPictureSide);
    if (dib == nullptr || pixels.size() != kPictureBytes)
        return nullptr;
    for (int32_t r = 0; r < kPictureSide; ++r) {
        for (int32_t c = 0; c < kPictureSide; ++c) {
            const size_t at = static_cast<size_t>((kPictureSide - 1 - r) * kPictureSide * 3 + 3 * c);
            dib->surface().setPixel(
                c, r, 0xFF000000u | (uint32_t{pixels[at + 2]} << 16) | (uint32_t{pixels[at + 1]} << 8) | pixels[at]);
        }
    }
    return dib;
}

struct Picture {
    bool present = false;
    std::vector<uint8_t> pixels; // only a whole 32 x 32 picture is kept
};

// Width, then height and the bytes. Other sizes are read past, never believed: the byte count is computed in 64
// bits and must fit what the record still holds.
bool ReadPicture(SWchunkstream& in, Picture& out)
{
    out = {};
    uint32_t width = 0;
    if (!in.ReadU32(width))
        return false;
    if (width == kNoPicture)
        return true;
    uint32_t height = 0;
    if (!in.ReadU32(height))
        return false;
    const uint64_t bytes = uint64_t{width} * height * 3;
    if (bytes > in.Remaining()) {
        in.Fail(SWchunkstream::kStatusShortRead);
        return false;
    }
    if (width != kPictureSide || height != kPictureSide)
        return in.Skip(bytes);
    out.present = true;
    out.pixels.resize(kPictureBytes);
    return in.ReadBytes(out.pixels) == kPictureBytes;
}

// One entry of a layout block, as read: what it names and where it goes.
struct LayoutEntry {
    int32_t x = 0;
    int32_t y = 0;
    uint16_t kind = 0;
    uint32_t id = 0;
    std::string name;
    Picture picture;
};

// The entries of a block, up to any damage (false then).
bool ParseLayout(SWchunkstream& in, std::vector<LayoutEntry>& out)
{
    uint32_t count = 0;
    if (!in.ReadU32(count) || count > in.Remaining() / kLayoutEntryMinBytes)
        return false; // the record cannot hold that many entries: damaged, not huge
    out.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        in.ReadU32(); // identifier and fold owner: written for readers of the file, not restored
        in.ReadU32();
        in.ReadU8();
        LayoutEntry entry;
        entry.x = static_cast<int32_t>(in.ReadU32());
        entry.y = static_cast<int32_t>(in.ReadU32());
        entry.kind = in.ReadU16() & EdKind::kContentMask;
        if (KeyIsId(entry.kind))
            entry.id = in.ReadU32();
        else if (KeyIsString(entry.kind))
            in.ReadString(entry.name);
        if (in.Status() != SWchunkstream::kStatusGood || !ReadPicture(in, entry.picture))
            return false;
        out.push_back(std::move(entry));
    }
    return in.Status() == SWchunkstream::kStatusGood;
}

// Finds or makes the map object of each entry's content and places it.
void ApplyLayout(CEditorEngine& engine, std::vector<LayoutEntry>& entries, SWworld& world)
{
    LayoutResolver resolver(world);
    for (LayoutEntry& entry : entries) {
        void* content = KeyIsId(entry.kind) || KeyIsString(entry.kind)
                            ? resolver.Resolve(entry.kind, entry.id, entry.name)
                            : nullptr;
        MapObject* object = content != nullptr ? FindOrAdd(engine, entry.kind, content) : nullptr;
        if (object == nullptr)
            continue;
        object->x = entry.x;
        object->y = entry.y;
        if (entry.picture.present) {
            object->pixels = std::move(entry.picture.pixels);
            object->bitmap = PictureBitmap(object->pixels);
            object->width = kPictureSide;
            object->height = kPictureSide;
        }
    }
}

} // namespace

bool CEditorEngine::WriteLayout(SWchunkstream& out) const
{
    std::vector<const MapObject*> objects;
    std::unordered_map<const MapObject*, uint32_t> positions;
    for (MapObject* o = FirstMapObject(); o != nullptr; o = NextMapObject(o)) {
        objects.push_back(o);
        positions.emplace(o, static_cast<uint32_t>(objects.size()));
    }
    // Identifiers are positions in the list plus one; 0 is "no fold owner".
    const auto idOf = [&](const MapObject* o) -> uint32_t {
        const auto at = positions.find(o);
        return at == positions.end() ? 0 : at->second;
    };
    out.WriteU32(static_cast<uint32_t>(objects.size()));
    for (const MapObject* o : objects) {
        out.WriteU32(idOf(o));
        out.WriteU32(idOf(o->FoldOwner()));
        out.WriteU8(o->inputsFolded);
        out.WriteU32(static_cast<uint32_t>(o->x));
        out.WriteU32(static_cast<uint32_t>(o->y));
        out.WriteU16(o->GetKindWord());
        if (const SWnode* node = o->GetNode())
            out.WriteU32(node->GetId());
        else if (const SWsound* sound = o->GetSound())
            out.WriteString(sound->GetName());
        else if (const SWexpressionentry* entry = o->GetExpression())
            out.WriteU32(entry->GetId());
        else if (const SWactionnode* action = o->GetAction())
            out.WriteU32(action->GetActionId());
        else if (const SWevent* event = o->GetEvent())
            out.WriteU32(event->GetId());
        else if (const SWcursor* cursor = o->GetCursor())
            out.WriteU32(cursor->id);
        else if (const CVTN_SubWorld* world = o->GetWorld())
            out.WriteString(world->GetName());
        else if (const SWmaterial* material = o->GetMaterial())
            out.WriteString(material->GetName());
        if (o->pixels.size() == kPictureBytes) {
            out.WriteU32(kPictureSide);
            out.WriteU32(kPictureSide);
            out.WriteBytes(o->pixels);
        } else {
            out.WriteU32(kNoPicture);
        }
    }
    return true;
}

bool CEditorEngine::ReadLayout(SWchunkstream& in)
{
    SWworld* world = World();
    return world != nullptr && ReadLayout(in, *world);
}

bool CEditorEngine::ReadLayout(SWchunkstream& in, SWworld& world)
{
    std::vector<LayoutEntry> entries;
    const bool whole = ParseLayout(in, entries);
    ApplyLayout(*this, entries, world);
    return whole;
}

// -- The project file's record

namespace {

// The block of the project read last, until its workspace's first map applies it. One slot: a project read and then
// dropped (the user kept the open one) is replaced by the next read, and the bytes are resolved against the world of
// the project that applies them, never through pointers kept from the read.
struct PendingLayout {
    const CVTND_Project* project = nullptr;
    std::vector<uint8_t> bytes;       // written back as they were until applied
    std::vector<LayoutEntry> entries; // as read from them, once: the apply only resolves
    bool whole = false;               // read without damage
    std::optional<pf::Point> origin;
};

// The entries of a block and the first map's scroll origin after them.
void ReadLayoutBlock(std::span<const uint8_t> bytes, PendingLayout& out)
{
    SWchunkstream in{bytes};
    out.whole = ParseLayout(in, out.entries);
    if (out.whole && in.Remaining() >= 8) {
        const int32_t x = in.ReadI32();
        out.origin = pf::Point{x, in.ReadI32()};
    }
}

PendingLayout& Pending()
{
    static PendingLayout pending;
    return pending;
}

// The block of the application's engine, then the first map's scroll origin.
void WriteLayoutPayload(const CVTND_ProjectWriting& out, SWchunkstream& payload)
{
    for (const auto& kept : out.project.GetKeptRecords()) {
        if (kept.tag == kLayoutTag) {
            payload.WriteBytes(kept.payload);
            return;
        }
    }
    if (Pending().project == &out.project) {
        payload.WriteBytes(Pending().bytes);
        return;
    }
    CEditorEngine* engine = GetEditorEngine();
    CVTNDesignerApp* app = GetDesignerApp();
    if (engine != nullptr)
        engine->WriteLayout(payload);
    else
        payload.WriteU32(0);
    CVTND_MapCanvas* first = engine != nullptr && app != nullptr ? app->GetFirstEventMap() : nullptr;
    const pf::Point origin = first != nullptr ? first->GetScrollOrigin() : pf::Point{};
    payload.WriteI32(origin.x);
    payload.WriteI32(origin.y);
}

// One "PLAY" record. A block read with the project that no event map has applied yet goes back as it was.
bool WriteLayoutRecord(CVTND_ProjectWriting& out, SWchunkstream& stream)
{
    SWrecordbuilder builder(stream, kLayoutTag);
    WriteLayoutPayload(out, builder.Stream());
    return builder.Finish();
}

// The block is checked now against the new world by a scratch engine (it makes no window) and kept with the project;
// the workspace applies it once it is built.
ProjectRecordRead ReadLayoutRecord(CVTND_ProjectReading& reading, uint32_t tag, SWchunkstream& payload)
{
    (void)tag;
    std::vector<uint8_t> bytes(static_cast<size_t>(payload.Remaining()));
    payload.ReadBytes(bytes);
    PendingLayout read{&reading.project, {}, {}, false, {}};
    ReadLayoutBlock(bytes, read);
    read.bytes = std::move(bytes);
    const bool whole = read.whole;
    Pending() = std::move(read);
    return whole ? ProjectRecordRead::kOk : ProjectRecordRead::kDamagedOptional;
}

constexpr CVTND_ProjectRecordHandler kLayoutHandler = {&WriteLayoutRecord, &ReadLayoutRecord};
const CVTND_ProjectRecordRegistration kLayoutRegistered(kLayoutTag, &kLayoutHandler);

} // namespace

void ApplyProjectLayout(CVTNDesignerApp& app)
{
    CVTND_Project* project = app.GetProject();
    CEditorEngine* engine = GetEditorEngine();
    SWworld* world = app.GetWorld();
    if (project == nullptr || engine == nullptr || world == nullptr)
        return;
    // A block the test or tool put beside the project's records counts as the one read with it.
    auto& kept = project->GetKeptRecords();
    const auto record = std::find_if(kept.begin(), kept.end(), [](const auto& r) { return r.tag == kLayoutTag; });
    std::optional<PendingLayout> layout;
    if (record != kept.end()) {
        layout.emplace();
        ReadLayoutBlock(record->payload, *layout);
        kept.erase(record);
    } else if (Pending().project == project) {
        layout = std::move(Pending());
    }
    if (Pending().project == project)
        Pending() = {};
    if (layout) {
        ApplyLayout(*engine, layout->entries, *world);
        CVTND_MapCanvas* first = layout->whole ? app.GetFirstEventMap() : nullptr;
        if (first != nullptr)
            first->ScrollTo(layout->origin.value_or(pf::Point{}));
    }
    // Every event of the world is on the map; those the layout did not place are placed by the canvas.
    std::vector<SWevent*> unplaced;
    for (SWevent* e = world->GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e))
        if (engine->FindEventObject(e) == nullptr)
            unplaced.push_back(e);
    engine->AddEvents(unplaced);
}
