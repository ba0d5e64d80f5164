#pragma once

#include <QWidget>
#include <functional>

// A thin vertical bar that resizes the panel to its right by dragging; OnMoved runs when
// the drag ends.
class TSplitter : public QWidget {
    Q_OBJECT
  public:
    explicit TSplitter(QWidget* parent = nullptr);

    void SetControl(QWidget* rightPanel) { control_ = rightPanel; }
    // Widens the controlled panel by dx pixels (narrows for dx < 0), within its limits,
    // then lays the window out and runs OnMoved.
    void MoveBy(int dx);
    // Narrows the controlled panel to what the window can give it (a stored width may be
    // anything), so that showing it never widens the window.
    void Fit();

    std::function<void(QObject*)> OnMoved;
    int MinSize = 30;

  protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

  private:
    void Resize(int dx);
    int MaxControlWidth() const;

    QWidget* control_ = nullptr;
    int pressX_ = 0;
    int startWidth_ = 0;
    bool dragging_ = false;
};
