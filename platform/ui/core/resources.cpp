#include "platform/ui/core/resources.h"

namespace pf {

ResourceRegistry& resources()
{
    static ResourceRegistry registry;
    return registry;
}

void ResourceRegistry::addIcon(uint32_t id, IconRef large, IconRef small)
{
    const std::lock_guard lock(m_mutex);
    m_icons[id] = {std::move(large), std::move(small)};
}

IconRef ResourceRegistry::icon(uint32_t id, int32_t side) const
{
    {
        const std::lock_guard lock(m_mutex);
        const auto it = m_icons.find(id);
        if (it != m_icons.end()) {
            const IconRef& pick = side <= 16 ? it->second.second : it->second.first;
            if (pick != nullptr)
                return pick;
        }
    }
    return generatedIcon(id, side);
}

void ResourceRegistry::addCursor(uint32_t id, IconRef picture)
{
    const std::lock_guard lock(m_mutex);
    m_cursors[id] = std::move(picture);
}

Cursor ResourceRegistry::cursor(uint32_t id) const
{
    {
        const std::lock_guard lock(m_mutex);
        const auto it = m_cursors.find(id);
        if (it != m_cursors.end() && it->second != nullptr)
            return cursorFromIcon(it->second);
    }
    const IconRef picture = generatedIcon(id, 32);
    std::vector<uint32_t> argb;
    std::vector<uint8_t> mask;
    for (int32_t y = 0; y < 32; ++y)
        for (int32_t x = 0; x < 32; ++x) {
            argb.push_back(picture->pixel(x, y));
            mask.push_back(0);
        }
    return cursorFromIcon(Icon::create(32, 32, std::move(argb), std::move(mask), {16, 16}));
}

void ResourceRegistry::addBitmap(uint32_t id, DibSectionRef bitmap)
{
    const std::lock_guard lock(m_mutex);
    m_bitmaps[id] = std::move(bitmap);
}

DibSectionRef ResourceRegistry::bitmap(uint32_t id) const
{
    {
        const std::lock_guard lock(m_mutex);
        const auto it = m_bitmaps.find(id);
        if (it != m_bitmaps.end() && it->second != nullptr)
            return it->second;
    }
    const IconRef picture = generatedIcon(id, 16);
    DibSectionRef out = DibSection::create(16, 16);
    for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 16; ++x)
            out->surface().setPixel(x, y, picture->pixel(x, y) & 0x00FFFFFFu);
    return out;
}

void ResourceRegistry::addMenu(uint32_t id, std::vector<MenuItem> items)
{
    const std::lock_guard lock(m_mutex);
    m_menus[id] = std::move(items);
}

std::optional<std::vector<MenuItem>> ResourceRegistry::menu(uint32_t id) const
{
    const std::lock_guard lock(m_mutex);
    const auto it = m_menus.find(id);
    return it == m_menus.end() ? std::nullopt : std::optional(it->second);
}

void ResourceRegistry::addAccelerators(uint32_t id, std::vector<Accelerator> table)
{
    const std::lock_guard lock(m_mutex);
    m_accelerators[id] = std::move(table);
}

std::vector<Accelerator> ResourceRegistry::accelerators(uint32_t id) const
{
    const std::lock_guard lock(m_mutex);
    const auto it = m_accelerators.find(id);
    return it == m_accelerators.end() ? std::vector<Accelerator>{} : it->second;
}

void ResourceRegistry::addToolBar(uint32_t id, std::vector<ToolBarButton> layout)
{
    const std::lock_guard lock(m_mutex);
    m_toolBars[id] = std::move(layout);
}

std::vector<ToolBarButton> ResourceRegistry::toolBar(uint32_t id) const
{
    const std::lock_guard lock(m_mutex);
    const auto it = m_toolBars.find(id);
    return it == m_toolBars.end() ? std::vector<ToolBarButton>{} : it->second;
}

void ResourceRegistry::addString(uint32_t id, std::string text)
{
    const std::lock_guard lock(m_mutex);
    m_strings[id] = std::move(text);
}

std::optional<std::string> ResourceRegistry::string(uint32_t id) const
{
    const std::lock_guard lock(m_mutex);
    const auto it = m_strings.find(id);
    return it == m_strings.end() ? std::nullopt : std::optional(it->second);
}

void ResourceRegistry::addDialog(DialogTemplate dialog)
{
    const std::lock_guard lock(m_mutex);
    const int32_t idd = dialog.idd;
    m_dialogs[idd] = std::move(dialog);
}

std::optional<DialogTemplate> ResourceRegistry::dialog(int32_t idd) const
{
    const std::lock_guard lock(m_mutex);
    const auto it = m_dialogs.find(idd);
    return it == m_dialogs.end() ? std::nullopt : std::optional(it->second);
}

} // namespace pf
