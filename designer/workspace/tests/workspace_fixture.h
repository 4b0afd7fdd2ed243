#pragma once
// A dialog holding one of each workspace control, on a fresh Ui with the workspace's classes, and a record of every
// workspace message the controls send it, with the values behind lParam read during the send.
#include <array>
#include <string>
#include <vector>

#include "designer/workspace/workspace_controls.h"
#include "designer/workspace/workspace_messages.h"
#include "platform/testing/image_check.h"
#include "platform/testing/ui_fixture.h"
#include "platform/ui/dialog/dialog.h"

namespace workspace_test {

enum : int32_t {
    kIddControls = 9400,
    kDial = 101,
    kPoint,
    kChannel,
    kColour,
    kFont,
    kGradient,
    kWaveform,
    kPolynomial,
    kAudio,
    kLine,
    kValue,
    kViewer,
    kPicker,
    kTestField,
    kCompareField,
};

struct Received {
    uint32_t message = 0;
    pf::WParam wParam = 0;
    pf::LParam lParam = 0;
    std::array<float, 2> values{}; // the floats lParam pointed to, for the messages that carry them
};

inline void RegisterControlsTemplate()
{
    pf::registerTemplate({kIddControls,
                          "Workspace controls",
                          {600, 460},
                          pf::WS_POPUP | pf::WS_CAPTION,
                          {
                              {"CVTND_AngularInput", kDial, {10, 10, 90, 90}, 0, ""},
                              {"CVTND_InPositionInput", kPoint, {100, 10, 200, 90}, 0, ""},
                              {"CVTND_RGBChannelScroll", kChannel, {10, 100, 250, 120}, 0, ""},
                              {"CVTND_ColorButton", kColour, {260, 100, 320, 124}, pf::WS_TABSTOP, ""},
                              {"CVTND_FontButton", kFont, {330, 100, 480, 130}, pf::WS_TABSTOP, "Font"},
                              {"CVTND_Gradient", kGradient, {10, 140, 290, 230}, 0, ""},
                              {"CVTND_WaveformCtrl", kWaveform, {300, 140, 450, 230}, 0, ""},
                              {"CVTND_PolynomialCtrl", kPolynomial, {460, 140, 590, 230}, 0, ""},
                              {"CVTND_AudioWaveformCtrl", kAudio, {10, 240, 410, 320}, 0, ""},
                              {"CVTND_StaticLine", kLine, {10, 330, 590, 332}, 0, ""},
                              {"CVTND_ValueGenerator", kValue, {10, 340, 150, 362}, 0, ""},
                              {"CVTND_TextureViewer", kViewer, {420, 240, 590, 320}, 0, ""},
                              {"CVTND_MovableTargetPicker", kPicker, {160, 340, 200, 380}, 0, ""},
                              {"CVTND_PropertyToTest", kTestField, {210, 340, 400, 360}, pf::WS_BORDER, ""},
                              {"CVTND_PropertyToCompareWith", kCompareField, {210, 365, 400, 385}, pf::WS_BORDER, ""},
                          }});
}

class Host : public pf::Dialog {
public:
    std::vector<Received> received;
    size_t Count(uint32_t message) const
    {
        size_t n = 0;
        for (const Received& r : received)
            n += r.message == message ? 1 : 0;
        return n;
    }
    std::vector<uint32_t> Messages() const
    {
        std::vector<uint32_t> out;
        for (const Received& r : received)
            out.push_back(r.message);
        return out;
    }

protected:
    pf::LResult handle(const pf::Msg& msg) override
    {
        using namespace workspace_messages;
        if (msg.message < pf::WM_USER || msg.message > pf::WM_USER + 200)
            return pf::Dialog::handle(msg);
        Received r{msg.message, msg.wParam, msg.lParam, {}};
        const auto* floats = reinterpret_cast<const float*>(msg.lParam);
        switch (msg.message) {
        case kAngleDragging:
        case kAngleReleased:
        case kChannelDragging:
        case kChannelChanged:
            r.values[0] = floats[0];
            break;
        case kPointDragging:
        case kPointReleased:
            r.values = {floats[0], floats[1]};
            break;
        default:
            break;
        }
        received.push_back(r);
        return 1;
    }
};

class Controls : public pf::UiFixture {
protected:
    void SetUp() override
    {
        pf::UiFixture::SetUp();
        RegisterWorkspaceControls(ui());
        RegisterControlsTemplate();
        ASSERT_TRUE(host.create(kIddControls, nullptr));
        host.setPos(pf::HWND_TOP, pf::Rect::fromXywh(20, 20, 0, 0), pf::SWP_NOSIZE);
        host.show(pf::SW_SHOW);
        sim().pump();
    }
    void TearDown() override
    {
        host.destroy();
        pf::UiFixture::TearDown();
    }
    template <typename T> T& Control(int32_t id)
    {
        T* c = host.item<T>(id);
        EXPECT_NE(c, nullptr) << "control " << id;
        return *c;
    }
    pf::Point ScreenOf(pf::Window& w, pf::Point client) const { return w.clientToScreen(client); }

    Host host;
};

} // namespace workspace_test
