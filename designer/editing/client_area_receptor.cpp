#include "designer/editing/client_area_receptor.h"

#include "platform/ui/core/window.h"

int32_t ClientAreaReceptor::GetScreenX(pf::Window* window)
{
    return window != nullptr ? window->clientToScreen({0, 0}).x : -1;
}

int32_t ClientAreaReceptor::GetScreenY(pf::Window* window)
{
    return window != nullptr ? window->clientToScreen({0, 0}).y : -1;
}

int32_t ClientAreaReceptor::GetWidth(pf::Window* window)
{
    return window != nullptr ? window->clientRect().r : 0;
}

int32_t ClientAreaReceptor::GetHeight(pf::Window* window)
{
    return window != nullptr ? window->clientRect().b : 0;
}
