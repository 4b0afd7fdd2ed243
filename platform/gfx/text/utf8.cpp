#include "platform/gfx/text/utf8.h"

namespace pf {

namespace {

// Length of the sequence a lead byte starts and the range its second byte must fall in (0 length: invalid lead).
struct LeadRule {
    int length;
    unsigned char secondLow;
    unsigned char secondHigh;
};

LeadRule ruleFor(unsigned char lead)
{
    if (lead >= 0xC2 && lead <= 0xDF)
        return {2, 0x80, 0xBF};
    if (lead == 0xE0)
        return {3, 0xA0, 0xBF}; // below A0 would be overlong
    if (lead == 0xED)
        return {3, 0x80, 0x9F}; // above 9F would be a surrogate
    if (lead >= 0xE1 && lead <= 0xEF)
        return {3, 0x80, 0xBF};
    if (lead == 0xF0)
        return {4, 0x90, 0xBF};
    if (lead >= 0xF1 && lead <= 0xF3)
        return {4, 0x80, 0xBF};
    if (lead == 0xF4)
        return {4, 0x80, 0x8F}; // beyond U+10FFFF otherwise
    return {0, 0, 0};
}

} // namespace

std::u32string decodeUtf8(std::string_view text)
{
    std::u32string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }
        const LeadRule rule = ruleFor(lead);
        if (rule.length == 0) {
            out.push_back(kReplacementCharacter);
            ++i;
            continue;
        }
        char32_t value = lead & (0xFF >> (rule.length + 1));
        size_t used = 1;
        bool complete = true;
        for (int k = 1; k < rule.length; ++k) {
            if (i + used >= text.size()) {
                complete = false;
                break;
            }
            const auto next = static_cast<unsigned char>(text[i + used]);
            const unsigned char low = k == 1 ? rule.secondLow : 0x80;
            const unsigned char high = k == 1 ? rule.secondHigh : 0xBF;
            if (next < low || next > high) {
                complete = false;
                break;
            }
            value = (value << 6) | (next & 0x3F);
            ++used;
        }
        out.push_back(complete ? value : kReplacementCharacter); // an invalid subpart is replaced once
        i += used;
    }
    return out;
}

} // namespace pf
