#pragma once
// A font object as device contexts select it: the request as made, and the face it resolved to when it was created.
#include "platform/gfx/gdi_objects.h"
#include "platform/gfx/text/font_face.h"
#include "platform/gfx/text/log_font.h"

#include <memory>
#include <string>

namespace pf {

class Font {
public:
    Font(const LogFont& request, std::shared_ptr<const FontFace> face);

    const LogFont& logFont() const { return m_request; }
    const FontFace& face() const { return *m_face; }
    std::string requestedFace() const; // the face name as asked for, even when another was found

private:
    LogFont m_request;
    std::shared_ptr<const FontFace> m_face;
};

FontRef createFontIndirect(const LogFont& request); // resolved through fontEngine(); never null
FontRef defaultGuiFont();                           // "sans-serif" at character height 11

} // namespace pf
