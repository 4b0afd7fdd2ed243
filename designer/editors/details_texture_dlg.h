#pragma once
// CVTND_DetailsTextureDlg: the details editor of one texture (editor kind 12). It never changes the world's texture
// in place: it edits a working copy (its name, its image kind and wavelet quality) and, when it closes normally,
// puts the copy into the world in place of the texture, so every holder of the old object is redirected; a close
// after no rebuild of the copy leaves the texture as it was. A deletion of the texture elsewhere, or the workspace
// closing, closes it without applying.
//
// It owns the hot-spot editor of the texture and an optional alter-ego texture (a world texture, or a JPEG picture
// of its own) from which hot spots cut their pictures; the hot-spot editor reads and sets the members it shares.
#include <cstdint>
#include <memory>
#include <string>

#include "designer/workspace/modeless_editor.h"

struct CVTND_EditorRequest;
class CVTND_DetailsHotspotsDlg;
class CVTND_TextureViewer;
class SWhotspot;
class SWimage32;
class SWtexture;

// The placeholder name the edited texture carries while its copy takes its place: one swap runs at a time, under
// the world's lock, and the renamed texture is deleted at its end.
inline constexpr const char* kReplacedTextureName = "0xklib4aubeiubei";

class CVTND_DetailsTextureDlg : public CVTND_ModelessEditorDlg {
public:
    static constexpr int32_t kIdd = 474;
    static constexpr int32_t kDefaultQuality = 99;
    enum Kind : int32_t { kLossless = 0, kWavelet = 1, kPalette = 2, kGreyscale = 3 }; // entries of combo 1002

    explicit CVTND_DetailsTextureDlg(const CVTND_EditorRequest& request);
    ~CVTND_DetailsTextureDlg() override;

    // -- What the hot-spot editor shares
    SWtexture* EditedTexture() const { return m_edited; }
    SWtexture* WorkingCopy() const { return m_copy.get(); }
    SWtexture* AlterEgo() const { return m_alterEgo; }
    SWhotspot* SelectedHotspot() const { return m_selectedHotspot; }
    void SetSelectedHotspot(SWhotspot* hotspot) { m_selectedHotspot = hotspot; }
    CVTND_TextureViewer* MainPreview() const;
    CVTND_TextureViewer* AlterEgoPreview() const;
    void RepaintPreviews(bool both); // at once
    CVTND_DetailsHotspotsDlg* Hotspots() const { return m_hotspots.get(); }
    void HideHotspots(); // as a second "Hot spots..." click does; nothing when they are hidden
    int32_t Quality() const { return m_quality; }
    bool IsRowShown() const { return m_rowShown; }

    static int32_t KindOf(const SWtexture& texture); // the combo entry of its image kind; -1 for another kind

protected:
    bool onInitDialog() override;
    void onOK() override {} // no OK or Cancel: the editor closes through its close box
    void onCancel() override {}
    void OnNotify(const CVTND_Event& event) override;
    void OnClosing() override;
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void Close();
    void Apply() override;
    void Rebuild(int32_t kind);
    void ShowCopy();
    void EnableQuality(bool enabled);
    void QualityReleased();
    void ToggleFit();
    void ToggleHotspots();
    void ShowRow(bool show);
    void LoadAlterEgo();
    void AlterEgoChosen();
    void SetAlterEgo(SWtexture* texture); // null: none
    void EnableTake(bool enabled);
    void Layout();
    void OnTextureDeleted(SWtexture* texture);

    SWtexture* m_edited;                         // the world's, until the swap deletes it
    std::unique_ptr<SWtexture> m_copy;           // ours until the swap hands it to the world
    SWtexture* m_alterEgo = nullptr;             // a world texture or m_loadedAlterEgo; null: none
    std::unique_ptr<SWimage32> m_loadedAlterEgo; // a picture read from a JPEG file
    std::unique_ptr<CVTND_DetailsHotspotsDlg> m_hotspots;
    SWhotspot* m_selectedHotspot = nullptr; // the world's; dropped when announced deleted
    int32_t m_quality = kDefaultQuality;
    bool m_initialised = false;
    bool m_discard = false;
    bool m_rebuilt = false; // the copy was made again in a chosen kind: the close swaps it in
    bool m_fit = false;
    bool m_rowShown = false;
    bool m_closing = false;
};
