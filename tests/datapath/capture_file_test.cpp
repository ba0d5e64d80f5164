#include "datapath/CaptureFile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class CaptureFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("zenta_capture_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        fs::permissions(dir_, fs::perms::owner_all);
        fs::remove_all(dir_);
    }
    std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }
    static std::string Contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path dir_;
};

TEST_F(CaptureFileTest, AppendsChunksInOrderKeepingWhatWasThereAndEveryByteValue) {
    const std::string path = PathOf("cap.bin");
    { std::ofstream(path, std::ios::binary) << "old"; }
    std::string all;
    for (int i = 0; i < 256; ++i) {
        all.push_back(static_cast<char>(i));
    }
    zenta::CaptureFile cap;
    EXPECT_TRUE(cap.Append(path, all.substr(0, 100)));
    EXPECT_TRUE(cap.IsOpen());
    EXPECT_TRUE(cap.Append(path, all.substr(100)));
    // Bytes are on disk at once, without closing: a crash loses nothing already captured.
    EXPECT_EQ(Contents(path), "old" + all);
}

TEST_F(CaptureFileTest, NameChangeAndCloseSwitchFilesAndReopenAppends) {
    const std::string a = PathOf("a.bin");
    const std::string b = PathOf("b.bin");
    zenta::CaptureFile cap;
    ASSERT_TRUE(cap.Append(a, "1"));
    ASSERT_TRUE(cap.Append(b, "2"));
    EXPECT_EQ(cap.Path(), b);
    cap.Close();
    EXPECT_FALSE(cap.IsOpen());
    ASSERT_TRUE(cap.Append(b, "3"));
    ASSERT_TRUE(cap.Append(a, "4"));
    EXPECT_EQ(Contents(a), "14");
    EXPECT_EQ(Contents(b), "23");
}

TEST_F(CaptureFileTest, FileDeletedWhileCapturingIsCreatedAgain) {
    const std::string path = PathOf("gone.bin");
    zenta::CaptureFile cap;
    ASSERT_TRUE(cap.Append(path, "lost"));
    fs::remove(path);
    ASSERT_TRUE(cap.Append(path, "kept"));
    EXPECT_EQ(Contents(path), "kept");
}

// Every kind of failed write stops the capture with one report; nothing more is written
// (no unmarked gap) until capture is switched off and on again.
TEST_F(CaptureFileTest, AFailedWriteStopsTheCaptureAndIsReportedOnce) {
    zenta::CaptureFile cap;
    auto expectStopped = [&cap](const std::string& path) {
        EXPECT_TRUE(cap.Stopped());
        const auto failure = cap.TakeFailure();
        ASSERT_TRUE(failure.has_value());
        EXPECT_EQ(failure->path, path);
        EXPECT_FALSE(failure->reason.empty());
        EXPECT_FALSE(cap.TakeFailure().has_value());
        cap.Close();
        EXPECT_FALSE(cap.Stopped());
    };
    EXPECT_FALSE(cap.Append("", "x"));
    expectStopped("");
    const std::string missing = PathOf("no/such/dir/f.bin");
    EXPECT_FALSE(cap.Append(missing, "x"));
    EXPECT_FALSE(cap.IsOpen());
    expectStopped(missing);
    // A directory is no capture file.
    EXPECT_FALSE(cap.Append(dir_.string(), "x"));
    expectStopped(dir_.string());
    if (::geteuid() != 0) {
        fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(cap.Append(PathOf("ro.bin"), "x"));
        fs::permissions(dir_, fs::perms::owner_all);
        expectStopped(PathOf("ro.bin"));
    }
    // /dev/full accepts the open and refuses every write, as a full disk does.
    if (fs::exists("/dev/full")) {
        EXPECT_FALSE(cap.Append("/dev/full", "x"));
        // A later chunk, or one for another file, is not written either.
        const std::string other = PathOf("other.bin");
        EXPECT_FALSE(cap.Append("/dev/full", "y"));
        EXPECT_FALSE(cap.Append(other, "z"));
        EXPECT_FALSE(fs::exists(other));
        expectStopped("/dev/full");
    }
    const std::string ok = PathOf("ok.bin");
    EXPECT_TRUE(cap.Append(ok, "after"));
    EXPECT_EQ(Contents(ok), "after");
    EXPECT_FALSE(cap.TakeFailure().has_value());
}

// A file size limit refuses a write part-way, like a disk that fills in mid-chunk: the
// report says how much reached the file, and bytes after the gap never do.
TEST_F(CaptureFileTest, DiskFullInMidChunkKeepsWhatWasWrittenAndStops) {
    const std::string path = PathOf("limit.bin");
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    zenta::CaptureFile cap;
    const bool first = cap.Append(path, std::string(600, 'a'));
    const bool second = cap.Append(path, std::string(600, 'b'));
    const bool third = cap.Append(path, "c");
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);

    EXPECT_TRUE(first);
    EXPECT_FALSE(second);
    EXPECT_FALSE(third);
    const auto failure = cap.TakeFailure();
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->path, path);
    EXPECT_EQ(failure->bytesKept, 1000);
    EXPECT_EQ(Contents(path), std::string(600, 'a') + std::string(400, 'b'));
    // Space freed: nothing is appended behind the gap until capture starts again.
    EXPECT_FALSE(cap.Append(path, "d"));
    EXPECT_EQ(fs::file_size(path), 1000u);
    cap.Close();
    EXPECT_TRUE(cap.Append(path, "e"));
    EXPECT_EQ(fs::file_size(path), 1001u);
}

}  // namespace
