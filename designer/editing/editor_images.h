#pragma once
// CVTND_EditorImages: the one store of the editor's pictures -- the bitmaps, the icons, the drag cursor and the image
// lists from which the event map, its event list, the palette objects and the scene-graph tree draw. The application
// makes it once at start-up through its registered creator and keeps it for the whole process.
//
// The pictures come from the resource registry by id; ids nobody registered get the layer's generated tiles. Which
// id stands at which index of which list is fixed here; the art is not.
#include <array>
#include <cstdint>
#include <vector>

#include "designer/app/app_component.h"
#include "designer/editing/editor_objects.h"
#include "platform/gfx/dib.h"
#include "platform/gfx/icon.h"
#include "platform/gfx/image_list.h"
#include "platform/gfx/memory_dc.h"
#include "platform/ui/core/cursor.h"

enum class EditorImageList : uint8_t {
    kEvents,
    kEventsSecond,
    kObjects,
    kSmallActions,
    kLargeActions,
    kObjectsSecond,
    kTree,
    kSceneFile, // icon 498
    kSmallThree,
    kAxes, // 0 X, 1 Y, 2 Z, 3 scale
    kSix,
    kMarkers,
    kCount,
};

class CVTND_EditorImages : public CVTND_AppComponent {
public:
    static constexpr uint32_t kDragCursor = 313; // the cursor of a drag of several objects
    static constexpr int32_t kTreeOverlayImage = 23;

    CVTND_EditorImages(); // loads every picture and builds the lists
    ~CVTND_EditorImages() override;

    const pf::ImageListRef& List(EditorImageList which) const { return m_lists[static_cast<size_t>(which)]; }
    pf::ImageListRef ListOf(EdImageList which) const; // the engine's names for the lists; null for kNone
    const pf::Cursor& DragCursor() const { return m_dragCursor; }
    const std::vector<pf::DibSectionRef>& Bitmaps() const { return m_bitmaps; }
    const std::vector<int32_t>& TreeIndices() const { return m_treeIndices; } // per added icon, its index
    const std::vector<int32_t>& MarkerIndices() const { return m_markerIndices; }
    int32_t SceneFileIndex() const { return m_sceneFileIndex; }
    pf::IconRef ObjectIcon(int32_t index) const; // of the object list; null out of range

    // The resource ids behind each list, in index order (for reviews and tests).
    static const std::vector<uint32_t>& IdsOf(EditorImageList which);
    // Registers a role glyph for every picture id of the lists, bitmaps and cursor, unless one is registered.
    static void RegisterPictures();

private:
    std::array<pf::ImageListRef, static_cast<size_t>(EditorImageList::kCount)> m_lists;
    std::vector<pf::IconRef> m_icons; // each icon resource once
    std::vector<pf::DibSectionRef> m_bitmaps;
    pf::Cursor m_dragCursor;
    std::array<pf::MemoryDc, 2> m_memoryDcs; // bitmaps 347 and 354 selected, ready for drawing
    std::vector<int32_t> m_treeIndices;
    std::vector<int32_t> m_markerIndices;
    int32_t m_sceneFileIndex = -1;
};

CVTND_EditorImages* GetEditorImages(); // the application's; null while there is none
