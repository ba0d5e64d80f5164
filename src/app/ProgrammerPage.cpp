// The programmer page: the start button's handler and the adapter that lets the
// programming run use the window's port, receive path, controls and message boxes.
#include "app/ProgrammerPage.h"

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTimer>
#include <QVBoxLayout>

#include "app/ConnectionPanel.h"
#include "app/IspSchematic.h"
#include "app/PanelWidgets.h"
#include "app/StatusPanels.h"
#include "app/UiPrompts.h"
#include "app/WindowLinks.h"
#include "app/WindowState.h"
#include "app/core/LanguageTable.h"
#include "datapath/ReceiveState.h"
#include "datapath/qt/ReceiveView.h"
#include "isp/IspRun.h"
#include "isp/IspTexts.h"
#include "serial/CPort.h"
#include "serial/ctl/CPortCtl.h"

using panel_widgets::SetChecked;

struct ProgrammerPage::State {
    zenta::isp::THexImage image;
    std::string text;  // the HEX file's text, kept for its capacity
    // Wakes a short wait that nothing else would end in time.
    QTimer wake;
    // Ends every longer wait within kIdleSliceMs while a run lasts.
    QTimer heartbeat;
    QElapsedTimer clock;
};

namespace zenta {
namespace {

using isp::PortError;

// The run's view of the window.
class ProgrammerAdapter final : public isp::IspPort,
                                public isp::IspEvents,
                                public isp::IspMessages,
                                public isp::IspWindow {
  public:
    ProgrammerAdapter(ProgrammerPage& page, ProgrammerPage::State& state, WindowLinks& window,
                      ConnectionPanel& connection)
        : page_(page), state_(state), w_(window), c_(connection) {
        sinceServed_.start();
    }

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
    bool Connected() const override { return Port().Connected(); }
    void Write(std::string_view frame) override {
        Guard([&] { Port().Write(frame.data(), static_cast<int>(frame.size())); });
        longFrameOut_ = frame.size() >= kLongFrame;
    }
    void SetDTR(bool on) override {
        Guard([&] { Port().SetDTR(on); });
    }
    void SetRTS(bool on) override {
        Guard([&] { Port().SetRTS(on); });
    }
    void SetOneStopBit() override {
        Guard([&] { Port().SetStopBits(sbOneStopBit); });
        c_.stopBitsBox->setCurrentIndex(sbOneStopBit);
    }
    void SetEightDataBits() override {
        Guard([&] { Port().SetDataBits(dbEight); });
        c_.dataBitsBox->setCurrentIndex(dbEight);
    }
    bool Lost() const override { return lost || !Port().Connected(); }

    // ---- events
    std::uint64_t NowMs() override { return static_cast<std::uint64_t>(state_.clock.elapsed()); }
    void ServeEvents(int maxWaitMs) override {
        const bool ownerReads = Port().Connected() && Port().OwnerReads();
        if (maxWaitMs <= 0) {
            if (ownerReads) {
                // Between blocks: the window is served twenty times a second, while
                // the line is busy with a long frame (a block written, or the reply of a
                // block read back), rather than on every block.
                if (!windowDue_ && sinceServed_.elapsed() >= kServeEveryMs) {
                    windowDue_ = true;
                    waitsSinceDue_ = 0;
                }
                return;
            }
            QCoreApplication::processEvents();
            return;
        }
        if (ownerReads) {
            if (windowDue_ && (longFrameOut_ || ++waitsSinceDue_ >= kWaitsBeforeLongReply)) {
                ServeWindow();
            }
            // A reply is read and shown here as soon as it comes; the rest of the window
            // is served when none came within a short slice.
            if (Port().ServeInput(std::min(maxWaitMs, kReplySliceMs))) {
                return;
            }
            ServeWindow();
            return;
        }
        // The heartbeat bounds the idle waits; only shorter ones need a timer of their own.
        const bool ownTimer = maxWaitMs < zenta::isp::TBootLink::kIdleSliceMs;
        if (ownTimer) {
            state_.wake.start(maxWaitMs);
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (ownTimer) {
            state_.wake.stop();
        }
    }
    bool StopFlag() const override { return ::StopFlag != 0; }
    void SetStopFlag(bool on) override { ::StopFlag = on ? 1 : 0; }

    // ---- messages
    bool English() const override { return EnglishUI == 1; }
    void Print(const std::string& text) override { w_.Print(QString::fromStdString(text)); }
    void MessageBox(const std::string& text) override {
        Prompts().ShowMessage(QString::fromStdString(text));
    }
    bool Confirm(const std::string& text) override {
        return Prompts().Confirm(QString::fromStdString(text));
    }

    // ---- controls
    void SetStartEnabled(bool on) override { page_.startButton->setEnabled(on); }
    void SetOpenEnabled(bool on) override { w_.SetOpenEnabled(on); }
    void SetSendFileEnabled(bool on) override { w_.SetSendFileEnabled(on); }
    void SetSendEnabled(bool on) override { w_.SetSendEnabled(on); }
    void ClearReceiveText() override { w_.View()->clear(); }
    void CaretToEnd() override { w_.View()->scrollToEnd(); }
    void Repaint() override { w_.View()->viewport()->repaint(); }
    bool PacketSplit() const override { return w_.PacketSplit(); }
    void SetPacketSplit(bool on) override { w_.SetPacketSplit(on); }
    void StopAutomaticSends() override {
        // The run sets the stop flag itself where it needs it.
        const uint8_t stop = ::StopFlag;
        w_.StopAutomaticSends();
        ::StopFlag = stop;
    }
    bool OpenAction() override {
        // The action reports its own failure; the run then meets a closed port.
        w_.OpenAction();
        return true;
    }
    int BaudOrdinal() const override { return static_cast<int>(Port().BaudRate()); }
    void SetBaudOrdinal(int ordinal) override {
        c_.baudBox->setCurrentIndex(ordinal);
        Guard([&] { Port().SetBaudRate(static_cast<TBaudRate>(ordinal)); });
    }
    int BitRate() const override { return BaudRateValue(Port().BaudRate()); }
    void SetParityEven(bool even) override {
        c_.parityBox->setCurrentIndex(even ? prEven : prNone);
        Guard([&] { Port().Parity().SetBits(even ? prEven : prNone); });
    }
    void OpenPort() override {
        Guard([&] { Port().Open(); });
    }
    void ClosePort() override {
        try {
            Port().Close();
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
        if (visible && w_.Progress()->isVisible() && position != 0 && position != 100) {
            return;
        }
        Flush();
        w_.Progress()->setVisible(visible);
    }
    void ShowBlockStatus(std::int64_t txCount, std::int64_t blockOffset) override {
        pendingTx_ = txCount;
        pendingOffset_ = blockOffset;
    }
    std::int64_t AddTxCount(std::int64_t bytes) override { return w_.Received().txCount += bytes; }
    void ResetReceiveCount() override { w_.Received().ResetReplyStream(); }
    void ReleaseResetBoxes() override {
        SetChecked(c_.rtsCheck, false);
        SetChecked(c_.dtrCheck, false);
    }
    std::string FileName() const override { return w_.FilePath().toStdString(); }
    // Every ending puts back the line the run found: bit rate, data bits, parity, stop bits.
    bool SaveLine(isp::IspLine& line) const override {
        const TComPort& port = Port();
        line.baudOrdinal = static_cast<int>(port.BaudRate());
        line.dataBits = static_cast<int>(port.DataBits());
        line.parity = static_cast<int>(port.Parity().Bits());
        line.stopBits = static_cast<int>(port.StopBits());
        return true;
    }
    void RestoreLine(const isp::IspLine& line) override {
        c_.baudBox->setCurrentIndex(line.baudOrdinal);
        c_.dataBitsBox->setCurrentIndex(line.dataBits);
        c_.parityBox->setCurrentIndex(line.parity);
        c_.stopBitsBox->setCurrentIndex(line.stopBits);
        Guard([&] {
            TComPort& port = Port();
            port.BeginUpdate();
            port.SetBaudRate(static_cast<TBaudRate>(line.baudOrdinal));
            port.SetDataBits(static_cast<TDataBits>(line.dataBits));
            port.Parity().SetBits(static_cast<TParityBits>(line.parity));
            port.SetStopBits(static_cast<TStopBits>(line.stopBits));
            port.EndUpdate();
        });
    }
    // A port the run opened is not reopened by the replug wait after an unplug.
    void ForgetPort() override { c_.StopWaiting(); }

    void Flush() {
        w_.Progress()->setValue(pendingPosition_);
        if (pendingOffset_ >= 0) {
            w_.Status()->SetPanelText(1, QStringLiteral("S:") + QString::number(pendingTx_));
            w_.Status()->SetPanelText(0, QStringLiteral("File:") + QString::number(pendingOffset_));
            pendingOffset_ = -1;
        }
    }

  private:
    void ServeWindow() {
        windowDue_ = false;
        sinceServed_.start();
        QCoreApplication::processEvents();
    }

    static constexpr int kReplySliceMs = 50;
    static constexpr int kServeEveryMs = 50;
    // A block read back: command, address, then the count whose reply is the long one.
    static constexpr int kWaitsBeforeLongReply = 3;
    // A frame this long keeps the line busy for a while (258 bytes: 6 ms at 460800).
    static constexpr std::size_t kLongFrame = 64;

    TComPort& Port() const { return w_.Port(); }

    ProgrammerPage& page_;
    ProgrammerPage::State& state_;
    WindowLinks& w_;
    ConnectionPanel& c_;
    bool windowDue_ = false;
    bool longFrameOut_ = false;
    int waitsSinceDue_ = 0;
    QElapsedTimer sinceServed_;
    int pendingPosition_ = 0;
    std::int64_t pendingTx_ = 0;
    std::int64_t pendingOffset_ = -1;
};

}  // namespace
}  // namespace zenta

ProgrammerPage::ProgrammerPage(QWidget* tab, WindowLinks& window, ConnectionPanel& connection)
    : QObject(tab),
      page(tab),
      window_(window),
      connection_(connection),
      state_(std::make_unique<State>()) {
    using namespace panel_widgets;
    auto* col = new QVBoxLayout(page);
    col->setContentsMargins(4, 4, 4, 4);
    col->setSpacing(4);
    startButton = Button(page, "ispStartButton", QStringLiteral("开始下载STM32"));
    startButton->setMinimumHeight(30);
    col->addWidget(startButton);
    slowRadio = Named(new QRadioButton(QStringLiteral("烧64K字节约10秒,稍慢(普通串口)"), page),
                      "slowRadio");
    middleRadio = Named(new QRadioButton(QStringLiteral("烧64K字节约5.3秒,适中(CH340)"), page),
                        "middleRadio");
    fastRadio = Named(new QRadioButton(QStringLiteral("最快(可能不稳定)"), page), "fastRadio");
    middleRadio->setChecked(true);
    col->addWidget(slowRadio);
    col->addWidget(middleRadio);
    col->addWidget(fastRadio);
    verifyCheck = Check(page, "verifyCheck", QStringLiteral("写入后校验"));
    verifyCheck->setChecked(true);
    erasePagesCheck = Check(page, "erasePagesCheck", QStringLiteral("只擦除用到的扇区"));
    // Both options on one row: the wiring diagram keeps its room below.
    auto* options = new QHBoxLayout;
    options->setContentsMargins(0, 0, 0, 0);
    options->addWidget(verifyCheck);
    options->addWidget(erasePagesCheck);
    options->addStretch(1);
    col->addLayout(options);
    helpText = Named(new QPlainTextEdit(page), "ispHelpText");
    helpText->setReadOnly(true);
    helpText->setMaximumHeight(110);
    col->addWidget(helpText);
    schematic = Named(new TIspSchematic(page), "ispSchematic");
    col->addWidget(schematic, 1);

    state_->wake.setSingleShot(true);
    state_->heartbeat.setInterval(zenta::isp::TBootLink::kIdleSliceMs);
    state_->clock.start();
    connect(startButton, &QPushButton::clicked, this, &ProgrammerPage::onStartClicked);
}

ProgrammerPage::~ProgrammerPage() = default;

void ProgrammerPage::LoadOptions(QSettings& settings) {
    verifyCheck->setChecked(settings.value(QStringLiteral("programmer/verify"), true).toBool());
    erasePagesCheck->setChecked(
        settings.value(QStringLiteral("programmer/erasePagesOnly"), false).toBool());
}

void ProgrammerPage::SaveOptions(QSettings& settings) const {
    settings.setValue(QStringLiteral("programmer/verify"), verifyCheck->isChecked());
    settings.setValue(QStringLiteral("programmer/erasePagesOnly"), erasePagesCheck->isChecked());
}

void ProgrammerPage::SetEnglish(bool english) {
    verifyCheck->setText(english ? QStringLiteral("Verify") : QStringLiteral("写入后校验"));
    erasePagesCheck->setText(english ? QStringLiteral("Erase used pages only")
                                     : QStringLiteral("只擦除用到的扇区"));
    QString help = zenta::Stm32HelpText(english);
    help.remove(QLatin1Char('\r'));
    helpText->setPlainText(help);
    schematic->SetEnglish(english);
}

void ProgrammerPage::onStartClicked() {
    if (running_) {
        return;
    }
    if (window_.FileSendRunning()) {
        // Nothing starts while a file is on the line; the user is told why.
        window_.Print(QString::fromStdString(
            zenta::isp::Text(zenta::isp::IspText::BusySending, EnglishUI == 1)));
        return;
    }
    running_ = true;
    TComPort& port = window_.Port();
    zenta::ProgrammerAdapter io(*this, *state_, window_, connection_);
    zenta::isp::TBootLink link(io, io, io);
    zenta::isp::TIspRun run(io, io, io, io, link, state_->image, state_->text);
    zenta::isp::RunSettings settings;
    settings.speedOrdinal = zenta::isp::SpeedOrdinal(
        slowRadio->isChecked(), middleRadio->isChecked(), fastRadio->isChecked());
    settings.verify = verifyCheck->isChecked();
    settings.erase =
        erasePagesCheck->isChecked() ? zenta::isp::EraseMode::Pages : zenta::isp::EraseMode::All;
    // Replies come through the receive path; a gone device is noticed by the waits.
    window_.Received().chunkTap = [&link](std::string_view bytes) { link.AppendReplies(bytes); };
    auto previousOnError = port.OnError;
    port.OnError = [&io, previousOnError](TCustomComPort* p, TComErrors errors) {
        if (errors.Contains(ceIO)) {
            io.lost = true;
        }
        if (previousOnError) {
            previousOnError(p, errors);
        }
    };
    // The replies, a verify's read-back of the whole image among them, are shown a few
    // times a second: their painting runs on the thread that waits for the next reply.
    constexpr int kRunShowMs = 500;
    zenta::ReceiveView* view = window_.View();
    const int viewHold = view->appendHoldMs();
    view->setAppendHoldMs(kRunShowMs);
    struct Restore {
        ProgrammerPage& page;
        TComPort& port;
        std::function<void(TCustomComPort*, TComErrors)> onError;
        QMetaObject::Connection tick;
        zenta::ReceiveView* view;
        int viewHold;
        ~Restore() {
            page.window_.DeferReceiveDisplay(false);
            view->setAppendHoldMs(viewHold);
            QObject::disconnect(tick);
            page.state_->heartbeat.stop();
            port.OnError = onError;
            port.SetOwnerReads(false);
            page.window_.Received().chunkTap = nullptr;
            page.running_ = false;
        }
    } restore{*this, port, previousOnError,
              // The bar and the status bar are brought up to date with the refresh tick.
              connect(window_.RefreshTick(), &QTimer::timeout, this, [&io] { io.Flush(); }), view,
              viewHold};
    state_->heartbeat.start();
    // The run waits for each reply on this thread: one wake-up per reply, not two, and the
    // window shows the replies when it is served rather than before the run goes on.
    port.SetOwnerReads(true);
    window_.DeferReceiveDisplay(true);
    run.Run(settings);
}
