#include "designer/app/publish_worker.h"

#include <filesystem>
#include <vector>

#include "designer/app/preview_sphere_aside.h"
#include "engine/core/document_file.h"
#include "engine/core/sync_event.h"
#include "engine/core/thread_handler.h"
#include "engine/core/world.h"
#include "engine/resources/sound.h"
#include "platform/base/atomic_file.h"
#include "platform/media/audio_out.h"

namespace {

// The writer's reason without the "cannot write PATH: " it begins with, for a message that names the file itself.
std::string CauseOf(const std::string& why, const std::string& path)
{
    const std::string prefix = "cannot write " + path + ": ";
    return why.starts_with(prefix) ? why.substr(prefix.size()) : why;
}

} // namespace

std::string HtmlPagePath(const std::string& runtimePath)
{
    return std::filesystem::path(runtimePath).replace_extension(".html").string();
}

std::string EscapeHtml(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
            break;
        }
    }
    return out;
}

std::string MakeHtmlPage(const std::string& source, int32_t width, int32_t height)
{
    const std::string name = EscapeHtml(source);
    const std::string size = "width=\"" + std::to_string(width) + "\" height=\"" + std::to_string(height) + "\"";
    return "<!DOCTYPE html>\n"
           "<html>\n"
           "<head>\n"
           "<meta charset=\"utf-8\">\n"
           "<title>" +
           name +
           "</title>\n"
           "</head>\n"
           "<body>\n"
           "<embed src=\"" +
           name + "\" type=\"" + kPublishedMimeType + "\" " + size +
           ">\n"
           "</body>\n"
           "</html>\n";
}

CVTND_PublishResult PublishWorld(SWworld& world, const CVTND_PublishRequest& request, CVTN_SyncEvent* finished,
                                 const WorldWriteProgress& progress)
{
    CVTND_PublishResult result;
    const SWworldlock hold(world);
    {
        const PreviewSphereAside aside(world);
        // The wave codec's row leaves a sound at full quality once written: the author's setting comes back.
        std::vector<std::pair<SWsound*, uint32_t>> qualities;
        for (SWsound* s = world.GetSoundList().GetFirst(); s != nullptr; s = world.GetSoundList().GetNext(s))
            qualities.emplace_back(s, s->GetQualityPercent());
        std::vector<uint8_t> bytes;
        const DocumentStatus status = WriteWorldFile(world, WorldFileMode::kPublished, bytes, progress);
        for (const auto& [sound, quality] : qualities)
            sound->SetQualityPercent(quality);
        std::string why;
        if (status != DocumentStatus::kOk) {
            result.message = "Cannot publish " + request.path + ": " + DocumentStatusText(status);
        } else if (SaveDocumentFile(request.path, bytes, &why) != DocumentStatus::kOk) {
            result.message = "Cannot write " + request.path + ": " + CauseOf(why, request.path);
        } else if (request.html) {
            const std::string page = HtmlPagePath(request.path);
            const std::string source = std::filesystem::path(request.path).filename().string();
            if (!pf::writeFileAtomically(page, MakeHtmlPage(source, request.width, request.height), &why))
                result.message =
                    "The world was published, but the page " + page + " cannot be written: " + CauseOf(why, page);
            else
                result.ok = true;
        } else {
            result.ok = true;
        }
    }
    if (result.ok)
        pf::beep(880, 120);
    if (finished != nullptr)
        finished->Set();
    return result;
}

SaveWorkerThread::SaveWorkerThread(SWworld& world, CVTND_PublishRequest request, CVTN_SyncEvent& finished)
    : m_world(world), m_request(std::move(request)), m_finished(finished)
{
}

SaveWorkerThread::~SaveWorkerThread()
{
    Join();
}

bool SaveWorkerThread::Start()
{
    m_finished.Reset();
    // The default stack: the writer and the codecs need far more than the few pages a worker once had.
    m_thread = std::make_unique<CVTN_ThreadHandler>("publish worker");
    const bool started = m_thread->Start([this](std::stop_token) {
        m_result = PublishWorld(m_world, m_request, &m_finished, [this](uint32_t done, uint32_t total, const char* s) {
            m_section.store(s);
            m_total.store(total);
            m_done.store(done);
        });
    });
    if (!started) {
        m_thread.reset();
        m_result.message = "Cannot start the publish worker.";
        m_finished.Set();
    }
    return started;
}

bool SaveWorkerThread::Join()
{
    if (m_thread == nullptr)
        return true;
    const bool ended = m_thread->Join();
    m_thread.reset();
    return ended;
}
