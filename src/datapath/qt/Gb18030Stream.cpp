#include "datapath/qt/Gb18030Stream.h"

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

void Gb18030Stream::convert(QString& out, QByteArrayView run, bool ascii) {
    if (run.isEmpty()) {
        return;
    }
    if (ascii) {
        out.append(QLatin1StringView(run.data(), run.size()));
    } else if (converter_.isValid()) {
        // Runs hold whole sequences only, so the converter never carries state over.
        converter_.resetState();
        out.append(converter_.decode(run));
    } else {
        out.append(QString::fromUtf8(run));  // only without ICU; never drop the text
    }
}

QString Gb18030Stream::decode(QByteArrayView bytes) {
    QByteArray joined;
    if (!held_.isEmpty()) {
        joined = held_ + bytes.toByteArray();
        held_.clear();
        bytes = joined;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto n = static_cast<std::size_t>(bytes.size());
    QString out;
    out.reserve(bytes.size());
    std::size_t runStart = 0;
    bool ascii = true;
    const auto flush = [&](std::size_t end) {
        convert(
            out,
            bytes.sliced(static_cast<qsizetype>(runStart), static_cast<qsizetype>(end - runStart)),
            ascii);
        ascii = true;
    };
    std::size_t i = 0;
    while (i < n) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        const int len = SequenceAt(p, n, i);
        if (len > 0) {
            ascii = false;
            i += static_cast<std::size_t>(len);
            continue;
        }
        flush(i);
        if (len == 0) {
            held_ = bytes.sliced(static_cast<qsizetype>(i)).toByteArray();
            return out;
        }
        out.append(QChar(QChar::ReplacementCharacter));
        i += static_cast<std::size_t>(-len);
        runStart = i;
    }
    flush(n);
    return out;
}

QString Gb18030Stream::decodeAll(QByteArrayView bytes) {
    Gb18030Stream stream;
    return stream.decode(bytes);
}

}  // namespace zenta
