#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/settings/file_backend.h"
#include "platform/settings/settings_store.h"

namespace pf {
namespace {

namespace fs = std::filesystem;

constexpr const char* kViewer = "Software\\Brenix\\Vortan\\Viewer";

std::string ReadText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteText(const fs::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

class FileBackendTest : public ::testing::Test {
protected:
    FileBackendTest()
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir =
            fs::temp_directory_path() / (std::string("pf_settings_") + info->name() + "_" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    ~FileBackendTest() override
    {
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }
    std::unique_ptr<SettingsStore> Open(const fs::path& path) const
    {
        return std::make_unique<SettingsStore>(std::make_unique<FileBackend>(path.string()));
    }
    size_t FilesIn(const fs::path& dir) const
    {
        return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
    }

    fs::path m_dir;
};

TEST_F(FileBackendTest, MissingFileIsAnEmptyStoreAndTheFolderIsMadeOnTheFirstWrite)
{
    const fs::path file = m_dir / "vortan" / "settings.reg";
    auto store = Open(file);
    EXPECT_TRUE(store->warnings().empty());
    EXPECT_FALSE(fs::exists(file));
    ASSERT_TRUE(store->setDword(kViewer, "MMX", 1));
    EXPECT_EQ(ReadText(file), "[Software\\Brenix\\Vortan\\Viewer]\n\"MMX\"=dword:00000001\n");
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(FilesIn(file.parent_path()), 1u); // no temporary file left behind
    EXPECT_EQ(Open(file)->getDword(kViewer, "MMX"), 1u);
}

TEST_F(FileBackendTest, DamagedFileIsCopiedAsideBeforeItIsRewritten)
{
    const fs::path file = m_dir / "settings.reg";
    const std::string original = "[Software\\Brenix\\Vortan\\Viewer]\n\"MMX\"=dword:00000001\n\x01\x02 junk\n\"SSE\"=";
    WriteText(file, original);
    auto store = Open(file);
    EXPECT_EQ(store->warnings().size(), 2u);
    EXPECT_EQ(store->getDword(kViewer, "MMX"), 1u);
    EXPECT_FALSE(fs::exists(m_dir / "settings.reg.bak")); // reading alone changes nothing
    ASSERT_TRUE(store->setDword(kViewer, "SSE", 1));
    EXPECT_EQ(ReadText(m_dir / "settings.reg.bak"), original);
    auto reread = Open(file);
    EXPECT_TRUE(reread->warnings().empty());
    EXPECT_EQ(reread->getDword(kViewer, "SSE"), 1u);
    EXPECT_EQ(reread->getDword(kViewer, "MMX"), 1u);
}

TEST_F(FileBackendTest, UnwritableFolderFailsTheSetAndKeepsTheValueInMemory)
{
    WriteText(m_dir / "plain-file", "x");
    auto store = Open(m_dir / "plain-file" / "settings.reg"); // a file where the folder should be
    EXPECT_FALSE(store->setDword(kViewer, "MMX", 1));
    EXPECT_EQ(store->getDword(kViewer, "MMX"), 1u);
}

// The file-size limit makes the write of the temporary file fail half way, as a full disk would.
TEST_F(FileBackendTest, AFailedWriteLeavesTheOldFileIntact)
{
    const fs::path file = m_dir / "settings.reg";
    auto store = Open(file);
    ASSERT_TRUE(store->setString(kViewer, "old", "value"));
    const std::string before = ReadText(file);

    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = before.size() + 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = store->setString(kViewer, "big", std::string(4096, 'x'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(ReadText(file), before);
    EXPECT_EQ(FilesIn(m_dir), 1u);
    EXPECT_EQ(store->getString(kViewer, "big"), std::string(4096, 'x'));
}

// A settings file kept elsewhere and linked into place stays linked: the file behind the link is replaced.
TEST_F(FileBackendTest, ALinkedSettingsFileStaysALink)
{
    fs::create_directories(m_dir / "kept");
    WriteText(m_dir / "kept" / "settings.reg", "");
    ASSERT_EQ(::chmod((m_dir / "kept" / "settings.reg").c_str(), 0640), 0);
    const fs::path link = m_dir / "settings.reg";
    fs::create_symlink("kept/settings.reg", link);
    auto store = Open(link);
    ASSERT_TRUE(store->setDword(kViewer, "MMX", 1));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadText(m_dir / "kept" / "settings.reg"),
              "[Software\\Brenix\\Vortan\\Viewer]\n\"MMX\"=dword:00000001\n");
    EXPECT_EQ(fs::status(m_dir / "kept" / "settings.reg").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(FileBackendTest, AnOversizedFileIsNotParsedAndSaysSo)
{
    const fs::path file = m_dir / "settings.reg";
    WriteText(file, "");
    fs::resize_file(file, FileBackend::kMaxFileBytes + 1); // sparse: quick to make
    auto store = Open(file);
    ASSERT_EQ(store->warnings().size(), 1u);
    EXPECT_NE(store->warnings()[0].find("larger"), std::string::npos);
}

TEST_F(FileBackendTest, APipeInPlaceOfTheFileIsReportedWithoutWaiting)
{
    const fs::path file = m_dir / "settings.reg";
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    auto store = Open(file);
    EXPECT_EQ(store->warnings().size(), 1u);
    EXPECT_FALSE(store->setDword(kViewer, "MMX", 1)); // what cannot be kept aside is not replaced
    EXPECT_TRUE(fs::is_fifo(file));
}

TEST_F(FileBackendTest, AFolderInPlaceOfTheFileIsReportedAndNeverReplaced)
{
    const fs::path file = m_dir / "settings.reg";
    fs::create_directories(file / "inside");
    auto store = Open(file);
    EXPECT_EQ(store->warnings().size(), 1u);
    EXPECT_FALSE(store->setDword(kViewer, "MMX", 1));
    EXPECT_TRUE(fs::exists(file / "inside"));
}

// Sets or clears an environment variable for the test's lifetime.
class EnvOverride {
public:
    EnvOverride(const char* name, std::optional<std::string> value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
    }
    ~EnvOverride() { m_old ? ::setenv(m_name, m_old->c_str(), 1) : ::unsetenv(m_name); }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

TEST(DefaultSettingsPath, OverrideThenConfigHomeThenHome)
{
    EnvOverride home("HOME", "/home/someone");
    EnvOverride config("XDG_CONFIG_HOME", std::nullopt);
    EnvOverride file("VORTAN_SETTINGS_FILE", std::nullopt);
    EXPECT_EQ(defaultSettingsPath(), "/home/someone/.config/vortan/settings.reg");
    {
        EnvOverride relative("XDG_CONFIG_HOME", "relative/dir"); // not absolute: ignored
        EXPECT_EQ(defaultSettingsPath(), "/home/someone/.config/vortan/settings.reg");
    }
    {
        EnvOverride absolute("XDG_CONFIG_HOME", "/cfg");
        EXPECT_EQ(defaultSettingsPath(), "/cfg/vortan/settings.reg");
        EnvOverride forced("VORTAN_SETTINGS_FILE", "/tmp/test-settings.reg");
        EXPECT_EQ(defaultSettingsPath(), "/tmp/test-settings.reg");
    }
    EnvOverride noHome("HOME", std::nullopt);
    EXPECT_EQ(defaultSettingsPath(), std::nullopt);
}

} // namespace
} // namespace pf
