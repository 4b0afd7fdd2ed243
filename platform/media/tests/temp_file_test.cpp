#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/media/temp_file.h"
#include "platform/media/tests/wave_test_files.h"

namespace pf {
namespace {

// Points TMPDIR at a folder for the test's lifetime.
class TmpDirOverride {
public:
    explicit TmpDirOverride(const std::string& dir)
    {
        if (const char* old = std::getenv("TMPDIR"))
            m_old = old;
        ::setenv("TMPDIR", dir.c_str(), 1);
    }
    ~TmpDirOverride()
    {
        if (m_old)
            ::setenv("TMPDIR", m_old->c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    }

private:
    std::optional<std::string> m_old;
};

TEST(TempFile, NamesAreUniqueEmptyPrivateAndFollowThePrefixRule)
{
    test::ScratchDir dir;
    TmpDirOverride tmp(dir.path().string() + "/");
    std::set<std::string> names;
    for (int i = 0; i < 1000; ++i) {
        const auto path = makeTempFile("swsnd");
        ASSERT_TRUE(path.has_value());
        const std::filesystem::path p(*path);
        EXPECT_EQ(p.parent_path(), dir.path());
        const std::string name = p.filename().string();
        EXPECT_EQ(name.substr(0, 3), "sws");
        EXPECT_EQ(p.extension(), ".tmp");
        EXPECT_TRUE(names.insert(name).second) << name;
        struct stat info {};
        ASSERT_EQ(::stat(path->c_str(), &info), 0);
        EXPECT_EQ(info.st_size, 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
    }
    EXPECT_EQ(names.size(), 1000u);
}

TEST(TempFile, ShortAndHostilePrefixesStayInTheFolder)
{
    test::ScratchDir dir;
    TmpDirOverride tmp(dir.path().string());
    for (const std::string& prefix : {std::string(), std::string("a"), std::string("../x"), std::string("a\0b", 3)}) {
        const auto path = makeTempFile(prefix);
        ASSERT_TRUE(path.has_value());
        EXPECT_EQ(std::filesystem::path(*path).parent_path(), dir.path());
        EXPECT_TRUE(std::filesystem::exists(*path));
    }
}

TEST(TempFile, MissingFolderGivesNoFile)
{
    test::ScratchDir dir;
    TmpDirOverride tmp(dir.file("not/there"));
    EXPECT_EQ(makeTempFile("swsnd"), std::nullopt);
}

TEST(TempFile, EmptyTmpdirMeansTmp)
{
    TmpDirOverride tmp("");
    EXPECT_EQ(tempDirectory(), "/tmp");
}

} // namespace
} // namespace pf
