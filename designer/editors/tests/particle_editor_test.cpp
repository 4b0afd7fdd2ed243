// The particle editor: its fourteen value editors bound as plain values, the gradient's key colour through the
// sliders, edits and colour button, the test run that never outlives the editor, the preview notices, the rename of
// its own node, and the gradient kept in the store across openings.
#include <string>

#include "designer/app/notification.h"
#include "designer/editors/details_particles_dlg.h"
#include "designer/editors/tests/tooltip_fixture.h"
#include "designer/workspace/editor_texts.h"
#include "designer/workspace/gradient.h"
#include "designer/workspace/tooltip_texts.h"
#include "designer/workspace/value_generator.h"
#include "engine/behaviour/generator.h"
#include "engine/behaviour/particle_motion.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/core/object_node.h"
#include "engine/resources/particle_node.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/controls/trackbar.h"

namespace tooltiptest {
namespace {

class ParticleEditor : public EditorsFixture {
public:
    void SetUp() override
    {
        EditorsFixture::SetUp();
        node = sample->particles;
        particles = dynamic_cast<SWparticlenode*>(node->GetGeometry());
        ASSERT_NE(particles, nullptr);
    }
    CVTND_DetailsParticlesDlg* Open()
    {
        CVTND_Object object;
        object.InitFromNode(node);
        auto* editor = dynamic_cast<CVTND_DetailsParticlesDlg*>(app->EditObject(object, false));
        if (editor != nullptr)
            editor->show(pf::SW_SHOW);
        sim().pump();
        return editor;
    }
    CVTND_ValueGenerator& Value(CVTND_DetailsParticlesDlg& editor, int index)
    {
        return *dynamic_cast<CVTND_ValueGenerator*>(
            editor.child(CVTND_DetailsParticlesDlg::kParameterIds[static_cast<size_t>(index)]));
    }
    void ClickKey(CVTND_DetailsParticlesDlg& editor, int key)
    {
        CVTND_Gradient& gradient = *editor.Gradient();
        const pf::Rect band = gradient.BandRect();
        sim().click(gradient, {gradient.GetFields().keyPositions[static_cast<size_t>(key)], band.b - 2});
        sim().pump();
    }
    void SetGenerator(int slot, std::unique_ptr<SWgenerator> generator)
    {
        particles->SetGenerator(slot, std::make_unique<SWparticlegenerator>(std::move(generator)));
    }

    SWnode* node = nullptr;
    SWparticlenode* particles = nullptr;
};

TEST_F(ParticleEditor, ValuesAreBoundInOrderAsPlainValues)
{
    SetGenerator(0, CVTND_ValueGenerator::MakeGenerator(SWgenerator::kSine, &World())); // an animated wobble
    SetGenerator(5, CVTND_ValueGenerator::MakeGenerator(SWgenerator::kAxisTrack, &World(), 0.75f));
    CVTND_DetailsParticlesDlg* editor = Open();
    ASSERT_NE(editor, nullptr);
    for (int i = 0; i < 14; ++i) {
        CVTND_ValueGenerator& value = Value(*editor, i);
        EXPECT_EQ(value.GetSlot(), CVTND_GeneratorSlot::ForParticle(&World(), *particles, i)) << i;
        EXPECT_FALSE(value.IsAnimated());
        if (value.GetGenerator() != nullptr) {
            EXPECT_EQ(value.GetGenerator()->GetType(), SWgenerator::kAxisTrack) << i; // a constant
        }
    }
    EXPECT_EQ(Value(*editor, 0).GetUnit(), 1);
    EXPECT_EQ(Value(*editor, 2).GetUnit(), 1);
    EXPECT_EQ(Value(*editor, 3).GetUnit(), 1);
    EXPECT_EQ(Value(*editor, 4).GetUnit(), 0);
    EXPECT_EQ(Value(*editor, 5).GetEdit()->getText(), "0.75");
    // An empty slot shows its parameter, in degrees where the unit says so, and stays empty.
    EXPECT_EQ(particles->GetGenerator(2), nullptr);
    EXPECT_EQ(Value(*editor, 3).GetEdit()->getText().substr(0, 2), "14");
    EXPECT_EQ(particles->GetGenerator(3), nullptr);

    // A typed value marks the parameters changed.
    auto* typed = static_cast<SWparticlegenerator*>(particles->GetGenerator(5));
    typed->TakeChanged();
    sim().replaceText(*Value(*editor, 5).GetEdit(), "2");
    sim().pump();
    EXPECT_TRUE(static_cast<SWparticlegenerator*>(particles->GetGenerator(5))->TakeChanged());
    sim().replaceText(*Value(*editor, 3).GetEdit(), "90");
    sim().pump();
    ASSERT_NE(particles->GetGenerator(3), nullptr);
    editor->DestroyWindow();
}

// The defaults in degrees as the field's thousandths show them; a typed fraction of a degree comes back as typed.
TEST_F(ParticleEditor, DegreesShowRoundedToTheFieldsPrecision)
{
    CVTND_DetailsParticlesDlg* editor = Open();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(Value(*editor, 0).GetEdit()->getText(), "72");
    EXPECT_EQ(Value(*editor, 3).GetEdit()->getText(), "14.992");
    sim().replaceText(*Value(*editor, 2).GetEdit(), "-12.25");
    sim().pump();
    editor->DestroyWindow();
    editor = Open();
    EXPECT_EQ(Value(*editor, 2).GetEdit()->getText(), "-12.25");
}

TEST_F(ParticleEditor, TheSelectedKeysColourFollowsSlidersEditsAndButton)
{
    CVTND_DetailsParticlesDlg* editor = Open();
    ASSERT_NE(editor, nullptr);
    auto* red = editor->item<pf::Trackbar>(1352);
    auto* green = editor->item<pf::Trackbar>(1359);
    // Nothing happens without a selected key.
    const auto before = particles->GetParticles().GetColourTable();
    sim().moveTrackbar(*red, 40);
    sim().pump();
    EXPECT_EQ(particles->GetParticles().GetColourTable(), before);

    ClickKey(*editor, 1);
    ASSERT_EQ(editor->Gradient()->GetFields().selectedKey, 1);
    const std::array<uint8_t, 3> rgb = editor->Gradient()->GetKeyRGB();
    EXPECT_EQ(red->getPos(), static_cast<int32_t>(editor->Gradient()->GetKeyColor()[0] * 255.0f));
    EXPECT_EQ(editor->child(1044)->getText(), std::to_string(rgb[0]));
    sim().moveTrackbar(*green, 200);
    sim().pump();
    EXPECT_EQ(editor->Gradient()->GetKeyRGB()[1], 200);
    EXPECT_EQ(editor->child(1045)->getText(), "200");
    EXPECT_EQ(particles->GetParticles().GetColourTable(), editor->Gradient()->GetGradientData());
    const uint8_t blue = editor->Gradient()->GetKeyRGB()[2];
    sim().replaceText(*editor->child(1046), "300"); // no byte is 300: not the 30 typed on the way either
    sim().pump();
    EXPECT_EQ(editor->Gradient()->GetKeyRGB()[2], blue);
    EXPECT_EQ(editor->item<pf::Trackbar>(1360)->getPos(), blue);
    ui().setFocus(editor->hwnd());
    EXPECT_EQ(editor->child(1046)->getText(), std::to_string(blue));
    sim().replaceText(*editor->child(1046), "30");
    sim().replaceText(*editor->child(1046), "x");
    EXPECT_EQ(editor->Gradient()->GetKeyRGB()[2], 30);
    sim().expectColor(pf::rgb(10, 20, 30));
    sim().click(*editor->child(1164));
    sim().pump();
    EXPECT_EQ(editor->Gradient()->GetKeyRGB(), (std::array<uint8_t, 3>{10, 20, 30}));
    EXPECT_EQ(red->getPos(), 10);
    EXPECT_EQ(particles->GetParticles().GetColourTable(), editor->Gradient()->GetGradientData());

    // Closing keeps the gradient for the next opening.
    editor->DestroyWindow();
    CVTND_GradientPersinstancyNode* record = Store()->FindOrCreate(World(), node, false);
    ASSERT_NE(record, nullptr);
    EXPECT_TRUE(record->IsPresent());
    editor = Open();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->Gradient()->GetFields().selectedKey, 1);
    EXPECT_EQ(editor->Gradient()->GetKeyRGB(), (std::array<uint8_t, 3>{10, 20, 30}));
    EXPECT_EQ(editor->child(1046)->getText(), "30");
    editor->DestroyWindow();
}

TEST_F(ParticleEditor, TestRunsGrowWhileThePreviewIsStoppedAndNeverOutliveTheEditor)
{
    CVTND_DetailsParticlesDlg* editor = Open();
    ASSERT_NE(editor, nullptr);
    sim().click(*editor->child(CVTND_DetailsParticlesDlg::kIdStart));
    sim().click(*editor->child(CVTND_DetailsParticlesDlg::kIdStart));
    EXPECT_EQ(editor->TestRunCount(), 1u);
    uint32_t live = particles->GetParticles().GetLiveCount();
    for (int frame = 0; frame < 10; ++frame) {
        virtualClock().advance(33);
        World().RunFrame();
        // What a 3D view's draw of the node does with the frame's world time.
        particles->GetParticles().AdvanceTo(World().GetCurrentWorldTime(), SWmatrix());
    }
    EXPECT_GT(particles->GetParticles().GetLiveCount(), live);
    // The preview's start ends the test and disables both buttons; its stop enables them.
    app->Broadcast(CVTND_Event(EventCode::kPreviewStarted, CVTND_Object()));
    EXPECT_EQ(editor->TestRunCount(), 0u);
    EXPECT_FALSE(editor->child(CVTND_DetailsParticlesDlg::kIdStart)->isEnabled());
    EXPECT_FALSE(editor->child(CVTND_DetailsParticlesDlg::kIdStop)->isEnabled());
    app->Broadcast(CVTND_Event(EventCode::kPreviewStopped, CVTND_Object()));
    EXPECT_TRUE(editor->child(CVTND_DetailsParticlesDlg::kIdStart)->isEnabled());
    sim().click(*editor->child(CVTND_DetailsParticlesDlg::kIdStart));
    EXPECT_EQ(editor->TestRunCount(), 1u);
    sim().click(*editor->child(CVTND_DetailsParticlesDlg::kIdStop));
    EXPECT_EQ(editor->TestRunCount(), 0u);
    // Started twice, then closed: no emitter is left.
    sim().click(*editor->child(CVTND_DetailsParticlesDlg::kIdStart));
    sim().click(*editor->child(CVTND_DetailsParticlesDlg::kIdStart));
    editor->send(pf::WM_COMMAND, pf::IDCANCEL, 0);
    sim().pump();
    const auto* left = TimedActionTable::Of(World()).GetTypeList(SWparticlemotion::kType);
    EXPECT_TRUE(left == nullptr || left->empty());
    EXPECT_FALSE(particles->GetParticles().IsRunning());
}

TEST_F(ParticleEditor, OkRenamesItsOwnNodeAndNoOther)
{
    // Another node of the same name stands first in the tree.
    auto* twin = new SWobjectnode;
    twin->SetName(*node->GetName());
    World().AddNode(twin, sample->group);
    ASSERT_EQ(World().GetRootNode()->FindByName(*node->GetName()), twin);
    CVTND_DetailsParticlesDlg* editor = Open();
    ASSERT_NE(editor, nullptr);
    sim().replaceText(*editor->child(1004), "");
    sim().expectMessageBox(pf::IDOK);
    sim().click(*editor->child(pf::IDOK));
    ASSERT_TRUE(editor->isWindow());
    sim().replaceText(*editor->child(1004), "flames");
    recorder->Clear();
    sim().click(*editor->child(pf::IDOK));
    sim().pump();
    EXPECT_EQ(node->GetName(), std::optional<std::string>("flames"));
    EXPECT_NE(twin->GetName(), std::optional<std::string>("flames"));
    EXPECT_EQ(recorder->Count(3), 1u);

    // Its node gone from the scene: the error, and the editor stays open.
    editor = Open();
    ASSERT_NE(editor, nullptr);
    {
        const SWworldlock lock(World());
        node->Detach();
    }
    sim().replaceText(*editor->child(1004), "again");
    sim().expectMessageBox(pf::IDOK);
    sim().click(*editor->child(pf::IDOK));
    ASSERT_TRUE(editor->isWindow());
    editor->DestroyWindow();
    delete node;
}

} // namespace
} // namespace tooltiptest
