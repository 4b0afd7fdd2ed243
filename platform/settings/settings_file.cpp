#include "platform/settings/settings_file.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>

namespace pf {

namespace {

char FoldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string_view TrimRight(std::string_view s)
{
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// A quoted string at the start of `in`; on success `in` is left just after the closing quote.
std::optional<std::string> ParseQuoted(std::string_view& in)
{
    if (in.empty() || in.front() != '"')
        return std::nullopt;
    std::string out;
    size_t i = 1;
    while (i < in.size() && in[i] != '"') {
        char c = in[i++];
        if (c == '\\') {
            if (i >= in.size())
                return std::nullopt;
            const char e = in[i++];
            switch (e) {
            case '\\':
                c = '\\';
                break;
            case '"':
                c = '"';
                break;
            case 'n':
                c = '\n';
                break;
            case 'r':
                c = '\r';
                break;
            case 't':
                c = '\t';
                break;
            case 'x': {
                if (in.size() - i < 2 || HexDigit(in[i]) < 0 || HexDigit(in[i + 1]) < 0)
                    return std::nullopt;
                c = static_cast<char>(HexDigit(in[i]) * 16 + HexDigit(in[i + 1]));
                i += 2;
                break;
            }
            default:
                return std::nullopt;
            }
        }
        out.push_back(c);
    }
    if (i >= in.size())
        return std::nullopt; // no closing quote: the line was cut
    in.remove_prefix(i + 1);
    return out;
}

bool ParseDword(std::string_view in, uint32_t& out)
{
    // Exactly eight digits, as written: a shorter run is more likely a cut line than a small number.
    if (in.size() != 8 || std::any_of(in.begin(), in.end(), [](char c) { return HexDigit(c) < 0; }))
        return false;
    return std::from_chars(in.data(), in.data() + in.size(), out, 16).ec == std::errc();
}

bool ParseHexBytes(std::string_view in, std::vector<uint8_t>& out)
{
    out.clear();
    if (in.empty())
        return true;
    out.reserve(in.size() / 3 + 1);
    for (;;) {
        if (in.size() < 2 || HexDigit(in[0]) < 0 || HexDigit(in[1]) < 0)
            return false;
        out.push_back(static_cast<uint8_t>(HexDigit(in[0]) * 16 + HexDigit(in[1])));
        in.remove_prefix(2);
        if (in.empty())
            return true;
        if (in.front() != ',')
            return false;
        in.remove_prefix(1);
    }
}

// `"name"=` and one of the three value forms; nullopt names the fault.
std::optional<SettingValue> ParseValueLine(std::string_view line, const char*& why)
{
    SettingValue value;
    auto name = ParseQuoted(line);
    if (!name) {
        why = "value name is not a closed quoted string";
        return std::nullopt;
    }
    value.name = std::move(*name);
    if (line.empty() || line.front() != '=') {
        why = "no '=' after the value name";
        return std::nullopt;
    }
    line.remove_prefix(1);
    if (line.substr(0, 6) == "dword:") {
        value.type = SettingType::kDword;
        if (ParseDword(line.substr(6), value.dword))
            return value;
        why = "dword is not eight hex digits";
    } else if (line.substr(0, 4) == "hex:") {
        value.type = SettingType::kBinary;
        if (ParseHexBytes(line.substr(4), value.bytes))
            return value;
        why = "hex is not a list of two-digit bytes";
    } else if (auto text = ParseQuoted(line)) {
        value.type = SettingType::kString;
        value.text = std::move(*text);
        if (line.empty())
            return value;
        why = "text after the closing quote";
    } else {
        why = "value is neither dword:, hex: nor a closed quoted string";
    }
    return std::nullopt;
}

void AppendQuoted(std::string& out, std::string_view s)
{
    static const char kHex[] = "0123456789abcdef";
    out.push_back('"');
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (u < 0x20 || u == 0x7F) {
                out += "\\x";
                out.push_back(kHex[u >> 4]);
                out.push_back(kHex[u & 15]);
            } else {
                out.push_back(c);
            }
        }
    }
    out.push_back('"');
}

void AppendValue(std::string& out, const SettingValue& value)
{
    static const char kHex[] = "0123456789abcdef";
    AppendQuoted(out, value.name);
    out.push_back('=');
    switch (value.type) {
    case SettingType::kDword: {
        out += "dword:";
        for (int shift = 28; shift >= 0; shift -= 4)
            out.push_back(kHex[(value.dword >> shift) & 15]);
        break;
    }
    case SettingType::kBinary:
        out += "hex:";
        for (size_t i = 0; i < value.bytes.size(); ++i) {
            if (i > 0)
                out.push_back(',');
            out.push_back(kHex[value.bytes[i] >> 4]);
            out.push_back(kHex[value.bytes[i] & 15]);
        }
        break;
    case SettingType::kString:
        AppendQuoted(out, value.text);
        break;
    }
    out.push_back('\n');
}

class WarningList {
public:
    explicit WarningList(std::vector<std::string>& out) : m_out(out) {}
    ~WarningList()
    {
        if (m_dropped > 0)
            m_out.push_back("and " + std::to_string(m_dropped) + " more lines skipped");
    }
    void add(size_t line, std::string_view why)
    {
        if (m_out.size() < kMaxSettingsWarnings)
            m_out.push_back("line " + std::to_string(line) + ": " + std::string(why));
        else
            ++m_dropped;
    }

private:
    std::vector<std::string>& m_out;
    size_t m_dropped = 0;
};

uint64_t FoldedHash(std::string_view name, uint64_t seed)
{
    uint64_t hash = 0xcbf29ce484222325u ^ seed; // FNV-1a over the folded bytes
    for (const char c : name)
        hash = (hash ^ static_cast<uint8_t>(FoldAscii(c))) * 0x100000001b3u;
    hash ^= hash >> 33; // FNV's low bits are weak, and the table masks by them
    hash *= 0xff51afd7ed558ccdu;
    return hash ^ (hash >> 33);
}

// An open-addressing table of positions in the tree. Names are compared where the tree holds them, so an entry
// costs no allocation and no copy of its name.
class PositionTable {
public:
    static constexpr uint32_t kFree = UINT32_MAX;
    struct Slot {
        uint64_t hash = 0;
        uint32_t key = kFree; // position in keys
        uint32_t value = 0;   // position in that key's values, for the value table
    };

    // The slot of the entry with this hash for which isSame holds; else the free slot where it belongs, which the
    // caller fills (or leaves free) before the next call.
    template <class IsSame> Slot& find(uint64_t hash, IsSame isSame)
    {
        if ((m_used + 1) * 2 > m_slots.size())
            grow();
        const size_t mask = m_slots.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            Slot& slot = m_slots[i];
            if (slot.key == kFree || (slot.hash == hash && isSame(slot)))
                return slot;
        }
    }
    void fill(Slot& slot, uint64_t hash, uint32_t key, uint32_t value)
    {
        slot = {hash, key, value};
        ++m_used;
    }

private:
    void grow()
    {
        std::vector<Slot> old(std::max<size_t>(64, m_slots.size() * 2));
        old.swap(m_slots);
        const size_t mask = m_slots.size() - 1;
        for (const Slot& slot : old) {
            if (slot.key == kFree)
                continue;
            size_t i = slot.hash & mask;
            while (m_slots[i].key != kFree)
                i = (i + 1) & mask;
            m_slots[i] = slot;
        }
    }

    std::vector<Slot> m_slots; // a power of two long, at most half full
    size_t m_used = 0;
};

// Finds a key, and a value within a key, by folded name in constant time while the tree is built, so that a file of
// many keys or of one key with many values parses in linear time.
class TreeIndex {
public:
    explicit TreeIndex(SettingsTree& tree) : m_tree(tree) {}

    size_t makeKey(std::string_view path) // the key's position in the tree, made when new
    {
        const uint64_t hash = FoldedHash(path, 0);
        PositionTable::Slot& slot = m_keys.find(
            hash, [&](const PositionTable::Slot& s) { return sameSettingName(m_tree.keys[s.key].path, path); });
        if (slot.key == PositionTable::kFree) {
            m_keys.fill(slot, hash, static_cast<uint32_t>(m_tree.keys.size()), 0);
            m_tree.keys.push_back({std::string(path), {}});
        }
        return slot.key;
    }

    // A repeated value replaces the earlier one and keeps its spelling.
    void setValue(size_t keyPosition, SettingValue value)
    {
        SettingKey& key = m_tree.keys[keyPosition];
        const uint64_t hash = FoldedHash(value.name, keyPosition + 1);
        PositionTable::Slot& slot = m_values.find(hash, [&](const PositionTable::Slot& s) {
            return s.key == keyPosition && sameSettingName(key.values[s.value].name, value.name);
        });
        if (slot.key == PositionTable::kFree) {
            m_values.fill(slot, hash, static_cast<uint32_t>(keyPosition), static_cast<uint32_t>(key.values.size()));
            key.values.push_back(std::move(value));
            return;
        }
        SettingValue& known = key.values[slot.value];
        value.name = std::move(known.name);
        known = std::move(value);
    }

private:
    SettingsTree& m_tree; // the caller's, being built
    PositionTable m_keys;
    PositionTable m_values;
};

} // namespace

bool sameSettingName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return FoldAscii(x) == FoldAscii(y); });
}

bool normaliseKeyPath(std::string_view path, std::string& out)
{
    out.clear();
    while (!path.empty() && path.front() == '\\')
        path.remove_prefix(1);
    while (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    if (path.find("\\\\") != std::string_view::npos || path.find_first_of("\r\n") != std::string_view::npos)
        return false;
    out.assign(path);
    return true;
}

SettingValue* SettingKey::findValue(std::string_view name)
{
    const auto it = std::find_if(values.begin(), values.end(),
                                 [&](const SettingValue& v) { return sameSettingName(v.name, name); });
    return it != values.end() ? &*it : nullptr;
}

const SettingValue* SettingKey::findValue(std::string_view name) const
{
    return const_cast<SettingKey*>(this)->findValue(name);
}

SettingKey* SettingsTree::findKey(std::string_view path)
{
    const auto it =
        std::find_if(keys.begin(), keys.end(), [&](const SettingKey& k) { return sameSettingName(k.path, path); });
    return it != keys.end() ? &*it : nullptr;
}

const SettingKey* SettingsTree::findKey(std::string_view path) const
{
    return const_cast<SettingsTree*>(this)->findKey(path);
}

SettingKey& SettingsTree::makeKey(std::string_view path)
{
    if (SettingKey* const known = findKey(path))
        return *known;
    keys.push_back({std::string(path), {}});
    return keys.back();
}

SettingsParse parseSettingsFile(std::string_view text)
{
    SettingsParse result;
    WarningList warnings(result.warnings);
    TreeIndex index(result.tree);
    constexpr size_t kNoKey = SIZE_MAX;
    size_t current = kNoKey; // index of the key that value lines belong to
    size_t lineNumber = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = TrimRight(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNumber;
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            std::string path;
            current = kNoKey; // values after a bad key line must not land in the key before it
            if (line.size() < 2 || line.back() != ']' || !normaliseKeyPath(line.substr(1, line.size() - 2), path)) {
                warnings.add(lineNumber, "not a key path in brackets");
                continue;
            }
            current = index.makeKey(path);
            continue;
        }
        if (line.front() != '"') {
            warnings.add(lineNumber, "neither a key nor a value");
            continue;
        }
        const char* why = "";
        auto value = ParseValueLine(line, why);
        if (!value) {
            warnings.add(lineNumber, why);
            continue;
        }
        if (current == kNoKey) {
            warnings.add(lineNumber, "value outside any key");
            continue;
        }
        index.setValue(current, std::move(*value));
    }
    return result;
}

std::string formatSettingsFile(const SettingsTree& tree)
{
    std::string out;
    for (const SettingKey& key : tree.keys) {
        if (!out.empty())
            out.push_back('\n');
        out += "[" + key.path + "]\n";
        for (const SettingValue& value : key.values)
            AppendValue(out, value);
    }
    return out;
}

size_t formattedSettingBytes(const SettingValue& value)
{
    std::string line;
    AppendValue(line, value);
    return line.size();
}

} // namespace pf
