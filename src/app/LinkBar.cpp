#include "app/LinkBar.h"

#include <QDesktopServices>
#include <QEvent>
#include <QUrl>

#include "app/PanelWidgets.h"
#include "update/UpdatePage.h"

LinkBar::LinkBar(QWidget* parent) : QObject(parent) {
    using namespace panel_widgets;
    bar = Named(new PanelFrame(parent), "linkBar");
    bar->setFixedHeight(19);
    bar->setAutoFillBackground(true);
    QPalette pal = bar->palette();
    pal.setColor(QPalette::Window, QColor(0xDB, 0xDB, 0xDB));
    bar->setPalette(pal);
    bar->setCursor(Qt::PointingHandCursor);

    for (int i = 0; i < kLinks; ++i) {
        auto* l = new ClickLabel(QString(), bar);
        l->setObjectName(QStringLiteral("link%1").arg(i + 1));
        l->setTextFormat(Qt::PlainText);
        labels[static_cast<std::size_t>(i)] = l;
        connect(l, &ClickLabel::clicked, this, [this, i] { onLinkClicked(i); });
        l->installEventFilter(this);
    }
    SetEnglish(false);
}

void LinkBar::SetEnglish(bool english) {
    if (pageCaptions) {
        return;
    }
    static const char* const kChinese[kLinks] = {"zenta 串口调试助手", "zenta 开发者", "使用说明",
                                                 "下载最新版本", "联系与反馈"};
    static const char* const kEnglish[kLinks] = {"zenta serial terminal", "zenta developers",
                                                 "User guide", "Latest version",
                                                 "Contact and feedback"};
    int x = 4;
    for (int i = 0; i < kLinks; ++i) {
        ClickLabel* l = labels[static_cast<std::size_t>(i)];
        const QString caption = QString::fromUtf8(english ? kEnglish[i] : kChinese[i]);
        l->setText(caption);
        const int w = l->fontMetrics().horizontalAdvance(caption) + 18;
        panel_widgets::Place(l, x, 1, w, 17);
        x += w;
    }
}

void LinkBar::Highlight(const ClickLabel* over) {
    for (ClickLabel* l : labels) {
        QPalette pal = l->palette();
        pal.setColor(QPalette::WindowText, l == over ? QColor(0, 0, 0xFF) : QColor(Qt::black));
        l->setPalette(pal);
    }
}

void LinkBar::onLinkClicked(int index) {
    const QString link = addresses.at(static_cast<std::size_t>(index));
    // Links may come from the network: only web addresses reach the browser.
    if (zenta::IsWebLink(link.toStdString())) {
        QDesktopServices::openUrl(QUrl::fromUserInput(link));
    }
}

bool LinkBar::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::MouseMove || e->type() == QEvent::Enter) {
        if (auto* l = qobject_cast<ClickLabel*>(watched)) {
            Highlight(l);
        }
    }
    return QObject::eventFilter(watched, e);
}
