#include "platform/gfx/text/font.h"

#include "platform/gfx/text/font_engine.h"

#include <cstring>

namespace pf {

Font::Font(const LogFont& request, std::shared_ptr<const FontFace> face) : m_request(request), m_face(std::move(face))
{
    m_request.face[sizeof(m_request.face) - 1] = '\0'; // a caller's full 32 bytes still end in a terminator
}

std::string Font::requestedFace() const
{
    return std::string(m_request.face, strnlen(m_request.face, 32));
}

FontRef createFontIndirect(const LogFont& request)
{
    return std::make_shared<const Font>(request, fontEngine().resolve(request));
}

FontRef defaultGuiFont()
{
    LogFont request;
    request.height = -kDefaultCharacterHeight;
    request.weight = FW_NORMAL;
    std::memcpy(request.face, "sans-serif", sizeof("sans-serif"));
    return createFontIndirect(request);
}

} // namespace pf
