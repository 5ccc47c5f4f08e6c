// Whole-file writing: what each kind of target gets, and that a failure
// leaves the old file as it was.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <thread>

#include "TempDirFixture.h"
#include "common/SafeFile.h"

using valdrin::common::WriteWholeFile;
namespace fs = std::filesystem;

namespace {

class SafeFileTest : public TempDirFixture {
protected:
    SafeFileTest()
        : TempDirFixture("valdrin_safe_")
    {
    }
    // Nothing but the named files: no temporary file is left behind.
    std::size_t FileCount() const
    {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(m_dir), {}));
    }
};

TEST_F(SafeFileTest, ARegularFileOrANewNameIsReplacedWholeKeepingItsMode)
{
    EXPECT_FALSE(WriteWholeFile(Path("new.txt"), "first"));
    EXPECT_EQ(ReadBytes(Path("new.txt")), "first");
    fs::permissions(Path("new.txt"), fs::perms(0640));
    EXPECT_FALSE(WriteWholeFile(Path("new.txt"), "second, longer"));
    EXPECT_EQ(ReadBytes(Path("new.txt")), "second, longer");
    EXPECT_EQ(fs::status(Path("new.txt")).permissions() & fs::perms::all, fs::perms(0640));

    // Through a link the file it points to is replaced; the link stays.
    fs::create_symlink(Path("new.txt"), Path("link.txt"));
    EXPECT_FALSE(WriteWholeFile(Path("link.txt"), "third"));
    EXPECT_TRUE(fs::is_symlink(Path("link.txt")));
    EXPECT_EQ(ReadBytes(Path("new.txt")), "third");
    EXPECT_EQ(FileCount(), 2u);

    const auto noDir = WriteWholeFile(Path("no/such/dir/x.txt"), "x");
    ASSERT_TRUE(noDir);
    EXPECT_EQ(*noDir, "папка не найдена");
}

TEST_F(SafeFileTest, AFolderIsRefusedAndAPipeIsWrittenDirectly)
{
    fs::create_directory(Path("dir"));
    const auto folder = WriteWholeFile(Path("dir"), "x");
    ASSERT_TRUE(folder);
    EXPECT_EQ(*folder, "это папка");
    EXPECT_TRUE(fs::is_directory(Path("dir")));

    ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = ReadBytes(Path("pipe")); });
    const auto pipe = WriteWholeFile(Path("pipe"), "through the pipe");
    reader.join();
    EXPECT_FALSE(pipe);
    EXPECT_EQ(received, "through the pipe");
    EXPECT_TRUE(fs::is_fifo(Path("pipe")));
}

TEST_F(SafeFileTest, AFailureHalfWayLeavesTheOldFileAsItWas)
{
    const std::string old(1000, 'o');
    ASSERT_FALSE(WriteWholeFile(Path("f.txt"), old));
    // The file-size limit stands for a disk that fills up during the write.
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto error = WriteWholeFile(Path("f.txt"), std::string(100000, 'n'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_TRUE(error);
    EXPECT_EQ(ReadBytes(Path("f.txt")), old);
    EXPECT_EQ(FileCount(), 1u);
}

} // namespace
