#pragma once
// The string-table ids of the world-level editors and tools: the loadable-world and header details, the scale and
// centre tool, the scene-file dialogs and the property dialog. Tests compare a message box with the text
// of its id, never with wording. Name checks use the editors' shared roles (kIdsValidName, kIdsUniqueName).
#include <cstdint>
#include <string>

enum WorldText : uint32_t {
    kIdsPublishedTitle = 28000,  // the open-file dialog of a loadable world's published file
    kIdsPublishedFilter = 28001, // its filter, "*.vto"
    kIdsRemoveFilesAsk = 28002,  // are you sure you want to remove the checked files? this cannot be undone
    kIdsRemoveFilesCaption = 28003,
    kIdsScaleTarget = 28004,          // a target size that is not a positive number
    kIdsPropertyUniqueName = 28005,   // a property needs a name no other property of its owner has
    kIdsPropertyInconsistent = 28006, // the cast makes no sense: choose a consistent type
    kIdsPropertyNoOwner = 28007,      // the property cannot go there: no list, or not the source's
    kIdsEditPropertyTitle = 28008,
    kIdsStringWord = 28009,            // the string page's first text
    kIdsPropertyReachableName = 28010, // a name no expression could name: it holds a dot, a bracket or an operator
    kIdsPropertyEmptyName = 28011,     // the name field is empty
};

std::string WorldTextOf(uint32_t id); // empty when absent
