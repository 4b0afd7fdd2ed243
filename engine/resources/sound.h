#pragma once
// SWsound (tag "7403"): a sound of the world, a wave or MIDI file that actions and motions play. Its player is
// opened on first need and released when the file changes; length, channels and rate are the player's answers (0
// when the file cannot be opened). Playing runs over a range, looping or repeating as the motion that started it
// asks; the world's sound step calls Poll once per frame, which restarts the range while passes remain and answers
// true once when the sound has ended.
#include <cstdint>
#include <memory>
#include <string>

#include "engine/core/container.h"
#include "engine/resources/compression_scheme.h"

namespace pf {
class SoundPlayer;
}
class SWworld;

// How the sound plays next. Its own range, loop and repeat count until an action, a motion or an editor's Play sets
// those of its play; a document stores the sound's own, which no play changes.
struct SWsoundplay {
    uint32_t startMs = 0;
    uint32_t endMs = 0; // 0: to the end of the file
    uint8_t loop = 0;
    uint32_t repeatCount = 0;
};

struct SWsoundpreview { // what the sound editor last previewed
    uint32_t fromMs = 0;
    uint32_t toMs = 0;
    uint8_t loop = 0;
};

class SWsound : public CVTN_Container, public SWschemechoice {
public:
    static constexpr uint8_t kTypeOther = 0;
    static constexpr uint8_t kTypeWave = 1;
    static constexpr uint8_t kTypeMidi = 2;

    SWsound();
    explicit SWsound(std::string name);
    ~SWsound() override;

    const std::string& GetName() const { return m_name; }
    void SetName(std::string name) { m_name = std::move(name); }
    uint8_t GetType() const { return m_type; } // 1 wave, 2 MIDI, 0 neither
    const std::string& GetFileName() const { return m_fileName; }
    // Releases the player, keeps the path, reads the file's size (0 when missing) and sets the type from the
    // three-letter extension, in any case ("wav" 1, "mid" 2, else 0). The sound never deletes its file.
    void SetFileName(std::string path);
    uint64_t GetFileSize() const { return m_fileSize; }
    // The path a document stores: the one the sound was given, also once its file was restored under a temporary
    // name (a reader sets it after the restore; SetFileName forgets it).
    const std::string& GetStoredFileName() const { return m_storedFileName.empty() ? m_fileName : m_storedFileName; }
    void SetStoredFileName(std::string path)
    {
        m_storedFileName = std::move(path);
        m_restored = true;
    }
    // The file was restored under a temporary name: GetFileName is no place a person would know.
    bool IsRestored() const { return m_restored; }
    // A file restored under a temporary name keeps the type it was stored with, and its size once it is written.
    void SetType(uint8_t type) { m_type = type; }
    void SetFileSize(uint64_t bytes) { m_fileSize = bytes; }
    uint32_t GetQualityPercent() const { return m_qualityPercent; }
    void SetQualityPercent(uint32_t percent) { m_qualityPercent = percent; }
    uint8_t GetSc36Variant() const { return m_sc36Variant; } // 0 "SC3", 1 "SC6", 2 "SC3-6"
    void SetSc36Variant(uint8_t variant) { m_sc36Variant = variant; }
    SWworld* GetWorld() const { return m_world; }
    void SetWorld(SWworld* world) { m_world = world; } // the owning world, which outlives its sounds

    // -- What the player answers (0 when the file cannot be opened)
    uint32_t GetLength();       // milliseconds
    uint32_t GetPlayPosition(); // milliseconds, while the player is loaded
    int16_t GetChannels();
    uint32_t GetSampleRate();
    uint16_t GetBitsPerSample();

    // -- Playing
    uint8_t GetReady() const { return m_ready; }
    void SetReady(uint8_t ready) { m_ready = ready; } // queued for playing without being loaded first
    // The ready flag as the file gave it (0 for a new sound): what is written back, whatever playing set since.
    uint8_t GetStoredReady() const { return m_storedReady; }
    void SetStoredReady(uint8_t ready) { m_storedReady = ready; }
    uint8_t GetStartedByMotion() const { return m_startedByMotion; }
    void SetStartedByMotion(uint8_t started) { m_startedByMotion = started; }
    // The sound's own settings; each setter sets that of the next play too.
    uint8_t GetLoop() const { return m_loop; }
    void SetLoop(uint8_t loop) { m_loop = m_play.loop = loop; } // non-zero: loop until stopped
    uint32_t GetRepeatCount() const { return m_repeatCount; }
    // Passes in all; 0 and 1 both play once.
    void SetRepeatCount(uint32_t count) { m_repeatCount = m_play.repeatCount = count; }
    uint32_t GetRangeStartMs() const { return m_rangeStartMs; }
    uint32_t GetRangeEndMs() const { return m_rangeEndMs; }
    void SetPlayRange(uint32_t startMs, uint32_t endMs); // end 0: to the end of the file
    const SWsoundplay& GetPlay() const { return m_play; }
    void SetPlay(const SWsoundplay& play) { m_play = play; } // the sound's own settings stay
    void ResetPlay() { m_play = {m_rangeStartMs, m_rangeEndMs, m_loop, m_repeatCount}; }
    uint8_t GetPlayOption(int index) const { return index == 0 || index == 1 ? m_playOptions[index] : 0; }
    void SetPlayOption(int index, uint8_t value); // index 0 or 1; others ignored
    const SWsoundpreview& GetPreview() const { return m_preview; }
    void SetPreview(const SWsoundpreview& preview) { m_preview = preview; }

    bool IsPlaying() const { return m_playing != 0; }
    void Start(); // plays the range from its start; the playing byte is set at once, even for a file that cannot play
    void Halt();  // stops; the playing byte clears
    bool Poll();  // see the header comment; true exactly once per play that ended by itself

    SchemeKind GetSchemeKind() const override { return SchemeKind::kSound; }
    const SWcompressionscheme* GetScheme() const override { return m_scheme; }
    void SetScheme(const SWcompressionscheme* row) override { m_scheme = row; }

private:
    pf::SoundPlayer* Player(); // opened on first need; null when the file cannot be opened
    void ReleasePlayer();

    uint8_t m_type = kTypeOther;
    std::string m_name;
    std::string m_fileName;
    std::string m_storedFileName; // empty: the file name itself
    bool m_restored = false;      // SetStoredFileName was called since the last SetFileName
    uint64_t m_fileSize = 0;
    uint32_t m_qualityPercent = 100;
    uint8_t m_sc36Variant = 0;
    const SWcompressionscheme* m_scheme = nullptr; // a row of the scheme table; null: the kind's default
    SWworld* m_world = nullptr;
    uint8_t m_ready = 0;
    uint8_t m_storedReady = 0;
    uint8_t m_startedByMotion = 0;
    uint8_t m_loop = 0;
    uint32_t m_repeatCount = 0;
    uint32_t m_rangeStartMs = 0;
    uint32_t m_rangeEndMs = 0;
    SWsoundplay m_play;
    uint8_t m_playOptions[2] = {0, 0};
    SWsoundpreview m_preview;
    uint8_t m_playing = 0;
    uint32_t m_passesLeft = 0;
    std::unique_ptr<pf::SoundPlayer> m_player;
    bool m_playerFailed = false; // opening failed: not tried again until the file changes
};
