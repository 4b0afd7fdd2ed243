#include "designer/workspace/workspace_controls.h"

#include <memory>

#include "designer/app/app_registrations.h"
#include "designer/workspace/angular_input.h"
#include "designer/workspace/audio_waveform_ctrl.h"
#include "designer/workspace/color_button.h"
#include "designer/workspace/font_button.h"
#include "designer/workspace/gradient.h"
#include "designer/workspace/in_position_input.h"
#include "designer/workspace/movable_target_picker.h"
#include "designer/workspace/polynomial_ctrl.h"
#include "designer/workspace/property_field.h"
#include "designer/workspace/rgb_channel_scroll.h"
#include "designer/workspace/static_line.h"
#include "designer/workspace/texture_viewer.h"
#include "designer/workspace/value_generator.h"
#include "designer/workspace/waveform_ctrl.h"
#include "platform/base/user_constants.h"
#include "platform/ui/core/cursor.h"
#include "platform/ui/core/ui.h"

namespace {

template <typename T> void RegisterControl(pf::Ui& ui, uint32_t classStyle = 0)
{
    ui.registerClass(
        {T::kClassName, [] { return std::make_unique<T>(); }, classStyle, pf::loadCursor(pf::IDC_ARROW), -1});
}

// Every window system the designer opens knows the controls before its first dialog.
const CVTND_WindowClassRegistration kWorkspaceControls(RegisterWorkspaceControls);

} // namespace

void RegisterWorkspaceControls(pf::Ui& ui)
{
    RegisterControl<CVTND_AngularInput>(ui);
    RegisterControl<CVTND_AudioWaveformCtrl>(ui);
    RegisterControl<CVTND_ColorButton>(ui);
    RegisterControl<CVTND_FontButton>(ui);
    RegisterControl<CVTND_Gradient>(ui);
    RegisterControl<CVTND_InPositionInput>(ui);
    RegisterControl<CVTND_MovableTargetPicker>(ui);
    RegisterControl<CVTND_PolynomialCtrl>(ui);
    RegisterControl<CVTND_PropertyToCompareWith>(ui, pf::IDC_IBEAM);
    RegisterControl<CVTND_PropertyToTest>(ui, pf::IDC_IBEAM);
    RegisterControl<CVTND_RGBChannelScroll>(ui);
    RegisterControl<CVTND_StaticLine>(ui);
    RegisterControl<CVTND_TextureViewer>(ui);
    RegisterControl<CVTND_ValueGenerator>(ui);
    RegisterControl<CVTND_WaveformCtrl>(ui);
}
