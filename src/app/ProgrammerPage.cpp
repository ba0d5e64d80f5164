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

struct ProgrammerPage::State {
    zenta::isp::THexImage image;
    std::string text;  // the HEX file's text, kept for its capacity
    // Resumes a paused run: when its wait is over, a reply came or the device went away.
    QTimer wake;
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
    ProgrammerAdapter(ProgrammerPage& page, ProgrammerPage::State& state, WindowLinks& window)
        : page_(page), state_(state), w_(window) {}

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
    }
    void SetDTR(bool on) override {
        Guard([&] { Port().SetDTR(on); });
    }
    void SetRTS(bool on) override {
        Guard([&] { Port().SetRTS(on); });
    }
    void SetOneStopBit() override {
        Guard([&] { Port().SetStopBits(sbOneStopBit); });
        w_.ShowLine(-1, -1, -1, sbOneStopBit);
    }
    void SetEightDataBits() override {
        Guard([&] { Port().SetDataBits(dbEight); });
        w_.ShowLine(-1, dbEight, -1, -1);
    }
    bool Lost() const override { return lost || !Port().Connected(); }

    // ---- events
    std::uint64_t NowMs() override { return static_cast<std::uint64_t>(state_.clock.elapsed()); }
    // The window drives the run from its own events (ProgrammerPage::Drive): the run
    // pauses where it would wait, and nothing here is ever asked to wait.
    void ServeEvents(int) override {}
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
        w_.ShowLine(ordinal, -1, -1, -1);
        Guard([&] { Port().SetBaudRate(static_cast<TBaudRate>(ordinal)); });
    }
    int BitRate() const override { return BaudRateValue(Port().BaudRate()); }
    void SetParityEven(bool even) override {
        w_.ShowLine(-1, -1, even ? prEven : prNone, -1);
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
    void ReleaseResetBoxes() override { w_.ReleaseResetLines(); }
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
        w_.ShowLine(line.baudOrdinal, line.dataBits, line.parity, line.stopBits);
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
    void ForgetPort() override { w_.StopWaitingForDevice(); }

    void Flush() {
        w_.Progress()->setValue(pendingPosition_);
        if (pendingOffset_ >= 0) {
            w_.Status()->SetPanelText(1, QStringLiteral("S:") + QString::number(pendingTx_));
            w_.Status()->SetPanelText(0, QStringLiteral("File:") + QString::number(pendingOffset_));
            pendingOffset_ = -1;
        }
    }

  private:
    TComPort& Port() const { return w_.Port(); }

    ProgrammerPage& page_;
    ProgrammerPage::State& state_;
    WindowLinks& w_;
    int pendingPosition_ = 0;
    std::int64_t pendingTx_ = 0;
    std::int64_t pendingOffset_ = -1;
};

}  // namespace
}  // namespace zenta

ProgrammerPage::ProgrammerPage(QWidget* tab, WindowLinks& window)
    : QObject(tab), page(tab), window_(window), state_(std::make_unique<State>()) {
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
    state_->wake.setTimerType(Qt::PreciseTimer);
    state_->clock.start();
    connect(&state_->wake, &QTimer::timeout, this, &ProgrammerPage::Drive);
    connect(startButton, &QPushButton::clicked, this, &ProgrammerPage::onStartClicked);
}

// A window destroyed during a run: the run's frames go without running any more of it;
// what it borrowed from the window is gone with the window.
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

// A run in the window: the run itself, its view of the window, and what it borrowed.
struct ProgrammerPage::Run {
    Run(ProgrammerPage& page, WindowLinks& window)
        : io(page, *page.state_, window),
          link(io, io, io),
          run(io, io, io, io, link, page.state_->image, page.state_->text) {}
    zenta::ProgrammerAdapter io;
    zenta::isp::TBootLink link;
    zenta::isp::TIspRun run;
    zenta::isp::RunTask<zenta::isp::RunEnd> task;
    bool started = false;
    std::function<void(TCustomComPort*, TComErrors)> onError;
    QMetaObject::Connection tick;
    int viewHold = 0;
};

void ProgrammerPage::onStartClicked() {
    if (run_) {
        return;
    }
    if (window_.FileSendRunning()) {
        // Nothing starts while a file is on the line; the user is told why.
        window_.Print(QString::fromStdString(
            zenta::isp::Text(zenta::isp::IspText::BusySending, EnglishUI == 1)));
        return;
    }
    run_ = std::make_unique<Run>(*this, window_);
    Run& r = *run_;
    TComPort& port = window_.Port();
    zenta::isp::RunSettings settings;
    settings.speedOrdinal = zenta::isp::SpeedOrdinal(
        slowRadio->isChecked(), middleRadio->isChecked(), fastRadio->isChecked());
    settings.verify = verifyCheck->isChecked();
    settings.erase =
        erasePagesCheck->isChecked() ? zenta::isp::EraseMode::Pages : zenta::isp::EraseMode::All;
    r.task = r.run.Begin(settings);
    // Replies come through the receive path and wake the run; so does a gone device.
    window_.Received().chunkTap = [this](std::string_view bytes) {
        run_->link.AppendReplies(bytes);
        state_->wake.start(0);
    };
    r.onError = port.OnError;
    port.OnError = [this](TCustomComPort* p, TComErrors errors) {
        if (errors.Contains(ceIO)) {
            run_->io.lost = true;
            state_->wake.start(0);
        }
        if (run_->onError) {
            run_->onError(p, errors);
        }
    };
    // The replies, a verify's read-back of the whole image among them, are shown a few
    // times a second rather than as they come.
    constexpr int kRunShowMs = 500;
    r.viewHold = window_.View()->appendHoldMs();
    window_.View()->setAppendHoldMs(kRunShowMs);
    // The bar and the status bar are brought up to date with the refresh tick.
    r.tick = connect(window_.RefreshTick(), &QTimer::timeout, this, [this] { run_->io.Flush(); });
    window_.DeferReceiveDisplay(true);
    Drive();
}

// Runs the run up to its next wait, then returns to the window's events; the wake timer,
// a reply or the device's loss brings it back here. The run's own turns between blocks
// (a wait of 0 ms) go on at once: the window is served at every reply anyway.
void ProgrammerPage::Drive() {
    if (!run_ || driving_) {
        return;  // a message box of the run serves events: it goes on when that returns
    }
    if (window_.Closing()) {
        End();  // the window is going away: no texts, no messages
        return;
    }
    Run& r = *run_;
    zenta::isp::RunPausePoint& pauses = r.link.Pauses();
    driving_ = true;
    // Every reply is delivered as it comes, whatever the receive window's pace.
    window_.Port().SetRxHold(0);
    if (!r.started) {
        r.started = true;
        r.task.Start();
    } else {
        pauses.Resume();
    }
    while (!r.task.Done() && pauses.Paused() && pauses.WaitMs() <= 0) {
        pauses.Resume();
    }
    driving_ = false;
    if (!r.task.Done()) {
        window_.Port().SetRxHold(0);  // the run may have switched packet splitting off
    }
    if (r.task.Done()) {
        End();
        return;
    }
    // The waits check what they wait for again when resumed; a reply restarts this timer.
    state_->wake.start(pauses.WaitMs());
}

void ProgrammerPage::End() {
    const std::unique_ptr<Run> done = std::move(run_);
    state_->wake.stop();
    TComPort& port = window_.Port();
    window_.DeferReceiveDisplay(false);
    window_.View()->setAppendHoldMs(done->viewHold);
    QObject::disconnect(done->tick);
    port.OnError = done->onError;
    window_.Received().chunkTap = nullptr;
    // The receive window's own pace again (split packets need every arrival at once).
    port.SetRxHold(window_.PacketSplit() ? 0 : window_.View()->appendPeriodMs());
    emit runEnded();
}
