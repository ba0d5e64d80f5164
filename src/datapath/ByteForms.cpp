#include "datapath/ByteForms.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace zenta {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

// Bytes the text display form changes; everything else is copied in runs.
constexpr std::array<bool, 256> MakeSpecialTable() {
    std::array<bool, 256> t{};
    t[0x00] = true;
    t[0x0D] = true;
    t[0x0A] = true;
    return t;
}
constexpr std::array<bool, 256> kSpecial = MakeSpecialTable();

// Converts bytes[begin, end) and appends the result; out has room reserved by the caller.
void ConvertRange(std::string& out, std::string_view bytes, std::size_t begin, std::size_t end) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t run = begin;
    for (std::size_t i = begin; i < end; ++i) {
        if (!kSpecial[p[i]]) {
            continue;
        }
        out.append(bytes.data() + run, i - run);
        run = i + 1;
        switch (p[i]) {
            case 0x00:
                out.append("\\0", 2);
                break;
            case 0x0A:
                out.append("\r\n", 2);
                break;
            default:
                // A CR before an LF is part of that line end; a bare one stays, so the
                // window can return to the line start as a terminal does.
                if (i + 1 >= bytes.size() || p[i + 1] != 0x0A) {
                    out.push_back('\r');
                }
                break;
        }
    }
    out.append(bytes.data() + run, end - run);
}

// "XY " for every byte, so the hot loop is one table load and one small copy.
struct HexTable {
    char cells[256][4];
    constexpr HexTable() : cells() {
        for (int b = 0; b < 256; ++b) {
            cells[b][0] = kDigits[b >> 4];
            cells[b][1] = kDigits[b & 0x0F];
            cells[b][2] = ' ';
            cells[b][3] = ' ';
        }
    }
};
constexpr HexTable kHex;

}  // namespace

void AppendHex(std::string& out, std::string_view bytes) {
    const std::size_t start = out.size();
    // Grow geometrically: a plain resize may allocate exactly and make repeated
    // appends quadratic.
    const std::size_t need = start + bytes.size() * 3;
    if (need > out.capacity()) {
        out.reserve(std::max(need, out.capacity() * 2));
    }
    out.resize(need);
    char* dst = out.data() + start;
    for (unsigned char b : bytes) {
        std::memcpy(dst, kHex.cells[b], 3);
        dst += 3;
    }
}

std::string BytesToHex(std::string_view bytes) {
    std::string out;
    AppendHex(out, bytes);
    return out;
}

void AppendDisplayText(std::string& out, std::string_view bytes, const ProgressFn& progress) {
    const std::size_t need = out.size() + bytes.size() + bytes.size() / 16;
    if (need > out.capacity()) {
        out.reserve(std::max(need, out.capacity() * 2));
    }
    const std::size_t n = bytes.size();
    if (!progress || n < kDisplayProgressThreshold) {
        ConvertRange(out, bytes, 0, n);
        return;
    }
    // The per-byte value count*100/(n+1) changes to p once count reaches
    // ceil(p*(n+1)/100); convert up to each such boundary and report there.
    progress(ProgressEvent::Start, 0);
    std::size_t done = 0;
    for (int p = 1; p < 100; ++p) {
        const std::size_t boundary = (static_cast<std::size_t>(p) * (n + 1) + 99) / 100;
        if (boundary > n) {
            break;
        }
        ConvertRange(out, bytes, done, boundary);
        done = boundary;
        progress(ProgressEvent::Step, p);
    }
    ConvertRange(out, bytes, done, n);
    progress(ProgressEvent::End, 100);
}

std::string ToDisplayText(std::string_view bytes, const ProgressFn& progress) {
    std::string out;
    AppendDisplayText(out, bytes, progress);
    return out;
}

}  // namespace zenta
