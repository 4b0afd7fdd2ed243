#pragma once
// WaveCodecSoundHandler, row "7498": the sound's wave file through the system's own wave codec at the sound's
// quality percent, which is 100 after every write. Record: name, file name, u16 channels, u16 0, u32 sample rate,
// the codec's block stream. A file the codec cannot carry, or that fails while it is read, is stored as "7499".
#include "engine/resources/sound_schemes/sound_scheme_handler.h"

class WaveCodecSoundHandler : public SoundSchemeHandler {
public:
    explicit WaveCodecSoundHandler(Description row) : SoundSchemeHandler(std::move(row)) {}

    // False: the header is damaged, the sound has no world, no temporary file, or no wave file could be written.
    // A damaged stream keeps the frames before the damage, is reported, and the sound still loads.
    bool Read(SWchunkstream& in, CVTN_Container* object, uint32_t word) const override;
    bool Write(SWchunkstream& out, CVTN_Container* object, uint32_t word) const override;
};
