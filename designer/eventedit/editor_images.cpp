#include "designer/eventedit/editor_images.h"

#include <string>

#include "designer/app/designer_app.h"
#include "designer/app/registry.h"
#include "platform/base/gdi_constants.h"
#include "platform/base/user_constants.h"
#include "platform/gfx/dc.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/gfx/text/font.h"
#include "platform/ui/core/resources.h"
#include "platform/ui/core/ui.h"

namespace {

using Ids = std::vector<uint32_t>;

const Ids kBitmaps = {317, 318, 319, 320, 321, 322, 323, 336, 326, 327, 328, 329, 330, 331, 332};
const Ids kObjectIcons = {158, 174, 229, 272, 287, 295, 294, 426, 429, 445,
                          450, 458, 466, 468, 473, 523, 147, 205, 207, 284};
const Ids kEventIcons = {342, 149, 226, 151, 233, 234, 140, 178, 199, 201, 297, 301};
const Ids kEventIconsSecond = {342, 149, 171, 152, 257, 258, 165, 179, 200, 202, 298, 303};
const Ids kActionIcons = {158, 142, 143, 144, 145, 146, 159, 160, 161, 162, 163, 166, 168, 169, 172,
                          173, 183, 190, 191, 208, 209, 211, 212, 220, 251, 253, 254, 274, 273, 276,
                          275, 277, 304, 337, 355, 377, 440, 438, 441, 442, 463, 464, 467, 476, 188};
// The scene-graph tree: the object icons in object order, then the panel's four of its own; the last is the small
// overlay mark.
const Ids kTreeIcons = {158, 174, 229, 272, 287, 295, 294, 426, 429, 445, 450, 458,
                        466, 468, 473, 523, 147, 205, 207, 284, 523, 450, 294, 356};
const Ids kSceneFile = {498};
const Ids kSmallThree = {296, 299, 300};
const Ids kAxes = {305, 306, 307, 356};
const Ids kSix = {359, 373, 371, 372, 374, 358};
const Ids kMarkers = {362, 363, 364, 365, 366, 367, 368, 369, 370};
constexpr uint32_t kDcBitmaps[2] = {347, 354};

// Event types in the order of the event icons.
constexpr uint32_t kEventTypeAtIndex[12] = {0, 1, 4, 5, 7, 6, 16, 17, 19, 20, 3, 2};
const char* const kObjectRoles[20] = {"Msh", "Snd", "Cam", "f(x)", "Jv", "Obj", "Rt",  "Cur", "Prt", "Mat",
                                      "Grp", "11",  "Wld", "13",   "14", "HS",  "Tex", "Cm2", "Scr", "19"};

constexpr int32_t kSmallestTextHeight = 6; // pixels: below it the glyphs no longer read

struct Role {
    std::string text;
    uint32_t tint;
};

int32_t Large()
{
    return pf::fixedSystemMetric(pf::SM_CXICON);
}

int32_t Small()
{
    return pf::fixedSystemMetric(pf::SM_CXSMICON);
}

// A tile of the role's colour with its text, drawn through our own text path so it reads at both sizes.
pf::IconRef RoleIcon(const Role& role, int32_t side)
{
    pf::DibSectionRef dib = pf::DibSection::create(side, side);
    if (dib == nullptr)
        return nullptr;
    pf::MemoryDc dc;
    dc.select(dib);
    dc.fillRect({0, 0, side, side}, pf::createSolidBrush(role.tint));
    dc.fillRect({1, 1, side - 1, side - 1}, pf::createSolidBrush(role.tint | 0x404040));
    dc.setBkMode(pf::TRANSPARENT);
    dc.setTextColor(pf::rgb(0, 0, 0));
    dc.selectObject(pf::getStockObject(pf::DEFAULT_GUI_FONT));
    pf::Size extent = dc.getTextExtent(role.text);
    // A small tile takes a smaller face until the text fits, so that "a10" does not read as "a1".
    for (int32_t height = 10; height >= kSmallestTextHeight && extent.cx > side - 2; --height) {
        pf::LogFont request;
        request.height = -height;
        dc.selectFont(pf::createFontIndirect(request));
        extent = dc.getTextExtent(role.text);
    }
    dc.textOut((side - static_cast<int32_t>(extent.cx)) / 2, (side - static_cast<int32_t>(extent.cy)) / 2, role.text);
    std::vector<uint32_t> argb(static_cast<size_t>(side) * side);
    const pf::Surface32& s = dib->surface();
    for (int32_t y = 0; y < side; ++y)
        for (int32_t x = 0; x < side; ++x)
            argb[static_cast<size_t>(y) * side + x] = 0xFF000000u | (s.pixel(x, y) & 0xFFFFFF);
    return pf::Icon::create(side, side, std::move(argb), std::vector<uint8_t>(argb.size(), 0));
}

void RegisterIcon(uint32_t id, const Role& role)
{
    pf::resources().addIcon(id, RoleIcon(role, Large()), RoleIcon(role, Small()));
}

void RegisterList(const Ids& ids, const std::string& prefix, uint32_t tint)
{
    for (size_t i = 0; i < ids.size(); ++i)
        RegisterIcon(ids[i], {prefix + std::to_string(i), tint});
}

pf::ImageListRef MakeList(const Ids& ids, int32_t side, int32_t initial, std::vector<pf::IconRef>& icons,
                          std::vector<int32_t>* indices = nullptr)
{
    pf::ImageListRef list = pf::ImageList::create(side, side, pf::ILC_COLOR32 | pf::ILC_MASK, initial, 0);
    for (const uint32_t id : ids) {
        pf::IconRef icon = pf::resources().icon(id, side);
        icons.push_back(icon);
        const int32_t index = icon != nullptr ? list->addIcon(*icon) : -1;
        if (indices != nullptr)
            indices->push_back(index);
    }
    return list;
}

bool g_registered = false;

} // namespace

void CVTND_EditorImages::RegisterPictures()
{
    if (g_registered)
        return;
    g_registered = true;
    for (size_t i = 0; i < std::size(kEventTypeAtIndex); ++i) {
        const std::string type = "E" + std::to_string(kEventTypeAtIndex[i]);
        RegisterIcon(kEventIcons[i], {type, pf::rgb(96, 128, 224)});
        if (kEventIconsSecond[i] != kEventIcons[i])
            RegisterIcon(kEventIconsSecond[i], {type, pf::rgb(160, 160, 160)});
    }
    for (size_t i = 0; i < kObjectIcons.size(); ++i)
        RegisterIcon(kObjectIcons[i], {kObjectRoles[i], pf::rgb(224, 160, 64)});
    // Icon 158 is the mesh in both the object and the action list; the object role wins.
    for (size_t i = 1; i < kActionIcons.size(); ++i)
        RegisterIcon(kActionIcons[i], {"a" + std::to_string(i), pf::rgb(96, 192, 96)});
    RegisterIcon(356, {"S", pf::rgb(192, 96, 192)});
    RegisterIcon(498, {"vtn", pf::rgb(192, 192, 96)});
    RegisterList(kSmallThree, "s", pf::rgb(192, 192, 96));
    const char* const axes[3] = {"X", "Y", "Z"};
    for (size_t i = 0; i < 3; ++i)
        RegisterIcon(kAxes[i], {axes[i], pf::rgb(192, 96, 192)});
    RegisterList(kSix, "v", pf::rgb(96, 192, 192));
    RegisterList(kMarkers, "m", pf::rgb(224, 96, 96));
    for (size_t i = 0; i < kBitmaps.size(); ++i) {
        pf::IconRef picture = RoleIcon({"b" + std::to_string(i), pf::rgb(200, 200, 200)}, 16);
        pf::DibSectionRef dib = pf::DibSection::create(16, 16);
        for (int32_t y = 0; y < 16; ++y)
            for (int32_t x = 0; x < 16; ++x)
                dib->surface().setPixel(x, y, picture->pixel(x, y));
        pf::resources().addBitmap(kBitmaps[i], dib);
    }
    std::vector<uint32_t> arrow(32 * 32, 0);
    std::vector<uint8_t> mask(32 * 32, 1);
    // Two stacked sheets: several objects on the move.
    for (int32_t sheet = 0; sheet < 2; ++sheet) {
        const int32_t o = sheet * 6;
        for (int32_t y = 2 + o; y < 18 + o; ++y)
            for (int32_t x = 2 + o; x < 18 + o; ++x) {
                const bool edge = x == 2 + o || x == 17 + o || y == 2 + o || y == 17 + o;
                arrow[static_cast<size_t>(y) * 32 + x] = edge ? 0xFF000000u : 0xFFFFFFFFu;
                mask[static_cast<size_t>(y) * 32 + x] = 0;
            }
    }
    pf::resources().addCursor(kDragCursor, pf::Icon::create(32, 32, std::move(arrow), std::move(mask), {2, 2}));
}

const std::vector<uint32_t>& CVTND_EditorImages::IdsOf(EditorImageList which)
{
    switch (which) {
    case EditorImageList::kEvents:
        return kEventIcons;
    case EditorImageList::kEventsSecond:
        return kEventIconsSecond;
    case EditorImageList::kObjects:
    case EditorImageList::kObjectsSecond:
        return kObjectIcons;
    case EditorImageList::kSmallActions:
    case EditorImageList::kLargeActions:
        return kActionIcons;
    case EditorImageList::kTree:
        return kTreeIcons;
    case EditorImageList::kSceneFile:
        return kSceneFile;
    case EditorImageList::kSmallThree:
        return kSmallThree;
    case EditorImageList::kAxes:
        return kAxes;
    case EditorImageList::kSix:
        return kSix;
    case EditorImageList::kMarkers:
    case EditorImageList::kCount:
        break;
    }
    return kMarkers;
}

CVTND_EditorImages::CVTND_EditorImages()
{
    RegisterPictures();
    auto& lists = m_lists;
    const auto at = [&](EditorImageList which) -> pf::ImageListRef& { return lists[static_cast<size_t>(which)]; };
    at(EditorImageList::kEvents) = MakeList(kEventIcons, Large(), 22, m_icons);
    at(EditorImageList::kEventsSecond) = MakeList(kEventIconsSecond, Large(), 22, m_icons);
    at(EditorImageList::kObjects) = MakeList(kObjectIcons, Large(), 20, m_icons);
    at(EditorImageList::kSmallActions) = MakeList(kActionIcons, Small(), 50, m_icons);
    at(EditorImageList::kLargeActions) = MakeList(kActionIcons, Large(), 50, m_icons);
    at(EditorImageList::kObjectsSecond) = MakeList(kObjectIcons, Large(), 20, m_icons);
    at(EditorImageList::kTree) = MakeList(kTreeIcons, Small(), 25, m_icons, &m_treeIndices);
    at(EditorImageList::kTree)->setOverlayImage(kTreeOverlayImage, 1);
    std::vector<int32_t> sceneFile;
    at(EditorImageList::kSceneFile) = MakeList(kSceneFile, Small(), 1, m_icons, &sceneFile);
    m_sceneFileIndex = sceneFile.front();
    at(EditorImageList::kSmallThree) = MakeList(kSmallThree, Small(), 3, m_icons);
    at(EditorImageList::kSmallThree)->setBkColor(pf::CLR_NONE);
    at(EditorImageList::kAxes) = MakeList(kAxes, Small(), 4, m_icons);
    at(EditorImageList::kAxes)->setBkColor(pf::CLR_NONE);
    at(EditorImageList::kSix) = MakeList(kSix, Large(), 6, m_icons);
    at(EditorImageList::kSix)->setBkColor(pf::CLR_NONE);
    at(EditorImageList::kMarkers) = MakeList(kMarkers, Small(), 9, m_icons, &m_markerIndices);
    for (const uint32_t id : kBitmaps)
        m_bitmaps.push_back(pf::resources().bitmap(id));
    m_dragCursor = pf::resources().cursor(kDragCursor);
    for (size_t i = 0; i < m_memoryDcs.size(); ++i)
        m_memoryDcs[i].select(pf::resources().bitmap(kDcBitmaps[i]));
}

CVTND_EditorImages::~CVTND_EditorImages() = default;

pf::ImageListRef CVTND_EditorImages::ListOf(EdImageList which) const
{
    switch (which) {
    case EdImageList::kObjects:
        return List(EditorImageList::kObjects);
    case EdImageList::kEvents:
        return List(EditorImageList::kEvents);
    case EdImageList::kDisabledEvents:
        return List(EditorImageList::kEventsSecond);
    case EdImageList::kSmallActions:
        return List(EditorImageList::kSmallActions);
    case EdImageList::kLargeActions:
        return List(EditorImageList::kLargeActions);
    case EdImageList::kNone:
        break;
    }
    return nullptr;
}

pf::IconRef CVTND_EditorImages::ObjectIcon(int32_t index) const
{
    const pf::ImageListRef& objects = List(EditorImageList::kObjects);
    return objects != nullptr ? objects->getIcon(index) : nullptr;
}

CVTND_EditorImages* GetEditorImages()
{
    CVTNDesignerApp* app = GetDesignerApp();
    return app != nullptr ? dynamic_cast<CVTND_EditorImages*>(app->GetEditorImages()) : nullptr;
}

namespace {

std::unique_ptr<CVTND_AppComponent> CreateEditorImages()
{
    return std::make_unique<CVTND_EditorImages>();
}

const CVTND_EditorImagesRegistration kImagesCreator(&CreateEditorImages);

} // namespace
