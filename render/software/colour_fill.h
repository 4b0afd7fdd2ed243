#pragma once
// The background colour fill of a run of pixels. The wide form writes aligned 16-byte stores, four at a time
// (16 pixels), after a short head that reaches the alignment; it gives the same pixels as the plain one.
#include <cstdint>

void FillColourPlain(uint32_t* pixels, int32_t count, uint32_t colour);
void FillColourWide(uint32_t* pixels, int32_t count, uint32_t colour);
// The wide form when the driver manager has SSE active, else the plain one.
using SWcolourfill = void (*)(uint32_t* pixels, int32_t count, uint32_t colour);
SWcolourfill ChooseColourFill();
