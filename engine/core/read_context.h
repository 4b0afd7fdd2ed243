#pragma once
// SWreadcontext: what every object read from one document shares through its record stream (see
// SWchunkstream::ReadContext): the world version while the world's records are read, and the id policy.
//
// Ids. Reading a file as the world itself keeps every stored id and raises the process-wide counter past it; an id
// met twice as an object's own gets a fresh one for the second object. Reading a file to be merged maps every id to
// a fresh one on first sight, object or reference alike, so references within the file still agree and nothing
// collides with the world it joins. In both modes 0 ("none") and 0xFFFFFFFF ("unset") keep their meanings, and an
// id at or above 0x80000000 is mapped to a fresh one: raising the counter that far would wrap it onto ids in use.
//
// Limits. A file of a megabyte can state gigabytes (a compressed payload's size, an image's width and height), so
// what a read may cost beyond the file is the caller's to set: the bytes decoding makes beyond the stored bytes it
// made them from (a compressed payload's growth, an image's pixels past the bytes that carry them), summed over
// the file, and the pixels of any one image. A file's own bytes are never counted: whatever was written, however
// large, reads again. Real content grows by a small factor when decoded (deflated records, pictures of a byte a
// pixel or a wavelet stream), so growth up to kFreeGrowth times the stored bytes is not counted either; a bomb,
// a few bytes that claim gigabytes, is counted nearly whole. A stated size is checked before anything is reserved
// for it, and an inflating payload stops at the limit, not after it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class SWchunkstream;
struct DocumentRecord;
class SWdocumentfile;
enum class PayloadStatus : int;

inline constexpr uint32_t kIdNone = 0;
inline constexpr uint32_t kIdUnset = 0xFFFFFFFF;
inline constexpr uint32_t kLowestUnsafeId = 0x80000000; // stored ids from here up are never raised to

struct SWreadlimits {
    static constexpr std::uint64_t kDefaultMaxBytes = std::uint64_t{256} << 20; // 256 MiB decoded per file
    static constexpr std::uint64_t kDefaultMaxPixels = std::uint64_t{1} << 25;  // 32 M pixels per image
    static constexpr std::uint64_t kFreeGrowth = 64; // decoded bytes per stored byte that count nothing
    std::uint64_t maxBytes = kDefaultMaxBytes;       // what decoding makes beyond the stored bytes, over the file
    std::uint64_t maxPixels = kDefaultMaxPixels;     // width x height of any one image
    static constexpr SWreadlimits Defaults() { return {}; }
};

class SWreadcontext {
public:
    enum class IdMode : uint8_t {
        kKeep = 0,  // the world itself: keep and raise
        kFresh = 1, // a file to merge: map every id to a fresh one
    };

    explicit SWreadcontext(IdMode mode) : m_mode(mode) {}

    IdMode Mode() const { return m_mode; }
    uint32_t FormatVersion() const { return m_formatVersion; } // 0 until the header or "WVER" set it
    void SetFormatVersion(uint32_t version) { m_formatVersion = version; }

    const SWreadlimits& Limits() const { return m_limits; }
    void SetLimits(const SWreadlimits& limits) { m_limits = limits; }
    // What is left of the byte limit; a payload may be decoded only within it.
    std::uint64_t BytesLeft() const { return m_bytesTaken >= m_limits.maxBytes ? 0 : m_limits.maxBytes - m_bytesTaken; }
    std::uint64_t BytesTaken() const { return m_bytesTaken; }
    // Counts bytes decoded against the limit: false, counting nothing, when they do not fit in what is left.
    bool TakeBytes(std::uint64_t bytes);
    // Once a limit refused something, the read stops and the caller is told (see WorldLoadResult) what was refused:
    // why, as the first refusal gave it ("an image of ... pixels, more than the limit of ..."); without one, the
    // byte limit.
    bool LimitReached() const { return m_limitReached; }
    void SetLimitReached(std::string why = {});
    const std::string& LimitText() const { return m_limitText; }
    // width x height within maxPixels, and its four bytes a pixel, less kFreeGrowth times storedBytes (what its
    // record holds besides the size), within the byte limit; otherwise the limit is reached, naming the image.
    bool TakeImage(uint64_t width, uint64_t height, uint64_t storedBytes = 0);
    // The payload of record, one of file's, into out, decoded when compressed, its growth past kFreeGrowth times
    // the stored bytes counted against the byte limit (then reached when it does not fit). A stored payload is
    // copied, counting nothing.
    PayloadStatus DecodePayload(const SWdocumentfile& file, const DocumentRecord& record, std::vector<uint8_t>& out);
    // The most a payload stored in storedBytes may decode to now; a growth beyond it reaches the limit.
    std::uint64_t DecodedBytesAllowed(std::uint64_t storedBytes) const;
    // What decoding storedBytes into decodedBytes counts against the byte limit.
    static std::uint64_t CountedGrowth(std::uint64_t storedBytes, std::uint64_t decodedBytes);

    uint32_t TakeObjectId(uint32_t stored); // the id an object read with stored as its own gets
    // Before anything of the file is read: stored will be kept as an object's own, so no id made while the file is
    // read may take it (raised past, as TakeObjectId will; only when ids are kept).
    void ReserveObjectId(uint32_t stored);
    uint32_t TakeReferencedId(uint32_t stored); // the id a reference to stored resolves to
    size_t MappedCount() const { return m_map.size(); }

private:
    uint32_t MapFresh(uint32_t stored); // the id stored maps to, made on first sight

    IdMode m_mode;
    uint32_t m_formatVersion = 0;
    SWreadlimits m_limits;
    std::uint64_t m_bytesTaken = 0;
    bool m_limitReached = false;
    std::string m_limitText;
    std::unordered_map<uint32_t, uint32_t> m_map; // stored id -> id in memory, for ids that were not kept
    std::unordered_set<uint32_t> m_objectIds;     // stored ids already taken by an object
};

// An object's own id: u32 from in, resolved through in's read context (none: kept and raised, as kKeep without
// duplicate detection). 0 on a short read.
uint32_t ReadObjectId(SWchunkstream& in);
// A reference to an object's id: u32 from in, resolved through in's read context.
uint32_t ReadReferencedId(SWchunkstream& in);
// An object's own id read ahead of the object (u32 from in), reserved through in's read context (none: as kKeep).
void ReserveObjectId(SWchunkstream& in);
