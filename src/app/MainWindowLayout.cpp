// Builds the window's regions and panels, and places the captioned controls of the
// control panel and the file row by their captions' widths.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "app/ChartPanel.h"
#include "app/ConnectionPanel.h"
#include "app/ConsoleBar.h"
#include "app/FileRowPanel.h"
#include "app/LinkBar.h"
#include "app/MainWindow.h"
#include "app/PanelWidgets.h"
#include "app/PreparedPanel.h"
#include "app/ProgrammerPage.h"
#include "app/ReceivePanel.h"
#include "app/SendPanel.h"
#include "app/Splitter.h"
#include "app/StatusPanels.h"
#include "app/UpdateCheck.h"
#include "datapath/qt/ReceiveView.h"
#include "plot/qt/PlotWindow.h"
#include "serial/ctl/CPortCtl.h"

using namespace panel_widgets;

namespace {

// The file row's design widths, kept to widen a control only when its caption needs it.
const char* const kDesignWidth = "designWidth";
constexpr int kControlPanelHeight = 115;

}  // namespace

void MainWindow::BuildRegions() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    // The receive window with the side panel beside it; the bottom stack spans the window
    // so the control panel keeps its room while the side panel is shown.
    auto* upper = new QHBoxLayout;
    upper->setContentsMargins(0, 0, 0, 0);
    upper->setSpacing(0);
    outer->addLayout(upper, 1);

    sideSplitter = Named(new TSplitter(this), "sideSplitter");
    sidePanel = Named(new PanelFrame(this), "sidePanel");
    sidePanel->setFixedWidth(317);
    sideSplitter->SetControl(sidePanel);
    fileRow = Named(new PanelFrame(this), "fileRow");
    fileRow->setFixedHeight(24);
    progressBar = Named(new QProgressBar(this), "progressBar");
    progressBar->setRange(0, 100);
    progressBar->setFixedHeight(16);
    progressBar->setTextVisible(false);
    controlPanel = Named(new PanelFrame(this, true), "controlPanel");
    controlPanel->setFixedHeight(kControlPanelHeight);
    // In a window narrower than the panel's controls it scrolls sideways, so that every
    // control (SEND above all) stays in reach.
    controlArea = Named(new QScrollArea(this), "controlArea");
    controlArea->setFrameShape(QFrame::NoFrame);
    controlArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    controlArea->setWidgetResizable(true);
    controlArea->setWidget(controlPanel);
    controlArea->setFixedHeight(kControlPanelHeight);
    statusBar = Named(new TStatusPanels(this), "statusBar");
    statusBar->setFixedHeight(20);

    // The side pages: the line parameter boxes lie under the prepared rows.
    auto* box = new QVBoxLayout(sidePanel);
    box->setContentsMargins(0, 0, 0, 0);
    // The pages' content never sets the window's minimum height: showing the panel must
    // leave the window's size alone.
    box->setSizeConstraint(QLayout::SetNoConstraint);
    sidePanel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Ignored);
    sidePages = Named(new QTabWidget(sidePanel), "sidePages");
    box->addWidget(sidePages);
    auto* preparedPage = Named(new QWidget, "preparedPage");
    auto* programmerPage = Named(new QWidget, "programmerPage");
    sidePages->addTab(preparedPage, QStringLiteral("多条字符串发送"));
    sidePages->addTab(programmerPage, QStringLiteral("stm32ISP"));

    refreshTimer = Named(new QTimer(this), "refreshTimer");
    refreshTimer->setInterval(kRefreshMs);
    startTimer = Named(new QTimer(this), "startTimer");
    startTimer->setInterval(300);
    startTimer->setSingleShot(true);

    // Panels in the order data flows: connection, receive, send; then what uses them.
    connection = new ConnectionPanel(controlPanel, preparedPage, *this);
    receive = new ReceivePanel(this, controlPanel, *this);
    send = new SendPanel(controlPanel, *this);
    console = new ConsoleBar(this, *this);
    receive->TimedIntervalText = [this] { return send->intervalEdit->text(); };
    receive->OnHighlightsChanged = [this] { SaveExtSettings(); };
    files = new FileRowPanel(fileRow, *this);
    chart = new ChartPanel(controlPanel, fileRow, received);
    prepared = new PreparedPanel(preparedPage, *this);
    programmer = new ProgrammerPage(programmerPage, *this);
    links = new LinkBar(this);
    update = new UpdateCheck(this, *links, *this);
    plot = new zenta::plot::PlotWindow(this);
    receive->OnReceived = [this](std::string_view bytes) {
        plot->feed(bytes.data(), bytes.size(), QDateTime::currentMSecsSinceEpoch());
    };
    // A line begun before a close, an open or a replug does not go on in the next bytes.
    for (auto* hook : {&port.OnAfterOpen, &port.OnAfterClose}) {
        *hook = [this, next = std::move(*hook)](TCustomComPort* p) {
            plot->restartLines();
            if (next) {
                next(p);
            }
        };
    }
    BuildWindowControls();

    zenta::ReceiveView* view = receive->view;
    // The console row sits under the receive window, as wide as it.
    auto* receiveColumn = Named(new QWidget(this), "receiveColumn");
    auto* column = new QVBoxLayout(receiveColumn);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(view, 1);
    column->addWidget(console->bar);
    upper->addWidget(receiveColumn, 1);
    // The receive window yields to the side panel down to the splitter's limit.
    view->setMinimumSize(sideSplitter->MinSize, sideSplitter->MinSize);
    upper->addWidget(sideSplitter);
    upper->addWidget(sidePanel);
    outer->addWidget(fileRow);
    outer->addWidget(controlArea);
    outer->addWidget(links->bar);
    outer->addWidget(statusBar);
    sideSplitter->OnMoved = [this](QObject*) { prepared->LayoutRows(); };

    // The bar lies over the foot of the receive window instead of taking a row of its own:
    // nothing moves under the pointer (the Stop button above all) when it shows.
    view->installEventFilter(this);
    controlPanel->installEventFilter(this);
    controlArea->installEventFilter(this);
    links->bar->installEventFilter(this);
    fileRow->installEventFilter(this);
    connect(refreshTimer, &QTimer::timeout, this, &MainWindow::onRefreshTimer);
    connect(startTimer, &QTimer::timeout, this, &MainWindow::onStartTick);
    refreshTimer->start();
    KeepTabOrder();
    LayoutCaptions();
}

// Tab moves through the window as it always has: receive window, file row, control
// panel, side pages, each left to right.
void MainWindow::KeepTabOrder() {
    const ConnectionPanel& c = *connection;
    const ReceivePanel& r = *receive;
    const SendPanel& s = *send;
    std::vector<QWidget*> order = {r.view,
                                   files->pathEdit,
                                   files->openFileButton,
                                   files->sendFileButton,
                                   files->stopButton,
                                   helpButton,
                                   chart->showButton,
                                   chart->realTimeCheck,
                                   chart->signedCheck,
                                   plotButton,
                                   optionsButton,
                                   englishCheck,
                                   saveSettingsButton,
                                   sidePanelButton,
                                   controlPanelButton,
                                   c.baudBox,
                                   c.moreSettingsButton,
                                   c.dtrCheck,
                                   c.rtsCheck,
                                   c.portBox,
                                   c.customBaudEdit,
                                   c.openButton,
                                   r.fontButton,
                                   r.clearButton,
                                   r.saveDataButton,
                                   r.captureCheck,
                                   r.hexDisplayCheck,
                                   r.packetCheck,
                                   r.timeoutEdit,
                                   s.hexSendCheck,
                                   s.crLfCheck,
                                   s.timedSendCheck,
                                   s.intervalEdit,
                                   s.checksumBox,
                                   s.lineEdit,
                                   s.sendButton,
                                   chart->rangeButton,
                                   chart->previousButton,
                                   chart->nextButton,
                                   sidePages,
                                   prepared->loopRow,
                                   prepared->loopCheck,
                                   prepared->loopIntervalEdit,
                                   prepared->widerButton,
                                   prepared->narrowerButton,
                                   c.dataBitsBox,
                                   c.stopBitsBox,
                                   c.parityBox,
                                   c.flowBox,
                                   programmer->startButton,
                                   programmer->slowRadio,
                                   programmer->middleRadio,
                                   programmer->fastRadio,
                                   programmer->helpText};
    for (int i = 0; i < PreparedPanel::kRows; ++i) {
        order.push_back(prepared->hexBox(i));
    }
    for (int i = 0; i < PreparedPanel::kRows; ++i) {
        order.push_back(prepared->edit(i));
    }
    for (int i = 0; i < PreparedPanel::kRows; ++i) {
        order.push_back(prepared->sendButton(i));
    }
    for (std::size_t i = 1; i < order.size(); ++i) {
        QWidget::setTabOrder(order[i - 1], order[i]);
    }
}

void MainWindow::BuildWindowControls() {
    QWidget* row = fileRow;
    helpButton = Button(row, "helpButton", QStringLiteral("帮助"));
    plotButton = Button(row, "plotButton", QStringLiteral("绘图"));
    optionsButton = Button(row, "optionsButton", QStringLiteral("选项"));
    englishCheck = Check(row, "englishCheck", QStringLiteral("English"));
    saveSettingsButton = Button(row, "saveSettingsButton", QStringLiteral("保存参数"));
    sidePanelButton = Button(row, "sidePanelButton", QStringLiteral("扩展"));
    controlPanelButton = Button(row, "controlPanelButton", QStringLiteral("━"));
    // Placed by LayoutFileRow, not by a layout, so that the row never sets the window's
    // minimum width. Design widths are minimums: a longer caption (English) widens them.
    const std::pair<QWidget*, int> widths[] = {
        {files->openFileButton, 66}, {files->sendFileButton, 66},
        {files->stopButton, 44},     {helpButton, 44},
        {chart->showButton, 66},     {chart->realTimeCheck, 78},
        {chart->signedCheck, 78},    {plotButton, 44},
        {optionsButton, 44},         {englishCheck, 70},
        {saveSettingsButton, 66},    {sidePanelButton, 44},
        {controlPanelButton, 26}};
    for (const auto& [w, width] : widths) {
        w->setProperty(kDesignWidth, width);
    }
    connect(helpButton, &QPushButton::clicked, this, &MainWindow::onHelpClicked);
    connect(plotButton, &QPushButton::clicked, this, &MainWindow::onPlotClicked);
    connect(optionsButton, &QPushButton::clicked, this, &MainWindow::onOptionsClicked);
    connect(saveSettingsButton, &QPushButton::clicked, this, &MainWindow::onSaveSettingsClicked);
    connect(englishCheck, &QCheckBox::clicked, this, &MainWindow::onLanguageChanged);
    connect(sidePanelButton, &QPushButton::clicked, this, &MainWindow::onSidePanelClicked);
    connect(controlPanelButton, &QPushButton::clicked, this, &MainWindow::onControlPanelClicked);
}

void MainWindow::LayoutFileRow() {
    constexpr int kGap = 3;
    const int top = 1;
    const int height = fileRow->height() - 2;
    int x = fileRow->width() - 2;
    QWidget* const row[] = {controlPanelButton,   sidePanelButton,      saveSettingsButton,
                            englishCheck,         optionsButton,        plotButton,
                            chart->signedCheck,   chart->realTimeCheck, chart->showButton,
                            helpButton,           files->stopButton,    files->sendFileButton,
                            files->openFileButton};
    for (QWidget* w : row) {
        const int width = std::max(w->property(kDesignWidth).toInt(), CaptionWidth(w));
        x -= width;
        w->setGeometry(x, top, width, height);
        // A control cut by the window's left edge is left out until the window is wider.
        w->setVisible(x >= 2);
        x -= kGap;
    }
    QLineEdit* path = files->pathEdit;
    path->setGeometry(2, top, std::max(0, x - 2), height);
    path->setVisible(x - 2 >= 20);
}

// Places the captioned controls of the control panel by their captions' widths, the
// design widths being minimums, so that both languages fit. Runs after every caption
// change; the chart takes what is left on the right.
void MainWindow::LayoutCaptions() {
    struct Item {
        QWidget* w;
        int width;  // design width: a minimum for captions, exact for edit boxes
    };
    auto widthOf = [](const Item& it) {
        const bool captioned = qobject_cast<QAbstractButton*>(it.w) || qobject_cast<QLabel*>(it.w);
        return captioned ? std::max(it.width, CaptionWidth(it.w)) : it.width;
    };
    LayoutFileRow();
    // Left to right from x; returns the right edge.
    auto flow = [&](int x, std::initializer_list<Item> items) {
        for (const Item& it : items) {
            const int w = widthOf(it);
            it.w->setGeometry(x, it.w->y(), w, it.w->height());
            x += w + 2;
        }
        return x - 2;
    };
    // A label and its box: the box keeps its right edge.
    auto labelled = [&](QWidget* label, int x, QWidget* box, int right) {
        const int end = flow(x, {{label, 50}});
        box->setGeometry(end + 2, box->y(), right - end - 2, box->height());
    };
    QLabel* hint = prepared->dragHint;
    hint->resize(std::max(90, CaptionWidth(hint)), hint->height());
    const ConnectionPanel& c = *connection;
    labelled(c.portLabel, 4, c.portBox, 206);
    labelled(c.baudLabel, 2, c.baudBox, 204);
    c.customBaudEdit->move(c.box->x() + c.baudBox->x() + 2, c.customBaudEdit->y());

    const ReceivePanel& r = *receive;
    int inner =
        std::max({flow(0, {{r.fontButton, 44}, {r.clearButton, 90}, {r.saveDataButton, 92}}),
                  flow(2, {{r.captureCheck, 160}}),
                  flow(2, {{r.hexDisplayCheck, 80},
                           {r.packetCheck, 76},
                           {r.timeoutLabel, 26},
                           {r.timeoutEdit, 30},
                           {r.timeoutUnitLabel, 16}})});
    const int receiveWidth = std::max(232, inner + 2);
    r.buttonsBox->setGeometry(238, r.buttonsBox->y(), receiveWidth, r.buttonsBox->height());
    r.optionsBox->setGeometry(238, r.optionsBox->y(), receiveWidth, r.optionsBox->height());

    const SendPanel& s = *send;
    inner = std::max(
        {flow(2, {{s.hexSendCheck, 84}, {s.crLfCheck, 104}}),
         flow(2, {{s.timedSendCheck, 86}, {s.intervalEdit, 50}, {s.intervalUnitLabel, 52}}),
         flow(2, {{s.checksumLabel, 76}, {s.checksumBox, 112}})});
    const int sendLeft = 238 + receiveWidth + 4;
    s.optionsBox->setGeometry(sendLeft, s.optionsBox->y(), std::max(196, inner + 2),
                              s.optionsBox->height());
    const int sendRight = s.optionsBox->geometry().right() + 1;
    const int buttonWidth = std::max(72, s.sendButton->sizeHint().width());
    s.sendButton->setGeometry(sendRight - buttonWidth, s.sendButton->y(), buttonWidth,
                              s.sendButton->height());
    s.lineEdit->setGeometry(238, s.lineEdit->y(), sendRight - buttonWidth - 4 - 238,
                            s.lineEdit->height());
    controlPanel->setMinimumWidth(sendRight + 3);
    FitControlArea();
    LayoutControlPanel();
}

void MainWindow::PlaceProgressBar() {
    const QWidget* view = receive->view;
    const QRect area(view->mapTo(progressBar->parentWidget(), QPoint(0, 0)), view->size());
    progressBar->setGeometry(area.x(), area.bottom() + 1 - progressBar->height(), area.width(),
                             progressBar->height());
    progressBar->raise();
}

// The area is as tall as the panel, plus its scroll bar when the panel is wider.
void MainWindow::FitControlArea() {
    const bool scrolls = controlArea->width() < controlPanel->minimumWidth();
    const int bar = scrolls ? controlArea->horizontalScrollBar()->sizeHint().height() : 0;
    controlArea->setFixedHeight(kControlPanelHeight + bar);
}

void MainWindow::LayoutControlPanel() {
    const int left = send->optionsBox->geometry().right() + 5;
    chart->Place(left, controlPanel->width() - left - 3, controlPanel->height() - 4);
}
