// Every dialog, page and editor of the designer walked with Tab and Shift+Tab alone: each shown, enabled control with
// a tab stop (inside pages and controls made of controls too; a radio group as one) is reached once a round, in
// screen order, and shows that it holds the focus.
#include <algorithm>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "designer/editors/controller_editor.h"
#include "designer/editors/details_material_dlg.h"
#include "designer/editors/tests/editors_fixture.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/xyz_motion.h"
#include "platform/base/user_constants.h"
#include "platform/testing/image_check.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/control.h"
#include "platform/ui/core/resources.h"
#include "platform/ui/dialog/dialog.h"

namespace editorstest {
namespace {

constexpr int32_t kIddHost = 39990; // a bare dialog that holds a page template

bool IsRadio(const pf::Window* w)
{
    const auto* b = dynamic_cast<const pf::Button*>(w);
    return b != nullptr && b->isRadio();
}

// What a person reaches with Tab, found from the window tree alone: a shown, enabled tab stop with none inside it.
// A radio group counts once, by its first window.
void Reachable(const pf::Window& parent, std::vector<const pf::Window*>& out)
{
    for (const pf::Hwnd h : parent.children()) {
        const pf::Window* w = pf::ui().window(h);
        if (w == nullptr || (w->style() & pf::WS_VISIBLE) == 0 || !w->isEnabled())
            continue;
        const size_t before = out.size();
        Reachable(*w, out);
        if (out.size() == before && (w->style() & pf::WS_TABSTOP) != 0)
            out.push_back(w);
    }
}

bool Holds(const pf::Rect& outer, const pf::Rect& inner)
{
    return outer.l <= inner.l && outer.t <= inner.t && inner.r <= outer.r && inner.b <= outer.b;
}

// What a reader takes whole: each group box (the controls it holds) and each page inside the dialog.
std::vector<pf::Rect> Blocks(const pf::Window& parent, const pf::Dialog& dialog)
{
    std::vector<pf::Rect> out;
    for (const pf::Hwnd h : parent.children()) {
        const pf::Window* w = pf::ui().window(h);
        if (w == nullptr || (w->style() & pf::WS_VISIBLE) == 0)
            continue;
        if ((w->className() == "button" && (w->style() & 0xF) == pf::BS_GROUPBOX) ||
            (dynamic_cast<const pf::Dialog*>(w) != nullptr && w != &dialog))
            out.push_back(w->screenRect());
        const std::vector<pf::Rect> inner = Blocks(*w, dialog);
        out.insert(out.end(), inner.begin(), inner.end());
    }
    return out;
}

// Where a reader would not go next from `from`: back up to a row above, unless on to a column at the right, or back
// left within a row (two rectangles share a row when each has at least half its height beside the other).
bool ReadBackwards(const pf::Rect& from, const pf::Rect& to)
{
    const int64_t overlap = int64_t{std::min(from.b, to.b)} - std::max(from.t, to.t);
    const bool sameRow = 2 * overlap >= std::min<int64_t>(from.height(), to.height());
    if (sameRow)
        return to.r <= from.l;
    return to.b <= from.t && to.l < from.r;
}

const pf::Window* StopOf(pf::Window* w)
{
    return IsRadio(w) ? pf::groupOf(*w).front() : w;
}

std::string NameOf(const pf::Window* w)
{
    return w == nullptr ? "nothing" : w->className() + " " + std::to_string(w->id()) + " \"" + w->text() + "\"";
}

class KeyboardWalk : public EditorsFixture {
protected:
    void SetUp() override
    {
        EditorsFixture::SetUp();
        pf::registerTemplate({kIddHost, "Host", {200, 100}, pf::WS_POPUP | pf::WS_CAPTION, {}});
    }

    void Press(uint8_t vk, bool shift)
    {
        if (shift)
            sim().keyDown(pf::VK_SHIFT);
        sim().keyPress(vk);
        if (shift)
            sim().keyUp(pf::VK_SHIFT);
        sim().pump();
    }

    std::vector<uint32_t> Picture(const pf::Window& w)
    {
        const std::unique_ptr<pf::Surface32> shot = pf::captureScreen(w.screenRect());
        std::vector<uint32_t> pixels;
        for (int32_t y = 0; y < shot->height(); ++y)
            pixels.insert(pixels.end(), shot->row(y), shot->row(y) + shot->width());
        return pixels;
    }

    // One round forwards and one backwards from the first stop. Returns what went wrong, empty when nothing did.
    std::string WalkRounds(pf::Dialog& dialog)
    {
        std::vector<const pf::Window*> expected;
        Reachable(dialog, expected);
        if (expected.empty())
            return {};
        std::ostringstream faults;
        pf::Window* first = dialog.nextTabStop(nullptr, false);
        dialog.gotoControl(first);
        sim().pump();
        std::vector<const pf::Window*> forwards;
        for (size_t i = 0; i < expected.size(); ++i) {
            pf::Window* focus = pf::ui().window(pf::ui().focus());
            if (focus == nullptr || !focus->isDescendantOf(&dialog)) {
                faults << " the focus left the dialog after " << NameOf(forwards.empty() ? nullptr : forwards.back());
                return faults.str();
            }
            const std::vector<uint32_t> focused = Picture(*focus);
            Press(pf::VK_TAB, false);
            if (pf::ui().window(pf::ui().focus()) != focus && Picture(*focus) == focused)
                faults << " " << NameOf(focus) << " looks the same with the focus and without;";
            forwards.push_back(StopOf(focus));
        }
        if (pf::ui().window(pf::ui().focus()) != first)
            faults << " a round of " << expected.size() << " stops did not come back to the first;";
        std::vector<const pf::Window*> sortedSeen = forwards;
        std::vector<const pf::Window*> sortedExpected;
        for (const pf::Window* w : expected)
            sortedExpected.push_back(StopOf(const_cast<pf::Window*>(w)));
        std::sort(sortedSeen.begin(), sortedSeen.end());
        std::sort(sortedExpected.begin(), sortedExpected.end());
        sortedExpected.erase(std::unique(sortedExpected.begin(), sortedExpected.end()), sortedExpected.end());
        for (const pf::Window* w : sortedExpected)
            if (!std::binary_search(sortedSeen.begin(), sortedSeen.end(), w))
                faults << " " << NameOf(w) << " is never reached;";
        if (std::adjacent_find(sortedSeen.begin(), sortedSeen.end()) != sortedSeen.end())
            faults << " a stop is reached twice in a round;";
        // The round goes as a reader does: rows top to bottom, a row left to right, columns left to right; the
        // stops of a group box or a page come one after another.
        for (size_t i = 1; i < forwards.size(); ++i)
            if (ReadBackwards(forwards[i - 1]->screenRect(), forwards[i]->screenRect()))
                faults << " " << NameOf(forwards[i]) << " comes after " << NameOf(forwards[i - 1])
                       << ", which a reader meets later;";
        for (const pf::Rect& block : Blocks(dialog, dialog)) {
            int entries = 0; // times the round comes into the block from a stop outside it
            for (size_t i = 0; i < forwards.size(); ++i) {
                const pf::Window* before = forwards[(i + forwards.size() - 1) % forwards.size()];
                entries += Holds(block, forwards[i]->screenRect()) && !Holds(block, before->screenRect()) ? 1 : 0;
            }
            if (entries > 1)
                faults << " the round comes into the block at " << block.l << "," << block.t << " " << entries
                       << " times;";
        }
        std::vector<const pf::Window*> backwards;
        for (size_t i = 0; i < forwards.size(); ++i) {
            Press(pf::VK_TAB, true);
            backwards.push_back(StopOf(pf::ui().window(pf::ui().focus())));
        }
        std::reverse(backwards.begin(), backwards.end());
        if (backwards != forwards)
            faults << " Shift+Tab does not walk the round backwards;";
        return faults.str();
    }
};

TEST_F(KeyboardWalk, EveryDialogAndPageTemplateIsWalkedWholeByTab)
{
    int32_t walked = 0;
    for (const int32_t idd : pf::resources().dialogIds()) {
        const std::optional<pf::DialogTemplate> tpl = pf::resources().dialog(idd);
        if (!tpl || idd == kIddHost)
            continue;
        SCOPED_TRACE("dialog " + std::to_string(idd));
        const bool page = (tpl->style & pf::WS_CHILD) != 0;
        auto host = std::make_unique<pf::Dialog>();
        pf::Dialog* walkedDialog = host.get();
        std::unique_ptr<pf::Dialog> inner;
        if (page) {
            ASSERT_TRUE(host->create(kIddHost, nullptr));
            host->move(pf::Rect::fromXywh(0, 0, tpl->size.cx + 20, tpl->size.cy + 40));
            inner = std::make_unique<pf::Dialog>();
            ASSERT_TRUE(inner->create(idd, host.get()));
            inner->show(pf::SW_SHOW);
        } else {
            ASSERT_TRUE(host->create(idd, nullptr));
            host->move(pf::Rect::fromXywh(0, 0, static_cast<int32_t>(host->windowRect().width()),
                                          static_cast<int32_t>(host->windowRect().height())));
        }
        host->show(pf::SW_SHOW);
        sim().pump();
        const std::string faults = WalkRounds(*walkedDialog);
        EXPECT_EQ(faults, "");
        ++walked;
        inner.reset();
        host.reset();
        sim().pump();
    }
    EXPECT_GE(walked, 70);
}

// The editors whose controls sit on pages made at run time: the material page under its scroll bar and the X, Y and
// Z values of Rotate XYZ, each a control made of an edit, a spin and a button.
TEST_F(KeyboardWalk, EditorsWithPagesAreWalkedWholeByTab)
{
    auto* material = Open<CVTND_DetailsMaterialDlg>(CVTND_Object(sample->material));
    ASSERT_NE(material, nullptr);
    // Short, so that most of the page lies under its scroll bar: Tab brings each control it reaches into view.
    material->move(pf::Rect::fromXywh(0, 0, static_cast<int32_t>(material->windowRect().width()), 300));
    sim().pump();
    const pf::Rect inside = material->screenRect();
    for (size_t i = 0; i < material->tabStops().size(); ++i) {
        Press(pf::VK_TAB, false);
        const pf::Window* focus = pf::ui().window(pf::ui().focus());
        ASSERT_NE(focus, nullptr);
        EXPECT_TRUE(inside.contains({focus->screenRect().l, focus->screenRect().t}) &&
                    inside.contains({focus->screenRect().r - 1, focus->screenRect().b - 1}))
            << NameOf(focus) << " is out of sight";
    }
    material->move(pf::Rect::fromXywh(0, 0, static_cast<int32_t>(material->windowRect().width()), 1000));
    sim().pump();
    EXPECT_EQ(WalkRounds(*material), "");
    std::vector<pf::Window*> stops = material->tabStops();
    EXPECT_GE(std::count_if(stops.begin(), stops.end(),
                            [&](const pf::Window* w) { return w->isDescendantOf(&material->Page()); }),
              10);
    CloseEditors();

    SWactionnode* rotate = sample->AddAction(*sample->timer, 43);
    ASSERT_NE(dynamic_cast<SWxyzmotion*>(rotate->GetMotion()), nullptr);
    auto* controller = Open<CVTND_ActionControllerDlg>(CVTND_Object(rotate));
    ASSERT_NE(controller, nullptr);
    EXPECT_EQ(WalkRounds(*controller), "");
    stops = controller->tabStops();
    EXPECT_EQ(std::count_if(stops.begin(), stops.end(),
                            [](const pf::Window* w) {
                                return w->className() == "edit" && w->parent() != nullptr &&
                                       w->parent()->className() == "CVTND_ValueGenerator";
                            }),
              3)
        << "X, Y and Z";
}

} // namespace
} // namespace editorstest
