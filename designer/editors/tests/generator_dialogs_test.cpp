// The polynomial, random, waveform and property-reference dialogs, opened as a person opens them: the value editor's
// generator menu chosen twice on a value shown in degrees, the first time to make the generator, the second to open its
// dialog.
#include <atomic>
#include <cmath>
#include <memory>
#include <string>
#include <thread>

#include "designer/editing/editor_engine.h"
#include "designer/editing/map_object.h"
#include "designer/editing/picker_receptors.h"
#include "designer/editors/arcball_dlg.h"
#include "designer/editors/details_particles_dlg.h"
#include "designer/editors/polynomial_generator_dlg.h"
#include "designer/editors/property_generator_dlg.h"
#include "designer/editors/random_generator_dlg.h"
#include "designer/editors/tests/tooltip_fixture.h"
#include "designer/editors/waveform_generator_dlg.h"
#include "designer/workspace/display_units.h"
#include "designer/workspace/property_drag_source.h"
#include "designer/workspace/receptors_texts.h"
#include "designer/workspace/rename_dlg.h"
#include "designer/workspace/value_generator.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/arcball_motion.h"
#include "engine/behaviour/control_channel.h"
#include "engine/behaviour/generator.h"
#include "engine/behaviour/property.h"
#include "engine/resources/sound.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"

namespace tooltiptest {
namespace {

class GeneratorDialogs : public EditorsFixture {
public:
    void SetUp() override
    {
        EditorsFixture::SetUp();
        CVTND_Object object;
        object.InitFromNode(sample->particles);
        editor = dynamic_cast<CVTND_DetailsParticlesDlg*>(app->EditObject(object, false));
        ASSERT_NE(editor, nullptr);
        editor->show(pf::SW_SHOW);
        sim().pump();
        value = dynamic_cast<CVTND_ValueGenerator*>(editor->child(1031)); // the wobble, in degrees
        ASSERT_NE(value, nullptr);
        value->SetAnimated(true); // as an animated value's host has it: the generator button shows
        sim().pump();
    }
    // The generator menu: the kind made, then chosen again to open its dialog.
    CVTND_GeneratorDialog* OpenDialog(uint8_t type, CVTND_ValueGenerator::DialogSlot slot)
    {
        for (int i = 0; i < 2; ++i) {
            sim().expectMenu(CVTND_ValueGenerator::kMenuCommandBase + type);
            sim().click(*value->GetButton());
            sim().pump();
        }
        return value->GetDialog(slot);
    }

    CVTND_DetailsParticlesDlg* editor = nullptr;
    CVTND_ValueGenerator* value = nullptr;
};

TEST_F(GeneratorDialogs, ThePolynomialDialogEditsItsGeneratorInTheValuesUnits)
{
    auto* dialog = dynamic_cast<CVTND_PolynomialGeneratorDlg*>(
        OpenDialog(SWgenerator::kPolynomial, CVTND_ValueGenerator::DialogSlot::kPolynomial));
    ASSERT_NE(dialog, nullptr);
    SWpolynomialgenerator* generator = dialog->Generator();
    ASSERT_EQ(generator, value->GetGenerator());
    EXPECT_EQ(dialog->child(1181)->getText(), "3");
    EXPECT_EQ(dialog->child(1182)->getText(), "0");
    EXPECT_EQ(dialog->child(1183)->getText(), "0");
    EXPECT_EQ(dialog->item<pf::Button>(1187)->getCheck(), 0);
    EXPECT_EQ(dialog->item<pf::Button>(1188)->getCheck(), 0);

    // No shape is negative: "-2" is refused whole, not taken as the 2 after its sign.
    sim().replaceText(*dialog->child(1181), "-2");
    sim().pump();
    EXPECT_EQ(generator->GetShape(), 3.0f);
    sim().replaceText(*dialog->child(1181), "2");
    EXPECT_EQ(generator->GetShape(), 2.0f);
    sim().replaceText(*dialog->child(1182), "180");
    sim().pump();
    EXPECT_NEAR(generator->GetAmplitude(), 3.14159265f, 1e-5f);
    sim().replaceText(*dialog->child(1183), "90");
    sim().pump();
    EXPECT_NEAR(generator->GetOffset(), 1.5707963f, 1e-5f);
    sim().click(*dialog->child(1188));
    EXPECT_TRUE(generator->GetMirror());
    const bool inverted = generator->GetInvert();
    sim().click(*dialog->child(1187));
    EXPECT_NE(generator->GetInvert(), inverted);

    // Closed, its slot is free, and the next request opens a new dialog.
    sim().click(*dialog->child(pf::IDOK));
    sim().pump();
    EXPECT_EQ(value->GetDialog(CVTND_ValueGenerator::DialogSlot::kPolynomial), nullptr);
    sim().expectMenu(CVTND_ValueGenerator::kMenuCommandBase + SWgenerator::kPolynomial);
    sim().click(*value->GetButton());
    sim().pump();
    ASSERT_NE(value->GetDialog(CVTND_ValueGenerator::DialogSlot::kPolynomial), nullptr);
    EXPECT_EQ(value->GetDialog(CVTND_ValueGenerator::DialogSlot::kPolynomial)->child(1182)->getText(), "180");
}

TEST_F(GeneratorDialogs, TheRandomDialogEditsTheRangeInTheValuesUnits)
{
    CVTND_GeneratorDialog* dialog = OpenDialog(SWgenerator::kRandom, CVTND_ValueGenerator::DialogSlot::kRandom);
    ASSERT_NE(dialog, nullptr);
    auto* generator = dynamic_cast<SWrandomgenerator*>(value->GetGenerator());
    ASSERT_NE(generator, nullptr);
    EXPECT_EQ(dialog->child(CVTND_RandomGeneratorDlg::kIdLowest)->getText(),
              FormatInDisplayUnits(1, generator->GetMinimum()));
    sim().replaceText(*dialog->child(CVTND_RandomGeneratorDlg::kIdLowest), "-90");
    sim().replaceText(*dialog->child(CVTND_RandomGeneratorDlg::kIdHighest), "180");
    ui().setFocus(dialog->hwnd());                     // the typing ends: a refusal keeps 180
    for (const char* refused : {"none", "inf", "nan"}) // change nothing, typed letter by letter
        sim().replaceText(*dialog->child(CVTND_RandomGeneratorDlg::kIdHighest), refused);
    sim().pump();
    EXPECT_NEAR(generator->GetMinimum(), -1.5707964f, 1e-6f);
    EXPECT_NEAR(generator->GetMaximum(), 3.1415927f, 1e-6f);
    sim().click(*dialog->child(pf::IDOK));
    sim().pump();
    EXPECT_EQ(value->GetDialog(CVTND_ValueGenerator::DialogSlot::kRandom), nullptr);
    dialog = OpenDialog(SWgenerator::kRandom, CVTND_ValueGenerator::DialogSlot::kRandom); // opened again: as left
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->child(CVTND_RandomGeneratorDlg::kIdHighest)->getText(), "180");
}

TEST_F(GeneratorDialogs, TheWaveformDialogLocksPeriodsFoldsSignsAndFollowsTheUnit)
{
    auto* dialog = dynamic_cast<CVTND_WaveformGenerator*>(
        OpenDialog(SWgenerator::kSine, CVTND_ValueGenerator::DialogSlot::kWaveform));
    ASSERT_NE(dialog, nullptr);
    SWwaveformgenerator* generator = dialog->Generator();
    ASSERT_EQ(generator, value->GetGenerator());
    ASSERT_TRUE(generator->GetLock());
    sim().replaceText(*dialog->child(1182), "500");
    sim().pump();
    EXPECT_EQ(dialog->child(1184)->getText(), "500");
    EXPECT_EQ(generator->GetEndPeriod(), 500.0f);
    sim().replaceText(*dialog->child(1172), "90"); // degrees
    sim().pump();
    EXPECT_NEAR(generator->GetStartAmplitude(), 1.5707963f, 1e-5f);
    sim().replaceText(*dialog->child(1181), "90"); // the offset as typed
    sim().pump();
    EXPECT_EQ(generator->GetOffset(), 90.0f);

    sim().click(*dialog->child(1193));
    EXPECT_TRUE(generator->GetInfinite());
    for (const int32_t id : {1177, 1179, 1353, 1354, 1387})
        EXPECT_FALSE(dialog->child(id)->isEnabled()) << id;
    sim().click(*dialog->child(1188));
    sim().click(*dialog->child(1195));
    EXPECT_TRUE(generator->GetPositive());
    EXPECT_FALSE(generator->GetAbsolute());
    EXPECT_EQ(dialog->item<pf::Button>(1188)->getCheck(), 0);

    // A colour value forces absolute and takes both boxes away; another unit gives them back.
    value->SetUnit(2);
    EXPECT_TRUE(generator->GetAbsolute());
    EXPECT_FALSE(dialog->child(1188)->isEnabled());
    EXPECT_FALSE(dialog->child(1195)->isEnabled());
    value->SetUnit(0);
    EXPECT_TRUE(dialog->child(1188)->isEnabled());
    sim().click(*dialog->child(pf::IDOK));
    sim().pump();
    EXPECT_EQ(value->GetDialog(CVTND_ValueGenerator::DialogSlot::kWaveform), nullptr);
}

TEST_F(GeneratorDialogs, ThePropertyDialogTakesTypedAndDroppedReferences)
{
    auto* dialog = dynamic_cast<CVTND_PropertyGenerator*>(
        OpenDialog(SWgenerator::kProperty, CVTND_ValueGenerator::DialogSlot::kProperty));
    ASSERT_NE(dialog, nullptr);
    auto* generator = dynamic_cast<SWpropertygenerator*>(value->GetGenerator());
    ASSERT_NE(generator, nullptr);
    EXPECT_EQ(dialog->item<pf::Button>(1012)->getCheck(), pf::BST_CHECKED);
    ASSERT_NE(dialog->ReceptorHandle(), 0u);
    EXPECT_NE(GetEditorEngine()->FindReceptor(dialog->ReceptorHandle()), nullptr);

    sim().replaceText(*dialog->child(1004), "anything at all");
    sim().pump();
    EXPECT_EQ(generator->GetPropertyName(), std::optional<std::string>("anything at all"));
    sim().click(*dialog->child(1013));
    EXPECT_TRUE(generator->GetRelative());
    sim().click(*dialog->child(1012));
    EXPECT_FALSE(generator->GetRelative());

    // A node's property dropped on the field names it; a sound's too; the world's changes nothing.
    sample->object->SetName(std::string("Box"));
    auto speed = std::make_unique<SWproperty>(8);
    speed->SetName(std::string("speed"));
    SWproperty* property = sample->object->AddVariable(std::move(speed));
    PropertyDragSource.InitFromNode(sample->object);
    dialog->send(kMsgPropertyDropped, 1004, reinterpret_cast<pf::LParam>(property));
    EXPECT_EQ(dialog->child(1004)->getText(), "NODE:Box.speed");
    EXPECT_EQ(generator->GetPropertyName(), std::optional<std::string>("NODE:Box.speed"));
    PropertyDragSource = CVTND_Object(sample->sound);
    dialog->send(kMsgPropertyDropped, 1004, reinterpret_cast<pf::LParam>(property));
    EXPECT_EQ(dialog->child(1004)->getText(), "SOUND:" + sample->sound->GetName() + ".speed");
    PropertyDragSource = CVTND_Object(sample->timer);
    dialog->send(kMsgPropertyDropped, 1004, reinterpret_cast<pf::LParam>(property));
    EXPECT_EQ(dialog->child(1004)->getText(), "SOUND:" + sample->sound->GetName() + ".speed");

    // The node renamed through the rename dialog while the dialog is open: the field names it as the slot does.
    PropertyDragSource.InitFromNode(sample->object);
    dialog->send(kMsgPropertyDropped, 1004, reinterpret_cast<pf::LParam>(property));
    sim().onModal(kIddRename, [this](pf::Dialog& d) {
        sim().replaceText(*d.child(RenameControl::kNewName), "Crate");
        sim().click(*d.child(pf::IDOK));
    });
    CVTND_RenameDlg rename{CVTND_Object(sample->object), nullptr};
    ASSERT_EQ(rename.Run(), 1);
    EXPECT_EQ(dialog->child(1004)->getText(), "NODE:Crate.speed");
    EXPECT_EQ(generator->GetPropertyName(), std::optional<std::string>("NODE:Crate.speed"));

    // Escape keeps it open; the close button closes it and gives its receptor back.
    const uint32_t handle = dialog->ReceptorHandle();
    dialog->send(pf::WM_COMMAND, pf::IDCANCEL, 0);
    ASSERT_NE(value->GetDialog(CVTND_ValueGenerator::DialogSlot::kProperty), nullptr);
    sim().click(*dialog->child(pf::IDOK));
    sim().pump();
    EXPECT_EQ(value->GetDialog(CVTND_ValueGenerator::DialogSlot::kProperty), nullptr);
    EXPECT_EQ(GetEditorEngine()->FindReceptor(handle), nullptr);
}

} // namespace
} // namespace tooltiptest

namespace tooltiptest {
namespace {

// A render thread steps the arcball's channels' readers and evaluates the edited generator every frame, under the
// world's lock, while the user changes functions, frames and generator fields 300 times.
TEST_F(GeneratorDialogs, TheRenderThreadEvaluatesWhileTheEditorsWrite)
{
    auto* dialog = dynamic_cast<CVTND_WaveformGenerator*>(
        OpenDialog(SWgenerator::kSine, CVTND_ValueGenerator::DialogSlot::kWaveform));
    ASSERT_NE(dialog, nullptr);
    SWactionnode* action = sample->AddAction(*sample->timer, 45);
    auto* motion = dynamic_cast<SWarcballmotion*>(action->GetMotion());
    ASSERT_NE(motion, nullptr);
    auto* arcball = dynamic_cast<CVTND_ControllerMotionArcballDlg*>(app->EditObject(CVTND_Object(action), false));
    ASSERT_NE(arcball, nullptr);
    arcball->move(pf::Rect::fromXywh(800, 0, 420, 330));
    dialog->move(pf::Rect::fromXywh(0, 500, 520, 350));
    sim().pump();
    SWgenerator* generator = value->GetGenerator();

    std::atomic<bool> stop{false};
    std::atomic<uint64_t> frames{0};
    std::atomic<float> sink{0.0f};
    std::thread render([&] {
        float now = 0.0f;
        while (!stop.load()) {
            const SWworldlock hold(World());
            now += 16.0f;
            generator->Step(now);
            float seen = generator->GetValue();
            for (int c = 0; c < 6; ++c) {
                const SWcontrolchannel& channel = motion->GetChannel(c);
                seen += channel.GetScale() + static_cast<float>(channel.GetInputCode() + channel.GetFrameBits());
            }
            sink.store(seen);
            frames.fetch_add(1);
        }
    });
    for (int i = 0; i < 300; ++i) {
        switch (i % 3) {
        case 0:
            ASSERT_TRUE(sim().chooseCombo(*arcball->item<pf::ComboBox>(1293), i % 10));
            break;
        case 1:
            ASSERT_TRUE(sim().chooseCombo(*arcball->item<pf::ComboBox>(1376), i % 5));
            break;
        default:
            sim().replaceText(*dialog->child(1182), std::to_string(100 + i));
            break;
        }
        sim().pump();
    }
    stop.store(true);
    render.join();
    EXPECT_GT(frames.load(), 0u);
    EXPECT_EQ(dynamic_cast<SWwaveformgenerator*>(generator)->GetPeriod(), 399.0f);
    arcball->DestroyWindow();
}

} // namespace
} // namespace tooltiptest
