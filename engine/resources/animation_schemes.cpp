#include "engine/resources/animation_schemes.h"

#include <algorithm>
#include <new>
#include <string>
#include <utility>

#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/record_builder.h"
#include "engine/core/type_tag.h"
#include "platform/base/large_pages.h"

namespace {
constexpr uint32_t kKeyBytes = 4 + 16 * 4;
constexpr uint32_t kClipBytes = 8;

std::unique_ptr<SWcompressionscheme> MakeRow(const char (&id)[5], SchemeKind kind, bool isDefault,
                                             const char* shortName, const char* longName, BlockFilter filter)
{
    return std::make_unique<SWmotionblockscheme>(
        SWcompressionscheme::Description{MakeTag(id), kind, true, isDefault, shortName, longName, {100, 100}}, filter);
}

const CompressionSchemeRegistration kRows[] = {
    CompressionSchemeRegistration(
        MakeRow("KRAW", SchemeKind::kKeyFrames, true, "Plain", "Key frames, plain", BlockFilter::kNone)),
    CompressionSchemeRegistration(
        MakeRow("KLZS", SchemeKind::kKeyFrames, false, "LZSS", "Key frames, LZSS", BlockFilter::kLzss)),
    CompressionSchemeRegistration(
        MakeRow("KDEF", SchemeKind::kKeyFrames, false, "DEFLATE", "Key frames, DEFLATE", BlockFilter::kDeflate)),
    CompressionSchemeRegistration(
        MakeRow("VRAW", SchemeKind::kVertexStreams, true, "Plain", "Vertex streams, plain", BlockFilter::kNone)),
    CompressionSchemeRegistration(
        MakeRow("VLZS", SchemeKind::kVertexStreams, false, "LZSS", "Vertex streams, LZSS", BlockFilter::kLzss)),
    CompressionSchemeRegistration(MakeRow("VDEF", SchemeKind::kVertexStreams, false, "DEFLATE",
                                          "Vertex streams, DEFLATE", BlockFilter::kDeflate)),
};

void WriteMatrix(SWchunkstream& out, const SWmatrix& m)
{
    for (int i = 0; i < 16; ++i)
        out.WriteF32(m[i]);
}

SWmatrix ReadMatrix(SWchunkstream& in)
{
    SWmatrix m;
    for (int i = 0; i < 16; ++i)
        m[i] = in.ReadF32();
    return m;
}
} // namespace

std::optional<std::vector<uint8_t>> SWmotionblock::EncodeBody() const
{
    try {
        SWbuffer buffer;
        {
            SWchunkstream out(buffer, SWchunkstream::kWrite);
            if (!WriteBody(out) || out.Status() != SWchunkstream::kStatusGood)
                return std::nullopt;
        }
        if (buffer.Size() > kMaxBlockBodyBytes)
            return std::nullopt; // its reader would refuse it
        std::vector<uint8_t> body = buffer.ToVector();
        if (body.size() != buffer.Size())
            return std::nullopt;
        return body;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

bool SWmotionblock::DecodeBody(std::span<const uint8_t> body)
{
    SWchunkstream in(body);
    return ReadBody(in);
}

SWkeyframeblock::SWkeyframeblock()
{
    AddTypeTag(MakeTag("KFBK"));
}

bool SWkeyframeblock::WriteBody(SWchunkstream& out) const
{
    out.WriteU32(static_cast<uint32_t>(m_tracks.GetTrackCount()));
    for (size_t t = 0; t < m_tracks.GetTrackCount(); ++t) {
        const AnimationTrack& track = m_tracks.GetTrack(t);
        out.WriteString(track.GetName().value_or(std::string()));
        out.WriteU32(static_cast<uint32_t>(track.GetKeyCount()));
        for (const AnimationKey& key : track.GetKeys()) {
            out.WriteU32(key.frame);
            WriteMatrix(out, key.matrix);
        }
    }
    const std::vector<NodeMotionClip>& clips = m_tracks.GetClips().GetClips();
    out.WriteU32(static_cast<uint32_t>(clips.size()));
    for (const NodeMotionClip& clip : clips) {
        out.WriteU32(clip.id);
        out.WriteU32(clip.baseFrame);
    }
    WriteMatrix(out, m_tracks.GetDefaultSlot());
    return out.Status() == SWchunkstream::kStatusGood;
}

bool SWkeyframeblock::ReadBody(SWchunkstream& in)
{
    try {
        AnimationTrackSet read;
        // Each track takes at least its name's length and its key count.
        const uint32_t tracks = in.ReadU32();
        if (in.Status() != 0 || tracks > in.Remaining() / 8)
            return false;
        for (uint32_t t = 0; t < tracks; ++t) {
            std::optional<std::string> name = in.ReadString();
            const uint32_t keys = in.ReadU32();
            if (in.Status() != 0 || keys > in.Remaining() / kKeyBytes)
                return false;
            std::vector<AnimationKey> stored(keys);
            for (AnimationKey& key : stored) {
                key.frame = in.ReadU32();
                key.matrix = ReadMatrix(in);
            }
            // Inserted in frame order each key lands at the end: keys stored in any other order would make every
            // insertion move the ones after it. Stable, so a repeated frame keeps its last key.
            std::stable_sort(stored.begin(), stored.end(),
                             [](const AnimationKey& a, const AnimationKey& b) { return a.frame < b.frame; });
            AnimationTrack& track = read.AddTrack(std::move(name));
            for (const AnimationKey& key : stored)
                track.SetKey(key.frame, key.matrix);
        }
        const uint32_t clips = in.ReadU32();
        if (in.Status() != 0 || clips > in.Remaining() / kClipBytes)
            return false;
        for (uint32_t c = 0; c < clips; ++c) {
            NodeMotionClip clip;
            clip.id = in.ReadU32();
            clip.baseFrame = in.ReadU32();
            read.GetClips().Add(clip);
        }
        read.SetDefaultSlot(ReadMatrix(in));
        if (in.Status() != 0)
            return false;
        m_tracks = std::move(read);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

SWvertexstreamblock::SWvertexstreamblock()
{
    AddTypeTag(MakeTag("VSBK"));
}

bool SWvertexstreamblock::SetFrames(uint32_t frames, uint32_t vertices, std::vector<float> positions)
{
    if (positions.size() != uint64_t{frames} * vertices * 3)
        return false;
    m_frameCount = frames;
    m_vertexCount = vertices;
    m_positions = std::move(positions);
    return true;
}

bool SWvertexstreamblock::CopyFrom(VertexFrameTable& table)
{
    table.Lock();
    bool copied = false;
    try {
        std::vector<float> positions;
        const uint64_t floats = uint64_t{table.GetFrameCount()} * table.GetVertexCount() * 3;
        positions.reserve(static_cast<size_t>(floats));
        for (uint32_t f = 0; f < table.GetFrameCount(); ++f) {
            const std::span<const float> frame = table.GetFrameVertices(f);
            positions.insert(positions.end(), frame.begin(), frame.end());
        }
        copied = SetFrames(table.GetFrameCount(), table.GetVertexCount(), std::move(positions));
    } catch (const std::bad_alloc&) {
        copied = false;
    }
    table.Unlock();
    return copied;
}

std::unique_ptr<VertexFrameTable> SWvertexstreamblock::MakeTable() const
{
    if (m_frameCount == 0 || m_vertexCount == 0)
        return nullptr;
    try {
        auto table = std::make_unique<VertexFrameTable>();
        if (!table->Allocate(m_frameCount, m_vertexCount))
            return nullptr;
        table->Lock();
        const size_t perFrame = size_t{m_vertexCount} * 3;
        for (uint32_t f = 0; f < m_frameCount; ++f) {
            const std::span<float> frame = table->GetFrameVertices(f);
            std::copy_n(m_positions.begin() + static_cast<ptrdiff_t>(f * perFrame), perFrame, frame.begin());
        }
        table->Unlock();
        table->SetReady(true);
        return table;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::unique_ptr<VertexFrameTable> SWvertexstreamblock::TakeTable()
{
    if (m_frameCount == 0 || m_vertexCount == 0)
        return nullptr;
    try {
        auto table = std::make_unique<VertexFrameTable>();
        if (!table->Adopt(m_frameCount, m_vertexCount, std::move(m_positions)))
            return nullptr;
        m_positions.clear();
        m_frameCount = 0;
        m_vertexCount = 0;
        table->SetReady(true);
        return table;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool SWvertexstreamblock::WriteBody(SWchunkstream& out) const
{
    out.WriteU32(m_frameCount);
    out.WriteU32(m_vertexCount);
    out.WriteF32s(m_positions);
    return out.Status() == SWchunkstream::kStatusGood;
}

bool SWvertexstreamblock::ReadBody(SWchunkstream& in)
{
    const uint32_t frames = in.ReadU32();
    const uint32_t vertices = in.ReadU32();
    // In 64 bits: two u32 counts times 12 bytes cannot wrap there, and must fit what the record still holds.
    const uint64_t bytes = uint64_t{frames} * vertices * 12;
    if (in.Status() != 0 || bytes > in.Remaining())
        return false;
    try {
        std::vector<float> positions;
        pf::reserveWithLargePages(positions, static_cast<size_t>(bytes / 4));
        positions.resize(static_cast<size_t>(bytes / 4));
        if (!in.ReadF32s(positions))
            return false;
        return SetFrames(frames, vertices, std::move(positions));
    } catch (const std::bad_alloc&) {
        return false;
    }
}

SWmotionblockscheme::SWmotionblockscheme(Description row, BlockFilter filter)
    : SWcompressionscheme(std::move(row)), m_filter(filter)
{
}

bool SWmotionblockscheme::Accepts(const CVTN_Container* object) const
{
    const auto* const block = dynamic_cast<const SWmotionblock*>(object);
    return block != nullptr && block->GetSchemeKind() == GetKind();
}

bool SWmotionblockscheme::WritePayload(SWchunkstream& out, const SWmotionblock& block) const
{
    if (block.GetSchemeKind() != GetKind())
        return false;
    if (m_filter == BlockFilter::kNone)
        return block.WriteBody(out);
    const std::optional<std::vector<uint8_t>> body = block.EncodeBody();
    if (!body)
        return false;
    const std::optional<std::vector<uint8_t>> filtered = EncodeBlock(m_filter, *body);
    if (!filtered)
        return false;
    out.WriteU32(static_cast<uint32_t>(body->size()));
    out.WriteBytes(*filtered);
    return out.Status() == SWchunkstream::kStatusGood;
}

bool SWmotionblockscheme::ReadPayload(SWchunkstream& in, SWmotionblock& block) const
{
    if (block.GetSchemeKind() != GetKind())
        return false;
    if (m_filter == BlockFilter::kNone)
        return block.ReadBody(in);
    const uint32_t size = in.ReadU32();
    if (in.Status() != 0)
        return false;
    try {
        // The filtered bytes are the rest of the record, which is already in memory: its length is no claim.
        std::vector<uint8_t> filtered(static_cast<size_t>(in.Remaining()));
        if (in.ReadBytes(filtered) != filtered.size() || in.Status() != 0)
            return false;
        std::vector<uint8_t> body;
        if (DecodeBlock(m_filter, filtered, size, kMaxBlockBodyBytes, body) != BlockFilterStatus::kOk)
            return false;
        return block.DecodeBody(body);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool SWmotionblockscheme::Write(SWchunkstream& out, CVTN_Container* object, uint32_t /*word*/) const
{
    const auto* const block = dynamic_cast<const SWmotionblock*>(object);
    if (block == nullptr)
        return false;
    SWrecordbuilder record(out, GetId());
    return WritePayload(record.Stream(), *block) && record.Finish();
}

bool SWmotionblockscheme::Read(SWchunkstream& in, CVTN_Container* object, uint32_t /*word*/) const
{
    auto* const block = dynamic_cast<SWmotionblock*>(object);
    return block != nullptr && ReadPayload(in, *block);
}
