#include "engine/resources/file_references.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "platform/media/temp_file.h"

SWfilereferences::~SWfilereferences()
{
    for (const std::string& path : m_paths)
        if (IsOwnTemporary(path))
            std::remove(path.c_str());
}

void SWfilereferences::Add(std::string path)
{
    if (std::find(m_paths.begin(), m_paths.end(), path) == m_paths.end())
        m_paths.push_back(std::move(path));
}

bool SWfilereferences::Release(const std::string& path)
{
    const auto listed = std::find(m_paths.begin(), m_paths.end(), path);
    if (listed == m_paths.end())
        return false;
    m_paths.erase(listed);
    return true;
}

bool SWfilereferences::IsOwnTemporary(const std::string& path)
{
    const std::filesystem::path file = std::filesystem::path(path).lexically_normal();
    const std::string name = file.filename().string();
    if (name.size() < 8 || name.compare(0, 3, "sws") != 0 || name.compare(name.size() - 4, 4, ".tmp") != 0)
        return false;
    // Compared as written after normalising, not by following links: a link in the temporary folder that points
    // elsewhere is deleted as the link, never its target.
    const std::filesystem::path folder = file.parent_path();
    const std::filesystem::path temp = std::filesystem::path(pf::tempDirectory()).lexically_normal();
    return !folder.empty() && folder == temp;
}
