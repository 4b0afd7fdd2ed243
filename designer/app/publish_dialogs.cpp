#include "designer/app/publish_dialogs.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_map>
#include <unordered_set>

#include "designer/app/designer_app.h"
#include "designer/app/preview_sphere_aside.h"
#include "designer/app/project.h"
#include "designer/app/publish_worker.h"
#include "engine/core/mesh_node.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/sync_event.h"
#include "engine/core/type_tag.h"
#include "engine/core/world.h"
#include "engine/resources/geometry.h"
#include "engine/resources/mesh_schemes.h"
#include "engine/resources/sound.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/list_view.h"
#include "platform/ui/controls/progress_bar.h"
#include "platform/ui/controls/tab_control.h"
#include "platform/ui/core/paint_dc.h"

namespace {

constexpr uint32_t kWaveCodecRow = MakeTag("7498"); // the one sound row that stores at the sound's quality
constexpr uint32_t kPollTimer = 1;
constexpr std::array<const char*, 5> kTabNames = {"Object motion", "Node motion", "Sound", "Geometry", "HTML page"};
const pf::Rect kPicture = pf::Rect::fromXywh(14, 14, 32, 32);

std::string NodeName(const SWnode& node)
{
    return node.GetName() ? *node.GetName() : "(unnamed node " + std::to_string(node.GetId()) + ")";
}

const SWcompressionscheme* RowOrDefault(uint32_t id, SchemeKind kind)
{
    const SWcompressionschemes& table = SWcompressionschemes::Table();
    const SWcompressionscheme* row = id != 0 ? table.FindById(id) : nullptr;
    return row != nullptr && row->GetKind() == kind ? row : table.DefaultOf(kind);
}

std::vector<const SWcompressionscheme*> RowsFor(const CVTND_PublishDlg::Entry& entry)
{
    std::vector<const SWcompressionscheme*> rows = SWcompressionschemes::Table().OfferedRows(entry.kind);
    if (entry.row != nullptr && std::find(rows.begin(), rows.end(), entry.row) == rows.end())
        rows.insert(rows.begin(), entry.row);
    return rows;
}

void RegisterPublishTemplates()
{
    pf::registerTemplate(
        {kIddPublish,
         "Publish",
         {560, 380},
         pf::WS_POPUP | pf::WS_CAPTION,
         {
             {"tab", kIdcPublishTabs, {8, 8, 552, 330}, pf::WS_TABSTOP | pf::WS_CLIPSIBLINGS, ""},
             {"listview",
              kIdcPublishList,
              {18, 40, 542, 250},
              pf::WS_TABSTOP | pf::WS_BORDER | pf::LVS_REPORT | pf::LVS_SINGLESEL | pf::LVS_SHOWSELALWAYS,
              ""},
             {"button",
              kIdcPublishHtml,
              {18, 44, 542, 62},
              pf::WS_TABSTOP | pf::BS_AUTOCHECKBOX,
              "Write an HTML page that embeds the published world"},
             {"static", kIdcPublishHtmlNote, {18, 72, 542, 120}, 0, ""},
             {"static", kIdcPublishSchemeLabel, {18, 264, 90, 280}, 0, "Scheme:"},
             {"combobox", kIdcPublishScheme, {90, 260, 400, 280}, pf::WS_TABSTOP | pf::CBS_DROPDOWNLIST, ""},
             {"static", kIdcPublishNote, {18, 290, 542, 322}, 0, ""},
             {"button", pf::IDOK, {380, 344, 460, 368}, pf::WS_TABSTOP | pf::BS_DEFPUSHBUTTON, "Publish"},
             {"button", pf::IDCANCEL, {470, 344, 550, 368}, pf::WS_TABSTOP, "Cancel"},
         }});
    pf::registerTemplate({kIddPublishWait,
                          "Publishing",
                          {360, 96},
                          pf::WS_POPUP | pf::WS_CAPTION,
                          {
                              {"static", kIdcWaitText, {60, 16, 350, 34}, 0, "Preparing the world"},
                              {"msctls_progress32", kIdcWaitBar, {60, 44, 350, 62}, 0, ""},
                          }});
}

} // namespace

// -- The publish dialog

CVTND_PublishDlg::CVTND_PublishDlg(SWworld& world, CVTND_Project& project, int32_t width, int32_t height)
    : m_world(world), m_project(project), m_width(width), m_height(height)
{
    SWnode* top = world.GetRootNode();
    for (SWnode* node = top; node != nullptr; node = node->NextInTree(top)) // object motion: vertex streams
        if (auto* mesh = dynamic_cast<SWmeshnode*>(node); mesh != nullptr && mesh->GetVertexFrameTable() != nullptr)
            m_entries.push_back({NodeName(*mesh), SchemeKind::kVertexStreams, mesh,
                                 RowOrDefault(mesh->GetVertexSchemeId(), SchemeKind::kVertexStreams), -1});
    for (SWnode* node = top; node != nullptr; node = node->NextInTree(top)) // node motion: key frames
        if (auto* object = dynamic_cast<SWobjectnode*>(node);
            object != nullptr && object->GetAnimationTracks().GetTrackCount() != 0)
            m_entries.push_back({NodeName(*object), SchemeKind::kKeyFrames, object,
                                 RowOrDefault(object->GetKeyFrameSchemeId(), SchemeKind::kKeyFrames), -1});
    for (SWsound* s = world.GetSoundList().GetFirst(); s != nullptr; s = world.GetSoundList().GetNext(s))
        m_entries.push_back(
            {s->GetName(), SchemeKind::kSound, s,
             s->GetScheme() ? s->GetScheme() : SWcompressionschemes::Table().DefaultOf(SchemeKind::kSound),
             static_cast<int32_t>(s->GetQualityPercent())});
    // Each mesh's first drawer, which names it apart from meshes of the same name (scenes added to one project
    // keep theirs), and whether a drawer has vertex frames, which the geometry codec cannot keep: the writer then
    // stores the mesh uncompressed, and the page says so before the publish.
    std::unordered_map<const SWgeometry*, const SWnode*> drawers;
    std::unordered_set<const SWgeometry*> framed;
    for (SWnode* node = top; node != nullptr; node = node->NextInTree(top)) {
        if (node->GetGeometry() == nullptr)
            continue;
        drawers.try_emplace(node->GetGeometry(), node);
        if (const auto* mesh = dynamic_cast<const SWmeshnode*>(node); mesh != nullptr && mesh->GetVertexFrameTable())
            framed.insert(node->GetGeometry());
    }
    const auto listed = [](SWgeometry* g) {
        auto* choice = dynamic_cast<SWschemechoice*>(g);
        return !IsPreviewSphere(g) && choice != nullptr && choice->GetSchemeKind() == SchemeKind::kMesh ? choice
                                                                                                        : nullptr;
    }; // the material editor's preview sphere is not the world's
    std::unordered_map<std::string, int32_t> named;
    for (SWgeometry* g = world.GetRootObject()->GetFirstGeometry(); g != nullptr;
         g = dynamic_cast<SWgeometry*>(g->GetNextSibling()))
        if (listed(g) != nullptr)
            ++named[g->GetName()];
    int32_t undrawn = 0;
    for (SWgeometry* g = world.GetRootObject()->GetFirstGeometry(); g != nullptr;
         g = dynamic_cast<SWgeometry*>(g->GetNextSibling())) {
        SWschemechoice* choice = listed(g);
        if (choice == nullptr)
            continue;
        std::string name = g->GetName();
        if (named[name] > 1) {
            const auto drawer = drawers.find(g);
            name += drawer != drawers.end() ? " (" + NodeName(*drawer->second) + ")"
                                            : " (not drawn, " + std::to_string(++undrawn) + ")";
        }
        m_entries.push_back(
            {std::move(name), SchemeKind::kMesh, g,
             choice->GetScheme() ? choice->GetScheme() : SWcompressionschemes::Table().DefaultOf(SchemeKind::kMesh), -1,
             framed.count(g) != 0 ? SWgeometrycodecscheme::kWordNodeHasVertexFrames : 0u});
    }
    for (const Entry& entry : m_entries)
        m_shownRows.push_back(entry.row);
}

SchemeKind CVTND_PublishDlg::KindOf(PublishTab tab)
{
    switch (tab) {
    case PublishTab::kObjectMotion:
        return SchemeKind::kVertexStreams;
    case PublishTab::kNodeMotion:
        return SchemeKind::kKeyFrames;
    case PublishTab::kSound:
        return SchemeKind::kSound;
    default:
        return SchemeKind::kMesh;
    }
}

int32_t CVTND_PublishDlg::Run(pf::Window& owner)
{
    RegisterPublishTemplates();
    return doModal(kIddPublish, &owner);
}

bool CVTND_PublishDlg::onInitDialog()
{
    auto* tabs = item<pf::TabControl>(kIdcPublishTabs);
    for (size_t i = 0; i < kTabNames.size(); ++i)
        tabs->insertItem(static_cast<int32_t>(i), kTabNames[i]);
    auto* list = item<pf::ListView>(kIdcPublishList);
    list->insertColumn(0, "Object", 190);
    list->insertColumn(1, "Scheme", 150);
    list->insertColumn(2, "Note", 180);
    item<pf::Button>(kIdcPublishHtml)->setCheck(m_project.GetHtmlOption() ? pf::BST_CHECKED : pf::BST_UNCHECKED);
    child(kIdcPublishHtmlNote)
        ->setText("Beside the published file, at the active 3D view's size: " + std::to_string(m_width) + " x " +
                  std::to_string(m_height) + ".");
    ShowTab(PublishTab::kObjectMotion);
    return true;
}

void CVTND_PublishDlg::ShowTab(PublishTab tab)
{
    m_tab = tab;
    item<pf::TabControl>(kIdcPublishTabs)->setCurSel(static_cast<int32_t>(tab));
    const bool html = tab == PublishTab::kHtml;
    for (const int32_t id : {kIdcPublishList, kIdcPublishSchemeLabel, kIdcPublishScheme, kIdcPublishNote})
        child(id)->show(html ? pf::SW_HIDE : pf::SW_SHOW);
    for (const int32_t id : {kIdcPublishHtml, kIdcPublishHtmlNote})
        child(id)->show(html ? pf::SW_SHOW : pf::SW_HIDE);
    auto* list = item<pf::ListView>(kIdcPublishList);
    m_shown.clear();
    m_selected = -1;
    list->deleteAllItems();
    if (html)
        return;
    const SchemeKind kind = KindOf(tab);
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].kind != kind)
            continue;
        const int32_t at = list->insertItem(static_cast<int32_t>(m_shown.size()), m_entries[i].name);
        m_shown.push_back(i);
        RefreshRow(at);
    }
    list->fitColumnsToContent();
    if (m_shown.empty()) {
        item<pf::ComboBox>(kIdcPublishScheme)->resetContent();
        child(kIdcPublishScheme)->enable(false);
        child(kIdcPublishNote)->setText("Nothing of this kind is in the world.");
        return;
    }
    child(kIdcPublishScheme)->enable(true);
    list->setItemState(0, pf::LVIS_SELECTED, pf::LVIS_SELECTED); // LVN_ITEMCHANGED selects the row
    if (m_selected < 0)
        SelectRow(0);
}

std::string CVTND_PublishDlg::NoteOf(const Entry& entry) const
{
    if (entry.row == nullptr)
        return "No scheme can store it";
    if (entry.kind == SchemeKind::kSound && entry.row->GetId() == kWaveCodecRow)
        return "Quality " + std::to_string(entry.quality) + "%";
    if (const auto* codec = dynamic_cast<const SWgeometrycodecscheme*>(entry.row))
        if (const std::optional<std::string> why = codec->DescribeStored(entry.object, entry.word))
            return *why;
    if (entry.kind == SchemeKind::kSound || entry.kind == SchemeKind::kMesh)
        if (const std::optional<std::string> why = entry.row->Describe(entry.object))
            return *why;
    return entry.row->GetLongName();
}

void CVTND_PublishDlg::RefreshRow(int32_t item)
{
    if (item < 0 || static_cast<size_t>(item) >= m_shown.size())
        return;
    const Entry& entry = m_entries[m_shown[static_cast<size_t>(item)]];
    auto* list = this->item<pf::ListView>(kIdcPublishList);
    list->setItemText(item, 1, entry.row != nullptr ? entry.row->GetShortName() : "");
    list->setItemText(item, 2, NoteOf(entry));
}

void CVTND_PublishDlg::SelectRow(int32_t item)
{
    if (item < 0 || static_cast<size_t>(item) >= m_shown.size())
        return;
    m_selected = item;
    const Entry& entry = m_entries[m_shown[static_cast<size_t>(item)]];
    auto* combo = this->item<pf::ComboBox>(kIdcPublishScheme);
    combo->resetContent();
    const std::vector<const SWcompressionscheme*> rows = RowsFor(entry);
    for (const SWcompressionscheme* row : rows) {
        const int32_t at = combo->addString(row->GetShortName() + " - " + row->GetLongName());
        combo->setItemData(at, reinterpret_cast<intptr_t>(row));
        if (row == entry.row)
            combo->setCurSel(at);
    }
    child(kIdcPublishNote)->setText(entry.name + ": " + NoteOf(entry));
}

void CVTND_PublishDlg::ChooseScheme(int32_t comboIndex)
{
    if (m_selected < 0 || comboIndex < 0)
        return;
    Entry& entry = m_entries[m_shown[static_cast<size_t>(m_selected)]];
    entry.row =
        reinterpret_cast<const SWcompressionscheme*>(item<pf::ComboBox>(kIdcPublishScheme)->getItemData(comboIndex));
    RefreshRow(m_selected);
    item<pf::ListView>(kIdcPublishList)->fitColumnsToContent();
    child(kIdcPublishNote)->setText(entry.name + ": " + NoteOf(entry));
}

pf::LResult CVTND_PublishDlg::handle(const pf::Msg& msg)
{
    if (msg.message == pf::WM_NOTIFY) {
        const auto* header = pf::notifyRecord<pf::NMHDR>(msg.lParam);
        if (header->idFrom == static_cast<uintptr_t>(kIdcPublishTabs) && header->code == pf::TCN_SELCHANGE) {
            ShowTab(static_cast<PublishTab>(item<pf::TabControl>(kIdcPublishTabs)->getCurSel()));
            return 0;
        }
        if (header->idFrom == static_cast<uintptr_t>(kIdcPublishList) && header->code == pf::LVN_ITEMCHANGED) {
            const auto* change = pf::notifyRecord<pf::NMLISTVIEW>(msg.lParam);
            if ((change->uNewState & pf::LVIS_SELECTED) != 0 && (change->uOldState & pf::LVIS_SELECTED) == 0)
                SelectRow(change->iItem);
            return 0;
        }
    }
    if (msg.message == pf::WM_COMMAND && pf::loWord(msg.wParam) == kIdcPublishScheme &&
        static_cast<int32_t>(pf::hiWord(msg.wParam)) == pf::CBN_SELCHANGE) {
        ChooseScheme(item<pf::ComboBox>(kIdcPublishScheme)->getCurSel());
        return 0;
    }
    return pf::Dialog::handle(msg);
}

void CVTND_PublishDlg::onOK()
{
    // Only what the person chose is stored: a row left as the dialog showed it (a kind's default stands for "none")
    // stays as the project holds it, so that an unchanged project keeps its bytes.
    bool changed = false;
    {
        const SWworldlock hold(m_world);
        for (size_t i = 0; i < m_entries.size(); ++i) {
            const Entry& entry = m_entries[i];
            if (entry.row == m_shownRows[i])
                continue;
            changed = true;
            switch (entry.kind) {
            case SchemeKind::kVertexStreams:
                static_cast<SWmeshnode*>(entry.object)->SetVertexSchemeId(entry.row ? entry.row->GetId() : 0);
                break;
            case SchemeKind::kKeyFrames:
                static_cast<SWobjectnode*>(entry.object)->SetKeyFrameSchemeId(entry.row ? entry.row->GetId() : 0);
                break;
            case SchemeKind::kSound:
                static_cast<SWsound*>(entry.object)->SetScheme(entry.row);
                break;
            case SchemeKind::kMesh:
                if (auto* choice = dynamic_cast<SWschemechoice*>(entry.object))
                    choice->SetScheme(entry.row);
                break;
            }
        }
    }
    const bool html = item<pf::Button>(kIdcPublishHtml)->getCheck() == pf::BST_CHECKED;
    changed = changed || html != m_project.GetHtmlOption();
    m_project.SetHtmlOption(html);
    // The project stores these choices: a save must keep them, and Exit must ask before they are lost.
    if (CVTNDesignerApp* app = GetDesignerApp(); changed && app != nullptr && app->GetProject() == &m_project)
        app->SetModified();
    endDialog(pf::IDOK);
}

// -- The wait dialog

std::string CVTND_WaitDlg::StepText(const char* section, uint32_t done, uint32_t total)
{
    if (total == 0)
        return "Preparing the world";
    return std::string("Writing ") + (section != nullptr && *section != '\0' ? section : "resources") + ": " +
           std::to_string(done) + " of " + std::to_string(total);
}

int32_t CVTND_WaitDlg::Run(pf::Window& owner)
{
    RegisterPublishTemplates();
    return doModal(kIddPublishWait, &owner);
}

bool CVTND_WaitDlg::onInitDialog()
{
    setTimer(kPollTimer, kPollMs);
    Poll();
    return false;
}

void CVTND_WaitDlg::Poll()
{
    ++m_polls;
    if (m_worker != nullptr) {
        const uint32_t total = m_worker->Total();
        const uint32_t done = std::min(m_worker->Done(), total);
        auto* bar = item<pf::ProgressBar>(kIdcWaitBar);
        if (bar->getRangeMax() != static_cast<int32_t>(total))
            bar->setRange(0, static_cast<int32_t>(total));
        bar->setPos(static_cast<int32_t>(done));
        const std::string text = StepText(m_worker->Section(), done, total);
        if (child(kIdcWaitText)->text() != text)
            child(kIdcWaitText)->setText(text);
    }
    invalidate(kPicture, false);
    if (m_finished.IsSet()) {
        killTimer(kPollTimer);
        endDialog(pf::IDOK);
    }
}

// Eight dots round a circle, the brightest one a step further at each poll.
void CVTND_WaitDlg::PaintPicture()
{
    pf::PaintDc dc(*this);
    dc.fillRect(kPicture, pf::createSolidBrush(pf::getSysColor(pf::COLOR_BTNFACE)));
    constexpr int kDots = 8;
    const int32_t cx = kPicture.l + 16;
    const int32_t cy = kPicture.t + 16;
    const pf::Pen none = pf::createPen(pf::PS_NULL, 0, 0);
    const pf::Pen oldPen = dc.selectPen(none);
    for (int i = 0; i < kDots; ++i) {
        const int age = (static_cast<int>(m_polls) - i + kDots * 1000) % kDots;
        const auto shade = static_cast<uint8_t>(std::min(230, 40 + age * 26));
        const double angle = 2.0 * 3.14159265358979 * i / kDots;
        const int32_t x = cx + static_cast<int32_t>(std::lround(11.0 * std::cos(angle)));
        const int32_t y = cy + static_cast<int32_t>(std::lround(11.0 * std::sin(angle)));
        const pf::Brush brush = pf::createSolidBrush(pf::rgb(shade, shade, 255));
        const pf::Brush old = dc.selectBrush(brush);
        dc.ellipse({x - 4, y - 4, x + 4, y + 4});
        dc.selectBrush(old);
    }
    dc.selectPen(oldPen);
}

pf::LResult CVTND_WaitDlg::handle(const pf::Msg& msg)
{
    switch (msg.message) {
    case pf::WM_TIMER:
        if (msg.wParam == kPollTimer) {
            Poll();
            return 0;
        }
        break;
    case pf::WM_PAINT:
        PaintPicture();
        return 0;
    case pf::WM_CLOSE:
        return 0; // nothing stops the write halfway
    default:
        break;
    }
    return pf::Dialog::handle(msg);
}
