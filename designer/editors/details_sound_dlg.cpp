#include "designer/editors/details_sound_dlg.h"

#include <cstdio>
#include <memory>
#include <string>

#include "designer/app/registry.h"
#include "designer/workspace/audio_waveform_ctrl.h"
#include "designer/workspace/tooltip_texts.h"
#include "engine/core/world.h"
#include "engine/resources/sound.h"
#include "platform/ui/core/ui.h"

namespace {

constexpr int32_t kIdName = 1048;
constexpr int32_t kIdFile = 1321;
constexpr int32_t kIdLength = 1049;
constexpr int32_t kIdSize = 1052;
constexpr int32_t kIdFormat = 1320;
constexpr int32_t kIdWaveform = 1003;
constexpr int32_t kIdPlay = 1050;
constexpr int32_t kIdStop = 1326;

// "Mono, 8-bit, 11025 Hz sampling rate": any depth but 8 and 16 is named by its own number. A file the player
// cannot open answers 0 for all three, which is no format at all.
std::string FormatLine(SWsound& sound)
{
    if (sound.GetSampleRate() == 0)
        return TooltipTextOf(kIdsSoundUnreadable);
    std::string line = TooltipTextOf(sound.GetChannels() != 1 ? kIdsSoundStereo : kIdsSoundMono);
    const uint16_t bits = sound.GetBitsPerSample();
    if (bits == 8 || bits == 16) {
        line += TooltipTextOf(bits == 8 ? kIdsSound8Bit : kIdsSound16Bit);
    } else {
        char depth[48];
        std::snprintf(depth, sizeof(depth), TooltipTextOf(kIdsSoundOtherBits).c_str(), static_cast<int>(bits));
        line += depth;
    }
    line += std::to_string(sound.GetSampleRate()) + " Hz " + TooltipTextOf(kIdsSoundFrequency);
    return line;
}

pf::Window* MakeSoundEditor(const CVTND_EditorRequest& request)
{
    return CVTND_ModelessEditorDlg::Open(
        std::make_unique<CVTND_DetailsSoundDlg>(static_cast<SWsound*>(request.object), request.record),
        CVTND_DetailsSoundDlg::kIdd, request.parent);
}
const CVTND_EditorRegistration kRegistered(ObjectType::kSound, kAnyActionKind, &MakeSoundEditor);

} // namespace

CVTND_DetailsSoundDlg::CVTND_DetailsSoundDlg(SWsound* sound, CVTND_EditDialog* record)
    : CVTND_ModelessEditorDlg(static_cast<uint16_t>(ObjectType::kSound), sound, record), m_sound(sound)
{
}

CVTND_AudioWaveformCtrl* CVTND_DetailsSoundDlg::Waveform() const
{
    return dynamic_cast<CVTND_AudioWaveformCtrl*>(child(kIdWaveform));
}

bool CVTND_DetailsSoundDlg::onInitDialog()
{
    CVTND_ModelessEditorDlg::onInitDialog();
    if (m_sound == nullptr)
        return true;
    child(kIdName)->setText(m_sound->GetName());
    char length[64];
    std::snprintf(length, sizeof(length), "%8.3f", static_cast<double>(m_sound->GetLength()) * 0.001);
    child(kIdLength)->setText(length + TooltipTextOf(kIdsSeconds));
    child(kIdSize)->setText(std::to_string(m_sound->GetFileSize()) + TooltipTextOf(kIdsBytes));
    // Where the sound came from: the file it was given, not the temporary one a project restores it to; a sound
    // stored without a file name is named as the project names it.
    const std::string& from = m_sound->GetStoredFileName();
    child(kIdFile)->setText(m_sound->IsRestored() && from == m_sound->GetFileName() ? m_sound->GetName() : from);
    if (m_sound->GetType() != SWsound::kTypeWave) {
        child(kIdFormat)->setText("");
        return true;
    }
    child(kIdFormat)->setText(FormatLine(*m_sound));
    if (CVTND_AudioWaveformCtrl* waveform = Waveform()) {
        const pf::WaitCursor wait;
        waveform->SetSound(m_sound->GetFileName());
        waveform->SetMarkerMask(CVTND_AudioWaveformCtrl::kMarkerStart | CVTND_AudioWaveformCtrl::kMarkerEnd |
                                CVTND_AudioWaveformCtrl::kMarkerPlay);
        waveform->SetPlayPosition(0);
        waveform->SetStartMarker(0);
    }
    return true;
}

// The sound's playing byte is its own: Start sets it and Halt clears it when the frame step runs them.
void CVTND_DetailsSoundDlg::Play()
{
    SWworld* world = m_sound != nullptr ? m_sound->GetWorld() : nullptr;
    if (m_sound == nullptr)
        return;
    if (world != nullptr) {
        const SWworldlock lock(*world);
        m_sound->SetReady(1);
    }
    if (m_timer != 0)
        killTimer(m_timer);
    m_timer = setTimer(kPreviewTimer, kPreviewPeriodMs);
    if (world != nullptr)
        world->QueueSoundPlay(m_sound);
}

void CVTND_DetailsSoundDlg::Stop()
{
    if (m_sound == nullptr)
        return;
    if (m_timer != 0)
        killTimer(m_timer);
    m_timer = 0;
    if (CVTND_AudioWaveformCtrl* waveform = Waveform())
        waveform->SetPlayPosition(0);
    if (SWworld* world = m_sound->GetWorld())
        world->QueueSoundStop(m_sound);
}

void CVTND_DetailsSoundDlg::FollowPlayPosition()
{
    if (m_sound == nullptr)
        return;
    const auto sample = static_cast<int64_t>(static_cast<double>(m_sound->GetPlayPosition()) * 0.001 *
                                             static_cast<double>(m_sound->GetSampleRate()));
    if (CVTND_AudioWaveformCtrl* waveform = Waveform())
        waveform->SetPlayPosition(sample);
}

void CVTND_DetailsSoundDlg::OnClosing()
{
    if (m_timer != 0)
        killTimer(m_timer);
    m_timer = 0;
    if (m_sound != nullptr && m_sound->GetWorld() != nullptr)
        m_sound->GetWorld()->QueueSoundStop(m_sound);
}

pf::LResult CVTND_DetailsSoundDlg::handle(const pf::Msg& msg)
{
    if (msg.message == pf::WM_COMMAND && pf::hiWord(msg.wParam) == pf::BN_CLICKED) {
        if (pf::loWord(msg.wParam) == kIdPlay) {
            Play();
            return 0;
        }
        if (pf::loWord(msg.wParam) == kIdStop) {
            Stop();
            return 0;
        }
    }
    if (msg.message == pf::WM_TIMER && msg.wParam == kPreviewTimer)
        FollowPlayPosition();
    return CVTND_ModelessEditorDlg::handle(msg);
}
