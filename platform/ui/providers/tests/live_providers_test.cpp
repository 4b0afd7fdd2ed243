// The live message box and modal loop, driven headless by the simulated user: the same answers a person gets.
#include "platform/base/user_constants.h"
#include "platform/testing/ui_fixture.h"
#include "platform/ui/core/message_loop.h"
#include "platform/ui/core/resources.h"
#include "platform/ui/dialog/dialog.h"
#include "platform/ui/providers/live_providers.h"

namespace pf {
namespace {

constexpr uint32_t kActNow = WM_USER + 77;

class LiveMessageBoxTest : public UiFixture {
protected:
    void SetUp() override
    {
        UiFixture::SetUp();
        providers.install();
        owner = ui().createWindow({"window", "owner", WS_POPUP | WS_VISIBLE, 0, {0, 0, 400, 300}});
        ASSERT_NE(owner, nullptr);
    }
    // Shows the box; once its modal loop runs, `act` plays the user's part on the box.
    int32_t showAndAct(uint32_t flags, const std::function<void(Window& box)>& act)
    {
        ui().addObserver(this, [&](const Msg& msg) {
            if (msg.message != kActNow)
                return;
            Window* box = ui().window(ui().activeWindow());
            seenBox = box != nullptr && box != owner ? box : nullptr;
            if (seenBox != nullptr)
                act(*seenBox);
        });
        ui().post(owner->hwnd(), kActNow);
        const int32_t answer = messageBox(owner->hwnd(), "Keep the changes made to the scene?", "Designer", flags);
        ui().removeObserver(this);
        return answer;
    }

    LiveProviders providers;
    Window* owner = nullptr;
    Window* seenBox = nullptr;
};

TEST_F(LiveMessageBoxTest, ButtonsByTypeAnswerTheirIds)
{
    struct Case {
        uint32_t flags;
        int32_t pressed;
    };
    for (const Case c :
         {Case{MB_OK, IDOK}, Case{MB_OKCANCEL, IDCANCEL}, Case{MB_YESNOCANCEL, IDNO}, Case{MB_YESNO, IDYES}}) {
        SCOPED_TRACE(c.flags);
        const int32_t answer = showAndAct(c.flags, [&](Window& box) {
            ASSERT_NE(box.child(c.pressed), nullptr);
            EXPECT_EQ(box.child(c.pressed)->getText().find('&'), std::string::npos) << "a label shows as it reads";
            sim().click(*box.child(c.pressed));
        });
        EXPECT_EQ(answer, c.pressed);
        EXPECT_TRUE(owner->isEnabled()); // the owner is given back
    }
}

TEST_F(LiveMessageBoxTest, EnterPressesTheFirstButtonAndEscapeCancelsOrSaysNo)
{
    EXPECT_EQ(showAndAct(MB_YESNOCANCEL, [&](Window&) { sim().keyPress(VK_RETURN); }), IDYES);
    EXPECT_EQ(showAndAct(MB_YESNOCANCEL, [&](Window&) { sim().keyPress(VK_ESCAPE); }), IDCANCEL);
    EXPECT_EQ(showAndAct(MB_YESNO, [&](Window&) { sim().keyPress(VK_ESCAPE); }), IDNO);
    EXPECT_EQ(showAndAct(MB_OK, [&](Window&) { sim().keyPress(VK_ESCAPE); }), IDOK);
    // A question's Y and N keys answer it, whichever button has the focus; a box without them ignores them.
    EXPECT_EQ(showAndAct(MB_YESNOCANCEL, [&](Window&) { sim().keyPress('N'); }), IDNO);
    EXPECT_EQ(showAndAct(MB_YESNO,
                         [&](Window& box) {
                             ui().setFocus(box.child(IDNO)->hwnd());
                             sim().keyPress('Y');
                         }),
              IDYES);
    EXPECT_EQ(showAndAct(MB_OKCANCEL,
                         [&](Window&) {
                             sim().keyPress('N');
                             sim().keyPress(VK_ESCAPE);
                         }),
              IDCANCEL);
}

TEST_F(LiveMessageBoxTest, OwnerTakesNoInputWhileTheBoxRuns)
{
    bool ownerClicked = false;
    const int32_t answer = showAndAct(MB_OKCANCEL, [&](Window& box) {
        ui().addObserver(&ownerClicked, [&](const Msg& m) {
            ownerClicked = ownerClicked || (m.hwnd == owner->hwnd() && m.message == WM_LBUTTONDOWN);
        });
        sim().click({390, 290}); // on the owner, outside the box
        ui().removeObserver(&ownerClicked);
        sim().click(*box.child(IDOK));
    });
    EXPECT_EQ(answer, IDOK);
    EXPECT_FALSE(ownerClicked);
}

TEST_F(LiveMessageBoxTest, QuitEndsTheModalLoopAndStaysSet)
{
    const int32_t answer = showAndAct(MB_OKCANCEL, [&](Window&) { ui().postQuit(3); });
    EXPECT_EQ(answer, IDCANCEL); // ended by the layer as an unanswered box
    ASSERT_TRUE(ui().quitCode().has_value());
    EXPECT_EQ(*ui().quitCode(), 3);
    EXPECT_EQ(runMessageLoop(ui()), 3);
}

// The box's pictures are what their kind shows (not a numbered tile): for the exclamation mark, a yellow triangle
// with a black bar and dot, clear corners; for the hand a red disc with a white cross.
TEST_F(LiveMessageBoxTest, IconsShowTheirKind)
{
    showAndAct(MB_OK | MB_ICONEXCLAMATION, [&](Window& box) {
        sim().pump();
        box.writePng(artifactPath("message-box-exclamation.png"));
        sim().keyPress(VK_RETURN);
    });
    const IconRef warn = resources().icon(32515);
    ASSERT_NE(warn, nullptr);
    const auto rgbAt = [](const IconRef& icon, int32_t x, int32_t y) { return icon->pixel(x, y) & 0xFFFFFFu; };
    for (const Point corner : {Point{0, 0}, Point{31, 0}, Point{0, 31}, Point{31, 31}})
        EXPECT_EQ(pixelAlpha(warn->pixel(corner.x, corner.y)), 0) << corner.x << "," << corner.y;
    EXPECT_EQ(rgbAt(warn, 10, 26), 0xFFCC00u);
    EXPECT_EQ(rgbAt(warn, 16, 23), 0xFFCC00u) << "the gap between bar and dot";
    EXPECT_EQ(rgbAt(warn, 16, 12), 0u);
    EXPECT_EQ(rgbAt(warn, 16, 25), 0u);
    const IconRef hand = resources().icon(32513, 16);
    ASSERT_NE(hand, nullptr);
    EXPECT_EQ(hand->width(), 16);
    EXPECT_EQ(rgbAt(hand, 8, 8), 0xFFFFFFu);
    EXPECT_EQ(rgbAt(hand, 4, 8), 0xD42A2Au);
    EXPECT_EQ(pixelAlpha(hand->pixel(0, 0)), 0);
}

TEST(WrapText, BreaksAtSpacesAndNewlinesAndCutsLongWords)
{
    EXPECT_EQ(wrapText("one two three", 7), (std::vector<std::string>{"one two", "three"}));
    EXPECT_EQ(wrapText("a\nb", 10), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(wrapText("abcdefghij", 4), (std::vector<std::string>{"abcd", "efgh", "ij"}));
    EXPECT_EQ(wrapText("", 4), (std::vector<std::string>{""}));
}

} // namespace
} // namespace pf
