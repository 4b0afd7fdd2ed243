#pragma once
// Publishing: the runtime file of the world and, when the project asks for it, the HTML page that embeds it.
// SaveWorkerThread runs PublishWorld on a thread of its own while the user-interface thread shows the wait
// dialog; PublishWorld holds the world's lock from start to end (the render thread waits meanwhile), sets the
// save-finished event and only then lets the world go.
//
// Nothing is left half written: both files go through the atomic writer, the runtime file first; a failure
// leaves each file as it was before the failing write (a page that fails after a good runtime file leaves the
// new runtime file and the old page, and says so).
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/core/world_file.h"

class CVTN_SyncEvent;
class CVTN_ThreadHandler;
class SWworld;

inline constexpr const char* kPublishedMimeType = "application/x-vortan-object";

struct CVTND_PublishRequest {
    std::string path; // the runtime file (".vto")
    bool html = false;
    int32_t width = 0; // of the player on the page: the active 3D view's client size
    int32_t height = 0;
};

struct CVTND_PublishResult {
    bool ok = false;
    std::string message; // unless ok: which file and why, one sentence
};

// The page's path: the runtime file's with ".html" for its extension.
std::string HtmlPagePath(const std::string& runtimePath);
// The page embedding source (a file name beside the page) at width x height; every attribute value and text is
// escaped, so no name can end the attribute or add markup.
std::string MakeHtmlPage(const std::string& source, int32_t width, int32_t height);
std::string EscapeHtml(const std::string& text);

// The whole publish, on the calling thread: under the world's lock, the preview sphere set aside, every sound's
// quality kept and put back, the file written and, when asked, the page; finished (may be null) is set before
// the lock is let go. Progress as the whole-file writer reports it.
CVTND_PublishResult PublishWorld(SWworld& world, const CVTND_PublishRequest& request, CVTN_SyncEvent* finished,
                                 const WorldWriteProgress& progress = {});

// The publish worker: PublishWorld on its own thread, with the writer's last figures kept for the wait dialog.
class SaveWorkerThread {
public:
    SaveWorkerThread(SWworld& world, CVTND_PublishRequest request, CVTN_SyncEvent& finished);
    ~SaveWorkerThread(); // joins
    SaveWorkerThread(const SaveWorkerThread&) = delete;
    SaveWorkerThread& operator=(const SaveWorkerThread&) = delete;

    bool Start(); // resets the event; false: no thread could be made (the event is then set)
    bool Join();  // true: the thread ended

    // Any thread: the figures of the last report, and the section it named.
    uint32_t Done() const { return m_done.load(); }
    uint32_t Total() const { return m_total.load(); }
    const char* Section() const { return m_section.load(); }
    // After Join.
    const CVTND_PublishResult& Result() const { return m_result; }

private:
    SWworld& m_world;
    CVTND_PublishRequest m_request;
    CVTN_SyncEvent& m_finished;
    std::unique_ptr<CVTN_ThreadHandler> m_thread;
    std::atomic<uint32_t> m_done{0};
    std::atomic<uint32_t> m_total{0};
    std::atomic<const char*> m_section{""}; // a static text of the writer's
    CVTND_PublishResult m_result;
};
