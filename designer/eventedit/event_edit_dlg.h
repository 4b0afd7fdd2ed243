#pragma once
// CVTND_EventEditDlg: the editor of one event (kind 15), or of a new one, which it makes as it opens. Only the
// name waits for Close; the type, the auto-reset flag, the initial state, the parameters and the actions are
// written the moment the user changes them, under the world's lock, and stay when the editor is cancelled.
#include <memory>
#include <optional>
#include <string>

#include "designer/workspace/modeless_editor.h"

struct CVTND_EditorRequest;
class SWevent;

class CVTND_EventEditDlg : public CVTND_ModelessEditorDlg {
public:
    static constexpr int32_t kIdd = 112;
    static constexpr int32_t kIdName = 1032;
    static constexpr int32_t kIdType = 1033;
    static constexpr int32_t kIdActions = 1053;
    static constexpr int32_t kIdAutoReset = 1058;
    static constexpr int32_t kIdEventParameters = 1059;
    static constexpr int32_t kIdRemove = 1073;
    static constexpr int32_t kIdDetails = 1074;
    static constexpr int32_t kIdActionParameters = 1075;
    static constexpr int32_t kIdActive = 1089;
    static constexpr int32_t kIdInactive = 1090;

    CVTND_EventEditDlg(SWevent* event, CVTND_EditDialog* record); // null: a new event, made as the editor opens
    static pf::Window* Make(const CVTND_EditorRequest& request);  // the factory's constructor of kind 15

    SWevent* Event() const { return static_cast<SWevent*>(EditedObject()); }
    void RefillActions(); // the event's actions, followers indented under their condition or queue

protected:
    bool onInitDialog() override;
    bool Validate() override;
    void Apply() override;
    void OnNotify(const CVTND_Event& event) override;
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void MakeNewEvent();
    void FillTypes();
    void ShowFlags();
    void OnCommand(int32_t id, int32_t code);
    void OnTypeChanged();
    void OnAutoReset();
    void OnInitialState(bool active);
    void OnEventParameters();
    void OnDetails();
    void OnActionParameters();
    void OnRemove();
    void OnItemChanged(const void* change);
    void OnBeginDrag(int32_t item);
    void ForgetListedAction(const void* action);
    void RepaintEventsPanel();

    std::string m_newName;                    // the name Validate gave the event
    std::optional<std::string> m_renamedFrom; // set when it did: Apply announces the rename
};
