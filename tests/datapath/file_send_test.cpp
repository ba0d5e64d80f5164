#include "datapath/FileSend.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "datapath/FileTexts.h"

namespace fs = std::filesystem;
using namespace zenta;

namespace {

fs::path TempDir() {
    const fs::path d = fs::temp_directory_path() / ("zenta_filesend_" + std::to_string(::getpid()));
    fs::create_directories(d);
    return d;
}

std::string Pattern(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) {
        s[i] = static_cast<char>(i * 7 + 3);
    }
    return s;
}

// Records what a send does; answers writes in full unless told otherwise.
struct RecordingLink : FileSendLink {
    std::vector<std::size_t> writes;
    std::vector<int> progress;
    std::vector<std::int64_t> sentAfterBlock;
    std::int64_t parts = 0;
    std::string out;
    int stopAfterBlocks = -1;  // StopRequested turns true after this many blocks
    int failAtWrite = -1;      // this write fails
    int shortAtWrite = -1;     // this write is cut to 10 bytes
    std::int64_t Write(std::string_view b) override {
        const int i = static_cast<int>(writes.size());
        writes.push_back(b.size());
        if (i == failAtWrite) {
            return -1;
        }
        const std::size_t n = i == shortAtWrite ? 10 : b.size();
        out.append(b.substr(0, n));
        return static_cast<std::int64_t>(n);
    }
    void BlockSent(std::int64_t bytes, std::int64_t sent, int p) override {
        EXPECT_EQ(bytes, 256);
        sentAfterBlock.push_back(sent);
        progress.push_back(p);
    }
    bool StopRequested() override {
        return stopAfterBlocks >= 0 && static_cast<int>(progress.size()) >= stopAfterBlocks;
    }
    void PartSent(std::int64_t bytes, std::int64_t) override { parts += bytes; }
};

}  // namespace

TEST(FileSendBlocks, WholeBlocksThenTheRestWithProgressPerBlock) {
    const std::string data = Pattern(1000);
    RecordingLink link;
    const FileSendResult r = SendFileBlocks(data, link);
    EXPECT_EQ(r.outcome, FileSendOutcome::Completed);
    EXPECT_EQ(r.sent, 1000);
    EXPECT_EQ(link.writes, (std::vector<std::size_t>{256, 256, 256, 232}));
    EXPECT_EQ(link.progress, (std::vector<int>{1, 34, 67}));
    EXPECT_EQ(link.sentAfterBlock, (std::vector<std::int64_t>{256, 512, 768}));
    EXPECT_EQ(link.parts, 232);
    EXPECT_EQ(link.out, data);

    // Under one block: one write and no block step; an empty file writes nothing.
    RecordingLink small;
    EXPECT_EQ(SendFileBlocks(Pattern(200), small).sent, 200);
    EXPECT_EQ(small.writes, (std::vector<std::size_t>{200}));
    EXPECT_TRUE(small.progress.empty());
    RecordingLink empty;
    EXPECT_EQ(SendFileBlocks({}, empty).outcome, FileSendOutcome::Completed);
    EXPECT_TRUE(empty.writes.empty());
    // Exactly whole blocks: no empty tail write.
    RecordingLink whole;
    SendFileBlocks(Pattern(512), whole);
    EXPECT_EQ(whole.writes.size(), 2u);
    EXPECT_EQ(whole.progress.back(), 51);
}

TEST(FileSendBlocks, StopEndsAfterTheCurrentBlockAndFailuresEndAtOnce) {
    const std::string data = Pattern(1000);
    RecordingLink stop;
    stop.stopAfterBlocks = 1;
    FileSendResult r = SendFileBlocks(data, stop);
    EXPECT_EQ(r.outcome, FileSendOutcome::Stopped);
    EXPECT_EQ(r.sent, 256);
    EXPECT_EQ(stop.writes.size(), 1u);

    // A block the port gave up on part-way (a stop while it was held back).
    RecordingLink cut;
    cut.shortAtWrite = 1;
    r = SendFileBlocks(data, cut);
    EXPECT_EQ(r.outcome, FileSendOutcome::Stopped);
    EXPECT_EQ(r.sent, 266);
    EXPECT_EQ(cut.parts, 10);
    EXPECT_EQ(cut.progress.size(), 1u);

    RecordingLink fail;
    fail.failAtWrite = 2;
    r = SendFileBlocks(data, fail);
    EXPECT_EQ(r.outcome, FileSendOutcome::WriteFailed);
    EXPECT_EQ(r.sent, 512);
    EXPECT_EQ(fail.writes.size(), 3u);
    RecordingLink tailFail;
    tailFail.failAtWrite = 0;
    EXPECT_EQ(SendFileBlocks(Pattern(100), tailFail).outcome, FileSendOutcome::WriteFailed);
}

TEST(FileSendEstimate, WholeSecondsAndNoDivisionByZero) {
    EXPECT_EQ(EstimateSeconds(1000, 9600), 1);
    EXPECT_EQ(EstimateSeconds(0, 9600), 0);
    EXPECT_EQ(EstimateSeconds(1000, 0), 0);
    EXPECT_EQ(EstimateSeconds(1000, -5), 0);
    // Lengths past 32 bits do not wrap.
    EXPECT_EQ(EstimateSeconds(std::int64_t{5} << 30, 115200),
              (std::int64_t{5} << 30) * 10 / 115200);
    EXPECT_EQ(FileSendReport(1000, 9600, 1, true),
              "FileSize: 1000\r\nBaudRate 9600bps\r\nTime require: 1 S\r\nWait...\r\n");
    EXPECT_EQ(FileSendReport(1000, 9600, 1, false),
              "文件大小: 1000\r\n波特率 9600bps\r\n需要时间:大约 1 秒\r\n请稍候...\r\n");
}

class FileReadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = TempDir() / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Make(const std::string& name, const std::string& bytes) {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }
    fs::path dir_;
};

TEST_F(FileReadTest, ReadsUpToCapacityAndReportsTheFullLength) {
    const std::string data = Pattern(5000);
    const std::string path = Make("f.bin", data);
    std::string buf(8192, 'x');
    FileRead r = ReadFileInto(path, buf.data(), buf.size());
    EXPECT_EQ(r.error, FileReadError::None);
    EXPECT_EQ(r.length, 5000);
    EXPECT_EQ(buf.substr(0, r.loaded), data);
    r = ReadFileInto(path, buf.data(), 4096);
    EXPECT_EQ(r.length, 5000);
    EXPECT_EQ(r.loaded, 4096u);
    EXPECT_EQ(buf.substr(0, 4096), data.substr(0, 4096));
}

TEST_F(FileReadTest, FilesThatCannotBeTakenSayWhyAndLoadNothing) {
    char buf[16];
    EXPECT_EQ(ReadFileInto((dir_ / "gone").string(), buf, sizeof buf).error,
              FileReadError::Missing);
    EXPECT_EQ(ReadFileInto("", buf, sizeof buf).error, FileReadError::Missing);
    EXPECT_EQ(ReadFileInto(dir_.string(), buf, sizeof buf).error, FileReadError::Folder);
    // A named pipe without a writer must not block.
    const std::string fifo = (dir_ / "pipe").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const FileRead r = ReadFileInto(fifo, buf, sizeof buf);
    EXPECT_EQ(r.error, FileReadError::NotAFile);
    EXPECT_EQ(r.loaded, 0u);

    const std::string text =
        FileUnreadableText("/x/dir", {FileReadError::Folder, EISDIR, 0, 0}, true);
    EXPECT_EQ(text,
              "File does not exist or has been opened by another program!\r\n"
              "This is a folder, not a file: /x/dir");
    EXPECT_NE(FileUnreadableText("/x/f", {FileReadError::Missing, ENOENT, 0, 0}, false)
                  .find("找不到文件: /x/f"),
              std::string::npos);
}

TEST_F(FileReadTest, AFileThatCannotBeOpenedForWritingIsStillRead) {
    // A running program cannot be opened for writing, not even by the superuser.
    char buf[64];
    const FileRead r = ReadFileInto("/proc/self/exe", buf, sizeof buf);
    EXPECT_EQ(r.error, FileReadError::None);
    EXPECT_EQ(r.loaded, sizeof buf);
    EXPECT_EQ(std::string(buf, 4),
              "\x7f"
              "ELF");
}
