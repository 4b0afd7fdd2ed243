#include "engine/core/world_file.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/behaviour/properties.h"
#include "engine/core/buffer.h"
#include "engine/core/camera_node.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/cursor_list.h"
#include "engine/core/header.h"
#include "engine/core/hotspot.h"
#include "engine/core/java_class_node.h"
#include "engine/core/matrix.h"
#include "engine/core/mesh_node.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/read_context.h"
#include "engine/core/record_builder.h"
#include "engine/core/root_object.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/type_tag.h"
#include "engine/core/unique_id.h"
#include "engine/core/world.h"
#include "engine/core/world_sections.h"
#include "engine/resources/geometry.h"
#include "engine/resources/texture.h"

namespace {

constexpr uint32_t kTagWorld = MakeTag("WRLD");
constexpr uint32_t kTagVersion = MakeTag("WVER");
constexpr uint32_t kTagSettings = MakeTag("WSET");
constexpr uint32_t kTagRoot = MakeTag("ROOT");
constexpr uint32_t kTagHeader = MakeTag("HEAD");
constexpr uint32_t kTagStreamRoot = MakeTag("5PTS");
constexpr uint32_t kTagSound = MakeTag("7403"); // a sound of the sound list ("SNLS")
constexpr uint32_t kTagNodeTable = MakeTag("NODT");
constexpr uint32_t kTagNode = MakeTag("SNOD");
constexpr uint32_t kTagNodeHeader = MakeTag("NHDR");
constexpr uint32_t kTagObjectNode = MakeTag("NOBJ");
constexpr uint32_t kTagGroup = MakeTag("NGRP");
constexpr uint32_t kTagVariables = MakeTag("72PS");
constexpr uint32_t kTagCameraList = MakeTag("CAML");
constexpr uint32_t kTagArcball = MakeTag("ARCB");
constexpr uint32_t kTagCursors = MakeTag("CURS");
constexpr uint32_t kTagCursor = MakeTag("CURE");
constexpr uint32_t kTagSubWorlds = MakeTag("SUBW");
constexpr uint32_t kTagSubWorld = MakeTag("SUBE");
constexpr uint32_t kTagJava = MakeTag("JAVA");
constexpr uint32_t kTagJavaClass = MakeTag("JCLS");
constexpr uint32_t kTagCameraNode = MakeTag("NCAM");
constexpr uint32_t kTagHotspot = MakeTag("NHOT");
constexpr uint32_t kNoPosition = 0xFFFFFFFF;
constexpr size_t kMatrixBytes = 16 * 4;

// -- Writing

using PayloadWriter = std::function<bool(SWchunkstream&)>;

bool Nested(SWchunkstream& out, uint32_t tag, const PayloadWriter& fill)
{
    SWrecordbuilder record(out, tag);
    return fill(record.Stream()) && record.Finish();
}

bool WriteBytes(SWchunkstream& out, std::span<const uint8_t> bytes)
{
    return out.WriteBytes(bytes.data(), bytes.size());
}

bool WriteMatrix(SWchunkstream& out, const SWmatrix& m)
{
    for (int i = 0; i < 16; ++i)
        out.WriteF32(m[i]);
    return out.Status() == SWchunkstream::kStatusGood;
}

bool WriteWorldSettings(SWworld& world, SWchunkstream& out)
{
    return Nested(out, kTagVersion, [](SWchunkstream& s) { return s.WriteU32(kWorldFormatVersion); }) &&
           Nested(out, kTagSettings, [&](SWchunkstream& s) {
               s.WriteF32(world.GetSceneSize());
               s.WriteF32(world.GetPixelWidth());
               s.WriteF32(world.GetPixelHeight());
               s.WriteF32(world.GetVerticalFactor());
               return s.WriteU8(world.GetStereo());
           });
}

bool WriteHeader(const SWheader* header, SWchunkstream& out)
{
    const SWheader empty;
    const SWheader& h = header ? *header : empty;
    out.WriteString(h.GetObjectName());
    out.WriteString(h.GetAuthor());
    out.WriteString(h.GetOrganization());
    out.WriteU32(kCurrentBuildNumber); // never the number read: a converted file must not convert again
    out.WriteU32(h.GetMeshCount());
    out.WriteU32(h.GetVertexCount());
    out.WriteU32(h.GetMaterialCount());
    out.WriteU32(h.GetTextureCount());
    out.WriteU32(h.GetPolygonCount());
    out.WriteU32(static_cast<uint32_t>(h.GetCreatingTools().size()));
    for (const std::string& tool : h.GetCreatingTools())
        out.WriteString(tool);
    return out.Status() == SWchunkstream::kStatusGood;
}

// A section's kept records (read without a handler) back under parent, with their own parent links.
bool WriteKeptRecords(SWworldwriting& out, const std::vector<SWkeptsections::Record>& records, uint32_t parent)
{
    std::vector<uint32_t> indices;
    indices.reserve(records.size());
    for (const SWkeptsections::Record& record : records) {
        const uint32_t under = record.parent == SWkeptsections::kNoKeptParent ? parent : indices[record.parent];
        const std::optional<uint32_t> index = out.Writer().AddRecord(record.tag, under, record.payload);
        if (!index)
            return false;
        indices.push_back(*index);
    }
    return true;
}

bool WriteRecordSection(SWworldwriting& out, WorldSection section, uint32_t parent)
{
    if (const SWworldsectionhandler* handler = FindWorldSectionHandler(section); handler && handler->write) {
        out.BeginSection(section, parent);
        const bool written = handler->write(out, parent);
        out.EndSection();
        return written;
    }
    if (SWkeptsections* kept = SWkeptsections::Find(out.World()))
        return WriteKeptRecords(out, kept->Records(section), parent);
    return true;
}

bool WriteStreamSection(SWworldwriting& out, WorldSection section, SWchunkstream& stream)
{
    const uint32_t tag = WorldSectionTag(section);
    if (const SWworldsectionhandler* handler = FindWorldSectionHandler(section); handler && handler->writeStream)
        return Nested(stream, tag, [&](SWchunkstream& s) { return handler->writeStream(out, s); });
    SWkeptsections* kept = SWkeptsections::Find(out.World());
    if (kept == nullptr || !kept->Payload(section))
        return true;
    return Nested(stream, tag, [&](SWchunkstream& s) { return WriteBytes(s, *kept->Payload(section)); });
}

bool WriteHotspot(SWhotspot& hotspot, SWchunkstream& out)
{
    out.WriteString(hotspot.GetTextureName());
    for (const float v : hotspot.GetRect())
        out.WriteF32(v);
    for (const float v : hotspot.GetAlterEgoRect())
        out.WriteF32(v);
    out.WriteU32(static_cast<uint32_t>(hotspot.GetPictureWidth()));
    out.WriteU32(static_cast<uint32_t>(hotspot.GetPictureHeight()));
    out.WriteU8(hotspot.GetLabelState());
    const SWworldpicturecodec* codec = GetWorldPictureCodec();
    if (hotspot.GetImage() != nullptr && codec != nullptr && codec->write != nullptr)
        return codec->write(*hotspot.GetImage(), out);
    return out.Status() == SWchunkstream::kStatusGood;
}

bool WriteNode(SWworldwriting& writing, SWnode& node, uint32_t parentPosition, SWchunkstream& out)
{
    bool ok = Nested(out, kTagNodeHeader, [&](SWchunkstream& s) {
        s.WriteU32(node.GetId());
        s.WriteU32(parentPosition);
        s.WriteU16(node.GetKindFlags());
        s.WriteU8(node.IsEnabled() ? 1 : 0);
        return s.WriteString(node.GetName());
    });
    if (auto* object = dynamic_cast<SWobjectnode*>(&node)) {
        ok = ok && Nested(out, kTagObjectNode, [&](SWchunkstream& s) {
                 WriteMatrix(s, object->GetLocalMatrix());
                 s.WriteU8(object->GetAxisLock());
                 s.WriteU32(writing.FindRecord(object->GetGeometry()).value_or(kNoPosition));
                 s.WriteU32(object->GetKeyFrameSchemeId());
                 return s.WriteU32(object->GetVertexSchemeId());
             });
    }
    if (auto* camera = dynamic_cast<SWcameranode*>(&node)) {
        ok = ok && Nested(out, kTagCameraNode, [&](SWchunkstream& s) {
                 s.WriteU8(camera->GetEye());
                 return s.WriteU8(camera->GetEyeIndex() != 0 ? 1 : 0);
             });
    }
    if (auto* hotspot = dynamic_cast<SWhotspot*>(&node))
        ok = ok && Nested(out, kTagHotspot, [&](SWchunkstream& s) { return WriteHotspot(*hotspot, s); });
    if (node.HasKind(SWnode::kKindGroup)) {
        ok = ok && Nested(out, kTagGroup, [&](SWchunkstream& s) {
                 s.WriteU32(static_cast<uint32_t>(node.GetGroupMembers().Count()));
                 for (SWlistnode* m = node.GetGroupMembers().Head(); m != nullptr; m = m->Next())
                     s.WriteU32(static_cast<SWgroupmember*>(m)->node->GetId());
                 return s.Status() == SWchunkstream::kStatusGood;
             });
    }
    return ok && Nested(out, kTagVariables, [&](SWchunkstream& s) { return node.WriteVariables(s); });
}

bool WriteNodeTable(SWworldwriting& writing, SWchunkstream& out)
{
    SWworld& world = writing.World();
    std::unordered_map<const SWnode*, uint32_t> positions;
    uint32_t position = 0;
    SWnode* root = world.GetRootNode();
    for (SWnode* node = root; node != nullptr; node = node->NextInTree(root), ++position) {
        const auto parent = positions.find(node->GetParentNode());
        const uint32_t parentPosition = node == root || parent == positions.end() ? kNoPosition : parent->second;
        positions.emplace(node, position);
        if (!Nested(out, kTagNode, [&](SWchunkstream& s) { return WriteNode(writing, *node, parentPosition, s); }))
            return false;
    }
    return true;
}

bool WriteStreamRoot(SWworldwriting& writing, SWchunkstream& out, const WorldWriteParts& parts)
{
    SWworld& world = writing.World();
    bool ok = !parts.nodes || Nested(out, kTagNodeTable, [&](SWchunkstream& s) { return WriteNodeTable(writing, s); });
    ok = ok && Nested(out, kTagCameraList, [&](SWchunkstream& s) {
             s.WriteU32(static_cast<uint32_t>(world.GetCameraList().Count()));
             for (SWlistnode* e = world.GetCameraList().Head(); e != nullptr; e = e->Next())
                 s.WriteU32(static_cast<SWcameraentry*>(e)->node->GetId());
             return s.Status() == SWchunkstream::kStatusGood;
         });
    ok = ok && Nested(out, kTagArcball, [&](SWchunkstream& s) {
             s.WriteU32(world.GetArcballNode() ? world.GetArcballNode()->GetId() : kIdUnset);
             return s.WriteU8(world.GetArcballFlag());
         });
    ok = ok && Nested(out, kTagCursors, [&](SWchunkstream& s) {
             for (SWcursor* c = world.GetCursorList().GetFirst(); c != nullptr; c = CursorList::GetNext(c)) {
                 Nested(s, kTagCursor, [&](SWchunkstream& e) {
                     e.WriteU32(c->id);
                     e.WriteString(c->name);
                     e.WriteString(c->imageFile);
                     e.WriteI32(c->hotSpotX);
                     return e.WriteI32(c->hotSpotY);
                 });
             }
             return s.Status() == SWchunkstream::kStatusGood;
         });
    ok = ok && Nested(out, kTagSubWorlds, [&](SWchunkstream& s) {
             CVTN_SubWorlds& entries = world.GetSubWorlds();
             for (CVTN_SubWorld* w = entries.GetFirst(); w != nullptr; w = CVTN_SubWorlds::GetNext(w)) {
                 Nested(s, kTagSubWorld, [&](SWchunkstream& e) {
                     e.WriteString(w->GetName());
                     e.WriteString(w->GetDownloadUrl());
                     e.WriteString(w->GetFileName());
                     e.WriteU8(w->GetReferenceLimitFlag());
                     return e.WriteU32(w->GetReferenceLimit());
                 });
             }
             return s.Status() == SWchunkstream::kStatusGood;
         });
    ok = ok && Nested(out, kTagJava, [&](SWchunkstream& s) {
             for (SWlistnode* e = world.GetJavaClasses().Head(); e != nullptr; e = e->Next()) {
                 auto* entry = static_cast<SWjavaclassnode*>(e);
                 Nested(s, kTagJavaClass, [&](SWchunkstream& j) {
                     j.WriteString(entry->GetName());
                     j.WriteString(entry->GetClassPath());
                     return Nested(j, kTagVariables, [&](SWchunkstream& v) { return entry->WriteVariables(v); });
                 });
             }
             return s.Status() == SWchunkstream::kStatusGood;
         });
    ok = ok && Nested(out, kTagVariables, [&](SWchunkstream& s) { return world.GetVariables().WriteVariables(s); });
    for (const WorldSection section : {WorldSection::kTooltips, WorldSection::kExpressions, WorldSection::kEvents})
        ok = ok && (!parts.Has(static_cast<uint32_t>(section)) || WriteStreamSection(writing, section, out));
    return ok;
}

// The resources a save writes, counted before it starts, so progress has its total from the first report.
uint32_t CountResources(SWworld& world)
{
    size_t count = world.GetSoundList().Count();
    if (const SWrootobject* root = world.GetRootObject())
        for (const auto kind : {SWobjectlist::Kind::kTextures, SWobjectlist::Kind::kMaterials,
                                SWobjectlist::Kind::kGeometry, SWobjectlist::Kind::kBackgrounds})
            if (const SWobjectlist* list = root->GetList(kind))
                count += list->CountChildren();
    SWnode* top = world.GetRootNode();
    for (SWnode* node = top; node != nullptr; node = node->NextInTree(top))
        if (const auto* object = dynamic_cast<const SWobjectnode*>(node)) {
            count += object->GetAnimationTracks().GetTrackCount() != 0 ? 1 : 0;
            count += dynamic_cast<const SWmeshnode*>(node) != nullptr && object->GetVertexFrameTable() != nullptr;
        }
    return static_cast<uint32_t>(std::min<size_t>(count, UINT32_MAX));
}

} // namespace

bool WriteWorldRecords(SWworld& world, SWdocumentwriter& writer, uint32_t parentIndex, WorldFileMode mode,
                       const WorldWriteProgress& progress, const WorldWriteParts& parts)
{
    SWworldlock lock(world);
    SWworldwriting writing(world, mode, writer);
    if (progress)
        writing.SetProgress(&progress, CountResources(world));
    const std::optional<uint32_t> top =
        writing.AddRecord(kTagWorld, parentIndex, [&](SWchunkstream& s) { return WriteWorldSettings(world, s); });
    if (!top)
        return false;
    const std::optional<uint32_t> root = writing.AddRecord(kTagRoot, *top, nullptr);
    if (!root)
        return false;
    const SWheader* header = world.GetRootObject() ? world.GetRootObject()->FindHeader() : nullptr;
    if (!writing.AddRecord(kTagHeader, *root, [&](SWchunkstream& s) { return WriteHeader(header, s); }))
        return false;
    for (size_t i = 0; i <= static_cast<size_t>(WorldSection::kVertexBlocks); ++i) {
        if (parts.Has(static_cast<uint32_t>(i)) && !WriteRecordSection(writing, static_cast<WorldSection>(i), *root))
            return false;
    }
    if (parts.Has(static_cast<uint32_t>(WorldSection::kSounds)) &&
        !WriteRecordSection(writing, WorldSection::kSounds, *top))
        return false;
    return writing.AddRecord(kTagStreamRoot, *top, [&](SWchunkstream& s) { return WriteStreamRoot(writing, s, parts); })
        .has_value();
}

namespace {

DocumentWriteOptions WorldWriteOptions(WorldFileMode mode)
{
    DocumentWriteOptions options;
    options.version = mode == WorldFileMode::kProject ? kDocumentVersionProject : kDocumentVersionScene;
    options.compression =
        mode == WorldFileMode::kPublished ? DocumentCompression::kDeflate : DocumentCompression::kNone;
    options.formatVersion = kWorldFormatVersion;
    return options;
}

} // namespace

DocumentStatus WriteWorldFile(SWworld& world, WorldFileMode mode, std::vector<uint8_t>& out,
                              const WorldWriteProgress& progress)
{
    out.clear();
    try {
        SWdocumentwriter writer(WorldWriteOptions(mode));
        if (!WriteWorldRecords(world, writer, kDocumentNoParent, mode, progress))
            return writer.FailureStatus();
        return writer.Finish(out);
    } catch (const std::bad_alloc&) {
        out.clear();
        return DocumentStatus::kOutOfMemory;
    }
}

DocumentStatus SaveWorldFile(SWworld& world, WorldFileMode mode, const std::string& path, std::string* outError)
{
    try {
        SWdocumentwriter writer(WorldWriteOptions(mode));
        if (!WriteWorldRecords(world, writer, kDocumentNoParent, mode))
            return writer.FailureStatus();
        return SaveDocumentFile(path, writer, outError);
    } catch (const std::bad_alloc&) {
        return DocumentStatus::kOutOfMemory;
    }
}

// -- Reading

namespace {

class WorldReader {
public:
    WorldReader(const SWdocumentfile& file, SWreadcontext& context, WorldLoadResult& result,
                const WorldMaker& makeWorld)
        : m_file(file), m_context(context), m_result(result), m_makeWorld(makeWorld)
    {
    }

    bool Read();

private:
    template <typename Fn> void ForEachNested(SWchunkstream& in, Fn&& fn);
    void ReadChildren(uint32_t parentIndex, uint32_t parentTag);
    void ReadRecordSection(WorldSection section, uint32_t index);
    void KeepRecords(WorldSection section, uint32_t index);
    void ReadWorldRecord(SWchunkstream& in);
    void ReadHeader(SWchunkstream& in);
    void ReadStreamRoot(SWchunkstream& in);
    void ReserveStoredIds(uint32_t worldIndex);
    template <typename Fn> void ReserveRecordIds(uint32_t index, Fn&& reserve); // its payload, decoded uncounted
    void ReserveStreamRootIds(SWchunkstream& in);
    void ReadNode(SWchunkstream& in, uint32_t position);
    void ReadNodeHeader(SWchunkstream& in, uint32_t position);
    void ReadObjectNode(SWobjectnode& object, SWchunkstream& in);
    void ReadHotspot(SWhotspot& hotspot, SWchunkstream& in);
    void ReadCameraList(SWchunkstream& in);
    void ReadCursor(SWchunkstream& in);
    void ReadSubWorld(SWchunkstream& in);
    void ReadJavaClass(SWchunkstream& in);
    SWnode* FindNode(uint32_t id) const;
    void LinkGroups();
    void Link();

    const SWdocumentfile& m_file;
    SWreadcontext& m_context;
    WorldLoadResult& m_result;
    const WorldMaker& m_makeWorld;
    SWworld* m_world = nullptr;
    std::unique_ptr<SWworldreading> m_reading;
    std::vector<SWnode*> m_positions; // the node table's nodes by position; null where a node was dropped
    // The nodes read, by id: references resolve through it, not a walk of the tree for each one, so that a load
    // takes time linear in its nodes and references. A read node's id is its own (duplicates were made fresh).
    std::unordered_map<uint32_t, SWnode*> m_byId;
    std::vector<std::pair<SWnode*, std::vector<uint32_t>>> m_groups; // members, linked after the table
    std::vector<std::pair<SWobjectnode*, uint32_t>> m_geometryLinks; // node, geometry record index
    bool m_rootTaken = false;                                        // the node table's root node
    bool m_rootObjectTaken = false;
    bool m_streamRootTaken = false;
};

template <typename Fn> void WorldReader::ForEachNested(SWchunkstream& in, Fn&& fn)
{
    while (in.Status() == SWchunkstream::kStatusGood && in.Remaining() >= 8) {
        const uint32_t tag = in.TakeTag();
        const std::unique_ptr<SWchunkstream> child = in.OpenChild();
        if (child->Status() != SWchunkstream::kStatusGood)
            return;
        fn(tag, *child);
    }
}

bool WorldReader::Read()
{
    const std::vector<DocumentRecord>& records = m_file.Records();
    uint32_t worldIndex = kDocumentNoParent;
    for (uint32_t i = 0; i < records.size() && worldIndex == kDocumentNoParent; ++i) {
        if (records[i].tag == kTagWorld && records[i].framed)
            worldIndex = i;
    }
    if (worldIndex == kDocumentNoParent)
        return false;
    m_result.world = m_makeWorld ? m_makeWorld() : nullptr;
    if (m_result.world == nullptr)
        m_result.world = std::make_unique<SWworld>();
    m_world = m_result.world.get();
    m_reading = std::make_unique<SWworldreading>(*m_world, m_file, m_context, m_result.skipped);
    m_context.SetFormatVersion(m_file.Header().version); // until "WVER" says otherwise
    SWworldreading::Payload payload;
    if (!m_reading->Open(worldIndex, payload))
        return false;
    ReadWorldRecord(*payload.stream);
    if (m_context.Mode() == SWreadcontext::IdMode::kKeep)
        ReserveStoredIds(worldIndex);
    ReadChildren(worldIndex, kTagWorld);
    Link();
    m_world->SetFileVersionNumber(m_context.FormatVersion());
    m_result.version = m_context.FormatVersion();
    m_result.newer = m_result.version > kWorldFormatVersion;
    return true;
}

void WorldReader::ReadChildren(uint32_t parentIndex, uint32_t parentTag)
{
    for (const uint32_t index : m_reading->Children(parentIndex)) {
        if (m_context.LimitReached())
            return; // the load is refused whole: reading on would only cost more
        const uint32_t tag = m_reading->Tag(index);
        const std::optional<WorldSection> section = FindWorldSection(parentTag, tag);
        if (section && !IsStreamSection(*section)) {
            ReadRecordSection(*section, index);
            continue;
        }
        const bool root = parentTag == kTagWorld && tag == kTagRoot && !m_rootObjectTaken;
        const bool header = parentTag == kTagRoot && tag == kTagHeader;
        const bool streamRoot = parentTag == kTagWorld && tag == kTagStreamRoot && !m_streamRootTaken;
        if (!root && !header && !streamRoot) {
            m_reading->Skip(index, "not a record of the world");
            continue;
        }
        SWworldreading::Payload payload;
        if (!m_reading->Open(index, payload))
            continue;
        if (root) {
            m_rootObjectTaken = true;
            ReadChildren(index, kTagRoot);
        } else if (header) {
            ReadHeader(*payload.stream);
        } else {
            m_streamRootTaken = true;
            ReadStreamRoot(*payload.stream);
        }
    }
}

// Objects made while the file is read take fresh ids (a duplicate, a node stored without one, an object node's
// built-in variables) from the counter, which has been raised only past the ids read so far: one the file stores
// further on would then name two objects, and links to it would find either. So the ids the stream root stores
// for its objects are reserved first, its sections' through their handlers. Its payload is decoded once more for
// this, uncounted, when compressed: only published files are, and a stored payload is read where it lies.
// The sound list's variables are reserved too, wherever the list stands: one stored after the stream root is read
// after the node table, which makes objects with fresh ids.
void WorldReader::ReserveStoredIds(uint32_t worldIndex)
{
    bool streamRootSeen = false;
    for (const uint32_t index : m_reading->Children(worldIndex)) {
        const uint32_t tag = m_reading->Tag(index);
        if (tag == kTagStreamRoot && !streamRootSeen) {
            streamRootSeen = true; // only the first is read
            ReserveRecordIds(index, [this](SWchunkstream& in) { ReserveStreamRootIds(in); });
        } else if (FindWorldSection(kTagWorld, tag) == WorldSection::kSounds) {
            for (const uint32_t sound : m_reading->Children(index))
                if (m_reading->Tag(sound) == kTagSound)
                    ReserveRecordIds(sound, [this](SWchunkstream& in) {
                        ForEachNested(in, [](uint32_t t, SWchunkstream& c) {
                            if (t == kTagVariables)
                                SWproperties2::ReserveStoredIds(c);
                        });
                    });
        }
    }
}

template <typename Fn> void WorldReader::ReserveRecordIds(uint32_t index, Fn&& reserve)
{
    const DocumentRecord& record = m_file.Records()[index];
    std::vector<uint8_t> decoded;
    std::span<const uint8_t> bytes;
    if (record.Compression() == static_cast<uint8_t>(DocumentCompression::kNone)) {
        if (m_file.StoredPayload(record, decoded, bytes) != PayloadStatus::kOk)
            return; // the read skips it
    } else {
        const uint64_t allowed = m_context.DecodedBytesAllowed(record.PayloadBytes());
        if (m_file.ReadPayload(record, decoded, allowed) != PayloadStatus::kOk)
            return; // the read refuses it, or skips it
        bytes = decoded;
    }
    SWchunkstream in(bytes);
    in.SetFormatVersion(m_context.FormatVersion());
    in.SetReadContext(&m_context);
    reserve(in);
}

void WorldReader::ReserveStreamRootIds(SWchunkstream& in)
{
    ForEachNested(in, [&](uint32_t tag, SWchunkstream& s) {
        if (tag == kTagNodeTable) {
            ForEachNested(s, [&](uint32_t nodeTag, SWchunkstream& n) {
                if (nodeTag != kTagNode)
                    return;
                // Every header and list a node record holds: one the read drops only leaves an id unused.
                ForEachNested(n, [&](uint32_t t, SWchunkstream& c) {
                    if (t == kTagNodeHeader)
                        ReserveObjectId(c);
                    else if (t == kTagVariables)
                        SWproperties2::ReserveStoredIds(c);
                });
            });
        } else if (tag == kTagCursors) {
            ForEachNested(s, [&](uint32_t t, SWchunkstream& c) {
                if (t == kTagCursor)
                    ReserveObjectId(c);
            });
        } else if (tag == kTagJava) {
            ForEachNested(s, [&](uint32_t t, SWchunkstream& j) {
                std::optional<std::string> name;
                std::string classPath;
                if (t != kTagJavaClass || !j.ReadString(name) || !j.ReadString(classPath))
                    return;
                ForEachNested(j, [&](uint32_t v, SWchunkstream& variables) {
                    if (v == kTagVariables)
                        SWproperties2::ReserveStoredIds(variables);
                });
            });
        } else if (tag == kTagVariables) {
            SWproperties2::ReserveStoredIds(s);
        } else if (const std::optional<WorldSection> section = FindWorldSection(kTagStreamRoot, tag)) {
            const SWworldsectionhandler* handler = FindWorldSectionHandler(*section);
            if (handler != nullptr && handler->reserveIds != nullptr)
                handler->reserveIds(s);
        }
    });
}

void WorldReader::ReadRecordSection(WorldSection section, uint32_t index)
{
    const SWworldsectionhandler* handler = FindWorldSectionHandler(section);
    if (handler == nullptr) {
        KeepRecords(section, index);
    } else if (handler->read == nullptr) {
        m_reading->Skip(index, "no reader for this section");
    } else if (!handler->read(*m_reading, index)) {
        m_reading->Skip(index, "section does not read");
    }
}

void WorldReader::KeepRecords(WorldSection section, uint32_t index)
{
    std::vector<SWkeptsections::Record> kept;
    std::vector<std::pair<uint32_t, uint32_t>> pending = {{index, SWkeptsections::kNoKeptParent}};
    while (!pending.empty()) {
        const auto [at, parent] = pending.back();
        pending.pop_back();
        SWkeptsections::Record record;
        record.tag = m_reading->Tag(at);
        record.parent = parent;
        const PayloadStatus status = m_context.DecodePayload(m_file, m_file.Records()[at], record.payload);
        if (status == PayloadStatus::kOverLimit)
            return;
        if (status != PayloadStatus::kOk) {
            m_reading->Skip(at, "payload does not decode");
            continue;
        }
        const auto position = static_cast<uint32_t>(kept.size());
        kept.push_back(std::move(record));
        const std::vector<uint32_t>& children = m_reading->Children(at);
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            pending.emplace_back(*it, position);
    }
    std::vector<SWkeptsections::Record>& into = SWkeptsections::Of(*m_world).Records(section);
    into.insert(into.end(), std::make_move_iterator(kept.begin()), std::make_move_iterator(kept.end()));
}

void WorldReader::ReadWorldRecord(SWchunkstream& in)
{
    ForEachNested(in, [&](uint32_t tag, SWchunkstream& s) {
        if (tag == kTagVersion) {
            uint32_t version = 0;
            if (s.ReadU32(version) && version != 0)
                m_context.SetFormatVersion(version);
        } else if (tag == kTagSettings) {
            const float sceneSize = s.ReadF32();
            const float width = s.ReadF32();
            const float height = s.ReadF32();
            const float vertical = s.ReadF32();
            const uint8_t stereo = s.ReadU8();
            if (s.Status() != SWchunkstream::kStatusGood)
                return;
            m_world->SetSceneSize(sceneSize);
            m_world->SetPixelSize(width, height);
            m_world->SetVerticalFactor(vertical);
            m_world->SetStereo(stereo);
        }
    });
}

void WorldReader::ReadHeader(SWchunkstream& in)
{
    SWheader& header = m_world->GetRootObject()->GetHeader();
    std::optional<std::string> name, author, organization;
    in.ReadString(name);
    in.ReadString(author);
    in.ReadString(organization);
    const uint32_t build = in.ReadU32();
    std::array<uint32_t, 5> counts = {};
    for (uint32_t& count : counts)
        count = in.ReadU32();
    if (in.Status() != SWchunkstream::kStatusGood)
        return;
    header.SetObjectName(std::move(name));
    header.SetAuthor(std::move(author));
    header.SetOrganization(std::move(organization));
    header.SetCounts(counts[0], counts[1], counts[2], counts[3], counts[4]);
    header.SetBuildNumber(build); // what the conversions of old actions test; never written back
    m_world->SetBuildNumber(build);
    uint32_t toolCount = 0;
    if (!in.ReadU32(toolCount) || toolCount > in.Remaining() / 4)
        return; // an older header without the tools, or a damaged count: none
    std::vector<std::string> tools;
    for (uint32_t i = 0; i < toolCount; ++i) {
        std::string tool;
        if (!in.ReadString(tool))
            return;
        tools.push_back(std::move(tool));
    }
    header.SetCreatingTools(std::move(tools));
}

void WorldReader::ReadStreamRoot(SWchunkstream& in)
{
    ForEachNested(in, [&](uint32_t tag, SWchunkstream& s) {
        if (tag == kTagNodeTable) {
            ForEachNested(s, [&](uint32_t nodeTag, SWchunkstream& n) {
                if (nodeTag == kTagNode)
                    ReadNode(n, static_cast<uint32_t>(m_positions.size()));
            });
        } else if (tag == kTagCameraList) {
            ReadCameraList(s);
        } else if (tag == kTagArcball) {
            const uint32_t id = ReadReferencedId(s);
            const uint8_t flag = s.ReadU8();
            if (auto* object = dynamic_cast<SWobjectnode*>(FindNode(id)))
                m_world->SetArcballNode(object);
            m_world->SetArcballFlag(flag);
        } else if (tag == kTagCursors) {
            ForEachNested(s, [&](uint32_t t, SWchunkstream& c) {
                if (t == kTagCursor)
                    ReadCursor(c);
            });
        } else if (tag == kTagSubWorlds) {
            ForEachNested(s, [&](uint32_t t, SWchunkstream& w) {
                if (t == kTagSubWorld)
                    ReadSubWorld(w);
            });
        } else if (tag == kTagJava) {
            ForEachNested(s, [&](uint32_t t, SWchunkstream& j) {
                if (t == kTagJavaClass)
                    ReadJavaClass(j);
            });
        } else if (tag == kTagVariables) {
            m_world->GetVariables().ReadVariables(s);
        } else if (const std::optional<WorldSection> section = FindWorldSection(kTagStreamRoot, tag)) {
            const SWworldsectionhandler* handler = FindWorldSectionHandler(*section);
            if (handler != nullptr && handler->readStream != nullptr) {
                handler->readStream(*m_reading, s);
            } else if (handler == nullptr) {
                std::vector<uint8_t> bytes(static_cast<size_t>(s.Remaining()));
                s.ReadBytes(bytes);
                SWkeptsections::Of(*m_world).Payload(*section) = std::move(bytes);
            }
        }
    });
    LinkGroups(); // once, after every node table: a member may come later in the file than its group
}

std::unique_ptr<SWnode> MakeNode(uint16_t kind)
{
    if (kind & SWnode::kKindCamera)
        return std::make_unique<SWcameranode>();
    if (kind & SWnode::kKindMesh)
        return std::make_unique<SWmeshnode>();
    if (kind & SWnode::kKindObject)
        return std::make_unique<SWobjectnode>();
    if (kind & SWnode::kKindHotspot)
        return std::make_unique<SWhotspot>();
    return std::make_unique<SWnode>(kind);
}

void WorldReader::ReadNode(SWchunkstream& in, uint32_t position)
{
    m_positions.push_back(nullptr);
    ForEachNested(in, [&](uint32_t tag, SWchunkstream& s) {
        SWnode* node = m_positions[position];
        if (tag == kTagNodeHeader) {
            if (node == nullptr)
                ReadNodeHeader(s, position);
        } else if (node == nullptr) {
            return; // a node without its header, or one dropped
        } else if (tag == kTagObjectNode) {
            if (auto* object = dynamic_cast<SWobjectnode*>(node))
                ReadObjectNode(*object, s);
        } else if (tag == kTagCameraNode) {
            auto* camera = dynamic_cast<SWcameranode*>(node);
            const uint8_t eye = s.ReadU8();
            const uint8_t stereo = s.ReadU8();
            if (camera == nullptr || s.Status() != SWchunkstream::kStatusGood)
                return;
            camera->SetEye(eye);
            camera->SetStereoEye(stereo != 0);
        } else if (tag == kTagHotspot) {
            if (auto* hotspot = dynamic_cast<SWhotspot*>(node))
                ReadHotspot(*hotspot, s);
        } else if (tag == kTagGroup) {
            uint32_t count = 0;
            if (!s.ReadU32(count) || count > s.Remaining() / 4)
                return;
            std::vector<uint32_t> ids(count);
            for (uint32_t& id : ids)
                id = ReadReferencedId(s);
            m_groups.emplace_back(node, std::move(ids));
        } else if (tag == kTagVariables) {
            node->ReadVariables(s);
        }
    });
}

void WorldReader::ReadObjectNode(SWobjectnode& object, SWchunkstream& in)
{
    if (in.Remaining() < kMatrixBytes)
        return;
    std::array<float, 16> elements = {};
    for (float& e : elements)
        e = in.ReadF32();
    const uint8_t axisLock = in.ReadU8();
    object.SetInitialMatrix(SWmatrix(elements)); // the initial matrix is the local matrix as read
    object.SetAxisLock(axisLock);
    uint32_t geometry = kNoPosition;
    if (in.ReadU32(geometry) && geometry != kNoPosition)
        m_geometryLinks.emplace_back(&object, geometry);
    uint32_t keyFrameScheme = 0;
    uint32_t vertexScheme = 0;
    if (in.ReadU32(keyFrameScheme) && in.ReadU32(vertexScheme)) {
        object.SetKeyFrameSchemeId(keyFrameScheme);
        object.SetVertexSchemeId(vertexScheme);
    }
}

void WorldReader::ReadHotspot(SWhotspot& hotspot, SWchunkstream& in)
{
    std::optional<std::string> texture;
    in.ReadString(texture);
    std::array<float, 4> rect = {};
    std::array<float, 4> alterEgo = {};
    for (float& v : rect)
        v = in.ReadF32();
    for (float& v : alterEgo)
        v = in.ReadF32();
    // The shown size is applied after the picture, which sets its own, and is held inside it there.
    const uint32_t pictureWidth = in.ReadU32();
    const uint32_t pictureHeight = in.ReadU32();
    const uint8_t label = in.ReadU8();
    if (in.Status() != SWchunkstream::kStatusGood)
        return;
    hotspot.SetTextureName(std::move(texture));
    hotspot.SetRect(rect);
    hotspot.SetAlterEgoRect(alterEgo);
    hotspot.SetLabelState(label);
    const SWworldpicturecodec* codec = GetWorldPictureCodec();
    if (in.Remaining() < 8 || codec == nullptr || codec->read == nullptr)
        return;
    const uint32_t tag = in.TakeTag();
    const std::unique_ptr<SWchunkstream> picture = in.OpenChild();
    if (picture->Status() != SWchunkstream::kStatusGood)
        return;
    if (std::unique_ptr<SWtexture> image = codec->read(tag, *picture)) {
        hotspot.SetImage(std::move(image));
        constexpr uint32_t kLargest = std::numeric_limits<int32_t>::max();
        hotspot.SetPictureSize(static_cast<int32_t>(std::min(pictureWidth, kLargest)),
                               static_cast<int32_t>(std::min(pictureHeight, kLargest)));
    }
}

void WorldReader::ReadNodeHeader(SWchunkstream& in, uint32_t position)
{
    const uint32_t id = ReadObjectId(in);
    const uint32_t parentPosition = in.ReadU32();
    const uint16_t kind = in.ReadU16();
    const uint8_t enabled = in.ReadU8();
    std::optional<std::string> name;
    in.ReadString(name);
    if (in.Status() != SWchunkstream::kStatusGood)
        return;
    SWnode* node = nullptr;
    if (parentPosition == kNoPosition) {
        if (m_rootTaken)
            return; // one root node per world
        m_rootTaken = true;
        node = m_world->GetRootNode();
    } else {
        // A parent not earlier in the table, or dropped, drops this node and so every node below it.
        if (parentPosition >= position || m_positions[parentPosition] == nullptr)
            return;
        std::unique_ptr<SWnode> made = MakeNode(kind);
        // The parent is a node of this world already: no walk up to its root to prove it, as AddNode would.
        if (!m_positions[parentPosition]->AddChildNode(made.get()))
            return;
        node = made.release();
        node->SetKindFlags(kind);
    }
    if (id != 0)
        node->SetId(id);
    else if (parentPosition == kNoPosition)
        node->SetId(NextUniqueId()); // the world made its root before the file's ids were reserved
    node->SetEnabled(enabled != 0);
    node->SetName(std::move(name));
    m_positions[position] = node;
    m_byId.emplace(node->GetId(), node);
}

SWnode* WorldReader::FindNode(uint32_t id) const
{
    if (id == kIdNone || id == kIdUnset)
        return nullptr;
    const auto found = m_byId.find(id);
    return found == m_byId.end() ? nullptr : found->second;
}

void WorldReader::LinkGroups()
{
    std::vector<SWnode*> members;
    for (auto& [group, ids] : m_groups) {
        members.clear();
        for (const uint32_t id : ids)
            members.push_back(FindNode(id));
        group->AddGroupMembers(members);
    }
    m_groups.clear();
}

void WorldReader::ReadCameraList(SWchunkstream& in)
{
    uint32_t count = 0;
    if (!in.ReadU32(count) || count > in.Remaining() / 4)
        return;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t id = ReadReferencedId(in);
        if (auto* camera = dynamic_cast<SWcameranode*>(FindNode(id)))
            m_world->AddCamera(camera);
    }
}

void WorldReader::ReadCursor(SWchunkstream& in)
{
    const uint32_t id = ReadObjectId(in); // fresh when merging: removing a merge must find the merged cursor
    std::string name;
    std::string image;
    in.ReadString(name);
    in.ReadString(image);
    const int32_t x = in.ReadI32();
    const int32_t y = in.ReadI32();
    if (in.Status() != SWchunkstream::kStatusGood)
        return;
    SWcursor* cursor = m_world->GetCursorList().Add(std::move(name), id);
    cursor->imageFile = std::move(image);
    cursor->hotSpotX = x;
    cursor->hotSpotY = y;
}

void WorldReader::ReadSubWorld(SWchunkstream& in)
{
    std::optional<std::string> name, url, file;
    in.ReadString(name);
    in.ReadString(url);
    in.ReadString(file);
    const uint8_t limitFlag = in.ReadU8();
    const uint32_t limit = in.ReadU32();
    if (in.Status() != SWchunkstream::kStatusGood)
        return;
    CVTN_SubWorld* entry = m_world->GetSubWorlds().Add(std::move(name));
    entry->SetDownloadUrl(std::move(url));
    entry->SetFileName(std::move(file));
    entry->SetReferenceLimitFlag(limitFlag);
    entry->SetReferenceLimit(limit);
}

void WorldReader::ReadJavaClass(SWchunkstream& in)
{
    std::optional<std::string> name;
    std::string classPath;
    in.ReadString(name);
    in.ReadString(classPath);
    if (in.Status() != SWchunkstream::kStatusGood)
        return;
    auto entry = std::make_unique<SWjavaclassnode>();
    entry->SetName(std::move(name));
    entry->SetClassPath(std::move(classPath));
    ForEachNested(in, [&](uint32_t tag, SWchunkstream& s) {
        if (tag == kTagVariables)
            entry->ReadVariables(s);
    });
    m_world->AddJavaClass(std::move(entry));
}

void WorldReader::Link()
{
    for (const auto& [node, index] : m_geometryLinks) {
        if (auto* geometry = dynamic_cast<SWgeometry*>(m_reading->FindRecordObject(index)))
            node->SetGeometry(geometry);
    }
    for (SWnode* node = m_world->GetRootNode(); node != nullptr; node = node->NextInTree(m_world->GetRootNode())) {
        if (auto* hotspot = dynamic_cast<SWhotspot*>(node))
            hotspot->GetTexture(); // binds the name now; a name that finds nothing stays as it is
    }
    for (size_t i = 0; i < static_cast<size_t>(WorldSection::kCount); ++i) {
        const SWworldsectionhandler* handler = FindWorldSectionHandler(static_cast<WorldSection>(i));
        if (handler != nullptr && handler->link != nullptr)
            handler->link(*m_reading);
    }
}

} // namespace

WorldLoadResult ReadWorldFile(const SWdocumentfile& file, SWreadcontext& context, const WorldMaker& makeWorld)
{
    WorldLoadResult result;
    try {
        WorldReader reader(file, context, result, makeWorld);
        const bool read = reader.Read();
        if (context.LimitReached()) {
            result = WorldLoadResult();
            result.status = DocumentStatus::kOverLimit;
            result.message = "refused by the read limits: " + context.LimitText();
        } else if (const PayloadStatus failure = file.ReadFailure(); failure != PayloadStatus::kOk) {
            // Records read from a file that no longer holds what was checked would be left out unseen.
            result = WorldLoadResult();
            result.status = failure == PayloadStatus::kChanged ? DocumentStatus::kDamaged : DocumentStatus::kCannotRead;
            result.message = std::string(PayloadStatusText(failure)) + "; nothing of it was loaded";
        } else if (!read) {
            result = WorldLoadResult();
            result.status = DocumentStatus::kNotDocument;
            result.message = "the file holds no world";
        }
    } catch (const std::bad_alloc&) {
        result = WorldLoadResult();
        result.status = DocumentStatus::kOutOfMemory;
        result.message = DocumentStatusText(result.status);
    }
    return result;
}

WorldLoadResult LoadWorldFile(const std::string& path, SWreadcontext::IdMode mode, const SWreadlimits& limits,
                              const WorldMaker& makeWorld)
{
    // Read on demand: the file is checked whole first, then each record read as it becomes objects, and the whole
    // file is never held beside the world it makes.
    SWdocumentfile file;
    std::string error;
    const DocumentStatus status = SWdocumentfile::OpenFile(path, file, &error);
    if (status != DocumentStatus::kOk) {
        WorldLoadResult failed;
        failed.status = status;
        failed.message = std::move(error);
        return failed;
    }
    SWreadcontext context(mode);
    context.SetLimits(limits);
    WorldLoadResult result = ReadWorldFile(file, context, makeWorld);
    if (result.status != DocumentStatus::kOk)
        result.message = path + ": " + result.message;
    if (result.world)
        SetSubWorldFolders(*result.world, path);
    return result;
}

void SetSubWorldFolders(SWworld& world, const std::string& path)
{
    std::error_code error;
    const std::filesystem::path file = std::filesystem::absolute(path, error);
    const std::string folder =
        error ? std::filesystem::path(path).parent_path().string() : file.lexically_normal().parent_path().string();
    for (CVTN_SubWorld* entry = world.GetSubWorlds().GetFirst(); entry != nullptr;
         entry = CVTN_SubWorlds::GetNext(entry))
        entry->SetFolder(folder);
}
