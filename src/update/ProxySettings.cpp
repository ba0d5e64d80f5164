#include "update/ProxySettings.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace zenta {
namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) {
        s.remove_prefix(1);
    }
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) {
        s.remove_suffix(1);
    }
    return s;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

std::string PercentDecode(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && HexDigit(s[i + 1]) >= 0 && HexDigit(s[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(s[i + 1]) * 16 + HexDigit(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// From "proto=a;proto2=b" the entry for `scheme`; an entry without "=" serves every scheme.
std::string_view PickProtocolEntry(std::string_view list, std::string_view scheme) {
    std::string_view fallback;
    while (!list.empty()) {
        const std::size_t semi = list.find(';');
        const std::string_view entry = Trim(list.substr(0, semi));
        list = semi == std::string_view::npos ? std::string_view() : list.substr(semi + 1);
        const std::size_t eq = entry.find('=');
        if (eq == std::string_view::npos) {
            fallback = entry;
        } else if (Lower(Trim(entry.substr(0, eq))) == Lower(scheme)) {
            return Trim(entry.substr(eq + 1));
        }
    }
    return fallback;
}

}  // namespace

ProxySetting ParseProxyValue(std::string_view value, std::string_view scheme) {
    ProxySetting p;
    value = Trim(value);
    if (value.find('=') != std::string_view::npos && value.find("://") == std::string_view::npos) {
        value = PickProtocolEntry(value, scheme);
    }
    if (value.empty()) {
        return p;
    }
    p.found = true;
    if (const std::size_t sep = value.find("://"); sep != std::string_view::npos) {
        p.socks = Lower(value.substr(0, sep)).starts_with("socks");
        value.remove_prefix(sep + 3);
    }
    value = value.substr(0, value.find('/'));
    if (const std::size_t at = value.rfind('@'); at != std::string_view::npos) {
        const std::string_view userInfo = value.substr(0, at);
        const std::size_t colon = userInfo.find(':');
        p.user = PercentDecode(userInfo.substr(0, colon));
        if (colon != std::string_view::npos) {
            p.password = PercentDecode(userInfo.substr(colon + 1));
        }
        value.remove_prefix(at + 1);
    }
    if (value.starts_with('[')) {
        const std::size_t close = value.find(']');
        p.host = std::string(
            value.substr(1, close == std::string_view::npos ? value.size() - 1 : close - 1));
        value = close == std::string_view::npos ? std::string_view() : value.substr(close + 1);
        if (value.starts_with(':')) {
            p.port = std::string(value.substr(1));
        }
        return p;
    }
    const std::size_t colon = value.find(':');
    p.host = std::string(value.substr(0, colon));
    if (colon != std::string_view::npos) {
        p.port = std::string(value.substr(colon + 1));
    }
    return p;
}

bool NoProxyMatches(std::string_view list, std::string_view host) {
    const std::string h = Lower(Trim(host));
    std::size_t pos = 0;
    while (pos < list.size()) {
        const std::size_t end = list.find_first_of(", \t", pos);
        std::string_view entry =
            Trim(list.substr(pos, end == std::string_view::npos ? list.npos : end - pos));
        pos = end == std::string_view::npos ? list.size() : end + 1;
        if (entry.empty()) {
            continue;
        }
        if (entry == "*") {
            return true;
        }
        if (entry.starts_with("*.")) {
            entry.remove_prefix(1);
        }
        if (entry.starts_with('[')) {
            entry = entry.substr(1, entry.find(']') - 1);
        } else if (std::count(entry.begin(), entry.end(), ':') == 1) {
            entry = entry.substr(0, entry.find(':'));
        }
        const std::string e = Lower(entry);
        if (h.empty() || e.empty()) {
            continue;
        }
        if (e.front() == '.') {
            if (h.ends_with(e) || h == e.substr(1)) {
                return true;
            }
        } else if (h == e || h.ends_with("." + e)) {
            return true;
        }
    }
    return false;
}

ProxySetting ProxyFromEnvironment(const EnvReader& env, std::string_view scheme,
                                  std::string_view host) {
    auto read = [&](const char* name) -> std::string_view {
        const char* v = env(name);
        return v ? Trim(v) : std::string_view();
    };
    const bool https = Lower(scheme) == "https";
    const char* names[] = {https ? "https_proxy" : "http_proxy",
                           https ? "HTTPS_PROXY" : "HTTP_PROXY", "all_proxy", "ALL_PROXY"};
    ProxySetting p;
    for (const char* name : names) {
        if (const std::string_view v = read(name); !v.empty()) {
            p = ParseProxyValue(v, https ? "https" : "http");
            break;
        }
    }
    if (!p.found) {
        return p;
    }
    std::string_view exempt = read("no_proxy");
    if (exempt.empty()) {
        exempt = read("NO_PROXY");
    }
    p.enabled = !p.host.empty() && !NoProxyMatches(exempt, host);
    return p;
}

int ProxyPortNumber(std::string_view text) {
    text = Trim(text);
    int port = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (ec != std::errc() || end != text.data() + text.size() || port < 1 || port > 65535) {
        return 8080;
    }
    return port;
}

}  // namespace zenta
