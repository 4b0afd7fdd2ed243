// The Java class reader: a class made byte by byte, its method list, and every way a damaged file is refused.
#include "designer/app/java_class_reader.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

// A small class file: public class demo/Greeter extends java/lang/Object, one field, a constructor, a static
// initialiser and two methods, a long constant (two pool slots) and attributes on a method and on the class.
class ClassBytes {
public:
    std::vector<uint8_t> bytes;
    void U8(uint8_t v) { bytes.push_back(v); }
    void U16(uint16_t v)
    {
        U8(static_cast<uint8_t>(v >> 8));
        U8(static_cast<uint8_t>(v));
    }
    void U32(uint32_t v)
    {
        U16(static_cast<uint16_t>(v >> 16));
        U16(static_cast<uint16_t>(v));
    }
    void Utf8(const std::string& text)
    {
        U8(1);
        U16(static_cast<uint16_t>(text.size()));
        bytes.insert(bytes.end(), text.begin(), text.end());
    }
};

// Pool: 1 "demo/Greeter", 2 class 1, 3 "java/lang/Object", 4 class 3, 5 "<init>", 6 "()V", 7 "greet",
// 8 "(Ljava/lang/String;)V", 9 "count", 10 "I", 11 "<clinit>", 12 "Code", 13 long (and 14), 15 "size", 16 "()I".
ClassBytes MakeClass()
{
    ClassBytes c;
    c.U32(0xCAFEBABE);
    c.U16(0);  // minor
    c.U16(52); // major
    c.U16(17); // pool count: 16 entries, the long taking two
    c.Utf8("demo/Greeter");
    c.U8(7), c.U16(1);
    c.Utf8("java/lang/Object");
    c.U8(7), c.U16(3);
    c.Utf8("<init>");
    c.Utf8("()V");
    c.Utf8("greet");
    c.Utf8("(Ljava/lang/String;)V");
    c.Utf8("count");
    c.Utf8("I");
    c.Utf8("<clinit>");
    c.Utf8("Code");
    c.U8(5), c.U32(0), c.U32(42); // a long: slots 13 and 14
    c.Utf8("size");
    c.Utf8("()I");
    c.U16(0x0021); // public super
    c.U16(2);      // this
    c.U16(4);      // super
    c.U16(0);      // interfaces
    c.U16(1);      // fields
    c.U16(0x0002), c.U16(9), c.U16(10), c.U16(0);
    c.U16(4); // methods
    for (const auto& [name, descriptor] :
         std::vector<std::pair<uint16_t, uint16_t>>{{5, 6}, {11, 6}, {7, 8}, {15, 16}}) {
        c.U16(0x0001), c.U16(name), c.U16(descriptor);
        c.U16(1); // one attribute: Code, three bytes
        c.U16(12), c.U32(3), c.U8(0xB1), c.U8(0), c.U8(0);
    }
    c.U16(1); // class attribute
    c.U16(12), c.U32(2), c.U8(1), c.U8(2);
    return c;
}

TEST(JavaClassReader, ListsMethodsWithoutConstructorsAndInitialisers)
{
    const ClassBytes c = MakeClass();
    CVTND_JavaClass parsed;
    std::string reason;
    ASSERT_TRUE(CVTND_JavaClassReader::Read(c.bytes, parsed, reason)) << reason;
    EXPECT_EQ(parsed.className, "demo/Greeter");
    EXPECT_EQ(parsed.superName, "java/lang/Object");
    EXPECT_EQ(parsed.majorVersion, 52);
    EXPECT_EQ(parsed.fieldCount, 1u);
    ASSERT_EQ(parsed.methods.size(), 2u);
    EXPECT_EQ(parsed.methods[0].name, "greet");
    EXPECT_EQ(parsed.methods[0].descriptor, "(Ljava/lang/String;)V");
    EXPECT_EQ(parsed.methods[1].name, "size");
}

TEST(JavaClassReader, EveryTruncationIsRefusedWithNothingLeft)
{
    const ClassBytes c = MakeClass();
    for (size_t length = 0; length < c.bytes.size(); ++length) {
        CVTND_JavaClass parsed;
        parsed.className = "stale";
        std::string reason;
        ASSERT_FALSE(CVTND_JavaClassReader::Read(std::span(c.bytes.data(), length), parsed, reason)) << length;
        EXPECT_TRUE(parsed.className.empty() && parsed.methods.empty());
        EXPECT_FALSE(reason.empty());
    }
}

TEST(JavaClassReader, DamagedCountsAndIndicesAreRefused)
{
    struct Damage {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> apply;
    };
    const std::vector<Damage> damages = {
        {"magic", [](auto& b) { b[0] = 0xCB; }},
        {"pool count 0", [](auto& b) { b[8] = 0, b[9] = 0; }},
        {"pool count huge", [](auto& b) { b[8] = 0xFF, b[9] = 0xFF; }},
        {"unknown tag", [](auto& b) { b[10] = 2; }},
        {"text not modified UTF-8", [](auto& b) { b[13] = 0xFF; }},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.what);
        std::vector<uint8_t> bytes = MakeClass().bytes;
        damage.apply(bytes);
        CVTND_JavaClass parsed;
        std::string reason;
        EXPECT_FALSE(CVTND_JavaClassReader::Read(bytes, parsed, reason));
    }
    // A class index that names a text instead of a class, a method count beyond the bytes, an attribute too long.
    ClassBytes c = MakeClass();
    // From the end: the class attributes (10 bytes), the methods (2 + 4 x 17), the field (2 + 8), the interface
    // count, the super class and this class.
    const size_t thisAt = c.bytes.size() - (10 + 70 + 10 + 2 + 2 + 2);
    ASSERT_EQ(c.bytes[thisAt + 1], 2);
    for (const auto& [offset, value] : std::vector<std::pair<size_t, uint8_t>>{{1, 1}, {1, 99}, {7, 0xFF}}) {
        std::vector<uint8_t> bytes = c.bytes;
        bytes[thisAt + offset] = value;
        CVTND_JavaClass parsed;
        std::string reason;
        EXPECT_FALSE(CVTND_JavaClassReader::Read(bytes, parsed, reason)) << offset << " " << int(value);
    }
}

TEST(JavaClassReader, ModifiedUtf8DecodesZeroAndSurrogatePairs)
{
    std::string out;
    const std::vector<uint8_t> zero = {'a', 0xC0, 0x80, 'b'};
    ASSERT_TRUE(CVTND_JavaClassReader::DecodeModifiedUtf8(zero, out));
    EXPECT_EQ(out, std::string("a\0b", 3));
    // U+1F600 as the two surrogates D83D DE00, each in three bytes.
    const std::vector<uint8_t> pair = {0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80};
    ASSERT_TRUE(CVTND_JavaClassReader::DecodeModifiedUtf8(pair, out));
    EXPECT_EQ(out, "\xF0\x9F\x98\x80");
    EXPECT_FALSE(CVTND_JavaClassReader::DecodeModifiedUtf8(std::vector<uint8_t>{'a', 0}, out)) << "a raw zero";
    EXPECT_FALSE(CVTND_JavaClassReader::DecodeModifiedUtf8(std::vector<uint8_t>{0xF0, 0x9F, 0x98, 0x80}, out));
    EXPECT_TRUE(out.empty());
}

// The fetched corpus (scripts/fetch-test-data.d/java.sh): every class of a public library lists without error, and
// a few known classes list the methods they declare (counted apart from this reader).
std::filesystem::path JavaCorpusFolder()
{
    if (const char* data = std::getenv("VORTAN_TEST_DATA"))
        return std::filesystem::path(data) / "java";
    if (const char* cache = std::getenv("XDG_CACHE_HOME"))
        return std::filesystem::path(cache) / "vortan-test-data/java";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home != nullptr ? home : "/nonexistent") / ".cache/vortan-test-data/java";
}

TEST(JavaClassCorpus, EveryClassOfALibraryListsAndKnownOnesCountRight)
{
    const std::filesystem::path folder = JavaCorpusFolder();
    if (!std::filesystem::exists(folder / ".complete")) {
        const char* ci = std::getenv("CI");
        if (ci != nullptr && std::string(ci) == "true")
            FAIL() << "the Java corpus is missing at " << folder << ": run scripts/fetch-test-data";
        GTEST_SKIP() << "the Java corpus is not fetched (scripts/fetch-test-data)";
    }
    size_t classes = 0;
    std::map<std::string, size_t> counts;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.path().extension() != ".class")
            continue;
        CVTND_JavaClass parsed;
        std::string reason;
        ASSERT_TRUE(CVTND_JavaClassReader::ReadFile(entry.path().string(), parsed, reason)) << reason;
        ++classes;
        counts[parsed.className] = parsed.methods.size();
    }
    EXPECT_GT(classes, 300u);
    EXPECT_EQ(counts["org/apache/commons/lang3/StringUtils"], 248u);
    EXPECT_EQ(counts["org/apache/commons/lang3/ArrayUtils"], 360u);
    EXPECT_EQ(counts["org/apache/commons/lang3/BooleanUtils"], 42u);
    EXPECT_EQ(counts["org/apache/commons/lang3/CharUtils"], 23u);
}

} // namespace
