#include "designer/eventedit/color_effect_pages.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/notification.h"
#include "designer/app/world_write_lock.h"
#include "designer/workspace/angular_input.h"
#include "designer/workspace/color_button.h"
#include "designer/workspace/editor_fields.h"
#include "designer/workspace/in_position_input.h"
#include "designer/workspace/texture_viewer.h"
#include "designer/workspace/workspace_messages.h"
#include "engine/behaviour/action_settings.h"
#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "engine/resources/texture.h"
#include "platform/base/user_constants.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/trackbar.h"
#include "platform/ui/core/ui.h"

namespace {

using namespace workspace_messages;

constexpr float kRadiansToDegrees = 180.0f * 0.31830987f; // single precision, as the pages have always shown it
constexpr float kDegreesToRadians = 3.1415927f * 0.0055555557f;
constexpr float kTwoPi = 6.2831855f;

std::string Format(float value)
{
    char text[32] = {};
    const auto [end, error] = std::to_chars(text, text + sizeof(text) - 1, value, std::chars_format::general, 6);
    return error == std::errc() ? std::string(text, end) : std::string("0");
}

SWpicture* OwnPictureOf(const SWbackgroundaction& description)
{
    return dynamic_cast<SWpicture*>(description.GetOwnPicture());
}

SWtexture* FindWorldTexture(const SWworld* world, const std::string& name)
{
    return world != nullptr ? world->FindTextureByName(name) : nullptr;
}

} // namespace

// -- The page

CVTND_ColorEffectPage::CVTND_ColorEffectPage(SWbackgroundaction& description, int32_t idd)
    : m_description(description), m_idd(idd)
{
}

bool CVTND_ColorEffectPage::CreatePage(pf::Window* host)
{
    if (!create(m_idd, host))
        return false;
    show(pf::SW_SHOW);
    return true;
}

bool CVTND_ColorEffectPage::onInitDialog()
{
    if (pf::Window* host = parent()) {
        const pf::Rect hostRect = host->screenRect();
        const pf::Point corner = screenToClient({hostRect.l, hostRect.t});
        const pf::Rect r = windowRect();
        setPos(static_cast<pf::Hwnd>(pf::HWND_TOP),
               pf::Rect::fromXywh(8 - corner.x, 35 - corner.y, static_cast<int32_t>(r.width()),
                                  static_cast<int32_t>(r.height())),
               pf::SWP_NOSIZE);
    }
    return true;
}

SWpicture* CVTND_ColorEffectPage::Picture() const
{
    return OwnPictureOf(m_description);
}

SWworld* CVTND_ColorEffectPage::World() const
{
    if (SWworld* world = m_description.GetWorld())
        return world;
    CVTNDesignerApp* app = GetDesignerApp();
    return app != nullptr ? app->GetWorld() : nullptr;
}

void CVTND_ColorEffectPage::RenderAndRefresh()
{
    if (SWpicture* picture = Picture()) {
        CVTND_WorldWriteLock lock(m_description.GetWorld());
        picture->Render();
    }
    if (auto* preview = item<CVTND_TextureViewer>(kIdPreview))
        preview->UpdateBitmap();
}

bool CVTND_ColorEffectPage::PickColour(int32_t buttonId, BackgroundGenerator::Colour& field)
{
    auto* button = item<CVTND_ColorButton>(buttonId);
    if (button == nullptr || !button->ChooseColor(parent()))
        return false;
    CVTND_WorldWriteLock lock(m_description.GetWorld());
    field = button->GetColor();
    return true;
}

void CVTND_ColorEffectPage::ShowColour(int32_t buttonId, const BackgroundGenerator::Colour& colour)
{
    if (auto* button = item<CVTND_ColorButton>(buttonId))
        button->SetColor(colour[0], colour[1], colour[2], 1.0f);
}

void CVTND_ColorEffectPage::SetNumberText(int32_t id, float value)
{
    if (pf::Window* field = child(id))
        field->setText(Format(value));
}

// -- Solid colour

bool CVTND_CE_SolidColorDlg::onInitDialog()
{
    CVTND_ColorEffectPage::onInitDialog();
    const auto& s = Description().settings;
    ShowColour(kIdStart, {s.red, s.green, s.blue});
    return true;
}

pf::LResult CVTND_CE_SolidColorDlg::handle(const pf::Msg& msg)
{
    if (msg.message == pf::WM_COMMAND && pf::loWord(msg.wParam) == kIdStart &&
        pf::hiWord(msg.wParam) == pf::BN_CLICKED) {
        auto& s = Description().settings;
        BackgroundGenerator::Colour colour{s.red, s.green, s.blue};
        if (PickColour(kIdStart, colour)) {
            CVTND_WorldWriteLock lock(Description().GetWorld());
            s.red = colour[0];
            s.green = colour[1];
            s.blue = colour[2];
        }
        return 0;
    }
    return CVTND_ColorEffectPage::handle(msg);
}

// -- World texture

bool CVTND_CE_TextureDlg::onInitDialog()
{
    CVTND_ColorEffectPage::onInitDialog();
    auto* names = item<pf::ComboBox>(kIdNames);
    names->resetContent();
    const SWrootobject* root = World() != nullptr ? World()->GetRootObject() : nullptr;
    for (SWtexture* t = root != nullptr ? root->GetFirstTexture() : nullptr; t != nullptr;
         t = SWrootobject::GetNextTexture(t))
        names->addString(t->GetName());
    const std::optional<std::string>& name = Description().GetTextureName();
    if (name) {
        // A name the world lacks (a texture deleted since, or one a file named) is kept: opening changes nothing.
        names->setCurSel(names->findStringExact(-1, *name));
        Show(FindWorldTexture(World(), *name));
    } else if (Description().GetOwnPicture() == nullptr) {
        names->setCurSel(0);
        TakeSelection();
    } else {
        Show(Description().GetOwnPicture());
    }
    const bool stretch = Description().settings.mode != 0;
    item<pf::Button>(kIdStretch)->setCheck(stretch ? pf::BST_CHECKED : pf::BST_UNCHECKED);
    item<pf::Button>(kIdTile)->setCheck(stretch ? pf::BST_UNCHECKED : pf::BST_CHECKED);
    return true;
}

void CVTND_CE_TextureDlg::TakeSelection()
{
    auto* names = item<pf::ComboBox>(kIdNames);
    const int32_t selected = names->getCurSel();
    SWtexture* texture = selected >= 0 ? FindWorldTexture(World(), names->getLBText(selected)) : nullptr;
    {
        CVTND_WorldWriteLock lock(Description().GetWorld());
        Description().SetTextureName(texture != nullptr ? std::optional<std::string>(texture->GetName())
                                                        : std::nullopt);
    }
    Show(texture);
}

void CVTND_CE_TextureDlg::Show(SWtexture* texture)
{
    if (auto* preview = item<CVTND_TextureViewer>(kIdPreview))
        preview->SetImage(texture);
}

// The texture editor names the texture it replaces aside before the notice goes out, and its copy takes the name:
// the shown texture is the one replaced when it bore the name, or when it is the one the preview still shows.
bool CVTND_CE_TextureDlg::IsShownReplaced(const CVTND_Event& event, bool bearsTheName)
{
    if (bearsTheName)
        return true;
    const auto* preview = item<CVTND_TextureViewer>(kIdPreview);
    return preview != nullptr && preview->GetMemberAt40() != nullptr &&
           preview->GetMemberAt40() == event.subject.GetObject();
}

void CVTND_CE_TextureDlg::OnTextureNotice(const CVTND_Event& event)
{
    auto* names = item<pf::ComboBox>(kIdNames);
    const auto* texture = static_cast<const SWtexture*>(event.subject.GetObject());
    if (texture == nullptr)
        return;
    const std::optional<std::string>& current = Description().GetTextureName();
    const bool isCurrent = current && *current == texture->GetName();
    if (event.Is(EventCode::kCreated)) {
        names->addString(texture->GetName());
        if (names->getCount() == 1) {
            names->setCurSel(0);
            TakeSelection();
        }
    } else if (event.Is(EventCode::kDeleted)) {
        if (isCurrent && names->getCurSel() >= 0) {
            const int32_t selected = names->getCurSel();
            names->deleteString(selected);
            names->setCurSel(selected > 0 ? selected - 1 : -1);
            TakeSelection(); // the one before it, or none
        } else {
            const int32_t at = names->findStringExact(-1, texture->GetName());
            if (at >= 0)
                names->deleteString(at);
        }
    } else if (event.Is(EventCode::kRenamed) && event.firstText && event.secondText) {
        const int32_t at = names->findStringExact(-1, *event.firstText);
        if (at < 0)
            return;
        const bool wasSelected = names->getCurSel() == at;
        names->deleteString(at);
        names->insertString(at, *event.secondText);
        if (wasSelected)
            names->setCurSel(at);
    } else if (event.Is(EventCode::kReplaced) && IsShownReplaced(event, isCurrent)) {
        if (const auto* replacement = static_cast<const SWtexture*>(event.related[0].GetObject())) {
            CVTND_WorldWriteLock lock(Description().GetWorld());
            Description().SetTextureName(replacement->GetName());
        }
        Show(FindWorldTexture(World(), Description().GetTextureName().value_or(std::string())));
    }
}

pf::LResult CVTND_CE_TextureDlg::handle(const pf::Msg& msg)
{
    if (msg.message == kMsgDesignerNotify) {
        const auto* event = reinterpret_cast<const CVTND_Event*>(msg.lParam);
        if (event != nullptr && event->subject.IsType(ObjectType::kTexture))
            OnTextureNotice(*event);
        return 1;
    }
    if (msg.message == pf::WM_COMMAND) {
        const int32_t id = pf::loWord(msg.wParam);
        const int32_t code = pf::hiWord(msg.wParam);
        if (id == kIdNames && code == pf::CBN_SELCHANGE) {
            TakeSelection();
            return 0;
        }
        if ((id == kIdTile || id == kIdStretch) && code == pf::BN_CLICKED) {
            CVTND_WorldWriteLock lock(Description().GetWorld());
            Description().settings.mode = id == kIdStretch ? 1 : 0;
            return 0;
        }
    }
    return CVTND_ColorEffectPage::handle(msg);
}

// -- The procedural pages

CVTND_CE_GradientPage::CVTND_CE_GradientPage(SWbackgroundaction& description, int32_t idd, uint16_t type)
    : CVTND_ColorEffectPage(description, idd), m_type(type)
{
}

bool CVTND_CE_GradientPage::onInitDialog()
{
    CVTND_ColorEffectPage::onInitDialog();
    SWpicture* picture = Picture();
    if (picture == nullptr)
        return true; // the host made none: nothing to show
    m_updating = true;
    {
        CVTND_WorldWriteLock lock(Description().GetWorld());
        picture->Render();
    }
    if (auto* preview = item<CVTND_TextureViewer>(kIdPreview))
        preview->SetImage(picture);
    BackgroundGenerator& generator = picture->GetGenerator();
    for (const int32_t id : {kIdStart, kIdEnd, kIdMiddle, kIdCorner4}) {
        if (const BackgroundGenerator::Colour* colour = ColourOfButton(generator, id))
            ShowColour(id, *colour);
    }
    if (auto* slider = item<pf::Trackbar>(kIdSlider)) {
        slider->setRange(0, 100);
        slider->setPos(static_cast<int32_t>((1.0f - generator.middlePosition) * 100.0f));
    }
    if (pf::Window* middleOn = child(kIdMiddleOn)) {
        item<pf::Button>(kIdMiddleOn)->setCheck(generator.middleColourOn != 0 ? pf::BST_CHECKED : pf::BST_UNCHECKED);
        if (pf::Window* middle = child(kIdMiddle))
            middle->enable(generator.middleColourOn != 0);
        (void)middleOn;
    }
    LoadControls(generator);
    m_updating = false;
    return true;
}

BackgroundGenerator::Colour* CVTND_CE_GradientPage::ColourOfButton(BackgroundGenerator& generator, int32_t id) const
{
    if (m_type == BackgroundGenerator::kCorner) {
        switch (id) {
        case kIdStart:
            return &generator.colourA;
        case kIdMiddle:
            return &generator.colourB;
        case kIdEnd:
            return &generator.parameters; // corner 3 is the parameter block's three floats
        case kIdCorner4:
            return &generator.corner4;
        default:
            return nullptr;
        }
    }
    if (id == kIdStart)
        return &generator.colourA;
    if (id == kIdEnd)
        return &generator.colourB;
    if (id == kIdMiddle && m_type != BackgroundGenerator::kChecker)
        return &generator.colourC;
    return nullptr;
}

pf::LResult CVTND_CE_GradientPage::handle(const pf::Msg& msg)
{
    SWpicture* picture = Picture();
    if (picture == nullptr)
        return CVTND_ColorEffectPage::handle(msg);
    BackgroundGenerator& g = picture->GetGenerator();
    const bool hasAngle = m_type == BackgroundGenerator::kLinear || m_type == BackgroundGenerator::kChecker;
    float& angle = m_type == BackgroundGenerator::kChecker ? g.parameters[2] : g.parameters[0];
    switch (msg.message) {
    case kAngleDragging:
    case kAngleReleased: {
        const auto* radians = reinterpret_cast<const float*>(msg.lParam);
        if (!hasAngle || radians == nullptr)
            break;
        m_updating = true;
        SetNumberText(kIdFirstText, *radians * kRadiansToDegrees);
        m_updating = false;
        if (msg.message == kAngleReleased) {
            {
                CVTND_WorldWriteLock lock(Description().GetWorld());
                angle = *radians;
            }
            RenderAndRefresh();
        }
        return 0;
    }
    case kPointDragging:
    case kPointReleased: {
        const auto* point = reinterpret_cast<const float*>(msg.lParam);
        if (m_type != BackgroundGenerator::kRadial || point == nullptr)
            break;
        SetNumberText(kIdFirstText, point[0]);
        SetNumberText(kIdSecondText, point[1]);
        if (msg.message == kPointReleased) {
            {
                CVTND_WorldWriteLock lock(Description().GetWorld());
                g.parameters[0] = point[0];
                g.parameters[1] = point[1];
            }
            RenderAndRefresh();
        }
        return 0;
    }
    case pf::WM_HSCROLL: {
        // The end of a drag and the release of a key alike: the mouse alone once moved the middle.
        const auto* slider = item<pf::Trackbar>(kIdSlider);
        if (slider != nullptr && static_cast<pf::Hwnd>(msg.lParam) == slider->hwnd() &&
            pf::loWord(msg.wParam) == pf::TB_ENDTRACK) {
            {
                CVTND_WorldWriteLock lock(Description().GetWorld());
                g.middlePosition = 1.0f - static_cast<float>(item<pf::Trackbar>(kIdSlider)->getPos()) * 0.01f;
            }
            RenderAndRefresh();
            return 0;
        }
        break;
    }
    case pf::WM_COMMAND: {
        const int32_t id = pf::loWord(msg.wParam);
        const int32_t code = pf::hiWord(msg.wParam);
        if (code == pf::BN_CLICKED) {
            if (BackgroundGenerator::Colour* colour = ColourOfButton(g, id)) {
                if (PickColour(id, *colour))
                    RenderAndRefresh();
                return 0;
            }
            if (id == kIdMiddleOn) {
                {
                    CVTND_WorldWriteLock lock(Description().GetWorld());
                    g.middleColourOn = g.middleColourOn != 0 ? 0 : 1;
                }
                if (pf::Window* middle = child(kIdMiddle))
                    middle->enable(g.middleColourOn != 0);
                RenderAndRefresh();
                return 0;
            }
        }
        if (code == pf::EN_CHANGE && m_type == BackgroundGenerator::kChecker && !m_updating &&
            (id == kIdFirstText || id == kIdSecondText || id == kIdThirdText) && child(id) != nullptr) {
            // The angle in degrees, the cell sizes, which are never below 0: text was read as 0, "nan" kept.
            constexpr double kLargest = std::numeric_limits<float>::max();
            const double low = id == kIdFirstText ? -kLargest : 0.0;
            const TypedNumber typed = ReadTypedNumber(child(id)->getText(), low, kLargest);
            if (typed.kind != TypedKind::kNumber) {
                RefuseTypedText(
                    child(id),
                    [&] {
                        return Format(id == kIdFirstText ? angle * kRadiansToDegrees
                                                         : g.parameters[id == kIdSecondText ? 0 : 1]);
                    },
                    m_updating, low, kLargest);
                RenderAndRefresh();
                if (auto* dial = id == kIdFirstText ? item<CVTND_AngularInput>(kIdDial) : nullptr) {
                    const float kept = angle;
                    dial->SetAngle(&kept);
                }
            }
            if (typed.kind != TypedKind::kNumber)
                return 0;
            BeginTypedEdit(child(id), [&g, parameters = g.parameters, world = Description().GetWorld()] {
                const CVTND_WorldWriteLock lock(world);
                g.parameters = parameters;
            });
            const auto value = static_cast<float>(typed.value);
            if (id == kIdFirstText) {
                const float radians = value * kDegreesToRadians;
                m_updating = true;
                {
                    CVTND_WorldWriteLock lock(Description().GetWorld());
                    angle = radians;
                }
                RenderAndRefresh();
                if (auto* dial = item<CVTND_AngularInput>(kIdDial))
                    dial->SetAngle(&radians);
                m_updating = false;
                return 0;
            }
            if (id == kIdSecondText || id == kIdThirdText) {
                {
                    CVTND_WorldWriteLock lock(Description().GetWorld());
                    g.parameters[id == kIdSecondText ? 0 : 1] = value;
                }
                RenderAndRefresh();
                return 0;
            }
        }
        break;
    }
    default:
        break;
    }
    return CVTND_ColorEffectPage::handle(msg);
}

void CVTND_CE_LinearGradientDlg::LoadControls(BackgroundGenerator& generator)
{
    float angle = generator.parameters[0];
    if (angle < 0.0f)
        angle += kTwoPi;
    if (auto* dial = item<CVTND_AngularInput>(kIdDial))
        dial->SetAngle(&angle);
    SetNumberText(kIdFirstText, generator.parameters[0] * kRadiansToDegrees);
}

void CVTND_CE_RadialGradientDlg::LoadControls(BackgroundGenerator& generator)
{
    if (auto* picker = item<CVTND_InPositionInput>(kIdPicker))
        picker->SetPoint(generator.parameters[0], generator.parameters[1]);
    SetNumberText(kIdFirstText, generator.parameters[0]);
    SetNumberText(kIdSecondText, generator.parameters[1]);
}

void CVTND_CE_BlenderCheckerDlg::LoadControls(BackgroundGenerator& generator)
{
    float angle = generator.parameters[2];
    if (angle < 0.0f)
        angle += kTwoPi;
    if (auto* dial = item<CVTND_AngularInput>(kIdDial))
        dial->SetAngle(&angle);
    SetNumberText(kIdFirstText, generator.parameters[2] * kRadiansToDegrees);
    SetNumberText(kIdSecondText, generator.parameters[0]);
    SetNumberText(kIdThirdText, generator.parameters[1]);
}

void CVTND_CE_CornerGradientDlg::LoadControls(BackgroundGenerator&) {}

// -- The hosts' side

int32_t FirstColorEffectPage(const SWbackgroundaction& description)
{
    const SWtexture* own = description.GetOwnPicture();
    if (own == nullptr)
        return description.GetTextureName() ? 1 : 0;
    const auto* picture = dynamic_cast<const SWpicture*>(own);
    if (picture == nullptr)
        return 1;
    switch (picture->GetGenerator().type) {
    case BackgroundGenerator::kLinear:
        return 2;
    case BackgroundGenerator::kRadial:
        return 3;
    case BackgroundGenerator::kChecker:
        return 5;
    case BackgroundGenerator::kCorner:
        return 4;
    default:
        return 0;
    }
}

std::unique_ptr<CVTND_ColorEffectPage> MakeColorEffectPage(SWbackgroundaction& description, int32_t index)
{
    static constexpr uint16_t kTypes[] = {0,
                                          0,
                                          BackgroundGenerator::kLinear,
                                          BackgroundGenerator::kRadial,
                                          BackgroundGenerator::kCorner,
                                          BackgroundGenerator::kChecker};
    static constexpr const char* kNames[] = {"", "", "GRL", "GRA", "GCO", "CHK"};
    if (index < 0 || index >= kColorEffectPageCount)
        return nullptr;
    {
        CVTND_WorldWriteLock lock(description.GetWorld());
        const SWpicture* own = OwnPictureOf(description);
        if (index == 0) {
            description.SetOwnPicture(nullptr); // a world texture is only let go: the action never owns one
            description.SetTextureName(std::nullopt);
        } else if (index == 1) {
            if (description.GetOwnPicture() != nullptr) {
                description.SetOwnPicture(nullptr);
                description.SetTextureName(std::nullopt);
            }
        } else if (own == nullptr || own->GetGenerator().type != kTypes[index]) {
            description.SetTextureName(std::nullopt);
            description.SetOwnPicture(std::make_unique<SWpicture>(kNames[index], 256, 256, kTypes[index]));
        }
    }
    switch (index) {
    case 0:
        return std::make_unique<CVTND_CE_SolidColorDlg>(description);
    case 1:
        return std::make_unique<CVTND_CE_TextureDlg>(description);
    case 2:
        return std::make_unique<CVTND_CE_LinearGradientDlg>(description);
    case 3:
        return std::make_unique<CVTND_CE_RadialGradientDlg>(description);
    case 4:
        return std::make_unique<CVTND_CE_CornerGradientDlg>(description);
    default:
        return std::make_unique<CVTND_CE_BlenderCheckerDlg>(description);
    }
}

void CloseColorEffectPage(std::unique_ptr<CVTND_ColorEffectPage>& page)
{
    if (page != nullptr && page->isWindow())
        page->destroy();
    page.reset();
}
