// `vortan-world make-sample OUT.vtn [--meshes DIR] [--pictures DIR] [--sound FILE]`: a sample scene with a record
// of every kind the world file writes (testsupport/world/sample_world.h), every OFF mesh and PNG or JPEG picture of
// the folders named taken under its own name; unnamed, the folders default to the test-data cache's mesh and image
// folders (a few small files of them) when the fetch script filled them. `vortan-world roundtrip IN OUT`:
// load and save as a scene, and say whether OUT equals IN byte for byte (exit 1: a record could not be read or is
// outside the world; exit 3 when OUT is IN and would not be written back as it was read). `vortan-world import
// BASE IN OUT`: merge IN into BASE, print the merge record, write OUT, then remove the merge and say whether BASE
// came back byte for byte; a world that reads with records left out is refused.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "apps/vortan-world/command_table.h"
#include "engine/core/camera_node.h"
#include "engine/core/header.h"
#include "engine/core/matrix.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/scene_import.h"
#include "engine/core/type_tag.h"
#include "engine/core/world.h"
#include "engine/core/world_file.h"
#include "engine/resources/resource_report.h"
#include "engine/resources/sound.h"
#include "engine/resources/sound_list.h"
#include "platform/media/temp_file.h"
#include "testsupport/tools/tool_input.h"
#include "testsupport/tools/tool_world.h"
#include "testsupport/world/sample_world.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitRefused = 3;

int Refuse(const std::string& message)
{
    std::fprintf(stderr, "vortan-world: %s\n", message.c_str());
    return kExitRefused;
}

// A folder of the test-data cache when the fetch script filled it; empty otherwise.
std::string TestDataFolder(const char* name)
{
    const char* root = std::getenv("VORTAN_TEST_DATA");
    if (root == nullptr || *root == '\0')
        return {};
    const std::filesystem::path folder = std::filesystem::path(root) / name;
    std::error_code error;
    return std::filesystem::is_directory(folder, error) ? folder.string() : std::string();
}

int MakeSample(std::span<char* const> args)
{
    const auto Usage = [] {
        std::fprintf(stderr,
                     "usage: vortan-world make-sample OUT.vtn [--meshes DIR] [--pictures DIR] [--sound FILE]\n");
        return kWorldToolUsage;
    };
    worldtest::SampleWorldOptions options;
    options.meshFolder = TestDataFolder("mesh");
    options.pictureFolder = TestDataFolder("image");
    const char* out = nullptr;
    // Named inputs must be there, and every file of a named folder is taken under its own name or the sample is
    // refused: a sample silently built of its own content instead would pass for theirs.
    std::string error;
    std::vector<std::string> given;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string arg = args[i];
        const bool hasValue = i + 1 < args.size();
        // A second folder or sound would replace the first without a word.
        if (arg.starts_with("--") && std::ranges::find(given, arg) != given.end()) {
            std::fprintf(stderr, "vortan-world: make-sample: %s is given twice; name one\n", arg.c_str());
            return kWorldToolUsage;
        }
        given.push_back(arg);
        if (arg == "--meshes" && hasValue) {
            const std::string folder = args[++i];
            if (!tooltest::CheckInputFolder(folder, error) ||
                !worldtest::TakeFolderFiles(folder, worldtest::SampleInput::kMeshes, options.meshFiles, error))
                return Refuse(error);
        } else if (arg == "--pictures" && hasValue) {
            const std::string folder = args[++i];
            if (!tooltest::CheckInputFolder(folder, error) ||
                !worldtest::TakeFolderFiles(folder, worldtest::SampleInput::kPictures, options.pictureFiles, error))
                return Refuse(error);
        } else if (arg == "--sound" && hasValue) {
            options.soundFile = args[++i];
            if (!tooltest::CheckInput(options.soundFile, error) || !worldtest::TakeSoundFile(options.soundFile, error))
                return Refuse(error);
        } else if (out == nullptr && !arg.starts_with("--")) {
            out = args[i];
        } else {
            return Usage();
        }
    }
    if (out == nullptr)
        return Usage();
    // Without a sound named, the sample's sound is a tone of its own, stored in the scene, so that it plays. Where
    // no temporary file can be written, the writing of OUT meets the same cause and says so.
    std::optional<std::string> tone;
    if (options.soundFile.empty()) {
        tone = pf::tempDirectory() + "/vortan-sample-" + std::to_string(::getpid()) + ".wav";
        if (worldtest::WriteSampleTone(*tone))
            options.soundFile = *tone;
        else
            tone.reset();
    }
    const std::unique_ptr<SWworld> world = worldtest::MakeSampleWorld(options);
    if (tone)
        world->GetSoundList().GetFirst()->SetStoredFileName("sample.wav");
    const DocumentStatus status = SaveWorldFile(*world, WorldFileMode::kScene, out, &error);
    std::error_code ignored;
    if (tone)
        std::filesystem::remove(*tone, ignored);
    if (status != DocumentStatus::kOk)
        return Refuse(error.empty() ? DocumentStatusText(status) : error);
    std::printf("wrote %s\n", out);
    return kWorldToolDone;
}

// The records of a document outside its world's tree (the first framed "WRLD", as the reader takes it): a second
// world, a record no reader knows. The world does not hold them, so they are not written again.
std::vector<SkippedRecord> OutsideTheWorld(const SWdocumentfile& file)
{
    std::vector<SkippedRecord> outside;
    const std::vector<DocumentRecord>& records = file.Records();
    std::vector<bool> inWorld(records.size(), false);
    bool worldSeen = false;
    for (uint32_t i = 0; i < records.size(); ++i) {
        const DocumentRecord& record = records[i];
        if (!worldSeen && record.tag == MakeTag("WRLD") && record.framed)
            worldSeen = inWorld[i] = true;
        else if (record.parentIndex != kDocumentNoParent && record.parentIndex < i)
            inWorld[i] = inWorld[record.parentIndex];
        if (!inWorld[i])
            outside.push_back({i, record.tag, "not a record of the world"});
    }
    return outside;
}

// What a file that a scene written from it would not equal is, for the refusal to write over it.
std::string KindOf(const SWdocumentfile& file)
{
    if (file.Header().version == kDocumentVersionProject)
        return "a project file";
    const auto compressed = [](const DocumentRecord& record) { return record.Compression() != 0; };
    if (std::ranges::any_of(file.Records(), compressed))
        return "a published file";
    if (file.Header().version != kDocumentVersionScene)
        return "a file of version " + std::to_string(file.Header().version);
    return "a scene this version writes otherwise";
}

// Why the scene may not be written over the file it was read from, which is the only copy: records the world lost,
// or a file of another kind that the scene would take the place of. Empty when it is the file read, byte for byte.
std::string OverInputRefusal(const std::string& out, size_t lost, bool same, const SWdocumentfile& file)
{
    const std::string head = "cannot write " + out + " over the file it read: ";
    if (lost != 0)
        return head + std::to_string(lost) + " of its records would be lost (listed above); it is left as it is";
    if (!same)
        return head + "it is " + KindOf(file) +
               ", and a scene written in its place would not be it; it is left as it is";
    return {};
}

int Roundtrip(std::span<char* const> args)
{
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: vortan-world roundtrip IN OUT\n");
        return kWorldToolUsage;
    }
    const std::string in = args[0];
    const std::string out = args[1];
    std::string error;
    const tooltest::OutputOverInput over(in, out);
    // Read once: what OUT is compared with, and what the world is made of, are the same bytes, whatever happens to
    // IN afterwards (OUT may be IN itself).
    const std::optional<std::vector<uint8_t>> original = tooltest::ReadInput(in, error);
    if (!original)
        return Refuse(error);
    SWdocumentfile file;
    const WorldLoadResult loaded = tooltest::ReadToolWorld(*original, in, SWreadcontext::IdMode::kKeep, file, error);
    if (loaded.status != DocumentStatus::kOk)
        return Refuse(error);
    std::vector<uint8_t> written;
    if (const DocumentStatus status = WriteWorldFile(*loaded.world, WorldFileMode::kScene, written);
        status != DocumentStatus::kOk)
        return Refuse("cannot write " + out + ": " + DocumentStatusText(status));
    const bool same = written == *original;
    std::vector<SkippedRecord> lost = loaded.skipped;
    if (!same) {
        const std::vector<SkippedRecord> outside = OutsideTheWorld(file);
        lost.insert(lost.end(), outside.begin(), outside.end());
        std::ranges::sort(lost, {}, &SkippedRecord::index);
    }
    for (const SkippedRecord& skipped : lost)
        std::printf("skipped #%u %s: %s\n", skipped.index, TagText(skipped.tag).c_str(), skipped.reason.c_str());
    if (const std::string refusal = over.NamesTheInput() ? OverInputRefusal(out, lost.size(), same, file) : "";
        !refusal.empty())
        return Refuse(refusal);
    if (!over.Unchanged(error))
        return Refuse(error);
    if (SaveDocumentFile(out, written, &error) != DocumentStatus::kOk)
        return Refuse(tooltest::WriteRefusal(out, error));
    std::printf("version=%u newer=%s skipped=%zu identical=%s\n", loaded.version, loaded.newer ? "yes" : "no",
                lost.size(), same ? "yes" : "no");
    // Written as a scene, a published or older file differs from what it was read from and still came through
    // whole: only a record left out is a failed round trip.
    return lost.empty() ? kWorldToolDone : kExitFailed;
}

const char* KindName(MergedKind kind)
{
    static const char* const kNames[] = {"node",   "texture",  "material", "sound", "cursor",  "event",
                                         "speech", "geometry", "java",     "block", "subworld"};
    const auto index = static_cast<size_t>(kind);
    return index < std::size(kNames) ? kNames[index] : "?";
}

// A merge of a world with records left out would pass for the whole world: they are named, with what the resources
// reported while the world was read (a sound whose scratch file could not be written), and nothing is written.
std::string LeftOutText(const std::string& path, const std::vector<SkippedRecord>& skipped)
{
    std::string text = "cannot import " + path + ": " + std::to_string(skipped.size()) +
                       (skipped.size() == 1 ? " record" : " records") + " could not be read and would be left out:";
    for (const SkippedRecord& record : skipped)
        text += " record " + std::to_string(record.index) + " \"" + TagText(record.tag) + "\" (" + record.reason + ")";
    for (const ResourceReport& report : TakeKeptResourceReports().reports)
        text += "; " + report.text;
    return text;
}

int Import(std::span<char* const> args)
{
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: vortan-world import BASE IN OUT\n");
        return kWorldToolUsage;
    }
    std::string error;
    (void)TakeKeptResourceReports(); // from here on, what a load reports belongs to the world it read
    const WorldLoadResult base = tooltest::LoadToolWorld(args[0], SWreadcontext::IdMode::kKeep, error);
    if (base.status != DocumentStatus::kOk)
        return Refuse(error);
    if (!base.skipped.empty())
        return Refuse(LeftOutText(args[0], base.skipped));
    // The base as a scene file before the merge: what taking the merge out must give back. A published base reads
    // from bytes of another kind, so its file's own bytes cannot be the measure; a scene file's are these.
    std::vector<uint8_t> baseBytes;
    if (const DocumentStatus written = WriteWorldFile(*base.world, WorldFileMode::kScene, baseBytes);
        written != DocumentStatus::kOk)
        return Refuse(std::string(args[0]) + ": " + DocumentStatusText(written));
    (void)TakeKeptResourceReports();
    const WorldLoadResult import = tooltest::ImportToolWorld(args[1], error);
    if (import.status != DocumentStatus::kOk)
        return Refuse(error);
    if (!import.skipped.empty())
        return Refuse(LeftOutText(args[1], import.skipped));
    const MergeRecord record = MergeWorld(*base.world, *import.world, {}, args[1]);
    std::printf("merged %s: %zu objects\n", record.fileName.c_str(), record.entries.size());
    for (const MergeEntry& entry : record.entries)
        std::printf("  %s id=%u name=%s file-name=%s\n", KindName(entry.kind), entry.id, entry.name.c_str(),
                    entry.nameInFile.c_str());
    const DocumentStatus saved = SaveWorldFile(*base.world, WorldFileMode::kScene, args[2], &error);
    if (saved != DocumentStatus::kOk)
        return Refuse(error.empty() ? DocumentStatusText(saved) : error);
    const size_t removed = RemoveMerged(*base.world, record);
    std::vector<uint8_t> after;
    const bool restored =
        WriteWorldFile(*base.world, WorldFileMode::kScene, after) == DocumentStatus::kOk && after == baseBytes;
    std::printf("removed=%zu restored=%s\n", removed, restored ? "yes" : "no");
    return restored ? kWorldToolDone : kExitFailed;
}

const bool kRegistered =
    RegisterWorldToolCommand({"make-sample", "OUT.vtn [--meshes DIR] [--pictures DIR] [--sound FILE]", &MakeSample}) &&
    RegisterWorldToolCommand({"roundtrip", "IN OUT", &Roundtrip}) &&
    RegisterWorldToolCommand({"import", "BASE IN OUT", &Import});

} // namespace
