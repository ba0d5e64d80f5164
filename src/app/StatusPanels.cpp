#include "app/StatusPanels.h"

#include "update/UpdateConfig.h"

#include <QLabel>
#include <algorithm>

TStatusPanels::TStatusPanels(QWidget* parent) : QFrame(parent) {
    // No layout: a layout would make the panels' widths the window's minimum width. The
    // panels are placed left to right and a narrow window clips the last ones.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    for (int i = 0; i < kPanels; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        label->setFrameShape(QFrame::StyledPanel);
        label->setFrameShadow(QFrame::Sunken);
        label->setContentsMargins(2, 0, 2, 0);
        label->setTextFormat(Qt::PlainText);
        panels_[i] = label;
    }
    setAutoFillBackground(true);
}

QSize TStatusPanels::minimumSizeHint() const {
    return {0, 0};
}

void TStatusPanels::resizeEvent(QResizeEvent* e) {
    QFrame::resizeEvent(e);
    Place();
}

void TStatusPanels::Place() {
    constexpr int kGap = 2;
    int x = 0;
    for (int i = 0; i < kPanels; ++i) {
        QLabel* label = panels_[static_cast<std::size_t>(i)];
        int w =
            std::max(widths_[static_cast<std::size_t>(i)], needed_[static_cast<std::size_t>(i)]);
        if (i == kPanels - 1) {
            w = std::max(w, width() - x);  // the last panel takes the rest of the bar
        }
        label->setGeometry(x, 1, w, std::max(0, height() - 2));
        x += w + kGap;
    }
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
    needed_.at(index) = label->fontMetrics().horizontalAdvance(label->text()) + 10;
    Place();
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

QString HomePanelText() {
    const QString home = QString::fromStdString(zenta::ConfiguredHomeUrl());
    return home.isEmpty() ? QStringLiteral("zenta") : home;
}
