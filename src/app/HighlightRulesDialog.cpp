#include "app/HighlightRulesDialog.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace zenta {

namespace {

enum Column { Pattern, Regex, MatchCase, Colour, Background, Columns };

QTableWidgetItem* checkItem(bool on) {
    auto* item = new QTableWidgetItem;
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
    item->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    return item;
}

}  // namespace

HighlightRulesDialog::HighlightRulesDialog(const std::vector<HighlightRule>& rules, bool english,
                                           QWidget* parent)
    : QDialog(parent), english_(english) {
    setObjectName(QStringLiteral("highlightRulesDialog"));
    setWindowTitle(english ? QStringLiteral("Highlight rules") : QStringLiteral("高亮规则"));
    table = new QTableWidget(0, Columns, this);
    table->setHorizontalHeaderLabels(
        english ? QStringList{QStringLiteral("Text"), QStringLiteral("Regex"),
                              QStringLiteral("Match case"), QStringLiteral("Colour"),
                              QStringLiteral("Background")}
                : QStringList{QStringLiteral("文本"), QStringLiteral("正则"),
                              QStringLiteral("区分大小写"), QStringLiteral("颜色"),
                              QStringLiteral("背景色")});
    table->horizontalHeader()->setSectionResizeMode(Pattern, QHeaderView::Stretch);
    table->verticalHeader()->hide();
    for (const HighlightRule& r : rules)
        addRule(r);
    addButton = new QPushButton(english ? QStringLiteral("Add") : QStringLiteral("添加"), this);
    removeButton =
        new QPushButton(english ? QStringLiteral("Remove") : QStringLiteral("删除"), this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* row = new QHBoxLayout;
    row->addWidget(addButton);
    row->addWidget(removeButton);
    row->addStretch();
    row->addWidget(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table);
    layout->addLayout(row);
    resize(560, 300);

    connect(addButton, &QPushButton::clicked, this, [this] {
        addRule(HighlightRule{});
        table->setCurrentCell(table->rowCount() - 1, Pattern);
        table->editItem(table->item(table->rowCount() - 1, Pattern));
    });
    connect(removeButton, &QPushButton::clicked, this, [this] {
        if (table->currentRow() >= 0)
            table->removeRow(table->currentRow());
    });
    connect(table, &QTableWidget::cellDoubleClicked, this, [this](int r, int c) {
        if (c == Colour)
            chooseColour(r);
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void HighlightRulesDialog::addRule(const HighlightRule& rule) {
    const int r = table->rowCount();
    table->insertRow(r);
    table->setItem(r, Pattern,
                   new QTableWidgetItem(QString::fromUtf16(
                       rule.pattern.data(), static_cast<qsizetype>(rule.pattern.size()))));
    table->setItem(r, Regex, checkItem(rule.regex));
    table->setItem(r, MatchCase, checkItem(rule.matchCase));
    auto* colour = new QTableWidgetItem(QColor::fromRgb(rule.colour).name());
    colour->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    colour->setBackground(QColor::fromRgb(rule.colour));
    colour->setToolTip(english_ ? QStringLiteral("Double-click to choose")
                                : QStringLiteral("双击选择颜色"));
    table->setItem(r, Colour, colour);
    table->setItem(r, Background, checkItem(rule.background));
}

void HighlightRulesDialog::chooseColour(int row) {
    QTableWidgetItem* item = table->item(row, Colour);
    // Not modal to the event loop: the choice lands when the colour dialog closes.
    auto* dialog = new QColorDialog(QColor::fromString(item->text()), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QColorDialog::colorSelected, this, [item](const QColor& c) {
        item->setText(c.name());
        item->setBackground(c);
    });
    dialog->open();
}

std::vector<HighlightRule> HighlightRulesDialog::rules() const {
    std::vector<HighlightRule> out;
    for (int r = 0; r < table->rowCount(); ++r) {
        const QString pattern = table->item(r, Pattern)->text();
        if (pattern.isEmpty())
            continue;
        HighlightRule rule;
        rule.pattern = std::u16string(reinterpret_cast<const char16_t*>(pattern.utf16()),
                                      static_cast<std::size_t>(pattern.size()));
        rule.regex = table->item(r, Regex)->checkState() == Qt::Checked;
        rule.matchCase = table->item(r, MatchCase)->checkState() == Qt::Checked;
        rule.colour = QColor::fromString(table->item(r, Colour)->text()).rgb() & 0xFFFFFFu;
        rule.background = table->item(r, Background)->checkState() == Qt::Checked;
        out.push_back(std::move(rule));
    }
    return out;
}

}  // namespace zenta
