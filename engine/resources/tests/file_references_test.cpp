#include "engine/resources/file_references.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/media/temp_file.h"

namespace {

// Points $TMPDIR at a folder of the test's own for its lifetime.
class OwnTempFolder {
public:
    OwnTempFolder()
    {
        const char* old = std::getenv("TMPDIR");
        m_old = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
        std::string pattern = std::filesystem::temp_directory_path().string() + "/vortan-refs-XXXXXX";
        folder = mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
        setenv("TMPDIR", folder.c_str(), 1);
    }
    ~OwnTempFolder()
    {
        if (m_old)
            setenv("TMPDIR", m_old->c_str(), 1);
        else
            unsetenv("TMPDIR");
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    std::string folder;

private:
    std::optional<std::string> m_old;
};

std::string MakeFile(const std::string& path)
{
    std::ofstream(path) << "x";
    return path;
}

TEST(FileReferences, DeletesOnlyItsOwnTemporaryFiles)
{
    const OwnTempFolder temp;
    ASSERT_FALSE(temp.folder.empty());
    const std::string ours = pf::makeTempFile("swsnd").value_or("");
    ASSERT_FALSE(ours.empty());
    std::filesystem::create_directory(temp.folder + "/sub");
    const std::string userWave = MakeFile(temp.folder + "/voice.wav");
    const std::string nested = MakeFile(temp.folder + "/sub/sws1234.tmp");
    const std::string otherPrefix = MakeFile(temp.folder + "/abc1234.tmp");
    const std::string otherSuffix = MakeFile(temp.folder + "/sws1234.wav");
    {
        SWfilereferences references;
        for (const std::string& path : {ours, userWave, nested, otherPrefix, otherSuffix, ours})
            references.Add(path);
        EXPECT_EQ(references.Paths().size(), 5u) << "listed once";
        EXPECT_EQ(references.Paths().front(), ours);
    }
    EXPECT_FALSE(std::filesystem::exists(ours));
    for (const std::string& kept : {userWave, nested, otherPrefix, otherSuffix})
        EXPECT_TRUE(std::filesystem::exists(kept)) << kept;
}

TEST(FileReferences, DotDotPathsAreJudgedWhereTheyLead)
{
    const OwnTempFolder temp;
    EXPECT_TRUE(SWfilereferences::IsOwnTemporary(temp.folder + "/sub/../sws12ab.tmp"));
    EXPECT_FALSE(SWfilereferences::IsOwnTemporary(temp.folder + "/../sws12ab.tmp"));
    EXPECT_FALSE(SWfilereferences::IsOwnTemporary("sws12ab.tmp"));
}

} // namespace
