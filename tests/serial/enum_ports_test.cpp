// Port enumeration and friendly names on prepared sysfs trees, and on a real pty link.
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "serial/CPort.h"
#include "serial/posix/SysfsPorts.h"
#include "serial/posix/UdevNames.h"
#include "support/Pty.h"

using namespace zenta::test;

namespace fs = std::filesystem;
using zenta::TPortRoots;

namespace {

void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text << "\n";
}

// A machine with a 16550 port, a phantom 8250 port, a USB-serial adapter, a CDC-ACM board,
// a port whose device node is missing, a console, and some pty links in tmp.
struct PreparedMachine : ::testing::Test {
    fs::path root;
    TPortRoots roots;

    fs::path Sys(const std::string& rel) const { return root / "sys" / rel; }

    // class/tty/NAME -> devices/PARENT/tty/NAME, with `device` pointing at PARENT.
    void AddTty(const std::string& name, const std::string& parent, const std::string& type,
                bool devNode = true) {
        const fs::path ttyDir = Sys("devices/" + parent + "/tty/" + name);
        fs::create_directories(ttyDir);
        fs::create_symlink(Sys("devices/" + parent), ttyDir / "device");
        if (!type.empty()) {
            WriteFile(ttyDir / "type", type);
        }
        fs::create_symlink(ttyDir, Sys("class/tty/" + name));
        if (devNode) {
            WriteFile(root / "dev" / name, "");
        }
    }

    void SetUp() override {
        char name[] = "/tmp/enum-ports-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        root = name;
        roots =
            TPortRoots{(root / "sys").string(), (root / "dev").string(), (root / "tmp").string()};
        fs::create_directories(Sys("class/tty"));
        fs::create_directories(root / "tmp");
        fs::create_directories(root / "dev/pts");

        AddTty("ttyS0", "pnp0/00:05", "4");
        AddTty("ttyS1", "platform/serial8250", "0");  // phantom
        AddTty("ttyS10", "platform/serial8250", "4");
        AddTty("ttyS2", "platform/serial8250", "4", false);  // no device node
        const std::string usb = "pci0000:00/0000:00:14.0/usb1/1-2";
        AddTty("ttyUSB0", usb + "/1-2:1.0/ttyUSB0", "");
        WriteFile(Sys("devices/" + usb + "/idVendor"), "0403");
        WriteFile(Sys("devices/" + usb + "/idProduct"), "6001");
        WriteFile(Sys("devices/" + usb + "/manufacturer"), "FTDI");
        WriteFile(Sys("devices/" + usb + "/product"), "FT232R USB UART");
        WriteFile(Sys("devices/" + usb + "/serial"), "A50285BI");
        const std::string acm = "pci0000:00/0000:00:14.0/usb1/1-3";
        AddTty("ttyACM0", acm + "/1-3:1.0", "");
        WriteFile(Sys("devices/" + acm + "/idVendor"), "0483");
        WriteFile(Sys("devices/" + acm + "/idProduct"), "5740");
        // A virtual console: no `device`, never a serial port.
        fs::create_directories(Sys("devices/virtual/tty/tty0"));
        fs::create_symlink(Sys("devices/virtual/tty/tty0"), Sys("class/tty/tty0"));
        WriteFile(root / "dev/tty0", "");

        WriteFile(root / "dev/pts/3", "");
        WriteFile(root / "dev/pts/4", "");
        WriteFile(root / "elsewhere", "");
        fs::create_symlink(root / "dev/pts/3", root / "tmp/ttyZENTA0");
        fs::create_symlink("../dev/pts/4", root / "tmp/ttyalpha");
        fs::create_symlink(root / "dev/pts/9", root / "tmp/ttySTALE");  // simulator gone
        fs::create_symlink(root / "elsewhere", root / "tmp/ttyOTHER");  // not a terminal
        fs::create_symlink(root / "dev/pts/3", root / "tmp/notatty");   // wrong name
        WriteFile(root / "tmp/ttyFILE", "");                            // not a link
        // Links to the multiplexer: opening one makes a new, unrelated pseudo-terminal.
        WriteFile(root / "dev/pts/ptmx", "");
        fs::create_symlink("pts/ptmx", root / "dev/ptmx");
        fs::create_symlink(root / "dev/pts/ptmx", root / "tmp/ttyPTMX");
        fs::create_symlink(root / "dev/ptmx", root / "tmp/ttyPTMX2");
    }

    void TearDown() override { fs::remove_all(root); }

    std::string Dev(const std::string& name) const { return roots.dev + "/" + name; }
    std::string Tmp(const std::string& name) const { return roots.tmp + "/" + name; }
};

}  // namespace

TEST_F(PreparedMachine, ListsAdaptersThenLinksThenBuiltInPorts) {
    std::vector<std::string> list = {"old entry"};
    EnumComPorts(list, roots.sysfs, roots.dev, roots.tmp);
    // Letters ignore case (ttyalpha before ttyZENTA0); no link to the multiplexer.
    const std::vector<std::string> expected = {Dev("ttyACM0"),   Dev("ttyUSB0"), Tmp("ttyalpha"),
                                               Tmp("ttyZENTA0"), Dev("ttyS0"),   Dev("ttyS10")};
    EXPECT_EQ(list, expected);
    for (const std::string& entry : list) {
        EXPECT_EQ(entry.find('\0'), std::string::npos);
    }
}

TEST_F(PreparedMachine, PhantomTestDecidesWhichSysfsPortsAreKept) {
    // A port without a type attribute is probed only by name; a ttyS without one whose
    // node does not answer TIOCGSERIAL is kept.
    AddTty("ttyS3", "platform/serial8250", "");
    auto ports = zenta::ListSysfsSerialPorts(roots);
    zenta::SortPortNames(ports);
    EXPECT_EQ(ports, (std::vector<std::string>{Dev("ttyACM0"), Dev("ttyUSB0"), Dev("ttyS0"),
                                               Dev("ttyS3"), Dev("ttyS10")}));

    ports = zenta::ListSysfsSerialPorts(roots, [](const std::string& dir, const std::string& dev) {
        return dev.find("ttyS") != std::string::npos || dir.find("ttyACM0") != std::string::npos;
    });
    EXPECT_EQ(ports, std::vector<std::string>{Dev("ttyUSB0")});
}

TEST_F(PreparedMachine, MachineWithoutPortsLeavesTheListAsItWas) {
    fs::remove_all(root / "sys");
    fs::remove_all(root / "tmp");
    fs::create_directories(root / "tmp");
    std::vector<std::string> list = {"COM1", "kept"};
    EnumComPorts(list, roots.sysfs, roots.dev, roots.tmp);
    EXPECT_EQ(list, (std::vector<std::string>{"COM1", "kept"}));
}

TEST_F(PreparedMachine, FriendlyNamesComeFromTheUsbParent) {
    using zenta::FriendlyPortName;
    EXPECT_EQ(FriendlyPortName(Dev("ttyUSB0"), roots.sysfs), "FTDI FT232R USB UART (A50285BI)");
    EXPECT_EQ(FriendlyPortName(Dev("ttyACM0"), roots.sysfs), "USB 0483:5740");
    EXPECT_EQ(FriendlyPortName(Dev("ttyS0"), roots.sysfs), "");
    EXPECT_EQ(FriendlyPortName(Tmp("ttyZENTA0"), roots.sysfs), "");
    EXPECT_EQ(FriendlyPortName("", roots.sysfs), "");

    EXPECT_EQ(zenta::PortListEntry(Dev("ttyUSB0"), roots.sysfs),
              Dev("ttyUSB0") + " FTDI FT232R USB UART (A50285BI)");
    EXPECT_EQ(zenta::PortListEntry(Dev("ttyS0"), roots.sysfs), Dev("ttyS0"));
}

TEST(PortOrder, NumbersCompareByValueInsideEachGroup) {
    std::vector<std::string> names = {"/dev/ttyS10",     "/dev/ttyUSB10", "/tmp/ttyB",
                                      "/dev/ttyS2",      "/dev/ttyACM1",  "/dev/ttyUSB2",
                                      "/tmp/ttyZENTA10", "/tmp/ttya",     "/tmp/ttyZENTA9",
                                      "/dev/ttyAMA0",    "/dev/ttyUSB02", "/dev/ttyS1"};
    std::sort(names.begin(), names.end(), zenta::PortOrderLess);
    const std::vector<std::string> expected = {"/dev/ttyACM1",   "/dev/ttyUSB02",   "/dev/ttyUSB2",
                                               "/dev/ttyUSB10",  "/tmp/ttya",       "/tmp/ttyB",
                                               "/tmp/ttyZENTA9", "/tmp/ttyZENTA10", "/dev/ttyAMA0",
                                               "/dev/ttyS1",     "/dev/ttyS2",      "/dev/ttyS10"};
    EXPECT_EQ(names, expected);
    // A strict order: nothing sorts before itself, names equal but for case are ordered.
    EXPECT_FALSE(zenta::PortOrderLess("/dev/ttyS1", "/dev/ttyS1"));
    EXPECT_NE(zenta::PortOrderLess("/tmp/ttyA", "/tmp/ttya"),
              zenta::PortOrderLess("/tmp/ttya", "/tmp/ttyA"));
}

TEST(FriendlyName, JoinsKnownPartsWithoutRepeatingTheVendor) {
    using zenta::JoinFriendlyName;
    EXPECT_EQ(JoinFriendlyName("Silicon Labs", "Silicon Labs CP2102 Bridge", "0001"),
              "Silicon Labs CP2102 Bridge (0001)");
    EXPECT_EQ(JoinFriendlyName("", "USB Serial", ""), "USB Serial");
    EXPECT_EQ(JoinFriendlyName("QinHeng", "", ""), "QinHeng");
    EXPECT_EQ(JoinFriendlyName("", "", "X1"), "(X1)");
    EXPECT_EQ(JoinFriendlyName("", "", ""), "");
}

TEST(EnumComPorts, FindsALiveSimulatorLinkOnThisMachine) {
    TPty pty;
    const std::string link = "/tmp/ttyZENTATEST" + std::to_string(getpid());
    fs::remove(link);
    fs::create_symlink(pty.SlavePath(), link);
    std::vector<std::string> list;
    EnumComPorts(list);
    fs::remove(link);

    EXPECT_NE(std::find(list.begin(), list.end(), link), list.end());
    EXPECT_TRUE(std::is_sorted(list.begin(), list.end(), zenta::PortOrderLess));
}
