#pragma once
// SWchunkstream: the record stream. A record is a u32 tag, a u32 length and exactly that many payload bytes; a
// payload may itself be a list of records, which ends where its record ends (or at a stored "END " tag). Every
// integer is little-endian and packed; a string is a u32 length and its bytes, without terminator.
//
// A stream reads a memory buffer, borrowed bytes or a file, or writes a memory buffer or a file. A child stream
// (OpenChild) reads one record's payload and can never read past it; deleting the child skips what it left unread,
// so a reader that stops early leaves its parent at the next record.
//
// Status: 0 good; 1 a read went past the end of the record (a short read, which yields 0); -1 an error (a failed
// device, a read on a write stream, nesting too deep, out of memory). The status never returns to 0: once it is not
// 0, every read yields 0 and fails, PeekTag answers "END " and nothing more is written. A reader may therefore read
// a run of fields and check Status() once at the record's end, but must check at once any value that sizes an
// allocation, indexes an array or bounds a loop.
//
// Every reader has two forms with one behaviour: `uint32_t ReadU32()` returns the value (0 on failure), and
// `bool ReadU32(uint32_t& out)` stores it (0 on failure) and answers whether it was read.
#include "engine/core/type_tag.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

class SWbuffer;
class SWreadcontext;

class SWchunkstream {
public:
    static constexpr int kRead = 0;
    static constexpr int kWrite = 1;

    static constexpr int kStatusGood = 0;
    static constexpr int kStatusShortRead = 1;
    static constexpr int kStatusError = -1;

    static constexpr uint32_t kMaxDepth = 64; // child streams nested deeper than this fail (-1)

    SWchunkstream(SWbuffer& buffer, int mode);              // kRead: reads buffer's bytes (flattened first);
                                                            // kWrite: appends to buffer. buffer outlives the stream
                                                            // and is not changed by others while it is read
    explicit SWchunkstream(std::span<const uint8_t> bytes); // reads borrowed bytes, which outlive the stream
    // Reads bytes as above and gives the whole pages that large reads have passed back to the system: for a
    // payload read once, front to back, in heap memory its owner lets go of (they read as zeros afterwards).
    struct GiveBackRead {};
    SWchunkstream(std::span<uint8_t> bytes, GiveBackRead);
    // Caller owns; null when the file cannot be opened ("rb" or "wb").
    static std::unique_ptr<SWchunkstream> OpenFile(const std::string& path, int mode);
    virtual ~SWchunkstream(); // a child skips its unread rest; a file is closed
    SWchunkstream(const SWchunkstream&) = delete;
    SWchunkstream& operator=(const SWchunkstream&) = delete;

    // -- State
    int Status() const; // 0 good, 1 short read, -1 error
    bool IsWriting() const { return m_mode == kWrite; }
    uint64_t Remaining() const;      // bytes left to read in this record; 0 when writing
    uint64_t RemainingAfter() const; // a child's: what its parent holds after this record's end; 0 at top level
    uint64_t Position() const;       // bytes this stream has read, skipped or written
    uint32_t Depth() const { return m_depth; }                 // 0 for a root stream, parent's + 1 for a child
    uint32_t FormatVersion() const { return m_formatVersion; } // of the file read or written (951 for "0951")
    void SetFormatVersion(uint32_t version) { m_formatVersion = version; } // children inherit it when opened
    // What a document reader shares with every object it reads (the id policy and map); not owned, outlives the
    // stream; children inherit it when opened. Null: ids are read as the world's own (kept, raising the counter).
    SWreadcontext* ReadContext() const { return m_readContext; }
    void SetReadContext(SWreadcontext* context) { m_readContext = context; }
    void Fail(int status); // a reader found damage: sets status when still 0
    bool Close();          // flushes and closes a file; false: it failed (-1)

    // -- Records
    // The next tag, not consumed; "END " when fewer than 4 bytes remain in the record or the stream failed.
    uint32_t PeekTag();
    // Consumes the tag PeekTag answers ("END " is consumed only when it is stored).
    uint32_t TakeTag();
    // Skips the record here: its tag (unless TakeTag just took it), its length and payload. False: damaged or short.
    bool SkipRecord();
    // Reads the record here (its tag unless TakeTag just took it, then its length) and returns a stream limited to
    // its payload; never null. A length beyond this stream's remainder marks both streams 1. Use this stream again
    // only after the child is deleted.
    std::unique_ptr<SWchunkstream> OpenChild();
    // Skips count bytes; beyond the record it skips the rest and answers false with status 1.
    bool Skip(uint64_t count);

    // -- Readers (see the header comment for the two forms)
    uint8_t ReadU8();
    bool ReadU8(uint8_t& out);
    bool ReadBool(); // a byte; true only when it is 1
    bool ReadBool(bool& out);
    uint16_t ReadU16();
    bool ReadU16(uint16_t& out);
    uint32_t ReadU32(); // 0 and status 1 when fewer than 4 bytes remain
    bool ReadU32(uint32_t& out);
    int32_t ReadI32();
    bool ReadI32(int32_t& out);
    uint64_t ReadU64();
    bool ReadU64(uint64_t& out);
    float ReadF32(); // the f32's bit pattern as a u32
    bool ReadF32(float& out);
    double ReadF64(); // the f64's bit pattern as a u64 (low word first)
    bool ReadF64(double& out);
    // u32 length, then the bytes; null for length 0. A length beyond the record is a short read, never allocated.
    std::optional<std::string> ReadString();
    bool ReadString(std::optional<std::string>& out);
    bool ReadString(std::string& out); // empty for length 0
    // Up to count bytes, clamped to the record (status 1 when clamped); the unread tail of out is zeroed.
    // Answers the bytes read (0 at the record's end).
    size_t ReadBytes(void* out, size_t count);
    size_t ReadBytes(std::span<uint8_t> out) { return ReadBytes(out.data(), out.size()); }
    // Arrays read in one block, as out.size() calls of the single reader would read them: whole values up to the
    // record's end, the rest 0 with status 1 (a part value left unread). True when every value was read.
    bool ReadU16s(std::span<uint16_t> out);
    bool ReadU32s(std::span<uint32_t> out);
    bool ReadF32s(std::span<float> out);

    // -- Writers (false when nothing was written: the stream is not writable or not good)
    bool WriteU8(uint8_t value);
    bool WriteChar(char value);
    bool WriteBool(bool value); // 1 or 0
    bool WriteU16(uint16_t value);
    bool WriteShort(uint16_t value) { return WriteU16(value); }
    bool WriteU32(uint32_t value);
    bool WriteI32(int32_t value);
    bool WriteU64(uint64_t value);
    bool WriteF32(float value);         // the bit pattern as a u32
    bool WriteF64(double value);        // the bit pattern as two u32 words, low word first
    bool WriteString(const char* text); // u32 length without terminator, bytes; null: length 0
    bool WriteString(std::string_view text);
    bool WriteString(const std::string& text) { return WriteString(std::string_view(text)); }
    bool WriteString(const std::optional<std::string>& text); // null writes length 0
    bool WriteBytes(const void* data, size_t count);
    bool WriteBytes(std::span<const uint8_t> bytes) { return WriteBytes(bytes.data(), bytes.size()); }
    bool WriteTag(uint32_t tag) { return WriteU32(tag); }
    // Writes bytes' contents and empties it, written or not. A stream writing a memory buffer takes large blocks as
    // they are, so a record nested in many others is not copied once per level.
    bool WriteBuffer(SWbuffer& bytes);
    // Arrays written in one block, the same bytes as one single write per value.
    bool WriteU16s(std::span<const uint16_t> values);
    bool WriteU32s(std::span<const uint32_t> values);
    bool WriteF32s(std::span<const float> values);

    class Device; // the bytes under a root stream and its children

private:
    struct ChildKey {};
    struct RootKey {};

public:
    SWchunkstream(ChildKey, SWchunkstream& parent, uint64_t length, int status); // made by OpenChild only
    SWchunkstream(RootKey, std::unique_ptr<Device> device, int mode);            // made by the constructors above

private:
    template <typename T> bool ReadLe(T& out);
    template <typename T> bool WriteLe(T value);
    template <typename T> bool ReadLeArray(std::span<T> out);
    template <typename T> bool WriteLeArray(std::span<const T> values);
    bool CanRead();
    bool CanWrite();
    uint64_t DevicePosition() const;
    bool TakeTagIfPending();

    std::unique_ptr<Device> m_ownDevice; // a root's; null for a child
    Device* m_device = nullptr;          // owned by the root stream, which outlives its children
    SWchunkstream* m_parent = nullptr;   // a child's parent, which outlives it
    uint64_t m_start = 0;                // device position where this stream began
    uint64_t m_end = 0;                  // device position where this record ends (reading)
    uint64_t m_tagTakenAt = UINT64_MAX;  // device position just after the last TakeTag
    int m_mode = kRead;
    int m_status = kStatusGood;
    uint32_t m_depth = 0;
    uint32_t m_formatVersion = 0;
    SWreadcontext* m_readContext = nullptr; // see ReadContext
};
