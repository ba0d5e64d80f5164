#include "serial/net/NetUrl.h"

#include <arpa/inet.h>

#include <cctype>

namespace zenta::net {

namespace {

bool IsHostNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.';
}

// Host names as DNS allows them (letters, digits, hyphens; labels of 1 to 63, 253 in all).
bool ValidHostName(const std::string& host) {
    if (host.empty() || host.size() > 253) {
        return false;
    }
    std::size_t label = 0;
    char prev = '.';
    for (char c : host) {
        if (!IsHostNameChar(c)) {
            return false;
        }
        if (c == '.') {
            if (label == 0 || prev == '-') {
                return false;
            }
            label = 0;
        } else {
            if ((label == 0 && c == '-') || ++label > 63) {
                return false;
            }
        }
        prev = c;
    }
    return prev != '-';
}

}  // namespace

bool IsNetPortName(const std::string& name) {
    const std::size_t colon = name.find("://");
    if (colon == std::string::npos || colon == 0) {
        return false;
    }
    for (std::size_t i = 0; i < colon; ++i) {
        const char c = name[i];
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') {
            return false;
        }
    }
    return true;
}

std::string ParseNetPortName(const std::string& name, TNetAddress& out) {
    std::string rest;
    if (name.rfind("rfc2217://", 0) == 0) {
        out.scheme = TNetScheme::Rfc2217;
        rest = name.substr(10);
    } else if (name.rfind("socket://", 0) == 0) {
        out.scheme = TNetScheme::Socket;
        rest = name.substr(9);
    } else {
        return "only rfc2217://host:port and socket://host:port name a network port";
    }
    if (!rest.empty() && rest.back() == '/') {
        rest.pop_back();
    }
    std::string host;
    std::string port;
    if (!rest.empty() && rest.front() == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string::npos || close + 1 >= rest.size() || rest[close + 1] != ':') {
            return "an IPv6 address is written [address]:port";
        }
        host = rest.substr(1, close - 1);
        port = rest.substr(close + 2);
        in6_addr a6{};
        if (::inet_pton(AF_INET6, host.c_str(), &a6) != 1) {
            return "not an IPv6 address: " + host;
        }
    } else {
        const std::size_t colon = rest.rfind(':');
        if (colon == std::string::npos) {
            return "the port number is missing (host:port)";
        }
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (!ValidHostName(host)) {
            return "not a host name: " + host;
        }
    }
    if (port.empty() || port.size() > 5) {
        return "not a TCP port number: " + port;
    }
    uint32_t value = 0;
    for (char c : port) {
        if (c < '0' || c > '9') {
            return "not a TCP port number: " + port;
        }
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (value == 0 || value > 65535) {
        return "a TCP port number is 1 to 65535";
    }
    out.host = host;
    out.port = static_cast<uint16_t>(value);
    return {};
}

}  // namespace zenta::net
