#pragma once
// Resource ids of the event map window: its view's template, the context menus, the tool bar, its commands and the
// role texts of its string table.
#include <cstdint>

inline constexpr int32_t kIddEventMapView = 288;
inline constexpr uint32_t kEventMapToolBar = 132;
inline constexpr uint32_t kEventMapMenu = 164;

namespace EventMapControl {
inline constexpr int32_t kEventList = 1000;
inline constexpr int32_t kCanvas = 1001;
inline constexpr int32_t kHiddenEdit = 1035;
inline constexpr int32_t kVerticalBar = 1318;
inline constexpr int32_t kHorizontalBar = 1319;
} // namespace EventMapControl

namespace EventMapCommand {
inline constexpr uint32_t kNewWindow = 32771;
inline constexpr uint32_t kShowList = 32772;
inline constexpr uint32_t kAlignX = 32821;
inline constexpr uint32_t kAlignY = 32823;
inline constexpr uint32_t kSpaceVertically = 32824;
inline constexpr uint32_t kSpaceHorizontally = 32825;
inline constexpr uint32_t kInitiallyActive = 40022;
inline constexpr uint32_t kAutoReset = 40023;
inline constexpr uint32_t kRename = 40024;
inline constexpr uint32_t kCollapseInputs = 40025;
inline constexpr uint32_t kShowObjectNames = 40026;
inline constexpr uint32_t kShowEventNames = 40027;
inline constexpr uint32_t kDeleteEvent = 40032;
inline constexpr uint32_t kActionDetails = 40035;
inline constexpr uint32_t kDeleteAction = 40036;
inline constexpr uint32_t kEventParameters = 40038;
inline constexpr uint32_t kActionParameters = 40039;
inline constexpr uint32_t kRemoveFromMap = 40040;
inline constexpr uint32_t kGetIcon = 40041;
inline constexpr uint32_t kEditEvent = 40052;
inline constexpr uint32_t kEditTimeline = 40080;
inline constexpr uint32_t kObjectDetails = 40084;
} // namespace EventMapCommand

// Popups of menu 164.
enum class EventMapPopup : int32_t { kEvent = 0, kGeneral = 1, kAction = 2, kObject = 3 };

enum EventMapText : uint32_t {
    kIdsEventMapTitle = 20000,    // the frame's title before its number
    kIdsOffsetLabel = 20001,      // before "X: %d" and "Y: %d" in status panes 0 and 1
    kIdsDeleteSelected = 20002,   // the Delete key's question for several objects
    kIdsDeleteThisAction = 20003, // ... for one action
    kIdsDeleteThisEvent = 20004,  // ... for one event
};
