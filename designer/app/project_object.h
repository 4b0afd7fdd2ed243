#pragma once
// CVTND_Object: a reference to one object of the project, as every panel, editor and notification passes it: a
// small type id and the object's address. The reference owns nothing; the world owns what it names.
//
// Type ids, stored in editor records and compared by every window, so their numbers are fixed:
//    0 none                 9 expression entry       18 root node
//    1 mesh node           10 cursor                 19 event type (the object is the type number)
//    2 camera node         11 tooltip                20 action kind
//    3 other object node   12 texture                21 Java panel item
//    4 any other node      13 hot spot               22 property
//    5 group               14 particle-system node   24 world header
//    6 material            15 event                  25 render layer
//    7 loaded world        16 action                 26 background
//    8 sound               17 resource item (Java class entry)
//
// A node's type comes from its kind flags, in this order: root 18, camera 2, hot spot 13, an object node whose
// geometry is a particle system 14, mesh node 1, group 5, other object node 3, any other node 4.
#include <cstddef>
#include <cstdint>
#include <vector>

class CVTN_SubWorld;
class CVTN_ToolTip;
class SWactionnode;
class SWbackground;
class SWcursor;
class SWevent;
class SWexpressionentry;
class SWheader;
class SWjavaclassnode;
class SWmaterial;
class SWnode;
class SWproperty;
class SWrenderlayer;
class SWsound;
class SWtexture;

enum class ObjectType : uint16_t {
    kNone = 0,
    kMeshNode = 1,
    kCamera = 2,
    kObjectNode = 3,
    kNode = 4,
    kGroup = 5,
    kMaterial = 6,
    kLoadedWorld = 7,
    kSound = 8,
    kExpression = 9,
    kCursor = 10,
    kTooltip = 11,
    kTexture = 12,
    kHotspot = 13,
    kParticleNode = 14,
    kEvent = 15,
    kAction = 16,
    kResourceItem = 17,
    kRoot = 18,
    kEventType = 19,
    kActionKind = 20,
    kJavaPanelItem = 21,
    kProperty = 22,
    kWorldHeader = 24,
    kLayer = 25,
    kBackground = 26,
};

class CVTND_Object {
public:
    CVTND_Object() = default;
    CVTND_Object(uint16_t type, void* object) : m_type(type), m_object(object) {}
    CVTND_Object(ObjectType type, void* object) : m_type(static_cast<uint16_t>(type)), m_object(object) {}
    explicit CVTND_Object(SWevent* event) : CVTND_Object(ObjectType::kEvent, event) {}
    explicit CVTND_Object(SWactionnode* action) : CVTND_Object(ObjectType::kAction, action) {}
    explicit CVTND_Object(SWnode* node) { InitFromNode(node); }
    explicit CVTND_Object(SWsound* sound) : CVTND_Object(ObjectType::kSound, sound) {}
    explicit CVTND_Object(SWmaterial* material) : CVTND_Object(ObjectType::kMaterial, material) {}
    explicit CVTND_Object(SWexpressionentry* entry) : CVTND_Object(ObjectType::kExpression, entry) {}
    explicit CVTND_Object(SWcursor* cursor) : CVTND_Object(ObjectType::kCursor, cursor) {}
    explicit CVTND_Object(CVTN_SubWorld* world) : CVTND_Object(ObjectType::kLoadedWorld, world) {}

    uint16_t GetType() const { return m_type; }
    bool IsType(ObjectType type) const { return m_type == static_cast<uint16_t>(type); }
    void* GetObject() const { return m_object; }
    bool IsEmpty() const { return m_type == 0 && m_object == nullptr; }
    bool IsNodeType() const; // 1-5, 13, 14 and 18: the object is an SWnode
    bool operator==(const CVTND_Object& other) const = default;

    void InitFromNode(SWnode* node); // null: the empty reference
    void InitMaterial(SWmaterial* material) { Set(ObjectType::kMaterial, material); }
    void InitWorld(CVTN_SubWorld* world) { Set(ObjectType::kLoadedWorld, world); }
    void InitTexture(SWtexture* texture) { Set(ObjectType::kTexture, texture); }
    void InitTooltip(CVTN_ToolTip* tooltip) { Set(ObjectType::kTooltip, tooltip); }
    void InitHeader(SWheader* header) { Set(ObjectType::kWorldHeader, header); }
    void InitBackground(SWbackground* background) { Set(ObjectType::kBackground, background); }
    void InitLayer(SWrenderlayer* layer) { Set(ObjectType::kLayer, layer); }
    void InitProperty(SWproperty* property) { Set(ObjectType::kProperty, property); }
    void InitJavaClass(SWjavaclassnode* entry) { Set(ObjectType::kResourceItem, entry); }

    static uint16_t TypeOfNode(const SWnode& node);

private:
    void Set(ObjectType type, void* object)
    {
        m_type = static_cast<uint16_t>(type);
        m_object = object;
    }

    uint16_t m_type = 0;
    void* m_object = nullptr; // not owned
};

// A list of references in the order they were added (the selection, the objects an operation touched).
class CVTND_Objects {
public:
    void Add(const CVTND_Object& object) { m_items.push_back(object); }
    bool AddUnique(const CVTND_Object& object); // false when listed already
    bool Remove(const CVTND_Object& object);    // every equal entry; false when none was listed
    size_t RemoveObject(const void* object);    // every entry naming object, whatever its type; the count
    bool Contains(const CVTND_Object& object) const;
    void Clear() { m_items.clear(); }
    size_t Count() const { return m_items.size(); }
    bool IsEmpty() const { return m_items.empty(); }
    const CVTND_Object& operator[](size_t index) const { return m_items[index]; }
    const CVTND_Object* First() const { return m_items.empty() ? nullptr : &m_items.front(); }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    std::vector<CVTND_Object> m_items;
};
