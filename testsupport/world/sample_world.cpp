#include "testsupport/world/sample_world.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/behaviour/property.h"
#include "engine/core/animation_data.h"
#include "engine/core/camera_node.h"
#include "engine/core/header.h"
#include "engine/core/hotspot.h"
#include "engine/core/java_class_node.h"
#include "engine/core/matrix.h"
#include "engine/core/mesh_node.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/read_context.h"
#include "engine/core/root_object.h"
#include "engine/core/unique_id.h"
#include "engine/core/world.h"
#include "engine/resources/array_block.h"
#include "engine/resources/background.h"
#include "engine/resources/image24.h"
#include "engine/resources/image32.h"
#include "engine/resources/image8.h"
#include "engine/resources/material.h"
#include "engine/resources/mesh_object.h"
#include "engine/resources/sound.h"
#include "engine/resources/texture.h"
#include "platform/gfx/jpeg_file.h"
#include "platform/media/riff_wave_reader.h"
#include "platform/media/riff_wave_writer.h"
#include "platform/media/voice_reader.h"
#include "platform/media/wave_format.h"
#include "testsupport/image/png_image.h"
#include "testsupport/mesh/mesh_generators.h"
#include "testsupport/mesh/off_file.h"

namespace worldtest {

std::unique_ptr<SWmeshobject> MeshOf(const meshtest::OffMesh& off, const std::string& name,
                                     const std::vector<SWmaterial*>& materials, bool masks)
{
    auto mesh = std::make_unique<SWmeshobject>();
    mesh->SetName(name);
    mesh->SetVertices(std::vector<float>(off.positions));
    std::vector<float> uv;
    for (size_t i = 0; i + 2 < off.positions.size(); i += 3) {
        uv.push_back(off.positions[i] * 0.5f + 0.5f);
        uv.push_back(off.positions[i + 1] * 0.5f + 0.5f);
    }
    mesh->SetTextureVertices(std::move(uv));
    SWarrayblockChain chain;
    std::vector<uint32_t> corners;
    uint32_t polygon = 0;
    for (const int32_t index : off.coordIndex) {
        if (index >= 0) {
            corners.push_back(static_cast<uint32_t>(index));
            continue;
        }
        auto block = std::make_unique<SWarrayblock>(corners, true, corners, 0u, materials[polygon % materials.size()]);
        if (masks)
            block->SetSmoothingMask(polygon % 3 == 0 ? 0u : 1u << (polygon % 5));
        chain.Add(std::move(block));
        corners.clear();
        ++polygon;
    }
    mesh->BuildPolygonIndices(chain.Head());
    return mesh;
}

namespace {

std::vector<std::filesystem::path> FilesOf(const std::string& folder, const char* extension)
{
    std::vector<std::filesystem::path> files;
    std::error_code error;
    if (folder.empty() || !std::filesystem::is_directory(folder, error))
        return files;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.is_regular_file(error) && entry.path().extension() == extension)
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string Lowered(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// An opaque picture's pixels, 0xAARRGGBB.
std::vector<uint32_t> Argb(const testsupport::BgrImage& png)
{
    std::vector<uint32_t> pixels(static_cast<size_t>(png.width) * png.height);
    for (size_t p = 0; p < pixels.size(); ++p) {
        const uint8_t* bgr = &png.pixels[p * 3];
        pixels[p] = 0xFF000000u | uint32_t{bgr[2]} << 16 | uint32_t{bgr[1]} << 8 | bgr[0];
    }
    return pixels;
}

int PowerOfTwoAtLeast(int side)
{
    int power = 1;
    while (power < side && power < (1 << 30))
        power <<= 1;
    return power;
}

// A picture brought up to sides of powers of two, as the designer's own picture loads bring theirs: the texture
// stages draw no other size (it drew black). Linear between the two nearest texels each way, channel by channel.
std::vector<uint32_t> ToPowersOfTwo(const std::vector<uint32_t>& pixels, int& width, int& height)
{
    const int w = PowerOfTwoAtLeast(width);
    const int h = PowerOfTwoAtLeast(height);
    if (w == width && h == height)
        return pixels;
    const auto tap = [](int at, int from, int to, int& first, int& second, double& fraction) {
        const double source = std::clamp((at + 0.5) * from / to - 0.5, 0.0, from - 1.0);
        first = static_cast<int>(source);
        second = std::min(first + 1, from - 1);
        fraction = source - first;
    };
    std::vector<uint32_t> out(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        int y0 = 0, y1 = 0;
        double fy = 0;
        tap(y, height, h, y0, y1, fy);
        for (int x = 0; x < w; ++x) {
            int x0 = 0, x1 = 0;
            double fx = 0;
            tap(x, width, w, x0, x1, fx);
            const auto at = [&](int px, int py, int shift) {
                return static_cast<double>(pixels[static_cast<size_t>(py) * width + px] >> shift & 0xFFu);
            };
            uint32_t texel = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                const double top = at(x0, y0, shift) * (1 - fx) + at(x1, y0, shift) * fx;
                const double bottom = at(x0, y1, shift) * (1 - fx) + at(x1, y1, shift) * fx;
                texel |= static_cast<uint32_t>(std::lround(top * (1 - fy) + bottom * fy)) << shift;
            }
            out[static_cast<size_t>(y) * w + x] = texel;
        }
    }
    width = w;
    height = h;
    return out;
}

// A named picture's pixels, 0xAARRGGBB (PNG alpha composited onto black, JPEG opaque); nullopt with outError. A
// picture larger than a world's reader takes by default is refused before its pixels are reserved: the scene would
// be written, and then no reader would open it.
std::optional<std::vector<uint32_t>> ReadPicture(const std::string& path, int& width, int& height,
                                                 std::string& outError)
{
    constexpr uint64_t kMostPixels = std::min(SWreadlimits::kDefaultMaxPixels, SWtexture::kMaxPixels);
    const std::string extension = Lowered(std::filesystem::path(path).extension().string());
    std::optional<std::vector<uint32_t>> pixels;
    if (extension == ".jpg" || extension == ".jpeg") {
        std::optional<pf::JpegImage> jpeg = pf::readJpegFile(path, {kMostPixels}, outError);
        if (!jpeg)
            return std::nullopt;
        width = jpeg->width;
        height = jpeg->height;
        pixels = std::move(jpeg->pixels);
    } else if (extension == ".png") {
        const std::optional<testsupport::BgrImage> png = testsupport::ReadPng(path, outError, kMostPixels);
        if (!png)
            return std::nullopt;
        width = png->width;
        height = png->height;
        pixels = Argb(*png);
    } else {
        outError = "not a PNG or JPEG picture";
        return std::nullopt;
    }
    // A picture of a side no texture may have would be left out of the scene without a word; the size checked is
    // the one it takes once brought up to powers of two, which is what the scene stores.
    const int64_t storedWidth = PowerOfTwoAtLeast(width);
    const int64_t storedHeight = PowerOfTwoAtLeast(height);
    if (!SWtexture::IsAcceptedSize(storedWidth, storedHeight) ||
        static_cast<uint64_t>(storedWidth * storedHeight) > kMostPixels) {
        outError = std::to_string(width) + " x " + std::to_string(height) + " is not a size a texture may have";
        if (SWtexture::IsAcceptedSize(width, height))
            outError += " once brought up to powers of two (" + std::to_string(storedWidth) + " x " +
                        std::to_string(storedHeight) + ")";
        return std::nullopt;
    }
    return pixels;
}

std::optional<meshtest::OffMesh> ReadMesh(const std::string& path, std::string& outError)
{
    if (Lowered(std::filesystem::path(path).extension().string()) != ".off") {
        outError = "not an OFF mesh";
        return std::nullopt;
    }
    std::optional<meshtest::OffMesh> off = meshtest::ReadOffFile(path, &outError);
    if (off && (off->VertexCount() == 0 || off->FaceCount() == 0)) {
        outError = "the mesh has no polygons";
        off.reset();
    }
    return off;
}

// Pixels 0xAARRGGBB of a picture from the folder (the smallest few are tried), or a generated pattern.
std::vector<uint32_t> Picture(const std::vector<std::filesystem::path>& pngs, size_t which, int& width, int& height)
{
    for (size_t i = which; i < pngs.size(); i += 3) {
        std::string error;
        const std::optional<testsupport::BgrImage> png = testsupport::ReadPng(pngs[i].string(), error);
        if (!png || png->width <= 0 || png->height <= 0 || int64_t{png->width} * png->height > 512 * 512)
            continue;
        width = png->width;
        height = png->height;
        return ToPowersOfTwo(Argb(*png), width, height);
    }
    width = 16 << (which == 0 ? 0 : 1); // sides the texture stages draw
    height = 16 << (which == 2 ? 1 : 0);
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t alpha = which == 0 ? static_cast<uint32_t>(x * 255 / width) : 255u;
            pixels[static_cast<size_t>(y) * width + x] = alpha << 24 | static_cast<uint32_t>(x * 13) << 16 |
                                                         static_cast<uint32_t>(y * 29 & 0xFF) << 8 |
                                                         static_cast<uint32_t>((x ^ y) * 7 & 0xFF);
        }
    }
    return pixels;
}

SWtexture* AddPictureTexture(SWworld& world, size_t which, const std::string& name, int w, int h,
                             const std::vector<uint32_t>& pixels)
{
    std::unique_ptr<SWtexture> texture;
    if (which == 0) {
        texture = SWimage32::SWimage32FromPixels(name, w, h, pixels.data());
    } else if (which != 2) {
        texture = SWimage24::SWimage24FromPixels(name, w, h, pixels.data());
    } else {
        std::vector<uint8_t> grey(pixels.size());
        for (size_t i = 0; i < grey.size(); ++i)
            grey[i] = static_cast<uint8_t>(pixels[i] >> 8);
        texture = std::make_unique<SWimage8>(name, w, h, grey.data());
        texture->SetTextureFlags(SWtexture::kFlagBilinear);
    }
    SWtexture* placed = texture.get();
    return world.GetRootObject()->AddTexture(std::move(texture)) ? placed : nullptr;
}

// The textures in their roles: the first is the brick's (32-bit), the second the wood's (24-bit), the third the
// brick's bumps (8-bit grey); a named picture past the third is a 24-bit texture of its own.
std::vector<SWtexture*> AddTextures(SWworld& world, const SampleWorldOptions& options)
{
    std::vector<SWtexture*> textures;
    int w = 0;
    int h = 0;
    if (!options.pictureFiles.empty()) {
        for (const std::string& file : options.pictureFiles) {
            std::string error;
            const std::optional<std::vector<uint32_t>> pixels = ReadPicture(file, w, h, error);
            const std::vector<uint32_t> sized = pixels ? ToPowersOfTwo(*pixels, w, h) : std::vector<uint32_t>();
            SWtexture* texture = pixels
                                     ? AddPictureTexture(world, textures.size(),
                                                         std::filesystem::path(file).filename().string(), w, h, sized)
                                     : nullptr;
            if (texture != nullptr)
                textures.push_back(texture);
        }
        return textures;
    }
    const std::vector<std::filesystem::path> pngs = FilesOf(options.pictureFolder, ".png");
    for (const char* name : {"bricks.png", "wood.png", "bumps.png"}) {
        const std::vector<uint32_t> pixels = Picture(pngs, textures.size(), w, h);
        textures.push_back(AddPictureTexture(world, textures.size(), name, w, h, pixels)); // a fresh world: placed
    }
    return textures;
}

SWmaterial* AddMaterial(SWworld& world, const char* name, float red, float green, float blue)
{
    auto material = std::make_unique<SWmaterial>(name);
    material->SetRenderMode(SWmaterial::kModeGouraud);
    material->SetAmbientColour(0.2f, red, green, blue);
    material->SetDiffuseColour(0.8f, red, green, blue);
    material->SetSpecularColour(0.5f, 1.0f, 1.0f, 1.0f);
    material->SetSmoothness(12.0f);
    SWmaterial* placed = material.get();
    world.GetRootObject()->AddMaterial(std::move(material));
    return placed;
}

void AddMaterials(SWworld& world, const std::vector<SWtexture*>& textures)
{
    const auto texture = [&](size_t role) { return role < textures.size() ? textures[role] : nullptr; };
    SWmaterial* brick = AddMaterial(world, "brick", 0.8f, 0.3f, 0.2f);
    brick->SetTexture(texture(0));
    brick->SetBumpTexture(texture(2));
    brick->SetBumpAmount(0.5f);
    SWmaterial* wood = AddMaterial(world, "wood", 0.6f, 0.4f, 0.1f);
    wood->SetTexture(texture(1));
    wood->SetReflectionTexture(texture(0));
    wood->SetReflectivity(0.25f);
    wood->SetMaterialFlags(SWmaterial::kFlagBilinear);
    SWmaterial* glass = AddMaterial(world, "glass", 0.7f, 0.8f, 0.9f);
    glass->SetRenderMode(SWmaterial::kModePhong);
    glass->SetTransparency(0.6f);
    glass->SetTextureOpacity(0.5f);
}

void AddVariables(SWproperties2& list, const std::string& prefix)
{
    for (const char* text : {"1.5", "hello"}) {
        std::unique_ptr<SWproperty> variable = SWproperty::SWpropertyFromText(text);
        if (!variable)
            continue;
        variable->SetName(prefix + (text[0] == '1' ? "_speed" : "_label"));
        list.AddVariable(std::move(variable));
    }
}

SWobjectnode* AddObject(SWworld& world, SWobjectnode* object, const std::string& name, SWnode* parent,
                        const SWmatrix& matrix)
{
    object->SetName(name);
    object->SetInitialMatrix(matrix);
    world.AddNode(object, parent); // the tree owns it from here
    AddVariables(*object, name);
    return object;
}

void AddMeshes(SWworld& world, const SampleWorldOptions& options, SWobjectnode* bone)
{
    SWrootobject& root = *world.GetRootObject();
    const std::vector<SWmaterial*> materials = {root.GetFirstMaterial(),
                                                SWrootobject::GetNextMaterial(root.GetFirstMaterial())};
    std::vector<meshtest::OffMesh> offs;
    std::vector<std::string> names;
    for (const std::string& file : options.meshFiles) {
        std::string error;
        if (std::optional<meshtest::OffMesh> off = ReadMesh(file, error)) {
            offs.push_back(std::move(*off));
            names.push_back(std::filesystem::path(file).filename().string());
        }
    }
    for (const std::filesystem::path& file : FilesOf(options.meshFolder, ".off")) {
        if (!options.meshFiles.empty() || offs.size() == 2)
            break;
        std::optional<meshtest::OffMesh> off = meshtest::ReadOffFile(file.string());
        if (off && off->VertexCount() > 0 && off->VertexCount() < 20000)
            offs.push_back(std::move(*off));
    }
    if (options.meshFiles.empty() && offs.size() < 2) {
        offs = {meshtest::MakeCube(), meshtest::MakeSphere(options.sphereRings, options.sphereRings * 2)};
    }
    for (size_t i = 0; i < offs.size(); ++i) {
        std::unique_ptr<SWmeshobject> mesh =
            MeshOf(offs[i], i < names.size() ? names[i] : "mesh" + std::to_string(i), materials);
        mesh->SetMatrix(SWmatrix::Translation(0.0f, 0.0f, 0.1f * static_cast<float>(i)));
        if (i == 0) {
            auto target = std::make_unique<SWmorphtarget>();
            target->name = "smile";
            for (uint32_t v = 0; v < std::min<uint32_t>(mesh->GetVertexCount(), 4); ++v) {
                const std::array<float, 5> record = {static_cast<float>(v), 0.1f * v, 0.2f, -0.1f, 1.0f};
                target->records.Append(record);
            }
            mesh->GetMorphTargets().Add(std::move(target));
            mesh->AddVertexBucket(bone->GetId(), {0, 1});
        }
        auto* node = new SWmeshnode;
        AddObject(world, node, "meshnode" + std::to_string(i), nullptr,
                  SWmatrix::Translation(2.0f * static_cast<float>(i), 0.0f, 5.0f));
        node->SetGeometry(root.AddGeometry(std::move(mesh)));
        if (i == 1) {
            // Vertex frames: three frames of the sphere breathing.
            auto table = std::make_unique<VertexFrameTable>();
            const uint32_t vertices = offs[i].VertexCount();
            if (table->Allocate(3, vertices)) {
                table->Lock();
                for (uint32_t f = 0; f < 3; ++f) {
                    const std::span<float> frame = table->GetFrameVertices(f);
                    for (size_t k = 0; k < frame.size(); ++k)
                        frame[k] = offs[i].positions[k] * (1.0f + 0.05f * static_cast<float>(f));
                }
                table->Unlock();
                table->SetReady(true);
                node->SetVertexFrameTable(std::move(table));
            }
        }
    }
}

} // namespace

bool TakeFolderFiles(const std::string& folder, SampleInput kind, std::vector<std::string>& outFiles,
                     std::string& outError)
{
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (!it->is_directory(error))
            files.push_back(it->path());
    }
    if (error) {
        outError = "cannot read " + folder + ": " + error.message();
        return false;
    }
    if (files.empty()) {
        outError = "cannot take " + folder + ": the folder holds no file";
        return false;
    }
    std::sort(files.begin(), files.end());
    outFiles.clear();
    for (const std::filesystem::path& file : files) {
        std::string cause;
        int w = 0;
        int h = 0;
        const bool taken = kind == SampleInput::kMeshes ? ReadMesh(file.string(), cause).has_value()
                                                        : ReadPicture(file.string(), w, h, cause).has_value();
        if (!taken) {
            outError = "cannot take " + file.string() + ": " + cause;
            return false;
        }
        outFiles.push_back(file.string());
    }
    return true;
}

bool TakeSoundFile(const std::string& path, std::string& outError)
{
    pf::WaveError error = pf::WaveError::kNone;
    const std::unique_ptr<pf::RiffWaveReader> wave = pf::RiffWaveReader::open(path, &error);
    std::string cause;
    if (wave == nullptr) {
        cause = error == pf::WaveError::kCannotOpen ? std::string("it cannot be opened") : pf::describeWaveError(error);
    } else {
        // The voice that plays it is asked, over every sample the file holds: one the output cannot take, or a
        // file of no whole sample, would be stored and then never heard.
        auto samples = std::make_shared<std::vector<uint8_t>>(wave->dataBytes());
        samples->resize(wave->read(*samples));
        const uint16_t align = wave->format().blockAlign;
        const uint64_t count = align != 0 ? samples->size() / align : 0;
        if (!pf::VoiceReader::open({wave->format(), samples}, 0, count))
            cause = "a wave format the player cannot play (it takes PCM of 8 or 16 bits, 1 to " +
                    std::to_string(pf::kMaxVoiceChannels) + " channels)";
        else if (count == 0)
            cause = "it holds no sample";
    }
    if (!cause.empty())
        outError = "cannot take " + path + ": " + cause;
    return cause.empty();
}

std::unique_ptr<SWworld> MakeSampleWorld(const SampleWorldOptions& options)
{
    auto world = std::make_unique<SWworld>();
    FillSampleWorld(*world, options);
    return world;
}

void FillSampleWorld(SWworld& into, const SampleWorldOptions& options)
{
    SWworld* const world = &into;
    world->SetSceneSize(20.0f);
    world->SetPixelSize(800, 600);
    world->SetVerticalFactor(0.75f);
    SWheader& header = world->GetRootObject()->GetHeader();
    header.SetObjectName("sample scene");
    header.SetAuthor("vortan-world");
    header.SetOrganization("vortan");
    header.SetCreatingTools({"vortan-world make-sample"});
    world->GetRootNode()->SetName("scene");
    AddVariables(world->GetVariables(), "world");

    const std::vector<SWtexture*> textures = AddTextures(*world, options);
    AddMaterials(*world, textures);
    auto backgroundPixels = std::vector<uint32_t>(8 * 4, 0xFF203040u);
    world->GetRootObject()->SetBackground(SWbackground::SWbackgroundFromTexture(
        SWimage24::SWimage24FromPixels("sky.png", 8, 4, backgroundPixels.data()), SWbackground::kModeStretch));
    world->GetRootObject()->GetBackground()->SetColour(0x00102030u);

    // Object nodes with a key-frame track, parts below them, a bone, a dummy.
    SWobjectnode* first = nullptr;
    for (int i = 0; i < 3; ++i) {
        SWobjectnode* object = AddObject(*world, new SWobjectnode, "object" + std::to_string(i), nullptr,
                                         SWmatrix::Translation(static_cast<float>(i), 0.5f, -2.0f));
        SWobjectnode* part = AddObject(*world, new SWobjectnode, "part" + std::to_string(i), object,
                                       SWmatrix::Translation(0.0f, 1.0f, 0.0f));
        part->SetAxisLock(static_cast<uint8_t>(i));
        first = first ? first : object;
    }
    AnimationTrack& track = first->GetAnimationTracks().AddTrack(std::string(kDefaultAnimationName));
    for (uint32_t frame = 0; frame < 30; frame += 10)
        track.SetKey(frame, SWmatrix::Translation(0.1f * static_cast<float>(frame), 0.0f, 0.0f));
    first->GetAnimationTracks().GetClips().Add({7, 10});
    first->GetAnimationTracks().SetDefaultSlot(SWmatrix::Translation(0.0f, 0.0f, 1.0f));
    SWobjectnode* bone = AddObject(*world, new SWobjectnode, "bone", first, SWmatrix::Translation(0, 0, 0.5f));
    AddMeshes(*world, options, bone);

    // Both look at the meshes, the last (the one a view takes) from the side; their depth, 1 to 151 units from the
    // eye, holds the whole scene where the lens's default centre would put the near plane 25 units away, past it.
    for (const char* name : {"front", "side"}) {
        auto camera = std::make_unique<SWcameraobject>();
        camera->SetName(std::string(name) + "-lens");
        camera->SetFieldOfView(0.9f);
        camera->SetDepthCentre(76.0f);
        camera->SetDepthRange(150.0f);
        camera->SetFirstStereoValue(0.5f);
        SWcameraobject* lens = camera.get();
        world->GetRootObject()->AddGeometry(std::move(camera));
        auto* node = new SWcameranode(lens);
        SWmatrix place = SWmatrix::Translation(0.0f, 2.0f, -10.0f);
        if (name[0] == 's') {
            place = SWmatrix::Translation(11.0f, 2.0f, 2.5f);
            place.PostMultiply(SWmatrix::Rotation(-1.5707964f, 1));
        }
        place.PostMultiply(SWmatrix::Rotation(0.15f, 0));
        AddObject(*world, node, name, nullptr, place);
        node->SetGeometry(lens);
        node->SetEye(2);
        world->AddCamera(node);
    }
    auto* group = new SWnode(SWnode::kKindGroup);
    group->SetName("objects");
    world->AddNode(group, nullptr);
    for (const char* name : {"object0", "object2"})
        group->AddGroupMember(world->GetRootNode()->FindByName(name));
    world->SetArcballNode(static_cast<SWobjectnode*>(world->GetRootNode()->FindByName("object1")));
    world->SetArcballFlag(1);

    auto* hotspot = new SWhotspot;
    hotspot->SetName("button");
    world->AddNode(hotspot, nullptr);
    hotspot->SetTextureName(textures.empty() || textures[0] == nullptr ? std::string() : textures[0]->GetName());
    hotspot->SetRect({0.1f, 0.1f, 0.3f, 0.2f});
    hotspot->SetAlterEgoRect({0.1f, 0.1f, 0.3f, 0.25f});
    hotspot->SetLabelState(1);
    std::vector<uint32_t> icon(6 * 5, 0x80FF8000u);
    hotspot->SetImage(SWimage32::SWimage32FromPixels("icon.png", 6, 5, icon.data()));

    auto sound = std::make_unique<SWsound>("speech");
    sound->SetFileName(options.soundFile.empty() ? "sample.wav" : options.soundFile);
    sound->SetPlayRange(100, 900);
    sound->SetLoop(1);
    sound->SetRepeatCount(2);
    SWsound* placed = world->GetSoundList().Add(std::move(sound));
    placed->SetWorld(world);
    AddVariables(world->GetSoundVariables(*placed), "speech");

    SWcursor* cursor = world->GetCursorList().Add("hand", NextUniqueId()); // ids are process-wide, as nodes' are
    cursor->imageFile = "hand.cur";
    cursor->hotSpotX = 4;
    world->GetCursorList().Add("wait", NextUniqueId());
    CVTN_SubWorld* entry = world->GetSubWorlds().Add("level2");
    entry->SetFileName("level2.vtn");
    entry->SetDownloadUrl("http://example.invalid/level2.vtn");
    entry->SetReferenceLimitFlag(1);
    entry->SetReferenceLimit(2);
    SWjavaclassnode* java = world->AddJavaClass(std::make_unique<SWjavaclassnode>("scores", "applets/Scores.class"));
    AddVariables(*java, "scores");
}

bool WriteSampleTone(const std::string& path)
{
    constexpr uint32_t kRate = 22050;
    std::unique_ptr<pf::RiffWaveWriter> writer = pf::RiffWaveWriter::create(path, pf::WaveFormat::pcm(1, kRate, 16));
    if (writer == nullptr)
        return false;
    std::vector<uint8_t> bytes;
    for (uint32_t i = 0; i < kRate; ++i) {
        const auto sample = static_cast<int16_t>(8000.0 * std::sin(2.0 * 3.14159265358979 * 440.0 * i / kRate));
        bytes.push_back(static_cast<uint8_t>(sample & 0xFF));
        bytes.push_back(static_cast<uint8_t>((sample >> 8) & 0xFF));
    }
    return writer->write(bytes) && writer->finish();
}

} // namespace worldtest
