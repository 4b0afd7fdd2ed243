#include "designer/editors/loaded_background_dlg.h"

#include <cctype>

#include "designer/app/designer_app.h"
#include "designer/app/registry.h"
#include "designer/workspace/color_button.h"
#include "designer/workspace/texture_viewer.h"
#include "engine/resources/background.h"
#include "platform/gfx/dc.h"
#include "platform/gfx/gdi_objects.h"

namespace {

constexpr int32_t kIdPreview = 1003;
constexpr int32_t kIdSwatch = 1165;

// The caller's contract is IDYES for a taken background; the notices themselves end with IDOK for Yes.
template <typename Dialog> int32_t RunNotice(CVTNDesignerApp&, const CVTND_ModalRequest& request)
{
    Dialog dialog;
    dialog.SetSource(request.background);
    const int32_t answer = dialog.doModal(Dialog::kIdd, request.owner);
    return answer == pf::IDOK ? pf::IDYES : pf::IDNO;
}

const CVTND_ModalToolRegistration kPlainNotice(ModalTool::kLoadedBackground, &RunNotice<CVTND_LoadedBackgroundDlg>);
const CVTND_ModalToolRegistration kWarningNotice(ModalTool::kLoadedBackgroundWarning,
                                                 &RunNotice<CVTND_LoadedBackgroundWarningDlg>);

} // namespace

std::array<uint8_t, 3> PackedRgbToBytes(uint32_t packed)
{
    return {static_cast<uint8_t>(packed >> 16), static_cast<uint8_t>(packed >> 8), static_cast<uint8_t>(packed)};
}

std::array<float, 3> RgbBytesToFloats(const std::array<uint8_t, 3>& bytes)
{
    return {bytes[0] * 0.003921569f, bytes[1] * 0.003921569f, bytes[2] * 0.003921569f};
}

bool CVTND_LoadedBackgroundDlg::onInitDialog()
{
    if (m_background == nullptr)
        return true;
    auto* preview = item<CVTND_TextureViewer>(kIdPreview);
    auto* swatch = item<CVTND_ColorButton>(kIdSwatch);
    if (m_background->GetTexture() == nullptr) {
        if (preview != nullptr)
            preview->show(pf::SW_HIDE);
        if (swatch != nullptr) {
            swatch->show(pf::SW_SHOW);
            const std::array<float, 3> rgb = RgbBytesToFloats(PackedRgbToBytes(m_background->GetColour()));
            swatch->SetColor(rgb[0], rgb[1], rgb[2], 1.0f);
        }
    } else if (preview != nullptr) {
        preview->SetImage(m_background->GetTexture());
    }
    return true;
}

bool CVTND_LoadedBackgroundDlg::preTranslateMessage(const pf::Msg& msg)
{
    if (msg.message == pf::WM_CHAR) {
        const auto key = static_cast<char>(std::tolower(static_cast<int>(msg.wParam & 0x7F)));
        if (key == 'y' || key == 'n') {
            endDialog(key == 'y' ? pf::IDOK : pf::IDCANCEL);
            return true;
        }
    }
    return pf::Dialog::preTranslateMessage(msg);
}

pf::LResult CVTND_LoadedBackgroundWarningDlg::handle(const pf::Msg& msg)
{
    if (msg.message == pf::WM_CTLCOLORSTATIC) {
        const pf::Window* control = pf::ui().window(static_cast<pf::Hwnd>(msg.lParam));
        if (control != nullptr && control->id() >= kIdWarning && control->id() <= kIdWarning + 2) {
            static const pf::Brush kWhite = pf::createSolidBrush(0xFFFFFF);
            if (pf::Dc* dc = pf::dcFromWParam(msg.wParam)) {
                dc->setBkMode(pf::TRANSPARENT);
                dc->setBkColor(0xFFFFFF);
                dc->setTextColor(0x000000);
            }
            return pf::resultFromBrush(&kWhite);
        }
    }
    return CVTND_LoadedBackgroundDlg::handle(msg);
}
