#include "platform/gfx/text/freetype_font_engine.h"

#include "platform/base/gdi_constants.h"
#include "platform/gfx/text/fixed_font_engine.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SIZES_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <tuple>

namespace pf {

namespace {

// Caches are dropped, not trimmed, when they reach these sizes: a rare refill is cheaper than bookkeeping.
constexpr size_t kMaxGlyphsPerFace = 4096;
constexpr size_t kMaxGlyphBytesPerFace = size_t{16} << 20; // large sizes fill a face's cache in bytes first
constexpr size_t kMaxSizedFaces = 256;
constexpr size_t kMaxFallbackEntries = 4096;

struct FaceFile {
    std::string path;
    int index = 0;
    friend auto operator<=>(const FaceFile&, const FaceFile&) = default;
};

struct FontMatch {
    FaceFile file;
    std::string family;
    int weight = FC_WEIGHT_REGULAR;
    int slant = FC_SLANT_ROMAN;
};

struct SizedFaceKey {
    FaceFile file;
    int32_t characterHeight = 0;
    bool embolden = false;
    bool oblique = false;
    friend auto operator<=>(const SizedFaceKey&, const SizedFaceKey&) = default;
};

class FreeTypeFace;

// Everything FreeType and fontconfig: one library, one lock. Never destroyed, because fonts held in static
// objects may be released after any destruction order would have torn it down.
class FreeTypeContext {
public:
    static FreeTypeContext& instance();

    std::recursive_mutex mutex; // recursive: a face released while the lock is held destroys its size under it

    bool readyLocked();
    std::optional<FontMatch> matchLocked(const std::string& family, bool bold, bool italic);
    std::optional<FaceFile> fallbackFileLocked(char32_t codePoint);
    FT_Face openLocked(const FaceFile& file);
    std::shared_ptr<FreeTypeFace> sizedFaceLocked(const SizedFaceKey& key, const LogFont& request);

private:
    FreeTypeContext() = default;
    static void finishFontconfig();

    bool m_triedInit = false;
    bool m_finished = false; // after exit began: no more matching
    FT_Library m_library = nullptr;
    std::map<FaceFile, FT_Face> m_faces; // opened once, kept for the process
    std::map<SizedFaceKey, std::shared_ptr<FreeTypeFace>> m_sized;
    std::map<char32_t, std::optional<FaceFile>> m_fallbacks;
    // fontconfig's answer for each family, weight and slant, asked once: a match weighs every installed font, and
    // text is drawn through a font made again for each label (the stock GUI font is one of them).
    std::map<std::tuple<std::string, bool, bool>, std::optional<FontMatch>> m_matches;
};

int32_t scaleUp(int64_t units, int32_t height, int64_t unitsPerEm) // ceil(units * height / em), units >= 0
{
    return static_cast<int32_t>((std::max<int64_t>(units, 0) * height + unitsPerEm - 1) / unitsPerEm);
}

int32_t scaleRound(int64_t units, int32_t height, int64_t unitsPerEm)
{
    return static_cast<int32_t>(std::lround(static_cast<double>(units) * height / static_cast<double>(unitsPerEm)));
}

int32_t characterHeightFor(const LogFont& request, FT_Face face)
{
    if (request.height < 0)
        return static_cast<int32_t>(std::min<int64_t>(-int64_t{request.height}, kMaxCharacterHeight));
    if (request.height == 0)
        return kDefaultCharacterHeight;
    // A cell height: the largest character height whose ascent + descent fits in it.
    const int64_t em = face->units_per_EM;
    int32_t h = 1;
    while (h < kMaxCharacterHeight &&
           scaleUp(face->ascender, h + 1, em) + scaleUp(-int64_t{face->descender}, h + 1, em) <= request.height)
        ++h;
    return h;
}

GlyphImage copyBitmap(const FT_GlyphSlot slot)
{
    const FT_Bitmap& bitmap = slot->bitmap;
    GlyphImage g;
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.width = static_cast<int32_t>(bitmap.width);
    g.height = static_cast<int32_t>(bitmap.rows);
    g.advance = static_cast<int32_t>((slot->advance.x + 32) >> 6);
    g.coverage.assign(static_cast<size_t>(g.width) * static_cast<size_t>(g.height), 0);
    const int pitch = bitmap.pitch < 0 ? -bitmap.pitch : bitmap.pitch;
    for (int32_t y = 0; y < g.height; ++y) {
        const unsigned char* row = bitmap.buffer + static_cast<ptrdiff_t>(y) * pitch;
        uint8_t* out = g.coverage.data() + static_cast<size_t>(y) * static_cast<size_t>(g.width);
        for (int32_t x = 0; x < g.width; ++x) {
            if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
                out[x] = (row[x >> 3] & (0x80 >> (x & 7))) != 0 ? 255 : 0;
            else if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY)
                out[x] = row[x];
        }
    }
    return g;
}

class FreeTypeFace : public FontFace {
public:
    FreeTypeFace(FreeTypeContext& context, const SizedFaceKey& key, FT_Face face, FT_Size size, std::string family)
        : m_context(context), m_key(key), m_face(face), m_size(size), m_family(std::move(family))
    {
    }
    ~FreeTypeFace() override
    {
        const std::lock_guard lock(m_context.mutex);
        FT_Done_Size(m_size);
    }

    void computeMetricsLocked(const LogFont& request);

    const TextMetrics& metrics() const override { return m_metrics; }
    TextDecorations decorations() const override { return m_decorations; }
    std::string familyName() const override { return m_family; }
    int32_t characterHeight() const override { return m_key.characterHeight; }
    std::shared_ptr<const GlyphImage> glyph(char32_t codePoint, bool mono) const override
    {
        const std::lock_guard lock(m_context.mutex);
        return glyphLocked(codePoint, mono);
    }

    std::shared_ptr<const GlyphImage> glyphLocked(char32_t codePoint, bool mono) const;
    bool hasGlyphLocked(char32_t codePoint) const { return FT_Get_Char_Index(m_face, codePoint) != 0; }

private:
    std::shared_ptr<const GlyphImage> renderLocked(FT_UInt index, bool mono) const;

    FreeTypeContext& m_context;
    SizedFaceKey m_key;
    FT_Face m_face; // owned by the context
    FT_Size m_size; // ours
    std::string m_family;
    TextMetrics m_metrics;
    TextDecorations m_decorations;
    mutable std::map<std::pair<char32_t, bool>, std::shared_ptr<const GlyphImage>> m_glyphs;
    mutable size_t m_glyphBytes = 0;
};

std::shared_ptr<const GlyphImage> FreeTypeFace::glyphLocked(char32_t codePoint, bool mono) const
{
    const auto key = std::make_pair(codePoint, mono);
    if (const auto found = m_glyphs.find(key); found != m_glyphs.end())
        return found->second;
    std::shared_ptr<const GlyphImage> image;
    FT_UInt index = FT_Get_Char_Index(m_face, codePoint);
    if (index == 0) {
        // Missing here: a face that has it at the same size and style, else the replacement mark, else .notdef.
        const std::optional<FaceFile> other = m_context.fallbackFileLocked(codePoint);
        if (other && *other != m_key.file) {
            SizedFaceKey otherKey = m_key;
            otherKey.file = *other;
            LogFont plain;
            plain.height = -m_key.characterHeight;
            if (const std::shared_ptr<FreeTypeFace> face = m_context.sizedFaceLocked(otherKey, plain);
                face != nullptr && face->hasGlyphLocked(codePoint))
                image = face->glyphLocked(codePoint, mono);
        }
        if (image == nullptr)
            index = FT_Get_Char_Index(m_face, 0xFFFD);
    }
    if (image == nullptr)
        image = renderLocked(index, mono);
    if (m_glyphs.size() >= kMaxGlyphsPerFace || m_glyphBytes >= kMaxGlyphBytesPerFace) {
        m_glyphs.clear();
        m_glyphBytes = 0;
    }
    m_glyphs.emplace(key, image);
    m_glyphBytes += image->coverage.size();
    return image;
}

std::shared_ptr<const GlyphImage> FreeTypeFace::renderLocked(FT_UInt index, bool mono) const
{
    FT_Activate_Size(m_size);
    const FT_Int32 flags = FT_LOAD_NO_BITMAP | (mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
    if (FT_Load_Glyph(m_face, index, flags) != 0)
        return std::make_shared<const GlyphImage>();
    const FT_GlyphSlot slot = m_face->glyph;
    if (m_key.embolden)
        FT_GlyphSlot_Embolden(slot);
    if (m_key.oblique)
        FT_GlyphSlot_Oblique(slot);
    if (FT_Render_Glyph(slot, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0)
        return std::make_shared<const GlyphImage>();
    return std::make_shared<const GlyphImage>(copyBitmap(slot));
}

void FreeTypeFace::computeMetricsLocked(const LogFont& request)
{
    const int64_t em = m_face->units_per_EM;
    const int32_t h = m_key.characterHeight;
    TextMetrics& m = m_metrics;
    m.tmAscent = scaleUp(m_face->ascender, h, em);
    m.tmDescent = std::max(scaleUp(-int64_t{m_face->descender}, h, em), h - m.tmAscent);
    m.tmHeight = m.tmAscent + m.tmDescent;
    m.tmInternalLeading = m.tmHeight - h; // so tmHeight - tmInternalLeading is the character height exactly
    const int64_t lineGap = int64_t{m_face->height} - m_face->ascender + m_face->descender;
    m.tmExternalLeading = std::max(0, scaleRound(lineGap, h, em));
    m.tmAveCharWidth = glyphLocked(U'x', false)->advance;
    m.tmMaxCharWidth = scaleUp(m_face->max_advance_width, h, em) + (m_key.embolden ? (h + 23) / 24 : 0);
    m.tmWeight = request.weight == 0 ? FW_NORMAL : request.weight;
    m.tmItalic = request.italic != 0;
    m.tmUnderlined = request.underline != 0;
    m.tmStruckOut = request.strikeOut != 0;
    // The slant's extra width, so that extent + overhang holds slanted glyphs.
    m.tmOverhang = request.italic != 0 ? static_cast<int32_t>(std::lround(0.21 * m.tmAscent)) : 0;
    m.tmPitchAndFamily = static_cast<uint8_t>(TMPF_VECTOR | TMPF_TRUETYPE | (request.pitchAndFamily & 0xF0));

    TextDecorations& d = m_decorations;
    d.underlineThickness = std::max(1, scaleRound(m_face->underline_thickness, h, em));
    const double underlineCentre = -static_cast<double>(m_face->underline_position) * h / static_cast<double>(em);
    d.underlineTop = static_cast<int32_t>(std::lround(underlineCentre - d.underlineThickness / 2.0));
    d.underlineTop = std::max(0, std::min(d.underlineTop, m.tmDescent - d.underlineThickness));
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(m_face, FT_SFNT_OS2));
    const int64_t strikePosition = os2 != nullptr ? os2->yStrikeoutPosition : m_face->ascender * 3 / 10;
    const int64_t strikeSize = os2 != nullptr ? os2->yStrikeoutSize : m_face->underline_thickness;
    d.strikeoutThickness = std::max(1, scaleRound(strikeSize, h, em));
    d.strikeoutTop = -std::max(1, scaleRound(strikePosition, h, em));
}

FreeTypeContext& FreeTypeContext::instance()
{
    alignas(FreeTypeContext) static unsigned char storage[sizeof(FreeTypeContext)];
    static FreeTypeContext* const context = ::new (storage) FreeTypeContext();
    return *context;
}

bool FreeTypeContext::readyLocked()
{
    if (!m_triedInit) {
        m_triedInit = true;
        if (FcInit() == FcFalse || FT_Init_FreeType(&m_library) != 0)
            m_library = nullptr;
        else
            std::atexit(finishFontconfig); // fontconfig frees its parsed configuration only when told to
    }
    return m_library != nullptr && !m_finished;
}

void FreeTypeContext::finishFontconfig()
{
    FreeTypeContext& context = instance();
    const std::lock_guard lock(context.mutex);
    context.m_finished = true;
    FcFini();
}

std::optional<FontMatch> FreeTypeContext::matchLocked(const std::string& family, bool bold, bool italic)
{
    auto key = std::make_tuple(family, bold, italic);
    if (const auto found = m_matches.find(key); found != m_matches.end())
        return found->second;
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr)
        return std::nullopt;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* const match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr)
        return std::nullopt;
    std::optional<FontMatch> out;
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr) {
        out.emplace();
        out->file.path = reinterpret_cast<const char*>(file);
        FcPatternGetInteger(match, FC_INDEX, 0, &out->file.index);
        FcPatternGetInteger(match, FC_WEIGHT, 0, &out->weight);
        FcPatternGetInteger(match, FC_SLANT, 0, &out->slant);
        FcChar8* name = nullptr;
        if (FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch && name != nullptr)
            out->family = reinterpret_cast<const char*>(name);
    }
    FcPatternDestroy(match);
    m_matches.emplace(std::move(key), out);
    return out;
}

std::optional<FaceFile> FreeTypeContext::fallbackFileLocked(char32_t codePoint)
{
    if (const auto found = m_fallbacks.find(codePoint); found != m_fallbacks.end())
        return found->second;
    if (m_finished)
        return std::nullopt;
    std::optional<FaceFile> answer;
    FcPattern* pattern = FcPatternCreate();
    FcCharSet* wanted = FcCharSetCreate();
    if (pattern != nullptr && wanted != nullptr) {
        FcCharSetAddChar(wanted, codePoint);
        FcPatternAddCharSet(pattern, FC_CHARSET, wanted);
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
        FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        if (FcPattern* const match = FcFontMatch(nullptr, pattern, &result)) {
            FcCharSet* has = nullptr;
            FcChar8* file = nullptr;
            if (FcPatternGetCharSet(match, FC_CHARSET, 0, &has) == FcResultMatch && FcCharSetHasChar(has, codePoint) &&
                FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr) {
                answer = FaceFile{reinterpret_cast<const char*>(file), 0};
                FcPatternGetInteger(match, FC_INDEX, 0, &answer->index);
            }
            FcPatternDestroy(match);
        }
    }
    if (wanted != nullptr)
        FcCharSetDestroy(wanted);
    if (pattern != nullptr)
        FcPatternDestroy(pattern);
    if (m_fallbacks.size() >= kMaxFallbackEntries)
        m_fallbacks.clear();
    m_fallbacks.emplace(codePoint, answer);
    return answer;
}

FT_Face FreeTypeContext::openLocked(const FaceFile& file)
{
    if (const auto found = m_faces.find(file); found != m_faces.end())
        return found->second;
    FT_Face face = nullptr;
    if (FT_New_Face(m_library, file.path.c_str(), file.index, &face) != 0)
        face = nullptr;
    if (face != nullptr && (!FT_IS_SCALABLE(face) || face->units_per_EM == 0)) {
        FT_Done_Face(face); // bitmap-only faces cannot take arbitrary character heights
        face = nullptr;
    }
    if (face != nullptr)
        FT_Select_Charmap(face, FT_ENCODING_UNICODE);
    m_faces.emplace(file, face); // failures are remembered too, so a broken file is tried once
    return face;
}

std::shared_ptr<FreeTypeFace> FreeTypeContext::sizedFaceLocked(const SizedFaceKey& key, const LogFont& request)
{
    if (const auto found = m_sized.find(key); found != m_sized.end())
        return found->second;
    const FT_Face face = openLocked(key.file);
    if (face == nullptr)
        return nullptr;
    FT_Size size = nullptr;
    if (FT_New_Size(face, &size) != 0)
        return nullptr;
    FT_Activate_Size(size);
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(key.characterHeight)) != 0) {
        FT_Done_Size(size);
        return nullptr;
    }
    auto sized = std::make_shared<FreeTypeFace>(*this, key, face, size, face->family_name ? face->family_name : "");
    sized->computeMetricsLocked(request);
    if (m_sized.size() >= kMaxSizedFaces)
        m_sized.clear();
    m_sized.emplace(key, sized);
    return sized;
}

// The request's metrics differ from the cached face's only in the fields taken from the request itself.
class RequestedFace : public FontFace {
public:
    RequestedFace(std::shared_ptr<FreeTypeFace> sized, const LogFont& request) : m_sized(std::move(sized))
    {
        m_metrics = m_sized->metrics();
        m_metrics.tmWeight = request.weight == 0 ? FW_NORMAL : request.weight;
        m_metrics.tmItalic = request.italic != 0;
        m_metrics.tmUnderlined = request.underline != 0;
        m_metrics.tmStruckOut = request.strikeOut != 0;
        m_metrics.tmOverhang = request.italic != 0 ? static_cast<int32_t>(std::lround(0.21 * m_metrics.tmAscent)) : 0;
        m_metrics.tmPitchAndFamily =
            static_cast<uint8_t>(TMPF_VECTOR | TMPF_TRUETYPE | (request.pitchAndFamily & 0xF0));
    }
    const TextMetrics& metrics() const override { return m_metrics; }
    TextDecorations decorations() const override { return m_sized->decorations(); }
    std::string familyName() const override { return m_sized->familyName(); }
    int32_t characterHeight() const override { return m_sized->characterHeight(); }
    std::shared_ptr<const GlyphImage> glyph(char32_t codePoint, bool mono) const override
    {
        return m_sized->glyph(codePoint, mono);
    }

private:
    std::shared_ptr<FreeTypeFace> m_sized;
    TextMetrics m_metrics;
};

std::string requestedFamily(const LogFont& request)
{
    const std::string face(request.face, strnlen(request.face, sizeof(request.face)));
    return face.empty() ? "sans-serif" : face;
}

} // namespace

std::shared_ptr<const FontFace> FreeTypeFontEngine::resolve(const LogFont& request)
{
    FreeTypeContext& context = FreeTypeContext::instance();
    const bool bold = request.weight >= 600;
    const bool italic = request.italic != 0;
    std::shared_ptr<FreeTypeFace> sized;
    {
        const std::lock_guard lock(context.mutex);
        if (!context.readyLocked())
            return makeFixedFace(request);
        for (const std::string& family : {requestedFamily(request), std::string("sans-serif")}) {
            const std::optional<FontMatch> match = context.matchLocked(family, bold, italic);
            if (!match)
                continue;
            const FT_Face face = context.openLocked(match->file);
            if (face == nullptr)
                continue;
            SizedFaceKey key;
            key.file = match->file;
            key.characterHeight = characterHeightFor(request, face);
            key.embolden = bold && match->weight < FC_WEIGHT_DEMIBOLD;
            key.oblique = italic && match->slant == FC_SLANT_ROMAN;
            sized = context.sizedFaceLocked(key, request);
            if (sized != nullptr)
                break;
        }
    }
    if (sized == nullptr)
        return makeFixedFace(request);
    return std::make_shared<RequestedFace>(std::move(sized), request);
}

std::optional<std::string> matchFontFile(const std::string& family, bool bold, bool italic)
{
    FreeTypeContext& context = FreeTypeContext::instance();
    const std::lock_guard lock(context.mutex);
    if (!context.readyLocked())
        return std::nullopt;
    const std::optional<FontMatch> match = context.matchLocked(family, bold, italic);
    if (!match)
        return std::nullopt;
    return match->file.path;
}

std::vector<std::string> fontFamilies()
{
    FreeTypeContext& context = FreeTypeContext::instance();
    const std::lock_guard lock(context.mutex);
    if (!context.readyLocked())
        return {};
    std::set<std::string> names;
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* wanted = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* found = pattern != nullptr && wanted != nullptr ? FcFontList(nullptr, pattern, wanted) : nullptr;
    for (int i = 0; found != nullptr && i < found->nfont; ++i) {
        FcChar8* name = nullptr;
        if (FcPatternGetString(found->fonts[i], FC_FAMILY, 0, &name) == FcResultMatch && name != nullptr)
            names.insert(reinterpret_cast<const char*>(name));
    }
    if (found != nullptr)
        FcFontSetDestroy(found);
    if (wanted != nullptr)
        FcObjectSetDestroy(wanted);
    if (pattern != nullptr)
        FcPatternDestroy(pattern);
    return {names.begin(), names.end()};
}

} // namespace pf
