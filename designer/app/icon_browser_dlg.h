#pragma once
// CVTND_IconBrowserDlg: the modal browser a cursor entry opens. It lists the ICO, XBM and XPM files of a folder (the
// "icon folder" setting; Browse changes it), which a scanning thread reads and posts back as it finds them, shows
// the chosen one at 1x and 2x, and on OK gives the cursor entry the file and its hot spot under the world's lock and
// announces the change. The scan is stopped and joined whenever the folder changes and when the dialog goes.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "designer/app/icon_image.h"
#include "engine/core/thread_handler.h"
#include "platform/ui/dialog/dialog.h"

class CVTNDesignerApp;
class SWcursor;
struct CVTND_ModalRequest;

inline constexpr uint32_t kSettingIconFolder = 25010; // the icon browser's folder
inline constexpr int32_t kIddIconBrowser = 25020;

class CVTND_IconBrowserDlg final : public pf::Dialog {
public:
    static constexpr int32_t kIdFolder = 25021;
    static constexpr int32_t kIdBrowse = 25022;
    static constexpr int32_t kIdList = 25023;
    static constexpr int32_t kIdPreview = 25024;
    static constexpr uint32_t kMsgScanned = pf::WM_USER + 251; // posted by the scan; wParam: its generation

    struct Found {
        std::string fileName; // within the folder
        CVTND_IconImage image;
    };

    CVTND_IconBrowserDlg(CVTNDesignerApp& app, SWcursor* cursor); // cursor: the world's entry, or null
    ~CVTND_IconBrowserDlg() override;                             // the scan stopped and joined

    void SetFolder(const std::string& folder); // the running scan stopped, the list emptied, the new one scanned
    const std::string& GetFolder() const { return m_folder; }
    const std::vector<Found>& GetFound() const { return m_found; } // in the order the scan posted them
    bool IsScanning() const { return m_scan.IsRunning(); }
    int32_t GetSelected() const; // the index in GetFound, or -1

    static int32_t Run(CVTNDesignerApp& app, const CVTND_ModalRequest& request); // the modal tool, type 10

protected:
    pf::LResult handle(const pf::Msg& msg) override;
    bool onInitDialog() override;
    void onOK() override;

private:
    void StopScan();
    void TakeScanned(uint64_t generation);
    static void Scan(std::stop_token stop, std::string folder, uint64_t generation, pf::Hwnd target,
                     CVTND_IconBrowserDlg* self);

    CVTNDesignerApp& m_app;
    SWcursor* m_cursor; // the world's; it outlives the modal run
    std::string m_folder;
    std::vector<Found> m_found;
    std::unique_ptr<pf::Window> m_preview; // its window is a child of ours
    CVTN_ThreadHandler m_scan{"icon scan"};
    std::atomic<uint64_t> m_generation{0}; // a scan's posts carry theirs; older ones are dropped
    std::mutex m_lock;                     // guards m_pending, filled by the scan
    std::vector<Found> m_pending;
};
