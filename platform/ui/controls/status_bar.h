#pragma once
// The status bar at the bottom of a frame: panes by their right edges (-1 runs to the end), a text in each; it
// sends no notification.
#include "platform/ui/controls/control.h"

#include <string>
#include <vector>

namespace pf {

class StatusBar : public Control {
public:
    static constexpr int32_t kHeight = 20;

    bool setParts(const std::vector<int32_t>& rightEdges);
    int32_t partCount() const { return static_cast<int32_t>(m_texts.size()); }
    using Window::setText; // the window text, which pane 0 shows
    bool setText(int32_t pane, std::string_view text);
    std::string paneText(int32_t pane) const;
    Rect paneRect(int32_t pane) const;
    void placeAtBottomOf(const Rect& parentClient); // the frame's layout calls this

protected:
    LResult handle(const Msg& msg) override;

private:
    void paint();
    Rect textRect(int32_t pane) const; // where the pane's text goes, inside its sunken edge
    bool showsSizeGrip() const;        // when its top-level window can be resized

    std::vector<int32_t> m_edges{-1};
    std::vector<std::string> m_texts{std::string()};
};

} // namespace pf
