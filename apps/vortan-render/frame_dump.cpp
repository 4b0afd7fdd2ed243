#include "apps/vortan-render/frame_dump.h"

#include <bit>
#include <cstdio>
#include <cstring>

#include "engine/resources/texture.h"
#include "platform/base/atomic_file.h"
#include "render/format_record.h"
#include "render/software/pixel_buffer.h"
#include "render/software/stage_program.h"

namespace rendertool {

namespace {

constexpr uint32_t kDumpVersion = 1;

void PutU32(std::string& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>(value >> shift & 0xFF));
}

void PutU8(std::string& out, uint32_t value)
{
    out.push_back(static_cast<char>(value & 0xFF));
}

void PutPixels(std::string& out, const uint32_t* pixels, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        PutU32(out, pixels[i]);
}

std::vector<uint32_t> CopyPixels(const SWpixelbuffer& buffer)
{
    std::vector<uint32_t> pixels;
    pixels.reserve(static_cast<size_t>(buffer.Width()) * static_cast<size_t>(buffer.Height()));
    for (int32_t y = 0; y < buffer.Height(); ++y)
        pixels.insert(pixels.end(), buffer.Row(y), buffer.Row(y) + buffer.Width());
    return pixels;
}

} // namespace

void FrameDump::BeginFrame(const SWpixelbuffer& background)
{
    m_width = background.Width();
    m_height = background.Height();
    m_background = CopyPixels(background);
    m_runs.clear();
    m_textureIds.clear();
    m_textures.clear();
}

void FrameDump::Record(const Run& run, const uint32_t* v0, const uint32_t* v1, const uint32_t* v2)
{
    const bool sameRun = !m_runs.empty() && m_runs.back().run.format == run.format &&
                         m_runs.back().run.pipeline == run.pipeline && m_runs.back().run.depthTest == run.depthTest &&
                         m_runs.back().run.depthWrite == run.depthWrite &&
                         m_runs.back().run.depthScale == run.depthScale;
    if (!sameRun) {
        m_runs.push_back({run, {}});
        for (int layer = 0; layer < kTextureStageCount; ++layer)
            TextureId(run.format->images[layer]);
    }
    const uint32_t stride = run.format->vertexStride;
    std::vector<uint32_t>& words = m_runs.back().words;
    for (const uint32_t* v : {v0, v1, v2})
        words.insert(words.end(), v, v + stride);
}

int32_t FrameDump::TextureId(const SWtexture* texture)
{
    if (texture == nullptr || texture->GetPixels() == nullptr)
        return -1;
    const auto [found, added] = m_textureIds.emplace(texture, static_cast<int32_t>(m_textures.size()));
    if (added)
        m_textures.push_back(texture);
    return found->second;
}

bool FrameDump::EndFrame(const SWpixelbuffer& drawn, uint32_t frame, std::string& outError)
{
    std::string out;
    out.append("VTRF");
    PutU32(out, kDumpVersion);
    PutU32(out, static_cast<uint32_t>(m_width));
    PutU32(out, static_cast<uint32_t>(m_height));
    PutU32(out, frame);
    PutPixels(out, m_background.data(), m_background.size());
    PutU32(out, static_cast<uint32_t>(m_textures.size()));
    for (const SWtexture* texture : m_textures) {
        PutU32(out, texture->GetWidth32());
        PutU32(out, texture->GetHeight32());
        PutPixels(out, texture->GetPixels(), size_t{texture->GetWidth32()} * texture->GetHeight32());
        const std::span<const uint8_t> falloff = texture->GetFalloff();
        PutU32(out, static_cast<uint32_t>(falloff.size()));
        out.append(reinterpret_cast<const char*>(falloff.data()), falloff.size());
    }
    PutU32(out, static_cast<uint32_t>(m_runs.size()));
    for (const DumpRun& dumped : m_runs) {
        const SWtexturestages& format = *dumped.run.format;
        PutU32(out, static_cast<uint32_t>(dumped.run.pipeline));
        PutU8(out, dumped.run.depthTest ? 1 : 0);
        PutU8(out, dumped.run.depthWrite ? 1 : 0);
        PutU8(out, BlendModeOf(format));
        PutU8(out, format.combineMode);
        PutU32(out, std::bit_cast<uint32_t>(dumped.run.depthScale));
        PutU8(out, format.vertexStride);
        PutU8(out, format.firstFloatWord);
        PutU8(out, format.colourCount);
        PutU8(out, format.layerCount);
        for (int layer = 0; layer < kTextureStageCount; ++layer) {
            PutU32(out, format.constants[layer]);
            PutU32(out, static_cast<uint32_t>(TextureId(format.images[layer])));
            PutU8(out, format.layerFlags[layer]);
            PutU8(out, static_cast<uint8_t>(format.coordinateSets[layer]));
            PutU8(out, 0);
            PutU8(out, 0);
        }
        PutU32(out,
               format.vertexStride == 0 ? 0u : static_cast<uint32_t>(dumped.words.size() / (3u * format.vertexStride)));
        PutPixels(out, dumped.words.data(), dumped.words.size());
    }
    const std::vector<uint32_t> ours = CopyPixels(drawn);
    PutPixels(out, ours.data(), ours.size());
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%04u.bin", frame);
    return pf::writeFileAtomically(m_directory + name, out, &outError);
}

} // namespace rendertool
