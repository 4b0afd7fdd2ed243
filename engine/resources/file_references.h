#pragma once
// SWfilereferences: the files a world refers to while it lives, chiefly the temporary wave files its sounds were
// restored into. The world owns the list; when it goes, each listed file that is one of ours (directly in the
// temporary folder, named "sws*.tmp") is deleted with it. A path a user gave is never deleted, and neither is a file
// of another process: files of a crashed run look the same as those of a designer still running.
#include <string>
#include <vector>

class SWfilereferences {
public:
    SWfilereferences() = default;
    ~SWfilereferences(); // deletes the listed temporary files of ours
    SWfilereferences(const SWfilereferences&) = delete;
    SWfilereferences& operator=(const SWfilereferences&) = delete;

    void Add(std::string path); // kept in order; a path listed already is not listed twice
    // Unlists path without deleting its file, so that another world's list can take it over (a merged sound keeps
    // playing its restored file). False when it was not listed.
    bool Release(const std::string& path);
    const std::vector<std::string>& Paths() const { return m_paths; }

    static bool IsOwnTemporary(const std::string& path); // in the temporary folder itself and named "sws*.tmp"

private:
    std::vector<std::string> m_paths;
};
