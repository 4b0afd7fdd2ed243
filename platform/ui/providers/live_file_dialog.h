#pragma once
// The file dialog of a run on a display, our own dialog through the modal loop: a folder edit, an up-folder
// button, the folder's listing filtered by the chosen pattern, a name edit and a filter combo built from the
// "Name (*.ext)|*.ext|..." string. It answers what the scripted dialog answers: the chosen path, or nothing.
#include "platform/ui/providers/providers.h"

#include <filesystem>
#include <string>
#include <vector>

namespace pf {

inline constexpr int32_t kFileDialogIdd = 0x7F02;
inline constexpr int32_t kFileFolderEditId = 0x7F20;
inline constexpr int32_t kFileUpButtonId = 0x7F21;
inline constexpr int32_t kFileListId = 0x7F22;
inline constexpr int32_t kFileNameEditId = 0x7F23;
inline constexpr int32_t kFileFilterComboId = 0x7F24;

struct FileFilter {
    std::string name;
    std::vector<std::string> patterns; // "*.vtn"; ';' separates several
};

// The filter string's pairs; a trailing name without patterns is dropped.
std::vector<FileFilter> parseFileFilter(const std::string& filter);
// Shell patterns with '*' and '?', compared without regard to ASCII case.
bool matchesPattern(const std::string& name, const std::string& pattern);

// A typed name made into the path the dialog answers: relative to the folder, the default extension added when
// the name has none.
std::filesystem::path resolveTypedName(const std::filesystem::path& folder, const std::string& typed,
                                       const std::string& defaultExtension);

class LiveFileDialog final : public FileDialogProvider {
public:
    std::optional<std::vector<std::string>> choose(const FileDialogRequest& request) override;
    std::optional<std::string> pickFolder(Hwnd owner, const std::string& title, const std::string& initial) override;
};

} // namespace pf
