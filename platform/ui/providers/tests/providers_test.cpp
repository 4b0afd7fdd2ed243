// The scripted modal services: answers in order, every call recorded, unscripted calls reported and harmless.
#include "platform/testing/ui_fixture.h"
#include "platform/ui/providers/providers.h"

namespace pf {
namespace {

class Providers_ : public UiFixture {
protected:
    void collect()
    {
        ui().setStrictFailureHandler([this](const std::string& w) { strict.push_back(w); });
    }
    std::vector<std::string> strict;
};

TEST_F(Providers_, MessageBoxAnswersInOrderAndRecordsEachCall)
{
    sim().expectMessageBox(IDYES);
    sim().expectMessageBox(IDNO);
    EXPECT_EQ(messageBox(kNoWindow, "Save changes?", "Designer", MB_YESNOCANCEL | MB_ICONQUESTION), IDYES);
    EXPECT_EQ(messageBox(kNoWindow, "Really?", "Designer", MB_YESNO), IDNO);
    const auto& calls = ui().providers().scriptedMessageBox().calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].text, "Save changes?");
    EXPECT_EQ(calls[0].flags, MB_YESNOCANCEL | MB_ICONQUESTION);
}

TEST_F(Providers_, UnscriptedCallsFailAndAnswerTheHarmlessChoice)
{
    collect();
    EXPECT_EQ(messageBox(kNoWindow, "a", "b", MB_OK | MB_ICONHAND), IDOK);
    EXPECT_EQ(messageBox(kNoWindow, "a", "b", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(messageBox(kNoWindow, "a", "b", MB_YESNO), IDNO);
    EXPECT_EQ(messageBox(kNoWindow, "a", "b", MB_YESNOCANCEL), IDCANCEL);
    EXPECT_FALSE(getFileName({}).has_value());
    EXPECT_FALSE(chooseColor({}).has_value());
    EXPECT_FALSE(chooseFont({}).has_value());
    EXPECT_EQ(strict.size(), 7u);
    EXPECT_NE(strict[0].find("\"a\""), std::string::npos) << "the failure shows the arguments";
}

TEST_F(Providers_, FileColourAndFontScripts)
{
    sim().expectFile("/tmp/scene.vtn");
    sim().expectFile(std::nullopt);
    FileDialogRequest open;
    open.title = "Add scene file";
    open.filter = "Scene files (*.vtn)|*.vtn|";
    open.flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    EXPECT_EQ(getFileName(open), (std::vector<std::string>{"/tmp/scene.vtn"}));
    EXPECT_FALSE(getFileName(open).has_value());
    EXPECT_EQ(ui().providers().scriptedFile().calls()[0].flags, OFN_FILEMUSTEXIST | OFN_HIDEREADONLY);

    std::array<ColorRef, 16> custom{};
    sim().expectColor(rgb(1, 2, 3));
    ColorDialogRequest colour{kNoWindow, rgb(9, 9, 9), CC_RGBINIT | CC_FULLOPEN, &custom};
    EXPECT_EQ(chooseColor(colour), rgb(1, 2, 3));
    EXPECT_EQ(ui().providers().scriptedColor().calls()[0].initial, rgb(9, 9, 9));

    FontChoice choice;
    choice.pointSizeTenths = 120;
    choice.fontType = SCREEN_FONTTYPE;
    sim().expectFont(choice);
    const auto got = chooseFont({kNoWindow, LogFont{}, 0x141, 0});
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->pointSizeTenths, 120);
}

} // namespace
} // namespace pf
