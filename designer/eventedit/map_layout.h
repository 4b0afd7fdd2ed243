#pragma once
// The event map's layout in the project file ("PLAY"): the block of CEditorEngine::WriteLayout, then the first event
// map's scroll origin (i32 x, y; a block without it reads as (0, 0)).
//
// A project is read before its workspace is built, so the record's handler checks the block against the new world
// (a damaged one is reported once and the project still opens) and keeps its bytes with the project; the first event
// map of the new workspace applies them through ApplyProjectLayout.
#include <cstdint>
#include <span>

class CVTNDesignerApp;

inline constexpr uint32_t kLayoutEntryMinBytes = 23; // ids, flag, x, y, kind word, the picture's u32

// Applies, once, the layout kept with the application's project: map objects placed, the first map scrolled.
void ApplyProjectLayout(CVTNDesignerApp& app);
