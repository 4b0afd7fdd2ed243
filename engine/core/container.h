#pragma once
// CVTN_Container: the base of every persistent engine object.
//
// - Type tags: each class of an object's hierarchy adds its four-character tag as it is constructed, base first;
//   IsKindOf answers whether any of them is the tag asked, GetTag the most derived one.
// - Tree: a parent, two child lists (list 0 is the tree that GetNextInTree walks; list 1 holds children kept
//   apart from it) and sibling links. A container owns its children and deletes them with itself.
// - Listeners: a container registers to hear a notification code sent by objects of a given tag; NotifyListeners
//   on a sender calls Notify(code, sender) on each container registered for that code and one of the sender's tags.
//   Registrations live in one process-wide table under its own lock. Listeners run on the notifying thread with
//   that lock held: a listener may notify, register and unregister, but must not wait for another thread that
//   notifies. A listener never hears itself, and hears one notification once even when several tags match.
//   Deleting a container removes its registrations.
// - Persistence: virtual Read and Write of the object's records, a save priority and the record index the object
//   had in the file it was read from.
#include <cstddef>
#include <cstdint>

class SWchunkstream;

// Notification codes. 1001-1005 are fixed by stored behaviour; 1010 and 1011 are ours.
inline constexpr uint32_t kNotifyContentsChanged = 1001; // sent to an object (Notify): its contents changed
inline constexpr uint32_t kNotifyChanged = 1002;         // to listeners: the sender changed or finished loading
inline constexpr uint32_t kNotifyBeforeRender = 1003;    // to listeners: a frame is about to be drawn
inline constexpr uint32_t kNotifyAfterRender = 1005;     // to listeners: a frame was drawn
inline constexpr uint32_t kNotifyChildAdded = 1010;      // to listeners: the sender was just added to a parent
inline constexpr uint32_t kNotifyDetaching = 1011;       // to listeners: the sender is about to leave its parent

class CVTN_Container {
public:
    static constexpr int kChildLists = 2;
    static constexpr int kMaxTypeTags = 8; // the deepest class hierarchy of tagged objects

    CVTN_Container() = default; // no tags, links, flags or index
    CVTN_Container(const CVTN_Container&) = delete;
    CVTN_Container& operator=(const CVTN_Container&) = delete;
    // Unregisters its listeners, leaves its parent without notifying, then deletes every descendant deepest first,
    // without recursion: a descendant's destructor runs after its own children are gone.
    virtual ~CVTN_Container();

    // -- Type tags
    uint32_t GetTag() const;           // the most derived class's tag; 0 when none
    bool IsKindOf(uint32_t tag) const; // true when the tag is its own or a base class's

    // -- Tree
    CVTN_Container* GetParent() const { return m_parent; }
    CVTN_Container* GetFirstChild(int list = 0) const; // null for an empty or unknown list
    CVTN_Container* GetLastChild(int list = 0) const;
    CVTN_Container* GetNextSibling() const { return m_nextSibling; }
    CVTN_Container* GetPrevSibling() const { return m_prevSibling; }
    int GetChildList() const { return m_childList; } // which of its parent's lists holds it
    size_t CountChildren(int list = 0) const;
    // Appends child to the list; this owns child from now on, and child sends kNotifyChildAdded. False, with
    // nothing changed: child is null, has a parent, is this or an ancestor of this, or the list is unknown.
    bool AddChild(CVTN_Container* child, int list = 0);
    // Sends kNotifyDetaching, then leaves its parent's list; the caller owns it again. False: it has no parent.
    bool Detach();
    // The pre-order successor within the subtree over list 0: first child, else next sibling, else the next
    // sibling of the nearest ancestor below subtreeRoot; null at the end.
    CVTN_Container* GetNextInTree(const CVTN_Container* subtreeRoot) const;

    // -- Persistence
    virtual bool Read(SWchunkstream& in);   // false: damaged; the base reads nothing
    virtual bool Write(SWchunkstream& out); // false: not written; the base writes nothing
    // Whether a record of child's kind may be read as this object's child; a reader drops the others with their
    // descendants. The base holds none.
    virtual bool AcceptsChild(const CVTN_Container& child) const;
    int GetSavePriority() const { return m_savePriority; }
    void SetSavePriority(int priority) { m_savePriority = priority; }
    uint32_t GetRecordIndex() const { return m_recordIndex; }
    void SetRecordIndex(uint32_t index) { m_recordIndex = index; }
    uint32_t GetFlags() const { return m_flags; }
    void SetFlags(uint32_t flags) { m_flags = flags; }

    // -- Class: what the tree walks ask of every container they pass, answered from a stored word instead of a
    // dynamic_cast. A class sets its bit in its constructor; it is cleared where the destruction of the class's
    // direct base begins, so that it answers as a dynamic_cast would.
    static constexpr uint8_t kClassNode = 1;       // an SWnode
    static constexpr uint8_t kClassObjectNode = 2; // an SWobjectnode
    bool IsOfClass(uint8_t bit) const { return (m_classBits & bit) != 0; }

    // -- Notifications
    // The base answers kNotifyContentsChanged by telling its listeners kNotifyChanged.
    virtual void Notify(uint32_t code, CVTN_Container* sender);
    bool RegisterListener(uint32_t code, uint32_t senderTag);   // hear code from senderTag (0: any); false: already
    bool UnregisterListener(uint32_t code, uint32_t senderTag); // false: was not registered so
    void UnregisterAllListeners();
    void NotifyListeners(uint32_t code); // see the header comment

protected:
    void AddTypeTag(uint32_t tag); // each tagged class's constructor adds its own
    // Around the tree links: after this joined a parent's list, and before it leaves one, also when its parent
    // deletes it (its own destructor's leaving is not heard: the derived classes are gone by then).
    virtual void OnLinked() {}
    virtual void OnUnlinking() {}
    void SetClass(uint8_t bit, bool on)
    {
        m_classBits = static_cast<uint8_t>(on ? m_classBits | bit : m_classBits & ~bit);
    }

private:
    void Unlink(); // leaves the parent's list without notifying
    void DeleteDescendants();

    uint32_t m_tags[kMaxTypeTags] = {};
    int m_tagCount = 0;
    CVTN_Container* m_parent = nullptr;             // owns this container while set
    CVTN_Container* m_firstChild[kChildLists] = {}; // owned
    CVTN_Container* m_lastChild[kChildLists] = {};
    CVTN_Container* m_nextSibling = nullptr; // owned by the same parent
    CVTN_Container* m_prevSibling = nullptr;
    int m_childList = 0;
    int m_savePriority = 0;
    uint32_t m_recordIndex = 0;
    uint32_t m_flags = 0;
    bool m_mayListen = false; // set once it registers: deletion then cleans up
    uint8_t m_classBits = 0;
};
