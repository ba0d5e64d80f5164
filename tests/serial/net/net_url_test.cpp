// Network port names: the two schemes, host names and ports checked before any connect.
#include <gtest/gtest.h>

#include "serial/net/NetUrl.h"

using namespace zenta::net;

TEST(NetUrl, AcceptsBothSchemesWithNamesAddressesAndPorts) {
    struct Case {
        const char* name;
        TNetScheme scheme;
        const char* host;
        uint16_t port;
    };
    for (const Case& c :
         {Case{"rfc2217://localhost:2217", TNetScheme::Rfc2217, "localhost", 2217},
          Case{"socket://192.168.1.10:4001/", TNetScheme::Socket, "192.168.1.10", 4001},
          Case{"rfc2217://[::1]:65535", TNetScheme::Rfc2217, "::1", 65535},
          Case{"socket://rack-3.lab.example.org:1", TNetScheme::Socket, "rack-3.lab.example.org",
               1}}) {
        TNetAddress a;
        EXPECT_EQ(ParseNetPortName(c.name, a), "") << c.name;
        EXPECT_EQ(a.scheme, c.scheme) << c.name;
        EXPECT_EQ(a.host, c.host) << c.name;
        EXPECT_EQ(a.port, c.port) << c.name;
    }
}

TEST(NetUrl, RefusesEverythingElseWithAReason) {
    for (const char* name : {"telnet://host:23",
                             "rfc2217:/host:1",
                             "RFC2217://host:1",
                             "rfc2217://host",
                             "rfc2217://host:",
                             "rfc2217://host:0",
                             "rfc2217://host:65536",
                             "rfc2217://host:+1",
                             "rfc2217://host:12a",
                             "rfc2217://host:000001",
                             "rfc2217://:2217",
                             "rfc2217://-a:1",
                             "rfc2217://a-:1",
                             "rfc2217://a..b:1",
                             "rfc2217://a b:1",
                             "rfc2217://a;reboot:1",
                             "rfc2217://$(id):1",
                             "rfc2217://a/b:1",
                             "rfc2217://user@host:1",
                             "rfc2217://::1:1",
                             "rfc2217://[::1]",
                             "rfc2217://[::g]:1",
                             "rfc2217://host:1?ign_set_control"}) {
        TNetAddress a;
        EXPECT_NE(ParseNetPortName(name, a), "") << name;
    }
    TNetAddress a;
    EXPECT_NE(ParseNetPortName("rfc2217://" + std::string(64, 'a') + ":1", a), "");
    EXPECT_EQ(ParseNetPortName("rfc2217://" + std::string(63, 'a') + ":1", a), "");
}

TEST(NetUrl, OnlySchemeNamesLeaveTheDevicePath) {
    EXPECT_TRUE(IsNetPortName("rfc2217://x"));
    EXPECT_TRUE(IsNetPortName("ftp://x"));  // refused later, with its reason
    EXPECT_FALSE(IsNetPortName("/dev/ttyUSB0"));
    EXPECT_FALSE(IsNetPortName("COM3"));
    EXPECT_FALSE(IsNetPortName("/tmp/odd://name"));
    EXPECT_FALSE(IsNetPortName("://x"));
}
