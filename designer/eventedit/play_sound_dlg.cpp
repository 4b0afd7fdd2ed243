#include "designer/eventedit/play_sound_dlg.h"

#include <charconv>
#include <cmath>
#include <string>

#include "designer/app/designer_app.h"
#include "designer/app/notification.h"
#include "designer/app/world_write_lock.h"
#include "designer/eventedit/text_action_editors.h"
#include "designer/workspace/audio_waveform_ctrl.h"
#include "designer/workspace/editor_fields.h"
#include "engine/behaviour/action_settings.h"
#include "engine/core/world.h"
#include "engine/resources/sound.h"
#include "platform/base/user_constants.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/trackbar.h"

namespace {

const CVTND_EditorRegistration kPlaySoundEditor(ObjectType::kAction, 7, &MakeActionEditor<CVTND_ActionPlaySoundDlg>);

constexpr double kLargestPosition = 4294967295.0;
constexpr double kLargestRepeatCount = 2147483647.0;

SWsoundaction* SoundActionOf(SWactionnode* action)
{
    return dynamic_cast<SWsoundaction*>(action);
}

// Shortest exactly: a position of 2147483600 ms shown with six digits would read back as another.
std::string Format(double value)
{
    char text[40] = {};
    const auto [end, error] = std::to_chars(text, text + sizeof(text) - 1, value);
    return error == std::errc() ? std::string(text, end) : std::string("0");
}

} // namespace

std::optional<uint32_t> CVTND_ActionPlaySoundDlg::ReadField(int32_t id, double low, double high, uint32_t& stored)
{
    const TypedNumber typed = ReadTypedWholeNumber(FieldText(child(id), kMaxTextBytes), low, high);
    if (typed.kind == TypedKind::kNumber) {
        BeginTypedEdit(child(id), [this, id, &stored, before = stored] {
            {
                CVTND_WorldWriteLock lock(Action()->GetWorld());
                stored = before;
            }
            if (id != kIdRepeat)
                ShowPosition(id, before);
        });
        return static_cast<uint32_t>(typed.value);
    }
    RefuseTypedText(
        child(id), [&stored] { return std::to_string(stored); }, m_updating, low, high, true);
    return std::nullopt;
}

uint32_t CVTND_ActionPlaySoundDlg::ClampRepeatCount(double count)
{
    if (std::isnan(count) || count < 1.0)
        return 1;
    return count >= kLargestRepeatCount ? 2147483647u : static_cast<uint32_t>(count);
}

bool CVTND_ActionPlaySoundDlg::onInitDialog()
{
    SWsoundaction* action = SoundActionOf(Action());
    if (action == nullptr)
        return true;
    const SWsoundaction::Settings s = action->settings;
    item<pf::Button>(kIdLoop)->setCheck(s.playOption1 != 0 ? pf::BST_CHECKED : pf::BST_UNCHECKED);
    item<pf::Button>(kIdRepeatRadio)->setCheck(s.playOption1 != 0 ? pf::BST_UNCHECKED : pf::BST_CHECKED);
    m_updating = true;
    child(kIdRepeat)->setText(std::to_string(s.playOption2));
    m_updating = false;
    for (SWsound* sound : LinkedSounds()) {
        const uint32_t length = sound->GetLength();
        if (m_longest == nullptr || length > m_longestMs) {
            m_longest = sound;
            m_longestMs = length;
        }
    }
    if (s.endMs == 0) {
        CVTND_WorldWriteLock lock(Action()->GetWorld());
        action->settings.endMs = m_longestMs;
    }
    for (const int32_t id : {kIdStartSlider, kIdEndSlider})
        item<pf::Trackbar>(id)->setRange(0, static_cast<int32_t>(std::min<uint32_t>(m_longestMs, INT32_MAX)));
    item<pf::Trackbar>(kIdStartSlider)->setPos(static_cast<int32_t>(std::min<uint32_t>(s.startMs, INT32_MAX)));
    item<pf::Trackbar>(kIdEndSlider)
        ->setPos(static_cast<int32_t>(std::min<uint32_t>(action->settings.endMs, INT32_MAX)));
    if (auto* waveform = item<CVTND_AudioWaveformCtrl>(kIdWaveform); waveform != nullptr && m_longest != nullptr) {
        waveform->SetSound(m_longest->GetFileName());
        waveform->SetMarkerMask(CVTND_AudioWaveformCtrl::kMarkerStart | CVTND_AudioWaveformCtrl::kMarkerEnd |
                                CVTND_AudioWaveformCtrl::kMarkerPlay);
        waveform->SetPlayPosition(0);
        waveform->SetStartMarker(0);
    }
    SetField(kIdStart, static_cast<double>(s.startMs)); // the field handlers place the sliders and markers
    SetField(kIdEnd, static_cast<double>(action->settings.endMs));
    SetField(kIdDuration, static_cast<double>(action->settings.endMs) - static_cast<double>(s.startMs));
    m_opening = false;
    return true;
}

std::vector<SWsound*> CVTND_ActionPlaySoundDlg::LinkedSounds() const
{
    std::vector<SWsound*> sounds;
    SWworld* world = Action()->GetWorld();
    if (world == nullptr)
        return sounds;
    for (size_t i = 0; i < Action()->GetArguments().Count(); ++i) {
        if (const char* name = ArgumentText(*Action(), i)) {
            if (SWsound* sound = world->GetSoundList().FindByName(name))
                sounds.push_back(sound);
        }
    }
    return sounds;
}

int64_t CVTND_ActionPlaySoundDlg::SampleAt(double ms) const
{
    if (m_longest == nullptr || std::isnan(ms) || ms <= 0.0)
        return 0;
    const double rate = m_longest->GetSampleRate();
    const double last = rate * m_longestMs * 0.001; // a marker never leaves the sound
    return static_cast<int64_t>(std::min(rate * ms * 0.001, last));
}

void CVTND_ActionPlaySoundDlg::SetField(int32_t id, double value)
{
    if (pf::Window* field = child(id))
        field->setText(Format(value));
}

void CVTND_ActionPlaySoundDlg::OnPositionChanged(int32_t id)
{
    SWsoundaction* action = SoundActionOf(Action());
    // Before a sound is chosen the field is read all the same: it showed what it never kept.
    if (action == nullptr || m_updating)
        return;
    m_updating = true;
    uint32_t& stored = id == kIdStart ? action->settings.startMs : action->settings.endMs;
    const std::optional<uint32_t> typed = ReadField(id, 0.0, kLargestPosition, stored);
    if (!typed) {
        m_updating = false;
        return;
    }
    const uint32_t ms = *typed;
    {
        CVTND_WorldWriteLock lock(Action()->GetWorld());
        stored = ms;
    }
    ShowPosition(id, ms);
    m_updating = false;
    Announce();
}

void CVTND_ActionPlaySoundDlg::ShowPosition(int32_t id, uint32_t ms)
{
    item<pf::Trackbar>(id == kIdStart ? kIdStartSlider : kIdEndSlider)
        ->setPos(static_cast<int32_t>(std::min<uint32_t>(ms, INT32_MAX)));
    if (auto* waveform = item<CVTND_AudioWaveformCtrl>(kIdWaveform)) {
        if (id == kIdStart)
            waveform->SetStartMarker(SampleAt(ms));
        else
            waveform->SetEndMarker(SampleAt(ms));
    }
    const bool wasUpdating = m_updating;
    m_updating = true;
    SetField(kIdDuration, static_cast<double>(item<pf::Trackbar>(kIdEndSlider)->getPos()) -
                              item<pf::Trackbar>(kIdStartSlider)->getPos());
    m_updating = wasUpdating;
}

void CVTND_ActionPlaySoundDlg::OnSlider(int32_t sliderId)
{
    if (m_longest == nullptr || m_updating)
        return;
    SetField(sliderId == kIdStartSlider ? kIdStart : kIdEnd, item<pf::Trackbar>(sliderId)->getPos());
}

void CVTND_ActionPlaySoundDlg::OnRepeatChanged()
{
    SWsoundaction* action = SoundActionOf(Action());
    if (action == nullptr || m_updating)
        return;
    const std::optional<uint32_t> count = ReadField(kIdRepeat, 1.0, kLargestRepeatCount, action->settings.playOption2);
    if (!count)
        return;
    {
        CVTND_WorldWriteLock lock(Action()->GetWorld());
        action->settings.playOption2 = *count;
    }
    Announce();
}

void CVTND_ActionPlaySoundDlg::OnPlay()
{
    SWsoundaction* action = SoundActionOf(Action());
    const std::vector<SWsound*> sounds = LinkedSounds();
    SWworld* world = Action()->GetWorld();
    if (action == nullptr || sounds.empty() || world == nullptr)
        return;
    const auto start = static_cast<uint32_t>(item<pf::Trackbar>(kIdStartSlider)->getPos());
    const auto end = static_cast<uint32_t>(item<pf::Trackbar>(kIdEndSlider)->getPos());
    const bool loop = item<pf::Button>(kIdLoop)->getCheck() == pf::BST_CHECKED;
    const uint32_t repeats = ClampRepeatCount(action->settings.playOption2); // a file's 0 plays once
    for (SWsound* sound : sounds) {
        // The editor's play only: the sound's own settings are saved with it.
        SWsoundplay play = sound->GetPlay();
        play.loop = loop ? 1 : 0;
        if (!loop)
            play.repeatCount = repeats;
        play.startMs = start;
        play.endMs = end;
        sound->SetPlay(play);
        sound->SetPreview({start, end, static_cast<uint8_t>(loop ? 1 : 0)});
        world->QueueSoundPlay(sound);
    }
    if (m_timerRunning)
        killTimer(kPreviewTimer);
    setTimer(kPreviewTimer, kPreviewPeriodMs);
    m_timerRunning = true;
}

void CVTND_ActionPlaySoundDlg::OnStop()
{
    if (m_timerRunning)
        killTimer(kPreviewTimer);
    m_timerRunning = false;
    if (auto* waveform = item<CVTND_AudioWaveformCtrl>(kIdWaveform))
        waveform->SetPlayPosition(0);
    StopAll();
}

void CVTND_ActionPlaySoundDlg::StopAll()
{
    SWworld* world = Action() != nullptr ? Action()->GetWorld() : nullptr;
    if (world == nullptr)
        return;
    for (SWsound* sound : LinkedSounds()) {
        world->QueueSoundStop(sound);
        if (!world->IsRunning()) // the editor's play is over: the next plays as a reopened project's would
            sound->ResetPlay();
    }
}

void CVTND_ActionPlaySoundDlg::Announce()
{
    CVTNDesignerApp* app = App();
    if (m_opening || app == nullptr)
        return;
    CVTND_Event changed(EventCode::kChanged, CVTND_Object(Action()));
    changed.detail = static_cast<uint32_t>(EventDetail::kPlaySound);
    changed.sender = hwnd();
    app->Broadcast(changed);
}

void CVTND_ActionPlaySoundDlg::OnClosing()
{
    if (m_timerRunning)
        killTimer(kPreviewTimer);
    m_timerRunning = false;
    StopAll();
}

void CVTND_ActionPlaySoundDlg::OnNotify(const CVTND_Event& event)
{
    if (event.Is(EventCode::kDeleted) && event.subject.IsType(ObjectType::kSound) && m_longest != nullptr &&
        event.subject.GetObject() == m_longest) {
        m_longest = nullptr; // it goes once the notice is through
        DestroyWindow();
    }
}

pf::LResult CVTND_ActionPlaySoundDlg::handle(const pf::Msg& msg)
{
    switch (msg.message) {
    case pf::WM_COMMAND: {
        const int32_t id = pf::loWord(msg.wParam);
        const int32_t code = pf::hiWord(msg.wParam);
        if (code == pf::EN_CHANGE && (id == kIdStart || id == kIdEnd)) {
            OnPositionChanged(id);
            return 0;
        }
        if (code == pf::EN_CHANGE && id == kIdRepeat) {
            OnRepeatChanged();
            return 0;
        }
        if (code == pf::EN_CHANGE && id == kIdDuration) {
            if (!m_updating)
                Announce();
            return 0;
        }
        if (code != pf::BN_CLICKED)
            break;
        if (id == kIdLoop || id == kIdRepeatRadio) {
            if (SWsoundaction* action = SoundActionOf(Action())) {
                CVTND_WorldWriteLock lock(Action()->GetWorld());
                // Each radio sets what it shows: a second click on Loop must not store "no loop" beside a ticked Loop.
                action->settings.playOption1 = id == kIdLoop ? 1 : 0;
            }
            Announce();
            return 0;
        }
        if (id == kIdPlay) {
            OnPlay();
            return 0;
        }
        if (id == kIdStop) {
            OnStop();
            return 0;
        }
        break;
    }
    case pf::WM_HSCROLL: {
        const pf::LResult result = CVTND_ActionEditorDlg::handle(msg);
        const auto* slider = pf::ui().window(static_cast<pf::Hwnd>(msg.lParam));
        if (slider != nullptr && (slider->id() == kIdStartSlider || slider->id() == kIdEndSlider))
            OnSlider(slider->id());
        return result;
    }
    case pf::WM_TIMER:
        if (msg.wParam == kPreviewTimer && m_longest != nullptr) {
            if (auto* waveform = item<CVTND_AudioWaveformCtrl>(kIdWaveform))
                waveform->SetPlayPosition(SampleAt(m_longest->GetPlayPosition()));
        }
        break;
    default:
        break;
    }
    return CVTND_ActionEditorDlg::handle(msg);
}
