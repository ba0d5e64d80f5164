#pragma once

#include <QFrame>
#include <QLabel>
#include <functional>

// A label that reports clicks (header links, the port label, the refresh icon).
class TClickLabel : public QLabel {
    Q_OBJECT
  public:
    explicit TClickLabel(const QString& text = QString(), QWidget* parent = nullptr)
        : QLabel(text, parent) {
        setMouseTracking(true);
    }

  signals:
    void clicked();

  protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
};

// A plain container with an optional raised border.
class TPanel : public QFrame {
    Q_OBJECT
  public:
    explicit TPanel(QWidget* parent = nullptr, bool border = false) : QFrame(parent) {
        if (border) {
            setFrameShape(QFrame::StyledPanel);
            setFrameShadow(QFrame::Raised);
        }
        setMouseTracking(true);
    }
};
