// Every dialog, page and panel of the designer as a person reads it, in the real fonts: no label of a check box,
// radio button, group box, push button or one-line static text is cut off by its own control.
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "platform/base/user_constants.h"
#include "platform/gfx/frame_control.h"
#include "platform/gfx/memory_dc.h"
#include "platform/testing/ui_fixture.h"
#include "platform/ui/core/resources.h"

namespace editorstest {
namespace {

// How much of its control a label may take; nothing when the control shows no label of one line.
std::optional<int32_t> RoomForLabel(const pf::ControlDef& c, int32_t lineHeight)
{
    const int32_t width = static_cast<int32_t>(c.rc.width());
    const int32_t height = static_cast<int32_t>(c.rc.height());
    if (c.text.empty())
        return std::nullopt;
    if (c.cls == "static")
        return height < 2 * lineHeight ? std::optional<int32_t>(width) : std::nullopt;
    if (c.cls != "button")
        return std::nullopt;
    const uint32_t type = c.style & 0xF;
    if (type == pf::BS_GROUPBOX)
        return width - 10;
    if (type == pf::BS_PUSHBUTTON || type == pf::BS_DEFPUSHBUTTON)
        return width - 4;
    return width - pf::checkMarkSide(height) - 4; // the mark, then its label
}

class EditorLayouts : public pf::UiFixture {};

TEST_F(EditorLayouts, EveryLabelFitsItsControl)
{
    useFreeType(); // the fonts a person sees
    pf::MemoryDc dc;
    const int32_t lineHeight = static_cast<int32_t>(dc.getTextExtent("Xg").cy);
    int32_t dialogs = 0;
    for (const int32_t idd : pf::resources().dialogIds()) {
        const std::optional<pf::DialogTemplate> dialog = pf::resources().dialog(idd);
        if (!dialog)
            continue;
        ++dialogs;
        for (const pf::ControlDef& c : dialog->controls) {
            const std::optional<int32_t> room = RoomForLabel(c, lineHeight);
            if (!room)
                continue;
            EXPECT_LE(dc.getTextExtent(c.text).cx, *room)
                << "dialog " << idd << ", control " << c.id << ": \"" << c.text << "\"";
        }
    }
    EXPECT_GE(dialogs, 70);
}

} // namespace
} // namespace editorstest
