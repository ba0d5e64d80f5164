// Serial ports of a Linux machine: sysfs devices, pseudo-terminal links in /tmp, and
// friendly names for the port list.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "serial/CPort.h"

namespace zenta {

// Where the lists are read from; tests point these at prepared trees.
struct TPortRoots {
    std::string sysfs = "/sys";
    std::string dev = "/dev";
    std::string tmp = "/tmp";
};

// Whether a serial device registered in sysfs is a phantom (a legacy 8250 port with no
// hardware behind it). `ttySysDir` is e.g. /sys/class/tty/ttyS3, `devicePath` /dev/ttyS3.
using TPhantomTest =
    std::function<bool(const std::string& ttySysDir, const std::string& devicePath)>;

// Phantom when the sysfs `type` attribute reads 0 (unknown UART). Without that attribute
// an 8250-named port (ttyS*) is asked with TIOCGSERIAL; anything else is kept.
bool IsPhantomSerialPort(const std::string& ttySysDir, const std::string& devicePath);

// Device paths (devRoot + "/" + name) of the ttys under sysfsRoot/class/tty that have a
// `device` (so real serial hardware, not consoles or pseudo-terminals), whose device node
// exists and which are not phantoms. Unsorted.
std::vector<std::string> ListSysfsSerialPorts(const TPortRoots& roots,
                                              const TPhantomTest& isPhantom = IsPhantomSerialPort);

// Symbolic links tmpDir/tty* that lead to an existing pseudo-terminal (devRoot/pts/N), the
// way socat and the device simulator publish a virtual port. A link to the multiplexer
// (ptmx) is left out: opening it would create a new, unrelated pseudo-terminal. Unsorted.
std::vector<std::string> ListPtyLinks(const TPortRoots& roots);

// Sorts by PortOrderLess.
void SortPortNames(std::vector<std::string>& names);

// Fills `list` with the union of both lists in port order. With no port at all `list` is
// left as it was. Returns whether anything was found.
bool CollectComPorts(std::vector<std::string>& list, const TPortRoots& roots,
                     const TPhantomTest& isPhantom = IsPhantomSerialPort);

// "Vendor Model (serial)" of the USB device behind a port, from the sysfs attributes of
// its USB parent (manufacturer, product, serial; idVendor:idProduct when no strings).
// Empty when nothing is known. `ttySysDir` is e.g. /sys/class/tty/ttyUSB0.
std::string SysfsFriendlyName(const std::string& ttySysDir);

}  // namespace zenta

// Until every caller names them by namespace.
using zenta::FriendlyPortName;
using zenta::PortListEntry;
