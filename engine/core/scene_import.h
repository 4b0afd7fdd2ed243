#pragma once
// Import of a scene file into a world: the file is read into an import world of its own with fresh ids, then its
// nodes and entries are moved into the target under the target's lock, and a merge record lists what came in, so
// that RemoveMerged can take exactly that out again.
//
// A scene import makes names unique per kind ("%s_%d"); a loadable-world instance keeps its names, so its actions,
// which find nodes by name from the root, may reach another instance's nodes of the same name.
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/core/world_file.h"

class SWjavaclassnode;
class SWmaterial;
class SWnode;
class SWsound;
class SWtexture;
class SWworld;

enum class MergedKind : uint8_t {
    kNode = 0,
    kTexture = 1,
    kMaterial = 2,
    kSound = 3,
    kCursor = 4,
    kEvent = 5,
    kSpeechData = 6,
    kGeometry = 7,
    kJavaEntry = 8,
    kBlock = 9,
    kSubWorld = 10, // a loadable-world entry
    kExpression = 11,
    kTooltip = 12,
};

// The kinds that a removal takes only when asked to take the resources too.
inline bool IsMergedResource(MergedKind kind)
{
    return kind == MergedKind::kTexture || kind == MergedKind::kMaterial || kind == MergedKind::kSound;
}

struct MergeEntry {
    MergedKind kind = MergedKind::kNode;
    uint32_t id = 0;        // nodes, events, cursors; 0 for kinds without one
    std::string name;       // as it is in the target
    std::string nameInFile; // as the file had it
    // Run time only, never stored: the texture, material, sound or Java entry itself, because two instances of one
    // loadable world keep the same names, and so do two scene files' Java entries. Only compared with the target's
    // lists, never followed; null: found by name.
    const void* object = nullptr;
    bool operator==(const MergeEntry& other) const // the stored fields
    {
        return kind == other.kind && id == other.id && name == other.name && nameInFile == other.nameInFile;
    }
};

struct MergeRecord {
    std::string fileName;
    std::vector<MergeEntry> entries; // in the order they were merged; nodes in pre-order
    // Run time only, never stored: the target's next action id before and after the merge, so that taking the
    // merge out gives back the ids its actions took when nothing holds them any more.
    uint32_t actionIdsFrom = 0;
    uint32_t actionIdsTo = 0;
};

// The kinds a merge takes, as the load-world action's import flags give them; a kind whose bit is clear stays in
// the import. Nodes of a kind left out are dissolved: their merged descendants join their nearest merged ancestor.
// Textures and materials that merged meshes, materials and hot spots use always come along with them.
enum MergeKindBits : uint32_t {
    kMergeMeshes = 1u << 0,
    kMergeBones = 1u << 1,   // object nodes that vertex bindings name
    kMergeDummies = 1u << 2, // other object nodes, groups and hot spots
    kMergeParticles = 1u << 3,
    kMergeCameras = 1u << 4,
    kMergeSkinData = 1u << 5, // vertex bindings of merged meshes
    kMergeSounds = 1u << 6,
    kMergeCursors = 1u << 7,
    kMergeTooltips = 1u << 8,
    kMergeEvents = 1u << 9,
    kMergeActions = 1u << 10,
    kMergeJavaActions = 1u << 11,
    kMergeExpressions = 1u << 12,
    kMergeResources = 1u << 13, // every texture and material, used or not
    kMergeAll = (1u << 14) - 1,
};

struct MergeOptions {
    SWnode* parent = nullptr; // of the target's tree; null: its root node
    bool uniqueNames = true;  // a scene import renames clashes; an instance keeps its names
    uint32_t kinds = kMergeAll;
    bool entries = true; // cursors, Java entries, loadable-world entries and events (a resynchronisation's
                         // newcomers bring none)
};

// What Resynchronise applies, one flag per option (the loadable-world entry's options, in their order).
struct ResyncOptions {
    bool textures = false;    // the pixels of the recorded textures
    bool materials = false;   // the fields of the recorded materials
    bool hierarchy = false;   // the parents of the recorded nodes
    bool transforms = false;  // their local matrices
    bool motion = false;      // their key-frame tracks and vertex frames
    bool objects = false;     // nodes new in the file are added; the recorded nodes' geometry is replaced
    bool background = false;  // left in the import for the caller to offer
    bool onLoad = false;      // the project's: synchronise whenever it opens
    bool keepRemoved = false; // set: recorded objects missing from the file stay; clear: they are removed
};

// The file at path read to be merged: fresh ids; status other than kOk: nothing to merge (message says why).
WorldLoadResult ImportWorld(const std::string& path, const SWreadlimits& limits = SWreadlimits::Defaults());
// Moves the import's nodes (with its cameras) and loadable-world entries into target; import keeps the rest (its
// background definition among it, for the caller to offer). fileName goes into the record. With options.entries,
// each section handler's merge hook then runs in section order (world_sections.h), the tooltips' only with
// kMergeTooltips, the expressions' only with kMergeExpressions, the events' only with kMergeEvents.
MergeRecord MergeWorld(SWworld& target, SWworld& import, const MergeOptions& options, std::string fileName);
// Deletes what record lists from target, through the world's own deletion, which first drops every reference the
// world holds to them (groups, cameras, arcball, materials and hot spots using a texture, registered texture
// holders): nothing is left pointing at a deleted object. A material some mesh of the target still uses is kept.
// Kinds the core does not own (speech data, blocks, expressions, tooltips) are offered to the section handlers'
// removeMerged hooks in section order, until one takes the entry.
// resources false keeps the textures, materials and sounds. Answers how many listed objects were removed.
size_t RemoveMerged(SWworld& target, const MergeRecord& record, bool resources = true);
// The resource an entry names, as RemoveMerged finds it: the very object merged while it is still in the target's
// list under the recorded name (a name check too, since a freed address may come back as another object); by name
// for an entry read from a file. Null when neither holds.
SWsound* MergedSound(SWworld& target, const MergeEntry& entry);
// The same for a Java entry: the very one while it is in the list under the recorded name; the last of the name for
// an entry read from a file.
SWjavaclassnode* MergedJavaEntry(SWworld& target, const MergeEntry& entry);
// The same for textures and materials, the target's lists gathered once for every entry of a record: a record of
// thousands of textures looked up one at a time walked the list of thousands for each. Valid while those lists do
// not change, but for what Forget is told.
class MergedResourceLookup {
public:
    explicit MergedResourceLookup(SWworld& target);
    SWtexture* Texture(const MergeEntry& entry) const;
    SWmaterial* Material(const MergeEntry& entry) const;
    void Forget(const void* resource); // deleted: its address may come back as another object

private:
    SWworld& m_target;
    std::unordered_set<const void*> m_textures;
    std::unordered_set<const void*> m_materials;
};
// Brings what record lists in target up to date with import (the same file read again), option by option; new
// objects go into record. parent: where new nodes go (null: the root node). Answers how many objects changed.
// Nothing the target keeps points into import afterwards: geometry taken over draws with the materials the record
// brought before (one new in the file comes over with its textures) and binds the target's nodes.
size_t Resynchronise(SWworld& target, SWworld& import, MergeRecord& record, const ResyncOptions& options,
                     SWnode* parent = nullptr);
