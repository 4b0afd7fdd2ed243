#pragma once
// The messages the workspace's controls send their parents. Every one is sent synchronously: a pointer in lParam
// is valid only for the length of the send, so a receiver copies what it needs before it returns.
#include <cstdint>

#include "platform/base/user_constants.h"
#include "platform/ui/core/window.h"

namespace workspace_messages {

constexpr uint32_t kNodeDropped = pf::WM_USER + 62;          // 1086: wParam 0, lParam the SWnode*
constexpr uint32_t kGeneratorReplaced = pf::WM_USER + 75;    // 1099: wParam the control id, lParam the control
constexpr uint32_t kValueTyped = pf::WM_USER + 77;           // 1101: wParam the control id, lParam the control
constexpr uint32_t kGeneratorChanged = pf::WM_USER + 82;     // 1106: wParam the change code, lParam the control
constexpr uint32_t kAngleDragging = pf::WM_USER + 103;       // 1127: lParam const float* radians in [0, 2 pi)
constexpr uint32_t kAngleReleased = pf::WM_USER + 104;       // 1128: the same
constexpr uint32_t kPointDragging = pf::WM_USER + 107;       // 1131: lParam const float[2], fractions 0..1
constexpr uint32_t kPointReleased = pf::WM_USER + 108;       // 1132: the same
constexpr uint32_t kPropertyDropped = pf::WM_USER + 127;     // 1151: wParam the control id, lParam the SWproperty*
constexpr uint32_t kGradientChanged = pf::WM_USER + 129;     // 1153: wParam the control id
constexpr uint32_t kGradientKeySelected = pf::WM_USER + 130; // 1154: wParam the control id
constexpr uint32_t kChannelDragging = pf::WM_USER + 132;     // 1156: wParam the control id, lParam const float*
constexpr uint32_t kChannelChanged = pf::WM_USER + 133;      // 1157: the same, after a drag or a typed value

// Sends message to control's parent; 0 when it has none (a control made alone, in a test).
inline pf::LResult SendToParent(pf::Window& control, uint32_t message, pf::WParam w, pf::LParam l)
{
    pf::Window* parent = control.parent();
    return parent == nullptr ? 0 : parent->send(message, w, l);
}

} // namespace workspace_messages
