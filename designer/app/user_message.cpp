#include "designer/app/user_message.h"

#include "platform/base/user_constants.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/core/window.h"
#include "platform/ui/providers/providers.h"

int32_t ShowUserMessage(pf::Window* owner, const std::string& text, uint32_t flags)
{
    if (!pf::hasUi())
        return pf::IDCANCEL;
    return pf::messageBox(owner != nullptr ? owner->hwnd() : pf::kNoWindow, text, kDesignerCaption, flags);
}
