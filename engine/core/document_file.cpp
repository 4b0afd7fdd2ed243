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
#include "platform/base/large_pages.h"

namespace {

constexpr std::array<uint8_t, 4> kMagic = {'V', 'T', 'N', 'F'};
constexpr size_t kRecordFrameBytes = 8;    // parent index and flags, ahead of the object's payload
constexpr size_t kRecordHeadBytes = 16;    // tag, length, parent index, flags
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

// Fills bytes from input; false at an error (result says why) or at the end of the file (result ok).
bool ReadExactly(pf::InputFile& input, std::span<uint8_t> bytes, pf::InputFileResult& result)
{
    while (!bytes.empty()) {
        const ptrdiff_t got = input.read(bytes, result);
        if (got <= 0)
            return false;
        bytes = bytes.subspan(static_cast<size_t>(got));
    }
    return true;
}

} // namespace

const char* DocumentStatusText(DocumentStatus status)
{
    switch (status) {
    case DocumentStatus::kOk:
        return "ok";
    case DocumentStatus::kCannotRead:
        return "the file cannot be read";
    case DocumentStatus::kNotDocument:
        return "not a VTNF document";
    case DocumentStatus::kTruncated:
        return "the file is truncated";
    case DocumentStatus::kDamaged:
        return "damaged file: its checksum does not match";
    case DocumentStatus::kTooLarge:
        return "the document would reach 4 GiB";
    case DocumentStatus::kOutOfMemory:
        return "out of memory";
    case DocumentStatus::kWriteFailed:
        return "the file could not be written";
    case DocumentStatus::kOverLimit:
        return "the file is larger than the reader's limit allows";
    }
    return "unknown status";
}

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

DocumentStatus SWdocumentfile::ReadFile(const std::string& path, SWdocumentfile& out, std::string* outError,
                                        uint64_t maxBytes)
{
    out = SWdocumentfile();
    const auto fail = [&](DocumentStatus status, const std::string& why) {
        if (outError != nullptr)
            *outError = path + ": " + (why.empty() ? DocumentStatusText(status) : why);
        return status;
    };
    // The checked reader: a regular file only, opened without blocking, within the limit before a byte is held.
    pf::InputFileResult result;
    const std::unique_ptr<pf::InputFile> input = pf::InputFile::open(path, result, maxBytes);
    if (input == nullptr && result.status == pf::InputFileStatus::kTooLarge)
        return fail(DocumentStatus::kOverLimit, TooLargeText(path, maxBytes));
    if (input == nullptr) {
        const DocumentStatus status = result.status == pf::InputFileStatus::kTooLarge ? DocumentStatus::kOverLimit
                                      : result.status == pf::InputFileStatus::kOutOfMemory
                                          ? DocumentStatus::kOutOfMemory
                                          : DocumentStatus::kCannotRead;
        return fail(status, result.cause);
    }
    const uint64_t size = input->sizeBytes();
    std::vector<uint8_t> file;
    try {
        // The header first: its length must be the file's before the rest is reserved.
        file.resize(static_cast<size_t>(std::min<uint64_t>(size, kDocumentHeaderBytes)));
        if (!ReadExactly(*input, file, result))
            return fail(DocumentStatus::kCannotRead,
                        result.cause.empty() ? "the file shrank while it was read" : result.cause);
        DocumentHeader header;
        if (const DocumentStatus status = ReadDocumentHeader(file, header); status != DocumentStatus::kOk)
            return fail(status, "");
        if (header.totalBytes != size) {
            return fail(DocumentStatus::kTruncated, std::string(DocumentStatusText(DocumentStatus::kTruncated)) +
                                                        " (its header says " + std::to_string(header.totalBytes) +
                                                        " bytes, it holds " + std::to_string(size) + ")");
        }
        file.reserve(header.totalBytes);
        pf::adviseLargePages(file.data(), header.totalBytes);
        file.resize(header.totalBytes);
        if (!ReadExactly(*input, std::span<uint8_t>(file).subspan(kDocumentHeaderBytes), result))
            return fail(DocumentStatus::kTruncated,
                        result.cause.empty() ? "the file shrank while it was read" : result.cause);
    } catch (const std::bad_alloc&) {
        return fail(DocumentStatus::kOutOfMemory, "");
    }
    const DocumentStatus status = Parse(std::move(file), out);
    return status == DocumentStatus::kOk ? status : fail(status, "");
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

DocumentStatus SWdocumentfile::ParseBody()
{
    const std::span<const uint8_t> body = std::span<const uint8_t>(m_bytes).subspan(kDocumentHeaderBytes);
    SWchunkstream in(body);
    for (;;) {
        if (in.Remaining() < 4)
            return DocumentStatus::kTruncated; // the list was never closed
        const uint64_t start = in.Position();
        const uint32_t tag = in.TakeTag();
        if (tag == kTagEnd) {
            m_hasEnd = true;
            m_trailingBytes = in.Remaining();
            return DocumentStatus::kOk;
        }
        if (in.Remaining() < 4)
            return DocumentStatus::kTruncated;
        DocumentRecord record;
        record.tag = tag;
        record.offset = kDocumentHeaderBytes + start;
        {
            const std::unique_ptr<SWchunkstream> child = in.OpenChild();
            if (child->Status() != SWchunkstream::kStatusGood || in.Status() != SWchunkstream::kStatusGood)
                return DocumentStatus::kTruncated; // its length reaches past the body
            record.length = static_cast<uint32_t>(child->Remaining());
            if (record.length < kRecordFrameBytes) {
                record.framed = false;
            } else {
                record.parentIndex = child->ReadU32();
                record.flags = child->ReadU32();
                record.payload = body.subspan(start + kRecordHeadBytes, record.length - kRecordFrameBytes);
            }
        }
        m_records.push_back(record);
    }
}

std::span<uint8_t> SWdocumentfile::PayloadToGiveBack(const DocumentRecord& record) const
{
    assert(m_giveBackAsRead);
    assert(record.payload.empty() ||
           (record.payload.data() >= m_bytes.data() && record.payload.data() < m_bytes.data() + m_bytes.size()));
    // m_bytes is this object's own, not const: its owner asked for its pages to be let go.
    return {const_cast<uint8_t*>(record.payload.data()), record.payload.size()};
}

PayloadStatus SWdocumentfile::DecodePayload(const DocumentRecord& record, std::vector<uint8_t>& out, uint64_t maxBytes)
{
    out.clear();
    try {
        const uint8_t kind = record.Compression();
        if (kind == static_cast<uint8_t>(DocumentCompression::kNone)) {
            if (record.payload.size() > maxBytes)
                return PayloadStatus::kOverLimit;
            out.assign(record.payload.begin(), record.payload.end());
            return PayloadStatus::kOk;
        }
        if (kind != static_cast<uint8_t>(DocumentCompression::kLzss) &&
            kind != static_cast<uint8_t>(DocumentCompression::kDeflate))
            return PayloadStatus::kUnknownCompression;
        if (record.payload.size() < kCompressedSizeBytes)
            return PayloadStatus::kDamaged;
        const uint32_t stated = pf::loadU32le(record.payload.data());
        if (stated > kMaxRecordPayloadBytes)
            return PayloadStatus::kSizeRefused;
        if (stated > maxBytes)
            return PayloadStatus::kOverLimit;
        const SWpayloadfilter* filter = GetPayloadFilter();
        if (filter == nullptr)
            return PayloadStatus::kNoFilter;
        const PayloadStatus status =
            filter->decode(kind, record.payload.subspan(kCompressedSizeBytes), stated, maxBytes, out);
        if (status != PayloadStatus::kOk)
            out.clear();
        return status;
    } catch (const std::bad_alloc&) {
        out.clear();
        return PayloadStatus::kOutOfMemory;
    }
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
        return DocumentStatus::kOutOfMemory;
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
