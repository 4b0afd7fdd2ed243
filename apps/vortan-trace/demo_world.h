#pragma once
// The content of the frame and speech scenarios. make-demo writes both into one world file; the scenarios build a
// world of one each. A window whose renderer only keeps its size makes the picking view.
#include <cstdint>

#include "engine/core/window_renderer.h"

class SWworld;

// A view of a fixed size that draws nothing.
class DemoRenderer : public SWwindowrenderer {
public:
    DemoRenderer(uint32_t width, uint32_t height) : m_width(width), m_height(height) {}
    bool SetSize(uint32_t width, uint32_t height) override;
    void GetSize(uint32_t& width, uint32_t& height) const override;

private:
    uint32_t m_width;
    uint32_t m_height;
};

inline constexpr uint32_t kDemoViewSize = 64;

// A camera "eye" at the origin looking along +z, a box "box" 10 ahead of it, and the events: "start" (world start),
// "timer" (every 100 ms, triggering "poke"), "poke" (custom), "clicked" (a left click on "box") and "stop" (world
// stop).
void AddFrameDemo(SWworld& world);
// A head mesh "face" of 8 vertices with the morph targets Phoneme_Eat, Phoneme_Ox and Viseme_Blink_L, a node
// "head", a node "jaw" to which vertices 6 and 7 are bound, the script "talk" (channels 0, 3, 17, 19, 20, 21 over
// 10 frames), and an event "speak" (world start) whose speech action starts on "head".
void AddSpeechDemo(SWworld& world);
// Gives world a window of the demo view size showing its first camera.
void AddDemoWindow(SWworld& world, DemoRenderer& renderer);
