// The object pickers run modally under scripts: what each kind offers, the single picker's OK without a choice, the
// multiple picker's Add, Remove and queue mode, Cancel, and the dialog kept on the screen at the cursor.
#include <algorithm>
#include <cctype>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/workspace/object_pickers.h"
#include "designer/workspace/receptors_texts.h"
#include "engine/behaviour/event.h"
#include "engine/core/node.h"
#include "engine/core/object_node.h"
#include "engine/core/world.h"
#include "engine/resources/sound.h"
#include "platform/base/user_constants.h"
#include "platform/display/screen.h"
#include "platform/testing/ui_fixture.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/list_box.h"
#include "platform/ui/controls/string_list.h"
#include "platform/ui/core/ui.h"
#include "testsupport/designer/sample_world.h"

namespace {

class ObjectPickers : public pf::UiFixture {
protected:
    void SetUp() override
    {
        UiFixture::SetUp();
        app = std::make_unique<CVTNDesignerApp>();
        sample = std::make_unique<designertest::SampleWorld>(*app);
    }
    void TearDown() override
    {
        sample.reset();
        app.reset();
        UiFixture::TearDown();
    }
    static std::vector<std::string> Texts(const pf::ListBox& box)
    {
        std::vector<std::string> texts;
        for (int32_t i = 0; i < box.getCount(); ++i)
            texts.push_back(box.getText(i));
        return texts;
    }
    std::vector<std::string> Offered(uint8_t kind)
    {
        std::vector<std::string> shown;
        sim().onModal(kIddSingleSelect, [&](pf::Dialog& d) {
            shown = Texts(*d.item<pf::ListBox>(PickerControl::kOffered));
            d.endDialog(pf::IDCANCEL);
        });
        ObjectPickRequest probe(kind);
        probe.Run(nullptr, false, false);
        return shown;
    }
    void SelectWithCtrl(pf::ListBox& box, int32_t index)
    {
        sim().keyDown(pf::VK_CONTROL);
        sim().selectListItem(box, index);
        sim().keyUp(pf::VK_CONTROL);
    }
    int32_t IndexOf(const pf::ListBox& box, const std::string& text) { return box.findExact(text); }

    std::unique_ptr<CVTNDesignerApp> app;
    std::unique_ptr<designertest::SampleWorld> sample;
};

TEST_F(ObjectPickers, KindsOfferTheirObjectsSorted)
{
    const std::vector<std::string> cameras = Offered(1);
    EXPECT_EQ(cameras, (std::vector<std::string>{"front", "side"}));
    const std::vector<std::string> sounds = Offered(4);
    EXPECT_NE(std::find(sounds.begin(), sounds.end(), "bell (bell.wav)"), sounds.end());
    const std::vector<std::string> events = Offered(5);
    EXPECT_EQ(events, (std::vector<std::string>{"clicked", "moved", "pressed", "rang", "tick"}));
    const std::vector<std::string> particles = Offered(10);
    EXPECT_EQ(particles, (std::vector<std::string>{"sparks"}));
    EXPECT_TRUE(Offered(13).empty());
    const std::vector<std::string> expressions = Offered(7);
    EXPECT_EQ(expressions, (std::vector<std::string>{"double", "half"}));
    for (const std::vector<std::string>& list : {Offered(2), Offered(3), Offered(12)})
        EXPECT_TRUE(std::is_sorted(list.begin(), list.end(), [](const std::string& a, const std::string& b) {
            return pf::compareNoCase(a, b) < 0;
        }));
}

TEST_F(ObjectPickers, FillWalksDepthFirstAndLeavesOutChosenNamesByteExact)
{
    CVTNDesignerApp& designer = *app;
    pf::ListBox offered;
    pf::CreateParams params;
    params.className = "listbox";
    params.style = pf::WS_POPUP; // not sorted: the world's own order shows
    ASSERT_TRUE(offered.create(params));
    // Each node comes before its children.
    std::vector<std::string> expected;
    for (SWnode* n = designer.GetWorld()->GetRootNode(); n != nullptr; n = n->NextInTree(nullptr)) {
        if (n->HasKind(SWnode::kKindObject) && n->GetGeometry() != nullptr && n->GetName())
            expected.push_back(*n->GetName());
    }
    ASSERT_GE(expected.size(), 3u);
    ObjectPickRequest request(2);
    request.AddChosen(expected[0]);
    std::string otherCase = expected[1];
    otherCase[0] = static_cast<char>(std::isupper(static_cast<unsigned char>(otherCase[0]))
                                         ? std::tolower(static_cast<unsigned char>(otherCase[0]))
                                         : std::toupper(static_cast<unsigned char>(otherCase[0])));
    request.AddChosen(otherCase);
    std::deque<std::string> names;
    FillObjectPickList(*designer.GetWorld(), offered, nullptr, &request, 2, names);
    const std::vector<std::string> shown = Texts(offered);
    expected.erase(expected.begin()); // left out; the other differs in case only and stays
    EXPECT_EQ(shown, expected);
}

TEST_F(ObjectPickers, SinglePickReturnsTheNameNotTheShownText)
{
    sim().onModal(kIddSingleSelect, [&](pf::Dialog& d) {
        auto* list = d.item<pf::ListBox>(PickerControl::kOffered);
        sim().selectListItem(*list, IndexOf(*list, "bell (bell.wav)"));
        sim().click(*d.item<pf::Window>(pf::IDOK));
    });
    ObjectPickRequest request(4);
    EXPECT_TRUE(request.Run(nullptr, false, false));
    EXPECT_EQ(request.ResultNames(), (std::vector<std::string>{"bell"}));
}

TEST_F(ObjectPickers, SinglePickWithoutChoiceCancels)
{
    for (const uint8_t kind : {uint8_t{1}, uint8_t{13}}) {
        sim().onModal(kIddSingleSelect, [&](pf::Dialog& d) { sim().click(*d.item<pf::Window>(pf::IDOK)); });
        ObjectPickRequest request(kind);
        EXPECT_FALSE(request.Run(nullptr, false, false));
        EXPECT_TRUE(request.ResultNames().empty());
    }
}

TEST_F(ObjectPickers, MultiplePickAddsRemovesAndKeepsOrder)
{
    ObjectPickRequest request(5);
    request.AddChosen("tick");
    sim().onModal(kIddMultipleSelect, [&](pf::Dialog& d) {
        auto* offered = d.item<pf::ListBox>(PickerControl::kOffered);
        auto* chosen = d.item<pf::ListBox>(PickerControl::kChosen);
        EXPECT_EQ(IndexOf(*offered, "tick"), -1); // chosen on entry: never offered
        EXPECT_EQ(Texts(*chosen), (std::vector<std::string>{"tick"}));
        sim().selectListItem(*offered, IndexOf(*offered, "moved"));
        SelectWithCtrl(*offered, IndexOf(*offered, "clicked"));
        sim().click(*d.item<pf::Window>(PickerControl::kAdd));
        EXPECT_EQ(Texts(*offered), (std::vector<std::string>{"pressed", "rang"}));
        EXPECT_EQ(Texts(*chosen), (std::vector<std::string>{"tick", "clicked", "moved"}));
        sim().selectListItem(*chosen, 0);
        sim().click(*d.item<pf::Window>(PickerControl::kRemove));
        EXPECT_NE(IndexOf(*offered, "tick"), -1);
        // A double click moves an item across, either way.
        const auto doubleClick = [&](pf::ListBox& list, int32_t index) {
            const pf::Rect row = list.getItemRect(index);
            sim().doubleClick(list.clientToScreen({row.l + 5, (row.t + row.b) / 2}));
            sim().pump();
        };
        doubleClick(*offered, IndexOf(*offered, "rang"));
        EXPECT_EQ(Texts(*chosen), (std::vector<std::string>{"clicked", "moved", "rang"}));
        EXPECT_EQ(IndexOf(*offered, "rang"), -1);
        doubleClick(*chosen, 0);
        EXPECT_EQ(Texts(*chosen), (std::vector<std::string>{"moved", "rang"}));
        EXPECT_NE(IndexOf(*offered, "clicked"), -1);
        sim().click(*d.item<pf::Window>(pf::IDOK));
    });
    EXPECT_TRUE(request.Run(nullptr, true, false));
    EXPECT_EQ(request.ResultNames(), (std::vector<std::string>{"moved", "rang"}));
}

TEST_F(ObjectPickers, QueueModeAllowsRepeatsAndRemoveTakesOneEntry)
{
    ObjectPickRequest request(5);
    request.AddChosen("tick");
    sim().onModal(kIddMultipleSelect, [&](pf::Dialog& d) {
        auto* offered = d.item<pf::ListBox>(PickerControl::kOffered);
        auto* chosen = d.item<pf::ListBox>(PickerControl::kChosen);
        sim().click(*d.item<pf::Window>(PickerControl::kQueueMode));
        EXPECT_NE(IndexOf(*offered, "tick"), -1); // the chosen names are offered again
        for (int repeat = 0; repeat < 2; ++repeat) {
            sim().selectListItem(*offered, IndexOf(*offered, "rang"));
            sim().click(*d.item<pf::Window>(PickerControl::kAdd));
        }
        EXPECT_EQ(chosen->getCount(), 3);
        sim().selectListItem(*chosen, 1);
        sim().click(*d.item<pf::Window>(PickerControl::kRemove));
        sim().click(*d.item<pf::Window>(pf::IDOK));
    });
    EXPECT_TRUE(request.Run(nullptr, true, false));
    EXPECT_EQ(request.ResultNames(), (std::vector<std::string>{"tick", "rang"}));
    EXPECT_EQ(request.queueMode, 1);
}

TEST_F(ObjectPickers, QueueModeBoxShowsThePresetAndCancelReturnsFalse)
{
    ObjectPickRequest request(5);
    request.queueMode = 1;
    sim().onModal(kIddMultipleSelect, [&](pf::Dialog& d) {
        EXPECT_EQ(d.item<pf::Button>(PickerControl::kQueueMode)->getCheck(), pf::BST_CHECKED);
        sim().click(*d.item<pf::Window>(pf::IDCANCEL));
    });
    EXPECT_FALSE(request.Run(nullptr, true, false));
}

TEST_F(ObjectPickers, PlacedAtTheCursorStaysOnTheScreen)
{
    const pf::Rect screen = pf::screen().workArea();
    for (const pf::Point at : {pf::Point{100, 100}, pf::Point{screen.r - 5, screen.b - 5}}) {
        sim().mouseMove(at);
        pf::Rect placed;
        sim().onModal(kIddMultipleSelect, [&](pf::Dialog& d) {
            placed = d.screenRect();
            d.endDialog(pf::IDCANCEL);
        });
        ObjectPickRequest request(5);
        request.Run(nullptr, true, true);
        EXPECT_GE(placed.l, screen.l);
        EXPECT_LE(placed.r, screen.r);
        EXPECT_LE(placed.b, screen.b);
        if (at.x == 100) {
            EXPECT_EQ(placed.l, 100);
            EXPECT_EQ(placed.t, 100);
        }
    }
}

// A list longer than its box: the last name is reached by End, by Page Down, and by the thumb then a click.
TEST_F(ObjectPickers, TheLastOf200NamesIsReachedByKeysAndByTheThumb)
{
    for (int i = 0; i < 200; ++i) {
        const std::string digits = std::to_string(1000 + i).substr(1);
        app->GetWorld()->AddEventOfType(0)->SetName("zz" + digits);
    }
    const auto pickLast = [&](const char* way, const std::function<void(pf::ListBox&)>& reach) {
        SCOPED_TRACE(way);
        sim().onModal(kIddSingleSelect, [&](pf::Dialog& d) {
            auto* list = d.item<pf::ListBox>(PickerControl::kOffered);
            sim().selectListItem(*list, 0);
            reach(*list);
            sim().pump();
            EXPECT_EQ(list->getTopIndex(), list->getCount() - list->shownRows());
            sim().click(*d.item<pf::Window>(pf::IDOK));
        });
        ObjectPickRequest request(5);
        EXPECT_TRUE(request.Run(nullptr, false, false));
        EXPECT_EQ(request.ResultNames(), (std::vector<std::string>{"zz199"}));
    };
    pickLast("End", [&](pf::ListBox&) { sim().keyPress(pf::VK_END); });
    pickLast("Page Down", [&](pf::ListBox& list) {
        for (int32_t pages = 0; pages * (list.shownRows() - 1) < list.getCount(); ++pages)
            sim().keyPress(pf::VK_NEXT);
    });
    pickLast("thumb", [&](pf::ListBox& list) {
        const pf::Rect thumb = list.ownScrollThumbRect(pf::SB_VERT);
        ASSERT_FALSE(thumb.isEmpty());
        const pf::Point grab{list.screenRect().l + thumb.l + 4, list.screenRect().t + thumb.t + 4};
        sim().drag(grab, {grab.x, grab.y + 600}, 6);
        sim().selectListItem(list, list.getCount() - 1);
    });
}

} // namespace
