#pragma once
// Small widgets and builders shared by the panels of the main window.

#include <QCheckBox>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

// A label that reports clicks (link bar, the port label, the refresh icon).
class ClickLabel : public QLabel {
    Q_OBJECT
  public:
    explicit ClickLabel(const QString& text = QString(), QWidget* parent = nullptr)
        : QLabel(text, parent) {
        setMouseTracking(true);
    }

  signals:
    void clicked();

  protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
};

// A plain container with an optional raised border.
class PanelFrame : public QFrame {
    Q_OBJECT
  public:
    explicit PanelFrame(QWidget* parent = nullptr, bool border = false) : QFrame(parent) {
        if (border) {
            setFrameShape(QFrame::StyledPanel);
            setFrameShadow(QFrame::Raised);
        }
        setMouseTracking(true);
    }
};

// The program's icon in the sizes the desktop asks for.
inline QIcon AppIcon() {
    // The icons are compiled into a static library: its resources must be pulled in.
    Q_INIT_RESOURCE(icons);
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128}) {
        icon.addFile(QStringLiteral(":/icons/zenta-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

namespace panel_widgets {

// Object names say each control's role; tests and the caption table find controls by them.
template <class W>
W* Named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

inline QPushButton* Button(QWidget* parent, const char* name, const QString& caption) {
    return Named(new QPushButton(caption, parent), name);
}

inline QCheckBox* Check(QWidget* parent, const char* name, const QString& caption) {
    return Named(new QCheckBox(caption, parent), name);
}

inline QLabel* Label(QWidget* parent, const char* name, const QString& caption) {
    auto* l = Named(new QLabel(caption, parent), name);
    l->setTextFormat(Qt::PlainText);
    return l;
}

inline QLineEdit* Edit(QWidget* parent, const char* name, const QString& text) {
    return Named(new QLineEdit(text, parent), name);
}

inline void Place(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(left, top, width, height);
}

// Width a captioned control needs for its text. A push button's own size hint has a
// style minimum far above what short captions like "Stop" need.
inline int CaptionWidth(QWidget* w) {
    if (auto* b = qobject_cast<QPushButton*>(w)) {
        return b->fontMetrics().horizontalAdvance(b->text()) + 12;
    }
    return w->sizeHint().width();
}

// Sets a check box from code; a change runs its click handler as a user's click would.
inline void SetChecked(QCheckBox* box, bool on) {
    if (box->isChecked() == on) {
        return;
    }
    box->setChecked(on);
    emit box->clicked(on);
}

// Runs a button's click handler from code, also while the button is disabled.
inline void InvokeClick(QAbstractButton* button) {
    emit button->clicked(button->isChecked());
}

}  // namespace panel_widgets
