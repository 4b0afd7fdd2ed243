#pragma once
// Key-frame and vertex-stream blocks: the motion data of one node as a world file stores it, and the scheme rows
// that store their bodies.
//
// The world file builds the blocks from its nodes at every save (one key-frame block per object node with tracks,
// one vertex-stream block per mesh node with vertex frames), writes each as "KFBK" ("KBHD": node id, chosen scheme
// id) or "VSBK" ("VBHD"), followed by the block's scheme record through WriteResource of kind 2 or 3; reading, it
// hands that record to ReadResource and attaches the block's data to the node of its id. The blocks keep no
// pointer to a node, so a block read from a file to be merged carries its mapped id like any other reference.
//
// Plain bodies (every integer little-endian, strings a u32 length and bytes):
//   key frames:     u32 tracks; per track: string name (length 0: unnamed), u32 keys, keys of (u32 frame,
//                   16 f32 matrix); u32 clips; per clip: u32 id, u32 base frame; 16 f32 default slot.
//   vertex streams: u32 frames F, u32 vertices V, F x V x 3 f32 positions, frame by frame.
// Rows: "KRAW" and "VRAW" (the defaults) store the plain body as their payload; "KLZS", "KDEF", "VLZS" and "VDEF"
// store u32 size of the plain body, then the body through the LZSS or DEFLATE block filter. A reader takes the
// fields it knows and ignores what follows them; every count is checked against the bytes left before anything is
// reserved, and a block that fails to read is left as it was.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "engine/core/animation_data.h"
#include "engine/core/container.h"
#include "engine/resources/block_filter.h"
#include "engine/resources/compression_scheme.h"

class SWchunkstream;

inline constexpr uint64_t kMaxBlockBodyBytes = uint64_t{1} << 30; // 1 GiB: larger bodies are never written or read

// What the two blocks share: the node they belong to, the scheme chosen for them, and a plain body.
class SWmotionblock : public CVTN_Container, public SWschemechoice {
public:
    uint32_t GetNodeId() const { return m_nodeId; }
    void SetNodeId(uint32_t id) { m_nodeId = id; }

    virtual bool WriteBody(SWchunkstream& out) const = 0;
    virtual bool ReadBody(SWchunkstream& in) = 0; // false: damaged, the block unchanged
    // The plain body as bytes; nullopt when memory ran out or it would exceed kMaxBlockBodyBytes.
    std::optional<std::vector<uint8_t>> EncodeBody() const;
    bool DecodeBody(std::span<const uint8_t> body); // ReadBody over borrowed bytes

    const SWcompressionscheme* GetScheme() const override { return m_scheme; }
    void SetScheme(const SWcompressionscheme* row) override { m_scheme = row; }

protected:
    SWmotionblock() = default;

private:
    uint32_t m_nodeId = 0;
    const SWcompressionscheme* m_scheme = nullptr; // a row of the scheme table; null: the kind's default
};

// One object node's key-frame tracks, clips and default slot.
class SWkeyframeblock : public SWmotionblock {
public:
    SWkeyframeblock(); // tag "KFBK"; no tracks

    const AnimationTrackSet& GetTracks() const { return m_tracks; }
    AnimationTrackSet& GetTracks() { return m_tracks; }
    void SetTracks(const AnimationTrackSet& tracks) { m_tracks = tracks; }

    SchemeKind GetSchemeKind() const override { return SchemeKind::kKeyFrames; }
    bool WriteBody(SWchunkstream& out) const override;
    bool ReadBody(SWchunkstream& in) override; // keys go in through SetKey, so they come back sorted by frame

private:
    AnimationTrackSet m_tracks;
};

// One mesh node's vertex frames: frames x vertices x 3 floats.
class SWvertexstreamblock : public SWmotionblock {
public:
    SWvertexstreamblock(); // tag "VSBK"; no frames

    uint32_t GetFrameCount() const { return m_frameCount; }
    uint32_t GetVertexCount() const { return m_vertexCount; }
    std::span<const float> GetPositions() const { return m_positions; }
    // False, with nothing changed: positions is not frames x vertices x 3 floats long.
    bool SetFrames(uint32_t frames, uint32_t vertices, std::vector<float> positions);
    bool CopyFrom(VertexFrameTable& table); // under the table's lock; false: out of memory, nothing changed
    // A ready table of the block's frames; null without frames or when memory ran out.
    std::unique_ptr<VertexFrameTable> MakeTable() const;
    // The same table made by moving the block's frames into it: the block is left without frames.
    std::unique_ptr<VertexFrameTable> TakeTable();

    SchemeKind GetSchemeKind() const override { return SchemeKind::kVertexStreams; }
    bool WriteBody(SWchunkstream& out) const override;
    bool ReadBody(SWchunkstream& in) override;

private:
    uint32_t m_frameCount = 0;
    uint32_t m_vertexCount = 0;
    std::vector<float> m_positions;
};

// A row of kind 2 or 3 storing a block's body plain or through a block filter.
class SWmotionblockscheme : public SWcompressionscheme {
public:
    SWmotionblockscheme(Description row, BlockFilter filter);

    BlockFilter GetFilter() const { return m_filter; }
    bool Read(SWchunkstream& in, CVTN_Container* object, uint32_t word) const override;
    bool Write(SWchunkstream& out, CVTN_Container* object, uint32_t word) const override; // the whole record
    bool Accepts(const CVTN_Container* object) const override;                            // a block of the row's kind

    // The payload alone, as the fuzz target and the tools reach it.
    bool ReadPayload(SWchunkstream& in, SWmotionblock& block) const;
    bool WritePayload(SWchunkstream& out, const SWmotionblock& block) const;

private:
    BlockFilter m_filter;
};
