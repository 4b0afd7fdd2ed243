// `vortan-project dump FILE.vtp`: the container's header, every record of the project item with its fields as
// stored (a PADD's merge entries one per line), then what the project reads into.
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>

#include "apps/vortan-project/project_tool.h"
#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/project.h"
#include "designer/app/project_records.h"
#include "engine/behaviour/expression_list.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/document_file.h"
#include "engine/core/node.h"
#include "engine/core/root_object.h"
#include "engine/core/type_tag.h"
#include "engine/resources/material.h"
#include "engine/resources/texture.h"
#include "engine/resources/tooltip.h"

namespace {

constexpr const char* kKindNames[] = {"node",     "texture", "material", "sound",    "cursor",     "event",  "speech",
                                      "geometry", "java",    "block",    "subworld", "expression", "tooltip"};

std::string TagText(uint32_t tag)
{
    std::string text(4, ' ');
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>(tag >> (8 * i));
        text[static_cast<size_t>(i)] = c >= 0x20 && c < 0x7F ? c : '?';
    }
    return text;
}

std::string Quoted(SWchunkstream& in)
{
    std::string text;
    in.ReadString(text);
    return "\"" + text + "\"";
}

bool DumpSettings(SWchunkstream& in)
{
    const std::string objectName = Quoted(in);
    const std::string author = Quoted(in);
    const std::string organization = Quoted(in);
    const unsigned metrics = in.ReadU8();
    const unsigned applyToAll = in.ReadU8();
    const unsigned html = in.ReadU8();
    std::printf("    object-name=%s author=%s organization=%s metrics=%u apply-to-all=%u html=%u\n", objectName.c_str(),
                author.c_str(), organization.c_str(), metrics, applyToAll, html);
    return in.Status() == SWchunkstream::kStatusGood;
}

bool DumpMergeRecord(SWchunkstream& in)
{
    const std::string fileName = Quoted(in);
    const uint32_t count = in.ReadU32();
    std::printf("    MREC file=%s entries=%" PRIu32 "\n", fileName.c_str(), count);
    for (uint32_t i = 0; i < count && in.Status() == SWchunkstream::kStatusGood; ++i) {
        const unsigned kind = in.ReadU8();
        const uint32_t id = in.ReadU32();
        const std::string name = Quoted(in);
        const std::string inFile = Quoted(in);
        const char* kindName = kind < std::size(kKindNames) ? kKindNames[kind] : "?";
        std::printf("      %s(%u) id=%" PRIu32 " name=%s in-file=%s\n", kindName, kind, id, name.c_str(),
                    inFile.c_str());
    }
    return in.Status() == SWchunkstream::kStatusGood;
}

bool DumpAddedFile(SWchunkstream& in)
{
    const std::string name = Quoted(in);
    const std::string fileName = Quoted(in);
    const std::string url = Quoted(in);
    const unsigned limitFlag = in.ReadU8();
    const uint32_t limit = in.ReadU32();
    std::string options;
    for (int i = 0; i < 9; ++i)
        options.append(i == 0 ? "" : ",").append(std::to_string(in.ReadU8()));
    const uint32_t tools = in.ReadU32();
    std::printf("    name=%s file=%s url=%s limit-flag=%u limit=%" PRIu32 " options=%s tools=%" PRIu32 "\n",
                name.c_str(), fileName.c_str(), url.c_str(), limitFlag, limit, options.c_str(), tools);
    for (uint32_t i = 0; i < tools && in.Status() == SWchunkstream::kStatusGood; ++i)
        std::printf("      tool %s\n", Quoted(in).c_str());
    if (in.Status() != SWchunkstream::kStatusGood || in.Remaining() < 8 || in.TakeTag() != MakeTag("MREC"))
        return false;
    const std::unique_ptr<SWchunkstream> record = in.OpenChild();
    return DumpMergeRecord(*record);
}

bool DumpProjectItem(std::span<const uint8_t> payload)
{
    SWchunkstream in(payload);
    while (in.Status() == SWchunkstream::kStatusGood && in.Remaining() >= 8) {
        const uint32_t tag = in.TakeTag();
        const std::unique_ptr<SWchunkstream> record = in.OpenChild();
        std::printf("  %s length=%" PRIu64, TagText(tag).c_str(), record->Remaining());
        bool good = record->Status() == SWchunkstream::kStatusGood;
        if (tag == MakeTag("PSET")) {
            std::printf("\n");
            good = good && DumpSettings(*record);
        } else if (tag == MakeTag("PADD")) {
            std::printf("\n");
            good = good && DumpAddedFile(*record);
        } else {
            std::printf(" (%s)\n",
                        FindProjectRecordHandler(tag) != nullptr ? "read by its handler" : "kept as bytes: no handler");
        }
        if (!good)
            return false;
    }
    return in.Status() == SWchunkstream::kStatusGood && in.Remaining() == 0;
}

size_t CountNodes(const SWworld& world)
{
    size_t count = 0;
    for (SWnode* n = world.GetRootNode(); n != nullptr; n = n->NextInTree(world.GetRootNode()))
        ++count;
    return count;
}

void PrintWorldSummary(CVTND_Project::LoadResult& loaded)
{
    CVTND_ExtendedWorld& world = *loaded.world;
    size_t textures = 0;
    for (SWtexture* t = world.GetRootObject()->GetFirstTexture(); t; t = SWrootobject::GetNextTexture(t))
        ++textures;
    size_t materials = 0;
    for (SWmaterial* m = world.GetRootObject()->GetFirstMaterial(); m; m = SWrootobject::GetNextMaterial(m))
        ++materials;
    const SWexpressionlist* expressions = SWexpressionlist::Find(world);
    SWtooltips* tooltips = SWtooltips::Find(world);
    std::printf("world version=%" PRIu32 " nodes=%zu events=%zu textures=%zu materials=%zu sounds=%zu "
                "expressions=%zu tooltips=%zu cursors=%zu\n",
                world.GetFileVersionNumber(), CountNodes(world), world.CountEvents(), textures, materials,
                world.GetSoundList().Count(), expressions != nullptr ? expressions->Entries().Count() : size_t{0},
                tooltips != nullptr ? tooltips->GetList().Count() : size_t{0}, world.GetCursorList().Count());
    std::printf("project added-files=%zu kept-records=%zu%s\n", loaded.project->GetAddedFiles().Count(),
                loaded.project->GetKeptRecords().size(), loaded.damagedButOpened ? " damaged-part-left-out" : "");
}

} // namespace

int DumpProject(std::span<char* const> args)
{
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: vortan-project dump FILE.vtp\n");
        return kProjectToolUsage;
    }
    const std::string path = args[0];
    CVTNDesignerApp app; // the project reads through the application's registrations
    CVTND_Project::LoadResult loaded = CVTND_Project::LoadFile(path);
    if (!loaded.ok())
        return Refuse(loaded.message);
    SWdocumentfile file;
    if (const DocumentStatus status = SWdocumentfile::ReadFile(path, file); status != DocumentStatus::kOk)
        return Refuse(path + ": " + DocumentStatusText(status));
    const DocumentHeader& header = file.Header();
    std::printf("header version=%04" PRIu32 " seed=0x%08" PRIx32 " flags=%" PRIu32 " bytes=%" PRIu32 " records=%zu\n",
                header.version, header.seed, header.flags, header.totalBytes, file.Records().size());
    for (const DocumentRecord& record : file.Records()) {
        if (record.tag != MakeTag("2PRJ") || record.parentIndex != kDocumentNoParent)
            continue;
        std::vector<uint8_t> payload;
        if (SWdocumentfile::DecodePayload(record, payload) != PayloadStatus::kOk)
            return Refuse(path + ": its project record does not decode");
        std::printf("2PRJ length=%zu\n", payload.size());
        if (!DumpProjectItem(payload))
            return Refuse(path + ": its project record is damaged");
        break;
    }
    PrintWorldSummary(loaded);
    return kProjectToolDone;
}
