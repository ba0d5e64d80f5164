// The Telnet framing and RFC 2217 codec on their own: escaping, negotiation, bounded
// sub-negotiations, and the server's answers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/net/ComPortOption.h"
#include "serial/net/Telnet.h"

using namespace zenta::net;
using namespace zenta::net::telnet;

namespace {

std::string Bytes(std::initializer_list<int> v) {
    std::string s;
    for (int b : v) {
        s.push_back(static_cast<char>(b));
    }
    return s;
}

std::string Feed(TTelnetCodec& codec, const std::string& in) {
    std::string data;
    codec.Feed(in.data(), in.size(), data);
    return data;
}

struct Sub {
    uint8_t option;
    std::string payload;
};

}  // namespace

TEST(TelnetCodec, EveryByteValueSurvivesEscapingWhateverTheSplit) {
    std::string all;
    for (int v = 0; v < 256; ++v) {
        all.push_back(static_cast<char>(v));
    }
    all += "\xff\xff\xff";
    std::string wire;
    AppendEscaped(wire, all.data(), all.size());
    EXPECT_EQ(wire.size(), all.size() + 4);
    for (std::size_t piece : {wire.size(), std::size_t{1}, std::size_t{2}, std::size_t{7}}) {
        TTelnetCodec codec;
        std::string data;
        for (std::size_t i = 0; i < wire.size(); i += piece) {
            codec.Feed(wire.data() + i, std::min(piece, wire.size() - i), data);
        }
        EXPECT_EQ(data, all) << "pieces of " << piece;
        EXPECT_EQ(codec.TakeReplies(), "");
    }
}

TEST(TelnetCodec, NegotiationAcceptsItsOptionsRefusesOthersAndNeverLoops) {
    TTelnetCodec codec;
    EXPECT_EQ(codec.Greeting(true),
              Bytes({kIAC, kWILL, 0, kIAC, kDO, 0, kIAC, kWILL, 3, kIAC, kDO, 3, kIAC, kWILL, 44}));
    // Answers to our requests are not answered again.
    EXPECT_EQ(Feed(codec, Bytes({kIAC, kDO, 0, kIAC, kWILL, 0, kIAC, kDO, 44})), "");
    EXPECT_EQ(codec.TakeReplies(), "");
    EXPECT_TRUE(codec.LocalEnabled(kOptComPort));
    EXPECT_TRUE(codec.RemoteEnabled(kOptBinary));
    // Unknown options are refused, every time they are asked; a repeat of an enabled
    // option changes nothing and gets no answer.
    Feed(codec, Bytes({kIAC, kWILL, 1, kIAC, kDO, 24, kIAC, kDO, 24, kIAC, kDO, 0}));
    EXPECT_EQ(codec.TakeReplies(), Bytes({kIAC, kDONT, 1, kIAC, kWONT, 24, kIAC, kWONT, 24}));
    // The server turns an option off: acknowledged once.
    Feed(codec, Bytes({kIAC, kWONT, 0, kIAC, kWONT, 0}));
    EXPECT_EQ(codec.TakeReplies(), Bytes({kIAC, kDONT, 0}));
    EXPECT_FALSE(codec.RemoteEnabled(kOptBinary));
    // Commands without meaning for a client vanish from the data.
    EXPECT_EQ(Feed(codec, Bytes({'a', kIAC, kNOP, 'b', kIAC, 249, 'c'})), "abc");
}

TEST(TelnetCodec, ARefusedComPortOptionIsSeenAndAFloodGetsBoundedAnswers) {
    TTelnetCodec codec;
    codec.Greeting(true);
    Feed(codec, Bytes({kIAC, kDONT, 44}));
    EXPECT_TRUE(codec.LocalRefused(kOptComPort));
    EXPECT_FALSE(codec.LocalEnabled(kOptComPort));
    EXPECT_EQ(codec.TakeReplies(), "");

    std::string flood;
    for (int i = 0; i < 100000; ++i) {
        flood += Bytes({kIAC, kDO, 99});
    }
    EXPECT_EQ(Feed(codec, flood), "");
    EXPECT_LE(codec.TakeReplies().size(), TTelnetCodec::kMaxReplies);
}

TEST(TelnetCodec, SubNegotiationsAreUnescapedBoundedAndEndedByAnyCommand) {
    TTelnetCodec codec;
    std::vector<Sub> subs;
    codec.SetSubHandler([&](uint8_t option, std::string_view payload) {
        subs.push_back({option, std::string(payload)});
    });
    EXPECT_EQ(Feed(codec, "x" + Bytes({kIAC, kSB, 44, 101, 0, kIAC, kIAC, 1, kIAC, kSE}) + "y"),
              "xy");
    ASSERT_EQ(subs.size(), 1u);
    EXPECT_EQ(subs[0].option, 44);
    EXPECT_EQ(subs[0].payload, Bytes({101, 0, 0xFF, 1}));

    // One that never ends: swallowed without growing, and the stream recovers at its end.
    subs.clear();
    Feed(codec, Bytes({kIAC, kSB, 44, 100}));
    const std::string junk(1 << 20, 'j');
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(Feed(codec, junk), "");
    }
    EXPECT_EQ(Feed(codec, Bytes({kIAC, kIAC, kIAC, kSE}) + "after"), "after");
    EXPECT_TRUE(subs.empty());  // too long to be meant: dropped, not cut

    // Cut off by another command: dropped, and the command still counts.
    Feed(codec, Bytes({kIAC, kSB, 44, 107, 0x10, kIAC, kWILL, 3}));
    EXPECT_TRUE(subs.empty());
    EXPECT_TRUE(codec.RemoteEnabled(kOptSuppressGoAhead));
    EXPECT_EQ(codec.TakeReplies(), Bytes({kIAC, kDO, 3}));
}

TEST(ComPortOption, CommandsAreFramedWithTheirValuesEscaped) {
    EXPECT_EQ(SetBaudRateCommand(115200),
              Bytes({kIAC, kSB, 44, 1, 0x00, 0x01, 0xC2, 0x00, kIAC, kSE}));
    EXPECT_EQ(SetBaudRateCommand(0x0001FFFF),
              Bytes({kIAC, kSB, 44, 1, 0x00, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, kIAC, kSE}));
    EXPECT_EQ(ComPortCommand(cpo::kSetParity, cpo::kParityMark),
              Bytes({kIAC, kSB, 44, 3, 4, kIAC, kSE}));
    EXPECT_EQ(ComPortCommand(cpo::kSetModemStateMask, uint8_t{0xFF}),
              Bytes({kIAC, kSB, 44, 11, 0xFF, 0xFF, kIAC, kSE}));
    EXPECT_EQ(SignatureCommand({}), Bytes({kIAC, kSB, 44, 0, kIAC, kSE}));
    EXPECT_EQ(cpo::ControlGroup(cpo::kFlowHardware), cpo::cgOutFlow);
    EXPECT_EQ(cpo::ControlGroup(cpo::kBreakOff), cpo::cgBreak);
    EXPECT_EQ(cpo::ControlGroup(cpo::kDtrOn), cpo::cgDtr);
    EXPECT_EQ(cpo::ControlGroup(cpo::kRtsOff), cpo::cgRts);
    EXPECT_EQ(cpo::ControlGroup(15), cpo::cgInFlow);
    EXPECT_EQ(cpo::ControlGroup(20), cpo::cgGroups);
}

TEST(ComPortOption, AnswersAndNotificationsBecomeState) {
    TComPortAnswers a;
    EXPECT_TRUE(a.Take(Bytes({101, 0, 0, 0x25, 0x80})));
    EXPECT_EQ(a.BaudRate(), 9600u);
    EXPECT_TRUE(a.Take(Bytes({103, cpo::kParitySpace})));
    EXPECT_EQ(a.Parity(), cpo::kParitySpace);
    EXPECT_TRUE(a.Take(Bytes({105, cpo::kDtrOff})));
    EXPECT_TRUE(a.Take(Bytes({105, cpo::kFlowXonXoff})));
    EXPECT_EQ(a.Control(cpo::cgDtr), cpo::kDtrOff);
    EXPECT_EQ(a.Control(cpo::cgOutFlow), cpo::kFlowXonXoff);
    EXPECT_EQ(a.ControlAnswers(cpo::cgDtr), 1u);
    EXPECT_EQ(a.ControlAnswers(cpo::cgRts), 0u);
    EXPECT_EQ(a.Answers(cpo::kSetControl), 2u);

    EXPECT_TRUE(a.Take(Bytes({107, cpo::kModemCts | cpo::kModemDcd | 1})));
    EXPECT_EQ(a.ModemState() & 0xF0, cpo::kModemCts | cpo::kModemDcd);
    a.Take(Bytes({106, cpo::kLineFraming | cpo::kLineBreak}));
    a.Take(Bytes({106, cpo::kLineFraming}));
    EXPECT_EQ(a.LineErrorCount(cpo::kLineFraming), 2u);
    EXPECT_EQ(a.LineErrorCount(cpo::kLineBreak), 1u);
    EXPECT_EQ(a.LineErrorCount(cpo::kLineParity), 0u);

    a.Take(Bytes({108}));
    EXPECT_TRUE(a.Suspended());
    a.Take(Bytes({109}));
    EXPECT_FALSE(a.Suspended());

    // An empty signature from the server asks for ours; a giant one is cut.
    EXPECT_TRUE(a.Take(Bytes({100})));
    EXPECT_TRUE(a.TakeSignatureRequest());
    EXPECT_FALSE(a.TakeSignatureRequest());
    EXPECT_TRUE(a.Take(Bytes({100}) + std::string(5000, 's')));
    EXPECT_EQ(a.Signature().size(), TComPortAnswers::kMaxSignature);
}

TEST(ComPortOption, MalformedOrClientSideSubNegotiationsAreIgnored) {
    TComPortAnswers a;
    for (const std::string& bad :
         {std::string(), Bytes({1, 0, 0, 0x25, 0x80}), Bytes({101, 0, 0x25, 0x80}),
          Bytes({101, 0, 0, 0, 0x25, 0x80}), Bytes({102}), Bytes({105, 20}), Bytes({113, 1}),
          Bytes({255, 1})}) {
        EXPECT_FALSE(a.Take(bad));
    }
    EXPECT_EQ(a.BaudRate(), 0u);
    for (uint8_t c = 0; c < cpo::kCommands; ++c) {
        EXPECT_EQ(a.Answers(c), 0u);
    }
}
