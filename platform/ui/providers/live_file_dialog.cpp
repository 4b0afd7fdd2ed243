#include "platform/ui/providers/live_file_dialog.h"

#include "platform/base/user_constants.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/list_box.h"
#include "platform/ui/core/resources.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/dialog/dialog.h"

#include <algorithm>
#include <cctype>
#include <system_error>

namespace fs = std::filesystem;

namespace pf {

namespace {

constexpr const char* kFolderMark = "[";

DialogTemplate fileDialogTemplate(const std::string& caption, bool save, bool folders)
{
    DialogTemplate tpl;
    tpl.idd = kFileDialogIdd;
    tpl.caption = caption;
    tpl.size = {460, 330};
    tpl.style = WS_POPUP | WS_CAPTION;
    // The tab order starts where a person types: the name, its button, the type and Cancel, then the folder above.
    tpl.controls = {
        {"static", -1, {10, 242, 90, 258}, SS_LEFT, folders ? "Folder:" : "File name:"},
        {"edit", kFileNameEditId, {95, 240, 360, 262}, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, ""},
        {"button", IDOK, {370, 240, 450, 264}, WS_TABSTOP | BS_DEFPUSHBUTTON, save ? "Save" : "Open"},
        {"static", -1, {10, 276, 90, 292}, SS_LEFT, "Files of type:"},
        {"combobox", kFileFilterComboId, {95, 272, 360, 294}, WS_TABSTOP | CBS_DROPDOWNLIST, ""},
        {"button", IDCANCEL, {370, 272, 450, 296}, WS_TABSTOP, "Cancel"},
        {"static", -1, {10, 12, 70, 28}, SS_LEFT, "Look in:"},
        {"edit", kFileFolderEditId, {75, 10, 400, 32}, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, ""},
        {"button", kFileUpButtonId, {405, 10, 450, 32}, WS_TABSTOP, "Up"},
        {"listbox", kFileListId, {10, 40, 450, 230}, WS_BORDER | WS_TABSTOP | LBS_NOTIFY, ""},
    };
    return tpl;
}

std::string lowered(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool matchFrom(const std::string& name, size_t n, const std::string& pattern, size_t p)
{
    while (p < pattern.size()) {
        if (pattern[p] == '*') {
            for (size_t k = n; k <= name.size(); ++k)
                if (matchFrom(name, k, pattern, p + 1))
                    return true;
            return false;
        }
        if (n >= name.size() || (pattern[p] != '?' && pattern[p] != name[n]))
            return false;
        ++n;
        ++p;
    }
    return n == name.size();
}

class FileDialog final : public Dialog {
public:
    FileDialog(const FileDialogRequest& request, bool folders) : m_request(request), m_folders(folders) {}

    const std::vector<std::string>& answer() const { return m_answer; }

protected:
    bool onInitDialog() override
    {
        m_filters = parseFileFilter(m_request.filter);
        auto* combo = item<ComboBox>(kFileFilterComboId);
        for (const FileFilter& f : m_filters)
            combo->addString(f.name);
        if (m_filters.empty() || m_folders)
            combo->enable(false);
        combo->setCurSel(std::clamp(m_request.filterIndex - 1, 0, static_cast<int32_t>(m_filters.size()) - 1));
        std::error_code error;
        fs::path start =
            m_request.initialDirectory.empty() ? fs::current_path(error) : fs::path(m_request.initialDirectory);
        const fs::path named = m_request.fileName;
        if (named.has_parent_path() && fs::is_directory(start / named.parent_path(), error))
            start = start / named.parent_path();
        child(kFileNameEditId)->setText(named.filename().string());
        enterFolder(start);
        // A person types the file's name first, not the folder: the name's field has the focus, its text selected.
        gotoControl(child(kFileNameEditId));
        return false;
    }

    LResult handle(const Msg& msg) override
    {
        if (msg.message == WM_COMMAND) {
            const int32_t id = loWord(msg.wParam);
            const int32_t code = hiWord(msg.wParam);
            if (id == kFileUpButtonId && code == BN_CLICKED) {
                enterFolder(m_folder.parent_path());
                return 0;
            }
            if (id == kFileFilterComboId && code == CBN_SELCHANGE) {
                fillListing();
                return 0;
            }
            if (id == kFileListId && (code == LBN_SELCHANGE || code == LBN_DBLCLK)) {
                listChosen(code == LBN_DBLCLK);
                return 0;
            }
        }
        return Dialog::handle(msg);
    }

    void onOK() override
    {
        const std::string folderText = child(kFileFolderEditId)->text();
        std::error_code error;
        if (fs::path(folderText) != m_folder && fs::is_directory(folderText, error)) {
            enterFolder(folderText); // Enter in the folder edit goes there
            return;
        }
        const std::string typed = child(kFileNameEditId)->text();
        if (m_folders) {
            const fs::path chosen = typed.empty() ? m_folder : m_folder / typed;
            if (!fs::is_directory(chosen, error)) {
                messageBox(hwnd(), chosen.string() + "\nThe folder does not exist.", text(),
                           MB_OK | MB_ICONEXCLAMATION);
                return;
            }
            finish(chosen);
            return;
        }
        if (typed.empty())
            return;
        if (fs::is_directory(m_folder / typed, error)) {
            enterFolder(m_folder / typed);
            child(kFileNameEditId)->setText("");
            return;
        }
        const fs::path path = resolveTypedName(m_folder, typed, m_request.defaultExtension);
        if (accepts(path))
            finish(path);
    }

private:
    bool accepts(const fs::path& path)
    {
        std::error_code error;
        const uint32_t flags = m_request.flags;
        if ((flags & (OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST)) != 0 && !fs::is_directory(path.parent_path(), error)) {
            messageBox(hwnd(), path.string() + "\nThe path does not exist.\nCheck the path and try again.", text(),
                       MB_OK | MB_ICONEXCLAMATION);
            return false;
        }
        const bool exists = fs::exists(path, error);
        if (!m_request.save && (flags & OFN_FILEMUSTEXIST) != 0 && !exists) {
            messageBox(hwnd(), path.filename().string() + "\nFile not found.\nCheck the file name and try again.",
                       text(), MB_OK | MB_ICONEXCLAMATION);
            return false;
        }
        if (m_request.save && (flags & OFN_OVERWRITEPROMPT) != 0 && exists)
            return messageBox(hwnd(), path.filename().string() + " already exists.\nDo you want to replace it?", text(),
                              MB_YESNO | MB_ICONEXCLAMATION) == IDYES;
        return true;
    }

    void finish(const fs::path& path)
    {
        m_answer = {path.lexically_normal().string()};
        endDialog(IDOK);
    }

    void listChosen(bool opened)
    {
        auto* list = item<ListBox>(kFileListId);
        const int32_t index = list->getCurSel();
        if (index < 0 || static_cast<size_t>(index) >= m_entries.size())
            return;
        const Entry entry = m_entries[static_cast<size_t>(index)];
        if (entry.isFolder) {
            if (opened)
                enterFolder(m_folder / entry.name);
            else if (m_folders)
                child(kFileNameEditId)->setText(entry.name);
            return;
        }
        child(kFileNameEditId)->setText(entry.name);
        if (opened)
            onOK();
    }

    void enterFolder(const fs::path& folder)
    {
        std::error_code error;
        if (folder.empty() || !fs::is_directory(folder, error))
            return;
        m_folder = fs::absolute(folder, error).lexically_normal();
        if (m_folder.has_filename() == false && m_folder != m_folder.root_path())
            m_folder = m_folder.parent_path();
        child(kFileFolderEditId)->setText(m_folder.string());
        fillListing();
    }

    void fillListing()
    {
        struct Found {
            std::string name;
            bool isFolder;
        };
        std::vector<Found> found;
        const int32_t filter = item<ComboBox>(kFileFilterComboId)->getCurSel();
        std::error_code error;
        for (fs::directory_iterator it(m_folder, fs::directory_options::skip_permission_denied, error), end;
             !error && it != end; it.increment(error)) {
            const std::string name = it->path().filename().string();
            if (name.empty() || name[0] == '.')
                continue;
            std::error_code kindError;
            const bool isFolder = it->is_directory(kindError);
            if (isFolder || (!m_folders && shown(name, filter)))
                found.push_back({name, isFolder});
        }
        std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
            return a.isFolder != b.isFolder ? a.isFolder : lowered(a.name) < lowered(b.name);
        });
        auto* list = item<ListBox>(kFileListId);
        list->resetContent();
        m_entries.clear();
        for (const Found& f : found) {
            list->addString(f.isFolder ? kFolderMark + f.name + "]" : f.name);
            m_entries.push_back({f.name, f.isFolder});
        }
    }

    bool shown(const std::string& name, int32_t filter) const
    {
        if (filter < 0 || static_cast<size_t>(filter) >= m_filters.size())
            return true;
        const auto& patterns = m_filters[static_cast<size_t>(filter)].patterns;
        return std::any_of(patterns.begin(), patterns.end(),
                           [&](const std::string& p) { return matchesPattern(name, p); });
    }

    struct Entry {
        std::string name;
        bool isFolder = false;
    };
    FileDialogRequest m_request;
    bool m_folders;
    std::vector<FileFilter> m_filters;
    fs::path m_folder;
    std::vector<Entry> m_entries; // in list order
    std::vector<std::string> m_answer;
};

std::optional<std::vector<std::string>> runFileDialog(const FileDialogRequest& request, bool folders)
{
    const std::string caption = !request.title.empty() ? request.title
                                : folders              ? "Choose a folder"
                                : request.save         ? "Save As"
                                                       : "Open";
    resources().addDialog(fileDialogTemplate(caption, request.save, folders));
    FileDialog dialog(request, folders);
    if (dialog.doModal(kFileDialogIdd, ui().window(request.owner)) != IDOK || dialog.answer().empty())
        return std::nullopt;
    return dialog.answer();
}

} // namespace

std::vector<FileFilter> parseFileFilter(const std::string& filter)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start < filter.size()) {
        const size_t bar = filter.find('|', start);
        parts.push_back(filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos)
            break;
        start = bar + 1;
    }
    std::vector<FileFilter> filters;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        FileFilter f{parts[i], {}};
        size_t from = 0;
        const std::string& list = parts[i + 1];
        while (from <= list.size()) {
            const size_t semi = list.find(';', from);
            std::string pattern = list.substr(from, semi == std::string::npos ? std::string::npos : semi - from);
            if (!pattern.empty())
                f.patterns.push_back(std::move(pattern));
            if (semi == std::string::npos)
                break;
            from = semi + 1;
        }
        if (!f.name.empty() && !f.patterns.empty())
            filters.push_back(std::move(f));
    }
    return filters;
}

bool matchesPattern(const std::string& name, const std::string& pattern)
{
    return matchFrom(lowered(name), 0, lowered(pattern), 0);
}

fs::path resolveTypedName(const fs::path& folder, const std::string& typed, const std::string& defaultExtension)
{
    fs::path path = fs::path(typed).is_absolute() ? fs::path(typed) : folder / typed;
    if (!path.has_extension() && !defaultExtension.empty())
        path += (defaultExtension.front() == '.' ? "" : ".") + defaultExtension;
    return path;
}

std::optional<std::vector<std::string>> LiveFileDialog::choose(const FileDialogRequest& request)
{
    return runFileDialog(request, false);
}

std::optional<std::string> LiveFileDialog::pickFolder(Hwnd owner, const std::string& title, const std::string& initial)
{
    FileDialogRequest request;
    request.owner = owner;
    request.title = title;
    request.initialDirectory = initial;
    const auto answer = runFileDialog(request, true);
    if (!answer.has_value())
        return std::nullopt;
    return answer->front();
}

} // namespace pf
