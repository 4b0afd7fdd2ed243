#pragma once
// A stream set as one file, for the codec tool and the pinned streams of the tests: "PXST", u32 version 1, u32 mask
// of the slots present (bit i: slot i), then for each present slot in order u32 length and the stream's bytes;
// integers little-endian.
#include <cstdint>
#include <span>
#include <vector>

#include "codecs/geometry/px_stream.h"

namespace meshtest {

std::vector<uint8_t> StreamSetFileOf(const px::PXStreamSet& streams);
// False for a file that is not a stream set, or one cut short or with bytes past its last stream; every length is
// checked against what the file still holds. out receives the slots read so far either way.
bool ReadStreamSetFile(std::span<const uint8_t> file, px::PXStreamSet& out);

} // namespace meshtest
