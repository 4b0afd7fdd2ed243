#pragma once
// CVTND_ActionLoadVTODlg: the editor of a load-world action (kind 54). It shows the action's import options, sets
// the node the loaded worlds attach under (a node dropped on its picker; Reset root: the world's root), and can load
// the linked worlds at once, so that the user places them and stores the last one's placement as the action's
// initial transform. The root name, the initial transform and its use byte, the import options and the two start
// bytes are written, each at once. Closing unloads every instance it loaded.
#include <cstdint>
#include <vector>

#include "designer/workspace/modeless_editor.h"
#include "engine/core/matrix.h"
#include "engine/core/vector.h"

class CVTN_SubWorld;
class CVTN_SubWorldInstance;
class SWnode;

class CVTND_ActionLoadVTODlg : public CVTND_ActionEditorDlg {
public:
    static constexpr int32_t kIdd = 461;
    static constexpr int32_t kIdPicker = 1003;
    static constexpr int32_t kIdResetRoot = 1165;
    static constexpr int32_t kIdRootName = 1436;
    static constexpr int32_t kIdLoadNow = 1164;
    static constexpr int32_t kIdFit = 1208;
    static constexpr int32_t kIdStore = 1209;
    static constexpr int32_t kIdResetTransform = 1166;
    static constexpr int32_t kIdFitText = 1377;
    static constexpr int32_t kIdStoreText = 1378;
    static constexpr int32_t kIdStartEvent = 1434;
    static constexpr int32_t kIdJavaStart = 1435;
    static constexpr uint32_t kFitIcon = 155; // the pictures on Fit and Store
    static constexpr uint32_t kStoreIcon = 170;
    static constexpr float kSmallestRadius = 1e-6f; // metres: below it a world has no size to fit

    using CVTND_ActionEditorDlg::CVTND_ActionEditorDlg;

    struct Shown {
        CVTN_SubWorld* entry = nullptr;            // the world's
        CVTN_SubWorldInstance* instance = nullptr; // the loader's, until unloaded
        SWmatrix loadedMatrix;                     // the top node's local matrix as it was loaded
    };
    const std::vector<Shown>& ShownInstances() const { return m_shown; }
    void LoadNow();
    void FitScale();
    void StoreTransform();
    void ResetTransform();

protected:
    bool onInitDialog() override;
    void OnNotify(const CVTND_Event& event) override;
    void OnClosing() override;
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void ShowRoot();
    bool StoreOption(int32_t id);         // an import or start box's state into the action; false for another control
    void EnableTransformButtons(bool on); // their pictures greyed while off
    void SelectShownInManipulatePanel();
    void UnloadAll();

    std::vector<Shown> m_shown;
    float m_sceneRadius = 0.0f;
    SWvector m_sceneCentre;
};
