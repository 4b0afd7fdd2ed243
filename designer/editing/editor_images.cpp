#include "designer/editing/editor_images.h"

#include "designer/app/designer_app.h"
#include "designer/app/registry.h"
#include "designer/editing/editor_icons.h"
#include "platform/base/gdi_constants.h"
#include "platform/base/user_constants.h"
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

int32_t Large()
{
    return pf::fixedSystemMetric(pf::SM_CXICON);
}

int32_t Small()
{
    return pf::fixedSystemMetric(pf::SM_CXSMICON);
}

// Our own drawing of the id, at both sizes.
void RegisterIcon(uint32_t id)
{
    pf::resources().addIcon(id, DrawEditorIcon(id, Large()), DrawEditorIcon(id, Small()));
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
    // The 15 bitmaps and the two drawing surfaces are never shown: the layer's generated stand-ins serve them.
    for (const Ids* ids : {&kEventIcons, &kEventIconsSecond, &kObjectIcons, &kActionIcons, &kTreeIcons, &kSceneFile,
                           &kSmallThree, &kAxes, &kSix, &kMarkers})
        for (const uint32_t id : *ids)
            RegisterIcon(id);
    pf::resources().addCursor(kDragCursor, DrawDragCursorPicture());
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
