// The live popup menu, file, colour and font dialogs, driven headless by the simulated user: they answer what the
// scripted services answer, and leave the caller's data alone when the user cancels.
#include "platform/base/gdi_constants.h"
#include "platform/base/user_constants.h"
#include "platform/gfx/memory_dc.h"
#include "platform/testing/ui_fixture.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/list_box.h"
#include "platform/ui/controls/trackbar.h"
#include "platform/ui/core/menu.h"
#include "platform/ui/dialog/dialog.h"
#include "platform/ui/providers/live_providers.h"

#include <cstring>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace pf {
namespace {

constexpr uint32_t kActNow = WM_USER + 78;

class LiveDialogsTest : public UiFixture {
protected:
    void SetUp() override
    {
        UiFixture::SetUp();
        providers.install();
        owner = ui().createWindow({"window", "owner", WS_POPUP | WS_VISIBLE, 0, {0, 0, 600, 500}});
        ASSERT_NE(owner, nullptr);
        ui().pump();
    }
    // Once the service's loop runs, `act` plays the user's part; then `open` returns what the service answered.
    template <typename Open> auto openAndAct(Open open, const std::function<void()>& act)
    {
        acted = false;
        ui().addObserver(this, [this, act](const Msg& msg) {
            if (msg.message == kActNow && !acted) {
                acted = true;
                act();
            }
        });
        ui().post(owner->hwnd(), kActNow);
        auto answer = open();
        ui().removeObserver(this);
        EXPECT_TRUE(acted);
        return answer;
    }
    Window* topLevelOfClass(const std::string& name, size_t nth = 0)
    {
        for (const Hwnd h : ui().topLevels())
            if (Window* w = ui().window(h); w != nullptr && w->className() == name && nth-- == 0)
                return w;
        return nullptr;
    }
    Dialog* activeDialog() { return dynamic_cast<Dialog*>(ui().window(ui().activeWindow())); }

    LiveProviders providers;
    Window* owner = nullptr;
    bool acted = false;
};

// ---- popup menus

std::vector<MenuItem> eventMenu()
{
    return {{32790, "Edit event", 0, {}},
            {0, "", MF_SEPARATOR, {}},
            {32792, "Delete", MF_GRAYED, {}},
            {0, "Insert", 0, {{32793, "Action", 0, {}}, {32794, "Condition", 0, {}}}},
            {32795, "Rename", 0, {}}};
}

class LiveMenuTest : public LiveDialogsTest {
protected:
    Point itemCentre(Window& level, size_t index)
    {
        const Rect r = menuItemRects(menu.items(), level.clientRect().r)[index];
        return level.clientToScreen({(r.l + r.r) / 2, (r.t + r.b) / 2});
    }
    uint32_t track(uint32_t flags, const std::function<void()>& act)
    {
        return openAndAct([&] { return menu.trackPopup(flags, {100, 100}, *owner); }, act);
    }
    Menu menu{eventMenu()};
};

TEST_F(LiveMenuTest, ClickChoosesAndThePostedCommandArrivesAfterwards)
{
    std::vector<WParam> commands;
    ui().addObserver(&commands, [&](const Msg& m) {
        if (m.message == WM_COMMAND && m.hwnd == owner->hwnd())
            commands.push_back(m.wParam);
    });
    const uint32_t result = track(0, [&] {
        Window* level = topLevelOfClass("popupmenu");
        ASSERT_NE(level, nullptr);
        EXPECT_GE(level->screenRect().l, 100);
        sim().click(itemCentre(*level, 4));
    });
    EXPECT_EQ(result, 1u);
    EXPECT_TRUE(commands.empty()); // posted, not sent
    ui().pump();
    EXPECT_EQ(commands, std::vector<WParam>{32795});
    EXPECT_EQ(topLevelOfClass("popupmenu"), nullptr);
    ui().removeObserver(&commands);
}

TEST_F(LiveMenuTest, GrayedItemsSeparatorsAndClicksOutsideChooseNothing)
{
    EXPECT_EQ(track(TPM_RETURNCMD,
                    [&] {
                        Window* level = topLevelOfClass("popupmenu");
                        sim().click(itemCentre(*level, 2)); // grayed
                        sim().click(itemCentre(*level, 1)); // separator
                        EXPECT_NE(topLevelOfClass("popupmenu"), nullptr);
                        sim().click({500, 450}); // on the owner, outside the menu
                    }),
              0u);
    EXPECT_EQ(ui().capture(), kNoWindow);
    ui().pump();
    EXPECT_EQ(ui().pendingPostCount(), 0u);
}

TEST_F(LiveMenuTest, KeysSkipWhatCannotBeChosenAndOpenSubMenus)
{
    // Down: Edit event; Down skips the separator and the grayed item to Insert; Right opens it on Action; Down,
    // Enter chooses Condition.
    EXPECT_EQ(track(TPM_RETURNCMD,
                    [&] {
                        for (const uint8_t vk : {VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN})
                            sim().keyPress(vk);
                    }),
              32794u);
    // Esc closes the sub-menu first, then the menu.
    EXPECT_EQ(track(TPM_RETURNCMD,
                    [&] {
                        for (const uint8_t vk : {VK_UP, VK_UP, VK_RIGHT})
                            sim().keyPress(vk);
                        EXPECT_NE(topLevelOfClass("popupmenu", 1), nullptr);
                        sim().keyPress(VK_ESCAPE);
                        EXPECT_EQ(topLevelOfClass("popupmenu", 1), nullptr);
                        sim().keyPress(VK_ESCAPE);
                    }),
              0u);
}

TEST_F(LiveMenuTest, ReleaseOfTheOpeningClickChoosesNothingAndFocusComesBack)
{
    ui().setFocus(owner->hwnd());
    EXPECT_EQ(track(TPM_RETURNCMD | TPM_RIGHTBUTTON,
                    [&] {
                        Window* level = topLevelOfClass("popupmenu");
                        sim().mouseUp(itemCentre(*level, 0), UserSim::Button::kRight);
                        EXPECT_NE(topLevelOfClass("popupmenu"), nullptr);
                        sim().click(itemCentre(*level, 0), UserSim::Button::kRight);
                    }),
              32790u);
    EXPECT_EQ(ui().focus(), owner->hwnd());
}

// ---- file dialogs

class LiveFileDialogTest : public LiveDialogsTest {
protected:
    void SetUp() override
    {
        LiveDialogsTest::SetUp();
        // One folder per case: ctest runs the cases as parallel processes.
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        folder = fs::path(artifactPath("live-file-dialog-" + name));
        std::error_code error;
        fs::remove_all(folder, error);
        fs::create_directories(folder / "Sub");
        for (const char* name : {"a.vtn", "B.VTN", "notes.txt", "Sub/deep.vtn"})
            std::ofstream(folder / name) << "x";
        // The dialog's own questions go to the scripted box, so the test says what the user answers.
        ui().providers().install(static_cast<MessageBoxProvider*>(nullptr));
    }
    FileDialogRequest request(bool save, uint32_t flags)
    {
        FileDialogRequest r;
        r.save = save;
        r.owner = owner->hwnd();
        r.filter = "Scenes (*.vtn)|*.vtn|All files (*.*)|*.*||";
        r.defaultExtension = "vtn";
        r.initialDirectory = folder.string();
        r.flags = flags;
        return r;
    }
    std::vector<std::string> listing(Dialog& d)
    {
        std::vector<std::string> items;
        auto* list = d.item<ListBox>(kFileListId);
        for (int32_t i = 0; i < list->getCount(); ++i)
            items.push_back(list->getText(i));
        return items;
    }
    void typeName(Dialog& d, const std::string& name)
    {
        sim().replaceText(*d.child(kFileNameEditId), name);
        sim().click(*d.child(IDOK));
    }
    fs::path folder;
};

TEST_F(LiveFileDialogTest, ListingFollowsTheChosenFilterWithFoldersFirst)
{
    const auto answer =
        openAndAct([&] { return getFileName(request(false, OFN_FILEMUSTEXIST)); },
                   [&] {
                       Dialog* d = activeDialog();
                       ASSERT_NE(d, nullptr);
                       EXPECT_EQ(listing(*d), (std::vector<std::string>{"[Sub]", "a.vtn", "B.VTN"}));
                       sim().chooseCombo(*d->item<ComboBox>(kFileFilterComboId), 1);
                       EXPECT_EQ(listing(*d), (std::vector<std::string>{"[Sub]", "a.vtn", "B.VTN", "notes.txt"}));
                       sim().keyPress(VK_ESCAPE);
                   });
    EXPECT_FALSE(answer.has_value());
}

TEST_F(LiveFileDialogTest, OpenWalksIntoFoldersAndUpAndRefusesMissingFiles)
{
    sim().expectMessageBox(IDOK); // "File not found"
    const auto answer = openAndAct([&] { return getFileName(request(false, OFN_FILEMUSTEXIST)); },
                                   [&] {
                                       Dialog* d = activeDialog();
                                       auto* list = d->item<ListBox>(kFileListId);
                                       sim().doubleClick(list->clientToScreen({10, 8})); // [Sub]
                                       EXPECT_EQ(listing(*d), std::vector<std::string>{"deep.vtn"});
                                       sim().click(*d->child(kFileUpButtonId));
                                       EXPECT_EQ(listing(*d).size(), 3u);
                                       typeName(*d, "missing");
                                       EXPECT_FALSE(d->hasEnded());
                                       typeName(*d, "Sub/deep");
                                   });
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(*answer, std::vector<std::string>{(folder / "Sub" / "deep.vtn").string()});
}

TEST_F(LiveFileDialogTest, SaveAddsTheDefaultExtensionAndAsksBeforeReplacing)
{
    sim().expectMessageBox(IDNO);  // replace a.vtn? no: the dialog stays
    sim().expectMessageBox(IDYES); // and yes
    const auto answer = openAndAct([&] { return getFileName(request(true, OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST)); },
                                   [&] {
                                       Dialog* d = activeDialog();
                                       typeName(*d, "a");
                                       EXPECT_FALSE(d->hasEnded());
                                       typeName(*d, "a");
                                   });
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(*answer, std::vector<std::string>{(folder / "a.vtn").string()});
    EXPECT_EQ(ui().providers().scriptedMessageBox().calls().size(), 2u);

    sim().expectMessageBox(IDOK); // "The path does not exist"
    const auto refused = openAndAct([&] { return getFileName(request(true, OFN_PATHMUSTEXIST)); },
                                    [&] {
                                        Dialog* d = activeDialog();
                                        typeName(*d, "nowhere/new.vtn");
                                        EXPECT_FALSE(d->hasEnded());
                                        typeName(*d, "new.scene");
                                    });
    EXPECT_EQ(*refused, std::vector<std::string>{(folder / "new.scene").string()});
}

// The name is what a person types first: it goes to the file name's field, and Enter takes it.
TEST_F(LiveFileDialogTest, TypingAtOnceNamesTheFileAndEnterTakesIt)
{
    FileDialogRequest r = request(true, OFN_PATHMUSTEXIST);
    r.fileName = "old.vtn";
    const auto answer = openAndAct([&] { return getFileName(r); },
                                   [&] {
                                       sim().typeChars("typed");
                                       sim().keyPress(VK_RETURN);
                                   });
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(*answer, std::vector<std::string>{(folder / "typed.vtn").string()});
}

// Tab goes where a person types first: the name, its button, the type and Cancel, then the folder, Up and the list.
TEST_F(LiveFileDialogTest, TabTakesTheNameFirstThenTheFolder)
{
    const auto answer = openAndAct(
        [&] { return getFileName(request(false, 0)); },
        [&] {
            Dialog* d = activeDialog();
            ASSERT_NE(d, nullptr);
            EXPECT_EQ(d->nextTabStop(nullptr, false), d->child(kFileNameEditId))
                << "the first stop, where the focus comes back to the dialog";
            std::vector<int32_t> ids{ui().window(ui().focus())->id()};
            for (int i = 0; i < 7; ++i) {
                sim().keyPress(VK_TAB);
                ids.push_back(ui().window(ui().focus())->id());
            }
            EXPECT_EQ(ids, (std::vector<int32_t>{kFileNameEditId, IDOK, kFileFilterComboId, IDCANCEL, kFileFolderEditId,
                                                 kFileUpButtonId, kFileListId, kFileNameEditId}));
            sim().keyPress(VK_ESCAPE);
        });
    EXPECT_FALSE(answer.has_value());
}

TEST_F(LiveFileDialogTest, PickFolderAnswersTheFolderShown)
{
    const auto answer =
        openAndAct([&] { return providers.fileDialog.pickFolder(owner->hwnd(), "Project folder", folder.string()); },
                   [&] {
                       Dialog* d = activeDialog();
                       EXPECT_EQ(listing(*d), std::vector<std::string>{"[Sub]"}); // folders only
                       typeName(*d, "Sub");
                   });
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(*answer, (folder / "Sub").string());
}

TEST(FileFilter, PairsPatternsAndTypedNames)
{
    const std::vector<FileFilter> f = parseFileFilter("Scenes (*.vtn)|*.vtn|Pictures|*.png;*.JPG|Dangling");
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[1].name, "Pictures");
    EXPECT_EQ(f[1].patterns, (std::vector<std::string>{"*.png", "*.JPG"}));
    EXPECT_TRUE(parseFileFilter("").empty());
    EXPECT_TRUE(matchesPattern("Photo.jpg", "*.JPG"));
    EXPECT_TRUE(matchesPattern("a.b.c", "*.c"));
    EXPECT_TRUE(matchesPattern("x1", "x?"));
    EXPECT_FALSE(matchesPattern("x12", "x?"));
    EXPECT_FALSE(matchesPattern("scene.vtnx", "*.vtn"));
    EXPECT_EQ(resolveTypedName("/p", "name", "vtn"), fs::path("/p/name.vtn"));
    EXPECT_EQ(resolveTypedName("/p", "name.txt", "vtn"), fs::path("/p/name.txt"));
    EXPECT_EQ(resolveTypedName("/p", "/q/name", ".vtn"), fs::path("/q/name.vtn"));
}

// ---- colour dialogs

TEST_F(LiveDialogsTest, ColourFromSwatchTrackbarAndEditWithCustomColoursWrittenBackOnOkOnly)
{
    std::array<ColorRef, 16> custom;
    custom.fill(rgb(1, 2, 3));
    ColorDialogRequest request{owner->hwnd(), rgb(10, 20, 30), CC_RGBINIT, &custom};
    uint8_t green = 0; // where the thumb lands: a short channel cannot reach every value
    const auto answer =
        openAndAct([&] { return chooseColor(request); },
                   [&] {
                       Dialog* d = activeDialog();
                       ASSERT_NE(d, nullptr);
                       EXPECT_EQ(d->child(kColorEditFirstId)->text(), "10");
                       Window* basic = d->child(kColorBasicGridId);
                       sim().click(*basic, {kSwatchWidth / 2 + (kSwatchWidth + kSwatchGap),
                                            kSwatchHeight + kSwatchGap + 5}); // red: second row, second column
                       EXPECT_EQ(d->child(kColorEditFirstId)->text(), "255");
                       auto* greenBar = d->item<Trackbar>(kColorTrackFirstId + 1);
                       sim().moveTrackbar(*greenBar, 128);
                       green = static_cast<uint8_t>(greenBar->getPos());
                       EXPECT_NEAR(green, 128, 4);
                       EXPECT_EQ(d->child(kColorEditFirstId + 1)->text(), std::to_string(green));
                       sim().replaceText(*d->child(kColorEditFirstId + 2), "64");
                       EXPECT_EQ(d->item<Trackbar>(kColorTrackFirstId + 2)->getPos(), 64);
                       sim().click(*d->child(kColorAddCustomId));
                       sim().click(*d->child(IDOK));
                   });
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(*answer, rgb(255, green, 64));
    EXPECT_EQ(custom[0], rgb(255, green, 64));
    EXPECT_EQ(custom[1], rgb(1, 2, 3));

    const auto cancelled = openAndAct([&] { return chooseColor(request); },
                                      [&] {
                                          Dialog* d = activeDialog();
                                          sim().click(*d->child(kColorAddCustomId));
                                          sim().keyPress(VK_ESCAPE);
                                      });
    EXPECT_FALSE(cancelled.has_value());
    EXPECT_EQ(custom[1], rgb(1, 2, 3));
}

// Text no channel keeps is refused with a reason and leaves the channel as it was before the typing, not at a
// number typed on the way ("25" of "256"); OK answers the colour the edits show.
TEST_F(LiveDialogsTest, ColourEditsRefuseWhatNoChannelKeepsAndOkTakesWhatIsShown)
{
    ColorDialogRequest request{owner->hwnd(), rgb(10, 20, 30), CC_RGBINIT, nullptr};
    const auto answer = openAndAct(
        [&] { return chooseColor(request); },
        [&] {
            Dialog* d = activeDialog();
            ASSERT_NE(d, nullptr);
            Window* red = d->child(kColorEditFirstId);
            for (const char* refused : {"nan", "abc", "1e40", "256", "2147483600", "-1", "5-", ".5"}) {
                sim().replaceText(*red, refused);
                EXPECT_EQ(d->item<Trackbar>(kColorTrackFirstId)->getPos(), 10) << refused;
                EXPECT_EQ(d->child(kColorReasonId)->text(), "Red takes a whole number from 0 to 255, and keeps 10.")
                    << refused;
            }
            sim().replaceText(*d->child(kColorEditFirstId + 2), "7");
            EXPECT_EQ(d->child(kColorReasonId)->text(), "");
            sim().replaceText(*red, "nan");
            sim().click(*d->child(IDOK)); // refused: the edit shows the channel again
            EXPECT_EQ(red->text(), "10");
            sim().click(*d->child(IDOK));
        });
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(*answer, rgb(10, 20, 7));
}

// The edits read numbers as the designer's fields do; a typing ends as the focus leaves its edit, so a later refusal
// keeps what the channel held then, and a refused text gives way to the channel's number; the reason is read whole.
TEST_F(LiveDialogsTest, ColourEditsReadAsEveryFieldAndEachTypingEndsWithTheFocus)
{
    ColorDialogRequest request{owner->hwnd(), rgb(10, 20, 30), CC_RGBINIT, nullptr};
    const auto answer =
        openAndAct([&] { return chooseColor(request); },
                   [&] {
                       Dialog* d = activeDialog();
                       ASSERT_NE(d, nullptr);
                       Window* red = d->child(kColorEditFirstId);
                       Window* green = d->child(kColorEditFirstId + 1);
                       for (const auto& [typed, taken] : {std::pair{" 3", 3}, std::pair{"+5", 5}, std::pair{"5.", 5}}) {
                           sim().replaceText(*green, typed);
                           EXPECT_EQ(d->item<Trackbar>(kColorTrackFirstId + 1)->getPos(), taken) << typed;
                           EXPECT_EQ(d->child(kColorReasonId)->text(), "") << typed;
                       }
                       for (const char* waits : {"", "+", "-"}) {
                           sim().replaceText(*green, waits);
                           EXPECT_EQ(d->child(kColorReasonId)->text(), "") << waits;
                       }
                       sim().replaceText(*red, "100");
                       sim().keyPress(VK_TAB);
                       EXPECT_EQ(green->text(), "5") << "an emptied edit shows its channel once the focus leaves";
                       sim().replaceText(*red, "x");
                       EXPECT_EQ(d->item<Trackbar>(kColorTrackFirstId)->getPos(), 100);
                       const std::string reason = d->child(kColorReasonId)->text();
                       EXPECT_EQ(reason, "Red takes a whole number from 0 to 255, and keeps 100.");
                       sim().keyPress(VK_TAB);
                       EXPECT_EQ(red->text(), "100");
                       // The reason's one line, the longest a channel says, read whole within the dialog.
                       Window* line = d->child(kColorReasonId);
                       sim().replaceText(*green, "x");
                       MemoryDc measure; // the font a static writes in
                       EXPECT_LE(measure.getTextExtent(line->text()).cx, line->clientRect().width()) << line->text();
                       EXPECT_LE(line->screenRect().r, d->clientToScreen({d->clientRect().r, 0}).x);
                       EXPECT_LE(line->screenRect().b, d->clientToScreen({0, d->clientRect().b}).y);
                       sim().keyPress(VK_TAB);
                       sim().click(*d->child(IDOK));
                   });
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(*answer, rgb(100, 5, 30));
}

// ---- font dialogs

// The swatches are the first tab stops, as they stand first on the screen; the arrows choose among them.
TEST_F(LiveDialogsTest, ColourSwatchesAreChosenByTabAndArrows)
{
    std::array<ColorRef, 16> custom;
    custom.fill(rgb(1, 2, 3));
    ColorDialogRequest request{owner->hwnd(), rgb(10, 20, 30), CC_RGBINIT, &custom};
    const auto answer = openAndAct([&] { return chooseColor(request); },
                                   [&] {
                                       Dialog* d = activeDialog();
                                       ASSERT_NE(d, nullptr);
                                       EXPECT_EQ(ui().focus(), d->child(kColorBasicGridId)->hwnd());
                                       for (const uint8_t vk : {VK_RIGHT, VK_DOWN, VK_RIGHT})
                                           sim().keyPress(vk);
                                       sim().keyPress(VK_TAB);
                                       EXPECT_EQ(ui().focus(), d->child(kColorCustomGridId)->hwnd());
                                       sim().keyPress(VK_RETURN);
                                   });
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(*answer, basicColors()[9]) << "second row, second column";
}

TEST_F(LiveDialogsTest, FontAnswersTheLogFontColourAndPointSize)
{
    LiveFontDialog fonts({"DejaVu Sans", "DejaVu Serif"});
    ui().providers().install(static_cast<FontDialogProvider*>(&fonts));
    FontDialogRequest request;
    request.owner = owner->hwnd();
    request.logFont.height = -pixelHeightOfPoints(10);
    std::strcpy(request.logFont.face, "DejaVu Sans");
    const auto answer = openAndAct([&] { return chooseFont(request); },
                                   [&] {
                                       Dialog* d = activeDialog();
                                       ASSERT_NE(d, nullptr);
                                       sim().selectListItem(*d->item<ListBox>(kFontFamilyListId), 1);
                                       sim().selectListItem(*d->item<ListBox>(kFontStyleListId), 3);
                                       auto* sizes = d->item<ComboBox>(kFontSizeComboId);
                                       sim().chooseCombo(*sizes, sizes->findStringExact(-1, "12"));
                                       sim().toggleCheck(*d->child(kFontUnderlineId));
                                       sim().chooseCombo(*d->item<ComboBox>(kFontColorComboId), 9);
                                       sim().keyPress(VK_RETURN);
                                   });
    ASSERT_TRUE(answer.has_value());
    EXPECT_STREQ(answer->logFont.face, "DejaVu Serif");
    EXPECT_EQ(answer->logFont.weight, FW_BOLD);
    EXPECT_EQ(answer->logFont.italic, 1);
    EXPECT_EQ(answer->logFont.underline, 1);
    EXPECT_EQ(answer->logFont.strikeOut, 0);
    EXPECT_EQ(answer->logFont.height, -16);
    EXPECT_EQ(answer->pointSizeTenths, 120);
    EXPECT_EQ(answer->color, rgb(255, 0, 0));
    EXPECT_EQ(answer->fontType, SCREEN_FONTTYPE);
    EXPECT_FALSE(openAndAct([&] { return chooseFont(request); }, [&] { sim().keyPress(VK_ESCAPE); }).has_value());
}

TEST(FontSize, PointsAndPixelHeightsRoundTrip)
{
    for (const int32_t points : {8, 9, 10, 11, 12, 14, 72})
        EXPECT_EQ((pointTenthsOfHeight(-pixelHeightOfPoints(points)) + 5) / 10, points) << points;
    EXPECT_EQ(pixelHeightOfPoints(12), 16);
}

} // namespace
} // namespace pf
