#pragma once
// The row under the receive window for working in a device's console: character mode
// (every key goes out at once, as in a terminal), what Enter sends, local echo, and
// BREAK. The keys themselves come from the receive view.

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include "app/ExtSettings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QWidget;
class WindowLinks;

class ConsoleBar : public QObject {
    Q_OBJECT
  public:
    // A paste larger than this is sent only after the user agrees.
    static constexpr qsizetype kAskAbovePaste = 10 * 1024 * 1024;

    ConsoleBar(QWidget* parent, WindowLinks& window);

    QWidget* bar = nullptr;
    QCheckBox* charModeCheck = nullptr;
    QLabel* enterLabel = nullptr;
    QComboBox* lineEndBox = nullptr;
    QCheckBox* echoCheck = nullptr;
    QPushButton* breakButton = nullptr;

    // Written to the settings with the window's other options (within a second).
    const zenta::ConsoleOptions& Options() const { return options_; }
    void ApplyOptions(const zenta::ConsoleOptions& options);
    void SetEncoding(zenta::TextEncoding encoding) { encoding_ = encoding; }
    void SetEnglish(bool english);
    bool PasteRunning() const { return pasteTimer_.isActive(); }
    // Stops a slow paste (port closed, Stop).
    void StopPaste();

  private:
    void onKey(int key, const QString& text, bool* consumed);
    void onPaste(const QString& text, bool* consumed);
    void onBreakClicked();
    void onPasteTick();
    // Bytes of the keys in the send code page; false (and a message) when a character
    // has no form there.
    bool Encode(const QString& text, QByteArray& out);
    bool MayWrite();
    void Write(const QByteArray& bytes);
    void Say(const QString& text);

    WindowLinks& window_;
    zenta::ConsoleOptions options_;
    zenta::TextEncoding encoding_ = zenta::TextEncoding::Gb18030;
    bool english_ = false;
    QTimer breakTimer_;
    QTimer pasteTimer_;
    QByteArray pasteRest_;
};
