// What the window needs to find a serial device again after it went away: its stable
// identity, whether it is back, and which folder events may announce it. No Qt.
#pragma once

#include <cstdint>
#include <string>

namespace zenta {

inline constexpr const char* kSerialByIdDir = "/dev/serial/by-id";

// The device behind a port path (following links); 0 when there is none.
uint64_t DeviceNumber(const std::string& path);

// The name in byIdDir whose link leads to the same device as devicePath; empty when
// none does (no udev, a pseudo-terminal).
std::string SerialIdentity(const std::string& devicePath, const std::string& byIdDir);

// The file system's clock (nanoseconds), against which link change times are compared.
int64_t FileClockNs();

// Where the marked port is now: `path` when it names a character device again, else the
// device the by-id name `identity` leads to (an adapter back under a new number); empty
// while neither is there. A link at `path` counts only when made at or after
// `openedAtNs`: a stale link left by a program that ended may lead to a terminal number
// that now belongs to someone else.
std::string ReturnedPort(const std::string& path, const std::string& identity,
                         const std::string& byIdDir, int64_t openedAtNs);

// Whether a name appearing in a watched folder may be a serial port: tty names, without
// the dotted names of files being built beside their final place.
bool MayBePortName(const std::string& fileName);

// The folder to watch for a port outside /dev (a published link such as /tmp/ttyZENTA0);
// empty for device nodes, which the /dev watch covers, and for names that are no path.
std::string LinkFolder(const std::string& portPath);

}  // namespace zenta
