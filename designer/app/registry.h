#pragma once
// CVTND_Registry: how the later parts of the designer (the workspace, event editing, the object editors) plug their
// classes into the application, which includes none of their headers. Each registers once, from a namespace-scope
// registration object in its own source file, as the tag registry and the world's sections do:
//
//   pf::Window* MakeSoundEditor(const CVTND_EditorRequest& request);
//   const CVTND_EditorRegistration kSoundEditor(ObjectType::kSound, kAnyActionKind, &MakeSoundEditor);
//
// What nobody registered is an absent feature: the factory opens nothing, a creator makes nothing, a modal tool does
// not run. A key takes one entry: a second registration for it loses and keeps the first. The Replace functions put
// a test's entry in place for a while and answer the one they displaced, for tests that restore it after.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "designer/app/project_object.h"

namespace pf {
class Window;
}
class CVTND_AppComponent;
class CVTND_EditDialog;
class CVTND_EngineInterface;
class CVTND_GradientStore;
class CVTNDesignerApp;
class SWbackground;
class SWevent;
class SWnode;
class SWproperty;

inline constexpr int32_t kAnyActionKind = -1;

// -- Editors by type id, and for actions (type 16) by action kind
struct CVTND_EditorRequest {
    void* object = nullptr;             // may be null (a new event)
    CVTND_EditDialog* record = nullptr; // the open-editor record the editor fills with itself
    pf::Window* parent = nullptr;       // the main frame; null until there is one
};
using CVTND_EditorConstructor = pf::Window* (*)(const CVTND_EditorRequest& request); // made and hidden; null: none
// What an editor can change of what a save writes. The designer compares only that to tell whether an editor opened
// and closed changed the project: an action editor that changes nothing but the action it edits (what its preview
// moves it puts back as it closes) is compared by that action's event alone, not by every node and event.
enum class CVTND_EditorReach { kItsKind, kItsActionOnly };

// -- Project objects by type id (9 the expression editor for a new entry, 11 a tooltip, 13 a hot spot)
struct CVTND_CreateRequest {
    std::string name;            // the new object's name, where it has one
    SWnode* parent = nullptr;    // where a new node goes; null: the root
    pf::Window* owner = nullptr; // the window a dialog opens over
};
using CVTND_ObjectCreator = CVTND_Object (*)(CVTNDesignerApp& app, const CVTND_CreateRequest& request);

// -- Child frame classes
enum class FrameClass : uint8_t { kEventMap, kEventTimeline };
struct CVTND_FrameRequest {
    pf::Window* mainFrame = nullptr;
    uint32_t menuId = 0;      // menu and accelerators of the frame
    uint32_t number = 0;      // an event map's number, for its title
    SWevent* event = nullptr; // the time line's event
};
using CVTND_FrameCreator = pf::Window* (*)(CVTNDesignerApp& app, const CVTND_FrameRequest& request);

// -- Modal tools
enum class ModalTool : uint8_t {
    kIconBrowser,             // for type 10 (cursors)
    kScaleCenter,             // the scale and centre tool, for a node
    kLoadedBackground,        // "the added file brings another background: take it?"
    kLoadedBackgroundWarning, // the same, for a background with a texture when the caller asks for the warning
    kAddProperty,             // the add-property dialog: subject the owner, property and mode below
    kRename,                  // the rename dialog, for the subject
    kRemoveSceneFiles,        // the dialog that removes added scene files with what they brought
    kSynchronizeSceneFiles,   // the dialog that sets each added file's options and reloads the checked ones
};

// What the properties panel asks of the add-property dialog.
enum class PropertyDialogMode : uint8_t { kAdd, kCast, kEdit };
struct CVTND_ModalRequest {
    pf::Window* owner = nullptr;
    CVTND_Object subject;
    const SWbackground* background = nullptr; // the notices' loaded background
    SWproperty* property = nullptr;           // the add-property dialog's cast source or edited property
    PropertyDialogMode propertyMode = PropertyDialogMode::kAdd;
};
using CVTND_ModalToolRun = int32_t (*)(CVTNDesignerApp& app, const CVTND_ModalRequest& request); // the end code

// -- What DeleteObject calls before it removes an object: each drops its own references (flags as the caller's)
using CVTND_ReferenceDropper = void (*)(CVTNDesignerApp& app, const CVTND_Object& object, uint32_t flags);

// -- The application's parts
using CVTND_EngineCreator = std::unique_ptr<CVTND_EngineInterface> (*)(CVTNDesignerApp& app);
using CVTND_ComponentCreator = std::unique_ptr<CVTND_AppComponent> (*)();
using CVTND_GradientStoreCreator = std::unique_ptr<CVTND_GradientStore> (*)();

class CVTND_Registry {
public:
    static bool RegisterEditor(uint16_t type, int32_t actionKind, CVTND_EditorConstructor constructor,
                               CVTND_EditorReach reach = CVTND_EditorReach::kItsKind);
    // Type 16 looks for the action kind first, then for kAnyActionKind; other types take kAnyActionKind only.
    static CVTND_EditorConstructor FindEditor(uint16_t type, int32_t actionKind);
    static CVTND_EditorReach FindEditorReach(uint16_t type, int32_t actionKind); // of the editor FindEditor finds
    // A replacing editor reaches what its kind does.
    static CVTND_EditorConstructor ReplaceEditor(uint16_t type, int32_t actionKind, CVTND_EditorConstructor c);

    static bool RegisterObjectCreator(uint16_t type, CVTND_ObjectCreator creator);
    static CVTND_ObjectCreator FindObjectCreator(uint16_t type);
    static CVTND_ObjectCreator ReplaceObjectCreator(uint16_t type, CVTND_ObjectCreator creator);

    static bool RegisterFrame(FrameClass frame, CVTND_FrameCreator creator);
    static CVTND_FrameCreator FindFrame(FrameClass frame);
    static CVTND_FrameCreator ReplaceFrame(FrameClass frame, CVTND_FrameCreator creator);

    static bool RegisterModalTool(ModalTool tool, CVTND_ModalToolRun run);
    static CVTND_ModalToolRun FindModalTool(ModalTool tool);
    static CVTND_ModalToolRun ReplaceModalTool(ModalTool tool, CVTND_ModalToolRun run);

    // Droppers all run, in registration order; a dropper is listed once.
    static bool AddReferenceDropper(CVTND_ReferenceDropper dropper);
    static bool RemoveReferenceDropper(CVTND_ReferenceDropper dropper); // for tests
    static std::vector<CVTND_ReferenceDropper> ReferenceDroppers();

    static bool RegisterEngineCreator(CVTND_EngineCreator creator);
    static CVTND_EngineCreator FindEngineCreator();
    static CVTND_EngineCreator ReplaceEngineCreator(CVTND_EngineCreator creator);
    static bool RegisterEditorImagesCreator(CVTND_ComponentCreator creator);
    static CVTND_ComponentCreator FindEditorImagesCreator();
    static CVTND_ComponentCreator ReplaceEditorImagesCreator(CVTND_ComponentCreator creator);
    static bool RegisterGradientStoreCreator(CVTND_GradientStoreCreator creator);
    static CVTND_GradientStoreCreator FindGradientStoreCreator();
    static CVTND_GradientStoreCreator ReplaceGradientStoreCreator(CVTND_GradientStoreCreator creator);
};

// The registration objects: a namespace-scope static of each in the registrant's source. registered is false when
// the key already had an entry (which is kept).
struct CVTND_EditorRegistration {
    CVTND_EditorRegistration(ObjectType type, int32_t actionKind, CVTND_EditorConstructor constructor,
                             CVTND_EditorReach reach = CVTND_EditorReach::kItsKind)
        : registered(CVTND_Registry::RegisterEditor(static_cast<uint16_t>(type), actionKind, constructor, reach))
    {
    }
    bool registered;
};

struct CVTND_ObjectCreatorRegistration {
    CVTND_ObjectCreatorRegistration(ObjectType type, CVTND_ObjectCreator creator)
        : registered(CVTND_Registry::RegisterObjectCreator(static_cast<uint16_t>(type), creator))
    {
    }
    bool registered;
};

struct CVTND_FrameRegistration {
    CVTND_FrameRegistration(FrameClass frame, CVTND_FrameCreator creator)
        : registered(CVTND_Registry::RegisterFrame(frame, creator))
    {
    }
    bool registered;
};

struct CVTND_ModalToolRegistration {
    CVTND_ModalToolRegistration(ModalTool tool, CVTND_ModalToolRun run)
        : registered(CVTND_Registry::RegisterModalTool(tool, run))
    {
    }
    bool registered;
};

struct CVTND_ReferenceDropperRegistration {
    explicit CVTND_ReferenceDropperRegistration(CVTND_ReferenceDropper dropper)
        : registered(CVTND_Registry::AddReferenceDropper(dropper))
    {
    }
    bool registered;
};

struct CVTND_EngineCreatorRegistration {
    explicit CVTND_EngineCreatorRegistration(CVTND_EngineCreator creator)
        : registered(CVTND_Registry::RegisterEngineCreator(creator))
    {
    }
    bool registered;
};

struct CVTND_EditorImagesRegistration {
    explicit CVTND_EditorImagesRegistration(CVTND_ComponentCreator creator)
        : registered(CVTND_Registry::RegisterEditorImagesCreator(creator))
    {
    }
    bool registered;
};

struct CVTND_GradientStoreRegistration {
    explicit CVTND_GradientStoreRegistration(CVTND_GradientStoreCreator creator)
        : registered(CVTND_Registry::RegisterGradientStoreCreator(creator))
    {
    }
    bool registered;
};
