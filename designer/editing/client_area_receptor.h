#pragma once
// Receptors that cover the whole client area of each window they take part in: the pickers of the dialogs, the
// action lists and story board rows, and the scene-graph tree.
#include <cstdint>

#include "designer/editing/editor_objects.h"

class ClientAreaReceptor : public DropReceptor {
public:
    using DropReceptor::DropReceptor;

    int32_t GetScreenX(pf::Window* window) override; // -1 without a window
    int32_t GetScreenY(pf::Window* window) override; // -1 without a window
    int32_t GetWidth(pf::Window* window) override;   // 0 without a window
    int32_t GetHeight(pf::Window* window) override;  // 0 without a window
};
