#include "designer/editors/details_material_dlg.h"

#include <algorithm>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/notification.h"
#include "designer/app/registry.h"
#include "designer/editors/material_preview.h"
#include "designer/workspace/editor_fields.h"
#include "designer/workspace/editor_texts.h"
#include "designer/workspace/texture_viewer.h"
#include "engine/resources/image24.h"
#include "engine/resources/material.h"
#include "platform/ui/controls/scroll_bar.h"

namespace {

constexpr int32_t kIdPreview = 1003;
constexpr int32_t kIdScrollBar = 1175;
constexpr int32_t kScrollLine = 16; // pixels an arrow or a notch of the wheel moves the page
constexpr int32_t kIdName = 1186;

pf::Window* MakeMaterialEditor(const CVTND_EditorRequest& request)
{
    if (request.object == nullptr)
        return nullptr; // a material is never made here
    return CVTND_ModelessEditorDlg::Open(std::make_unique<CVTND_DetailsMaterialDlg>(request),
                                         CVTND_DetailsMaterialDlg::kIdd, request.parent);
}

const CVTND_EditorRegistration kMaterialEditor(ObjectType::kMaterial, kAnyActionKind, &MakeMaterialEditor);

} // namespace

CVTND_DetailsMaterialDlg::CVTND_DetailsMaterialDlg(const CVTND_EditorRequest& request)
    : CVTND_ModelessEditorDlg(static_cast<uint16_t>(ObjectType::kMaterial), request.object, request.record),
      m_material(static_cast<SWmaterial*>(request.object))
{
}

CVTND_DetailsMaterialDlg::~CVTND_DetailsMaterialDlg() = default;

bool CVTND_DetailsMaterialDlg::onInitDialog()
{
    CVTND_ModelessEditorDlg::onInitDialog();
    if (!m_page.create(CVTND_MaterialChildDlg::kIdd, this))
        return false;
    auto* bar = item<pf::ScrollBar>(kIdScrollBar);
    const pf::Rect client = clientRect();
    m_pageHeight = static_cast<int32_t>(m_page.clientRect().height());
    const int32_t top = bar != nullptr ? bar->windowRect().t : 0;
    const int32_t barWidth = bar != nullptr ? static_cast<int32_t>(bar->windowRect().width()) : 0;
    m_page.move(pf::Rect::fromXywh(0, top, static_cast<int32_t>(client.width()) - barWidth, m_pageHeight));
    m_page.show(pf::SW_SHOW);
    if (bar != nullptr) {
        m_barHeight = static_cast<int32_t>(bar->windowRect().height());
        bar->setRange(0, std::max(0, m_pageHeight - m_barHeight));
        bar->setPosition(0);
    }
    m_clientHeight = static_cast<int32_t>(client.height());
    m_page.SetMaterial(m_material);
    RefreshPreview();
    return true;
}

void CVTND_DetailsMaterialDlg::RefreshPreview()
{
    CVTND_ExtendedWorld* const world = DesignerWorld();
    if (world == nullptr)
        return;
    CVTND_MaterialPreview& preview = CVTND_MaterialPreview::Get();
    preview.Refresh(*world, m_material);
    // A refresh that could not draw keeps the last picture, or the cleared one before the first draw.
    if (auto* viewer = item<CVTND_TextureViewer>(kIdPreview); viewer != nullptr && preview.GetImage() != nullptr)
        viewer->SetImage(preview.GetImage());
}

void CVTND_DetailsMaterialDlg::onOK()
{
    CloseWithName();
}

void CVTND_DetailsMaterialDlg::CloseWithName()
{
    const std::string typed = m_page.child(kIdName) != nullptr ? m_page.child(kIdName)->getText() : std::string();
    const std::string old = m_material->GetName();
    if (const uint32_t error =
            CloseRenamed(*this, typed, old, CVTND_Object(m_material),
                         [&](CVTND_ExtendedWorld& world) { return world.RenameMaterial(m_material, old, typed); }))
        ShowError(error);
}

void CVTND_DetailsMaterialDlg::OnNotify(const CVTND_Event& event)
{
    m_page.OnTextureNotice(event);
}

pf::LResult CVTND_DetailsMaterialDlg::handle(const pf::Msg& msg)
{
    switch (msg.message) {
    case pf::WM_CLOSE:
        CloseWithName();
        return 0;
    case kMsgRenderPreview:
        RefreshPreview();
        return 1;
    case pf::WM_VSCROLL: {
        const auto* bar = item<pf::ScrollBar>(kIdScrollBar);
        if (bar == nullptr || static_cast<pf::Hwnd>(msg.lParam) != bar->hwnd())
            break;
        if (const auto to = bar->requestedPosition(pf::loWord(msg.wParam), static_cast<int16_t>(pf::hiWord(msg.wParam)),
                                                   kScrollLine))
            Scroll(*to);
        return 0;
    }
    case pf::WM_SIZE: {
        const pf::LResult result = CVTND_ModelessEditorDlg::handle(msg);
        Resized();
        return result;
    }
    default:
        break;
    }
    return CVTND_ModelessEditorDlg::handle(msg);
}

void CVTND_DetailsMaterialDlg::showControl(pf::Window& control)
{
    if (!control.isDescendantOf(&m_page) || m_barHeight <= 0)
        return;
    // Scrolling moves the page's children up by the position: where the control stands on the unscrolled page.
    const pf::Rect shown = control.screenRect();
    const int32_t top = shown.t - m_page.screenRect().t + m_scrollPos;
    const int32_t bottom = top + static_cast<int32_t>(shown.height());
    int32_t to = m_scrollPos;
    if (top < m_scrollPos)
        to = top;
    else if (bottom > m_scrollPos + m_barHeight)
        to = bottom - m_barHeight;
    to = std::clamp(to, 0, std::max(0, m_pageHeight - m_barHeight));
    if (to != m_scrollPos)
        Scroll(to);
}

// The page's children move, not the page: it stays where the frame put it, clipped by the frame.
void CVTND_DetailsMaterialDlg::Scroll(int32_t position)
{
    m_page.scrollWindow(0, m_scrollPos - position);
    // The page reaches past the frame, where nothing was drawn: what scrolls in from there is painted afresh.
    m_page.invalidate(true);
    m_scrollPos = position;
    if (auto* bar = item<pf::ScrollBar>(kIdScrollBar))
        bar->setPosition(position);
}

void CVTND_DetailsMaterialDlg::Resized()
{
    auto* bar = item<pf::ScrollBar>(kIdScrollBar);
    if (bar == nullptr || m_clientHeight == 0)
        return;
    const int32_t height = static_cast<int32_t>(clientRect().height());
    pf::Rect r = bar->windowRect();
    r.b = std::max(r.t, r.b + height - m_clientHeight);
    bar->move(r);
    m_clientHeight = height;
    m_barHeight = static_cast<int32_t>(r.height());
    if (m_barHeight >= m_pageHeight) {
        bar->show(pf::SW_HIDE);
        return;
    }
    bar->show(pf::SW_SHOW);
    bar->setRange(0, m_pageHeight - m_barHeight);
}
