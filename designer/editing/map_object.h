#pragma once
// MapObject: one node of the event map -- an event, an action, or a thing they refer to. It can be dragged and
// selected (Droppable), takes drops (DropReceptor: priority 0, so it wins over every other receptor) and carries
// its content (EdContent). Its drop rules turn drops into events, actions, arguments and links, under the world's
// lock, and announce each change to the tool windows after the lock is released.
#include <cstdint>
#include <string>

#include "designer/editing/editor_objects.h"

class CEditorEngine;
namespace pf {
class Dc;
}

// Where a window shows the map: its client origin on screen and its scroll origin (none for other windows).
struct MapView {
    pf::Point clientOrigin;
    pf::Point scroll;
};

class MapObject : public Droppable, public DropReceptor, public EdContent {
public:
    static constexpr uint16_t kAcceptMask = 0x7FFE; // every content kind but property, and both role bits

    MapObject() : DropReceptor(kAcceptMask, 0) { m_kind = EdKind::kMapObject; }

    uint16_t GetKind() const override { return m_kind; }
    void AddKind(uint16_t bits) override { m_kind |= bits; }
    MapObject* AsMapObject() override { return this; }
    bool IsPlaced() const { return x >= 0 && y >= 0; }

    // -- Droppable
    void ShowDragCursor() override;
    void Select(pf::Window* window, pf::Point at, bool toggle, bool makePrimary) override;
    void Open(pf::Window* window, pf::Point at) override;
    void ShowContextMenu(pf::Window* window, pf::Point at) override; // popups of menu 164, states set by content

    // On the canvas's paint context, at the map position less scroll; highlighted icons are blended 50 %.
    void Draw(pf::Dc& dc, pf::Point scroll, bool highlight);
    std::string Label() const; // what "show object names" writes under it; empty for none
    std::string ShownLabel(const CEditorEngine& engine) const; // the event's or object's name as the map shows it
    static std::string Shortened(std::string label);           // at most 32 characters, then "..."

    static MapView ViewOf(pf::Window* window);
    pf::Rect ScreenBox(const MapView& view) const; // right and bottom edges included, as the receptor walk wants

    // -- DropReceptor: the map position less the canvas's scroll origin, on screen
    int32_t GetScreenX(pf::Window* window) override;
    int32_t GetScreenY(pf::Window* window) override;
    int32_t GetWidth(pf::Window*) override { return width; }
    int32_t GetHeight(pf::Window*) override { return height; }
    void OnEnter(pf::Window* window, pf::Point at, Droppable* droppable) override;
    void OnHover(pf::Window* window, pf::Point at, Droppable* droppable) override;
    void OnLeave(pf::Window* window, Droppable* droppable) override;
    void OnDrop(pf::Window* window, pf::Point at, Droppable* droppable, bool more) override;
    bool CanAccept(Droppable* droppable) override;

    // The event map object whose folded inputs draw this one's links; not owned. The owner counts what it holds, so
    // that forgetting an object walks the map for its folds only when it holds some.
    MapObject* FoldOwner() const { return m_foldOwner; }
    void SetFoldOwner(MapObject* owner);
    uint32_t FoldsHeld() const { return m_foldsHeld; }
    uint8_t inputsFolded = 0;
    int32_t x = -1; // map position of the top-left corner; -1, -1 until placed
    int32_t y = -1;
    uint8_t marked = 0;
    pf::Point grabOffset;
    uint8_t halfOutline = 0; // 0 none, 1 left half, 2 right half drawn on a condition
    uint8_t dropSide = 0;    // 1 left, 2 right: the half of a condition last under the cursor

private:
    MapObject* m_foldOwner = nullptr;
    uint32_t m_foldsHeld = 0;

    bool IsCondition() const;
    pf::Point ClientOrigin(pf::Window* window) const; // position less the scroll origin
    void DrawHalf(pf::Window* window, uint8_t side);  // exclusive-or, so a second call erases
    void DrawOutline(pf::Window* window);
    uint8_t SideAt(pf::Window* window, pf::Point screen);
};

// The canvas a receptor's window belongs to: the registered event map whose window it is; null for others.
class CVTND_MapCanvas;
CVTND_MapCanvas* FindMapCanvas(const pf::Window* window);
CEditorEngine* GetEditorEngine(); // the application's, when it is this engine; null otherwise
