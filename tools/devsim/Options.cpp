#include "devsim/Options.h"

#include <cctype>
#include <limits>
#include <string_view>

#include "devsim/BootChip.h"
#include "devsim/Modes.h"

namespace devsim {
namespace {

std::optional<uint64_t> ParseUnsigned(const std::string& text) {
    if (text.empty() || text.size() > 20) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return std::nullopt;
        }
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (value > (std::numeric_limits<uint64_t>::max() - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return value;
}

std::optional<uint32_t> ParseU32(const std::string& text) {
    auto v = ParseUnsigned(text);
    if (!v || *v > std::numeric_limits<uint32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(*v);
}

}  // namespace

std::optional<uint64_t> ParseByteCount(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    uint64_t multiplier = 1;
    std::string digits = text;
    switch (std::toupper(static_cast<unsigned char>(text.back()))) {
        case 'K':
            multiplier = 1ull << 10;
            break;
        case 'M':
            multiplier = 1ull << 20;
            break;
        case 'G':
            multiplier = 1ull << 30;
            break;
        default:
            break;
    }
    if (multiplier != 1) {
        digits.pop_back();
    }
    auto value = ParseUnsigned(digits);
    if (!value || *value > std::numeric_limits<uint64_t>::max() / multiplier) {
        return std::nullopt;
    }
    return *value * multiplier;
}

ParseResult ParseOptions(int argc, const char* const* argv) {
    ParseResult result;
    Options& o = result.options;
    auto fail = [&](std::string message) {
        result.error = std::move(message);
        return result;
    };

    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.rfind("--", 0) != 0) {
            if (!o.mode.empty()) {
                return fail("unexpected argument '" + arg + "'");
            }
            if (!FindMode(arg)) {
                return fail("unknown mode '" + arg + "'");
            }
            o.mode = arg;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (auto eq = arg.find('='); eq != std::string::npos) {
            name = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
        }
        auto flag = [&]() { return !inlineValue.has_value(); };
        auto value = [&]() -> std::optional<std::string> {
            if (inlineValue) {
                return inlineValue;
            }
            if (i + 1 < argc) {
                return std::string(argv[++i]);
            }
            return std::nullopt;
        };

        if (name == "--help" || name == "-h") {
            o.help = true;
        } else if (name == "--quiet" && flag()) {
            o.quiet = true;
        } else if (name == "--force" && flag()) {
            o.force = true;
        } else if (name == "--wait-open" && flag()) {
            o.waitOpen = true;
        } else if (name == "--no-wait-open" && flag()) {
            o.waitOpen = false;
        } else if (name == "--interleave" && flag()) {
            o.interleave = true;
        } else if (name == "--link") {
            auto v = value();
            if (!v || v->empty()) {
                return fail("--link needs a path");
            }
            o.link = *v;
        } else if (name == "--start-delay" || name == "--interval" || name == "--wave-rate" ||
                   name == "--wave-period" || name == "--seed" || name == "--replug-after") {
            auto v = value();
            auto n = v ? ParseU32(*v) : std::nullopt;
            if (!n) {
                return fail(name + " needs a whole number");
            }
            if (name == "--start-delay") {
                o.startDelayMs = *n;
            } else if (name == "--interval") {
                o.intervalMs = *n;
            } else if (name == "--wave-rate") {
                o.waveRate = *n;
            } else if (name == "--wave-period") {
                o.wavePeriod = *n;
            } else if (name == "--replug-after") {
                o.replugAfterMs = *n;
            } else {
                o.seed = *n;
            }
        } else if (name == "--bytes" || name == "--rate" || name == "--lines") {
            auto v = value();
            auto n = v ? ParseByteCount(*v) : std::nullopt;
            if (!n) {
                return fail(name + " needs a count (suffix K, M or G allowed)");
            }
            if (name == "--bytes") {
                o.bytes = *n;
            } else if (name == "--rate") {
                o.rate = *n;
            } else {
                o.lines = *n;
            }
        } else if (name == "--pattern") {
            auto v = value();
            auto p = v ? PatternFromName(*v) : std::nullopt;
            if (!p) {
                return fail("--pattern must be counter, random, ascii or log");
            }
            o.pattern = *p;
        } else if (name == "--wave") {
            auto v = value();
            auto w = v ? WaveFromName(*v) : std::nullopt;
            if (!w) {
                return fail("--wave must be none, sine, triangle or sawtooth");
            }
            o.wave = *w;
        } else if (name == "--format") {
            auto v = value();
            auto f = v ? TelemetryFormatFromName(*v) : std::nullopt;
            if (!f) {
                return fail("--format must be kv, csv or log");
            }
            o.format = *f;
        } else if (name == "--channels" || name == "--lines-per-second") {
            auto v = value();
            auto n = v ? ParseU32(*v) : std::nullopt;
            if (!n || *n == 0 || (name == "--channels" && *n > kMaxTelemetryChannels)) {
                return fail(name == "--channels" ? "--channels must be 1 to 64"
                                                 : "--lines-per-second must be above 0");
            }
            (name == "--channels" ? o.channels : o.linesPerSecond) = *n;
        } else if (name == "--line-timing" && flag()) {
            o.lineTiming = true;
        } else if (name == "--chip" || name == "--fault" || name == "--dump" || name == "--trace") {
            auto v = value();
            if (!v || v->empty()) {
                return fail(name + " needs a value");
            }
            if (name == "--chip") {
                if (!ChipFromName(*v)) {
                    return fail("--chip must be f0, f1, f4, g0, l4, h7 or l0");
                }
                o.chip = *v;
            } else if (name == "--fault") {
                if (!FaultFromName(*v)) {
                    return fail(
                        "--fault must be none, silence, nack-sync, nack-erase, protected, "
                        "write-protected, stuck-bit or unknown-id");
                }
                o.fault = *v == "none" ? std::string() : *v;
            } else {
                (name == "--dump" ? o.dump : o.trace) = *v;
            }
        } else if (name == "--fault-address") {
            // Hex with 0x, as addresses are written; decimal without.
            auto v = value();
            std::optional<uint64_t> a;
            if (v && v->size() > 2 && (v->rfind("0x", 0) == 0 || v->rfind("0X", 0) == 0) &&
                v->size() <= 10 &&
                v->find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos) {
                a = std::stoull(v->substr(2), nullptr, 16);
            } else if (v) {
                a = ParseU32(*v);
            }
            if (!a) {
                return fail("--fault-address needs an address such as 0x080001FF");
            }
            o.faultAddress = static_cast<uint32_t>(*a);
        } else if (name == "--latency-ms" || name == "--unplug-after" || name == "--erase-scale") {
            auto v = value();
            auto n = v ? ParseU32(*v) : std::nullopt;
            if (!n) {
                return fail(name + " needs a whole number");
            }
            (name == "--latency-ms"    ? o.latencyMs
             : name == "--erase-scale" ? o.eraseScale
                                       : o.unplugAfter) = *n;
        } else {
            return fail("unknown option '" + arg + "'");
        }
    }

    if (o.help) {
        return result;
    }
    if (o.mode.empty()) {
        return fail("no mode given");
    }
    if (o.wavePeriod < 2) {
        return fail("--wave-period must be at least 2");
    }
    if (o.wave != WaveKind::None && o.waveRate == 0) {
        return fail("--wave-rate must be above 0");
    }
    if (o.interleave && o.wave == WaveKind::None) {
        return fail("--interleave needs --wave");
    }
    if (o.mode == "telemetry" && o.intervalMs == 0 && o.linesPerSecond == 0 &&
        (o.wave == WaveKind::None || o.interleave)) {
        return fail("--interval must be above 0");
    }
    return result;
}

std::string UsageText() {
    std::string text =
        "Usage: devsim MODE [options]\n"
        "\n"
        "Creates a pseudo-terminal, publishes it as a symbolic link and acts as a serial\n"
        "device on it, so that a serial terminal can be tried without hardware.\n"
        "Open the link (default " +
        std::string(kDefaultLink) +
        ") in the terminal like any serial port.\n"
        "\n"
        "Modes:\n";
    for (const ModeInfo& mode : AllModes()) {
        text += "  ";
        text += mode.name;
        text += std::string(12 - std::string_view(mode.name).size(), ' ');
        text += mode.summary;
        text += '\n';
    }
    text +=
        "\n"
        "Common options:\n"
        "  --link PATH          where to publish the port (default /tmp/ttyZENTA0); the link\n"
        "                       is removed when devsim ends\n"
        "  --force              replace an existing link that points at a live terminal\n"
        "  --wait-open          do not send before a program has opened the port\n"
        "                       (default for telemetry)\n"
        "  --no-wait-open       send at once, even before the port is opened\n"
        "  --start-delay MS     wait MS milliseconds more before sending\n"
        "  --replug-after MS    MS milliseconds after start, unplug: remove the link and\n"
        "                       drop the terminal (the program reads its end), then\n"
        "                       publish the link again on a new pseudo-terminal and go on\n"
        "                       (stream ends there as on a closed port)\n"
        "  --quiet              print only errors and the stream result\n"
        "  --help               show this text\n"
        "\n"
        "stream options:\n"
        "  --bytes N            how many bytes to send (default 1M; suffixes K, M, G)\n"
        "  --pattern KIND       counter (00 01 .. FF 00 ..), random (xorshift32 from --seed)\n"
        "                       ascii (numbered printable lines) or log (coloured UTF-8\n"
        "                       log lines); default counter\n"
        "  --seed N             seed of the random pattern (default 1)\n"
        "  --rate N             bytes per second (suffixes allowed); 0 = as fast as the\n"
        "                       reader takes them (default)\n"
        "  When done it prints 'devsim: sent N bytes crc32 XXXXXXXX' (CRC-32 as in zlib,\n"
        "  over exactly the bytes sent) and ends when the program closes the port.\n"
        "\n"
        "telemetry options:\n"
        "  --interval MS        one text line every MS milliseconds (default 1000)\n"
        "  --lines-per-second N N text lines a second instead of --interval\n"
        "  --lines N            stop after N lines (default: endless)\n"
        "  --format KIND        kv: GBK readings (default); csv: --channels numbers per\n"
        "                       line, e.g. 12.345,-3.210,...; log: coloured UTF-8 log lines\n"
        "                       like an ESP-IDF firmware, e.g. I (1234) sensor: temp=25.3°C,\n"
        "                       with a yellow W or red E line now and then\n"
        "  --channels N         values per csv line, 1 to 64 (default 3)\n"
        "  --wave KIND          send a raw byte waveform instead of text lines: sine,\n"
        "                       triangle, sawtooth or none (default none)\n"
        "  --interleave         send the text lines and the waveform together\n"
        "  --wave-rate N        waveform samples per second (default 100)\n"
        "  --wave-period N      samples per waveform cycle (default 100)\n"
        "  kv lines are GBK encoded, e.g. 温度=23.5℃ 湿度=41% 电压=3.30V 计数=1 状态=正常\n"
        "  ending in CR LF. Sending pauses while no program has the port open.\n"
        "\n"
        "bootloader options:\n"
        "  --chip KIND          f0: product 0x440, Erase (0x43), 64 KiB in 1 KiB pages\n"
        "                       f1: product 0x410, Erase (0x43), 128 KiB in 1 KiB pages\n"
        "                       f4: product 0x413, Extended Erase (0x44), 1 MiB in sectors\n"
        "                       g0: product 0x460, Extended Erase, 128 KiB in 2 KiB pages\n"
        "                       l4: product 0x415, Extended Erase, 1 MiB in 2 KiB pages\n"
        "                       h7: product 0x450, Extended Erase, 2 MiB in 128 KiB\n"
        "                       sectors\n"
        "                       l0: product 0x417, Extended Erase without mass erase,\n"
        "                       64 KiB in 128-byte pages (default f1)\n"
        "  --erase-scale PCT    erases take PCT percent of the chip's typical time\n"
        "                       (default 100: an F4 sector of 128 KiB takes 1 s)\n"
        "  --line-timing        answer only after the bytes' time on the line: 11 bit\n"
        "                       times per byte (8 data bits, even parity, stop bit) at\n"
        "                       the bit rate the program set\n"
        "  --latency-ms N       wait N ms more before every reply (a USB adapter's latency)\n"
        "  --fault KIND         silence, nack-sync (already synchronised: every 0x7F gets\n"
        "                       NACK), nack-erase, protected (read protection: Read,\n"
        "                       Write, Go and erase refused until Readout Unprotect) or\n"
        "                       write-protected (Write and erase refused until Write\n"
        "                       Unprotect), stuck-bit (bit 0 of the flash byte at\n"
        "                       --fault-address stays 1) or unknown-id (Get ID answers 0x4FF)\n"
        "  --fault-address A    the byte of the stuck-bit fault (default 0x08000100)\n"
        "  --unplug-after N     vanish like an unplugged adapter after N written blocks\n"
        "  --dump FILE          write the flash to FILE when devsim ends\n"
        "  --trace FILE         write when each of the program's writes arrived and each\n"
        "                       reply went out, in microseconds (see bench/isp_host_time.py)\n"
        "  Closing the port resets the chip (the next 0x7F starts the bootloader); so does\n"
        "  a Go, after which devsim prints 'devsim: user program started at 0x08000000'.\n"
        "\n"
        "Whenever the program changes the line settings, devsim prints the bit rate and\n"
        "frame it set, e.g. 'devsim: port set to 115200 8N1' (a pseudo-terminal always\n"
        "reports 8 data bits and no parity).\n"
        "\n"
        "Exit codes: 0 finished or stopped by SIGINT/SIGTERM/SIGHUP, 1 setup or I/O\n"
        "failure, 2 bad command line, 3 the port was closed before the stream was complete.\n";
    return text;
}

}  // namespace devsim
