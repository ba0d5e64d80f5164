#pragma once
// The send side: the send line, HEX send, CR LF, the checksum, timed send and keys typed
// into the receive window; a failed write re-opens the port.
// Needs from outside: the port, the counters, the connection's open action and the
// receive window (for echoes), through WindowLinks.

#include <QObject>
#include <QString>
#include <string>

#include "datapath/TypedLine.h"
#include "datapath/text/TextEncoding.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QWidget;
class PanelFrame;
class WindowLinks;

class SendPanel : public QObject {
    Q_OBJECT
  public:
    SendPanel(QWidget* host, WindowLinks& window);

    // ---- controls
    PanelFrame* optionsBox = nullptr;
    QCheckBox* hexSendCheck = nullptr;    // "HEX发送": the send line is HEX
    QCheckBox* crLfCheck = nullptr;       // "加回车换行": append CR LF
    QCheckBox* timedSendCheck = nullptr;  // "定时发送"
    QLineEdit* intervalEdit = nullptr;    // timed send interval in ms (N56)
    QLabel* intervalUnitLabel = nullptr;  // "ms/次"
    QLabel* checksumLabel = nullptr;      // "末尾加校验:"
    QComboBox* checksumBox = nullptr;     // checksum appended to a send (N60)
    QLineEdit* lineEdit = nullptr;        // the send line
    QPushButton* sendButton = nullptr;    // "发  送"
    QTimer* timedSendTimer = nullptr;

    // The send line's text of the mode not shown (N53 text, N54 HEX).
    QString savedTextLine = QStringLiteral("abcdefg");
    QString savedHexLine = QStringLiteral("12 FF 00 30");

    // ---- handlers
    void onSendClicked();
    void onHexSendClicked();
    void onCrLfClicked();
    void onTimedSendClicked();
    void onTimedSendTick();
    void onLineKey(QChar& key);      // key = 0 discards it
    void onIntervalKey(QChar& key);  // key = 0 discards it
    // Text of one key typed into the receive window (Enter "\r", Backspace "\b").
    void onReceiveViewKey(const QString& key);
    void onReceiveViewPaste(const QString& text);

    // Puts a line into the send line (HEX box first, which swaps the two texts) and,
    // with `send`, sends it.
    void UseLine(bool hex, const QString& text, bool send);
    // Timed send off (loop send is the prepared page's).
    void StopTimedSend();
    // Text of the send line, prepared strings and typed keys goes out in this encoding.
    void SetEncoding(zenta::TextEncoding encoding);
    // Loop send runs: HEX send and timed send are locked meanwhile.
    void SetLoopSendActive(bool on);
    // What was typed into the receive window since the last Enter.
    const std::string& TypedText() const { return typedLine_.text(); }
    // The text that belongs to the slot of the current mode, as the settings file keeps it.
    void StoreShownLine();

  private:
    void BuildControls(QWidget* host);
    // Writes under the failure guard: a port error runs the automatic re-open.
    void WriteGuarded(const std::string& bytes, bool echo);
    void RepairAfterWriteFailure();

    WindowLinks& window_;
    // Characters typed into the receive window since the last Enter.
    zenta::TypedLine typedLine_;
    zenta::TextEncoding encoding_ = zenta::TextEncoding::Gb18030;
};
