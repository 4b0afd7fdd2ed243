#pragma once
// The world's resource records: the texture, material, background and geometry lists under "ROOT", the sounds
// under "WRLD", the key-frame and vertex-stream blocks, and the hot spots' pictures. They are installed into the
// world file's sections at start-up (world_sections.h); docs/formats.md has every layout.
//
// Writer modes: a scene or project file writes each resource that has a scheme choice (meshes, sounds, blocks)
// through the default row of its kind, keeping the chosen row's id in its record; a published file writes through
// the chosen row, else the default. Saving never changes an object's choice.
//
// Reading: a resource whose record fails is reported (ReportResource) and left out; the load goes on. Names and
// ids that find nothing are kept as they are and written back unchanged.
//
// Geometry kinds beyond meshes and cameras (particle systems) add themselves to the geometry list through a
// SWgeometryrecordregistration.
#include <cstdint>
#include <functional>
#include <memory>

class SWchunkstream;
class SWgeometry;
class SWtexture;
class SWworldreading;
class SWworldwriting;

// One image record's payload ("TXHD", then the pixels of its kind; kinds with their own record write it themselves).
bool WriteImagePayload(SWtexture& image, SWchunkstream& out);
// The image of record tag from its payload; null, with the stream's status telling nothing, when it is damaged
// or the tag names no image kind.
std::unique_ptr<SWtexture> ReadImagePayload(uint32_t tag, SWchunkstream& in);

// Geometry records of the geometry list ("GMLS"): each opens with "GHDR" (WriteGeometryHeader).
bool WriteGeometryHeader(const SWgeometry& geometry, SWchunkstream& out); // the whole "GHDR" record
bool ReadGeometryHeader(SWchunkstream& in, SWgeometry& geometry);         // its payload; false: damaged

struct SWgeometryrecordkind {
    uint32_t tag = 0;
    bool (*matches)(const SWgeometry& geometry) = nullptr; // this kind writes geometry
    // The payload after nothing: the writer writes "GHDR" itself first.
    bool (*write)(SWworldwriting& out, SWgeometry& geometry, SWchunkstream& payload) = nullptr;
    // The whole payload (its "GHDR" included); null when damaged.
    std::unique_ptr<SWgeometry> (*read)(SWworldreading& in, SWchunkstream& payload) = nullptr;
};

struct SWgeometryrecordregistration {
    explicit SWgeometryrecordregistration(const SWgeometryrecordkind* kind); // not owned; a static of its file
    bool registered;                                                         // false: the tag was taken
};
const SWgeometryrecordkind* FindGeometryRecordKind(uint32_t tag);
const SWgeometryrecordkind* FindGeometryRecordKindOf(const SWgeometry& geometry);
