#include "designer/editors/material_child_dlg.h"

#include <algorithm>
#include <cmath>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/notification.h"
#include "designer/app/world_write_lock.h"
#include "designer/editors/material_texts.h"
#include "designer/workspace/color_button.h"
#include "designer/workspace/editor_fields.h"
#include "designer/workspace/number_text.h"
#include "designer/workspace/rgb_channel_scroll.h"
#include "designer/workspace/texture_viewer.h"
#include "designer/workspace/workspace_messages.h"
#include "engine/core/root_object.h"
#include "engine/resources/material.h"
#include "engine/resources/texture.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/controls/trackbar.h"

namespace {

constexpr int32_t kIdName = 1186;
constexpr int32_t kIdBilinear = 1187;
constexpr std::array<int32_t, 3> kColourButtons = {1163, 1164, 1165};
constexpr int32_t kFirstChannel = 1049; // four per colour: red, green, blue, intensity
constexpr int32_t kLastChannel = 1060;
constexpr std::array<std::pair<int32_t, uint32_t>, 4> kModeRadios = {{{1014, SWmaterial::kModeContinuous},
                                                                      {1015, SWmaterial::kModeFlat},
                                                                      {1369, SWmaterial::kModeGouraud},
                                                                      {1370, SWmaterial::kModePhong}}};

// A slider, the edit box that shows its value, and the value of a position.
struct SliderRow {
    int32_t slider;
    int32_t edit;
    int32_t minPos;
    int32_t maxPos;
};
constexpr int32_t kSmoothness = 1358;
constexpr int32_t kTransparency = 1368;
constexpr int32_t kOpacity = 1355;
constexpr int32_t kReflectivity = 1356;
constexpr int32_t kBump = 1357;
constexpr std::array<SliderRow, 5> kSliders = {{{kSmoothness, 1188, 1, 100},
                                                {kTransparency, 1189, 0, 1000},
                                                {kOpacity, 1183, 0, 1000},
                                                {kReflectivity, 1033, 0, 1000},
                                                {kBump, 1185, 0, 1000}}};

const SliderRow* RowOf(int32_t slider)
{
    for (const SliderRow& row : kSliders)
        if (row.slider == slider)
            return &row;
    return nullptr;
}

float ValueOfPosition(int32_t slider, int32_t position)
{
    if (slider == kSmoothness)
        return static_cast<float>(position);
    if (slider == kBump)
        return 2.0f * static_cast<float>(position) * 0.001f - 1.0f;
    return static_cast<float>(position) * 0.001f;
}

// Positions are the values scaled and truncated toward zero, held to the slider's range: a damaged scene may store
// NaN or a value no position holds.
int32_t PositionOfValue(int32_t slider, float value)
{
    const SliderRow* row = RowOf(slider);
    if (row == nullptr || std::isnan(value))
        return row != nullptr ? row->minPos : 0;
    const double scaled = slider == kSmoothness ? value
                          : slider == kBump     ? (static_cast<double>(value) + 1.0) * 1000.0 * 0.5
                                                : static_cast<double>(value) * 1000.0;
    return static_cast<int32_t>(std::clamp(scaled, static_cast<double>(row->minPos), static_cast<double>(row->maxPos)));
}

const SWmaterialcolour& ColourOf(const SWmaterial& material, size_t colour)
{
    return colour == 0   ? material.GetAmbientColour()
           : colour == 1 ? material.GetDiffuseColour()
                         : material.GetSpecularColour();
}

void SetColour(SWmaterial& material, size_t colour, const SWmaterialcolour& c)
{
    if (colour == 0)
        material.SetAmbientColour(c.intensity, c.red, c.green, c.blue);
    else if (colour == 1)
        material.SetDiffuseColour(c.intensity, c.red, c.green, c.blue);
    else
        material.SetSpecularColour(c.intensity, c.red, c.green, c.blue);
}

} // namespace

void CVTND_MaterialChildDlg::SetMaterial(SWmaterial* material)
{
    m_material = material;
    if (isWindow() && m_material != nullptr)
        Fill();
}

// -- Filling the page from the material

void CVTND_MaterialChildDlg::Fill()
{
    m_updating = true;
    child(kIdName)->setText(m_material->GetName());
    const std::array<float, 5> values = {m_material->GetSmoothness(), m_material->GetTransparency(),
                                         m_material->GetTextureOpacity(), m_material->GetReflectivity(),
                                         m_material->GetBumpAmount()};
    for (size_t i = 0; i < kSliders.size(); ++i) {
        const SliderRow& row = kSliders[i];
        if (auto* bar = item<pf::Trackbar>(row.slider)) {
            bar->setRange(row.minPos, row.maxPos);
            bar->setPos(PositionOfValue(row.slider, values[i]));
        }
        ShowSliderText(row.slider, values[i]);
    }
    for (size_t colour = 0; colour < 3; ++colour)
        ShowColour(colour);
    for (size_t slot = 0; slot < kSlots.size(); ++slot)
        FillTextureSlot(slot);
    for (const auto& [radio, mode] : kModeRadios)
        if (auto* button = item<pf::Button>(radio))
            button->setCheck(m_material->GetRenderMode() == mode ? pf::BST_CHECKED : pf::BST_UNCHECKED);
    if (auto* bilinear = item<pf::Button>(kIdBilinear))
        bilinear->setCheck((m_material->GetMaterialFlags() & SWmaterial::kFlagBilinear) != 0 ? pf::BST_CHECKED
                                                                                             : pf::BST_UNCHECKED);
    m_updating = false;
}

void CVTND_MaterialChildDlg::FillTextureSlot(size_t slot)
{
    SWtexture* const texture = TextureOfSlot(slot);
    if (auto* viewer = item<CVTND_TextureViewer>(kSlots[slot].viewer))
        viewer->SetImage(texture);
    auto* combo = item<pf::ComboBox>(kSlots[slot].combo);
    if (combo == nullptr)
        return;
    combo->resetContent();
    combo->addString(MaterialTextOf(kIdsNoTexture));
    int32_t selected = 0;
    CVTND_ExtendedWorld* const world = DesignerWorld();
    SWrootobject* const root = world != nullptr ? world->GetRootObject() : nullptr;
    for (SWtexture* t = root != nullptr ? root->GetFirstTexture() : nullptr; t != nullptr;
         t = SWrootobject::GetNextTexture(t)) {
        const int32_t index = combo->addString(t->GetName());
        if (t == texture)
            selected = index;
    }
    combo->setCurSel(selected);
}

void CVTND_MaterialChildDlg::ShowColour(size_t colour)
{
    const SWmaterialcolour& c = ColourOf(*m_material, colour);
    if (auto* button = item<CVTND_ColorButton>(kColourButtons[colour]))
        button->SetColor(c.red, c.green, c.blue);
    const std::array<float, 4> channels = {c.red, c.green, c.blue, c.intensity};
    for (int32_t k = 0; k < 4; ++k)
        if (auto* slider = item<CVTND_RGBChannelScroll>(kFirstChannel + static_cast<int32_t>(colour) * 4 + k))
            slider->SetValue(channels[static_cast<size_t>(k)], k);
}

void CVTND_MaterialChildDlg::ShowSliderText(int32_t slider, float value)
{
    const SliderRow* row = RowOf(slider);
    if (Window* edit = row != nullptr ? child(row->edit) : nullptr)
        edit->setText(FormatNumberG(value));
}

SWtexture* CVTND_MaterialChildDlg::TextureOfSlot(size_t slot) const
{
    if (m_material == nullptr)
        return nullptr;
    return slot == 0   ? m_material->GetTexture()
           : slot == 1 ? m_material->GetReflectionTexture()
                       : m_material->GetBumpTexture();
}

void CVTND_MaterialChildDlg::SetTextureOfSlot(size_t slot, SWtexture* texture)
{
    const CVTND_WorldWriteLock lock(DesignerWorld());
    if (slot == 0)
        m_material->SetTexture(texture);
    else if (slot == 1)
        m_material->SetReflectionTexture(texture);
    else
        m_material->SetBumpTexture(texture);
    m_material->BuildTexture();
}

// -- The handlers

pf::LResult CVTND_MaterialChildDlg::handle(const pf::Msg& msg)
{
    if (m_material == nullptr || m_updating)
        return Dialog::handle(msg);
    switch (msg.message) {
    case pf::WM_HSCROLL: {
        const Window* bar = pf::ui().window(static_cast<pf::Hwnd>(msg.lParam));
        // The trackbar sets its position before it sends, whatever the code. TB_ENDTRACK ends a drag and a key's
        // press alike: the value a key set is stored as the mouse's is.
        if (const auto* trackbar = dynamic_cast<const pf::Trackbar*>(bar); trackbar != nullptr && RowOf(bar->id())) {
            SliderMoved(bar->id(), trackbar->getPos());
            if (pf::loWord(msg.wParam) == pf::TB_ENDTRACK && pf::ui().window(trackbar->hwnd()) == trackbar)
                SliderReleased(bar->id());
        }
        return 0;
    }
    case workspace_messages::kChannelDragging:
    case workspace_messages::kChannelChanged: {
        const auto* value = reinterpret_cast<const float*>(msg.lParam);
        if (value != nullptr)
            ChannelMessage(static_cast<int32_t>(msg.wParam), *value,
                           msg.message == workspace_messages::kChannelChanged);
        return 0;
    }
    case pf::WM_COMMAND: {
        const int32_t id = pf::loWord(msg.wParam);
        const int32_t code = pf::hiWord(msg.wParam);
        if (code == pf::CBN_SELCHANGE) {
            for (size_t slot = 0; slot < kSlots.size(); ++slot)
                if (kSlots[slot].combo == id)
                    TextureChosen(slot);
            return 0;
        }
        if (code != pf::BN_CLICKED)
            break;
        for (size_t colour = 0; colour < kColourButtons.size(); ++colour)
            if (kColourButtons[colour] == id) {
                ColourButtonClicked(colour);
                return 0;
            }
        for (const auto& [radio, mode] : kModeRadios)
            if (radio == id) {
                RenderModeChosen(mode);
                return 0;
            }
        if (id == kIdBilinear) {
            BilinearToggled();
            return 0;
        }
        break;
    }
    default:
        break;
    }
    return Dialog::handle(msg);
}

void CVTND_MaterialChildDlg::SliderMoved(int32_t slider, int32_t position)
{
    ShowSliderText(slider, ValueOfPosition(slider, position));
}

void CVTND_MaterialChildDlg::SliderReleased(int32_t slider)
{
    const auto* bar = item<pf::Trackbar>(slider);
    if (bar == nullptr)
        return;
    const float value = ValueOfPosition(slider, bar->getPos());
    CVTND_ExtendedWorld* const world = DesignerWorld();
    {
        const CVTND_WorldWriteLock lock(world);
        switch (slider) {
        case kSmoothness:
            m_material->SetSmoothness(value);
            break;
        case kTransparency:
            m_material->SetTransparency(value);
            break;
        case kOpacity:
            m_material->SetTextureOpacity(value);
            break;
        case kReflectivity:
            m_material->SetReflectivity(value);
            break;
        default:
            m_material->SetBumpAmount(value);
            break;
        }
        m_material->Invalidate();
        if (slider == kBump && world != nullptr)
            world->GetRootObject()->NotifyChanged();
    }
    const std::array<float, 5> shown = {m_material->GetSmoothness(), m_material->GetTransparency(),
                                        m_material->GetTextureOpacity(), m_material->GetReflectivity(),
                                        m_material->GetBumpAmount()};
    for (size_t i = 0; i < kSliders.size(); ++i)
        if (kSliders[i].slider == slider)
            ShowSliderText(slider, shown[i]);
    Changed();
}

void CVTND_MaterialChildDlg::ColourButtonClicked(size_t colour)
{
    auto* button = item<CVTND_ColorButton>(kColourButtons[colour]);
    if (button == nullptr || !button->ChooseColor(parent()))
        return;
    const std::array<float, 3> rgb = button->GetColor();
    SWmaterialcolour c = ColourOf(*m_material, colour);
    c.red = rgb[0];
    c.green = rgb[1];
    c.blue = rgb[2];
    {
        const CVTND_WorldWriteLock lock(DesignerWorld());
        SetColour(*m_material, colour, c);
        m_material->Invalidate();
    }
    m_updating = true;
    ShowColour(colour);
    m_updating = false;
    Changed();
}

// A dragged channel only shows on its colour's button; a released or typed one is written.
void CVTND_MaterialChildDlg::ChannelMessage(int32_t control, float value, bool write)
{
    if (control < kFirstChannel || control > kLastChannel)
        return;
    const size_t colour = static_cast<size_t>(control - kFirstChannel) / 4;
    const int32_t channel = (control - kFirstChannel) % 4;
    SWmaterialcolour c = ColourOf(*m_material, colour);
    (channel == 0 ? c.red : channel == 1 ? c.green : channel == 2 ? c.blue : c.intensity) = value;
    if (auto* button = item<CVTND_ColorButton>(kColourButtons[colour]))
        button->SetColor(c.red, c.green, c.blue);
    if (!write)
        return;
    {
        const CVTND_WorldWriteLock lock(DesignerWorld());
        SetColour(*m_material, colour, c);
        m_material->Invalidate();
    }
    Changed();
}

void CVTND_MaterialChildDlg::TextureChosen(size_t slot)
{
    auto* combo = item<pf::ComboBox>(kSlots[slot].combo);
    auto* viewer = item<CVTND_TextureViewer>(kSlots[slot].viewer);
    CVTND_ExtendedWorld* const world = DesignerWorld();
    const int32_t index = combo != nullptr ? combo->getCurSel() : -1;
    if (index == 0) {
        SetTextureOfSlot(slot, nullptr);
        if (viewer != nullptr)
            viewer->SetImage(nullptr);
        Changed();
        return;
    }
    SWtexture* const texture =
        index > 0 && world != nullptr ? world->FindTextureByName(combo->getLBText(index)) : nullptr;
    if (texture == nullptr) {
        if (world != nullptr)
            world->Invalidate(false);
        return;
    }
    SetTextureOfSlot(slot, texture);
    if (viewer != nullptr)
        viewer->SetImage(texture);
    Changed();
}

void CVTND_MaterialChildDlg::RenderModeChosen(uint32_t mode)
{
    if (CVTND_ExtendedWorld* const world = DesignerWorld()) {
        SWworldlock lock(*world);
        m_material->SetRenderMode(mode);
        m_material->BuildTexture();
    } else {
        m_material->SetRenderMode(mode);
    }
    Changed();
}

void CVTND_MaterialChildDlg::BilinearToggled()
{
    if (CVTND_ExtendedWorld* const world = DesignerWorld()) {
        SWworldlock lock(*world);
        m_material->SetMaterialFlags(m_material->GetMaterialFlags() ^ SWmaterial::kFlagBilinear);
        m_material->BuildTexture();
    } else {
        m_material->SetMaterialFlags(m_material->GetMaterialFlags() ^ SWmaterial::kFlagBilinear);
    }
    Changed();
}

// Posted, never sent: the preview renders once per change, after the handler has returned.
void CVTND_MaterialChildDlg::Changed()
{
    if (Window* frame = parent())
        frame->post(kMsgRenderPreview);
    if (CVTND_ExtendedWorld* const world = DesignerWorld())
        world->Invalidate(false);
}

// -- Notices about textures

void CVTND_MaterialChildDlg::OnTextureNotice(const CVTND_Event& event)
{
    if (!event.subject.IsType(ObjectType::kTexture) || m_material == nullptr)
        return;
    auto* const texture = static_cast<SWtexture*>(event.subject.GetObject());
    if (texture == nullptr)
        return;
    m_updating = true;
    if (event.Is(EventCode::kCreated)) {
        for (const TextureSlot& slot : kSlots)
            if (auto* combo = item<pf::ComboBox>(slot.combo))
                combo->addString(texture->GetName());
    } else if (event.Is(EventCode::kDeleted)) {
        for (const TextureSlot& slot : kSlots)
            if (auto* combo = item<pf::ComboBox>(slot.combo)) {
                const int32_t at = combo->findExact(texture->GetName());
                if (at > 0)
                    combo->deleteString(at);
            }
        for (size_t slot = 0; slot < kSlots.size(); ++slot) {
            auto* viewer = item<CVTND_TextureViewer>(kSlots[slot].viewer);
            if (TextureOfSlot(slot) != texture && (viewer == nullptr || viewer->GetMemberAt40() != texture))
                continue;
            if (viewer != nullptr)
                viewer->SetImage(nullptr);
            if (auto* combo = item<pf::ComboBox>(kSlots[slot].combo))
                combo->setCurSel(0);
            if (Window* frame = parent())
                frame->post(kMsgRenderPreview);
        }
    } else if (event.Is(EventCode::kRenamed) && event.firstText && event.secondText) {
        for (const TextureSlot& slot : kSlots) {
            auto* combo = item<pf::ComboBox>(slot.combo);
            const int32_t at = combo != nullptr ? combo->findExact(*event.firstText) : -1;
            if (at < 0)
                continue;
            const bool selected = combo->getCurSel() == at;
            combo->deleteString(at);
            combo->insertString(at, *event.secondText);
            if (selected)
                combo->setCurSel(at);
        }
    } else if (event.Is(EventCode::kReplaced)) {
        // The old texture is deleted after this notice: a viewer that shows it would next copy freed pixels.
        auto* const replacement = event.related[0].IsType(ObjectType::kTexture)
                                      ? static_cast<SWtexture*>(event.related[0].GetObject())
                                      : nullptr;
        for (const TextureSlot& slot : kSlots)
            if (auto* viewer = item<CVTND_TextureViewer>(slot.viewer);
                viewer != nullptr && viewer->GetMemberAt40() == texture)
                viewer->SetImage(replacement);
    }
    m_updating = false;
}
