// The project file (".vtp"): a "0942" document whose record 0 is the project item "2PRJ", with the world's records
// ("WRLD" and its subtree) under it. docs/formats.md has every layout. Index:
//   - the handlers of the project item's later records
//   - writing: the project item's payload, then the world under it
//   - reading: the world first (its ids taken), then the payload through a stream with the same read context
#include "designer/app/project.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <mutex>
#include <new>

#include "designer/app/app_component.h"
#include "designer/app/extended_world.h"
#include "designer/app/preview_sphere_aside.h"
#include "designer/app/project_records.h"
#include "designer/app/registry.h"
#include "designer/app/skipped_records.h"
#include "designer/app/user_message.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/document_file.h"
#include "engine/core/read_context.h"
#include "engine/core/record_builder.h"
#include "engine/core/root_object.h"
#include "engine/core/type_tag.h"
#include "engine/core/world_file.h"
#include "engine/resources/background.h"
#include "engine/resources/mesh_object.h"
#include "engine/resources/picture.h"
#include "engine/resources/texture.h"
#include "engine/resources/wavelet_image.h"
#include "platform/base/endian.h"
#include "platform/base/input_file.h"
#include "platform/base/user_constants.h"

namespace {

constexpr uint32_t kTagProject = MakeTag("2PRJ");
constexpr uint32_t kTagSettings = MakeTag("PSET");
constexpr uint32_t kTagAddedFile = MakeTag("PADD");
constexpr uint32_t kTagMergeRecord = MakeTag("MREC");
constexpr uint32_t kTagLayout = MakeTag("PLAY");
constexpr uint32_t kTagTooltip = MakeTag("PRTT");
constexpr uint32_t kTagGradients = MakeTag("PRW4");
constexpr uint32_t kTagOldGradients = MakeTag("PRW3");
constexpr uint32_t kTagWorld = MakeTag("WRLD");
constexpr uint8_t kLastMergedKind = 12;
constexpr uint32_t kMergeEntryMinBytes = 1 + 4 + 4 + 4; // kind, id, two empty strings
constexpr uint32_t kOptionCount = 9;

// -- Handlers

struct Handlers {
    std::mutex mutex;
    std::map<uint32_t, const CVTND_ProjectRecordHandler*> byTag;
};

// Function-local, so that registrations from other files' static initialisers find it built.
Handlers& Installed()
{
    static Handlers handlers;
    return handlers;
}

bool IsHandlerTag(uint32_t tag)
{
    const std::vector<uint32_t>& tags = ProjectRecordTags();
    return std::find(tags.begin(), tags.end(), tag) != tags.end();
}

// -- Writing

bool WriteMergeRecord(const MergeRecord& record, SWchunkstream& out)
{
    SWrecordbuilder builder(out, kTagMergeRecord);
    SWchunkstream& s = builder.Stream();
    s.WriteString(record.fileName);
    s.WriteU32(static_cast<uint32_t>(record.entries.size()));
    for (const MergeEntry& entry : record.entries) {
        s.WriteU8(static_cast<uint8_t>(entry.kind));
        s.WriteU32(entry.id);
        s.WriteString(entry.name);
        s.WriteString(entry.nameInFile);
    }
    return builder.Finish();
}

bool WriteAddedFile(const CVTN_SubWorld& entry, const CVTND_Project::AddedFile& data, SWchunkstream& out)
{
    SWrecordbuilder builder(out, kTagAddedFile);
    SWchunkstream& s = builder.Stream();
    s.WriteString(entry.GetName());
    s.WriteString(entry.GetFileName());
    s.WriteString(entry.GetDownloadUrl());
    s.WriteU8(entry.GetReferenceLimitFlag());
    s.WriteU32(entry.GetReferenceLimit());
    for (uint32_t option = 0; option < kOptionCount; ++option)
        s.WriteU8(entry.GetOption(static_cast<int>(option)));
    s.WriteU32(static_cast<uint32_t>(data.tools.size()));
    for (const std::string& tool : data.tools)
        s.WriteString(tool);
    return WriteMergeRecord(data.record, s) && builder.Finish();
}

bool WriteSettings(const CVTND_Project& project, SWchunkstream& out)
{
    SWrecordbuilder builder(out, kTagSettings);
    SWchunkstream& s = builder.Stream();
    s.WriteString(project.GetObjectName());
    s.WriteString(project.GetAuthor());
    s.WriteString(project.GetOrganization());
    s.WriteU8(project.GetMetrics());
    s.WriteU8(project.GetApplyToAll());
    s.WriteU8(project.GetHtmlOption() ? 1 : 0);
    return builder.Finish();
}

bool WriteKept(const std::vector<CVTND_Project::KeptRecord>& kept, uint32_t tag, SWchunkstream& out)
{
    for (const CVTND_Project::KeptRecord& record : kept) {
        if (record.tag != tag)
            continue;
        SWrecordbuilder builder(out, tag);
        builder.Stream().WriteBytes(record.payload);
        if (!builder.Finish())
            return false;
    }
    return true;
}

bool WriteProjectPayload(const CVTND_Project& project, CVTND_ExtendedWorld& world, CVTND_GradientStore* gradients,
                         SWchunkstream& out)
{
    if (!WriteSettings(project, out))
        return false;
    const CVTN_SubWorlds& files = project.GetAddedFiles();
    for (const CVTN_SubWorld* entry = files.GetFirst(); entry != nullptr; entry = CVTN_SubWorlds::GetNext(entry)) {
        const CVTND_Project::AddedFile* data = project.FindAddedFile(entry);
        if (data == nullptr || !WriteAddedFile(*entry, *data, out))
            return false;
    }
    CVTND_ProjectWriting writing{project, world, gradients};
    for (const uint32_t tag : ProjectRecordTags()) {
        const CVTND_ProjectRecordHandler* handler = FindProjectRecordHandler(tag);
        const bool written = handler != nullptr ? handler->write == nullptr || handler->write(writing, out)
                                                : WriteKept(project.GetKeptRecords(), tag, out);
        if (!written)
            return false;
    }
    return out.Status() == SWchunkstream::kStatusGood;
}

// -- Reading

bool ReadMergeRecord(SWchunkstream& in, MergeRecord& out)
{
    in.ReadString(out.fileName);
    uint32_t count = 0;
    if (!in.ReadU32(count) || count > in.Remaining() / kMergeEntryMinBytes)
        return false; // the record cannot hold them: damaged, not huge
    out.entries.resize(count);
    for (MergeEntry& entry : out.entries) {
        const uint8_t kind = in.ReadU8();
        if (kind > kLastMergedKind)
            return false;
        entry.kind = static_cast<MergedKind>(kind);
        entry.id = ReadReferencedId(in);
        in.ReadString(entry.name);
        in.ReadString(entry.nameInFile);
    }
    return in.Status() == SWchunkstream::kStatusGood;
}

bool ReadAddedFile(SWchunkstream& in, CVTND_Project& project)
{
    std::optional<std::string> name;
    std::optional<std::string> fileName;
    std::optional<std::string> url;
    in.ReadString(name);
    in.ReadString(fileName);
    in.ReadString(url);
    const uint8_t limitFlag = in.ReadU8();
    const uint32_t limit = in.ReadU32();
    std::array<uint8_t, kOptionCount> options{};
    for (uint8_t& option : options)
        option = in.ReadU8();
    CVTND_Project::AddedFile data;
    uint32_t toolCount = 0;
    if (!in.ReadU32(toolCount) || toolCount > in.Remaining() / 4)
        return false;
    data.tools.resize(toolCount);
    for (std::string& tool : data.tools)
        in.ReadString(tool);
    if (in.Status() != SWchunkstream::kStatusGood || in.Remaining() < 8 || in.TakeTag() != kTagMergeRecord)
        return false;
    const std::unique_ptr<SWchunkstream> record = in.OpenChild();
    if (record->Status() != SWchunkstream::kStatusGood || !ReadMergeRecord(*record, data.record))
        return false;
    CVTN_SubWorld* entry = project.AppendAddedFile(std::move(name), std::move(data));
    entry->SetFileName(std::move(fileName));
    entry->SetDownloadUrl(std::move(url));
    entry->SetReferenceLimitFlag(limitFlag);
    entry->SetReferenceLimit(limit);
    for (uint32_t option = 0; option < kOptionCount; ++option)
        entry->SetOption(static_cast<int>(option), options[option]);
    return true;
}

bool ReadSettings(SWchunkstream& in, CVTND_Project& project)
{
    std::optional<std::string> objectName;
    std::optional<std::string> author;
    std::optional<std::string> organization;
    in.ReadString(objectName);
    in.ReadString(author);
    in.ReadString(organization);
    const uint8_t metrics = in.ReadU8();
    const uint8_t applyToAll = in.ReadU8();
    const uint8_t html = in.ReadU8();
    if (in.Status() != SWchunkstream::kStatusGood || !project.SetMetrics(metrics))
        return false;
    project.SetObjectName(objectName ? objectName->c_str() : nullptr);
    project.SetAuthor(author ? author->c_str() : nullptr);
    project.SetOrganization(organization ? organization->c_str() : nullptr);
    project.SetApplyToAll(applyToAll);
    project.SetHtmlOption(html != 0);
    return true;
}

// What reading the payload came to.
struct PayloadRead {
    bool damaged = false;
    bool damagedOptional = false;
};

// Records of a handler's tag: read by its handler, or kept as bytes to be written back.
void ReadHandlerRecord(CVTND_ProjectReading& reading, uint32_t tag, SWchunkstream& in, PayloadRead& result)
{
    const CVTND_ProjectRecordHandler* handler = FindProjectRecordHandler(tag);
    if (handler == nullptr || handler->read == nullptr) {
        CVTND_Project::KeptRecord kept{tag, std::vector<uint8_t>(static_cast<size_t>(in.Remaining()))};
        in.ReadBytes(kept.payload);
        reading.project.GetKeptRecords().push_back(std::move(kept));
        return;
    }
    const ProjectRecordRead answer = handler->read(reading, tag, in);
    if (answer == ProjectRecordRead::kDamaged)
        result.damaged = true;
    else if (answer == ProjectRecordRead::kDamagedOptional)
        result.damagedOptional = true;
    // Older tooltips carried the gradient records inside themselves.
    while (tag == kTagTooltip && !result.damaged && in.Status() == SWchunkstream::kStatusGood && in.Remaining() >= 8) {
        const uint32_t nestedTag = in.TakeTag();
        const std::unique_ptr<SWchunkstream> nested = in.OpenChild();
        if (nested->Status() != SWchunkstream::kStatusGood)
            result.damaged = true;
        else if (nestedTag == kTagGradients || nestedTag == kTagOldGradients)
            ReadHandlerRecord(reading, nestedTag, *nested, result);
    }
}

PayloadRead ReadProjectPayload(CVTND_ProjectReading& reading, SWchunkstream& in)
{
    PayloadRead result;
    while (!result.damaged && in.Status() == SWchunkstream::kStatusGood && in.Remaining() >= 8) {
        const uint32_t tag = in.TakeTag();
        const std::unique_ptr<SWchunkstream> record = in.OpenChild();
        if (record->Status() != SWchunkstream::kStatusGood) {
            result.damaged = true;
        } else if (tag == kTagSettings) {
            result.damaged = !ReadSettings(*record, reading.project);
        } else if (tag == kTagAddedFile) {
            result.damaged = !ReadAddedFile(*record, reading.project);
        } else if (IsHandlerTag(tag)) {
            ReadHandlerRecord(reading, tag, *record, result);
        }
    }
    if (in.Status() != SWchunkstream::kStatusGood || in.Remaining() != 0)
        result.damaged = true; // a list ends exactly where its record does
    return result;
}

// What opening the project would count against the read limits (see SWreadlimits): its records are stored, so only
// pictures made from a few bytes count: generated ones, and wavelet streams past their free growth.
uint64_t CountedOnOpening(const SWworld& world)
{
    const SWrootobject* root = world.GetRootObject();
    std::vector<const SWtexture*> images;
    for (const SWtexture* t = root->GetFirstTexture(); t != nullptr; t = SWrootobject::GetNextTexture(t))
        images.push_back(t);
    if (const SWbackground* background = root->GetBackground(); background != nullptr && background->GetTexture())
        images.push_back(background->GetTexture());
    uint64_t counted = 0;
    for (const SWtexture* image : images) {
        const auto* wavelet = dynamic_cast<const SWwaveletimage*>(image);
        // Opening charges the size a record states, also where a placeholder shows instead.
        const uint64_t bytes = wavelet != nullptr ? uint64_t{wavelet->GetStatedWidth()} * wavelet->GetStatedHeight() * 4
                                                  : uint64_t{image->GetWidth32()} * image->GetHeight32() * 4;
        uint64_t stored = bytes; // a byte a pixel at least: within the free growth
        if (dynamic_cast<const SWpicture*>(image) != nullptr)
            stored = 0;
        else if (wavelet != nullptr && wavelet->IsEncoded())
            stored = wavelet->GetStream().size();
        counted += SWreadcontext::CountedGrowth(stored, bytes);
    }
    return counted;
}

// A text file or a sound renamed, as a person opening it as a project would put it.
constexpr const char* kNotProjectText = "it is not a Vortan project file";

CVTND_Project::LoadResult Failed(const std::string& name, const std::string& cause)
{
    CVTND_Project::LoadResult result;
    result.message = name + ": " + cause;
    return result;
}

// The one top-level project item, and the world read must be its child.
std::optional<uint32_t> FindProjectItem(const SWdocumentfile& file, std::string& outCause)
{
    const std::vector<DocumentRecord>& records = file.Records();
    std::optional<uint32_t> project;
    for (uint32_t i = 0; i < records.size(); ++i) {
        if (records[i].tag != kTagProject || records[i].parentIndex != kDocumentNoParent || !records[i].framed)
            continue;
        if (project) {
            outCause = "it holds more than one project record";
            return std::nullopt;
        }
        project = i;
    }
    if (!project) {
        outCause = "it is not a project file (no project record)";
        return std::nullopt;
    }
    for (const DocumentRecord& record : records) {
        if (record.tag == kTagWorld && record.framed) {
            if (record.parentIndex == *project)
                return project;
            break;
        }
    }
    outCause = "its world is not part of its project record";
    return std::nullopt;
}

CVTND_Project::LoadResult LoadDocument(const SWdocumentfile& file, const std::string& name,
                                       CVTND_EditorSettings* settings)
{
    std::string cause;
    const std::optional<uint32_t> item = FindProjectItem(file, cause);
    if (!item)
        return Failed(name, cause);
    // The project item is held to the read limits the world's records are: one budget for the whole file.
    SWreadcontext context(SWreadcontext::IdMode::kKeep);
    context.SetLimits(CVTND_Project::ReadLimits());
    std::vector<uint8_t> payload;
    const PayloadStatus decoded = context.DecodePayload(file, file.Records()[*item], payload);
    if (decoded == PayloadStatus::kOverLimit)
        return Failed(name, "refused by the read limits: " + context.LimitText());
    if (decoded != PayloadStatus::kOk)
        return Failed(name, std::string("its project record does not decode: ") + PayloadStatusText(decoded));
    WorldLoadResult loaded =
        ReadWorldFile(file, context, [] { return std::unique_ptr<SWworld>(std::make_unique<CVTND_ExtendedWorld>()); });
    if (loaded.status != DocumentStatus::kOk || loaded.world == nullptr)
        return Failed(name, loaded.message.empty() ? DocumentStatusText(loaded.status) : loaded.message);
    auto* designerWorld = dynamic_cast<CVTND_ExtendedWorld*>(loaded.world.get());
    if (designerWorld == nullptr)
        return Failed(name, "its world could not be made");
    CVTND_Project::LoadResult result;
    loaded.world.release();
    result.world.reset(designerWorld);
    result.project = std::make_unique<CVTND_Project>(*result.world, settings);
    if (const CVTND_GradientStoreCreator creator = CVTND_Registry::FindGradientStoreCreator())
        result.gradients = creator();
    SWchunkstream in{std::span<const uint8_t>(payload)};
    in.SetFormatVersion(context.FormatVersion());
    in.SetReadContext(&context);
    CVTND_ProjectReading reading{*result.project, *result.world, result.gradients.get(), context};
    const PayloadRead read = ReadProjectPayload(reading, in);
    if (read.damaged)
        return Failed(name, "its project record is damaged");
    if (const PayloadStatus failure = file.ReadFailure(); failure != PayloadStatus::kOk)
        return Failed(name, PayloadStatusText(failure)); // what was read may miss parts: saved, they would be lost
    if (read.damagedOptional) {
        result.damagedButOpened = true;
        result.message = name + ": a part of the project was damaged and has been left out";
    }
    if (!loaded.skipped.empty()) {
        result.damagedButOpened = true;
        result.message.append(result.message.empty() ? "" : "\n").append(SkippedRecordsText(name, loaded.skipped));
    }
    result.project->BindJavaEntries();
    return result;
}

} // namespace

// -- Handlers

const std::vector<uint32_t>& ProjectRecordTags()
{
    static const std::vector<uint32_t> tags = {kTagLayout, kTagTooltip, kTagGradients, kTagOldGradients};
    return tags;
}

const CVTND_ProjectRecordHandler* FindProjectRecordHandler(uint32_t tag)
{
    Handlers& handlers = Installed();
    const std::lock_guard<std::mutex> lock(handlers.mutex);
    const auto found = handlers.byTag.find(tag);
    return found != handlers.byTag.end() ? found->second : nullptr;
}

const CVTND_ProjectRecordHandler* ReplaceProjectRecordHandler(uint32_t tag, const CVTND_ProjectRecordHandler* handler)
{
    Handlers& handlers = Installed();
    const std::lock_guard<std::mutex> lock(handlers.mutex);
    const CVTND_ProjectRecordHandler* previous = nullptr;
    if (const auto found = handlers.byTag.find(tag); found != handlers.byTag.end()) {
        previous = found->second;
        handlers.byTag.erase(found);
    }
    if (handler != nullptr && IsHandlerTag(tag))
        handlers.byTag.emplace(tag, handler);
    return previous;
}

CVTND_ProjectRecordRegistration::CVTND_ProjectRecordRegistration(uint32_t tag,
                                                                 const CVTND_ProjectRecordHandler* handler)
    : registered(false)
{
    if (handler == nullptr || !IsHandlerTag(tag))
        return;
    Handlers& handlers = Installed();
    const std::lock_guard<std::mutex> lock(handlers.mutex);
    registered = handlers.byTag.try_emplace(tag, handler).second;
}

// -- The project's file

namespace {

std::mutex g_limitsLock; // guards g_limits: tools and tests set them, any thread may open a project
SWreadlimits g_limits = SWreadlimits::Defaults();

} // namespace

SWreadlimits CVTND_Project::ReadLimits()
{
    const std::lock_guard<std::mutex> lock(g_limitsLock);
    return g_limits;
}

void CVTND_Project::SetReadLimits(const SWreadlimits& limits)
{
    const std::lock_guard<std::mutex> lock(g_limitsLock);
    g_limits = limits;
}

namespace {

DocumentWriteOptions ProjectWriteOptions()
{
    DocumentWriteOptions options;
    options.version = kDocumentVersionProject;
    options.formatVersion = kWorldFormatVersion;
    return options;
}

} // namespace

bool CVTND_Project::WriteRecords(SWdocumentwriter& writer, CVTND_GradientStore* gradients,
                                 const WorldWriteParts& parts) const
{
    SWworldlock lock(m_world);
    const PreviewSphereAside aside(m_world);
    SWbuffer buffer;
    SWchunkstream payload(buffer, SWchunkstream::kWrite);
    payload.SetFormatVersion(kWorldFormatVersion);
    if (!WriteProjectPayload(*this, m_world, gradients, payload))
        return false;
    const std::optional<uint32_t> item = writer.AddRecord(kTagProject, kDocumentNoParent, std::move(buffer));
    return item && WriteWorldRecords(m_world, writer, *item, WorldFileMode::kProject, {}, parts);
}

bool CVTND_Project::WriteBytes(std::vector<uint8_t>& out, CVTND_GradientStore* gradients) const
{
    out.clear();
    try {
        SWdocumentwriter writer(ProjectWriteOptions());
        if (WriteRecords(writer, gradients) && writer.Finish(out) == DocumentStatus::kOk)
            return true;
    } catch (const std::bad_alloc&) {
    }
    out.clear();
    return false;
}

std::optional<uint64_t> CVTND_Project::StoredForm(CVTND_GradientStore* gradients, const WorldWriteParts& parts) const
{
    std::vector<uint8_t> bytes;
    try {
        SWdocumentwriter writer(ProjectWriteOptions());
        if (!WriteRecords(writer, gradients, parts) || writer.Finish(bytes) != DocumentStatus::kOk ||
            bytes.size() < kDocumentHeaderBytes)
            return std::nullopt;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    // The header holds the body's checksum and the file's length: enough to tell a change.
    return uint64_t{pf::loadU32le(&bytes[8])} << 32 | pf::loadU32le(&bytes[16]);
}

bool CVTND_Project::SaveFile(const std::string& path, CVTND_GradientStore* gradients, pf::Window* owner) const
{
    std::string message;
    if (WriteFile(path, gradients, message))
        return true;
    ShowUserMessage(owner, message, pf::MB_ICONHAND);
    return false;
}

bool CVTND_Project::WriteFile(const std::string& path, CVTND_GradientStore* gradients, std::string& message) const
{
    const std::unique_ptr<SWdocumentwriter> document = MakeDocument(path, gradients, message);
    return document != nullptr && WriteDocument(path, *document, message);
}

namespace {

std::string NotMadeText(const std::string& path)
{
    return path + ": the project could not be written (out of memory)";
}

} // namespace

std::unique_ptr<SWdocumentwriter> CVTND_Project::MakeDocument(const std::string& path, CVTND_GradientStore* gradients,
                                                              std::string& message) const
{
    uint64_t counted = 0;
    {
        const SWworldlock lock(m_world);
        counted = CountedOnOpening(m_world);
    }
    // Written, it would be refused when opened: the person's work would look lost.
    if (const uint64_t limit = ReadLimits().maxBytes; counted > limit) {
        message = path + ": not saved: its pictures would make " + std::to_string(counted) +
                  " bytes beyond what stores them when opened, more than the read limit of " + std::to_string(limit) +
                  "; make generated or compressed pictures smaller";
        return nullptr;
    }
    try {
        auto document = std::make_unique<SWdocumentwriter>(ProjectWriteOptions());
        if (WriteRecords(*document, gradients))
            return document;
    } catch (const std::bad_alloc&) {
    }
    message = NotMadeText(path);
    return nullptr;
}

bool CVTND_Project::WriteDocument(const std::string& path, SWdocumentwriter& document, std::string& message)
{
    // The records go to the file as the document is finished, never joined into one copy of the whole file.
    try {
        std::string error;
        const DocumentStatus status = SaveDocumentFile(path, document, &error);
        if (status == DocumentStatus::kOk)
            return true;
        if (status != DocumentStatus::kWriteFailed)
            message = NotMadeText(path);
        else // "cannot write PATH: CAUSE"
            message = error.empty() ? path + ": the file could not be written" : error;
    } catch (const std::bad_alloc&) {
        message = NotMadeText(path);
    }
    return false;
}

CVTND_Project::LoadResult CVTND_Project::LoadFile(const std::string& path, CVTND_EditorSettings* settings)
{
    try {
        SWdocumentfile file;
        std::string error; // "path: cause"
        const DocumentStatus status = SWdocumentfile::OpenFile(path, file, &error);
        if (status == DocumentStatus::kCannotRead) {
            const pf::InputFileResult why = pf::checkInputFile(path); // a folder, a device, a missing file
            if (!why.ok()) {
                CVTND_Project::LoadResult refused;
                refused.message = why.message; // "cannot read PATH: CAUSE", as every reader of a named file says
                return refused;
            }
        }
        if (status == DocumentStatus::kNotDocument)
            return Failed(path, kNotProjectText);
        if (status != DocumentStatus::kOk) {
            CVTND_Project::LoadResult refused;
            refused.message = error.empty() ? path + ": " + DocumentStatusText(status) : error;
            return refused;
        }
        return LoadOpenedFile(file, path, settings);
    } catch (const std::bad_alloc&) {
        return Failed(path, DocumentStatusText(DocumentStatus::kOutOfMemory));
    }
}

CVTND_Project::LoadResult CVTND_Project::LoadOpenedFile(const SWdocumentfile& file, const std::string& path,
                                                        CVTND_EditorSettings* settings)
{
    try {
        CVTND_Project::LoadResult result = LoadDocument(file, path, settings);
        if (result.ok()) {
            std::error_code error;
            const std::filesystem::path absolute = std::filesystem::absolute(path, error);
            result.project->SetFolder(
                (error ? std::filesystem::path(path) : absolute.lexically_normal()).parent_path().string());
        }
        return result;
    } catch (const std::bad_alloc&) {
        return Failed(path, DocumentStatusText(DocumentStatus::kOutOfMemory));
    }
}

CVTND_Project::LoadResult CVTND_Project::LoadBytes(std::vector<uint8_t> bytes, const std::string& name,
                                                   CVTND_EditorSettings* settings)
{
    try {
        SWdocumentfile file;
        if (bytes.empty())
            return Failed(name, "the file is empty");
        const std::vector<uint8_t> head(bytes.begin(),
                                        bytes.begin() + std::min<size_t>(bytes.size(), kDocumentHeaderBytes));
        const uint64_t size = bytes.size();
        const DocumentStatus status = SWdocumentfile::Parse(std::move(bytes), file);
        if (status != DocumentStatus::kOk)
            return Failed(name, status == DocumentStatus::kNotDocument ? kNotProjectText
                                                                       : DocumentStatusCause(status, head, size));
        return LoadDocument(file, name, settings);
    } catch (const std::bad_alloc&) {
        return Failed(name, DocumentStatusText(DocumentStatus::kOutOfMemory));
    }
}

CVTND_Project::LoadResult CVTND_Project::LoadDamagedFile(const std::string& path, CVTND_EditorSettings* settings)
{
    try {
        std::vector<uint8_t> bytes;
        const pf::InputFileResult read = pf::readWholeFile(path, bytes, UINT32_MAX); // the container's largest
        if (!read.ok()) {
            CVTND_Project::LoadResult refused;
            refused.message = read.message;
            return refused;
        }
        SWdocumentfile file;
        const DocumentStatus status = SWdocumentfile::ParseDamaged(std::move(bytes), file);
        if (file.Records().empty())
            return Failed(path, DocumentStatusText(status));
        return LoadDocument(file, path, settings);
    } catch (const std::bad_alloc&) {
        return Failed(path, DocumentStatusText(DocumentStatus::kOutOfMemory));
    }
}
