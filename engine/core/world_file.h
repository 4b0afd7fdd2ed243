#pragma once
// The world's records in a document: "WRLD" with its version and settings, then "ROOT" (the root object with the
// header object), then "5PTS" (the stream root: the node table, cameras, arcball, cursors, loadable worlds and the
// world's variables). docs/formats.md has every layout.
//
// Versions: the world's format version is its own "WVER" (951 as we write it), whatever the container's digits say,
// so a project file ("0942") holds world records of 951; a file without "WVER" is read at its header's digits. A
// version above ours is read, unknown records skipped, and reported as newer. The build number of the header object
// gates the conversions of old actions at load; the writer always writes ours, never the one it read, so a
// converted file is never converted again.
//
// A load reads into a new world: a file that fails leaves the caller's world as it was.
//
// Limits: what a load may decode is bounded by its read context's SWreadlimits (read_context.h). A world that
// reaches a limit is refused whole (kOverLimit), never loaded in part: the records read so far are dropped.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/document_file.h"
#include "engine/core/document_objects.h"
#include "engine/core/read_context.h"

class SWworld;

inline constexpr uint32_t kWorldFormatVersion = 951;
inline constexpr uint32_t kCurrentBuildNumber = 4100; // old-action conversions run below 4000

enum class WorldFileMode : uint8_t {
    kScene = 0,     // ".vtn": lossless, nothing compressed
    kProject = 1,   // the world part of ".vtp": as the scene, in a "0942" container
    kPublished = 2, // ".vto": payloads of 256 bytes or more deflated where worth it
};

struct WorldLoadResult {
    DocumentStatus status = DocumentStatus::kOk;
    std::unique_ptr<SWworld> world; // null unless status is kOk
    uint32_t version = 0;           // the world's format version (GetFileVersionNumber)
    bool newer = false;             // written by a newer writer than ours
    std::vector<SkippedRecord> skipped;
    std::string message; // unless status is kOk: the file's name (when loaded by path) and the cause, one line
};

// Told between resources while a world is written, on the writing thread: done of total resources (textures,
// materials, backgrounds, geometry, motion blocks, sounds) are written, the last one of section ("meshes"). done
// never passes total. Anything else the callback does must not touch the world, whose lock the writer holds.
using WorldWriteProgress = std::function<void(uint32_t done, uint32_t total, const char* section)>;

// Makes the world object a load reads into (a program's own world derived from SWworld); null or empty: SWworld.
using WorldMaker = std::function<std::unique_ptr<SWworld>()>;

// Which parts a write covers: all of them for a file. A check whether something changed writes only what could
// have, so that it costs what those parts cost and not what the whole world does. The world's settings, its header
// and the small lists of its stream root (cameras, cursors, sub-worlds, classes, variables) are always written.
struct WorldWriteParts {
    uint32_t sections = ~0u; // bit (1 << WorldSection): the record sections and the stream sections written
    bool nodes = true;       // the node table
    bool Has(uint32_t sectionIndex) const { return (sections >> sectionIndex & 1u) != 0; }
};

// Appends the world's records under parentIndex (kDocumentNoParent at top level; the project record in a project).
bool WriteWorldRecords(SWworld& world, SWdocumentwriter& writer, uint32_t parentIndex,
                       WorldFileMode mode = WorldFileMode::kScene, const WorldWriteProgress& progress = {},
                       const WorldWriteParts& parts = {});
// The whole file of world in mode; kTooLarge or kOutOfMemory leave out empty.
DocumentStatus WriteWorldFile(SWworld& world, WorldFileMode mode, std::vector<uint8_t>& out,
                              const WorldWriteProgress& progress = {});
DocumentStatus SaveWorldFile(SWworld& world, WorldFileMode mode, const std::string& path,
                             std::string* outError = nullptr);

// The world of file's first "WRLD" record; ids as the context's mode says, limits as its Limits() say. A file read on
// demand that changed or could not be read again meanwhile (SWdocumentfile::ReadFailure) fails the whole load.
WorldLoadResult ReadWorldFile(const SWdocumentfile& file, SWreadcontext& context, const WorldMaker& makeWorld = {});
// The file at path read whole (refused when longer than limits.maxBytes) and its world read; its loadable worlds
// are found beside it (SetSubWorldFolders).
WorldLoadResult LoadWorldFile(const std::string& path, SWreadcontext::IdMode mode,
                              const SWreadlimits& limits = SWreadlimits::Defaults(), const WorldMaker& makeWorld = {});
// Every loadable-world entry of world takes the folder of the file at path as the one its relative name is read from.
void SetSubWorldFolders(SWworld& world, const std::string& path);
