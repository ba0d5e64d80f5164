#include "plot/qt/PlotWindow.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QSplitter>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QVBoxLayout>
#include <ctime>

#include "plot/qt/PlotCanvas.h"
#include "plot/qt/PlotTexts.h"

namespace zenta::plot {
namespace {

constexpr int kTickMs = 100;
constexpr int kDefaultSpanSeconds = 10;
// Time between data redraws, in multiples of the last redraw's cost (picking the points
// and drawing them): about 4 % of a core.
constexpr qint64 kRedrawBudgetFactor = 25;

qint64 ThreadNsecs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<qint64>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

std::string DecodeName(std::string_view raw, PlotWindow::Encoding encoding) {
    const QByteArray bytes(raw.data(), static_cast<qsizetype>(raw.size()));
    QString text;
    if (encoding == PlotWindow::Encoding::Utf8) {
        text = QString::fromUtf8(bytes);
    } else {
        QStringDecoder decoder("GB18030");
        text = decoder.isValid() ? decoder.decode(bytes) : QString::fromLatin1(bytes);
    }
    return text.toStdString();
}

}  // namespace

PlotWindow::PlotWindow(QWidget* parent, std::size_t capacity)
    : QWidget(parent, Qt::Window), model_(capacity), texts_(&PlotTexts::Get(false)) {
    setEncoding(Encoding::Gb18030);
    exportFolder_ = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
                    QStringLiteral("/zenta");
    BuildUi();
    ApplyTexts();
    resize(900, 560);
    tick_.setInterval(kTickMs);
    connect(&tick_, &QTimer::timeout, this, &PlotWindow::OnTick);
    noticeTimer_.setSingleShot(true);
    noticeTimer_.setInterval(200);
    connect(&noticeTimer_, &QTimer::timeout, this, &PlotWindow::ShowCuts);
    soon_.setSingleShot(true);
    soon_.setInterval(0);
    connect(&soon_, &QTimer::timeout, this, &PlotWindow::OnTick);
    budgetClock_.start();
}

PlotWindow::~PlotWindow() {
    if (csvThread_.joinable()) {
        csvThread_.join();  // its report, posted to this window, goes with it
    }
}

void PlotWindow::BuildUi() {
    view_ = new PlotCanvas(this);

    xModeBox_ = new QComboBox(this);
    xModeBox_->addItems({QString(), QString()});
    separatorLabel_ = new QLabel(this);
    separatorBox_ = new QComboBox(this);
    separatorBox_->addItem(QString());
    for (char c : kSeparators) {
        separatorBox_->addItem(QString(QLatin1Char(c)));
    }
    rollingCheck_ = new QCheckBox(this);
    rollingCheck_->setChecked(true);
    spanSpin_ = new QSpinBox(this);
    spanSpin_->setRange(1, 86400);
    spanSpin_->setValue(kDefaultSpanSeconds);
    autoYCheck_ = new QCheckBox(this);
    autoYCheck_->setChecked(true);
    yFromLabel_ = new QLabel(this);
    yToLabel_ = new QLabel(this);
    yMinSpin_ = new QDoubleSpinBox(this);
    yMaxSpin_ = new QDoubleSpinBox(this);
    for (QDoubleSpinBox* spin : {yMinSpin_, yMaxSpin_}) {
        spin->setRange(-1e12, 1e12);
        spin->setDecimals(3);
        spin->setEnabled(false);
    }
    yMinSpin_->setValue(0);
    yMaxSpin_->setValue(100);
    pauseButton_ = new QPushButton(this);
    resetButton_ = new QPushButton(this);
    clearButton_ = new QPushButton(this);
    csvButton_ = new QPushButton(this);
    pngButton_ = new QPushButton(this);
    legend_ = new QListWidget(this);
    readout_ = new QLabel(this);
    readout_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    notice_ = new QLabel(this);
    notice_->setWordWrap(true);
    // Long texts (many series, several limits met) must not widen the window: the readout
    // is clipped, the notice wraps.
    readout_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    legend_->setMinimumWidth(80);
    // Boxes may be narrower than their longest text (a y limit of 1e12): the window's least
    // width is what the controls need, not what they would like.
    xModeBox_->setMinimumWidth(90);
    spanSpin_->setMinimumWidth(60);
    yMinSpin_->setMinimumWidth(70);
    yMaxSpin_->setMinimumWidth(70);
    separatorBox_->setMinimumWidth(50);

    // Two rows, so the window can be as narrow as a small screen's half.
    auto* bar = new QHBoxLayout;
    for (QWidget* w :
         std::initializer_list<QWidget*>{xModeBox_, rollingCheck_, spanSpin_, autoYCheck_,
                                         yFromLabel_, yMinSpin_, yToLabel_, yMaxSpin_}) {
        bar->addWidget(w);
    }
    bar->addStretch(1);
    auto* actions = new QHBoxLayout;
    actions->addWidget(separatorLabel_);
    actions->addWidget(separatorBox_);
    actions->addStretch(1);
    for (QWidget* w : {pauseButton_, resetButton_, clearButton_, csvButton_, pngButton_}) {
        actions->addWidget(w);
    }
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(view_);
    split->addWidget(legend_);
    split->setStretchFactor(0, 1);
    split->setSizes({720, 180});
    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(6, 6, 6, 6);
    top->addLayout(bar);
    top->addLayout(actions);
    top->addWidget(split, 1);
    auto* foot = new QHBoxLayout;
    foot->addWidget(readout_, 1);
    foot->addWidget(notice_, 1);
    top->addLayout(foot);

    connect(xModeBox_, &QComboBox::activated, this,
            [this](int i) { setXMode(i == 1 ? XMode::Sample : XMode::Time); });
    connect(rollingCheck_, &QCheckBox::toggled, this, [this] { resetView(); });
    connect(spanSpin_, &QSpinBox::valueChanged, this, [this] { resetView(); });
    connect(autoYCheck_, &QCheckBox::toggled, this, [this](bool on) {
        yMinSpin_->setEnabled(!on);
        yMaxSpin_->setEnabled(!on);
        resetView();
    });
    for (QDoubleSpinBox* spin : {yMinSpin_, yMaxSpin_}) {
        connect(spin, &QDoubleSpinBox::valueChanged, this, [this] { resetView(); });
    }
    connect(separatorBox_, &QComboBox::activated, this, [this](int i) {
        setSeparator(i > 0 ? kSeparators[static_cast<std::size_t>(i - 1)] : '\0');
    });
    connect(pauseButton_, &QPushButton::clicked, this, [this] { setPaused(!paused_); });
    connect(resetButton_, &QPushButton::clicked, this, &PlotWindow::resetView);
    connect(clearButton_, &QPushButton::clicked, this, &PlotWindow::clear);
    connect(csvButton_, &QPushButton::clicked, this, &PlotWindow::exportCsv);
    connect(pngButton_, &QPushButton::clicked, this, &PlotWindow::exportPng);
    connect(view_, &PlotCanvas::userRangeChanged, this, [this] {
        userView_ = true;
        MarkDirty();
    });
    connect(view_, &PlotCanvas::resetRequested, this, &PlotWindow::resetView);
    connect(view_, &PlotCanvas::resized, this, &PlotWindow::MarkDirty);
    connect(view_, &PlotCanvas::cursorMoved, this, &PlotWindow::ShowReadout);
    connect(legend_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        const int row = legend_->row(item);
        if (row >= 0) {
            setSeriesVisible(row, item->checkState() == Qt::Checked);
        }
    });
    connect(legend_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        const int row = legend_->row(item);
        if (row >= 0) {
            const QColor colour = QColorDialog::getColor(seriesColour(row), this);
            if (colour.isValid()) {
                setSeriesColour(row, colour);
            }
        }
    });
}

void PlotWindow::ApplyTexts() {
    const PlotTexts& t = *texts_;
    setWindowTitle(t.title);
    xModeBox_->setItemText(0, t.xTime);
    xModeBox_->setItemText(1, t.xSample);
    separatorLabel_->setText(t.separator);
    separatorBox_->setItemText(0, t.noSeparator);
    rollingCheck_->setText(t.rolling);
    spanSpin_->setSuffix(t.seconds);
    autoYCheck_->setText(t.autoY);
    yFromLabel_->setText(t.yFrom);
    yToLabel_->setText(t.yTo);
    pauseButton_->setText(paused_ ? t.resume : t.pause);
    resetButton_->setText(t.resetView);
    clearButton_->setText(t.clear);
    csvButton_->setText(t.exportCsv);
    pngButton_->setText(t.exportPng);
    legend_->setToolTip(t.legendHint);
    UpdateLegend();
    UpdateNotice();
    ShowReadout({}, false);
}

void PlotWindow::feed(const char* data, std::size_t size, qint64 msecsSinceEpoch) {
    if (model_.Feed(data, size, msecsSinceEpoch) > 0) {
        dataDirty_ = true;
        if (!paused_ && !tick_.isActive() && isVisible()) {
            tick_.start();
        }
    }
    // A limit that cut data is told at once (also while paused), then at most five times a
    // second while it goes on.
    if (CutCount() == cutsShown_) {
        return;
    }
    if (cutsShown_ == 0) {
        ShowCuts();
    } else if (!noticeTimer_.isActive()) {
        noticeTimer_.start();
    }
}

uint64_t PlotWindow::CutCount() const {
    return model_.LinesCut() + model_.ValuesLeftOut() + model_.ValuesWithoutSeries() +
           model_.Store().DroppedPoints();
}

void PlotWindow::ShowCuts() {
    cutsShown_ = CutCount();
    UpdateNotice();
}

void PlotWindow::feed(const QByteArray& data, qint64 msecsSinceEpoch) {
    feed(data.constData(), static_cast<std::size_t>(data.size()), msecsSinceEpoch);
}

void PlotWindow::setEncoding(Encoding encoding) {
    encoding_ = encoding;
    model_.SetNameDecoder([encoding](std::string_view raw) { return DecodeName(raw, encoding); });
    if (legend_) {
        UpdateLegend();
    }
}

void PlotWindow::setEnglish(bool english) {
    english_ = english;
    texts_ = &PlotTexts::Get(english);
    ApplyTexts();
    MarkDirty();  // the axis title
}

void PlotWindow::setExportFolder(const QString& folder) {
    exportFolder_ = folder;
}

void PlotWindow::setSeparator(char separator) {
    const std::size_t at = separator ? kSeparators.find(separator) : std::string_view::npos;
    if (separator && at == std::string_view::npos) {
        return;
    }
    model_.SetSeparator(separator);
    separatorBox_->setCurrentIndex(separator ? static_cast<int>(at) + 1 : 0);
}

void PlotWindow::restartLines() {
    model_.Restart();
}

void PlotWindow::saveState(QSettings& settings) const {
    settings.beginGroup(QStringLiteral("Plot"));
    settings.setValue(QStringLiteral("geometry"), saveGeometry());
    settings.setValue(QStringLiteral("xMode"),
                      xMode_ == XMode::Sample ? QStringLiteral("sample") : QStringLiteral("time"));
    settings.setValue(QStringLiteral("rolling"), isRolling());
    settings.setValue(QStringLiteral("rollingSeconds"), rollingSeconds());
    settings.setValue(QStringLiteral("autoY"), autoYCheck_->isChecked());
    settings.setValue(QStringLiteral("yMin"), yMinSpin_->value());
    settings.setValue(QStringLiteral("yMax"), yMaxSpin_->value());
    const char sep = separator();
    settings.setValue(QStringLiteral("separator"), sep ? QString(QLatin1Char(sep)) : QString());
    // "#rrggbb<TAB>name" ("#3" for column 3): a tab never occurs in a name (it separates
    // fields).
    QStringList colours;
    for (auto it = userColours_.cbegin(); it != userColours_.cend(); ++it) {
        colours << it.value().name() + QLatin1Char('\t') + it.key();
    }
    colours.sort();
    settings.setValue(QStringLiteral("colours"), colours);
    settings.endGroup();
}

void PlotWindow::restoreState(QSettings& settings) {
    settings.beginGroup(QStringLiteral("Plot"));
    const QByteArray geometry = settings.value(QStringLiteral("geometry")).toByteArray();
    if (!geometry.isEmpty()) {
        restoreGeometry(geometry);
    }
    setXMode(settings.value(QStringLiteral("xMode")).toString() == QLatin1String("sample")
                 ? XMode::Sample
                 : XMode::Time);
    setRolling(settings.value(QStringLiteral("rolling"), true).toBool(),
               settings.value(QStringLiteral("rollingSeconds"), kDefaultSpanSeconds).toInt());
    autoYCheck_->setChecked(settings.value(QStringLiteral("autoY"), true).toBool());
    yMinSpin_->setValue(settings.value(QStringLiteral("yMin"), 0.0).toDouble());
    yMaxSpin_->setValue(settings.value(QStringLiteral("yMax"), 100.0).toDouble());
    // A hand-edited file may hold anything: only a single offered character is taken.
    const QString sep = settings.value(QStringLiteral("separator")).toString();
    setSeparator(sep.size() == 1 && sep[0].unicode() < 0x80 ? sep[0].toLatin1() : '\0');
    for (const QString& entry : settings.value(QStringLiteral("colours")).toStringList()) {
        const qsizetype tab = entry.indexOf(QLatin1Char('\t'));
        const QColor colour(entry.left(tab));
        if (tab > 0 && colour.isValid()) {
            userColours_.insert(entry.mid(tab + 1), colour);
        }
    }
    settings.endGroup();
    UpdateLegend();
    resetView();
}

QStringList PlotWindow::seriesNames() const {
    QStringList names;
    for (std::size_t i = 0; i < model_.Series().size(); ++i) {
        names << SeriesName(i);
    }
    return names;
}

std::optional<double> PlotWindow::lastValue(int series) const {
    const PointStore& store = model_.Store();
    if (series < 0 || static_cast<std::size_t>(series) >= store.SeriesCount() ||
        store.Size(series) == 0) {
        return std::nullopt;
    }
    return store.Value(series, store.Size(series) - 1);
}

bool PlotWindow::isRolling() const {
    return rollingCheck_->isChecked();
}

int PlotWindow::rollingSeconds() const {
    return spanSpin_->value();
}

QRectF PlotWindow::viewRange() const {
    return view_->ValueRange();
}

QString PlotWindow::readoutText() const {
    return readout_->text();
}

QString PlotWindow::noticeText() const {
    return notice_->text();
}

void PlotWindow::clear() {
    model_.Clear();
    cutsShown_ = 0;
    visible_.clear();
    legend_->clear();
    noticeIsSaved_ = false;
    UpdateNotice();
    resetView();
}

void PlotWindow::setPaused(bool paused) {
    if (paused && !paused_) {
        frozenX_ = LiveXRange();  // the view stays where it was; points still go in
    }
    paused_ = paused;
    pauseButton_->setText(paused ? texts_->resume : texts_->pause);
    UpdateNotice();
    MarkDirty();
}

void PlotWindow::resetView() {
    userView_ = false;
    MarkDirty();
}

void PlotWindow::setXMode(XMode mode) {
    xMode_ = mode;
    xModeBox_->setCurrentIndex(mode == XMode::Sample ? 1 : 0);
    resetView();
}

void PlotWindow::setRolling(bool rolling, int seconds) {
    spanSpin_->setValue(std::clamp(seconds, spanSpin_->minimum(), spanSpin_->maximum()));
    rollingCheck_->setChecked(rolling);
    resetView();
}

void PlotWindow::MarkDirty() {
    dirty_ = true;
    if (!soon_.isActive()) {
        soon_.start();
    }
}

void PlotWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    MarkDirty();
}

void PlotWindow::OnTick() {
    // The tick runs only while a picture is owed: a hidden or quiet plot costs no timer work.
    if (!isVisible() || !(dirty_ || (dataDirty_ && !paused_))) {
        tick_.stop();
        return;
    }
    if (!tick_.isActive()) {
        tick_.start();  // what the budget holds back is drawn on a later tick
    }
    // New points alone are drawn within a CPU budget: with millions of points in view a
    // redraw costs milliseconds, so the next one waits in proportion, and never while the
    // last picture is still being drawn. A user's zoom or pan is drawn at once.
    const qint64 now = budgetClock_.elapsed();
    if (!dirty_ && (now < nextDataRedrawMs_ || view_->Busy())) {
        return;
    }
    const qint64 start = ThreadNsecs();
    redrawNow();
    // CPU time, not time passed: a busy machine must not slow the plot down further.
    const qint64 costNs = ThreadNsecs() - start + view_->LastRenderNsecs();
    nextDataRedrawMs_ = now + costNs * kRedrawBudgetFactor / 1'000'000;
}

}  // namespace zenta::plot
