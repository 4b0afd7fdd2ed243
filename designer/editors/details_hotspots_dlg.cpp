#include "designer/editors/details_hotspots_dlg.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "designer/app/designer_app.h"
#include "designer/app/designer_utilities.h"
#include "designer/app/extended_world.h"
#include "designer/app/notification.h"
#include "designer/app/registry.h"
#include "designer/editors/details_texture_dlg.h"
#include "designer/editors/material_texts.h"
#include "designer/workspace/editor_fields.h"
#include "designer/workspace/editor_texts.h"
#include "designer/workspace/number_text.h"
#include "designer/workspace/texture_viewer.h"
#include "engine/core/hotspot.h"
#include "engine/resources/image24.h"
#include "engine/resources/texture.h"
#include "platform/ui/controls/list_box.h"
#include "platform/ui/providers/providers.h"

namespace {

constexpr int32_t kIdList = 1000;
constexpr std::array<int32_t, 4> kIdRect = {1173, 1174, 1175, 1176};
constexpr int32_t kIdAdd = 1163;
constexpr int32_t kIdRemove = 1164;
constexpr int32_t kIdDiscard = 1208;
constexpr int32_t kIdPicture = 1003;

int32_t NextPowerOfTwo(int32_t n)
{
    int32_t p = 1;
    while (p < n && p < (1 << 30))
        p <<= 1;
    return p;
}

int32_t ShowError(const pf::Window& owner, uint32_t id)
{
    return pf::messageBox(owner.hwnd(), MaterialTextOf(id), EditorTextOf(kIdsEditorErrorCaption),
                          pf::MB_OK | pf::MB_ICONHAND);
}

CVTND_Object CreateHotspot(CVTNDesignerApp&, const CVTND_CreateRequest& request)
{
    return MakeHotspotObject(request.name, request.owner != nullptr ? request.owner->hwnd() : pf::kNoWindow);
}

const CVTND_ObjectCreatorRegistration kHotspotCreator(ObjectType::kHotspot, &CreateHotspot);

// The cut of a picture from the alter-ego texture, in pixels, each part clamped to what exists.
struct Cut {
    int32_t w, h;           // the hot spot's size on the working copy
    int32_t x0, y0, sw, sh; // the rectangle read from the alter-ego texture
};

Cut CutOf(const SWhotspot& hotspot, const SWtexture& copy, const SWtexture& alterEgo)
{
    const auto& r = hotspot.GetRect();
    const auto& a = hotspot.GetAlterEgoRect();
    const auto whole = [](float fraction, int32_t side) {
        const double v = std::trunc(static_cast<double>(side) * static_cast<double>(fraction));
        return std::isfinite(v) ? static_cast<int32_t>(std::clamp(v, -1.0 * side, 1.0 * side)) : 0;
    };
    Cut cut{};
    cut.w = std::min(whole(r[2], copy.GetWidth()), copy.GetWidth());
    cut.h = std::min(whole(r[3], copy.GetHeight()), copy.GetHeight());
    const int32_t aw = alterEgo.GetWidth();
    const int32_t ah = alterEgo.GetHeight();
    int32_t x0 = whole(a[0], aw), y0 = whole(a[1], ah), sw = whole(a[2], aw), sh = whole(a[3], ah);
    if (x0 < 0) {
        sw += x0;
        x0 = 0;
    }
    if (y0 < 0) {
        sh += y0;
        y0 = 0;
    }
    cut.x0 = std::min(x0, aw);
    cut.y0 = std::min(y0, ah);
    cut.sw = std::min(sw, aw - cut.x0);
    cut.sh = std::min(sh, ah - cut.y0);
    return cut;
}

} // namespace

CVTND_Object MakeHotspotObject(const std::string& textureName, pf::Hwnd sender)
{
    CVTNDesignerApp* const app = GetDesignerApp();
    CVTND_ExtendedWorld* const world = app != nullptr ? app->GetWorld() : nullptr;
    if (world == nullptr)
        return {};
    const std::string role = MaterialTextOf(kIdsHotspotRole);
    std::string name;
    for (int32_t n = 1; name.empty() || world->GetRootNode()->FindByName(name) != nullptr; ++n)
        name = role + "_" + std::to_string(n);
    auto* hotspot = new SWhotspot; // the root node owns it once added
    hotspot->SetName(name);
    hotspot->SetTextureName(textureName);
    hotspot->SetRect({0.25f, 0.25f, 0.5f, 0.5f});
    {
        SWworldlock lock(*world);
        if (!world->AddNode(hotspot, nullptr)) {
            delete hotspot;
            return {};
        }
    }
    CVTND_Event event(EventCode::kCreated, CVTND_Object(static_cast<SWnode*>(hotspot)));
    event.sender = sender;
    app->Broadcast(event);
    return CVTND_Object(static_cast<SWnode*>(hotspot));
}

CVTND_DetailsHotspotsDlg::CVTND_DetailsHotspotsDlg(CVTND_DetailsTextureDlg& owner) : m_owner(owner) {}

bool CVTND_DetailsHotspotsDlg::Create()
{
    return create(kIdd, &m_owner);
}

bool CVTND_DetailsHotspotsDlg::onInitDialog()
{
    const SWtexture* const texture = m_owner.EditedTexture();
    CVTND_ExtendedWorld* const world = DesignerWorld();
    if (texture != nullptr && world != nullptr) {
        auto* list = item<pf::ListBox>(kIdList);
        for (SWnode* n = world->GetRootNode()->GetFirstChildNode(); n != nullptr; n = n->GetNextSiblingNode()) {
            auto* hotspot = dynamic_cast<SWhotspot*>(n);
            if (hotspot == nullptr || !n->HasKind(SWnode::kKindHotspot) ||
                hotspot->GetTextureName() != texture->GetName())
                continue;
            if (m_owner.SelectedHotspot() == nullptr)
                m_owner.SetSelectedHotspot(hotspot);
            const int32_t at = AddItem(hotspot, hotspot->GetName().value_or(std::string()));
            if (hotspot == m_owner.SelectedHotspot() && list != nullptr)
                list->setCurSel(at);
        }
    }
    send(kMsgRefreshHotspot);
    return true;
}

int32_t CVTND_DetailsHotspotsDlg::AddItem(SWhotspot* hotspot, const std::string& name)
{
    auto* list = item<pf::ListBox>(kIdList);
    if (list == nullptr)
        return -1;
    const int32_t at = list->addString(name);
    list->setItemData(at, reinterpret_cast<intptr_t>(hotspot));
    return at;
}

bool CVTND_DetailsHotspotsDlg::Lists(const SWhotspot* hotspot) const
{
    const auto* list = item<pf::ListBox>(kIdList);
    for (int32_t i = 0; list != nullptr && i < list->getCount(); ++i)
        if (list->getItemData(i) == reinterpret_cast<intptr_t>(hotspot))
            return true;
    return false;
}

void CVTND_DetailsHotspotsDlg::onCancel()
{
    m_owner.HideHotspots();
}

pf::LResult CVTND_DetailsHotspotsDlg::handle(const pf::Msg& msg)
{
    if (msg.message == kMsgRefreshHotspot) {
        Refresh();
        return 1;
    }
    if (msg.message == pf::WM_COMMAND) {
        const int32_t id = pf::loWord(msg.wParam);
        const int32_t code = pf::hiWord(msg.wParam);
        if (id == kIdList && code == pf::LBN_SELCHANGE) {
            SelectionChanged();
            return 0;
        }
        if (code == pf::BN_CLICKED) {
            switch (id) {
            case kIdAdd:
                Add();
                return 0;
            case kIdRemove:
                Remove();
                return 0;
            case kIdTake:
                Take();
                return 0;
            case kIdDiscard:
                Discard();
                return 0;
            default:
                break;
            }
        }
    }
    return Dialog::handle(msg);
}

void CVTND_DetailsHotspotsDlg::Refresh()
{
    SWhotspot* const hotspot = m_owner.SelectedHotspot();
    auto* viewer = item<CVTND_TextureViewer>(kIdPicture);
    if (hotspot == nullptr) {
        for (const int32_t id : {kIdName, kIdRect[0], kIdRect[1], kIdRect[2], kIdRect[3]})
            child(id)->setText("");
        if (viewer != nullptr)
            viewer->SetImage(nullptr);
        return;
    }
    child(kIdName)->setText(hotspot->GetName().value_or(std::string()));
    for (size_t k = 0; k < 4; ++k)
        child(kIdRect[k])->setText(FormatNumberG(hotspot->GetRect()[k]));
    if (viewer != nullptr)
        viewer->SetImage(hotspot->GetImage());
}

void CVTND_DetailsHotspotsDlg::Add()
{
    CVTNDesignerApp* const app = GetDesignerApp();
    const SWtexture* const texture = m_owner.EditedTexture();
    if (app == nullptr || texture == nullptr)
        return;
    CVTND_CreateRequest request;
    request.name = texture->GetName();
    request.owner = this;
    const CVTND_Object made = app->GetObjectsFactory().CreateObject(ObjectType::kHotspot, request);
    auto* hotspot = dynamic_cast<SWhotspot*>(made.IsNodeType() ? static_cast<SWnode*>(made.GetObject()) : nullptr);
    if (hotspot == nullptr)
        return;
    {
        SWworldlock lock(*app->GetWorld());
        hotspot->SetAlterEgoRect(hotspot->GetRect());
    }
    const std::string name = hotspot->GetName().value_or(std::string());
    child(kIdName)->setText(name);
    const int32_t at = AddItem(hotspot, name);
    if (auto* list = item<pf::ListBox>(kIdList))
        list->setCurSel(at);
    Select(hotspot);
}

void CVTND_DetailsHotspotsDlg::Select(SWhotspot* hotspot)
{
    m_owner.SetSelectedHotspot(hotspot);
    send(kMsgRefreshHotspot);
    m_owner.RepaintPreviews(true);
}

void CVTND_DetailsHotspotsDlg::Remove()
{
    CVTNDesignerApp* const app = GetDesignerApp();
    if (app == nullptr || m_owner.SelectedHotspot() == nullptr)
        return;
    // The list follows the deletion's notice, through the owner.
    app->DeleteObject(CVTND_Object(static_cast<SWnode*>(m_owner.SelectedHotspot())), CVTNDesignerApp::kDeleteFromMenu);
}

void CVTND_DetailsHotspotsDlg::Take()
{
    SWhotspot* const hotspot = m_owner.SelectedHotspot();
    const SWtexture* const alterEgo = m_owner.AlterEgo();
    const SWtexture* const copy = m_owner.WorkingCopy();
    if (hotspot == nullptr || alterEgo == nullptr || copy == nullptr || alterEgo->GetPixels() == nullptr)
        return;
    const Cut cut = CutOf(*hotspot, *copy, *alterEgo);
    if (cut.w <= 0 || cut.h <= 0 || cut.sw <= 0 || cut.sh <= 0)
        return;
    const int32_t stride = alterEgo->GetWidth();
    std::vector<uint32_t> source(static_cast<size_t>(cut.sw) * static_cast<size_t>(cut.sh));
    for (int32_t y = 0; y < cut.sh; ++y) {
        const uint32_t* row = alterEgo->GetPixels() + static_cast<size_t>(cut.y0 + y) * stride + cut.x0;
        std::copy(row, row + cut.sw, source.begin() + static_cast<ptrdiff_t>(y) * cut.sw);
    }
    const std::optional<std::vector<uint32_t>> resampled = ResampleImage32(source, cut.sw, cut.sh, cut.w, cut.h);
    if (!resampled)
        return;
    const int32_t pw = NextPowerOfTwo(cut.w);
    const int32_t ph = NextPowerOfTwo(cut.h);
    std::vector<uint32_t> picture(static_cast<size_t>(pw) * static_cast<size_t>(ph), 0u);
    for (int32_t y = 0; y < cut.h; ++y)
        std::copy_n(resampled->begin() + static_cast<ptrdiff_t>(y) * cut.w, cut.w,
                    picture.begin() + static_cast<ptrdiff_t>(y) * pw);
    std::unique_ptr<SWimage24> image = SWimage24::SWimage24FromPixels("crop", pw, ph, picture.data());
    if (image == nullptr)
        return;
    image->Notify(kNotifyContentsChanged, nullptr);
    image->Touch();
    if (CVTND_ExtendedWorld* const world = DesignerWorld()) {
        SWworldlock lock(*world);
        hotspot->SetImage(std::move(image));
        hotspot->SetPictureSize(cut.w, cut.h);
    }
    send(kMsgRefreshHotspot);
    if (CVTND_TextureViewer* preview = m_owner.MainPreview()) {
        preview->BuildHotspotBitmap(hotspot);
        m_owner.RepaintPreviews(false);
    }
}

void CVTND_DetailsHotspotsDlg::Discard()
{
    SWhotspot* const hotspot = m_owner.SelectedHotspot();
    if (hotspot == nullptr)
        return;
    if (auto* viewer = item<CVTND_TextureViewer>(kIdPicture))
        viewer->SetImage(nullptr);
    if (CVTND_ExtendedWorld* const world = DesignerWorld()) {
        SWworldlock lock(*world);
        hotspot->SetImage(nullptr);
    }
    if (CVTND_TextureViewer* preview = m_owner.MainPreview()) {
        preview->BuildHotspotBitmap(hotspot);
        m_owner.RepaintPreviews(false);
    }
}

void CVTND_DetailsHotspotsDlg::SelectionChanged()
{
    auto* list = item<pf::ListBox>(kIdList);
    if (list == nullptr)
        return;
    const int32_t index = list->getCurSel();
    auto* const chosen = index >= 0 ? reinterpret_cast<SWhotspot*>(list->getItemData(index)) : nullptr;
    SWhotspot* const old = m_owner.SelectedHotspot();
    if (chosen == nullptr || chosen == old)
        return;
    if (old != nullptr) {
        const int32_t oldItem = list->findExact(old->GetName().value_or(std::string()));
        const std::string typed = child(kIdName)->getText();
        if (!CommitName(typed)) {
            if (oldItem >= 0)
                list->setCurSel(oldItem);
            return;
        }
        if (oldItem >= 0) {
            list->deleteString(oldItem);
            AddItem(old, typed);
            for (int32_t i = 0; i < list->getCount(); ++i)
                if (list->getItemData(i) == reinterpret_cast<intptr_t>(chosen))
                    list->setCurSel(i);
        }
    }
    Select(chosen);
}

bool CVTND_DetailsHotspotsDlg::CommitName(const std::string& text, bool speak)
{
    SWhotspot* const hotspot = m_owner.SelectedHotspot();
    if (hotspot == nullptr)
        return true;
    if (text.empty()) {
        if (speak)
            ShowError(*this, kIdsHotspotValidName);
        return false;
    }
    const std::string old = hotspot->GetName().value_or(std::string());
    if (text == old)
        return true;
    CVTND_Event event(EventCode::kRenamed, CVTND_Object(static_cast<SWnode*>(hotspot)));
    event.SetTexts(old, text);
    event.sender = hwnd();
    CVTND_ExtendedWorld* const world = DesignerWorld();
    if (world == nullptr || !world->RenameNode(hotspot, old, text)) {
        if (speak)
            ShowError(*this, kIdsHotspotUniqueName);
        return false;
    }
    GetDesignerApp()->Broadcast(event);
    return true;
}

void CVTND_DetailsHotspotsDlg::SettleName()
{
    SWhotspot* const hotspot = m_owner.SelectedHotspot();
    Window* const field = child(kIdName);
    if (hotspot == nullptr || field == nullptr)
        return;
    const std::string old = hotspot->GetName().value_or(std::string());
    const std::string typed = field->getText();
    if (typed == old)
        return;
    if (CommitName(typed, false))
        RenameInList(hotspot, old, typed);
    else
        field->setText(old);
}

void CVTND_DetailsHotspotsDlg::RenameInList(SWhotspot* hotspot, const std::string& oldName, const std::string& newName)
{
    auto* list = item<pf::ListBox>(kIdList);
    const int32_t at = list != nullptr ? list->findExact(oldName) : -1;
    if (at < 0)
        return;
    const bool selected = list->getCurSel() == at;
    list->deleteString(at);
    const int32_t added = AddItem(hotspot, newName);
    if (selected) {
        list->setCurSel(added);
        child(kIdName)->setText(newName);
    }
}

void CVTND_DetailsHotspotsDlg::DropFromList(SWhotspot* hotspot)
{
    auto* list = item<pf::ListBox>(kIdList);
    if (list == nullptr)
        return;
    int32_t at = -1;
    for (int32_t i = 0; i < list->getCount() && at < 0; ++i)
        if (list->getItemData(i) == reinterpret_cast<intptr_t>(hotspot))
            at = i;
    if (at < 0)
        return;
    const bool wasSelected = list->getCurSel() == at || m_owner.SelectedHotspot() == hotspot;
    list->deleteString(at);
    if (!wasSelected)
        return;
    m_owner.SetSelectedHotspot(nullptr);
    for (int32_t i = std::min(at, list->getCount() - 1); i >= 0; --i) {
        list->setCurSel(i);
        Select(reinterpret_cast<SWhotspot*>(list->getItemData(i)));
        return;
    }
    send(kMsgRefreshHotspot);
    m_owner.RepaintPreviews(true);
}
