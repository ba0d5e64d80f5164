#include "app/Splitter.h"

#include <QApplication>
#include <QLayout>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <limits>

TSplitter::TSplitter(QWidget* parent) : QWidget(parent) {
    setFixedWidth(3);
    setCursor(Qt::SplitHCursor);
}

void TSplitter::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(0x80, 0x80, 0x80));
}

int TSplitter::MaxControlWidth() const {
    // Keep some of the window for the left side.
    const QWidget* top = window();
    return top != nullptr ? std::max(MinSize, top->width() - MinSize - width())
                          : std::numeric_limits<int>::max();
}

void TSplitter::Fit() {
    if (control_ && control_->width() > MaxControlWidth()) {
        control_->setFixedWidth(MaxControlWidth());
    }
}

void TSplitter::Resize(int dx) {
    if (!control_) {
        return;
    }
    const int w = std::clamp(startWidth_ + dx, MinSize, MaxControlWidth());
    control_->setFixedWidth(w);
    if (QWidget* top = window(); top && top->layout()) {
        top->layout()->activate();
    }
}

void TSplitter::MoveBy(int dx) {
    if (!control_) {
        return;
    }
    // Dragging to the left widens the panel on the right.
    startWidth_ = control_->width();
    Resize(-dx);
    if (OnMoved) {
        OnMoved(this);
    }
}

void TSplitter::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !control_) {
        return;
    }
    dragging_ = true;
    pressX_ = e->globalPosition().toPoint().x();
    startWidth_ = control_->width();
}

void TSplitter::mouseMoveEvent(QMouseEvent* e) {
    if (dragging_) {
        Resize(pressX_ - e->globalPosition().toPoint().x());
    }
}

void TSplitter::mouseReleaseEvent(QMouseEvent* e) {
    if (!dragging_ || e->button() != Qt::LeftButton) {
        return;
    }
    dragging_ = false;
    Resize(pressX_ - e->globalPosition().toPoint().x());
    if (OnMoved) {
        OnMoved(this);
    }
}
