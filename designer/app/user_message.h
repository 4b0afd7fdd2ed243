#pragma once
// Messages for the person at the designer: through the platform's message box when a window system runs (the
// designer, window tests), nowhere otherwise (tools and fuzz targets read the result's own text).
#include <cstdint>
#include <string>

namespace pf {
class Window;
}

inline constexpr const char* kDesignerCaption = "Vortan";

// The box's answer (IDOK, IDYES, ...), or IDCANCEL when no window system runs. flags: MB_* (buttons and icon).
int32_t ShowUserMessage(pf::Window* owner, const std::string& text, uint32_t flags);
