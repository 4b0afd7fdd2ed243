#include "designer/editors/details_header_dlg.h"

#include <array>
#include <cmath>
#include <mutex>
#include <string>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/project.h"
#include "designer/app/registry.h"
#include "designer/workspace/editor_fields.h"
#include "designer/workspace/number_text.h"
#include "engine/core/bbox.h"
#include "engine/core/header.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/resources/geometry.h"
#include "platform/gfx/dc.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/controls/list_box.h"

namespace {

constexpr int32_t kIdObjectName = 1004;
constexpr int32_t kIdAuthor = 1172;
constexpr int32_t kIdOrganization = 1173;
constexpr int32_t kIdTools = 1000;
constexpr size_t kMaxText = 2047;
constexpr float kLargest = 3.4028235e38f;

pf::Window* MakeHeaderEditor(const CVTND_EditorRequest& request)
{
    CVTNDesignerApp* app = GetDesignerApp();
    if (app == nullptr || app->GetProject() == nullptr)
        return nullptr;
    app->GetProject()->UpdateWorldHeader();
    return CVTND_ModelessEditorDlg::Open(std::make_unique<CVTND_DetailsHeaderDlg>(request),
                                         CVTND_DetailsHeaderDlg::kIdd, request.parent);
}

const CVTND_EditorRegistration kHeaderEditor(ObjectType::kWorldHeader, kAnyActionKind, &MakeHeaderEditor);

// The extents of every mesh node's box in world units; 0 on each axis when there is none.
std::array<float, 3> ContentExtents(const SWworld& world)
{
    std::array<float, 3> low = {kLargest, kLargest, kLargest};
    std::array<float, 3> high = {-kLargest, -kLargest, -kLargest};
    SWnode* root = world.GetRootNode();
    for (SWnode* n = root; n != nullptr; n = n->NextInTree(root)) {
        const auto* node = dynamic_cast<const SWobjectnode*>(n);
        const SWgeometry* geometry = n->GetGeometry();
        const SWbbox* box = geometry != nullptr ? geometry->GetBoundingBox() : nullptr;
        if (node == nullptr || !n->HasKind(SWnode::kKindMesh) || box == nullptr || box->IsEmpty())
            continue;
        for (const SWvector& c : box->GetTransformedCorners(node->GetWorldMatrix())) {
            const std::array<float, 3> v = {c.x, c.y, c.z};
            for (size_t k = 0; k < 3; ++k) {
                low[k] = std::fmin(low[k], v[k]);
                high[k] = std::fmax(high[k], v[k]);
            }
        }
    }
    std::array<float, 3> extents{};
    for (size_t k = 0; k < 3; ++k)
        extents[k] = high[k] >= low[k] ? std::fabs(high[k] - low[k]) : 0.0f;
    return extents;
}

} // namespace

float MetricsFactor(uint8_t metrics)
{
    static constexpr std::array<float, 8> kFactors = {1000.0f,   100.0f,   1.0f,       0.001f,
                                                      39.37008f, 3.28084f, 1.0936133f, 0.0006213882f};
    return metrics < kFactors.size() ? kFactors[metrics] : 1.0f;
}

CVTND_DetailsHeaderDlg::CVTND_DetailsHeaderDlg(const CVTND_EditorRequest& request)
    : CVTND_ModelessEditorDlg(static_cast<uint16_t>(ObjectType::kWorldHeader), request.object, request.record)
{
}

bool CVTND_DetailsHeaderDlg::onInitDialog()
{
    CVTND_ModelessEditorDlg::onInitDialog();
    if (SWworld* world = World()) {
        const SWheader& header = world->GetRootObject()->GetHeader();
        child(kIdObjectName)->setText(header.GetObjectName().value_or(std::string()));
        child(kIdAuthor)->setText(header.GetAuthor().value_or(std::string()));
        child(kIdOrganization)->setText(header.GetOrganization().value_or(std::string()));
    }
    FillStatistics();
    m_timer = setTimer(kTimerId, kPeriodMs);
    return true;
}

void CVTND_DetailsHeaderDlg::FillStatistics()
{
    CVTNDesignerApp* app = App();
    SWworld* world = World();
    if (app == nullptr || world == nullptr || app->GetProject() == nullptr)
        return;
    CVTND_Project& project = *app->GetProject();
    // The world's lock before the project's lock of its tool list, as everywhere.
    SWworldlock lock(*world);
    const SWheader& header = world->GetRootObject()->GetHeader();
    const std::array<std::pair<int32_t, uint32_t>, 5> counts = {{{1174, header.GetMeshCount()},
                                                                 {1006, header.GetPolygonCount()},
                                                                 {1175, header.GetVertexCount()},
                                                                 {1176, header.GetMaterialCount()},
                                                                 {1177, header.GetTextureCount()}}};
    for (const auto& [id, count] : counts)
        child(id)->setText(std::to_string(count));
    if (auto* tools = item<pf::ListBox>(kIdTools)) {
        tools->resetContent();
        const std::lock_guard hold(project.GetToolsLock());
        for (const std::string& tool : header.GetCreatingTools())
            if (!tool.empty())
                tools->addString(tool);
    }
    const std::array<float, 3> extents = ContentExtents(*world);
    const float factor = MetricsFactor(project.GetMetrics());
    for (size_t k = 0; k < 3; ++k)
        child(1055 + static_cast<int32_t>(k))->setText(FormatNumberG(extents[k] * factor));
}

void CVTND_DetailsHeaderDlg::Apply()
{
    CVTNDesignerApp* app = App();
    SWworld* world = World();
    if (app == nullptr || world == nullptr)
        return;
    const std::string name = FieldText(child(kIdObjectName), kMaxText);
    const std::string author = FieldText(child(kIdAuthor), kMaxText);
    const std::string organization = FieldText(child(kIdOrganization), kMaxText);
    SWworldlock lock(*world);
    SWheader& header = world->GetRootObject()->GetHeader();
    header.SetObjectName(name);
    header.SetAuthor(author);
    header.SetOrganization(organization);
    if (CVTND_Project* project = app->GetProject()) {
        project->SetObjectName(name.c_str());
        project->SetAuthor(author.c_str());
        project->SetOrganization(organization.c_str());
    }
}

void CVTND_DetailsHeaderDlg::OnClosing()
{
    if (m_timer != 0)
        killTimer(kTimerId);
    m_timer = 0;
}

pf::LResult CVTND_DetailsHeaderDlg::handle(const pf::Msg& msg)
{
    if (msg.message == pf::WM_TIMER && msg.wParam == kTimerId) {
        if (CVTNDesignerApp* app = App(); app != nullptr && app->GetProject() != nullptr)
            app->GetProject()->UpdateWorldHeader();
        FillStatistics();
    } else if (msg.message == pf::WM_CTLCOLORSTATIC) {
        const pf::Window* label = pf::ui().window(static_cast<pf::Hwnd>(msg.lParam));
        const int32_t id = label != nullptr ? label->id() : 0;
        if (id >= 1359 && id <= 1361) {
            static const pf::Brush kHollow{pf::BS_NULL, 0}; // made once, kept for the process
            static constexpr pf::ColorRef kColours[] = {0x0000AA, 0x007700, 0xAA0000};
            if (pf::Dc* dc = pf::dcFromWParam(msg.wParam)) {
                dc->setBkMode(pf::TRANSPARENT);
                dc->setBkColor(pf::getSysColor(pf::COLOR_WINDOW));
                dc->setTextColor(kColours[id - 1359]);
            }
            return pf::resultFromBrush(&kHollow);
        }
    }
    return CVTND_ModelessEditorDlg::handle(msg);
}
