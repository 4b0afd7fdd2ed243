#include "platform/gfx/palette.h"

#include "platform/base/gdi_constants.h"

namespace pf {

PaletteRef createPalette(const LogPalette& logPalette)
{
    if (logPalette.version != kLogPaletteVersion || logPalette.entries.empty() || logPalette.entries.size() > 256)
        return nullptr;
    return std::make_shared<const Palette>(logPalette.entries);
}

} // namespace pf
