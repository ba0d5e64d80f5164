#include "app/PortNames.h"

#include <gtest/gtest.h>

TEST(NormalizePortName, ComEntries) {
    EXPECT_EQ(NormalizePortName("COM3 USB-SERIAL CH340"), "COM3");
    EXPECT_EQ(NormalizePortName("COM012"), "COM12");
    EXPECT_EQ(NormalizePortName("Port COM 7 spare"), "COM7");
    EXPECT_EQ(NormalizePortName("COM-4"), "COM-4");
    EXPECT_EQ(NormalizePortName("COMx"), "COM0");
    EXPECT_EQ(NormalizePortName("xCOM5COM6"), "COM5");
    EXPECT_EQ(NormalizePortName("com3"), "");
    EXPECT_EQ(NormalizePortName(""), "");
    // An absurd digit run saturates instead of overflowing.
    EXPECT_EQ(NormalizePortName("COM99999999999999999999"), "COM2147483647");
}

TEST(NormalizePortName, DevicePaths) {
    EXPECT_EQ(NormalizePortName("/dev/ttyUSB0 FTDI FT232R USB UART"), "/dev/ttyUSB0");
    EXPECT_EQ(NormalizePortName("/tmp/ttyZENTA0"), "/tmp/ttyZENTA0");
    // A path is never read by the COM rule, even when it holds "COM".
    EXPECT_EQ(NormalizePortName("/dev/ttyCOM3 x"), "/dev/ttyCOM3");
    EXPECT_EQ(NormalizePortName("ttyUSB0 no slash"), "");
}

TEST(NormalizePortName, NetworkPortsKeepTheirUrl) {
    EXPECT_EQ(NormalizePortName("rfc2217://10.0.0.5:2217"), "rfc2217://10.0.0.5:2217");
    EXPECT_EQ(NormalizePortName("socket://rack-3:4001 bench PSU"), "socket://rack-3:4001");
    // Never read by the COM rule.
    EXPECT_EQ(NormalizePortName("rfc2217://COM3:1"), "rfc2217://COM3:1");
}

TEST(PortEntries, AdaptersFirstThenLinksThenTheRest) {
    const auto entries = BuildPortEntries({{"/dev/ttyS10", ""},
                                           {"/dev/ttyUSB10", ""},
                                           {"/tmp/ttyZENTA1", ""},
                                           {"/dev/ttyUSB2", "CH340 serial"},
                                           {"/dev/ttyS2", ""},
                                           {"/dev/ttyACM0", "Board"},
                                           {"/tmp/ttyZENTA0", ""},
                                           {"/dev/ttyS0", ""},
                                           {"/dev/ttyUSB2", "CH340 serial"},
                                           {"/dev/ttyCH341USB0", ""},
                                           {"/dev/ttyUSB02", ""}});
    const std::vector<std::string> expected = {
        "/dev/ttyACM0 Board", "/dev/ttyCH341USB0", "/dev/ttyUSB02",  "/dev/ttyUSB2 CH340 serial",
        "/dev/ttyUSB10",      "/tmp/ttyZENTA0",    "/tmp/ttyZENTA1", "/dev/ttyS0",
        "/dev/ttyS2",         "/dev/ttyS10"};
    EXPECT_EQ(entries, expected);
}

TEST(PortEntries, SelectionAndDropDownWidth) {
    const std::vector<std::string> entries = {"COM1", "COM10 USB-SERIAL CH340", "/dev/ttyUSB0 A"};
    EXPECT_EQ(PickPortEntry(entries, "COM1"), 0);
    EXPECT_EQ(PickPortEntry(entries, "COM10"), 1);
    EXPECT_EQ(PickPortEntry(entries, "/dev/ttyUSB0"), 2);
    EXPECT_EQ(PickPortEntry(entries, "COM7"), 0);
    EXPECT_EQ(PickPortEntry({}, "COM1"), -1);
    EXPECT_EQ(PortDropDownWidth(entries), static_cast<int>(22 * 6.5));
    EXPECT_EQ(PortDropDownWidth({"abc"}), 19);  // 19.5 truncated
    EXPECT_EQ(PortDropDownWidth({}), 0);
}
