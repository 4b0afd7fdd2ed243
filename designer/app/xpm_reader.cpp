// The XPM reader, versions 3 (C strings) and 2 ("! XPM2" and plain lines): the values line (width, height, colour
// count, characters per pixel, an optional hot spot), the colour table, whose "c" colour is "None", #RGB, #RRGGBB,
// #RRRRGGGGBBBB or a name of a short table, then one line of pixels per row.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <new>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "designer/app/icon_image.h"

namespace {

constexpr uint32_t kMaxColours = 65536;
constexpr uint32_t kMaxCharsPerPixel = 4;

bool Fail(std::string& reason, const char* why)
{
    reason = why;
    return false;
}

// The C string literals of an XPM 3 text, comments skipped; false when a string or comment is not closed.
bool CStrings(std::string_view text, std::vector<std::string>& out)
{
    for (size_t at = 0; at < text.size();) {
        if (text.compare(at, 2, "/*") == 0) {
            const size_t end = text.find("*/", at + 2);
            if (end == std::string_view::npos)
                return false;
            at = end + 2;
        } else if (text[at] == '"') {
            std::string s;
            for (++at;; ++at) {
                if (at >= text.size() || text[at] == '\n')
                    return false;
                if (text[at] == '"')
                    break;
                if (text[at] == '\\' && at + 1 < text.size())
                    ++at;
                s += text[at];
            }
            ++at;
            out.push_back(std::move(s));
        } else {
            ++at;
        }
    }
    return true;
}

std::vector<std::string> Lines(std::string_view text)
{
    std::vector<std::string> out;
    for (size_t at = 0; at <= text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        std::string line(text.substr(at, end - at));
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        out.push_back(std::move(line));
        at = end + 1;
    }
    while (!out.empty() && out.back().empty())
        out.pop_back();
    return out;
}

std::vector<std::string_view> Words(std::string_view text)
{
    std::vector<std::string_view> out;
    for (size_t at = 0; at < text.size();) {
        while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
            ++at;
        const size_t start = at;
        while (at < text.size() && !std::isspace(static_cast<unsigned char>(text[at])))
            ++at;
        if (at > start)
            out.push_back(text.substr(start, at - start));
    }
    return out;
}

std::optional<uint32_t> Number(std::string_view word)
{
    uint32_t value = 0;
    const auto [at, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || at != word.data() + word.size())
        return std::nullopt;
    return value;
}

std::string Lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::optional<uint32_t> NamedColour(const std::string& name)
{
    static const std::unordered_map<std::string, uint32_t> kNames = {
        {"black", 0x000000},    {"white", 0xFFFFFF},     {"red", 0xFF0000},       {"green", 0x00FF00},
        {"blue", 0x0000FF},     {"yellow", 0xFFFF00},    {"cyan", 0x00FFFF},      {"magenta", 0xFF00FF},
        {"gray", 0xBEBEBE},     {"grey", 0xBEBEBE},      {"orange", 0xFFA500},    {"brown", 0xA52A2A},
        {"purple", 0xA020F0},   {"pink", 0xFFC0CB},      {"navy", 0x000080},      {"darkgray", 0xA9A9A9},
        {"darkgrey", 0xA9A9A9}, {"lightgray", 0xD3D3D3}, {"lightgrey", 0xD3D3D3},
    };
    const auto it = kNames.find(name);
    return it == kNames.end() ? std::nullopt : std::optional<uint32_t>(it->second);
}

// An ARGB colour; alpha 0 for "None".
std::optional<uint32_t> ParseColour(std::string_view value)
{
    const std::string name = Lower(value);
    if (name == "none")
        return 0u;
    if (name.size() > 1 && name[0] == '#') {
        const size_t digits = name.size() - 1;
        if (digits != 3 && digits != 6 && digits != 12)
            return std::nullopt;
        uint64_t v = 0;
        const auto [at, error] = std::from_chars(name.data() + 1, name.data() + name.size(), v, 16);
        if (error != std::errc() || at != name.data() + name.size())
            return std::nullopt;
        const size_t per = digits / 3;
        const uint64_t max = (uint64_t{1} << (4 * per)) - 1;
        uint32_t rgb = 0;
        for (size_t c = 0; c < 3; ++c) {
            const uint64_t part = (v >> (4 * per * (2 - c))) & max;
            rgb = (rgb << 8) | static_cast<uint32_t>((part * 255 + max / 2) / max);
        }
        return 0xFF000000u | rgb;
    }
    const std::optional<uint32_t> named = NamedColour(name);
    return named ? std::optional<uint32_t>(0xFF000000u | *named) : std::nullopt;
}

// The "c" colour of a colour line's words after the pixel code: keys and values alternate; a value may be several
// words (a colour name with spaces) up to the next key.
std::optional<std::string> ColourKeyValue(const std::vector<std::string_view>& words)
{
    static const std::string_view kKeys[] = {"c", "m", "g", "g4", "s"};
    const auto isKey = [](std::string_view w) {
        return std::find(std::begin(kKeys), std::end(kKeys), w) != std::end(kKeys);
    };
    for (size_t i = 0; i < words.size(); ++i) {
        if (words[i] != "c")
            continue;
        std::string value;
        for (size_t j = i + 1; j < words.size() && !isKey(words[j]); ++j)
            value += std::string(words[j]);
        if (!value.empty())
            return value;
    }
    return std::nullopt;
}

bool ReadXpm(std::string_view text, CVTND_IconImage& out, std::string& reason)
{
    std::vector<std::string> lines;
    const std::vector<std::string> all = Lines(text);
    if (!all.empty() && all[0].rfind("! XPM2", 0) == 0) {
        lines.assign(all.begin() + 1, all.end());
    } else if (text.find("/* XPM */") != std::string_view::npos) {
        if (!CStrings(text, lines))
            return Fail(reason, "a string or a comment is not closed");
    } else {
        return Fail(reason, "not an XPM text");
    }
    if (lines.empty())
        return Fail(reason, "no values line");
    const std::vector<std::string_view> values = Words(lines[0]);
    if (values.size() < 4)
        return Fail(reason, "the values line holds fewer than four numbers");
    const std::optional<uint32_t> w = Number(values[0]), h = Number(values[1]);
    const std::optional<uint32_t> colours = Number(values[2]), cpp = Number(values[3]);
    if (!w || !h || !colours || !cpp)
        return Fail(reason, "the values line holds something other than numbers");
    if (*w == 0 || *h == 0 || *w > CVTND_IconImage::kMaxSide || *h > CVTND_IconImage::kMaxSide)
        return Fail(reason, "the size is not within 1 to 256 pixels a side");
    if (*cpp == 0 || *cpp > kMaxCharsPerPixel || *colours == 0 || *colours > kMaxColours)
        return Fail(reason, "the colour count or the characters per pixel are out of range");
    if (*colours > lines.size() - 1 || *h > lines.size() - 1 - *colours)
        return Fail(reason, "the text holds fewer lines than the values line claims");
    std::optional<uint32_t> hotX, hotY;
    if (values.size() >= 6 && values[4] != "XPMEXT") {
        hotX = Number(values[4]);
        hotY = Number(values[5]);
        if (!hotX || !hotY || *hotX >= *w || *hotY >= *h)
            return Fail(reason, "the hot spot is not a point of the picture");
    }
    std::unordered_map<std::string, uint32_t> table;
    for (uint32_t i = 0; i < *colours; ++i) {
        const std::string& line = lines[1 + i];
        if (line.size() < *cpp)
            return Fail(reason, "a colour line is shorter than its pixel code");
        const std::optional<std::string> value = ColourKeyValue(Words(std::string_view(line).substr(*cpp)));
        const std::optional<uint32_t> colour = value ? ParseColour(*value) : std::nullopt;
        if (!colour)
            return Fail(reason, "a colour line has no readable \"c\" colour");
        if (!table.emplace(line.substr(0, *cpp), *colour).second)
            return Fail(reason, "two colour lines have the same pixel code");
    }
    out.argb.assign(size_t{*w} * *h, 0);
    for (uint32_t y = 0; y < *h; ++y) {
        const std::string& row = lines[1 + *colours + y];
        if (row.size() != size_t{*w} * *cpp) {
            out = {};
            return Fail(reason, "a row of pixels is not as wide as the picture");
        }
        for (uint32_t x = 0; x < *w; ++x) {
            const auto it = table.find(row.substr(size_t{x} * *cpp, *cpp));
            if (it == table.end()) {
                out = {};
                return Fail(reason, "a pixel names no colour of the table");
            }
            out.argb[size_t{y} * *w + x] = it->second;
        }
    }
    out.width = static_cast<int32_t>(*w);
    out.height = static_cast<int32_t>(*h);
    out.colourCount = *colours;
    out.hotSpotX = hotX ? static_cast<int32_t>(*hotX) : 0;
    out.hotSpotY = hotY ? static_cast<int32_t>(*hotY) : 0;
    return true;
}

} // namespace

bool ReadXpmImage(std::span<const uint8_t> bytes, CVTND_IconImage& outImage, std::string& outReason)
{
    outImage = {};
    outReason.clear();
    try {
        const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        if (ReadXpm(text, outImage, outReason))
            return true;
    } catch (const std::bad_alloc&) {
        outReason = "out of memory";
    }
    outImage = {};
    return false;
}
