#include "platform/ui/providers/providers.h"

#include "platform/base/user_constants.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/dialog/dialog.h"

namespace pf {

int32_t answerForUnscripted(uint32_t flags)
{
    switch (flags & 0xF) {
    case MB_OK:
        return IDOK;
    case MB_YESNO:
        return IDNO;
    default:
        return IDCANCEL; // MB_OKCANCEL, MB_YESNOCANCEL and the rest
    }
}

int32_t messageBox(Hwnd owner, const std::string& text, const std::string& caption, uint32_t flags)
{
    const ModalScope modalRun;
    return ui().providers().messageBox().show({owner, text, caption, flags});
}

int32_t ScriptedMessageBox::show(const MessageBoxCall& call)
{
    m_calls.push_back(call);
    if (m_answers.empty()) {
        ui().reportStrictFailure("unscripted message box: \"" + call.text + "\" caption \"" + call.caption +
                                 "\" flags " + std::to_string(call.flags));
        return answerForUnscripted(call.flags);
    }
    const int32_t answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

void ScriptedModalDriver::run(Dialog& dialog)
{
    m_runs.push_back(dialog.templateId());
    const auto it = m_scripts.find(dialog.templateId());
    if (it == m_scripts.end() || it->second.empty()) {
        ui().reportStrictFailure("unscripted modal dialog " + std::to_string(dialog.templateId()));
        return;
    }
    Script script = std::move(it->second.front());
    it->second.pop_front();
    script(dialog);
}

size_t ScriptedModalDriver::pending() const
{
    size_t n = 0;
    for (const auto& [idd, scripts] : m_scripts)
        n += scripts.size();
    return n;
}

uint32_t ScriptedMenuChooser::choose(Hwnd owner, const std::vector<MenuItem>& items, Point point, uint32_t flags)
{
    m_calls.push_back({owner, items, point, flags});
    if (m_answers.empty()) {
        ui().reportStrictFailure("unscripted popup menu of " + std::to_string(items.size()) + " items");
        return 0;
    }
    const uint32_t answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

std::optional<std::vector<std::string>> ScriptedFileDialog::choose(const FileDialogRequest& request)
{
    m_calls.push_back(request);
    if (m_answers.empty()) {
        ui().reportStrictFailure("unscripted file dialog \"" + request.title + "\" filter \"" + request.filter + "\"");
        return std::nullopt;
    }
    const Answer answer = std::move(m_answers.front());
    m_answers.pop_front();
    if (answer.cancel)
        return std::nullopt;
    return answer.paths;
}

std::optional<std::string> ScriptedFileDialog::pickFolder(Hwnd owner, const std::string& title,
                                                          const std::string& initial)
{
    FileDialogRequest request;
    request.owner = owner;
    request.title = title;
    request.initialDirectory = initial;
    const auto answer = choose(request);
    if (!answer || answer->empty())
        return std::nullopt;
    return answer->front();
}

std::optional<ColorRef> ScriptedColorDialog::choose(const ColorDialogRequest& request)
{
    m_calls.push_back(request);
    if (m_answers.empty()) {
        ui().reportStrictFailure("unscripted colour dialog, initial colour " + std::to_string(request.initial));
        return std::nullopt;
    }
    const auto answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

std::optional<FontChoice> ScriptedFontDialog::choose(const FontDialogRequest& request)
{
    m_calls.push_back(request);
    if (m_answers.empty()) {
        ui().reportStrictFailure(std::string("unscripted font dialog, face \"") + request.logFont.face + "\"");
        return std::nullopt;
    }
    const auto answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

std::optional<std::vector<std::string>> getFileName(const FileDialogRequest& request)
{
    const ModalScope modalRun;
    return ui().providers().fileDialog().choose(request);
}

std::optional<ColorRef> chooseColor(const ColorDialogRequest& request)
{
    const ModalScope modalRun;
    return ui().providers().colorDialog().choose(request);
}

std::optional<FontChoice> chooseFont(const FontDialogRequest& request)
{
    const ModalScope modalRun;
    return ui().providers().fontDialog().choose(request);
}

} // namespace pf
