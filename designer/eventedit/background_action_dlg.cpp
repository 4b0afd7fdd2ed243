#include "designer/eventedit/background_action_dlg.h"

#include "designer/app/notification.h"
#include "designer/workspace/editor_texts.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/scene_handlers.h"
#include "engine/core/world.h"
#include "platform/base/user_constants.h"
#include "platform/ui/controls/combo_box.h"

namespace {

const CVTND_EditorRegistration kBackgroundEditor(ObjectType::kAction, 19, &MakeActionEditor<CVTND_ActionBackgroundDlg>);

} // namespace

CVTND_ActionBackgroundDlg::CVTND_ActionBackgroundDlg(SWactionnode* action, CVTND_EditDialog* record)
    : CVTND_ActionEditorDlg(action, record),
      m_guard(std::make_unique<CVTND_BackgroundTestGuard>(action != nullptr ? action->GetWorld() : nullptr))
{
}

CVTND_ActionBackgroundDlg::~CVTND_ActionBackgroundDlg() = default;

SWbackgroundaction* CVTND_ActionBackgroundDlg::Background() const
{
    return dynamic_cast<SWbackgroundaction*>(Action());
}

bool CVTND_ActionBackgroundDlg::onInitDialog()
{
    auto* kinds = item<pf::ComboBox>(kIdKind);
    for (uint32_t text = kIdsPageSolid; text <= kIdsPageChecker; ++text)
        kinds->addString(EditorTextOf(text));
    if (Background() == nullptr)
        return true;
    const int32_t first = FirstColorEffectPage(*Background());
    kinds->setCurSel(first);
    ShowPage(first);
    return true;
}

void CVTND_ActionBackgroundDlg::ShowPage(int32_t index)
{
    CloseColorEffectPage(m_page);
    m_pageIndex = index;
    if (Background() == nullptr)
        return;
    m_page = MakeColorEffectPage(*Background(), index);
    if (m_page != nullptr && !m_page->CreatePage(this))
        m_page.reset();
}

void CVTND_ActionBackgroundDlg::OnTest()
{
    SWworld* world = Action()->GetWorld();
    if (world == nullptr || Background() == nullptr)
        return;
    m_guard->BeforeTest();
    // The handler hands the new definition to every window with a renderer, shown or not.
    SWworldlock lock(*world);
    DoActionSetBackground(world, Background());
}

void CVTND_ActionBackgroundDlg::OnNotify(const CVTND_Event& event)
{
    if (m_page != nullptr && m_page->isWindow())
        m_page->send(kMsgDesignerNotify, 0, reinterpret_cast<pf::LParam>(&event));
}

void CVTND_ActionBackgroundDlg::OnClosing()
{
    m_guard->Restore(); // the action keeps its edits; the world's background is the project's again
    CloseColorEffectPage(m_page);
}

pf::LResult CVTND_ActionBackgroundDlg::handle(const pf::Msg& msg)
{
    if (HandleColorEffectHostCommand(*this, msg))
        return 0;
    return CVTND_ActionEditorDlg::handle(msg);
}
