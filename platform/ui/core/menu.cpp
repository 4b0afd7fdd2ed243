#include "platform/ui/core/menu.h"

#include "platform/base/user_constants.h"
#include "platform/ui/core/resources.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/providers/providers.h"

namespace pf {

namespace {

MenuItem* findById(std::vector<MenuItem>& items, uint32_t id)
{
    for (MenuItem& item : items) {
        if (!item.isPopup() && item.id == id && (item.flags & MF_SEPARATOR) == 0)
            return &item;
        if (MenuItem* inner = findById(item.popup, id))
            return inner;
    }
    return nullptr;
}

const MenuItem* findConstById(const std::vector<MenuItem>& items, uint32_t id)
{
    return findById(const_cast<std::vector<MenuItem>&>(items), id);
}

} // namespace

Menu::Menu(std::vector<MenuItem> items)
    : m_root(std::make_shared<std::vector<MenuItem>>(std::move(items))), m_items(m_root.get())
{
}

Menu::Menu(std::shared_ptr<std::vector<MenuItem>> root, std::vector<MenuItem>* items)
    : m_root(std::move(root)), m_items(items)
{
}

Menu Menu::load(uint32_t resourceId)
{
    const std::optional<std::vector<MenuItem>> items = resources().menu(resourceId);
    return items ? Menu(*items) : Menu();
}

int32_t Menu::itemCount() const
{
    return m_items == nullptr ? -1 : static_cast<int32_t>(m_items->size());
}

const std::vector<MenuItem>& Menu::items() const
{
    static const std::vector<MenuItem> kNone;
    return m_items == nullptr ? kNone : *m_items;
}

bool Menu::appendItem(MenuItem item)
{
    if (m_items == nullptr)
        return false;
    m_items->push_back(std::move(item));
    return true;
}

Menu Menu::subMenu(int32_t position) const
{
    if (m_items == nullptr || position < 0 || position >= itemCount() || !(*m_items)[position].isPopup())
        return {};
    return Menu(m_root, &(*m_items)[position].popup);
}

MenuItem* Menu::find(uint32_t idOrPosition, uint32_t flags) const
{
    if (m_items == nullptr)
        return nullptr;
    if ((flags & MF_BYPOSITION) != 0)
        return idOrPosition < m_items->size() ? &(*m_items)[idOrPosition] : nullptr;
    return findById(*m_items, idOrPosition);
}

int32_t Menu::checkItem(uint32_t idOrPosition, uint32_t flags)
{
    MenuItem* item = find(idOrPosition, flags);
    if (item == nullptr)
        return -1;
    const int32_t previous = static_cast<int32_t>(item->flags & MF_CHECKED);
    item->flags = (item->flags & ~MF_CHECKED) | (flags & MF_CHECKED);
    return previous;
}

int32_t Menu::enableItem(uint32_t idOrPosition, uint32_t flags)
{
    MenuItem* item = find(idOrPosition, flags);
    if (item == nullptr)
        return -1;
    const int32_t previous = static_cast<int32_t>(item->flags & (MF_GRAYED | MF_DISABLED));
    item->flags = (item->flags & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
    return previous;
}

uint32_t Menu::itemState(uint32_t idOrPosition, uint32_t flags) const
{
    const MenuItem* item = find(idOrPosition, flags);
    return item == nullptr ? 0xFFFFFFFFu : item->flags;
}

uint32_t Menu::trackPopup(uint32_t flags, Point screenPoint, Window& owner) const
{
    if (m_items == nullptr || owner.hwnd() == kNoWindow)
        return 0;
    const Hwnd ownerHwnd = owner.hwnd();
    uint32_t chosen = ui().providers().menuChooser().choose(ownerHwnd, *m_items, screenPoint, flags);
    if ((flags & TPM_MENUBAR) != 0 && isMenuBarMove(chosen))
        return chosen;
    if (chosen != 0 && !isChoosableCommand(*m_items, chosen)) {
        ui().reportStrictFailure("menu command " + std::to_string(chosen) + " is disabled, a separator or absent");
        chosen = 0;
    }
    if ((flags & TPM_RETURNCMD) != 0)
        return chosen;
    if (chosen == 0)
        return 0;
    ui().post(ownerHwnd, WM_COMMAND, chosen, 0);
    return 1;
}

bool isChoosableCommand(const std::vector<MenuItem>& items, uint32_t id)
{
    const MenuItem* item = findConstById(items, id);
    return item != nullptr && item->isChoosable();
}

} // namespace pf
