// Where minimised MDI children stand, and who takes the keys when the active one is minimised.
#include "platform/ui/frame/frame_window.h"

#include <algorithm>
#include <vector>

#include "platform/ui/core/ui.h"

namespace pf {

namespace {

constexpr int32_t kMinimizedWidth = 160;

} // namespace

int32_t MdiChild::freeMinimizedSlot() const
{
    const auto* client = dynamic_cast<const MdiClient*>(parent());
    std::vector<int32_t> taken;
    if (client != nullptr)
        for (const MdiChild* sibling : client->childFrames())
            if (sibling != this && sibling->isMinimized())
                taken.push_back(sibling->m_minimizedSlot);
    int32_t slot = 0;
    while (std::find(taken.begin(), taken.end(), slot) != taken.end())
        ++slot;
    return slot;
}

Rect MdiChild::minimizedPlace() const
{
    const Window* client = parent();
    const Rect area = client != nullptr ? client->clientRect() : Rect{};
    const int32_t height = clientInsets().t + clientInsets().b;
    const int32_t perRow = std::max<int32_t>(1, static_cast<int32_t>(area.width()) / kMinimizedWidth);
    const int32_t x = area.l + (m_minimizedSlot % perRow) * kMinimizedWidth;
    const int32_t b = area.b - (m_minimizedSlot / perRow) * height;
    return {x, b - height, x + kMinimizedWidth, b};
}

void MdiChild::activateWhole()
{
    const Hwnd self = hwnd();
    activate();
    if (ui().window(self) == this && isMinimized())
        restore();
    if (ui().window(self) == this)
        keepInClient(); // the keys reach it, and so must the eye and the mouse
}

void MdiChild::activateAnotherThanMinimized()
{
    auto* client = dynamic_cast<MdiClient*>(parent());
    if (client == nullptr || client->activeChild() != this)
        return;
    const std::vector<MdiChild*> children = client->childFrames(); // bottom to top
    const auto whole =
        std::find_if(children.rbegin(), children.rend(), [](const MdiChild* child) { return !child->isMinimized(); });
    if (whole != children.rend())
        client->activate(*whole);
}

} // namespace pf
