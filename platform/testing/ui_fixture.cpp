#include "platform/testing/ui_fixture.h"

#include "platform/base/assertion.h"
#include "platform/display/screen.h"
#include "platform/gfx/text/font_engine.h"
#include "platform/media/audio_out.h"
#include "platform/sys/cpu_probe.h"
#include "platform/time/clock.h"

#include <cstdlib>
#include <filesystem>

namespace pf {

namespace {

void failOnAssert(const AssertionInfo& info)
{
    ADD_FAILURE_AT(info.file, info.line) << "PF_ASSERT(" << info.expression << "): " << info.message;
}

} // namespace

std::string testArtifactsDir()
{
    const char* configured = std::getenv("VORTAN_TEST_ARTIFACTS");
    const std::filesystem::path dir =
        configured != nullptr && *configured != '\0' ? std::filesystem::path(configured) : VORTAN_BUILD_TEST_ARTIFACTS;
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    return dir.string();
}

void UiFixture::SetUp()
{
    setClock(&m_clock);
    setFontEngine(&m_fonts);
    setAudioOut(&m_audio);
    setCpuProbe(&m_cpu);
    setAssertHandler(&failOnAssert);
    screen().reset();
    m_ui = std::make_unique<Ui>();
    m_ui->setStrictFailureHandler([](const std::string& what) { ADD_FAILURE() << "strict provider: " << what; });
}

void UiFixture::TearDown()
{
    if (HasFailure()) {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        screen().writePng(artifactPath(std::string(info->test_suite_name()) + "." + info->name() + ".png"));
    }
    m_ui.reset();
    setAssertHandler(nullptr);
    setCpuProbe(nullptr);
    setAudioOut(nullptr);
    setFontEngine(nullptr);
    setClock(nullptr);
    screen().reset();
}

void UiFixture::useFreeType()
{
    setFontEngine(nullptr);
}

std::string UiFixture::artifactPath(const std::string& name) const
{
    return (std::filesystem::path(testArtifactsDir()) / name).string();
}

std::string UiFixture::ownFolder() const
{
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::filesystem::path dir =
        std::filesystem::path(testArtifactsDir()) / (std::string(info->test_suite_name()) + "." + info->name());
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    return dir.string();
}

} // namespace pf
