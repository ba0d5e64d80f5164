// The refresh tick (status bar, option highlights) and the receive handler.
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>

#include "app/ComMainForm.h"
#include "app/FormState.h"
#include "app/StatusPanels.h"
#include "app/core/Gb18030.h"
#include "app/core/Messages.h"
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

}  // namespace

void TForm1::Rfreues100msTimer(QObject* /*Sender*/) {
    if (++refreshTick_ >= 10) {
        refreshTick_ = 0;
        // The chart redraw plugs in here.
    }
    const bool open = ComPort.Connected();
    PortStateText = zenta::Msg(open ? zenta::MsgId::PortOpenedState : zenta::MsgId::PortClosedState,
                               EnglishUI == 1);
    const int baud = ComComboBox2->currentIndex() == 0 ? ComPort.CustomBaudRate()
                                                       : BaudRateTable.at(ComPort.BaudRate());
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
    Highlight(Label10, verifyBox->currentIndex() > 0);
}

void TForm1::ComPortRxChar(QObject* /*Sender*/, int Count) {
    std::string chunk;
    ComPort.ReadStr(chunk, Count);
    if (chunk.empty()) {
        return;
    }
    static QElapsedTimer clock;
    if (!clock.isValid()) {
        clock.start();
    }
    const QTime now = QTime::currentTime();
    zenta::ReceiveInput in;
    in.chunk = chunk;
    in.hexDisplay = CheckBox5->isChecked();
    in.packetSplit = timeoutCRLF->isChecked();
    const std::string timeout = timeoutText->text().toStdString();
    in.timeoutText = timeout;
    in.nowTickMs = static_cast<uint32_t>(clock.elapsed());
    in.time = {now.hour(), now.minute(), now.second(), now.msec()};
    in.englishUI = EnglishUI == 1;
    const zenta::ReceiveOutput out = Rx.OnChunk(in);
    if (out.trimmed) {
        const std::string_view all = Rx.WindowText(in.hexDisplay);
        memo::SetText(Memo, zenta::FromGb18030(QByteArrayView(all.data(), all.size())));
    } else if (!out.display.empty()) {
        memo::AppendBytes(Memo, QByteArrayView(out.display.data(), out.display.size()));
    }
}
