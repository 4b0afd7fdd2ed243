#include "engine/resources/palette_image.h"

#include <algorithm>
#include <new>

#include "codecs/image/palette_quantiser.h"
#include "engine/core/child_records.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/record_builder.h"
#include "engine/core/tag_registry.h"
#include "engine/core/type_tag.h"
#include "engine/resources/resource_report.h"
#include "engine/resources/texture_header_record.h"

namespace {
const CVTN_TagRegistration kRegistration(MakeTag("CIMG"), &CreateContainer<SWimage>);

constexpr uint32_t kTagHeader = MakeTag("TXHD");
constexpr uint32_t kTagPalette = MakeTag("PALT");
constexpr uint32_t kTagIndices = MakeTag("PIDX");

struct StoredPalette {
    TextureHeader header;
    bool hasHeader = false;
    std::array<uint8_t, SWimage::kMaxColours * 3> palette{};
    uint32_t colours = 0;
    std::vector<uint8_t> indices;
    bool hasIndices = false;
};

bool ReadPaletteRecord(SWchunkstream& in, StoredPalette& stored)
{
    uint32_t colours = 0;
    if (!in.ReadU32(colours) || colours == 0 || colours > SWimage::kMaxColours || in.Remaining() / 3 < colours)
        return false;
    in.ReadBytes(stored.palette.data(), colours * size_t{3});
    stored.colours = colours;
    return in.Status() == 0;
}

bool ReadIndexRecord(SWchunkstream& in, StoredPalette& stored)
{
    if (!stored.hasHeader || stored.colours == 0)
        return false; // indices mean nothing before their size and palette
    const uint64_t count = uint64_t{stored.header.width} * stored.header.height;
    if (in.Remaining() != count)
        return false;
    stored.indices.resize(count);
    in.ReadBytes(stored.indices);
    const bool inPalette = std::all_of(stored.indices.begin(), stored.indices.end(),
                                       [&](uint8_t index) { return index < stored.colours; });
    return stored.hasIndices = inPalette && in.Status() == 0;
}

bool ReadSubRecord(uint32_t tag, SWchunkstream& in, StoredPalette& stored)
{
    if (tag == kTagHeader)
        return stored.hasHeader = ReadTextureHeader(in, stored.header);
    if (tag == kTagPalette)
        return ReadPaletteRecord(in, stored);
    if (tag == kTagIndices)
        return ReadIndexRecord(in, stored);
    return true; // a later sub-record: skipped
}
} // namespace

SWimage::SWimage()
{
    AddTypeTag(MakeTag("CIMG"));
}

SWimage::SWimage(std::string name, int64_t width, int64_t height, const uint32_t* pixels) : SWimage()
{
    SetName(std::move(name));
    if (!Allocate(width, height))
        return;
    std::optional<cis::ColourHistogramResult> result;
    try {
        std::vector<uint8_t> bgr(PixelCount() * 3);
        for (size_t i = 0; pixels != nullptr && i < PixelCount(); ++i) {
            bgr[i * 3] = static_cast<uint8_t>(pixels[i]);
            bgr[i * 3 + 1] = static_cast<uint8_t>(pixels[i] >> 8);
            bgr[i * 3 + 2] = static_cast<uint8_t>(pixels[i] >> 16);
        }
        result = cis::BuildColourHistogram(bgr, static_cast<int>(width), static_cast<int>(height), kMaxColours);
    } catch (const std::bad_alloc&) {
        result.reset();
    }
    if (!result || result->colours < 1 || result->indices.size() != PixelCount()) {
        Allocate(0, 0); // invalid: a palette image without its palette has nothing true to show
        ReportResource({GetName(), "Palette image"});
        return;
    }
    m_colours = static_cast<uint32_t>(result->colours);
    std::copy(result->palette.begin(), result->palette.end(), m_palette.begin());
    m_indices = std::move(result->indices);
    ShowPalette();
}

bool SWimage::Read(SWchunkstream& in)
{
    StoredPalette stored;
    try {
        const auto readChild = [&stored](uint32_t tag, SWchunkstream& child) {
            return ReadSubRecord(tag, child, stored);
        };
        if (!ReadChildRecords(in, readChild))
            return false;
        if (in.Status() != 0 || !stored.hasHeader || !stored.hasIndices)
            return false;
        std::vector<uint32_t> shown(stored.indices.size());
        TakeStoredImage(stored.header, shown);
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_palette = stored.palette;
    m_colours = stored.colours;
    m_indices.swap(stored.indices);
    ShowPalette();
    Touch();
    return true;
}

bool SWimage::Write(SWchunkstream& out)
{
    if (!IsValid() || m_colours == 0 || !WriteTextureHeader(out, *this))
        return false;
    {
        SWrecordbuilder palette(out, kTagPalette);
        palette.Stream().WriteU32(m_colours);
        palette.Stream().WriteBytes(GetPalette());
        if (!palette.Finish())
            return false;
    }
    SWrecordbuilder indices(out, kTagIndices);
    indices.Stream().WriteBytes(m_indices);
    return indices.Finish();
}

std::unique_ptr<SWtexture> SWimage::Clone() const
{
    if (!IsValid())
        return nullptr;
    try {
        auto copy = std::make_unique<SWimage>();
        CopyImageTo(*copy);
        copy->m_palette = m_palette;
        copy->m_colours = m_colours;
        copy->m_indices = m_indices;
        return copy;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void SWimage::ShowPalette()
{
    std::vector<uint32_t>& pixels = Pixels();
    for (size_t i = 0; i < pixels.size() && i < m_indices.size(); ++i) {
        const uint8_t* const entry = &m_palette[m_indices[i] * size_t{3}];
        pixels[i] =
            0xFF000000u | static_cast<uint32_t>(entry[0]) << 16 | static_cast<uint32_t>(entry[1]) << 8 | entry[2];
    }
}
