#pragma once
// CVTND_ManipulateDlg: the selected transform nodes (types 1 to 4 and 14), each with the rest matrix it had when
// it was selected. For a single selection it shows position, rotation in degrees and scale; typed values set the
// node's rest matrix under the world's lock and announce the change, and Reset puts the stored matrix back.
#include <array>
#include <vector>

#include "designer/workspace/panel_dlg.h"
#include "engine/core/matrix.h"

class SWobjectnode;

// Position, rotation (degrees about X, then Y, then Z) and scale of a matrix without shear.
struct CVTND_Pose {
    std::array<float, 3> position{};
    std::array<float, 3> rotationDegrees{};
    std::array<float, 3> scale{1.0f, 1.0f, 1.0f};
};
CVTND_Pose PoseOf(const SWmatrix& m);
SWmatrix MatrixOf(const CVTND_Pose& pose); // translation x Rz x Ry x Rx x scale

class CVTND_ManipulateDlg final : public CVTND_PanelDlg {
public:
    explicit CVTND_ManipulateDlg(CVTNDesignerApp& app);

    void SelectNode(const CVTND_Object& object, bool replace); // replace empties the selection first
    void RemoveNode(const CVTND_Object& object);
    CVTND_Object GetSingleSelection() const; // the only selected object, or the empty reference
    void ResetSelectedNodes();               // every stored matrix taken again from its node
    size_t CountSelected() const { return m_selected.size(); }
    bool IsSelected(const void* object) const;

    bool ApplyPose(const CVTND_Pose& pose); // to the single selection; false without one
    bool ApplyTypedValues();                // the nine fields; false when one does not read as a number
    bool ResetSingle();                     // the stored matrix back on the single selection
    void Empty() override;
    // The fields show the single selection's rest pose again: a change made elsewhere (a tool, an editor) would
    // otherwise be undone by the next Set of what they still show.
    void ShowValues();

protected:
    void Fill(CVTND_ExtendedWorld& world) override { (void)world; } // a new workspace starts unselected
    void OnObjectEvent(const CVTND_Event& event) override;
    void OnCommand(int32_t id) override;
    void onOK() override { ApplyTypedValues(); } // Enter in a field
    void Layout(const pf::Rect& client) override;

private:
    struct Selected {
        CVTND_Object object;
        SWmatrix stored; // the rest matrix when selected, or when last reset
    };
    static bool IsTransformType(const CVTND_Object& object);
    static SWobjectnode* NodeOf(const CVTND_Object& object);
    bool HoldsDescendantOf(const void* node) const;
    void RefillList();

    std::vector<Selected> m_selected;
};
