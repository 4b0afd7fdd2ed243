#pragma once
// Small services the designer's windows share: the file dialog that remembers its folder per category, unique
// names for new events, image resampling and JPEG pictures as textures.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "designer/app/editor_settings.h"

namespace pf {
class Window;
}
class SWimage32;
class SWworld;

// Where a file dialog starts: the folder last chosen for its category, else the open project's folder, else the
// user's documents folder (or home); never the process's working folder, which means nothing to a person.
std::string BrowseStartFolder(const std::string& remembered, const std::string& projectPath);

// The open-file dialog, starting as BrowseStartFolder says and remembering the folder chosen for category (through
// the application's settings, when there are any). The chosen path, or nullopt when the user cancelled.
std::optional<std::string> BrowseForFile(BrowseCategory category, pf::Window* owner, const std::string& title,
                                         int32_t filterIndex, const std::string& filter, uint32_t extraFlags = 0);

// The name a new event of eventType gets: the type's display name when no event has it (ignoring case), else the
// first free "%s_%d" from 1. False when the type has no display name (unknown or hidden).
bool MakeUniqueEventName(const SWworld& world, uint32_t eventType, std::string& outName);

// pixels (width x height, 0xAARRGGBB) resampled to newWidth x newHeight in two one-dimensional passes, each
// channel on its own: a box filter where a side shrinks, linear where it grows. nullopt for a size not above 0,
// pixels that do not match the size, or a result over 2^26 pixels.
std::optional<std::vector<uint32_t>> ResampleImage32(std::span<const uint32_t> pixels, int32_t width, int32_t height,
                                                     int32_t newWidth, int32_t newHeight);

// The JPEG file at path as a new 32-bit texture under a name of its own in world (the file's name, made unique),
// each side brought up to a power of two by resampling when asked, within the texture size limits. With
// addToWorld the world's texture list owns it and it is answered; otherwise outOwned holds it (and it is answered
// too). Null, with the cause in outError, when the file does not read or the size is refused.
SWimage32* LoadJpegTexture(SWworld& world, const std::string& path, bool addToWorld, bool powerOfTwo,
                           std::unique_ptr<SWimage32>& outOwned, std::string* outError = nullptr);
