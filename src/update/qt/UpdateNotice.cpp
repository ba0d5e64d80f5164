#include "update/qt/UpdateNotice.h"

#include <QStringDecoder>

#include "text/Gb18030.h"

namespace zenta {

UpdateNotice MakeUpdateNotice(int compare, bool english, const QString& version,
                              const QString& notice, const QString& download) {
    UpdateNotice n;
    if (compare > 0) {
        if (english) {
            n.memoText = QStringLiteral("Find the Newest version:") + version +
                         QStringLiteral("\r\n") + notice + QStringLiteral("\r\n") + download;
            n.captionPrefix =
                QStringLiteral("(★Find the Newest version V") + version + QStringLiteral("★)");
        } else {
            n.memoText = QStringLiteral("发现最新版本:") + version + QStringLiteral("\r\n") +
                         notice + QStringLiteral("\r\n下载地址:\r\n") + download;
            n.captionPrefix = QStringLiteral("(★有新版本V") + version + QStringLiteral("★)");
        }
    } else if (compare == 0) {
        n.captionSuffix =
            english ? QStringLiteral("(Newest version)") : QStringLiteral("(已经是最新版本)");
    } else {
        n.captionSuffix =
            english ? QStringLiteral("(Beyond version)") : QStringLiteral("(你的版本超前了)");
    }
    return n;
}

bool IsUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

QString DecodePageText(const QByteArray& bytes, bool utf8) {
    if (utf8) {
        return QString::fromUtf8(bytes);
    }
    return FromGb18030(bytes);
}

}  // namespace zenta
