#pragma once
// Replacing a file so that a crash, a full disk or a failed write at any moment leaves either the old file or the
// complete new one. The bytes go to a temporary file of a unique name in the target's folder, are flushed to the
// disk, and only then renamed over the target.
//
// What is at the path decides what is replaced: a symbolic link is followed (chains and relative targets too) and
// the file it points to is replaced, the link staying a link; a path that exists and is not a regular file (a
// folder, a device, a FIFO, a socket) is refused, and so is a file its owner may not write ("the file is
// read-only"), even where the folder would let it be renamed over. A replaced file keeps its permission bits; a new one
// gets newFileMode exactly, whatever the process umask.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace pf {

class AtomicFile {
public:
    // Null, with outError set ("cannot write PATH: CAUSE"), when the path cannot be replaced; caller owns.
    static std::unique_ptr<AtomicFile> open(const std::string& path, std::string& outError,
                                            unsigned newFileMode = 0644);
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    ~AtomicFile(); // removes the temporary file unless commit() succeeded

    bool write(std::span<const uint8_t> bytes); // false from the first failure on; later writes do nothing
    bool commit(); // flush, sync and rename over the target; false: the target is untouched, the temporary gone
    const std::string& error() const { return m_error; } // empty until something failed

private:
    AtomicFile(std::string shownPath, std::string targetPath, std::string tempPath, int fd);
    bool fail(int errnoValue);
    void discardTemporary();

    std::string m_shownPath;  // as the caller named it, for messages
    std::string m_targetPath; // what the rename replaces: the path with its symbolic links followed
    std::string m_tempPath;
    int m_fd;
    int64_t m_written = 0; // bytes written so far, where the next piece starts
    bool m_committed = false;
    std::string m_error;
};

// The whole of `bytes` as the new content of `path`; false, with the reason in *outError when given, leaves the
// old file untouched.
bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* outError = nullptr,
                         unsigned newFileMode = 0644);

// Whether path (links followed) is a file that open refuses as read-only.
bool isReadOnlyTarget(const std::string& path);

// For a program that writes files, called once at its start: a write past the file-size limit (`ulimit -f`) then
// fails with EFBIG, which the writer reports ("File too large") and cleans up after, instead of SIGXFSZ ending the
// process with the temporary file left behind.
void ignoreFileSizeSignal();

} // namespace pf
