// A hostile or broken other side: every run ends by the protocol's rules with a clear
// message, the cancel sequence where it gave up, and the partial file kept as such.
#include <gtest/gtest.h>

#include <filesystem>

#include "transfer/Crc.h"
#include "transfer/FolderStore.h"
#include "transfer/XYReceiver.h"
#include "transfer/XYSender.h"
#include "transfer/support/PeerRun.h"
#include "transfer/support/SimLine.h"

namespace zenta::transfer {
namespace {

const std::string kCancel = "\x18\x18\x18\x18\x18\x08\x08\x08\x08\x08";

std::string Block(std::uint8_t number, std::string payload, bool big = false) {
    payload.resize(big ? 1024 : 128, big ? '\x1A' : '\0');
    const auto* p = reinterpret_cast<const std::uint8_t*>(payload.data());
    const std::uint16_t crc = Crc16(p, payload.size());
    return std::string(1, big ? '\x02' : '\x01') + static_cast<char>(number) +
           static_cast<char>(~number) + payload + static_cast<char>(crc >> 8) +
           static_cast<char>(crc);
}

// Feeds a script to a receiver, then lets the clock run until it ends (bounded).
struct Scripted {
    explicit Scripted(ReceiverOptions opt) : rx(sink, opt) { rx.Start(now); }
    void Send(const std::string& bytes) {
        out += rx.TakeOutput();
        rx.Feed(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), ++now);
        out += rx.TakeOutput();
    }
    void RunOut() {
        for (int i = 0; i < 1000 && !rx.Finished(); ++i) {
            now = std::max(now + 1, rx.Deadline());
            rx.Tick(now);
            out += rx.TakeOutput();
        }
    }
    test::TMemorySink sink;
    TXYReceiver rx;
    std::uint64_t now = 0;
    std::string out;
};

ReceiverOptions Ymodem() {
    ReceiverOptions o;
    o.ymodem = true;
    return o;
}

TEST(BadSender, HostileNameStaysInTheFolder) {
    test::TTempDir tmp;
    const std::string in = tmp.Sub("in");
    TFolderSink sink(in);
    TXYReceiver rx(sink, Ymodem());
    rx.Start(0);
    const std::string script = Block(0, std::string("../../\x1b]0;evil\x07.sh\0"
                                                    "3",
                                                    21)) +
                               Block(1, "abc") + "\x04\x04" + Block(0, "");
    rx.Feed(reinterpret_cast<const std::uint8_t*>(script.data()), script.size(), 1);
    ASSERT_EQ(rx.State(), TransferState::Done) << rx.Message();
    EXPECT_EQ(test::ReadFile(in + "/]0;evil.sh"), "abc");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.Path()), {}), 1);
}

TEST(BadSender, SizeThatLies) {
    {
        // Shorter than announced: not a complete file.
        Scripted s(Ymodem());
        s.Send(Block(0, std::string("a\0"
                                    "1000",
                                    6)) +
               Block(1, "x") + "\x04\x04");
        EXPECT_EQ(s.rx.State(), TransferState::Failed);
        EXPECT_NE(s.rx.Message().find("short"), std::string::npos) << s.rx.Message();
        ASSERT_EQ(s.sink.files.size(), 1u);
        EXPECT_FALSE(s.sink.files[0].complete);
        EXPECT_EQ(s.sink.files[0].data.size(), 128u);
        EXPECT_TRUE(s.out.ends_with(kCancel));
    }
    {
        // Longer than announced, without end: the size holds and the stream is stopped.
        Scripted s(Ymodem());
        s.Send(Block(0, std::string("a\0"
                                    "10",
                                    4)));
        for (int i = 1; i < 100 && !s.rx.Finished(); ++i) {
            s.Send(Block(static_cast<std::uint8_t>(i), std::string(1024, 'z'), true));
        }
        EXPECT_EQ(s.rx.State(), TransferState::Failed);
        EXPECT_EQ(s.sink.files[0].data, std::string(10, 'z'));
        EXPECT_TRUE(s.out.ends_with(kCancel));
    }
}

TEST(BadSender, BrokenHeadersAndSequence) {
    {
        Scripted s(Ymodem());
        s.Send(Block(0, std::string(128, 'n')));  // no NUL after the name
        EXPECT_EQ(s.rx.State(), TransferState::Failed);
        EXPECT_TRUE(s.sink.files.empty());
        EXPECT_TRUE(s.out.ends_with(kCancel));
    }
    {
        Scripted s(ReceiverOptions{});
        s.Send(Block(1, "a") + Block(3, "c"));
        EXPECT_EQ(s.rx.State(), TransferState::Failed);
        EXPECT_NE(s.rx.Message().find("out of sequence"), std::string::npos);
        EXPECT_EQ(s.sink.files[0].data, std::string(128, '\0').replace(0, 1, "a"));
    }
    {
        // A block number and its complement that disagree is noise, not a block.
        Scripted s(ReceiverOptions{});
        std::string bad = Block(1, "a");
        bad[2] = 0;
        s.Send(bad);
        s.RunOut();
        EXPECT_GT(s.rx.Progress().errors, 0u);
        EXPECT_EQ(s.rx.State(), TransferState::Failed);
    }
}

TEST(BadSender, StopsOrCancels) {
    {
        // Stops after a block: NAK after each silence, then the run gives up with a message.
        Scripted s(ReceiverOptions{});
        s.Send(Block(1, "a"));
        s.RunOut();
        EXPECT_EQ(s.rx.State(), TransferState::Failed);
        EXPECT_EQ(s.rx.Progress().retries, 10u);
        EXPECT_NE(s.rx.Message().find("quiet"), std::string::npos);
        EXPECT_EQ(std::count(s.out.begin(), s.out.end(), '\x15'), 10);
    }
    {
        // Never starts: three 'C', then the checksum's NAK, then the run ends.
        Scripted s(ReceiverOptions{});
        s.RunOut();
        EXPECT_EQ(s.rx.State(), TransferState::Failed);
        EXPECT_TRUE(s.out.starts_with("CCC\x15"));
        EXPECT_TRUE(s.rx.Message().starts_with("No answer from the sender"));
    }
    {
        Scripted s(ReceiverOptions{});
        s.Send(Block(1, "a") + "\x18\x18");
        EXPECT_EQ(s.rx.State(), TransferState::RemoteCancelled);
        EXPECT_FALSE(s.out.ends_with(kCancel));
    }
    {
        // Our own cancel: the sequence goes out and the bytes so far stay in a partial file.
        test::TTempDir tmp;
        TFolderSink sink(tmp.Path());
        ReceiverOptions o;
        o.xmodemName = "x.bin";
        TXYReceiver rx(sink, o);
        rx.Start(0);
        const std::string b = Block(1, "a") + Block(2, "b");
        rx.Feed(reinterpret_cast<const std::uint8_t*>(b.data()), b.size(), 1);
        rx.Cancel(2);
        EXPECT_EQ(rx.State(), TransferState::Cancelled);
        EXPECT_TRUE(rx.TakeOutput().ends_with(kCancel));
        EXPECT_EQ(test::ReadFile(tmp.Path() + "/x.bin.part").size(), 256u);
        EXPECT_NE(rx.Message().find("x.bin.part"), std::string::npos);
    }
}

TEST(BadReceiver, SilentRefusingOrCancelling) {
    const std::vector<test::TMemorySource::File> one = {{"a.bin", "a"}};
    {
        // Nobody asks for the file.
        test::TMemorySource src(one);
        TXYSender tx(src, SenderOptions{});
        tx.Start(0);
        tx.Tick(tx.Deadline());
        EXPECT_EQ(tx.State(), TransferState::Failed);
        EXPECT_EQ(tx.Message(), "No receiver asked for the file");
    }
    {
        // A NAK storm: the block goes out eleven times and the run stops.
        test::TMemorySource src(one);
        TXYSender tx(src, SenderOptions{});
        tx.Start(0);
        std::string out;
        for (int i = 0; i < 30 && !tx.Finished(); ++i) {
            const std::uint8_t nak = i == 0 ? 'C' : 0x15;
            tx.Feed(&nak, 1, static_cast<std::uint64_t>(i));
            out += tx.TakeOutput();
        }
        EXPECT_EQ(tx.State(), TransferState::Failed);
        EXPECT_EQ(tx.Progress().retries, 10u);
        EXPECT_EQ(out.size(), 11 * 133 + kCancel.size());
        EXPECT_TRUE(out.ends_with(kCancel));
    }
    {
        test::TMemorySource src(one);
        TXYSender tx(src, SenderOptions{});
        tx.Start(0);
        const std::string can = "C\x18\x18";
        tx.Feed(reinterpret_cast<const std::uint8_t*>(can.data()), can.size(), 1);
        EXPECT_EQ(tx.State(), TransferState::RemoteCancelled);
    }
}

}  // namespace
}  // namespace zenta::transfer
