#include "app/PanelWidgets.h"

#include <QMouseEvent>

void ClickLabel::mouseReleaseEvent(QMouseEvent* e) {
    QLabel::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) {
        emit clicked();
    }
}
