// zenta's sender against zenta's receiver with bytes flipped, dropped or doubled on the
// line: the retry rules bring every file through intact.
#include <gtest/gtest.h>

#include "transfer/XYReceiver.h"
#include "transfer/XYSender.h"
#include "transfer/support/PeerRun.h"
#include "transfer/support/SimLine.h"

namespace zenta::transfer {
namespace {

using test::NoiseKind;
using test::TMemorySink;
using test::TMemorySource;
using test::TNoise;

struct Variant {
    const char* label;
    XYProtocol protocol;
    bool crc;
};

const Variant kVariants[] = {{"xmodem-checksum", XYProtocol::Xmodem, false},
                             {"xmodem-crc", XYProtocol::Xmodem, true},
                             {"xmodem-1k", XYProtocol::Xmodem1K, true},
                             {"ymodem", XYProtocol::Ymodem, true}};

std::vector<TMemorySource::File> Files(XYProtocol p) {
    std::string a = test::RandomBytes(40000, 1);
    a.back() = 'a';  // not SUB, which XMODEM cannot tell from padding
    if (p != XYProtocol::Ymodem) {
        return {{"a.bin", a}};
    }
    return {{"a.bin", a}, {"b.bin", test::RandomBytes(3000, 2)}, {"empty.bin", ""}};
}

// lostLastAck: the answer to XMODEM's last EOT may be lost, and the receiver is gone by
// then; the sender can only say it got no confirmation (the file is complete).
void Check(const Variant& v, TNoise toReceiver, TNoise toSender, bool expectRetries,
           bool lostLastAck = false) {
    const auto files = Files(v.protocol);
    TMemorySource source(files);
    TMemorySink sink;
    SenderOptions so;
    so.protocol = v.protocol;
    ReceiverOptions ro;
    ro.ymodem = v.protocol == XYProtocol::Ymodem;
    ro.crc = v.crc;
    TXYSender tx(source, so);
    TXYReceiver rx(sink, ro);
    test::RunPair(tx, rx, toReceiver, toSender);
    if (lostLastAck && tx.State() == TransferState::Failed && v.protocol != XYProtocol::Ymodem) {
        EXPECT_EQ(tx.Message(), "The receiver did not confirm the end of the file");
    } else {
        ASSERT_EQ(tx.State(), TransferState::Done) << tx.Message() << " / " << rx.Message();
    }
    ASSERT_EQ(rx.State(), TransferState::Done) << rx.Message();
    ASSERT_EQ(sink.files.size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_TRUE(sink.files[i].data == files[i].data) << files[i].name;
        EXPECT_TRUE(sink.files[i].complete);
        if (ro.ymodem) {
            EXPECT_EQ(sink.files[i].info.name, files[i].name);
            EXPECT_EQ(sink.files[i].info.mtime, 1700000000);
        }
    }
    if (expectRetries) {
        EXPECT_GT(tx.Progress().retries + rx.Progress().retries + rx.Progress().errors +
                      tx.Progress().errors,
                  0u);
    }
}

TEST(NoisyLine, CleanLine) {
    for (const auto& v : kVariants) {
        SCOPED_TRACE(v.label);
        Check(v, TNoise(), TNoise(), false);
    }
}

TEST(NoisyLine, DataDamaged) {
    for (const auto& v : kVariants) {
        for (const auto kind : {NoiseKind::Flip, NoiseKind::Drop, NoiseKind::Duplicate}) {
            for (const unsigned every : {1499u, 4001u}) {
                SCOPED_TRACE(std::string(v.label) + " kind " +
                             std::to_string(static_cast<int>(kind)) + " every " +
                             std::to_string(every));
                Check(v, TNoise(kind, every), TNoise(), true);
            }
        }
    }
}

// Lost, damaged and doubled answers: the sender's time-outs and the receiver's duplicate
// handling keep the blocks in order.
TEST(NoisyLine, AnswersDamaged) {
    for (const auto& v : kVariants) {
        for (const auto kind : {NoiseKind::Flip, NoiseKind::Drop, NoiseKind::Duplicate}) {
            SCOPED_TRACE(std::string(v.label) + " kind " + std::to_string(static_cast<int>(kind)));
            Check(v, TNoise(), TNoise(kind, 7), true, kind != NoiseKind::Duplicate);
        }
    }
}

TEST(NoisyLine, BothWaysDamaged) {
    for (const auto& v : kVariants) {
        SCOPED_TRACE(v.label);
        Check(v, TNoise(NoiseKind::Flip, 1499), TNoise(NoiseKind::Drop, 11), true);
    }
}

}  // namespace
}  // namespace zenta::transfer
