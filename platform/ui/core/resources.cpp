#include "platform/ui/core/resources.h"

namespace pf {

namespace {

// The message box's pictures, drawn in code at any side: a red disc with a cross (hand), a blue disc with a question
// mark, a yellow triangle with an exclamation mark, a blue disc with an "i" (asterisk). Edges are sampled 4 x 4 a
// pixel, so the outline is smooth over any background.
enum class BoxIcon { kHand, kQuestion, kExclamation, kAsterisk };

std::optional<BoxIcon> boxIconOf(uint32_t id)
{
    switch (id) {
    case 32513:
        return BoxIcon::kHand;
    case 32514:
        return BoxIcon::kQuestion;
    case 32515:
        return BoxIcon::kExclamation;
    case 32516:
        return BoxIcon::kAsterisk;
    default:
        return std::nullopt;
    }
}

// 5 x 7 glyphs, one string a row.
constexpr const char* kQuestionGlyph[7] = {".###.", "#...#", "....#", "..##.", "..#..", ".....", "..#.."};
constexpr const char* kExclamationGlyph[7] = {".###.", ".###.", ".###.", "..#..", "..#..", ".....", ".###."};
constexpr const char* kInfoGlyph[7] = {"..#..", ".....", ".##..", "..#..", "..#..", "..#..", ".###."};

// Whether (u, v) in the unit square falls on a glyph drawn in the box [left, top] - [left + w, top + h].
bool onGlyph(const char* const (&glyph)[7], double u, double v, double left, double top, double w, double h)
{
    const double gx = (u - left) / w * 5;
    const double gy = (v - top) / h * 7;
    if (gx < 0 || gy < 0 || gx >= 5 || gy >= 7)
        return false;
    return glyph[static_cast<int>(gy)][static_cast<int>(gx)] == '#';
}

// The colour of one sample, 0 where the picture is transparent.
uint32_t boxIconSample(BoxIcon kind, double u, double v)
{
    constexpr uint32_t kOutline = 0xFF303030;
    if (kind == BoxIcon::kExclamation) {
        // Apex at the top middle, base along the bottom; the outline is the band just inside the edges.
        const double top = 0.06;
        const double bottom = 0.94;
        if (v < top || v > bottom)
            return 0;
        const double half = (v - top) / (bottom - top) * 0.47;
        const double off = u < 0.5 ? 0.5 - u : u - 0.5;
        if (off > half)
            return 0;
        if (off > half - 0.06 || v > bottom - 0.05)
            return kOutline;
        return onGlyph(kExclamationGlyph, u, v, 0.41, 0.32, 0.18, 0.52) ? 0xFF000000 : 0xFFFFCC00;
    }
    const double du = u - 0.5;
    const double dv = v - 0.5;
    const double r2 = du * du + dv * dv;
    if (r2 > 0.47 * 0.47)
        return 0;
    if (r2 > 0.42 * 0.42)
        return kOutline;
    const uint32_t fill = kind == BoxIcon::kHand ? 0xFFD42A2A : 0xFF2A62C8;
    bool mark = false;
    switch (kind) {
    case BoxIcon::kHand: {
        const double a = du - dv;
        const double b = du + dv;
        mark = r2 < 0.27 * 0.27 && ((a < 0.07 && a > -0.07) || (b < 0.07 && b > -0.07));
        break;
    }
    case BoxIcon::kQuestion:
        mark = onGlyph(kQuestionGlyph, u, v, 0.32, 0.2, 0.36, 0.6);
        break;
    default:
        mark = onGlyph(kInfoGlyph, u, v, 0.34, 0.2, 0.32, 0.6);
        break;
    }
    return mark ? 0xFFFFFFFF : fill;
}

IconRef boxIcon(BoxIcon kind, int32_t side)
{
    if (side < 1 || side > Icon::kMaxSide)
        return nullptr;
    constexpr int kSub = 4;
    std::vector<uint32_t> argb(static_cast<size_t>(side) * side, 0);
    for (int32_t y = 0; y < side; ++y)
        for (int32_t x = 0; x < side; ++x) {
            uint32_t r = 0;
            uint32_t g = 0;
            uint32_t b = 0;
            uint32_t a = 0;
            for (int sy = 0; sy < kSub; ++sy)
                for (int sx = 0; sx < kSub; ++sx) {
                    const uint32_t s =
                        boxIconSample(kind, (x + (sx + 0.5) / kSub) / side, (y + (sy + 0.5) / kSub) / side);
                    if (pixelAlpha(s) == 0)
                        continue;
                    r += pixelRed(s);
                    g += pixelGreen(s);
                    b += pixelBlue(s);
                    a += 255;
                }
            if (a == 0)
                continue;
            const uint32_t n = a / 255; // samples covered
            argb[static_cast<size_t>(y) * side + x] =
                makePixel(static_cast<uint8_t>(r / n), static_cast<uint8_t>(g / n), static_cast<uint8_t>(b / n),
                          static_cast<uint8_t>(a / (kSub * kSub)));
        }
    return Icon::create(side, side, std::move(argb), {});
}

} // namespace

ResourceRegistry& resources()
{
    static ResourceRegistry registry;
    return registry;
}

void ResourceRegistry::addIcon(uint32_t id, IconRef large, IconRef small)
{
    const std::lock_guard lock(m_mutex);
    m_icons[id] = {std::move(large), std::move(small)};
}

IconRef ResourceRegistry::icon(uint32_t id, int32_t side) const
{
    {
        const std::lock_guard lock(m_mutex);
        const auto it = m_icons.find(id);
        if (it != m_icons.end()) {
            const IconRef& pick = side <= 16 ? it->second.second : it->second.first;
            if (pick != nullptr)
                return pick;
        }
    }
    if (const std::optional<BoxIcon> kind = boxIconOf(id))
        return boxIcon(*kind, side);
    return generatedIcon(id, side);
}

void ResourceRegistry::addCursor(uint32_t id, IconRef picture)
{
    const std::lock_guard lock(m_mutex);
    m_cursors[id] = std::move(picture);
}

Cursor ResourceRegistry::cursor(uint32_t id) const
{
    {
        const std::lock_guard lock(m_mutex);
        const auto it = m_cursors.find(id);
        if (it != m_cursors.end() && it->second != nullptr)
            return cursorFromIcon(it->second);
    }
    const IconRef picture = generatedIcon(id, 32);
    std::vector<uint32_t> argb;
    std::vector<uint8_t> mask;
    for (int32_t y = 0; y < 32; ++y)
        for (int32_t x = 0; x < 32; ++x) {
            argb.push_back(picture->pixel(x, y));
            mask.push_back(0);
        }
    return cursorFromIcon(Icon::create(32, 32, std::move(argb), std::move(mask), {16, 16}));
}

void ResourceRegistry::addBitmap(uint32_t id, DibSectionRef bitmap)
{
    const std::lock_guard lock(m_mutex);
    m_bitmaps[id] = std::move(bitmap);
}

DibSectionRef ResourceRegistry::bitmap(uint32_t id) const
{
    {
        const std::lock_guard lock(m_mutex);
        const auto it = m_bitmaps.find(id);
        if (it != m_bitmaps.end() && it->second != nullptr)
            return it->second;
    }
    const IconRef picture = generatedIcon(id, 16);
    DibSectionRef out = DibSection::create(16, 16);
    for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 16; ++x)
            out->surface().setPixel(x, y, picture->pixel(x, y) & 0x00FFFFFFu);
    return out;
}

void ResourceRegistry::addMenu(uint32_t id, std::vector<MenuItem> items)
{
    const std::lock_guard lock(m_mutex);
    m_menus[id] = std::move(items);
}

std::optional<std::vector<MenuItem>> ResourceRegistry::menu(uint32_t id) const
{
    const std::lock_guard lock(m_mutex);
    const auto it = m_menus.find(id);
    return it == m_menus.end() ? std::nullopt : std::optional(it->second);
}

void ResourceRegistry::addAccelerators(uint32_t id, std::vector<Accelerator> table)
{
    const std::lock_guard lock(m_mutex);
    m_accelerators[id] = std::move(table);
}

std::vector<Accelerator> ResourceRegistry::accelerators(uint32_t id) const
{
    const std::lock_guard lock(m_mutex);
    const auto it = m_accelerators.find(id);
    return it == m_accelerators.end() ? std::vector<Accelerator>{} : it->second;
}

void ResourceRegistry::addToolBar(uint32_t id, std::vector<ToolBarButton> layout)
{
    const std::lock_guard lock(m_mutex);
    m_toolBars[id] = std::move(layout);
}

std::vector<ToolBarButton> ResourceRegistry::toolBar(uint32_t id) const
{
    const std::lock_guard lock(m_mutex);
    const auto it = m_toolBars.find(id);
    return it == m_toolBars.end() ? std::vector<ToolBarButton>{} : it->second;
}

void ResourceRegistry::addString(uint32_t id, std::string text)
{
    const std::lock_guard lock(m_mutex);
    m_strings[id] = std::move(text);
}

std::optional<std::string> ResourceRegistry::string(uint32_t id) const
{
    const std::lock_guard lock(m_mutex);
    const auto it = m_strings.find(id);
    return it == m_strings.end() ? std::nullopt : std::optional(it->second);
}

void ResourceRegistry::addDialog(DialogTemplate dialog)
{
    const std::lock_guard lock(m_mutex);
    const int32_t idd = dialog.idd;
    m_dialogs[idd] = std::move(dialog);
}

std::optional<DialogTemplate> ResourceRegistry::dialog(int32_t idd) const
{
    const std::lock_guard lock(m_mutex);
    const auto it = m_dialogs.find(idd);
    return it == m_dialogs.end() ? std::nullopt : std::optional(it->second);
}

std::vector<int32_t> ResourceRegistry::dialogIds() const
{
    const std::lock_guard lock(m_mutex);
    std::vector<int32_t> ids;
    for (const auto& [idd, dialog] : m_dialogs)
        ids.push_back(idd);
    return ids;
}

} // namespace pf
