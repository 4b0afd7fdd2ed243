#include "platform/gfx/text/font_engine.h"

#include "platform/gfx/text/freetype_font_engine.h"

#include <atomic>

namespace pf {

namespace {
std::atomic<FontEngine*> g_engine{nullptr};
}

FontEngine& fontEngine()
{
    static FreeTypeFontEngine live;
    FontEngine* const installed = g_engine.load();
    return installed != nullptr ? *installed : live;
}

void setFontEngine(FontEngine* engine)
{
    g_engine.store(engine);
}

} // namespace pf
