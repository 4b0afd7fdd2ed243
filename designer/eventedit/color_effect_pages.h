#pragma once
// The six colour-effect pages that edit one background description (a set-background action, or the free-standing
// one of the world's background editor): a solid colour, a world texture, and the linear, radial, four-corner and
// checker pictures. A host owns the page objects and makes one page's window at a time (a WS_CHILD template, with
// the host as parent); a page writes every change into the description, or into the picture it owns, at once, and
// renders its preview. The procedural picture has the page's generator type before the page's window is made: the
// host sees to it.
#include <array>
#include <cstdint>
#include <memory>

#include "engine/resources/picture.h"
#include "platform/base/user_constants.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/dialog/dialog.h"

class CVTND_Event;
class SWbackgroundaction;
class SWworld;

class CVTND_ColorEffectPage : public pf::Dialog {
public:
    static constexpr int32_t kIdPreview = 1003;
    static constexpr int32_t kIdSlider = 1352;
    static constexpr int32_t kIdDial = 1004;
    static constexpr int32_t kIdPicker = 1004;
    static constexpr int32_t kIdStart = 1163;
    static constexpr int32_t kIdEnd = 1164;
    static constexpr int32_t kIdMiddle = 1165;
    static constexpr int32_t kIdCorner4 = 1208;
    static constexpr int32_t kIdMiddleOn = 1187;
    static constexpr int32_t kIdFirstText = 1171;
    static constexpr int32_t kIdSecondText = 1172;
    static constexpr int32_t kIdThirdText = 1173;

    CVTND_ColorEffectPage(SWbackgroundaction& description, int32_t idd); // the description outlives the page
    bool CreatePage(pf::Window* host);                                   // the window, initialised and shown
    int32_t PageTemplate() const { return m_idd; }
    SWbackgroundaction& Description() const { return m_description; }

protected:
    bool onInitDialog() override; // placed at (8, 35) from the host's corner
    void onOK() override {}       // a page has no OK or Cancel of its own
    void onCancel() override {}

    SWpicture* Picture() const; // the description's own procedural picture, or null
    SWworld* World() const;     // the description's world, else the designer's
    void RenderAndRefresh();
    // The colour dialog over the host, starting at the button's colour; true when the user confirmed one.
    bool PickColour(int32_t buttonId, BackgroundGenerator::Colour& field);
    void ShowColour(int32_t buttonId, const BackgroundGenerator::Colour& colour);
    void SetNumberText(int32_t id, float value); // "%g"

private:
    SWbackgroundaction& m_description;
    int32_t m_idd;
};

class CVTND_CE_SolidColorDlg : public CVTND_ColorEffectPage {
public:
    static constexpr int32_t kIdd = 511;
    explicit CVTND_CE_SolidColorDlg(SWbackgroundaction& description) : CVTND_ColorEffectPage(description, kIdd) {}

protected:
    bool onInitDialog() override;
    pf::LResult handle(const pf::Msg& msg) override;
};

class CVTND_CE_TextureDlg : public CVTND_ColorEffectPage {
public:
    static constexpr int32_t kIdd = 512;
    static constexpr int32_t kIdNames = 1002;
    static constexpr int32_t kIdTile = 1012;
    static constexpr int32_t kIdStretch = 1013;
    explicit CVTND_CE_TextureDlg(SWbackgroundaction& description) : CVTND_ColorEffectPage(description, kIdd) {}

protected:
    bool onInitDialog() override;
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void TakeSelection(); // the selected name's texture, or none
    void Show(SWtexture* texture);
    void OnTextureNotice(const CVTND_Event& event);
    bool IsShownReplaced(const CVTND_Event& event, bool bearsTheName); // event: a replacement notice
};

// The four procedural pages share their colour buttons, preview and middle colour; each adds its own controls.
class CVTND_CE_GradientPage : public CVTND_ColorEffectPage {
public:
    CVTND_CE_GradientPage(SWbackgroundaction& description, int32_t idd, uint16_t type);

protected:
    bool onInitDialog() override;
    pf::LResult handle(const pf::Msg& msg) override;
    virtual void LoadControls(BackgroundGenerator& generator) = 0;
    BackgroundGenerator::Colour* ColourOfButton(BackgroundGenerator& generator, int32_t id) const;
    bool m_updating = false; // the page writes its own fields

private:
    uint16_t m_type;
};

class CVTND_CE_LinearGradientDlg : public CVTND_CE_GradientPage {
public:
    static constexpr int32_t kIdd = 513;
    explicit CVTND_CE_LinearGradientDlg(SWbackgroundaction& description)
        : CVTND_CE_GradientPage(description, kIdd, BackgroundGenerator::kLinear)
    {
    }

protected:
    void LoadControls(BackgroundGenerator& generator) override;
};

class CVTND_CE_RadialGradientDlg : public CVTND_CE_GradientPage {
public:
    static constexpr int32_t kIdd = 514;
    explicit CVTND_CE_RadialGradientDlg(SWbackgroundaction& description)
        : CVTND_CE_GradientPage(description, kIdd, BackgroundGenerator::kRadial)
    {
    }

protected:
    void LoadControls(BackgroundGenerator& generator) override;
};

class CVTND_CE_BlenderCheckerDlg : public CVTND_CE_GradientPage {
public:
    static constexpr int32_t kIdd = 515;
    explicit CVTND_CE_BlenderCheckerDlg(SWbackgroundaction& description)
        : CVTND_CE_GradientPage(description, kIdd, BackgroundGenerator::kChecker)
    {
    }

protected:
    void LoadControls(BackgroundGenerator& generator) override;
};

class CVTND_CE_CornerGradientDlg : public CVTND_CE_GradientPage {
public:
    static constexpr int32_t kIdd = 516;
    explicit CVTND_CE_CornerGradientDlg(SWbackgroundaction& description)
        : CVTND_CE_GradientPage(description, kIdd, BackgroundGenerator::kCorner)
    {
    }

protected:
    void LoadControls(BackgroundGenerator& generator) override;
};

// The page texts of the hosts' combo box, in page order: solid, texture, linear, radial, four-corner, checker.
inline constexpr int32_t kColorEffectPageCount = 6;
// The page a description opens on: 0 solid, 1 texture, 2 linear, 3 radial, 4 four-corner, 5 checker.
int32_t FirstColorEffectPage(const SWbackgroundaction& description);
// Makes the description fit page index (the own picture deleted or made as the page needs, under the world's
// lock) and answers the page object for it, made anew.
std::unique_ptr<CVTND_ColorEffectPage> MakeColorEffectPage(SWbackgroundaction& description, int32_t index);
// The page's window destroyed, if it has one, and the page deleted.
void CloseColorEffectPage(std::unique_ptr<CVTND_ColorEffectPage>& page);

// A host's own commands: a new choice in its kind box (Host::kIdKind) shows that page, its Test button
// (Host::kIdTest) tests. False for any other message, which the host's base then handles.
template <class Host> bool HandleColorEffectHostCommand(Host& host, const pf::Msg& msg)
{
    if (msg.message != pf::WM_COMMAND)
        return false;
    const int32_t id = pf::loWord(msg.wParam);
    const int32_t code = pf::hiWord(msg.wParam);
    if (id == Host::kIdKind && code == pf::CBN_SELCHANGE) {
        const int32_t selected = host.template item<pf::ComboBox>(Host::kIdKind)->getCurSel();
        if (selected >= 0)
            host.ShowPage(selected);
        return true;
    }
    if (id == Host::kIdTest && code == pf::BN_CLICKED) {
        host.OnTest();
        return true;
    }
    return false;
}
