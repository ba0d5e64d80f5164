// Where saved data goes, how its files are named, and the file preview.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
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

// An installed copy keeps its hands off its own folder even when root could write there;
// a folder of the user's own (build tree, unpacked archive) stays the program's folder.
TEST(DataFolder, OnlyAPortableCopyUsesItsOwnFolder) {
    for (const char* system : {"/usr", "/usr/bin", "/usr/local/bin", "/opt", "/opt/zenta/bin",
                               "/bin", "/snap/zenta/1", "/nix/store/x-zenta/bin"}) {
        EXPECT_TRUE(UnderSystemPrefix(system)) << system;
    }
    for (const char* own : {"/home/u/zenta", "/tmp/build", "/usrlocal", "/optional", "/work/b"}) {
        EXPECT_FALSE(UnderSystemPrefix(own)) << own;
    }
    // Live: /usr/bin is never the data folder, also for the superuser who may write it.
    EXPECT_FALSE(PortableFolder("/usr/bin"));
    const fs::path dir =
        fs::temp_directory_path() / ("zenta_portable_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    EXPECT_TRUE(PortableFolder(dir.string()));
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(PortableFolder(dir.string()));
    fs::permissions(dir, fs::perms::owner_all);
    // A link into a system folder counts as that folder.
    const fs::path link = dir / "bin";
    fs::create_directory_symlink("/usr/bin", link);
    EXPECT_FALSE(PortableFolder(link.string()));
    fs::remove_all(dir);
}

TEST(DataFolder, NewFilesNeverReplaceOldOnes) {
    EXPECT_EQ(NumberedPath("/d/SAVE1.DAT", 1), "/d/SAVE1.DAT");
    EXPECT_EQ(NumberedPath("/d/SAVE1.DAT", 2), "/d/SAVE1 (2).DAT");
    EXPECT_EQ(NumberedPath("/d.x/zenta5.ini.bak", 3), "/d.x/zenta5.ini (3).bak");
    EXPECT_EQ(NumberedPath("/d.x/.hidden", 2), "/d.x/.hidden (2)");
    EXPECT_EQ(NumberedPath("noext", 2), "noext (2)");

    const fs::path dir =
        fs::temp_directory_path() / ("zenta_newfile_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string a = (dir / "SAVE.DAT").string();
    const std::string b = (dir / "SaveWindows.TXT").string();
    std::string error;
    ASSERT_TRUE(WriteNewFile(a, "first", &error));
    // The same name again (two saves in one second) is refused, the first file kept.
    EXPECT_FALSE(WriteNewFile(a, "second", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(fs::file_size(a), 5u);
    EXPECT_EQ(FreePath(a), (dir / "SAVE (2).DAT").string());
    // Files saved together share the first number free for all of them.
    ASSERT_TRUE(WriteNewFile((dir / "SaveWindows (2).TXT").string(), "", &error));
    EXPECT_EQ(FreeNumber({a, b}), 3);
    EXPECT_EQ(FreeNumber({b}), 1);
    // A write that fails part-way (here a file size limit, as a full disk) reports and
    // leaves no partial file behind.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string big = (dir / "big.DAT").string();
    const bool wrote = WriteNewFile(big, std::string(1000, 'x'), &error);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);
    EXPECT_FALSE(wrote);
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(fs::exists(big));
    EXPECT_FALSE(WriteNewFile((dir / "missing" / "f").string(), "x", &error));
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
    EXPECT_EQ(rx.HexAll(), "41 42 0D 0A 43 44 0D 0A 00 00 ");
    EXPECT_EQ(rx.rxCount, 77);
    EXPECT_EQ(rx.txCount, 5);
    EXPECT_EQ(rx.rxTextAll, "old text");
    // Bytes received after the preview add their own HEX form to the preview's.
    ReceiveInput in;
    in.chunk = "Z";
    rx.OnChunk(in);
    EXPECT_EQ(rx.HexAll(), "41 42 0D 0A 43 44 0D 0A 00 00 5A ");

    t = ApplyFilePreview(rx, std::string(5000, 'z'), 123456, true, false);
    EXPECT_EQ(t.header, "文件大小:123456字节,下面是预览的4K字节内容:\r\n\r\n");
    EXPECT_EQ(t.body.size(), 4096u * 3);
}
