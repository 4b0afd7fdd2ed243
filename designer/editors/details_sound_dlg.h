#pragma once
// CVTND_DetailsSoundDlg: the details editor of a sound (kind 8): its name, file, length, size and, for a wave, the
// sample format and the waveform, with play and stop and a play-position line that follows the sound. It changes
// nothing of the sound but its playing, which goes through the world's sound queues: the render thread starts and
// stops the sound at its next frame.
#include <cstdint>

#include "designer/workspace/modeless_editor.h"

class CVTND_AudioWaveformCtrl;
class SWsound;

class CVTND_DetailsSoundDlg : public CVTND_ModelessEditorDlg {
public:
    static constexpr int32_t kIdd = 118;
    static constexpr uint32_t kPreviewTimer = 5;
    static constexpr uint32_t kPreviewPeriodMs = 10;

    CVTND_DetailsSoundDlg(SWsound* sound, CVTND_EditDialog* record);

    bool IsTimerRunning() const { return m_timer != 0; }
    CVTND_AudioWaveformCtrl* Waveform() const;

protected:
    bool onInitDialog() override;
    void onOK() override { DestroyWindow(); }
    void OnClosing() override;
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void Play();
    void Stop();
    void FollowPlayPosition();

    SWsound* m_sound; // the world's; may be null
    uint32_t m_timer = 0;
};
