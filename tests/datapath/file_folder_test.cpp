// Where saved data goes, how its files are named, and the file preview.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "datapath/DataFolder.h"
#include "datapath/FilePreview.h"

namespace fs = std::filesystem;
using namespace zenta;

TEST(DataFolder, ProgramFolderWhenWritableElseDocuments) {
    EXPECT_EQ(ChooseDataFolder("/opt/zenta/bin", true, "/home/u/Documents"), "/opt/zenta/bin");
    EXPECT_EQ(ChooseDataFolder("/usr/bin", false, "/home/u/Documents"), "/home/u/Documents/zenta");
    EXPECT_EQ(ChooseDataFolder("/usr/bin", false, "/home/u/Documents/"), "/home/u/Documents/zenta");

    const fs::path dir = fs::temp_directory_path() / ("zenta_folder_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    EXPECT_TRUE(FolderWritable(dir.string()));
    // Marked read-only counts as read-only, also for the superuser.
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(FolderWritable(dir.string()));
    fs::permissions(dir, fs::perms::owner_all);
    EXPECT_FALSE(FolderWritable((dir / "missing").string()));
    EXPECT_FALSE(FolderWritable(""));
    fs::remove_all(dir);
}

TEST(DataFolder, TimeStampHasNoSeparatorsAFileNameCannotHold) {
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 4;
    t.tm_mday = 17;
    t.tm_hour = 9;
    t.tm_min = 3;
    t.tm_sec = 27;
    EXPECT_EQ(FileTimeStamp(t), "2024-05-17_09-03-27");
}

TEST(FilePreview, ReplacesRawAndHexButNotTheCountOrText) {
    ReceiveState rx;
    rx.rxRawAll = "old";
    rx.rxTextAll = "old text";
    rx.rxCount = 77;
    rx.txCount = 5;
    const std::string file("AB\r\nCD\r\n\0\0", 10);
    FilePreviewText t = ApplyFilePreview(rx, file, 10, false, true);
    EXPECT_EQ(t.header, "FileSize:10bytes. The first 4K data is:\r\n\r\n");
    EXPECT_EQ(t.body, "AB\r\nCD\r\n\\0\\0");
    EXPECT_EQ(rx.rxRawAll, t.body);
    EXPECT_EQ(rx.rxHexAll, "41 42 0D 0A 43 44 0D 0A 00 00 ");
    EXPECT_EQ(rx.rxCount, 77);
    EXPECT_EQ(rx.txCount, 5);
    EXPECT_EQ(rx.rxTextAll, "old text");

    t = ApplyFilePreview(rx, std::string(5000, 'z'), 123456, true, false);
    EXPECT_EQ(t.header, "文件大小:123456字节,下面是预览的4K字节内容:\r\n\r\n");
    EXPECT_EQ(t.body.size(), 4096u * 3);
}
