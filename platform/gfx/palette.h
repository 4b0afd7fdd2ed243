#pragma once
// Logical palettes: what an 8-bit display shows is the system palette, which realising a logical palette loads.
#include <cstdint>
#include <memory>
#include <vector>

namespace pf {

struct PaletteEntry {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t flags = 0;
    friend bool operator==(const PaletteEntry&, const PaletteEntry&) = default;
};

struct LogPalette {
    uint16_t version = 0x300;
    std::vector<PaletteEntry> entries;
};

class Palette {
public:
    explicit Palette(std::vector<PaletteEntry> entries) : m_entries(std::move(entries)) {}
    const std::vector<PaletteEntry>& entries() const { return m_entries; }

private:
    std::vector<PaletteEntry> m_entries;
};

using PaletteRef = std::shared_ptr<const Palette>;

PaletteRef createPalette(const LogPalette& logPalette); // null: version not 0x300, no entries or more than 256

} // namespace pf
