#include "platform/ui/providers/live_providers.h"

#include "platform/base/user_constants.h"
#include "platform/ui/controls/static_control.h"
#include "platform/ui/core/message_loop.h"
#include "platform/ui/core/resources.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/dialog/dialog.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace pf {

namespace {

constexpr size_t kWrapChars = 60;
constexpr int32_t kLineHeight = 16;
constexpr int32_t kCharWidth = 7; // a generous average; the box is sized before any font is measured
constexpr int32_t kButtonWidth = 75;
constexpr int32_t kButtonHeight = 23;
constexpr int32_t kMargin = 12;
constexpr int32_t kIconSide = 32;

struct BoxButtons {
    std::vector<int32_t> ids;
    int32_t escape; // the answer of Esc and of closing the box; 0: Esc does nothing
};

BoxButtons buttonsOf(uint32_t flags)
{
    switch (flags & 0xF) {
    case MB_OKCANCEL:
        return {{IDOK, IDCANCEL}, IDCANCEL};
    case MB_YESNOCANCEL:
        return {{IDYES, IDNO, IDCANCEL}, IDCANCEL};
    case MB_YESNO:
        return {{IDYES, IDNO}, IDNO};
    default:
        return {{IDOK}, IDOK};
    }
}

const char* buttonText(int32_t id)
{
    switch (id) {
    case IDCANCEL:
        return "Cancel";
    case IDYES:
        return "Yes";
    case IDNO:
        return "No";
    default:
        return "OK";
    }
}

uint32_t iconIdOf(uint32_t flags)
{
    switch (flags & 0xF0) {
    case MB_ICONHAND:
        return 32513;
    case MB_ICONQUESTION:
        return 32514;
    case MB_ICONEXCLAMATION:
        return 32515;
    case MB_ICONASTERISK:
        return 32516;
    default:
        return 0;
    }
}

// A box asked for a window that waits for a modal dialog belongs to that dialog, the topmost one that waits on it:
// owned by the waiting window, it would stand beside the dialog as its equal, and the two would take turns at the top
// while the dialog took clicks meant for the box.
Window* ownerForBox(Window* asked)
{
    Window* waiting = asked != nullptr ? asked->topLevel() : nullptr;
    if (waiting == nullptr || waiting->isEnabled())
        return asked;
    for (const Hwnd h : ui().topLevels()) {
        auto* dialog = dynamic_cast<Dialog*>(ui().window(h));
        if (dialog == nullptr || !dialog->isModal() || !dialog->isVisible() || !dialog->isEnabled())
            continue;
        for (Window* owner = dialog->owner(); owner != nullptr; owner = owner->topLevel()->owner())
            if (owner->topLevel() == waiting)
                return dialog;
    }
    return asked;
}

class MessageBoxDialog final : public Dialog {
public:
    MessageBoxDialog(uint32_t iconId, int32_t escapeAnswer) : m_iconId(iconId), m_escape(escapeAnswer) {}

protected:
    bool onInitDialog() override
    {
        if (auto* icon = item<StaticControl>(kMessageBoxIconId); icon != nullptr && m_iconId != 0)
            icon->setIcon(resources().icon(m_iconId));
        return true;
    }
    LResult handle(const Msg& msg) override
    {
        if (msg.message == WM_COMMAND && hiWord(msg.wParam) == BN_CLICKED) {
            const int32_t id = loWord(msg.wParam);
            if (id == IDYES || id == IDNO) {
                endDialog(id);
                return 0;
            }
        }
        return Dialog::handle(msg);
    }
    // Y and N answer a question box as its buttons do, wherever the focus is in it.
    bool preTranslateMessage(const Msg& msg) override
    {
        if (msg.message == WM_CHAR) {
            const auto key = static_cast<char>(std::tolower(static_cast<int>(msg.wParam & 0x7F)));
            const int32_t answer = key == 'y' ? IDYES : key == 'n' ? IDNO : 0;
            if (answer != 0 && child(answer) != nullptr) {
                endDialog(answer);
                return true;
            }
        }
        return Dialog::preTranslateMessage(msg);
    }
    void onOK() override { endDialog(IDOK); }
    void onCancel() override
    {
        if (m_escape != IDOK || child(IDOK) != nullptr)
            endDialog(m_escape);
    }

private:
    uint32_t m_iconId;
    int32_t m_escape;
};

DialogTemplate messageBoxTemplate(const MessageBoxCall& call, const BoxButtons& buttons)
{
    const std::vector<std::string> lines = wrapText(call.text, kWrapChars);
    size_t widest = 0;
    for (const std::string& line : lines)
        widest = std::max(widest, line.size());
    const bool hasIcon = iconIdOf(call.flags) != 0;
    const int32_t textLeft = kMargin + (hasIcon ? kIconSide + kMargin : 0);
    const int32_t textHeight = std::max<int32_t>(static_cast<int32_t>(lines.size()) * kLineHeight, kIconSide);
    const int32_t buttonsWidth = static_cast<int32_t>(buttons.ids.size()) * (kButtonWidth + 6) - 6;
    const int32_t width =
        std::max(textLeft + static_cast<int32_t>(widest) * kCharWidth + kMargin, buttonsWidth + 2 * kMargin);
    const int32_t height = kMargin + textHeight + kMargin + kButtonHeight + kMargin;

    DialogTemplate tpl;
    tpl.idd = kMessageBoxIdd;
    tpl.caption = call.caption;
    tpl.size = {width, height};
    tpl.style = WS_POPUP | WS_CAPTION;
    if (hasIcon)
        tpl.controls.push_back(
            {"static", kMessageBoxIconId, Rect::fromXywh(kMargin, kMargin, kIconSide, kIconSide), SS_ICON, ""});
    for (size_t i = 0; i < lines.size(); ++i) {
        const int32_t y = kMargin + static_cast<int32_t>(i) * kLineHeight;
        tpl.controls.push_back({"static", kMessageBoxTextId + static_cast<int32_t>(i),
                                Rect::fromXywh(textLeft, y, width - textLeft - kMargin, kLineHeight), SS_LEFT,
                                lines[i]});
    }
    int32_t x = (width - buttonsWidth) / 2;
    for (size_t i = 0; i < buttons.ids.size(); ++i) {
        const uint32_t kind = i == 0 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        tpl.controls.push_back({"button", buttons.ids[i],
                                Rect::fromXywh(x, height - kMargin - kButtonHeight, kButtonWidth, kButtonHeight),
                                kind | WS_TABSTOP, buttonText(buttons.ids[i])});
        x += kButtonWidth + 6;
    }
    return tpl;
}

} // namespace

std::vector<std::string> wrapText(const std::string& text, size_t maxChars)
{
    std::vector<std::string> lines;
    std::string line;
    std::string word;
    const auto flushWord = [&] {
        while (word.size() > maxChars) {
            if (!line.empty())
                lines.push_back(std::exchange(line, {}));
            lines.push_back(word.substr(0, maxChars));
            word.erase(0, maxChars);
        }
        if (word.empty())
            return;
        if (!line.empty() && line.size() + 1 + word.size() > maxChars)
            lines.push_back(std::exchange(line, {}));
        line += line.empty() ? word : " " + word;
        word.clear();
    };
    for (const char c : text) {
        if (c == ' ') {
            flushWord();
        } else if (c == '\n') {
            flushWord();
            lines.push_back(std::exchange(line, {}));
        } else if (c != '\r') {
            word += c;
        }
    }
    flushWord();
    if (!line.empty() || lines.empty())
        lines.push_back(line);
    return lines;
}

void LoopModalDriver::run(Dialog& dialog)
{
    const Hwnd self = dialog.hwnd();
    Ui& u = ui();
    const bool ended = runModalLoop(u, [&] { return u.window(self) != &dialog || dialog.hasEnded(); });
    // A quit while the dialog runs ends it unanswered, so that the loops around it can end too.
    if (!ended && u.window(self) == &dialog)
        dialog.endDialog(IDCANCEL);
}

int32_t LiveMessageBox::show(const MessageBoxCall& call)
{
    const BoxButtons buttons = buttonsOf(call.flags);
    resources().addDialog(messageBoxTemplate(call, buttons));
    MessageBoxDialog box(iconIdOf(call.flags), buttons.escape);
    Window* owner = ownerForBox(ui().window(call.owner));
    const int32_t answer = box.doModal(kMessageBoxIdd, owner);
    const bool isButton = std::find(buttons.ids.begin(), buttons.ids.end(), answer) != buttons.ids.end();
    return isButton ? answer : answerForUnscripted(call.flags);
}

void LiveProviders::install()
{
    ui().providers().install(static_cast<ModalDriver*>(&modal));
    ui().providers().install(static_cast<MessageBoxProvider*>(&messageBox));
    ui().providers().install(static_cast<MenuChooser*>(&menu));
    ui().providers().install(static_cast<FileDialogProvider*>(&fileDialog));
    ui().providers().install(static_cast<ColorDialogProvider*>(&colorDialog));
    ui().providers().install(static_cast<FontDialogProvider*>(&fontDialog));
}

} // namespace pf
