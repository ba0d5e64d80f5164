#include "app/CloseRequest.h"

#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QMetaObject>

#ifdef ZENTA_HAVE_XCB
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#endif

namespace zenta {

void CloseDespiteDialogs(QWidget* window) {
    while (QWidget* modal = QApplication::activeModalWidget()) {
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        } else {
            modal->close();
        }
        if (QApplication::activeModalWidget() == modal) {
            break;  // it refused to go; the close below still runs
        }
    }
    QMetaObject::invokeMethod(window, &QWidget::close, Qt::QueuedConnection);
}

namespace {

#ifdef ZENTA_HAVE_XCB
uint32_t InternAtom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 1, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    if (reply == nullptr) {
        return 0;
    }
    const uint32_t atom = reply->atom;
    std::free(reply);
    return atom;
}
#endif

}  // namespace

TCloseRequestWatch::TCloseRequestWatch(QWidget* window) : window_(window) {
#ifdef ZENTA_HAVE_XCB
    auto* x11 =
        qApp != nullptr ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 == nullptr || x11->connection() == nullptr) {
        return;  // not on X11: nothing to watch
    }
    protocolsAtom_ = InternAtom(x11->connection(), "WM_PROTOCOLS");
    deleteWindowAtom_ = InternAtom(x11->connection(), "WM_DELETE_WINDOW");
    if (protocolsAtom_ != 0 && deleteWindowAtom_ != 0) {
        qApp->installNativeEventFilter(this);
    }
#endif
}

TCloseRequestWatch::~TCloseRequestWatch() {
    if (qApp != nullptr) {
        qApp->removeNativeEventFilter(this);
    }
}

bool TCloseRequestWatch::nativeEventFilter(const QByteArray& eventType, void* message,
                                           qintptr* /*result*/) {
#ifdef ZENTA_HAVE_XCB
    if (eventType != "xcb_generic_event_t" || !window_) {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const auto windowId = static_cast<xcb_window_t>(window_->winId());
    if ((event->response_type & 0x7F) == XCB_DESTROY_NOTIFY) {
        // Destroyed from outside (xdotool windowclose, a killed window manager): no close
        // request comes, and without this the process would stay, holding the port.
        const auto* destroyed = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
        if (destroyed->window == windowId) {
            CloseDespiteDialogs(window_);
        }
        return false;
    }
    if ((event->response_type & 0x7F) != XCB_CLIENT_MESSAGE) {
        return false;
    }
    const auto* request = reinterpret_cast<const xcb_client_message_event_t*>(event);
    if (request->format != 32 || request->type != protocolsAtom_ ||
        request->data.data32[0] != deleteWindowAtom_ || request->window != windowId ||
        QApplication::activeModalWidget() == nullptr) {
        return false;
    }
    CloseDespiteDialogs(window_);
    return true;
#else
    (void)eventType;
    (void)message;
    return false;
#endif
}

}  // namespace zenta
