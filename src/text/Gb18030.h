#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace zenta {

// The code page of the settings file and of received text: GB18030 reads and writes
// every GBK byte sequence unchanged and can encode every character.
QByteArray ToGb18030(const QString& text);
QString FromGb18030(QByteArrayView bytes);

}  // namespace zenta
