#pragma once
// The world's frame on the renderer's side: the body of SWrootobject::Render, and the seam through which the
// render layers draw once the scene resources provide them.
class SWrootobject;
class SWrendertarget;

// Draws the world's render layers after the geometry's batches, one batch per item, flushing the target itself.
// The one installed from the start draws the tooltip layer of the world whose frame step is drawing this root
// object; without a drawer no layers are drawn. Answers the drawer it replaces.
using SWlayerdrawer = bool (*)(SWrootobject& root, SWrendertarget& target);
SWlayerdrawer SetLayerDrawer(SWlayerdrawer drawer);
