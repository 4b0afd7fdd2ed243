#pragma once
// What the renderer's side of a frame may ask of the frame step while it draws.
class SWworld;

// The world whose frame the calling thread is drawing (inside SWworld::RunFrame's drawing step), or null. The root
// object draws only its resources; the render layers it draws after them belong to this world.
SWworld* WorldBeingDrawn();
