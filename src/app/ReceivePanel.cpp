// The receive path, the receive window and its options.
#include "app/ReceivePanel.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

#include "app/Clock.h"
#include "app/HighlightRulesDialog.h"
#include "app/HighlightSettings.h"
#include "app/PanelWidgets.h"
#include "app/SendKeyFilter.h"
#include "app/StatusPanels.h"
#include "app/UiPrompts.h"
#include "app/WindowLinks.h"
#include "app/WindowState.h"
#include "app/core/Messages.h"
#include "datapath/ByteForms.h"
#include "datapath/FileTexts.h"
#include "datapath/ReceiveState.h"
#include "datapath/SettingsValues.h"
#include "datapath/qt/FindBar.h"
#include "datapath/qt/ReceiveView.h"
#include "serial/CPort.h"

namespace {

// A large burst is read in slices of at most this size (random bytes as text convert
// several times slower than ASCII, so slices shrink to fit the budget) ...
constexpr int kReceiveSlice = 64 * 1024;
constexpr int kSmallestBurstSlice = 2 * 1024;
// A smaller delivery, what a steady stream brings over a hold period, is read in slices
// below the size that shows the conversion bar: the bar is for the bursts of a flood.
constexpr int kHeldSlice = static_cast<int>(zenta::kDisplayProgressThreshold) - 1;
// ... until this much time is spent; then the event loop gets its turn.
constexpr qint64 kReceiveBudgetMs = 8;
// Shortest time between two showings of received data in the receive window while
// data pours in: re-wrapping, scrolling and painting cost far more than the append.
constexpr int kMemoPaintMs = 100;

}  // namespace

ReceivePanel::ReceivePanel(QWidget* viewParent, QWidget* host, WindowLinks& window)
    : QObject(host), window_(window), burstSlice_(kSmallestBurstSlice) {
    BuildControls(viewParent, host);
    progressHide_.setSingleShot(true);
    progressHide_.setInterval(250);
    connect(&progressHide_, &QTimer::timeout, window_.Progress(), &QWidget::hide);
    TickSource = zenta::TickMs;
    // The window holds at most the HEX form of the bytes kept until a trim.
    view->reserve(static_cast<qsizetype>(zenta::ReceiveState::kTrimAbove + kReceiveSlice) * 3);
    view->setAppendHoldMs(kMemoPaintMs);
    // The first packet after start-up must get its header even if it comes at once.
    window_.Received().lastRxTick = TickSource() - 0x80000000u;

    connect(hexDisplayCheck, &QCheckBox::clicked, this, &ReceivePanel::onHexDisplayClicked);
    connect(clearButton, &QPushButton::clicked, this, &ReceivePanel::onClearClicked);
    connect(fontButton, &QPushButton::clicked, this, &ReceivePanel::onFontClicked);
    connect(saveDataButton, &QPushButton::clicked, this, &ReceivePanel::onSaveDataClicked);
    connect(captureCheck, &QCheckBox::clicked, this, &ReceivePanel::onCaptureClicked);
    connect(timeoutEdit, &QLineEdit::editingFinished, this, &ReceivePanel::onTimeoutEdited);
    timeoutEdit->installEventFilter(
        new TKeyPressFilter(timeoutEdit, [this](QChar& key) { onTimeoutKey(key); }));
    // Capture off closes the file, so it can be moved or read whole at once.
    connect(captureCheck, &QCheckBox::toggled, this, [this](bool on) {
        if (!on) {
            capture_.Close();
        }
    });
    connect(view, &zenta::ReceiveView::clearRequested, this, &ReceivePanel::onClearClicked);
    bellFlash_.setSingleShot(true);
    bellFlash_.setInterval(150);
    connect(&bellFlash_, &QTimer::timeout, this,
            [this] { window_.Status()->SetColor(beforeBell_); });
    connect(view, &zenta::ReceiveView::bell, this, [this] {
        // A burst of BELs is one flash.
        if (!bellFlash_.isActive()) {
            beforeBell_ = window_.Status()->Color();
            window_.Status()->SetColor(QColor(0xFF, 0xD7, 0x00));
            bellFlash_.start();
        }
    });
    window_.Port().OnRxChar = [this](TCustomComPort*, int count) { onRxChar(count); };
    // Packets are told apart by the gaps between arrivals, so while they are split every
    // arrival is delivered on its own; otherwise as often as the window shows them.
    const auto applyHold = [this] {
        window_.Port().SetRxHold(packetCheck->isChecked() ? 0 : view->appendPeriodMs());
    };
    connect(packetCheck, &QCheckBox::toggled, this, applyHold);
    connect(view, &zenta::ReceiveView::appendPeriodChanged, this, applyHold);
    applyHold();
}

ReceivePanel::~ReceivePanel() = default;

void ReceivePanel::BuildControls(QWidget* viewParent, QWidget* p) {
    using namespace panel_widgets;
    view = Named(new zenta::ReceiveView(viewParent), "receiveView");
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont viewFont(QStringLiteral("Noto Sans Mono CJK SC"));
    viewFont.setPixelSize(12);
    view->setFont(viewFont);
    findBar = Named(new zenta::FindBar(view), "findBar");
    highlights_ = zenta::DefaultHighlightRules();
    findBar->setRules(highlights_);
    connect(findBar, &zenta::FindBar::rulesRequested, this, &ReceivePanel::EditHighlights);

    buttonsBox = Named(new PanelFrame(p), "receiveButtons");
    Place(buttonsBox, 238, 2, 232, 52);
    fontButton = Button(buttonsBox, "fontButton", QStringLiteral("字体"));
    Place(fontButton, 0, 1, 44, 24);
    clearButton = Button(buttonsBox, "clearButton", QStringLiteral("清除窗口"));
    Place(clearButton, 46, 1, 90, 24);
    saveDataButton = Button(buttonsBox, "saveDataButton", QStringLiteral("保存数据"));
    Place(saveDataButton, 138, 1, 92, 24);
    captureCheck = Check(buttonsBox, "captureCheck", QStringLiteral("接收数据到文件"));
    Place(captureCheck, 2, 29, 160, 20);

    optionsBox = Named(new PanelFrame(p), "receiveOptions");
    Place(optionsBox, 238, 54, 232, 28);
    hexDisplayCheck = Check(optionsBox, "hexDisplayCheck", QStringLiteral("HEX显示    "));
    Place(hexDisplayCheck, 2, 4, 80, 20);
    packetCheck = Check(optionsBox, "packetCheck", QStringLiteral("分包显示"));
    Place(packetCheck, 82, 4, 76, 20);
    timeoutLabel = Label(optionsBox, "timeoutLabel", QStringLiteral("超时"));
    Place(timeoutLabel, 158, 6, 26, 16);
    timeoutEdit = Edit(optionsBox, "packetTimeoutEdit", QStringLiteral("20"));
    timeoutEdit->setToolTip(QStringLiteral("超时时间必须比包间隔时间短"));
    Place(timeoutEdit, 184, 3, 30, 21);
    timeoutUnitLabel = Label(optionsBox, "timeoutUnitLabel", QStringLiteral("ms"));
    Place(timeoutUnitLabel, 216, 6, 16, 16);
}

void ReceivePanel::Print(const QString& text) {
    ShowDeferred();
    view->appendText(text);
}

// A programming run waits for each reply: converting and showing it (a verify reads back
// the whole image) would lengthen every wait, so the window shows them in one go per turn.
void ReceivePanel::DeferDisplay(bool on) {
    defer_ = on;
    if (!on) {
        ShowDeferred();
    }
}

void ReceivePanel::ShowDeferred() {
    if (deferred_.empty()) {
        return;
    }
    std::string bytes;
    bytes.swap(deferred_);
    // The tap had them when they came.
    auto tap = std::exchange(window_.Received().chunkTap, nullptr);
    ShowChunk(bytes, true);
    window_.Received().chunkTap = std::move(tap);
}

void ReceivePanel::ShowKeptText() {
    const bool hex = hexDisplayCheck->isChecked();
    const std::string_view text = window_.Received().WindowText(hex);
    view->setReceivedText(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())), hex);
    findBar->setHexMode(hex);
}

void ReceivePanel::LoadHighlights(QSettings& settings) {
    highlights_ = zenta::LoadHighlightRules(settings);
    findBar->setRules(highlights_);
}

void ReceivePanel::SaveHighlights(QSettings& settings) const {
    zenta::SaveHighlightRules(settings, highlights_);
}

void ReceivePanel::EditHighlights() {
    auto* dialog = new zenta::HighlightRulesDialog(highlights_, english_, view->window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        highlights_ = dialog->rules();
        findBar->setRules(highlights_);
        if (OnHighlightsChanged)
            OnHighlightsChanged();
    });
    dialog->open();
}

void ReceivePanel::ApplyDisplayOptions(const zenta::DisplayOptions& options) {
    display_ = options;
    zenta::ReceiveState& rx = window_.Received();
    rx.encoding = options.encoding;
    rx.ansiColours = options.ansiColours;
    view->setEncoding(options.encoding);
    view->setAnsiColours(options.ansiColours);
    view->setTimeStamps(options.lineStamps);
    view->setCrNewLine(options.crNewLine);
    view->setTerminalColumns(options.termColumns);
    ShowKeptText();
}

void ReceivePanel::SetEnglish(bool english) {
    english_ = english;
    findBar->setEnglish(english);
    if (english) {
        view->setMenuTexts(QStringLiteral("Copy"), QStringLiteral("Copy as plain text"),
                           QStringLiteral("Select all"), QStringLiteral("Clear"));
    } else {
        view->setMenuTexts(QStringLiteral("复制"), QStringLiteral("复制为纯文本"),
                           QStringLiteral("全选"), QStringLiteral("清除"));
    }
}

// ---- receiving

void ReceivePanel::onRxChar(int count) {
    // A burst read in turns takes these bytes at its next turn: reading them now as well
    // would keep the event loop for two turns' work at once.
    if (restScheduled_) {
        eventWaiting_ = true;
        return;
    }
    ReceiveWaiting(count, true);
}

// A burst the engine queued while the window was busy can be megabytes: it is taken in
// slices, and when a time budget is spent the rest waits for the next round of the
// event loop, so painting and timers keep running. One receive event still makes one
// packet decision: later slices continue the packet their event started.
void ReceivePanel::ReceiveWaiting(int count, bool newEvent) {
    QElapsedTimer spent;
    spent.start();
    bool first = newEvent;
    const bool burst = count >= kReceiveSlice;
    // The slices of a small delivery reach the window as one piece: it shows them together.
    batching_ = true;
    while (count > 0) {
        const qint64 before = spent.nsecsElapsed();
        const int got = ReceiveChunk(std::min(count, burst ? burstSlice_ : kHeldSlice), first);
        if (got <= 0) {
            break;
        }
        if (burst) {
            // Showing a slice costs more than reading it: it counts against the budget.
            ShowBatch();
            FitBurstSlice(got, spent.nsecsElapsed() - before);
        }
        first = false;
        count -= got;
        if (count > 0 && spent.elapsed() >= kReceiveBudgetMs) {
            ScheduleReceiveRest();
            break;
        }
    }
    batching_ = false;
    ShowBatch();
}

// A slice should take a fraction of the budget, or one slice alone overruns it. The
// cost of a byte is averaged over slices: a slice that lays out the text held so far
// costs several times one that does not.
void ReceivePanel::FitBurstSlice(int bytes, qint64 tookNs) {
    constexpr double kBudgetNs = kReceiveBudgetMs * 1e6;
    const double perByte = static_cast<double>(tookNs) / bytes;
    burstNsPerByte_ = burstNsPerByte_ > 0 ? 0.8 * burstNsPerByte_ + 0.2 * perByte : perByte;
    const double fit = kBudgetNs / 3 / burstNsPerByte_;
    burstSlice_ =
        static_cast<int>(std::clamp(fit, double{kSmallestBurstSlice}, double{kReceiveSlice}));
}

void ReceivePanel::ShowBatch() {
    if (!batch_.empty()) {
        view->appendReceived(QByteArrayView(batch_.data(), static_cast<qsizetype>(batch_.size())),
                             0, batchHex_);
        batch_.clear();
    }
}

int ReceivePanel::ReceiveChunk(int count, bool packetDecision) {
    std::string chunk;
    try {
        window_.Port().ReadStr(chunk, count);
    } catch (const EComPort&) {
        // A gone device: nothing was read; the engine reports the loss on its own.
        return 0;
    }
    if (chunk.empty()) {
        return 0;
    }
    if (captureCheck->isChecked()) {
        CaptureChunk(chunk);
    }
    if (defer_) {
        if (const auto& tap = window_.Received().chunkTap) {
            tap(chunk);
        }
        deferred_ += chunk;
        if (!deferredScheduled_) {
            deferredScheduled_ = true;
            QTimer::singleShot(0, this, [this] {
                deferredScheduled_ = false;
                ShowDeferred();
            });
        }
    } else {
        ShowChunk(chunk, packetDecision);
    }
    return static_cast<int>(chunk.size());
}

void ReceivePanel::ShowChunk(const std::string& chunk, bool packetDecision) {
    if (OnReceived) {
        OnReceived(chunk);
    }
    zenta::ReceiveInput in;
    in.chunk = chunk;
    in.hexDisplay = hexDisplayCheck->isChecked();
    in.packetSplit = packetDecision && packetCheck->isChecked();
    // The clock and the box are read only when a packet header may be made: the local
    // time costs a look at the time zone file on every call.
    std::string timeout;
    if (in.packetSplit) {
        timeout = timeoutEdit->text().toStdString();
        in.timeoutText = timeout;
        in.nowTickMs = TickSource ? TickSource() : zenta::TickMs();
        in.time = zenta::Now();
    }
    in.englishUI = EnglishUI == 1;
    in.progress = [this](zenta::ProgressEvent e, int percent) {
        ShowProgress(static_cast<int>(e), percent);
    };
    const zenta::ReceiveOutput out = window_.Received().OnChunk(in);
    if (out.trimmed) {
        batch_.clear();
        ShowKeptText();
    } else if (batching_ && out.headerSize == 0 && (batch_.empty() || batchHex_ == in.hexDisplay)) {
        batch_ += out.display;
        batchHex_ = in.hexDisplay;
    } else if (!out.display.empty()) {
        ShowBatch();
        view->appendReceived(
            QByteArrayView(out.display.data(), static_cast<qsizetype>(out.display.size())),
            static_cast<qsizetype>(out.headerSize), in.hexDisplay);
    }
}

void ReceivePanel::ScheduleReceiveRest() {
    if (restScheduled_) {
        return;
    }
    restScheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        restScheduled_ = false;
        const bool newEvent = std::exchange(eventWaiting_, false);
        if (!window_.Port().Connected()) {
            return;
        }
        int waiting = 0;
        try {
            waiting = window_.Port().InputCount();
        } catch (const EComPort&) {
            return;
        }
        if (waiting > 0) {
            ReceiveWaiting(waiting, newEvent);
        }
    });
}

void ReceivePanel::CaptureChunk(const std::string& chunk) {
    const std::string path = QFile::encodeName(captureFileName).toStdString();
    if (display_.captureStamps) {
        capture_.Append(path, captureStamper_.Stamp(chunk, zenta::Now()));
    } else {
        capture_.Append(path, chunk);
    }
    // A failed write (disk full) stops the capture: the box is unticked at once, so no
    // later bytes go in behind a gap, and the message comes once, after this delivery.
    if (std::optional<zenta::CaptureFailure> failure = capture_.TakeFailure()) {
        panel_widgets::SetChecked(captureCheck, false);
        QTimer::singleShot(0, this, [failure = *failure] {
            Prompts().ShowMessage(
                QString::fromStdString(zenta::CaptureStoppedText(failure, EnglishUI == 1)));
        });
    }
}

// The bar would repaint itself synchronously on every step, hundreds of times per
// chunk of a fast stream, and even unpainted a step costs a signal: it paints no steps,
// and takes the last step's value when the conversion ends.
void ReceivePanel::ShowProgress(int event, int percent) {
    // A file send or a programming run owns the bar meanwhile: its progress is the one
    // the user watches.
    if (window_.FileSendRunning() || window_.ProgrammerRunning()) {
        return;
    }
    switch (static_cast<zenta::ProgressEvent>(event)) {
        case zenta::ProgressEvent::Start:
            progressHide_.stop();
            progressStep_ = 0;
            window_.Progress()->setUpdatesEnabled(false);
            window_.Progress()->setValue(0);
            window_.Progress()->show();
            break;
        case zenta::ProgressEvent::Step:
            progressStep_ = percent;
            break;
        case zenta::ProgressEvent::End:
            // Showing and hiding the bar re-lays out the window, which re-wraps the whole
            // receive window: during a stream of long chunks the bar stays up in between.
            window_.Progress()->setValue(progressStep_);
            window_.Progress()->setUpdatesEnabled(true);
            progressHide_.start();
            break;
    }
}

// ---- receive window options

void ReceivePanel::onHexDisplayClicked() {
    ShowKeptText();
}

void ReceivePanel::onClearClicked() {
    // Bytes not shown yet belong to what is cleared.
    deferred_.clear();
    view->clear();
    window_.Received().Clear();
    view->setFocus();
}

void ReceivePanel::onFontClicked() {
    const QFont initial = view->font();
    // Cancel keeps the font the dialog started with.
    const std::optional<QFont> chosen = Prompts().ChooseFont(initial);
    view->setFont(chosen.value_or(initial));
    window_.SaveSettings();
}

// An emptied box takes the first digit typed; it gets "1" only when it is left empty.
void ReceivePanel::onTimeoutKey(QChar& key) {
    if (!(key >= QLatin1Char('0') && key <= QLatin1Char('9')) && key != QChar(0x08)) {
        key = QChar(0);
    }
}

void ReceivePanel::onTimeoutEdited() {
    if (timeoutEdit->text().isEmpty()) {
        timeoutEdit->setText(QStringLiteral("1"));
    }
    const QString intervalText = TimedIntervalText ? TimedIntervalText() : QString();
    const int interval = zenta::ParseIntegerOr(intervalText.toStdString(), 0);
    const int timeout = zenta::ParseIntegerOr(timeoutEdit->text().toStdString(), 0);
    if (interval < timeout) {
        Print(zenta::Msg(zenta::MsgId::PacketTimeoutNote, EnglishUI == 1));
    }
}
