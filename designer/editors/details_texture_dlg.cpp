#include "designer/editors/details_texture_dlg.h"

#include <algorithm>
#include <array>
#include <vector>

#include "designer/app/designer_app.h"
#include "designer/app/designer_utilities.h"
#include "designer/app/extended_world.h"
#include "designer/app/notification.h"
#include "designer/app/registry.h"
#include "designer/editors/details_hotspots_dlg.h"
#include "designer/editors/material_texts.h"
#include "designer/workspace/editor_fields.h"
#include "designer/workspace/editor_texts.h"
#include "designer/workspace/texture_viewer.h"
#include "engine/core/hotspot.h"
#include "engine/core/root_object.h"
#include "engine/resources/image24.h"
#include "engine/resources/image32.h"
#include "engine/resources/image8.h"
#include "engine/resources/palette_image.h"
#include "engine/resources/picture.h"
#include "engine/resources/resource_report.h"
#include "engine/resources/wavelet_image.h"
#include "platform/display/screen.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/trackbar.h"
#include "platform/ui/core/cursor.h"

namespace {

constexpr int32_t kIdName = 1171;
constexpr int32_t kIdWidth = 1446;
constexpr int32_t kIdHeight = 1445;
constexpr int32_t kIdKind = 1002;
constexpr int32_t kIdQuality = 1352;
constexpr int32_t kIdQualityText = 1172;
constexpr int32_t kIdQualityLabel = 1451;
constexpr int32_t kIdFit = 1188;
constexpr int32_t kIdShowHotspots = 1187;
constexpr int32_t kIdShowRow = 1193;
constexpr int32_t kIdLoad = 1163;
constexpr int32_t kIdPath = 1173;
constexpr int32_t kIdListLabel = 1377;
constexpr int32_t kIdAlterEgoList = 1302;
constexpr int32_t kIdMainPreview = 1003;
constexpr int32_t kIdAlterEgoPreview = 1004;
constexpr std::array<int32_t, 5> kRow = {kIdLoad, kIdPath, kIdListLabel, kIdAlterEgoList, kIdAlterEgoPreview};
constexpr std::array<uint32_t, 4> kKindTexts = {kIdsKindLossless, kIdsKindWavelet, kIdsKindPalette, kIdsKindGreyscale};

pf::Window* MakeTextureEditor(const CVTND_EditorRequest& request)
{
    if (request.object == nullptr)
        return nullptr;
    return CVTND_ModelessEditorDlg::Open(std::make_unique<CVTND_DetailsTextureDlg>(request),
                                         CVTND_DetailsTextureDlg::kIdd, request.parent);
}

const CVTND_EditorRegistration kTextureEditor(ObjectType::kTexture, kAnyActionKind, &MakeTextureEditor);

// A picture of the chosen kind from the texture's pixels; null when the kind refuses its size.
std::unique_ptr<SWtexture> MakeImageOfKind(const SWtexture& source, int32_t kind, int32_t quality)
{
    const int32_t w = source.GetWidth();
    const int32_t h = source.GetHeight();
    const uint32_t* pixels = source.GetPixels();
    if (pixels == nullptr)
        return nullptr;
    switch (kind) {
    case CVTND_DetailsTextureDlg::kLossless:
        return SWimage32::SWimage32FromPixels(source.GetName(), w, h, pixels);
    case CVTND_DetailsTextureDlg::kWavelet: {
        auto image = std::make_unique<SWwaveletimage>(source.GetName(), w, h, pixels, quality);
        if (image->IsValid() && !image->IsEncoded())
            ReportResource(
                {"The texture \"" + source.GetName() + "\" could not be wavelet-coded; it keeps its pixels unencoded.",
                 "Texture"});
        return image;
    }
    case CVTND_DetailsTextureDlg::kPalette:
        return std::make_unique<SWimage>(source.GetName(), w, h, pixels);
    default: {
        std::vector<uint8_t> grey(static_cast<size_t>(w) * static_cast<size_t>(h));
        for (size_t i = 0; i < grey.size(); ++i)
            grey[i] = SWpixelimage::GreyOf(pixels[i]);
        return std::make_unique<SWimage8>(source.GetName(), w, h, grey.data());
    }
    }
}

} // namespace

CVTND_DetailsTextureDlg::CVTND_DetailsTextureDlg(const CVTND_EditorRequest& request)
    : CVTND_ModelessEditorDlg(static_cast<uint16_t>(ObjectType::kTexture), request.object, request.record),
      m_edited(static_cast<SWtexture*>(request.object))
{
}

CVTND_DetailsTextureDlg::~CVTND_DetailsTextureDlg() = default;

int32_t CVTND_DetailsTextureDlg::KindOf(const SWtexture& texture)
{
    if (dynamic_cast<const SWwaveletimage*>(&texture) != nullptr)
        return kWavelet;
    if (dynamic_cast<const SWimage*>(&texture) != nullptr)
        return kPalette;
    if (dynamic_cast<const SWimage8*>(&texture) != nullptr)
        return kGreyscale;
    if (dynamic_cast<const SWimage32*>(&texture) != nullptr || dynamic_cast<const SWimage24*>(&texture) != nullptr)
        return kLossless;
    return -1;
}

CVTND_TextureViewer* CVTND_DetailsTextureDlg::MainPreview() const
{
    return item<CVTND_TextureViewer>(kIdMainPreview);
}

CVTND_TextureViewer* CVTND_DetailsTextureDlg::AlterEgoPreview() const
{
    return item<CVTND_TextureViewer>(kIdAlterEgoPreview);
}

void CVTND_DetailsTextureDlg::RepaintPreviews(bool both)
{
    for (CVTND_TextureViewer* viewer : {MainPreview(), both ? AlterEgoPreview() : nullptr})
        if (viewer != nullptr)
            viewer->invalidate(true);
    // The whole dialog, parent first: a viewer painted alone would be wiped by a pending paint of the dialog.
    update();
}

// -- Opening

bool CVTND_DetailsTextureDlg::onInitDialog()
{
    CVTND_ModelessEditorDlg::onInitDialog();
    m_copy = CloneTextureObject(m_edited);
    if (m_copy == nullptr) {
        m_discard = true;
        DestroyWindow();
        return false;
    }
    m_hotspots = std::make_unique<CVTND_DetailsHotspotsDlg>(*this);
    m_hotspots->Create();
    child(kIdName)->setText(m_edited->GetName());
    child(kIdWidth)->setText(std::to_string(m_copy->GetWidth()));
    child(kIdHeight)->setText(std::to_string(m_copy->GetHeight()));
    if (CVTND_TextureViewer* preview = MainPreview()) {
        preview->SetFitToWindow(m_fit);
        preview->SetImage(m_copy.get(), m_edited);
    }
    if (auto* fit = item<pf::Button>(kIdFit))
        fit->setCheck(m_fit ? pf::BST_CHECKED : pf::BST_UNCHECKED);
    if (auto* kinds = item<pf::ComboBox>(kIdKind)) {
        kinds->resetContent();
        for (const uint32_t text : kKindTexts)
            kinds->addString(MaterialTextOf(text));
        kinds->setCurSel(KindOf(*m_copy));
        // A procedural picture is none of the four: it shows as what it is, an entry that keeps it so.
        if (dynamic_cast<const SWpicture*>(m_copy.get()) != nullptr)
            kinds->setCurSel(kinds->addString(MaterialTextOf(kIdsKindProcedural)));
    }
    if (const auto* wavelet = dynamic_cast<const SWwaveletimage*>(m_copy.get())) {
        EnableQuality(true);
        if (auto* slider = item<pf::Trackbar>(kIdQuality)) {
            slider->setRange(1, 99);
            slider->setTicFreq(10);
            slider->setPos(static_cast<int32_t>(wavelet->GetQuality()));
            child(kIdQualityText)->setText(std::to_string(slider->getPos()));
        }
    }
    if (auto* list = item<pf::ComboBox>(kIdAlterEgoList)) {
        list->resetContent();
        list->addString(MaterialTextOf(kIdsNoTexture));
        CVTND_ExtendedWorld* const world = DesignerWorld();
        for (SWtexture* t = world != nullptr ? world->GetRootObject()->GetFirstTexture() : nullptr; t != nullptr;
             t = SWrootobject::GetNextTexture(t))
            list->addString(t->GetName());
        list->setCurSel(0);
    }
    ShowRow(false);
    m_initialised = true;
    Layout();
    return true;
}

// -- The working copy

void CVTND_DetailsTextureDlg::Rebuild(int32_t kind)
{
    if (kind > kGreyscale) { // the procedural entry chosen again: the picture as it was
        if (std::unique_ptr<SWtexture> clone = CloneTextureObject(m_edited)) {
            m_copy = std::move(clone);
            m_rebuilt = false;
            ShowCopy();
            EnableQuality(false);
        }
        return;
    }
    if (kind < kLossless)
        return;
    pf::ui().setCursor(pf::loadCursor(pf::IDC_WAIT));
    std::unique_ptr<SWtexture> made = MakeImageOfKind(*m_edited, kind, m_quality);
    pf::ui().setCursor(pf::loadCursor(pf::IDC_ARROW));
    if (made == nullptr)
        return; // the kind refused the picture: the copy stays as it was
    made->SetName(m_copy->GetName());
    made->SetTextureFlags(m_copy->GetTextureFlags());
    made->Notify(kNotifyContentsChanged, nullptr);
    made->Touch();
    m_copy = std::move(made);
    m_rebuilt = true;
    ShowCopy();
    EnableQuality(kind == kWavelet);
    if (const auto* wavelet = dynamic_cast<const SWwaveletimage*>(m_copy.get()))
        if (auto* slider = item<pf::Trackbar>(kIdQuality)) {
            slider->setRange(1, 99);
            slider->setTicFreq(10);
            slider->setPos(static_cast<int32_t>(wavelet->GetQuality()));
            child(kIdQualityText)->setText(std::to_string(slider->getPos()));
        }
}

void CVTND_DetailsTextureDlg::ShowCopy()
{
    if (CVTND_TextureViewer* preview = MainPreview())
        preview->SetImage(m_copy.get(), m_edited);
}

void CVTND_DetailsTextureDlg::EnableQuality(bool enabled)
{
    for (const int32_t id : {kIdQuality, kIdQualityText, kIdQualityLabel})
        if (Window* w = child(id))
            w->enable(enabled);
}

void CVTND_DetailsTextureDlg::QualityReleased()
{
    const auto* slider = item<pf::Trackbar>(kIdQuality);
    if (slider == nullptr || dynamic_cast<const SWwaveletimage*>(m_copy.get()) == nullptr)
        return;
    m_quality = slider->getPos();
    Rebuild(kWavelet);
}

// -- The previews, the hot-spot editor and the alter-ego row

void CVTND_DetailsTextureDlg::ToggleFit()
{
    m_fit = !m_fit;
    for (CVTND_TextureViewer* viewer : {MainPreview(), AlterEgoPreview()})
        if (viewer != nullptr)
            viewer->SetFitToWindow(m_fit);
}

void CVTND_DetailsTextureDlg::ToggleHotspots()
{
    auto* rowCheck = item<pf::Button>(kIdShowRow);
    const bool shown = m_hotspots != nullptr && (m_hotspots->style() & pf::WS_VISIBLE) != 0;
    if (shown) {
        m_hotspots->SettleName();
        ShowRow(false);
        m_hotspots->show(pf::SW_HIDE);
        if (rowCheck != nullptr) {
            rowCheck->setCheck(pf::BST_UNCHECKED);
            rowCheck->enable(false);
        }
    } else if (m_hotspots != nullptr) {
        // Beside the editor, not over its previews: at its right, else at its left, on the screen either way.
        const pf::Rect frame = screenRect();
        const pf::Rect own = m_hotspots->screenRect();
        const pf::Rect area = pf::screen().workArea();
        const int32_t width = static_cast<int32_t>(own.width());
        const int32_t height = static_cast<int32_t>(own.height());
        int32_t x = frame.r + width <= area.r ? frame.r : frame.l - width;
        x = std::max(area.l, std::min(x, area.r - width));
        const int32_t y = std::max(area.t, std::min(frame.t, area.b - height));
        m_hotspots->move(pf::Rect::fromXywh(x, y, width, height));
        m_hotspots->show(pf::SW_SHOW);
        if (rowCheck != nullptr)
            rowCheck->enable(true);
    }
    for (CVTND_TextureViewer* viewer : {MainPreview(), AlterEgoPreview()})
        if (viewer != nullptr)
            viewer->ShowHotspots(!shown);
    RepaintPreviews(false);
}

void CVTND_DetailsTextureDlg::HideHotspots()
{
    if (m_hotspots != nullptr && (m_hotspots->style() & pf::WS_VISIBLE) != 0)
        ToggleHotspots();
}

void CVTND_DetailsTextureDlg::ShowRow(bool show)
{
    if (m_initialised && show == m_rowShown)
        return;
    m_rowShown = show;
    for (const int32_t id : kRow)
        if (Window* w = child(id))
            w->show(show ? pf::SW_SHOW : pf::SW_HIDE);
    EnableTake(show && m_alterEgo != nullptr);
    if (m_initialised)
        Layout();
}

void CVTND_DetailsTextureDlg::EnableTake(bool enabled)
{
    if (m_hotspots != nullptr)
        if (Window* take = m_hotspots->child(CVTND_DetailsHotspotsDlg::kIdTake))
            take->enable(enabled);
}

void CVTND_DetailsTextureDlg::LoadAlterEgo()
{
    const std::optional<std::string> path = BrowseForFile(
        BrowseCategory::kResources, this, MaterialTextOf(kIdsOpenJpegTitle), 1, MaterialTextOf(kIdsJpegFilter));
    if (!path)
        return;
    CVTND_ExtendedWorld* const world = DesignerWorld();
    if (world == nullptr)
        return;
    pf::ui().setCursor(pf::loadCursor(pf::IDC_WAIT));
    std::unique_ptr<SWimage32> loaded;
    SWimage32* const image = LoadJpegTexture(*world, *path, false, true, loaded);
    pf::ui().setCursor(pf::loadCursor(pf::IDC_ARROW));
    if (image == nullptr) {
        ShowError(kIdsJpegUnreadable);
        return;
    }
    child(kIdPath)->setText(*path);
    loaded->SetName("AlterEgoTex");
    if (auto* list = item<pf::ComboBox>(kIdAlterEgoList))
        list->setCurSel(0);
    SetAlterEgo(loaded.get()); // the preview lets the old picture go before it is deleted
    m_loadedAlterEgo = std::move(loaded);
}

void CVTND_DetailsTextureDlg::AlterEgoChosen()
{
    const auto* list = item<pf::ComboBox>(kIdAlterEgoList);
    const int32_t index = list != nullptr ? list->getCurSel() : -1;
    if (index == 0) {
        SetAlterEgo(nullptr);
        return;
    }
    CVTND_ExtendedWorld* const world = DesignerWorld();
    SWtexture* const texture =
        index > 0 && world != nullptr ? world->FindTextureByName(list->getLBText(index)) : nullptr;
    if (texture != nullptr)
        SetAlterEgo(texture);
}

void CVTND_DetailsTextureDlg::SetAlterEgo(SWtexture* texture)
{
    m_alterEgo = texture;
    EnableTake(texture != nullptr);
    CVTND_TextureViewer* preview = AlterEgoPreview();
    if (preview == nullptr)
        return;
    preview->SetFitToWindow(m_fit);
    preview->SetImage(texture);
    preview->SetAlterEgoOwner(texture != nullptr ? m_edited : nullptr);
}

void CVTND_DetailsTextureDlg::Layout()
{
    const Window* fit = child(kIdFit);
    Window* main = child(kIdMainPreview);
    if (!m_initialised || fit == nullptr || main == nullptr)
        return;
    const pf::Rect client = clientRect();
    const pf::Rect anchor = fit->windowRect();
    const int32_t x0 = anchor.l;
    const int32_t y0 = anchor.b + 3;
    const int32_t width = static_cast<int32_t>(client.width()) - x0 - 3;
    const int32_t clientHeight = static_cast<int32_t>(client.height());
    if (!m_rowShown) {
        main->move(pf::Rect::fromXywh(x0, y0, width, clientHeight - anchor.b - 6));
        return;
    }
    Window* load = child(kIdLoad);
    Window* path = child(kIdPath);
    Window* label = child(kIdListLabel);
    Window* list = child(kIdAlterEgoList);
    Window* second = child(kIdAlterEgoPreview);
    if (load == nullptr || path == nullptr || label == nullptr || list == nullptr || second == nullptr)
        return;
    const int32_t wLoad = static_cast<int32_t>(load->windowRect().width());
    const int32_t hLoad = static_cast<int32_t>(load->windowRect().height());
    const int32_t wPath = static_cast<int32_t>(path->windowRect().width());
    const int32_t wLabel = static_cast<int32_t>(label->windowRect().width());
    const int32_t hv = (clientHeight - hLoad - anchor.b - 12) >> 1;
    main->move(pf::Rect::fromXywh(x0, y0, width, hv));
    second->move(pf::Rect::fromXywh(x0, clientHeight - hv - 3, width, hv));
    const int32_t y1 = y0 + hv + 3;
    load->move(pf::Rect::fromXywh(x0, y1, wLoad, hLoad));
    path->move(pf::Rect::fromXywh(x0 + wLoad + 3, y1, wPath, hLoad));
    label->move(
        pf::Rect::fromXywh(x0 + wLoad + wPath + 6, y1, wLabel, static_cast<int32_t>(label->windowRect().height())));
    list->move(pf::Rect::fromXywh(x0 + wLoad + wPath + wLabel + 9, y1, static_cast<int32_t>(list->windowRect().width()),
                                  static_cast<int32_t>(list->windowRect().height())));
}

// -- Messages

pf::LResult CVTND_DetailsTextureDlg::handle(const pf::Msg& msg)
{
    switch (msg.message) {
    case kMsgDesignerNotify: {
        // Decided before the pattern closes the editor for its own deletion: such a close must not apply. A
        // replacement from elsewhere (a synchronised file's pixels) deletes the texture after its notice as well.
        const auto* event = reinterpret_cast<const CVTND_Event*>(msg.lParam);
        const bool ours =
            event != nullptr && event->subject.GetObject() == m_edited && event->subject.IsType(ObjectType::kTexture);
        if (event != nullptr &&
            ((ours && event->Is(EventCode::kDeleted)) || (ours && event->Is(EventCode::kReplaced) && !m_closing) ||
             event->Is(EventCode::kWorkspaceClosing)))
            m_discard = true;
        break;
    }
    case pf::WM_CLOSE:
        Close();
        return 0;
    case pf::WM_SIZE: {
        const pf::LResult result = CVTND_ModelessEditorDlg::handle(msg);
        Layout();
        return result;
    }
    case pf::WM_HSCROLL: {
        const auto* slider = dynamic_cast<const pf::Trackbar*>(pf::ui().window(static_cast<pf::Hwnd>(msg.lParam)));
        if (slider == nullptr || slider->id() != kIdQuality)
            break;
        child(kIdQualityText)->setText(std::to_string(slider->getPos()));
        // The end of a drag and the release of a key alike: the mouse alone once rebuilt the picture.
        if (pf::loWord(msg.wParam) == pf::TB_ENDTRACK)
            QualityReleased();
        return 0;
    }
    case pf::WM_COMMAND: {
        const int32_t id = pf::loWord(msg.wParam);
        const int32_t code = pf::hiWord(msg.wParam);
        if (code == pf::CBN_SELCHANGE && id == kIdKind) {
            const auto* kinds = item<pf::ComboBox>(kIdKind);
            Rebuild(kinds != nullptr ? kinds->getCurSel() : -1);
            return 0;
        }
        if (code == pf::CBN_SELCHANGE && id == kIdAlterEgoList) {
            AlterEgoChosen();
            return 0;
        }
        if (code != pf::BN_CLICKED)
            break;
        if (id == kIdFit)
            ToggleFit();
        else if (id == kIdShowHotspots)
            ToggleHotspots();
        else if (id == kIdShowRow) {
            const auto* check = item<pf::Button>(kIdShowRow);
            ShowRow(check != nullptr && check->getCheck() == pf::BST_CHECKED);
        } else if (id == kIdLoad)
            LoadAlterEgo();
        else
            break;
        return 0;
    }
    default:
        break;
    }
    return CVTND_ModelessEditorDlg::handle(msg);
}

void CVTND_DetailsTextureDlg::Close()
{
    if (m_hotspots != nullptr) {
        const Window* typed = m_hotspots->child(CVTND_DetailsHotspotsDlg::kIdName);
        if (!m_hotspots->CommitName(typed != nullptr ? typed->getText() : std::string()))
            return;
    }
    std::string name = child(kIdName)->getText();
    if (name.find_first_not_of(' ') == std::string::npos)
        name.clear(); // blanks alone name nothing a person could tell apart or find in a list: refused as empty
    const std::string old = m_edited->GetName();
    if (const uint32_t error =
            CloseRenamed(*this, name, old, CVTND_Object(ObjectType::kTexture, m_edited),
                         [&](CVTND_ExtendedWorld& world) { return world.RenameTexture(m_edited, old, name); }))
        ShowError(error);
}

// The swap: the world takes the copy in the texture's place and deletes the texture, all under the lock so that
// the render thread never sees one without the other. A copy never rebuilt is the texture's clone: swapping it in
// would only hand every holder a new object for the same picture.
void CVTND_DetailsTextureDlg::Apply()
{
    CVTND_ExtendedWorld* const world = DesignerWorld();
    if (m_discard || !m_rebuilt || world == nullptr || m_copy == nullptr) {
        m_copy.reset();
        return;
    }
    SWworldlock lock(*world);
    m_edited->SetName(kReplacedTextureName);
    SWtexture* const copy = m_copy.get();
    if (!world->GetRootObject()->AddTexture(std::move(m_copy)))
        return;
    world->ReplaceTextureReferences(m_edited, copy, false);
    m_edited = nullptr;
}

void CVTND_DetailsTextureDlg::OnClosing()
{
    m_closing = true;
    if (AlterEgoPreview() != nullptr)
        AlterEgoPreview()->SetImage(nullptr);
    Apply();
    if (m_hotspots != nullptr) {
        m_hotspots->destroy();
        m_hotspots.reset();
    }
    m_alterEgo = nullptr;
    m_loadedAlterEgo.reset();
    if (CVTND_ExtendedWorld* const world = DesignerWorld())
        world->Invalidate(false);
}

// -- Notifications

void CVTND_DetailsTextureDlg::OnNotify(const CVTND_Event& event)
{
    if (m_closing)
        return; // the swap's own notice, while the editor closes
    if (event.Is(EventCode::kWorkspaceClosing)) {
        DestroyWindow();
        return;
    }
    auto* const list = item<pf::ComboBox>(kIdAlterEgoList);
    if (event.subject.IsType(ObjectType::kHotspot)) {
        auto* const hotspot = static_cast<SWhotspot*>(event.subject.GetObject());
        if (m_hotspots == nullptr || !m_hotspots->Lists(hotspot))
            return;
        if (event.Is(EventCode::kDeleted)) {
            m_hotspots->DropFromList(hotspot);
            hotspot->SetSkip(1);
            RepaintPreviews(true);
        } else if (event.Is(EventCode::kRenamed) && event.sender != hwnd() && event.sender != m_hotspots->hwnd() &&
                   event.firstText && event.secondText) {
            m_hotspots->RenameInList(hotspot, *event.firstText, *event.secondText);
        }
        return;
    }
    if (!event.subject.IsType(ObjectType::kTexture))
        return;
    auto* const texture = static_cast<SWtexture*>(event.subject.GetObject());
    if (event.Is(EventCode::kReplaced) && texture != nullptr && texture == m_edited) {
        DestroyWindow(); // as for its deletion: the texture goes once this notice returns
        return;
    }
    if (event.Is(EventCode::kCreated) && texture != nullptr && list != nullptr) {
        list->addString(texture->GetName());
    } else if (event.Is(EventCode::kDeleted) && texture != nullptr) {
        OnTextureDeleted(texture);
    } else if (event.Is(EventCode::kRenamed) && event.firstText && event.secondText) {
        if (texture == m_edited) {
            if (event.sender != hwnd())
                child(kIdName)->setText(*event.secondText);
            m_copy->SetName(*event.secondText); // the copy takes the texture's place under the name it now has
        }
        const int32_t at = list != nullptr ? list->findExact(*event.firstText) : -1;
        if (at > 0) {
            const bool selected = list->getCurSel() == at;
            list->deleteString(at);
            list->insertString(at, *event.secondText);
            if (selected)
                list->setCurSel(at);
        }
    } else if (event.Is(EventCode::kReplaced) && texture != nullptr && texture == m_alterEgo) {
        // The old texture goes after this notice; the alter ego follows its replacement.
        auto* const replacement = event.related[0].IsType(ObjectType::kTexture)
                                      ? static_cast<SWtexture*>(event.related[0].GetObject())
                                      : nullptr;
        SetAlterEgo(replacement);
    }
}

void CVTND_DetailsTextureDlg::OnTextureDeleted(SWtexture* texture)
{
    if (auto* list = item<pf::ComboBox>(kIdAlterEgoList)) {
        const int32_t at = list->findExact(texture->GetName());
        if (at > 0) {
            const bool selected = list->getCurSel() == at;
            list->deleteString(at);
            if (selected)
                list->setCurSel(-1);
        }
    }
    if (texture == m_alterEgo)
        SetAlterEgo(nullptr);
}
