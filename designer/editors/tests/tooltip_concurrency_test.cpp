// The render thread's reads against the editors' writes: a thread steps the world's frames, draws the tooltip layer
// and advances a test-running particle system, under the world's lock as the designer's render thread does, while
// the user types 500 characters into the tooltip's text and drags the particle editor's colour sliders.
#include <atomic>
#include <thread>

#include "designer/editors/details_particles_dlg.h"
#include "designer/editors/details_tooltip_dlg.h"
#include "designer/editors/tests/tooltip_fixture.h"
#include "designer/workspace/gradient.h"
#include "engine/core/matrix.h"
#include "engine/resources/particle_node.h"
#include "engine/resources/render_layer.h"
#include "platform/ui/controls/trackbar.h"
#include "testsupport/resources/queue_target.h"

namespace tooltiptest {
namespace {

using Concurrency = EditorsFixture;

TEST_F(Concurrency, TheRenderThreadDrawsWhileTheEditorsWrite)
{
    VTND_ToolTip* tip = NewTooltip("help");
    auto* tooltipEditor = dynamic_cast<CVTND_DetailsTooltipDlg*>(
        app->EditObject(CVTND_Object(ObjectType::kTooltip, static_cast<CVTN_ToolTip*>(tip)), false));
    ASSERT_NE(tooltipEditor, nullptr);
    CVTND_Object particleObject;
    particleObject.InitFromNode(sample->particles);
    auto* particleEditor = dynamic_cast<CVTND_DetailsParticlesDlg*>(app->EditObject(particleObject, false));
    ASSERT_NE(particleEditor, nullptr);
    // Side by side, so a click on one never lands on the other.
    tooltipEditor->move(pf::Rect::fromXywh(0, 0, 460, 420));
    particleEditor->move(pf::Rect::fromXywh(470, 430, 810, 360));
    sim().pump();
    auto* particles = dynamic_cast<SWparticlenode*>(sample->particles->GetGeometry());
    sim().click(*particleEditor->child(CVTND_DetailsParticlesDlg::kIdStart));
    ASSERT_EQ(particleEditor->TestRunCount(), 1u);
    CVTND_Gradient& gradient = *particleEditor->Gradient();
    sim().click(gradient, {gradient.GetFields().keyPositions[2], gradient.BandRect().b - 2});

    std::atomic<bool> stop{false};
    std::atomic<uint64_t> sink{0}; // what the reads saw, so none of them is left out
    std::atomic<uint64_t> frames{0};
    std::thread render([&] {
        QueueTarget target(640, 480);
        CVTND_ExtendedWorld& world = World();
        auto* layer = dynamic_cast<SWrenderlayer*>(world.GetPart(WorldPart::kTooltipLayer));
        uint64_t seen = 0;
        while (!stop.load()) {
            world.RunFrame();
            const SWworldlock hold(world);
            if (layer != nullptr)
                layer->RenderItems(target);
            target.Queue().Clear();
            if (const SWimage32* texture = tip->GetTexture())
                seen += texture->GetPixels()[0];
            particles->GetParticles().AdvanceTo(world.GetCurrentWorldTime(), SWmatrix());
            seen += particles->GetParticles().GetColourTable()[10];
            frames.fetch_add(1);
        }
        sink.store(seen);
    });

    sim().click(*tooltipEditor->child(1004));
    for (int i = 0; i < 500; ++i) {
        if (i % 61 == 60)
            sim().keyPress(pf::VK_RETURN);
        else
            sim().typeChars(std::string(1, static_cast<char>('a' + i % 26)));
        if (i % 25 == 0) {
            auto* slider = particleEditor->item<pf::Trackbar>(1352 + (i / 25) % 2 * 7);
            sim().moveTrackbar(*slider, (i * 13) % 256);
            sim().click(*tooltipEditor->child(1004)); // back to the text, where the next keys go
            sim().keyChord(pf::VK_CONTROL, pf::VK_END);
        }
        sim().pump();
    }
    stop.store(true);
    render.join();
    EXPECT_GT(frames.load(), 0u);
    EXPECT_GE(tip->GetText().size(), 400u);
    EXPECT_EQ(particles->GetParticles().GetColourTable(), gradient.GetGradientData());
    EXPECT_GE(tooltipEditor->RenderCount(), 400u);
}

} // namespace
} // namespace tooltiptest
