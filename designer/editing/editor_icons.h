#pragma once
// The editor's own icon art. Every picture the editor images name is drawn here, in code, on a 16-unit grid that
// scales to the system's small (16) and large (32) sizes: a small fixed palette, a one-pixel dark outline around
// each shape, transparent corners. Kinds of one family share their base picture and differ by a round badge.
#include <cstdint>
#include <string_view>

#include "platform/gfx/icon.h"

// The picture of `id` at side x side pixels; null for an id without a drawing or a side outside [8, 256].
pf::IconRef DrawEditorIcon(uint32_t id, int32_t side);
// What the picture shows, for contact sheets and reviews; empty for an id without a drawing.
std::string_view EditorIconName(uint32_t id);
// The cursor of a drag of several objects: two stacked sheets under an arrow, hot spot at the arrow's tip.
pf::IconRef DrawDragCursorPicture();
