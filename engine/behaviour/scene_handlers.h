#pragma once
// The scene handlers that the designer's dialogs also call directly, with the world's lock held by the caller:
// exactly what the action catalogue runs for kinds 19 and 37. A null action does nothing.
#include <cstdint>

class SWbackgroundaction;
class SWnode;
class SWstereoaction;
class SWworld;

void DoActionSetBackground(SWworld* world, SWbackgroundaction* action);
void DoActionStereoVision(SWworld* world, SWnode* target, const SWstereoaction* action); // target: a camera node

// 0x00RRGGBB from three components of 0..1; each is clamped first, so none spills into its neighbour.
uint32_t PackBackgroundColour(float red, float green, float blue);
