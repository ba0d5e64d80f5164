#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace zenta {

// A proxy as the hidden proxy controls hold it: host and port as texts.
struct ProxySetting {
    bool found = false;    // some proxy value was read
    bool enabled = false;  // ... and it applies to the update page's host
    bool socks = false;    // a socks5:// value; otherwise an HTTP proxy
    std::string host;
    std::string port;  // all after the host's ":"; may be empty or not a number
    std::string user;
    std::string password;
};

// One proxy value: "host:port", "host", "http://user:pw@host:port/", "[::1]:3128", or a
// per-protocol list "http=host:port;https=host:port" of which the entry for `scheme` is
// taken. A value without ":" gives an empty port.
ProxySetting ParseProxyValue(std::string_view value, std::string_view scheme);

// True when the host is exempt by a no_proxy list ("*", "example.org", ".example.org",
// "*.example.org", "10.0.0.1", entries with ":port"; separated by commas or blanks).
bool NoProxyMatches(std::string_view list, std::string_view host);

// The proxy the environment names for a request with this scheme to this host:
// http_proxy / https_proxy (either case), then all_proxy, minus no_proxy.
using EnvReader = std::function<const char*(const char*)>;
ProxySetting ProxyFromEnvironment(const EnvReader& env, std::string_view scheme,
                                  std::string_view host);

// The port the request uses: the number in the text, 8080 when it is not a valid port.
int ProxyPortNumber(std::string_view text);

}  // namespace zenta
