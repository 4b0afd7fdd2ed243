#include "designer/workspace/manipulate_dlg.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>
#include <string>

#include "designer/app/extended_world.h"
#include "designer/app/notification.h"
#include "designer/app/world_write_lock.h"
#include "designer/workspace/editor_fields.h"
#include "designer/workspace/list_panels.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"

namespace {

constexpr float kDegrees = 180.0f / std::numbers::pi_v<float>;

float Length3(float a, float b, float c)
{
    return std::sqrt(a * a + b * b + c * c);
}

// A field's whole text as a finite float; a scale below 0 would read back as another turn.
std::optional<float> ReadNumber(const std::string& text, bool scale)
{
    constexpr double kLargest = std::numeric_limits<float>::max();
    const TypedNumber typed = ReadTypedNumber(text, scale ? 0.0 : -kLargest, kLargest);
    if (typed.kind != TypedKind::kNumber)
        return std::nullopt;
    return static_cast<float>(typed.value);
}

} // namespace

CVTND_Pose PoseOf(const SWmatrix& m)
{
    CVTND_Pose pose;
    pose.position = {m[3], m[7], m[11]};
    pose.scale = {Length3(m[0], m[4], m[8]), Length3(m[1], m[5], m[9]), Length3(m[2], m[6], m[10])};
    // The rotation's elements, each column divided by its scale; a zero scale leaves no rotation to read.
    const auto r = [&](int row, int column) {
        const float s = pose.scale[static_cast<size_t>(column)];
        return s > 0.0f ? m[row * 4 + column] / s : (row == column ? 1.0f : 0.0f);
    };
    const float sy = std::clamp(-r(2, 0), -1.0f, 1.0f);
    const float y = std::asin(sy);
    float x = 0.0f;
    float z = 0.0f;
    if (std::abs(sy) < 0.99999f) {
        x = std::atan2(r(2, 1), r(2, 2));
        z = std::atan2(r(1, 0), r(0, 0));
    } else { // gimbal lock: all of the turn about X and Z is put on X
        x = std::atan2(-r(1, 2), r(1, 1));
    }
    pose.rotationDegrees = {x * kDegrees, y * kDegrees, z * kDegrees};
    return pose;
}

SWmatrix MatrixOf(const CVTND_Pose& pose)
{
    const float ax = pose.rotationDegrees[0] / kDegrees;
    const float ay = pose.rotationDegrees[1] / kDegrees;
    const float az = pose.rotationDegrees[2] / kDegrees;
    const float cx = std::cos(ax), sx = std::sin(ax);
    const float cy = std::cos(ay), sy = std::sin(ay);
    const float cz = std::cos(az), sz = std::sin(az);
    const float rot[3][3] = {
        {cz * cy, cz * sy * sx - sz * cx, cz * sy * cx + sz * sx},
        {sz * cy, sz * sy * sx + cz * cx, sz * sy * cx - cz * sx},
        {-sy, cy * sx, cy * cx},
    };
    SWmatrix m;
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column)
            m[row * 4 + column] = rot[row][column] * pose.scale[static_cast<size_t>(column)];
        m[row * 4 + 3] = pose.position[static_cast<size_t>(row)];
    }
    m[12] = m[13] = m[14] = 0.0f;
    m[15] = 1.0f;
    return m;
}

CVTND_ManipulateDlg::CVTND_ManipulateDlg(CVTNDesignerApp& app)
    : CVTND_PanelDlg(app, PanelRole::kManipulate, panel_ids::kManipulate)
{
}

bool CVTND_ManipulateDlg::IsTransformType(const CVTND_Object& object)
{
    const uint16_t type = object.GetType();
    return object.GetObject() != nullptr && ((type >= 1 && type <= 4) || type == 14);
}

SWobjectnode* CVTND_ManipulateDlg::NodeOf(const CVTND_Object& object)
{
    return IsTransformType(object) ? SWobjectnode::FromNode(static_cast<SWnode*>(object.GetObject())) : nullptr;
}

bool CVTND_ManipulateDlg::IsSelected(const void* object) const
{
    return std::any_of(m_selected.begin(), m_selected.end(),
                       [object](const Selected& s) { return s.object.GetObject() == object; });
}

void CVTND_ManipulateDlg::SelectNode(const CVTND_Object& object, bool replace)
{
    if (replace)
        m_selected.clear();
    SWobjectnode* node = NodeOf(object);
    if (node != nullptr && !IsSelected(object.GetObject()))
        m_selected.push_back({object, node->GetInitialMatrix()});
    RefillList();
}

void CVTND_ManipulateDlg::RemoveNode(const CVTND_Object& object)
{
    std::erase_if(m_selected, [&](const Selected& s) { return s.object.GetObject() == object.GetObject(); });
    RefillList();
}

CVTND_Object CVTND_ManipulateDlg::GetSingleSelection() const
{
    return m_selected.size() == 1 ? m_selected.front().object : CVTND_Object();
}

void CVTND_ManipulateDlg::ResetSelectedNodes()
{
    for (Selected& s : m_selected)
        if (SWobjectnode* node = NodeOf(s.object))
            s.stored = node->GetInitialMatrix();
    ShowValues();
}

bool CVTND_ManipulateDlg::ApplyPose(const CVTND_Pose& pose)
{
    SWobjectnode* node = m_selected.size() == 1 ? NodeOf(m_selected.front().object) : nullptr;
    if (node == nullptr)
        return false;
    // A typed pose is where the node rests: the preview starts from it and its stop comes back to it, and the
    // project stores it.
    {
        const CVTND_WorldWriteLock hold(World());
        node->SetInitialMatrix(MatrixOf(pose));
    }
    m_app.SetModified();
    m_app.Broadcast(CVTND_Event(EventCode::kChanged, m_selected.front().object));
    return true;
}

bool CVTND_ManipulateDlg::ApplyTypedValues()
{
    CVTND_Pose pose;
    for (int32_t i = 0; i < 9; ++i) {
        const pf::Window* field = child(panel_ids::kFirstValueEdit + i);
        const std::optional<float> value = field != nullptr ? ReadNumber(field->getText(), i >= 6) : std::nullopt;
        if (!value) {
            ShowValues(); // the fields show the node's pose, which nothing changed
            constexpr double kLargest = std::numeric_limits<float>::max();
            ShowTypedRefusal(i >= 6 ? 0.0 : -kLargest, kLargest);
            return false;
        }
        std::array<float, 3>& row = i < 3 ? pose.position : (i < 6 ? pose.rotationDegrees : pose.scale);
        row[static_cast<size_t>(i % 3)] = *value;
    }
    return ApplyPose(pose);
}

bool CVTND_ManipulateDlg::ResetSingle()
{
    SWobjectnode* node = m_selected.size() == 1 ? NodeOf(m_selected.front().object) : nullptr;
    if (node == nullptr)
        return false;
    {
        const CVTND_WorldWriteLock hold(World());
        node->SetInitialMatrix(m_selected.front().stored);
    }
    m_app.SetModified();
    m_app.Broadcast(CVTND_Event(EventCode::kChanged, m_selected.front().object));
    return true;
}

void CVTND_ManipulateDlg::Empty()
{
    m_selected.clear();
    RefillList();
}

bool CVTND_ManipulateDlg::HoldsDescendantOf(const void* node) const
{
    for (const Selected& s : m_selected) {
        const auto* selected = static_cast<const SWnode*>(s.object.GetObject());
        for (const SWnode* above = selected != nullptr ? selected->GetParentNode() : nullptr; above != nullptr;
             above = above->GetParentNode())
            if (above == node)
                return true;
    }
    return false;
}

void CVTND_ManipulateDlg::OnObjectEvent(const CVTND_Event& event)
{
    if (!IsSelected(event.subject.GetObject())) {
        // A node changed above a selected one (scaled or centred with its subtree, a scene synchronised) may have
        // moved the selected node's own matrix: a root that cannot be transformed passes the change to its children.
        if (event.Is(EventCode::kChanged) && event.subject.IsNodeType() && HoldsDescendantOf(event.subject.GetObject()))
            ShowValues();
        return;
    }
    if (event.Is(EventCode::kDeleted))
        RemoveNode(event.subject);
    else
        RefillList(); // names and values come from the nodes again
}

void CVTND_ManipulateDlg::OnCommand(int32_t id)
{
    if (id == panel_ids::kSet)
        ApplyTypedValues();
    else if (id == panel_ids::kReset)
        ResetSingle();
}

void CVTND_ManipulateDlg::RefillList()
{
    auto* list = item<pf::ListView>(kPanelMainControl);
    if (list == nullptr)
        return;
    if (list->columnCount() == 0)
        list->insertColumn(0, "Selected", 200);
    list->deleteAllItems();
    for (const Selected& s : m_selected) {
        const auto* node = static_cast<const SWnode*>(s.object.GetObject());
        list->insertItem(list->getItemCount(), node->GetName().value_or("(unnamed)"));
    }
    ShowValues();
}

void CVTND_ManipulateDlg::ShowValues()
{
    const SWobjectnode* node = m_selected.size() == 1 ? NodeOf(m_selected.front().object) : nullptr;
    const CVTND_Pose pose = node != nullptr ? PoseOf(node->GetInitialMatrix()) : CVTND_Pose();
    for (int32_t i = 0; i < 9; ++i) {
        pf::Window* field = child(panel_ids::kFirstValueEdit + i);
        if (field == nullptr)
            continue;
        const std::array<float, 3>& row = i < 3 ? pose.position : (i < 6 ? pose.rotationDegrees : pose.scale);
        field->setText(node != nullptr ? FormatReal(row[static_cast<size_t>(i % 3)], "%.4g") : std::string());
        field->enable(node != nullptr);
    }
}

void CVTND_ManipulateDlg::Layout(const pf::Rect& client)
{
    constexpr int32_t kRow = 24;
    constexpr int32_t kLabel = 54;
    const int32_t fieldsTop = std::max(client.t, client.b - 4 * kRow - 4);
    if (pf::Window* list = child(kPanelMainControl))
        list->move({client.l, client.t, client.r, fieldsTop});
    const int32_t width = std::max<int32_t>(30, static_cast<int32_t>((client.width() - kLabel - 8) / 3));
    for (int32_t row = 0; row < 3; ++row) {
        const int32_t top = fieldsTop + 2 + row * kRow;
        if (pf::Window* label = child(panel_ids::kFirstValueLabel + row))
            label->move({client.l + 2, top + 3, client.l + kLabel, top + kRow - 2});
        for (int32_t c = 0; c < 3; ++c)
            if (pf::Window* field = child(panel_ids::kFirstValueEdit + row * 3 + c))
                field->move(
                    {client.l + kLabel + c * width, top, client.l + kLabel + (c + 1) * width - 2, top + kRow - 3});
    }
    const int32_t buttons = fieldsTop + 2 + 3 * kRow;
    if (pf::Window* set = child(panel_ids::kSet))
        set->move({client.l + 2, buttons, client.l + 62, buttons + kRow - 3});
    if (pf::Window* reset = child(panel_ids::kReset))
        reset->move({client.l + 66, buttons, client.l + 126, buttons + kRow - 3});
}
