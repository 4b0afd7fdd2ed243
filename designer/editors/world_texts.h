#pragma once
// The string-table ids of the world-level editors and tools: the loadable-world and header details, the scale and
// centre tool and the scene-file dialogs. Tests compare a message box with the text
// of its id, never with wording. Name checks use the editors' shared roles (kIdsValidName, kIdsUniqueName).
#include <cstdint>
#include <string>

enum WorldText : uint32_t {
    kIdsPublishedTitle = 28000,  // the open-file dialog of a loadable world's published file
    kIdsPublishedFilter = 28001, // its filter, "*.vto"
    kIdsRemoveFilesAsk = 28002,  // are you sure you want to remove the checked files? this cannot be undone
    kIdsRemoveFilesCaption = 28003,
    kIdsScaleTarget = 28004, // a target size that is not a positive number
};

std::string WorldTextOf(uint32_t id); // empty when absent
