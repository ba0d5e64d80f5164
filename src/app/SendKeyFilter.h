#pragma once

#include <QChar>
#include <QObject>
#include <functional>

class QKeyEvent;

// Hands each character key of a widget to a handler before the widget sees it; the
// handler discards the key by setting it to 0. Keys without a character (arrows,
// Delete, Home), Tab/Shift+Tab (focus moves), select all and copy pass untouched.
// Any other Ctrl+letter arrives as its control character.
class TKeyPressFilter : public QObject {
    Q_OBJECT
  public:
    using Handler = std::function<void(QChar& key)>;
    TKeyPressFilter(QObject* parent, Handler handler);

    // The character a key press stands for, or 0 when it has none.
    static QChar KeyChar(const QKeyEvent* e);

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    Handler handler_;
};
