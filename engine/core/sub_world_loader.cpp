#include "engine/core/sub_world_loader.h"

#include <algorithm>
#include <filesystem>
#include <new>
#include <span>

#include "engine/behaviour/event.h"
#include "engine/core/document_file.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/sub_worlds.h"
#include "engine/resources/geometry.h"
#include "platform/base/input_file.h"

namespace {

constexpr size_t kReadBlockBytes = 64 * 1024;

// The whole file, read a block at a time so that a stop request is seen between blocks; nullopt when it stopped or
// failed (error says why, naming the file). Only a regular file of at most maxBytes is read (the checked reader):
// a FIFO or device could block or never end.
std::optional<std::vector<uint8_t>> ReadInBlocks(const std::string& path, uint64_t maxBytes,
                                                 const std::stop_token& stop, std::string& error)
{
    pf::InputFileResult result;
    const std::unique_ptr<pf::InputFile> input = pf::InputFile::open(path, result, maxBytes);
    if (input == nullptr) {
        error = path + ": " + result.cause;
        if (result.status == pf::InputFileStatus::kTooLarge) {
            std::error_code failed;
            const uintmax_t size = std::filesystem::file_size(path, failed);
            if (!failed)
                error = path + ": the file holds " + std::to_string(size) + " bytes, more than the limit of " +
                        std::to_string(maxBytes);
        }
        return std::nullopt;
    }
    std::vector<uint8_t> bytes;
    try {
        bytes.resize(static_cast<size_t>(input->sizeBytes()));
    } catch (const std::bad_alloc&) {
        error = path + ": out of memory";
        return std::nullopt;
    }
    for (size_t at = 0; at < bytes.size();) {
        if (stop.stop_requested()) {
            error = path + ": the load was stopped";
            return std::nullopt;
        }
        const size_t want = std::min(kReadBlockBytes, bytes.size() - at);
        const ptrdiff_t got = input->read(std::span<uint8_t>(bytes).subspan(at, want), result);
        if (got <= 0) {
            error = path + ": " + (got < 0 ? result.cause : std::string("the file shrank while it was read"));
            return std::nullopt;
        }
        at += static_cast<size_t>(got);
    }
    return bytes; // what grew after it was opened is not part of the world it was
}

std::unique_ptr<SWworld> ParseImport(std::vector<uint8_t> bytes, const SWreadlimits& limits, const std::string& path,
                                     std::string& error)
{
    SWdocumentfile file;
    if (const DocumentStatus status = SWdocumentfile::Parse(std::move(bytes), file); status != DocumentStatus::kOk) {
        error = path + ": " + DocumentStatusText(status);
        return nullptr;
    }
    SWreadcontext context(SWreadcontext::IdMode::kFresh);
    context.SetLimits(limits);
    WorldLoadResult loaded = ReadWorldFile(file, context);
    if (loaded.status != DocumentStatus::kOk)
        error = path + ": " + loaded.message;
    if (loaded.world)
        SetSubWorldFolders(*loaded.world, path);
    return std::move(loaded.world);
}

} // namespace

CVTN_SubWorldLoader& CVTN_SubWorldLoader::Of(SWworld& world)
{
    SWworldlock lock(world);
    if (auto* loader = dynamic_cast<CVTN_SubWorldLoader*>(world.GetPart(WorldPart::kLoaderQueue)))
        return *loader;
    auto made = std::make_unique<CVTN_SubWorldLoader>(world);
    CVTN_SubWorldLoader& loader = *made;
    world.SetPart(WorldPart::kLoaderQueue, std::move(made));
    return loader;
}

CVTN_SubWorldLoader::~CVTN_SubWorldLoader()
{
    for (Slot& slot : m_slots) {
        if (slot.loader)
            slot.loader->Stop();
    }
}

std::string CVTN_SubWorldLoader::PathOf(const CVTN_SubWorld& entry) const
{
    const std::string name = entry.GetFileName().value_or("");
    const std::string& folder = !entry.GetFolder().empty() ? entry.GetFolder() : m_baseFolder;
    if (folder.empty() || (!name.empty() && name[0] == '/'))
        return name;
    return folder + "/" + name;
}

CVTN_SubWorldInstance* CVTN_SubWorldLoader::LoadFile(CVTN_SubWorld& entry, const SubWorldLoadRequest& request,
                                                     bool threaded)
{
    SWworldlock lock(m_world);
    if (entry.GetReferenceLimitFlag() != 0 && Instances(entry).size() >= entry.GetReferenceLimit())
        return nullptr;
    Slot& slot = m_slots.emplace_back();
    slot.instance = std::make_unique<CVTN_SubWorldInstance>();
    slot.instance->entry = &entry;
    slot.instance->hidden = !request.showAtOnce;
    slot.request = request;
    slot.serial = m_nextSerial++;
    const std::string path = PathOf(entry);
    m_lastError.clear();
    m_lastSkipped.clear();
    if (!threaded) {
        WorldLoadResult imported = ImportWorld(path, m_limits);
        m_lastSkipped = std::move(imported.skipped);
        if (!imported.world || !Merge(slot, *imported.world)) {
            m_lastError = imported.world ? path + ": the world could not be merged" : imported.message;
            m_slots.pop_back();
            return nullptr;
        }
        return slot.instance.get();
    }
    slot.loader = std::make_unique<CVTN_ThreadHandler>("sub-world loader");
    const uint64_t serial = slot.serial;
    // The body owns everything it touches (the path, the queue), never the world: it may outlive its join.
    const bool started = slot.loader->Start([queue = m_queue, path, serial, limits = m_limits](std::stop_token stop) {
        std::string error;
        // A file's own bytes are never held against the read limits; the container states its length in a u32.
        std::optional<std::vector<uint8_t>> bytes = ReadInBlocks(path, UINT32_MAX, stop, error);
        if (stop.stop_requested())
            return;
        std::unique_ptr<SWworld> import = bytes ? ParseImport(std::move(*bytes), limits, path, error) : nullptr;
        const std::lock_guard<std::mutex> guard(queue->lock);
        queue->items.push_back({serial, std::move(import), std::move(error)});
    });
    if (!started) {
        m_slots.pop_back();
        return nullptr;
    }
    return slot.instance.get();
}

bool CVTN_SubWorldLoader::Merge(Slot& slot, SWworld& import)
{
    const SubWorldLoadRequest& request = slot.request;
    SWnode* parent = nullptr;
    if (request.applyRequest && request.rootName)
        parent = m_world.GetRootNode()->FindByName(*request.rootName);
    auto* top = new SWobjectnode(SWnode::kKindGroup); // the tree owns it from AddNode on
    top->SetName(slot.instance->entry->GetName());
    if (!m_world.AddNode(top, parent)) {
        delete top;
        return false;
    }
    if (request.applyRequest && request.initialTransform)
        top->SetInitialMatrix(*request.initialTransform);
    MergeOptions options;
    options.parent = top;
    options.uniqueNames = false;
    options.kinds = request.applyRequest ? request.importFlags : kMergeAll;
    slot.instance->record = MergeWorld(m_world, import, options, PathOf(*slot.instance->entry));
    slot.instance->top = top;
    slot.instance->loaded = true;
    if (slot.instance->hidden)
        SetHidden(*slot.instance, true);
    if (request.executeStartEvents) {
        // Aimed at the event itself: an instance keeps its names, so a name would find the first instance's.
        for (const MergeEntry& entry : slot.instance->record.entries) {
            SWevent* event = entry.kind == MergedKind::kEvent ? m_world.FindEventById(entry.id) : nullptr;
            if (event != nullptr && event->GetType() == static_cast<uint32_t>(EventType::kWorldStart))
                m_world.PostNamedTrigger(event, std::nullopt);
        }
    }
    m_world.Invalidate(false); // what merged shows at once, in every view
    return true;
}

void CVTN_SubWorldLoader::SetHidden(CVTN_SubWorldInstance& instance, bool hidden)
{
    instance.hidden = hidden;
    if (instance.top == nullptr)
        return;
    for (SWnode* n = instance.top; n != nullptr; n = n->NextInTree(instance.top)) {
        if (SWgeometry* geometry = n->GetGeometry())
            geometry->SetHidden(hidden, true);
    }
    m_world.Invalidate(false);
}

bool CVTN_SubWorldLoader::ShowSubWorld(CVTN_SubWorld& entry, bool show, bool all, bool backwards)
{
    SWworldlock lock(m_world);
    std::vector<CVTN_SubWorldInstance*> instances = Instances(entry);
    if (backwards)
        std::reverse(instances.begin(), instances.end());
    bool changed = false;
    for (CVTN_SubWorldInstance* instance : instances) {
        if (!instance->loaded || instance->hidden != show)
            continue; // still loading, or already as asked
        SetHidden(*instance, !show);
        changed = true;
        if (!all)
            break;
    }
    return changed;
}

size_t CVTN_SubWorldLoader::CompletePendingLoads()
{
    std::vector<Finished> finished;
    {
        const std::lock_guard<std::mutex> guard(m_queue->lock);
        finished.swap(m_queue->items);
    }
    SWworldlock lock(m_world);
    size_t merged = 0;
    for (Finished& item : finished) {
        const auto slot =
            std::find_if(m_slots.begin(), m_slots.end(), [&](const Slot& s) { return s.serial == item.serial; });
        if (slot == m_slots.end())
            continue; // unloaded while it loaded
        slot->loader->Join();
        slot->loader.reset();
        if (!item.import || !Merge(*slot, *item.import)) {
            slot->instance->failed = true;
            slot->instance->message =
                item.import ? PathOf(*slot->instance->entry) + ": the world could not be merged" : item.message;
            continue;
        }
        ++merged;
    }
    return merged;
}

void CVTN_SubWorldLoader::Remove(Slot& slot, bool resources)
{
    if (slot.loader)
        slot.loader->Stop();
    if (slot.instance->loaded) {
        RemoveMerged(m_world, slot.instance->record, resources);
        m_world.DeleteNode(slot.instance->top);
    }
}

bool CVTN_SubWorldLoader::UnloadSubWorld(CVTN_SubWorld& entry, CVTN_SubWorldInstance* instance, bool all,
                                         bool resources)
{
    SWworldlock lock(m_world);
    bool found = false;
    for (auto slot = m_slots.end(); slot != m_slots.begin();) {
        --slot;
        CVTN_SubWorldInstance* candidate = slot->instance.get();
        if (candidate->entry != &entry || (instance != nullptr && candidate != instance))
            continue;
        Remove(*slot, resources);
        slot = m_slots.erase(slot);
        found = true;
        if (instance != nullptr || !all)
            break;
    }
    return found;
}

std::vector<CVTN_SubWorldInstance*> CVTN_SubWorldLoader::Instances(const CVTN_SubWorld& entry) const
{
    std::vector<CVTN_SubWorldInstance*> found;
    for (const Slot& slot : m_slots) {
        if (slot.instance->entry == &entry && !slot.instance->failed)
            found.push_back(slot.instance.get());
    }
    return found;
}

std::vector<CVTN_SubWorldInstance*> CVTN_SubWorldLoader::Unloading(const CVTN_SubWorld& entry, bool all) const
{
    std::vector<CVTN_SubWorldInstance*> found;
    for (auto slot = m_slots.rbegin(); slot != m_slots.rend() && (all || found.empty()); ++slot)
        if (slot->instance->entry == &entry)
            found.push_back(slot->instance.get());
    return found;
}

void CVTN_SubWorldLoader::ForgetNodes(const std::set<const void*>& gone)
{
    for (Slot& slot : m_slots)
        if (slot.instance->top != nullptr && gone.count(static_cast<const SWnode*>(slot.instance->top)) != 0)
            slot.instance->top = nullptr;
}

void CVTN_SubWorldLoader::ForgetEntry(const CVTN_SubWorld* entry)
{
    for (auto slot = m_slots.begin(); slot != m_slots.end();) {
        if (slot->instance->entry != entry) {
            ++slot;
            continue;
        }
        if (slot->instance->loaded) {
            slot->instance->entry = nullptr;
            ++slot;
            continue;
        }
        // Its merge would name the top after the entry and its messages after the entry's file.
        if (slot->loader)
            slot->loader->Stop();
        slot = m_slots.erase(slot);
    }
}

size_t CVTN_SubWorldLoader::PendingCount() const
{
    return static_cast<size_t>(std::count_if(m_slots.begin(), m_slots.end(),
                                             [](const Slot& s) { return !s.instance->loaded && !s.instance->failed; }));
}
