#pragma once
// CVTND_ActionPlaySoundDlg: the editor of a play-sound action (kind 7): the part of the sound that plays (start and
// end in milliseconds, by field or slider), loop or a number of repeats, and a preview of the linked sounds with a
// play marker that follows the sound over its waveform every 10 ms. Every field writes the action at once and
// announces it (code 4, detail 1); Close and Cancel only close, stopping the preview.
//
// A field takes only what the action stores: a whole number of milliseconds from 0 to 4294967295 for a position, of
// repeats from 1 to 2^31 - 1. Other text is refused and the field shows the stored value again; marker samples stay
// within the sound.
#include <cstdint>
#include <optional>
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
    void ShowPosition(int32_t id, uint32_t ms); // the slider, the marker and the duration after a position
    void OnSlider(int32_t sliderId);
    void OnRepeatChanged();
    void OnPlay();
    void OnStop();
    void StopAll();
    void Announce();
    void SetField(int32_t id, double value); // the shortest text that reads back as value
    // The field's whole number in low..high, or nothing: a start that more typing may finish, or a text refused,
    // then said on the status bar with the field showing stored again.
    std::optional<uint32_t> ReadField(int32_t id, double low, double high, uint32_t& stored);

    SWsound* m_longest = nullptr; // the world's; a deletion notice of it closes the editor
    uint32_t m_longestMs = 0;
    bool m_updating = false; // the editor writes its own fields
    bool m_opening = true;   // the fields are filled: nothing is announced
    bool m_timerRunning = false;
};
