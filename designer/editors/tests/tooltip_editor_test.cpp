// The tooltip editor driven as a person would: typing, margins, positions, opacity bars, alignment radios, the
// cursor choice, colour and font choosers, node drops, deletion notices, and OK's name checks.
#include <cmath>
#include <cstring>
#include <string>

#include "designer/app/extended_world.h"
#include "designer/app/notification.h"
#include "designer/app/project.h"
#include "designer/editing/picker_receptors.h"
#include "designer/editors/details_tooltip_dlg.h"
#include "designer/editors/tests/tooltip_fixture.h"
#include "designer/workspace/editor_texts.h"
#include "designer/workspace/font_button.h"
#include "designer/workspace/receptors_texts.h"
#include "engine/resources/gdi_canvas.h"
#include "engine/resources/render_layer.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/list_box.h"
#include "platform/ui/controls/scroll_bar.h"
#include "platform/ui/providers/providers.h"

namespace tooltiptest {
namespace {

class TooltipEditor : public EditorsFixture {
public:
    void SetUp() override
    {
        EditorsFixture::SetUp();
        tip = NewTooltip("help");
        ASSERT_NE(tip, nullptr);
        tip->GetOrAddEntry(sample->object);
        editor = dynamic_cast<CVTND_DetailsTooltipDlg*>(
            app->EditObject(CVTND_Object(ObjectType::kTooltip, static_cast<CVTN_ToolTip*>(tip)), false));
        ASSERT_NE(editor, nullptr);
        editor->show(pf::SW_SHOW);
        sim().pump();
    }
    pf::Window& Item(int32_t id) { return *editor->child(id); }
    void Replace(int32_t id, const std::string& text)
    {
        sim().replaceText(Item(id), text);
        sim().pump();
    }
    pf::ListBox& Nodes() { return *editor->item<pf::ListBox>(1000); }

    VTND_ToolTip* tip = nullptr;
    CVTND_DetailsTooltipDlg* editor = nullptr;
};

TEST_F(TooltipEditor, OpensShownAndRendersOncePerKeystroke)
{
    EXPECT_TRUE(tip->IsShown());
    EXPECT_TRUE(tip->GetMainSprite()->IsEnabled());
    EXPECT_EQ(Item(1004).getText(), "Tooltip");
    EXPECT_EQ(Nodes().getCount(), 1);
    const uint32_t renders = editor->RenderCount();
    EXPECT_EQ(renders, 1u);
    sim().typeText(Item(1004), "abc");
    sim().pump();
    EXPECT_EQ(editor->RenderCount(), renders + 3);
    EXPECT_NE(tip->GetText().find("abc"), std::string::npos);
    EXPECT_EQ(tip->LayOut()[0].text, tip->GetText());
    const uint32_t width = tip->GetWidth();
    sim().keyPress(pf::VK_RETURN);
    sim().typeChars("x");
    sim().pump();
    ASSERT_EQ(tip->LayOut().size(), 3u); // the edit's CR LF ends two lines
    EXPECT_EQ(tip->LayOut()[2].text, "x");
    EXPECT_GT(tip->GetHeight(), 0u);
    EXPECT_LE(tip->GetWidth(), width);
}

// A keystroke that makes the text no number the field takes is refused at once: the field keeps what it held
// when the focus came, not a number typed on the way, and shows it once the focus leaves.
TEST_F(TooltipEditor, NumbersOutsideTheirFieldsAreRefusedAtTheKeystroke)
{
    Replace(1172, "12");
    EXPECT_EQ(tip->hMargin, 12);
    ui().setFocus(editor->hwnd());
    Replace(1172, "-5"); // no margin is negative
    EXPECT_EQ(tip->hMargin, 12);
    Replace(1172, "2048"); // one past the largest margin: not the 204 typed on the way
    EXPECT_EQ(tip->hMargin, 12);
    Replace(1173, "7");
    ui().setFocus(editor->hwnd());
    Replace(1173, "abc");
    EXPECT_EQ(tip->vMargin, 7);
    ui().setFocus(editor->hwnd());
    EXPECT_EQ(Item(1172).getText(), "12");
    EXPECT_EQ(Item(1173).getText(), "7");
    EXPECT_EQ(tip->GetHeight(), tip->LayOut()[0].height + 7u);
    sim().click(Item(1363));
    Replace(1174, "40");
    Replace(1176, "3");
    ui().setFocus(editor->hwnd());
    Replace(1176, "-3");
    float x = 0, y = 0;
    tip->GetPosition(x, y);
    EXPECT_EQ(x, 40.0f);
    EXPECT_EQ(y, 3.0f);
    EXPECT_EQ(tip->GetMainSprite()->GetX(), 40);
    Replace(1176, "x");
    tip->GetPosition(x, y);
    EXPECT_EQ(y, 3.0f);
    ui().setFocus(editor->hwnd());
    EXPECT_EQ(Item(1176).getText(), "3");
    Replace(1180, "250.5");
    Replace(1181, "1e2");
    Replace(1178, "33");
    EXPECT_EQ(tip->fadeIn, 250.5);
    EXPECT_EQ(tip->fadeOut, 100.0);
    EXPECT_EQ(tip->delay, 33.0);
}

// A position a file brought may be any float, and a typed one any int: the tooltip shows within a view either way.
TEST_F(TooltipEditor, AnyStoredOrTypedPositionShowsWithinAView)
{
    sim().click(Item(1363));
    for (const float stored : {std::nanf(""), 3.0e9f, -3.0e9f}) {
        SCOPED_TRACE(stored);
        tip->SetPosition(stored, stored);
        Replace(1174, "5");
        Replace(1176, "2147483600");
        float x = 0, y = 0;
        tip->GetPosition(x, y);
        EXPECT_EQ(x, 5.0f);
        // Refused: the file's position stays, not the 214748 typed on the way.
        EXPECT_TRUE(y == stored || (std::isnan(y) && std::isnan(stored))) << y;
        EXPECT_EQ(tip->GetMainSprite()->GetX(), 5);
        EXPECT_EQ(tip->GetMainSprite()->GetY(), VTND_ToolTip::PixelOf(stored));
        tip->SetPosition(stored, stored);
        Replace(1176, "7");
        EXPECT_EQ(tip->GetMainSprite()->GetX(), VTND_ToolTip::PixelOf(stored));
        EXPECT_EQ(tip->GetMainSprite()->GetY(), 7);
    }
}

TEST_F(TooltipEditor, OpacityBarsStopAtTheEndsAndRadiosMapToAlignments)
{
    auto* text = editor->item<pf::ScrollBar>(1177);
    auto* back = editor->item<pf::ScrollBar>(1175);
    EXPECT_EQ(text->position(), 255);
    EXPECT_EQ(back->position(), 128);
    const pf::Rect thumb = back->thumbRect();
    const pf::Point from = back->clientToScreen({(thumb.l + thumb.r) / 2, (thumb.t + thumb.b) / 2});
    sim().drag(from, {from.x + 400, from.y}, 8);
    sim().pump();
    EXPECT_EQ(tip->backOpacity, 0xFF000000u);
    const pf::Rect right = back->arrowRect(false);
    sim().click(*back, {(right.l + right.r) / 2, (right.t + right.b) / 2});
    EXPECT_EQ(back->position(), 255);
    const pf::Rect left = back->arrowRect(true);
    sim().click(*back, {(left.l + left.r) / 2, (left.t + left.b) / 2});
    EXPECT_EQ(tip->backOpacity, 254u << 24);

    for (const auto& [id, horizontal, value] : {std::tuple{1014, true, 2},
                                                {1015, true, 1},
                                                {1013, true, 0},
                                                {1017, false, 2},
                                                {1018, false, 1},
                                                {1016, false, 0}}) {
        sim().click(Item(id));
        sim().pump();
        EXPECT_EQ(horizontal ? tip->hAlign : tip->vAlign, value) << id;
    }
    // The cursor choice disables the position; choosing it again changes nothing.
    sim().click(Item(1012));
    EXPECT_EQ(tip->showAtCursor, 1);
    EXPECT_FALSE(Item(1174).isEnabled());
    EXPECT_FALSE(Item(1176).isEnabled());
    sim().click(Item(1012));
    EXPECT_EQ(tip->showAtCursor, 1);
    sim().click(Item(1363));
    EXPECT_EQ(tip->showAtCursor, 0);
    EXPECT_TRUE(Item(1174).isEnabled());
}

TEST_F(TooltipEditor, ChoosersSetColoursAndFont)
{
    sim().expectColor(pf::rgb(255, 128, 0));
    sim().click(Item(1208));
    sim().pump();
    EXPECT_EQ(tip->textRGB[0], 255);
    EXPECT_EQ(tip->textRGB[1], static_cast<uint8_t>(128.0f / 255.0f * 255.0f));
    EXPECT_EQ(tip->textRGB[2], 0);
    sim().expectColor(std::nullopt);
    sim().click(Item(1209));
    EXPECT_EQ(tip->backRGB[0], 0);

    pf::FontChoice choice;
    choice.logFont.height = -20;
    choice.logFont.italic = 1;
    choice.logFont.weight = 700;
    std::strcpy(choice.logFont.face, "Sans");
    choice.fontType = pf::SCREEN_FONTTYPE;
    sim().expectFont(choice);
    sim().click(Item(1164));
    sim().pump();
    EXPECT_EQ(tip->charHeight, 20);
    EXPECT_EQ(tip->italic, 1);
    EXPECT_EQ(tip->weight, 700);
    EXPECT_GT(tip->overhang, 0);
    EXPECT_EQ(tip->GetFaceName(), "Sans");
    EXPECT_EQ(editor->item<CVTND_FontButton>(1164)->GetLogFont().height, -20);
    EXPECT_NE(GdiCanvas::GetFontFlags(tip->GetMaskLine()) & GdiCanvas::kItalic, 0u);
}

TEST_F(TooltipEditor, NodesDroppedOnceAndDeletionsFollowed)
{
    editor->send(kMsgNodeDropped, 0, reinterpret_cast<pf::LParam>(sample->hotspot));
    editor->send(kMsgNodeDropped, 0, reinterpret_cast<pf::LParam>(sample->hotspot));
    EXPECT_EQ(Nodes().getCount(), 2);
    EXPECT_NE(tip->FindEntry(sample->hotspot), nullptr);
    app->Broadcast(CVTND_Event(EventCode::kDeleted, CVTND_Object(ObjectType::kHotspot, sample->hotspot)));
    ASSERT_EQ(Nodes().getCount(), 1);
    EXPECT_EQ(Nodes().getText(0), *sample->object->GetName());
    // The tooltip deleted elsewhere closes the editor.
    const pf::Hwnd window = editor->hwnd();
    app->Broadcast(
        CVTND_Event(EventCode::kDeleted, CVTND_Object(ObjectType::kTooltip, static_cast<CVTN_ToolTip*>(tip))));
    EXPECT_FALSE(pf::ui().isWindow(window));
    EXPECT_FALSE(tip->IsShown());
}

// "Lamp" and "lamp" are two nodes: deleting "lamp" takes its own line and entry, and a node that takes its name
// later is not the tooltip's after a save and reopening.
TEST_F(TooltipEditor, ADeletedNodeLeavesTheTooltipByExactNameAndForGood)
{
    ASSERT_TRUE(World().RenameNode(sample->hotspot, *sample->hotspot->GetName(), "Lamp"));
    ASSERT_TRUE(World().RenameNode(sample->otherObject, *sample->otherObject->GetName(), "lamp"));
    editor->send(kMsgNodeDropped, 0, reinterpret_cast<pf::LParam>(sample->hotspot));
    editor->send(kMsgNodeDropped, 0, reinterpret_cast<pf::LParam>(sample->otherObject));
    ASSERT_TRUE(app->DeleteObject(CVTND_Object(sample->otherObject), 0));
    ASSERT_EQ(Nodes().getCount(), 2);
    EXPECT_EQ(Nodes().getText(1), "Lamp");
    ASSERT_TRUE(World().RenameNode(sample->mesh, *sample->mesh->GetName(), "lamp"));

    const auto entryNames = [](const CVTN_ToolTip& tooltip) {
        std::vector<std::string> names;
        for (CVTN_ToolTipEntry* e = tooltip.GetFirstEntry(); e != nullptr; e = CVTN_ToolTip::GetNextEntry(e)) {
            const SWnode* node = tooltip.GetEntryNode(*e);
            names.push_back(node != nullptr ? *node->GetName() : e->name);
        }
        return names;
    };
    const std::vector<std::string> kept{*sample->object->GetName(), "Lamp"};
    EXPECT_EQ(entryNames(*tip), kept);
    editor->DestroyWindow();
    auto* again = dynamic_cast<CVTND_DetailsTooltipDlg*>(
        app->EditObject(CVTND_Object(ObjectType::kTooltip, static_cast<CVTN_ToolTip*>(tip)), false));
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->item<pf::ListBox>(1000)->getCount(), 2);
    again->DestroyWindow();

    std::vector<uint8_t> bytes;
    ASSERT_TRUE(app->GetProject()->WriteBytes(bytes, app->GetGradientStore()));
    CVTND_Project::LoadResult reopened = CVTND_Project::LoadBytes(bytes, "lamps");
    ASSERT_TRUE(reopened.ok());
    SWtooltips* tooltips = SWtooltips::Find(*reopened.world);
    ASSERT_NE(tooltips, nullptr);
    ASSERT_EQ(tooltips->GetList().Count(), 1u);
    EXPECT_EQ(entryNames(*static_cast<CVTN_ToolTip*>(tooltips->GetList().Head())), kept);
}

// A new tooltip is centred and in the middle, and its editor shows it so.
TEST_F(TooltipEditor, ANewTooltipIsCentredInTheMiddle)
{
    EXPECT_EQ(tip->hAlign, VTND_ToolTip::kCentre);
    EXPECT_EQ(tip->vAlign, VTND_ToolTip::kMiddle);
    EXPECT_EQ(editor->item<pf::Button>(1015)->getCheck(), 1);
    EXPECT_EQ(editor->item<pf::Button>(1018)->getCheck(), 1);
    EXPECT_EQ(editor->item<pf::Button>(1013)->getCheck(), 0);
}

TEST_F(TooltipEditor, ThePickerRebuildsTheEntriesAndDropsVanishedNames)
{
    tip->AddStoredEntry(CVTN_ToolTipEntry::kNoNode, "vanished");
    sim().onModal(kIddMultipleSelect, [&](pf::Dialog& d) {
        auto* offered = d.item<pf::ListBox>(PickerControl::kOffered);
        auto* chosen = d.item<pf::ListBox>(PickerControl::kChosen);
        ASSERT_EQ(chosen->getCount(), 2); // the node's name and the kept one
        sim().selectListItem(*offered, offered->findExact(*sample->hotspot->GetName()));
        sim().click(*d.item<pf::Window>(PickerControl::kAdd));
        sim().click(*d.item<pf::Window>(pf::IDOK));
    });
    sim().click(Item(1210));
    sim().pump();
    std::vector<std::string> names;
    for (CVTN_ToolTipEntry* e = tip->GetFirstEntry(); e != nullptr; e = CVTN_ToolTip::GetNextEntry(e))
        names.push_back(*tip->GetEntryNode(*e)->GetName());
    EXPECT_EQ(names, (std::vector<std::string>{*sample->object->GetName(), *sample->hotspot->GetName()}));
    ASSERT_EQ(Nodes().getCount(), 2);
    EXPECT_EQ(Nodes().getText(1), *sample->hotspot->GetName());
    // Cancelled, nothing changes.
    sim().onModal(kIddMultipleSelect, [&](pf::Dialog& d) { sim().click(*d.item<pf::Window>(pf::IDCANCEL)); });
    sim().click(Item(1210));
    EXPECT_EQ(Nodes().getCount(), 2);
}

TEST_F(TooltipEditor, OkChecksTheNameAndCancelKeepsTheRest)
{
    NewTooltip("other");
    Replace(1179, "");
    sim().expectMessageBox(pf::IDOK);
    sim().click(Item(pf::IDOK));
    sim().pump();
    ASSERT_TRUE(editor->isWindow());
    Replace(1179, "other");
    sim().expectMessageBox(pf::IDOK);
    sim().click(Item(pf::IDOK));
    sim().pump();
    ASSERT_TRUE(editor->isWindow());
    EXPECT_EQ(tip->GetName(), "help");
    Replace(1179, "renamed");
    recorder->Clear();
    sim().click(Item(pf::IDOK));
    sim().pump();
    EXPECT_EQ(tip->GetName(), "renamed");
    ASSERT_EQ(recorder->Count(3), 1u);
    EXPECT_EQ(recorder->Events().back().firstText, std::optional<std::string>("help"));
    EXPECT_FALSE(tip->IsShown());

    // Cancel: the name stays, the other edits too.
    auto* again = dynamic_cast<CVTND_DetailsTooltipDlg*>(
        app->EditObject(CVTND_Object(ObjectType::kTooltip, static_cast<CVTN_ToolTip*>(tip)), false));
    ASSERT_NE(again, nullptr);
    sim().pump();
    sim().replaceText(*again->child(1179), "lost");
    sim().replaceText(*again->child(1172), "9");
    again->send(pf::WM_COMMAND, pf::IDCANCEL, 0);
    sim().pump();
    EXPECT_EQ(tip->GetName(), "renamed");
    EXPECT_EQ(tip->hMargin, 9);
}

TEST_F(TooltipEditor, AnEngineTooltipOpensNothing)
{
    auto engineTip = std::make_unique<CVTN_ToolTip>(&World(), "brought");
    CVTN_ToolTip* brought = engineTip.get();
    SWtooltips::Find(World())->GetList().AddTail(engineTip.release());
    EXPECT_EQ(app->EditObject(CVTND_Object(ObjectType::kTooltip, brought), false), nullptr);
}

} // namespace
} // namespace tooltiptest
