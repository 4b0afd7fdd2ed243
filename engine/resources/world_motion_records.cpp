// The sounds of a world's file ("SNLS") and its motion blocks ("KFBK", "VSBK"), built from the nodes at every save
// and given back to their nodes by id once the node table is read.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/core/buffer.h"
#include "engine/core/mesh_node.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/read_context.h"
#include "engine/core/type_tag.h"
#include "engine/core/world.h"
#include "engine/core/world_sections.h"
#include "engine/resources/animation_schemes.h"
#include "engine/resources/compression_scheme.h"
#include "engine/resources/sound.h"
#include "engine/resources/world_records.h"
#include "engine/resources/world_records_internal.h"

namespace {

using namespace worldrecords;

constexpr uint32_t kTagSound = MakeTag("7403");
constexpr uint32_t kTagSoundFields = MakeTag("SFLD");
constexpr uint32_t kTagVariables = MakeTag("72PS");
constexpr uint32_t kTagKeyFrameHeader = MakeTag("KBHD");
constexpr uint32_t kTagVertexHeader = MakeTag("VBHD");

// -- Sounds ("SNLS", one "7403" per sound)

bool WriteSound(SWworldwriting& out, SWsound& sound, SWchunkstream& s)
{
    const SWcompressionscheme* chosen = sound.GetScheme();
    // The row's record is made first: storing the file tells the sound the file's size, which "SFLD" then carries,
    // so that the file loaded back gives the same fields.
    SWbuffer scheme;
    {
        SWchunkstream record(scheme, SWchunkstream::kWrite);
        record.SetFormatVersion(s.FormatVersion());
        if (!WriteSchemeRecord(out, SchemeKind::kSound, record, &sound, sound) || !Good(record))
            return false;
    }
    const bool fields = Nested(s, kTagSoundFields, [&](SWchunkstream& f) {
        f.WriteString(sound.GetName());
        f.WriteString(sound.GetStoredFileName());
        f.WriteU8(sound.GetType());
        f.WriteU64(sound.GetFileSize());
        f.WriteU32(sound.GetQualityPercent());
        f.WriteU8(sound.GetSc36Variant());
        f.WriteU32(chosen ? chosen->GetId() : 0);
        f.WriteU32(sound.GetRangeStartMs());
        f.WriteU32(sound.GetRangeEndMs());
        f.WriteU8(sound.GetPlayOption(0));
        f.WriteU8(sound.GetPlayOption(1));
        f.WriteU8(sound.GetLoop());
        f.WriteU32(sound.GetRepeatCount());
        return f.WriteU8(sound.GetStoredReady()); // loading and playing set the live flag
    });
    const bool variables = fields && Nested(s, kTagVariables, [&](SWchunkstream& v) {
                               return out.World().GetSoundVariables(sound).WriteVariables(v);
                           });
    return variables && s.WriteBytes(scheme.FlatBytes());
}

bool WriteSounds(SWworldwriting& out, uint32_t worldIndex)
{
    const std::optional<uint32_t> list = out.AddRecord(WorldSectionTag(WorldSection::kSounds), worldIndex, nullptr);
    if (!list)
        return false;
    SWsoundlist& sounds = out.World().GetSoundList();
    for (SWsound* sound = sounds.GetFirst(); sound != nullptr; sound = sounds.GetNext(sound)) {
        if (!out.AddRecord(kTagSound, *list, [&](SWchunkstream& s) { return WriteSound(out, *sound, s); }))
            return false;
    }
    return true;
}

bool ReadSoundFields(SWchunkstream& in, SWsound& sound)
{
    std::string name;
    std::string file;
    in.ReadString(name);
    in.ReadString(file);
    const uint8_t type = in.ReadU8();
    const uint64_t size = in.ReadU64();
    const uint32_t quality = in.ReadU32();
    const uint8_t variant = in.ReadU8();
    const uint32_t chosen = in.ReadU32();
    const uint32_t start = in.ReadU32();
    const uint32_t end = in.ReadU32();
    const uint8_t first = in.ReadU8();
    const uint8_t second = in.ReadU8();
    const uint8_t loop = in.ReadU8();
    const uint32_t repeat = in.ReadU32();
    const uint8_t ready = in.ReadU8();
    if (!Good(in))
        return false;
    sound.SetName(std::move(name));
    sound.SetFileName(std::move(file));
    sound.SetType(type); // as stored: the file may be elsewhere now, or restored later by the sound's row
    sound.SetFileSize(size);
    sound.SetQualityPercent(quality);
    sound.SetSc36Variant(variant);
    sound.SetScheme(RowOf(chosen, SchemeKind::kSound));
    sound.SetPlayRange(start, end);
    sound.SetPlayOption(0, first);
    sound.SetPlayOption(1, second);
    sound.SetLoop(loop);
    sound.SetRepeatCount(repeat);
    sound.SetReady(ready);
    sound.SetStoredReady(ready);
    return true;
}

bool ReadSounds(SWworldreading& in, uint32_t index)
{
    SWworld& world = in.World();
    for (const uint32_t child : in.Children(index)) {
        if (in.Tag(child) != kTagSound) {
            in.Skip(child, "not a sound");
            continue;
        }
        SWworldreading::Payload payload;
        if (!in.Open(child, payload))
            continue;
        // In the list from the start, so that a damaged one goes with its variables through RemoveSound.
        SWsound* sound = world.GetSoundList().Add(std::make_unique<SWsound>());
        sound->SetWorld(&world);
        bool fields = false;
        bool damaged = false;
        ForEachNested(*payload.stream, [&](uint32_t tag, SWchunkstream& s) {
            if (damaged)
                return;
            if (tag == kTagSoundFields) {
                fields = ReadSoundFields(s, *sound);
                damaged = !fields;
            } else if (tag == kTagVariables && fields) {
                world.GetSoundVariables(*sound).ReadVariables(s);
            } else if (const SWcompressionscheme* row = RowOf(tag, SchemeKind::kSound); row && fields) {
                const std::string stored = sound->GetStoredFileName();
                const uint8_t type = sound->GetType();
                damaged = !row->Read(s, sound, 0) || !Good(s);
                // The row restores the file under a temporary name; documents go on naming the file as stored.
                if (!damaged && sound->GetFileName() != stored) {
                    sound->SetStoredFileName(stored);
                    sound->SetType(type);
                }
            }
        });
        if (!fields || damaged) {
            in.Skip(child, "sound does not read");
            ReportDamaged("sound", sound->GetName());
            world.RemoveSound(sound);
        }
    }
    return true;
}

// -- Motion blocks (one "KFBK" per object node with tracks, one "VSBK" per mesh node with vertex frames)

bool WriteKeyFrameBlocks(SWworldwriting& out, uint32_t rootIndex)
{
    SWnode* root = out.World().GetRootNode();
    for (SWnode* node = root; node != nullptr; node = node->NextInTree(root)) {
        auto* object = dynamic_cast<SWobjectnode*>(node);
        if (object == nullptr || object->GetAnimationTracks().GetTrackCount() == 0)
            continue;
        SWkeyframeblock block;
        block.SetNodeId(object->GetId());
        block.SetTracks(object->GetAnimationTracks());
        block.SetScheme(RowOf(object->GetKeyFrameSchemeId(), SchemeKind::kKeyFrames));
        const auto fill = [&](SWchunkstream& s) {
            return Nested(s, kTagKeyFrameHeader,
                          [&](SWchunkstream& h) {
                              h.WriteU32(block.GetNodeId());
                              return h.WriteU32(object->GetKeyFrameSchemeId());
                          }) &&
                   WriteSchemeRecord(out, SchemeKind::kKeyFrames, s, &block, block);
        };
        if (!out.AddRecord(WorldSectionTag(WorldSection::kKeyFrameBlocks), rootIndex, fill))
            return false;
    }
    return true;
}

bool WriteVertexBlocks(SWworldwriting& out, uint32_t rootIndex)
{
    SWnode* root = out.World().GetRootNode();
    for (SWnode* node = root; node != nullptr; node = node->NextInTree(root)) {
        auto* mesh = dynamic_cast<SWmeshnode*>(node);
        if (mesh == nullptr || mesh->GetVertexFrameTable() == nullptr)
            continue;
        SWvertexstreamblock block;
        block.SetNodeId(mesh->GetId());
        if (!block.CopyFrom(*mesh->GetVertexFrameTable()))
            return false;
        block.SetScheme(RowOf(mesh->GetVertexSchemeId(), SchemeKind::kVertexStreams));
        const auto fill = [&](SWchunkstream& s) {
            return Nested(s, kTagVertexHeader,
                          [&](SWchunkstream& h) {
                              h.WriteU32(block.GetNodeId());
                              return h.WriteU32(mesh->GetVertexSchemeId());
                          }) &&
                   WriteSchemeRecord(out, SchemeKind::kVertexStreams, s, &block, block);
        };
        if (!out.AddRecord(WorldSectionTag(WorldSection::kVertexBlocks), rootIndex, fill))
            return false;
    }
    return true;
}

// The blocks read, waiting for the node table.
struct PendingBlocks : SWworldreading::Scratch {
    std::vector<std::unique_ptr<SWmotionblock>> blocks;
};

bool ReadBlock(SWworldreading& in, uint32_t index, WorldSection section, std::unique_ptr<SWmotionblock> block)
{
    const bool keyFrames = section == WorldSection::kKeyFrameBlocks;
    const uint32_t headerTag = keyFrames ? kTagKeyFrameHeader : kTagVertexHeader;
    const SchemeKind kind = keyFrames ? SchemeKind::kKeyFrames : SchemeKind::kVertexStreams;
    SWworldreading::Payload payload;
    if (!in.Open(index, payload))
        return true; // listed as skipped already
    bool header = false;
    bool body = false;
    bool damaged = false;
    ForEachNested(*payload.stream, [&](uint32_t tag, SWchunkstream& s) {
        if (damaged)
            return;
        if (tag == headerTag && !header) {
            const uint32_t node = ReadReferencedId(s);
            const uint32_t chosen = s.ReadU32();
            header = Good(s);
            damaged = !header;
            block->SetNodeId(node);
            block->SetScheme(RowOf(chosen, kind));
        } else if (const SWcompressionscheme* row = RowOf(tag, kind); row && header && !body) {
            body = row->Read(s, block.get(), 0) && Good(s);
            damaged = !body;
        }
    });
    if (!header || !body) {
        ReportDamaged(keyFrames ? "key-frame block" : "vertex-stream block", std::to_string(block->GetNodeId()));
        return false;
    }
    std::unique_ptr<SWworldreading::Scratch>& scratch = in.ScratchOf(section);
    if (!scratch)
        scratch = std::make_unique<PendingBlocks>();
    static_cast<PendingBlocks&>(*scratch).blocks.push_back(std::move(block));
    return true;
}

bool ReadKeyFrameBlock(SWworldreading& in, uint32_t index)
{
    return ReadBlock(in, index, WorldSection::kKeyFrameBlocks, std::make_unique<SWkeyframeblock>());
}

bool ReadVertexBlock(SWworldreading& in, uint32_t index)
{
    return ReadBlock(in, index, WorldSection::kVertexBlocks, std::make_unique<SWvertexstreamblock>());
}

// A block whose node is not there (dropped, or another kind) is left out: the node it belonged to is gone.
void LinkKeyFrameBlocks(SWworldreading& in)
{
    auto* pending = static_cast<PendingBlocks*>(in.ScratchOf(WorldSection::kKeyFrameBlocks).get());
    for (size_t i = 0; pending != nullptr && i < pending->blocks.size(); ++i) {
        auto& block = static_cast<SWkeyframeblock&>(*pending->blocks[i]);
        auto* node = dynamic_cast<SWobjectnode*>(in.World().GetRootNode()->FindById(block.GetNodeId()));
        if (node != nullptr)
            node->GetAnimationTracks() = block.GetTracks();
    }
}

void LinkVertexBlocks(SWworldreading& in)
{
    auto* pending = static_cast<PendingBlocks*>(in.ScratchOf(WorldSection::kVertexBlocks).get());
    for (size_t i = 0; pending != nullptr && i < pending->blocks.size(); ++i) {
        auto& block = static_cast<SWvertexstreamblock&>(*pending->blocks[i]);
        auto* node = dynamic_cast<SWmeshnode*>(in.World().GetRootNode()->FindById(block.GetNodeId()));
        if (node != nullptr)
            node->SetVertexFrameTable(block.TakeTable()); // the block goes with the reading
    }
}

constexpr SWworldsectionhandler kSoundSection = {.write = &WriteSounds, .read = &ReadSounds};
constexpr SWworldsectionhandler kKeyFrameSection = {
    .write = &WriteKeyFrameBlocks, .read = &ReadKeyFrameBlock, .link = &LinkKeyFrameBlocks};
constexpr SWworldsectionhandler kVertexSection = {
    .write = &WriteVertexBlocks, .read = &ReadVertexBlock, .link = &LinkVertexBlocks};

const SWworldsectionregistration kSoundsRegistered(WorldSection::kSounds, &kSoundSection);
const SWworldsectionregistration kKeyFramesRegistered(WorldSection::kKeyFrameBlocks, &kKeyFrameSection);
const SWworldsectionregistration kVertexRegistered(WorldSection::kVertexBlocks, &kVertexSection);

} // namespace
