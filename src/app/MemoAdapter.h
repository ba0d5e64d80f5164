#pragma once

#include <QByteArrayView>
#include <QString>

#include "datapath/qt/ReceiveView.h"

// The receive window widget and the few operations the window needs from it.
using TMemoWidget = zenta::ReceiveView;

namespace memo {

// The window shows lines split at LF; a CR never makes a line of its own.
inline QString Lines(QString text) {
    text.remove(QLatin1Char('\r'));
    return text;
}

// Appends at the end; the view follows while it shows the end.
inline void Append(TMemoWidget* m, const QString& text) { m->appendText(text); }

// Received text in the settings code page (GB18030).
inline void AppendBytes(TMemoWidget* m, QByteArrayView bytes) { m->appendBytes(bytes); }

inline void Clear(TMemoWidget* m) { m->clear(); }

inline void SetText(TMemoWidget* m, const QString& text) { m->setPlainText(text); }

inline QString Text(const TMemoWidget* m) { return m->toPlainText(); }

inline TMemoWidget* Create(QWidget* parent) {
    auto* m = new TMemoWidget(parent);
    m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    return m;
}

}  // namespace memo
