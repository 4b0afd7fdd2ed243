#pragma once
// CVTND_ToolsScaleCenterDlg: the modal tool that rescales a node with everything below it, to fit the render window
// or to sizes in a chosen unit, and centres it on the world origin. Sizes are measured once, when the tool is made;
// the unit chosen is how the fields are read on OK (changing it converts nothing shown).
//
// Guards of its own: an axis whose extent is 0 or not finite (a flat node, a node without a mesh) keeps factor 1,
// and in match mode a target of any other axis that is not a positive number is refused with a message, the tool
// left open. A size that is no number from 0 to kLargestSize is refused in every field, typed or on OK, and the
// field shows its last size again.
#include <array>
#include <cstdint>

#include "platform/ui/dialog/dialog.h"

class SWnode;

class CVTND_ToolsScaleCenterDlg : public pf::Dialog {
public:
    static constexpr int32_t kIdd = 279;
    static constexpr double kLargestSize = 1e30; // in any unit, still a float in metres
    enum class Mode : uint8_t { kFit, kMatch, kKeep };

    explicit CVTND_ToolsScaleCenterDlg(SWnode& node); // the node outlives the modal run

    const std::array<float, 3>& MeasuredSize() const { return m_measured; } // metres
    Mode GetMode() const { return m_mode; }

    static float ShownPerMetre(int32_t unit); // the table of units; metres for an index outside 0..7

protected:
    bool onInitDialog() override;
    pf::LResult handle(const pf::Msg& msg) override;
    void onOK() override;

private:
    void SetMode(Mode mode);
    void EnableSizeGroup(bool enabled);
    void SizeTyped(int32_t axis);
    void ShowSize(size_t axis); // the field shows m_shown again, all selected
    bool Apply();               // false: a target refused; the tool stays open

    SWnode& m_node;
    std::array<float, 3> m_measured{};
    std::array<float, 3> m_target{}; // metres
    std::array<double, 3> m_shown{}; // the sizes the fields last held as numbers, in the unit shown
    bool m_keepProportions = true;
    Mode m_mode = Mode::kFit;
    bool m_centre = true;
    int32_t m_unit = 2;
    bool m_updating = false;
};
