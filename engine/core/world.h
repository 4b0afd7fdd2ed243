#pragma once
// SWworld: what the user builds and previews. It is the holder of events (SWevents) and holds the scene tree, the
// root object with the resources, the sounds, cursors, sub-worlds, Java class entries, the key table, the cameras
// and windows, its own variables, and the queues the frame step drains.
//
// Index:
//   - construction, lock, host callbacks
//   - the tree: nodes, matrices, deletion
//   - variables: lookups, qualified names, resets, the start of a run
//   - input posting (any thread) and the sound queues (their own lock)
//   - resources: textures and backgrounds
//   - settings and state fields
//
// Locking: the render thread steps the world under Lock; editors take it around their changes. Invalidate takes it
// itself. The posted input queue and the sound queues have their own locks and may be used from any thread; nothing
// else locks.
#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/behaviour/events.h"
#include "engine/behaviour/key_table.h"
#include "engine/behaviour/properties.h"
#include "engine/core/critical_section.h"
#include "engine/core/cursor_list.h"
#include "engine/core/node_index.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/sync_event.h"
#include "engine/resources/file_references.h"
#include "engine/resources/sound_list.h"

class SWbackground;
class SWcameranode;
class SWcursor;
class SWevent;
class SWgeometry;
class SWjavaclassnode;
class SWnode;
class SWobjectnode;
class SWproperty;
class SWrootobject;
class SWsound;
class SWtexture;
class SWwindow;

// What a later part of the engine keeps in the world (the expression list, the timed-action table, ...): the
// world owns it and deletes it with itself.
class SWworldpart {
public:
    virtual ~SWworldpart() = default;
};

enum class WorldPart : size_t {
    kExpressions,
    kTimedActions,
    kPreviewedMotions,
    kTooltips,
    kTooltipLayer,
    kCanvasManager,
    kLoaderQueue,
    kKeptSections,    // sections of the file read without their handler, written back as they were
    kBuiltBackground, // what the last set-background run built, so a repeated run only refreshes
    kFrameState,      // what the frame step keeps from one frame to the next
    kCount,
};

// Something that holds a pointer to a texture of the world and follows it when the texture is replaced.
class SWtextureholder {
public:
    virtual ~SWtextureholder() = default;
    virtual void ReplaceTexture(SWtexture* old, SWtexture* replacement) = 0; // replacement may be null
};

// The arcball's settings: three mouse-button modes and six sensitivities.
struct SWarcballsettings {
    std::array<uint8_t, 3> buttonModes = {3, 6, 7};
    std::array<float, 6> values = {100.0f, 100.0f, 100.0f, 100.0f, 100.0f, 100.0f};
};

class SWcameraentry : public SWlistnode {
public:
    explicit SWcameraentry(SWcameranode* node) : node(node) {}
    SWcameranode* node; // a node of the world's tree
};

class SWworld : public SWevents {
public:
    static constexpr uint32_t kDefaultFileVersion = 951;

    SWworld(); // a root node and root object, empty lists, the key table
    ~SWworld() override;

    SWworld* AsWorld() override { return this; }
    float GetCurrentWorldTime() const override { return m_currentTimeMs.load(std::memory_order_relaxed); }

    // -- Lock (recursive)
    virtual void Lock() { m_lock.Enter(); }
    virtual void Unlock() { m_lock.Leave(); }
    bool TryLock() { return m_lock.TryEnter(); }            // true: held (once more), to be let go with Unlock
    bool LockWanted() const { return m_lock.HasWaiters(); } // another thread waits for the lock now

    // -- Host callbacks: the embedding host implements them; the defaults do nothing
    virtual void JavaCallback(SWevent* event, const char* text1, const char* text2, const char* dataText);
    virtual void SetCursor(const SWcursor* cursor); // null: the default cursor
    virtual void HostMessage(const char* text);
    virtual bool BeginMouseLook() { return false; } // true: the pointer is captured
    virtual void EndMouseLook() {}

    // -- The tree
    SWnode* GetRootNode() const { return m_rootNode.get(); }
    SWrootobject* GetRootObject() const { return m_rootObject.get(); }
    bool AddNode(SWnode* node, SWnode* parent); // parent null: the root; the tree owns node from now on
    // Deletes node with its subtree; false for the root or a node of another world. The world's references to the
    // subtree go first (groups, cameras, arcball, windows, events, input records), then every geometry object that
    // no remaining node uses.
    bool DeleteNode(SWnode* node);
    // flag 1: the subtree's matrices with no motion applied (pending transforms are folded).
    void UpdateNodeTransforms(SWnode* node, int flag);
    void UpdateGeometryMatrices(SWnode* node); // the object and render matrices of the subtree
    // Moves node under newParent; keep: the world matrix stays; flag: the moved subtree is refreshed at once.
    bool Reparent(SWobjectnode* node, SWnode* newParent, bool keep, int flag);
    SWcameraentry* AddCamera(SWcameranode* node); // to the camera list
    SWcameranode* GetActiveCamera() const;        // the first camera's node
    const SWlist& GetCameraList() const { return m_cameras; }
    void SetArcballNode(SWobjectnode* node) { m_arcballNode = node; }
    SWobjectnode* GetArcballNode() const { return m_arcballNode; }
    void SetArcballFlag(uint8_t flag) { m_arcballFlag = flag; }
    uint8_t GetArcballFlag() const { return m_arcballFlag; }
    const SWarcballsettings& GetArcballSettings() const
    {
        return m_arcballSettings ? *m_arcballSettings : m_ownArcball;
    }
    void SetArcballSettings(const SWarcballsettings* settings) { m_arcballSettings = settings; } // null: our own
    // A copy of settings kept by the world, so no action an editor may delete is pointed into.
    void SetArcballSettingsCopy(const SWarcballsettings& settings)
    {
        m_boundArcball = settings;
        m_arcballSettings = &m_boundArcball;
    }
    SWwindow* AddWindow(std::unique_ptr<SWwindow> window); // owned here
    // Hands a window back to its caller (a view that closes); null when it is not one of ours. The current view
    // falls back to the first remaining window.
    std::unique_ptr<SWwindow> RemoveWindow(SWwindow* window);
    const std::vector<std::unique_ptr<SWwindow>>& GetWindows() const { return m_windows; }
    void Invalidate(bool immediate); // every window redraws (under the lock); immediate also wakes the render thread
    // The view the user works in: the window named by SetCurrentView while it is still in the window list, else
    // the first window, else none. Its camera is the window's camera node, else the camera list's first; its size
    // is what its renderer was last given (0 x 0 without a window or renderer).
    void SetCurrentView(SWwindow* window) { m_currentView = window; } // null: the first window
    SWwindow* GetCurrentView() const;
    SWcameranode* GetCurrentViewCamera() const;
    void GetCurrentViewSize(uint32_t& width, uint32_t& height) const;
    // Ends mouse-look in every running navigation motion; releasing the pointer stays with the caller.
    void EndAllMouseLook();
    bool IsFullRedrawRequested() const { return m_fullRedraw; }
    void ClearFullRedraw() { m_fullRedraw = false; }
    CVTN_SyncEvent& GetRedrawEvent() { return m_redrawEvent; }

    // -- Variables
    SWproperties2& GetVariables() { return m_variables; } // the world's own
    SWproperty* FindVariableById(uint32_t id) const;      // nodes, sounds, Java entries, events and the world
    // "NODE:%s.%s", "SOUND:%s.%s" or "RESOURCE:%s.%s"; none for a variable of an event, the world or no owner.
    std::optional<std::string> GetQualifiedName(const SWproperty& variable) const;
    void StoreAllCurrentValues(); // every node, sound and Java entry variable back to its initial value
    SWproperties2& GetSoundVariables(const SWsound& sound); // made on first use; they go with the sound
    SWproperties2* FindSoundVariables(const SWsound& sound) const;
    bool RemoveSound(SWsound* sound); // deletes it with its variables and every queued use
    SWjavaclassnode* AddJavaClass(std::unique_ptr<SWjavaclassnode> entry);
    const SWlist& GetJavaClasses() const { return m_javaClasses; }
    std::unique_ptr<SWjavaclassnode> RemoveJavaClass(SWjavaclassnode* entry); // null when not the world's
    // The start of a run, under the lock, only when not running: running; key states cleared; variables reset;
    // events reset; the per-node start steps; both input queues emptied.
    void Start();
    void RunNodeStartSteps(); // each object node's motion controller: pending state cleared, controller reset
    // The full reset's visit callback: the current frame of an object node's existing controller cleared.
    static void ResetNodeController(SWnode& node, void* unusedA, void* unusedB);
    bool IsRunning() const { return m_running; }
    void SetRunningFlag(bool running) { m_running = running; } // the frame step's stop

    // -- The frame (defined with the behaviour runtime, frame_step.cpp). RunFrame: one frame on the render thread,
    // under the lock the caller holds: input, the world's own records, motions, events, transforms, the purge,
    // sounds, tooltips, then drawing through each window's renderer. SetRunning: the preview's start and stop.
    void RunFrame();
    void SetRunning(bool on);
    // The nearest visible object node with geometry whose world bounding box the ray through pixel (x, y) of the
    // current view meets; null when none is or the view has no size. Boxes, not triangles.
    virtual SWnode* PickNode(int32_t x, int32_t y);

    // -- Input posting (any thread). False: nothing was posted (out of memory).
    bool PostInputEvent(InputKind kind, SWinputtarget target = {});
    bool PostNamedTrigger(SWevent* event, std::optional<std::string> dataText,
                          std::optional<std::string> eventName = std::nullopt);
    bool PostKeyDown(const SWkeyentry& key);
    bool PostKeyUp(const SWkeyentry& key);

    // -- Sounds
    SWsoundlist& GetSoundList() { return m_sounds; }
    const SWsoundlist& GetSoundList() const { return m_sounds; }
    void QueueSoundPlay(SWsound* sound); // any thread; null ignored
    void QueueSoundStop(SWsound* sound);
    void QueueSoundLoad(SWsound* sound);
    struct SoundQueues {
        std::vector<SWsound*> play, stop, load;
    };
    SoundQueues TakeSoundQueues(); // the frame step's: every queued sound, the queues left empty
    void AddFileReference(std::string path) { m_files.Add(std::move(path)); }
    const SWfilereferences& GetFileReferences() const { return m_files; }
    SWfilereferences& GetFileReferences() { return m_files; }

    // -- Textures and backgrounds
    SWtexture* FindTextureByName(std::string_view name) const;
    void SetBilinear(uint8_t on); // the bilinear bit of every texture: set above 0, else cleared
    // Every holder of old (materials, the background definition, hot spots, registered holders) is pointed at
    // replacement; without keep, old is then detached and deleted. Under the lock. Virtual: a host that shows the
    // world's textures learns of every replacement, however it is reached.
    virtual void ReplaceTextureReferences(SWtexture* old, SWtexture* replacement, bool keep);
    // The unload-world action's: every instance of entry (all) or its most recent one, with the resources it brought
    // (resources). Virtual: a host whose windows may hold the instance's objects takes them out on its own thread.
    virtual void UnloadSubWorld(CVTN_SubWorld& entry, bool all, bool resources);
    void RegisterTextureHolder(SWtextureholder* holder);
    void UnregisterTextureHolder(SWtextureholder* holder);
    // A new render copy of definition (its texture copied, its colour and mode); nothing before the root object.
    void SetBackgroundTexture(const SWbackground* definition);
    void RebuildBackground(); // from the root object's current definition; none: no copy
    const SWbackground* GetBackgroundCopy() const { return m_backgroundCopy.get(); }

    // -- Lists and later parts
    CursorList& GetCursorList() { return m_cursors; }
    CVTN_SubWorlds& GetSubWorlds() { return m_subWorlds; }
    SWwinkeytable& GetKeyTable() { return m_keys; }
    SWworldpart* GetPart(WorldPart part) const { return m_parts[static_cast<size_t>(part)].get(); }
    void SetPart(WorldPart part, std::unique_ptr<SWworldpart> value); // the old one is deleted

    // -- Settings and state
    uint8_t GetStartFlag() const { return m_startFlag; }
    void SetStartFlag(uint8_t flag) { m_startFlag = flag; }
    uint8_t GetStopFlag() const { return m_stopFlag; }
    void SetStopFlag(uint8_t flag) { m_stopFlag = flag; }
    void SetCurrentWorldTime(float ms) { m_currentTimeMs.store(ms, std::memory_order_relaxed); }
    uint32_t GetFrameTimeMs() const; // the current world time as posted records carry it
    float GetVerticalFactor() const { return m_verticalFactor; }
    void SetVerticalFactor(float factor) { m_verticalFactor = factor; }
    const std::optional<std::string>& GetRequestUrl() const { return m_hostTexts[0]; }
    const std::optional<std::string>& GetRequestTarget() const { return m_hostTexts[1]; }
    const std::optional<std::string>& GetRequestFile() const { return m_hostTexts[2]; }
    void SetRequestUrl(std::optional<std::string> text) { m_hostTexts[0] = std::move(text); }
    void SetRequestTarget(std::optional<std::string> text) { m_hostTexts[1] = std::move(text); }
    void SetRequestFile(std::optional<std::string> text) { m_hostTexts[2] = std::move(text); }
    uint8_t GetStereo() const { return m_stereo; }
    void SetStereo(uint8_t on) { m_stereo = on; }
    uint32_t GetBuildNumber() const { return m_buildNumber; }
    void SetBuildNumber(uint32_t build) { m_buildNumber = build; }
    uint32_t GetFileVersionNumber() const { return m_fileVersion; }
    void SetFileVersionNumber(uint32_t version) { m_fileVersion = version; }
    float GetSceneSize() const { return m_sceneSize; }
    void SetSceneSize(float size) { m_sceneSize = size; }
    float GetPixelWidth() const { return m_pixelWidth; }
    float GetPixelHeight() const { return m_pixelHeight; }
    void SetPixelSize(float width, float height);
    void SetNavigationChanged() { m_navigationChanged = 1; }
    uint8_t GetNavigationChanged() const { return m_navigationChanged; }
    void ClearNavigationChanged() { m_navigationChanged = 0; }
    uint8_t GetNothingAnimated() const { return m_nothingAnimated; }
    void SetNothingAnimated(uint8_t on) { m_nothingAnimated = on; }
    uint8_t GetFrameStepping() const { return m_frameStepping; }
    void SetFrameStepping(uint8_t on) { m_frameStepping = on; }
    uint32_t GetRenderMode() const { return m_renderMode; }
    void SetRenderMode(uint32_t mode) { m_renderMode = mode; }
    float GetPreviewTime() const { return m_previewTimeMs; }
    void SetPreviewTime(float ms) { m_previewTimeMs = ms; }

private:
    class WorldVariables : public SWproperties2 {
    public:
        explicit WorldVariables(SWworld& world) : m_world(world) {}

    protected:
        void OnVariableRemoved(SWproperty&) override { m_world.RaiseStructureGeneration(); }

    private:
        SWworld& m_world; // owns this list
    };

    SWproperty* SearchVariableById(uint32_t id) const;
    void RebuildVariableIndex() const;
    uint64_t IndexStamp() const;
    void ForgetSubtree(const SWnode& node);
    void DeleteUnusedGeometry(const std::vector<SWgeometry*>& candidates);
    bool Post(SWinputrecord* record);
    void RedirectMaterials(SWtexture* old, SWtexture* replacement);
    bool RedirectBackground(SWtexture* old, SWtexture* replacement); // true: old went with it

    CVTN_CriticalSection m_lock;
    SWnodeindex m_nodeIndex; // of the tree under m_rootNode, which goes first
    uint8_t m_startFlag = 0;
    uint8_t m_stopFlag = 0;
    bool m_running = false;
    std::atomic<float> m_currentTimeMs{0.0f}; // stepped by the render thread, read by posters on any thread
    std::unique_ptr<SWnode> m_rootNode;
    std::unique_ptr<SWrootobject> m_rootObject;
    SWsoundlist m_sounds;
    std::map<const SWsound*, std::unique_ptr<SWproperties2>> m_soundVariables;
    CursorList m_cursors;
    CVTN_SubWorlds m_subWorlds;
    SWlist m_javaClasses; // of SWjavaclassnode
    SWwinkeytable m_keys;
    SWlist m_cameras; // of SWcameraentry
    std::vector<std::unique_ptr<SWwindow>> m_windows;
    SWobjectnode* m_arcballNode = nullptr; // a node of the tree; cleared when it is deleted
    uint8_t m_arcballFlag = 0;
    SWarcballsettings m_ownArcball;
    const SWarcballsettings* m_arcballSettings = nullptr; // m_boundArcball, or settings that outlive their use here
    SWarcballsettings m_boundArcball;
    SWwindow* m_currentView = nullptr; // compared with the window list before use, never followed blindly
    float m_verticalFactor = 1.0f;
    std::array<std::optional<std::string>, 3> m_hostTexts;
    uint8_t m_stereo = 0;
    uint32_t m_buildNumber = 0;
    uint32_t m_fileVersion = kDefaultFileVersion;
    float m_sceneSize = 1.0f;
    float m_pixelWidth = 1.0f;
    float m_pixelHeight = 1.0f;
    uint8_t m_navigationChanged = 0;
    uint8_t m_nothingAnimated = 0;
    uint8_t m_frameStepping = 0;
    uint32_t m_renderMode = 0;
    float m_previewTimeMs = 0.0f;
    std::mutex m_soundQueueLock; // guards the three sound queues
    SoundQueues m_soundQueues;
    SWfilereferences m_files;
    bool m_fullRedraw = false;
    CVTN_SyncEvent m_redrawEvent;
    WorldVariables m_variables{*this};
    std::vector<SWtextureholder*> m_textureHolders; // registered; each unregisters before it goes
    std::unique_ptr<SWbackground> m_backgroundCopy;
    mutable std::unordered_map<uint32_t, SWproperty*> m_variableIndex; // not owned; valid while the stamp holds
    mutable uint64_t m_variableIndexStamp = UINT64_MAX;
    std::array<std::unique_ptr<SWworldpart>, static_cast<size_t>(WorldPart::kCount)> m_parts;
};

// Holds the world's lock for a scope.
class SWworldlock {
public:
    explicit SWworldlock(SWworld& world) : m_world(world) { m_world.Lock(); }
    ~SWworldlock() { m_world.Unlock(); }
    SWworldlock(const SWworldlock&) = delete;
    SWworldlock& operator=(const SWworldlock&) = delete;

private:
    SWworld& m_world;
};
