#pragma once
// CVTND_DetailsWorldDlg: the details editor of one loadable world (editor kind 7): its name, published file,
// download address and reference limit. Browse and the limit box write at once; the name, the texts and the limit
// wait for Close, where an empty or taken name, or a limit that is no whole number from 0 to 2^32-1, keeps the editor
// open with nothing more written. A file name or address shorter than two characters is ignored, so neither can be
// cleared here.
#include <cstdint>
#include <optional>
#include <string_view>

#include "designer/workspace/modeless_editor.h"

struct CVTND_EditorRequest;
class CVTN_SubWorld;

class CVTND_DetailsWorldDlg : public CVTND_ModelessEditorDlg {
public:
    static constexpr int32_t kIdd = 459;

    explicit CVTND_DetailsWorldDlg(const CVTND_EditorRequest& request);

protected:
    bool onInitDialog() override;
    bool Validate() override; // the name: empty, taken, or renamed and announced
    void Apply() override;    // the texts and the limit
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void Browse();
    void LimitToggled();

    CVTN_SubWorld* m_entry; // the world's list owns it; the editor closes when it is deleted
};

// The limit a field's text holds: a whole number from 0 to kLargestLimit, blanks around it; nothing otherwise.
constexpr double kLargestLimit = 4294967295.0;
std::optional<uint32_t> ReadReferenceLimit(std::string_view text);
