#include "designer/editors/details_tooltip_dlg.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/notification.h"
#include "designer/app/registry.h"
#include "designer/app/world_write_lock.h"
#include "designer/editing/picker_receptors.h"
#include "designer/editors/designer_tooltip.h"
#include "designer/workspace/color_button.h"
#include "designer/workspace/editor_fields.h"
#include "designer/workspace/editor_texts.h"
#include "designer/workspace/font_button.h"
#include "designer/workspace/object_pickers.h"
#include "engine/core/node.h"
#include "engine/core/world.h"
#include "platform/ui/controls/list_box.h"
#include "platform/ui/controls/scroll_bar.h"
#include "platform/ui/controls/up_down.h"
#include "platform/ui/providers/providers.h"

namespace {

constexpr int32_t kIdName = 1179;
constexpr int32_t kIdText = 1004;
constexpr int32_t kIdFont = 1164;
constexpr int32_t kIdTextColour = 1208;
constexpr int32_t kIdBackColour = 1209;
constexpr int32_t kIdTextOpacity = 1177;
constexpr int32_t kIdBackOpacity = 1175;
constexpr int32_t kIdHMargin = 1172;
constexpr int32_t kIdVMargin = 1173;
constexpr int32_t kIdHMarginSpin = 1347;
constexpr int32_t kIdVMarginSpin = 1348;
constexpr int32_t kIdAtCursor = 1012;
constexpr int32_t kIdFixed = 1363;
constexpr int32_t kIdX = 1174;
constexpr int32_t kIdY = 1176;
constexpr int32_t kIdDelay = 1178;
constexpr int32_t kIdFadeIn = 1180;
constexpr int32_t kIdFadeOut = 1181;
constexpr int32_t kIdNodes = 1000;
constexpr int32_t kIdPick = 1210;
constexpr uint8_t kPickHotspotsAndMeshes = 12;
constexpr double kMaxMs = 1.0e9;             // the delay and fades: about eleven days
constexpr uint32_t kFontDialogFlags = 0x141; // screen fonts, start from the request, effects

// The radio buttons of both alignments and the value each stands for.
struct AlignRadio {
    int32_t id;
    bool horizontal;
    uint8_t value;
};
constexpr AlignRadio kAlignRadios[] = {{1013, true, 0},  {1014, true, 2},  {1015, true, 1},
                                       {1016, false, 0}, {1017, false, 2}, {1018, false, 1}};

std::string NodeNameOf(const SWnode* node)
{
    return node != nullptr && node->GetName() ? *node->GetName() : std::string();
}

pf::Window* MakeTooltipEditor(const CVTND_EditorRequest& request)
{
    // An engine tooltip (from an added scene file) has no designer fields to edit.
    auto* tooltip = dynamic_cast<VTND_ToolTip*>(static_cast<CVTN_ToolTip*>(request.object));
    if (tooltip == nullptr)
        return nullptr;
    return CVTND_ModelessEditorDlg::Open(std::make_unique<CVTND_DetailsTooltipDlg>(tooltip, request.record),
                                         CVTND_DetailsTooltipDlg::kIdd, request.parent);
}
const CVTND_EditorRegistration kRegistered(ObjectType::kTooltip, kAnyActionKind, &MakeTooltipEditor);

} // namespace

CVTND_DetailsTooltipDlg::CVTND_DetailsTooltipDlg(VTND_ToolTip* tooltip, CVTND_EditDialog* record)
    : CVTND_ModelessEditorDlg(static_cast<uint16_t>(ObjectType::kTooltip), static_cast<CVTN_ToolTip*>(tooltip), record),
      m_tooltip(tooltip)
{
}

std::optional<double> CVTND_DetailsTooltipDlg::TakeTyped(int32_t id)
{
    const bool margin = id == kIdHMargin || id == kIdVMargin;
    const bool pixels = margin || id == kIdX || id == kIdY;
    const double high = margin ? VTND_ToolTip::kMaxMargin : pixels ? VTND_ToolTip::kMaxPosition : kMaxMs;
    const TypedNumber typed = ReadTypedNumber(child(id)->getText(), 0.0, high);
    if (typed.kind == TypedKind::kNumber && (!pixels || typed.value == std::trunc(typed.value))) {
        float x = 0.0f;
        float y = 0.0f;
        m_tooltip->GetPosition(x, y);
        VTND_ToolTip* tip = m_tooltip;
        BeginTypedEdit(child(id), [this, self = hwnd(), tip, world = World(), x, y, h = tip->hMargin, v = tip->vMargin,
                                   delay = tip->delay, in = tip->fadeIn, out = tip->fadeOut] {
            {
                const CVTND_WorldWriteLock lock(world);
                tip->hMargin = h;
                tip->vMargin = v;
                tip->SetPosition(x, y);
                tip->SetShownPosition(VTND_ToolTip::PixelOf(x), VTND_ToolTip::PixelOf(y));
                tip->delay = delay;
                tip->fadeIn = in;
                tip->fadeOut = out;
            }
            if (pf::ui().window(self) == this)
                RequestRender();
        });
        return typed.value;
    }
    RefuseTypedText(
        child(id), [this, id] { return StoredText(id); }, m_updating, 0.0, high);
    return std::nullopt;
}

std::string CVTND_DetailsTooltipDlg::StoredText(int32_t id) const
{
    float x = 0.0f;
    float y = 0.0f;
    m_tooltip->GetPosition(x, y);
    switch (id) {
    case kIdHMargin:
        return std::to_string(m_tooltip->hMargin);
    case kIdVMargin:
        return std::to_string(m_tooltip->vMargin);
    case kIdX:
        return FormatReal(x);
    case kIdY:
        return FormatReal(y);
    case kIdDelay:
        return FormatReal(m_tooltip->delay);
    case kIdFadeIn:
        return FormatReal(m_tooltip->fadeIn);
    case kIdFadeOut:
        return FormatReal(m_tooltip->fadeOut);
    default:
        return {};
    }
}

bool CVTND_DetailsTooltipDlg::onInitDialog()
{
    CVTND_ModelessEditorDlg::onInitDialog();
    SWworld* world = World();
    m_tooltip->ApplyFont();
    if (world != nullptr) {
        const SWworldlock lock(*world);
        m_tooltip->Show(true);
    }
    m_updating = true;
    child(kIdName)->setText(m_tooltip->GetName());
    child(kIdText)->setText(m_tooltip->GetText());
    child(kIdHMargin)->setText(std::to_string(m_tooltip->hMargin));
    child(kIdVMargin)->setText(std::to_string(m_tooltip->vMargin));
    for (const auto& [spin, edit] : {std::pair{kIdHMarginSpin, kIdHMargin}, std::pair{kIdVMarginSpin, kIdVMargin}}) {
        if (auto* updown = item<pf::UpDown>(spin)) {
            updown->setRange32(0, 1000);
            updown->setBuddy(child(edit)->hwnd());
            updown->setPos(edit == kIdHMargin ? m_tooltip->hMargin : m_tooltip->vMargin);
        }
    }
    const auto channels = [](const uint8_t* rgb) {
        return std::array<float, 3>{CVTND_ColorButton::ByteToChannel(rgb[0]), CVTND_ColorButton::ByteToChannel(rgb[1]),
                                    CVTND_ColorButton::ByteToChannel(rgb[2])};
    };
    for (const auto& [id, rgb] :
         {std::pair{kIdTextColour, m_tooltip->textRGB}, std::pair{kIdBackColour, m_tooltip->backRGB}}) {
        const std::array<float, 3> c = channels(rgb);
        if (auto* button = item<CVTND_ColorButton>(id))
            button->SetColor(c[0], c[1], c[2], 1.0f);
    }
    for (const auto& [id, word] :
         {std::pair{kIdTextOpacity, m_tooltip->textOpacity}, std::pair{kIdBackOpacity, m_tooltip->backOpacity}}) {
        if (auto* bar = item<pf::ScrollBar>(id)) {
            bar->setRange(0, 255);
            bar->setPosition(static_cast<int32_t>(word >> 24));
        }
    }
    for (const AlignRadio& radio : kAlignRadios) {
        const uint8_t value = radio.horizontal ? m_tooltip->hAlign : m_tooltip->vAlign;
        if (auto* button = item<pf::Button>(radio.id))
            button->setCheck(value == radio.value ? 1 : 0);
    }
    const bool atCursor = m_tooltip->showAtCursor != 0;
    item<pf::Button>(kIdAtCursor)->setCheck(atCursor ? 1 : 0);
    item<pf::Button>(kIdFixed)->setCheck(atCursor ? 0 : 1);
    child(kIdX)->enable(!atCursor);
    child(kIdY)->enable(!atCursor);
    float x = 0.0f;
    float y = 0.0f;
    m_tooltip->GetPosition(x, y);
    child(kIdDelay)->setText(FormatReal(m_tooltip->delay));
    child(kIdFadeIn)->setText(FormatReal(m_tooltip->fadeIn));
    child(kIdFadeOut)->setText(FormatReal(m_tooltip->fadeOut));
    child(kIdX)->setText(FormatReal(x));
    child(kIdY)->setText(FormatReal(y));
    auto* list = item<pf::ListBox>(kIdNodes);
    for (CVTN_ToolTipEntry* e = m_tooltip->GetFirstEntry(); e != nullptr; e = CVTN_ToolTip::GetNextEntry(e)) {
        const SWnode* node = m_tooltip->GetEntryNode(*e);
        list->addString(node != nullptr ? NodeNameOf(node) : e->name);
    }
    if (auto* font = item<CVTND_FontButton>(kIdFont))
        font->SetLogFont(m_tooltip->BuildLogFont());
    m_updating = false;
    auto receptor = std::make_unique<ClickableTargetControlReceptor>(this);
    receptor->AddOwner(list);
    AddReceptor(std::move(receptor));
    RequestRender();
    return true;
}

void CVTND_DetailsTooltipDlg::Render()
{
    ++m_renders;
    m_tooltip->Render();
    if (SWworld* world = World())
        world->Invalidate(false);
}

void CVTND_DetailsTooltipDlg::OnEditChanged(int32_t id)
{
    if (m_updating)
        return;
    SWworld* world = World();
    switch (id) {
    case kIdText:
        m_tooltip->ReadTextFromWindow(child(kIdText)->getText());
        RequestRender();
        return;
    case kIdHMargin:
    case kIdVMargin:
        if (const std::optional<double> margin = TakeTyped(id)) {
            (id == kIdHMargin ? m_tooltip->hMargin : m_tooltip->vMargin) = static_cast<int32_t>(*margin);
            RequestRender();
        }
        return;
    case kIdX:
    case kIdY:
        if (const std::optional<double> coordinate = TakeTyped(id)) {
            float x = 0.0f;
            float y = 0.0f;
            m_tooltip->GetPosition(x, y);
            // The other coordinate is the file's, which may be anything a float holds.
            (id == kIdX ? x : y) = static_cast<float>(*coordinate);
            {
                const CVTND_WorldWriteLock lock(world);
                m_tooltip->SetPosition(x, y);
                m_tooltip->SetShownPosition(VTND_ToolTip::PixelOf(x), VTND_ToolTip::PixelOf(y));
            }
            if (world != nullptr)
                world->Invalidate(false);
        }
        return;
    case kIdDelay:
    case kIdFadeIn:
    case kIdFadeOut:
        if (const std::optional<double> ms = TakeTyped(id)) {
            const CVTND_WorldWriteLock lock(world);
            (id == kIdDelay ? m_tooltip->delay : id == kIdFadeIn ? m_tooltip->fadeIn : m_tooltip->fadeOut) = *ms;
        }
        return;
    default:
        return;
    }
}

void CVTND_DetailsTooltipDlg::SetAtCursor(bool atCursor)
{
    if ((m_tooltip->showAtCursor != 0) == atCursor)
        return;
    {
        const CVTND_WorldWriteLock lock(World());
        m_tooltip->showAtCursor = atCursor ? 1 : 0;
    }
    child(kIdX)->enable(!atCursor);
    child(kIdY)->enable(!atCursor);
}

void CVTND_DetailsTooltipDlg::ChooseColour(int32_t id)
{
    auto* button = item<CVTND_ColorButton>(id);
    if (button == nullptr || !button->ChooseColor(this))
        return;
    const std::array<float, 3> c = button->GetColor();
    uint8_t* rgb = id == kIdTextColour ? m_tooltip->textRGB : m_tooltip->backRGB;
    for (size_t i = 0; i < 3; ++i)
        rgb[i] = static_cast<uint8_t>(std::clamp(c[i], 0.0f, 1.0f) * 255.0f);
    RequestRender();
}

void CVTND_DetailsTooltipDlg::ChooseFont()
{
    pf::FontDialogRequest request;
    request.owner = hwnd();
    request.logFont = m_tooltip->BuildLogFont();
    request.flags = kFontDialogFlags;
    const std::optional<pf::FontChoice> choice = pf::chooseFont(request);
    if (!choice)
        return;
    m_tooltip->ApplyLogFont(choice->logFont);
    if (auto* font = item<CVTND_FontButton>(kIdFont))
        font->SetLogFont(choice->logFont);
    RequestRender();
}

void CVTND_DetailsTooltipDlg::OnClicked(int32_t id)
{
    for (const AlignRadio& radio : kAlignRadios) {
        if (radio.id == id) {
            (radio.horizontal ? m_tooltip->hAlign : m_tooltip->vAlign) = radio.value;
            RequestRender();
            return;
        }
    }
    if (id == kIdAtCursor || id == kIdFixed)
        SetAtCursor(id == kIdAtCursor);
    else if (id == kIdTextColour || id == kIdBackColour)
        ChooseColour(id);
    else if (id == kIdFont)
        ChooseFont();
    else if (id == kIdPick)
        PickNodes();
}

void CVTND_DetailsTooltipDlg::PickNodes()
{
    ObjectPickRequest request(kPickHotspotsAndMeshes);
    for (CVTN_ToolTipEntry* e = m_tooltip->GetFirstEntry(); e != nullptr; e = CVTN_ToolTip::GetNextEntry(e)) {
        const SWnode* node = m_tooltip->GetEntryNode(*e);
        request.AddChosen(node != nullptr ? NodeNameOf(node) : e->name);
    }
    if (!request.Run(this, true, true))
        return;
    SWworld* world = World();
    if (world == nullptr)
        return;
    auto* list = item<pf::ListBox>(kIdNodes);
    list->resetContent();
    // Names that no longer name a node are dropped.
    const SWworldlock lock(*world);
    while (CVTN_ToolTipEntry* e = m_tooltip->GetFirstEntry())
        m_tooltip->DeleteEntry(e);
    SWnode* root = world->GetRootNode();
    for (const std::string& name : request.ResultNames()) {
        SWnode* node = root != nullptr ? root->FindByName(name) : nullptr;
        if (node != nullptr && m_tooltip->FindEntry(node) == nullptr) {
            m_tooltip->GetOrAddEntry(node);
            list->addString(name);
        }
    }
}

void CVTND_DetailsTooltipDlg::OnScroll(int32_t code, int32_t trackPos, pf::Window* bar)
{
    if (bar == nullptr || (bar->id() != kIdTextOpacity && bar->id() != kIdBackOpacity))
        return;
    auto* scroll = static_cast<pf::ScrollBar*>(bar);
    const std::optional<int32_t> to = scroll->requestedPosition(code, trackPos);
    if (!to)
        return;
    const int32_t position = std::clamp(*to, 0, 255);
    scroll->setPosition(position);
    (bar->id() == kIdTextOpacity ? m_tooltip->textOpacity : m_tooltip->backOpacity) = static_cast<uint32_t>(position)
                                                                                      << 24;
    RequestRender();
}

void CVTND_DetailsTooltipDlg::AddNode(SWnode* node)
{
    if (node == nullptr || m_tooltip->FindEntry(node) != nullptr)
        return;
    if (SWworld* world = World()) {
        const SWworldlock lock(*world);
        m_tooltip->GetOrAddEntry(node);
    }
    item<pf::ListBox>(kIdNodes)->addString(NodeNameOf(node));
}

bool CVTND_DetailsTooltipDlg::Validate()
{
    const std::string name = child(kIdName)->getText();
    if (name.empty()) {
        ShowError(kIdsValidName);
        return false;
    }
    const std::string old = m_tooltip->GetName();
    if (name == old)
        return true;
    auto* world = dynamic_cast<CVTND_ExtendedWorld*>(World());
    if (world == nullptr || !world->RenameTooltip(m_tooltip, old, name)) {
        ShowError(kIdsUniqueName);
        return false;
    }
    m_renamedFrom = old;
    return true;
}

void CVTND_DetailsTooltipDlg::Apply()
{
    if (!m_renamedFrom)
        return;
    CVTND_Event event(EventCode::kRenamed, CVTND_Object(ObjectType::kTooltip, static_cast<CVTN_ToolTip*>(m_tooltip)));
    event.SetTexts(*m_renamedFrom, m_tooltip->GetName());
    event.sender = hwnd();
    if (CVTNDesignerApp* app = App())
        app->Broadcast(event);
}

void CVTND_DetailsTooltipDlg::OnNotify(const CVTND_Event& event)
{
    if (!event.Is(EventCode::kDeleted) || !event.subject.IsNodeType()) // a node of any kind may have been dropped
        return;
    const auto* node = static_cast<const SWnode*>(event.subject.GetObject());
    if (m_tooltip->FindEntry(node) == nullptr)
        return;
    auto* list = item<pf::ListBox>(kIdNodes);
    const int32_t index = list->findExact(NodeNameOf(node)); // byte for byte: "lamp" and "Lamp" are two nodes
    if (index >= 0)
        list->deleteString(index);
}

void CVTND_DetailsTooltipDlg::OnClosing()
{
    if (SWworld* world = World()) {
        {
            const SWworldlock lock(*world);
            m_tooltip->Hide(true);
        }
        world->Invalidate(false);
    }
}

pf::LResult CVTND_DetailsTooltipDlg::handle(const pf::Msg& msg)
{
    switch (msg.message) {
    case kMsgRender:
        Render();
        return 0;
    case kMsgNodeDropped:
        AddNode(reinterpret_cast<SWnode*>(msg.lParam));
        return 1;
    case pf::WM_COMMAND:
        if (pf::hiWord(msg.wParam) == pf::EN_CHANGE)
            OnEditChanged(pf::loWord(msg.wParam));
        else if (pf::hiWord(msg.wParam) == pf::BN_CLICKED)
            OnClicked(pf::loWord(msg.wParam));
        break;
    case pf::WM_HSCROLL:
        OnScroll(pf::loWord(msg.wParam), static_cast<int16_t>(pf::hiWord(msg.wParam)),
                 pf::ui().window(static_cast<pf::Hwnd>(msg.lParam)));
        break;
    default:
        break;
    }
    return CVTND_ModelessEditorDlg::handle(msg);
}
