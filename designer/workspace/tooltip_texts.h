#pragma once
// The string-table ids of the tooltip, particle and sound editors' own texts. Tests compare a line or a message
// box with the text of its id, never with wording. The name checks use the editors' shared roles (kIdsValidName,
// kIdsUniqueName).
#include <cstdint>
#include <string>

enum TooltipText : uint32_t {
    kIdsSoundStereo = 24000, // the sound's format line, in its order: channels, sample depth, rate
    kIdsSoundMono = 24001,
    kIdsSound16Bit = 24002,
    kIdsSound8Bit = 24003,
    kIdsSoundOtherBits = 24004,  // "%d" of any other depth
    kIdsSoundFrequency = 24005,  // after the rate's "Hz"
    kIdsSeconds = 24006,         // after the length
    kIdsBytes = 24007,           // after the file size
    kIdsParticlesNoNode = 24008, // the particle system's own node is not in the scene
    kIdsSoundUnreadable = 24009, // the format line of a wave file that cannot be opened
};

std::string TooltipTextOf(uint32_t id); // empty when absent

// The arcball editor's texts.
enum ArcballText : uint32_t {
    kIdsArcballFunctionFirst = 27500, // the 21 button functions in combo order: 0..9, 11..20, then None
    kIdsArcballFrameFirst = 27521,    // the five frames: own, parent, world, camera, target
    kIdsArcballNoTarget = 27526,      // the target edit without a target
};

// The waveform dialog's wave types, in type order (1 sine .. 5 sawtooth down).
enum WaveformText : uint32_t {
    kIdsWaveTypeFirst = 27527,
};

// The trackball editor's texts, and the ids of its pages' own group boxes and labels.
enum TrackballText : uint32_t {
    kIdsTrackballTabFirst = 27532,      // left, middle, right button actions, global
    kIdsTrackballFunctionFirst = 27536, // none, rotate X, Y, Z, translate X, Y, Z, scale
    kIdsTrackballHorizontal = 27544,
    kIdsTrackballVertical = 27545,
    kIdsTrackballLimitsGroup = 27601,
    kIdsTrackballSensitivityLabel = 27602,
    kIdsTrackballFrameGroup = 27603,
    kIdsTrackballFunctionGroup = 27604,
    kIdsTrackballReleaseGroup = 27605,
    kIdsTrackballPercentLabel = 27606,
};
