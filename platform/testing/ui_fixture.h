#pragma once
// The fixture of every window test: a fresh Ui on a reset headless screen (1280 x 1024, depth 32), strict scripted
// providers whose unscripted calls fail the test, and -- each through its own setter, restored in TearDown -- a
// VirtualClock at a fixed start, the fixed-cell font engine, silent audio, a pinned processor and an assert handler
// that fails the test. A failing test leaves a PNG of the screen in the artifacts folder.
#include "platform/gfx/text/fixed_font_engine.h"
#include "platform/media/null_audio.h"
#include "platform/sys/scripted_cpu.h"
#include "platform/testing/user_sim.h"
#include "platform/time/virtual_clock.h"
#include "platform/ui/core/ui.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace pf {

class UiFixture : public ::testing::Test {
public:
    static constexpr uint32_t kStartMs = 1000000;

protected:
    void SetUp() override;
    void TearDown() override;

    Ui& ui() { return *m_ui; }
    void destroyUi() { m_ui.reset(); } // what the program's exit does
    UserSim& sim() { return m_sim; }
    VirtualClock& virtualClock() { return m_clock; }
    NullAudio& audio() { return m_audio; }
    void useFreeType();                                      // real fonts for the rest of the test
    std::string artifactPath(const std::string& name) const; // in $VORTAN_TEST_ARTIFACTS, never the source tree
    // A folder of this test's own under the artifacts, created on demand: ctest runs the tests of one fixture as
    // parallel processes, so files a test writes and then reads back must not share a path with another test.
    std::string ownFolder() const;

private:
    VirtualClock m_clock{kStartMs};
    FixedFontEngine m_fonts;
    NullAudio m_audio;
    ScriptedCpu m_cpu;
    UserSim m_sim;
    std::unique_ptr<Ui> m_ui;
};

std::string testArtifactsDir(); // created on demand

} // namespace pf
