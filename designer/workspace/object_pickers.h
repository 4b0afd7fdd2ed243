#pragma once
// The object pickers: the user chooses one or several project objects of a kind by name. A caller fills an
// ObjectPickRequest with the names already chosen and runs it; the request opens the single picker (one list) or the
// multiple picker (offered and chosen lists) modally and holds the chosen names afterwards.
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "engine/core/list.h"
#include "engine/core/list_node.h"
#include "platform/ui/dialog/dialog.h"

namespace pf {
class ListBox;
}
class SWworld;

// One name of a request's lists, owned by the entry.
class mse_node : public SWlistnode {
public:
    explicit mse_node(std::string name) : name(std::move(name)) {}
    std::string name;
};

// Kinds: 1 cameras, 2 nodes with geometry, 3 mesh nodes, 4 sounds, 5 events, 6 keys, 7 expressions, 8 cursors,
// 9 textures, 10 particle systems, 11 loaded worlds, 12 hot spots and mesh nodes.
class ObjectPickRequest {
public:
    explicit ObjectPickRequest(uint8_t kind) : kind(kind) {}
    ~ObjectPickRequest(); // the result entries, then the chosen-on-entry ones

    // True unless the user cancelled; runs the multiple picker when multiple, else the single one.
    bool Run(pf::Window* parent, bool multiple, bool placeAtCursor);
    void AddChosen(std::string name) { chosen.AddTail(new mse_node(std::move(name))); }
    std::vector<std::string> ResultNames() const;
    std::vector<std::string> ChosenNames() const;

    SWlist chosen; // of mse_node: shown as chosen, never offered
    SWlist result; // of mse_node: what the dialog ended with, in the order chosen
    uint8_t kind;
    uint8_t queueMode = 0;      // chosen names stay offered, so a name can be chosen several times
    bool offerQueueMode = true; // false: the multiple picker's queue-mode box is disabled
    uint8_t cancelled = 0;
    uint8_t placeAtCursor = 0;
};

// Adds the world's objects of kind to offered (leaving out names of the request's chosen-on-entry list, byte for
// byte) and, with a chosen box and a request, the chosen-on-entry names first. Item data points at a name kept in
// names, which outlives the boxes.
void FillObjectPickList(SWworld& world, pf::ListBox& offered, pf::ListBox* chosenBox, const ObjectPickRequest* request,
                        uint8_t kind, std::deque<std::string>& names);

class CVTND_SingleSelectDlg : public pf::Dialog {
public:
    CVTND_SingleSelectDlg(ObjectPickRequest& request, bool placeAtCursor);

protected:
    bool onInitDialog() override;
    void onOK() override;
    void onCancel() override;

private:
    ObjectPickRequest& m_request; // the caller's, outliving the modal run
    bool m_placeAtCursor;
    std::deque<std::string> m_names;
};

class CVTND_MultipleSelectDlg : public pf::Dialog {
public:
    CVTND_MultipleSelectDlg(ObjectPickRequest& request, bool placeAtCursor);

protected:
    bool onInitDialog() override;
    void onOK() override;
    void onCancel() override;
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void Add();
    void Remove();
    void ToggleQueueMode();
    const std::string& NameOf(const pf::ListBox& box, int32_t index) const;
    int32_t AddName(pf::ListBox& box, const std::string& name);

    ObjectPickRequest& m_request; // the caller's, outliving the modal run
    bool m_placeAtCursor;
    std::deque<std::string> m_names;
};
