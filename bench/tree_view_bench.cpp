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

struct Walk {
    pf::Window frame;
    pf::TreeView* tree = nullptr;
    pf::TreeItem firstBranch = 0;
};

void Build(Walk& walk, int64_t items)
{
    walk.frame.create({"window", "", pf::WS_POPUP | pf::WS_VISIBLE, 0, {0, 0, 244, 604}, pf::kNoWindow, 0});
    walk.tree = static_cast<pf::TreeView*>(pf::ui().createWindow(
        {"treeview",
         "",
         pf::WS_CHILD | pf::WS_VISIBLE | pf::WS_VSCROLL | pf::TVS_HASBUTTONS | pf::TVS_HASLINES | pf::TVS_LINESATROOT,
         0,
         {2, 2, 242, 602},
         walk.frame.hwnd(),
         1}));
    for (int64_t made = 0; made < items;) {
        const pf::TreeItem branch = walk.tree->insertItem(pf::TVI_ROOT, pf::TVI_LAST, "group " + std::to_string(made));
        if (walk.firstBranch == 0)
            walk.firstBranch = branch;
        ++made;
        for (int child = 1; child < 100 && made < items; ++child, ++made)
            walk.tree->insertItem(branch, pf::TVI_LAST, "node " + std::to_string(made));
        walk.tree->expand(branch, pf::TVE_EXPAND);
    }
    walk.tree->selectItem(walk.firstBranch);
    walk.tree->update();
}

void Press(pf::TreeView& tree, uint8_t key)
{
    tree.send(pf::WM_KEYDOWN, key, 0);
    tree.update();
}

// Down to the end, then Home, and on again: a press is a step of one row or, once a tree, the jump back.
void BM_TreeKeyDown(benchmark::State& state)
{
    pf::screen().reset();
    pf::Ui ui;
    Walk walk;
    Build(walk, state.range(0));
    const pf::TreeItem last = walk.tree->visibleItems().back();
    for (auto _ : state)
        Press(*walk.tree, walk.tree->getSelectedItem() == last ? pf::VK_HOME : pf::VK_DOWN);
    walk.frame.destroy();
}
BENCHMARK(BM_TreeKeyDown)->Arg(100)->Arg(40000)->Unit(benchmark::kMicrosecond);

// End and Home in turn: each press scrolls the whole tree's length.
void BM_TreeKeyEndHome(benchmark::State& state)
{
    pf::screen().reset();
    pf::Ui ui;
    Walk walk;
    Build(walk, state.range(0));
    bool atEnd = false;
    for (auto _ : state) {
        Press(*walk.tree, atEnd ? pf::VK_HOME : pf::VK_END);
        atEnd = !atEnd;
    }
    walk.frame.destroy();
}
BENCHMARK(BM_TreeKeyEndHome)->Arg(100)->Arg(40000)->Unit(benchmark::kMicrosecond);

// Left closes the selected first branch, Right opens it again: each gathers the shown rows once.
void BM_TreeKeyCloseOpen(benchmark::State& state)
{
    pf::screen().reset();
    pf::Ui ui;
    Walk walk;
    Build(walk, state.range(0));
    bool open = true;
    for (auto _ : state) {
        Press(*walk.tree, open ? pf::VK_LEFT : pf::VK_RIGHT);
        open = !open;
    }
    if (walk.tree->getSelectedItem() != walk.firstBranch)
        state.SkipWithError("the selection left the branch");
    walk.frame.destroy();
}
BENCHMARK(BM_TreeKeyCloseOpen)->Arg(100)->Arg(40000)->Unit(benchmark::kMicrosecond);

// A paint of the shown rows alone, as after any change of an item's text or state.
void BM_TreePaint(benchmark::State& state)
{
    pf::screen().reset();
    pf::Ui ui;
    Walk walk;
    Build(walk, state.range(0));
    for (auto _ : state) {
        walk.tree->invalidate(true);
        walk.tree->update();
    }
    walk.frame.destroy();
}
BENCHMARK(BM_TreePaint)->Arg(100)->Arg(40000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
