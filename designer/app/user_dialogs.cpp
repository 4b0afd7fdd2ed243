#include "designer/app/user_dialogs.h"

#include <charconv>
#include <cstdio>
#include <string>
#include <vector>

#include "designer/app/editor_settings.h"
#include "designer/app/engine_interface.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/dialog/dialog.h"
#include "platform/ui/providers/providers.h"

namespace {

constexpr int32_t kName = 10;
constexpr int32_t kOrganization = 11;
constexpr int32_t kRowBase = 100; // a row's control: kRowBase + 2 * row (+1 for a swatch's button)
constexpr int32_t kRowHeight = 26;

class UserInformationDialog final : public pf::Dialog {
public:
    explicit UserInformationDialog(CVTND_EditorSettings& settings) : m_settings(settings) {}

protected:
    bool onInitDialog() override
    {
        child(kName)->setText(m_settings.GetString(CVTND_EditorSettings::kUserName));
        child(kOrganization)->setText(m_settings.GetString(CVTND_EditorSettings::kUserOrganization));
        return true;
    }
    void onOK() override
    {
        m_settings.SetString(CVTND_EditorSettings::kUserName, child(kName)->text());
        m_settings.SetString(CVTND_EditorSettings::kUserOrganization, child(kOrganization)->text());
        endDialog(pf::IDOK);
    }

private:
    CVTND_EditorSettings& m_settings;
};

std::string ColourText(uint32_t rgb)
{
    char text[16];
    std::snprintf(text, sizeof text, "#%06X", rgb & 0xFFFFFFu);
    return text;
}

class PreferencesDialog final : public pf::Dialog {
public:
    PreferencesDialog(CVTND_EditorSettings& settings, CVTND_EngineInterface* engine, std::vector<CVTND_SettingDef> defs)
        : m_settings(settings), m_engine(engine), m_defs(std::move(defs))
    {
    }

protected:
    bool onInitDialog() override
    {
        m_colours.resize(m_defs.size());
        m_swatches.resize(m_defs.size());
        for (size_t row = 0; row < m_defs.size(); ++row) {
            const CVTND_SettingDef& def = m_defs[row];
            const int32_t id = kRowBase + 2 * static_cast<int32_t>(row);
            switch (def.kind) {
            case SettingKind::kFlag:
                if (auto* box = item<pf::Button>(id))
                    box->setCheck(m_settings.GetFlag(def.id) ? pf::BST_CHECKED : pf::BST_UNCHECKED);
                break;
            case SettingKind::kColour:
                SetSwatch(row, m_settings.GetColour(def.id));
                break;
            case SettingKind::kDword:
                child(id)->setText(std::to_string(m_settings.GetDword(def.id)));
                break;
            case SettingKind::kString:
                child(id)->setText(m_settings.GetString(def.id));
                break;
            }
        }
        return true;
    }

    pf::LResult handle(const pf::Msg& msg) override
    {
        // A colour row's field is a swatch of the colour, its value written on it in black or white, whichever reads.
        if (msg.message == pf::WM_CTLCOLORSTATIC) {
            const pf::Window* control = pf::ui().window(static_cast<pf::Hwnd>(msg.lParam));
            const int32_t id = control != nullptr ? control->id() : 0;
            const size_t row = static_cast<size_t>(id - kRowBase) / 2;
            if (id >= kRowBase && (id - kRowBase) % 2 == 0 && row < m_defs.size() &&
                m_defs[row].kind == SettingKind::kColour) {
                const uint32_t rgb = m_colours[row];
                const uint32_t light = ((rgb >> 16) & 0xFF) * 299 + ((rgb >> 8) & 0xFF) * 587 + (rgb & 0xFF) * 114;
                if (pf::Dc* dc = pf::dcFromWParam(msg.wParam)) {
                    dc->setBkColor(RgbToColorRef(rgb));
                    dc->setTextColor(light > 128000 ? pf::rgb(0, 0, 0) : pf::rgb(255, 255, 255));
                }
                return pf::resultFromBrush(&m_swatches[row]);
            }
        }
        if (msg.message == pf::WM_COMMAND && pf::hiWord(msg.wParam) == pf::BN_CLICKED) {
            const int32_t id = pf::loWord(msg.wParam);
            if (id >= kRowBase && (id - kRowBase) % 2 == 1) {
                const size_t row = static_cast<size_t>(id - kRowBase) / 2;
                if (row < m_defs.size())
                    PickColour(row);
                return 0;
            }
        }
        return pf::Dialog::handle(msg);
    }

    void onOK() override
    {
        // Every number is read before anything is written: a tick above a refused number was applied, and kept at
        // the next start, though the dialog was then cancelled.
        std::vector<uint32_t> numbers(m_defs.size());
        for (size_t row = 0; row < m_defs.size(); ++row) {
            const CVTND_SettingDef& def = m_defs[row];
            if (def.kind != SettingKind::kDword)
                continue;
            pf::Window* field = child(kRowBase + 2 * static_cast<int32_t>(row));
            const std::string text = field->text();
            uint32_t& value = numbers[row];
            const auto [end, failed] = std::from_chars(text.data(), text.data() + text.size(), value);
            if (failed != std::errc() || end != text.data() + text.size() || text.empty() || value > def.highest) {
                // "-1" is a whole number too: the sentence names the range the setting is used in.
                pf::messageBox(hwnd(),
                               std::string("\"") + def.valueName + "\" needs a whole number from 0 to " +
                                   std::to_string(def.highest) + "; it keeps " +
                                   std::to_string(m_settings.GetDword(def.id)) + ".",
                               "Vortan", pf::MB_OK | pf::MB_ICONEXCLAMATION);
                field->setText(std::to_string(m_settings.GetDword(def.id)));
                gotoControl(field);
                return;
            }
        }
        for (size_t row = 0; row < m_defs.size(); ++row) {
            const CVTND_SettingDef& def = m_defs[row];
            const int32_t id = kRowBase + 2 * static_cast<int32_t>(row);
            bool changed = false;
            switch (def.kind) {
            case SettingKind::kFlag: {
                const bool on = item<pf::Button>(id) != nullptr && item<pf::Button>(id)->getCheck() == pf::BST_CHECKED;
                changed = on != m_settings.GetFlag(def.id) && m_settings.SetFlag(def.id, on);
                break;
            }
            case SettingKind::kColour:
                changed =
                    m_colours[row] != m_settings.GetColour(def.id) && m_settings.SetColour(def.id, m_colours[row]);
                break;
            case SettingKind::kDword:
                changed = numbers[row] != m_settings.GetDword(def.id) && m_settings.SetDword(def.id, numbers[row]);
                break;
            case SettingKind::kString: {
                const std::string text = child(id)->text();
                changed = text != m_settings.GetString(def.id) && m_settings.SetString(def.id, text);
                break;
            }
            }
            if (changed && m_engine != nullptr)
                m_engine->SettingChanged(def.id);
        }
        endDialog(pf::IDOK);
    }

private:
    void PickColour(size_t row)
    {
        const auto chosen = pf::chooseColor({hwnd(), RgbToColorRef(m_colours[row]), pf::CC_RGBINIT, &m_custom});
        if (!chosen)
            return;
        SetSwatch(row, (pf::getRValue(*chosen) << 16) | (pf::getGValue(*chosen) << 8) | pf::getBValue(*chosen));
    }
    void SetSwatch(size_t row, uint32_t rgb)
    {
        m_colours[row] = rgb;
        m_swatches[row] = pf::createSolidBrush(RgbToColorRef(rgb));
        pf::Window* field = child(kRowBase + 2 * static_cast<int32_t>(row));
        field->setText(std::string(" ").append(ColourText(rgb)));
        field->invalidate();
    }
    static pf::ColorRef RgbToColorRef(uint32_t rgb)
    {
        return pf::rgb(static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb));
    }

    CVTND_EditorSettings& m_settings;
    CVTND_EngineInterface* m_engine;
    std::vector<CVTND_SettingDef> m_defs;
    std::vector<uint32_t> m_colours;   // 0x00RRGGBB by row, while the dialog runs
    std::vector<pf::Brush> m_swatches; // the colour rows' swatches, by row
    std::array<pf::ColorRef, 16> m_custom{};
};

void RegisterUserInformation()
{
    pf::registerTemplate(
        {kIddUserInformation,
         "User Information",
         {340, 130},
         pf::WS_POPUP | pf::WS_CAPTION,
         {
             {"static", -1, {10, 10, 330, 26}, 0, "Please enter your name and organization."},
             {"static", -1, {10, 40, 100, 56}, 0, "Name:"},
             {"edit", kName, {100, 38, 330, 58}, pf::WS_TABSTOP | pf::WS_BORDER | pf::ES_AUTOHSCROLL, ""},
             {"static", -1, {10, 68, 100, 84}, 0, "Organization:"},
             {"edit", kOrganization, {100, 66, 330, 86}, pf::WS_TABSTOP | pf::WS_BORDER | pf::ES_AUTOHSCROLL, ""},
             {"button", pf::IDOK, {160, 98, 240, 122}, pf::WS_TABSTOP | pf::BS_DEFPUSHBUTTON, "OK"},
             {"button", pf::IDCANCEL, {250, 98, 330, 122}, pf::WS_TABSTOP, "Cancel"},
         }});
}

void RegisterPreferences(const std::vector<CVTND_SettingDef>& defs)
{
    pf::DialogTemplate tpl{kIddPreferences, "Preferences", {420, 0}, pf::WS_POPUP | pf::WS_CAPTION, {}};
    int32_t y = 10;
    for (size_t row = 0; row < defs.size(); ++row) {
        const CVTND_SettingDef& def = defs[row];
        const int32_t id = kRowBase + 2 * static_cast<int32_t>(row);
        if (def.kind == SettingKind::kFlag) {
            tpl.controls.push_back(
                {"button", id, {10, y, 410, y + 18}, pf::WS_TABSTOP | pf::BS_AUTOCHECKBOX, def.valueName});
        } else {
            tpl.controls.push_back({"static", -1, {10, y + 2, 200, y + 18}, 0, std::string(def.valueName) + ":"});
            if (def.kind == SettingKind::kColour) {
                tpl.controls.push_back({"static", id, {210, y, 300, y + 20}, pf::WS_BORDER, ""});
                tpl.controls.push_back({"button", id + 1, {310, y, 410, y + 20}, pf::WS_TABSTOP, "Colour..."});
            } else {
                tpl.controls.push_back(
                    {"edit", id, {210, y, 410, y + 20}, pf::WS_TABSTOP | pf::WS_BORDER | pf::ES_AUTOHSCROLL, ""});
            }
        }
        y += kRowHeight;
    }
    tpl.controls.push_back(
        {"button", pf::IDOK, {240, y + 4, 320, y + 28}, pf::WS_TABSTOP | pf::BS_DEFPUSHBUTTON, "OK"});
    tpl.controls.push_back({"button", pf::IDCANCEL, {330, y + 4, 410, y + 28}, pf::WS_TABSTOP, "Cancel"});
    tpl.size.cy = y + 38;
    pf::registerTemplate(std::move(tpl));
}

} // namespace

int RunUserInformationDialog(pf::Window& owner, CVTND_EditorSettings& settings)
{
    RegisterUserInformation();
    UserInformationDialog dialog(settings);
    return dialog.doModal(kIddUserInformation, &owner);
}

int RunPreferencesDialog(pf::Window& owner, CVTND_EditorSettings& settings, CVTND_EngineInterface* engine)
{
    std::vector<CVTND_SettingDef> defs;
    for (const CVTND_SettingDef& def : CVTND_EditorSettings::Registered())
        if (def.id != CVTND_EditorSettings::kUserName && def.id != CVTND_EditorSettings::kUserOrganization)
            defs.push_back(def);
    RegisterPreferences(defs);
    PreferencesDialog dialog(settings, engine, defs);
    return dialog.doModal(kIddPreferences, &owner);
}
