#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

namespace zenta {

// GB18030 bytes to text, fed in pieces, with a result that never depends on where
// the pieces were cut. A sequence left incomplete at the end of a piece waits for the
// next one; a lead byte that no valid sequence follows becomes U+FFFD and decoding
// goes on with the byte after it, so no byte is ever swallowed. (A converter fed the
// pieces one by one keeps state across calls and loses a byte when an invalid
// sequence is split.)
class Gb18030Stream {
  public:
    Gb18030Stream();

    QString decode(QByteArrayView bytes);
    // Forgets a held incomplete sequence.
    void reset() { held_.clear(); }
    // A whole text at once; an incomplete sequence at its end is not shown.
    static QString decodeAll(QByteArrayView bytes);

  private:
    QString decodeComplete(QByteArrayView complete);

    QByteArray held_;
    QStringDecoder converter_;
};

}  // namespace zenta
