#include "app/SendKeyFilter.h"

#include <QKeyEvent>

TKeyPressFilter::TKeyPressFilter(QObject* parent, Handler handler)
    : QObject(parent), handler_(std::move(handler)) {}

QChar TKeyPressFilter::KeyChar(const QKeyEvent* e) {
    const int key = e->key();
    // Tab and Shift+Tab move the focus as in every window; no edit takes them as typing.
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
        return QChar(0);
    }
    // Select all and copy change nothing: every edit takes them, whatever it accepts as
    // typing (a HEX line or a number box would otherwise drop Ctrl+A, and the next keys
    // would land inside the old text).
    if (e->matches(QKeySequence::SelectAll) || e->matches(QKeySequence::Copy)) {
        return QChar(0);
    }
    if ((e->modifiers() & Qt::ControlModifier) && key >= Qt::Key_A && key <= Qt::Key_Z) {
        return QChar(key - Qt::Key_A + 1);
    }
    if (key == Qt::Key_Backspace) {
        return QChar(0x08);
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        return QChar(0x0D);
    }
    if (key == Qt::Key_Escape) {
        return QChar(0x1B);
    }
    const QString text = e->text();
    if (text.size() != 1 || key == Qt::Key_Delete) {
        return QChar(0);
    }
    return text.at(0);
}

bool TKeyPressFilter::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress) {
        const QChar original = KeyChar(static_cast<QKeyEvent*>(e));
        if (!original.isNull()) {
            QChar key = original;
            handler_(key);
            if (key.isNull()) {
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, e);
}
