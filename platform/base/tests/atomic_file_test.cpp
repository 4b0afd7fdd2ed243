#include "platform/base/atomic_file.h"

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pf {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

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

unsigned ModeOf(const fs::path& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0xFFFFu;
}

std::set<std::string> NamesIn(const fs::path& dir)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    return names;
}

struct ChildResult {
    bool written = true;
    std::string error;
};

// Runs a write in a child process, so that what it changes (identity, limits, signals) dies with it.
ChildResult WriteInChild(const std::function<void()>& prepare, const fs::path& path, const std::string& bytes)
{
    int channel[2];
    if (::pipe(channel) != 0)
        return {true, "no pipe"};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        prepare();
        std::string error;
        const bool written = writeFileAtomically(path.string(), bytes, &error);
        const std::string report = (written ? "1" : "0") + error;
        (void)!::write(channel[1], report.data(), report.size());
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string report;
    char piece[256];
    for (ssize_t got; (got = ::read(channel[0], piece, sizeof piece)) > 0;)
        report.append(piece, static_cast<size_t>(got));
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (report.empty())
        return {true, "the child reported nothing"};
    return {report[0] == '1', report.substr(1)};
}

class AtomicFileTest : public ::testing::Test {
protected:
    AtomicFileTest()
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = fs::temp_directory_path() /
                (std::string("pf_atomic_") + info->test_suite_name() + info->name() + "_" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        fs::permissions(m_dir, fs::perms(0755)); // a child that gives up root must still reach it
    }
    ~AtomicFileTest() override
    {
        std::error_code ignored;
        fs::permissions(m_dir, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(m_dir, ignored);
    }

    fs::path m_dir;
};

TEST_F(AtomicFileTest, NewFileHoldsTheBytesWithTheAskedModeAndNoTemporaryRemains)
{
    const mode_t previousMask = ::umask(077); // the asked mode holds whatever the process mask says
    EXPECT_TRUE(writeFileAtomically((m_dir / "plain").string(), "abc"));
    EXPECT_TRUE(writeFileAtomically((m_dir / "private").string(), "def", nullptr, 0600));
    EXPECT_TRUE(writeFileAtomically((m_dir / "script").string(), "", nullptr, 0755));
    ::umask(previousMask);

    EXPECT_EQ(ReadText(m_dir / "plain"), "abc");
    EXPECT_EQ(ModeOf(m_dir / "plain"), 0644u);
    EXPECT_EQ(ModeOf(m_dir / "private"), 0600u);
    EXPECT_EQ(ModeOf(m_dir / "script"), 0755u);
    EXPECT_EQ(fs::file_size(m_dir / "script"), 0u);
    EXPECT_EQ(NamesIn(m_dir), (std::set<std::string>{"plain", "private", "script"}));
}

TEST_F(AtomicFileTest, ReplacedFileKeepsItsPermissionBits)
{
    const fs::path file = m_dir / "shared.txt";
    WriteText(file, "old");
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    std::string error = "stale";
    EXPECT_TRUE(writeFileAtomically(file.string(), "new", &error, 0600));
    EXPECT_EQ(error, "");
    EXPECT_EQ(ReadText(file), "new");
    EXPECT_EQ(ModeOf(file), 0640u);
}

TEST_F(AtomicFileTest, WritesInPiecesAndReplacesOnlyOnCommit)
{
    const fs::path file = m_dir / "out.bin";
    WriteText(file, "old");
    std::string error;
    auto writer = AtomicFile::open(file.string(), error);
    ASSERT_NE(writer, nullptr) << error;
    const uint8_t first[] = {'n', 'e'};
    const uint8_t second[] = {'w', '!'};
    EXPECT_TRUE(writer->write(first));
    EXPECT_TRUE(writer->write(second));
    EXPECT_EQ(ReadText(file), "old");
    EXPECT_EQ(NamesIn(m_dir).size(), 2u); // the target and the temporary beside it
    EXPECT_TRUE(writer->commit());
    EXPECT_EQ(ReadText(file), "new!");
    writer.reset();
    EXPECT_EQ(NamesIn(m_dir), (std::set<std::string>{"out.bin"}));
}

// A file longer than the pieces the writer sends to the disk one by one, in writes that straddle them.
TEST_F(AtomicFileTest, ALargeFileArrivesWholeAcrossThePiecesItIsWrittenIn)
{
    std::string bytes(size_t{19} << 20, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 2654435761u >> 13);
    const fs::path file = m_dir / "large.bin";
    EXPECT_TRUE(writeFileAtomically(file.string(), bytes));
    std::string error;
    auto writer = AtomicFile::open((m_dir / "again.bin").string(), error);
    ASSERT_NE(writer, nullptr) << error;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    EXPECT_TRUE(writer->write(std::span(data, 5)));
    EXPECT_TRUE(writer->write(std::span(data + 5, bytes.size() - 5)));
    EXPECT_TRUE(writer->commit());
    EXPECT_TRUE(ReadText(file) == bytes);
    EXPECT_TRUE(ReadText(m_dir / "again.bin") == bytes);
}

TEST_F(AtomicFileTest, AbandonedWriterLeavesTheOldFileAndNoTemporary)
{
    const fs::path file = m_dir / "out.bin";
    WriteText(file, "old");
    std::string error;
    auto writer = AtomicFile::open(file.string(), error);
    ASSERT_NE(writer, nullptr) << error;
    const uint8_t bytes[] = {1, 2, 3};
    EXPECT_TRUE(writer->write(bytes));
    writer.reset();
    EXPECT_EQ(ReadText(file), "old");
    EXPECT_EQ(NamesIn(m_dir), (std::set<std::string>{"out.bin"}));
}

// A writer killed mid-write leaves its temporary: the next write of that path removes it, never a temporary that a
// living writer still holds, nor one of another file.
TEST_F(AtomicFileTest, TheNextWriteRemovesTemporariesOfKilledWriters)
{
    const fs::path file = m_dir / "project.vtp";
    WriteText(file, "old");
    const pid_t child = ::fork();
    if (child == 0) {
        std::string error;
        auto writer = AtomicFile::open(file.string(), error);
        const uint8_t bytes[] = {1, 2, 3};
        (void)(writer && writer->write(bytes));
        ::_exit(0); // as a kill: no destructor runs
    }
    ::waitpid(child, nullptr, 0);
    std::string error;
    auto living = AtomicFile::open(file.string(), error);
    ASSERT_NE(living, nullptr) << error;
    WriteText(m_dir / ".other.vtp.AbC123", "another file's");
    ASSERT_EQ(NamesIn(m_dir).size(), 4u);
    for (const auto& entry : fs::directory_iterator(m_dir)) // old enough not to be a writer's first moments
        fs::last_write_time(entry.path(), fs::file_time_type::clock::now() - std::chrono::minutes(5));
    EXPECT_TRUE(writeFileAtomically(file.string(), "new"));
    EXPECT_EQ(NamesIn(m_dir).size(), 3u) << "the killed writer's temporary is gone, the living one's kept";
    EXPECT_TRUE(NamesIn(m_dir).contains(".other.vtp.AbC123"));
    EXPECT_TRUE(living->commit());
    EXPECT_EQ(NamesIn(m_dir), (std::set<std::string>{"project.vtp", ".other.vtp.AbC123"}));
}

TEST_F(AtomicFileTest, SymbolicLinkChainIsFollowedAndStaysALink)
{
    fs::create_directories(m_dir / "a");
    fs::create_directories(m_dir / "b");
    WriteText(m_dir / "b" / "real.txt", "old");
    ASSERT_EQ(::chmod((m_dir / "b" / "real.txt").c_str(), 0600), 0);
    fs::create_symlink("real.txt", m_dir / "b" / "second"); // relative to its own folder, not to ours
    fs::create_symlink("../b/second", m_dir / "a" / "first");

    std::string error;
    ASSERT_TRUE(writeFileAtomically((m_dir / "a" / "first").string(), "new", &error)) << error;
    EXPECT_TRUE(fs::is_symlink(m_dir / "a" / "first"));
    EXPECT_TRUE(fs::is_symlink(m_dir / "b" / "second"));
    EXPECT_EQ(fs::read_symlink(m_dir / "a" / "first"), "../b/second");
    EXPECT_EQ(ReadText(m_dir / "b" / "real.txt"), "new");
    EXPECT_EQ(ModeOf(m_dir / "b" / "real.txt"), 0600u);
    EXPECT_EQ(NamesIn(m_dir / "a"), (std::set<std::string>{"first"}));
    EXPECT_EQ(NamesIn(m_dir / "b"), (std::set<std::string>{"real.txt", "second"}));
}

TEST_F(AtomicFileTest, DanglingLinkGetsItsFileCreated)
{
    fs::create_directories(m_dir / "there");
    fs::create_symlink("there/missing.txt", m_dir / "link");
    std::string error;
    ASSERT_TRUE(writeFileAtomically((m_dir / "link").string(), "made", &error)) << error;
    EXPECT_TRUE(fs::is_symlink(m_dir / "link"));
    EXPECT_EQ(ReadText(m_dir / "there" / "missing.txt"), "made");
    EXPECT_EQ(ModeOf(m_dir / "there" / "missing.txt"), 0644u);
}

TEST_F(AtomicFileTest, LinkLoopIsRefusedWithItsCause)
{
    fs::create_symlink("two", m_dir / "one");
    fs::create_symlink("one", m_dir / "two");
    std::string error;
    EXPECT_FALSE(writeFileAtomically((m_dir / "one").string(), "x", &error));
    EXPECT_EQ(error, "cannot write " + (m_dir / "one").string() + ": " + std::strerror(ELOOP));
    EXPECT_TRUE(fs::is_symlink(m_dir / "one"));
    EXPECT_EQ(NamesIn(m_dir), (std::set<std::string>{"one", "two"}));
}

// Each thing that is not a regular file is refused before anything is created, and stays as it was.
TEST_F(AtomicFileTest, WhatIsNotARegularFileIsRefusedAndLeftAlone)
{
    struct Case {
        const char* name;
        std::function<bool(const fs::path&)> make; // false: this machine cannot make one
        std::function<bool(const fs::path&)> stillThere;
        const char* cause;
    };
    const Case cases[] = {
        {"folder", [](const fs::path& p) { return fs::create_directory(p); },
         [](const fs::path& p) { return fs::is_directory(p) && !fs::is_symlink(p); }, "it is a folder, not a file"},
        {"fifo", [](const fs::path& p) { return ::mkfifo(p.c_str(), 0600) == 0; },
         [](const fs::path& p) { return fs::is_fifo(p); }, "it is a FIFO, not a file"},
        {"socket",
         [](const fs::path& p) {
             sockaddr_un address{};
             address.sun_family = AF_UNIX;
             std::strncpy(address.sun_path, p.c_str(), sizeof address.sun_path - 1);
             const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
             const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
             ::close(fd);
             return bound;
         },
         [](const fs::path& p) { return fs::is_socket(p); }, "it is a socket, not a file"},
        {"device", [](const fs::path& p) { return ::mknod(p.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0; },
         [](const fs::path& p) { return fs::is_character_file(p); }, "it is a device, not a file"},
        {"link-to-folder",
         [this](const fs::path& p) {
             fs::create_directory(m_dir / "aim");
             fs::create_symlink("aim", p);
             return true;
         },
         [this](const fs::path& p) { return fs::is_symlink(p) && fs::is_empty(m_dir / "aim"); },
         "it is a folder, not a file"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        const fs::path path = m_dir / test.name;
        if (!test.make(path))
            continue; // a device node needs a privilege a container may not give
        const std::set<std::string> before = NamesIn(m_dir);
        std::string error;
        EXPECT_FALSE(writeFileAtomically(path.string(), "x", &error));
        EXPECT_EQ(error, "cannot write " + path.string() + ": " + test.cause);
        EXPECT_EQ(AtomicFile::open(path.string(), error), nullptr);
        EXPECT_TRUE(test.stillThere(path));
        EXPECT_EQ(NamesIn(m_dir), before);
    }
}

TEST_F(AtomicFileTest, MissingFolderIsRefusedWithItsCause)
{
    const fs::path path = m_dir / "nowhere" / "out.txt";
    std::string error;
    EXPECT_FALSE(writeFileAtomically(path.string(), "x", &error));
    EXPECT_EQ(error, "cannot write " + path.string() + ": " + std::strerror(ENOENT));
    EXPECT_FALSE(fs::exists(m_dir / "nowhere"));
}

// Root writes into any folder, so the write runs in a child that gives up root first.
TEST_F(AtomicFileTest, ReadOnlyFolderIsRefusedAndTheOldFileKept)
{
    const fs::path file = m_dir / "locked" / "out.txt";
    fs::create_directories(file.parent_path());
    WriteText(file, "old");
    fs::permissions(file.parent_path(), fs::perms(0555));
    const ChildResult result = WriteInChild(
        [] {
            if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
                ::_exit(1);
        },
        file, "new");
    EXPECT_FALSE(result.written);
    EXPECT_EQ(result.error, "cannot write " + file.string() + ": " + std::strerror(EACCES));
    EXPECT_EQ(ReadText(file), "old");
    EXPECT_EQ(NamesIn(file.parent_path()), (std::set<std::string>{"out.txt"}));
}

// The folder would let the rename through, and the writer is root: the file's own mode still refuses it.
TEST_F(AtomicFileTest, ReadOnlyFileIsRefusedUntouchedThroughItsLinkToo)
{
    const fs::path file = m_dir / "kept.vtp";
    WriteText(file, "old");
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    fs::create_symlink("kept.vtp", m_dir / "link.vtp");
    for (const fs::path& path : {file, m_dir / "link.vtp"}) {
        std::string error;
        EXPECT_FALSE(writeFileAtomically(path.string(), "new", &error));
        EXPECT_EQ(error, "cannot write " + path.string() + ": the file is read-only");
        EXPECT_TRUE(isReadOnlyTarget(path.string()));
    }
    EXPECT_EQ(ReadText(file), "old");
    EXPECT_EQ(ModeOf(file), 0444u);
    EXPECT_EQ(NamesIn(m_dir), (std::set<std::string>{"kept.vtp", "link.vtp"}));
    EXPECT_FALSE(isReadOnlyTarget((m_dir / "new.vtp").string()));
    ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
    EXPECT_FALSE(isReadOnlyTarget(file.string()));
    EXPECT_TRUE(writeFileAtomically(file.string(), "new"));
}

// A file-size limit makes the write fail half way, as a full disk would.
TEST_F(AtomicFileTest, FailedWriteLeavesTheOldFileAndNoTemporary)
{
    const fs::path file = m_dir / "big.bin";
    WriteText(file, "old content");
    const ChildResult result = WriteInChild(
        [] {
            ignoreFileSizeSignal();
            const rlimit small{4096, 4096};
            if (::setrlimit(RLIMIT_FSIZE, &small) != 0)
                ::_exit(1);
        },
        file, std::string(64 * 1024, 'x'));
    EXPECT_FALSE(result.written);
    EXPECT_EQ(result.error, "cannot write " + file.string() + ": File too large");
    EXPECT_EQ(ReadText(file), "old content");
    EXPECT_EQ(NamesIn(m_dir), (std::set<std::string>{"big.bin"}));
}

TEST_F(AtomicFileTest, WriterThatFailedStaysFailed)
{
    const fs::path file = m_dir / "out.bin";
    WriteText(file, "old");
    std::string error;
    auto writer = AtomicFile::open(file.string(), error);
    ASSERT_NE(writer, nullptr) << error;
    // The temporary file vanishing under us makes the rename fail.
    for (const std::string& name : NamesIn(m_dir))
        if (name != "out.bin")
            fs::remove(m_dir / name);
    EXPECT_FALSE(writer->commit());
    EXPECT_NE(writer->error().find(std::strerror(ENOENT)), std::string::npos);
    const uint8_t bytes[] = {1};
    EXPECT_FALSE(writer->write(bytes));
    EXPECT_FALSE(writer->commit());
    EXPECT_EQ(ReadText(file), "old");
}

} // namespace
} // namespace pf
