#pragma once
// CVTNDesignerApp: the state the whole designer shares, without the application's windows and start-up: the
// workspace (the designer world, the project and its gradient store), the editor engine and the shared editor
// images, the tool windows that receive the designer's notification, the open-editor list with the editor factory,
// the selection and the object the properties panel shows. One exists at a time, reached by GetDesignerApp().
//
// Threads: everything here runs on the user-interface thread, which owns every window; only the world is shared
// with the render thread, under the world's lock.
//
// Notification order (BroadcastEvent): the registered child frames, the ten docking panels by role, the open editors
// in the order they were opened, the event-map canvases. The handles are taken before the first send: a window
// destroyed by an earlier receiver is skipped, and a window made during the broadcast does not get the record.
#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <vector>

#include "designer/app/edit_dialog.h"
#include "designer/app/objects_factory.h"
#include "designer/app/project_object.h"
#include "engine/core/world_file.h"
#include "platform/base/hwnd.h"
#include "platform/ui/core/menu.h"

namespace pf {
class Window;
}
class CVTND_AppComponent;
class CVTND_EditorSettings;
class CVTND_EngineInterface;
class CVTND_Event;
class CVTND_ExtendedWorld;
class CVTND_GradientStore;
class CVTND_MapCanvas;
class CVTND_Project;
class SWactionnode;
class SWevent;

// The docking panels, by what they show; the workspace registers each panel's dialog.
enum class PanelRole : uint8_t {
    kEvents,
    kActions,
    kExpressions,
    kJava,
    kSceneGraph,
    kSounds,
    kCursors,
    kResources,
    kManipulate,
    kProperties,
    kCount,
};

class CVTNDesignerApp {
public:
    static constexpr uint32_t kEventMapMenu = 164;      // the event map's four context menus
    static constexpr uint32_t kEventMapFrameMenu = 128; // menu and accelerators of an event-map frame
    static constexpr uint32_t kDeleteFromMenu = 3;      // DeleteObject's flags from menus and the event editor
    static constexpr uint32_t kDeleteFromKey = 0;       // ... and from the Delete key

    // Becomes the current application; makes the editor images when their creator is registered. settings:
    // the program's, outliving this; null: a designer without settings (tools, tests).
    explicit CVTNDesignerApp(CVTND_EditorSettings* settings = nullptr);
    ~CVTNDesignerApp(); // the workspace and the engine go; no longer current
    CVTNDesignerApp(const CVTNDesignerApp&) = delete;
    CVTNDesignerApp& operator=(const CVTNDesignerApp&) = delete;

    // -- The workspace: the designer world, the project over it and the project's gradient store
    CVTND_ExtendedWorld* GetWorld() const { return m_world.get(); }
    CVTND_Project* GetProject() const { return m_project.get(); }
    CVTND_GradientStore* GetGradientStore() const { return m_gradients.get(); }
    void NewWorkspace(); // an empty world, a new project (which loads the settings) and a new store when registered
    // Takes a workspace made elsewhere (an opened project): the old one is deleted, project before world. The
    // caller has broadcast the closing notice (code 9) first.
    void SetWorkspace(std::unique_ptr<CVTND_ExtendedWorld> world, std::unique_ptr<CVTND_Project> project,
                      std::unique_ptr<CVTND_GradientStore> gradients);
    void DeleteWorkspace(); // project, store, then world
    CVTND_EditorSettings* GetSettings() const { return m_settings; }

    // -- The editor engine (made each time the workspace is built) and the shared editor images
    CVTND_EngineInterface* GetEditorEngine() const { return m_engine.get(); }
    bool MakeEditorEngine();   // false: no creator registered (the engine stays null)
    void DeleteEditorEngine(); // cleared first
    CVTND_AppComponent* GetEditorImages() const { return m_images.get(); }
    const pf::Menu* GetEventMapMenu(); // loaded once; null while the menu is not registered

    // -- Shared state
    pf::Window* GetMainFrame() const { return m_mainFrame; }
    void SetMainFrame(pf::Window* frame) { m_mainFrame = frame; } // the main frame's; null when it is gone
    // Editors write through to the world as they are used: while one is open, the project is also modified when
    // what a save would write of the parts the open editors can change differs from what it was as they opened.
    // Opening and closing one is no change; during a preview, with editors open, the answer is yes and not kept.
    uint8_t IsModified() const;
    void SetModified(uint8_t modified = 1);
    const CVTND_Object& GetPropertiesObject() const { return m_propertiesObject; }
    void SetPropertiesObject(const CVTND_Object& object) { m_propertiesObject = object; }
    CVTND_Objects& GetSelection() { return m_selection; }
    size_t GetSelectionCount() const { return m_selection.Count(); }
    float GetReferenceSize() const { return m_referenceSize; } // the 3D view's, in metres; 0: not known
    void SetReferenceSize(float size) { m_referenceSize = size; }
    CVTND_ObjectsFactory& GetObjectsFactory() { return m_factory; }

    // -- Tool windows
    void RegisterPanel(PanelRole role, pf::Window* dialog); // null unregisters
    pf::Window* GetPanel(PanelRole role) const;
    // A child frame of the main frame; an event map's frame passes its canvas. The frame unregisters before it goes.
    void RegisterChildFrame(pf::Window* frame, CVTND_MapCanvas* canvas = nullptr);
    void UnregisterChildFrame(pf::Window* frame);
    size_t GetChildFrameCount() const { return m_frames.size(); }
    // The canvases of the event-map frames in registration order; a new GetFirstEventMap starts again, and a frame
    // unregistered during a walk is skipped. Null at the end.
    CVTND_MapCanvas* GetFirstEventMap();
    CVTND_MapCanvas* GetNextEventMap();
    void RedrawEventMaps();
    pf::Window* OpenEventMapWindow(); // a new event-map frame (the counter grows); null when none is registered
    pf::Window* OpenEventTimeline(SWevent* event);
    int32_t OnToolsScaleCenter(); // the scale and centre tool for the root node; -1 when it is not registered

    // -- Notifications (user-interface thread)
    void BroadcastEvent(uint32_t message, uintptr_t wParam, const CVTND_Event* event);
    void Broadcast(const CVTND_Event& event);        // the designer's notification, wParam 0
    void AnnounceObject(const CVTND_Object& object); // code 1 for object

    // -- The editor factory
    // Opens the editor for object (see the open-editor record for the one-per-object rule), or answers the open
    // one; null when none opened (type 10 runs the icon browser instead). Only what is changed through it marks the
    // project modified (IsModified).
    pf::Window* EditObject(CVTND_Object object, bool nearCursor);
    void UnregisterEditDialog(const pf::Window* dialog); // removes and deletes its record; nothing when none names it
    const std::list<std::unique_ptr<CVTND_EditDialog>>& GetEditDialogs() const { return m_editors; }
    CVTND_EditDialog* FindEditDialog(uint16_t kind, const void* object) const;

    // -- Deletion: events (with their actions), actions and scene nodes with their subtree. Every object that goes
    // is announced deleted (code 2) while it still lives, children and actions first; then every registered
    // reference dropper runs, the selection and the properties panel forget it, and it is removed under the
    // world's lock. False, with nothing changed, for the root node and for types that are not deleted here.
    bool DeleteObject(const CVTND_Object& object, uint32_t flags);
    // What goes with a deletion, after its notice: the registered droppers, the selection and the properties panel
    // forget object. The project calls it for what a removed file brought.
    void ForgetDeleted(const CVTND_Object& object, uint32_t flags);

private:
    struct ChildFrame {
        pf::Window* frame = nullptr;       // the frame's own; unregistered before it goes
        CVTND_MapCanvas* canvas = nullptr; // an event map's canvas, or null
        uint64_t serial = 0;               // registration order, so a walk survives removals
    };

    CVTND_EditorSettings* m_settings; // the program's; may be null
    std::unique_ptr<CVTND_ExtendedWorld> m_world;
    std::unique_ptr<CVTND_Project> m_project;
    std::unique_ptr<CVTND_GradientStore> m_gradients;
    std::unique_ptr<CVTND_EngineInterface> m_engine;
    std::unique_ptr<CVTND_AppComponent> m_images;
    std::optional<pf::Menu> m_eventMapMenu;
    pf::Window* m_mainFrame = nullptr; // owned by the window layer
    uint32_t m_eventMapCount = 0;
    mutable uint8_t m_modified = 0;
    // What editors can change: parts of what a save writes, and the actions whose events are compared whole.
    struct EditorScope {
        WorldWriteParts parts;
        std::vector<const SWactionnode*> actions; // only compared with the world's, never read through
    };
    // While editors are open on an unmodified project: what they can change, and the forms of it that count as
    // unchanged (as the editors found it, and as they set themselves up).
    struct EditorForms {
        EditorScope scope;
        std::vector<uint64_t> unchanged;
    };
    std::optional<EditorForms> m_forms;
    bool m_formsAfterPreview = false; // editors opened during a preview: their forms are taken once it stops
    bool IsPreviewRunning() const;
    EditorScope OpenEditorScope() const;
    // None without a workspace, or when an action of scope is no longer in the world.
    std::optional<uint64_t> FormOf(const EditorScope& scope) const;
    void TakeEditorForms(std::optional<uint64_t> before);
    void NotePreviewStopped();
    // Whether the project is modified; a move of the open editors' parts from every unchanged form marks it. Never
    // asked during a preview, which moves what the project stores until it stops.
    bool NoteEditorChanges() const;
    CVTND_Object m_propertiesObject;
    CVTND_Objects m_selection;
    float m_referenceSize = 0.0f;
    CVTND_ObjectsFactory m_factory{*this};
    std::array<pf::Window*, static_cast<size_t>(PanelRole::kCount)> m_panels{}; // the workspace's
    std::list<ChildFrame> m_frames;
    uint64_t m_nextFrameSerial = 1;
    uint64_t m_mapWalk = 0; // serial of the map a walk returned last
    std::list<std::unique_ptr<CVTND_EditDialog>> m_editors;
};

CVTNDesignerApp* GetDesignerApp(); // the current application; null when there is none
