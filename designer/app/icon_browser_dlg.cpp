#include "designer/app/icon_browser_dlg.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "designer/app/designer_app.h"
#include "designer/app/editor_settings.h"
#include "designer/app/extended_world.h"
#include "designer/app/notification.h"
#include "designer/app/registry.h"
#include "engine/core/cursor_list.h"
#include "platform/base/user_constants.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/controls/list_view.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/providers/providers.h"

namespace {

constexpr size_t kMaxListed = 4096; // a folder of more icons is listed in part: the list stays usable

// The chosen icon at its own size and at twice it, over the dialog's face.
class IconPreview final : public pf::Window {
public:
    void Show(pf::IconRef icon)
    {
        m_icon = std::move(icon);
        invalidate();
    }

protected:
    pf::LResult handle(const pf::Msg& msg) override
    {
        if (msg.message == pf::WM_ERASEBKGND)
            return 1;
        if (msg.message != pf::WM_PAINT)
            return pf::Window::handle(msg);
        pf::PaintDc dc(*this);
        const pf::Rect client = clientRect();
        const uint32_t face = pf::getSysColor(pf::COLOR_BTNFACE);
        dc.fillRect(client, pf::createSolidBrush(face));
        dc.draw3dRect(client, pf::getSysColor(pf::COLOR_BTNSHADOW), pf::getSysColor(pf::COLOR_BTNHIGHLIGHT));
        if (m_icon == nullptr)
            return 0;
        const auto under = ((face & 0xFF) << 16) | (face & 0xFF00) | ((face >> 16) & 0xFF); // COLORREF to RGB
        int32_t left = 6;
        for (const int32_t scale : {1, 2}) {
            for (int32_t y = 0; y < m_icon->height() && 6 + (y + 1) * scale < client.b; ++y)
                for (int32_t x = 0; x < m_icon->width() && left + (x + 1) * scale < client.r; ++x) {
                    const uint32_t rgb = m_icon->composeOver(x, y, under);
                    const pf::ColorRef colour = ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
                    dc.fillRect(pf::Rect::fromXywh(left + x * scale, 6 + y * scale, scale, scale),
                                pf::createSolidBrush(colour));
                }
            left += m_icon->width() + 8;
        }
        return 0;
    }

private:
    pf::IconRef m_icon;
};

void RegisterTemplate()
{
    using namespace pf;
    registerTemplate({kIddIconBrowser,
                      "Choose an Icon",
                      {420, 330},
                      WS_POPUP | WS_CAPTION,
                      {
                          {"static", -1, {8, 10, 50, 26}, 0, "Folder:"},
                          {"edit", CVTND_IconBrowserDlg::kIdFolder, {52, 8, 320, 28}, WS_BORDER | ES_READONLY, ""},
                          {"button", CVTND_IconBrowserDlg::kIdBrowse, {326, 6, 412, 30}, WS_TABSTOP, "Browse..."},
                          {"listview",
                           CVTND_IconBrowserDlg::kIdList,
                           {8, 36, 200, 290},
                           WS_TABSTOP | WS_BORDER | WS_VSCROLL | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                           ""},
                          {"button", IDOK, {244, 296, 324, 322}, WS_TABSTOP | BS_DEFPUSHBUTTON, "OK"},
                          {"button", IDCANCEL, {332, 296, 412, 322}, WS_TABSTOP, "Cancel"},
                      }});
}

struct Registrations {
    Registrations()
    {
        RegisterTemplate();
        CVTND_EditorSettings::Register({kSettingIconFolder, "icon folder", SettingKind::kString, 0, ""});
    }
};
const Registrations kRegistrations;
const CVTND_ModalToolRegistration kBrowser(ModalTool::kIconBrowser, &CVTND_IconBrowserDlg::Run);

} // namespace

CVTND_IconBrowserDlg::CVTND_IconBrowserDlg(CVTNDesignerApp& app, SWcursor* cursor) : m_app(app), m_cursor(cursor) {}

CVTND_IconBrowserDlg::~CVTND_IconBrowserDlg()
{
    StopScan();
}

int32_t CVTND_IconBrowserDlg::Run(CVTNDesignerApp& app, const CVTND_ModalRequest& request)
{
    auto* cursor =
        request.subject.IsType(ObjectType::kCursor) ? static_cast<SWcursor*>(request.subject.GetObject()) : nullptr;
    CVTND_IconBrowserDlg dialog(app, cursor);
    return dialog.doModal(kIddIconBrowser, request.owner);
}

bool CVTND_IconBrowserDlg::onInitDialog()
{
    if (auto* list = item<pf::ListView>(kIdList))
        list->insertColumn(0, "File", 170);
    m_preview = std::make_unique<IconPreview>();
    m_preview->create({"", "", pf::WS_CHILD | pf::WS_VISIBLE, 0, {208, 36, 412, 290}, hwnd(), kIdPreview});
    std::string folder;
    if (CVTND_EditorSettings* settings = m_app.GetSettings())
        folder = settings->GetString(kSettingIconFolder);
    if (folder.empty() && m_cursor != nullptr && !m_cursor->imageFile.empty())
        folder = std::filesystem::path(m_cursor->imageFile).parent_path().string();
    SetFolder(folder);
    return true;
}

void CVTND_IconBrowserDlg::StopScan()
{
    ++m_generation; // whatever the old scan still posts is dropped
    m_scan.Stop();
    const std::lock_guard hold(m_lock);
    m_pending.clear();
}

void CVTND_IconBrowserDlg::SetFolder(const std::string& folder)
{
    StopScan();
    m_folder = folder;
    m_found.clear();
    if (auto* list = item<pf::ListView>(kIdList))
        list->deleteAllItems();
    if (pf::Window* edit = child(kIdFolder))
        edit->setText(folder);
    if (folder.empty() || !isWindow())
        return;
    const uint64_t generation = m_generation.load();
    const pf::Hwnd target = hwnd();
    m_scan.Start([folder, generation, target, this](std::stop_token stop) {
        Scan(std::move(stop), folder, generation, target, this);
    });
}

// The scanning thread: reads each icon file of the folder, in name order, and hands what reads to the dialog.
void CVTND_IconBrowserDlg::Scan(std::stop_token stop, std::string folder, uint64_t generation, pf::Hwnd target,
                                CVTND_IconBrowserDlg* self)
{
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (stop.stop_requested() || names.size() >= kMaxListed)
            break;
        std::error_code kindError;
        if (it->is_regular_file(kindError) && IconKindOfName(it->path().filename().string()) != IconFileKind::kUnknown)
            names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        if (stop.stop_requested())
            return;
        Found found{name, {}};
        std::string reason;
        if (!ReadIconFile((std::filesystem::path(folder) / name).string(), found.image, reason))
            continue; // a damaged file is simply not offered
        {
            const std::lock_guard hold(self->m_lock);
            if (self->m_generation.load() != generation)
                return;
            self->m_pending.push_back(std::move(found));
        }
        pf::ui().post(target, kMsgScanned, static_cast<pf::WParam>(generation));
    }
}

void CVTND_IconBrowserDlg::TakeScanned(uint64_t generation)
{
    if (generation != m_generation.load())
        return;
    std::vector<Found> taken;
    {
        const std::lock_guard hold(m_lock);
        taken.swap(m_pending);
    }
    auto* list = item<pf::ListView>(kIdList);
    for (Found& found : taken) {
        if (list != nullptr)
            list->insertItem(list->getItemCount(), found.fileName);
        m_found.push_back(std::move(found));
    }
}

int32_t CVTND_IconBrowserDlg::GetSelected() const
{
    const auto* list = item<pf::ListView>(kIdList);
    const int32_t index = list != nullptr ? list->getNextSelected() : -1;
    return index >= 0 && static_cast<size_t>(index) < m_found.size() ? index : -1;
}

pf::LResult CVTND_IconBrowserDlg::handle(const pf::Msg& msg)
{
    switch (msg.message) {
    case kMsgScanned:
        TakeScanned(static_cast<uint64_t>(msg.wParam));
        return 0;
    case pf::WM_DESTROY:
        StopScan();
        return pf::Dialog::handle(msg);
    case pf::WM_COMMAND:
        if (pf::loWord(msg.wParam) == kIdBrowse) {
            if (const std::optional<std::string> folder =
                    pf::ui().providers().fileDialog().pickFolder(hwnd(), "Icon Folder", m_folder)) {
                if (CVTND_EditorSettings* settings = m_app.GetSettings())
                    settings->SetString(kSettingIconFolder, *folder);
                SetFolder(*folder);
            }
            return 0;
        }
        return pf::Dialog::handle(msg);
    case pf::WM_NOTIFY:
        if (const auto* nm = pf::notifyRecord<pf::NMLISTVIEW>(msg.lParam);
            nm->hdr.code == pf::LVN_ITEMCHANGED && nm->hdr.idFrom == static_cast<uintptr_t>(kIdList)) {
            const int32_t index = GetSelected();
            if (auto* preview = dynamic_cast<IconPreview*>(child(kIdPreview)))
                preview->Show(index >= 0 ? m_found[static_cast<size_t>(index)].image.MakeIcon() : nullptr);
        }
        return pf::Dialog::handle(msg);
    default:
        return pf::Dialog::handle(msg);
    }
}

void CVTND_IconBrowserDlg::onOK()
{
    const int32_t index = GetSelected();
    if (index < 0 || m_cursor == nullptr) {
        endDialog(pf::IDCANCEL);
        return;
    }
    const Found& found = m_found[static_cast<size_t>(index)];
    {
        CVTND_ExtendedWorld* world = m_app.GetWorld();
        if (world != nullptr)
            world->Lock();
        m_cursor->imageFile = (std::filesystem::path(m_folder) / found.fileName).string();
        m_cursor->hotSpotX = found.image.hotSpotX;
        m_cursor->hotSpotY = found.image.hotSpotY;
        if (world != nullptr)
            world->Unlock();
    }
    m_app.SetModified();
    m_app.Broadcast(CVTND_Event(EventCode::kChanged, CVTND_Object(m_cursor)));
    endDialog(pf::IDOK);
}
