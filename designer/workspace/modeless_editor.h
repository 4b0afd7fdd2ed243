#pragma once
// CVTND_ModelessEditorDlg: the one pattern of the designer's property editors (the event and expression editors, the
// action editors, the details editors of objects). An editor is a modeless dialog beside the main frame; the
// application's editor factory (CVTNDesignerApp::EditObject) opens it, answers the one already open for the same
// object, and the editor closes itself when its object is deleted.
//
// Life of an editor:
//   - A constructor function registered with the factory (CVTND_EditorRegistration) makes the object with the
//     request's object and record, and hands it to Open, which makes the window hidden, runs onInitDialog and
//     answers the dialog (null when it could not be made, the object then gone). The factory shows it.
//   - From then on the editor owns itself: it deletes itself in postNcDestroy, after its window is gone.
//   - OK: Validate, then Apply, then DestroyWindow. A fault in Validate shows its message and keeps the editor open
//     with the input in place. Cancel and the close box: DestroyWindow; what the editor applied at once stays.
//   - A notification (kMsgDesignerNotify) names a deleted action that is the selected one: the editor forgets it
//     and disables the selection buttons. It names the edited object deleted: DestroyWindow. Anything else goes to
//     OnNotify. The handler touches no member after the window is gone.
//   - Every refill of an action list (the editor engine refills them all after any change) shows the selected
//     action selected again, so that the buttons never act on an action the lists do not show as selected.
//   - While the application runs a modal state (pf::Ui's modal-state signal) BeginModalState disables each editor
//     of the open-editor list and EndModalState enables it again.
//
// Closing runs on WM_DESTROY, whoever destroys the window (OK, Cancel, a notification, the main frame going), while
// the controls still live, in this order:
//   1. OnClosing: what the derived editor itself lets go;
//   2. every action list given to PrepareActionList: its items removed and its small image list detached, so the
//      shared image list outlives the control;
//   3. every receptor given to AddReceptor that the editor engine still lists (by handle): deleted through it;
//   4. the open-editor record unregistered (CVTNDesignerApp::UnregisterEditDialog);
//   then the layer destroys the controls and the window, and postNcDestroy deletes the object.
//
// A derived editor overrides, as it needs: onInitDialog (the base's first), Validate, Apply, OnNotify, OnClosing,
// BeginModalState and EndModalState; onOK and onCancel only where it departs from the pattern.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "designer/app/project_object.h"
#include "designer/app/registry.h"
#include "platform/gfx/image_list.h"
#include "platform/ui/dialog/dialog.h"

namespace pf {
class ListView;
}
class CEditorEngine;
class CVTND_EditDialog;
class CVTND_Event;
class CVTNDesignerApp;
class DropReceptor;
class SWactionnode;
class SWworld;

class CVTND_ModelessEditorDlg : public pf::Dialog {
public:
    // kind: the CVTND_Object type id of what it edits; object: null until a new one is made; record: the factory's
    // open-editor record, or null for an editor that has none (a new expression).
    CVTND_ModelessEditorDlg(uint16_t kind, void* object, CVTND_EditDialog* record);
    ~CVTND_ModelessEditorDlg() override;

    // Makes editor's window from template idd, hidden, with onInitDialog run. Answers it, owning itself from now
    // on; null when no window was made or it closed while it opened (the object is then gone too).
    static CVTND_ModelessEditorDlg* Open(std::unique_ptr<CVTND_ModelessEditorDlg> editor, int32_t idd,
                                         pf::Window* parent);

    uint16_t EditedKind() const { return m_kind; }
    void* EditedObject() const { return m_object; }
    CVTND_EditDialog* Record() const { return m_record; }
    SWactionnode* SelectedAction() const { return m_selectedAction; }

    void DestroyWindow(); // closes the editor (see Closing above)
    virtual void BeginModalState() { enable(false); }
    virtual void EndModalState() { enable(true); }

protected:
    // -- What a derived editor overrides
    virtual bool Validate() { return true; }     // false: a message was shown; the editor stays open
    virtual void Apply() {}                      // writes the object, broadcasts what changed
    virtual void OnNotify(const CVTND_Event&) {} // a notification the pattern did not handle
    virtual void OnClosing() {}                  // the editor's own, before the lists and receptors go
    virtual void OnSelectedActionForgotten() {}  // after the selection buttons were disabled

    // -- What it calls
    void SetEditedObject(void* object); // a new object made by the editor: also the record's
    // Empties list, gives it one column "Action" of its client width and the shared small action images.
    void PrepareActionList(pf::ListView& list);
    // The engine owns receptor from now on, until the editor closes; the answer is the receptor, or null when
    // there is no engine (the receptor is then deleted).
    DropReceptor* AddReceptor(std::unique_ptr<DropReceptor> receptor);
    bool HoldsReceptor(const DropReceptor* receptor) const; // still registered with the engine
    void SetSelectionButtons(std::vector<int32_t> ids);     // the buttons that act on the selected action
    void SelectAction(SWactionnode* action);                // null forgets it; enables nothing by itself
    void EnableSelectionButtons(bool enabled);
    int32_t ShowError(uint32_t roleId); // the role's text with the error caption and MB_ICONERROR

    // -- The action lists' shared operations (the event, condition and queue editors)
    // The buttons that act on the selected action: Remove, the target pick and Details (0 for one it lacks).
    struct ActionButtons {
        int32_t remove = 0;
        int32_t parameters = 0;
        int32_t details = 0;
    };
    static SWactionnode* ActionOfItem(const pf::ListView& list, int32_t item); // null outside the list
    // LVN_ITEMCHANGED: only a new selection selects its action and enables the buttons by what it offers.
    bool OnActionItemChanged(const pf::ListView& list, const void* change, const ActionButtons& buttons);
    // Remove: deleted without a question, every action list refilled, the buttons disabled. False: the editor
    // itself closed meanwhile (its object went with the action).
    bool RemoveSelectedAction();
    bool OpenSelectedDetails(); // the action's editor, raised and activated; false: this editor closed
    bool PickSelectedTargets(); // the action's target pick; true when something changed
    // LVN_BEGINDRAG: the item's action as a palette object, dragged from the last message's point.
    void DragActionOut(const pf::ListView& list, int32_t item, bool releaseCaptureFirst);
    static CVTNDesignerApp* App();
    static CEditorEngine* Engine();
    static SWworld* World(); // the application's world, or null

    // -- pf::Dialog
    pf::LResult handle(const pf::Msg& msg) override;
    void onOK() override;     // Validate, Apply, DestroyWindow
    void onCancel() override; // DestroyWindow
    void postNcDestroy() override;

private:
    void Closing();
    bool HandleNotification(const CVTND_Event& event); // true: the editor closed
    void ShowSelectedAction();                         // its item selected in whichever action list holds it

    uint16_t m_kind;
    void* m_object;                           // the world's
    CVTND_EditDialog* m_record;               // the application's list owns it, until we unregister
    SWactionnode* m_selectedAction = nullptr; // the event's; forgotten when announced deleted
    std::vector<uint32_t> m_receptors;        // handles of ours; the engine's list owns the receptors
    std::vector<pf::Hwnd> m_actionLists;      // children of this window
    std::vector<int32_t> m_selectionButtons;
    bool m_ownsItself = false; // set once Open succeeded; postNcDestroy deletes then
    bool m_closed = false;
};

// The editors of action kinds: the action is the edited object (kind 16), which a deletion notice of it closes.
class CVTND_ActionEditorDlg : public CVTND_ModelessEditorDlg {
public:
    CVTND_ActionEditorDlg(SWactionnode* action, CVTND_EditDialog* record)
        : CVTND_ModelessEditorDlg(kActionKind, action, record)
    {
    }
    SWactionnode* Action() const { return static_cast<SWactionnode*>(EditedObject()); }
    static constexpr uint16_t kActionKind = 16;
};

// The factory's constructor of an action editor T, made from its template T::kIdd.
template <typename T> pf::Window* MakeActionEditor(const CVTND_EditorRequest& request)
{
    return CVTND_ModelessEditorDlg::Open(
        std::make_unique<T>(static_cast<SWactionnode*>(request.object), request.record), T::kIdd, request.parent);
}

// The shared small images of the action lists (the editor images' small action list); null while none exist.
pf::ImageListRef EditorSmallActionImages();

// The designer's handler of the window layer's modal-state signal: every editor of the open-editor list is
// disabled while a modal run lasts. Open installs it; installing again changes nothing.
void InstallEditorModalState();
