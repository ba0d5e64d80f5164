// Builds the window's controls: regions, rows of the bottom stack and the side pages.
#include <QAbstractButton>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QLineSeries>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>

#include "app/ComMainForm.h"
#include "app/FormWidgets.h"
#include "app/IspSchematic.h"
#include "app/Splitter.h"
#include "app/StatusPanels.h"
#include "serial/ctl/CPortCtl.h"

namespace {

template <class W>
W* Named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& caption) {
    return Named(new QPushButton(caption, parent), name);
}

QCheckBox* Check(QWidget* parent, const char* name, const QString& caption) {
    return Named(new QCheckBox(caption, parent), name);
}

QLabel* Label(QWidget* parent, const char* name, const QString& caption) {
    auto* l = Named(new QLabel(caption, parent), name);
    l->setTextFormat(Qt::PlainText);
    return l;
}

QLineEdit* Edit(QWidget* parent, const char* name, const QString& text) {
    return Named(new QLineEdit(text, parent), name);
}

void Place(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(left, top, width, height);
}

// Width a captioned control needs for its text. A push button's own size hint has a
// style minimum far above what short captions like "Stop" need.
int CaptionWidth(QWidget* w) {
    if (auto* b = qobject_cast<QPushButton*>(w)) {
        return b->fontMetrics().horizontalAdvance(b->text()) + 12;
    }
    return w->sizeHint().width();
}

// The file row's design widths, kept to widen a control only when its caption needs it.
const char* const kDesignWidth = "designWidth";

// A circular-arrow icon for the refresh image.
QPixmap RefreshIcon() {
    QPixmap pm(18, 18);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x1a, 0x7f, 0x2e), 2.2));
    p.drawArc(QRect(3, 3, 12, 12), 60 * 16, 280 * 16);
    QPolygonF head;
    head << QPointF(11, 0.5) << QPointF(16.5, 3.5) << QPointF(11, 7.5);
    p.setBrush(QColor(0x1a, 0x7f, 0x2e));
    p.setPen(Qt::NoPen);
    p.drawPolygon(head);
    return pm;
}

}  // namespace

void TForm1::BuildLayout() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    // The receive window with the side panel beside it; the bottom stack spans the window
    // so the control panel keeps its room while the side panel is shown.
    auto* upper = new QHBoxLayout;
    upper->setContentsMargins(0, 0, 0, 0);
    upper->setSpacing(0);
    outer->addLayout(upper, 1);

    Memo = memo::Create(this);
    Memo->setObjectName(QStringLiteral("Memo"));
    QFont memoFont(QStringLiteral("Noto Sans Mono CJK SC"));
    memoFont.setPixelSize(12);
    Memo->setFont(memoFont);
    upper->addWidget(Memo, 1);
    Splitter1 = Named(new TSplitter(this), "Splitter1");
    // The receive window yields to the side panel down to the splitter's limit.
    Memo->setMinimumSize(Splitter1->MinSize, Splitter1->MinSize);
    upper->addWidget(Splitter1);
    Panel2 = Named(new TPanel(this), "Panel2");
    Panel2->setFixedWidth(317);
    upper->addWidget(Panel2);
    Splitter1->SetControl(Panel2);

    Panel5 = Named(new TPanel(this), "Panel5");
    Panel5->setFixedHeight(24);
    outer->addWidget(Panel5);
    ProgressBar1 = Named(new QProgressBar(this), "ProgressBar1");
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setFixedHeight(16);
    ProgressBar1->setTextVisible(false);
    outer->addWidget(ProgressBar1);
    Panel1 = Named(new TPanel(this, true), "Panel1");
    Panel1->setFixedHeight(115);
    outer->addWidget(Panel1);
    Panel4 = Named(new TPanel(this), "Panel4");
    Panel4->setFixedHeight(19);
    Panel4->setAutoFillBackground(true);
    QPalette linkPal = Panel4->palette();
    linkPal.setColor(QPalette::Window, QColor(0xDB, 0xDB, 0xDB));
    Panel4->setPalette(linkPal);
    Panel4->setCursor(Qt::PointingHandCursor);
    outer->addWidget(Panel4);

    StatusBar1 = Named(new TStatusPanels(this), "StatusBar1");
    StatusBar1->setFixedHeight(20);
    outer->addWidget(StatusBar1);

    BuildFileRow();
    BuildControlPanel();
    BuildLinkBar();
    BuildSidePanel();
    BuildHiddenControls();
    BuildTimers();
    LayoutCaptions();
}

void TForm1::BuildFileRow() {
    // Placed by LayoutFileRow, not by a layout, so that the row never sets the window's
    // minimum width: the buttons keep to the right edge and the path edit takes the rest.
    Edit2 = Edit(Panel5, "Edit2", QString());
    // Design widths are minimums: a longer caption (English) widens its control.
    auto add = [](QWidget* w, int width) { w->setProperty(kDesignWidth, width); };
    add(Button3 = Button(Panel5, "Button3", QStringLiteral("打开文件")), 66);
    add(Button4 = Button(Panel5, "Button4", QStringLiteral("发送文件")), 66);
    add(Button8 = Button(Panel5, "Button8", QStringLiteral("停止")), 44);
    add(Button2 = Button(Panel5, "Button2", QStringLiteral("帮助")), 44);
    add(BitBtn1 = Button(Panel5, "BitBtn1", QStringLiteral("显示图表")), 66);
    add(CheckBox14 = Check(Panel5, "CheckBox14", QStringLiteral("实时刷新")), 78);
    add(CheckBox13 = Check(Panel5, "CheckBox13", QStringLiteral("带符号数")), 78);
    add(CheckBox18 = Check(Panel5, "CheckBox18", QStringLiteral("English")), 70);
    add(saveconfig = Button(Panel5, "saveconfig", QStringLiteral("保存参数")), 66);
    add(Button5 = Button(Panel5, "Button5", QStringLiteral("扩展")), 44);
    add(Button6 = Button(Panel5, "Button6", QStringLiteral("━")), 26);
}

void TForm1::LayoutFileRow() {
    constexpr int kGap = 3;
    const int top = 1;
    const int height = Panel5->height() - 2;
    int x = Panel5->width() - 2;
    QWidget* const row[] = {Button6, Button5, saveconfig, CheckBox18, CheckBox13, CheckBox14,
                            BitBtn1, Button2, Button8,    Button4,    Button3};
    for (QWidget* w : row) {
        const int width = std::max(w->property(kDesignWidth).toInt(), CaptionWidth(w));
        x -= width;
        w->setGeometry(x, top, width, height);
        // A control cut by the window's left edge is left out until the window is wider.
        w->setVisible(x >= 2);
        x -= kGap;
    }
    Edit2->setGeometry(2, top, std::max(0, x - 2), height);
    Edit2->setVisible(x - 2 >= 20);
}

void TForm1::BuildControlPanel() {
    QWidget* p = Panel1;

    // Port column. Panel6 lies under the port label and box, which are raised above it.
    Panel6 = Named(new TPanel(p), "Panel6");
    Place(Panel6, 2, 2, 232, 110);
    Image2 = Named(new TClickLabel(QString(), Panel6), "Image2");
    Image2->setPixmap(RefreshIcon());
    Image2->setToolTip(QStringLiteral("刷新"));
    Image2->setCursor(Qt::PointingHandCursor);
    Place(Image2, 208, 3, 20, 20);
    Label18 = Label(Panel6, "Label18", QStringLiteral("波特率 "));
    Place(Label18, 2, 31, 52, 20);
    ComComboBox2 = Named(new TComComboBox(Panel6), "ComComboBox2");
    Place(ComComboBox2, 54, 29, 150, 23);
    BitBtn4 = Button(Panel6, "BitBtn4", QStringLiteral("更多串口设置"));
    Place(BitBtn4, 0, 56, 112, 24);
    CheckBox1 = Check(Panel6, "CheckBox1", QStringLiteral("DTR"));
    Place(CheckBox1, 122, 58, 50, 20);
    CheckBox2 = Check(Panel6, "CheckBox2", QStringLiteral("RTS"));
    Place(CheckBox2, 174, 58, 52, 20);
    CheckBox1->setEnabled(false);
    CheckBox2->setEnabled(false);

    Label23 = Named(new TClickLabel(QStringLiteral("串口号 "), p), "Label23");
    Label23->setToolTip(QStringLiteral("点击刷新串口"));
    Label23->setCursor(Qt::PointingHandCursor);
    Place(Label23, 4, 7, 50, 20);
    ComComboBox1 = Named(new TComComboBox(p), "ComComboBox1");
    Place(ComComboBox1, 56, 5, 150, 23);
    Label23->raise();
    ComComboBox1->raise();

    CustomBaudInput = Edit(p, "CustomBaudInput", QStringLiteral("2000000"));
    CustomBaudInput->setToolTip(QStringLiteral("输入自定义波特率"));
    CustomBaudInput->setStyleSheet(
        QStringLiteral("QLineEdit { background: #FFFF00; color: black; }"));
    CustomBaudInput->setEnabled(false);
    CustomBaudInput->setReadOnly(true);
    Place(CustomBaudInput, 58, 33, 100, 19);
    CustomBaudInput->hide();

    Button_Open = Button(p, "Button_Open", QStringLiteral("打开串口"));
    Place(Button_Open, 2, 84, 112, 28);
    ComLed1 = Named(new TComLed(p), "ComLed1");
    Place(ComLed1, 124, 86, 25, 25);

    // Receive options.
    Panel7 = Named(new TPanel(p), "Panel7");
    Place(Panel7, 238, 2, 232, 52);
    SpeedButton2 = Button(Panel7, "SpeedButton2", QStringLiteral("字体"));
    Place(SpeedButton2, 0, 1, 44, 24);
    Button1 = Button(Panel7, "Button1", QStringLiteral("清除窗口"));
    Place(Button1, 46, 1, 90, 24);
    Button42 = Button(Panel7, "Button42", QStringLiteral("保存数据"));
    Place(Button42, 138, 1, 92, 24);
    CheckBox19 = Check(Panel7, "CheckBox19", QStringLiteral("接收数据到文件"));
    Place(CheckBox19, 2, 29, 160, 20);

    Panel8 = Named(new TPanel(p), "Panel8");
    Place(Panel8, 238, 54, 232, 28);
    CheckBox5 = Check(Panel8, "CheckBox5", QStringLiteral("HEX显示    "));
    Place(CheckBox5, 2, 4, 80, 20);
    timeoutCRLF = Check(Panel8, "timeoutCRLF", QStringLiteral("分包显示"));
    Place(timeoutCRLF, 82, 4, 76, 20);
    Label1 = Label(Panel8, "Label1", QStringLiteral("超时"));
    Place(Label1, 158, 6, 26, 16);
    timeoutText = Edit(Panel8, "timeoutText", QStringLiteral("20"));
    timeoutText->setToolTip(QStringLiteral("超时时间必须比包间隔时间短"));
    Place(timeoutText, 184, 3, 30, 21);
    Label9 = Label(Panel8, "Label9", QStringLiteral("ms"));
    Place(Label9, 216, 6, 16, 16);

    // Send options.
    Panel9 = Named(new TPanel(p), "Panel9");
    Place(Panel9, 474, 2, 196, 80);
    CheckBox4 = Check(Panel9, "CheckBox4", QStringLiteral("HEX发送   "));
    Place(CheckBox4, 2, 3, 84, 20);
    NewLine_CB = Check(Panel9, "NewLine_CB", QStringLiteral("加回车换行"));
    NewLine_CB->setToolTip(QStringLiteral("加回车换行"));
    Place(NewLine_CB, 88, 3, 104, 20);
    CheckBox3 = Check(Panel9, "CheckBox3", QStringLiteral("定时发送:  "));
    Place(CheckBox3, 2, 29, 86, 20);
    Edit1 = Edit(Panel9, "Edit1", QStringLiteral("1000"));
    Place(Edit1, 88, 28, 50, 21);
    Label2 = Label(Panel9, "Label2", QStringLiteral("ms/次  "));
    Place(Label2, 141, 31, 52, 16);
    Label10 = Label(Panel9, "Label10", QStringLiteral("末尾加校验:"));
    Place(Label10, 2, 57, 76, 16);
    Label10->setAutoFillBackground(true);
    verifyBox = Named(new QComboBox(Panel9), "verifyBox");
    Place(verifyBox, 80, 54, 112, 23);

    Edit_Data = Edit(p, "Edit_Data", QString());
    Place(Edit_Data, 238, 86, 356, 25);
    Button_Send = Button(p, "Button_Send", QStringLiteral("发  送"));
    Place(Button_Send, 598, 84, 72, 28);

    // Chart on the right, filling what is left of the panel.
    Panel10 = Named(new TPanel(p), "Panel10");
    auto* chart = new QChart;
    chart->legend()->hide();
    chart->setBackgroundBrush(QColor(0xF3, 0xF3, 0xF3));
    chart->setMargins(QMargins(0, 0, 0, 0));
    chart->setBackgroundRoundness(0);
    Series1 = new QLineSeries(chart);
    Series1->setObjectName(QStringLiteral("Series1"));
    Series1->setColor(Qt::red);
    chart->addSeries(Series1);
    auto* axisX = new QValueAxis(chart);
    axisX->setRange(0, 500);
    axisX->setVisible(false);
    auto* axisY = new QValueAxis(chart);
    axisY->setRange(0, 255);
    axisY->setTickCount(3);
    axisY->setLabelFormat(QStringLiteral("%d"));
    QFont axisFont = axisY->labelsFont();
    axisFont.setPixelSize(9);
    axisY->setLabelsFont(axisFont);
    chart->addAxis(axisX, Qt::AlignBottom);
    chart->addAxis(axisY, Qt::AlignLeft);
    Series1->attachAxis(axisX);
    Series1->attachAxis(axisY);
    Chart1 = Named(new QChartView(chart, Panel10), "Chart1");
    Chart1->setRenderHint(QPainter::Antialiasing, false);
    SpeedButton1 = Button(Chart1, "SpeedButton1", QStringLiteral("0-0"));
    SpeedButton1->setFlat(true);
    BitBtn2 = Button(Chart1, "BitBtn2", QStringLiteral("<500"));
    BitBtn2->setFlat(true);
    BitBtn3 = Button(Chart1, "BitBtn3", QStringLiteral("500>"));
    BitBtn3->setFlat(true);
    for (auto* b : {SpeedButton1, BitBtn2, BitBtn3}) {
        QFont f = b->font();
        f.setPixelSize(10);
        b->setFont(f);
    }

    // Series colour boxes of the chart, kept hidden.
    const char* names[] = {"CheckBox9", "CheckBox10", "CheckBox11", "CheckBox12",
                           "CheckBox7", "CheckBox15", "CheckBox16", "CheckBox17"};
    QCheckBox** boxes[] = {&CheckBox9, &CheckBox10, &CheckBox11, &CheckBox12,
                           &CheckBox7, &CheckBox15, &CheckBox16, &CheckBox17};
    for (int i = 0; i < 8; ++i) {
        *boxes[i] = Check(p, names[i], QString::number(i + 1));
        (*boxes[i])->hide();
    }
}

// Places the captioned controls of the control panel by their captions' widths, the
// design widths being minimums, so that both languages fit. Runs after every caption
// change; the chart takes what is left on the right.
void TForm1::LayoutCaptions() {
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
    Label5->resize(std::max(90, CaptionWidth(Label5)), Label5->height());
    labelled(Label23, 4, ComComboBox1, 206);
    labelled(Label18, 2, ComComboBox2, 204);
    CustomBaudInput->move(Panel6->x() + ComComboBox2->x() + 2, CustomBaudInput->y());

    int inner = std::max(
        {flow(0, {{SpeedButton2, 44}, {Button1, 90}, {Button42, 92}}), flow(2, {{CheckBox19, 160}}),
         flow(
             2,
             {{CheckBox5, 80}, {timeoutCRLF, 76}, {Label1, 26}, {timeoutText, 30}, {Label9, 16}})});
    const int receiveWidth = std::max(232, inner + 2);
    Panel7->setGeometry(238, Panel7->y(), receiveWidth, Panel7->height());
    Panel8->setGeometry(238, Panel8->y(), receiveWidth, Panel8->height());

    inner = std::max({flow(2, {{CheckBox4, 84}, {NewLine_CB, 104}}),
                      flow(2, {{CheckBox3, 86}, {Edit1, 50}, {Label2, 52}}),
                      flow(2, {{Label10, 76}, {verifyBox, 112}})});
    const int sendLeft = 238 + receiveWidth + 4;
    Panel9->setGeometry(sendLeft, Panel9->y(), std::max(196, inner + 2), Panel9->height());
    const int sendRight = Panel9->geometry().right() + 1;
    const int buttonWidth = std::max(72, Button_Send->sizeHint().width());
    Button_Send->setGeometry(sendRight - buttonWidth, Button_Send->y(), buttonWidth,
                             Button_Send->height());
    Edit_Data->setGeometry(238, Edit_Data->y(), sendRight - buttonWidth - 4 - 238,
                           Edit_Data->height());
    LayoutControlPanel();
}

void TForm1::LayoutControlPanel() {
    // Below these widths the value axis' labels, or the buttons beside them, would be drawn
    // over each other: the chart, or its buttons, stay hidden until there is room.
    constexpr int kAxisWidth = 28;
    constexpr int kChartMinWidth = 80;
    const int left = Panel9->geometry().right() + 5;
    const int width = Panel1->width() - left - 3;
    Panel10->setVisible(width >= kChartMinWidth);
    Place(Panel10, left, 2, std::max(kChartMinWidth, width), Panel1->height() - 4);
    Chart1->setGeometry(0, 0, Panel10->width(), Panel10->height());
    // The chart's buttons sit right-aligned at its top, clear of the value axis.
    int x = Chart1->width();
    for (QPushButton* b : {BitBtn3, BitBtn2, SpeedButton1}) {
        const int w = b->fontMetrics().horizontalAdvance(b->text()) + 8;
        x -= w + 2;
        Place(b, x, 0, w, 16);
    }
    for (QPushButton* b : {BitBtn3, BitBtn2, SpeedButton1}) {
        b->setVisible(x >= kAxisWidth);
    }
}

void TForm1::BuildLinkBar() {
    const QString captions[] = {QStringLiteral("zenta 串口调试助手"),
                                QStringLiteral("zenta 开发者"), QStringLiteral("使用说明"),
                                QStringLiteral("下载最新版本"), QStringLiteral("联系与反馈")};
    const char* names[] = {"H1", "H2", "H3", "H4", "H5"};
    TClickLabel** labels[] = {&H1, &H2, &H3, &H4, &H5};
    int x = 4;
    for (int i = 0; i < 5; ++i) {
        auto* l = Named(new TClickLabel(captions[i], Panel4), names[i]);
        l->setTextFormat(Qt::PlainText);
        const int w = l->fontMetrics().horizontalAdvance(captions[i]) + 18;
        Place(l, x, 1, w, 17);
        x += w;
        *labels[i] = l;
    }
}

void TForm1::BuildSidePanel() {
    auto* box = new QVBoxLayout(Panel2);
    box->setContentsMargins(0, 0, 0, 0);
    // The pages' content never sets the window's minimum height: showing the panel must
    // leave the window's size alone.
    box->setSizeConstraint(QLayout::SetNoConstraint);
    Panel2->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Ignored);
    PageControl1 = Named(new QTabWidget(Panel2), "PageControl1");
    box->addWidget(PageControl1);
    TabSheet1 = Named(new QWidget, "TabSheet1");
    TabSheet2 = Named(new QWidget, "TabSheet2");
    PageControl1->addTab(TabSheet1, QStringLiteral("多条字符串发送"));
    PageControl1->addTab(TabSheet2, QStringLiteral("stm32ISP"));

    // Prepared-string page; the 150 row controls are added at start-up on top of these.
    QWidget* t = TabSheet1;
    Panel3 = Named(new TPanel(t), "Panel3");
    Place(Panel3, 0, 2, 232, 20);
    CheckBox6 = Check(Panel3, "CheckBox6", QStringLiteral("自动循环发送,  间隔: "));
    Place(CheckBox6, 0, 1, 150, 17);
    Edit35 = Edit(Panel3, "Edit35", QStringLiteral("1000"));
    Place(Edit35, 152, 0, 50, 19);
    Label3 = Label(Panel3, "Label3", QStringLiteral("ms"));
    Place(Label3, 205, 2, 20, 16);
    Label5 = Label(t, "Label5", QStringLiteral("←拖动分割线    "));
    Label5->setStyleSheet(QStringLiteral("color: grey;"));
    Place(Label5, 230, 4, 90, 16);
    Labe4 = Label(t, "Labe4", QStringLiteral("HEX    "));
    Place(Labe4, 0, 24, 34, 13);
    Label24 = Label(t, "Label24", QStringLiteral("字符串(双击注释)            "));
    Place(Label24, 34, 24, 150, 13);
    Label25 = Label(t, "Label25", QStringLiteral("点击发送          "));
    Place(Label25, 202, 24, 80, 13);
    for (QLabel* l : {Labe4, Label24, Label25, Label5}) {
        QFont f = l->font();
        f.setPixelSize(11);
        l->setFont(f);
    }
    SpeedButton3 = Button(t, "SpeedButton3", QStringLiteral("<"));
    Place(SpeedButton3, 317 - 25, 24, 12, 13);
    SpeedButton4 = Button(t, "SpeedButton4", QStringLiteral(">"));
    Place(SpeedButton4, 317 - 13, 24, 12, 13);
    for (auto* b : {SpeedButton3, SpeedButton4}) {
        b->setFlat(true);
        QFont f = b->font();
        f.setPixelSize(10);
        b->setFont(f);
    }

    // Line parameter boxes, normally changed through the setup dialog; the rows cover them.
    const char* labelNames[] = {"Label19", "Label20", "Label4", "Label8"};
    const QString labelTexts[] = {QStringLiteral("数据位"), QStringLiteral("停止位"),
                                  QStringLiteral("校验位"), QStringLiteral("流  控")};
    const char* boxNames[] = {"ComComboBox3", "ComComboBox4", "ComComboBox5", "ComComboBox6"};
    QLabel** labels[] = {&Label19, &Label20, &Label4, &Label8};
    TComComboBox** boxes[] = {&ComComboBox3, &ComComboBox4, &ComComboBox5, &ComComboBox6};
    for (int i = 0; i < 4; ++i) {
        *labels[i] = Label(t, labelNames[i], labelTexts[i]);
        Place(*labels[i], 4, 60 + 26 * i, 50, 20);
        *boxes[i] = Named(new TComComboBox(t), boxNames[i]);
        Place(*boxes[i], 56, 58 + 26 * i, 100, 23);
    }

    // Programmer page.
    auto* col = new QVBoxLayout(TabSheet2);
    col->setContentsMargins(4, 4, 4, 4);
    col->setSpacing(4);
    isp255_stm32 = Button(TabSheet2, "isp255_stm32", QStringLiteral("开始下载STM32"));
    isp255_stm32->setMinimumHeight(30);
    col->addWidget(isp255_stm32);
    writelow = Named(new QRadioButton(QStringLiteral("烧64K字节约10秒,稍慢(普通串口)"), TabSheet2),
                     "writelow");
    writemiddle = Named(new QRadioButton(QStringLiteral("烧64K字节约5.3秒,适中(CH340)"), TabSheet2),
                        "writemiddle");
    writefast = Named(new QRadioButton(QStringLiteral("最快(可能不稳定)"), TabSheet2), "writefast");
    writemiddle->setChecked(true);
    col->addWidget(writelow);
    col->addWidget(writemiddle);
    col->addWidget(writefast);
    Memo_stm32help = Named(new QPlainTextEdit(TabSheet2), "Memo_stm32help");
    Memo_stm32help->setReadOnly(true);
    Memo_stm32help->setMaximumHeight(130);
    col->addWidget(Memo_stm32help);
    Image1 = Named(new TIspSchematic(TabSheet2), "Image1");
    col->addWidget(Image1, 1);
}

void TForm1::BuildHiddenControls() {
    CheckBox8 = Check(this, "CheckBox8", QStringLiteral("通过代理"));
    Edit3 = Edit(this, "Edit3", QString());
    Edit4 = Edit(this, "Edit4", QStringLiteral("8080"));
    Button7 = Button(this, "Button7", QStringLiteral("检查代理"));
    for (QWidget* w : std::initializer_list<QWidget*>{CheckBox8, Edit3, Edit4, Button7}) {
        w->hide();
    }
    // A stray label outside every panel; it shows nothing useful, so it stays hidden.
    Label6 = Label(this, "Label6", QStringLiteral("停止位 "));
    Label6->hide();
}

void TForm1::BuildTimers() {
    auto timer = [this](const char* name, int ms, bool singleShot) {
        auto* t = Named(new QTimer(this), name);
        t->setInterval(ms);
        t->setSingleShot(singleShot);
        return t;
    };
    Refresh100msTimer = timer("Refresh100msTimer", 100, false);
    SendStringTimer = timer("SendStringTimer", 1000, false);
    Send_N_StringTimer = timer("Send_N_StringTimer", 1000, false);
    getNEWSTimer = timer("getNEWSTimer", 300, true);
    cacelGetnewsTimer = timer("cacelGetnewsTimer", 2000, true);
}
