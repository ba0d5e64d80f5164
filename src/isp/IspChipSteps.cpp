// The chip exchanges of a run: identification, protection, erase, write, verify, Go.
#include <algorithm>
#include <array>

#include "datapath/ByteForms.h"
#include "isp/BootFrames.h"
#include "isp/IspRun.h"

namespace zenta::isp {

namespace {

// Bytes on the line per written block: command, address and data frames.
constexpr std::int64_t kBytesPerBlock = 2 + 5 + kBlockSize + 2;
// Erase units per erase command: well inside every bootloader's receive buffer.
constexpr std::size_t kUnitsPerErase = 128;
// A chip restarts after an unprotect command before it listens again.
constexpr int kRestartMs = 200;

std::string Hex3(std::uint8_t b) {
    const char c = static_cast<char>(b);
    return BytesToHex(std::string_view(&c, 1)).substr(0, 3);
}

std::string ExtendedEraseFrame(const std::vector<EraseUnit>& units) {
    std::string f;
    const std::size_t n = units.size() - 1;
    f.push_back(static_cast<char>(n >> 8));
    f.push_back(static_cast<char>(n));
    for (const EraseUnit& u : units) {
        f.push_back(static_cast<char>(u.number >> 8));
        f.push_back(static_cast<char>(u.number));
    }
    char check = 0;
    for (char c : f) {
        check ^= c;
    }
    return f + check;
}

std::string PageEraseFrame(const std::vector<EraseUnit>& units) {
    std::string f(1, static_cast<char>(units.size() - 1));
    for (const EraseUnit& u : units) {
        f.push_back(static_cast<char>(u.number));
    }
    char check = 0;
    for (char c : f) {
        check ^= c;
    }
    return f + check;
}

}  // namespace

RunTask<TIspRun::Step> TIspRun::Ack(std::uint32_t timeoutMs) {
    const AckResult ack = co_await link_.AwaitAck(timeoutMs ? timeoutMs : settings_.replyTimeoutMs);
    switch (ack) {
        case AckResult::Ack:
            co_return Step::Ok;
        case AckResult::NotAck:
        case AckResult::TimedOut:
            co_return Step::NotAck;
        case AckResult::Stopped:
            break;
    }
    co_return Step::Stopped;
}

RunTask<TIspRun::Step> TIspRun::Command(std::uint8_t code) {
    link_.SendFrame(CommandFrame(code));
    co_return co_await Ack();
}

RunTask<TIspRun::Step> TIspRun::Reply(int n) {
    const bool came = co_await link_.AwaitReplyBytes(n, settings_.replyTimeoutMs);
    if (came) {
        co_return Step::Ok;
    }
    co_return events_.StopFlag() ? Step::Stopped : Step::NotAck;
}

RunTask<TIspRun::Step> TIspRun::Sync() {
    const SyncResult sync = co_await link_.SyncBootloader(settings_.sync);
    switch (sync) {
        case SyncResult::Connected:
            co_return Step::Ok;
        case SyncResult::Stopped:
            co_return Step::Stopped;
        default:
            co_return Step::NotAck;
    }
}

RunTask<TIspRun::Step> TIspRun::Identify(bool print) {
    // Get Version: version, two option bytes, a closing ACK left unread.
    link_.DropPendingReplies();
    if (Step s = co_await Command(kCmdGetVersion); s != Step::Ok) {
        co_return s;
    }
    if (Step s = co_await Reply(4); s != Step::Ok) {
        co_return s;
    }
    chip_.version = link_.TakeReplyByte();
    const std::uint8_t option1 = link_.TakeReplyByte();
    const std::uint8_t option2 = link_.TakeReplyByte();
    std::string line = "\r\nVersion:V" + Hex3(chip_.version).substr(0, 2) + ",Protection state:";
    line += Hex3(option1) + Hex3(option2) + " |back:";
    if (print) {
        messages_.Print(line);
    }

    // Get: the commands this bootloader knows, so the right erase is used.
    link_.DropPendingReplies();
    if (Step s = co_await Command(kCmdGet); s != Step::Ok) {
        co_return s;
    }
    if (Step s = co_await Reply(1); s != Step::Ok) {
        co_return s;
    }
    const int count = link_.TakeReplyByte();
    if (Step s = co_await Reply(count + 2); s != Step::Ok) {
        co_return s;
    }
    link_.TakeReplyByte();  // the version again
    chip_.commands.clear();
    for (int i = 0; i < count; ++i) {
        chip_.commands.push_back(static_cast<char>(link_.TakeReplyByte()));
    }

    // Get ID: count byte and the two product-ID bytes.
    link_.DropPendingReplies();
    if (Step s = co_await Command(kCmdGetId); s != Step::Ok) {
        co_return s;
    }
    if (Step s = co_await Reply(4); s != Step::Ok) {
        co_return s;
    }
    const std::uint8_t idCount = link_.TakeReplyByte();
    const std::uint8_t hi = link_.TakeReplyByte();
    const std::uint8_t lo = link_.TakeReplyByte();
    chip_.productId = static_cast<std::uint16_t>((hi << 8) | lo);
    chip_.family = FindChip(chip_.productId);
    if (print) {
        messages_.Print("\r\nMCU TYPE:" + Hex3(idCount) + ",MCUID:" + Hex3(hi) + Hex3(lo) +
                        " |back:");
    }

    if (Step s = co_await ReadFlashSize(); s != Step::Ok) {
        co_return s;
    }
    if (chip_.readProtected) {
        if (!messages_.Confirm(Text(IspText::AskReadoutUnprotect, English()))) {
            Print(IspText::ReadProtected);
            co_return Step::Refused;
        }
        if (Step s = co_await Unprotect(kCmdReadoutUnprotect); s != Step::Ok) {
            co_return s;
        }
        chip_.readProtected = false;
        if (Step s = co_await ReadFlashSize(); s != Step::Ok) {
            co_return s;
        }
        if (chip_.readProtected) {
            Print(IspText::ReadProtected);
            co_return Step::Refused;
        }
    }
    co_return Step::Ok;
}

// Reads the flash size register of a known chip (the flash base of an unknown one, only
// to learn whether reading is allowed). A refused Read command means read protection.
RunTask<TIspRun::Step> TIspRun::ReadFlashSize() {
    const ChipFamily* family = chip_.family;
    const bool hasRegister = family && family->flashSizeReg != 0;
    const std::uint32_t address = hasRegister ? family->flashSizeReg : kFlashBase;
    link_.DropPendingReplies();
    Step s = co_await Command(kCmdReadMemory);
    if (s == Step::NotAck) {
        chip_.readProtected = true;
        co_return Step::Ok;
    }
    if (s != Step::Ok) {
        co_return s;
    }
    link_.SendFrame(AddressFrame(address));
    s = co_await Ack();
    if (s == Step::Ok) {
        s = co_await Command(0x03);  // count frame: four bytes
    }
    std::array<std::uint8_t, 4> b{};
    if (s == Step::Ok) {
        if (s = co_await Reply(4); s == Step::Ok) {
            std::string line = "\r\nCapacity:";
            for (auto& x : b) {
                x = link_.TakeReplyByte();
                line += Hex3(x);
            }
            if (hasRegister) {
                messages_.Print(line + "|back:");
            }
        }
    }
    if (s == Step::Stopped) {
        co_return s;
    }
    if (!family) {
        messages_.Print(UnknownChipLine(chip_.productId, English()));
        chip_.flashBytes = 0;
        co_return Step::Ok;
    }
    std::uint32_t kib = s == Step::Ok ? (b[0] | (b[1] << 8)) : 0;
    if (s == Step::Ok && family->productId == 0x436 && kib <= 1) {
        kib = kib == 0 ? 384 : 256;
    }
    if (kib == 0 || kib > family->flashKiB) {
        // Refused, erased or out of range: the largest part of this ID.
        kib = family->flashKiB;
        messages_.Print(SizeUnreadableLine(kib, English()));
    }
    chip_.flashBytes = kib * 1024;
    messages_.Print("\r\n" + ChipLine(*family, kib));
    co_return Step::Ok;
}

// Readout or Write Unprotect: two acknowledgements, the second after the chip has done
// the work (a readout unprotect erases the flash), then the chip restarts.
RunTask<TIspRun::Step> TIspRun::Unprotect(std::uint8_t code) {
    link_.DropPendingReplies();
    if (Step s = co_await Command(code); s != Step::Ok) {
        co_return s;
    }
    const std::uint32_t waitMs =
        code == kCmdReadoutUnprotect ? EraseWaitMs(chip_.family, {}) : 2000;
    if (Step s = co_await Ack(waitMs); s != Step::Ok) {
        co_return s;
    }
    Print(IspText::Unprotected);
    co_await link_.DelayWithMessages(kRestartMs);
    link_.ResetReplies();
    co_return co_await Sync();
}

TIspRun::Step TIspRun::CheckFits() {
    if (chip_.flashBytes == 0) {
        return Step::Ok;
    }
    std::uint32_t first = 0;
    if (!image_.DataFrom(chip_.flashBytes, first)) {
        return Step::Ok;
    }
    if (image_.Lowest() < chip_.flashBytes) {
        messages_.Print(TooLargeLine(kFlashBase + first, chip_.flashBytes / 1024, English()));
    } else {
        messages_.Print(OutsideFlashLine(kFlashBase + first, English()));
    }
    return Step::Refused;
}

RunTask<TIspRun::Step> TIspRun::Erase() {
    const ChipFamily* family = chip_.family;
    Step s = Step::Ok;
    bool unprotected = false;
    for (;;) {
        if (settings_.erase == EraseMode::Pages) {
            if (!family) {
                Print(IspText::PagesNeedKnownChip);
                co_return Step::Refused;
            }
            std::vector<EraseUnit> units;
            const auto ranges = image_.Ranges();
            for (const EraseUnit& u : UnitsOf(*family, chip_.flashBytes)) {
                const bool covered = std::any_of(ranges.begin(), ranges.end(), [&](auto& r) {
                    return r.offset < u.offset + u.bytes && u.offset < r.offset + r.length;
                });
                if (covered) {
                    units.push_back(u);
                }
            }
            s = co_await EraseUnits(units);
        } else if (family && family->massEraseMaxMs == 0) {
            s = co_await EraseUnits(UnitsOf(*family, chip_.flashBytes));
        } else if (chip_.Has(kCmdExtendedErase) ||
                   (!chip_.Has(kCmdErase) && family && family->eraseCommand == 0x44)) {
            link_.DropPendingReplies();
            s = co_await Command(kCmdExtendedErase);
            if (s == Step::Ok) {
                s = co_await EraseWith(std::string("\xFF\xFF\x00", 3), EraseWaitMs(family, {}));
            }
        } else {
            link_.DropPendingReplies();
            s = co_await Command(kCmdErase);
            if (s == Step::Ok) {
                s = co_await EraseWith(EraseAllFrame(), EraseWaitMs(family, {}));
            }
        }
        if (s != Step::NotAck || unprotected || !chip_.Has(kCmdWriteUnprotect)) {
            break;
        }
        // A refused erase on a readable chip: write protection.
        if (!messages_.Confirm(Text(IspText::AskWriteUnprotect, English()))) {
            break;
        }
        if (Step u = co_await Unprotect(kCmdWriteUnprotect); u != Step::Ok) {
            co_return u;
        }
        unprotected = true;
    }
    if (s == Step::NotAck) {
        Print(IspText::EraseRefused);
        co_return Step::Refused;
    }
    if (s == Step::Ok) {
        Print(IspText::Erased);
    }
    co_return s;
}

RunTask<TIspRun::Step> TIspRun::EraseUnits(std::vector<EraseUnit> units) {
    const bool extended = chip_.Has(kCmdExtendedErase) || !chip_.Has(kCmdErase);
    for (std::size_t i = 0; i < units.size(); i += kUnitsPerErase) {
        const std::vector<EraseUnit> chunk(units.begin() + static_cast<std::ptrdiff_t>(i),
                                           units.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                               units.size(), i + kUnitsPerErase)));
        if (!extended && chunk.back().number > 0xFF) {
            co_return Step::NotAck;  // Erase (0x43) numbers pages with one byte
        }
        link_.DropPendingReplies();
        if (Step s = co_await Command(extended ? kCmdExtendedErase : kCmdErase); s != Step::Ok) {
            co_return s;
        }
        const std::string frame = extended ? ExtendedEraseFrame(chunk) : PageEraseFrame(chunk);
        if (Step s = co_await EraseWith(frame, EraseWaitMs(chip_.family, chunk)); s != Step::Ok) {
            co_return s;
        }
    }
    co_return Step::Ok;
}

// Sends the erase list and waits as long as the family's slowest erase may take; Stop
// and the window are served meanwhile.
RunTask<TIspRun::Step> TIspRun::EraseWith(std::string frame, std::uint32_t waitMs) {
    link_.SendFrame(frame);
    const AckResult ack = co_await link_.AwaitAck(waitMs);
    switch (ack) {
        case AckResult::Ack:
            co_return Step::Ok;
        case AckResult::NotAck:
            co_return Step::NotAck;
        case AckResult::Stopped:
            co_return Step::Stopped;
        case AckResult::TimedOut:
            break;
    }
    Print(IspText::EraseTimeout);
    co_return Step::Refused;
}

RunTask<TIspRun::Step> TIspRun::WriteBlocks() {
    link_.DropPendingReplies();
    const std::uint64_t total = image_.WrittenLength();
    std::uint64_t done = 0;
    for (const ImageRange& r : image_.Ranges()) {
        for (std::uint32_t offset = r.offset; offset < r.offset + r.length; offset += kBlockSize) {
            if (Step s = co_await Command(kCmdWriteMemory); s != Step::Ok) {
                co_return s;
            }
            link_.SendFrame(AddressFrame(kFlashBase + offset));
            if (Step s = co_await Ack(); s != Step::Ok) {
                co_return s;
            }
            link_.SendFrame(DataFrame(image_.Data() + offset));
            if (Step s = co_await Ack(); s != Step::Ok) {
                co_return s;
            }
            const std::int64_t tx = window_.AddTxCount(kBytesPerBlock);
            window_.ShowBlockStatus(tx, static_cast<std::int64_t>(offset));
            // With verification the writing fills the first half of the bar.
            const std::uint64_t span = settings_.verify ? 50 : 100;
            window_.SetProgress(static_cast<int>(done * span / total + 1), true);
            done += kBlockSize;
            co_await link_.ServeEvents(0);
            if (events_.StopFlag()) {
                co_return Step::Stopped;
            }
            co_await link_.ServeEvents(0);
        }
    }
    co_return Step::Ok;
}

RunTask<TIspRun::Step> TIspRun::ReadBlock(std::uint32_t address, std::uint8_t* out) {
    if (Step s = co_await Command(kCmdReadMemory); s != Step::Ok) {
        co_return s;
    }
    link_.SendFrame(AddressFrame(address));
    if (Step s = co_await Ack(); s != Step::Ok) {
        co_return s;
    }
    if (Step s = co_await Command(kBlockSize - 1); s != Step::Ok) {
        co_return s;
    }
    if (Step s = co_await Reply(kBlockSize); s != Step::Ok) {
        co_return s;
    }
    for (std::uint32_t i = 0; i < kBlockSize; ++i) {
        out[i] = link_.TakeReplyByte();
    }
    co_return Step::Ok;
}

// Reads back every written block; the first differing byte stops the run before Go.
RunTask<TIspRun::Step> TIspRun::Verify() {
    link_.DropPendingReplies();
    std::array<std::uint8_t, kBlockSize> got{};
    const std::uint64_t total = image_.WrittenLength();
    std::uint64_t done = 0;
    for (const ImageRange& r : image_.Ranges()) {
        for (std::uint32_t offset = r.offset; offset < r.offset + r.length; offset += kBlockSize) {
            if (Step s = co_await ReadBlock(kFlashBase + offset, got.data()); s != Step::Ok) {
                co_return s;
            }
            const std::uint8_t* want = image_.Data() + offset;
            const auto diff = std::mismatch(got.begin(), got.end(), want);
            if (diff.first != got.end()) {
                const auto at = static_cast<std::uint32_t>(diff.first - got.begin());
                messages_.Print(VerifyMismatchLine(kFlashBase + offset + at, *diff.second,
                                                   *diff.first, English()));
                co_return Step::Refused;
            }
            window_.SetProgress(static_cast<int>(50 + done * 50 / total + 1), true);
            done += kBlockSize;
            co_await link_.ServeEvents(0);
            if (events_.StopFlag()) {
                co_return Step::Stopped;
            }
        }
    }
    co_return Step::Ok;
}

std::uint32_t TIspRun::GoAddress() const {
    return kFlashBase + image_.Lowest();
}

RunTask<TIspRun::Step> TIspRun::Go() {
    link_.DropPendingReplies();
    if (Step s = co_await Command(kCmdGo); s != Step::Ok) {
        co_return s;
    }
    link_.SendFrame(AddressFrame(GoAddress()));
    co_return co_await Ack();
}

}  // namespace zenta::isp
