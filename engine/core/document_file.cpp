#include "engine/core/document_file.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cassert>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <new>
#include <string_view>
#include <thread>
#include <zlib.h>
#if VORTAN_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

#include "engine/core/record_builder.h"
#include "platform/base/atomic_file.h"
#include "platform/base/endian.h"
#include "platform/base/input_file.h"

namespace {

constexpr std::array<uint8_t, 4> kMagic = {'V', 'T', 'N', 'F'};
constexpr size_t kCompressedSizeBytes = 4; // a compressed payload's u32 uncompressed size
constexpr size_t kCompressFromBytes = 256; // smaller payloads are stored as they are
constexpr uint64_t kMaxFileBytes = 0xFFFFFFFF;

std::atomic<const SWpayloadfilter*> g_payloadFilter{nullptr};

uint32_t ParseVersionDigits(std::span<const uint8_t> digits)
{
    uint32_t value = 0;
    for (const uint8_t digit : digits) {
        if (digit < '0' || digit > '9')
            return 0;
        value = value * 10 + (digit - '0');
    }
    return value;
}

bool HasMagic(std::span<const uint8_t> file)
{
    return file.size() >= kMagic.size() && std::equal(kMagic.begin(), kMagic.end(), file.begin());
}

// The umask cannot be read without setting it, which would race with other threads; the kernel reports it here.
unsigned CurrentUmask()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) != 0)
            continue;
        unsigned mask = 0;
        for (const char c : std::string_view(line).substr(6)) {
            if (c >= '0' && c <= '7')
                mask = mask * 8 + static_cast<unsigned>(c - '0');
        }
        return mask & 0777;
    }
    return 022;
}

// "the file holds N bytes, more than the limit of M": the size as the file stands.
std::string TooLargeText(const std::string& path, uint64_t maxBytes)
{
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(path, error);
    return error ? "it is larger than the limit of " + std::to_string(maxBytes) + " bytes"
                 : "the file holds " + std::to_string(size) + " bytes, more than the limit of " +
                       std::to_string(maxBytes);
}

// Fills bytes from input at offset on; false at an error (result says why) or at the end of the file (result ok).
bool ReadExactlyAt(pf::InputFile& input, uint64_t offset, std::span<uint8_t> bytes, pf::InputFileResult& result)
{
    while (!bytes.empty()) {
        const ptrdiff_t got = input.readAt(offset, bytes, result);
        if (got <= 0)
            return false;
        offset += static_cast<uint64_t>(got);
        bytes = bytes.subspan(static_cast<size_t>(got));
    }
    return true;
}

} // namespace

const char* PayloadStatusText(PayloadStatus status)
{
    switch (status) {
    case PayloadStatus::kOk:
        return "ok";
    case PayloadStatus::kUnknownCompression:
        return "unknown compression kind";
    case PayloadStatus::kSizeRefused:
        return "stated size refused";
    case PayloadStatus::kDamaged:
        return "compressed payload damaged";
    case PayloadStatus::kOutOfMemory:
        return "out of memory";
    case PayloadStatus::kNoFilter:
        return "no block filter installed";
    case PayloadStatus::kOverLimit:
        return "decodes to more than the reader's limit allows";
    case PayloadStatus::kChanged:
        return "damaged: the file changed on disk after it was opened";
    case PayloadStatus::kReadFailed:
        return "the file could not be read again";
    }
    return "unknown status";
}

void SetPayloadFilter(const SWpayloadfilter* filter)
{
    g_payloadFilter.store(filter);
}

const SWpayloadfilter* GetPayloadFilter()
{
    return g_payloadFilter.load();
}

// -- Scrambling

uint32_t NextScrambleWord(uint32_t& state)
{
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

namespace {

// The key stream is cut into slices of kLanes runs of kLaneWords words, one generator state per run, so that the
// runs' steps do not wait on each other. xorshift32 is linear over the bits, so the state a run starts from is the
// one before it taken kLaneWords steps at once through the matrix of those steps.
constexpr size_t kLanes = 8;
constexpr size_t kLaneWords = 2048;
constexpr size_t kSliceBytes = kLanes * kLaneWords * 4; // 64 KiB
static_assert(kSliceBytes == kDocumentSliceBytes);

// Column b: where the state with bit b alone set goes in kLaneWords steps.
const std::array<uint32_t, 32>& LaneJumpColumns()
{
    static const std::array<uint32_t, 32> columns = [] {
        std::array<uint32_t, 32> made{};
        for (uint32_t b = 0; b < 32; ++b) {
            uint32_t state = uint32_t{1} << b;
            for (size_t k = 0; k < kLaneWords; ++k)
                NextScrambleWord(state);
            made[b] = state;
        }
        return made;
    }();
    return columns;
}

uint32_t JumpLane(uint32_t state)
{
    const std::array<uint32_t, 32>& columns = LaneJumpColumns();
    uint32_t out = 0;
    for (uint32_t b = 0; b < 32; ++b)
        out ^= columns[b] & (0u - ((state >> b) & 1u));
    return out;
}

// One whole slice; state is left as one word-by-word pass over the slice would leave it.
void ScrambleSlice(uint8_t* slice, uint32_t& state)
{
    std::array<uint32_t, kLanes> lanes;
    lanes[0] = state;
    for (size_t j = 1; j < kLanes; ++j)
        lanes[j] = JumpLane(lanes[j - 1]);
    for (size_t i = 0; i < kLaneWords; ++i) {
        for (uint32_t& lane : lanes)
            NextScrambleWord(lane);
        for (size_t j = 0; j < kLanes; ++j) {
            uint8_t* const word = slice + (j * kLaneWords + i) * 4;
            pf::storeU32le(word, pf::loadU32le(word) ^ lanes[j]); // low byte first
        }
    }
    state = lanes[kLanes - 1];
}

// XORs bytes with the key stream from state on; bytes starts on a key-word boundary.
void ScrambleFrom(std::span<uint8_t> bytes, uint32_t& state)
{
    size_t i = 0;
    for (; i + kSliceBytes <= bytes.size(); i += kSliceBytes)
        ScrambleSlice(bytes.data() + i, state);
    for (; i + 4 <= bytes.size(); i += 4)
        pf::storeU32le(&bytes[i], pf::loadU32le(&bytes[i]) ^ NextScrambleWord(state)); // low byte first
    if (i == bytes.size())
        return;
    const uint32_t word = NextScrambleWord(state);
    for (size_t k = 0; i + k < bytes.size(); ++k)
        bytes[i + k] ^= static_cast<uint8_t>(word >> (8 * k));
}

uint32_t ChecksumFrom(uLong crc, std::span<const uint8_t> bytes)
{
#if VORTAN_HAVE_LIBDEFLATE
    // The same sum as zlib's, several times faster where the processor multiplies without carries: every opening
    // and saving of a project reads the whole body through it.
    return libdeflate_crc32(static_cast<uint32_t>(crc), bytes.data(), bytes.size());
#else
    // zlib takes uInt lengths; a body may be longer than one call can cover.
    constexpr size_t kStep = size_t{1} << 30;
    for (size_t i = 0; i < bytes.size(); i += kStep) {
        const size_t n = std::min(kStep, bytes.size() - i);
        crc = crc32(crc, bytes.data() + i, static_cast<uInt>(n));
    }
    return static_cast<uint32_t>(crc);
#endif
}

// Unscrambles body and answers the checksum of the plain bytes, a slice at a time so that each slice is summed
// while it is still in the cache: one pass over memory instead of two.
uint32_t UnscrambleAndChecksum(std::span<uint8_t> body, uint32_t seed)
{
    uint32_t state = seed == 0 ? kScrambleZeroSeed : seed;
    uLong crc = crc32(0L, Z_NULL, 0);
    for (size_t i = 0; i < body.size(); i += kSliceBytes) {
        const std::span<uint8_t> slice = body.subspan(i, std::min(kSliceBytes, body.size() - i));
        ScrambleFrom(slice, state);
        crc = ChecksumFrom(crc, slice);
    }
    return static_cast<uint32_t>(crc);
}

// The filtered payload of kind, or nothing when the filter fails or saves less than an eighth with its size field.
std::optional<std::vector<uint8_t>> Pack(uint8_t kind, std::span<const uint8_t> payload)
{
    const SWpayloadfilter* filter = GetPayloadFilter();
    std::optional<std::vector<uint8_t>> packed = filter != nullptr ? filter->encode(kind, payload) : std::nullopt;
    if (packed && packed->size() + kCompressedSizeBytes > payload.size() - payload.size() / 8)
        packed.reset();
    return packed;
}

} // namespace

void ScrambleBody(std::span<uint8_t> body, uint32_t seed)
{
    uint32_t state = seed == 0 ? kScrambleZeroSeed : seed;
    ScrambleFrom(body, state);
}

uint32_t BodyChecksum(std::span<const uint8_t> plainBody)
{
    return ChecksumFrom(crc32(0L, Z_NULL, 0), plainBody);
}

DocumentStatus ReadDocumentHeader(std::span<const uint8_t> file, DocumentHeader& out)
{
    out = {};
    if (file.size() < kDocumentHeaderBytes) {
        // A prefix of the magic is a cut document; anything else is not one.
        const size_t n = std::min(file.size(), kMagic.size());
        return std::equal(file.begin(), file.begin() + static_cast<ptrdiff_t>(n), kMagic.begin())
                   ? DocumentStatus::kTruncated
                   : DocumentStatus::kNotDocument;
    }
    const uint32_t version = ParseVersionDigits(file.subspan(4, 4));
    if (!HasMagic(file) || version == 0)
        return DocumentStatus::kNotDocument;
    out.version = version;
    out.seed = pf::loadU32le(&file[8]);
    out.flags = pf::loadU32le(&file[12]);
    out.totalBytes = pf::loadU32le(&file[16]);
    return DocumentStatus::kOk;
}

// -- Reading

DocumentStatus SWdocumentfile::Parse(std::vector<uint8_t> file, SWdocumentfile& out)
{
    out = SWdocumentfile();
    SWdocumentfile parsed;
    const DocumentStatus status = parsed.Load(std::move(file), false);
    if (status == DocumentStatus::kOk)
        out = std::move(parsed);
    return status;
}

DocumentStatus SWdocumentfile::ParseDamaged(std::vector<uint8_t> file, SWdocumentfile& out)
{
    out = SWdocumentfile();
    return out.Load(std::move(file), true);
}

namespace {

// Opens path as a document: a regular file within maxBytes whose header is one and states the file's length. On kOk
// outHead holds the header's bytes, outHeader what they say, and input is open; otherwise outCause says why ("" for
// the status's text).
DocumentStatus OpenChecked(const std::string& path, uint64_t maxBytes, std::unique_ptr<pf::InputFile>& input,
                           std::vector<uint8_t>& outHead, DocumentHeader& outHeader, std::string& outCause)
{
    // The checked reader: a regular file only, opened without blocking, within the limit before a byte is held.
    pf::InputFileResult result;
    input = pf::InputFile::open(path, result, maxBytes);
    if (input == nullptr && result.status == pf::InputFileStatus::kTooLarge) {
        outCause = TooLargeText(path, maxBytes);
        return DocumentStatus::kOverLimit;
    }
    if (input == nullptr) {
        outCause = result.cause;
        return result.status == pf::InputFileStatus::kOutOfMemory ? DocumentStatus::kOutOfMemory
                                                                  : DocumentStatus::kCannotRead;
    }
    const uint64_t size = input->sizeBytes();
    if (size == 0) {
        outCause = "the file is empty"; // not cut from a document: there is nothing to say it was one
        return DocumentStatus::kTruncated;
    }
    // The header first: its length must be the file's before the rest is reserved or read.
    outHead.resize(static_cast<size_t>(std::min<uint64_t>(size, kDocumentHeaderBytes)));
    if (!ReadExactlyAt(*input, 0, outHead, result)) {
        outCause = result.cause.empty() ? "the file shrank while it was read" : result.cause;
        return DocumentStatus::kCannotRead;
    }
    if (const DocumentStatus status = ReadDocumentHeader(outHead, outHeader); status != DocumentStatus::kOk)
        return status;
    if (outHeader.totalBytes != size) {
        outCause = DocumentLengthCause(outHeader.totalBytes, size);
        return DocumentStatus::kTruncated;
    }
    return DocumentStatus::kOk;
}

DocumentStatus Failed(const std::string& path, std::string* outError, DocumentStatus status, const std::string& why)
{
    if (outError != nullptr)
        *outError = path + ": " + (why.empty() ? DocumentStatusText(status) : why);
    return status;
}

} // namespace

// Where the bytes of a document read on demand come from: the file, held open, or bytes in memory.
class SWdocumentfile::Source {
public:
    virtual ~Source() = default;
    // Fills bytes from offset on; false at an error (outCause says why) or at the end (outCause empty).
    virtual bool ReadAt(uint64_t offset, std::span<uint8_t> bytes, std::string& outCause) = 0;
};

namespace {

class FileSource final : public SWdocumentfile::Source {
public:
    explicit FileSource(std::unique_ptr<pf::InputFile> input) : m_input(std::move(input)) {}
    bool ReadAt(uint64_t offset, std::span<uint8_t> bytes, std::string& outCause) override
    {
        pf::InputFileResult result;
        if (ReadExactlyAt(*m_input, offset, bytes, result))
            return true;
        outCause = result.cause;
        return false;
    }

private:
    std::unique_ptr<pf::InputFile> m_input;
};

class MemorySource final : public SWdocumentfile::Source {
public:
    explicit MemorySource(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}
    bool ReadAt(uint64_t offset, std::span<uint8_t> bytes, std::string& outCause) override
    {
        outCause.clear();
        if (offset > m_bytes.size() || bytes.size() > m_bytes.size() - offset)
            return false;
        std::copy_n(m_bytes.begin() + static_cast<ptrdiff_t>(offset), bytes.size(), bytes.begin());
        return true;
    }

private:
    std::vector<uint8_t> m_bytes;
};

// Lists records from the plain body as it streams past in pieces (or in one, for a file held whole): a record's 16
// head bytes may come in two pieces, its payload is passed over. The list must close with "END " before the body
// ends, and no record's length may reach past it.
class RecordLister {
public:
    RecordLister(uint64_t end, std::vector<DocumentRecord>& records) : m_end(end), m_records(records)
    {
        Advance(kDocumentHeaderBytes);
    }
    // bytes: the plain file from offset on, right after the piece before.
    void Feed(uint64_t offset, std::span<const uint8_t> bytes)
    {
        const uint64_t stop = offset + bytes.size();
        while (!m_done && m_next + m_have < stop) {
            const size_t need = m_have < 4 ? 4 : m_have < 8 ? 8 : 16;
            const uint64_t from = m_next + m_have;
            const size_t n = static_cast<size_t>(std::min<uint64_t>(need - m_have, stop - from));
            std::copy_n(bytes.begin() + static_cast<ptrdiff_t>(from - offset), n, m_head.begin() + m_have);
            m_have += n;
            if (m_have == 4)
                TagRead();
            else if (m_have == 8)
                LengthRead();
            else if (m_have == 16)
                Listed(true);
        }
    }
    // kOk once "END " closed the list; kTruncated when the framing failed or the body ended first.
    DocumentStatus Status() const { return m_done && !m_failed ? DocumentStatus::kOk : DocumentStatus::kTruncated; }
    uint64_t TrailingBytes() const { return m_trailing; }

private:
    void Advance(uint64_t next)
    {
        m_next = next;
        m_have = 0;
        if (m_end - next < 4)
            Fail(); // the list was never closed
    }
    void Fail()
    {
        m_done = true;
        m_failed = true;
    }
    void TagRead()
    {
        if (pf::loadU32le(m_head.data()) == kTagEnd) {
            m_done = true;
            m_trailing = m_end - (m_next + 4);
        } else if (m_end - (m_next + 4) < 4) {
            Fail();
        }
    }
    void LengthRead()
    {
        const uint32_t length = pf::loadU32le(&m_head[4]);
        if (length > m_end - (m_next + 8))
            Fail(); // its length reaches past the body
        else if (length < kDocumentRecordFrameBytes)
            Listed(false);
    }
    void Listed(bool framed)
    {
        DocumentRecord record;
        record.tag = pf::loadU32le(m_head.data());
        record.offset = m_next;
        record.length = pf::loadU32le(&m_head[4]);
        record.framed = framed;
        if (framed) {
            record.parentIndex = pf::loadU32le(&m_head[8]);
            record.flags = pf::loadU32le(&m_head[12]);
        }
        m_records.push_back(record);
        Advance(m_next + 8 + record.length);
    }

    const uint64_t m_end;
    std::vector<DocumentRecord>& m_records;
    std::array<uint8_t, kDocumentRecordHeadBytes> m_head{};
    uint64_t m_next = 0; // where the record being framed starts in the file
    size_t m_have = 0;   // of its head bytes
    bool m_done = false;
    bool m_failed = false;
    uint64_t m_trailing = 0;
};

} // namespace

// A file read on demand: its bytes, and what the first pass learnt of each slice of its body.
struct SWdocumentfile::OnDemandState {
    std::unique_ptr<Source> source;
    std::string path; // for messages; empty for bytes in memory
    // The first read that found the file changed or unreadable: every load that read through it must fail, not
    // leave out what it could not read (a caller may save what it loaded over the file).
    std::atomic<int> failure{static_cast<int>(PayloadStatus::kOk)};
    uint64_t end = 0;
    bool scrambled = false;
    std::vector<uint32_t> states; // the key stream's state at each slice's start, when scrambled
    std::vector<uint32_t> sums;   // the CRC-32 of each plain slice
    // The last slice read, plain: consecutive small records share it. Guarded by lock.
    std::mutex lock;
    uint64_t cachedSlice = UINT64_MAX;
    std::vector<uint8_t> cached;

    PayloadStatus Fail(PayloadStatus status) // status, kept as the failure unless one came first
    {
        int none = static_cast<int>(PayloadStatus::kOk);
        failure.compare_exchange_strong(none, static_cast<int>(status));
        return status;
    }
    // Slice index of the body, read whole into plain, unscrambled and summed again: a file written over in place
    // since it was opened shows as a slice whose sum is not the one taken then.
    PayloadStatus ReadSlice(uint64_t slice, std::span<uint8_t> plain)
    {
        std::string cause;
        if (!source->ReadAt(kDocumentHeaderBytes + slice * kSliceBytes, plain, cause))
            return cause.empty() ? PayloadStatus::kChanged : PayloadStatus::kReadFailed; // cut short, or refused
        if (scrambled) {
            uint32_t key = states[slice];
            ScrambleFrom(plain, key);
        }
        return ChecksumFrom(crc32(0L, Z_NULL, 0), plain) == sums[slice] ? PayloadStatus::kOk : PayloadStatus::kChanged;
    }
};

SWdocumentfile::SWdocumentfile() = default;
SWdocumentfile::~SWdocumentfile() = default;
SWdocumentfile::SWdocumentfile(SWdocumentfile&&) noexcept = default;
SWdocumentfile& SWdocumentfile::operator=(SWdocumentfile&&) noexcept = default;

DocumentStatus SWdocumentfile::ReadFile(const std::string& path, SWdocumentfile& out, std::string* outError,
                                        uint64_t maxBytes)
{
    out = SWdocumentfile();
    std::unique_ptr<pf::InputFile> input;
    std::vector<uint8_t> file;
    DocumentHeader header;
    std::string cause;
    try {
        if (const DocumentStatus status = OpenChecked(path, maxBytes, input, file, header, cause);
            status != DocumentStatus::kOk)
            return Failed(path, outError, status, cause);
        file.resize(static_cast<size_t>(header.totalBytes));
        pf::InputFileResult result;
        if (!ReadExactlyAt(*input, kDocumentHeaderBytes, std::span<uint8_t>(file).subspan(kDocumentHeaderBytes),
                           result))
            return Failed(path, outError, DocumentStatus::kTruncated,
                          result.cause.empty() ? "the file shrank while it was read" : result.cause);
    } catch (const std::bad_alloc&) {
        return Failed(path, outError, DocumentStatus::kOutOfMemory, "");
    }
    const DocumentStatus status = Parse(std::move(file), out);
    return status == DocumentStatus::kOk ? status : Failed(path, outError, status, "");
}

DocumentStatus SWdocumentfile::OpenFile(const std::string& path, SWdocumentfile& out, std::string* outError,
                                        uint64_t maxBytes, size_t windowBytes)
{
    out = SWdocumentfile();
    std::unique_ptr<pf::InputFile> input;
    std::vector<uint8_t> head;
    std::string cause;
    try {
        SWdocumentfile opened;
        DocumentStatus status = OpenChecked(path, maxBytes, input, head, opened.m_header, cause);
        if (status != DocumentStatus::kOk)
            return Failed(path, outError, status, cause);
        status = opened.Scan(std::make_unique<FileSource>(std::move(input)), windowBytes, cause);
        if (status != DocumentStatus::kOk)
            return Failed(path, outError, status, cause);
        opened.m_onDemand->path = path;
        out = std::move(opened);
        return status;
    } catch (const std::bad_alloc&) {
        return Failed(path, outError, DocumentStatus::kOutOfMemory, "");
    }
}

DocumentStatus SWdocumentfile::OpenBytes(std::vector<uint8_t> file, SWdocumentfile& out, size_t windowBytes)
{
    out = SWdocumentfile();
    SWdocumentfile opened;
    DocumentStatus status = ReadDocumentHeader(file, opened.m_header);
    if (status != DocumentStatus::kOk)
        return status;
    if (opened.m_header.totalBytes != file.size())
        return DocumentStatus::kTruncated;
    std::string cause;
    try {
        status = opened.Scan(std::make_unique<MemorySource>(std::move(file)), windowBytes, cause);
    } catch (const std::bad_alloc&) {
        return DocumentStatus::kOutOfMemory;
    }
    if (status == DocumentStatus::kOk)
        out = std::move(opened);
    return status;
}

DocumentStatus SWdocumentfile::Scan(std::unique_ptr<Source> source, size_t windowBytes, std::string& outCause)
{
    auto state = std::make_unique<OnDemandState>();
    state->end = m_header.totalBytes;
    state->scrambled = (m_header.flags & kDocumentFlagScrambled) != 0;
    const uint64_t bodyBytes = state->end - kDocumentHeaderBytes;
    const size_t slices = static_cast<size_t>((bodyBytes + kSliceBytes - 1) / kSliceBytes);
    state->sums.reserve(slices);
    state->states.reserve(state->scrambled ? slices : 0);
    const size_t slicesPerWindow = windowBytes / kSliceBytes + (windowBytes % kSliceBytes != 0 ? 1 : 0);
    const size_t window = std::max<size_t>(1, std::min(slicesPerWindow, slices)) * kSliceBytes;
    std::vector<uint8_t> bytes(static_cast<size_t>(std::min<uint64_t>(window, bodyBytes)));
    RecordLister lister(state->end, m_records);
    uint32_t key = m_header.seed == 0 ? kScrambleZeroSeed : m_header.seed;
    uLong crc = crc32(0L, Z_NULL, 0);
    for (uint64_t at = kDocumentHeaderBytes; at < state->end; at += bytes.size()) {
        const std::span<uint8_t> piece =
            std::span<uint8_t>(bytes).first(static_cast<size_t>(std::min<uint64_t>(bytes.size(), state->end - at)));
        if (!source->ReadAt(at, piece, outCause)) {
            m_records.clear();
            if (outCause.empty())
                outCause = "the file shrank while it was read";
            return DocumentStatus::kTruncated;
        }
        // Slice by slice, as UnscrambleAndChecksum goes, each slice's sum kept apart for the reads that follow.
        for (size_t i = 0; i < piece.size(); i += kSliceBytes) {
            const std::span<uint8_t> slice = piece.subspan(i, std::min(kSliceBytes, piece.size() - i));
            if (state->scrambled) {
                state->states.push_back(key);
                ScrambleFrom(slice, key);
            }
            const uint32_t sum = ChecksumFrom(crc32(0L, Z_NULL, 0), slice);
            state->sums.push_back(sum);
            crc = crc32_combine(crc, sum, static_cast<z_off_t>(slice.size()));
        }
        lister.Feed(at, piece);
    }
    m_checksum = static_cast<uint32_t>(crc);
    // The checksum first, as for a file read whole: a damaged body may frame badly too.
    const DocumentStatus status = m_checksum != m_header.seed ? DocumentStatus::kDamaged : lister.Status();
    if (status != DocumentStatus::kOk) {
        m_records.clear();
        return status;
    }
    m_hasEnd = true;
    m_trailingBytes = lister.TrailingBytes();
    state->source = std::move(source);
    m_onDemand = std::move(state);
    return DocumentStatus::kOk;
}

DocumentStatus SWdocumentfile::Load(std::vector<uint8_t> file, bool lenient)
{
    const DocumentStatus headerStatus = ReadDocumentHeader(file, m_header);
    if (headerStatus != DocumentStatus::kOk)
        return headerStatus;
    const bool lengthMatches = m_header.totalBytes == file.size();
    if (!lengthMatches && !lenient)
        return DocumentStatus::kTruncated;
    m_bytes = std::move(file);
    const std::span<uint8_t> body = std::span<uint8_t>(m_bytes).subspan(kDocumentHeaderBytes);
    m_checksum =
        (m_header.flags & kDocumentFlagScrambled) ? UnscrambleAndChecksum(body, m_header.seed) : BodyChecksum(body);
    const bool checksumMatches = m_checksum == m_header.seed;
    if (!checksumMatches && !lenient)
        return DocumentStatus::kDamaged;
    const DocumentStatus bodyStatus = ParseBody();
    if (bodyStatus != DocumentStatus::kOk)
        return bodyStatus;
    if (!lengthMatches)
        return DocumentStatus::kTruncated;
    return checksumMatches ? DocumentStatus::kOk : DocumentStatus::kDamaged;
}

// The same framing as a file read on demand, the whole body fed at once.
DocumentStatus SWdocumentfile::ParseBody()
{
    const std::span<const uint8_t> file(m_bytes);
    RecordLister lister(file.size(), m_records);
    lister.Feed(kDocumentHeaderBytes, file.subspan(kDocumentHeaderBytes));
    for (DocumentRecord& record : m_records)
        if (record.framed)
            record.payload = file.subspan(static_cast<size_t>(record.PayloadOffset()), record.PayloadBytes());
    if (lister.Status() != DocumentStatus::kOk)
        return lister.Status();
    m_hasEnd = true;
    m_trailingBytes = lister.TrailingBytes();
    return DocumentStatus::kOk;
}

namespace {

// A payload as stored, of compression kind, decoded into out (see DecodePayload).
PayloadStatus DecodeStored(uint8_t kind, std::span<const uint8_t> stored, std::vector<uint8_t>& out, uint64_t maxBytes)
{
    out.clear();
    try {
        if (kind == static_cast<uint8_t>(DocumentCompression::kNone)) {
            if (stored.size() > maxBytes)
                return PayloadStatus::kOverLimit;
            out.assign(stored.begin(), stored.end());
            return PayloadStatus::kOk;
        }
        if (kind != static_cast<uint8_t>(DocumentCompression::kLzss) &&
            kind != static_cast<uint8_t>(DocumentCompression::kDeflate))
            return PayloadStatus::kUnknownCompression;
        if (stored.size() < kCompressedSizeBytes)
            return PayloadStatus::kDamaged;
        const uint32_t stated = pf::loadU32le(stored.data());
        if (stated > kMaxRecordPayloadBytes)
            return PayloadStatus::kSizeRefused;
        if (stated > maxBytes)
            return PayloadStatus::kOverLimit;
        const SWpayloadfilter* filter = GetPayloadFilter();
        if (filter == nullptr)
            return PayloadStatus::kNoFilter;
        const PayloadStatus status = filter->decode(kind, stored.subspan(kCompressedSizeBytes), stated, maxBytes, out);
        if (status != PayloadStatus::kOk)
            out.clear();
        return status;
    } catch (const std::bad_alloc&) {
        out.clear();
        return PayloadStatus::kOutOfMemory;
    }
}

} // namespace

PayloadStatus SWdocumentfile::DecodePayload(const DocumentRecord& record, std::vector<uint8_t>& out, uint64_t maxBytes)
{
    return DecodeStored(record.Compression(), record.payload, out, maxBytes);
}

PayloadStatus SWdocumentfile::StoredPayload(const DocumentRecord& record, std::vector<uint8_t>& scratch,
                                            std::span<const uint8_t>& out) const
{
    out = {};
    if (m_onDemand == nullptr) {
        out = record.payload;
        return PayloadStatus::kOk;
    }
    // A record too short to be framed has no payload: where it would start may lie past the file's end.
    if (record.PayloadBytes() == 0)
        return PayloadStatus::kOk;
    OnDemandState& state = *m_onDemand;
    const uint64_t begin = record.PayloadOffset();
    const uint64_t end = begin + record.PayloadBytes();
    if (end > state.end)
        return PayloadStatus::kDamaged; // not a record of this file
    try {
        scratch.resize(static_cast<size_t>(end - begin));
        // Whole slices only are read and checked; one a record shares with the next is kept for it.
        const std::lock_guard<std::mutex> guard(state.lock);
        for (uint64_t at = begin; at < end;) {
            const uint64_t slice = (at - kDocumentHeaderBytes) / kSliceBytes;
            const uint64_t sliceStart = kDocumentHeaderBytes + slice * kSliceBytes;
            const size_t sliceBytes = static_cast<size_t>(std::min<uint64_t>(kSliceBytes, state.end - sliceStart));
            const size_t take = static_cast<size_t>(std::min<uint64_t>(end, sliceStart + sliceBytes) - at);
            if (at == sliceStart && take == sliceBytes) {
                const PayloadStatus status = state.ReadSlice(slice, std::span<uint8_t>(&scratch[at - begin], take));
                if (status != PayloadStatus::kOk)
                    return state.Fail(status);
            } else {
                if (state.cachedSlice != slice) {
                    state.cachedSlice = UINT64_MAX;
                    state.cached.resize(sliceBytes);
                    const PayloadStatus status = state.ReadSlice(slice, state.cached);
                    if (status != PayloadStatus::kOk)
                        return state.Fail(status);
                    state.cachedSlice = slice;
                }
                std::copy_n(state.cached.begin() + static_cast<ptrdiff_t>(at - sliceStart), take,
                            scratch.begin() + static_cast<ptrdiff_t>(at - begin));
            }
            at += take;
        }
    } catch (const std::bad_alloc&) {
        return PayloadStatus::kOutOfMemory;
    }
    out = scratch;
    return PayloadStatus::kOk;
}

PayloadStatus SWdocumentfile::ReadFailure() const
{
    return m_onDemand == nullptr ? PayloadStatus::kOk : static_cast<PayloadStatus>(m_onDemand->failure.load());
}

std::string SWdocumentfile::ReadFailureText() const
{
    const PayloadStatus failure = ReadFailure();
    if (failure == PayloadStatus::kOk)
        return {};
    return (m_onDemand->path.empty() ? std::string("the document") : m_onDemand->path) + ": " +
           PayloadStatusText(failure);
}

PayloadStatus SWdocumentfile::ReadPayload(const DocumentRecord& record, std::vector<uint8_t>& out,
                                          uint64_t maxBytes) const
{
    out.clear();
    if (m_onDemand == nullptr)
        return DecodeStored(record.Compression(), record.payload, out, maxBytes);
    const bool stored = record.Compression() == static_cast<uint8_t>(DocumentCompression::kNone);
    if (stored && record.PayloadBytes() > maxBytes)
        return PayloadStatus::kOverLimit;
    // A stored payload is read straight into out; a compressed one into a scratch vector first.
    std::vector<uint8_t> scratch;
    std::span<const uint8_t> bytes;
    const PayloadStatus status = StoredPayload(record, stored ? out : scratch, bytes);
    if (status != PayloadStatus::kOk || stored) {
        if (status != PayloadStatus::kOk)
            out.clear();
        return status;
    }
    return DecodeStored(record.Compression(), bytes, out, maxBytes);
}

// -- Writing

// A record added while others before it are still being filtered.
struct SWdocumentwriter::Queued {
    uint32_t tag = 0;
    uint32_t parentIndex = 0;
    std::vector<uint8_t> payload;
    std::optional<std::vector<uint8_t>> packed;
    bool filtered = false; // guarded by the packers' lock; set once packed holds the filter's result
};

// Threads that filter queued payloads: the records of a document are independent, and a published world spends
// nearly all its time in the filter.
class SWdocumentwriter::Packers {
public:
    Packers(unsigned threads, uint8_t kind) : m_kind(kind)
    {
        for (unsigned i = 0; i < threads; ++i)
            m_threads.emplace_back([this] { Work(); });
    }
    ~Packers()
    {
        {
            const std::lock_guard<std::mutex> guard(m_lock);
            m_stop = true;
        }
        m_work.notify_all();
        m_threads.clear(); // joins
    }
    void Submit(Queued& record)
    {
        {
            const std::lock_guard<std::mutex> guard(m_lock);
            m_waiting.push_back(&record);
        }
        m_work.notify_one();
    }
    bool Filtered(const Queued& record)
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        return record.filtered;
    }
    void WaitFor(const Queued& record)
    {
        std::unique_lock<std::mutex> hold(m_lock);
        m_done.wait(hold, [&] { return record.filtered; });
    }

private:
    void Work()
    {
        std::unique_lock<std::mutex> hold(m_lock);
        for (;;) {
            m_work.wait(hold, [&] { return m_stop || !m_waiting.empty(); });
            if (m_waiting.empty())
                return;
            Queued* record = m_waiting.front();
            m_waiting.pop_front();
            hold.unlock();
            std::optional<std::vector<uint8_t>> packed = Pack(m_kind, record->payload);
            hold.lock();
            record->packed = std::move(packed);
            record->filtered = true;
            m_done.notify_all();
        }
    }

    const uint8_t m_kind;
    std::mutex m_lock;
    std::condition_variable m_work;
    std::condition_variable m_done;
    std::deque<Queued*> m_waiting; // not owned: the writer's queue holds them until they are written
    bool m_stop = false;
    std::vector<std::jthread> m_threads;
};

SWdocumentwriter::SWdocumentwriter(DocumentWriteOptions options)
    : m_options(options), m_stream(m_body, SWchunkstream::kWrite)
{
    m_stream.SetFormatVersion(options.formatVersion);
    const unsigned threads = options.threads != 0 ? options.threads : std::thread::hardware_concurrency();
    if (threads > 1 && options.compression != DocumentCompression::kNone && GetPayloadFilter() != nullptr)
        m_packers = std::make_unique<Packers>(threads, static_cast<uint8_t>(options.compression));
}

SWdocumentwriter::~SWdocumentwriter()
{
    m_packers.reset(); // joins before the queued records go
}

bool SWdocumentwriter::Refuses(uint32_t parentIndex, uint64_t payloadBytes)
{
    if (m_failed || (parentIndex != kDocumentNoParent && parentIndex >= m_count) || m_count == kDocumentNoParent ||
        payloadBytes > kMaxFileBytes)
        m_failed = true;
    return m_failed;
}

bool SWdocumentwriter::Compresses(uint64_t payloadBytes) const
{
    return m_options.compression != DocumentCompression::kNone && GetPayloadFilter() != nullptr &&
           payloadBytes >= kCompressFromBytes;
}

std::optional<uint32_t> SWdocumentwriter::AddRecord(uint32_t tag, uint32_t parentIndex,
                                                    std::span<const uint8_t> payload)
{
    if (Refuses(parentIndex, payload.size()))
        return std::nullopt;
    if (m_packers != nullptr)
        return Queue(tag, parentIndex, payload);
    std::optional<std::vector<uint8_t>> packed;
    if (Compresses(payload.size()))
        packed = Pack(static_cast<uint8_t>(m_options.compression), payload);
    WriteRecord(tag, parentIndex, payload, packed);
    if (m_failed)
        return std::nullopt;
    return m_count++;
}

void SWdocumentwriter::WriteRecord(uint32_t tag, uint32_t parentIndex, std::span<const uint8_t> payload,
                                   const std::optional<std::vector<uint8_t>>& packed)
{
    SWrecordbuilder record(m_stream, tag);
    SWchunkstream& out = record.Stream();
    out.WriteU32(parentIndex);
    if (packed) {
        out.WriteU32(static_cast<uint32_t>(m_options.compression));
        out.WriteU32(static_cast<uint32_t>(payload.size()));
        out.WriteBytes(*packed);
    } else {
        out.WriteU32(static_cast<uint32_t>(DocumentCompression::kNone));
        out.WriteBytes(payload);
    }
    if (!record.Finish())
        m_failed = true;
}

std::optional<uint32_t> SWdocumentwriter::Queue(uint32_t tag, uint32_t parentIndex, std::span<const uint8_t> payload)
{
    // A few records per thread, and never much of the document, wait uncompressed at once.
    constexpr size_t kQueuedPerThread = 4;
    constexpr uint64_t kMaxQueuedBytes = 256ull << 20;
    try {
        auto queued = std::make_unique<Queued>();
        queued->tag = tag;
        queued->parentIndex = parentIndex;
        queued->payload.assign(payload.begin(), payload.end());
        queued->filtered = !Compresses(payload.size());
        m_queuedBytes += payload.size();
        if (!queued->filtered)
            m_packers->Submit(*queued);
        m_queue.push_back(std::move(queued));
    } catch (const std::bad_alloc&) {
        m_failed = true;
        return std::nullopt;
    }
    WriteQueued(false);
    while (!m_queue.empty() && (m_queue.size() > kQueuedPerThread * std::thread::hardware_concurrency() ||
                                m_queuedBytes > kMaxQueuedBytes)) {
        m_packers->WaitFor(*m_queue.front());
        WriteQueued(false);
    }
    if (m_failed)
        return std::nullopt;
    return m_count++;
}

void SWdocumentwriter::WriteQueued(bool all)
{
    while (!m_queue.empty()) {
        Queued& head = *m_queue.front();
        if (all)
            m_packers->WaitFor(head);
        else if (!m_packers->Filtered(head))
            return;
        WriteRecord(head.tag, head.parentIndex, head.payload, head.packed);
        m_queuedBytes -= head.payload.size();
        m_queue.pop_front();
    }
}

std::optional<uint32_t> SWdocumentwriter::AddRecord(uint32_t tag, uint32_t parentIndex, SWbuffer&& payload)
{
    SWbuffer taken(std::move(payload));
    if (Refuses(parentIndex, taken.Size()))
        return std::nullopt;
    if (Compresses(taken.Size()) || m_packers != nullptr) {
        const std::span<const uint8_t> flat = taken.FlatBytes(); // the filter takes one block
        if (flat.size() != taken.Size()) {
            m_failed = true; // out of memory joining the blocks
            return std::nullopt;
        }
        return AddRecord(tag, parentIndex, flat);
    }
    SWrecordbuilder record(m_stream, tag);
    SWchunkstream& out = record.Stream();
    out.WriteU32(parentIndex);
    out.WriteU32(static_cast<uint32_t>(DocumentCompression::kNone));
    out.WriteBuffer(taken);
    if (!record.Finish()) {
        m_failed = true;
        return std::nullopt;
    }
    return m_count++;
}

void SWdocumentwriter::Refuse(DocumentStatus why)
{
    m_failed = true;
    m_refusal = why;
}

DocumentStatus SWdocumentwriter::Finish(std::vector<uint8_t>& out)
{
    out.clear();
    const DocumentStatus status = FinishTo([&out](std::span<const uint8_t> piece) {
        if (out.empty())
            out.reserve(static_cast<size_t>(pf::loadU32le(&piece[16]))); // the header comes first, with the total
        out.insert(out.end(), piece.begin(), piece.end());
        return true;
    });
    if (status != DocumentStatus::kOk)
        out.clear();
    return status;
}

DocumentStatus SWdocumentwriter::FinishTo(const std::function<bool(std::span<const uint8_t>)>& sink)
{
    if (m_packers != nullptr)
        WriteQueued(true);
    if (m_failed || m_stream.Status() != SWchunkstream::kStatusGood)
        return m_failed ? m_refusal : DocumentStatus::kOutOfMemory;
    const uint64_t total = kDocumentHeaderBytes + m_body.Size() + 4;
    if (total > kMaxFileBytes)
        return DocumentStatus::kTooLarge;
    std::array<uint8_t, 4> end{};
    pf::storeU32le(end.data(), kTagEnd);
    uLong crc = crc32(0L, Z_NULL, 0);
    for (size_t i = 0; i < m_body.BlockCount(); ++i)
        crc = ChecksumFrom(crc, m_body.Block(i));
    const uint32_t seed = ChecksumFrom(crc, end);

    std::array<uint8_t, kDocumentHeaderBytes> header{};
    std::copy(kMagic.begin(), kMagic.end(), header.begin());
    const uint32_t digits = m_options.version % 10000;
    for (int i = 0; i < 4; ++i)
        header[7 - i] = static_cast<uint8_t>('0' + (digits / std::array<uint32_t, 4>{1, 10, 100, 1000}[i]) % 10);
    pf::storeU32le(&header[8], seed);
    pf::storeU32le(&header[12], m_options.scramble ? kDocumentFlagScrambled : 0);
    pf::storeU32le(&header[16], static_cast<uint32_t>(total));

    // The body leaves in pieces of whole key-stream slices, scrambled in a buffer of their own: the document is
    // never copied whole, and every piece but the last keeps the key stream where one pass over the body has it.
    constexpr size_t kPieceBytes = 16 * kSliceBytes; // 1 MiB, which stays in the cache while it is scrambled and sent
    std::vector<uint8_t> piece;
    uint32_t state = seed == 0 ? kScrambleZeroSeed : seed;
    const auto send = [&](std::span<const uint8_t> bytes, bool last) {
        if (!m_options.scramble)
            return sink(bytes);
        while (!bytes.empty() || (last && !piece.empty())) {
            const size_t take = std::min(bytes.size(), kPieceBytes - piece.size());
            piece.insert(piece.end(), bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(take));
            bytes = bytes.subspan(take);
            if (piece.size() < kPieceBytes && !(last && bytes.empty()))
                break;
            ScrambleFrom(piece, state);
            if (!sink(piece))
                return false;
            piece.clear();
        }
        return true;
    };
    try {
        if (!sink(header))
            return DocumentStatus::kWriteFailed;
        piece.reserve(m_options.scramble ? kPieceBytes : 0);
        for (size_t i = 0; i < m_body.BlockCount(); ++i)
            if (!send(m_body.Block(i), false))
                return DocumentStatus::kWriteFailed;
        if (!send(end, true))
            return DocumentStatus::kWriteFailed;
    } catch (const std::bad_alloc&) {
        return DocumentStatus::kOutOfMemory;
    }
    return DocumentStatus::kOk;
}

DocumentStatus SaveDocumentFile(const std::string& path, std::span<const uint8_t> bytes, std::string* outError)
{
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (!pf::writeFileAtomically(path, text, outError, 0666 & ~CurrentUmask()))
        return DocumentStatus::kWriteFailed;
    return DocumentStatus::kOk;
}

DocumentStatus SaveDocumentFile(const std::string& path, SWdocumentwriter& writer, std::string* outError)
{
    std::string error;
    std::unique_ptr<pf::AtomicFile> file = pf::AtomicFile::open(path, error, 0666 & ~CurrentUmask());
    DocumentStatus status = DocumentStatus::kWriteFailed;
    if (file) {
        status = writer.FinishTo([&file](std::span<const uint8_t> piece) { return file->write(piece); });
        if (status == DocumentStatus::kOk && !file->commit())
            status = DocumentStatus::kWriteFailed;
        if (status == DocumentStatus::kWriteFailed)
            error = file->error();
    }
    if (outError != nullptr)
        *outError = status == DocumentStatus::kOk ? std::string() : error;
    return status;
}
