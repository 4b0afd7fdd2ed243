#pragma once
// The modal services of a run on a display: modal dialogs run the nested loop of the installed backend, and the
// message box, the file, colour and font dialogs and popup menus are windows of our own drawn by the layer. They
// answer exactly what the scripted services answer, and need no display: headless, a simulated user drives them.
#include "platform/ui/providers/live_color_dialog.h"
#include "platform/ui/providers/live_file_dialog.h"
#include "platform/ui/providers/live_font_dialog.h"
#include "platform/ui/providers/live_menu.h"
#include "platform/ui/providers/providers.h"

#include <string>
#include <vector>

namespace pf {

class LoopModalDriver final : public ModalDriver {
public:
    void run(Dialog& dialog) override; // the backend's loop, nested, until the dialog ends or a quit is posted
};

// The message box's dialog template id; the button ids are the answers (IDOK, IDCANCEL, IDYES, IDNO).
constexpr int32_t kMessageBoxIdd = 0x7F01;
constexpr int32_t kMessageBoxTextId = 0x7F10; // the first line; the next lines follow
constexpr int32_t kMessageBoxIconId = 0x7F0F;

class LiveMessageBox final : public MessageBoxProvider {
public:
    int32_t show(const MessageBoxCall& call) override;
};

// Breaks text at spaces (and at '\n') into lines of at most maxChars; a longer word is cut.
std::vector<std::string> wrapText(const std::string& text, size_t maxChars);

// Installs the live services in the current Ui's providers; the objects must outlive the Ui's use of them.
struct LiveProviders {
    LoopModalDriver modal;
    LiveMessageBox messageBox;
    LiveMenuChooser menu;
    LiveFileDialog fileDialog;
    LiveColorDialog colorDialog;
    LiveFontDialog fontDialog;
    void install();
};

} // namespace pf
