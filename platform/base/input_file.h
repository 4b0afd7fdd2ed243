#pragma once
// Reading a file that someone named, as a hostile one may be: the path may hold a folder, a device that never ends
// (/dev/zero), a FIFO that waits for ever for a writer, or a file far larger than anything we mean to hold. Only a
// regular file is read, and it is known to be one before a byte of it is: the path is examined first and the open
// descriptor again (O_NONBLOCK, so that a FIFO swapped in between cannot make the open wait). Sizes are checked
// against the caller's limit before anything is reserved, and again while reading, as a file may grow meanwhile.
// Every refusal carries one line, "cannot read PATH: CAUSE", with the system's own text where it has one.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace pf {

inline constexpr uint64_t kMaxInputFileBytes = uint64_t{1} << 30; // no input of ours comes near a gigabyte

enum class InputFileStatus {
    kOk = 0,
    kMissing = 1,     // nothing at the path, or a link to nothing
    kNotAFile = 2,    // a folder, a device, a FIFO or a socket
    kTooLarge = 3,    // more bytes than the caller's limit
    kCannotRead = 4,  // the system refused to open or read it (permission, I/O error); errnoValue says why
    kOutOfMemory = 5, // the bytes are within the limit but could not be held
};

struct InputFileResult {
    InputFileStatus status = InputFileStatus::kOk;
    int errnoValue = 0;  // the system's error, when one caused the refusal; 0 otherwise
    std::string cause;   // "No such file or directory", "it is a folder, not a file"; empty when ok
    std::string message; // "cannot read PATH: CAUSE"; empty when ok
    bool ok() const { return status == InputFileStatus::kOk; }
};

// An open regular file, for readers that stream it instead of holding it whole.
class InputFile {
public:
    // Null, with outResult saying why, unless path names a regular file of at most maxBytes; caller owns.
    static std::unique_ptr<InputFile> open(const std::string& path, InputFileResult& outResult,
                                           uint64_t maxBytes = kMaxInputFileBytes);
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    int descriptor() const { return m_fd; }            // still owned by this object
    uint64_t sizeBytes() const { return m_sizeBytes; } // as the file stood when opened
    const std::string& path() const { return m_path; }

    // Up to bytes.size() bytes from the current position; 0 at the end. -1 on an error, with outResult set.
    ptrdiff_t read(std::span<uint8_t> bytes, InputFileResult& outResult);
    // The same from offset on, leaving the current position alone: several readers may share the file.
    ptrdiff_t readAt(uint64_t offset, std::span<uint8_t> bytes, InputFileResult& outResult);

private:
    InputFile(std::string path, int fd, uint64_t sizeBytes);

    std::string m_path;
    int m_fd;
    uint64_t m_sizeBytes;
};

// The whole of the regular file at path into outBytes (cleared first, and left empty on any refusal).
InputFileResult readWholeFile(const std::string& path, std::vector<uint8_t>& outBytes,
                              uint64_t maxBytes = kMaxInputFileBytes);

// The same refusals as open gives, for a reader that must be handed the path itself; the file is not opened.
InputFileResult checkInputFile(const std::string& path, uint64_t maxBytes = kMaxInputFileBytes);

} // namespace pf
