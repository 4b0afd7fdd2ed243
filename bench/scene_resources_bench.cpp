// Computed scene resources: a material composited with Dot3 maps of 256 x 256 (microseconds), a procedural picture
// of 256 x 256 per generator type, the particle advance and queueing at 10,000 live particles per frame, and text
// drawn through the GDI canvas with FreeType (glyphs per millisecond as items per second / 1000). Run from the
// release build.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/resources/gdi_canvas.h"
#include "engine/resources/image32.h"
#include "engine/resources/material.h"
#include "engine/resources/particle_node.h"
#include "engine/resources/picture.h"
#include "render/render_target.h"

namespace {

void MaterialWithDot3(benchmark::State& state)
{
    std::vector<uint32_t> pixels(256 * 256);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = 0xFF000000u | static_cast<uint32_t>((i * 2654435761u) >> 8 & 0xFFFFFFu);
    const auto bump = SWimage32::SWimage32FromPixels("bump", 256, 256, pixels.data());
    const auto diffuse = SWimage32::SWimage32FromPixels("diffuse", 256, 256, pixels.data());
    SWmaterial material("m");
    material.SetRenderMode(SWmaterial::kModePhong);
    material.SetSmoothness(20.0f);
    material.SetSpecularColour(1, 1, 1, 1);
    material.SetDiffuseColour(1, 0.6f, 0.4f, 0.2f);
    material.SetTexture(diffuse.get());
    material.SetBumpTexture(bump.get());
    for (auto _ : state) {
        material.SetBumpAmount(material.GetBumpAmount() == 0.5f ? 0.25f : 0.5f);
        material.BuildTexture();
        material.BuildDot3NormalMap();
        material.BuildDot3DiffuseMap();
        benchmark::DoNotOptimize(material.GetDot3NormalMap()->GetPixels());
    }
}
BENCHMARK(MaterialWithDot3)->Unit(benchmark::kMicrosecond);

void PictureRender(benchmark::State& state)
{
    SWpicture picture("p", 256, 256, static_cast<uint16_t>(state.range(0)));
    picture.GetGenerator().middleColourOn = 1;
    for (auto _ : state) {
        picture.Render();
        benchmark::DoNotOptimize(picture.GetPixels());
    }
    state.SetItemsProcessed(state.iterations() * 256 * 256);
}
BENCHMARK(PictureRender)->DenseRange(5, 8)->Unit(benchmark::kMicrosecond);

// A target that takes what is queued and draws nothing.
class NullTarget final : public SWrendertarget {
public:
    NullTarget()
    {
        m_width = 640;
        m_height = 480;
        m_viewport = {320, 320, 240, 240, 1, 0};
    }
    bool Init() override { return true; }
    uint32_t GetId() const override { return 1; }
    bool Resize(uint32_t, uint32_t) override { return true; }
    bool Draw(const SWdirectdraw*, const SWdirectdraw*, const SWprimitivenode*) override { return true; }
    bool TakesDot3() const override { return false; }
    bool SetRenderMode(uint32_t) override { return true; }
    bool SetPhase(uint32_t) override { return true; }
    bool GetViewMatrix(float*) override { return false; }
    SWvertexbuffer* CreateVertexBuffer(uint32_t, uint32_t) override { return nullptr; }
    SWindexbuffer* CreateIndexBuffer(uint32_t) override { return nullptr; }
    SWvertexbuffer* GetVertexScratch(uint32_t, uint32_t) override { return nullptr; }
    SWindexbuffer* GetIndexScratch(uint32_t) override { return nullptr; }
};

void ParticlesFrame(benchmark::State& state)
{
    SWparticlenode node;
    SWparticles& particles = node.GetParticles();
    particles.SetLifeTime(10.0f);
    particles.SetBirthRate(1000.0f); // 10,000 alive once steady
    particles.SetSpread(0.2f);
    SWmatrix place;
    place[11] = -3.0f;
    node.SetRenderMatrix(place);
    SWmatrix view;
    for (int i = 0; i < 12; ++i)
        view[i] *= 0.1f;
    particles.Start();
    for (int step = 0; step < 120; ++step)
        particles.Advance(100.0f, place);
    NullTarget target;
    float now = 0.0f;
    node.SetWorldTime(now);
    SWrenderbatch* batch = target.Queue().NewBatch();
    node.Draw(target, nullptr, batch, view);
    for (auto _ : state) {
        now += 20.0f;
        node.SetWorldTime(now);
        target.Queue().Clear();
        batch = target.Queue().NewBatch();
        node.Draw(target, nullptr, batch, view);
        benchmark::DoNotOptimize(batch->NodeCount());
    }
    state.counters["live"] = particles.GetLiveCount();
    state.counters["queued"] = node.GetQueuedCount();
}
BENCHMARK(ParticlesFrame)->Unit(benchmark::kMillisecond);

void TextLine(benchmark::State& state)
{
    const auto image = GdiCanvas::CreateImage(512, 32);
    const auto line = GdiCanvas::CreateTextLine(image.get());
    GdiCanvas::SetFont(line.get(), "DejaVu Sans", 0, 14);
    GdiCanvas::SetColor(line.get(), 255, 255, 255);
    const std::string text = "The quick brown fox jumps over the lazy dog";
    for (auto _ : state)
        benchmark::DoNotOptimize(GdiCanvas::TextOut(line.get(), 2, 20, text));
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(TextLine)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
