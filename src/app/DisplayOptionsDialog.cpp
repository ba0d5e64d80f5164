#include "app/DisplayOptionsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/PanelWidgets.h"

namespace {

constexpr zenta::TextEncoding kEncodings[] = {
    zenta::TextEncoding::Gb18030, zenta::TextEncoding::Utf8, zenta::TextEncoding::Latin1};

}  // namespace

DisplayOptionsDialog::DisplayOptionsDialog(const zenta::DisplayOptions& options, bool english,
                                           QWidget* parent)
    : QDialog(parent) {
    using namespace panel_widgets;
    setObjectName(QStringLiteral("displayOptionsDialog"));
    setWindowTitle(english ? QStringLiteral("Display options") : QStringLiteral("显示选项"));
    encodingBox = Named(new QComboBox(this), "encodingBox");
    for (zenta::TextEncoding e : kEncodings) {
        const std::string_view name = zenta::TextEncodingName(e);
        encodingBox->addItem(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
        if (e == options.encoding) {
            encodingBox->setCurrentIndex(encodingBox->count() - 1);
        }
    }
    coloursCheck =
        Check(this, "coloursCheck",
              english ? QStringLiteral("Show ANSI colours") : QStringLiteral("显示ANSI颜色"));
    coloursCheck->setChecked(options.ansiColours);
    stampsCheck = Check(this, "stampsCheck",
                        english ? QStringLiteral("Time stamp on every received line")
                                : QStringLiteral("每行加时间戳"));
    stampsCheck->setChecked(options.lineStamps);
    captureStampsCheck = Check(this, "captureStampsCheck",
                               english ? QStringLiteral("Time stamps in the capture file too")
                                       : QStringLiteral("接收文件也加时间戳"));
    captureStampsCheck->setChecked(options.captureStamps);
    crNewLineCheck = Check(
        this, "crNewLineCheck",
        english ? QStringLiteral("CR alone starts a new line") : QStringLiteral("单独的CR也换行"));
    crNewLineCheck->setChecked(options.crNewLine);
    columnsBox = Named(new QSpinBox(this), "columnsBox");
    columnsBox->setRange(0, 1000);
    columnsBox->setSpecialValueText(english ? QStringLiteral("no limit") : QStringLiteral("不限"));
    columnsBox->setValue(options.termColumns);
    columnsBox->setToolTip(english
                               ? QStringLiteral("Devices draw their lines for a screen this "
                                                "wide: CR and cursor moves act within its rows")
                               : QStringLiteral("设备按此屏幕宽度输出：回车和光标移动在行内进行"));

    auto* form = new QFormLayout;
    form->addRow(english ? QStringLiteral("Text encoding") : QStringLiteral("文本编码"),
                 encodingBox);
    form->addRow(english ? QStringLiteral("Device screen width") : QStringLiteral("设备屏幕宽度"),
                 columnsBox);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* column = new QVBoxLayout(this);
    column->addLayout(form);
    column->addWidget(coloursCheck);
    column->addWidget(stampsCheck);
    column->addWidget(captureStampsCheck);
    column->addWidget(crNewLineCheck);
    column->addWidget(buttons);
}

zenta::DisplayOptions DisplayOptionsDialog::Options() const {
    zenta::DisplayOptions o;
    o.encoding = kEncodings[std::max(0, encodingBox->currentIndex())];
    o.ansiColours = coloursCheck->isChecked();
    o.lineStamps = stampsCheck->isChecked();
    o.captureStamps = captureStampsCheck->isChecked();
    o.crNewLine = crNewLineCheck->isChecked();
    o.termColumns = columnsBox->value();
    return o;
}
