#pragma once
// CVTND_ActionPlaySoundDlg: the editor of a play-sound action (kind 7): the part of the sound that plays (start and
// end in milliseconds, by field or slider), loop or a number of repeats, and a preview of the linked sounds with a
// play marker that follows the sound over its waveform every 10 ms. Every field writes the action at once and
// announces it (code 4, detail 1); Close and Cancel only close, stopping the preview.
//
// Values are kept to what the action stores: positions to 0..4294967295 ms, the repeat count to 1..2^31 - 1, and a
// field whose value had to change is rewritten; marker samples stay within the sound.
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "designer/workspace/modeless_editor.h"

class SWsound;

class CVTND_ActionPlaySoundDlg : public CVTND_ActionEditorDlg {
public:
    static constexpr int32_t kIdd = 314;
    static constexpr int32_t kIdDuration = 1004;
    static constexpr int32_t kIdWaveform = 1003;
    static constexpr int32_t kIdRepeat = 1110;
    static constexpr int32_t kIdStartSlider = 1111;
    static constexpr int32_t kIdStart = 1112;
    static constexpr int32_t kIdEndSlider = 1113;
    static constexpr int32_t kIdEnd = 1114;
    static constexpr int32_t kIdLoop = 1115;
    static constexpr int32_t kIdRepeatRadio = 1116;
    static constexpr int32_t kIdPlay = 1117;
    static constexpr int32_t kIdStop = 1119;
    static constexpr uint32_t kPreviewTimer = 5;
    static constexpr uint32_t kPreviewPeriodMs = 10;
    static constexpr size_t kMaxTextBytes = 80;
    using CVTND_ActionEditorDlg::CVTND_ActionEditorDlg;

    // The text as "%g" reads it: leading blanks skipped, the longest decimal prefix, 0 when there is none.
    static double ScanNumber(std::string_view text);
    static uint32_t ClampPosition(double ms);       // 0..4294967295; NaN is 0
    static uint32_t ClampRepeatCount(double count); // 1..2^31 - 1; NaN is 1
    bool IsPreviewing() const { return m_timerRunning; }

protected:
    bool onInitDialog() override;
    void OnClosing() override;
    void OnNotify(const CVTND_Event& event) override;
    pf::LResult handle(const pf::Msg& msg) override;

private:
    std::vector<SWsound*> LinkedSounds() const; // by the arguments' names; names that find nothing are skipped
    int64_t SampleAt(double ms) const;          // of the longest sound, within it
    void OnPositionChanged(int32_t id);
    void OnSlider(int32_t sliderId);
    void OnRepeatChanged();
    void OnPlay();
    void OnStop();
    void StopAll();
    void Announce();
    void SetField(int32_t id, double value); // "%g"

    SWsound* m_longest = nullptr; // the world's; a deletion notice of it closes the editor
    uint32_t m_longestMs = 0;
    bool m_updating = false; // the editor writes its own fields
    bool m_opening = true;   // the fields are filled: nothing is announced
    bool m_timerRunning = false;
};
