#pragma once
// The modal services the Parts reach through the platform: message boxes, modal dialog runs, popup-menu choices
// and the file, colour and font dialogs. Each is an interface with one scripted implementation here; the live
// backend installs its own. The scripted ones record every call with its arguments and answer from a script;
// an unscripted call is reported through Ui::reportStrictFailure and answers the harmless choice (IDCANCEL, IDNO
// or IDOK by the box's type, no command, cancel).
#include "platform/base/color.h"
#include "platform/base/hwnd.h"
#include "platform/base/rect.h"
#include "platform/gfx/text/log_font.h"
#include "platform/ui/core/menu.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pf {

class Dialog;

// ---- message boxes
struct MessageBoxCall {
    Hwnd owner = kNoWindow;
    std::string text;
    std::string caption;
    uint32_t flags = 0;
};

class MessageBoxProvider {
public:
    virtual ~MessageBoxProvider() = default;
    virtual int32_t show(const MessageBoxCall& call) = 0; // IDOK, IDCANCEL, IDYES or IDNO
};

int32_t messageBox(Hwnd owner, const std::string& text, const std::string& caption, uint32_t flags);
int32_t answerForUnscripted(uint32_t flags); // the box's harmless choice

// ---- modal runs
class ModalDriver {
public:
    virtual ~ModalDriver() = default;
    virtual void run(Dialog& dialog) = 0; // returns when the dialog ended, or gives up
};

// ---- popup menus
struct MenuCall {
    Hwnd owner = kNoWindow;
    std::vector<MenuItem> items; // with their states as shown
    Point point;
    uint32_t flags = 0;
};

class MenuChooser {
public:
    virtual ~MenuChooser() = default;
    virtual uint32_t choose(Hwnd owner, const std::vector<MenuItem>& items, Point point, uint32_t flags) = 0; // 0: none
};

// ---- file dialogs
struct FileDialogRequest {
    bool save = false;
    Hwnd owner = kNoWindow;
    std::string title;
    std::string filter; // "Name (*.ext)|*.ext|..."
    int32_t filterIndex = 1;
    std::string defaultExtension;
    std::string initialDirectory;
    std::string fileName;
    uint32_t flags = 0; // OFN_*
};

class FileDialogProvider {
public:
    virtual ~FileDialogProvider() = default;
    virtual std::optional<std::vector<std::string>> choose(const FileDialogRequest& request) = 0; // nullopt: cancel
    virtual std::optional<std::string> pickFolder(Hwnd owner, const std::string& title, const std::string& initial) = 0;
};

// ---- colour and font dialogs
struct ColorDialogRequest {
    Hwnd owner = kNoWindow;
    ColorRef initial = 0;
    uint32_t flags = 0;                         // CC_RGBINIT, CC_FULLOPEN
    std::array<ColorRef, 16>* custom = nullptr; // in and out; the caller's array
};

class ColorDialogProvider {
public:
    virtual ~ColorDialogProvider() = default;
    virtual std::optional<ColorRef> choose(const ColorDialogRequest& request) = 0;
};

struct FontDialogRequest {
    Hwnd owner = kNoWindow;
    LogFont logFont;
    uint32_t flags = 0;
    ColorRef color = 0;
};

struct FontChoice {
    LogFont logFont;
    ColorRef color = 0;
    int32_t pointSizeTenths = 0;
    uint32_t fontType = 0; // SCREEN_FONTTYPE
};

class FontDialogProvider {
public:
    virtual ~FontDialogProvider() = default;
    virtual std::optional<FontChoice> choose(const FontDialogRequest& request) = 0;
};

// ---- the scripted implementations
class ScriptedMessageBox final : public MessageBoxProvider {
public:
    int32_t show(const MessageBoxCall& call) override;
    void expect(int32_t answer) { m_answers.push_back(answer); }
    const std::vector<MessageBoxCall>& calls() const { return m_calls; }
    size_t pending() const { return m_answers.size(); }

private:
    std::deque<int32_t> m_answers;
    std::vector<MessageBoxCall> m_calls;
};

class ScriptedModalDriver final : public ModalDriver {
public:
    using Script = std::function<void(Dialog&)>;
    void run(Dialog& dialog) override;
    void onModal(int32_t idd, Script script) { m_scripts[idd].push_back(std::move(script)); }
    const std::vector<int32_t>& runs() const { return m_runs; } // IDDs in the order they ran
    size_t pending() const;

private:
    std::map<int32_t, std::deque<Script>> m_scripts;
    std::vector<int32_t> m_runs;
};

class ScriptedMenuChooser final : public MenuChooser {
public:
    uint32_t choose(Hwnd owner, const std::vector<MenuItem>& items, Point point, uint32_t flags) override;
    void expect(uint32_t command) { m_answers.push_back(command); }
    const std::vector<MenuCall>& calls() const { return m_calls; }
    size_t pending() const { return m_answers.size(); }

private:
    std::deque<uint32_t> m_answers;
    std::vector<MenuCall> m_calls;
};

class ScriptedFileDialog final : public FileDialogProvider {
public:
    std::optional<std::vector<std::string>> choose(const FileDialogRequest& request) override;
    std::optional<std::string> pickFolder(Hwnd owner, const std::string& title, const std::string& initial) override;
    void expect(std::optional<std::vector<std::string>> answer)
    {
        m_answers.push_back({!answer.has_value(), answer.value_or(std::vector<std::string>{})});
    }
    const std::vector<FileDialogRequest>& calls() const { return m_calls; }
    size_t pending() const { return m_answers.size(); }

private:
    struct Answer {
        bool cancel = false;
        std::vector<std::string> paths;
    };
    std::deque<Answer> m_answers;
    std::vector<FileDialogRequest> m_calls;
};

class ScriptedColorDialog final : public ColorDialogProvider {
public:
    std::optional<ColorRef> choose(const ColorDialogRequest& request) override;
    void expect(std::optional<ColorRef> answer) { m_answers.push_back(answer); }
    const std::vector<ColorDialogRequest>& calls() const { return m_calls; }
    size_t pending() const { return m_answers.size(); }

private:
    std::deque<std::optional<ColorRef>> m_answers;
    std::vector<ColorDialogRequest> m_calls;
};

class ScriptedFontDialog final : public FontDialogProvider {
public:
    std::optional<FontChoice> choose(const FontDialogRequest& request) override;
    void expect(std::optional<FontChoice> answer) { m_answers.push_back(answer); }
    const std::vector<FontDialogRequest>& calls() const { return m_calls; }
    size_t pending() const { return m_answers.size(); }

private:
    std::deque<std::optional<FontChoice>> m_answers;
    std::vector<FontDialogRequest> m_calls;
};

// One instance of each service; the scripted ones unless a live one is installed.
class Providers {
public:
    MessageBoxProvider& messageBox() { return m_messageBox != nullptr ? *m_messageBox : m_scriptedMessageBox; }
    ModalDriver& modalDriver() { return m_modalDriver != nullptr ? *m_modalDriver : m_scriptedModal; }
    MenuChooser& menuChooser() { return m_menuChooser != nullptr ? *m_menuChooser : m_scriptedMenu; }
    FileDialogProvider& fileDialog() { return m_fileDialog != nullptr ? *m_fileDialog : m_scriptedFile; }
    ColorDialogProvider& colorDialog() { return m_colorDialog != nullptr ? *m_colorDialog : m_scriptedColor; }
    FontDialogProvider& fontDialog() { return m_fontDialog != nullptr ? *m_fontDialog : m_scriptedFont; }

    // Live services, not owned, outliving their installation; null restores the scripted one.
    void install(MessageBoxProvider* p) { m_messageBox = p; }
    void install(ModalDriver* p) { m_modalDriver = p; }
    void install(MenuChooser* p) { m_menuChooser = p; }
    void install(FileDialogProvider* p) { m_fileDialog = p; }
    void install(ColorDialogProvider* p) { m_colorDialog = p; }
    void install(FontDialogProvider* p) { m_fontDialog = p; }

    ScriptedMessageBox& scriptedMessageBox() { return m_scriptedMessageBox; }
    ScriptedModalDriver& scriptedModal() { return m_scriptedModal; }
    ScriptedMenuChooser& scriptedMenu() { return m_scriptedMenu; }
    ScriptedFileDialog& scriptedFile() { return m_scriptedFile; }
    ScriptedColorDialog& scriptedColor() { return m_scriptedColor; }
    ScriptedFontDialog& scriptedFont() { return m_scriptedFont; }

private:
    ScriptedMessageBox m_scriptedMessageBox;
    ScriptedModalDriver m_scriptedModal;
    ScriptedMenuChooser m_scriptedMenu;
    ScriptedFileDialog m_scriptedFile;
    ScriptedColorDialog m_scriptedColor;
    ScriptedFontDialog m_scriptedFont;
    MessageBoxProvider* m_messageBox = nullptr;
    ModalDriver* m_modalDriver = nullptr;
    MenuChooser* m_menuChooser = nullptr;
    FileDialogProvider* m_fileDialog = nullptr;
    ColorDialogProvider* m_colorDialog = nullptr;
    FontDialogProvider* m_fontDialog = nullptr;
};

// The common dialogs as callers use them.
std::optional<std::vector<std::string>> getFileName(const FileDialogRequest& request);
std::optional<ColorRef> chooseColor(const ColorDialogRequest& request);
std::optional<FontChoice> chooseFont(const FontDialogRequest& request);

} // namespace pf
