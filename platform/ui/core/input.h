#pragma once
// One input event as a user makes it: the headless simulator and the live backend both hand these to Ui::inject.
#include "platform/base/rect.h"

#include <cstdint>

namespace pf {

struct InputEvent {
    enum class Kind { kMouseMove, kMouseDown, kMouseUp, kKeyDown, kKeyUp, kCharacter, kWheel };
    enum class Button { kLeft, kRight };

    Kind kind = Kind::kMouseMove;
    Point screenPoint;             // mouse events
    Button button = Button::kLeft; // mouse down and up
    uint8_t vk = 0;                // key events
    uint16_t scanCode = 0;         // set-1 scan code; 0: the layer's table for vk
    bool extended = false;
    char32_t codePoint = 0; // character events
    uint32_t timeMs = 0;    // 0: read the clock
    int32_t wheelDelta = 0; // wheel events: WHEEL_DELTA a notch, positive away from the user

    static InputEvent mouse(Kind kind, Point p, Button b)
    {
        InputEvent e;
        e.kind = kind;
        e.screenPoint = p;
        e.button = b;
        return e;
    }
    static InputEvent key(Kind kind, uint8_t vk)
    {
        InputEvent e;
        e.kind = kind;
        e.vk = vk;
        return e;
    }
    static InputEvent mouseMove(Point p) { return mouse(Kind::kMouseMove, p, Button::kLeft); }
    static InputEvent mouseDown(Point p, Button b = Button::kLeft) { return mouse(Kind::kMouseDown, p, b); }
    static InputEvent mouseUp(Point p, Button b = Button::kLeft) { return mouse(Kind::kMouseUp, p, b); }
    static InputEvent mouseWheel(Point p, int32_t delta)
    {
        InputEvent e = mouse(Kind::kWheel, p, Button::kLeft);
        e.wheelDelta = delta;
        return e;
    }
    static InputEvent keyDown(uint8_t vk) { return key(Kind::kKeyDown, vk); }
    static InputEvent keyUp(uint8_t vk) { return key(Kind::kKeyUp, vk); }
    static InputEvent character(char32_t c)
    {
        InputEvent e;
        e.kind = Kind::kCharacter;
        e.codePoint = c;
        return e;
    }
};

} // namespace pf
