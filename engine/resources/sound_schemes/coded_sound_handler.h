#pragma once
// CodedSoundHandler: what the rows of the frame codecs (Tonalwave, RT24, SC36) share. Each id codes one layout,
// which is also what Accepts asks of the sound. Record: name, file name, (SC36: u8 variant), u16 bits per sample
// (16: 8-bit sources are widened), u16 channels, u32 sample rate, then the family's frames.
//
// Write stores the file as "7499" instead, reported, when it is not a PCM wave file of 8 or 16 bits, when its own
// rate or channels differ from the id's layout (the frames would play at the wrong speed or with scrambled
// channels), or when coding fails.
#include <cstdint>
#include <optional>
#include <string>

#include "engine/resources/sound_schemes/mmio_frame_stream.h"
#include "engine/resources/sound_schemes/sound_scheme_handler.h"

struct SoundLayout {
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    const char* name = ""; // the model as the messages name it
    const char* kind = ""; // "sound" or "speech"
};

class CodedSoundHandler : public SoundSchemeHandler {
public:
    static constexpr uint32_t kMaxStoredSampleRate = 192000;

    explicit CodedSoundHandler(Description row) : SoundSchemeHandler(std::move(row)) {}

    // False: the header is damaged or names a layout no writer stores (channels other than 1 or 2, bits other than
    // 16, rate 0 or above kMaxStoredSampleRate), the sound has no world, no temporary file, or the wave file could
    // not be written. Damaged frames are reported and the sound still loads.
    bool Read(SWchunkstream& in, CVTN_Container* object, uint32_t word) const override;
    bool Write(SWchunkstream& out, CVTN_Container* object, uint32_t word) const override;
    bool Accepts(const CVTN_Container* object) const override; // the player's rate and channels match the layout
    // None when accepted; the text names the layout taken, then the sound's rate and channel word; empty for an id
    // this class does not know.
    std::optional<std::string> Describe(const CVTN_Container* object) const override;

    std::optional<SoundLayout> Layout() const { return LayoutOf(GetId()); }

protected:
    virtual std::optional<SoundLayout> LayoutOf(uint32_t id) const = 0;
    virtual bool HasVariantByte() const { return false; }
    virtual sound::FrameLoopResult EncodeFrames(sound::WaveFrameSource& source, sound::WaveFrameSink& sink,
                                                uint8_t variant) const = 0;
    virtual sound::FrameLoopResult DecodeFrames(sound::WaveFrameSource& source, sound::WaveFrameSink& sink,
                                                uint8_t variant) const = 0;
};
