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
    // The text ends on a sequence boundary, so no state is carried to the next call.
    converter_.resetState();
    return converter_.decode(complete);
}

QString Gb18030Stream::decodeAll(QByteArrayView bytes) {
    Gb18030Stream stream;
    return stream.decode(bytes);
}

}  // namespace zenta
