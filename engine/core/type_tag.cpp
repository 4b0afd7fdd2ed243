#include "engine/core/type_tag.h"

std::string TagText(uint32_t tag)
{
    std::string text(4, '?');
    for (int i = 0; i < 4; ++i) {
        const auto byte = static_cast<unsigned char>(tag >> (8 * i));
        if (byte >= 0x20 && byte < 0x7F)
            text[static_cast<size_t>(i)] = static_cast<char>(byte);
    }
    return text;
}
