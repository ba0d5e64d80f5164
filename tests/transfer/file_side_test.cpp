// Names from the far end, YMODEM's block 0, and the folder received files land in.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "transfer/FileName.h"
#include "transfer/FolderStore.h"
#include "transfer/YmodemHeader.h"
#include "transfer/support/PeerRun.h"

namespace zenta::transfer {
namespace {

using test::ReadFile;
using test::TTempDir;
using test::WriteFile;

TEST(PlainFileName, KeepsOnlyAPlainName) {
    EXPECT_EQ(PlainFileName("../../etc/passwd"), "passwd");
    EXPECT_EQ(PlainFileName("C:\\boot\\app.bin"), "app.bin");
    EXPECT_EQ(PlainFileName("/abs/dir/"), "received");
    EXPECT_EQ(PlainFileName(".."), "received");
    EXPECT_EQ(PlainFileName("...hidden"), "hidden");
    EXPECT_EQ(PlainFileName("a\x1b[2Jb\r\n.txt"), "a[2Jb.txt");
    EXPECT_EQ(PlainFileName(std::string("ok\0/../x", 8)), "ok");
    EXPECT_EQ(PlainFileName("name. . "), "name");
    EXPECT_EQ(PlainFileName(""), "received");
    // Long names are cut on a character boundary.
    std::string longName;
    for (int i = 0; i < 150; ++i) {
        longName += "\xE6\x96\x87";  // 文
    }
    const std::string cut = PlainFileName(longName);
    EXPECT_LE(cut.size(), 200u);
    EXPECT_EQ(cut.size() % 3, 0u);
}

TEST(YmodemHeader, BuildsAndReadsBack) {
    FileInfo info;
    ASSERT_EQ(
        ParseYmodemHeader(BuildYmodemHeader({"fw.bin", 123456, 1700000000}).data(), 128, info),
        HeaderKind::File);
    EXPECT_EQ(info.name, "fw.bin");
    EXPECT_EQ(info.size, 123456);
    EXPECT_EQ(info.mtime, 1700000000);
    // A name that does not fit a short block goes in a 1K one.
    const auto big = BuildYmodemHeader({std::string(190, 'n'), 5, 0});
    EXPECT_EQ(big.size(), 1024u);
}

TEST(YmodemHeader, ReadsWhatSendersWrite) {
    FileInfo info;
    auto parse = [&](const std::string& text) {
        std::string block = text;
        block.resize(128, '\0');
        return ParseYmodemHeader(reinterpret_cast<const std::uint8_t*>(block.data()), 128, info);
    };
    EXPECT_EQ(parse(std::string("a.txt\0", 6)), HeaderKind::File);  // no size at all
    EXPECT_EQ(info.size, -1);
    EXPECT_EQ(parse(std::string("a.txt\0"
                                "42 1234567 100644 0 1 42",
                                30)),
              HeaderKind::File);
    EXPECT_EQ(info.size, 42);
    EXPECT_EQ(info.mtime, 01234567);
    EXPECT_EQ(parse(std::string("a.txt\0"
                                "42 99",
                                11)),
              HeaderKind::File);  // not octal
    EXPECT_EQ(info.mtime, 0);
    EXPECT_EQ(parse(std::string("\0", 1)), HeaderKind::EndOfBatch);
    EXPECT_EQ(parse(std::string("../../x\0"
                                "1",
                                9)),
              HeaderKind::File);
    EXPECT_EQ(info.name, "x");
    EXPECT_EQ(parse(std::string("a\0"
                                "12x4",
                                6)),
              HeaderKind::Malformed);
    EXPECT_EQ(parse(std::string("a\0"
                                "9999999999999999999",
                                21)),
              HeaderKind::Malformed);
    const std::string noNul(128, 'a');
    EXPECT_EQ(ParseYmodemHeader(reinterpret_cast<const std::uint8_t*>(noNul.data()), 128, info),
              HeaderKind::Malformed);
}

TEST(FolderSink, FreeNamesPartialFilesAndDates) {
    TTempDir tmp;
    const std::string dir = tmp.Sub("in");
    WriteFile(dir + "/f.bin", "old");
    TFolderSink sink(dir);
    std::string error;
    const std::uint8_t data[] = {1, 2, 3};

    // A name already taken gets a number; the old file is untouched.
    ASSERT_TRUE(sink.Open({"f.bin", 3, 1600000000}, error)) << error;
    ASSERT_TRUE(sink.Write(data, 3, error));
    EXPECT_EQ(sink.Close(true), dir + "/f (2).bin");
    EXPECT_EQ(ReadFile(dir + "/f.bin"), "old");
    EXPECT_EQ(ReadFile(dir + "/f (2).bin"), "\x01\x02\x03");
    struct stat st {};
    ASSERT_EQ(::stat((dir + "/f (2).bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1600000000);

    // An interrupted file keeps a name that says so; one with no bytes leaves nothing.
    ASSERT_TRUE(sink.Open({"g.bin", 10, 0}, error));
    ASSERT_TRUE(sink.Write(data, 2, error));
    EXPECT_EQ(sink.Close(false), dir + "/g.bin.part");
    EXPECT_EQ(ReadFile(dir + "/g.bin.part"), "\x01\x02");
    ASSERT_TRUE(sink.Open({"h.bin", 10, 0}, error));
    EXPECT_EQ(sink.Close(false), "");
    EXPECT_FALSE(std::filesystem::exists(dir + "/h.bin.part"));

    // A file that appears under the final name during the transfer is not written over.
    ASSERT_TRUE(sink.Open({"k.bin", 3, 0}, error));
    ASSERT_TRUE(sink.Write(data, 3, error));
    WriteFile(dir + "/k.bin", "mine");
    EXPECT_EQ(sink.Close(true), dir + "/k (2).bin");
    EXPECT_EQ(ReadFile(dir + "/k.bin"), "mine");

    // A path handed to the sink stays in its folder.
    ASSERT_TRUE(sink.Open({"../escape.bin", 1, 0}, error));
    ASSERT_TRUE(sink.Write(data, 1, error));
    EXPECT_EQ(sink.Close(true), dir + "/escape.bin");
    EXPECT_FALSE(std::filesystem::exists(tmp.Path() + "/escape.bin"));

    TFolderSink missing(tmp.Path() + "/no/such/folder");
    EXPECT_FALSE(missing.Open({"a", 1, 0}, error));
    EXPECT_NE(error.find("no/such/folder"), std::string::npos);
}

}  // namespace
}  // namespace zenta::transfer
