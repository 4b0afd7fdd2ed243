#pragma once
// CVTND_MaterialChildDlg: the page of the material editor, with every control of one material. Each change is
// written to the material at once, under the world's lock, and then the page posts its frame kMsgRenderPreview,
// one post per change, and asks the world for a redraw. Sliders write when the mouse lets them go: a keyboard move
// only shows its value. The page knows the world's textures by name; what becomes of the material's own reference
// to a deleted or replaced texture is the world's business.
#include <array>
#include <cstdint>

#include "platform/base/user_constants.h"
#include "platform/ui/dialog/dialog.h"

class CVTND_ColorButton;
class CVTND_Event;
class CVTND_TextureViewer;
class SWmaterial;
class SWtexture;

inline constexpr uint32_t kMsgRenderPreview = pf::WM_USER + 3; // to the frame: render the preview again

class CVTND_MaterialChildDlg : public pf::Dialog {
public:
    static constexpr int32_t kIdd = 156;

    void SetMaterial(SWmaterial* material); // shows it (after create); the world owns it
    SWmaterial* GetMaterial() const { return m_material; }
    void OnTextureNotice(const CVTND_Event& event); // codes 1, 2, 3 and 7 for textures; the rest is ignored

protected:
    pf::LResult handle(const pf::Msg& msg) override;
    void onOK() override {}
    void onCancel() override {}

private:
    struct TextureSlot {
        int32_t combo;
        int32_t viewer;
    };
    static constexpr std::array<TextureSlot, 3> kSlots = {{{1002, 1003}, {1302, 1004}, {1264, 1005}}};

    void Fill();
    void FillTextureSlot(size_t slot);
    void ShowColour(size_t colour); // its button and four channel sliders
    void ShowSliderText(int32_t slider, float value);
    SWtexture* TextureOfSlot(size_t slot) const;
    void SetTextureOfSlot(size_t slot, SWtexture* texture); // under the world's lock
    void SliderMoved(int32_t slider, int32_t position);
    void SliderReleased(int32_t slider);
    void ColourButtonClicked(size_t colour);
    void ChannelMessage(int32_t control, float value, bool write);
    void TextureChosen(size_t slot);
    void RenderModeChosen(uint32_t mode);
    void BilinearToggled();
    void Changed(); // posts the frame and asks the world for a redraw

    SWmaterial* m_material = nullptr; // the world's; the frame closes before it is deleted
    bool m_updating = false;          // set while the page writes its own controls
};
