// The XBM reader: "#define NAME_width W", "#define NAME_height H", optional "NAME_x_hot" and "NAME_y_hot", then
// the bit array "static [unsigned] char NAME_bits[] = { 0x.., ... };" (or short, sixteen bits a value), rows padded to
// whole values, bits least significant first; a set bit is black, a clear one transparent.
#include <charconv>
#include <map>
#include <new>
#include <optional>
#include <string_view>

#include "designer/app/icon_image.h"

namespace {

bool Fail(std::string& reason, const char* why)
{
    reason = why;
    return false;
}

bool EndsWith(std::string_view text, std::string_view tail)
{
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

std::optional<uint32_t> ParseNumber(std::string_view token)
{
    int base = 10;
    if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) {
        token.remove_prefix(2);
        base = 16;
    }
    uint32_t value = 0;
    const auto [at, error] = std::from_chars(token.data(), token.data() + token.size(), value, base);
    if (error != std::errc() || at != token.data() + token.size() || token.empty())
        return std::nullopt;
    return value;
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The next token of text from at: a run of characters that are not spaces, commas or braces, or one of those marks.
std::string_view NextToken(std::string_view text, size_t& at)
{
    while (at < text.size() && IsSpace(text[at]))
        ++at;
    if (at >= text.size())
        return {};
    const size_t start = at;
    if (text[at] == ',' || text[at] == '{' || text[at] == '}' || text[at] == ';' || text[at] == '=') {
        ++at;
        return text.substr(start, 1);
    }
    while (at < text.size() && !IsSpace(text[at]) && text[at] != ',' && text[at] != '{' && text[at] != '}' &&
           text[at] != ';' && text[at] != '=')
        ++at;
    return text.substr(start, at - start);
}

bool ReadXbm(std::string_view text, CVTND_IconImage& out, std::string& reason)
{
    std::map<std::string, uint32_t, std::less<>> defines; // by suffix: width, height, x_hot, y_hot
    size_t at = 0;
    bool wide = false;
    for (;;) {
        const std::string_view token = NextToken(text, at);
        if (token.empty())
            return Fail(reason, "no bit array");
        if (token == "#define") {
            const std::string_view name = NextToken(text, at);
            const std::optional<uint32_t> value = ParseNumber(NextToken(text, at));
            if (!value)
                return Fail(reason, "a #define has no number");
            for (const char* suffix : {"_width", "_height", "_x_hot", "_y_hot"})
                if (EndsWith(name, suffix) && defines.count(suffix + 1) == 0)
                    defines[suffix + 1] = *value;
            continue;
        }
        if (token == "short")
            wide = true;
        if (token == "{")
            break;
    }
    const auto width = defines.find("width");
    const auto height = defines.find("height");
    if (width == defines.end() || height == defines.end())
        return Fail(reason, "the width or the height is not defined");
    if (width->second == 0 || height->second == 0 || width->second > CVTND_IconImage::kMaxSide ||
        height->second > CVTND_IconImage::kMaxSide)
        return Fail(reason, "the size is not within 1 to 256 pixels a side");
    const auto w = static_cast<int32_t>(width->second);
    const auto h = static_cast<int32_t>(height->second);
    const uint32_t valueBits = wide ? 16 : 8;
    const size_t perRow = (static_cast<size_t>(w) + valueBits - 1) / valueBits;
    std::vector<uint32_t> values;
    values.reserve(perRow * static_cast<size_t>(h));
    for (bool expectValue = true;;) {
        const std::string_view token = NextToken(text, at);
        if (token == "}")
            break;
        if (token == "," && !expectValue) {
            expectValue = true;
            continue;
        }
        const std::optional<uint32_t> value = expectValue ? ParseNumber(token) : std::nullopt;
        if (!value || *value >= (1u << valueBits))
            return Fail(reason, token.empty() ? "the bit array is not closed" : "the bit array holds a bad value");
        if (values.size() == perRow * static_cast<size_t>(h))
            return Fail(reason, "the bit array holds more values than the size needs");
        values.push_back(*value);
        expectValue = false;
    }
    if (values.size() != perRow * static_cast<size_t>(h))
        return Fail(reason, "the bit array holds fewer values than the size needs");
    const auto xHot = defines.find("x_hot");
    const auto yHot = defines.find("y_hot");
    if ((xHot == defines.end()) != (yHot == defines.end()))
        return Fail(reason, "only one coordinate of the hot spot is defined");
    if (xHot != defines.end() && (xHot->second >= width->second || yHot->second >= height->second))
        return Fail(reason, "the hot spot lies outside the picture");
    out.width = w;
    out.height = h;
    out.colourCount = 2;
    out.hotSpotX = xHot != defines.end() ? static_cast<int32_t>(xHot->second) : 0;
    out.hotSpotY = yHot != defines.end() ? static_cast<int32_t>(yHot->second) : 0;
    out.argb.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const uint32_t value = values[static_cast<size_t>(y) * perRow + static_cast<size_t>(x) / valueBits];
            if (((value >> (static_cast<uint32_t>(x) % valueBits)) & 1) != 0)
                out.argb[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] = 0xFF000000u;
        }
    return true;
}

} // namespace

bool ReadXbmImage(std::span<const uint8_t> bytes, CVTND_IconImage& outImage, std::string& outReason)
{
    outImage = {};
    outReason.clear();
    try {
        const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        if (ReadXbm(text, outImage, outReason))
            return true;
    } catch (const std::bad_alloc&) {
        outReason = "out of memory";
    }
    outImage = {};
    return false;
}
