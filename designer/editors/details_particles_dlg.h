#pragma once
// CVTND_DetailsParticlesDlg: the details editor of a particle system (kind 14), opened on the scene node that
// carries it. Fourteen value editors are bound to the system's parameter slots, the colour over a particle's life is
// edited with a gradient control and three colour sliders, the node is renamed on OK, and the system can run as a
// test while the world preview is stopped. The gradient's editing state reaches the project's gradient store when
// the editor closes.
//
// A test run is one particle emission of this system in the world's timed actions. Start adds one only when none
// runs; Stop, closing and the preview's start remove every one of this system, so no emitter outlives the editor.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "designer/workspace/modeless_editor.h"
#include "engine/behaviour/refs.h"

class CVTND_Gradient;
class CVTND_GradientPersinstancy;
class SWnode;
class SWparticlenode;

class CVTND_DetailsParticlesDlg : public CVTND_ModelessEditorDlg {
public:
    static constexpr int32_t kIdd = 433;
    static constexpr int32_t kIdStart = 3;
    static constexpr int32_t kIdStop = 4;
    // The value editors in the order of the system's parameters.
    static constexpr std::array<int32_t, 14> kParameterIds = {1031, 1032, 1021, 1022, 1018, 1017, 1020,
                                                              1023, 1019, 1024, 1026, 1025, 1033, 1034};

    CVTND_DetailsParticlesDlg(SWnode* node, CVTND_EditDialog* record);

    SWparticlenode* Particles() const { return m_particles; }
    CVTND_Gradient* Gradient() const;
    size_t TestRunCount() const; // this system's emissions in the world's timed actions

protected:
    bool onInitDialog() override;
    bool Validate() override;
    void Apply() override;
    void OnNotify(const CVTND_Event& event) override;
    void OnClosing() override;
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void StartTestRun();
    void StopTestRun();
    void CopyColourTable();
    void ShowKeyColour(); // the colour button and the three edits, from the selected key
    void KeySelectionChanged();
    void SlidersChanged();
    void ColourEditChanged(int32_t id);
    void ChooseKeyColour();
    CVTND_GradientPersinstancy* Store() const;

    SWnode* m_node;                           // the world's, as the factory was given it
    NodeRef m_nodeRef;                        // tells whether m_node is still in the scene
    SWparticlenode* m_particles;              // its geometry; null when it carries none
    std::optional<std::string> m_renamedFrom; // set by a rename that Apply announces
    bool m_updating = false;                  // set while the editor writes its own fields
};
