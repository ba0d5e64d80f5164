#pragma once
// A close request of the main window must save and close even while a modal dialog is
// open: the window system's request is dropped by Qt for a window a modal dialog blocks
// (seen on X11 without a window manager, where a dialog may sit unnoticed behind focus).

#include <QAbstractNativeEventFilter>
#include <QPointer>
#include <QWidget>
#include <cstdint>

namespace zenta {

// Dismisses every open modal dialog as if cancelled, then closes `window` from the event
// loop, so its close handler runs once the dialogs' own loops have returned.
void CloseDespiteDialogs(QWidget* window);

// Passes the window system's close request of `window` to CloseDespiteDialogs when a modal
// dialog blocks it (X11); with no dialog open Qt delivers the request itself.
class TCloseRequestWatch : public QAbstractNativeEventFilter {
  public:
    explicit TCloseRequestWatch(QWidget* window);
    ~TCloseRequestWatch() override;
    TCloseRequestWatch(const TCloseRequestWatch&) = delete;
    TCloseRequestWatch& operator=(const TCloseRequestWatch&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    QPointer<QWidget> window_;
    uint32_t protocolsAtom_ = 0;
    uint32_t deleteWindowAtom_ = 0;
};

}  // namespace zenta
