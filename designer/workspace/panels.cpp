#include "designer/workspace/panels.h"

#include <algorithm>

#include "designer/app/app_registrations.h"
#include "designer/app/startup.h"
#include "designer/workspace/java_dlg.h"
#include "designer/workspace/list_panels.h"
#include "designer/workspace/manipulate_dlg.h"
#include "designer/workspace/panel_dlg.h"
#include "designer/workspace/properties_dlg.h"
#include "designer/workspace/scenegraph_dlg.h"
#include "designer/workspace/tree_panels.h"
#include "platform/display/screen.h"
#include "platform/settings/profile.h"
#include "platform/ui/core/menu.h"
#include "platform/ui/core/ui.h"

namespace {

struct BarSpec {
    const char* name;
    const char* title;
    DockSide side;
    int32_t size;
};

// Bar order: the order of the View menu's entries, of the settings sections and of the bars on one side.
constexpr BarSpec kBars[CVTND_Panels::kCount] = {
    {"SceneGraph", "Scene graph", DockSide::kLeft, 220},
    {"Events", "Events", DockSide::kLeft, 220},
    {"Actions", "Actions", DockSide::kLeft, 220},
    {"Properties", "Properties", DockSide::kRight, 250},
    {"Manipulate", "Manipulate", DockSide::kRight, 250},
    {"Expressions", "Expressions", DockSide::kBottom, 150},
    {"Java", "Java", DockSide::kBottom, 150},
    {"Sounds", "Sounds", DockSide::kBottom, 150},
    {"Cursors", "Cursors", DockSide::kBottom, 150},
    {"Resources", "Resources", DockSide::kBottom, 150},
};

std::unique_ptr<CVTND_PanelDlg> MakeContent(size_t index, CVTNDesignerApp& app)
{
    switch (index) {
    case 0:
        return std::make_unique<CVTND_ScenegraphDlg>(app);
    case 1:
        return std::make_unique<CVTND_EventsDlg>(app);
    case 2:
        return std::make_unique<CVTND_ActionsDlg>(app);
    case 3:
        return std::make_unique<CVTND_PropertiesDlg>(app);
    case 4:
        return std::make_unique<CVTND_ManipulateDlg>(app);
    case 5:
        return std::make_unique<CVTND_ExpressionsDlg>(app);
    case 6:
        return std::make_unique<CVTND_JavaDlg>(app);
    case 7:
        return std::make_unique<CVTND_SoundsDlg>(app);
    case 8:
        return std::make_unique<CVTND_CursorsDlg>(app);
    default:
        return std::make_unique<CVTND_ResourcesDlg>(app);
    }
}

std::unique_ptr<CVTND_AppComponent> MakePanels(CVTNDesignerApp& app, pf::FrameWindow& frame)
{
    CVTND_Designer* designer = CVTND_Designer::Current();
    auto profile = designer != nullptr
                       ? std::make_unique<pf::Profile>(designer->GetStore(), CVTND_Designer::kProfileKey)
                       : nullptr;
    return std::make_unique<CVTND_Panels>(app, frame, std::move(profile));
}

const CVTND_PanelsRegistration kPanels(&MakePanels);
const CVTND_WindowClassRegistration kBarClass(&CVTND_SizingBar::RegisterClass);

} // namespace

CVTND_Panels::CVTND_Panels(CVTNDesignerApp& app, pf::FrameWindow& frame, pf::Profile* profile)
    : m_app(app), m_frame(frame), m_profile(profile)
{
    const pf::Rect work = pf::screen().workArea();
    pf::Menu view = m_frame.menu().subMenu(1);
    if (!view.isNull())
        view.appendItem({0, "", pf::MF_SEPARATOR, {}});
    for (size_t i = 0; i < kCount; ++i) {
        const CVTND_DockState fallback = DefaultState(i, m_frame.screenRect());
        const CVTND_DockState state =
            m_profile != nullptr ? ReadDockState(*m_profile, kBars[i].name, static_cast<int32_t>(i), fallback, work)
                                 : fallback;
        m_bars[i] = std::make_unique<CVTND_SizingBar>(kBars[i].name, static_cast<int32_t>(i), kBars[i].title,
                                                      MakeContent(i, app), *this);
        m_bars[i]->Build(m_frame, state);
        if (!view.isNull())
            view.appendItem({kFirstViewCommand + static_cast<uint32_t>(i),
                             std::string(kBars[i].title) + " Panel",
                             state.visible ? pf::MF_CHECKED : 0u,
                             {}});
    }
    m_frame.setDockSite(this);
    m_frame.recalcLayout();
    // A caption shows where the keyboard is; no message reaches a bar when the focus moves between its controls and
    // another bar's.
    pf::ui().addObserver(this, [this](const pf::Msg& msg) {
        if (msg.message == pf::WM_SETFOCUS || msg.message == pf::WM_KILLFOCUS)
            for (const auto& bar : m_bars)
                if (bar != nullptr)
                    bar->ShowFocus();
    });
}

CVTND_Panels::CVTND_Panels(CVTNDesignerApp& app, pf::FrameWindow& frame, std::unique_ptr<pf::Profile> profile)
    : CVTND_Panels(app, frame, profile.get())
{
    m_ownedProfile = std::move(profile);
}

CVTND_Panels::~CVTND_Panels()
{
    pf::ui().removeObserver(this);
    SaveStates();
    if (m_frame.dockSite() == this)
        m_frame.setDockSite(nullptr);
    for (auto& bar : m_bars)
        bar.reset();
}

CVTND_DockState CVTND_Panels::DefaultState(size_t index, const pf::Rect& frame)
{
    CVTND_DockState state;
    const BarSpec& spec = kBars[std::min(index, kCount - 1)];
    state.side = spec.side;
    state.size = spec.size;
    const int32_t step = static_cast<int32_t>(index) * 24;
    state.floatRect = pf::Rect::fromXywh(frame.l + 80 + step, frame.t + 80 + step, 240, 320);
    return state;
}

const char* CVTND_Panels::BarName(size_t index)
{
    return kBars[std::min(index, kCount - 1)].name;
}

CVTND_SizingBar* CVTND_Panels::FindBar(PanelRole role) const
{
    for (const auto& bar : m_bars)
        if (bar != nullptr && bar->Content().GetRole() == role)
            return bar.get();
    return nullptr;
}

std::vector<CVTND_DockState> CVTND_Panels::States() const
{
    std::vector<CVTND_DockState> states;
    for (const auto& bar : m_bars)
        states.push_back(bar->GetState());
    return states;
}

void CVTND_Panels::SaveStates() const
{
    if (m_profile == nullptr)
        return;
    for (size_t i = 0; i < kCount; ++i)
        WriteDockState(*m_profile, kBars[i].name, static_cast<int32_t>(i), m_bars[i]->GetState());
}

pf::Rect CVTND_Panels::layoutDocked(const pf::Rect& area)
{
    std::vector<pf::Rect> rects;
    const pf::Rect rest = LayoutDockedBars(area, States(), rects);
    m_dockArea = area;
    m_inLayout = true;
    for (size_t i = 0; i < kCount; ++i)
        if (m_bars[i] != nullptr && !m_bars[i]->GetState().floating)
            m_bars[i]->PlaceDocked(rects[i], !rects[i].isEmpty() && NextOnSide(i) < kCount);
    m_inLayout = false;
    return rest;
}

bool CVTND_Panels::dockCommand(uint32_t id)
{
    if (id < kFirstViewCommand || id >= kFirstViewCommand + kCount)
        return false;
    CVTND_SizingBar& bar = *m_bars[id - kFirstViewCommand];
    bar.SetVisible(!bar.GetState().visible);
    return true;
}

void CVTND_Panels::BarChanged()
{
    if (m_inLayout)
        return;
    m_frame.recalcLayout();
    UpdateMenu();
}

size_t CVTND_Panels::NextOnSide(size_t index) const
{
    const DockSide side = m_bars[index]->GetState().side;
    for (size_t j = index + 1; j < kCount; ++j)
        if (IsDocked(m_bars[j]->GetState(), side))
            return j;
    return kCount;
}

std::vector<pf::Window*> CVTND_Panels::panes() const
{
    std::vector<pf::Window*> out;
    for (const auto& bar : m_bars)
        if (bar != nullptr && bar->Content().isWindow() && bar->Content().isVisible())
            out.push_back(&bar->Content());
    return out;
}

size_t CVTND_Panels::IndexOf(const CVTND_SizingBar& bar) const
{
    return static_cast<size_t>(
        std::find_if(m_bars.begin(), m_bars.end(), [&bar](const auto& b) { return b.get() == &bar; }) - m_bars.begin());
}

void CVTND_Panels::MoveSplitter(CVTND_SizingBar& bar, int32_t length)
{
    const size_t index = IndexOf(bar);
    if (index >= kCount || NextOnSide(index) >= kCount)
        return;
    CVTND_SizingBar& next = *m_bars[NextOnSide(index)];
    const int32_t pair = bar.DockedLength() + next.DockedLength();
    if (pair < 2 * kMinSplitPane)
        return;
    // Every bar of the side keeps the length it shows now, so only the two beside the splitter move.
    const DockSide side = bar.GetState().side;
    for (const auto& b : m_bars)
        if (IsDocked(b->GetState(), side))
            b->SetShare(b->DockedLength());
    const int32_t first = std::clamp(length, kMinSplitPane, pair - kMinSplitPane);
    bar.SetShare(first);
    next.SetShare(pair - first);
    BarChanged();
}

// The layout takes a side's thickness from its first shown bar: a drag on any other bar's edge must move them all.
void CVTND_Panels::ResizeSide(CVTND_SizingBar& bar, int32_t size)
{
    const DockSide side = bar.GetState().side;
    for (const auto& b : m_bars) {
        const CVTND_DockState state = b->GetState();
        if (!state.floating && state.side == side)
            b->SetDockedSize(size);
    }
    BarChanged();
}

// The place is the one the layout would give the bar docked there, so the outline shows what the release does. A
// bar joining a side takes the side's thickness, as the layout takes it from the side's first bar.
std::optional<CVTND_DockTarget> CVTND_Panels::DockTargetAt(const CVTND_SizingBar& bar, pf::Point screen) const
{
    const size_t index = IndexOf(bar);
    std::vector<CVTND_DockState> states = States();
    const std::optional<DockSide> side =
        index < kCount ? DockSideAt(m_dockArea, states, m_frame.screenToClient(screen)) : std::nullopt;
    if (!side)
        return std::nullopt;
    CVTND_DockState& moved = states[index];
    for (size_t j = 0; j < kCount; ++j)
        if (j != index && IsDocked(states[j], *side)) {
            moved.size = states[j].size;
            break;
        }
    if (moved.side != *side)
        moved.share = 0;
    moved.side = *side;
    moved.floating = false;
    moved.visible = true;
    std::vector<pf::Rect> rects;
    LayoutDockedBars(m_dockArea, states, rects);
    const pf::Point origin = m_frame.clientToScreen({0, 0});
    return CVTND_DockTarget{side, rects[index].offsetBy(origin.x, origin.y), moved.size};
}

void CVTND_Panels::UpdateMenu()
{
    for (size_t i = 0; i < kCount; ++i)
        m_frame.menu().checkItem(kFirstViewCommand + static_cast<uint32_t>(i),
                                 m_bars[i]->GetState().visible ? pf::MF_CHECKED : 0u);
}
