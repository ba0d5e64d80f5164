#include "text/Gb18030.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace zenta {

QByteArray ToGb18030(const QString& text) {
    QStringEncoder encoder("GB18030");
    if (!encoder.isValid()) {
        return text.toUtf8();  // only without ICU; never silently drop the text
    }
    return encoder.encode(text);
}

QString FromGb18030(QByteArrayView bytes) {
    QStringDecoder decoder("GB18030");
    if (!decoder.isValid()) {
        return QString::fromUtf8(bytes);
    }
    return decoder.decode(bytes);
}

}  // namespace zenta
