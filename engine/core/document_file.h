#pragma once
// The document container shared by scene, project and published files ("VTNF"), read and written as bytes.
//
// Layout (docs/formats.md has it field by field): a 20-byte plain header ("VTNF", four version digits, u32 seed,
// u32 flags, u32 total file length); the body, optionally XORed with a xorshift32 key stream started from the
// seed; in the body, object records in pre-order, each an ordinary record (u32 tag, u32 length) whose payload is
// u32 parent index, u32 flags (bits 0-7 the compression kind) and the object's own payload; "END " closes the list.
// The seed is the CRC-32 of the plain body, so equal bodies give equal files and the seed is the file's checksum.
//
// SWdocumentfile reads the container only: it checks the header, the length and the checksum, and lists the
// records without making objects, so a damaged object still shows where it lies. It holds the file whole in memory,
// or reads it on demand: checked in one pass through a small window, then each payload read when asked for, so that
// a load never holds the file beside what it makes. SWdocumentwriter builds one.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"

inline constexpr size_t kDocumentHeaderBytes = 20;
inline constexpr uint32_t kDocumentVersionScene = 951;   // scene and published files: "0951"
inline constexpr uint32_t kDocumentVersionProject = 942; // project files: "0942"
inline constexpr uint32_t kDocumentNoParent = 0xFFFFFFFF;
inline constexpr uint32_t kDocumentFlagScrambled = 1;                 // header flags, bit 0
inline constexpr uint32_t kDocumentCompressionMask = 0xFF;            // record flags, bits 0-7
inline constexpr uint64_t kMaxRecordPayloadBytes = uint64_t{1} << 30; // a stated uncompressed size above is refused
inline constexpr uint32_t kScrambleZeroSeed = 0x9E3779B9;             // xorshift32 never leaves state 0
inline constexpr uint32_t kDocumentRecordFrameBytes = 8;        // parent index and flags, ahead of the object's payload
inline constexpr uint32_t kDocumentRecordHeadBytes = 16;        // tag, length, parent index, flags
inline constexpr size_t kDocumentSliceBytes = size_t{64} << 10; // the key stream is cut into slices of this
// What a file read on demand streams through: a window that stays in the cache while it is unscrambled, summed and
// listed, and few fresh pages for a small file (4 MiB cost a 4x project 2 % more page faults and more time).
inline constexpr size_t kDocumentWindowBytes = size_t{1} << 20;

enum class DocumentCompression : uint8_t {
    kNone = 0,
    kLzss = 1,
    kDeflate = 2,
};

enum class DocumentStatus : int {
    kOk = 0,
    kCannotRead = 1,  // the path cannot be opened or read, or is not a regular file
    kNotDocument = 2, // no "VTNF", or its version is not four digits
    kTruncated = 3,   // shorter or longer than its header says, a record reaching past the end, or no "END "
    kDamaged = 4,     // the body's checksum is not the seed
    kTooLarge = 5,    // writing: the file would reach 4 GiB, whose length a u32 cannot hold
    kOutOfMemory = 6,
    kWriteFailed = 7, // the atomic writer refused; the old file is as it was
    kOverLimit = 8,   // reading: the file, or what it decodes to, is beyond the reader's limits (SWreadlimits);
                      // writing: what a record would hold is, so that no reader would take the file
};
const char* DocumentStatusText(DocumentStatus status); // a short sentence for reports
// The status's sentence as the file bears it out, from its first bytes (its header, when it has one) and its length:
// an empty file is said to be empty, and one whose header states another length says which it is, cut short or
// with bytes past its end, and both lengths.
std::string DocumentStatusCause(DocumentStatus status, std::span<const uint8_t> head, uint64_t fileBytes);
// Why a file whose header states `stated` bytes and that holds `size` is refused: cut short or bytes past its end.
std::string DocumentLengthCause(uint64_t stated, uint64_t size);

enum class PayloadStatus : int {
    kOk = 0,
    kUnknownCompression = 1, // the record's compression kind is none we know
    kSizeRefused = 2,        // the stated uncompressed size is above 1 GiB or what the filter can reach
    kDamaged = 3,            // the compressed bytes do not decode to exactly the stated size
    kOutOfMemory = 4,
    kNoFilter = 5,   // no block filter was installed (the resources library is not linked)
    kOverLimit = 6,  // the stated uncompressed size is above the caller's limit (what is left of the read limit)
    kChanged = 7,    // read on demand: the file no longer holds what was checked when it was opened (written, cut)
    kReadFailed = 8, // read on demand: the system refused to read the file again
};
const char* PayloadStatusText(PayloadStatus status);

struct DocumentHeader {
    uint32_t version = 0; // the four digits as a number: "0951" is 951
    uint32_t seed = 0;
    uint32_t flags = 0;
    uint32_t totalBytes = 0;
};

struct DocumentRecord {
    uint32_t tag = 0;
    uint32_t parentIndex = kDocumentNoParent;
    uint32_t flags = 0;
    uint64_t offset = 0; // of its tag, from the start of the file
    uint32_t length = 0; // as stored: the bytes after the length field
    // The object's payload as stored (after parent index and flags), in a file held in memory; empty in one read
    // on demand. SWdocumentfile::StoredPayload and ReadPayload serve both.
    std::span<const uint8_t> payload;
    bool framed = true; // false: too short to hold its parent index and flags

    uint8_t Compression() const { return static_cast<uint8_t>(flags & kDocumentCompressionMask); }
    uint64_t PayloadOffset() const { return offset + kDocumentRecordHeadBytes; } // from the start of the file
    uint32_t PayloadBytes() const { return framed ? length - kDocumentRecordFrameBytes : 0; }
};

// The block filters the container uses for compressed payloads. They live above the engine core, which learns
// of them when the resources library starts (any thread may call them at once).
struct SWpayloadfilter {
    // The block of input filtered by kind (1 LZSS, 2 DEFLATE); nullopt when kind is unknown or memory ran out.
    std::optional<std::vector<uint8_t>> (*encode)(uint8_t kind, std::span<const uint8_t> input);
    // Exactly expectedBytes into out, or a PayloadStatus other than kOk with out empty.
    PayloadStatus (*decode)(uint8_t kind, std::span<const uint8_t> input, uint64_t expectedBytes, uint64_t maxBytes,
                            std::vector<uint8_t>& out);
};
void SetPayloadFilter(const SWpayloadfilter* filter); // not owned; a static of the installer
const SWpayloadfilter* GetPayloadFilter();            // null until installed

// -- Scrambling: obfuscation, not security
uint32_t NextScrambleWord(uint32_t& state); // one xorshift32 step; the new state is the word
// XORs body with the key stream of seed (0 stands for kScrambleZeroSeed); applying it twice restores body.
void ScrambleBody(std::span<uint8_t> body, uint32_t seed);
uint32_t BodyChecksum(std::span<const uint8_t> plainBody); // zlib's CRC-32

// The header of file, checked for its magic and digits only (the length is compared by SWdocumentfile).
DocumentStatus ReadDocumentHeader(std::span<const uint8_t> file, DocumentHeader& out);

class SWdocumentfile {
public:
    SWdocumentfile();
    ~SWdocumentfile();
    SWdocumentfile(SWdocumentfile&&) noexcept;
    SWdocumentfile& operator=(SWdocumentfile&&) noexcept;
    SWdocumentfile(const SWdocumentfile&) = delete;
    SWdocumentfile& operator=(const SWdocumentfile&) = delete;

    // Takes a whole file's bytes; on kOk out holds them, unscrambled, and their records. On failure out is empty.
    static DocumentStatus Parse(std::vector<uint8_t> file, SWdocumentfile& out);
    // Reads path whole first; a FIFO, device or folder is refused without blocking, as is a file longer than
    // maxBytes (kOverLimit). On failure outError, when given, names path and the cause ("path: No such file or
    // directory", "path: it is a folder, not a file", "path: the file is truncated (its header says ...)").
    static DocumentStatus ReadFile(const std::string& path, SWdocumentfile& out, std::string* outError = nullptr,
                                   uint64_t maxBytes = UINT64_MAX);
    // Lists the records of a file whose checksum or length is wrong too, as far as they frame (for dumps).
    static DocumentStatus ParseDamaged(std::vector<uint8_t> file, SWdocumentfile& out);
    // Checks path as ReadFile does, with its statuses and messages, without ever holding it whole: the body streams
    // through one window of windowBytes (whole slices, at least one) where it is unscrambled, summed and its
    // records listed. The file stays open, and payloads are read from it when asked for (StoredPayload,
    // ReadPayload), checked against the sums of the slices taken now: records' payload spans stay empty.
    static DocumentStatus OpenFile(const std::string& path, SWdocumentfile& out, std::string* outError = nullptr,
                                   uint64_t maxBytes = UINT64_MAX, size_t windowBytes = kDocumentWindowBytes);
    // The same over a file's bytes as they are stored, through the same windows and reads (fuzzers, tests).
    static DocumentStatus OpenBytes(std::vector<uint8_t> file, SWdocumentfile& out,
                                    size_t windowBytes = kDocumentWindowBytes);

    const DocumentHeader& Header() const { return m_header; }
    const std::vector<DocumentRecord>& Records() const { return m_records; }
    bool HasEnd() const { return m_hasEnd; }                   // the list was closed by "END "
    uint64_t TrailingBytes() const { return m_trailingBytes; } // after "END ", ignored
    uint32_t ComputedChecksum() const { return m_checksum; }

    bool OnDemand() const { return m_onDemand != nullptr; }
    // kOk, or the first kChanged or kReadFailed a read on demand met: the file was written over, cut or refused
    // after it was opened, and what was read from it since is not the file that was checked. Sticky.
    PayloadStatus ReadFailure() const;
    // "path: cause" for a ReadFailure (path as opened; "the document" for bytes), empty while there is none.
    std::string ReadFailureText() const;

    // The stored payload of record, one of this file's (compressed ones as stored): where it lies in a file held
    // in memory, else read into scratch and unscrambled, and kChanged unless the slices read still sum as they
    // did when the file was opened. Any thread may read at once.
    PayloadStatus StoredPayload(const DocumentRecord& record, std::vector<uint8_t>& scratch,
                                std::span<const uint8_t>& out) const;
    // The object payload of record, one of this file's, decoded when compressed, as DecodePayload does.
    PayloadStatus ReadPayload(const DocumentRecord& record, std::vector<uint8_t>& out,
                              uint64_t maxBytes = kMaxRecordPayloadBytes) const;
    // The object payload of record of a file held in memory, decoded when compressed; out is empty unless kOk. A
    // payload that decodes to more than maxBytes is kOverLimit, refused before anything is reserved when its stated
    // size says so.
    static PayloadStatus DecodePayload(const DocumentRecord& record, std::vector<uint8_t>& out,
                                       uint64_t maxBytes = kMaxRecordPayloadBytes);

    class Source; // where the bytes of a file read on demand come from

private:
    struct OnDemandState;
    DocumentStatus Load(std::vector<uint8_t> file, bool lenient); // lenient: lists records despite damage
    DocumentStatus ParseBody();                                   // lists the records of the plain body
    // The first pass of a file read on demand, whose header has been checked against its length.
    DocumentStatus Scan(std::unique_ptr<Source> source, size_t windowBytes, std::string& outCause);

    std::vector<uint8_t> m_bytes; // the whole file, body unscrambled; records' payload spans point here
    DocumentHeader m_header;
    std::vector<DocumentRecord> m_records;
    bool m_hasEnd = false;
    uint64_t m_trailingBytes = 0;
    uint32_t m_checksum = 0;
    std::unique_ptr<OnDemandState> m_onDemand; // a file read on demand: where its bytes come from
};

struct DocumentWriteOptions {
    uint32_t version = kDocumentVersionScene; // the header's four digits
    bool scramble = true;
    // Filters every payload of 256 bytes or more that it shrinks by at least an eighth; published files use DEFLATE.
    DocumentCompression compression = DocumentCompression::kNone;
    uint32_t formatVersion = kDocumentVersionScene; // given to every object's payload stream
    // Compressing writers filter payloads on this many threads (0: one per core; 1: each as it is added); the
    // file is the same byte for byte.
    unsigned threads = 0;
};

class SWdocumentwriter {
public:
    explicit SWdocumentwriter(DocumentWriteOptions options);
    ~SWdocumentwriter(); // waits for the filters still running
    SWdocumentwriter(const SWdocumentwriter&) = delete;
    SWdocumentwriter& operator=(const SWdocumentwriter&) = delete;

    const DocumentWriteOptions& Options() const { return m_options; }
    uint32_t RecordCount() const { return m_count; }
    bool Failed() const { return m_failed; }
    // A record's writer gives up on the document for a reason of its own (kOverLimit): the writer fails, and that
    // is what writing the file comes to, where a failure is otherwise kOutOfMemory.
    void Refuse(DocumentStatus why);
    DocumentStatus FailureStatus() const { return m_refusal; }
    // Appends one record and answers its pre-order index; nullopt, with the writer failed: parentIndex is not an
    // earlier record (nor kDocumentNoParent), or memory ran out.
    std::optional<uint32_t> AddRecord(uint32_t tag, uint32_t parentIndex, std::span<const uint8_t> payload);
    // The same for a payload built in a buffer, which is emptied; a payload stored as it is goes in by its blocks.
    std::optional<uint32_t> AddRecord(uint32_t tag, uint32_t parentIndex, SWbuffer&& payload);
    // The whole file: header, body and "END ", scrambled as the options say. kTooLarge at 4 GiB or more.
    DocumentStatus Finish(std::vector<uint8_t>& out);
    // The same file handed to sink in order, in pieces of a few MiB, never whole; kWriteFailed once sink answers
    // false, and sink is not called again.
    DocumentStatus FinishTo(const std::function<bool(std::span<const uint8_t>)>& sink);

private:
    bool Refuses(uint32_t parentIndex, uint64_t payloadBytes); // marks the writer failed when it refuses
    bool Compresses(uint64_t payloadBytes) const;              // whether a filter is tried on such a payload
    void WriteRecord(uint32_t tag, uint32_t parentIndex, std::span<const uint8_t> payload,
                     const std::optional<std::vector<uint8_t>>& packed);
    std::optional<uint32_t> Queue(uint32_t tag, uint32_t parentIndex, std::span<const uint8_t> payload);
    void WriteQueued(bool all); // the head of the queue while its filter is done (all: waiting for each)

    struct Queued;
    class Packers;
    DocumentWriteOptions m_options;
    std::unique_ptr<Packers> m_packers;          // while records are compressed on several threads
    std::deque<std::unique_ptr<Queued>> m_queue; // records added and not yet in the body, in their order
    uint64_t m_queuedBytes = 0;
    SWbuffer m_body;
    SWchunkstream m_stream; // writes m_body
    uint32_t m_count = 0;
    bool m_failed = false;
    DocumentStatus m_refusal = DocumentStatus::kOutOfMemory;
};

// Writes a finished document through the atomic writer: a new file gets 0666 less the umask, a replaced one keeps
// its mode. kWriteFailed, with the reason in outError when given, leaves the old file as it was.
DocumentStatus SaveDocumentFile(const std::string& path, std::span<const uint8_t> bytes,
                                std::string* outError = nullptr);
// The same for a writer's records, finished as they go to the file: the file is never held whole in memory. A
// status other than kOk and kWriteFailed is the writer's own (the document could not be made).
DocumentStatus SaveDocumentFile(const std::string& path, SWdocumentwriter& writer, std::string* outError = nullptr);
