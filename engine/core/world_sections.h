#pragma once
// The sections of a world's file that code above the engine core writes and reads: the resource lists, the sounds,
// the speech data, the motion blocks, and the behaviour sections of the stream root. The world file (world_file.cpp)
// writes and reads the frame ("WRLD", "ROOT", "HEAD", "5PTS" with the node table and the core's own sub-records)
// and hands each section to the handler installed for it, in the order the file keeps them:
//
//   under "ROOT", object records: "TXLS", "MTLS", "BGLS", "GMLS", "QJSH" (any number), "KFBK", "VSBK" (any number)
//   under "WRLD", object records: "SNLS" (after "ROOT", before "5PTS")
//   inside "5PTS", sub-records after the world's "72PS": "TTIP", "72EX", "72ES"
//
// A section with no handler is kept as it was read: the records of a record section (with their descendants) or
// the payload of a sub-record are held as bytes by the world and written back unchanged, so a file saved by a
// program that lacks a part loses nothing of it.
//
// How to register: once, at start-up, from a namespace-scope SWworldsectionregistration in your own source file,
// as the block filters and the tag registry do. A handler's functions are plain function pointers; any of them may
// be null (a null write writes nothing; a null read skips the record or keeps nothing), except that a sub-record
// section whose handler has neither writeStream nor readStream (one that only merges or links) is kept as bytes
// as without a handler: FindWorldSectionHandler answers a copy of it whose readStream keeps the payload. A section
// takes one handler: a second registration for it loses and keeps the first.
//
//   bool WriteTextureList(SWworldwriting& out, uint32_t rootIndex);   // AddRecord("TXLS", rootIndex, ...) etc.
//   bool ReadTextureList(SWworldreading& in, uint32_t index);         // index: the "TXLS" record; in.Children(index)
//   void LinkTextures(SWworldreading& in);                            // after every record of the world was read
//   constexpr SWworldsectionhandler kTextures = {&WriteTextureList, &ReadTextureList, &LinkTextures};
//   const SWworldsectionregistration kTexturesRegistered(WorldSection::kTextures, &kTextures);
//
// For a sub-record section ("TTIP", "72EX", "72ES") the handler writes and reads the sub-record's payload through
// writeStream and readStream instead; the world file frames it. Write functions answer false only when the save
// must fail (out of memory, a stream error); a resource they cannot write they report and leave out. Read
// functions answer false when the record is damaged: the world reader lists it as skipped and goes on.
//
// Reading order: every record under "ROOT" and "WRLD" is read in file order, then the node table of "5PTS"; the
// link functions run last, in section order, after the core has bound the nodes' geometry (by record index) and
// the hot spots' textures. Ids read by a section go through ReadObjectId and ReadReferencedId (read_context.h),
// whose context every stream handed here carries.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/core/world.h"
#include "engine/core/world_file.h"

class CVTN_Container;
class SWchunkstream;
class SWdocumentfile;
struct MergeEntry;
struct MergeRecord;
class SWdocumentwriter;
class SWreadcontext;
class SWtexture;

enum class WorldSection : uint8_t {
    // Object records under "ROOT", in this order
    kTextures,       // "TXLS"
    kMaterials,      // "MTLS"
    kBackgrounds,    // "BGLS"
    kGeometry,       // "GMLS"
    kSpeech,         // "QJSH"
    kKeyFrameBlocks, // "KFBK"
    kVertexBlocks,   // "VSBK"
    // Object records under "WRLD"
    kSounds, // "SNLS"
    // Sub-records of "5PTS", in this order
    kTooltips,    // "TTIP"
    kExpressions, // "72EX" (before the events: action arguments look expression entries up while they load)
    kEvents,      // "72ES"
    kCount,
};

uint32_t WorldSectionTag(WorldSection section);
bool IsStreamSection(WorldSection section); // a sub-record of "5PTS" rather than object records
std::optional<WorldSection> FindWorldSection(uint32_t parentTag, uint32_t tag); // parentTag "ROOT", "WRLD", "5PTS"

// What a section writer is given: the world (locked by the caller), the mode and the document being written.
class SWworldwriting {
public:
    using Fill = std::function<bool(SWchunkstream&)>;

    SWworldwriting(SWworld& world, WorldFileMode mode, SWdocumentwriter& writer)
        : m_world(world), m_mode(mode), m_writer(writer)
    {
    }

    SWworld& World() const { return m_world; }
    WorldFileMode Mode() const { return m_mode; }
    SWdocumentwriter& Writer() const { return m_writer; }
    // Appends one object record under parent whose payload fill writes (null: empty); its index, or nullopt when
    // fill or the writer failed (nothing half-written is left).
    std::optional<uint32_t> AddRecord(uint32_t tag, uint32_t parent, const Fill& fill);
    // The record index an object was written at during this save (node geometry refers to it so).
    void NoteRecord(const CVTN_Container* object, uint32_t index) { m_records[object] = index; }
    std::optional<uint32_t> FindRecord(const CVTN_Container* object) const;

    // Progress between resources (the world file sets it): while a record section is written, each record its
    // writer adds under the section's parent, or under the empty list record it added there first, is one
    // resource; nested records are parts of theirs.
    void SetProgress(const WorldWriteProgress* progress, uint32_t total);
    void BeginSection(WorldSection section, uint32_t parent);
    void EndSection() { m_sectionParent.reset(); }

private:
    void CountResource(uint32_t parent, bool hasPayload, uint32_t index);

    SWworld& m_world;
    WorldFileMode m_mode;
    SWdocumentwriter& m_writer;
    std::unordered_map<const CVTN_Container*, uint32_t> m_records;
    const WorldWriteProgress* m_progress = nullptr; // not owned; null: nobody listens
    uint32_t m_done = 0;
    uint32_t m_total = 0;
    const char* m_sectionName = "";
    std::optional<uint32_t> m_sectionParent; // set while a record section is written
    std::optional<uint32_t> m_sectionList;
};

// What a section reader is given: the world being built, the file and its read context.
class SWworldreading {
public:
    // A payload and the stream over it, with the format version and read context set.
    struct Payload {
        std::vector<uint8_t> bytes; // decoded, or read from a file on demand; empty for a stored one in memory
        std::unique_ptr<SWchunkstream> stream;
    };
    // A section's state between its reads and its link: derive from it and keep it in Scratch.
    class Scratch {
    public:
        virtual ~Scratch() = default;
    };

    SWworldreading(SWworld& world, const SWdocumentfile& file, SWreadcontext& context,
                   std::vector<SkippedRecord>& skipped);
    ~SWworldreading();

    SWworld& World() const { return m_world; }
    const SWdocumentfile& File() const { return m_file; }
    SWreadcontext& Context() const { return m_context; }
    uint32_t FormatVersion() const;
    uint32_t Tag(uint32_t index) const;
    // The records whose parent is index, in file order (framed ones only).
    const std::vector<uint32_t>& Children(uint32_t index) const;
    // The payload of index decoded and opened, once in a reading: a large payload gives its pages back as it is read
    // and leaves zeros behind the stream. False, with the record listed as skipped, when it does not decode.
    bool Open(uint32_t index, Payload& out);
    // Lists index and its descendants as skipped with reason.
    void Skip(uint32_t index, const std::string& reason);
    // The object read from record index, for links by record index (node geometry); null when none.
    void SetRecordObject(uint32_t index, CVTN_Container* object) { m_objects[index] = object; }
    CVTN_Container* FindRecordObject(uint32_t index) const;
    std::unique_ptr<Scratch>& ScratchOf(WorldSection section) { return m_scratch[static_cast<size_t>(section)]; }

private:
    void IndexChildren();

    SWworld& m_world;
    const SWdocumentfile& m_file;
    SWreadcontext& m_context;
    std::vector<SkippedRecord>& m_skipped;
    std::vector<std::vector<uint32_t>> m_children; // by parent index; the last entry: top-level records
    std::vector<bool> m_isSkipped;
    std::unordered_map<uint32_t, CVTN_Container*> m_objects;
    std::array<std::unique_ptr<Scratch>, static_cast<size_t>(WorldSection::kCount)> m_scratch;
};

struct SWworldsectionhandler {
    // Record sections: appends the section's records under parentIndex ("ROOT" or "WRLD").
    bool (*write)(SWworldwriting& out, uint32_t parentIndex) = nullptr;
    // Record sections: reads the record at index (the section's tag) with its descendants.
    bool (*read)(SWworldreading& in, uint32_t index) = nullptr;
    // Both kinds: runs once after every record of the world was read.
    void (*link)(SWworldreading& in) = nullptr;
    // Sub-record sections: the payload of the section's sub-record of "5PTS".
    bool (*writeStream)(SWworldwriting& out, SWchunkstream& payload) = nullptr;
    bool (*readStream)(SWworldreading& in, SWchunkstream& payload) = nullptr;
    // Sub-record sections, read keeping the file's ids: before anything of the file is read, reserves the ids the
    // payload stores for its objects (ReserveObjectId), so that no id made while reading takes one of them.
    void (*reserveIds)(SWchunkstream& payload) = nullptr;
    // Merging a file into a world (scene import, sub-worlds): moves the section's objects from import into target
    // under both locks, renumbering what must be unique in the target, and lists them in record. kinds: the
    // MergeKindBits of scene_import.h. Null: the events move as they are; other sections stay in the import.
    // MergeWorld runs it for every section that has one, in section order, after the core's own merge and only
    // when the merge takes entries; the tooltips' needs kMergeTooltips, the expressions' kMergeExpressions and
    // the events' kMergeEvents.
    void (*merge)(SWworld& target, SWworld& import, uint32_t kinds, MergeRecord& record) = nullptr;
    // Taking a merge out again (RemoveMerged): removes from target what entry lists, for the merged kinds the core
    // does not own (speech data, blocks, expressions, tooltips). Answers true when it removed the entry; an entry
    // is offered to each section's hook in section order until one takes it.
    bool (*removeMerged)(SWworld& target, const MergeEntry& entry) = nullptr;
};

// The handler of section as the world file uses it (see above for one that only merges or links), or null.
// Handlers are installed at start-up and then only read.
const SWworldsectionhandler* FindWorldSectionHandler(WorldSection section);
// Installs handler (not owned: a static of its registrant) and answers the one it replaced. For tests and tools
// that put a fake in place for a while and restore the previous one; programs register.
const SWworldsectionhandler* ReplaceWorldSectionHandler(WorldSection section, const SWworldsectionhandler* handler);

struct SWworldsectionregistration {
    SWworldsectionregistration(WorldSection section, const SWworldsectionhandler* handler);
    bool registered; // false when the section already had a handler (which is kept)
};

// How a hot spot's picture is stored inside its "NHOT" (a nested image record); the image classes live above the
// core and install it at start-up.
struct SWworldpicturecodec {
    bool (*write)(SWtexture& picture, SWchunkstream& out) = nullptr; // one nested record
    // The picture of the nested record tag whose payload is in; null when damaged (in's status tells).
    std::unique_ptr<SWtexture> (*read)(uint32_t tag, SWchunkstream& in) = nullptr;
};
const SWworldpicturecodec* GetWorldPictureCodec(); // null until installed
void SetWorldPictureCodec(const SWworldpicturecodec* codec);

// The sections a world read without their handler, kept as bytes to be written back unchanged.
class SWkeptsections : public SWworldpart {
public:
    struct Record {
        uint32_t tag = 0;
        uint32_t parent = 0; // within the kept list: the position of its parent; kNoKeptParent for a section's top
        std::vector<uint8_t> payload;
    };
    static constexpr uint32_t kNoKeptParent = 0xFFFFFFFF;

    static SWkeptsections* Find(const SWworld& world);
    static SWkeptsections& Of(SWworld& world); // made on first use

    std::vector<Record>& Records(WorldSection section) { return m_records[static_cast<size_t>(section)]; }
    std::optional<std::vector<uint8_t>>& Payload(WorldSection section)
    {
        return m_payloads[static_cast<size_t>(section)];
    }

private:
    std::array<std::vector<Record>, static_cast<size_t>(WorldSection::kCount)> m_records;
    std::array<std::optional<std::vector<uint8_t>>, static_cast<size_t>(WorldSection::kCount)> m_payloads;
};
