#pragma once
// CVTND_DetailsBackgroundDlg: the editor of the world's default background (editor kind 26, one at a time). The six
// colour-effect pages edit a private working description; Test shows it on the running world, OK builds the new
// definition first and only then replaces the stored one, and any other close takes back what Test showed (the
// background-test guard), the renderers of every window following each time.
//
// The description holds a world texture by name only, and owns only its own procedural picture; a background
// whose picture is its own (a loaded scene's) is kept as a copy beside it, which stands for the texture while the
// description still names it. Nothing the world holds is deleted on closing.
#include <cstdint>
#include <memory>

#include "designer/eventedit/background_test_guard.h"
#include "designer/eventedit/color_effect_pages.h"
#include "designer/workspace/modeless_editor.h"

struct CVTND_EditorRequest;
class SWbackground;
class SWbackgroundaction;
class SWtexture;

class CVTND_DetailsBackgroundDlg : public CVTND_ModelessEditorDlg {
public:
    static constexpr int32_t kIdd = 285;
    static constexpr int32_t kIdKind = 1002;
    static constexpr int32_t kIdTest = 1164;

    explicit CVTND_DetailsBackgroundDlg(const CVTND_EditorRequest& request);
    ~CVTND_DetailsBackgroundDlg() override;

    void ShowPage(int32_t index);
    int32_t PageIndex() const { return m_pageIndex; }
    CVTND_ColorEffectPage* Page() const { return m_page.get(); }
    SWbackgroundaction* Description() const { return m_description.get(); }
    void OnTest();

protected:
    bool onInitDialog() override;
    void onOK() override;
    void OnClosing() override;
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void InitDescription(const SWbackground& definition);
    SWtexture* TextureOfDescription() const; // its picture, the world's texture, or the kept copy it still names
    std::unique_ptr<SWbackground> BuildDefinition() const;
    void Install(std::unique_ptr<SWbackground> definition); // under the world's lock; every renderer told

    std::unique_ptr<SWbackgroundaction> m_description; // the working copy, ours
    std::unique_ptr<SWtexture> m_kept;                 // a copy of a picture the world does not hold; null: none
    std::unique_ptr<CVTND_ColorEffectPage> m_page;     // its window is a child of ours
    std::unique_ptr<CVTND_BackgroundTestGuard> m_guard;
    int32_t m_pageIndex = 0;
};
