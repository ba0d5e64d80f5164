#include <QBitmap>
#include <QEvent>
#include <QImage>
#include <QPainter>
#include <algorithm>

#include "serial/ctl/CPortCtl.h"

TComLed::TComLed(QWidget* parent) : QWidget(parent), link_(std::make_unique<TComLink>()) {
    resize(25, 25);
    ringTimer_.setSingleShot(true);
    ringTimer_.setInterval(ringDuration_);
    connect(&ringTimer_, &QTimer::timeout, this, &TComLed::RingEnded);
    FillLink();
    LoadKindGlyphs();
}

TComLed::~TComLed() {
    ringTimer_.stop();
    if (port_ != nullptr) {
        port_->UnRegisterLink(link_.get());
        port_->RemoveDestroyListener(this);
        port_ = nullptr;
    }
}

void TComLed::SetComPort(TCustomComPort* port) {
    if (port == port_) {
        return;
    }
    if (port_ != nullptr) {
        port_->UnRegisterLink(link_.get());
        port_->RemoveDestroyListener(this);
    }
    port_ = port;
    if (port_ == nullptr) {
        ApplyState(lsOff);
        return;
    }
    port_->AddDestroyListener(this, [this] { PortDestroyed(); });
    port_->RegisterLink(link_.get());
    if (port_->Connected()) {
        ApplyState(SignalIsOn() ? lsOn : lsOff);
    }
}

void TComLed::PortDestroyed() {
    // Called from the port's destructor, which drops its listeners itself.
    port_->UnRegisterLink(link_.get());
    port_ = nullptr;
    ApplyState(lsOff);
}

bool TComLed::SignalIsOn() const {
    switch (signal_) {
        case lsConn:
            return port_->Connected();
        case lsCTS:
            return port_->Signals().Contains(csCTS);
        case lsDSR:
            return port_->Signals().Contains(csDSR);
        case lsRLSD:
            return port_->Signals().Contains(csRLSD);
        case lsRing:
        case lsRx:
        case lsTx:
            break;
    }
    return false;
}

void TComLed::SetLedSignal(TComLedSignal signal) {
    if (signal == signal_) {
        return;
    }
    signal_ = signal;
    FillLink();
}

void TComLed::FillLink() {
    TComLink& l = *link_;
    l.OnConn = nullptr;
    l.OnCTSChange = nullptr;
    l.OnDSRChange = nullptr;
    l.OnRLSDChange = nullptr;
    l.OnRing = nullptr;
    l.OnRx = nullptr;
    l.OnTx = nullptr;
    auto change = [this](TCustomComPort*, bool on) { SignalChange(on); };
    switch (signal_) {
        case lsConn:
            l.OnConn = change;
            break;
        case lsCTS:
            l.OnCTSChange = change;
            break;
        case lsDSR:
            l.OnDSRChange = change;
            break;
        case lsRLSD:
            l.OnRLSDChange = change;
            break;
        case lsRing:
            l.OnRing = [this](TCustomComPort*) { Ring(); };
            break;
        case lsRx:
            l.OnRx = change;
            break;
        case lsTx:
            l.OnTx = change;
            break;
    }
}

void TComLed::SignalChange(bool on) {
    ApplyState(on ? lsOn : lsOff);
    // Paint now rather than re-entering the event loop from inside a port
    // notification: the lamp still follows the line during long operations.
    repaint();
}

void TComLed::Ring() {
    ApplyState(lsOn);
    // A ring while lit does not extend the time.
    if (!ringTimer_.isActive()) {
        ringTimer_.start();
    }
}

void TComLed::RingEnded() {
    ringTimer_.stop();
    ApplyState(lsOff);
}

void TComLed::SetState(TLedState state) {
    if (port_ != nullptr) {
        throw EComPort(19);
    }
    ApplyState(state);
}

void TComLed::ApplyState(TLedState state) {
    state_ = state;
    if (OnChange) {
        OnChange(this, state);
    }
    emit stateChanged(state);
    update();
}

void TComLed::SetRingDuration(int ms) {
    ringDuration_ = ms;
    ringTimer_.setInterval(ms);
}

void TComLed::LoadKindGlyphs() {
    if (kind_ == lkCustom) {
        return;
    }
    glyphOn_ = LedGlyph(kind_, lsOn);
    glyphOff_ = LedGlyph(kind_, lsOff);
}

void TComLed::SetKind(TLedKind kind) {
    if (kind == kind_) {
        return;
    }
    kind_ = kind;
    LoadKindGlyphs();
    update();
}

namespace {

// A glyph without alpha takes the colour of its bottom-left pixel as transparent.
QPixmap Transparent(const QPixmap& glyph) {
    if (glyph.isNull() || glyph.hasAlphaChannel()) {
        return glyph;
    }
    QPixmap copy = glyph;
    const QImage img = glyph.toImage();
    const QColor key = img.pixelColor(0, img.height() - 1);
    copy.setMask(copy.createMaskFromColor(key, Qt::MaskInColor));
    return copy;
}

}  // namespace

void TComLed::SetGlyphOn(const QPixmap& glyph) {
    if (kind_ != lkCustom) {
        return;
    }
    glyphOn_ = Transparent(glyph);
    update();
}

void TComLed::SetGlyphOff(const QPixmap& glyph) {
    if (kind_ != lkCustom) {
        return;
    }
    glyphOff_ = Transparent(glyph);
    update();
}

void TComLed::paintEvent(QPaintEvent*) {
    if (glyphOn_.isNull() || glyphOff_.isNull()) {
        LoadKindGlyphs();
    }
    const QPixmap& glyph = (isEnabled() && state_ == lsOn) ? glyphOn_ : glyphOff_;
    if (glyph.isNull()) {
        return;
    }
    const QSize g = glyph.deviceIndependentSize().toSize();
    const int x = std::max(0, (width() - g.width()) / 2);
    const int y = std::max(0, (height() - g.height()) / 2);
    QPainter(this).drawPixmap(x, y, glyph);
}

void TComLed::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        update();
    }
    QWidget::changeEvent(event);
}
