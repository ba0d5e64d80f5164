#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include "datapath/qt/Gb18030Stream.h"
#include "datapath/text/TextEncoding.h"
#include "datapath/text/Utf8.h"

namespace zenta {

// Received bytes to text in the chosen code page, fed in pieces: the result never
// depends on where the pieces were cut, and bytes that make no character show as
// U+FFFD, one for each.
class TextStream {
  public:
    explicit TextStream(TextEncoding encoding = TextEncoding::Gb18030) : encoding_(encoding) {}

    TextEncoding encoding() const { return encoding_; }
    // Forgets a held incomplete sequence too.
    void setEncoding(TextEncoding encoding) {
        encoding_ = encoding;
        reset();
    }
    QString decode(QByteArrayView bytes);
    void reset() {
        gb_.reset();
        utf8_.Reset();
    }
    // A whole text at once; an incomplete sequence at its end is not shown.
    static QString decodeAll(TextEncoding encoding, QByteArrayView bytes);

  private:
    TextEncoding encoding_;
    Gb18030Stream gb_;
    Utf8Stream utf8_;
};

// Text to send, in the chosen code page (a character Latin-1 lacks goes as '?').
QByteArray EncodeText(const QString& text, TextEncoding encoding);

}  // namespace zenta
