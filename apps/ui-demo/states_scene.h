#pragma once
// The states picture of vortan-ui-demo: one row per kind of control, one column per state (normal, focused,
// pressed, checked, disabled). Only one control can hold the focus or the mouse at a time, so every cell is a
// fresh control put in its state, photographed on the screen and pasted into the picture.
#include <cstdint>
#include <string>

namespace demo {

constexpr int32_t kIddStatesHost = 503;

void registerStatesResources();
bool writeStatesScene(const std::string& path); // needs the current Ui; false when a cell or the file failed

} // namespace demo
