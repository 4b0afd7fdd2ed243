#include "designer/app/java_class_reader.h"

#include <array>
#include <memory>
#include <new>
#include <optional>

#include "platform/base/endian.h"
#include "platform/base/input_file.h"

namespace {

// Constant pool tags.
enum : uint8_t {
    kUtf8 = 1,
    kInteger = 3,
    kFloat = 4,
    kLong = 5,
    kDouble = 6,
    kClass = 7,
    kString = 8,
    kFieldref = 9,
    kMethodref = 10,
    kInterfaceMethodref = 11,
    kNameAndType = 12,
    kMethodHandle = 15,
    kMethodType = 16,
    kDynamic = 17,
    kInvokeDynamic = 18,
    kModule = 19,
    kPackage = 20,
};

// Bounded big-endian reads: past the end reads zero and marks the cursor, which the caller checks.
class Cursor {
public:
    explicit Cursor(std::span<const uint8_t> bytes) : m_bytes(bytes) {}
    size_t Remaining() const { return m_bytes.size() - m_at; }
    bool Failed() const { return m_failed; }
    uint8_t U8() { return Take(1) ? m_bytes[m_at - 1] : 0; }
    uint16_t U16() { return Take(2) ? pf::loadU16be(&m_bytes[m_at - 2]) : 0; }
    uint32_t U32() { return Take(4) ? pf::loadU32be(&m_bytes[m_at - 4]) : 0; }
    std::span<const uint8_t> Bytes(size_t count)
    {
        return Take(count) ? m_bytes.subspan(m_at - count, count) : std::span<const uint8_t>();
    }
    bool Skip(size_t count) { return Take(count); }

private:
    bool Take(size_t count)
    {
        if (m_failed || count > Remaining()) {
            m_failed = true;
            return false;
        }
        m_at += count;
        return true;
    }
    std::span<const uint8_t> m_bytes;
    size_t m_at = 0;
    bool m_failed = false;
};

struct Constant {
    uint8_t tag = 0; // 0: the unusable slot after a long or a double, or slot 0
    uint16_t first = 0;
    std::string text; // a Utf8 entry's, decoded
};

class ClassParser {
public:
    explicit ClassParser(std::span<const uint8_t> bytes) : m_in(bytes) {}

    bool Parse(CVTND_JavaClass& out, std::string& reason)
    {
        if (m_in.U32() != 0xCAFEBABEu)
            return Fail(reason, m_in.Failed() ? "the file is too short for a class file" : "not a class file");
        out.minorVersion = m_in.U16();
        out.majorVersion = m_in.U16();
        if (!ReadPool(reason))
            return false;
        out.accessFlags = m_in.U16();
        const uint16_t thisClass = m_in.U16();
        const uint16_t superClass = m_in.U16();
        const std::optional<std::string> name = ClassName(thisClass);
        if (!name)
            return Fail(reason, "the class names no class of its constant pool");
        out.className = *name;
        if (superClass != 0) {
            const std::optional<std::string> super = ClassName(superClass);
            if (!super)
                return Fail(reason, "the super class names no class of its constant pool");
            out.superName = *super;
        }
        const uint16_t interfaceCount = m_in.U16();
        if (interfaceCount > m_in.Remaining() / 2)
            return Fail(reason, "the interface count reaches past the end of the file");
        for (uint16_t i = 0; i < interfaceCount; ++i) {
            const std::optional<std::string> interface = ClassName(m_in.U16());
            if (!interface)
                return Fail(reason, "an interface names no class of its constant pool");
            out.interfaces.push_back(*interface);
        }
        uint16_t fieldCount = 0;
        if (!ReadMembers(nullptr, fieldCount, reason))
            return false;
        out.fieldCount = fieldCount;
        uint16_t methodCount = 0;
        if (!ReadMembers(&out.methods, methodCount, reason) || !SkipAttributes(reason))
            return false;
        if (m_in.Failed())
            return Fail(reason, "the file ends inside the class");
        return true;
    }

private:
    static bool Fail(std::string& reason, const char* why)
    {
        reason = why;
        return false;
    }

    bool ReadPool(std::string& reason)
    {
        const uint16_t count = m_in.U16();
        if (count == 0)
            return Fail(reason, "the constant pool count is zero");
        // Every entry takes at least three bytes: a count beyond that is damage, not a huge class.
        if (count - 1u > m_in.Remaining() / 3)
            return Fail(reason, "the constant pool count reaches past the end of the file");
        m_pool.assign(count, Constant());
        for (uint32_t i = 1; i < count; ++i) {
            Constant& c = m_pool[i];
            c.tag = m_in.U8();
            switch (c.tag) {
            case kUtf8: {
                const uint16_t length = m_in.U16();
                const std::span<const uint8_t> bytes = m_in.Bytes(length);
                if (m_in.Failed())
                    return Fail(reason, "a text of the constant pool reaches past the end of the file");
                if (!CVTND_JavaClassReader::DecodeModifiedUtf8(bytes, c.text))
                    return Fail(reason, "a text of the constant pool is not modified UTF-8");
                break;
            }
            case kInteger:
            case kFloat:
            case kFieldref:
            case kMethodref:
            case kInterfaceMethodref:
            case kNameAndType:
            case kDynamic:
            case kInvokeDynamic:
                m_in.Skip(4);
                break;
            case kLong:
            case kDouble:
                m_in.Skip(8);
                if (++i >= count) // the eight bytes take two slots, and the second must exist
                    return Fail(reason, "a long or double constant takes the pool's last slot");
                break;
            case kClass:
            case kString:
            case kMethodType:
            case kModule:
            case kPackage:
                c.first = m_in.U16();
                break;
            case kMethodHandle:
                m_in.Skip(3);
                break;
            default:
                return Fail(reason, "the constant pool holds an unknown tag");
            }
            if (m_in.Failed())
                return Fail(reason, "the constant pool reaches past the end of the file");
        }
        return true;
    }

    const std::string* Utf8(uint16_t index) const
    {
        return index < m_pool.size() && m_pool[index].tag == kUtf8 ? &m_pool[index].text : nullptr;
    }

    std::optional<std::string> ClassName(uint16_t index) const
    {
        if (index == 0 || index >= m_pool.size() || m_pool[index].tag != kClass)
            return std::nullopt;
        const std::string* name = Utf8(m_pool[index].first);
        return name != nullptr ? std::optional<std::string>(*name) : std::nullopt;
    }

    bool SkipAttributes(std::string& reason)
    {
        const uint16_t count = m_in.U16();
        if (count > m_in.Remaining() / 6)
            return Fail(reason, "an attribute count reaches past the end of the file");
        for (uint16_t i = 0; i < count; ++i) {
            if (Utf8(m_in.U16()) == nullptr && !m_in.Failed())
                return Fail(reason, "an attribute's name is not a text of the constant pool");
            const uint32_t length = m_in.U32();
            if (m_in.Failed() || !m_in.Skip(length))
                return Fail(reason, "an attribute reaches past the end of the file");
        }
        return true;
    }

    // Fields (methods null) or methods: access, name, descriptor and attributes each.
    bool ReadMembers(std::vector<CVTND_JavaClassMethod>* methods, uint16_t& count, std::string& reason)
    {
        count = m_in.U16();
        if (count > m_in.Remaining() / 8)
            return Fail(reason, "a field or method count reaches past the end of the file");
        for (uint16_t i = 0; i < count; ++i) {
            const uint16_t access = m_in.U16();
            const std::string* name = Utf8(m_in.U16());
            const std::string* descriptor = Utf8(m_in.U16());
            if (m_in.Failed())
                return Fail(reason, "the file ends inside a field or method");
            if (name == nullptr || descriptor == nullptr)
                return Fail(reason, "a field or method names no text of the constant pool");
            if (!SkipAttributes(reason))
                return false;
            if (methods != nullptr && *name != "<init>" && *name != "<clinit>")
                methods->push_back({*name, *descriptor, access});
        }
        return true;
    }

    Cursor m_in;
    std::vector<Constant> m_pool;
};

void AppendUtf8(uint32_t code, std::string& out)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

} // namespace

bool CVTND_JavaClassReader::DecodeModifiedUtf8(std::span<const uint8_t> bytes, std::string& out)
{
    out.clear();
    std::vector<uint32_t> units; // UTF-16 code units, paired afterwards
    for (size_t i = 0; i < bytes.size();) {
        const uint8_t b = bytes[i];
        if (b != 0 && b < 0x80) {
            units.push_back(b);
            i += 1;
        } else if ((b & 0xE0) == 0xC0 && i + 1 < bytes.size() && (bytes[i + 1] & 0xC0) == 0x80) {
            units.push_back(((b & 0x1Fu) << 6) | (bytes[i + 1] & 0x3Fu));
            i += 2;
        } else if ((b & 0xF0) == 0xE0 && i + 2 < bytes.size() && (bytes[i + 1] & 0xC0) == 0x80 &&
                   (bytes[i + 2] & 0xC0) == 0x80) {
            units.push_back(((b & 0x0Fu) << 12) | ((bytes[i + 1] & 0x3Fu) << 6) | (bytes[i + 2] & 0x3Fu));
            i += 3;
        } else {
            out.clear();
            return false; // a raw zero, a four-byte form or a broken sequence: not modified UTF-8
        }
    }
    for (size_t i = 0; i < units.size(); ++i) {
        const uint32_t u = units[i];
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
            AppendUtf8(0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00), out);
            ++i;
        } else if (u >= 0xD800 && u < 0xE000) {
            AppendUtf8(0xFFFD, out); // a lone surrogate names no character; the name stays readable
        } else {
            AppendUtf8(u, out);
        }
    }
    return true;
}

bool CVTND_JavaClassReader::Read(std::span<const uint8_t> bytes, CVTND_JavaClass& outClass, std::string& outReason)
{
    outClass = {};
    outReason.clear();
    try {
        ClassParser parser(bytes);
        if (parser.Parse(outClass, outReason))
            return true;
    } catch (const std::bad_alloc&) {
        outReason = "out of memory";
    }
    outClass = {};
    return false;
}

bool CVTND_JavaClassReader::ReadFile(const std::string& path, CVTND_JavaClass& outClass, std::string& outReason)
{
    outClass = {};
    // Only a file that begins as a class file is read whole: any other file a path names (a person's letters, a
    // process's environment) is left unread.
    pf::InputFileResult result;
    const std::unique_ptr<pf::InputFile> input = pf::InputFile::open(path, result, kMaxClassBytes);
    if (input == nullptr) {
        outReason = result.message;
        return false;
    }
    std::array<uint8_t, 4> signature{};
    if (input->readAt(0, signature, result) != 4 || signature != std::array<uint8_t, 4>{0xCA, 0xFE, 0xBA, 0xBE}) {
        outReason = path + ": not a class file (it does not begin with the class-file signature)";
        return false;
    }
    std::vector<uint8_t> bytes;
    result = pf::readWholeFile(path, bytes, kMaxClassBytes);
    if (!result.ok()) {
        outReason = result.message;
        return false;
    }
    if (!Read(bytes, outClass, outReason)) {
        outReason = path + ": " + outReason;
        return false;
    }
    return true;
}
