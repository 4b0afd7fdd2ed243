#pragma once
// What the developer tools read from a path named on their command line, through the platform's checked reader: a
// folder, a device, a FIFO or a missing file is refused at once, never read without end or waited on, and every
// refusal is one line, "cannot read PATH: CAUSE", the same words from every tool.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/file_stamp.h"
#include "platform/base/input_file.h"
#include "testsupport/image/png_image.h"
#include "testsupport/mesh/off_file.h"

namespace tooltest {

// The whole file; nullopt, with outError, for anything but a readable regular file of at most maxBytes.
std::optional<std::vector<uint8_t>> ReadInput(const std::string& path, std::string& outError,
                                              uint64_t maxBytes = pf::kMaxInputFileBytes);
// For a reader that opens the path itself: false, with outError, when ReadInput would refuse it.
bool CheckInput(const std::string& path, std::string& outError);
// A folder named as an input: false, with outError, when it is missing or not a folder.
bool CheckInputFolder(const std::string& path, std::string& outError);

// A PNG file as 3-byte pixels; a header claiming more than maxPixels is refused before pixels are reserved.
std::optional<testsupport::BgrImage> ReadPngInput(const std::string& path, std::string& outError,
                                                  uint64_t maxPixels = testsupport::kDefaultMaxPngPixels);
// An OFF mesh file.
std::optional<meshtest::OffMesh> ReadOffInput(const std::string& path, std::string& outError);

// An output that names the input's own file is written only while that file is as it was read: another program may
// have written it meanwhile (in place, cut short, or a new file renamed over it). Made before the input is read.
class OutputOverInput {
public:
    OutputOverInput(const std::string& in, const std::string& out);
    // False, with outError ("cannot write OUT: CAUSE"), when out is the input's file and it changed since. A test
    // that sets VORTAN_TOOL_STOP_BEFORE_WRITE changes the file here: the tool stops (SIGSTOP) until continued.
    bool Unchanged(std::string& outError) const;
    bool NamesTheInput() const { return m_read.has_value(); } // out is the input's own file

private:
    std::string m_out;
    std::optional<pf::FileStamp> m_read; // the input's, when out names the same file
};

// "cannot write PATH: CAUSE" from a writer's error, which the atomic writer already words so: the file and the
// cause are said once.
std::string WriteRefusal(const std::string& path, const std::string& writerError);

} // namespace tooltest
