#pragma once
// What the developer tools read from a path named on their command line, through the platform's checked reader: a
// folder, a device, a FIFO or a missing file is refused at once, never read without end or waited on, and every
// refusal is one line, "cannot read PATH: CAUSE", the same words from every tool.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

// "cannot write PATH: CAUSE" from a writer's error, which the atomic writer already words so: the file and the
// cause are said once.
std::string WriteRefusal(const std::string& path, const std::string& writerError);

} // namespace tooltest
