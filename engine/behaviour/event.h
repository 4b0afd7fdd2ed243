#pragma once
// SWevent: a named, typed trigger owned by the world, holding the ordered list of actions it runs when it fires.
// Each type keeps its own data (a timer, an object list, a sound list, a watched variable, a key list, a tagged
// name list); operations of one type group do nothing, or answer null or FLT_MAX, on an event of another type.
// An event also carries user variables.
//
// An object or key list exists or it does not: clearing it or removing its last entry deletes it, so "no list"
// (any object or key fires the event) is never confused with an empty list (which nothing could fire).
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/behaviour/properties.h"
#include "engine/behaviour/refs.h"
#include "engine/core/list.h"

class SWactionkind;
class SWactionnode;
class SWxyzmotion;
class SWevents;
class SWkeyentry;
class SWnode;
class SWproperty;

enum class EventType : uint32_t {
    kWorldStart = 0,
    kWorldStop = 1,
    kWorldStep = 2,
    kCustomEvent = 3,
    kTimerEvent = 4,
    kLeftClickObject = 5,
    kRightClickObject = 6,
    kMiddleClickObject = 7,
    kLeftClick = 8,
    kRightClick = 9,
    kMiddleClick = 10,
    kLeftRelease = 11,
    kRightRelease = 12,
    kMiddleRelease = 13,
    kLeftDoubleClick = 14,
    kLeftDoubleClickObject = 15,
    kMotionFinished = 16,
    kSoundFinished = 17,
    kPropertyChanged = 18,
    kKeyPressed = 19,
    kKeyReleased = 20,
    kLoadFinished = 21,
};
inline constexpr uint32_t kEventTypeCount = 22;

// An entry of an object list: a node name (null for an entry without one).
class SWobjectnameentry : public SWlistnode {
public:
    explicit SWobjectnameentry(std::optional<std::string> name) : name(std::move(name)) {}
    std::optional<std::string> name;
};

// An entry of a sound-name or tagged name list.
class SWnameentry : public SWlistnode {
public:
    explicit SWnameentry(std::optional<std::string> name) : name(std::move(name)) {}
    std::optional<std::string> name;
};

// An entry of a key list: the key table's entry, which lives as long as the world.
class SWkeyreference : public SWlistnode {
public:
    explicit SWkeyreference(const SWkeyentry* key) : key(key) {}
    const SWkeyentry* key;
};

// Names with a four-character tag (default "TXTB"); setting another tag empties the list.
class SWtaggednamelist : public SWlist {
public:
    SWtaggednamelist(); // tag "TXTB"
    uint32_t GetTag() const { return m_tag; }
    void SetTag(uint32_t tag); // another tag empties the list
    void AddName(std::optional<std::string> name);

private:
    uint32_t m_tag;
};

class SWevent : public SWlistnode, public SWproperties2 {
public:
    static constexpr double kTimeLineAtConstruction = 3600000.0;
    static constexpr double kTimeLineAfterTypeChange = 36000.0;
    static constexpr float kDefaultTimerIntervalMs = 1000.0f;
    static constexpr uint8_t kRequestNone = 0;
    static constexpr uint8_t kRequestActivate = 1;
    static constexpr uint8_t kRequestDeactivate = 2;

    SWevent(uint8_t reArmFlag, uint32_t type);
    ~SWevent() override; // deletes its actions, its type data and its name, then its variables

    // -- Identity
    uint32_t GetId() const { return m_id; }
    void SetId(uint32_t id) { m_id = id; }
    SWevents* GetWorld() const { return m_world; }
    void SetWorld(SWevents* world); // the world's events, which own this event; also sets its actions' world
    uint32_t GetType() const { return m_type; }
    void SetType(uint32_t type);
    const std::optional<std::string>& GetName() const { return m_name; }
    void SetName(std::optional<std::string> name);            // the world's references to the old name follow
    double GetTimeLineLength() const { return m_timeLineMs; } // the story board's length, ms
    void SetTimeLineLength(double ms) { m_timeLineMs = ms; }

    // -- State
    bool IsEnabled() const { return m_enabled != 0; }
    void SetEnabled(bool enabled) { m_enabled = enabled ? 1 : 0; }
    bool IsActive() const { return m_active != 0; }
    void SetActive(bool on);         // on also re-arms and unblocks
    void RequestActivation(bool on); // applied at the end of the world's step
    uint8_t GetPendingRequest() const { return m_pendingRequest; }
    void ClearPendingRequest() { m_pendingRequest = kRequestNone; }
    uint8_t GetFlag() const { return m_reArm; } // the re-arm flag: 1 = ready again after each firing
    void SetFlag(uint8_t flag) { m_reArm = flag; }
    void Block() { m_blocked = 1; }
    bool IsBlocked() const { return m_blocked != 0; }
    void Unblock() { m_blocked = 0; }
    void Rearm(bool force);

    // -- Timer (4)
    void SetTimerInterval(float ms);
    float GetTimerInterval() const;  // FLT_MAX for other types
    float GetTimerLastTime() const;  // FLT_MAX for other types
    void SetTimerLastTime(float ms); // type 4 only

    // -- Object list (5, 6, 7, 16)
    void AddObjectName(std::optional<std::string> name);
    SWlist* GetObjectList() const;                    // of SWobjectnameentry; null: none, or another type
    void ClearObjectList();                           // deletes the list
    bool RemoveObjectEntry(SWobjectnameentry* entry); // the last one removed deletes the list
    bool RenameObjectNames(std::string_view oldName, const std::string& newName); // true: one changed; index follows
    void SetSequenceMode(uint8_t on);                                             // 5-7 only
    uint8_t GetSequenceMode() const;                                              // 0 for other types
    SWnode* GetLastMatchedNode() const { return m_lastMatched; }
    void SetLastMatchedNode(SWnode* node) { m_lastMatched = node; }
    SWobjectnameentry* GetSequenceCursor() const { return m_cursor; }
    void SetSequenceCursor(SWobjectnameentry* entry) { m_cursor = entry; }

    // -- Sound list (17)
    void AddSoundName(std::optional<std::string> name);
    bool RemoveSoundName(std::string_view name); // the first equal entry
    void ClearSoundList();
    SWlist* GetSoundList() const; // of SWnameentry; null for other types

    // -- Watched variable (18)
    // In a world: the variable set, else the one the name resolves to as a reference ("NODE:lamp.level"), null
    // while none does; a deleted variable is never answered.
    SWproperty* GetWatchedVariable() const;
    void SetWatchedVariable(SWproperty* variable); // forgets a pending name
    const std::optional<std::string>& GetWatchedVariableName() const { return m_watchedName; }
    void SetWatchedVariableName(std::optional<std::string> name); // resolved later; forgets the variable
    uint8_t GetWatchOption(int index) const;
    void SetWatchOption(int index, uint8_t value); // index 0 or 1
    // The comparison partner kept with the event for the editor: a second variable's qualified name, or a 32-bit
    // constant. Dispatch reads neither.
    const std::optional<std::string>& GetSecondVariableName() const { return m_secondName; }
    void SetSecondVariableName(std::optional<std::string> name) { m_secondName = std::move(name); }
    const std::optional<uint32_t>& GetWatchConstant() const { return m_watchConstant; }
    void SetWatchConstant(std::optional<uint32_t> bits) { m_watchConstant = bits; }

    // -- Key list (19, 20)
    void AddKey(const SWkeyentry* key);    // null ignored
    void ClearKeyList();                   // deletes the list
    bool RemoveKey(const SWkeyentry* key); // the last one removed deletes the list
    SWlist* GetKeyEntry() const;           // of SWkeyreference; null: none, or another type
    void SetAllKeysFlag(uint8_t on);
    uint8_t GetAllKeysFlag() const;
    const SWkeyentry* GetFirstKeyAdded() const { return m_firstKey; }
    const SWkeyentry* GetLastPressedKey() const { return m_lastPressed; }
    void SetLastPressedKey(const SWkeyentry* key) { m_lastPressed = key; }
    const SWkeyentry* GetLastReleasedKey() const { return m_lastReleased; }
    void SetLastReleasedKey(const SWkeyentry* key) { m_lastReleased = key; }

    // -- Tagged name list (21)
    SWtaggednamelist* GetTaggedNameList() const { return m_taggedNames.get(); }

    // -- Actions (the event owns them)
    SWactionnode* GetFirstAction() const;
    static SWactionnode* GetNextAction(const SWactionnode* action);
    size_t CountActions() const { return m_actions.Count(); }
    void AppendAction(SWactionnode* action);                           // owned from now on; sets its event
    void InsertActionAfter(SWactionnode* action, SWactionnode* after); // after null: at the head
    bool UnlinkAction(SWactionnode* action);                           // the caller owns it again
    bool RemoveAction(SWactionnode* action);                           // unlinks and deletes
    SWactionnode* FindAction(uint32_t actionId) const;
    // A new action of kind, appended with the next action id; a private kind record (host callbacks, id 16) is
    // taken over. Null for a null kind.
    SWactionnode* CreateAction(SWactionkind* kind);
    SWactionnode* CreateHostCallbackAction(std::optional<std::string> text1, std::optional<std::string> text2);
    // Old files: the durations of old translations and rotations, and the vector of a continuous translation
    // (only for files of builds below 4000, so that a second load changes nothing).
    void ConvertOldActionTimes(uint32_t buildNumber);
    // Moves action (with the actions of its old event that depend on it) into this event after after; then every
    // link of this event naming an action it does not hold is unset.
    void MoveActionTree(SWactionnode* action, SWactionnode* after);

protected:
    void OnVariableRemoved(SWproperty& variable) override;

private:
    friend class SWeventindex;

    void ConvertOldXyzTimes(const SWactionnode& action, SWxyzmotion& motion, uint32_t buildNumber);
    void FreeTypeData();
    void MakeTypeData();
    bool HasObjectList() const;
    bool IsKeyType() const;
    void UnsetStaleLinks();
    void SelectorsChanged(); // what decides which records may fire it: its world's index follows

    uint32_t m_id = 0;
    SWevents* m_world = nullptr; // owns this event
    uint32_t m_type;
    // Timer
    float m_timerLastMs = 0.0f;
    float m_timerIntervalMs = kDefaultTimerIntervalMs;
    // Object list
    uint8_t m_sequence = 0;
    std::unique_ptr<SWlist> m_objects;
    SWnode* m_lastMatched = nullptr;       // a node of the world's tree; cleared with the list
    SWobjectnameentry* m_cursor = nullptr; // an entry of m_objects
    // Sound list
    std::unique_ptr<SWlist> m_sounds;
    // Watched variable
    SWproperty* m_watched = nullptr;  // a variable of the world, not owned; read only outside a world
    mutable VariableRef m_watchedRef; // the same, or the name's resolution, in a world
    uint8_t m_watchOptions[2] = {1, 1};
    std::optional<std::string> m_watchedName;
    std::optional<std::string> m_secondName;
    std::optional<uint32_t> m_watchConstant;
    // Key list
    std::unique_ptr<SWlist> m_keys;
    uint8_t m_allKeys = 0;
    const SWkeyentry* m_lastPressed = nullptr; // entries of the world's key table
    const SWkeyentry* m_lastReleased = nullptr;
    const SWkeyentry* m_firstKey = nullptr;
    // Tagged name list
    std::unique_ptr<SWtaggednamelist> m_taggedNames;

    uint8_t m_enabled = 1;
    uint8_t m_active = 1;
    uint8_t m_pendingRequest = kRequestNone;
    std::optional<std::string> m_name;
    uint8_t m_reArm;
    uint8_t m_blocked = 0;
    SWlist m_actions; // of SWactionnode
    double m_timeLineMs = kTimeLineAtConstruction;

    // Kept by the index of the world whose list holds this event (event_index.h).
    SWevents* m_listedIn = nullptr; // that world, which deletes its events before it goes
    uint64_t m_order = 0;           // rises along the list
    uint8_t m_group = 0;            // the EventGroup it is filed under
};
