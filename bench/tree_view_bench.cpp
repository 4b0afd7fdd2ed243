// A tree view walked by keys on the headless screen, as a person holding a key walks a panel: each press moves the
// selection, scrolls it into view and paints the shown rows. The trees are of 100 and 40,000 items (branches of 100,
// every one open), side by side, so that a press's cost can be seen not to grow with the tree; Left then Right
// closes and opens the first branch, which gathers the shown rows again. A paint alone is the peer of the presses.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/base/user_constants.h"
#include "platform/display/screen.h"
#include "platform/ui/controls/tree_view.h"
#include "platform/ui/core/ui.h"

namespace {

// A tree of `items` items in branches of 100, every one open, its first branch selected, painted once.
class Walk {
public:
    explicit Walk(int64_t items)
    {
        m_frame.create({"window", "", pf::WS_POPUP | pf::WS_VISIBLE, 0, {0, 0, 244, 604}, pf::kNoWindow, 0});
        tree = static_cast<pf::TreeView*>(
            pf::ui().createWindow({"treeview",
                                   "",
                                   pf::WS_CHILD | pf::WS_VISIBLE | pf::WS_VSCROLL | pf::TVS_HASBUTTONS |
                                       pf::TVS_HASLINES | pf::TVS_LINESATROOT,
                                   0,
                                   {2, 2, 242, 602},
                                   m_frame.hwnd(),
                                   1}));
        for (int64_t made = 0; made < items;) {
            const pf::TreeItem branch = tree->insertItem(pf::TVI_ROOT, pf::TVI_LAST, "group " + std::to_string(made));
            firstBranch = firstBranch != 0 ? firstBranch : branch;
            ++made;
            for (int child = 1; child < 100 && made < items; ++child, ++made)
                tree->insertItem(branch, pf::TVI_LAST, "node " + std::to_string(made));
            tree->expand(branch, pf::TVE_EXPAND);
        }
        last = tree->visibleItems().back();
        tree->selectItem(firstBranch);
        tree->update();
    }
    ~Walk() { m_frame.destroy(); }
    Walk(const Walk&) = delete;
    Walk& operator=(const Walk&) = delete;

    pf::TreeView* tree = nullptr;
    pf::TreeItem firstBranch = 0;
    pf::TreeItem last = 0;

private:
    pf::Window m_frame;
};

// The key of each press: Down to the end then Home (a step of one row, once a tree the jump back); End and Home in
// turn (each scrolls the tree's length); Left and Right on the first branch (each gathers the shown rows again).
uint8_t DownThenHome(const Walk& walk, int64_t)
{
    return walk.tree->getSelectedItem() == walk.last ? pf::VK_HOME : pf::VK_DOWN;
}
uint8_t EndThenHome(const Walk&, int64_t press)
{
    return press % 2 == 0 ? pf::VK_END : pf::VK_HOME;
}
uint8_t CloseThenOpen(const Walk&, int64_t press)
{
    return press % 2 == 0 ? pf::VK_LEFT : pf::VK_RIGHT;
}

void BM_TreeKeys(benchmark::State& state, uint8_t (*keyOf)(const Walk&, int64_t))
{
    pf::screen().reset();
    pf::Ui ui;
    const Walk walk(state.range(0));
    int64_t press = 0;
    for (auto _ : state) {
        walk.tree->send(pf::WM_KEYDOWN, keyOf(walk, press++), 0);
        walk.tree->update();
    }
}
BENCHMARK_CAPTURE(BM_TreeKeys, down, DownThenHome)->Arg(100)->Arg(40000)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_TreeKeys, end_home, EndThenHome)->Arg(100)->Arg(40000)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_TreeKeys, close_open, CloseThenOpen)->Arg(100)->Arg(40000)->Unit(benchmark::kMicrosecond);

// A paint of the shown rows alone, as after any change of an item's text or state.
void BM_TreePaint(benchmark::State& state)
{
    pf::screen().reset();
    pf::Ui ui;
    const Walk walk(state.range(0));
    for (auto _ : state) {
        walk.tree->invalidate(true);
        walk.tree->update();
    }
}
BENCHMARK(BM_TreePaint)->Arg(100)->Arg(40000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
