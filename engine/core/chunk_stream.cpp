#include "engine/core/chunk_stream.h"

#include "engine/core/buffer.h"
#include "platform/base/endian.h"
#include "platform/base/large_pages.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstdio>
#include <cstring>
#include <new>
#include <type_traits>

// The bytes under a root stream and its children. Children share their root's device and position, so reading a
// child advances its parent; each stream only keeps where its own record ends.
class SWchunkstream::Device {
public:
    virtual ~Device() = default;
    virtual size_t Read(uint8_t* out, size_t count) = 0; // reads at position, advances; fewer: failed
    virtual bool Peek(uint8_t* out, size_t count) = 0;   // reads at position without advancing
    virtual bool Skip(uint64_t count) = 0;               // count never passes size
    virtual bool Write(const uint8_t* data, size_t count) = 0;
    virtual bool WriteBuffer(SWbuffer& bytes) // empties bytes
    {
        bool written = true;
        for (size_t i = 0; written && i < bytes.BlockCount(); ++i) {
            const std::span<const uint8_t> block = bytes.Block(i);
            written = block.empty() || Write(block.data(), block.size());
        }
        bytes.Clear();
        return written;
    }
    virtual bool Close() { return true; }

    // The bytes themselves when the device reads memory: single values are taken from here without a virtual
    // call, the commonest read of a world's file. Null for other devices.
    const uint8_t* memory = nullptr;
    uint64_t position = 0; // bytes read, skipped or written so far
    uint64_t size = 0;     // bytes readable in all (reading)
    bool failed = false;   // sticky: every stream on it reports -1
};

namespace {

class MemoryReader final : public SWchunkstream::Device {
public:
    explicit MemoryReader(std::span<const uint8_t> bytes) // borrowed; they outlive the stream by contract
    {
        size = bytes.size();
        memory = bytes.data();
    }
    explicit MemoryReader(std::span<uint8_t> bytes, SWchunkstream::GiveBackRead)
        : MemoryReader(std::span<const uint8_t>(bytes))
    {
        m_giveBack = bytes.data();
    }

    size_t Read(uint8_t* out, size_t count) override
    {
        if (!Peek(out, count))
            return 0;
        position += count;
        // Only large reads give pages back: an array of a mesh or a picture is where a file's bytes are, and a
        // page is never read again once the reader has passed it.
        if (m_giveBack != nullptr && count >= kGiveBackMinBytes) {
            pf::releasePages(m_giveBack + m_givenBackTo, position - m_givenBackTo);
            m_givenBackTo = position;
        }
        return count;
    }
    bool Peek(uint8_t* out, size_t count) override
    {
        if (count > size - position)
            return false;
        if (count != 0)
            std::memcpy(out, memory + position, count);
        return true;
    }
    bool Skip(uint64_t count) override
    {
        position += count;
        return true;
    }
    bool Write(const uint8_t*, size_t) override { return false; }

private:
    static constexpr size_t kGiveBackMinBytes = size_t{64} << 10;

    uint8_t* m_giveBack = nullptr; // memory, when its owner lets the pages read go
    uint64_t m_givenBackTo = 0;    // bytes before it are given back where they fill whole pages
};

class BufferWriter final : public SWchunkstream::Device {
public:
    explicit BufferWriter(SWbuffer& sink) : m_sink(sink) {}

    size_t Read(uint8_t*, size_t) override { return 0; }
    bool Peek(uint8_t*, size_t) override { return false; }
    bool Skip(uint64_t) override { return false; }
    bool Write(const uint8_t* data, size_t count) override
    {
        if (!m_sink.Append(data, count))
            return false;
        position += count;
        return true;
    }
    bool WriteBuffer(SWbuffer& bytes) override
    {
        // Small buffers are copied: a block taken whole keeps its spare room, which many small records would waste.
        constexpr size_t kAdoptFromBytes = 64 * 1024;
        if (bytes.Size() < kAdoptFromBytes)
            return Device::WriteBuffer(bytes);
        const size_t size = bytes.Size();
        const bool adopted = m_sink.Adopt(std::move(bytes));
        bytes.Clear();
        if (adopted)
            position += size;
        return adopted;
    }

private:
    SWbuffer& m_sink; // the caller's; outlives the stream by contract
};

class FileDevice final : public SWchunkstream::Device {
public:
    explicit FileDevice(std::FILE* file) : m_file(file) {}
    ~FileDevice() override { Close(); }

    size_t Read(uint8_t* out, size_t count) override
    {
        const size_t got = std::fread(out, 1, count, m_file);
        position += got;
        return got;
    }
    bool Peek(uint8_t* out, size_t count) override
    {
        const size_t got = std::fread(out, 1, count, m_file);
        return SeekTo(position) && got == count;
    }
    bool Skip(uint64_t count) override
    {
        if (!SeekTo(position + count))
            return false;
        position += count;
        return true;
    }
    bool Write(const uint8_t* data, size_t count) override
    {
        const size_t put = std::fwrite(data, 1, count, m_file);
        position += put;
        return put == count;
    }
    bool Close() override
    {
        if (m_file == nullptr)
            return true;
        const bool closed = std::fclose(m_file) == 0;
        m_file = nullptr;
        return closed;
    }

private:
    bool SeekTo(uint64_t offset)
    {
        return m_file != nullptr && offset <= static_cast<uint64_t>(INT64_MAX) &&
               fseeko(m_file, static_cast<off_t>(offset), SEEK_SET) == 0;
    }

    std::FILE* m_file; // owned; closed by Close or the destructor
};

} // namespace

// -- Construction

SWchunkstream::SWchunkstream(RootKey, std::unique_ptr<Device> device, int mode)
    : m_ownDevice(std::move(device)), m_device(m_ownDevice.get()), m_end(m_device->size), m_mode(mode)
{
}

SWchunkstream::SWchunkstream(std::span<const uint8_t> bytes)
    : SWchunkstream(RootKey{}, std::make_unique<MemoryReader>(bytes), kRead)
{
}

SWchunkstream::SWchunkstream(std::span<uint8_t> bytes, GiveBackRead giveBack)
    : SWchunkstream(RootKey{}, std::make_unique<MemoryReader>(bytes, giveBack), kRead)
{
}

SWchunkstream::SWchunkstream(SWbuffer& buffer, int mode)
    : SWchunkstream(RootKey{},
                    mode == kWrite ? std::unique_ptr<Device>(std::make_unique<BufferWriter>(buffer))
                                   : std::unique_ptr<Device>(std::make_unique<MemoryReader>(buffer.FlatBytes())),
                    mode == kWrite ? kWrite : kRead)
{
    if (mode == kRead && m_device->size != buffer.Size())
        m_status = kStatusError; // the blocks could not be joined
}

SWchunkstream::SWchunkstream(ChildKey, SWchunkstream& parent, uint64_t length, int status)
    : m_device(parent.m_device), m_parent(&parent), m_start(parent.DevicePosition()),
      m_end(parent.DevicePosition() + length), m_mode(kRead), m_status(status), m_depth(parent.m_depth + 1),
      m_formatVersion(parent.m_formatVersion), m_readContext(parent.m_readContext)
{
}

std::unique_ptr<SWchunkstream> SWchunkstream::OpenFile(const std::string& path, int mode)
{
    std::FILE* file = std::fopen(path.c_str(), mode == kWrite ? "wb" : "rb");
    if (file == nullptr)
        return nullptr;
    auto device = std::make_unique<FileDevice>(file);
    if (mode != kWrite) {
        const bool measured = fseeko(file, 0, SEEK_END) == 0;
        const off_t size = measured ? ftello(file) : -1;
        if (size < 0 || fseeko(file, 0, SEEK_SET) != 0)
            return nullptr;
        device->size = static_cast<uint64_t>(size);
    }
    return std::make_unique<SWchunkstream>(RootKey{}, std::move(device), mode == kWrite ? kWrite : kRead);
}

SWchunkstream::~SWchunkstream()
{
    // A reader that stops early (or fails) must still leave its parent at the next record.
    if (m_parent != nullptr && !m_device->failed && m_device->position < m_end)
        m_device->failed = !m_device->Skip(m_end - m_device->position);
}

// -- State

int SWchunkstream::Status() const
{
    if (m_status == kStatusGood && m_device->failed)
        return kStatusError;
    return m_status;
}

uint64_t SWchunkstream::Remaining() const
{
    if (m_mode == kWrite || m_device->position >= m_end)
        return 0;
    return m_end - m_device->position;
}

uint64_t SWchunkstream::RemainingAfter() const
{
    if (m_parent == nullptr || m_mode == kWrite)
        return 0;
    const uint64_t around = m_parent->Remaining(); // the parent reads through the same device, now inside us
    const uint64_t inside = m_end > m_device->position ? m_end - m_device->position : 0;
    return around > inside ? around - inside : 0;
}

uint64_t SWchunkstream::Position() const
{
    return m_device->position - m_start;
}

uint64_t SWchunkstream::DevicePosition() const
{
    return m_device->position;
}

void SWchunkstream::Fail(int status)
{
    if (m_status == kStatusGood && status != kStatusGood)
        m_status = status;
}

bool SWchunkstream::Close()
{
    if (m_ownDevice == nullptr)
        return Status() == kStatusGood;
    if (!m_ownDevice->Close())
        Fail(kStatusError);
    return Status() == kStatusGood;
}

bool SWchunkstream::CanRead()
{
    if (m_mode != kRead) {
        assert(false && "a write stream cannot be read");
        Fail(kStatusError);
    }
    if (m_device->failed)
        Fail(kStatusError);
    return m_status == kStatusGood;
}

bool SWchunkstream::CanWrite()
{
    if (m_mode != kWrite) {
        assert(false && "a read stream cannot be written");
        Fail(kStatusError);
    }
    if (m_device->failed)
        Fail(kStatusError);
    return m_status == kStatusGood;
}

// -- Records

uint32_t SWchunkstream::PeekTag()
{
    uint8_t bytes[4];
    if (!CanRead() || Remaining() < sizeof bytes)
        return kTagEnd;
    if (!m_device->Peek(bytes, sizeof bytes)) {
        m_device->failed = true;
        Fail(kStatusError);
        return kTagEnd;
    }
    return pf::loadU32le(bytes);
}

uint32_t SWchunkstream::TakeTag()
{
    if (!CanRead() || Remaining() < 4)
        return kTagEnd;
    const uint32_t tag = ReadU32();
    m_tagTakenAt = DevicePosition();
    return tag;
}

bool SWchunkstream::TakeTagIfPending()
{
    if (m_tagTakenAt == DevicePosition())
        return true;
    uint32_t tag = 0;
    return ReadU32(tag);
}

bool SWchunkstream::SkipRecord()
{
    uint32_t length = 0;
    if (!CanRead() || !TakeTagIfPending() || !ReadU32(length))
        return false;
    return Skip(length);
}

std::unique_ptr<SWchunkstream> SWchunkstream::OpenChild()
{
    uint32_t length = 0;
    const bool framed = CanRead() && TakeTagIfPending() && ReadU32(length);
    int childStatus = framed ? kStatusGood : (Status() == kStatusGood ? kStatusShortRead : Status());
    uint64_t limit = framed ? length : 0;
    if (framed && limit > Remaining()) {
        limit = Remaining(); // a child never reaches past its parent's end
        Fail(kStatusShortRead);
        childStatus = kStatusShortRead;
    }
    if (childStatus == kStatusGood && m_depth + 1 > kMaxDepth)
        childStatus = kStatusError; // its rest is still skipped when it is deleted
    return std::make_unique<SWchunkstream>(ChildKey{}, *this, limit, childStatus);
}

bool SWchunkstream::Skip(uint64_t count)
{
    if (!CanRead())
        return false;
    const uint64_t available = Remaining();
    const uint64_t skipped = std::min(count, available);
    if (skipped != 0 && !m_device->Skip(skipped)) {
        m_device->failed = true;
        Fail(kStatusError);
        return false;
    }
    if (skipped < count) {
        Fail(kStatusShortRead);
        return false;
    }
    return true;
}

// -- Readers

template <typename T> bool SWchunkstream::ReadLe(T& out)
{
    static_assert(std::is_unsigned_v<T>);
    out = 0;
    uint8_t bytes[sizeof(T)];
    if (!CanRead())
        return false;
    if (Remaining() < sizeof(T)) {
        Fail(kStatusShortRead);
        return false;
    }
    if (m_device->memory != nullptr) {
        std::memcpy(bytes, m_device->memory + m_device->position, sizeof(T));
        m_device->position += sizeof(T);
    } else if (m_device->Read(bytes, sizeof(T)) != sizeof(T)) {
        m_device->failed = true;
        Fail(kStatusError);
        return false;
    }
    T value = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
        value = static_cast<T>(value | (static_cast<T>(bytes[i]) << (8 * i)));
    out = value;
    return true;
}

template <typename T> bool SWchunkstream::ReadLeArray(std::span<T> out)
{
    static_assert(sizeof(T) == 2 || sizeof(T) == 4);
    const size_t whole = CanRead() ? static_cast<size_t>(std::min<uint64_t>(out.size(), Remaining() / sizeof(T))) : 0;
    auto* const bytes = reinterpret_cast<uint8_t*>(out.data());
    const size_t gotBytes = whole == 0 ? 0 : m_device->Read(bytes, whole * sizeof(T));
    if (gotBytes != whole * sizeof(T)) {
        m_device->failed = true;
        Fail(kStatusError);
    }
    const size_t got = gotBytes / sizeof(T);
    if constexpr (std::endian::native == std::endian::big) {
        for (size_t i = 0; i < got * sizeof(T); i += sizeof(T))
            std::reverse(bytes + i, bytes + i + sizeof(T));
    }
    if (got != out.size()) {
        std::memset(bytes + got * sizeof(T), 0, (out.size() - got) * sizeof(T));
        Fail(kStatusShortRead);
    }
    return got == out.size() && Status() == kStatusGood;
}

bool SWchunkstream::ReadU16s(std::span<uint16_t> out)
{
    return ReadLeArray(out);
}

bool SWchunkstream::ReadU32s(std::span<uint32_t> out)
{
    return ReadLeArray(out);
}

bool SWchunkstream::ReadF32s(std::span<float> out)
{
    return ReadLeArray(out);
}

uint8_t SWchunkstream::ReadU8()
{
    uint8_t value = 0;
    ReadU8(value);
    return value;
}

bool SWchunkstream::ReadU8(uint8_t& out)
{
    return ReadLe(out);
}

bool SWchunkstream::ReadBool()
{
    bool value = false;
    ReadBool(value);
    return value;
}

bool SWchunkstream::ReadBool(bool& out)
{
    uint8_t byte = 0;
    const bool read = ReadLe(byte);
    out = byte == 1; // any other stored byte reads as false
    return read;
}

uint16_t SWchunkstream::ReadU16()
{
    uint16_t value = 0;
    ReadU16(value);
    return value;
}

bool SWchunkstream::ReadU16(uint16_t& out)
{
    return ReadLe(out);
}

uint32_t SWchunkstream::ReadU32()
{
    uint32_t value = 0;
    ReadU32(value);
    return value;
}

bool SWchunkstream::ReadU32(uint32_t& out)
{
    return ReadLe(out);
}

int32_t SWchunkstream::ReadI32()
{
    return static_cast<int32_t>(ReadU32());
}

bool SWchunkstream::ReadI32(int32_t& out)
{
    uint32_t bits = 0;
    const bool read = ReadLe(bits);
    out = static_cast<int32_t>(bits);
    return read;
}

uint64_t SWchunkstream::ReadU64()
{
    uint64_t value = 0;
    ReadU64(value);
    return value;
}

bool SWchunkstream::ReadU64(uint64_t& out)
{
    return ReadLe(out);
}

float SWchunkstream::ReadF32()
{
    float value = 0.0f;
    ReadF32(value);
    return value;
}

bool SWchunkstream::ReadF32(float& out)
{
    uint32_t bits = 0;
    const bool read = ReadLe(bits);
    out = std::bit_cast<float>(bits);
    return read;
}

double SWchunkstream::ReadF64()
{
    double value = 0.0;
    ReadF64(value);
    return value;
}

bool SWchunkstream::ReadF64(double& out)
{
    uint64_t bits = 0;
    const bool read = ReadLe(bits);
    out = std::bit_cast<double>(bits);
    return read;
}

std::optional<std::string> SWchunkstream::ReadString()
{
    std::optional<std::string> text;
    ReadString(text);
    return text;
}

bool SWchunkstream::ReadString(std::optional<std::string>& out)
{
    out.reset();
    uint32_t length = 0;
    if (!ReadU32(length))
        return false;
    if (length == 0)
        return true;
    if (length > Remaining()) {
        Fail(kStatusShortRead); // the record cannot hold it: damaged, not huge
        return false;
    }
    try {
        std::string text(length, '\0');
        if (ReadBytes(text.data(), length) != length)
            return false;
        out = std::move(text);
    } catch (const std::bad_alloc&) {
        Fail(kStatusError);
        return false;
    }
    return true;
}

bool SWchunkstream::ReadString(std::string& out)
{
    std::optional<std::string> text;
    const bool read = ReadString(text);
    out = text.value_or(std::string());
    return read;
}

size_t SWchunkstream::ReadBytes(void* out, size_t count)
{
    if (count == 0)
        return 0;
    auto* const bytes = static_cast<uint8_t*>(out);
    if (bytes == nullptr) {
        assert(false && "ReadBytes needs somewhere to put the bytes");
        Fail(kStatusError);
        return 0;
    }
    const size_t wanted = CanRead() ? static_cast<size_t>(std::min<uint64_t>(count, Remaining())) : 0;
    const size_t got = wanted == 0 ? 0 : m_device->Read(bytes, wanted);
    if (got != wanted) {
        m_device->failed = true;
        Fail(kStatusError);
    }
    std::memset(bytes + got, 0, count - got);
    if (got < count)
        Fail(kStatusShortRead);
    return got;
}

// -- Writers

template <typename T> bool SWchunkstream::WriteLe(T value)
{
    static_assert(std::is_unsigned_v<T>);
    uint8_t bytes[sizeof(T)];
    for (size_t i = 0; i < sizeof(T); ++i)
        bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    return WriteBytes(bytes, sizeof bytes);
}

template <typename T> bool SWchunkstream::WriteLeArray(std::span<const T> values)
{
    static_assert(sizeof(T) == 2 || sizeof(T) == 4);
    if constexpr (std::endian::native == std::endian::little) {
        return WriteBytes(values.data(), values.size_bytes());
    } else {
        using Bits = std::conditional_t<sizeof(T) == 2, uint16_t, uint32_t>;
        for (const T value : values)
            if (!WriteLe(std::bit_cast<Bits>(value)))
                return false;
        return CanWrite();
    }
}

bool SWchunkstream::WriteU16s(std::span<const uint16_t> values)
{
    return WriteLeArray(values);
}

bool SWchunkstream::WriteU32s(std::span<const uint32_t> values)
{
    return WriteLeArray(values);
}

bool SWchunkstream::WriteF32s(std::span<const float> values)
{
    return WriteLeArray(values);
}

bool SWchunkstream::WriteU8(uint8_t value)
{
    return WriteLe(value);
}

bool SWchunkstream::WriteChar(char value)
{
    return WriteLe(static_cast<uint8_t>(value));
}

bool SWchunkstream::WriteBool(bool value)
{
    return WriteLe(static_cast<uint8_t>(value ? 1 : 0));
}

bool SWchunkstream::WriteU16(uint16_t value)
{
    return WriteLe(value);
}

bool SWchunkstream::WriteU32(uint32_t value)
{
    return WriteLe(value);
}

bool SWchunkstream::WriteI32(int32_t value)
{
    return WriteLe(static_cast<uint32_t>(value));
}

bool SWchunkstream::WriteU64(uint64_t value)
{
    return WriteLe(value);
}

bool SWchunkstream::WriteF32(float value)
{
    return WriteLe(std::bit_cast<uint32_t>(value));
}

bool SWchunkstream::WriteF64(double value)
{
    return WriteLe(std::bit_cast<uint64_t>(value));
}

bool SWchunkstream::WriteBuffer(SWbuffer& bytes)
{
    if (!CanWrite()) {
        bytes.Clear();
        return false;
    }
    if (!m_device->WriteBuffer(bytes)) {
        m_device->failed = true;
        Fail(kStatusError);
        return false;
    }
    return true;
}

bool SWchunkstream::WriteString(const char* text)
{
    return WriteString(text == nullptr ? std::string_view() : std::string_view(text));
}

bool SWchunkstream::WriteString(std::string_view text)
{
    if (text.size() > UINT32_MAX) {
        Fail(kStatusError); // its length cannot be stored
        return false;
    }
    return WriteU32(static_cast<uint32_t>(text.size())) && WriteBytes(text.data(), text.size());
}

bool SWchunkstream::WriteString(const std::optional<std::string>& text)
{
    return text ? WriteString(std::string_view(*text)) : WriteString(std::string_view());
}

bool SWchunkstream::WriteBytes(const void* data, size_t count)
{
    if (!CanWrite())
        return false;
    if (count == 0)
        return true;
    if (data == nullptr) {
        assert(false && "WriteBytes needs bytes to write");
        Fail(kStatusError);
        return false;
    }
    if (!m_device->Write(static_cast<const uint8_t*>(data), count)) {
        m_device->failed = true;
        Fail(kStatusError);
        return false;
    }
    return true;
}
