// Port names that reach a serial port on another machine: rfc2217://host:port (Telnet with
// the COM-PORT option) and socket://host:port (plain bytes over TCP).
#pragma once

#include <cstdint>
#include <string>

namespace zenta::net {

enum class TNetScheme : uint8_t { Rfc2217, Socket };

struct TNetAddress {
    TNetScheme scheme = TNetScheme::Rfc2217;
    std::string host;  // a name, dotted IPv4, or IPv6 without its brackets
    uint16_t port = 0;
};

// True for any name of the form scheme://..., valid or not: such a name is never a device
// path, and a wrong one must be refused with a reason rather than opened as a file.
bool IsNetPortName(const std::string& name);

// Parses a network port name. Returns an empty string on success, else why it is refused.
std::string ParseNetPortName(const std::string& name, TNetAddress& out);

}  // namespace zenta::net
