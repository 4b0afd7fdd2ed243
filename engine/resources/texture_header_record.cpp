#include "engine/resources/texture_header_record.h"

#include "engine/core/chunk_stream.h"
#include "engine/core/read_context.h"
#include "engine/core/record_builder.h"
#include "engine/core/type_tag.h"
#include "engine/resources/texture.h"

bool WriteTextureHeader(SWchunkstream& out, const SWtexture& texture)
{
    return WriteTextureHeader(out, texture, texture.GetWidth32(), texture.GetHeight32());
}

bool WriteTextureHeader(SWchunkstream& out, const SWtexture& texture, uint32_t width, uint32_t height)
{
    SWrecordbuilder record(out, MakeTag("TXHD"));
    SWchunkstream& body = record.Stream();
    body.WriteString(texture.GetName());
    body.WriteU32(width);
    body.WriteU32(height);
    body.WriteU32(texture.GetTextureFlags());
    return record.Finish();
}

bool ReadTextureHeader(SWchunkstream& in, TextureHeader& out)
{
    out = {};
    TextureHeader header;
    in.ReadString(header.name);
    in.ReadU32(header.width);
    in.ReadU32(header.height);
    in.ReadU32(header.flags);
    if (in.Status() != 0 || !SWtexture::IsAcceptedSize(header.width, header.height))
        return false;
    // The caller's limits, before any image kind reserves for the size stated; what follows the header in the
    // image's record is what stores its pixels.
    if (SWreadcontext* context = in.ReadContext();
        context != nullptr && !context->TakeImage(header.width, header.height, in.RemainingAfter()))
        return false;
    out = std::move(header);
    return true;
}
