#pragma once
// CVTND_DetailsWorldDlg: the details editor of one loadable world (editor kind 7): its name, published file,
// download address and reference limit. Browse and the limit box write at once; the name, the texts and the limit
// wait for Close, where an empty or taken name keeps the editor open with nothing more written. A file name or
// address shorter than two characters is ignored, so neither can be cleared here.
#include <cstdint>

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

// A text that leads with a decimal number as that number, clamped to 0..2^32-1; 0 when it leads with none.
uint32_t LeadingUnsigned(const std::string& text);
