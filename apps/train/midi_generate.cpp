// vortan-train midi: a seeded generator of short standard MIDI files for the music share of the sound corpus.
// Each seed picks a key, a tempo, a texture (scales, block chords, arpeggios, a melody over chords and bass, or all
// of that over a drum pattern on channel 10), General MIDI programs, velocities, panning, and reverb and chorus
// sends. Only integer arithmetic on a fixed generator: a seed gives the same bytes on every host.
#include "apps/train/midi_generate.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "apps/train/train_exit_codes.h"
#include "platform/base/atomic_file.h"

namespace {

constexpr int kTicksPerQuarter = 480;
constexpr int kDrumChannel = 9;
constexpr const char* kUsage = "usage: vortan-train midi --seed N --out FILE.mid [--seconds S]";

// Pianos, mallets, organs, guitars, basses, strings, brass, reeds, pipes and synth leads and pads: timbres the
// codec meets in interactive content, from steady tones to plucked and struck decays.
constexpr std::array<uint8_t, 32> kPrograms = {0,  1,  4,  6,  8,  11, 12, 16, 19, 21, 24, 25, 26, 27, 32, 33,
                                               40, 42, 46, 48, 56, 57, 61, 65, 68, 71, 73, 75, 80, 81, 88, 89};
constexpr std::array<int, 7> kMajor = {0, 2, 4, 5, 7, 9, 11};
constexpr std::array<int, 7> kMinor = {0, 2, 3, 5, 7, 8, 10};

class Draws {
public:
    explicit Draws(uint64_t seed) : m_state(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}
    uint64_t Next()
    {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }
    int Between(int low, int high) { return low + Below(high - low + 1); }

private:
    uint64_t m_state;
};

struct Event {
    uint32_t tick = 0;
    uint32_t order = 0; // ties keep the order of writing, note-offs first
    std::vector<uint8_t> bytes;
};

class Song {
public:
    void Add(uint32_t tick, std::vector<uint8_t> bytes, bool early = false)
    {
        m_events.push_back({tick, (early ? 0u : 1u << 31) | static_cast<uint32_t>(m_events.size()), std::move(bytes)});
    }
    void Note(int channel, uint32_t tick, uint32_t length, int key, int velocity)
    {
        key = std::clamp(key, 0, 127);
        const auto status = static_cast<uint8_t>(channel);
        Add(tick, {static_cast<uint8_t>(0x90 | status), static_cast<uint8_t>(key),
                   static_cast<uint8_t>(std::clamp(velocity, 1, 127))});
        Add(tick + std::max(length, 1u), {static_cast<uint8_t>(0x80 | status), static_cast<uint8_t>(key), 64}, true);
    }
    void Control(int channel, int control, int value)
    {
        Add(0, {static_cast<uint8_t>(0xB0 | channel), static_cast<uint8_t>(control), static_cast<uint8_t>(value)});
    }

    // A format-0 file: header, then one track of the events in time order with running deltas.
    std::string Bytes()
    {
        std::stable_sort(m_events.begin(), m_events.end(), [](const Event& a, const Event& b) {
            return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
        });
        std::string track;
        uint32_t last = 0;
        for (const Event& event : m_events) {
            PutVariable(track, event.tick - last);
            last = event.tick;
            track.append(event.bytes.begin(), event.bytes.end());
        }
        PutVariable(track, kTicksPerQuarter);
        track += std::string("\xFF\x2F\x00", 3);
        std::string file = "MThd";
        PutBig(file, 6, 4);
        PutBig(file, 0, 2); // format 0
        PutBig(file, 1, 2);
        PutBig(file, kTicksPerQuarter, 2);
        file += "MTrk";
        PutBig(file, static_cast<uint32_t>(track.size()), 4);
        return file + track;
    }

private:
    static void PutBig(std::string& out, uint32_t value, int bytes)
    {
        for (int i = bytes - 1; i >= 0; --i)
            out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    static void PutVariable(std::string& out, uint32_t value)
    {
        char groups[5];
        int count = 0;
        do {
            groups[count++] = static_cast<char>(value & 0x7F);
            value >>= 7;
        } while (value != 0);
        while (count-- > 0)
            out += static_cast<char>(groups[count] | (count > 0 ? 0x80 : 0));
    }

    std::vector<Event> m_events;
};

enum class Texture { kScales, kChords, kArpeggios, kMelody, kBand };

// The key of scale degree d (any integer) over root: seven degrees to the octave.
int Degree(int root, const std::array<int, 7>& scale, int d)
{
    const int octave = d >= 0 ? d / 7 : -((-d + 6) / 7);
    return root + 12 * octave + scale[static_cast<size_t>(d - 7 * octave)];
}

} // namespace

std::string GenerateMidi(uint64_t seed, int seconds)
{
    Draws draws(seed);
    Song song;
    const int tempo = draws.Between(60, 180);
    const uint32_t microseconds = 60000000u / static_cast<uint32_t>(tempo);
    song.Add(0, {0xFF, 0x51, 0x03, static_cast<uint8_t>(microseconds >> 16), static_cast<uint8_t>(microseconds >> 8),
                 static_cast<uint8_t>(microseconds)});
    const auto texture = static_cast<Texture>(draws.Below(5));
    const std::array<int, 7>& scale = draws.Below(2) == 0 ? kMajor : kMinor;
    const int root = draws.Between(48, 60);
    const int channels = texture == Texture::kScales ? 1 : texture == Texture::kChords ? 1 : 3;
    const bool effects = draws.Below(2) == 0;
    for (int c = 0; c < channels; ++c) {
        song.Add(0, {static_cast<uint8_t>(0xC0 | c), kPrograms[static_cast<size_t>(draws.Below(kPrograms.size()))]});
        song.Control(c, 10, draws.Between(16, 112)); // pan
        song.Control(c, 91, effects ? draws.Between(30, 90) : 0);
        song.Control(c, 93, effects ? draws.Between(0, 60) : 0);
    }
    const uint32_t beat = kTicksPerQuarter;
    const uint32_t bar = 4 * beat;
    const int bars = std::max(1, seconds * tempo / 240);
    // I IV V vi and their neighbours, four to a phrase.
    static constexpr std::array<int, 8> kChordRoots = {0, 3, 4, 5, 1, 0, 4, 3};
    const int loud = draws.Between(70, 115);
    int melody = 7;
    for (int b = 0; b < bars; ++b) {
        const uint32_t at = static_cast<uint32_t>(b) * bar;
        const int chord = kChordRoots[static_cast<size_t>((b + draws.Below(2)) % 8)];
        const int velocity = std::clamp(loud + draws.Between(-20, 12), 20, 127);
        switch (texture) {
        case Texture::kScales: {
            const int step = draws.Below(2) == 0 ? 1 : 2; // eighths or quarters
            const int notes = 8 / step;
            const int direction = b % 2 == 0 ? 1 : -1;
            for (int i = 0; i < notes; ++i) {
                const int degree = direction > 0 ? i : notes - 1 - i;
                song.Note(0, at + static_cast<uint32_t>(i * step) * beat / 2, static_cast<uint32_t>(step) * beat / 2,
                          Degree(root, scale, degree + 7), velocity + draws.Between(-8, 8));
            }
            break;
        }
        case Texture::kChords:
            for (int d = 0; d < 3; ++d)
                song.Note(0, at, bar - beat / 4, Degree(root, scale, chord + 2 * d + 7), velocity);
            break;
        default: {
            // An arpeggio of the chord on channel 1 (and nothing else in the arpeggio texture), a walking melody on
            // channel 0 and the chord's root as bass on channel 2.
            for (int i = 0; i < 8; ++i)
                song.Note(1, at + static_cast<uint32_t>(i) * beat / 2, beat / 2,
                          Degree(root, scale, chord + 2 * (i % 4 == 3 ? 1 : i % 4) + (i >= 4 ? 7 : 0)),
                          velocity - 15 + draws.Between(-6, 6));
            if (texture == Texture::kArpeggios)
                break;
            song.Note(2, at, bar / 2, Degree(root - 12, scale, chord), velocity);
            song.Note(2, at + bar / 2, bar / 2, Degree(root - 12, scale, chord + (draws.Below(2) == 0 ? 4 : 0)),
                      velocity - 10);
            uint32_t t = 0;
            while (t < bar) {
                const uint32_t length = beat / 2 * static_cast<uint32_t>(1 << draws.Below(3));
                melody = std::clamp(melody + draws.Between(-2, 2), 3, 14);
                song.Note(0, at + t, std::min(length, bar - t), Degree(root, scale, melody + 7),
                          velocity + draws.Between(-10, 10));
                t += length;
            }
            if (texture != Texture::kBand)
                break;
            for (int i = 0; i < 8; ++i) {
                const uint32_t tick = at + static_cast<uint32_t>(i) * beat / 2;
                song.Note(kDrumChannel, tick, beat / 4, i % 2 == 0 ? 42 : 44, 60 + draws.Between(-15, 15)); // hats
                if (i == 0 || i == 4 || (i == 5 && draws.Below(3) == 0))
                    song.Note(kDrumChannel, tick, beat / 4, 36, 100); // kick
                if (i == 2 || i == 6)
                    song.Note(kDrumChannel, tick, beat / 4, 38, 95 + draws.Between(-10, 10)); // snare
            }
            if (b % 4 == 3)
                song.Note(kDrumChannel, at + bar - beat / 2, beat / 2, 49, 90); // crash into the next phrase
        }
        }
    }
    return song.Bytes();
}

int RunMidi(std::span<char* const> args)
{
    uint64_t seed = 0;
    int seconds = 15;
    std::string out;
    bool haveSeed = false;
    for (size_t i = 0; i < args.size(); i += 2) {
        if (i + 1 >= args.size()) {
            std::fprintf(stderr, "vortan-train: %s\n", kUsage);
            return kExitUsage;
        }
        const std::string_view key = args[i];
        const std::string_view value = args[i + 1];
        const char* const end = value.data() + value.size();
        if (key == "--seed") {
            const auto [stop, failure] = std::from_chars(value.data(), end, seed);
            haveSeed = failure == std::errc() && stop == end;
        } else if (key == "--seconds") {
            const auto [stop, failure] = std::from_chars(value.data(), end, seconds);
            if (failure != std::errc() || stop != end || seconds < 1 || seconds > 600) {
                std::fprintf(stderr, "vortan-train: --seconds takes 1 to 600\n");
                return kExitUsage;
            }
        } else if (key == "--out") {
            out = value;
        } else {
            std::fprintf(stderr, "vortan-train: %s\n", kUsage);
            return kExitUsage;
        }
    }
    if (!haveSeed || out.empty()) {
        std::fprintf(stderr, "vortan-train: %s\n", kUsage);
        return kExitUsage;
    }
    std::string error;
    if (!pf::writeFileAtomically(out, GenerateMidi(seed, seconds), &error)) {
        std::fprintf(stderr, "vortan-train: cannot write %s: %s\n", out.c_str(), error.c_str());
        return kExitFailed;
    }
    return kExitDone;
}
