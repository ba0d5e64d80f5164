#include "datapath/qt/Gb18030Stream.h"

#include <algorithm>
#include <cstddef>

namespace zenta {

namespace {

// What stands at p[i] (p[i] >= 80h): the length of a complete sequence, 0 when the
// bytes end before the sequence does, or minus the number of bytes an invalid
// sequence takes (shown as one U+FFFD).
int SequenceAt(const unsigned char* p, std::size_t n, std::size_t i) {
    const unsigned char b = p[i];
    if (b == 0x80 || b == 0xFF) {
        return -1;
    }
    if (i + 1 >= n) {
        return 0;
    }
    const unsigned char b1 = p[i + 1];
    if ((b1 >= 0x40 && b1 <= 0x7E) || (b1 >= 0x80 && b1 <= 0xFE)) {
        return 2;
    }
    if (b1 == 0xFF) {
        return -2;  // the converter takes FF with the lead
    }
    if (b1 < 0x30 || b1 > 0x39) {
        return -1;
    }
    if (i + 2 >= n) {
        return 0;
    }
    const unsigned char b2 = p[i + 2];
    if (b2 < 0x81 || b2 > 0xFE) {
        return -1;
    }
    if (i + 3 >= n) {
        return 0;
    }
    const unsigned char b3 = p[i + 3];
    return b3 >= 0x30 && b3 <= 0x39 ? 4 : -1;
}

// Two-byte sequences (lead 81h-FEh, trail 40h-7Eh or 80h-FEh) stand for one BMP
// character each. Their table is taken from the converter once, so the table and the
// converter agree; a zero entry is left to the converter.
struct PairTable {
    char16_t units[0xFE - 0x81 + 1][0xFE - 0x40 + 1] = {};
};

bool IsPair(unsigned char lead, unsigned char trail) {
    return lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F;
}

PairTable MakePairTable() {
    PairTable t;
    QStringDecoder converter("GB18030");
    if (!converter.isValid()) {
        return t;
    }
    QByteArray all;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail != 0x7F) {
                all.append(static_cast<char>(lead));
                all.append(static_cast<char>(trail));
            }
        }
    }
    // One unit per pair in one call; otherwise pair by pair.
    const QString units = converter.decode(all);
    const bool oneEach = units.size() * 2 == all.size();
    for (qsizetype k = 0; k < all.size(); k += 2) {
        QChar u;
        if (oneEach) {
            u = units[k / 2];
        } else {
            converter.resetState();
            const QString one = converter.decode(all.sliced(k, 2));
            u = one.size() == 1 ? one[0] : QChar();
        }
        if (!u.isSurrogate()) {
            const auto lead = static_cast<unsigned char>(all[k]);
            const auto trail = static_cast<unsigned char>(all[k + 1]);
            t.units[lead - 0x81][trail - 0x40] = u.unicode();
        }
    }
    return t;
}

const PairTable& Pairs() {
    static const PairTable table = MakePairTable();
    return table;
}

}  // namespace

Gb18030Stream::Gb18030Stream() : converter_("GB18030") {}

QString Gb18030Stream::decode(QByteArrayView bytes) {
    QByteArray joined;
    if (!held_.isEmpty()) {
        joined = held_ + bytes.toByteArray();
        held_.clear();
        bytes = joined;
    }
    // Find where an incomplete sequence starts at the end, walking sequence by sequence
    // the way the converter segments them; invalid sequences are left to the converter,
    // which shows each as U+FFFD. A byte below 30h never continues a sequence, so the
    // walk starts after the last one.
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto n = static_cast<std::size_t>(bytes.size());
    unsigned char any = 0;
    for (std::size_t k = 0; k < n; ++k) {
        any |= p[k];
    }
    const bool ascii = any < 0x80;
    std::size_t i = n;
    while (!ascii && i > 0 && p[i - 1] >= 0x30) {
        --i;
    }
    while (!ascii && i < n) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        const int len = SequenceAt(p, n, i);
        if (len == 0) {
            held_ = bytes.sliced(static_cast<qsizetype>(i)).toByteArray();
            break;
        }
        i += static_cast<std::size_t>(len > 0 ? len : -len);
    }
    const QByteArrayView complete = bytes.first(static_cast<qsizetype>(std::min(i, n)));
    if (ascii) {
        return QString::fromLatin1(complete);
    }
    if (!converter_.isValid()) {
        return QString::fromUtf8(complete);  // only without ICU; never drop the text
    }
    return decodeComplete(complete);
}

// ASCII and two-byte characters (nearly all text) are looked up; an invalid sequence
// is one U+FFFD, as the converter shows it; four-byte sequences go to the converter
// one by one. The text ends on a sequence boundary, so no state is carried.
QString Gb18030Stream::decodeComplete(QByteArrayView complete) {
    const PairTable& pairs = Pairs();
    const auto* p = reinterpret_cast<const unsigned char*>(complete.data());
    const auto n = static_cast<std::size_t>(complete.size());
    // No sequence makes more units than it has bytes.
    QString out(static_cast<qsizetype>(n), Qt::Uninitialized);
    auto* d = reinterpret_cast<char16_t*>(out.data());
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            *d++ = b;
            ++i;
            continue;
        }
        if (i + 1 < n && IsPair(b, p[i + 1])) {
            const char16_t u = pairs.units[b - 0x81][p[i + 1] - 0x40];
            if (u != 0) {
                *d++ = u;
                i += 2;
                continue;
            }
        }
        const int len = SequenceAt(p, n, i);
        if (len < 0) {
            *d++ = u'\uFFFD';
            i += static_cast<std::size_t>(-len);
            continue;
        }
        // Four bytes, or a pair the table lacks (0 would mean a cut sequence, which
        // cannot be here: take the rest then).
        const std::size_t take = len > 0 ? static_cast<std::size_t>(len) : n - i;
        converter_.resetState();
        const QString units = converter_.decode(
            complete.sliced(static_cast<qsizetype>(i), static_cast<qsizetype>(take)));
        for (const QChar c : units) {
            *d++ = c.unicode();
        }
        i += take;
    }
    out.truncate(static_cast<qsizetype>(d - reinterpret_cast<char16_t*>(out.data())));
    return out;
}

QString Gb18030Stream::decodeAll(QByteArrayView bytes) {
    Gb18030Stream stream;
    return stream.decode(bytes);
}

}  // namespace zenta
