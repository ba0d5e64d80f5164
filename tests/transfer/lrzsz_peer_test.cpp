// XMODEM and YMODEM against lrzsz on the far end of a pseudo-terminal, in both directions:
// every file arrives byte for byte (XMODEM's receiver may only add its SUB padding).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "transfer/FolderStore.h"
#include "transfer/XYReceiver.h"
#include "transfer/XYSender.h"
#include "transfer/support/PeerRun.h"

namespace zenta::transfer {
namespace {

using test::ReadFile;
using test::RunAgainstPeer;
using test::TTempDir;
using test::WriteFile;

struct Sample {
    std::string label;
    std::string data;
};

std::vector<Sample> Samples() {
    std::vector<Sample> s;
    for (std::size_t n : {0, 1, 127, 128, 129, 1023, 1024, 1025}) {
        s.push_back({std::to_string(n), test::RandomBytes(n, static_cast<std::uint32_t>(n))});
    }
    std::string big = test::RandomBytes(1 << 20, 7);
    big.back() = 'x';  // XMODEM cannot tell a SUB at the very end from padding
    s.push_back({"1MiB", big});
    // The control bytes of the protocols and of software flow control as file content.
    std::string ctl;
    const char special[] = {0x18, 0x11, 0x13, static_cast<char>(0xFF)};
    for (int i = 0; i < 1500; ++i) {
        ctl.push_back(special[(i * 7 + i / 5) % 4]);
    }
    s.push_back({"ctl", ctl});
    return s;
}

// Done; or the receiver exited with success after it had everything and its last answer was
// lost in its exit flush (the files themselves are compared by the caller).
void ExpectSent(const TXYSender& tx, const test::PeerResult& r) {
    if (r.peerExitedFirst && tx.State() == TransferState::Running) {
        EXPECT_EQ(r.exitStatus, 0);
        return;
    }
    EXPECT_TRUE(r.finished);
    EXPECT_EQ(tx.State(), TransferState::Done) << tx.Message();
}

SenderOptions Quick(XYProtocol protocol) {
    SenderOptions o;
    o.protocol = protocol;
    o.ackTimeoutMs = 3000;  // a frame lost to lrzsz's input flush goes again sooner
    return o;
}

class LrzszPeer : public ::testing::TestWithParam<Sample> {
  protected:
    TTempDir tmp_;
};

struct XmodemVariant {
    const char* label;
    bool crc;
    std::vector<std::string> sxFlags;
};

// sx -> zenta: checksum, CRC-16 and 1K blocks, as the receiver asks.
TEST_P(LrzszPeer, XmodemFromSx) {
    const Sample& s = GetParam();
    const std::vector<XmodemVariant> variants = {
        {"checksum", false, {}}, {"crc", true, {}}, {"1k", true, {"-k"}}};
    for (const auto& v : variants) {
        SCOPED_TRACE(v.label);
        const std::string peer = tmp_.Sub(std::string("sx-") + v.label);
        const std::string in = tmp_.Sub(std::string("in-") + v.label);
        WriteFile(peer + "/f.bin", s.data);
        TFolderSink sink(in);
        ReceiverOptions opt;
        opt.crc = v.crc;
        opt.xmodemName = "f.bin";
        TXYReceiver rx(sink, opt);
        std::vector<std::string> argv = {"sx"};
        argv.insert(argv.end(), v.sxFlags.begin(), v.sxFlags.end());
        argv.push_back("f.bin");
        const auto r = RunAgainstPeer(rx, argv, peer);
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(rx.State(), TransferState::Done) << rx.Message();
        EXPECT_EQ(r.exitStatus, 0) << ReadFile(peer + "/peer.log");
        EXPECT_TRUE(ReadFile(in + "/f.bin") == s.data);
    }
}

// zenta -> rx: what rx keeps is the file and then only SUB padding of the last block.
TEST_P(LrzszPeer, XmodemToRx) {
    const Sample& s = GetParam();
    if (s.data.empty()) {
        // XMODEM sends an empty file as a lone EOT, which rx never answers.
        GTEST_SKIP() << "rx takes no empty XMODEM file";
    }
    struct Case {
        const char* label;
        XYProtocol protocol;
        std::vector<std::string> rxFlags;
    };
    const std::vector<Case> cases = {{"checksum", XYProtocol::Xmodem, {}},
                                     {"crc", XYProtocol::Xmodem, {"-c"}},
                                     {"1k", XYProtocol::Xmodem1K, {"-c"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string peer = tmp_.Sub(std::string("rx-") + c.label);
        const std::string src = tmp_.Path() + "/src-" + c.label + ".bin";
        WriteFile(src, s.data);
        TFileListSource source({src});
        TXYSender tx(source, Quick(c.protocol));
        std::vector<std::string> argv = {"rx"};
        argv.insert(argv.end(), c.rxFlags.begin(), c.rxFlags.end());
        argv.push_back("out.bin");
        const auto r = RunAgainstPeer(tx, argv, peer);
        ExpectSent(tx, r);
        EXPECT_EQ(r.exitStatus, 0) << ReadFile(peer + "/peer.log");
        const std::string got = ReadFile(peer + "/out.bin");
        ASSERT_GE(got.size(), s.data.size());
        EXPECT_LT(got.size() - s.data.size(), 1024u);
        EXPECT_TRUE(got.compare(0, s.data.size(), s.data) == 0);
        EXPECT_EQ(got.find_first_not_of('\x1A', s.data.size()), std::string::npos);
        EXPECT_EQ(tx.Progress().bytes, s.data.size());
    }
}

// sb -> zenta and zenta -> rb, one file.
TEST_P(LrzszPeer, Ymodem) {
    const Sample& s = GetParam();
    const std::string outbox = tmp_.Sub("outbox");
    const std::string name = "f-" + s.label + ".bin";
    WriteFile(outbox + "/" + name, s.data);
    {
        const std::string in = tmp_.Sub("in");
        TFolderSink sink(in);
        ReceiverOptions opt;
        opt.ymodem = true;
        TXYReceiver rx(sink, opt);
        const auto r = RunAgainstPeer(rx, {"sb", name}, outbox);
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(rx.State(), TransferState::Done) << rx.Message();
        EXPECT_EQ(r.exitStatus, 0) << ReadFile(outbox + "/peer.log");
        EXPECT_TRUE(ReadFile(in + "/" + name) == s.data);
    }
    const std::string peer = tmp_.Sub("rb");
    TFileListSource source({outbox + "/" + name});
    TXYSender tx(source, Quick(XYProtocol::Ymodem));
    const auto r = RunAgainstPeer(tx, {"rb"}, peer);
    ExpectSent(tx, r);
    EXPECT_EQ(r.exitStatus, 0) << ReadFile(peer + "/peer.log");
    EXPECT_TRUE(ReadFile(peer + "/" + name) == s.data);
}

// Every sample in one batch, each way.
TEST(LrzszBatch, YmodemBothWays) {
    TTempDir tmp;
    const std::vector<Sample> samples = Samples();
    const std::string outbox = tmp.Sub("outbox");
    std::vector<std::string> names;
    std::vector<std::string> paths;
    for (const auto& s : samples) {
        names.push_back("f-" + s.label + ".bin");
        paths.push_back(outbox + "/" + names.back());
        WriteFile(paths.back(), s.data);
    }
    const std::string in = tmp.Sub("in");
    TFolderSink sink(in);
    ReceiverOptions ropt;
    ropt.ymodem = true;
    TXYReceiver rx(sink, ropt);
    std::vector<std::string> argv = {"sb"};
    argv.insert(argv.end(), names.begin(), names.end());
    const auto got = RunAgainstPeer(rx, argv, outbox);
    ASSERT_TRUE(got.finished);
    EXPECT_EQ(rx.State(), TransferState::Done) << rx.Message();
    EXPECT_EQ(got.exitStatus, 0) << ReadFile(outbox + "/peer.log");
    EXPECT_EQ(rx.Progress().files, samples.size());

    const std::string peer = tmp.Sub("rb");
    TFileListSource source(paths);
    TXYSender tx(source, Quick(XYProtocol::Ymodem));
    const auto sent = RunAgainstPeer(tx, {"rb"}, peer);
    ExpectSent(tx, sent);
    EXPECT_EQ(sent.exitStatus, 0) << ReadFile(peer + "/peer.log");
    for (std::size_t k = 0; k < samples.size(); ++k) {
        EXPECT_TRUE(ReadFile(in + "/" + names[k]) == samples[k].data) << names[k];
        EXPECT_TRUE(ReadFile(peer + "/" + names[k]) == samples[k].data) << names[k];
    }
}

INSTANTIATE_TEST_SUITE_P(Files, LrzszPeer, ::testing::ValuesIn(Samples()),
                         [](const auto& info) { return info.param.label; });

}  // namespace
}  // namespace zenta::transfer
