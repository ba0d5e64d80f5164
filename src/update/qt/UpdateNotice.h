#pragma once

#include <QString>

namespace zenta {

// What the window shows for the outcome of the version compare: a text for the receive
// window (only for a newer version) and what goes before and after the window caption.
struct UpdateNotice {
    QString memoText;
    QString captionPrefix;
    QString captionSuffix;
};

// `compare` is the page's version against the running one (-1, 0, 1).
UpdateNotice MakeUpdateNotice(int compare, bool english, const QString& version,
                              const QString& notice, const QString& download);

// The page's bytes as text: UTF-8 when they are valid UTF-8, else GB18030 (GBK).
QString DecodePageText(const QByteArray& bytes, bool utf8);
bool IsUtf8(const QByteArray& bytes);

}  // namespace zenta
