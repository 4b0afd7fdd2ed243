#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/settings/settings_file.h"

namespace pf {
namespace {

SettingValue Dword(std::string name, uint32_t v)
{
    return {std::move(name), SettingType::kDword, v, {}, {}};
}
SettingValue Text(std::string name, std::string v)
{
    return {std::move(name), SettingType::kString, 0, std::move(v), {}};
}
SettingValue Bytes(std::string name, std::vector<uint8_t> v)
{
    return {std::move(name), SettingType::kBinary, 0, {}, std::move(v)};
}

SettingsTree SampleTree()
{
    SettingsTree tree;
    tree.keys.push_back({"Software\\Brenix\\Vortan\\Editor",
                         {Dword("10", 10), Dword("max", 0xFFFFFFFF), Dword("zero", 0), Text("empty", ""),
                          Text("Name", "A \"quoted\" \\ path\nwith\ttabs\r and \x01 control \x7f bytes"),
                          Text("utf8", "\xE4\xB8\xAD\xE6\x96\x87"), Text("", "the unnamed value")}});
    tree.keys.push_back({"Software\\Brenix\\Vortan\\Viewer",
                         {Bytes("flag", {1}), Bytes("colour", {0xFF, 0x00, 0xAA}), Bytes("none", {}),
                          Dword("na\"me\\ with\nescapes", 7)}});
    tree.keys.push_back({"Software\\Brenix\\Vortan\\Empty key [with] brackets", {}});
    tree.keys.push_back({"", {Text("root", "value")}});
    return tree;
}

TEST(SettingsFileRoundTrip, EveryTypeNameAndEscapeSurvives)
{
    const SettingsTree tree = SampleTree();
    const std::string text = formatSettingsFile(tree);
    const SettingsParse parsed = parseSettingsFile(text);
    EXPECT_TRUE(parsed.warnings.empty()) << parsed.warnings.front();
    EXPECT_EQ(parsed.tree, tree);
    EXPECT_EQ(formatSettingsFile(parsed.tree), text);
}

TEST(SettingsFileFormat, WritesTheDocumentedSyntax)
{
    SettingsTree tree;
    tree.keys.push_back(
        {"Software\\Brenix\\Vortan\\Viewer", {Dword("MMX", 1), Bytes("c", {0xFF, 0, 0xAA}), Text("n", "a\"b")}});
    EXPECT_EQ(formatSettingsFile(tree), "[Software\\Brenix\\Vortan\\Viewer]\n"
                                        "\"MMX\"=dword:00000001\n"
                                        "\"c\"=hex:ff,00,aa\n"
                                        "\"n\"=\"a\\\"b\"\n");
}

TEST(SettingsFileParse, RepeatedKeysAndValuesMergeAndKeepTheFirstSpelling)
{
    const SettingsParse parsed = parseSettingsFile("[Software\\App]\n\"Value\"=dword:00000001\n"
                                                   "[SOFTWARE\\app]\n\"VALUE\"=dword:00000002\n\"other\"=\"x\"\r\n"
                                                   "; a comment\n\n[\\Software\\App\\]\n\"Other\"=\"y\"\n");
    EXPECT_TRUE(parsed.warnings.empty());
    ASSERT_EQ(parsed.tree.keys.size(), 1u);
    EXPECT_EQ(parsed.tree.keys[0].path, "Software\\App");
    EXPECT_EQ(parsed.tree.keys[0].values, (std::vector<SettingValue>{Dword("Value", 2), Text("other", "y")}));
}

TEST(SettingsFileParse, AValueNameIsLookedUpWithinItsOwnKeyOnly)
{
    const SettingsParse parsed = parseSettingsFile("[A]\n\"v\"=dword:00000001\n[B]\n\"V\"=dword:00000002\n"
                                                   "[a]\n\"V\"=dword:00000003\n[AB]\n\"v\"=dword:00000004\n");
    EXPECT_TRUE(parsed.warnings.empty());
    ASSERT_EQ(parsed.tree.keys.size(), 3u);
    EXPECT_EQ(parsed.tree.keys[0].values, (std::vector<SettingValue>{Dword("v", 3)}));
    EXPECT_EQ(parsed.tree.keys[1].values, (std::vector<SettingValue>{Dword("V", 2)}));
    EXPECT_EQ(parsed.tree.keys[2].values, (std::vector<SettingValue>{Dword("v", 4)}));
}

// Keys and values come back, in any case, in a shuffled order; the parse must give what setting them one by one
// through the tree's own look-ups gives.
TEST(SettingsFileParse, ManyRepeatedKeysAndValuesMergeAsOneByOneSetting)
{
    uint32_t state = 12345;
    const auto next = [&state](uint32_t bound) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state % bound;
    };
    const auto spell = [&next](std::string name) {
        for (char& c : name)
            if (next(2) == 0)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return name;
    };
    SettingsTree expected;
    std::string text;
    for (uint32_t line = 0; line < 3000; ++line) {
        const std::string keyPath = spell("key\\k" + std::to_string(next(300)));
        text += "[" + keyPath + "]\n";
        SettingKey& key = expected.makeKey(keyPath);
        for (uint32_t n = next(4); n > 0; --n) {
            SettingValue value = Dword(spell("val" + std::to_string(next(40))), line * 4 + n);
            char digits[9];
            std::snprintf(digits, sizeof digits, "%08x", value.dword);
            text += "\"" + value.name + "\"=dword:" + digits + "\n";
            if (SettingValue* const known = key.findValue(value.name)) {
                value.name = known->name;
                *known = value;
            } else {
                key.values.push_back(value);
            }
        }
    }
    const SettingsParse parsed = parseSettingsFile(text);
    EXPECT_TRUE(parsed.warnings.empty());
    EXPECT_EQ(parsed.tree, expected);
}

// Each damaged line sits between two good values; the good ones are kept and the bad one is named by its line.
TEST(SettingsFileDamaged, BadLinesAreSkippedAndReported)
{
    const char* const damaged[] = {
        "garbage line",
        "[unclosed",
        "[A\\\\B]", // an empty key component
        "\"x\"=dword:zz",
        "\"x\"=dword:0000000", // seven digits: a cut line
        "\"x\"=dword:000000001",
        "\"x\"=dword:",
        "\"x\"=hex:1",
        "\"x\"=hex:ff,",
        "\"x\"=hex:ff;00",
        "\"x\"=\"unterminated",
        "\"x\"=\"text\"trailing",
        "\"x\"=\"bad \\q escape\"",
        "\"x\"=\"short \\x4\"",
        "\"x\"=\"ends in a backslash\\",
        "\"x\"=wat",
        "\"x\"",
        "\"unclosed name=dword:00000001",
        "\"x\"dword:00000001",
    };
    for (const char* line : damaged) {
        SCOPED_TRACE(line);
        const std::string text =
            std::string("[K]\n\"before\"=dword:00000001\n") + line + "\n\"after\"=dword:00000002\n";
        const SettingsParse parsed = parseSettingsFile(text);
        const bool keyLine = line[0] == '[';
        ASSERT_EQ(parsed.warnings.size(), keyLine ? 2u : 1u); // after a bad key line, "after" has no key
        EXPECT_EQ(parsed.warnings[0].rfind("line 3: ", 0), 0u) << parsed.warnings[0];
        ASSERT_FALSE(parsed.tree.keys.empty());
        const SettingKey& key = parsed.tree.keys[0];
        EXPECT_EQ(key.findValue("before")->dword, 1u);
        EXPECT_EQ(key.findValue("x"), nullptr);
        EXPECT_EQ(key.findValue("after") != nullptr, !keyLine);
    }
}

TEST(SettingsFileDamaged, ValuesAfterABadKeyLineDoNotJoinTheKeyBefore)
{
    const SettingsParse parsed = parseSettingsFile("[Good]\n\"a\"=dword:00000001\n[Bad\n\"b\"=dword:00000002\n");
    EXPECT_EQ(parsed.warnings.size(), 2u); // the key line and the orphaned value
    ASSERT_EQ(parsed.tree.keys.size(), 1u);
    EXPECT_EQ(parsed.tree.keys[0].values.size(), 1u);
}

TEST(SettingsFileDamaged, ACutAnywhereKeepsEveryCompleteLine)
{
    const std::string text = formatSettingsFile(SampleTree());
    const SettingsParse whole = parseSettingsFile(text);
    for (size_t cut = 0; cut <= text.size(); ++cut) {
        const SettingsParse parsed = parseSettingsFile(text.substr(0, cut));
        // Every value whose line ended before the cut is there and unchanged.
        size_t lineEnd = 0;
        for (const SettingKey& key : whole.tree.keys) {
            lineEnd = text.find('\n', lineEnd) + 1; // the key line
            for (const SettingValue& value : key.values) {
                lineEnd = text.find('\n', lineEnd) + 1;
                if (lineEnd > cut)
                    break;
                const SettingKey* const got = parsed.tree.findKey(key.path);
                ASSERT_NE(got, nullptr) << "cut at " << cut;
                ASSERT_NE(got->findValue(value.name), nullptr) << "cut at " << cut;
                EXPECT_EQ(*got->findValue(value.name), value) << "cut at " << cut;
            }
            if (lineEnd > cut)
                break;
            lineEnd = text.find('\n', lineEnd) + 1; // the blank line between keys
        }
    }
}

TEST(SettingsFileDamaged, WarningsAreCappedWithACountOfTheRest)
{
    std::string text;
    for (int i = 0; i < 1000; ++i)
        text += "garbage\n";
    const SettingsParse parsed = parseSettingsFile(text);
    ASSERT_EQ(parsed.warnings.size(), kMaxSettingsWarnings + 1);
    EXPECT_EQ(parsed.warnings.back(), "and 900 more lines skipped");
}

TEST(SettingsKeyPath, OuterBackslashesGoEmptyComponentsAndLineBreaksAreRefused)
{
    std::string out;
    EXPECT_TRUE(normaliseKeyPath("\\Software\\A\\", out));
    EXPECT_EQ(out, "Software\\A");
    EXPECT_TRUE(normaliseKeyPath("", out));
    EXPECT_EQ(out, "");
    EXPECT_FALSE(normaliseKeyPath("A\\\\B", out));
    EXPECT_FALSE(normaliseKeyPath("A\nB", out));
    EXPECT_FALSE(normaliseKeyPath("A\rB", out));
}

} // namespace
} // namespace pf
