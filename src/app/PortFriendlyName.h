#pragma once

#include <string>

// A readable name for a serial device path ("/dev/ttyUSB0" -> "FTDI FT232R USB UART A1B2"),
// from the udev database or else from the USB device's sysfs attributes; empty when none.
// sysfsRoot is "/sys" except in tests.
std::string PortFriendlyName(const std::string& devicePath, const std::string& sysfsRoot = "/sys");
