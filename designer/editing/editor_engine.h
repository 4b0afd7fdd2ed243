#pragma once
// CEditorEngine: the single editor engine of a workspace. It keeps the map objects (one per event, action or thing
// they refer to that the event map shows), the map's selection, its display settings with the pens made from
// them, and the drag in progress. The application makes it through its registered creator and clears it before
// the workspace goes; the main frame forwards a drag's moves and release to it.
//
// Sections of the implementation: editor_engine.cpp (registry, finds, placement, references, settings and pens),
// drag_tracking.cpp (BeginDrag, DragTo, Drop, CancelDrag, FindReceptorAt).
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "designer/app/engine_interface.h"
#include "designer/editing/editor_objects.h"
#include "designer/editing/editor_selection.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/gfx/icon.h"

namespace pf {
class Dc;
}
class CVTNDesignerApp;
class CVTND_EditorSettings;
class SWchunkstream;
class SWworld;

// The reserved name of the screen node among object nodes (its own icon); compared whole.
inline constexpr const char* kScreenNodeName = "Vortan Screen";

// Setting ids of the editor engine.
namespace EngineSetting {
inline constexpr uint32_t kShowEventNames = 10;
inline constexpr uint32_t kShowObjectNames = 11;
inline constexpr uint32_t kStraightLines = 12;
inline constexpr uint32_t kMapColour = 13;
inline constexpr uint32_t kTextColour = 14;
inline constexpr uint32_t kEventColour = 15;
inline constexpr uint32_t kSelectedEventColour = 16;
inline constexpr uint32_t kActionColour = 17;
inline constexpr uint32_t kSelectedActionColour = 18;
inline constexpr uint32_t kAutoRemove = 19;
inline constexpr uint32_t kAutoPanning = 20;
} // namespace EngineSetting

enum class EnginePen : uint8_t {
    kPrimarySelection,
    kSecondarySelection,
    kSelectedEventLink,
    kEventLink,
    kDragOutline,
    kSelectedActionLink,
    kActionLink,
    kDotted,
    kCount,
};

struct CVTND_Rgb {
    uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const CVTND_Rgb&, const CVTND_Rgb&) = default;
};

// One call of a receptor's enter, hover, leave or drop operation, as the engine makes it (leave has no point).
struct ReceptorCall {
    enum What : uint8_t { kEnter, kHover, kLeave, kDrop };
    What what;
    DropReceptor* receptor;
    pf::Window* window;
    pf::Point at;
    Droppable* payload;
    bool more;
};

class CEditorEngine : public EditorObjects, public CVTND_EngineInterface {
public:
    static constexpr int32_t kPlacementLimit = 5000; // radii of the placement search stay below it

    explicit CEditorEngine(CVTNDesignerApp* app = nullptr); // app: for its world, maps and broadcasts
    ~CEditorEngine() override;

    // -- CVTND_EngineInterface
    void BeginDrag(pf::Point screen, pf::Window* sourceMap) override;
    void DragTo(pf::Point screen) override;
    void Drop(pf::Point screen) override;
    void CancelDrag() override;
    UIObject* MakePaletteObject(const CVTND_Object& object) override; // null for a type without one
    void SetDragObject(UIObject* object) override;
    // A movable-target receptor over picker, which hears of nodes dropped on it (acceptMask is the receptor's own).
    uint32_t AddControlReceptor(pf::Window& picker, uint32_t acceptMask) override;
    void RemoveControlReceptor(uint32_t handle) override; // the receptor deleted; unknown handles are ignored
    void SettingChanged(uint32_t settingId) override;
    void Clear() override; // selection emptied, placement cursor (0, 0), every object deleted

    using EditorObjects::AddControlReceptor;
    bool IsDragging() const { return m_dragging; }

    // -- Drag tracking
    // The receptor under a screen point in window: smallest priority wins, the first registered among equals.
    DropReceptor* FindReceptorAt(pf::Window* window, pf::Point screen, const DropReceptor* skip, bool skipSelected);

    // -- Registry of map objects: each Add makes an unplaced object (-1, -1) owned by every open map; null for null
    MapObject* AddNode(SWnode* node);
    MapObject* AddSound(SWsound* sound);
    MapObject* AddExpression(SWexpressionentry* entry);
    MapObject* AddKind1000(SWcursor* cursor);
    MapObject* AddKind4000(SWmaterial* material);
    MapObject* AddWorld(CVTN_SubWorld* world);
    MapObject* AddAction(SWactionnode* action);
    MapObject* AddEvent(SWevent* event);              // also what it refers to, where not on the map yet
    void AddEvents(std::span<SWevent* const> events); // each as AddEvent, in order
    MapObject* FindNodeObject(const SWnode* node) const;
    MapObject* FindSoundObject(const SWsound* sound) const;
    MapObject* FindWorldObject(const CVTN_SubWorld* world) const;
    MapObject* FindExpressionObject(const SWexpressionentry* entry) const;
    MapObject* FindActionObject(const SWactionnode* action) const;
    MapObject* FindEventObject(const SWevent* event) const;
    MapObject* FindKind1000Object(const SWcursor* cursor) const;
    MapObject* FindKind4000Object(const SWmaterial* material) const;
    MapObject* FindContentObject(const void* content) const; // any map object of that content
    void RemoveMapObject(MapObject* object);                 // selection entry, both lists, deleted
    void UpdateEventIcon(SWevent* event);
    void AddMapOwners(MapObject& object); // every open map canvas not yet an owner

    // -- References and placement
    bool IsReferenced(const MapObject* object) const;
    void RemoveUnused();
    void RefreshActionReceptors();                      // every action list's receptor refills its list
    void DeleteActionReceptorsOf(SWactionnode* action); // the action lists that show action's branches go
    // Placement (map_placement.cpp) keeps what each object draws, its name included, clear of every other's.
    void PlaceNear(MapObject* object, const MapObject* anchor);
    void PlaceAt(MapObject* object, int32_t x0, int32_t y0);
    // What object draws at its position: its picture and, under it, its name as the map shows it, which may be
    // wider than the picture. Right and bottom exclusive.
    pf::Rect DrawnBox(const MapObject& object) const;
    void DrawLink(pf::Dc& dc, pf::Point from, pf::Point to) const;

    // -- The map layout in the project file (map_layout.cpp)
    bool WriteLayout(SWchunkstream& out) const;
    // Finds or makes the map objects of world's contents and sets their positions and pictures. False when the block
    // is damaged: what was read before the damage stays, nothing after it is read.
    bool ReadLayout(SWchunkstream& in, SWworld& world);
    bool ReadLayout(SWchunkstream& in); // against the application's world

    static int32_t ActionTypeIcon(int32_t kindId);
    static int32_t EventTypeIcon(uint32_t type);
    static int32_t MapNodeIcon(const SWnode& node);  // index of a node's map object: groups 10, cursors' code 7
    static pf::IconRef NodeIcon(const SWnode* node); // the pickers' picture of a node: none for groups or null

    // -- State
    std::function<void(const ReceptorCall&)> receptorObserver; // developer tools' trace of receptor calls
    CEditorSelection& Selection() { return m_selection; }
    const CEditorSelection& Selection() const { return m_selection; }
    CVTNDesignerApp* App() const { return m_app; }
    SWworld* World() const;
    pf::Point placementCursor{5, 5}; // where the canvas puts the next object without a position
    bool showEventNames = true;
    bool showObjectNames = true;
    bool straightLines = true;
    bool autoRemove = false;
    bool autoPanning = true;
    const CVTND_Rgb& Colour(uint32_t settingId) const;    // ids 13 to 18
    void SetColour(uint32_t settingId, CVTND_Rgb colour); // re-makes the pen of that colour
    const pf::Pen& GetPen(EnginePen pen) const { return m_pens[static_cast<size_t>(pen)]; }
    uint32_t PenGeneration(EnginePen pen) const { return m_penMade[static_cast<size_t>(pen)]; }

    void LoadSettings(const CVTND_EditorSettings& settings); // ids 10 to 20
    static void RegisterSettings(); // ids 10 to 20 with the editor settings; done at start-up, again is harmless

protected:
    void ForgetMapObject(MapObject* object) override; // selection, folds and every map's pointers

private:
    // Drag tracking (drag_tracking.cpp)
    struct Candidate {
        DropReceptor* receptor = nullptr;
        bool agreed = true;
    };
    void Enter(DropReceptor& receptor, pf::Window* window, pf::Point at, Droppable* payload);
    void Hover(DropReceptor& receptor, pf::Window* window, pf::Point at, Droppable* payload);
    void Leave(DropReceptor& receptor, pf::Window* window, Droppable* payload);
    void DropOn(DropReceptor& receptor, pf::Window* window, pf::Point at, Droppable* payload, bool more);
    static pf::Rect ScreenBoxOf(DropReceptor& receptor, pf::Window* window); // right and bottom included
    Candidate AgreedReceptor(pf::Window* window, pf::Point screen);
    bool AllAccept(DropReceptor& receptor);
    Droppable* Payload();
    void DrawMoveOutlines(); // every selection entry's outline at its stored point, exclusive-or
    void EndDrag();          // outlines erased, the current receptor left, palette objects deleted
    void DropOne(pf::Window* window, pf::Point screen);
    void DropSeveral(pf::Window* window, pf::Point screen);
    void DropSelection(pf::Window* window, pf::Point screen);

    void ForgetOnMaps(const MapObject* object); // null: every object

    MapObject* MakeMapObject(uint16_t kind, void* content, EdImageList list, int32_t icon, bool small);
    void AddEventTargets(SWevent& event, SWactionnode& action);
    static void TargetNodeNames(const SWevent& event, std::vector<std::string_view>& names);
    SWnode* FindTargetNode(const SWnode& root, std::string_view name); // looked up ahead, else by the index
    void MakePen(EnginePen pen);
    void MakePens();

    CVTNDesignerApp* m_app; // outlives the engine
    CEditorSelection m_selection;
    std::array<CVTND_Rgb, 6> m_colours{}; // settings 13 to 18
    std::array<pf::Pen, static_cast<size_t>(EnginePen::kCount)> m_pens{};
    std::array<uint32_t, static_cast<size_t>(EnginePen::kCount)> m_penMade{};
    bool m_dragging = false;
    bool m_outlinesDrawn = false;
    pf::Window* m_sourceMap = nullptr; // the canvas of a move of the selection
    // While AddEvents adds a batch: the names TargetNodeNames gave for it, the nodes they found, and how many of them
    // AddEvent has asked for, which it does in the same order.
    struct FoundAhead {
        std::span<const std::string_view> names;
        std::span<SWnode* const> found;
        size_t next = 0;
    };
    FoundAhead* m_foundAhead = nullptr;
};
