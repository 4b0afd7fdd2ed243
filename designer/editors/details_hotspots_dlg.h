#pragma once
// CVTND_DetailsHotspotsDlg: the hot spots of one texture, inside its texture editor, which creates, shows, hides
// and deletes it (it is in no editor list and never deletes itself). It adds, removes and renames hot spots and
// cuts the selected one a picture from the alter-ego texture; the selected hot spot is the owner's.
//
// A cut reads only inside the alter-ego texture: its rectangle is clamped to the texture, and a cut of no pixels on
// either side takes nothing. The picture is the cut rounded up to powers of two, zero outside the cut, and the hot
// spot shows the cut's own size.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/base/user_constants.h"
#include "platform/ui/dialog/dialog.h"

class CVTND_DetailsTextureDlg;
class CVTND_Object;
class SWhotspot;

inline constexpr uint32_t kMsgRefreshHotspot = pf::WM_USER + 3; // refreshes the fields of the selected hot spot

class CVTND_DetailsHotspotsDlg : public pf::Dialog {
public:
    static constexpr int32_t kIdd = 520;
    static constexpr int32_t kIdTake = 1165;
    static constexpr int32_t kIdName = 1004;

    explicit CVTND_DetailsHotspotsDlg(CVTND_DetailsTextureDlg& owner);
    bool Create(); // hidden, owned by the texture editor's window

    void RenameInList(SWhotspot* hotspot, const std::string& oldName, const std::string& newName);
    void DropFromList(SWhotspot* hotspot);
    bool CommitName(const std::string& text, bool speak = true); // false: refused (said when speak); the text stays
    // As the window is hidden: the typed name taken, or the stored one put back where it is refused, so that no
    // refusal later speaks of a window no one sees.
    void SettleName();
    bool Lists(const SWhotspot* hotspot) const;
    void Take(); // the picture of the selected hot spot from the alter-ego texture

protected:
    bool onInitDialog() override;
    pf::LResult handle(const pf::Msg& msg) override;
    void onOK() override {}
    void onCancel() override; // Escape and the close box: hidden, as by the owner's "Hot spots..."

private:
    void Refresh();
    void Add();
    void Remove();
    void Discard();
    void SelectionChanged();
    void Select(SWhotspot* hotspot); // the owner's selection, the fields and both previews
    int32_t AddItem(SWhotspot* hotspot, const std::string& name);

    CVTND_DetailsTextureDlg& m_owner; // owns this editor
};

// The hot spot a new object of type 13 is: a child of the root node lying on the texture named by the request's
// name, at (0.25, 0.25, 0.5, 0.5), under a unique name; announced with the request's owner as sender.
CVTND_Object MakeHotspotObject(const std::string& textureName, pf::Hwnd sender);
