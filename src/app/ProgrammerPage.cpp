// The programmer page: the start button's handler and the adapter that lets the
// programming run use the window's port, receive path, controls and message boxes.
#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "app/ComMainForm.h"
#include "app/FormState.h"
#include "app/StatusPanels.h"
#include "app/UiPrompts.h"
#include "isp/IspRun.h"
#include "serial/ctl/CPortCtl.h"

struct TForm1::IspState {
    zenta::isp::THexImage image;
    std::string text;  // the HEX file's text, kept for its capacity
    // Wakes a short wait that nothing else would end in time.
    QTimer wake;
    // Ends every longer wait within kIdleSliceMs while a run lasts.
    QTimer heartbeat;
    QElapsedTimer clock;
};

void TForm1::IspStateDeleter::operator()(IspState* s) const {
    delete s;
}

namespace zenta {
namespace {

using isp::PortError;

// The run's view of the window.
class TIspAdapter final : public isp::IspPort,
                          public isp::IspEvents,
                          public isp::IspMessages,
                          public isp::IspWindow {
  public:
    explicit TIspAdapter(TForm1& form) : f_(form) {}

    // Port failures in the engine become the run's PortError.
    template <class Op>
    static void Guard(Op op) {
        try {
            op();
        } catch (const std::exception& e) {
            throw PortError(e.what());
        }
    }

    bool lost = false;

    // ---- port
    bool Connected() const override { return f_.ComPort.Connected(); }
    void Write(std::string_view frame) override {
        Guard([&] { f_.ComPort.Write(frame.data(), static_cast<int>(frame.size())); });
        longFrameOut_ = frame.size() >= kLongFrame;
    }
    void SetDTR(bool on) override {
        Guard([&] { f_.ComPort.SetDTR(on); });
    }
    void SetRTS(bool on) override {
        Guard([&] { f_.ComPort.SetRTS(on); });
    }
    void SetOneStopBit() override {
        Guard([&] { f_.ComPort.SetStopBits(sbOneStopBit); });
    }
    bool Lost() const override { return lost || !f_.ComPort.Connected(); }

    // ---- events
    std::uint64_t NowMs() override { return static_cast<std::uint64_t>(f_.isp_->clock.elapsed()); }
    void ServeEvents(int maxWaitMs) override {
        const bool ownerReads = f_.ComPort.Connected() && f_.ComPort.OwnerReads();
        if (maxWaitMs <= 0) {
            if (ownerReads) {
                // Between blocks: the window is served while the next data frame is on
                // the line and the chip writes it, rather than before the next block.
                windowDue_ = true;
                return;
            }
            QCoreApplication::processEvents();
            return;
        }
        if (ownerReads) {
            if (windowDue_ && longFrameOut_) {
                windowDue_ = false;
                QCoreApplication::processEvents();
            }
            // A reply is read and shown here as soon as it comes; the rest of the window
            // is served when none came within a short slice.
            if (f_.ComPort.ServeInput(std::min(maxWaitMs, kReplySliceMs))) {
                return;
            }
            windowDue_ = false;
            QCoreApplication::processEvents();
            return;
        }
        // The heartbeat bounds the idle waits; only shorter ones need a timer of their own.
        const bool ownTimer = maxWaitMs < zenta::isp::TBootLink::kIdleSliceMs;
        if (ownTimer) {
            f_.isp_->wake.start(maxWaitMs);
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (ownTimer) {
            f_.isp_->wake.stop();
        }
    }
    bool StopFlag() const override { return ::StopFlag != 0; }
    void SetStopFlag(bool on) override { ::StopFlag = on ? 1 : 0; }

    // ---- messages
    bool English() const override { return EnglishUI == 1; }
    void Print(const std::string& text) override { f_.winprint(QString::fromStdString(text)); }
    void MessageBox(const std::string& text) override {
        Prompts().ShowMessage(QString::fromStdString(text));
    }

    // ---- controls
    void SetStartEnabled(bool on) override { f_.isp255_stm32->setEnabled(on); }
    void SetOpenEnabled(bool on) override { f_.Button_Open->setEnabled(on); }
    void SetSendFileEnabled(bool on) override { f_.Button4->setEnabled(on); }
    void SetSendEnabled(bool on) override { f_.Button_Send->setEnabled(on); }
    void ClearReceiveText() override { memo::Clear(f_.Memo); }
    void CaretToEnd() override { f_.Memo->scrollToEnd(); }
    void Repaint() override { f_.Memo->viewport()->repaint(); }
    bool PacketSplit() const override { return f_.timeoutCRLF->isChecked(); }
    void SetPacketSplit(bool on) override { TForm1::SetChecked(f_.timeoutCRLF, on); }
    void StopAutomaticSends() override {
        TForm1::SetChecked(f_.CheckBox6, false);
        f_.Send_N_StringTimer->stop();
        TForm1::SetChecked(f_.CheckBox3, false);
        f_.SendStringTimer->stop();
    }
    bool OpenAction() override {
        // The action reports its own failure; the run then meets a closed port.
        TForm1::InvokeClick(f_.Button_Open);
        return true;
    }
    int BaudOrdinal() const override { return static_cast<int>(f_.ComPort.BaudRate()); }
    void SetBaudOrdinal(int ordinal) override {
        f_.ComComboBox2->setCurrentIndex(ordinal);
        Guard([&] { f_.ComPort.SetBaudRate(static_cast<TBaudRate>(ordinal)); });
    }
    int BitRate() const override { return BaudRateValue(f_.ComPort.BaudRate()); }
    void SetParityEven(bool even) override {
        f_.ComComboBox5->setCurrentIndex(even ? prEven : prNone);
        Guard([&] { f_.ComPort.Parity().SetBits(even ? prEven : prNone); });
    }
    void OpenPort() override {
        Guard([&] { f_.ComPort.Open(); });
    }
    void ClosePort() override {
        try {
            f_.ComPort.Close();
        } catch (const std::exception&) {
            // Closing a port that already failed: it is closed either way.
        }
    }
    // Painting the bar and the status bar after every block would cost more than the
    // block's exchange at high bit rates: during the block loop they are brought up to
    // date at the window's refresh tick, in the same paint as the receive count, and
    // always when the loop ends.
    void SetProgress(int position, bool visible) override {
        pendingPosition_ = position;
        if (visible && f_.ProgressBar1->isVisible() && position != 0 && position != 100) {
            return;
        }
        Flush();
        f_.ProgressBar1->setVisible(visible);
    }
    void ShowBlockStatus(std::int64_t txCount, std::int64_t blockOffset) override {
        pendingTx_ = txCount;
        pendingOffset_ = blockOffset;
    }
    std::int64_t AddTxCount(std::int64_t bytes) override { return f_.Rx.txCount += bytes; }
    void ResetReceiveCount() override { f_.Rx.ResetReplyStream(); }
    void ReleaseResetBoxes() override {
        TForm1::SetChecked(f_.CheckBox2, false);
        TForm1::SetChecked(f_.CheckBox1, false);
    }
    std::string FileName() const override { return f_.Edit2->text().toStdString(); }

    void Flush() {
        f_.ProgressBar1->setValue(pendingPosition_);
        if (pendingOffset_ >= 0) {
            f_.StatusBar1->SetPanelText(1, QStringLiteral("S:") + QString::number(pendingTx_));
            f_.StatusBar1->SetPanelText(0,
                                        QStringLiteral("File:") + QString::number(pendingOffset_));
            pendingOffset_ = -1;
        }
    }

  private:
    static constexpr int kReplySliceMs = 50;
    // A frame this long keeps the line busy for a while (258 bytes: 6 ms at 460800).
    static constexpr std::size_t kLongFrame = 64;

    TForm1& f_;
    bool windowDue_ = false;
    bool longFrameOut_ = false;
    int pendingPosition_ = 0;
    std::int64_t pendingTx_ = 0;
    std::int64_t pendingOffset_ = -1;
};

}  // namespace
}  // namespace zenta

void TForm1::ConnectIspHandlers() {
    isp_.reset(new IspState);
    isp_->wake.setSingleShot(true);
    isp_->heartbeat.setInterval(zenta::isp::TBootLink::kIdleSliceMs);
    isp_->clock.start();
    connect(isp255_stm32, &QPushButton::clicked, this, [this] { isp255_stm32Click(isp255_stm32); });
}

void TForm1::isp255_stm32Click(QObject* /*Sender*/) {
    if (ispRunning || FileSendRunning()) {
        return;
    }
    ispRunning = true;
    zenta::TIspAdapter io(*this);
    zenta::isp::TBootLink link(io, io, io);
    zenta::isp::TIspRun run(io, io, io, io, link, isp_->image, isp_->text);
    zenta::isp::RunSettings settings;
    settings.speedOrdinal = zenta::isp::SpeedOrdinal(
        writelow->isChecked(), writemiddle->isChecked(), writefast->isChecked());
    // Replies come through the receive path; a gone device is noticed by the waits.
    Rx.chunkTap = [&link](std::string_view bytes) { link.AppendReplies(bytes); };
    auto previousOnError = ComPort.OnError;
    ComPort.OnError = [&io, previousOnError](TCustomComPort* port, TComErrors errors) {
        if (errors.Contains(ceIO)) {
            io.lost = true;
        }
        if (previousOnError) {
            previousOnError(port, errors);
        }
    };
    struct Restore {
        TForm1& f;
        std::function<void(TCustomComPort*, TComErrors)> onError;
        QMetaObject::Connection tick;
        ~Restore() {
            QObject::disconnect(tick);
            f.isp_->heartbeat.stop();
            f.ComPort.OnError = onError;
            f.ComPort.SetOwnerReads(false);
            f.Rx.chunkTap = nullptr;
            f.ispRunning = false;
        }
    } restore{*this, previousOnError,
              connect(Refresh100msTimer, &QTimer::timeout, this, [&io] { io.Flush(); })};
    isp_->heartbeat.start();
    // The run waits for each reply on this thread: one wake-up per reply, not two.
    ComPort.SetOwnerReads(true);
    run.Run(settings);
}
