#pragma once
// A world with a record of every kind the world file writes, for the world tool's make-sample, the world file's
// tests, its fuzz seeds and its benchmark: nodes of every kind with variables, cameras with their camera objects, a
// hot spot with a picture, meshes with several materials, smoothing masks, texture vertices, morph targets and a
// vertex binding, textures of the three plain kinds, a background with its own texture, a sound, a key-frame track,
// vertex frames, cursors, a Java class entry and a loadable-world entry.
#include <memory>
#include <string>
#include <vector>

class SWmaterial;
class SWmeshobject;
class SWworld;

namespace meshtest {
struct OffMesh;
}

namespace worldtest {

struct SampleWorldOptions {
    std::string meshFolder;    // OFF files; empty or none there: a built-in cube and sphere
    std::string pictureFolder; // PNG files; empty or none there: generated pictures
    std::string soundFile;     // a WAV file the sound names; empty: "sample.wav" (it need not exist)
    // Files a person named (TakeFolderFiles): when given, every one is taken under its own name, and no built-in or
    // generated stand-in is added beside them.
    std::vector<std::string> meshFiles;    // OFF meshes, each a mesh named as its file
    std::vector<std::string> pictureFiles; // PNG or JPEG pictures, each a texture named as its file
    unsigned sphereRings = 8;              // of the built-in sphere; the benchmark asks for a larger one
};

enum class SampleInput { kMeshes, kPictures };
// Every file of folder as meshes or pictures, in name order, each read once to be sure it can be taken; false, with
// outError naming the first that cannot ("cannot take PATH: CAUSE") or an empty folder.
bool TakeFolderFiles(const std::string& folder, SampleInput kind, std::vector<std::string>& outFiles,
                     std::string& outError);

// A sound file as the sample's sound: false, with outError ("cannot take PATH: CAUSE"), unless it is a wave file of
// at least one sample that the world's player can play (PCM of 8 or 16 bits, as the output's voices take it).
bool TakeSoundFile(const std::string& path, std::string& outError);

std::unique_ptr<SWworld> MakeSampleWorld(const SampleWorldOptions& options = {});
// A second of a 440 Hz tone, 22050 Hz mono 16-bit, for a sample whose sound should play; false when not written.
bool WriteSampleTone(const std::string& path);
// The same records added to a world made elsewhere (the designer's world); meant for an empty world.
void FillSampleWorld(SWworld& world, const SampleWorldOptions& options = {});
// The OFF polygons as a mesh; polygon i gets the materials and (with masks) smoothing masks in turn, texture
// vertices from x and y.
std::unique_ptr<SWmeshobject> MeshOf(const meshtest::OffMesh& off, const std::string& name,
                                     const std::vector<SWmaterial*>& materials, bool masks = true);

} // namespace worldtest
