#pragma once
// "TXHD", the sub-record every image record opens with: string name, u32 width, u32 height, u32 texture flags.
// Fields are only ever appended, so a reader ignores what follows the ones it knows.
#include <cstdint>
#include <string>

class SWchunkstream;
class SWtexture;

struct TextureHeader {
    std::string name;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t flags = 0;
};

bool WriteTextureHeader(SWchunkstream& out, const SWtexture& texture); // the whole "TXHD" record
// The same with the size the record states, where the texture shows another (a placeholder's).
bool WriteTextureHeader(SWchunkstream& out, const SWtexture& texture, uint32_t width, uint32_t height);
// The payload of a "TXHD" record. False, with out empty: short, or a size SWtexture::IsAcceptedSize refuses.
bool ReadTextureHeader(SWchunkstream& in, TextureHeader& out);
