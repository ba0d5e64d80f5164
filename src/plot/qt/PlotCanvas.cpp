#include "plot/qt/PlotCanvas.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>
#include <QWheelEvent>
#include <cmath>
#include <ctime>

namespace zenta::plot {
namespace {

qint64 ThreadNsecs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<qint64>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

}  // namespace

PlotCanvas::PlotCanvas(QWidget* parent) : QWidget(parent), thread_([this] { RenderLoop(); }) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 120);
    setFocusPolicy(Qt::ClickFocus);
    band_ = new QRubberBand(QRubberBand::Rectangle, this);
}

PlotCanvas::~PlotCanvas() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
    // Pictures already posted to this object go with it.
}

PlotFrame PlotCanvas::NewFrame() const {
    PlotFrame f;
    f.size = size();
    f.dpr = devicePixelRatioF();
    f.range = range_;
    f.font = font();
    return f;
}

void PlotCanvas::Submit(PlotFrame frame) {
    LayOut(frame);
    area_ = frame.area;
    frame.serial = ++submitted_;
    {
        const std::lock_guard lock(mutex_);
        waiting_ = std::move(frame);
    }
    wake_.notify_one();
}

bool PlotCanvas::Busy() const {
    const std::lock_guard lock(mutex_);
    return drawing_ || waiting_;
}

void PlotCanvas::RenderLoop() {
    // The pictures drawn last, drawn over again once the window has let go of them.
    QImage spare[2];
    int next = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || waiting_; });
        if (stop_) {
            return;
        }
        PlotFrame frame = std::move(*waiting_);
        waiting_.reset();
        drawing_ = true;
        lock.unlock();
        const qint64 start = ThreadNsecs();
        // Moved out, so the pool's copy does not count as a second user.
        QImage image = RenderFrame(frame, std::move(spare[next]));
        spare[next] = image;
        next = 1 - next;
        lastRenderNs_ = ThreadNsecs() - start;
        const quint64 serial = frame.serial;
        frame = {};  // its points go here, not on the window's thread
        lock.lock();
        drawing_ = false;
        // Posted while the lock is held, so the destructor cannot finish in between.
        QMetaObject::invokeMethod(
            this,
            [this, serial, image = std::move(image)]() mutable { Show(std::move(image), serial); },
            Qt::QueuedConnection);
    }
}

void PlotCanvas::Show(QImage image, quint64 serial) {
    picture_ = std::move(image);
    ++shown_;
    shownSerial_ = serial;
    update();
    emit frameShown();
}

void PlotCanvas::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    if (picture_.isNull()) {
        p.fillRect(event->rect(), Qt::white);
        return;
    }
    p.drawImage(QPointF(0, 0), picture_);
    // After a resize the picture may be smaller until the next one comes.
    const QSizeF shown = QSizeF(picture_.size()) / picture_.devicePixelRatio();
    if (shown.width() < width()) {
        p.fillRect(QRectF(shown.width(), 0, width() - shown.width(), height()), Qt::white);
    }
    if (shown.height() < height()) {
        p.fillRect(QRectF(0, shown.height(), width(), height() - shown.height()), Qt::white);
    }
}

void PlotCanvas::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    emit resized();
}

void PlotCanvas::SetUserRange(const QRectF& range) {
    if (!(range.width() > 0) || !(range.height() > 0) || !std::isfinite(range.width()) ||
        !std::isfinite(range.height())) {
        return;  // zoomed to nothing or past what doubles hold
    }
    range_ = range;
    emit userRangeChanged();
}

void PlotCanvas::wheelEvent(QWheelEvent* event) {
    const QPointF pos = event->position();
    if (!area_.contains(pos.toPoint()) || event->angleDelta().y() == 0) {
        event->ignore();
        return;
    }
    // One notch zooms by 20 %.
    const double factor = std::pow(0.8, event->angleDelta().y() / 120.0);
    const QPointF at = MapToValue(pos);
    const QRectF r = range_;
    const bool zoomX = !(event->modifiers() & Qt::ShiftModifier);
    const bool zoomY = !(event->modifiers() & Qt::ControlModifier);
    const double x0 = zoomX ? at.x() - (at.x() - r.left()) * factor : r.left();
    const double x1 = zoomX ? at.x() + (r.right() - at.x()) * factor : r.right();
    const double y0 = zoomY ? at.y() - (at.y() - r.top()) * factor : r.top();
    const double y1 = zoomY ? at.y() + (r.bottom() - at.y()) * factor : r.bottom();
    SetUserRange(QRectF(QPointF(x0, y0), QPointF(x1, y1)));
    event->accept();
}

void PlotCanvas::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::RightButton || event->button() == Qt::MiddleButton) {
        panning_ = true;
        panFrom_ = event->position();
        setCursor(Qt::ClosedHandCursor);
    } else if (event->button() == Qt::LeftButton && area_.contains(pos)) {
        bandFrom_ = pos;
        band_->setGeometry(QRect(pos, QSize()));
        band_->show();
    }
    event->accept();
}

void PlotCanvas::mouseMoveEvent(QMouseEvent* event) {
    const QPointF pos = event->position();
    if (panning_) {
        const QPointF from = MapToValue(panFrom_);
        const QPointF to = MapToValue(pos);
        panFrom_ = pos;
        SetUserRange(range_.translated(from - to));
    } else if (band_->isVisible()) {
        band_->setGeometry(QRect(bandFrom_, pos.toPoint()).normalized().intersected(area_));
    }
    emit cursorMoved(MapToValue(pos), area_.contains(pos.toPoint()));
}

void PlotCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (panning_ && (event->button() == Qt::RightButton || event->button() == Qt::MiddleButton)) {
        panning_ = false;
        unsetCursor();
    } else if (band_->isVisible() && event->button() == Qt::LeftButton) {
        band_->hide();
        const QRect r = band_->geometry();
        if (r.width() >= 4 && r.height() >= 4) {  // a click is not a zoom
            const QPointF a = MapToValue(QPointF(r.left(), r.top() + r.height()));
            const QPointF b = MapToValue(QPointF(r.left() + r.width(), r.top()));
            SetUserRange(QRectF(a, b));
        }
    }
    event->accept();
}

void PlotCanvas::mouseDoubleClickEvent(QMouseEvent* event) {
    band_->hide();
    emit resetRequested();
    event->accept();
}

void PlotCanvas::leaveEvent(QEvent* event) {
    emit cursorMoved({}, false);
    QWidget::leaveEvent(event);
}

}  // namespace zenta::plot
