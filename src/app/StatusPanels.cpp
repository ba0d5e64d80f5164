#include "app/StatusPanels.h"

#include <QHBoxLayout>
#include <QLabel>
#include <algorithm>

TStatusPanels::TStatusPanels(QWidget* parent) : QFrame(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 1, 0, 1);
    row->setSpacing(2);
    for (int i = 0; i < kPanels; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        label->setFrameShape(QFrame::StyledPanel);
        label->setFrameShadow(QFrame::Sunken);
        label->setContentsMargins(2, 0, 2, 0);
        label->setTextFormat(Qt::PlainText);
        // Long texts are cut, never pushing the next panel away.
        label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
        label->setMinimumWidth(0);
        row->addWidget(label, i == kPanels - 1 ? 1 : 0);
        panels_[i] = label;
    }
    panels_.back()->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    setAutoFillBackground(true);
}

void TStatusPanels::SetPanelWidth(int index, int width) {
    widths_.at(index) = width;
    Fit(index);
}

int TStatusPanels::PanelWidth(int index) const {
    return widths_.at(index);
}

// Device paths are longer than the short port names the widths were made for: a panel grows
// rather than cutting its text.
void TStatusPanels::Fit(int index) {
    QLabel* label = panels_.at(index);
    const int needed = label->fontMetrics().horizontalAdvance(label->text()) + 10;
    const int width = std::max(widths_.at(index), needed);
    if (index == kPanels - 1) {
        label->setMinimumWidth(width);
    } else if (label->width() != width || label->minimumWidth() != width) {
        label->setFixedWidth(width);
    }
}

void TStatusPanels::SetPanelText(int index, const QString& text) {
    if (panels_.at(index)->text() != text) {
        panels_.at(index)->setText(text);
        Fit(index);
    }
}

QString TStatusPanels::PanelText(int index) const {
    return panels_.at(index)->text();
}

void TStatusPanels::SetColor(const QColor& color) {
    if (color == color_) {
        return;
    }
    color_ = color;
    QPalette pal = palette();
    if (color.isValid()) {
        pal.setColor(QPalette::Window, color);
    } else {
        pal = QPalette();
    }
    setPalette(pal);
}
