#pragma once
// Snapshots of a view: the world drawn off screen, on the user-interface thread under the world's lock, into a
// fresh surface of the view's size with the view's camera; then written as JPEG, or as PNG with alpha 0 wherever no
// depth-writing primitive drew (the background, sprites and particles) and 255 elsewhere.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class SWcameranode;
class SWworld;

struct CVTND_Snapshot {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels; // rows top first, 0xAARRGGBB; alpha 255 where the depth buffer took a value
};

// Under the caller's hold of the world's lock. Null camera: the view's default eye.
std::optional<CVTND_Snapshot> DrawSnapshot(SWworld& world, SWcameranode* camera, int32_t width, int32_t height,
                                           std::string& outError);
// A name ending in ".png" (any case) gets the PNG with alpha; any other the JPEG at quality (0..100).
bool WriteSnapshot(const std::string& path, const CVTND_Snapshot& shot, int quality, std::string& outError);
