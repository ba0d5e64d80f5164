// PORT arguments of the command line: device names, paths, and network ports checked
// before anything is opened.
#include <gtest/gtest.h>

#include "app/core/CommandLine.h"

using zenta::PortFromArgument;

TEST(CommandLinePort, NetworkPortsStayAsWrittenAndBadOnesAreRefused) {
    for (const char* good :
         {"rfc2217://127.0.0.1:2217", "socket://rack-3.lab:4001", "rfc2217://[::1]:7000"}) {
        const auto port = PortFromArgument(QString::fromLatin1(good));
        ASSERT_TRUE(port) << good;
        EXPECT_EQ(port->toStdString(), good);
    }
    for (const char* bad : {"rfc2217://host", "telnet://host:23", "rfc2217://a;b:1",
                            "socket://host:99999", "rfc2217://$(id):1"}) {
        EXPECT_FALSE(PortFromArgument(QString::fromLatin1(bad))) << bad;
    }
    // Device names keep their meaning.
    EXPECT_EQ(PortFromArgument(QStringLiteral("ttyUSB0"))->toStdString(), "/dev/ttyUSB0");
    EXPECT_EQ(PortFromArgument(QStringLiteral("/tmp/ttyZENTA0"))->toStdString(), "/tmp/ttyZENTA0");
}
