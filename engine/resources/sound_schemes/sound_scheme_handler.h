#pragma once
// SoundSchemeHandler: the scheme rows of the sound kind. A row's Write turns the sound's file into one record whose
// tag is the row's id; its Read turns that record back into a file in the temporary folder, points the sound at it,
// lists it among the world's referenced files (which delete it with the world) and queues the sound for loading.
//
// Every row that cannot store a sound its own way stores the file as it is, in a "7499" record, and says so through
// ReportResource: a published world never loses a sound. A record's payload must fit its u32 length; a sound that
// cannot is reported and not written, and the document goes on without it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/resources/compression_scheme.h"

class SWchunkstream;
class SWsound;

inline constexpr uint64_t kMaxSoundPayloadBytes = 0xFFFFFFFFull;

class SoundSchemeHandler : public SWcompressionscheme {
public:
    explicit SoundSchemeHandler(Description row) : SWcompressionscheme(std::move(row)) {}

    bool Accepts(const CVTN_Container* object) const override; // any sound; null or another object: false

protected:
    static SWsound* SoundOf(CVTN_Container* object);
    static const SWsound* SoundOf(const CVTN_Container* object);

    // The "7499" record of sound's file instead of this row's, with the reason reported. False: not written.
    bool StoreUncompressed(SWchunkstream& out, SWsound& sound, const std::string& why) const;
    void Report(const SWsound& sound, const std::string& text) const; // "NAME: text", captioned with the row
};

// -- What the rows share

// "7499": name, file name, u32 file size, the file's bytes. A file that cannot be opened gives size 0 and no bytes
// (reported); a file too large for a record is reported and nothing is written (false).
bool WriteRawSoundRecord(SWchunkstream& out, SWsound& sound);
// Whether a "7499" payload of those sizes fits a record's u32 length.
bool RawSoundRecordFits(uint64_t fileBytes, size_t nameBytes, size_t fileNameBytes);

// The head every record starts with: the name into the sound, then the stored file name, which is discarded.
bool ReadSoundNames(SWchunkstream& in, SWsound& sound);
// A new empty temporary file that the sound now names, with its stored type kept, listed in its world's referenced
// files. None, with the sound unchanged, when it has no world (nothing would delete the file) or no file could be
// made.
std::optional<std::string> RestoreIntoTemporaryFile(SWsound& sound);
// The restored file is complete: its size into the sound, the sound onto its world's load queue.
void FinishRestoredSound(SWsound& sound, const std::string& path);
