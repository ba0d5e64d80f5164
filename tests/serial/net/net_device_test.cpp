// The network device against servers that misbehave on purpose (played by the test on
// loopback): silence, changed values, notifications, floods, a cut connection.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "serial/CPortTypes.h"
#include "serial/net/ComPortOption.h"
#include "serial/net/NetSerialDevice.h"
#include "serial/net/Telnet.h"
#include "serial/net/support/ScriptedServer.h"

using namespace zenta::net;
using net_test::AgreeComPort;
using net_test::ReadUntil;
using net_test::SendAll;
using net_test::TScriptedServer;

namespace {

// Short, so that waiting out a silent server stays cheap.
constexpr int kAnswerMs = 300;

TDCB Line(uint32_t baud, bool dtr) {
    TDCB dcb;
    dcb.BaudRate = baud;
    dcb.ByteSize = 8;
    dcb.Flags = DCB_fBinary | (dtr ? 1u << DCB_fDtrControlShift : 0) | (1u << DCB_fRtsControlShift);
    return dcb;
}

std::string Answer(uint8_t command, std::string value) {
    return ComPortCommand(static_cast<uint8_t>(command + cpo::kServer), value);
}

// Reads from the device until `want` bytes came or the stream ended (bounded).
std::string ReadSome(TNetSerialDevice& dev, std::size_t want, bool* ended = nullptr) {
    std::string got;
    char buf[65536];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (got.size() < want && std::chrono::steady_clock::now() < deadline) {
        dev.Wait(nullptr, true, false, 50);
        const long n = dev.Read(buf, sizeof buf);
        if (n == 0) {
            if (ended) {
                *ended = true;
            }
            break;
        }
        if (n > 0) {
            got.append(buf, static_cast<std::size_t>(n));
        }
    }
    return got;
}

std::string Joined(const std::vector<std::string>& notes) {
    std::string all;
    for (const std::string& n : notes) {
        all += n + "\n";
    }
    return all;
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

}  // namespace

TEST(NetDevice, AServerWithoutTheOptionIsRefusedWithTheReason) {
    TScriptedServer silent([](int fd) {
        std::string got;
        ReadUntil(fd, "never", got, 1000);
    });
    TNetSerialDevice dev(kAnswerMs);
    EXPECT_EQ(dev.Open(silent.Url()), EPROTONOSUPPORT);
    EXPECT_NE(dev.OpenError().find("did not answer the COM-PORT option"), std::string::npos);
    EXPECT_FALSE(dev.IsOpen());

    TScriptedServer refusing([](int fd) {
        std::string got;
        ReadUntil(fd, "\xff\xfb\x2c", got);
        SendAll(fd, "\xff\xfe\x2c");  // DONT COM-PORT
    });
    TNetSerialDevice dev2(kAnswerMs);
    EXPECT_EQ(dev2.Open(refusing.Url()), EPROTONOSUPPORT);
    EXPECT_NE(dev2.OpenError().find("refused the COM-PORT option"), std::string::npos);
}

TEST(NetDevice, UnansweredSettingsCostOneWaitAndChangedOnesAreNamed) {
    std::string seen;
    TScriptedServer server([&seen](int fd) {
        if (!AgreeComPort(fd, seen)) {
            return;
        }
        // Answers the rate with another and leaves everything else unanswered.
        ReadUntil(fd, SetBaudRateCommand(115200), seen);
        SendAll(fd, Answer(cpo::kSetBaudRate, std::string("\0\0\x25\x80", 4)));
        ReadUntil(fd, ComPortCommand(cpo::kSetControl, cpo::kDtrOn), seen);
    });
    TNetSerialDevice dev(kAnswerMs);
    ASSERT_EQ(dev.Open(server.Url()), 0) << dev.OpenError();
    EXPECT_EQ(dev.Configure(Line(115200, false)), 0);  // unanswered is no refusal
    std::string notes = Joined(dev.TakeNotes());
    EXPECT_NE(notes.find("set 9600 bit/s instead of 115200 bit/s"), std::string::npos) << notes;
    EXPECT_NE(notes.find("did not confirm 8 data bits"), std::string::npos) << notes;
    EXPECT_EQ(Count(notes, "DTR/RTS"), 1u) << notes;

    // Later line changes are sent, not waited for, and not reported again.
    EXPECT_EQ(dev.Configure(Line(115200, true)), 0);
    EXPECT_EQ(dev.SetRTS(false), 0);
    EXPECT_EQ(Joined(dev.TakeNotes()), "");
    // An unanswered purge likewise: waited for and said once.
    EXPECT_EQ(dev.Flush(true, true), 0);
    EXPECT_EQ(dev.Flush(true, false), 0);
    EXPECT_EQ(Joined(dev.TakeNotes()), "the server did not confirm the purge\n");
    dev.Close();
}

TEST(NetDevice, NotificationsBecomeModemLinesErrorsAndAPauseInSending) {
    std::string seen;
    {
        TScriptedServer server([&seen](int fd) {
            if (!AgreeComPort(fd, seen)) {
                return;
            }
            // The masks and a signature request come right after the option is agreed.
            ReadUntil(fd, ComPortCommand(cpo::kSetModemStateMask, uint8_t{0xFF}), seen);
            SendAll(fd, Answer(cpo::kNotifyModemState, "\x90") +
                            Answer(cpo::kNotifyLineState, "\x0c") +
                            Answer(cpo::kFlowControlSuspend, "") + "data");
            // Commands still come while data is held: the break is answered, then sending
            // may resume.
            ReadUntil(fd, ComPortCommand(cpo::kSetControl, cpo::kBreakOn), seen);
            SendAll(fd, Answer(cpo::kSetControl, "\x05") + Answer(cpo::kFlowControlResume, "") +
                            "more");
            ReadUntil(fd, "after\xff\xff", seen);
            SendAll(fd, Answer(cpo::kSignature, "") + "end");
            ReadUntil(fd, SignatureCommand("zenta"), seen);
        });
        TNetSerialDevice dev(kAnswerMs);
        ASSERT_EQ(dev.Open(server.Url()), 0) << dev.OpenError();
        EXPECT_EQ(ReadSome(dev, 4), "data");
        uint32_t modem = 0;
        EXPECT_EQ(dev.GetModemStatus(modem), 0);
        EXPECT_EQ(modem, MS_CTS_ON | MS_RLSD_ON);
        TLineCounters c;
        EXPECT_EQ(dev.Counters(c), 0);
        EXPECT_EQ(c.frame, 1u);
        EXPECT_EQ(c.parity, 1u);
        EXPECT_EQ(c.overrun, 0u);

        EXPECT_EQ(dev.Write("held", 4), -EAGAIN);
        EXPECT_EQ(dev.SetBreak(true), 0);
        EXPECT_EQ(ReadSome(dev, 4), "more");
        EXPECT_EQ(dev.Write("after\xff", 6), 6);
        EXPECT_EQ(ReadSome(dev, 3), "end");
        EXPECT_EQ(Joined(dev.TakeNotes()), "");  // the break was confirmed
        dev.Close();
    }
    // Our signature went out when the server asked for it.
    EXPECT_NE(seen.find(SignatureCommand("zenta")), std::string::npos);
}

TEST(NetDevice, FloodsAndEndlessSubNegotiationsNeitherStallNorLeakIntoTheData) {
    TScriptedServer server([](int fd) {
        std::string seen;
        if (!AgreeComPort(fd, seen)) {
            return;
        }
        std::string flood;
        for (int i = 0; i < 20000; ++i) {
            flood += "\xff\xfd\x63";  // DO an unknown option, again and again
        }
        SendAll(fd, flood + "a");
        SendAll(fd, std::string("\xff\xfa\x2c\x64", 4));  // a signature that never ends
        const std::string junk(1 << 20, 's');
        for (int i = 0; i < 4; ++i) {
            SendAll(fd, junk);
        }
        SendAll(fd,
                "\xff\xf0"
                "b");
    });
    TNetSerialDevice dev(kAnswerMs);
    ASSERT_EQ(dev.Open(server.Url()), 0) << dev.OpenError();
    EXPECT_EQ(ReadSome(dev, 2), "ab");
    EXPECT_EQ(dev.ServerSignature(), "");  // too long to be meant
    dev.Close();
}

TEST(NetDevice, AConnectionCutMidFrameEndsTheStreamAfterItsData) {
    for (const char* scheme : {"rfc2217", "socket"}) {
        SCOPED_TRACE(scheme);
        const bool telnet = std::string(scheme) == "rfc2217";
        TScriptedServer server([telnet](int fd) {
            std::string seen;
            if (telnet && !AgreeComPort(fd, seen)) {
                return;
            }
            SendAll(fd, std::string("abc\xff\xfa\x2c\x01\x00", 8));
        });
        TNetSerialDevice dev(kAnswerMs);
        ASSERT_EQ(dev.Open(server.Url(scheme)), 0) << dev.OpenError();
        bool ended = false;
        // Over socket:// every byte is data.
        const std::string expect = telnet ? "abc" : std::string("abc\xff\xfa\x2c\x01\x00", 8);
        EXPECT_EQ(ReadSome(dev, 100, &ended), expect);
        EXPECT_TRUE(ended);
        EXPECT_EQ(dev.Classify(ECONNRESET), zenta::TDeviceFault::Gone);
        EXPECT_LT(dev.Write("x", 1), 0);
        dev.Close();
    }
}
