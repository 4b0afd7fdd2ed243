#pragma once
// The editor engine's object model: what can be dragged (a Droppable), what can take a drop (a DropReceptor), the
// content both stand for (EdContent) and the two registries with the drag state (EditorObjects).
//
// Kind word: bit 0x400 marks a map object, 0x800 a palette object; the rest is exactly one content kind. Content
// comparisons clear the role bits first (kContentMask); receptor masks see the whole word.
//
// Ownership: the receptor list owns every receptor, map objects included; the droppable list owns the palette
// objects and only links the map objects, which sit in both lists through two distinct link subobjects.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/list.h"
#include "engine/core/list_node.h"
#include "engine/core/pointer_table.h"
#include "platform/base/rect.h"

namespace pf {
class DibSection;
class Window;
} // namespace pf
class CVTN_SubWorld;
class SWactionkind;
class SWactionnode;
class SWcursor;
class SWevent;
class SWexpressionentry;
class SWjavaclassnode;
class SWmaterial;
class SWnode;
class SWproperty;
class SWsound;
class MapObject;
class UIObject;

// Content kinds and role bits of the kind word.
namespace EdKind {
inline constexpr uint16_t kProperty = 1;
inline constexpr uint16_t kSound = 2;
inline constexpr uint16_t kExpression = 4;
inline constexpr uint16_t kAction = 8;
inline constexpr uint16_t kEvent = 16;
inline constexpr uint16_t kNode = 32;
inline constexpr uint16_t kActionKind = 128;
inline constexpr uint16_t kEventType = 0x100;
inline constexpr uint16_t kJavaMethod = 0x200;
inline constexpr uint16_t kMapObject = 0x400;
inline constexpr uint16_t kPaletteObject = 0x800;
inline constexpr uint16_t kCursor = 0x1000;
inline constexpr uint16_t kLoadedWorld = 0x2000;
inline constexpr uint16_t kMaterial = 0x4000;
inline constexpr uint16_t kContentMask = 0xF3FF; // clears the two role bits
} // namespace EdKind

// The shared image list a droppable draws from; the editor images map it to their lists.
enum class EdImageList : uint8_t { kNone, kObjects, kEvents, kDisabledEvents, kSmallActions, kLargeActions };

// A method of the Java panel: its name and the class entry holding the class file's path.
struct CVTND_JavaMethod {
    std::string name;
    const SWjavaclassnode* classEntry = nullptr; // the world's
};

class EdObject {
public:
    virtual ~EdObject() = default;
};

class Droppable : public EdObject, public SWlistnode {
public:
    ~Droppable() override = default;

    uint16_t GetKindWord() const { return m_kind; }
    bool IsMapObject() const { return (m_kind & EdKind::kMapObject) != 0; }
    bool IsPaletteObject() const { return (m_kind & EdKind::kPaletteObject) != 0; }
    uint16_t GetContentKind() const { return m_kind & EdKind::kContentMask; }
    virtual MapObject* AsMapObject() { return nullptr; }
    virtual UIObject* AsPaletteObject() { return nullptr; }

    virtual void ShowDragCursor() {}
    virtual void DroppedAt(pf::Point) {}
    virtual void Select(pf::Window*, pf::Point, bool /*toggle*/, bool /*makePrimary*/) {}
    virtual void ShowContextMenu(pf::Window*, pf::Point) {}
    virtual void Open(pf::Window*, pf::Point) {}

    // The picture of a map object (rows of blue, green, red, the bottom row first); empty: the icon is drawn.
    std::vector<uint8_t> pixels;
    std::shared_ptr<pf::DibSection> bitmap; // the 32 x 32 picture made from pixels, drawn instead of the icon
    EdImageList imageList = EdImageList::kNone;
    EdImageList cursorImageList = EdImageList::kNone; // kNone: the drag cursor comes from imageList
    EdImageList disabledImageList = EdImageList::kNone;
    int32_t iconIndex = 0;
    int32_t width = 0; // pixels on the map
    int32_t height = 0;

protected:
    uint16_t m_kind = 0;
};

class DropReceptor;

// One window in which a receptor takes part.
class CDropReceptorOwner : public SWlistnode {
public:
    explicit CDropReceptorOwner(pf::Window* window) : window(window) {}
    pf::Window* window; // the owner's; it removes itself before it goes
};

// The list link through which the engine lists a receptor, apart from a map object's droppable link.
class DropReceptorLink : public SWlistnode {
public:
    explicit DropReceptorLink(DropReceptor& receptor) : receptor(receptor) {}
    DropReceptor& receptor;
};

class DropReceptor {
public:
    DropReceptor(uint16_t acceptMask, uint8_t priority) : acceptMask(acceptMask), priority(priority) {}
    virtual ~DropReceptor() = default;
    DropReceptor(const DropReceptor&) = delete;
    DropReceptor& operator=(const DropReceptor&) = delete;

    void AddOwner(pf::Window* window);
    void RemoveOwner(pf::Window* window); // the first entry of window
    bool OwnsWindow(const pf::Window* window) const;
    bool HasOwners() const { return !m_owners.Empty(); }
    // The refuse mask wins; then any shared bit with the accept mask. The whole kind word counts.
    bool Accepts(const Droppable& droppable) const;
    virtual MapObject* AsMapObject() { return nullptr; }
    // The engine's name for this receptor while it lists it; 0 before. Never reused, so a handle kept by a window
    // after the engine deleted the receptor finds nothing rather than another window's receptor.
    uint32_t Handle() const { return m_handle; }

    // The rectangle on screen for window; both right and bottom edges belong to it.
    virtual int32_t GetScreenX(pf::Window*) { return -1; }
    virtual int32_t GetScreenY(pf::Window*) { return -1; }
    virtual int32_t GetWidth(pf::Window*) { return 0; }
    virtual int32_t GetHeight(pf::Window*) { return 0; }
    virtual void OnEnter(pf::Window*, pf::Point, Droppable*) {}
    virtual void OnHover(pf::Window*, pf::Point, Droppable*) {}
    virtual void OnLeave(pf::Window*, Droppable*) {}
    virtual void OnDrop(pf::Window*, pf::Point, Droppable*, bool /*more*/) {}
    virtual bool CanAccept(Droppable*) { return true; }

    DropReceptorLink link{*this};
    uint16_t acceptMask;
    uint16_t refuseMask = 0;
    uint8_t priority; // the smallest wins among receptors under the point

private:
    friend class EditorObjects;
    SWlist m_owners; // of CDropReceptorOwner
    uint32_t m_handle = 0;
};

// The content a palette or map object stands for. The setters OR their bit into the kind word, never clearing it,
// so each object gets its content set once; a getter answers null unless the word carries its bit.
class EdContent {
public:
    virtual ~EdContent() = default;
    virtual uint16_t GetKind() const = 0;
    virtual void AddKind(uint16_t bits) = 0;

    void SetContent(uint16_t bits, void* content);
    void SetNode(SWnode* node) { SetContent(EdKind::kNode, node); }
    void SetSound(SWsound* sound) { SetContent(EdKind::kSound, sound); }
    void SetWorld(CVTN_SubWorld* world) { SetContent(EdKind::kLoadedWorld, world); }
    void SetKind1000(SWcursor* cursor) { SetContent(EdKind::kCursor, cursor); }
    void SetKind4000(SWmaterial* material) { SetContent(EdKind::kMaterial, material); }
    void SetExpression(SWexpressionentry* entry) { SetContent(EdKind::kExpression, entry); }
    void SetAction(SWactionnode* action) { SetContent(EdKind::kAction, action); }
    void SetActionType(SWactionkind* kind) { SetContent(EdKind::kActionKind, kind); }
    void SetEvent(SWevent* event) { SetContent(EdKind::kEvent, event); }
    void SetEventType(uint32_t type); // the number itself is the content
    void SetJavaMethod(const CVTND_JavaMethod* method);

    SWnode* GetNode() const { return static_cast<SWnode*>(Get(EdKind::kNode)); }
    SWsound* GetSound() const { return static_cast<SWsound*>(Get(EdKind::kSound)); }
    CVTN_SubWorld* GetWorld() const { return static_cast<CVTN_SubWorld*>(Get(EdKind::kLoadedWorld)); }
    SWcursor* GetCursor() const { return static_cast<SWcursor*>(Get(EdKind::kCursor)); }
    SWmaterial* GetMaterial() const { return static_cast<SWmaterial*>(Get(EdKind::kMaterial)); }
    SWexpressionentry* GetExpression() const { return static_cast<SWexpressionentry*>(Get(EdKind::kExpression)); }
    SWactionnode* GetAction() const { return static_cast<SWactionnode*>(Get(EdKind::kAction)); }
    SWactionkind* GetActionKind() const { return static_cast<SWactionkind*>(Get(EdKind::kActionKind)); }
    SWevent* GetEvent() const { return static_cast<SWevent*>(Get(EdKind::kEvent)); }
    int32_t GetEventType() const; // -1 unless an event-type item
    const CVTND_JavaMethod* GetJavaMethod() const;
    SWproperty* GetProperty() const { return static_cast<SWproperty*>(Get(EdKind::kProperty)); }
    void* GetContent() const { return m_content; }

private:
    void* Get(uint16_t bit) const { return (GetKind() & bit) != 0 ? m_content : nullptr; }

    void* m_content = nullptr; // the world's (or the panel's item); never owned
};

// A palette object: lives for one drag.
class UIObject : public Droppable, public EdContent {
public:
    UIObject() { m_kind = EdKind::kPaletteObject; }
    uint16_t GetKind() const override { return m_kind; }
    void AddKind(uint16_t bits) override { m_kind |= bits; }
    UIObject* AsPaletteObject() override { return this; }
    void ShowDragCursor() override;

    uint32_t followUp = 0; // a node dropped on the empty map opens its follow-up command there
};

// The map object, else the palette object, that droppable carries; null when it carries neither.
const EdContent* DroppedContent(Droppable* droppable);

// The registries and the drag state, the base of the editor engine.
class EditorObjects {
public:
    EditorObjects() = default;
    virtual ~EditorObjects(); // palette objects deleted, map objects unlinked, then every receptor deleted
    EditorObjects(const EditorObjects&) = delete;
    EditorObjects& operator=(const EditorObjects&) = delete;

    void AddMapObject(MapObject* object);                // both lists; the receptor list owns it
    void AddDroppable(Droppable* droppable);             // a palette object; owned here from now on
    uint32_t AddControlReceptor(DropReceptor* receptor); // owned here from now on; its handle (0 for null)
    void DeleteMapObject(MapObject* object);             // unlinked from both lists and deleted
    void DeleteDroppable(Droppable* droppable);
    void DeleteControlReceptor(DropReceptor* receptor);
    bool HoldsReceptor(const DropReceptor* receptor) const;
    DropReceptor* FindReceptor(uint32_t handle) const; // null once the receptor is gone, and for 0
    bool HoldsDroppable(const Droppable* droppable) const;

    MapObject* FirstMapObject() const; // creation order
    MapObject* NextMapObject(const MapObject* object) const;
    // The first map object, in creation order, of that content; with kindBits, only one whose kind word has them.
    MapObject* FindMapObjectOf(const void* content, uint16_t kindBits = 0) const;
    size_t CountDroppables() const { return m_droppables.Count(); }
    size_t CountReceptors() const { return m_receptors.Count(); }
    const SWlist& Receptors() const { return m_receptors; } // of DropReceptorLink

    std::vector<Droppable*>& DragList() { return m_dragList; } // the drag source fills it before BeginDrag
    DropReceptor* CurrentReceptor() const { return m_current; }

protected:
    void ReleaseAll();                          // what the destructor and Clear do
    virtual void ForgetMapObject(MapObject*) {} // whatever else refers to a map object about to be deleted

    std::vector<Droppable*> m_dragList; // not owned: registered droppables
    DropReceptor* m_current = nullptr;
    pf::Point m_last;
    pf::Window* m_currentWindow = nullptr;
    SWlist m_droppables; // palette objects (owned) and map objects (linked only)
    SWlist m_receptors;  // of DropReceptorLink, each receptor owned
    uint32_t m_lastHandle = 0;
    // The map objects by their content: a map of thousands is searched by content at every placement and layout
    // entry. A map object's content is set before it is added and never changes.
    static uint64_t ContentHash(const void* content) { return reinterpret_cast<uintptr_t>(content); }
    SWpointertable<MapObject> m_byContent;
};
