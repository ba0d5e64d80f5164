// The receive handler, the receive-window options and the refresh tick.
#include <time.h>

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTime>
#include <QTimer>
#include <algorithm>

#include "app/Clock.h"
#include "app/ComMainForm.h"
#include "app/FormState.h"
#include "app/ReceiveSendState.h"
#include "app/SendKeyFilter.h"
#include "app/StatusPanels.h"
#include "app/UiPrompts.h"
#include "app/core/Messages.h"
#include "datapath/SettingsValues.h"
#include "datapath/qt/Gb18030Stream.h"
#include "serial/ctl/CPortCtl.h"

namespace {

void Highlight(QWidget* w, bool on) {
    const QString sheet = on ? QStringLiteral("background: #FFFF00;") : QString();
    if (w->styleSheet() != sheet) {
        w->setStyleSheet(sheet);
    }
}

QColor LoadColor(int64_t rxCount) {
    // Deeper warm tones as the receive buffer fills.
    if (rxCount > 2000000) {
        return QColor(0xFF, 0x63, 0x47);
    }
    if (rxCount > 1000000) {
        return QColor(0xFF, 0xA0, 0x7A);
    }
    if (rxCount > 500000) {
        return QColor(0xFF, 0xDA, 0xB9);
    }
    if (rxCount > 200000) {
        return QColor(0xFF, 0xEB, 0xCD);
    }
    return QColor();
}

// A large burst is read in slices of this size ...
constexpr int kReceiveSlice = 64 * 1024;
// ... until this much time is spent; then the event loop gets its turn.
constexpr qint64 kReceiveBudgetMs = 8;
// Shortest time between two showings of received data in the receive window while
// data pours in: re-wrapping, scrolling and painting cost far more than the append.
constexpr int kMemoPaintMs = 100;

// Whole-text decoding follows the same rules as the window's piecewise decoding, so a
// HEX switch or a trim shows what the appends showed.
QString FromBytes(std::string_view bytes) {
    return zenta::Gb18030Stream::decodeAll(
        QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

}  // namespace

void TForm1::ReceiveSendStateDeleter::operator()(ReceiveSendState* s) const {
    delete s;
}

void TForm1::ConnectReceivePath() {
    rs_.reset(new ReceiveSendState);
    rs_->progressHide.setSingleShot(true);
    rs_->progressHide.setInterval(250);
    connect(&rs_->progressHide, &QTimer::timeout, ProgressBar1, &QWidget::hide);
    RxTickSource = zenta::TickMs;
    // The window holds at most the HEX form of the bytes kept until a trim.
    Memo->reserve(static_cast<qsizetype>(zenta::ReceiveState::kTrimAbove + kReceiveSlice) * 3);
    Memo->setAppendHoldMs(kMemoPaintMs);
    // The first packet after start-up must get its header even if it comes at once.
    Rx.lastRxTick = RxTickSource() - 0x80000000u;

    connect(CheckBox5, &QCheckBox::clicked, this, [this] { CheckBox5Click(CheckBox5); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(Button1); });
    connect(SpeedButton2, &QPushButton::clicked, this, [this] { SpeedButton2Click(SpeedButton2); });
    connect(timeoutCRLF, &QCheckBox::clicked, this, [this] { timeoutCRLFClick(timeoutCRLF); });
    connect(timeoutText, &QLineEdit::editingFinished, this,
            [this] { timeoutTextExit(timeoutText); });
    timeoutText->installEventFilter(new TKeyPressFilter(
        timeoutText, [this](QChar& key) { timeoutTextKeyPress(timeoutText, key); }));
    // Capture off closes the file, so it can be moved or read whole at once.
    connect(CheckBox19, &QCheckBox::toggled, this, [this](bool on) {
        if (!on) {
            rs_->capture.Close();
        }
    });
    connect(Memo, &TMemoWidget::clearRequested, this, [this] { Button1Click(Memo); });
}

// ---- receiving

void TForm1::ComPortRxChar(QObject* /*Sender*/, int Count) {
    ReceiveWaiting(Count, true);
}

// A burst the engine queued while the window was busy can be megabytes: it is taken in
// slices, and when a time budget is spent the rest waits for the next round of the
// event loop, so painting and timers keep running. One receive event still makes one
// packet decision: later slices continue the packet their event started.
void TForm1::ReceiveWaiting(int count, bool newEvent) {
    QElapsedTimer spent;
    spent.start();
    bool first = newEvent;
    while (count > 0) {
        const int got = ReceiveChunk(std::min(count, kReceiveSlice), first);
        if (got <= 0) {
            return;
        }
        first = false;
        count -= got;
        if (count > 0 && spent.elapsed() >= kReceiveBudgetMs) {
            ScheduleReceiveRest();
            return;
        }
    }
}

int TForm1::ReceiveChunk(int count, bool packetDecision) {
    std::string chunk;
    try {
        ComPort.ReadStr(chunk, count);
    } catch (const EComPort&) {
        // A gone device: nothing was read; the engine reports the loss on its own.
        return 0;
    }
    if (chunk.empty()) {
        return 0;
    }
    if (CheckBox19->isChecked()) {
        CaptureChunk(chunk);
    }
    zenta::ReceiveInput in;
    in.chunk = chunk;
    in.hexDisplay = CheckBox5->isChecked();
    in.packetSplit = packetDecision && timeoutCRLF->isChecked();
    // The clock and the box are read only when a packet header may be made: the local
    // time costs a look at the time zone file on every call.
    std::string timeout;
    if (in.packetSplit) {
        timeout = timeoutText->text().toStdString();
        in.timeoutText = timeout;
        in.nowTickMs = RxTickSource ? RxTickSource() : zenta::TickMs();
        in.time = zenta::Now();
    }
    in.englishUI = EnglishUI == 1;
    in.progress = [this](zenta::ProgressEvent e, int percent) {
        ShowProgress(static_cast<int>(e), percent);
    };
    const zenta::ReceiveOutput out = Rx.OnChunk(in);
    if (out.trimmed) {
        memo::SetText(Memo, FromBytes(Rx.WindowText(in.hexDisplay)));
    } else if (!out.display.empty()) {
        memo::AppendBytes(
            Memo, QByteArrayView(out.display.data(), static_cast<qsizetype>(out.display.size())));
    }
    return static_cast<int>(chunk.size());
}

void TForm1::ScheduleReceiveRest() {
    if (rs_->restScheduled) {
        return;
    }
    rs_->restScheduled = true;
    QTimer::singleShot(0, this, [this] {
        rs_->restScheduled = false;
        if (!ComPort.Connected()) {
            return;
        }
        int waiting = 0;
        try {
            waiting = ComPort.InputCount();
        } catch (const EComPort&) {
            return;
        }
        if (waiting > 0) {
            ReceiveWaiting(waiting, false);
        }
    });
}

void TForm1::CaptureChunk(const std::string& chunk) {
    // A failed open or write drops this chunk silently; reception goes on.
    rs_->capture.Append(QFile::encodeName(captureFileName).toStdString(), chunk);
}

// The bar would repaint itself synchronously on every step, hundreds of times per
// chunk of a fast stream, and even unpainted a step costs a signal: it paints no steps,
// and takes the last step's value when the conversion ends.
void TForm1::ShowProgress(int event, int percent) {
    switch (static_cast<zenta::ProgressEvent>(event)) {
        case zenta::ProgressEvent::Start:
            rs_->progressHide.stop();
            rs_->progressStep = 0;
            ProgressBar1->setUpdatesEnabled(false);
            ProgressBar1->setValue(0);
            ProgressBar1->show();
            break;
        case zenta::ProgressEvent::Step:
            rs_->progressStep = percent;
            break;
        case zenta::ProgressEvent::End:
            // Showing and hiding the bar re-lays out the window, which re-wraps the whole
            // receive window: during a stream of long chunks the bar stays up in between.
            ProgressBar1->setValue(rs_->progressStep);
            ProgressBar1->setUpdatesEnabled(true);
            rs_->progressHide.start();
            break;
    }
}

// ---- receive window options

void TForm1::CheckBox5Click(QObject* /*Sender*/) {
    memo::SetText(Memo, FromBytes(Rx.WindowText(CheckBox5->isChecked())));
}

void TForm1::Button1Click(QObject* /*Sender*/) {
    memo::Clear(Memo);
    Rx.Clear();
    Memo->setFocus();
}

void TForm1::SpeedButton2Click(QObject* /*Sender*/) {
    const QFont initial = Memo->font();
    // Cancel keeps the font the dialog started with.
    const std::optional<QFont> chosen = Prompts().ChooseFont(initial);
    Memo->setFont(chosen.value_or(initial));
    InvokeClick(saveconfig);
}

void TForm1::timeoutCRLFClick(QObject* /*Sender*/) {
    // The box is read when data arrives.
}

void TForm1::timeoutTextKeyPress(QObject* /*Sender*/, QChar& Key) {
    if (timeoutText->text().isEmpty()) {
        timeoutText->setText(QStringLiteral("1"));
    }
    if (!(Key >= QLatin1Char('0') && Key <= QLatin1Char('9')) && Key != QChar(0x08)) {
        Key = QChar(0);
    }
}

void TForm1::timeoutTextExit(QObject* /*Sender*/) {
    const int interval = zenta::ParseIntegerOr(Edit1->text().toStdString(), 0);
    const int timeout = zenta::ParseIntegerOr(timeoutText->text().toStdString(), 0);
    if (interval < timeout) {
        winprint(zenta::Msg(zenta::MsgId::PacketTimeoutNote, EnglishUI == 1));
    }
}

// ---- the refresh tick

void TForm1::Rfreues100msTimer(QObject* /*Sender*/) {
    if (++refreshTick_ >= 10) {
        refreshTick_ = 0;
        if (CheckBox14->isChecked()) {
            BitBtn1Click(this);
        }
    }
    PortStateText = PortStateWord();
    const int baud = ComComboBox2->currentIndex() == 0 ? ComPort.CustomBaudRate()
                                                       : BaudRateValue(ComPort.BaudRate());
    StatusBar1->SetPanelText(3, QString::fromStdString(ComPort.Port()) + PortStateText +
                                    QString::number(baud) + QStringLiteral("bps,") +
                                    DataBitsNames.value(ComPort.DataBits()) + "," +
                                    StopBitsNames.value(ComPort.StopBits()) + "," +
                                    ParityNames.value(ComPort.Parity().Bits()) + "," +
                                    FlowNames.value(ComPort.FlowControl().FlowControl()));
    StatusBar1->SetPanelText(2, QStringLiteral("R:") + QString::number(Rx.rxCount));
    StatusBar1->SetPanelText(1, QStringLiteral("S:") + QString::number(Rx.txCount));
    StatusBar1->SetPanelText(4, CtsText + DsrText + RlsdText);
    StatusBar1->SetColor(LoadColor(Rx.rxCount));

    Highlight(CheckBox4, CheckBox4->isChecked());
    Highlight(CheckBox3, CheckBox3->isChecked());
    Highlight(CheckBox5, CheckBox5->isChecked());
    Highlight(timeoutCRLF, timeoutCRLF->isChecked());
    Highlight(CheckBox19, CheckBox19->isChecked());
    Highlight(NewLine_CB, NewLine_CB->isChecked() && !CheckBox4->isChecked());
    const bool checksum = verifyBox->currentIndex() > 0;
    Highlight(verifyBox, checksum);
    Highlight(Label10, checksum);
}
