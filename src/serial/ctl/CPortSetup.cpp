#include "serial/ctl/CPortSetup.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <array>

#include "serial/ctl/CPortCtl.h"

namespace {

std::function<int(TComSetupFrm&)>& Runner() {
    static std::function<int(TComSetupFrm&)> runner;
    return runner;
}

void CentreOnScreen(QWidget& w) {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        w.move(area.center() - QPoint(w.width() / 2, w.height() / 2));
    }
}

}  // namespace

TComSetupFrm::TComSetupFrm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Setup"));
    setObjectName(QStringLiteral("ComSetupFrm"));
    // A fixed dialog frame: no resizing, no minimise/maximise.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(231, 216);

    GroupBox1 = new QGroupBox(QStringLiteral(" Settings "), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(8, 8, 217, 169);

    struct Row {
        const char* caption;
        int top;
        TComProperty property;
    };
    const std::array<Row, 6> rows = {{
        {"Port", 16, cpPort},
        {"Baud rate", 40, cpBaudRate},
        {"Data bits", 64, cpDataBits},
        {"Stop bits", 88, cpStopBits},
        {"Parity", 112, cpParity},
        {"Flow control", 136, cpFlowControl},
    }};
    std::array<QLabel**, 6> labels = {&Label1, &Label2, &Label3, &Label4, &Label5, &Label6};
    std::array<TComComboBox**, 6> combos = {&Combo1, &Combo2, &Combo3, &Combo4, &Combo5, &Combo6};
    for (size_t i = 0; i < rows.size(); ++i) {
        auto* label = new QLabel(QString::fromLatin1(rows[i].caption), GroupBox1);
        label->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        label->setGeometry(8, rows[i].top + 3, 72, 16);
        *labels[i] = label;
        auto* combo = new TComComboBox(GroupBox1);
        combo->setObjectName(QStringLiteral("Combo%1").arg(i + 1));
        combo->setGeometry(80, rows[i].top, 129, 22);
        combo->SetComProperty(rows[i].property);
        *combos[i] = combo;
    }

    FitLabels();

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(70, 184, 75, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

    Button2 = new QPushButton(QStringLiteral("Cancel"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(150, 184, 75, 25);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

// The labels have 72 px before the lists start; fonts wider than the classic
// dialog font get a smaller size rather than clipped captions.
void TComSetupFrm::FitLabels() {
    const std::array<QLabel*, 6> labels = {Label1, Label2, Label3, Label4, Label5, Label6};
    QFont f = GroupBox1->font();
    auto widest = [&labels](const QFont& font) {
        const QFontMetrics m(font);
        int w = 0;
        for (QLabel* l : labels) {
            w = std::max(w, m.horizontalAdvance(l->text()));
        }
        return w;
    };
    while (widest(f) > labels[0]->width() && f.pointSizeF() > 6.0) {
        f.setPointSizeF(f.pointSizeF() - 0.5);
    }
    for (QLabel* l : labels) {
        l->setFont(f);
    }
}

namespace {

// The line parameters the dialog may change, as the port holds them.
struct LineValues {
    TBaudRate baudRate;
    int32_t customBaudRate;
    TDataBits dataBits;
    TStopBits stopBits;
    TParityBits parity;
    TFlowControl flow;

    static LineValues Of(TCustomComPort& port) {
        return {port.BaudRate(), port.CustomBaudRate(), port.DataBits(),
                port.StopBits(), port.Parity().Bits(),  port.FlowControl().FlowControl()};
    }

    // Puts the values back and applies them once more, so the port and the device agree.
    void Restore(TCustomComPort& port) const {
        port.BeginUpdate();
        port.SetBaudRate(baudRate);
        port.SetCustomBaudRate(customBaudRate);
        port.SetDataBits(dataBits);
        port.SetStopBits(stopBits);
        port.Parity().SetBits(parity);
        port.FlowControl().SetFlowControl(flow);
        try {
            port.EndUpdate();
        } catch (...) {
            // The device refuses what it had a moment ago: the first failure is reported.
        }
    }
};

}  // namespace

void EditComPort(TCustomComPort& port) {
    TComSetupFrm form;  // released on every way out
    const std::array<TComComboBox*, 6> combos = {form.Combo1, form.Combo2, form.Combo3,
                                                 form.Combo4, form.Combo5, form.Combo6};
    for (TComComboBox* c : combos) {
        c->SetComPort(&port);
    }
    for (TComComboBox* c : combos) {
        c->UpdateSettings();
    }
    CentreOnScreen(form);

    const int result = Runner() ? Runner()(form) : form.exec();
    if (result != QDialog::Accepted) {
        return;
    }

    // Port name first, so a new port is opened with the other new values.
    const LineValues inForce = LineValues::Of(port);
    port.BeginUpdate();
    try {
        for (TComComboBox* c : combos) {
            c->ApplySettings();
        }
    } catch (...) {
        // Close the batch anyway: a batch left open would keep every later
        // setting from reaching the device.
        try {
            port.EndUpdate();
        } catch (...) {
            // The first failure is the one to report; this one would only hide it.
        }
        throw;
    }
    try {
        port.EndUpdate();
    } catch (...) {
        // The device refused the new values: it keeps the ones it has, and so does the
        // port, or every later change would carry the refused value along and fail too.
        inForce.Restore(port);
        throw;
    }
}

void SetSetupDialogRunner(std::function<int(TComSetupFrm&)> runner) {
    Runner() = std::move(runner);
}

void InstallSetupDialog() {
    TCustomComPort::SetupDialogHook = [](TCustomComPort& port) { EditComPort(port); };
}
