#include "designer/workspace/gradient.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>
#include <vector>

#include "designer/workspace/workspace_messages.h"
#include "platform/base/user_constants.h"
#include "platform/gfx/edge.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"

namespace {

constexpr int32_t kMarkerHeight = 9;
constexpr int32_t kBandHeight = 16;
constexpr int32_t kReach = 4; // how far from a key or point a press still takes it
constexpr int32_t kMaxLeftMargin = 1 << 20;
constexpr uint32_t kDefaultKeyColours[5] = {0xFFFFFF, 0xFFFF40, 0xFF8000, 0xC00000, 0x202020};

uint32_t Channel(uint32_t colour, int shift)
{
    return (colour >> shift) & 0xFFu;
}

uint8_t ToByte(float channel)
{
    const float c = std::isnan(channel) ? 0.0f : std::clamp(channel, 0.0f, 1.0f);
    return static_cast<uint8_t>(static_cast<int32_t>(c * 255.0f + 0.5f));
}

pf::ColorRef ColorRefOf(uint32_t rrggbb)
{
    return pf::rgb(static_cast<uint8_t>(Channel(rrggbb, 16)), static_cast<uint8_t>(Channel(rrggbb, 8)),
                   static_cast<uint8_t>(Channel(rrggbb, 0)));
}

// The colour at a band position (0..255) between the keys, ordered by their positions; beyond the outer keys the
// outer colours hold.
uint32_t ColourAt(const CVTND_GradientFields& f, const std::vector<int32_t>& order, double position)
{
    if (order.empty())
        return 0;
    const auto bandOf = [&](int32_t key) { return static_cast<double>(f.keyPositions[key] - f.leftMargin); };
    if (position <= bandOf(order.front()))
        return f.keyColours[order.front()] & 0xFFFFFFu;
    for (size_t i = 1; i < order.size(); ++i) {
        const int32_t a = order[i - 1];
        const int32_t b = order[i];
        if (position > bandOf(b))
            continue;
        const double span = bandOf(b) - bandOf(a);
        const double t = span > 0.0 ? (position - bandOf(a)) / span : 1.0;
        uint32_t out = 0;
        for (const int shift : {16, 8, 0}) {
            const double ca = Channel(f.keyColours[a], shift);
            const double cb = Channel(f.keyColours[b], shift);
            out |= static_cast<uint32_t>(std::lround(ca + (cb - ca) * t)) << shift;
        }
        return out;
    }
    return f.keyColours[order.back()] & 0xFFFFFFu;
}

std::vector<int32_t> KeysInBandOrder(const CVTND_GradientFields& f)
{
    std::vector<int32_t> order(std::min(f.keyCount, CVTND_GradientFields::kMaxKeys));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int32_t a, int32_t b) { return f.keyPositions[a] < f.keyPositions[b]; });
    return order;
}

bool OnBand(int32_t x, int32_t leftMargin)
{
    return x >= leftMargin && x - leftMargin < CVTND_GradientFields::kBandWidth;
}

} // namespace

CVTND_GradientFields CVTND_GradientFields::Defaults()
{
    // Every record a project reads starts from these: its table computed once a process, not once a record.
    static const CVTND_GradientFields kDefaults = MakeDefaults();
    return kDefaults;
}

CVTND_GradientFields CVTND_GradientFields::MakeDefaults()
{
    CVTND_GradientFields f;
    f.keyCount = 5;
    for (uint32_t i = 0; i < f.keyCount; ++i) {
        f.keyPositions[i] = static_cast<int32_t>(i * (kBandWidth - 1) / (f.keyCount - 1));
        f.keyColours[i] = kDefaultKeyColours[i];
    }
    f.curvePointCount = f.keyCount - 1;
    for (uint32_t i = 0; i < f.curvePointCount; ++i) {
        f.curveValues[i] = 0.5f;
        f.curvePointPositions[i] = (f.keyPositions[i] + f.keyPositions[i + 1]) / 2;
    }
    f.colourTable = CVTND_Gradient::ComputeTable(f);
    return f;
}

bool CVTND_GradientFields::IsValid() const
{
    if (keyCount < 1 || keyCount > kMaxKeys || curvePointCount > kMaxCurvePoints)
        return false;
    if (leftMargin < 0 || leftMargin > kMaxLeftMargin)
        return false;
    if (selectedKey < -1 || selectedKey >= static_cast<int32_t>(keyCount))
        return false;
    if (selectedCurvePoint < -1 || selectedCurvePoint >= static_cast<int32_t>(curvePointCount))
        return false;
    for (uint32_t i = 0; i < keyCount; ++i)
        if (!OnBand(keyPositions[i], leftMargin))
            return false;
    for (uint32_t i = 0; i < curvePointCount; ++i)
        if (!OnBand(curvePointPositions[i], leftMargin) || !(curveValues[i] >= 0.0f && curveValues[i] <= 1.0f))
            return false;
    return true;
}

CVTND_Gradient::CVTND_Gradient() : m_fields(CVTND_GradientFields::Defaults()) {}

std::array<uint32_t, 64> CVTND_Gradient::ComputeTable(const CVTND_GradientFields& fields)
{
    std::array<uint32_t, 64> table{};
    const std::vector<int32_t> order = KeysInBandOrder(fields);
    for (size_t i = 0; i < table.size(); ++i)
        table[i] = ColourAt(fields, order, static_cast<double>(i) * 255.0 / 63.0);
    return table;
}

bool CVTND_Gradient::SetFields(const CVTND_GradientFields& fields)
{
    const bool valid = fields.IsValid();
    m_fields = valid ? fields : CVTND_GradientFields::Defaults();
    m_fields.mouseCapture = 0; // a copy never holds the mouse
    if (!valid && isWindow())
        LayoutKeys();
    invalidate(true);
    return valid;
}

void CVTND_Gradient::LayoutKeys()
{
    const int32_t margin =
        std::max<int32_t>(0, static_cast<int32_t>((clientRect().width() - CVTND_GradientFields::kBandWidth) / 2));
    const int32_t shift = margin - m_fields.leftMargin;
    for (uint32_t i = 0; i < m_fields.keyCount; ++i)
        m_fields.keyPositions[i] += shift;
    for (uint32_t i = 0; i < m_fields.curvePointCount; ++i)
        m_fields.curvePointPositions[i] += shift;
    m_fields.leftMargin = margin;
    invalidate(true);
}

bool CVTND_Gradient::HasSelectedKey() const
{
    return m_fields.selectedKey >= 0 && m_fields.selectedKey < static_cast<int32_t>(m_fields.keyCount);
}

std::array<uint8_t, 3> CVTND_Gradient::GetKeyRGB() const
{
    if (!HasSelectedKey())
        return {0, 0, 0};
    const uint32_t c = m_fields.keyColours[m_fields.selectedKey];
    return {static_cast<uint8_t>(Channel(c, 16)), static_cast<uint8_t>(Channel(c, 8)),
            static_cast<uint8_t>(Channel(c, 0))};
}

std::array<float, 3> CVTND_Gradient::GetKeyColor() const
{
    const std::array<uint8_t, 3> bytes = GetKeyRGB();
    return {bytes[0] / 255.0f, bytes[1] / 255.0f, bytes[2] / 255.0f};
}

void CVTND_Gradient::SetKeyColor(float red, float green, float blue)
{
    if (!HasSelectedKey())
        return;
    m_fields.keyColours[m_fields.selectedKey] =
        (uint32_t{ToByte(red)} << 16) | (uint32_t{ToByte(green)} << 8) | ToByte(blue);
    m_fields.colourTable = ComputeTable(m_fields);
    invalidate(true);
}

void CVTND_Gradient::SetKeyChannel(int shift, int32_t value)
{
    if (!HasSelectedKey())
        return;
    uint32_t& colour = m_fields.keyColours[m_fields.selectedKey];
    colour = (colour & ~(0xFFu << shift)) | (static_cast<uint32_t>(std::clamp(value, 0, 255)) << shift);
    m_fields.colourTable = ComputeTable(m_fields);
    invalidate(true);
}

void CVTND_Gradient::SetKeyRed(int32_t value)
{
    SetKeyChannel(16, value);
}

void CVTND_Gradient::SetKeyGreen(int32_t value)
{
    SetKeyChannel(8, value);
}

void CVTND_Gradient::SetKeyBlue(int32_t value)
{
    SetKeyChannel(0, value);
}

pf::Rect CVTND_Gradient::BandRect() const
{
    const int32_t bottom = static_cast<int32_t>(clientRect().height()) - kMarkerHeight;
    return {m_fields.leftMargin, bottom - kBandHeight, m_fields.leftMargin + CVTND_GradientFields::kBandWidth, bottom};
}

pf::Rect CVTND_Gradient::CurveRect() const
{
    const pf::Rect band = BandRect();
    return {band.l, 3, band.r, std::max(3, band.t - 5)};
}

int32_t CVTND_Gradient::CurveY(float value) const
{
    const pf::Rect area = CurveRect();
    const double height = static_cast<double>(std::max<int64_t>(0, area.height() - 1));
    return area.b - 1 - static_cast<int32_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * height));
}

int32_t CVTND_Gradient::KeyAt(pf::Point client) const
{
    const pf::Rect band = BandRect();
    if (client.y < band.t || client.y >= band.b + kMarkerHeight)
        return -1;
    int32_t best = -1;
    int32_t bestDistance = kReach + 1;
    for (uint32_t i = 0; i < m_fields.keyCount; ++i) {
        const int32_t d = std::abs(client.x - m_fields.keyPositions[i]);
        if (d < bestDistance) {
            best = static_cast<int32_t>(i);
            bestDistance = d;
        }
    }
    return best;
}

int32_t CVTND_Gradient::CurvePointAt(pf::Point client) const
{
    int32_t best = -1;
    int32_t bestDistance = kReach + 1;
    for (uint32_t i = 0; i < m_fields.curvePointCount; ++i) {
        const int32_t d = std::max(std::abs(client.x - m_fields.curvePointPositions[i]),
                                   std::abs(client.y - CurveY(m_fields.curveValues[i])));
        if (d < bestDistance) {
            best = static_cast<int32_t>(i);
            bestDistance = d;
        }
    }
    return best;
}

void CVTND_Gradient::Changed()
{
    m_fields.colourTable = ComputeTable(m_fields);
    invalidate(true);
    workspace_messages::SendToParent(*this, workspace_messages::kGradientChanged, static_cast<pf::WParam>(id()), 0);
}

void CVTND_Gradient::OnPress(pf::Point at)
{
    if (const int32_t key = KeyAt(at); key >= 0) {
        m_drag = Drag::kKey;
        if (key != m_fields.selectedKey) {
            m_fields.selectedKey = key;
            invalidate(true);
            workspace_messages::SendToParent(*this, workspace_messages::kGradientKeySelected,
                                             static_cast<pf::WParam>(id()), 0);
        }
        return;
    }
    if (const int32_t point = CurvePointAt(at); point >= 0) {
        m_drag = Drag::kCurvePoint;
        m_fields.selectedCurvePoint = point;
        invalidate(true);
    }
}

void CVTND_Gradient::OnDrag(pf::Point at)
{
    const int32_t x = std::clamp(at.x, m_fields.leftMargin, m_fields.leftMargin + CVTND_GradientFields::kBandWidth - 1);
    if (m_drag == Drag::kKey && HasSelectedKey()) {
        int32_t& position = m_fields.keyPositions[m_fields.selectedKey];
        if (position != x) {
            position = x;
            Changed();
        }
        return;
    }
    const int32_t point = m_fields.selectedCurvePoint;
    if (m_drag != Drag::kCurvePoint || point < 0 || point >= static_cast<int32_t>(m_fields.curvePointCount))
        return;
    const pf::Rect area = CurveRect();
    const double height = static_cast<double>(std::max<int64_t>(1, area.height() - 1));
    const auto value = static_cast<float>(std::clamp((area.b - 1 - at.y) / height, 0.0, 1.0));
    if (m_fields.curvePointPositions[point] != x || m_fields.curveValues[point] != value) {
        m_fields.curvePointPositions[point] = x;
        m_fields.curveValues[point] = value;
        Changed();
    }
}

pf::LResult CVTND_Gradient::handle(const pf::Msg& msg)
{
    const pf::Hwnd self = hwnd();
    switch (msg.message) {
    case pf::WM_CREATE:
        LayoutKeys();
        return 0;
    case pf::WM_PAINT:
        Paint();
        return 0;
    case pf::WM_ERASEBKGND:
        return 1;
    case pf::WM_LBUTTONDOWN:
        if (!isEnabled())
            return 0;
        OnPress(pf::pointFromLParam(msg.lParam));
        if (m_drag != Drag::kNone && isAlive(self, this)) {
            pf::ui().setCapture(self);
            m_fields.mouseCapture = 1;
        }
        return 0;
    case pf::WM_MOUSEMOVE:
        if (m_drag != Drag::kNone)
            OnDrag(pf::pointFromLParam(msg.lParam));
        return 0;
    case pf::WM_LBUTTONUP:
        m_drag = Drag::kNone;
        m_fields.mouseCapture = 0;
        if (pf::ui().capture() == self)
            pf::ui().releaseCapture();
        return 0;
    case pf::WM_CAPTURECHANGED:
        if (static_cast<pf::Hwnd>(msg.lParam) != self) {
            m_drag = Drag::kNone;
            m_fields.mouseCapture = 0;
        }
        return 0;
    default:
        return pf::Control::handle(msg);
    }
}

void CVTND_Gradient::Paint()
{
    pf::PaintDc dc(*this);
    dc.fillRect(clientRect(), pf::createSolidBrush(pf::getSysColor(pf::COLOR_BTNFACE)));
    const CVTND_GradientFields& f = m_fields;
    // The curve, on white, joined from the band's left edge to its right edge through the points in x order.
    const pf::Rect curve = CurveRect();
    if (curve.height() > 2) {
        dc.fillRect(curve.inflatedBy(2, 2), pf::createSolidBrush(pf::getSysColor(pf::COLOR_WINDOW)));
        pf::drawEdge(dc, curve.inflatedBy(2, 2), pf::EdgeKind::kSunken);
        std::vector<int32_t> points(f.curvePointCount);
        std::iota(points.begin(), points.end(), 0);
        std::stable_sort(points.begin(), points.end(),
                         [&](int32_t a, int32_t b) { return f.curvePointPositions[a] < f.curvePointPositions[b]; });
        if (!points.empty()) {
            std::vector<pf::Point> line{{curve.l, CurveY(f.curveValues[points.front()])}};
            for (const int32_t p : points)
                line.push_back({f.curvePointPositions[p], CurveY(f.curveValues[p])});
            line.push_back({curve.r, CurveY(f.curveValues[points.back()])});
            dc.selectPen(pf::createPen(pf::PS_SOLID, 1, pf::rgb(0, 0, 160)));
            dc.polyline(line);
            for (const int32_t p : points) {
                const pf::Point at{f.curvePointPositions[p], CurveY(f.curveValues[p])};
                dc.selectPen(pf::createPen(pf::PS_SOLID, 1, pf::rgb(0, 0, 0)));
                dc.selectBrush(
                    pf::createSolidBrush(p == f.selectedCurvePoint ? pf::rgb(220, 0, 0) : pf::rgb(255, 255, 255)));
                dc.rectangle({at.x - 2, at.y - 2, at.x + 3, at.y + 3});
            }
        }
    }
    // The band, one column per band position, exactly as the table samples it.
    const pf::Rect band = BandRect();
    const std::vector<int32_t> order = KeysInBandOrder(f);
    for (int32_t c = 0; c < CVTND_GradientFields::kBandWidth; ++c)
        dc.fillRect({band.l + c, band.t, band.l + c + 1, band.b},
                    pf::createSolidBrush(ColorRefOf(ColourAt(f, order, c))));
    pf::drawEdge(dc, band.inflatedBy(2, 2), pf::EdgeKind::kSunken);
    // The keys: triangles under the band in their colours, the selected one outlined in the highlight colour.
    for (uint32_t i = 0; i < f.keyCount; ++i) {
        const int32_t x = f.keyPositions[i];
        const pf::Point tri[3] = {
            {x, band.b + 1}, {x - 4, band.b + kMarkerHeight - 1}, {x + 4, band.b + kMarkerHeight - 1}};
        const bool selected = static_cast<int32_t>(i) == f.selectedKey;
        dc.selectPen(pf::createPen(pf::PS_SOLID, 1, selected ? pf::rgb(220, 0, 0) : pf::rgb(0, 0, 0)));
        dc.selectBrush(pf::createSolidBrush(ColorRefOf(f.keyColours[i])));
        dc.polygon(tri);
    }
    if (pf::ui().focus() == hwnd())
        dc.drawFocusRect(clientRect());
}
