#pragma once
// RawSoundHandler, row "7499", the sound kind's default: the sound's file as it is (wave, MIDI or anything else).
// Record: name, file name, u32 file size, the file's bytes.
#include "engine/resources/sound_schemes/sound_scheme_handler.h"

class RawSoundHandler : public SoundSchemeHandler {
public:
    explicit RawSoundHandler(Description row) : SoundSchemeHandler(std::move(row)) {}

    // False: the header is damaged, the sound has no world, no temporary file, or the bytes stop short of the
    // stored size (what arrived stays in the file, which goes with the world).
    bool Read(SWchunkstream& in, CVTN_Container* object, uint32_t word) const override;
    bool Write(SWchunkstream& out, CVTN_Container* object, uint32_t word) const override;
};
