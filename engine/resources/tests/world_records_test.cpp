#include "engine/resources/world_records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/behaviour/properties.h"
#include "engine/behaviour/property.h"
#include "engine/core/buffer.h"
#include "engine/core/camera_node.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/document_file.h"
#include "engine/core/header.h"
#include "engine/core/hotspot.h"
#include "engine/core/java_class_node.h"
#include "engine/core/mesh_node.h"
#include "engine/core/record_builder.h"
#include "engine/core/root_object.h"
#include "engine/core/type_tag.h"
#include "engine/core/unique_id.h"
#include "engine/core/world.h"
#include "engine/core/world_file.h"
#include "engine/core/world_sections.h"
#include "engine/resources/background.h"
#include "engine/resources/compression_scheme.h"
#include "engine/resources/image32.h"
#include "engine/resources/material.h"
#include "engine/resources/mesh_object.h"
#include "engine/resources/picture.h"
#include "engine/resources/resource_report.h"
#include "engine/resources/sound.h"
#include "engine/resources/sound_list.h"
#include "engine/resources/tests/world_round_trip.h"
#include "engine/resources/texture_header_record.h"
#include "testsupport/world/document_bytes.h"
#include "testsupport/world/sample_world.h"

namespace {

std::vector<uint8_t> Save(SWworld& world, WorldFileMode mode = WorldFileMode::kScene)
{
    std::vector<uint8_t> bytes;
    EXPECT_EQ(WriteWorldFile(world, mode, bytes), DocumentStatus::kOk);
    return bytes;
}

WorldLoadResult Load(std::vector<uint8_t> bytes)
{
    SWdocumentfile file;
    EXPECT_EQ(SWdocumentfile::Parse(std::move(bytes), file), DocumentStatus::kOk);
    SWreadcontext context(SWreadcontext::IdMode::kKeep);
    return ReadWorldFile(file, context);
}

template <typename T> T* NodeNamed(SWworld& world, const char* name)
{
    return dynamic_cast<T*>(world.GetRootNode()->FindByName(name));
}

std::vector<uint32_t> PixelsOf(const SWtexture& t)
{
    return std::vector<uint32_t>(t.GetPixels(), t.GetPixels() + size_t{t.GetWidth32()} * t.GetHeight32());
}

TEST(WorldRecords, EveryRecordComesBackAndSavesToTheSameBytes)
{
    const std::unique_ptr<SWworld> world = worldtest::MakeSampleWorld();
    for (const WorldFileMode mode : {WorldFileMode::kScene, WorldFileMode::kProject, WorldFileMode::kPublished}) {
        SCOPED_TRACE(static_cast<int>(mode));
        const std::vector<uint8_t> first = Save(*world, mode);
        WorldLoadResult loaded = Load(first);
        ASSERT_EQ(loaded.status, DocumentStatus::kOk);
        EXPECT_TRUE(loaded.skipped.empty());
        EXPECT_EQ(SWkeptsections::Find(*loaded.world), nullptr);
        EXPECT_EQ(Save(*loaded.world, mode), first);
    }
}

TEST(WorldRecords, ProgressCountsEachResourceOnceAndChangesNoByte)
{
    const std::unique_ptr<SWworld> world = worldtest::MakeSampleWorld();
    const std::vector<uint8_t> quiet = Save(*world, WorldFileMode::kPublished);
    std::vector<uint32_t> done;
    std::vector<uint32_t> totals;
    std::vector<std::string> sections;
    std::vector<uint8_t> told;
    ASSERT_EQ(WriteWorldFile(*world, WorldFileMode::kPublished, told,
                             [&](uint32_t d, uint32_t total, const char* section) {
                                 done.push_back(d);
                                 totals.push_back(total);
                                 if (sections.empty() || sections.back() != section)
                                     sections.emplace_back(section);
                             }),
              DocumentStatus::kOk);
    EXPECT_EQ(told, quiet);
    // The sample's textures, materials, background, geometry (meshes and the camera), one animated node, sounds.
    size_t expected = world->GetSoundList().Count();
    for (const auto kind : {SWobjectlist::Kind::kTextures, SWobjectlist::Kind::kMaterials,
                            SWobjectlist::Kind::kGeometry, SWobjectlist::Kind::kBackgrounds})
        expected += world->GetRootObject()->GetList(kind) ? world->GetRootObject()->GetList(kind)->CountChildren() : 0;
    ASSERT_GE(done.size(), expected);
    for (size_t i = 0; i < done.size(); ++i) {
        EXPECT_EQ(done[i], i + 1);
        EXPECT_EQ(totals[i], done.size()) << "the total was known before the first resource";
    }
    const std::vector<std::string> order = {"textures", "materials", "backgrounds", "meshes"};
    ASSERT_GE(sections.size(), order.size());
    EXPECT_TRUE(std::equal(order.begin(), order.end(), sections.begin()));
}

TEST(WorldRecords, ResourcesAndTheirLinksComeBack)
{
    const std::unique_ptr<SWworld> world = worldtest::MakeSampleWorld();
    WorldLoadResult loaded = Load(Save(*world));
    ASSERT_EQ(loaded.status, DocumentStatus::kOk);
    SWworld& back = *loaded.world;
    SWrootobject& root = *back.GetRootObject();
    EXPECT_EQ(root.GetHeader().GetCreatingTools(), std::vector<std::string>{"vortan-world make-sample"});

    // Textures: each kind, its pixels and flags.
    for (const char* name : {"bricks.png", "wood.png", "bumps.png"}) {
        SCOPED_TRACE(name);
        const SWtexture* before = world->FindTextureByName(name);
        const SWtexture* after = back.FindTextureByName(name);
        ASSERT_NE(after, nullptr);
        EXPECT_EQ(after->GetTag(), before->GetTag());
        EXPECT_EQ(after->GetTextureFlags(), before->GetTextureFlags());
        EXPECT_EQ(PixelsOf(*after), PixelsOf(*before));
    }
    // Materials: fields, and their textures bound to the loaded ones.
    const SWmaterial* wood = SWrootobject::GetNextMaterial(root.GetFirstMaterial());
    ASSERT_NE(wood, nullptr);
    EXPECT_EQ(wood->GetName(), "wood");
    EXPECT_EQ(wood->GetTexture(), back.FindTextureByName("wood.png"));
    EXPECT_EQ(wood->GetReflectionTexture(), back.FindTextureByName("bricks.png"));
    EXPECT_EQ(wood->GetReflectivity(), 0.25f);
    EXPECT_EQ(wood->GetDiffuseColour(),
              SWrootobject::GetNextMaterial(world->GetRootObject()->GetFirstMaterial())->GetDiffuseColour());
    // The background with its own texture.
    ASSERT_NE(root.GetBackground(), nullptr);
    EXPECT_EQ(root.GetBackground()->GetColour(), 0x00102030u);
    EXPECT_EQ(root.GetBackground()->GetMode(), SWbackground::kModeStretch);
    ASSERT_NE(root.GetBackground()->GetTexture(), nullptr);
    EXPECT_EQ(root.GetBackground()->GetTexture()->GetName(), "sky.png");

    // Meshes: node geometry by record index, polygon materials, morph targets, the binding's node.
    auto* meshNode = NodeNamed<SWmeshnode>(back, "meshnode0");
    ASSERT_NE(meshNode, nullptr);
    SWmeshobject* mesh = meshNode->GetMeshObject();
    ASSERT_NE(mesh, nullptr);
    const SWmeshobject* original = NodeNamed<SWmeshnode>(*world, "meshnode0")->GetMeshObject();
    EXPECT_EQ(mesh->GetPolygonCount(), original->GetPolygonCount());
    EXPECT_TRUE(mesh->IsLoaded());
    ASSERT_GT(mesh->GetPolygonCount(), 1u);
    for (uint32_t p = 0; p < mesh->GetPolygonCount(); ++p) {
        SCOPED_TRACE(p);
        ASSERT_NE(mesh->GetPolygons()[p].material, nullptr);
        EXPECT_EQ(mesh->GetPolygons()[p].material->GetName(), original->GetPolygons()[p].material->GetName());
        EXPECT_NE(mesh->GetPolygons()[p].material, original->GetPolygons()[p].material); // the loaded world's own
        EXPECT_EQ(mesh->GetSmoothingMask(p), original->GetSmoothingMask(p));
    }
    EXPECT_EQ(mesh->GetPolygons()[2].material, wood);
    ASSERT_EQ(mesh->GetMorphTargets().Count(), 1u);
    EXPECT_EQ(mesh->GetMorphTargets().GetAt(0)->records.Count(), 4u);
    ASSERT_EQ(mesh->GetVertexBuckets().size(), 1u);
    EXPECT_EQ(mesh->GetVertexBuckets()[0].node, back.GetRootNode()->FindByName("bone"));
    // Cameras: their objects, and the camera list.
    auto* front = NodeNamed<SWcameranode>(back, "front");
    ASSERT_NE(front, nullptr);
    ASSERT_NE(front->GetCameraObject(), nullptr);
    EXPECT_EQ(front->GetCameraObject()->GetName(), "front-lens");
    EXPECT_EQ(front->GetCameraObject()->GetDepthRange(), 150.0f);
    EXPECT_EQ(front->GetEye(), 2);
    EXPECT_EQ(back.GetActiveCamera(), front);
    // The hot spot: its picture and its texture by name.
    auto* hotspot = NodeNamed<SWhotspot>(back, "button");
    ASSERT_NE(hotspot, nullptr);
    ASSERT_NE(hotspot->GetImage(), nullptr);
    EXPECT_EQ(hotspot->GetPictureWidth(), 6);
    EXPECT_EQ(PixelsOf(*hotspot->GetImage()), PixelsOf(*NodeNamed<SWhotspot>(*world, "button")->GetImage()));
    EXPECT_EQ(hotspot->GetCachedTexture(), back.FindTextureByName("bricks.png"));

    // Motion: the key-frame track and the vertex frames, attached to their nodes.
    auto* object = NodeNamed<SWobjectnode>(back, "object0");
    ASSERT_EQ(object->GetAnimationTracks().GetTrackCount(), 1u);
    EXPECT_EQ(object->GetAnimationTracks().GetTrack(0).GetKeyCount(), 3u);
    ASSERT_NE(object->GetAnimationTracks().GetClips().FindById(7), nullptr);
    auto* sphere = NodeNamed<SWmeshnode>(back, "meshnode1");
    ASSERT_NE(sphere->GetVertexFrameTable(), nullptr);
    EXPECT_EQ(sphere->GetVertexFrameTable()->GetFrameCount(), 3u);
    EXPECT_TRUE(sphere->GetVertexFrameTable()->IsReady());

    // The sound by its fields (no row of its kind stores its data here), with its variables.
    SWsound* sound = back.GetSoundList().FindByName("speech");
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->GetStoredFileName(), "sample.wav"); // whatever temporary file its row restored
    EXPECT_EQ(sound->GetRangeStartMs(), 100u);
    EXPECT_EQ(sound->GetRepeatCount(), 2u);
    ASSERT_NE(back.FindSoundVariables(*sound), nullptr);
    EXPECT_NE(back.FindSoundVariables(*sound)->FindVariable("speech_speed"), nullptr);
    // The Java entry with its variables.
    ASSERT_EQ(back.GetJavaClasses().Count(), 1u);
    auto* java = static_cast<SWjavaclassnode*>(back.GetJavaClasses().Head());
    EXPECT_EQ(java->GetClassPath(), "applets/Scores.class");
    EXPECT_NE(java->FindVariable("scores_label"), nullptr);
}

// A cut rounded up to powers of two shows only its own part; a stored size beyond the picture is held inside it.
TEST(WorldRecords, AHotSpotKeepsTheShownPartOfItsPicture)
{
    const std::unique_ptr<SWworld> world = worldtest::MakeSampleWorld();
    auto* hotspot = NodeNamed<SWhotspot>(*world, "button");
    const std::vector<uint32_t> pixels(128 * 64, 0xFF336699u);
    hotspot->SetImage(SWimage32::SWimage32FromPixels("crop", 128, 64, pixels.data()));
    hotspot->SetPictureSize(100, 60);
    WorldLoadResult loaded = Load(Save(*world));
    ASSERT_EQ(loaded.status, DocumentStatus::kOk);
    auto* back = NodeNamed<SWhotspot>(*loaded.world, "button");
    EXPECT_EQ(back->GetPictureWidth(), 100);
    EXPECT_EQ(back->GetPictureHeight(), 60);

    hotspot->SetPictureSize(500, -3);
    EXPECT_EQ(hotspot->GetPictureWidth(), 128);
    EXPECT_EQ(hotspot->GetPictureHeight(), 0);
    std::vector<uint8_t> bytes = Save(*world);
    loaded = Load(bytes);
    EXPECT_EQ(NodeNamed<SWhotspot>(*loaded.world, "button")->GetPictureWidth(), 128);
    hotspot->SetImage(nullptr);
    hotspot->SetPictureSize(100, 60);
    EXPECT_EQ(hotspot->GetPictureWidth(), 0);
}

TEST(WorldRecords, ATextureNameThatFindsNothingIsWrittenBackUnchanged)
{
    const std::unique_ptr<SWworld> world = worldtest::MakeSampleWorld();
    SWmaterial* glass =
        SWrootobject::GetNextMaterial(SWrootobject::GetNextMaterial(world->GetRootObject()->GetFirstMaterial()));
    glass->SetStoredTextureNames("frost.png", "", "missing-bump.png");
    const std::vector<uint8_t> first = Save(*world);
    WorldLoadResult loaded = Load(first);
    ASSERT_EQ(loaded.status, DocumentStatus::kOk);
    const SWmaterial* back =
        SWrootobject::GetNextMaterial(SWrootobject::GetNextMaterial(loaded.world->GetRootObject()->GetFirstMaterial()));
    EXPECT_EQ(back->GetTexture(), nullptr);
    EXPECT_EQ(back->GetTextureName(), "frost.png");
    EXPECT_EQ(back->GetBumpTextureName(), "missing-bump.png");
    EXPECT_EQ(Save(*loaded.world), first);
}

TEST(WorldRecords, AMeshMaterialNameThatFindsNothingIsWrittenBackUnchanged)
{
    SWmaterial ghost("ghost"); // drawn by the mesh but in no list of the world: its name alone is stored
    const std::unique_ptr<SWworld> world = worldtest::MakeSampleWorld();
    SWmeshobject* mesh = NodeNamed<SWmeshnode>(*world, "meshnode0")->GetMeshObject();
    ASSERT_GE(mesh->GetPolygonCount(), 3u);
    mesh->SetPolygonMaterial(1, &ghost);
    const std::vector<uint8_t> first = Save(*world);
    WorldLoadResult loaded = Load(first);
    ASSERT_EQ(loaded.status, DocumentStatus::kOk);
    const SWmeshobject* back = NodeNamed<SWmeshnode>(*loaded.world, "meshnode0")->GetMeshObject();
    ASSERT_EQ(back->GetPolygonCount(), mesh->GetPolygonCount());
    EXPECT_EQ(back->GetPolygons()[1].material, nullptr);
    EXPECT_NE(back->GetPolygons()[2].material, nullptr);
    EXPECT_EQ(back->GetUnresolvedMaterialNames(), (std::map<uint32_t, std::string>{{1, "ghost"}}));
    EXPECT_EQ(Save(*loaded.world), first);
}

TEST(WorldRecords, SceneFilesStoreThroughTheDefaultRowAndPublishedOnesThroughTheChosenRow)
{
    const std::unique_ptr<SWworld> world = worldtest::MakeSampleWorld();
    SWmeshobject* mesh = NodeNamed<SWmeshnode>(*world, "meshnode0")->GetMeshObject();
    const SWcompressionscheme* codec = SWcompressionschemes::Table().FindById(MakeTag("IMES"));
    ASSERT_NE(codec, nullptr);
    mesh->SetScheme(codec);
    const std::vector<uint32_t> scene = NestedTagsOf(Save(*world), MakeTag("MMES"));
    EXPECT_NE(std::find(scene.begin(), scene.end(), MakeTag("RMES")), scene.end());
    EXPECT_EQ(std::find(scene.begin(), scene.end(), MakeTag("IMES")), scene.end());
    const std::vector<uint8_t> published = Save(*world, WorldFileMode::kPublished);
    const std::vector<uint32_t> tags = NestedTagsOf(published, MakeTag("MMES"));
    EXPECT_NE(std::find(tags.begin(), tags.end(), MakeTag("IMES")), tags.end());
    EXPECT_EQ(mesh->GetScheme(), codec); // saving never changes the choice
    // The choice is kept in the scene file's record and comes back.
    WorldLoadResult loaded = Load(Save(*world));
    ASSERT_EQ(loaded.status, DocumentStatus::kOk);
    EXPECT_EQ(NodeNamed<SWmeshnode>(*loaded.world, "meshnode0")->GetMeshObject()->GetScheme(), codec);
}

// An image payload written by hand: "TXHD", then a pixel record of pixelBytes bytes.
std::vector<uint8_t> ImagePayload(uint32_t pixelTag, uint32_t width, uint32_t height, size_t pixelBytes)
{
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        SWimage32 header("h", width, height, nullptr);
        WriteTextureHeader(out, header);
        SWrecordbuilder pixels(out, pixelTag);
        pixels.Stream().WriteBytes(std::vector<uint8_t>(pixelBytes, 0x7F));
        pixels.Finish();
    }
    return buffer.ToVector();
}

// A world read from a file on demand, through windows and slices far smaller than its records, saves to the
// file's bytes; a mesh of many vertices and a picture make the reads large.
TEST(WorldRecords, AWorldReadFromAFileOnDemandSavesToTheFileBytes)
{
    worldtest::SampleWorldOptions options;
    options.sphereRings = 96;
    const std::unique_ptr<SWworld> world = worldtest::MakeSampleWorld(options);
    const std::vector<uint8_t> saved = Save(*world);
    SWdocumentfile file;
    ASSERT_EQ(SWdocumentfile::OpenBytes(saved, file, kDocumentSliceBytes), DocumentStatus::kOk);
    SWreadcontext context(SWreadcontext::IdMode::kKeep);
    WorldLoadResult loaded = ReadWorldFile(file, context);
    ASSERT_EQ(loaded.status, DocumentStatus::kOk) << loaded.message;
    EXPECT_TRUE(loaded.skipped.empty());
    EXPECT_EQ(Save(*loaded.world), saved);
}

TEST(WorldRecords, PixelRecordsOfTheWrongSizeAreRefused)
{
    struct Case {
        uint32_t tag, pixelTag;
        size_t bytesPerPixel;
    };
    for (const Case c : {Case{MakeTag("CI32"), MakeTag("PX32"), 4}, Case{MakeTag("CI24"), MakeTag("PX24"), 3},
                         Case{MakeTag("CIG8"), MakeTag("PXG8"), 1}}) {
        SCOPED_TRACE(TagText(c.tag));
        for (const size_t bytes : {size_t{0}, 5 * 3 * c.bytesPerPixel - 1, 5 * 3 * c.bytesPerPixel + 1}) {
            const std::vector<uint8_t> payload = ImagePayload(c.pixelTag, 5, 3, bytes);
            SWchunkstream in(payload);
            EXPECT_EQ(ReadImagePayload(c.tag, in), nullptr);
        }
        const std::vector<uint8_t> exact = ImagePayload(c.pixelTag, 5, 3, 5 * 3 * c.bytesPerPixel);
        SWchunkstream in(exact);
        const std::unique_ptr<SWtexture> image = ReadImagePayload(c.tag, in);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->GetWidth(), 5);
    }
    // A header claiming more than the limits allows nothing to be reserved.
    const std::vector<uint8_t> huge = ImagePayload(MakeTag("PX32"), 70000, 70000, 16);
    SWchunkstream in(huge);
    EXPECT_EQ(ReadImagePayload(MakeTag("CI32"), in), nullptr);
}

// A texture list of one good and one damaged image, the damaged one written by a stand-in for the list's writer.
constexpr SWworldsectionhandler kDamagedTextures = {
    .write =
        [](SWworldwriting& out, uint32_t root) {
            const std::optional<uint32_t> list = out.AddRecord(MakeTag("TXLS"), root, nullptr);
            const auto image = [](size_t bytes) {
                return [bytes](SWchunkstream& s) { return s.WriteBytes(ImagePayload(MakeTag("PX32"), 2, 2, bytes)); };
            };
            return list && out.AddRecord(MakeTag("CI32"), *list, image(15)) &&
                   out.AddRecord(MakeTag("CI32"), *list, image(16));
        },
};

// Every image a world holds (textures, the background's, the hot spot's picture) is held to the caller's pixel
// limit before anything is reserved for it; the world is then refused whole, saying which image.
TEST(WorldRecords, ThePixelLimitCoversEveryImageOfTheWorld)
{
    const std::unique_ptr<SWworld> world = worldtest::MakeSampleWorld();
    uint64_t largest = 0;
    std::string largestSize;
    for (SWtexture* t = world->GetRootObject()->GetFirstTexture(); t != nullptr; t = SWrootobject::GetNextTexture(t)) {
        if (uint64_t{t->GetWidth32()} * t->GetHeight32() > largest) {
            largest = uint64_t{t->GetWidth32()} * t->GetHeight32();
            largestSize = std::to_string(t->GetWidth32()) + " x " + std::to_string(t->GetHeight32());
        }
    }
    ASSERT_GT(largest, 1u);
    for (const WorldFileMode mode : {WorldFileMode::kScene, WorldFileMode::kPublished}) {
        SCOPED_TRACE(static_cast<int>(mode));
        SWdocumentfile file;
        ASSERT_EQ(SWdocumentfile::Parse(Save(*world, mode), file), DocumentStatus::kOk);
        SWreadcontext enough(SWreadcontext::IdMode::kKeep);
        enough.SetLimits({.maxPixels = largest});
        EXPECT_EQ(ReadWorldFile(file, enough).status, DocumentStatus::kOk);
        SWreadcontext tight(SWreadcontext::IdMode::kKeep);
        tight.SetLimits({.maxPixels = largest - 1});
        const WorldLoadResult refused = ReadWorldFile(file, tight);
        EXPECT_EQ(refused.status, DocumentStatus::kOverLimit);
        EXPECT_EQ(refused.message, "refused by the read limits: an image of " + largestSize +
                                       " pixels, more than the limit of " + std::to_string(largest - 1));
        SWreadcontext none(SWreadcontext::IdMode::kKeep);
        none.SetLimits({.maxPixels = 0}); // the hot spot's picture and the background's image too
        EXPECT_EQ(ReadWorldFile(file, none).status, DocumentStatus::kOverLimit);
    }
}

// A generated picture is made from a few bytes: its pixels count against the byte limit, so that many of them in a
// small file cannot add up to gigabytes, while a stored picture of the same size counts nothing.
TEST(WorldRecords, GeneratedPicturesCountTheirPixelsAgainstTheByteLimit)
{
    constexpr uint64_t kPictureBytes = 512 * 512 * 4;
    for (const bool generated : {true, false}) {
        SCOPED_TRACE(generated);
        const std::unique_ptr<SWworld> world = worldtest::MakeSampleWorld();
        for (const char* name : {"one", "two", "three", "four"}) {
            std::unique_ptr<SWtexture> image = generated ? std::unique_ptr<SWtexture>(std::make_unique<SWpicture>(
                                                               name, 512, 512, BackgroundGenerator::kRadial))
                                                         : std::make_unique<SWimage32>(name, 512, 512, nullptr);
            world->GetRootObject()->AddTexture(std::move(image));
        }
        SWdocumentfile file;
        ASSERT_EQ(SWdocumentfile::Parse(Save(*world, WorldFileMode::kScene), file), DocumentStatus::kOk);
        SWreadcontext tight(SWreadcontext::IdMode::kKeep);
        tight.SetLimits({.maxBytes = 3 * kPictureBytes});
        const WorldLoadResult read = ReadWorldFile(file, tight);
        if (!generated) {
            EXPECT_EQ(read.status, DocumentStatus::kOk);
            continue;
        }
        EXPECT_EQ(read.status, DocumentStatus::kOverLimit);
        EXPECT_EQ(read.message, "refused by the read limits: an image of 512 x 512 pixels takes the images past the "
                                "limit of " +
                                    std::to_string(3 * kPictureBytes) + " bytes beyond what stores them");
        SWreadcontext enough(SWreadcontext::IdMode::kKeep);
        enough.SetLimits({.maxBytes = 5 * kPictureBytes});
        EXPECT_EQ(ReadWorldFile(file, enough).status, DocumentStatus::kOk);
    }
}

TEST(WorldRecords, ADamagedResourceIsReportedAndLeftOutWhileTheRestLoads)
{
    const std::unique_ptr<SWworld> world = worldtest::MakeSampleWorld();
    std::vector<uint8_t> bytes;
    {
        const SWworldsectionhandler* real = ReplaceWorldSectionHandler(WorldSection::kTextures, &kDamagedTextures);
        bytes = Save(*world);
        ReplaceWorldSectionHandler(WorldSection::kTextures, real);
    }
    TakeKeptResourceReports();
    WorldLoadResult loaded = Load(bytes);
    ASSERT_EQ(loaded.status, DocumentStatus::kOk);
    ASSERT_EQ(loaded.skipped.size(), 1u);
    EXPECT_EQ(loaded.skipped[0].tag, MakeTag("CI32"));
    EXPECT_EQ(TakeKeptResourceReports().reports.size(), 1u);
    ASSERT_NE(loaded.world->GetRootObject()->GetFirstTexture(), nullptr);
    EXPECT_EQ(SWrootobject::GetNextTexture(loaded.world->GetRootObject()->GetFirstTexture()), nullptr);
    EXPECT_NE(NodeNamed<SWmeshnode>(*loaded.world, "meshnode0")->GetMeshObject(), nullptr);
}

// A factor a damaged file holds as NaN or beyond any meaning takes its default, with one report per material; the
// material stays for its meshes, and a factor at the edge of what the editors write comes back as it was.
TEST(WorldRecords, AMaterialFactorOutOfRangeIsResetWithAReport)
{
    const std::unique_ptr<SWworld> world = worldtest::MakeSampleWorld();
    SWmaterial& first = *world->GetRootObject()->GetFirstMaterial();
    SWmaterial& wood = *SWrootobject::GetNextMaterial(&first);
    first.SetSmoothness(std::nanf(""));
    first.SetBumpAmount(-1e30f);
    first.SetTextureOpacity(0.5f);
    wood.SetSmoothness(1000.0f);
    const std::vector<uint8_t> bytes = Save(*world);
    TakeKeptResourceReports(); // the save's own
    WorldLoadResult loaded = Load(bytes);
    ASSERT_EQ(loaded.status, DocumentStatus::kOk);
    const std::vector<ResourceReport> reports = TakeKeptResourceReports().reports;
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].text.find("\"brick\""), std::string::npos);
    const SWmaterial& back = *loaded.world->GetRootObject()->GetFirstMaterial();
    EXPECT_EQ(back.GetSmoothness(), SWmaterial().GetSmoothness());
    EXPECT_EQ(back.GetBumpAmount(), SWmaterial().GetBumpAmount());
    EXPECT_EQ(back.GetTextureOpacity(), 0.5f);
    EXPECT_EQ(SWrootobject::GetNextMaterial(&back)->GetSmoothness(), 1000.0f);
    EXPECT_NE(NodeNamed<SWmeshnode>(*loaded.world, "meshnode0")->GetMeshObject(), nullptr);
}

// A sound list holding a record of another kind and a sound without its fields, written by a stand-in.
constexpr SWworldsectionhandler kDamagedSounds = {
    .write =
        [](SWworldwriting& out, uint32_t root) {
            const std::optional<uint32_t> list = out.AddRecord(MakeTag("SNLS"), root, nullptr);
            const auto image = [](SWchunkstream& s) { return s.WriteBytes(ImagePayload(MakeTag("PX32"), 2, 2, 16)); };
            const auto noFields = [](SWchunkstream& s) { return s.WriteU32(7); };
            return list && out.AddRecord(MakeTag("CI32"), *list, image) &&
                   out.AddRecord(MakeTag("7403"), *list, noFields);
        },
};

// Neither record becomes a sound: each is skipped with its reason, the damaged sound reported and taken out of the
// world again, and everything else loads.
TEST(WorldRecords, ASoundListSkipsWhatIsNoSoundAndASoundThatDoesNotRead)
{
    const std::unique_ptr<SWworld> world = worldtest::MakeSampleWorld();
    std::vector<uint8_t> bytes;
    {
        const SWworldsectionhandler* real = ReplaceWorldSectionHandler(WorldSection::kSounds, &kDamagedSounds);
        bytes = Save(*world);
        ReplaceWorldSectionHandler(WorldSection::kSounds, real);
    }
    TakeKeptResourceReports();
    WorldLoadResult loaded = Load(bytes);
    ASSERT_EQ(loaded.status, DocumentStatus::kOk);
    ASSERT_EQ(loaded.skipped.size(), 2u);
    EXPECT_EQ(loaded.skipped[0].tag, MakeTag("CI32"));
    EXPECT_EQ(loaded.skipped[0].reason, "not a sound");
    EXPECT_EQ(loaded.skipped[1].tag, MakeTag("7403"));
    EXPECT_EQ(loaded.skipped[1].reason, "sound does not read");
    EXPECT_EQ(TakeKeptResourceReports().reports.size(), 1u);
    EXPECT_EQ(loaded.world->GetSoundList().Count(), 0u);
    EXPECT_NE(loaded.world->GetRootObject()->GetFirstTexture(), nullptr);
    EXPECT_NE(NodeNamed<SWmeshnode>(*loaded.world, "meshnode0")->GetMeshObject(), nullptr);
}

// A saved world's records with the ids its stream root and its sounds store replaced (from, to), as a file written
// by another process holds them; with soundsLast, the sound list moved behind the stream root.
std::vector<uint8_t> AsStoredElsewhere(const std::vector<uint8_t>& saved,
                                       const std::vector<std::pair<uint32_t, uint32_t>>& ids, bool soundsLast)
{
    using namespace documenttest;
    SWdocumentfile file;
    EXPECT_EQ(SWdocumentfile::Parse(saved, file), DocumentStatus::kOk);
    std::vector<RawRecord> records;
    for (const DocumentRecord& record : file.Records()) {
        RawRecord raw{record.tag, record.parentIndex, record.flags, {record.payload.begin(), record.payload.end()}};
        if (record.tag == MakeTag("5PTS") || record.tag == MakeTag("7403"))
            for (const auto& [from, to] : ids)
                ReplaceStoredId(raw.payload, from, to);
        records.push_back(std::move(raw));
    }
    if (!soundsLast)
        return FileOf(BodyOf(records));
    // Pre-order: the list and its sounds are one run of records; nothing outside it is their child.
    const auto list = static_cast<uint32_t>(
        std::find_if(records.begin(), records.end(), [](const RawRecord& r) { return r.tag == MakeTag("SNLS"); }) -
        records.begin());
    uint32_t end = list + 1;
    while (end < records.size() && records[end].parent != kDocumentNoParent && records[end].parent >= list)
        ++end;
    std::vector<uint32_t> order;
    for (uint32_t i = 0; i < records.size(); ++i)
        if (i < list || i >= end)
            order.push_back(i);
    for (uint32_t i = list; i < end; ++i)
        order.push_back(i);
    std::map<uint32_t, uint32_t> placed;
    for (uint32_t at = 0; at < order.size(); ++at)
        placed[order[at]] = at;
    std::vector<RawRecord> moved;
    for (const uint32_t i : order) {
        RawRecord r = records[i];
        if (r.parent != kDocumentNoParent)
            r.parent = placed.at(r.parent);
        moved.push_back(std::move(r));
    }
    return FileOf(BodyOf(moved));
}

// Every id of the world's nodes, their variables and its sounds' variables; false when two objects share one.
bool IdsAreUnique(SWworld& world)
{
    std::set<uint32_t> seen;
    bool unique = true;
    const auto add = [&](const SWproperties2& list) {
        for (const SWproperty* v = list.GetFirstVariable(); v != nullptr; v = SWproperties2::GetNextVariable(v))
            unique = seen.insert(v->GetId()).second && unique;
    };
    for (SWnode* n = world.GetRootNode(); n != nullptr; n = n->NextInTree(world.GetRootNode())) {
        unique = seen.insert(n->GetId()).second && unique;
        add(*n);
    }
    SWsoundlist& sounds = world.GetSoundList();
    for (SWsound* s = sounds.GetFirst(); s != nullptr; s = sounds.GetNext(s))
        add(world.GetSoundVariables(*s));
    return unique;
}

// The world makes its root before a file's ids are reserved, and the node table makes nodes before a sound list
// stored after it is read: neither may take an id the file keeps for another object.
TEST(WorldRecordIds, NoFreshIdTakenWhileReadingIsOneTheFileStores)
{
    SWworld world;
    std::vector<SWnode*> nodes;
    for (const char* name : {"a", "b", "c", "d", "none"}) {
        auto* node = new SWobjectnode;
        node->SetName(name);
        world.AddNode(node, nullptr);
        nodes.push_back(node);
    }
    SWsound* sound = world.GetSoundList().Add(std::make_unique<SWsound>("bell"));
    std::vector<SWproperty*> variables;
    for (int i = 0; i < 8; ++i) {
        auto v = std::make_unique<SWproperty>(kTypeFloat);
        v->SetName(std::string("v").append(std::to_string(i)));
        variables.push_back(world.GetSoundVariables(*sound).AddVariable(std::move(v)));
    }
    const std::vector<uint8_t> saved = Save(world);

    // The ids the counter hands out next, while the file is read, are stored for other objects.
    for (const bool soundsLast : {false, true}) {
        SCOPED_TRACE(soundsLast ? "the sound list after the node table" : "the root stored with id 0");
        const uint32_t next = PeekUniqueId() + 1;
        std::vector<std::pair<uint32_t, uint32_t>> ids;
        if (soundsLast) {
            ids.emplace_back(nodes.back()->GetId(), 0);
            for (uint32_t i = 0; i < variables.size(); ++i)
                ids.emplace_back(variables[i]->GetId(), next + i);
        } else {
            ids.emplace_back(world.GetRootNode()->GetId(), 0);
            for (uint32_t i = 0; i < 4; ++i)
                ids.emplace_back(nodes[i]->GetId(), next + i);
        }
        WorldLoadResult loaded = Load(AsStoredElsewhere(saved, ids, soundsLast));
        ASSERT_EQ(loaded.status, DocumentStatus::kOk);
        EXPECT_TRUE(IdsAreUnique(*loaded.world));
        const std::vector<uint8_t> first = Save(*loaded.world);
        WorldLoadResult again = Load(first);
        ASSERT_EQ(again.status, DocumentStatus::kOk);
        EXPECT_TRUE(IdsAreUnique(*again.world));
        EXPECT_TRUE(Save(*again.world) == first); // byte for byte: no dump of both files
    }
}

} // namespace
