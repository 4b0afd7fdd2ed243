// The workspace's window classes: a template names each control by its class, on a Ui that registered them.
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
#include "designer/workspace/tests/workspace_fixture.h"
#include "designer/workspace/texture_viewer.h"
#include "designer/workspace/value_generator.h"
#include "designer/workspace/waveform_ctrl.h"
#include "platform/ui/controls/static_control.h"

namespace {

using namespace workspace_test;

using Registration = Controls;

TEST_F(Registration, TemplateNamingEveryClassCreatesEachControl)
{
    EXPECT_NE(host.item<CVTND_AngularInput>(kDial), nullptr);
    EXPECT_NE(host.item<CVTND_InPositionInput>(kPoint), nullptr);
    EXPECT_NE(host.item<CVTND_RGBChannelScroll>(kChannel), nullptr);
    EXPECT_NE(host.item<CVTND_ColorButton>(kColour), nullptr);
    EXPECT_NE(host.item<CVTND_FontButton>(kFont), nullptr);
    EXPECT_NE(host.item<CVTND_Gradient>(kGradient), nullptr);
    EXPECT_NE(host.item<CVTND_WaveformCtrl>(kWaveform), nullptr);
    EXPECT_NE(host.item<CVTND_PolynomialCtrl>(kPolynomial), nullptr);
    EXPECT_NE(host.item<CVTND_AudioWaveformCtrl>(kAudio), nullptr);
    EXPECT_NE(host.item<CVTND_StaticLine>(kLine), nullptr);
    EXPECT_NE(host.item<CVTND_ValueGenerator>(kValue), nullptr);
    EXPECT_NE(host.item<CVTND_TextureViewer>(kViewer), nullptr);
    EXPECT_NE(host.item<CVTND_MovableTargetPicker>(kPicker), nullptr);
    EXPECT_NE(host.item<CVTND_PropertyToTest>(kTestField), nullptr);
    EXPECT_NE(host.item<CVTND_PropertyToCompareWith>(kCompareField), nullptr);
    // Controls with parts make them whether a template or a placeholder brought them.
    EXPECT_NE(host.item<CVTND_ValueGenerator>(kValue)->GetEdit(), nullptr);
    EXPECT_NE(host.item<CVTND_RGBChannelScroll>(kChannel)->GetEdit(), nullptr);
}

TEST_F(Registration, PlaceholderSubclassedIntoAControlWorksAsOne)
{
    pf::registerTemplate({9420, "Placeholders", {300, 100}, pf::WS_POPUP, {{"static", 7, {10, 10, 200, 32}, 0, ""}}});
    pf::Dialog dialog;
    ASSERT_TRUE(dialog.create(9420, nullptr));
    auto* value = dialog.subclass<CVTND_ValueGenerator>(7);
    ASSERT_NE(value, nullptr);
    value->Initialize();
    EXPECT_NE(value->GetEdit(), nullptr);
    EXPECT_EQ(dialog.item<CVTND_ValueGenerator>(7), value);
    dialog.destroy();
}

TEST_F(Registration, FreshUiWithoutTheClassesMakesNoneAndFailsCleanly)
{
    host.destroy();
    destroyUi();
    pf::Ui fresh;
    Host bare;
    EXPECT_TRUE(bare.create(kIddControls, nullptr)); // the layer makes the dialog without the unknown controls
    for (const int32_t id : {kDial, kPoint, kChannel, kColour, kFont, kGradient, kWaveform, kPolynomial, kAudio, kLine,
                             kValue, kViewer, kPicker, kTestField, kCompareField})
        EXPECT_EQ(bare.child(id), nullptr) << id;
    bare.destroy();
    // The designer's start-up runs the registered window-class registrars on its Ui: the controls are among them.
    for (const CVTND_WindowClassRegistrar registrar : CVTND_AppRegistry::WindowClassRegistrars())
        registrar(fresh);
    EXPECT_NE(fresh.findClass(CVTND_AngularInput::kClassName), nullptr);
    RegisterWorkspaceControls(fresh);
    EXPECT_NE(fresh.findClass(CVTND_Gradient::kClassName), nullptr);
    EXPECT_FALSE(fresh.registerClass({CVTND_Gradient::kClassName, nullptr, 0, {}, -1})); // registered once
}

} // namespace
