#include "app/PortWatcher.h"
#include "support/Pty.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

using namespace zenta::test;

namespace fs = std::filesystem;
using namespace zenta;

namespace {

struct TempDir {
    fs::path path = fs::temp_directory_path() / ("zenta_byid_" + std::to_string(::getpid()));
    TempDir() { fs::create_directories(path); }
    ~TempDir() { fs::remove_all(path); }
};

}  // namespace

TEST(PortWatcher, AdapterIsFoundByItsStableNameUnderANewNumber) {
    TPty first;
    TPty second;
    ASSERT_FALSE(first.SlavePath().empty());
    TempDir byId;
    const fs::path name = byId.path / "usb-FTDI_FT232R_A50285BI-if00-port0";
    fs::create_symlink(first.SlavePath(), byId.path / "usb-Other_Board-if00");
    fs::create_symlink(second.SlavePath(), name);
    EXPECT_EQ(SerialIdentity(second.SlavePath(), byId.path.string()), name.filename().string());
    EXPECT_EQ(SerialIdentity("/dev/null", byId.path.string()), "");
    EXPECT_EQ(SerialIdentity("/nonexistent/ttyUSB0", byId.path.string()), "");

    // The old node is gone; the stable name leads to the new one.
    const std::string identity = name.filename().string();
    EXPECT_EQ(ReturnedPort("/nonexistent/ttyUSB0", identity, byId.path.string(), 0),
              second.SlavePath());
    // The same path back wins over the stable name.
    EXPECT_EQ(ReturnedPort(first.SlavePath(), identity, byId.path.string(), 0), first.SlavePath());
    // Neither there: keep waiting. A stable name that points nowhere counts as absent.
    fs::remove(name);
    fs::create_symlink("/nonexistent/ttyUSB1", name);
    EXPECT_EQ(ReturnedPort("/nonexistent/ttyUSB0", identity, byId.path.string(), 0), "");
    EXPECT_EQ(ReturnedPort("/nonexistent/ttyUSB0", "", byId.path.string(), 0), "");
    // A link older than the open leads to a terminal number someone else may have now.
    const fs::path link = byId.path / "ttyBoard";
    fs::create_symlink(first.SlavePath(), link);
    const int64_t openedAfterLink = FileClockNs() + 1000000000;
    EXPECT_EQ(ReturnedPort(link.string(), "", byId.path.string(), openedAfterLink), "");
    EXPECT_EQ(ReturnedPort(link.string(), "", byId.path.string(), 0), link.string());
    // A regular file is no device.
    EXPECT_EQ(DeviceNumber(byId.path.string()), 0u);
}

TEST(PortWatcher, FolderEventsAndLinkFolders) {
    EXPECT_TRUE(MayBePortName("ttyUSB1"));
    EXPECT_TRUE(MayBePortName("ttyZENTA0"));
    // devsim builds its link under a dotted name and renames it into place.
    EXPECT_FALSE(MayBePortName("ttyZENTA0.devsim-123"));
    EXPECT_FALSE(MayBePortName("systemd-private-x"));
    EXPECT_EQ(LinkFolder("/tmp/ttyZENTA0"), "/tmp");
    EXPECT_EQ(LinkFolder("/home/me/ports/ttyBoard"), "/home/me/ports");
    EXPECT_EQ(LinkFolder("/dev/ttyUSB0"), "");
    EXPECT_EQ(LinkFolder("COM3"), "");
}
