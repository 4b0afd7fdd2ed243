#include "designer/editors/details_background_dlg.h"

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/registry.h"
#include "designer/workspace/editor_texts.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/scene_handlers.h"
#include "engine/core/root_object.h"
#include "engine/core/window.h"
#include "engine/core/window_renderer.h"
#include "engine/resources/background.h"
#include "engine/resources/picture.h"
#include "platform/ui/controls/combo_box.h"

namespace {

pf::Window* MakeBackgroundEditor(const CVTND_EditorRequest& request)
{
    return CVTND_ModelessEditorDlg::Open(std::make_unique<CVTND_DetailsBackgroundDlg>(request),
                                         CVTND_DetailsBackgroundDlg::kIdd, request.parent);
}

const CVTND_EditorRegistration kBackgroundDetails(ObjectType::kBackground, kAnyActionKind, &MakeBackgroundEditor);

} // namespace

CVTND_DetailsBackgroundDlg::CVTND_DetailsBackgroundDlg(const CVTND_EditorRequest& request)
    : CVTND_ModelessEditorDlg(static_cast<uint16_t>(ObjectType::kBackground), request.object, request.record),
      m_guard(std::make_unique<CVTND_BackgroundTestGuard>(World()))
{
}

CVTND_DetailsBackgroundDlg::~CVTND_DetailsBackgroundDlg() = default;

bool CVTND_DetailsBackgroundDlg::onInitDialog()
{
    CVTND_ModelessEditorDlg::onInitDialog();
    auto* kinds = item<pf::ComboBox>(kIdKind);
    for (uint32_t text = kIdsPageSolid; text <= kIdsPageChecker; ++text)
        kinds->addString(EditorTextOf(text));
    SWworld* world = World();
    if (world == nullptr)
        return true;
    {
        // A project without a background gets a black one now, whatever the user does next.
        SWworldlock lock(*world);
        if (world->GetRootObject()->GetBackground() == nullptr) {
            auto black = std::make_unique<SWbackground>(0u);
            world->SetBackgroundTexture(black.get());
            world->GetRootObject()->SetBackground(std::move(black));
        }
    }
    InitDescription(*world->GetRootObject()->GetBackground());
    const int32_t first = FirstColorEffectPage(*m_description);
    kinds->setCurSel(first);
    ShowPage(first);
    return true;
}

void CVTND_DetailsBackgroundDlg::InitDescription(const SWbackground& definition)
{
    m_description = std::make_unique<SWbackgroundaction>(definition);
    m_description->SetWorld(World());
    m_kept.reset();
    const SWtexture* texture = definition.GetTexture();
    if (texture == nullptr)
        return;
    if (dynamic_cast<const SWpicture*>(texture) != nullptr) {
        m_description->SetOwnPicture(CloneTextureObject(texture));
        return;
    }
    // The definition's own picture need not be a texture of the world (a loaded scene's background brings its own).
    m_kept = CloneTextureObject(texture);
}

void CVTND_DetailsBackgroundDlg::ShowPage(int32_t index)
{
    CloseColorEffectPage(m_page);
    m_pageIndex = index;
    if (m_description == nullptr)
        return;
    if (index >= 2 && index <= 5)
        m_description->settings.mode = 1; // the procedural pictures are stretched over the view
    m_page = MakeColorEffectPage(*m_description, index);
    if (m_page != nullptr && !m_page->CreatePage(this))
        m_page.reset();
}

SWtexture* CVTND_DetailsBackgroundDlg::TextureOfDescription() const
{
    if (SWtexture* texture = m_description->GetTexture())
        return texture;
    const bool named = m_kept != nullptr && m_description->GetTextureName() == m_kept->GetName();
    return named && m_description->GetOwnPicture() == nullptr ? m_kept.get() : nullptr;
}

std::unique_ptr<SWbackground> CVTND_DetailsBackgroundDlg::BuildDefinition() const
{
    if (const SWtexture* texture = TextureOfDescription())
        if (std::unique_ptr<SWtexture> copy = CloneTextureObject(texture))
            return SWbackground::SWbackgroundFromTexture(std::move(copy), m_description->settings.mode);
    const auto& s = m_description->settings;
    return std::make_unique<SWbackground>(PackBackgroundColour(s.red, s.green, s.blue));
}

void CVTND_DetailsBackgroundDlg::Install(std::unique_ptr<SWbackground> definition)
{
    SWworld* world = World();
    SWworldlock lock(*world);
    world->SetBackgroundTexture(definition.get());
    world->GetRootObject()->SetBackground(std::move(definition)); // the one it replaces is deleted
    SWbackground* installed = world->GetRootObject()->GetBackground();
    // Every window with a renderer, shown or not: none may keep the definition just deleted.
    for (const auto& window : world->GetWindows())
        if (SWwindowrenderer* renderer = window->GetRenderer())
            renderer->SetBackground(installed);
    world->Invalidate(false);
}

void CVTND_DetailsBackgroundDlg::OnTest()
{
    SWworld* world = World();
    if (world == nullptr || m_description == nullptr)
        return;
    m_guard->BeforeTest();
    if (m_description->GetTexture() == nullptr && TextureOfDescription() != nullptr) {
        Install(BuildDefinition()); // the handler would find no texture of that name and show the colour
        return;
    }
    SWworldlock lock(*world);
    DoActionSetBackground(world, m_description.get());
}

void CVTND_DetailsBackgroundDlg::onOK()
{
    if (World() != nullptr && m_description != nullptr) {
        std::unique_ptr<SWbackground> made = BuildDefinition(); // before the old one goes
        if (made != nullptr) {
            made->SetChanged(1);
            made->RaiseVersion();
            Install(std::move(made));
            m_guard->Commit();
        }
    }
    DestroyWindow();
}

void CVTND_DetailsBackgroundDlg::OnClosing()
{
    m_guard->Restore(); // nothing after OK's commit; what Test showed otherwise
    CloseColorEffectPage(m_page);
}

pf::LResult CVTND_DetailsBackgroundDlg::handle(const pf::Msg& msg)
{
    if (HandleColorEffectHostCommand(*this, msg))
        return 0;
    return CVTND_ModelessEditorDlg::handle(msg);
}
