// A published world holds every resource in the row chosen for it and loads back: the sample world with each
// offered mesh, key-frame and vertex-stream row and each texture kind.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/chunk_stream.h"
#include "engine/core/document_file.h"
#include "engine/core/mesh_node.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/type_tag.h"
#include "engine/core/world.h"
#include "engine/core/world_file.h"
#include "engine/resources/compression_scheme.h"
#include "engine/resources/mesh_object.h"
#include "engine/resources/palette_image.h"
#include "engine/resources/resource_report.h"
#include "engine/resources/tests/world_round_trip.h"
#include "engine/resources/texture.h"
#include "engine/resources/wavelet_image.h"
#include "testsupport/world/sample_world.h"

namespace {

std::vector<SWtexture*> Textures(const SWworld& world)
{
    std::vector<SWtexture*> out;
    for (SWtexture* t = world.GetRootObject()->GetFirstTexture(); t != nullptr; t = SWrootobject::GetNextTexture(t))
        out.push_back(t);
    return out;
}

std::vector<uint32_t> PixelsOf(const SWtexture& t)
{
    if (t.GetPixels() == nullptr)
        return {};
    return std::vector<uint32_t>(t.GetPixels(), t.GetPixels() + size_t{t.GetWidth32()} * t.GetHeight32());
}

// As the texture editor converts: a new image of the kind from the texture's name, size and pixels.
void ConvertTextures(SWworld& world, uint32_t kind)
{
    for (SWtexture* old : Textures(world)) {
        std::unique_ptr<SWtexture> made;
        if (kind == MakeTag("WAVL"))
            made = std::make_unique<SWwaveletimage>(old->GetName(), old->GetWidth(), old->GetHeight(), old->GetPixels(),
                                                    70);
        else
            made = std::make_unique<SWimage>(old->GetName(), old->GetWidth(), old->GetHeight(), old->GetPixels());
        SWtexture* const added = made.get();
        ASSERT_TRUE(world.GetRootObject()->AddTexture(std::move(made)));
        world.ReplaceTextureReferences(old, added, false);
    }
}

TEST(PublishThroughTheTable, EveryOfferedRowAndTextureKindLoadsBack)
{
    const SWcompressionschemes& table = SWcompressionschemes::Table();
    const auto keyRows = table.OfferedRows(SchemeKind::kKeyFrames);
    const auto vertexRows = table.OfferedRows(SchemeKind::kVertexStreams);
    ASSERT_EQ(keyRows.size(), 3u);
    ASSERT_EQ(vertexRows.size(), 3u);
    const uint32_t textureKinds[3] = {0, MakeTag("WAVL"), MakeTag("CIMG")};
    for (const SWcompressionscheme* meshRow : table.OfferedRows(SchemeKind::kMesh)) {
        for (size_t i = 0; i < 3; ++i) {
            SCOPED_TRACE(TagText(meshRow->GetId()) + " " + TagText(keyRows[i]->GetId()) + " " +
                         TagText(vertexRows[i]->GetId()) + " " + TagText(textureKinds[i]));
            const std::unique_ptr<SWworld> world = worldtest::MakeSampleWorld();
            if (textureKinds[i] != 0)
                ConvertTextures(*world, textureKinds[i]);
            SWnode* const root = world->GetRootNode();
            for (SWnode* node = root; node != nullptr; node = node->NextInTree(root)) {
                auto* object = dynamic_cast<SWobjectnode*>(node);
                if (object == nullptr)
                    continue;
                object->SetKeyFrameSchemeId(keyRows[i]->GetId());
                object->SetVertexSchemeId(vertexRows[i]->GetId());
                if (auto* meshNode = dynamic_cast<SWmeshnode*>(node); meshNode && meshNode->GetMeshObject())
                    meshNode->GetMeshObject()->SetScheme(meshRow);
            }
            std::vector<uint8_t> bytes;
            ASSERT_EQ(WriteWorldFile(*world, WorldFileMode::kPublished, bytes), DocumentStatus::kOk);
            (void)TakeKeptResourceReports(); // meshes with morph targets are stored plain, and say so

            const auto has = [](const std::vector<uint32_t>& tags, uint32_t tag) {
                return std::find(tags.begin(), tags.end(), tag) != tags.end();
            };
            EXPECT_TRUE(has(NestedTagsOf(bytes, MakeTag("MMES")), meshRow->GetId()));
            EXPECT_TRUE(has(NestedTagsOf(bytes, MakeTag("KFBK")), keyRows[i]->GetId()));
            EXPECT_TRUE(has(NestedTagsOf(bytes, MakeTag("VSBK")), vertexRows[i]->GetId()));

            SWdocumentfile file;
            ASSERT_EQ(SWdocumentfile::Parse(std::move(bytes), file), DocumentStatus::kOk);
            SWreadcontext context(SWreadcontext::IdMode::kKeep);
            const WorldLoadResult loaded = ReadWorldFile(file, context);
            ASSERT_EQ(loaded.status, DocumentStatus::kOk);
            EXPECT_TRUE(loaded.skipped.empty());
            EXPECT_TRUE(TakeKeptResourceReports().reports.empty()) << "nothing damaged on the way back";

            // Textures come back of their kind and showing the same pixels (a wavelet texture shows its decoded
            // stream, which decodes alike every time).
            const std::vector<SWtexture*> before = Textures(*world);
            ASSERT_EQ(Textures(*loaded.world).size(), before.size());
            for (SWtexture* texture : before) {
                const SWtexture* back = loaded.world->FindTextureByName(texture->GetName());
                ASSERT_NE(back, nullptr) << texture->GetName();
                EXPECT_EQ(back->GetTag(), texture->GetTag());
                EXPECT_EQ(PixelsOf(*back), PixelsOf(*texture)) << texture->GetName();
            }
            // Every node keeps its tracks and vertex frames, every mesh its triangles.
            size_t tracks = 0, frames = 0;
            for (SWnode* node = root; node != nullptr; node = node->NextInTree(root)) {
                auto* object = dynamic_cast<SWobjectnode*>(node);
                if (object == nullptr || !node->GetName())
                    continue;
                auto* back = dynamic_cast<SWobjectnode*>(loaded.world->GetRootNode()->FindByName(*node->GetName()));
                ASSERT_NE(back, nullptr) << *node->GetName();
                const AnimationTrackSet& a = object->GetAnimationTracks();
                const AnimationTrackSet& b = back->GetAnimationTracks();
                ASSERT_EQ(a.GetTrackCount(), b.GetTrackCount());
                for (size_t t = 0; t < a.GetTrackCount(); ++t, ++tracks) {
                    ASSERT_EQ(a.GetTrack(t).GetKeyCount(), b.GetTrack(t).GetKeyCount());
                    for (size_t k = 0; k < a.GetTrack(t).GetKeyCount(); ++k)
                        EXPECT_EQ(a.GetTrack(t).GetKeys()[k].matrix, b.GetTrack(t).GetKeys()[k].matrix);
                }
                if (VertexFrameTable* table = object->GetVertexFrameTable(); table != nullptr) {
                    ASSERT_NE(back->GetVertexFrameTable(), nullptr);
                    const std::span<float> x = table->GetFrameVertices(table->GetFrameCount() - 1);
                    const std::span<float> y =
                        back->GetVertexFrameTable()->GetFrameVertices(table->GetFrameCount() - 1);
                    EXPECT_TRUE(std::ranges::equal(x, y));
                    ++frames;
                }
                auto* meshNode = dynamic_cast<SWmeshnode*>(node);
                if (meshNode != nullptr && meshNode->GetMeshObject() != nullptr) {
                    auto* backMesh = static_cast<SWmeshnode*>(back)->GetMeshObject();
                    ASSERT_NE(backMesh, nullptr);
                    const SWmeshobject& mesh = *meshNode->GetMeshObject();
                    EXPECT_EQ(backMesh->GetPolygonCount(), mesh.GetPolygonCount());
                    // Vertex frames address vertices by index: a mesh they move keeps its vertices as they were.
                    if (object->GetVertexFrameTable() != nullptr) {
                        ASSERT_EQ(backMesh->GetVertexCount(), mesh.GetVertexCount());
                        EXPECT_TRUE(std::equal(mesh.GetVertices(), mesh.GetVertices() + 3 * mesh.GetVertexCount(),
                                               backMesh->GetVertices()));
                    }
                }
            }
            EXPECT_GT(tracks, 0u);
            EXPECT_GT(frames, 0u);
        }
    }
}

} // namespace
