// The texture, material and background lists of a world's file, and the pictures of its hot spots.
#include "engine/resources/world_records.h"

#include <array>
#include <bit>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/document_file.h"
#include "engine/core/root_object.h"
#include "engine/core/tag_registry.h"
#include "engine/core/type_tag.h"
#include "engine/core/world.h"
#include "engine/core/world_sections.h"
#include "engine/resources/background.h"
#include "engine/resources/image24.h"
#include "engine/resources/image32.h"
#include "engine/resources/image8.h"
#include "engine/resources/material.h"
#include "engine/resources/resource_report.h"
#include "engine/resources/texture.h"
#include "engine/resources/texture_header_record.h"
#include "engine/resources/world_records_internal.h"
#include "platform/base/endian.h"

namespace worldrecords {

void ReportDamaged(const std::string& what, const std::string& name)
{
    ReportResource(
        {"The " + what + " \"" + name + "\" could not be read from the file and was left out.", "Damaged resource"});
}

bool WriteSchemeRecord(SWworldwriting& out, SchemeKind kind, SWchunkstream& s, CVTN_Container* object,
                       SWschemechoice& choice, uint32_t word)
{
    const SWcompressionschemes& table = SWcompressionschemes::Table();
    const SWcompressionscheme* chosen = choice.GetScheme();
    const SWcompressionscheme* use = out.Mode() == WorldFileMode::kPublished && chosen ? chosen : nullptr;
    if (use == nullptr && table.DefaultOf(kind) == nullptr)
        return true;
    choice.SetScheme(use);
    const bool written = table.WriteResource(static_cast<int>(kind), s, object, word);
    choice.SetScheme(chosen);
    return written;
}

const SWcompressionscheme* RowOf(uint32_t id, SchemeKind kind)
{
    const SWcompressionscheme* row = SWcompressionschemes::Table().FindById(id);
    return row != nullptr && row->GetKind() == kind ? row : nullptr;
}

} // namespace worldrecords

namespace {

using namespace worldrecords;

constexpr uint32_t kTag32 = MakeTag("CI32");
constexpr uint32_t kTag24 = MakeTag("CI24");
constexpr uint32_t kTagGrey = MakeTag("CIG8");
constexpr uint32_t kTagHeader = MakeTag("TXHD");
constexpr uint32_t kTagPixels32 = MakeTag("PX32");
constexpr uint32_t kTagPixels24 = MakeTag("PX24");
constexpr uint32_t kTagPixelsGrey = MakeTag("PXG8");
constexpr uint32_t kTagMaterial = MakeTag("MATL");
constexpr float kLargestMaterialFactor = 1.0e6f;
constexpr uint32_t kTagBackground = MakeTag("BGDI");

// -- Images

bool WritePixels32(const SWtexture& image, SWchunkstream& out)
{
    const uint32_t* pixels = image.GetPixels();
    const size_t count = size_t{image.GetWidth32()} * image.GetHeight32();
    // Stored words are the pixels' own on a little-endian host: written from them, without a copy of the image.
    if (std::endian::native == std::endian::little && pixels != nullptr)
        return out.WriteBytes(pixels, count * 4);
    std::vector<uint8_t> bytes(count * 4);
    for (size_t i = 0; i < count && pixels != nullptr; ++i)
        pf::storeU32le(&bytes[i * 4], pixels[i]);
    return out.WriteBytes(bytes);
}

// Stored blue, green, red: packed from the words in one pass.
bool WritePixels24(const SWimage24& image, SWchunkstream& out)
{
    const uint32_t* pixels = image.GetPixels();
    const size_t count = pixels != nullptr ? size_t{image.GetWidth32()} * image.GetHeight32() : 0;
    std::vector<uint8_t> bgr(count * 3);
    for (size_t i = 0; i < count; ++i) {
        bgr[i * 3] = static_cast<uint8_t>(pixels[i]);
        bgr[i * 3 + 1] = static_cast<uint8_t>(pixels[i] >> 8);
        bgr[i * 3 + 2] = static_cast<uint8_t>(pixels[i] >> 16);
    }
    return out.WriteBytes(bgr);
}

// The pixel sub-record of a plain kind: exactly its size, or nothing.
std::optional<std::vector<uint8_t>> ReadExact(SWchunkstream& in, uint64_t bytes)
{
    if (in.Remaining() != bytes)
        return std::nullopt;
    std::vector<uint8_t> out(static_cast<size_t>(bytes));
    if (in.ReadBytes(out) != out.size())
        return std::nullopt;
    return out;
}

std::unique_ptr<SWtexture> ReadPlainImage(uint32_t tag, SWchunkstream& in)
{
    std::optional<TextureHeader> header;
    std::unique_ptr<SWtexture> image;
    bool damaged = false;
    ForEachNested(in, [&](uint32_t sub, SWchunkstream& s) {
        if (damaged || image)
            return;
        if (sub == kTagHeader && !header) {
            TextureHeader read;
            if (ReadTextureHeader(s, read))
                header = std::move(read);
            else
                damaged = true;
            return;
        }
        if (!header)
            return;
        const uint64_t pixels = uint64_t{header->width} * header->height;
        if (tag == kTag32 && sub == kTagPixels32) {
            // Straight into the image's own buffer: the largest image a limit allows costs its decoded record
            // and itself, no copy between.
            auto made = std::make_unique<SWimage32>(header->name, header->width, header->height, nullptr);
            uint32_t* words = made->GetPixelBuffer();
            if (s.Remaining() != pixels * 4 || words == nullptr ||
                s.ReadBytes(words, static_cast<size_t>(pixels) * 4) != static_cast<size_t>(pixels) * 4) {
                damaged = true;
                return;
            }
            if constexpr (std::endian::native != std::endian::little)
                for (size_t i = 0; i < pixels; ++i)
                    words[i] = pf::loadU32le(reinterpret_cast<const uint8_t*>(&words[i]));
            image = std::move(made);
        } else if (tag == kTag24 && sub == kTagPixels24) {
            const std::optional<std::vector<uint8_t>> bytes = ReadExact(s, pixels * 3);
            auto made = std::make_unique<SWimage24>(header->name, header->width, header->height, nullptr);
            uint32_t* words = made->GetPixelBuffer();
            if (!bytes || words == nullptr) {
                damaged = true;
                return;
            }
            const uint8_t* bgr = bytes->data();
            for (size_t i = 0; i < pixels; ++i, bgr += 3)
                words[i] = 0xFF000000u | uint32_t{bgr[2]} << 16 | uint32_t{bgr[1]} << 8 | bgr[0];
            image = std::move(made);
        } else if (tag == kTagGrey && sub == kTagPixelsGrey) {
            const std::optional<std::vector<uint8_t>> bytes = ReadExact(s, pixels);
            if (!bytes) {
                damaged = true;
                return;
            }
            auto made = std::make_unique<SWimage8>(header->name, header->width, header->height, bytes->data());
            if (made->IsValid())
                image = std::move(made);
            else
                damaged = true;
        }
    });
    if (damaged || !image || !header)
        return nullptr;
    image->SetTextureFlags(header->flags);
    return image;
}

} // namespace

bool WriteImagePayload(SWtexture& image, SWchunkstream& out)
{
    const uint32_t tag = image.GetTag();
    if (tag != kTag32 && tag != kTag24 && tag != kTagGrey)
        return image.Write(out) && Good(out); // a kind with its own record
    if (!WriteTextureHeader(out, image))
        return false;
    if (tag == kTag32)
        return Nested(out, kTagPixels32, [&](SWchunkstream& s) { return WritePixels32(image, s); });
    if (tag == kTag24) {
        return Nested(out, kTagPixels24,
                      [&](SWchunkstream& s) { return WritePixels24(static_cast<const SWimage24&>(image), s); });
    }
    return Nested(out, kTagPixelsGrey,
                  [&](SWchunkstream& s) { return s.WriteBytes(static_cast<const SWimage8&>(image).GetGreyBytes()); });
}

std::unique_ptr<SWtexture> ReadImagePayload(uint32_t tag, SWchunkstream& in)
{
    if (tag == kTag32 || tag == kTag24 || tag == kTagGrey)
        return ReadPlainImage(tag, in);
    std::unique_ptr<CVTN_Container> made = CVTN_TagRegistry::Create(tag);
    auto* texture = dynamic_cast<SWtexture*>(made.get());
    if (texture == nullptr || !texture->Read(in) || !Good(in))
        return nullptr;
    made.release();
    return std::unique_ptr<SWtexture>(texture);
}

namespace {

// -- The hot spots' pictures (a nested image record inside "NHOT")

bool WritePicture(SWtexture& picture, SWchunkstream& out)
{
    return Nested(out, picture.GetTag(), [&](SWchunkstream& s) { return WriteImagePayload(picture, s); });
}

std::unique_ptr<SWtexture> ReadPicture(uint32_t tag, SWchunkstream& in)
{
    std::unique_ptr<SWtexture> picture = ReadImagePayload(tag, in);
    if (!picture)
        ReportDamaged("hot-spot picture", TagText(tag));
    return picture;
}

constexpr SWworldpicturecodec kPictureCodec = {&WritePicture, &ReadPicture};

// -- Textures ("TXLS", one image record per texture)

bool WriteImageRecord(SWworldwriting& out, SWtexture& image, uint32_t parent)
{
    const std::optional<uint32_t> index =
        out.AddRecord(image.GetTag(), parent, [&](SWchunkstream& s) { return WriteImagePayload(image, s); });
    if (index)
        out.NoteRecord(&image, *index);
    return index.has_value();
}

bool WriteTextures(SWworldwriting& out, uint32_t rootIndex)
{
    SWrootobject* root = out.World().GetRootObject();
    const std::optional<uint32_t> list = out.AddRecord(WorldSectionTag(WorldSection::kTextures), rootIndex, nullptr);
    if (!list)
        return false;
    for (SWtexture* t = root->GetFirstTexture(); t != nullptr; t = SWrootobject::GetNextTexture(t)) {
        if (!WriteImageRecord(out, *t, *list))
            return false;
    }
    return true;
}

// The image of record index; null (reported) when it does not read.
std::unique_ptr<SWtexture> ReadImageRecord(SWworldreading& in, uint32_t index)
{
    SWworldreading::Payload payload;
    if (!in.Open(index, payload))
        return nullptr;
    std::unique_ptr<SWtexture> image = ReadImagePayload(in.Tag(index), *payload.stream);
    if (!image) {
        in.Skip(index, "image does not read");
        ReportDamaged("texture", TagText(in.Tag(index)));
    }
    return image;
}

bool ReadTextures(SWworldreading& in, uint32_t index)
{
    SWrootobject* root = in.World().GetRootObject();
    for (const uint32_t child : in.Children(index)) {
        if (std::unique_ptr<SWtexture> image = ReadImageRecord(in, child)) {
            SWtexture* placed = image.get();
            if (root->AddTexture(std::move(image)))
                in.SetRecordObject(child, placed);
        }
    }
    return true;
}

// -- Materials ("MTLS", one "MATL" per material)

void WriteColour(SWchunkstream& out, const SWmaterialcolour& c)
{
    out.WriteF32(c.intensity);
    out.WriteF32(c.red);
    out.WriteF32(c.green);
    out.WriteF32(c.blue);
}

bool WriteMaterial(const SWmaterial& m, SWchunkstream& out)
{
    out.WriteString(m.GetName());
    out.WriteU32(m.GetRenderMode());
    out.WriteU32(m.GetMaterialFlags());
    WriteColour(out, m.GetAmbientColour());
    WriteColour(out, m.GetDiffuseColour());
    WriteColour(out, m.GetSpecularColour());
    out.WriteF32(m.GetSmoothness());
    out.WriteF32(m.GetTransparency());
    out.WriteF32(m.GetTextureOpacity());
    out.WriteF32(m.GetBumpAmount());
    out.WriteF32(m.GetReflectivity());
    out.WriteString(m.GetTextureName());
    out.WriteString(m.GetReflectionTextureName());
    out.WriteString(m.GetBumpTextureName());
    return Good(out);
}

bool WriteMaterials(SWworldwriting& out, uint32_t rootIndex)
{
    SWrootobject* root = out.World().GetRootObject();
    const std::optional<uint32_t> list = out.AddRecord(WorldSectionTag(WorldSection::kMaterials), rootIndex, nullptr);
    if (!list)
        return false;
    for (SWmaterial* m = root->GetFirstMaterial(); m != nullptr; m = SWrootobject::GetNextMaterial(m)) {
        if (!out.AddRecord(kTagMaterial, *list, [&](SWchunkstream& s) { return WriteMaterial(*m, s); }))
            return false;
    }
    return true;
}

// The texture names of the materials read, bound in the link pass once every texture is there.
struct MaterialNames : SWworldreading::Scratch {
    struct Entry {
        SWmaterial* material;
        std::array<std::string, 3> names; // diffuse, reflection, bump
    };
    std::vector<Entry> entries;
};

std::unique_ptr<SWmaterial> ReadMaterial(SWchunkstream& in, std::array<std::string, 3>& names)
{
    auto m = std::make_unique<SWmaterial>();
    std::string name;
    in.ReadString(name);
    const uint32_t mode = in.ReadU32();
    const uint32_t flags = in.ReadU32();
    std::array<float, 12> colours = {};
    for (float& c : colours)
        c = in.ReadF32();
    std::array<float, 5> factors = {};
    for (float& f : factors)
        f = in.ReadF32();
    for (std::string& texture : names)
        in.ReadString(texture);
    if (!Good(in))
        return nullptr;
    // A factor that is NaN or beyond a million (the sliders end at 100, the fractions at 1) comes from a damaged
    // file: it takes the factor's default, with a report, and the material its scene relies on stays.
    const std::array<float, 5> defaults = {m->GetSmoothness(), m->GetTransparency(), m->GetTextureOpacity(),
                                           m->GetBumpAmount(), m->GetReflectivity()};
    bool reset = false;
    for (size_t i = 0; i < factors.size(); ++i) {
        if (!(std::fabs(factors[i]) <= kLargestMaterialFactor)) {
            factors[i] = defaults[i];
            reset = true;
        }
    }
    if (reset)
        ReportResource({"The material \"" + name + "\" held a value out of range, which was reset to its default.",
                        "Damaged resource"});
    m->SetName(std::move(name));
    m->SetStoredRenderMode(mode);
    m->SetMaterialFlags(flags);
    m->SetAmbientColour(colours[0], colours[1], colours[2], colours[3]);
    m->SetDiffuseColour(colours[4], colours[5], colours[6], colours[7]);
    m->SetSpecularColour(colours[8], colours[9], colours[10], colours[11]);
    m->SetSmoothness(factors[0]);
    m->SetTransparency(factors[1]);
    m->SetTextureOpacity(factors[2]);
    m->SetBumpAmount(factors[3]);
    m->SetReflectivity(factors[4]);
    m->SetStoredTextureNames(names[0], names[1], names[2]); // bound in the link pass where a texture has the name
    return m;
}

bool ReadMaterials(SWworldreading& in, uint32_t index)
{
    std::unique_ptr<SWworldreading::Scratch>& scratch = in.ScratchOf(WorldSection::kMaterials);
    if (!scratch)
        scratch = std::make_unique<MaterialNames>();
    auto& pending = static_cast<MaterialNames&>(*scratch);
    SWrootobject* root = in.World().GetRootObject();
    for (const uint32_t child : in.Children(index)) {
        SWworldreading::Payload payload;
        if (in.Tag(child) != kTagMaterial) {
            in.Skip(child, "not a material");
            continue;
        }
        if (!in.Open(child, payload))
            continue;
        std::array<std::string, 3> names;
        std::unique_ptr<SWmaterial> m = ReadMaterial(*payload.stream, names);
        if (!m) {
            in.Skip(child, "material does not read");
            ReportDamaged("material", "MATL");
            continue;
        }
        SWmaterial* placed = m.get();
        if (root->AddMaterial(std::move(m))) {
            in.SetRecordObject(child, placed);
            pending.entries.push_back({placed, std::move(names)});
        }
    }
    return true;
}

void LinkMaterials(SWworldreading& in)
{
    auto* pending = static_cast<MaterialNames*>(in.ScratchOf(WorldSection::kMaterials).get());
    if (pending == nullptr)
        return;
    SWworld& world = in.World();
    for (MaterialNames::Entry& entry : pending->entries) {
        SWmaterial& m = *entry.material;
        const auto find = [&](const std::string& name) {
            return name.empty() ? nullptr : world.FindTextureByName(name);
        };
        if (SWtexture* t = find(entry.names[0]))
            m.SetTexture(t);
        if (SWtexture* t = find(entry.names[1]))
            m.SetReflectionTexture(t);
        if (SWtexture* t = find(entry.names[2]))
            m.SetBumpTexture(t);
    }
}

// -- Backgrounds ("BGLS", one "BGDI" per definition, its texture an image record below it)

bool WriteBackgrounds(SWworldwriting& out, uint32_t rootIndex)
{
    SWrootobject* root = out.World().GetRootObject();
    const std::optional<uint32_t> list = out.AddRecord(WorldSectionTag(WorldSection::kBackgrounds), rootIndex, nullptr);
    if (!list)
        return false;
    const SWobjectlist* definitions = root->GetList(SWobjectlist::Kind::kBackgrounds);
    for (CVTN_Container* c = definitions ? definitions->GetFirstChild() : nullptr; c != nullptr;
         c = c->GetNextSibling()) {
        auto* b = dynamic_cast<SWbackground*>(c);
        if (b == nullptr)
            continue;
        const std::optional<uint32_t> index = out.AddRecord(kTagBackground, *list, [&](SWchunkstream& s) {
            s.WriteU32(b->GetColour());
            s.WriteU32(b->GetMode());
            return s.WriteU32(b->GetBackgroundFlags());
        });
        if (!index || (b->GetTexture() != nullptr && !WriteImageRecord(out, *b->GetTexture(), *index)))
            return false;
    }
    return true;
}

bool ReadBackgrounds(SWworldreading& in, uint32_t index)
{
    SWrootobject* root = in.World().GetRootObject();
    for (const uint32_t child : in.Children(index)) {
        SWworldreading::Payload payload;
        if (in.Tag(child) != kTagBackground) {
            in.Skip(child, "not a background");
            continue;
        }
        if (!in.Open(child, payload))
            continue;
        SWchunkstream& s = *payload.stream;
        const uint32_t colour = s.ReadU32();
        const uint32_t mode = s.ReadU32();
        const uint32_t flags = s.ReadU32();
        if (!Good(s)) {
            in.Skip(child, "background does not read");
            ReportDamaged("background", "BGDI");
            continue;
        }
        auto definition = std::make_unique<SWbackground>(colour);
        definition->SetMode(mode);
        definition->SetBackgroundFlags(flags);
        for (const uint32_t image : in.Children(child)) {
            if (definition->GetTexture() == nullptr) {
                if (std::unique_ptr<SWtexture> texture = ReadImageRecord(in, image))
                    definition->SetTexture(std::move(texture));
            } else {
                in.Skip(image, "a background holds one texture");
            }
        }
        if (root->GetBackground() == nullptr)
            root->SetBackground(std::move(definition));
        else
            root->GetList(SWobjectlist::Kind::kBackgrounds)->AddChild(definition.release());
    }
    return true;
}

constexpr SWworldsectionhandler kTextureSection = {.write = &WriteTextures, .read = &ReadTextures};
constexpr SWworldsectionhandler kMaterialSection = {
    .write = &WriteMaterials, .read = &ReadMaterials, .link = &LinkMaterials};
constexpr SWworldsectionhandler kBackgroundSection = {.write = &WriteBackgrounds, .read = &ReadBackgrounds};

const SWworldsectionregistration kTexturesRegistered(WorldSection::kTextures, &kTextureSection);
const SWworldsectionregistration kMaterialsRegistered(WorldSection::kMaterials, &kMaterialSection);
const SWworldsectionregistration kBackgroundsRegistered(WorldSection::kBackgrounds, &kBackgroundSection);
const bool kPictureCodecInstalled = [] {
    SetWorldPictureCodec(&kPictureCodec);
    return true;
}();

} // namespace
