#include "datapath/qt/TextStream.h"

#include <QStringEncoder>

#include <string_view>

namespace zenta {

namespace {

std::string_view bytesOf(QByteArrayView b) {
    return {b.data(), static_cast<std::size_t>(b.size())};
}

std::u16string_view unitsOf(const QString& s) {
    return {reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size())};
}

}  // namespace

QString TextStream::decode(QByteArrayView bytes) {
    switch (encoding_) {
        case TextEncoding::Utf8: {
            QString out(static_cast<qsizetype>(utf8_.MaxUnits(bytes.size())), Qt::Uninitialized);
            const std::size_t n =
                utf8_.Decode(bytesOf(bytes), reinterpret_cast<char16_t*>(out.data()));
            out.truncate(static_cast<qsizetype>(n));
            return out;
        }
        case TextEncoding::Latin1:
            return QString::fromLatin1(bytes);
        case TextEncoding::Gb18030:
            break;
    }
    return gb_.decode(bytes);
}

QString TextStream::decodeAll(TextEncoding encoding, QByteArrayView bytes) {
    TextStream stream(encoding);
    return stream.decode(bytes);
}

QByteArray EncodeText(const QString& text, TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::Utf8: {
            const std::string b = EncodeUtf8(unitsOf(text));
            return QByteArray(b.data(), static_cast<qsizetype>(b.size()));
        }
        case TextEncoding::Latin1: {
            const std::string b = EncodeLatin1(unitsOf(text));
            return QByteArray(b.data(), static_cast<qsizetype>(b.size()));
        }
        case TextEncoding::Gb18030:
            break;
    }
    QStringEncoder encoder("GB18030");
    if (!encoder.isValid()) {
        return text.toUtf8();  // only without ICU; never silently drop the text
    }
    return encoder.encode(text);
}

}  // namespace zenta
