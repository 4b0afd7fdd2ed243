#include "engine/core/world_sections.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/document_file.h"
#include "engine/core/read_context.h"
#include "engine/core/type_tag.h"

namespace {

constexpr size_t kSectionCount = static_cast<size_t>(WorldSection::kCount);

constexpr std::array<uint32_t, kSectionCount> kSectionTags = {
    MakeTag("TXLS"), MakeTag("MTLS"), MakeTag("BGLS"), MakeTag("GMLS"), MakeTag("QJSH"), MakeTag("KFBK"),
    MakeTag("VSBK"), MakeTag("SNLS"), MakeTag("TTIP"), MakeTag("72EX"), MakeTag("72ES"),
};

// Per section: the handler as installed, and the one the world file is handed (see Effective).
struct Installed {
    std::atomic<const SWworldsectionhandler*> handler{nullptr};
    std::atomic<const SWworldsectionhandler*> effective{nullptr};
};

// Function-local, so that registrations from other files' static initialisers find it built.
std::array<Installed, kSectionCount>& Handlers()
{
    static std::array<Installed, kSectionCount> handlers{};
    return handlers;
}

// The reader of a sub-record section that nothing reads: its payload kept as bytes, as without a handler.
template <size_t Section> bool KeepPayload(SWworldreading& in, SWchunkstream& payload)
{
    std::vector<uint8_t> bytes(static_cast<size_t>(payload.Remaining()));
    payload.ReadBytes(bytes);
    SWkeptsections::Of(in.World()).Payload(static_cast<WorldSection>(Section)) = std::move(bytes);
    return payload.Status() == SWchunkstream::kStatusGood;
}

using StreamReader = bool (*)(SWworldreading&, SWchunkstream&);
template <size_t... Sections>
constexpr std::array<StreamReader, kSectionCount> MakeKeepers(std::index_sequence<Sections...>)
{
    return {&KeepPayload<Sections>...};
}
constexpr std::array<StreamReader, kSectionCount> kKeepers = MakeKeepers(std::make_index_sequence<kSectionCount>{});

// A handler that only merges or links a sub-record section must not cost the file that section: the world file
// is handed a copy whose reader keeps the payload, and with no writer the kept payload is written back.
const SWworldsectionhandler* Effective(WorldSection section, const SWworldsectionhandler* handler)
{
    if (handler == nullptr || !IsStreamSection(section) || handler->readStream != nullptr ||
        handler->writeStream != nullptr)
        return handler;
    static std::mutex mutex;
    static std::map<std::pair<WorldSection, const SWworldsectionhandler*>, std::unique_ptr<SWworldsectionhandler>>
        copies; // never dropped: a reader may still hold one that a test has since replaced
    const std::lock_guard<std::mutex> lock(mutex);
    std::unique_ptr<SWworldsectionhandler>& copy = copies[{section, handler}];
    if (copy == nullptr) {
        copy = std::make_unique<SWworldsectionhandler>(*handler);
        copy->readStream = kKeepers[static_cast<size_t>(section)];
    }
    return copy.get();
}

std::atomic<const SWworldpicturecodec*> g_pictureCodec{nullptr};

const std::vector<uint32_t> kNoChildren;

} // namespace

uint32_t WorldSectionTag(WorldSection section)
{
    return section < WorldSection::kCount ? kSectionTags[static_cast<size_t>(section)] : 0;
}

bool IsStreamSection(WorldSection section)
{
    return section >= WorldSection::kTooltips && section < WorldSection::kCount;
}

std::optional<WorldSection> FindWorldSection(uint32_t parentTag, uint32_t tag)
{
    size_t first = 0;
    size_t last = 0;
    if (parentTag == MakeTag("ROOT")) {
        first = static_cast<size_t>(WorldSection::kTextures);
        last = static_cast<size_t>(WorldSection::kVertexBlocks);
    } else if (parentTag == MakeTag("WRLD")) {
        first = last = static_cast<size_t>(WorldSection::kSounds);
    } else if (parentTag == MakeTag("5PTS")) {
        first = static_cast<size_t>(WorldSection::kTooltips);
        last = static_cast<size_t>(WorldSection::kEvents);
    } else {
        return std::nullopt;
    }
    for (size_t i = first; i <= last; ++i) {
        if (kSectionTags[i] == tag)
            return static_cast<WorldSection>(i);
    }
    return std::nullopt;
}

// -- Writing

std::optional<uint32_t> SWworldwriting::AddRecord(uint32_t tag, uint32_t parent, const Fill& fill)
{
    SWbuffer payload;
    {
        SWchunkstream out(payload, SWchunkstream::kWrite);
        out.SetFormatVersion(kWorldFormatVersion);
        if (fill && (!fill(out) || out.Status() != SWchunkstream::kStatusGood))
            return std::nullopt;
    }
    const std::optional<uint32_t> index = m_writer.AddRecord(tag, parent, std::move(payload));
    if (index && m_progress != nullptr && m_sectionParent)
        CountResource(parent, fill != nullptr, *index);
    return index;
}

void SWworldwriting::SetProgress(const WorldWriteProgress* progress, uint32_t total)
{
    m_progress = progress != nullptr && *progress ? progress : nullptr;
    m_total = total;
    m_done = 0;
}

void SWworldwriting::BeginSection(WorldSection section, uint32_t parent)
{
    static constexpr std::array<const char*, kSectionCount> kNames = {
        "textures",      "materials", "backgrounds", "meshes",      "speech", "node motion",
        "object motion", "sounds",    "tooltips",    "expressions", "events"};
    m_sectionName = section < WorldSection::kCount ? kNames[static_cast<size_t>(section)] : "";
    m_sectionParent = parent;
    m_sectionList.reset();
}

void SWworldwriting::CountResource(uint32_t parent, bool hasPayload, uint32_t index)
{
    if (!hasPayload && parent == *m_sectionParent && !m_sectionList) {
        m_sectionList = index; // the section's list: its items are the resources
        return;
    }
    if (parent != *m_sectionParent && parent != m_sectionList)
        return;
    ++m_done;
    m_total = std::max(m_total, m_done); // a resource the count before the save could not see
    (*m_progress)(m_done, m_total, m_sectionName);
}

std::optional<uint32_t> SWworldwriting::FindRecord(const CVTN_Container* object) const
{
    const auto found = m_records.find(object);
    if (found == m_records.end())
        return std::nullopt;
    return found->second;
}

// -- Reading

SWworldreading::SWworldreading(SWworld& world, const SWdocumentfile& file, SWreadcontext& context,
                               std::vector<SkippedRecord>& skipped)
    : m_world(world), m_file(file), m_context(context), m_skipped(skipped)
{
    IndexChildren();
}

SWworldreading::~SWworldreading() = default;

void SWworldreading::IndexChildren()
{
    const std::vector<DocumentRecord>& records = m_file.Records();
    m_children.assign(records.size() + 1, {});
    m_isSkipped.assign(records.size(), false);
    for (uint32_t i = 0; i < records.size(); ++i) {
        const uint32_t parent = records[i].parentIndex;
        if (!records[i].framed)
            continue;
        if (parent == kDocumentNoParent)
            m_children.back().push_back(i);
        else if (parent < i) // a parent not earlier is no parent: the record belongs to nobody
            m_children[parent].push_back(i);
    }
}

uint32_t SWworldreading::FormatVersion() const
{
    return m_context.FormatVersion();
}

uint32_t SWworldreading::Tag(uint32_t index) const
{
    return index < m_file.Records().size() ? m_file.Records()[index].tag : 0;
}

const std::vector<uint32_t>& SWworldreading::Children(uint32_t index) const
{
    if (index == kDocumentNoParent)
        return m_children.back();
    return index < m_file.Records().size() ? m_children[index] : kNoChildren;
}

bool SWworldreading::Open(uint32_t index, Payload& out)
{
    out.stream.reset();
    out.bytes.clear();
    if (index >= m_file.Records().size())
        return false;
    const DocumentRecord& record = m_file.Records()[index];
    // A stored payload is read where it lies in a file held in memory, which outlives the reading: a copy would
    // only cost time and the memory of the file over again. Like every stored byte, it counts nothing against the
    // limit. A file read on demand reads it into out.bytes.
    const bool stored = record.Compression() == static_cast<uint8_t>(DocumentCompression::kNone);
    std::span<const uint8_t> bytes;
    const PayloadStatus status =
        stored ? m_file.StoredPayload(record, out.bytes, bytes) : m_context.DecodePayload(m_file, record, out.bytes);
    if (status != PayloadStatus::kOk || m_context.LimitReached()) {
        out.bytes.clear();
        Skip(index, PayloadStatusText(status == PayloadStatus::kOk ? PayloadStatus::kOverLimit : status));
        return false;
    }
    // A payload in out.bytes is the reading's own, read once: a large one (a mapping of its own, gone whole when
    // freed) gives its pages back as they are read, or the objects they become and the whole payload would be
    // resident together; a small one's would serve the next read already faulted in.
    constexpr size_t kGiveBackBytes = size_t{32} << 20;
    if (out.bytes.size() >= kGiveBackBytes)
        out.stream = std::make_unique<SWchunkstream>(std::span<uint8_t>(out.bytes), SWchunkstream::GiveBackRead{});
    else
        out.stream = std::make_unique<SWchunkstream>(stored ? bytes : std::span<const uint8_t>(out.bytes));
    out.stream->SetFormatVersion(m_context.FormatVersion());
    out.stream->SetReadContext(&m_context);
    return true;
}

void SWworldreading::Skip(uint32_t index, const std::string& reason)
{
    if (index >= m_isSkipped.size() || m_isSkipped[index])
        return;
    // Without recursion: a hostile file may nest its records as deep as it has records.
    std::vector<uint32_t> pending = {index};
    while (!pending.empty()) {
        const uint32_t at = pending.back();
        pending.pop_back();
        if (m_isSkipped[at])
            continue;
        m_isSkipped[at] = true;
        m_skipped.push_back({at, m_file.Records()[at].tag, at == index ? reason : "its parent was skipped"});
        for (auto it = m_children[at].rbegin(); it != m_children[at].rend(); ++it)
            pending.push_back(*it);
    }
}

CVTN_Container* SWworldreading::FindRecordObject(uint32_t index) const
{
    const auto found = m_objects.find(index);
    return found == m_objects.end() ? nullptr : found->second;
}

// -- Handlers

const SWworldsectionhandler* FindWorldSectionHandler(WorldSection section)
{
    if (section >= WorldSection::kCount)
        return nullptr;
    return Handlers()[static_cast<size_t>(section)].effective.load(std::memory_order_acquire);
}

const SWworldsectionhandler* ReplaceWorldSectionHandler(WorldSection section, const SWworldsectionhandler* handler)
{
    if (section >= WorldSection::kCount)
        return nullptr;
    Installed& installed = Handlers()[static_cast<size_t>(section)];
    const SWworldsectionhandler* previous = installed.handler.exchange(handler, std::memory_order_acq_rel);
    installed.effective.store(Effective(section, handler), std::memory_order_release);
    return previous;
}

SWworldsectionregistration::SWworldsectionregistration(WorldSection section, const SWworldsectionhandler* handler)
    : registered(false)
{
    if (section >= WorldSection::kCount || handler == nullptr)
        return;
    Installed& installed = Handlers()[static_cast<size_t>(section)];
    const SWworldsectionhandler* expected = nullptr;
    registered = installed.handler.compare_exchange_strong(expected, handler, std::memory_order_acq_rel);
    if (registered)
        installed.effective.store(Effective(section, handler), std::memory_order_release);
}

const SWworldpicturecodec* GetWorldPictureCodec()
{
    return g_pictureCodec.load(std::memory_order_acquire);
}

void SetWorldPictureCodec(const SWworldpicturecodec* codec)
{
    g_pictureCodec.store(codec, std::memory_order_release);
}

// -- Kept sections

SWkeptsections* SWkeptsections::Find(const SWworld& world)
{
    return dynamic_cast<SWkeptsections*>(world.GetPart(WorldPart::kKeptSections));
}

SWkeptsections& SWkeptsections::Of(SWworld& world)
{
    if (SWkeptsections* kept = Find(world))
        return *kept;
    world.SetPart(WorldPart::kKeptSections, std::make_unique<SWkeptsections>());
    return *Find(world);
}
