#pragma once
// What tells whether the file at a path is still the one a program read, without reading it again: the file itself
// (device and inode), its size and its modification time. A program that read a file takes its stamp first and
// compares it with the path's before writing over it, so that what another program wrote meanwhile (in place, cut
// short, or a new file renamed over it) is not lost unasked. Symbolic links are followed, as the atomic writer
// follows them.
#include <cstdint>
#include <optional>
#include <string>

namespace pf {

struct FileStamp {
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t sizeBytes = 0;
    int64_t modifiedNs = 0; // since the epoch
    bool operator==(const FileStamp&) const = default;
    bool SameFile(const FileStamp& other) const { return device == other.device && inode == other.inode; }
};

// Nullopt when nothing can be found at the path.
std::optional<FileStamp> fileStampOf(const std::string& path);

} // namespace pf
