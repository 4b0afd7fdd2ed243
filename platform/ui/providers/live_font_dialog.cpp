#include "platform/ui/providers/live_font_dialog.h"

#include "platform/base/gdi_constants.h"
#include "platform/base/user_constants.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/gfx/text/font.h"
#include "platform/gfx/text/freetype_font_engine.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/list_box.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/resources.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/dialog/dialog.h"
#include "platform/ui/providers/live_color_dialog.h"

#include <algorithm>
#include <cstring>

namespace pf {

namespace {

constexpr int32_t kPointsPerInch = 72;
constexpr int32_t kPixelsPerInch = 96; // what device contexts of the layer answer for LOGPIXELSY
constexpr int32_t kSizes[] = {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72};
const char* const kStyles[] = {"Regular", "Italic", "Bold", "Bold Italic"};
const char* const kColorNames[] = {"Black", "Maroon", "Green", "Olive",  "Navy", "Purple",  "Teal", "Silver",
                                   "Grey",  "Red",    "Lime",  "Yellow", "Blue", "Fuchsia", "Aqua", "White"};

DialogTemplate fontDialogTemplate()
{
    DialogTemplate tpl;
    tpl.idd = kFontDialogIdd;
    tpl.caption = "Font";
    tpl.size = {440, 300};
    tpl.style = WS_POPUP | WS_CAPTION;
    tpl.controls = {
        {"static", -1, {10, 8, 200, 24}, SS_LEFT, "Font:"},
        {"listbox", kFontFamilyListId, {10, 26, 200, 170}, WS_BORDER | WS_TABSTOP | LBS_NOTIFY, ""},
        {"static", -1, {210, 8, 330, 24}, SS_LEFT, "Font style:"},
        {"listbox", kFontStyleListId, {210, 26, 330, 100}, WS_BORDER | WS_TABSTOP | LBS_NOTIFY, ""},
        {"static", -1, {340, 8, 430, 24}, SS_LEFT, "Size:"},
        {"combobox", kFontSizeComboId, {340, 26, 430, 48}, WS_TABSTOP | CBS_DROPDOWNLIST, ""},
        {"button", kFontStrikeOutId, {210, 110, 330, 126}, WS_TABSTOP | BS_AUTOCHECKBOX, "Strikeout"},
        {"button", kFontUnderlineId, {210, 130, 330, 146}, WS_TABSTOP | BS_AUTOCHECKBOX, "Underline"},
        {"static", -1, {210, 152, 330, 168}, SS_LEFT, "Colour:"},
        {"combobox", kFontColorComboId, {210, 170, 330, 192}, WS_TABSTOP | CBS_DROPDOWNLIST, ""},
        {"static", -1, {10, 180, 200, 196}, SS_LEFT, "Sample:"},
        {"button", IDOK, {350, 230, 430, 254}, WS_TABSTOP | BS_DEFPUSHBUTTON, "OK"},
        {"button", IDCANCEL, {350, 262, 430, 286}, WS_TABSTOP, "Cancel"},
    };
    return tpl;
}

class Sample final : public Window {
public:
    LogFont font;
    ColorRef color = 0;
    LResult handle(const Msg& msg) override
    {
        if (msg.message != WM_PAINT)
            return Window::handle(msg);
        PaintDc dc(*this);
        dc.fillRect(clientRect(), createSolidBrush(getSysColor(COLOR_WINDOW)));
        dc.draw3dRect(clientRect(), getSysColor(COLOR_BTNSHADOW), getSysColor(COLOR_BTNHIGHLIGHT));
        dc.selectFont(createFontIndirect(font));
        dc.setBkMode(TRANSPARENT);
        dc.setTextColor(color);
        dc.textOut(8, 8, "AaBbYyZz");
        return 0;
    }
};

class FontDialog final : public Dialog {
public:
    FontDialog(const FontDialogRequest& request, const std::vector<std::string>& families)
        : m_request(request), m_families(families)
    {
    }

    FontChoice choice() const
    {
        FontChoice c;
        c.logFont = m_sample.font;
        c.color = m_sample.color;
        c.pointSizeTenths = m_points * 10;
        c.fontType = SCREEN_FONTTYPE;
        return c;
    }

protected:
    bool onInitDialog() override
    {
        const LogFont& asked = m_request.logFont;
        auto* families = item<ListBox>(kFontFamilyListId);
        for (const std::string& f : m_families)
            families->addString(f);
        const int32_t family = families->findStringExact(-1, asked.face);
        families->setCurSel(family >= 0 ? family : 0);
        auto* styles = item<ListBox>(kFontStyleListId);
        for (const char* s : kStyles)
            styles->addString(s);
        styles->setCurSel((asked.weight >= 600 ? 2 : 0) + (asked.italic != 0 ? 1 : 0));
        m_points = asked.height == 0 ? 10 : std::max(1, (pointTenthsOfHeight(asked.height) + 5) / 10);
        auto* sizes = item<ComboBox>(kFontSizeComboId);
        for (const int32_t s : kSizes)
            sizes->addString(std::to_string(s));
        if (sizes->findStringExact(-1, std::to_string(m_points)) < 0)
            sizes->addString(std::to_string(m_points));
        sizes->setCurSel(sizes->findStringExact(-1, std::to_string(m_points)));
        item<Button>(kFontUnderlineId)->setCheck(asked.underline != 0 ? BST_CHECKED : BST_UNCHECKED);
        item<Button>(kFontStrikeOutId)->setCheck(asked.strikeOut != 0 ? BST_CHECKED : BST_UNCHECKED);
        auto* colors = item<ComboBox>(kFontColorComboId);
        for (const char* name : kColorNames)
            colors->addString(name);
        const auto known = std::find(basicColors().begin(), basicColors().end(), m_request.color);
        colors->setCurSel(known != basicColors().end() ? static_cast<int32_t>(known - basicColors().begin()) : 0);
        m_sample.font = asked;
        m_sample.create({"window", "", WS_CHILD | WS_VISIBLE, 0, {10, 198, 330, 286}, hwnd(), kFontSampleId});
        refresh();
        return true;
    }

    LResult handle(const Msg& msg) override
    {
        if (msg.message == WM_COMMAND) {
            const int32_t id = loWord(msg.wParam);
            if (id == kFontFamilyListId || id == kFontStyleListId || id == kFontSizeComboId || id == kFontUnderlineId ||
                id == kFontStrikeOutId || id == kFontColorComboId) {
                refresh();
                if (id != kFontUnderlineId && id != kFontStrikeOutId)
                    return 0;
            }
        }
        return Dialog::handle(msg);
    }

private:
    // The sample follows every control; the answer is what the sample shows.
    void refresh()
    {
        LogFont f = m_request.logFont;
        const int32_t family = item<ListBox>(kFontFamilyListId)->getCurSel();
        if (family >= 0) {
            const std::string face = item<ListBox>(kFontFamilyListId)->getText(family);
            std::memset(f.face, 0, sizeof f.face);
            std::memcpy(f.face, face.data(), std::min(face.size(), sizeof f.face - 1));
        }
        const int32_t style = std::max(0, item<ListBox>(kFontStyleListId)->getCurSel());
        f.weight = style >= 2 ? FW_BOLD : FW_NORMAL;
        f.italic = style % 2 == 1 ? 1 : 0;
        auto* sizes = item<ComboBox>(kFontSizeComboId);
        if (sizes->getCurSel() >= 0)
            m_points = std::stoi(sizes->getLBText(sizes->getCurSel()));
        f.height = -pixelHeightOfPoints(m_points);
        f.width = 0;
        f.underline = item<Button>(kFontUnderlineId)->getCheck() == BST_CHECKED ? 1 : 0;
        f.strikeOut = item<Button>(kFontStrikeOutId)->getCheck() == BST_CHECKED ? 1 : 0;
        const int32_t color = item<ComboBox>(kFontColorComboId)->getCurSel();
        m_sample.color = color >= 0 ? basicColors()[static_cast<size_t>(color)] : m_request.color;
        m_sample.font = f;
        m_sample.invalidate(false);
    }

    FontDialogRequest m_request;
    const std::vector<std::string>& m_families; // the provider's, outliving the dialog
    Sample m_sample;
    int32_t m_points = 10;
};

} // namespace

int32_t pixelHeightOfPoints(int32_t points)
{
    return (points * kPixelsPerInch + kPointsPerInch / 2) / kPointsPerInch;
}

int32_t pointTenthsOfHeight(int32_t logFontHeight)
{
    const int32_t pixels = logFontHeight < 0 ? -logFontHeight : logFontHeight;
    return (pixels * kPointsPerInch * 10 + kPixelsPerInch / 2) / kPixelsPerInch;
}

std::optional<FontChoice> LiveFontDialog::choose(const FontDialogRequest& request)
{
    if (m_families.empty())
        m_families = fontFamilies();
    if (m_families.empty())
        m_families = {"sans-serif"};
    resources().addDialog(fontDialogTemplate());
    FontDialog dialog(request, m_families);
    if (dialog.doModal(kFontDialogIdd, ui().window(request.owner)) != IDOK)
        return std::nullopt;
    return dialog.choice();
}

} // namespace pf
