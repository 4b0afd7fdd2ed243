#pragma once
// The tool bar at the top of a frame: buttons with a command id and an image, separators, check and enable
// states. A click on an enabled button sends WM_COMMAND(id, 0) to the parent frame, which routes it to the
// active view first. Buttons are flat until the pointer is over them (raised) or they are down or checked (sunken).
#include "platform/gfx/image_list.h"
#include "platform/ui/controls/control.h"
#include "platform/ui/core/resources.h"

#include <vector>

namespace pf {

class ToolBar : public Control {
public:
    static constexpr int32_t kHeight = 28;
    static constexpr int32_t kButtonWidth = 24;
    static constexpr int32_t kSeparatorWidth = 8;

    bool loadToolBar(uint32_t resourceId); // the layout; images from the image list by index
    void setButtons(const std::vector<ToolBarButton>& buttons);
    ImageListRef setImageList(ImageListRef list);
    int32_t buttonCount() const { return static_cast<int32_t>(m_buttons.size()); }
    int32_t commandToIndex(uint32_t command) const; // -1 when absent
    Rect itemRect(int32_t index) const;             // client coordinates
    bool checkButton(uint32_t command, bool checked);
    bool enableButton(uint32_t command, bool enabled);
    bool isButtonChecked(uint32_t command) const;
    bool isButtonEnabled(uint32_t command) const;
    void placeAtTopOf(const Rect& parentClient);

protected:
    LResult handle(const Msg& msg) override;

private:
    struct Item {
        ToolBarButton button;
        bool enabled = true;
        bool checked = false;
    };
    void paint();
    int32_t hitTest(Point p) const;

    void setHot(int32_t index);

    std::vector<Item> m_buttons;
    ImageListRef m_images;
    int32_t m_pressed = -1;
    int32_t m_hot = -1; // the button under the pointer, raised
};

} // namespace pf
