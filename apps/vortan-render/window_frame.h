#pragma once
// A frame of a world drawn into one of its windows the way the tool's window commands all draw it.
class SWworld;
class SWwindowrenderside;

namespace rendertool {

// Refreshes the window's buffers and draws the world's root into its surface, from BeginFrame to EndFrame, in the
// first phase; false, with nothing drawn, when the window had no surface to draw into. Presenting is the caller's.
bool DrawWindowFrame(SWworld& world, SWwindowrenderside& side);

} // namespace rendertool
