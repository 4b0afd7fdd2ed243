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
#include <vector>

#include "engine/core/world_file.h"

class SWnode;
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
};

struct MergeEntry {
    MergedKind kind = MergedKind::kNode;
    uint32_t id = 0;        // nodes, events, cursors; 0 for kinds without one
    std::string name;       // as it is in the target
    std::string nameInFile; // as the file had it
    bool operator==(const MergeEntry&) const = default;
};

struct MergeRecord {
    std::string fileName;
    std::vector<MergeEntry> entries; // in the order they were merged; nodes in pre-order
};

struct MergeOptions {
    SWnode* parent = nullptr; // of the target's tree; null: its root node
    bool uniqueNames = true;  // a scene import renames clashes; an instance keeps its names
};

// The file at path read to be merged: fresh ids; status other than kOk: nothing to merge.
WorldLoadResult ImportWorld(const std::string& path);
// Moves the import's nodes (with its cameras) and loadable-world entries into target; import keeps the rest (its
// background definition among it, for the caller to offer). fileName goes into the record.
MergeRecord MergeWorld(SWworld& target, SWworld& import, const MergeOptions& options, std::string fileName);
// Deletes what record lists from target, through the world's own deletion, which first drops every reference the
// world holds to them (groups, cameras, arcball). Answers how many listed objects were found and removed.
size_t RemoveMerged(SWworld& target, const MergeRecord& record);
