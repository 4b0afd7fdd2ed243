// The recent-file list. Two designers may share one settings file: each reads the list again before it stores its
// own, so that a file one of them opened stays in the list the other writes.
#include <algorithm>

#include "designer/app/main_frame.h"
#include "designer/app/startup.h"
#include "platform/settings/profile.h"
#include "platform/settings/settings_store.h"

namespace {

constexpr const char* kRecentSection = "Recent File List";

void AppendMissing(std::vector<std::string>& list, const std::vector<std::string>& more)
{
    for (const std::string& path : more)
        if (std::find(list.begin(), list.end(), path) == list.end())
            list.push_back(path);
}

} // namespace

std::vector<std::string> CVTND_Designer::ReadRecentFiles(const pf::Profile& profile)
{
    std::vector<std::string> recent;
    for (size_t i = 0; i < kRecentFiles; ++i) {
        std::string path = profile.getString(kRecentSection, "File" + std::to_string(i + 1), "");
        if (!path.empty())
            recent.push_back(std::move(path));
    }
    return recent;
}

void CVTND_Designer::AddRecent(const std::string& path)
{
    std::vector<std::string> recent{path};
    if (m_store != nullptr)
        m_store->refresh(); // what another designer stored since comes next, in its order, then ours
    AppendMissing(recent, ReadRecentFiles(*m_profile));
    AppendMissing(recent, m_recent);
    if (recent.size() > kRecentFiles)
        recent.resize(kRecentFiles);
    m_recent = std::move(recent);
    SaveRecent();
}

void CVTND_Designer::DropRecent(const std::string& path)
{
    if (m_store != nullptr)
        m_store->refresh();
    std::vector<std::string> recent = ReadRecentFiles(*m_profile);
    const bool stored = std::find(recent.begin(), recent.end(), path) != recent.end();
    const bool listed = std::find(m_recent.begin(), m_recent.end(), path) != m_recent.end();
    if (!stored && !listed)
        return;
    AppendMissing(recent, m_recent);
    std::erase(recent, path);
    if (recent.size() > kRecentFiles)
        recent.resize(kRecentFiles);
    m_recent = std::move(recent);
    SaveRecent();
}

void CVTND_Designer::SaveRecent()
{
    for (size_t i = 0; i < kRecentFiles; ++i) {
        const std::string entry = "File" + std::to_string(i + 1);
        if (i < m_recent.size())
            m_profile->writeString(kRecentSection, entry, m_recent[i]);
        else
            m_profile->deleteEntry(kRecentSection, entry);
    }
    if (m_frame != nullptr)
        m_frame->SetRecentFiles(m_recent);
}
