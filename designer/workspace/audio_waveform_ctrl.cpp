#include "designer/workspace/audio_waveform_ctrl.h"

#include <algorithm>
#include <mutex>

#include "engine/core/thread_handler.h"
#include "platform/base/user_constants.h"
#include "platform/gfx/edge.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/ui/core/paint_dc.h"
#include "platform/ui/core/ui.h"

namespace {

// Posted to the control by its scanning thread, wParam the parse's generation; a private message of the control.
constexpr uint32_t kMsgEnvelopeReady = pf::WM_USER + 1000;

constexpr pf::ColorRef kBackground = pf::rgb(255, 255, 255);
constexpr pf::ColorRef kEnvelopeColour = pf::rgb(0, 112, 0);
constexpr pf::ColorRef kCentreColour = pf::rgb(192, 192, 192);
// The colours the markers show on the white background; exclusive-or with white gives the pen's complement.
constexpr pf::ColorRef kMarkerColours[3] = {pf::rgb(0, 160, 0), pf::rgb(208, 0, 0), pf::rgb(0, 0, 255)};
constexpr uint32_t kMarkerBits[3] = {CVTND_AudioWaveformCtrl::kMarkerStart, CVTND_AudioWaveformCtrl::kMarkerEnd,
                                     CVTND_AudioWaveformCtrl::kMarkerPlay};

pf::Pen MarkerPen(int marker)
{
    return pf::createPen(pf::PS_SOLID, 1, kMarkerColours[marker] ^ pf::rgb(255, 255, 255));
}

void XorLine(pf::Dc& dc, const pf::Rect& area, int marker, int32_t x)
{
    dc.selectPen(MarkerPen(marker));
    dc.moveTo({x, area.t});
    dc.lineTo({x, area.b});
}

} // namespace

struct CVTND_AudioWaveformCtrl::Handoff {
    std::mutex mutex; // guards the two fields below
    uint64_t generation = 0;
    std::optional<CVTND_WaveEnvelope> envelope;
};

CVTND_AudioWaveformCtrl::CVTND_AudioWaveformCtrl() : m_handoff(std::make_shared<Handoff>()) {}

CVTND_AudioWaveformCtrl::~CVTND_AudioWaveformCtrl()
{
    CancelParse();
}

void CVTND_AudioWaveformCtrl::CancelParse()
{
    if (m_thread != nullptr)
        m_thread->Stop();
    m_thread.reset();
    m_parsing = false;
}

void CVTND_AudioWaveformCtrl::SetSound(const std::string& path)
{
    CancelParse();
    m_path = path;
    m_envelope = {};
    m_columns.clear();
    ++m_generation;
    invalidate(true);
    if (path.empty() || !isWindow())
        return;
    m_thread = std::make_unique<CVTN_ThreadHandler>("wave scan");
    m_parsing = true;
    pf::Ui* ui = &pf::ui();
    const pf::Hwnd self = hwnd();
    const uint64_t generation = m_generation;
    const bool started = m_thread->Start([handoff = m_handoff, path, generation, ui, self](std::stop_token stop) {
        CVTND_WaveEnvelope envelope;
        CVTND_WaveEnvelope::Parse(path, stop, envelope);
        if (stop.stop_requested())
            return;
        {
            const std::lock_guard lock(handoff->mutex);
            handoff->generation = generation;
            handoff->envelope = std::move(envelope);
        }
        ui->post(self, kMsgEnvelopeReady, static_cast<pf::WParam>(generation));
    });
    if (!started) {
        m_thread.reset();
        m_parsing = false;
    }
}

void CVTND_AudioWaveformCtrl::TakeParsed(uint64_t generation)
{
    {
        const std::lock_guard lock(m_handoff->mutex);
        if (generation != m_generation || m_handoff->generation != generation || !m_handoff->envelope)
            return; // a parse that was cancelled after it posted
        m_envelope = std::move(*m_handoff->envelope);
        m_handoff->envelope.reset();
    }
    if (m_thread != nullptr)
        m_thread->Join();
    m_thread.reset();
    m_parsing = false;
    m_columns.clear();
    invalidate(true);
}

void CVTND_AudioWaveformCtrl::SetMarkerMask(uint32_t mask)
{
    m_mask = mask & (kMarkerStart | kMarkerEnd | kMarkerPlay);
    invalidate(true);
}

void CVTND_AudioWaveformCtrl::SetStartMarker(int64_t sample)
{
    MoveMarker(0, sample);
}

void CVTND_AudioWaveformCtrl::SetEndMarker(int64_t sample)
{
    MoveMarker(1, sample);
}

void CVTND_AudioWaveformCtrl::SetPlayPosition(int64_t sample)
{
    MoveMarker(2, sample);
}

std::optional<int32_t> CVTND_AudioWaveformCtrl::DrawnMarkerX(int marker) const
{
    return marker >= 0 && marker < 3 ? m_drawnX[static_cast<size_t>(marker)] : std::nullopt;
}

pf::Rect CVTND_AudioWaveformCtrl::EnvelopeRect() const
{
    return clientRect().inflatedBy(-2, -2);
}

int32_t CVTND_AudioWaveformCtrl::MarkerX(int marker) const
{
    const pf::Rect area = EnvelopeRect();
    const uint64_t count = m_envelope.SampleCount();
    const int64_t width = std::max<int64_t>(0, area.width() - 1);
    if (count == 0)
        return area.l;
    // A wave file's data size is 32 bits, so count < 2^32 and sample x width stays far below 2^64.
    const uint64_t sample = static_cast<uint64_t>(
        std::clamp<int64_t>(m_samples[static_cast<size_t>(marker)], 0, static_cast<int64_t>(count)));
    const uint64_t offset = sample * static_cast<uint64_t>(width) / count;
    return area.l + static_cast<int32_t>(offset);
}

void CVTND_AudioWaveformCtrl::MoveMarker(int marker, int64_t sample)
{
    const size_t m = static_cast<size_t>(marker);
    m_samples[m] = sample;
    if ((m_mask & kMarkerBits[m]) == 0)
        return;
    if (!isVisible()) {
        m_drawnX[m].reset(); // the paint that shows the control draws it
        return;
    }
    const int32_t x = MarkerX(marker);
    if (m_drawnX[m] == x)
        return;
    pf::WindowDc dc(*this);
    const pf::Rect area = EnvelopeRect();
    dc.intersectClipRect(area);
    dc.setROP2(pf::R2_XORPEN);
    if (m_drawnX[m])
        XorLine(dc, area, marker, *m_drawnX[m]);
    XorLine(dc, area, marker, x);
    m_drawnX[m] = x;
}

pf::LResult CVTND_AudioWaveformCtrl::handle(const pf::Msg& msg)
{
    switch (msg.message) {
    case pf::WM_PAINT:
        Paint();
        return 0;
    case pf::WM_ERASEBKGND:
        return 1;
    case pf::WM_SIZE:
        m_columns.clear();
        invalidate(true);
        return 0;
    case kMsgEnvelopeReady:
        TakeParsed(static_cast<uint64_t>(msg.wParam));
        return 0;
    case pf::WM_DESTROY:
        CancelParse();
        return pf::Control::handle(msg);
    default:
        return pf::Control::handle(msg);
    }
}

void CVTND_AudioWaveformCtrl::Paint()
{
    pf::PaintDc dc(*this);
    const pf::Rect area = pf::drawEdge(dc, clientRect(), pf::EdgeKind::kSunken);
    dc.fillRect(area, pf::createSolidBrush(kBackground));
    if (area.isEmpty())
        return;
    const int32_t centre = area.t + static_cast<int32_t>(area.height() / 2);
    dc.fillRect({area.l, centre, area.r, centre + 1}, pf::createSolidBrush(kCentreColour));
    if (m_columns.size() != static_cast<size_t>(area.width()))
        m_columns = m_envelope.Columns(static_cast<int32_t>(area.width()));
    const double half = static_cast<double>(area.height() - 1) / 2.0;
    const pf::Brush ink = pf::createSolidBrush(kEnvelopeColour);
    for (size_t i = 0; i < m_columns.size(); ++i) {
        const auto [low, high] = m_columns[i];
        const int32_t top = centre - static_cast<int32_t>(high * half / 32768.0);
        const int32_t bottom = centre - static_cast<int32_t>(low * half / 32768.0);
        const int32_t x = area.l + static_cast<int32_t>(i);
        dc.fillRect({x, top, x + 1, bottom + 1}, ink);
    }
    dc.intersectClipRect(area);
    dc.setROP2(pf::R2_XORPEN);
    for (int marker = 0; marker < 3; ++marker) {
        const size_t m = static_cast<size_t>(marker);
        if ((m_mask & kMarkerBits[m]) == 0) {
            m_drawnX[m].reset();
            continue;
        }
        m_drawnX[m] = MarkerX(marker);
        XorLine(dc, area, marker, *m_drawnX[m]);
    }
}
