#pragma once
// The string-table ids of the material, texture and hot-spot editors' own texts. Tests compare a message box or an
// entry with the text of its id, never with wording. The name checks' error boxes use the editors' shared roles
// (kIdsValidName, kIdsUniqueName).
#include <cstdint>
#include <string>

enum MaterialText : uint32_t {
    kIdsNoTexture = 23000,    // entry 0 of every texture combo box
    kIdsKindLossless = 23001, // the image kinds of the texture editor, in combo order
    kIdsKindWavelet = 23002,
    kIdsKindPalette = 23003,
    kIdsKindGreyscale = 23004,
    kIdsOpenJpegTitle = 23005, // the open-file dialog of the alter-ego picture
    kIdsJpegFilter = 23006,
    kIdsJpegUnreadable = 23007,    // the alter-ego picture could not be read
    kIdsHotspotValidName = 23008,  // a hot spot's name is empty
    kIdsHotspotUniqueName = 23009, // another node bears the hot spot's new name
    kIdsHotspotRole = 23010,       // the word new hot spots are named after ("%s_%d")
    kIdsKindProcedural = 23011,    // the texture editor's fifth kind, offered to a procedural picture alone
};

std::string MaterialTextOf(uint32_t id); // empty when absent
