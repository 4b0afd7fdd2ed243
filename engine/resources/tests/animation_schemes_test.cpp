#include "engine/resources/animation_schemes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/record_builder.h"
#include "engine/core/type_tag.h"
#include "engine/resources/array_block.h"
#include "engine/resources/material.h"
#include "engine/resources/mesh.h"
#include "engine/resources/mesh_schemes.h"
#include "platform/base/endian.h"

namespace {

// A row id spelled at run time: its first character in the lowest byte, as MakeTag spells it.
uint32_t Tag(const char* id)
{
    return pf::loadU32le(reinterpret_cast<const uint8_t*>(id));
}

const SWcompressionschemes& Table()
{
    return SWcompressionschemes::Table();
}

SWmatrix Numbered(float base)
{
    SWmatrix m;
    for (int i = 0; i < 16; ++i)
        m[i] = base + static_cast<float>(i);
    return m;
}

void FillKeyFrames(SWkeyframeblock& block)
{
    block.SetNodeId(42);
    AnimationTrack& named = block.GetTracks().AddTrack(std::string("Animation"));
    named.SetKey(30, Numbered(300));
    named.SetKey(0, Numbered(0));
    block.GetTracks().AddTrack(std::nullopt).SetKey(7, Numbered(70));
    block.GetTracks().GetClips().Add({5, 0});
    block.GetTracks().GetClips().Add({9, 30});
    block.GetTracks().SetDefaultSlot(Numbered(-16));
}

void FillVertexFrames(SWvertexstreamblock& block, uint32_t frames = 4, uint32_t vertices = 50)
{
    std::vector<float> positions(size_t{frames} * vertices * 3);
    for (size_t i = 0; i < positions.size(); ++i)
        positions[i] = static_cast<float>(i % 97) * 0.25f; // repeats, so the filters have something to find
    EXPECT_TRUE(block.SetFrames(frames, vertices, std::move(positions)));
}

float LoadF32(const uint8_t* p)
{
    return std::bit_cast<float>(pf::loadU32le(p));
}

void ExpectSameKeyFrames(const SWkeyframeblock& a, const SWkeyframeblock& b)
{
    const AnimationTrackSet& x = a.GetTracks();
    const AnimationTrackSet& y = b.GetTracks();
    ASSERT_EQ(x.GetTrackCount(), y.GetTrackCount());
    for (size_t t = 0; t < x.GetTrackCount(); ++t) {
        EXPECT_EQ(x.GetTrack(t).GetName(), y.GetTrack(t).GetName());
        ASSERT_EQ(x.GetTrack(t).GetKeyCount(), y.GetTrack(t).GetKeyCount());
        for (size_t k = 0; k < x.GetTrack(t).GetKeyCount(); ++k) {
            EXPECT_EQ(x.GetTrack(t).GetKeys()[k].frame, y.GetTrack(t).GetKeys()[k].frame);
            EXPECT_EQ(x.GetTrack(t).GetKeys()[k].matrix, y.GetTrack(t).GetKeys()[k].matrix);
        }
    }
    ASSERT_EQ(x.GetClips().GetClips().size(), y.GetClips().GetClips().size());
    for (size_t c = 0; c < x.GetClips().GetClips().size(); ++c) {
        EXPECT_EQ(x.GetClips().GetClips()[c].id, y.GetClips().GetClips()[c].id);
        EXPECT_EQ(x.GetClips().GetClips()[c].baseFrame, y.GetClips().GetClips()[c].baseFrame);
    }
    EXPECT_EQ(x.GetDefaultSlot(), y.GetDefaultSlot());
}

std::vector<uint8_t> WriteWith(const char* rowId, SWmotionblock& block)
{
    block.SetScheme(Table().FindById(Tag(rowId)));
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    EXPECT_TRUE(Table().WriteResource(static_cast<int>(block.GetSchemeKind()), out, &block, 0)) << rowId;
    return buffer.ToVector();
}

bool ReadRecord(std::span<const uint8_t> record, SWmotionblock& block)
{
    SWchunkstream in(record);
    const uint32_t tag = in.TakeTag();
    return Table().ReadResource(tag, in, &block, 0);
}

// The record with its length field made to fit a shortened or altered payload.
std::vector<uint8_t> Record(uint32_t tag, const std::vector<uint8_t>& payload)
{
    std::vector<uint8_t> record(8 + payload.size());
    pf::storeU32le(&record[0], tag);
    pf::storeU32le(&record[4], static_cast<uint32_t>(payload.size()));
    std::copy(payload.begin(), payload.end(), record.begin() + 8);
    return record;
}

TEST(MotionBlockRows, KindsDefaultsAndWhatTheyAccept)
{
    struct Expected {
        const char* id;
        SchemeKind kind;
        bool isDefault;
    };
    for (const Expected& e : {Expected{"KRAW", SchemeKind::kKeyFrames, true},
                              {"KLZS", SchemeKind::kKeyFrames, false},
                              {"KDEF", SchemeKind::kKeyFrames, false},
                              {"VRAW", SchemeKind::kVertexStreams, true},
                              {"VLZS", SchemeKind::kVertexStreams, false},
                              {"VDEF", SchemeKind::kVertexStreams, false},
                              {"RMES", SchemeKind::kMesh, true}}) {
        const SWcompressionscheme* row = Table().FindById(Tag(e.id));
        ASSERT_NE(row, nullptr) << e.id;
        EXPECT_EQ(row->GetKind(), e.kind) << e.id;
        EXPECT_TRUE(row->IsOffered()) << e.id;
        EXPECT_EQ(row->IsDefault(), e.isDefault) << e.id;
    }
    EXPECT_EQ(Table().DefaultOf(SchemeKind::kMesh)->GetId(), MakeTag("RMES"));
    SWkeyframeblock keys;
    SWvertexstreamblock frames;
    SWmesh mesh;
    EXPECT_TRUE(Table().FindById(MakeTag("KLZS"))->Accepts(&keys));
    EXPECT_FALSE(Table().FindById(MakeTag("KLZS"))->Accepts(&frames));
    EXPECT_FALSE(Table().FindById(MakeTag("VDEF"))->Accepts(&keys));
    EXPECT_TRUE(Table().FindById(MakeTag("RMES"))->Accepts(&mesh));
    EXPECT_FALSE(Table().FindById(MakeTag("RMES"))->Accepts(&keys));
    // A block given a row of the other kind is not written with it.
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    EXPECT_FALSE(Table().FindById(MakeTag("VRAW"))->Write(out, &keys, 0));
}

TEST(MotionBlockBodies, PlainLayoutsAreTheStoredOnes)
{
    SWkeyframeblock keys;
    keys.GetTracks().AddTrack(std::string("ab")).SetKey(3, Numbered(1));
    keys.GetTracks().GetClips().Add({6, 2});
    const std::vector<uint8_t> body = *keys.EncodeBody();
    ASSERT_EQ(body.size(), 4u + (4 + 2 + 4 + 68) + 4 + 8 + 64);
    EXPECT_EQ(pf::loadU32le(&body[0]), 1u);        // tracks
    EXPECT_EQ(pf::loadU32le(&body[4]), 2u);        // name length
    EXPECT_EQ(body[8], 'a');                       // name
    EXPECT_EQ(pf::loadU32le(&body[10]), 1u);       // keys
    EXPECT_EQ(pf::loadU32le(&body[14]), 3u);       // frame
    EXPECT_EQ(LoadF32(&body[18 + 4 * 15]), 16.0f); // its matrix's last element
    EXPECT_EQ(pf::loadU32le(&body[82]), 1u);       // clips
    EXPECT_EQ(pf::loadU32le(&body[86]), 6u);       // clip id
    EXPECT_EQ(pf::loadU32le(&body[90]), 2u);       // its base frame
    EXPECT_EQ(LoadF32(&body[94]), 1.0f);           // the default slot: the identity
    EXPECT_EQ(LoadF32(&body[94 + 4]), 0.0f);

    SWvertexstreamblock frames;
    FillVertexFrames(frames, 2, 3);
    const std::vector<uint8_t> stream = *frames.EncodeBody();
    ASSERT_EQ(stream.size(), 8u + 2 * 3 * 12);
    EXPECT_EQ(pf::loadU32le(&stream[0]), 2u);
    EXPECT_EQ(pf::loadU32le(&stream[4]), 3u);
    EXPECT_EQ(LoadF32(&stream[8 + 4 * 17]), 17 * 0.25f); // frame 1, vertex 2, z
}

TEST(MotionBlockRows, EveryRowRoundTripsAndFiltersShrinkRepetitiveFrames)
{
    SWkeyframeblock keys;
    FillKeyFrames(keys);
    SWvertexstreamblock frames;
    FillVertexFrames(frames, 20, 500);
    for (const char* id : {"KRAW", "KLZS", "KDEF"}) {
        SWkeyframeblock source;
        FillKeyFrames(source);
        const std::vector<uint8_t> record = WriteWith(id, source);
        EXPECT_EQ(pf::loadU32le(&record[0]), Tag(id));
        SWkeyframeblock loaded;
        ASSERT_TRUE(ReadRecord(record, loaded)) << id;
        ExpectSameKeyFrames(keys, loaded);
        EXPECT_EQ(loaded.GetTracks().GetTrack(0).GetKeys()[0].frame, 0u); // keys back in frame order
        EXPECT_EQ(WriteWith(id, loaded), record) << id;                   // load, then save: the same bytes
    }
    for (const char* id : {"VRAW", "VLZS", "VDEF"}) {
        SWvertexstreamblock source;
        FillVertexFrames(source, 20, 500);
        const std::vector<uint8_t> record = WriteWith(id, source);
        if (std::string(id) != "VRAW") {
            EXPECT_LT(record.size(), 20u * 500 * 12 / 4) << id;
        }
        SWvertexstreamblock loaded;
        ASSERT_TRUE(ReadRecord(record, loaded)) << id;
        EXPECT_EQ(loaded.GetFrameCount(), 20u);
        EXPECT_EQ(loaded.GetVertexCount(), 500u);
        EXPECT_TRUE(std::ranges::equal(loaded.GetPositions(), frames.GetPositions())) << id;
    }
}

TEST(MotionBlockRows, DamagedPayloadsFailAndLeaveTheBlockAsItWas)
{
    for (const char* id : {"KRAW", "KLZS", "KDEF", "VRAW", "VLZS", "VDEF"}) {
        const bool keyFrames = id[0] == 'K';
        SWkeyframeblock sourceKeys;
        FillKeyFrames(sourceKeys);
        SWvertexstreamblock sourceFrames;
        FillVertexFrames(sourceFrames);
        const std::vector<uint8_t> record =
            WriteWith(id, keyFrames ? static_cast<SWmotionblock&>(sourceKeys) : sourceFrames);
        const std::vector<uint8_t> payload(record.begin() + 8, record.end());
        // Every truncation of the payload (the plain reader ignores only what follows a complete body).
        for (size_t cut = 0; cut < payload.size(); ++cut) {
            SWkeyframeblock keys;
            FillKeyFrames(keys);
            SWvertexstreamblock frames;
            FillVertexFrames(frames, 1, 1);
            SWmotionblock& target = keyFrames ? static_cast<SWmotionblock&>(keys) : frames;
            const std::vector<uint8_t> shortened(payload.begin(), payload.begin() + static_cast<ptrdiff_t>(cut));
            ASSERT_FALSE(ReadRecord(Record(Tag(id), shortened), target)) << id << " cut at " << cut;
            if (keyFrames)
                ExpectSameKeyFrames(keys, sourceKeys);
            else
                EXPECT_EQ(frames.GetFrameCount(), 1u);
        }
    }
    // Counts that claim more than the record holds, and more than 4 GiB in 32 bits: refused before reserving.
    SWvertexstreamblock frames;
    std::vector<uint8_t> huge(8);
    pf::storeU32le(&huge[0], 0xFFFFFFFF);
    pf::storeU32le(&huge[4], 0xFFFFFFFF);
    EXPECT_FALSE(ReadRecord(Record(MakeTag("VRAW"), huge), frames));
    pf::storeU32le(&huge[0], 0x40000000); // x 4 vertices x 12 wraps to 0 in 32 bits
    pf::storeU32le(&huge[4], 4);
    EXPECT_FALSE(ReadRecord(Record(MakeTag("VRAW"), huge), frames));
    SWkeyframeblock keys;
    std::vector<uint8_t> tracks(8);
    pf::storeU32le(&tracks[0], 0x10000000);
    EXPECT_FALSE(ReadRecord(Record(MakeTag("KRAW"), tracks), keys));

    // Compressed rows: a size beyond 1 GiB or the filter's reach, and a size other than the body's.
    SWvertexstreamblock source;
    FillVertexFrames(source);
    const std::vector<uint8_t> record = WriteWith("VDEF", source);
    std::vector<uint8_t> payload(record.begin() + 8, record.end());
    for (const uint32_t size :
         {0xFFFFFFFFu, (1u << 30) + 1, pf::loadU32le(&payload[0]) + 1, pf::loadU32le(&payload[0]) - 1, 0u}) {
        pf::storeU32le(&payload[0], size);
        EXPECT_FALSE(ReadRecord(Record(MakeTag("VDEF"), payload), frames)) << size;
    }
    EXPECT_EQ(frames.GetFrameCount(), 0u);
}

// The fuzz seeds were written by a separate encoder from the layouts alone (a greedy LZSS and zlib at level 9): the
// rows must read what another writer of the same format makes.
TEST(MotionBlockRows, ReadBodiesAnotherEncoderWrote)
{
    const char* root = std::getenv("VORTAN_SOURCE_DIR");
    const std::string folder = std::string(root != nullptr ? root : ".") + "/fuzz/resources/corpus/block_rows/";
    const char* const rows[] = {"KLZS", "KDEF", "VLZS", "VDEF", "KRAW", "VRAW"};
    for (const char* name :
         {"klzs_tracks", "kdef_tracks", "kraw_tracks", "vlzs_frames", "vdef_frames", "vraw_frames"}) {
        std::ifstream file(folder + name, std::ios::binary);
        const std::vector<uint8_t> seed{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        ASSERT_GT(seed.size(), 1u) << folder + name;
        ASSERT_LT(seed[0], 6) << name;
        const auto* row = dynamic_cast<const SWmotionblockscheme*>(Table().FindById(Tag(rows[seed[0]])));
        ASSERT_NE(row, nullptr);
        SWchunkstream in(std::span<const uint8_t>(seed).subspan(1));
        if (name[0] == 'k') {
            SWkeyframeblock keys;
            ASSERT_TRUE(row->ReadPayload(in, keys)) << name;
            const AnimationTrackSet& set = keys.GetTracks();
            ASSERT_EQ(set.GetTrackCount(), 2u);
            EXPECT_EQ(set.GetTrack(0).GetName(), std::optional<std::string>("Animation"));
            EXPECT_EQ(set.GetTrack(1).GetName(), std::nullopt);
            ASSERT_EQ(set.GetTrack(0).GetKeyCount(), 2u);
            EXPECT_EQ(set.GetTrack(0).GetKeys()[1].frame, 30u);
            EXPECT_EQ(set.GetTrack(0).GetKeys()[1].matrix, Numbered(30));
            ASSERT_EQ(set.GetClips().GetClips().size(), 2u);
            EXPECT_EQ(set.GetClips().GetClips()[1].baseFrame, 30u);
            EXPECT_EQ(set.GetDefaultSlot(), SWmatrix());
        } else {
            SWvertexstreamblock frames;
            ASSERT_TRUE(row->ReadPayload(in, frames)) << name;
            ASSERT_EQ(frames.GetPositions().size(), 3u * 8 * 3);
            for (size_t i = 0; i < frames.GetPositions().size(); ++i)
                ASSERT_EQ(frames.GetPositions()[i], static_cast<float>(i % 7) * 0.5f) << name << " " << i;
        }
    }
}

TEST(KeyFrameBlock, KeysStoredOutOfOrderComeBackSortedWithTheLastOfARepeatedFrame)
{
    // Keys stored from the last frame down, as another writer may: they come back in frame order, and of a
    // repeated frame the last stored key wins.
    constexpr uint32_t kKeys = 50000;
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        out.WriteU32(1);
        out.WriteString(std::string_view("t"));
        out.WriteU32(kKeys + 1);
        for (uint32_t k = 0; k < kKeys; ++k) {
            out.WriteU32(kKeys - 1 - k);
            for (int i = 0; i < 16; ++i)
                out.WriteF32(static_cast<float>(k));
        }
        out.WriteU32(0); // frame 0 again, with another matrix
        for (int i = 0; i < 16; ++i)
            out.WriteF32(-1.0f);
        out.WriteU32(0);
        for (int i = 0; i < 16; ++i)
            out.WriteF32(0.0f);
    }
    SWkeyframeblock block;
    ASSERT_TRUE(block.DecodeBody(buffer.ToVector()));
    const AnimationTrack& track = block.GetTracks().GetTrack(0);
    ASSERT_EQ(track.GetKeyCount(), kKeys);
    EXPECT_EQ(track.GetKeys()[0].frame, 0u);
    EXPECT_EQ(track.GetKeys()[0].matrix[5], -1.0f);
    EXPECT_EQ(track.GetKeys()[kKeys - 1].frame, kKeys - 1);
    EXPECT_EQ(track.GetKeys()[kKeys - 1].matrix[0], 0.0f);
}

TEST(VertexStreamBlock, TableCopiesBothWays)
{
    SWvertexstreamblock block;
    FillVertexFrames(block, 3, 7);
    const std::unique_ptr<VertexFrameTable> table = block.MakeTable();
    ASSERT_NE(table, nullptr);
    EXPECT_TRUE(table->IsReady());
    float vertex[3];
    ASSERT_TRUE(table->GetVertex(2, 6, vertex));
    EXPECT_EQ(vertex[2], block.GetPositions()[(2 * 7 + 6) * 3 + 2]);
    SWvertexstreamblock copy;
    ASSERT_TRUE(copy.CopyFrom(*table));
    EXPECT_TRUE(std::ranges::equal(copy.GetPositions(), block.GetPositions()));
    EXPECT_EQ(SWvertexstreamblock().MakeTable(), nullptr);
    EXPECT_FALSE(copy.SetFrames(2, 2, std::vector<float>(11)));
    EXPECT_EQ(copy.GetFrameCount(), 3u);
}

TEST(PlainMeshRow, WritesRawReadsCompressedAndFindsMaterialsThroughTheScope)
{
    SWmaterial red("red");
    SWmesh mesh;
    mesh.SetVertices({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0});
    const uint32_t first[3] = {0, 1, 2}, second[3] = {1, 3, 2}, none[3] = {0, 0, 0};
    auto chain = std::make_unique<SWarrayblock>(first, false, none, 0u, &red);
    chain->Append(std::make_unique<SWarrayblock>(second, false, none, 0u, nullptr));
    mesh.BuildPolygonIndices(chain.get());

    const SWcompressionscheme* plain = Table().FindById(MakeTag("RMES"));
    const SWcompressionscheme* codec = Table().FindById(MakeTag("IMES"));
    for (const SWcompressionscheme* row : {plain, codec}) {
        SWbuffer buffer;
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        ASSERT_TRUE(row->Write(out, &mesh, 0));
        const std::vector<uint8_t> record = buffer.ToVector();
        EXPECT_EQ(pf::loadU32le(&record[8]), MakeTag(row == plain ? "MRAW" : "MCPS"));
        SWmesh loaded;
        {
            const MeshMaterialLookupScope scope([&](std::string_view name) { return name == "red" ? &red : nullptr; });
            SWchunkstream in(record);
            const uint32_t tag = in.TakeTag();
            ASSERT_TRUE(plain->Read(*in.OpenChild(), &loaded, 0)) << tag;
        }
        ASSERT_EQ(loaded.GetPolygonCount(), 2u);
        int withRed = 0;
        for (uint32_t p = 0; p < 2; ++p)
            withRed += loaded.GetPolygons()[p].material == &red ? 1 : 0;
        EXPECT_EQ(withRed, 1);
        SWmesh outside; // the scope has ended: no lookup
        SWchunkstream again(record);
        again.TakeTag();
        ASSERT_TRUE(plain->Read(*again.OpenChild(), &outside, 0));
        EXPECT_EQ(outside.GetPolygons()[0].material, nullptr);
        EXPECT_EQ(outside.GetPolygons()[1].material, nullptr);
    }
}

} // namespace
