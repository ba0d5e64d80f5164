#include "datapath/CaptureFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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

TEST_F(CaptureFileTest, UnwritablePlacesDropTheChunkAndLaterChunksStillArrive) {
    zenta::CaptureFile cap;
    EXPECT_FALSE(cap.Append("", "x"));
    EXPECT_FALSE(cap.Append(PathOf("no/such/dir/f.bin"), "x"));
    EXPECT_FALSE(cap.IsOpen());
    // A directory is no capture file.
    EXPECT_FALSE(cap.Append(dir_.string(), "x"));
    if (::geteuid() != 0) {
        fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(cap.Append(PathOf("ro.bin"), "x"));
        fs::permissions(dir_, fs::perms::owner_all);
    }
    const std::string ok = PathOf("ok.bin");
    EXPECT_TRUE(cap.Append(ok, "after"));
    EXPECT_EQ(Contents(ok), "after");
    // /dev/full accepts the open and refuses every write.
    if (fs::exists("/dev/full")) {
        EXPECT_FALSE(cap.Append("/dev/full", "x"));
    }
}

}  // namespace
