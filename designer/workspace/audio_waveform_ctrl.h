#pragma once
// CVTND_AudioWaveformCtrl: the envelope of a sound file with up to three markers, start, end and play position,
// drawn as exclusive-or lines so that moving one is an erase at its old place and a draw at the new one; a paint
// draws the visible markers again after the envelope.
//
// SetSound starts a scanning thread that parses the file into an envelope of the control's own; the thread posts
// the control a message when it is done and touches nothing else. A new SetSound and the control's destruction
// cancel a running parse and wait for its end. A file that cannot be read shows an empty envelope.
//
// Marker positions are sample indices; they may come from typed values and play positions beyond the end, so they
// are drawn clamped to [0, sample count], at x = sample x width / count computed in 64 bits. The x each marker was
// drawn at is kept, so its erase hits its line exactly even when the count or the size has changed since.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "designer/workspace/wave_envelope.h"
#include "platform/ui/controls/control.h"

class CVTN_ThreadHandler;

class CVTND_AudioWaveformCtrl : public pf::Control {
public:
    static constexpr const char* kClassName = "CVTND_AudioWaveformCtrl";
    static constexpr uint32_t kMarkerStart = 1;
    static constexpr uint32_t kMarkerEnd = 2;
    static constexpr uint32_t kMarkerPlay = 4;

    CVTND_AudioWaveformCtrl();
    ~CVTND_AudioWaveformCtrl() override; // a running parse is cancelled and joined

    void SetSound(const std::string& path); // an empty path shows nothing; the envelope arrives later
    bool IsParsing() const { return m_parsing; }
    const CVTND_WaveEnvelope& GetEnvelope() const { return m_envelope; }
    uint64_t GetSampleCount() const { return m_envelope.SampleCount(); } // 0 until parsed

    void SetMarkerMask(uint32_t mask); // kMarkerStart | kMarkerEnd | kMarkerPlay; repaints
    uint32_t GetMarkerMask() const { return m_mask; }
    void SetStartMarker(int64_t sample);
    void SetEndMarker(int64_t sample);
    void SetPlayPosition(int64_t sample);
    std::optional<int32_t> DrawnMarkerX(int marker) const; // 0 start, 1 end, 2 play: where its line is now
    pf::Rect EnvelopeRect() const;                         // inside the sunken edge, client coordinates
    int32_t MarkerX(int marker) const;                     // where the marker belongs now

protected:
    pf::LResult handle(const pf::Msg& msg) override;

private:
    struct Handoff; // what the scanning thread leaves for us, under its own lock

    void CancelParse();
    void TakeParsed(uint64_t generation);
    void MoveMarker(int marker, int64_t sample);
    void Paint();

    std::string m_path;
    CVTND_WaveEnvelope m_envelope;
    std::vector<std::pair<int16_t, int16_t>> m_columns; // the envelope at the width last painted
    std::unique_ptr<CVTN_ThreadHandler> m_thread;
    std::shared_ptr<Handoff> m_handoff; // shared with a running parse, which may end after us only if detached
    uint64_t m_generation = 0;
    bool m_parsing = false;
    uint32_t m_mask = 0;
    std::array<int64_t, 3> m_samples{};
    std::array<std::optional<int32_t>, 3> m_drawnX{};
};
