#include "designer/eventedit/load_world_dlg.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "designer/app/designer_app.h"
#include "designer/app/node_placement.h"
#include "designer/app/notification.h"
#include "designer/app/skipped_records.h"
#include "designer/app/user_message.h"
#include "designer/app/world_write_lock.h"
#include "designer/editing/editor_engine.h"
#include "designer/editing/picker_receptors.h"
#include "designer/eventedit/text_action_editors.h"
#include "designer/workspace/manipulate_dlg.h"
#include "designer/workspace/movable_target_picker.h"
#include "engine/behaviour/action_settings.h"
#include "engine/core/bbox.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/scene_import.h"
#include "engine/core/sub_world_loader.h"
#include "engine/core/sub_worlds.h"
#include "engine/core/world.h"
#include "platform/base/user_constants.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/core/resources.h"

namespace {

const CVTND_EditorRegistration kLoadWorldEditor(ObjectType::kAction, 54, &MakeActionEditor<CVTND_ActionLoadVTODlg>);

// The import flag bits, bit 0 first, and the boxes that show them.
constexpr int32_t kImportBoxes[] = {1187, 1188, 1193, 1194, 1195, 1196, 1426, 1427, 1428, 1429, 1430, 1431, 1432, 1433};

SWimportvtoactionnode* LoadActionOf(SWactionnode* action)
{
    return dynamic_cast<SWimportvtoactionnode*>(action);
}

CVTND_ManipulateDlg* ManipulatePanel()
{
    CVTNDesignerApp* app = GetDesignerApp();
    return app != nullptr ? dynamic_cast<CVTND_ManipulateDlg*>(app->GetPanel(PanelRole::kManipulate)) : nullptr;
}

// The button's picture, drawn as a person reads a disabled button's face when it is off: grey and faint.
pf::IconRef ButtonPicture(uint32_t id, bool on)
{
    pf::IconRef icon = pf::resources().icon(id, 16);
    if (on || icon == nullptr)
        return icon;
    const int32_t w = icon->width();
    const int32_t h = icon->height();
    std::vector<uint32_t> argb(static_cast<size_t>(w) * h);
    std::vector<uint8_t> mask(argb.size());
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            const uint32_t p = icon->pixel(x, y);
            const uint32_t grey = (((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF)) / 3;
            const uint32_t faint = 0x80 + grey / 2;
            argb[static_cast<size_t>(y) * w + x] = (p & 0xFF000000u) | faint << 16 | faint << 8 | faint;
            mask[static_cast<size_t>(y) * w + x] = icon->isTransparentAt(x, y) ? 1 : 0;
        }
    }
    return pf::Icon::create(w, h, std::move(argb), std::move(mask));
}

// An instance's top node is a group by its flags, which the manipulate panel would refuse; it is placed as the
// object node it is.
CVTND_Object PlacedTop(SWobjectnode* top)
{
    return CVTND_Object(static_cast<uint16_t>(ObjectType::kObjectNode), static_cast<SWnode*>(top));
}

float LargestHalfExtent(const SWbbox& box)
{
    if (box.IsEmpty())
        return 0.0f;
    const auto& e = box.Extents();
    return std::max({(e[1] - e[0]) * 0.5f, (e[3] - e[2]) * 0.5f, (e[5] - e[4]) * 0.5f});
}

} // namespace

bool CVTND_ActionLoadVTODlg::onInitDialog()
{
    const SWimportvtoactionnode* action = LoadActionOf(Action());
    if (action == nullptr)
        return true;
    if (auto* picker = item<CVTND_MovableTargetPicker>(kIdPicker))
        picker->EnableDrop();
    const auto flags = static_cast<uint32_t>(action->settings.index);
    for (size_t bit = 0; bit < std::size(kImportBoxes); ++bit) {
        if (auto* box = item<pf::Button>(kImportBoxes[bit]))
            box->setCheck((flags >> bit) & 1u ? pf::BST_CHECKED : pf::BST_UNCHECKED);
    }
    item<pf::Button>(kIdStartEvent)->setCheck(action->settings.byte1 != 0 ? pf::BST_CHECKED : pf::BST_UNCHECKED);
    item<pf::Button>(kIdJavaStart)->setCheck(action->settings.byte2 != 0 ? pf::BST_CHECKED : pf::BST_UNCHECKED);
    ShowRoot();
    EnableTransformButtons(false);
    return true;
}

// The import boxes and the two start boxes write their bit or byte at every click, as the other fields do.
bool CVTND_ActionLoadVTODlg::StoreOption(int32_t id)
{
    SWimportvtoactionnode* action = LoadActionOf(Action());
    auto* box = item<pf::Button>(id);
    if (action == nullptr || box == nullptr)
        return false;
    const bool on = box->getCheck() == pf::BST_CHECKED;
    const auto bit = std::find(std::begin(kImportBoxes), std::end(kImportBoxes), id);
    if (bit == std::end(kImportBoxes) && id != kIdStartEvent && id != kIdJavaStart)
        return false;
    CVTND_WorldWriteLock lock(World());
    if (id == kIdStartEvent) {
        action->settings.byte1 = on ? 1 : 0;
    } else if (id == kIdJavaStart) {
        action->settings.byte2 = on ? 1 : 0;
    } else {
        const uint32_t mask = 1u << (bit - std::begin(kImportBoxes));
        const auto flags = static_cast<uint32_t>(action->settings.index);
        action->settings.index = static_cast<int32_t>(on ? flags | mask : flags & ~mask);
    }
    return true;
}

void CVTND_ActionLoadVTODlg::ShowRoot()
{
    const SWimportvtoactionnode* action = LoadActionOf(Action());
    SWworld* world = World();
    SWnode* root = world != nullptr ? world->GetRootNode() : nullptr;
    if (action == nullptr || root == nullptr)
        return;
    const SWnode* shown = action->settings.fileName ? root->FindByName(*action->settings.fileName) : root;
    const std::string name =
        action->settings.fileName ? *action->settings.fileName : root->GetName().value_or(std::string());
    child(kIdRootName)->setText(name);
    if (auto* picker = item<CVTND_MovableTargetPicker>(kIdPicker))
        picker->SetShownItem(CEditorEngine::NodeIcon(shown));
}

void CVTND_ActionLoadVTODlg::EnableTransformButtons(bool on)
{
    for (const int32_t id : {kIdFit, kIdStore, kIdResetTransform, kIdFitText, kIdStoreText}) {
        if (pf::Window* control = child(id))
            control->enable(on);
    }
    if (auto* fit = item<pf::Button>(kIdFit))
        fit->setIcon(ButtonPicture(kFitIcon, on));
    if (auto* store = item<pf::Button>(kIdStore))
        store->setIcon(ButtonPicture(kStoreIcon, on));
}

void CVTND_ActionLoadVTODlg::LoadNow()
{
    SWimportvtoactionnode* action = LoadActionOf(Action());
    SWworld* world = World();
    if (action == nullptr || world == nullptr || !m_shown.empty())
        return;
    child(kIdLoadNow)->enable(false);
    const SWbbox scene = GetNodeBoundingBox(*world->GetRootNode(), true);
    m_sceneRadius = LargestHalfExtent(scene);
    const auto& e = scene.Extents();
    m_sceneCentre =
        scene.IsEmpty() ? SWvector() : SWvector((e[0] + e[1]) * 0.5f, (e[2] + e[3]) * 0.5f, (e[4] + e[5]) * 0.5f);
    SubWorldLoadRequest request; // as the action's handler builds it: the root name, the options and the placement
    request.rootName = action->settings.fileName;
    request.importFlags = static_cast<uint32_t>(action->settings.index) & kMergeAll;
    request.executeStartEvents = action->settings.byte1 != 0;
    if (action->settings.spare2 != 0)
        request.initialTransform = action->settings.placement;
    for (size_t i = 0; i < action->GetArguments().Count(); ++i) {
        const char* name = ArgumentText(*action, i);
        CVTN_SubWorld* entry = name != nullptr ? world->GetSubWorlds().FindByName(name) : nullptr;
        if (entry == nullptr || !entry->GetFileName() || entry->GetFileName()->empty())
            continue;
        CVTN_SubWorldLoader& loader = CVTN_SubWorldLoader::Of(*world);
        CVTN_SubWorldInstance* instance = loader.LoadFile(*entry, request, false);
        ReportSkippedRecords(loader.PathOf(*entry), loader.LastSkipped());
        if (instance == nullptr && !loader.LastError().empty())
            ShowUserMessage(this, "The world could not be loaded: " + loader.LastError(), pf::MB_ICONHAND);
        if (instance == nullptr || instance->top == nullptr)
            continue;
        m_shown.push_back({entry, instance, instance->top->GetInitialMatrix()});
    }
    SelectShownInManipulatePanel();
    EnableTransformButtons(!m_shown.empty());
    if (m_shown.empty())
        child(kIdLoadNow)->enable(true);
}

void CVTND_ActionLoadVTODlg::SelectShownInManipulatePanel()
{
    SWworld* world = World();
    for (const Shown& shown : m_shown) {
        if (shown.instance->top == nullptr)
            continue;
        if (CVTND_ManipulateDlg* panel = ManipulatePanel())
            panel->SelectNode(PlacedTop(shown.instance->top), false);
        if (world != nullptr)
            world->SetArcballNode(shown.instance->top); // the last one keeps it
    }
}

// Moves each instance's contents onto the scene's centre and, unless they are about as large already, scales them
// about that centre to the scene's size. A second Fit finds them there and changes nothing. The change is made in
// world space and carried into the parent's frame, so that an instance's own placement is kept, never inverted.
void CVTND_ActionLoadVTODlg::FitScale()
{
    SWworld* world = World();
    if (world == nullptr)
        return;
    for (const Shown& shown : m_shown) {
        SWobjectnode* top = shown.instance->top;
        if (top == nullptr)
            continue;
        const SWmatrix toWorld = ComputeNodeToWorldMatrix(*top);
        const SWbbox box = GetNodeBoundingBox(*top, true);
        const float radius = LargestHalfExtent(box);
        const auto& e = box.Extents();
        // A world of no size is centred by its own origin and, having no scale to match, only moved.
        const SWvector centre = box.IsEmpty()
                                    ? toWorld.GetTranslation()
                                    : SWvector((e[0] + e[1]) * 0.5f, (e[2] + e[3]) * 0.5f, (e[4] + e[5]) * 0.5f);
        float factor = 1.0f;
        if (radius > kSmallestRadius && m_sceneRadius > kSmallestRadius &&
            std::fabs(m_sceneRadius - radius) > 0.1f * m_sceneRadius)
            factor = m_sceneRadius / radius;
        SWmatrix scale;
        scale.SetIdentity();
        scale[0] = factor;
        scale[5] = factor;
        scale[10] = factor;
        SWmatrix change = SWmatrix::Translation(m_sceneCentre.x, m_sceneCentre.y, m_sceneCentre.z);
        change.PostMultiply(scale).PostMultiply(SWmatrix::Translation(-centre.x, -centre.y, -centre.z));
        SWmatrix placed;
        change.Multiply(placed, toWorld);
        SWmatrix local = placed;
        if (const SWnode* parent = top->GetParentNode()) {
            SWmatrix fromParent;
            ComputeNodeToWorldMatrix(*parent).Invert(fromParent);
            fromParent.Multiply(local, placed);
        }
        CVTND_WorldWriteLock lock(world);
        top->SetInitialMatrix(local); // where it rests: a preview's stop leaves it there for Store
    }
    world->Invalidate(false);
    // The panel's fields show the fitted placement: a Set of what they showed before would undo the fit.
    if (CVTND_ManipulateDlg* panel = ManipulatePanel())
        panel->ShowValues();
}

void CVTND_ActionLoadVTODlg::StoreTransform()
{
    SWimportvtoactionnode* action = LoadActionOf(Action());
    if (action == nullptr || m_shown.empty() || m_shown.back().instance->top == nullptr)
        return;
    SWobjectnode* top = m_shown.back().instance->top;
    {
        CVTND_WorldWriteLock lock(World());
        action->settings.placement = top->GetInitialMatrix(); // not a frame of a running preview
        action->settings.spare2 = 1;
    }
    CVTND_ManipulateDlg* panel = ManipulatePanel();
    if (panel != nullptr && panel->GetSingleSelection().GetObject() == static_cast<SWnode*>(top))
        panel->ResetSelectedNodes();
}

void CVTND_ActionLoadVTODlg::ResetTransform()
{
    SWimportvtoactionnode* action = LoadActionOf(Action());
    if (action == nullptr)
        return;
    SWmatrix identity;
    identity.SetIdentity();
    CVTND_WorldWriteLock lock(World());
    action->settings.placement = identity;
    if (m_shown.empty() || m_shown.back().instance->top == nullptr)
        return;
    SWobjectnode* top = m_shown.back().instance->top;
    action->settings.spare2 = 0;
    top->SetInitialMatrix(identity);
    CVTND_ManipulateDlg* panel = ManipulatePanel();
    if (panel != nullptr && panel->GetSingleSelection().GetObject() == static_cast<SWnode*>(top))
        panel->ResetSelectedNodes();
    if (SWworld* world = World())
        world->Invalidate(false);
}

void CVTND_ActionLoadVTODlg::UnloadAll()
{
    SWworld* world = World();
    if (world == nullptr || m_shown.empty())
        return;
    CVTND_ManipulateDlg* panel = ManipulatePanel();
    if (panel != nullptr) {
        // The panel gets the application's selection back.
        bool first = true;
        panel->SelectNode(CVTND_Object(), true);
        for (const CVTND_Object& selected : App()->GetSelection()) {
            if (selected.IsNodeType()) {
                panel->SelectNode(selected, first);
                first = false;
            }
        }
    }
    for (const Shown& shown : m_shown) {
        if (panel != nullptr && shown.instance->top != nullptr)
            panel->RemoveNode(PlacedTop(shown.instance->top));
        CVTN_SubWorldLoader::Of(*world).UnloadSubWorld(*shown.entry, shown.instance, false);
    }
    m_shown.clear();
    world->Invalidate(false);
}

void CVTND_ActionLoadVTODlg::OnNotify(const CVTND_Event& event)
{
    SWimportvtoactionnode* action = LoadActionOf(Action());
    if (event.Is(EventCode::kDeleted) && event.subject.IsType(ObjectType::kLoadedWorld) && !m_shown.empty()) {
        // Matched by the stored entry: the notice comes while the entry still lives, and it is unloaded before
        // the handler returns, so nothing of it is touched once it goes.
        SWworld* world = World();
        for (auto it = m_shown.begin(); it != m_shown.end();) {
            if (it->entry != event.subject.GetObject()) {
                ++it;
                continue;
            }
            if (CVTND_ManipulateDlg* panel = ManipulatePanel(); panel != nullptr && it->instance->top != nullptr)
                panel->RemoveNode(PlacedTop(it->instance->top));
            if (world != nullptr)
                CVTN_SubWorldLoader::Of(*world).UnloadSubWorld(*it->entry, it->instance, false);
            it = m_shown.erase(it);
        }
        if (m_shown.empty()) { // nothing left to place: back to where Load now starts
            EnableTransformButtons(false);
            child(kIdLoadNow)->enable(true);
        }
        if (world != nullptr)
            world->Invalidate(false);
        return;
    }
    if (event.Is(EventCode::kRenamed) && event.subject.IsNodeType() && action != nullptr && action->settings.fileName &&
        event.secondText && *action->settings.fileName == *event.secondText)
        child(kIdRootName)->setText(*event.secondText);
}

void CVTND_ActionLoadVTODlg::OnClosing()
{
    UnloadAll();
    for (const int32_t id : {kIdFit, kIdStore}) {
        if (auto* button = item<pf::Button>(id))
            button->setIcon(nullptr);
    }
}

pf::LResult CVTND_ActionLoadVTODlg::handle(const pf::Msg& msg)
{
    SWimportvtoactionnode* action = LoadActionOf(Action());
    if (msg.message == kMsgNodeDropped && action != nullptr) {
        const auto* node = reinterpret_cast<const SWnode*>(msg.lParam);
        {
            CVTND_WorldWriteLock lock(World());
            action->settings.fileName = node != nullptr ? node->GetName() : std::nullopt;
        }
        ShowRoot();
        return 0;
    }
    if (msg.message == pf::WM_NCACTIVATE) {
        const pf::LResult result = CVTND_ActionEditorDlg::handle(msg);
        if (msg.wParam != 0 && !m_shown.empty())
            SelectShownInManipulatePanel();
        return result;
    }
    if (msg.message == pf::WM_COMMAND && pf::hiWord(msg.wParam) == pf::BN_CLICKED && action != nullptr) {
        switch (pf::loWord(msg.wParam)) {
        case kIdResetRoot: {
            {
                CVTND_WorldWriteLock lock(World());
                action->settings.fileName.reset();
            }
            ShowRoot();
            return 0;
        }
        case kIdLoadNow:
            LoadNow();
            return 0;
        case kIdFit:
            FitScale();
            return 0;
        case kIdStore:
            StoreTransform();
            return 0;
        case kIdResetTransform:
            ResetTransform();
            return 0;
        default:
            if (StoreOption(pf::loWord(msg.wParam)))
                return 0;
            break;
        }
    }
    return CVTND_ActionEditorDlg::handle(msg);
}
