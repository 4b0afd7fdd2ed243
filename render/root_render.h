#pragma once
// The world's frame on the renderer's side: the body of SWrootobject::Render, and the seam through which the
// render layers draw once the scene resources provide them.
class SWrootobject;
class SWrendertarget;

// Draws the world's render layers after the geometry's batches, one batch per item, flushing the target itself.
// The scene resources install it once; without one a world has no layers to draw.
using SWlayerdrawer = bool (*)(SWrootobject& root, SWrendertarget& target);
void SetLayerDrawer(SWlayerdrawer drawer);
