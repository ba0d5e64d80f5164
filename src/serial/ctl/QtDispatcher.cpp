#include "serial/ctl/QtDispatcher.h"

#include <QMetaObject>

TQtDispatcher::TQtDispatcher() : context_(std::make_unique<QObject>()) {}

TQtDispatcher::~TQtDispatcher() {
    if (TMainThreadDispatcher::Default() == this) {
        TMainThreadDispatcher::SetDefault(nullptr);
    }
}

void TQtDispatcher::Wake(std::function<void()> serve) {
    QMetaObject::invokeMethod(context_.get(), std::move(serve), Qt::QueuedConnection);
}
