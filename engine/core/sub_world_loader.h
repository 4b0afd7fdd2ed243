#pragma once
// Loadable sub-worlds at run time: instances of a world's sub-world entries, each merged under a top node of its
// own and taken out again by its merge record. While the world is not running a load reads and merges at once;
// while it runs, a loader thread reads the file in blocks (stopping between blocks when asked) and parses it into
// a private import world off every lock, then queues it; CompletePendingLoads merges what is queued under the
// world's lock. A loader never touches the world, so one still running after its join time-out may be detached.
//
// An instance keeps its names: actions find nodes by name from the root, so a second instance's actions reach the
// first instance's nodes of the same name.
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/core/matrix.h"
#include "engine/core/scene_import.h"
#include "engine/core/thread_handler.h"
#include "engine/core/world.h"

class CVTN_SubWorld;
class SWobjectnode;

struct SubWorldLoadRequest {
    std::optional<std::string> rootName;      // attach under this node; none: the root node
    std::optional<SWmatrix> initialTransform; // the instance's top node takes it
    uint32_t importFlags = kMergeAll;         // the kinds merged (MergeKindBits)
    bool executeStartEvents = false;          // each world-start event of the instance is triggered once
    bool applyRequest = true;                 // flag A: 0 loads everything at the root, untransformed, every kind
    bool showAtOnce = true;                   // flag B: 0 keeps the instance hidden until shown
};

class CVTN_SubWorldInstance {
public:
    // The world's entry; null once the world forgot it (its scene file was removed), the instance's nodes staying.
    CVTN_SubWorld* entry = nullptr;
    // In the world's tree once loaded; null while loading, and once deleted with its subtree (the world says so).
    SWobjectnode* top = nullptr;
    MergeRecord record;
    bool loaded = false;
    bool hidden = false;
    bool failed = false; // the file did not read: nothing was added
    std::string message; // when failed: the file's name and why it did not read
};

class CVTN_SubWorldLoader : public SWworldpart {
public:
    // The loader of world, made on first use and kept as the world's loader-queue part.
    static CVTN_SubWorldLoader& Of(SWworld& world);

    explicit CVTN_SubWorldLoader(SWworld& world) : m_world(world) {}
    ~CVTN_SubWorldLoader() override; // stops every loader thread

    // Where the relative files of entries without a folder of their own are (CVTN_SubWorld::GetFolder).
    void SetBaseFolder(std::string folder) { m_baseFolder = std::move(folder); }
    // What reading an entry's file may cost (read_context.h); loads already started keep the limits they had.
    void SetReadLimits(const SWreadlimits& limits) { m_limits = limits; }
    const SWreadlimits& ReadLimits() const { return m_limits; }
    // Why the last direct load that answered null failed (the file's name and the cause); empty when none did.
    const std::string& LastError() const { return m_lastError; }
    // The records the last direct load left out of its file, which a load that answered an instance does not say.
    const std::vector<SkippedRecord>& LastSkipped() const { return m_lastSkipped; }
    std::string PathOf(const CVTN_SubWorld& entry) const; // a relative name beside the entry's folder or the base one
    // An instance of entry, or null: the entry's reference limit is reached, or (not threaded) the file failed.
    // threaded: returns at once, the merge waits for CompletePendingLoads.
    CVTN_SubWorldInstance* LoadFile(CVTN_SubWorld& entry, const SubWorldLoadRequest& request, bool threaded);
    size_t CompletePendingLoads(); // merges every finished load; answers how many
    // instance null: every instance of entry (all) or its most recent one; false when none was found. resources:
    // the textures, materials and sounds the instance brought go too; otherwise only its nodes, events, cursors.
    bool UnloadSubWorld(CVTN_SubWorld& entry, CVTN_SubWorldInstance* instance, bool all, bool resources = true);
    // Shows (show) or hides every loaded instance of entry (all), or the first one whose state differs, walking
    // the instances in load order or backwards. Hiding sets the hidden byte of every geometry the instance's
    // nodes draw. False when no instance changed.
    bool ShowSubWorld(CVTN_SubWorld& entry, bool show, bool all, bool backwards);
    std::vector<CVTN_SubWorldInstance*> Instances(const CVTN_SubWorld& entry) const;
    // What UnloadSubWorld(entry, null, all) takes, most recent first: failed and pending loads too.
    std::vector<CVTN_SubWorldInstance*> Unloading(const CVTN_SubWorld& entry, bool all) const;
    size_t PendingCount() const;
    // The world's deletions, told while what goes still lives. An instance whose top node is in gone keeps its
    // record without a top; a load of entry still pending stops, and a loaded instance of it keeps its nodes
    // without an entry.
    void ForgetNodes(const std::set<const void*>& gone);
    void ForgetEntry(const CVTN_SubWorld* entry);

private:
    struct Finished {
        uint64_t serial;                 // of the slot that asked; an unloaded slot's never matches again
        std::unique_ptr<SWworld> import; // null: the file did not read
        std::string message;             // why not
    };
    struct Queue {
        std::mutex lock;
        std::vector<Finished> items;
    };
    struct Slot {
        std::unique_ptr<CVTN_SubWorldInstance> instance;
        std::unique_ptr<CVTN_ThreadHandler> loader; // null once merged or for a direct load
        SubWorldLoadRequest request;
        uint64_t serial = 0;
    };

    bool Merge(Slot& slot, SWworld& import);
    void Remove(Slot& slot, bool resources);
    void SetHidden(CVTN_SubWorldInstance& instance, bool hidden);

    SWworld& m_world; // owns this part
    std::string m_baseFolder;
    SWreadlimits m_limits;
    std::string m_lastError;
    std::vector<SkippedRecord> m_lastSkipped;
    uint64_t m_nextSerial = 1;
    std::list<Slot> m_slots;                                    // in load order
    std::shared_ptr<Queue> m_queue = std::make_shared<Queue>(); // shared with loader threads, which may outlive us
};
