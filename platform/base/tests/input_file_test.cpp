#include "platform/base/input_file.h"

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pf {
namespace {

namespace fs = std::filesystem;

class InputFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("input_file_test." + std::to_string(::getpid()));
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string Write(const std::string& name, const std::string& text)
    {
        const fs::path path = m_dir / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }

    fs::path m_dir;
};

TEST_F(InputFileTest, RegularFileIsReadWholeUpToAndAtTheLimit)
{
    const std::string path = Write("five", "hello");
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(readWholeFile(path, bytes, 5).ok());
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "hello");

    const InputFileResult over = readWholeFile(path, bytes, 4);
    EXPECT_EQ(over.status, InputFileStatus::kTooLarge);
    EXPECT_EQ(over.message, "cannot read " + path + ": it is larger than the limit of 4 bytes");
    EXPECT_TRUE(bytes.empty());

    EXPECT_TRUE(readWholeFile(Write("empty", ""), bytes).ok());
    EXPECT_TRUE(bytes.empty());
}

TEST_F(InputFileTest, EveryNonFileIsRefusedWithItsCauseAndNothingWaits)
{
    const std::string fifo = (m_dir / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string dangling = (m_dir / "dangling").string();
    fs::create_symlink(m_dir / "nowhere", dangling);
    struct Case {
        std::string path;
        InputFileStatus status;
        std::string cause;
    };
    const Case cases[] = {
        {m_dir.string(), InputFileStatus::kNotAFile, "it is a folder, not a file"},
        {fifo, InputFileStatus::kNotAFile, "it is a FIFO, not a file"},
        {"/dev/zero", InputFileStatus::kNotAFile, "it is a device, not a file"},
        {(m_dir / "missing").string(), InputFileStatus::kMissing, "No such file or directory"},
        {dangling, InputFileStatus::kMissing, "No such file or directory"},
        {Write("file", "x") + "/below", InputFileStatus::kMissing, "Not a directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::vector<uint8_t> bytes{1, 2, 3};
        const InputFileResult result = readWholeFile(c.path, bytes);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.message, "cannot read " + c.path + ": " + c.cause);
        EXPECT_TRUE(bytes.empty());
        InputFileResult opened;
        EXPECT_EQ(InputFile::open(c.path, opened), nullptr);
        EXPECT_EQ(opened.message, result.message);
        EXPECT_EQ(checkInputFile(c.path).message, result.message);
    }
}

TEST_F(InputFileTest, UnreadableFileGivesTheSystemsCause)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    const std::string path = Write("locked", "secret");
    fs::permissions(path, fs::perms::none);
    std::vector<uint8_t> bytes;
    const InputFileResult result = readWholeFile(path, bytes);
    EXPECT_EQ(result.status, InputFileStatus::kCannotRead);
    EXPECT_EQ(result.message, "cannot read " + path + ": Permission denied");
}

// A file in /proc states its size as 0 and still has bytes: the stated size is no bound on what is read.
TEST_F(InputFileTest, FileStatingNoSizeIsReadToItsEndWithinTheLimit)
{
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(readWholeFile("/proc/self/status", bytes).ok());
    EXPECT_NE(std::string(bytes.begin(), bytes.end()).find("Name:"), std::string::npos);
    EXPECT_EQ(readWholeFile("/proc/self/status", bytes, 8).status, InputFileStatus::kTooLarge);
    EXPECT_TRUE(bytes.empty());
}

TEST_F(InputFileTest, OpenFileStreamsItsBytesAndStatesItsSize)
{
    const std::string path = Write("seven", "abcdefg");
    InputFileResult result;
    const std::unique_ptr<InputFile> file = InputFile::open(path, result);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->sizeBytes(), 7u);
    uint8_t piece[4];
    std::string got;
    for (ptrdiff_t n; (n = file->read(piece, result)) > 0;)
        got.append(piece, piece + n);
    EXPECT_EQ(got, "abcdefg");
    EXPECT_TRUE(result.ok());
}

} // namespace
} // namespace pf
