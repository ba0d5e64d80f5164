// Start-up tick, system proxy and the update page check.
#include <QCheckBox>
#include <QFutureWatcher>
#include <QLineEdit>
#include <QNetworkProxy>
#include <QPromise>
#include <QPushButton>
#include <QThreadPool>
#include <QTimer>
#include <cstdlib>

#include "app/ComMainForm.h"
#include "app/FormState.h"
#include "app/FormWidgets.h"
#include "text/Gb18030.h"
#include "update/ProxySettings.h"
#include "update/UpdateConfig.h"
#include "update/UpdatePage.h"
#include "update/qt/UpdateFetch.h"
#include "update/qt/UpdateNotice.h"

struct TForm1::UpdateState {
    zenta::UpdateFetch fetch;
    // The desktop's proxy settings, asked off the window's thread (a PAC script may be
    // fetched on the way).
    QFutureWatcher<QList<QNetworkProxy>> desktopProxy;
    // The request waits for that answer.
    bool waitingForProxy = false;
    bool socks = false;
    QString proxyUser;
    QString proxyPassword;
};

void TForm1::UpdateStateDeleter::operator()(UpdateState* s) const {
    delete s;
}

namespace {

QString UpdateUrl() {
    return TForm1::UpdateUrlSource ? TForm1::UpdateUrlSource()
                                   : QString::fromStdString(zenta::ConfiguredUpdateUrl());
}

QString DefaultLink(int index) {
    if (TForm1::DefaultLinkSource) {
        return TForm1::DefaultLinkSource(index);
    }
    return QString::fromStdString(zenta::DefaultHeaderLink(index, zenta::ConfiguredHomeUrl(),
                                                           zenta::ConfiguredDownloadUrl()));
}

}  // namespace

TForm1::UpdateState& TForm1::Update() {
    if (!update_) {
        update_.reset(new UpdateState);
        connect(&update_->fetch, &zenta::UpdateFetch::Finished, this,
                [this](bool ok, const QByteArray& body) { FinishUpdateCheck(ok, body); });
        connect(&update_->desktopProxy, &QFutureWatcherBase::finished, this, [this] {
            UpdateState& u = *update_;
            const QList<QNetworkProxy> proxies = u.desktopProxy.future().result();
            for (const QNetworkProxy& p : proxies) {
                if (p.type() == QNetworkProxy::HttpProxy ||
                    p.type() == QNetworkProxy::Socks5Proxy) {
                    SetChecked(CheckBox8, true);
                    Edit3->setText(p.hostName());
                    Edit4->setText(QString::number(p.port()));
                    u.socks = p.type() == QNetworkProxy::Socks5Proxy;
                    u.proxyUser = p.user();
                    u.proxyPassword = p.password();
                    break;
                }
            }
            if (u.waitingForProxy) {
                u.waitingForProxy = false;
                SendUpdateRequest();
            }
        });
    }
    return *update_;
}

// Copies the system proxy settings into the hidden proxy controls: the environment's
// http_proxy family first, else what the desktop's settings say.
void TForm1::Button7Click(QObject* /*Sender*/) {
    UpdateState& u = Update();
    const QUrl url(UpdateUrl());
    const zenta::ProxySetting env =
        zenta::ProxyFromEnvironment([](const char* name) { return std::getenv(name); },
                                    url.scheme().toStdString(), url.host().toStdString());
    if (env.found) {
        SetChecked(CheckBox8, env.enabled);
        Edit3->setText(QString::fromStdString(env.host));
        Edit4->setText(QString::fromStdString(env.port));
        u.socks = env.socks;
        u.proxyUser = QString::fromStdString(env.user);
        u.proxyPassword = QString::fromStdString(env.password);
        return;
    }
    // Without an update address nothing may touch the network, not even a proxy lookup.
    if (url.host().isEmpty() || u.desktopProxy.isRunning()) {
        return;
    }
    auto promise = std::make_shared<QPromise<QList<QNetworkProxy>>>();
    u.desktopProxy.setFuture(promise->future());
    promise->start();
    QThreadPool::globalInstance()->start([promise, query = QNetworkProxyQuery(url)] {
        promise->addResult(QNetworkProxyFactory::systemProxyForQuery(query));
        promise->finish();
    });
}

void TForm1::getNEWSTimerTimer(QObject* /*Sender*/) {
    getNEWSTimer->stop();
    InvokeClick(Button_Open);
    Label23Click(this);
    StartUpdateCheck();
}

void TForm1::StartUpdateCheck() {
    const QUrl url(UpdateUrl());
    if (!zenta::IsWebLink(url.toString().toStdString())) {
        FinishUpdateCheck(false, {});
        return;
    }
    UpdateState& u = Update();
    cacelGetnewsTimer->setInterval(UpdateCancelMs);
    cacelGetnewsTimer->start();
    if (u.desktopProxy.isRunning()) {
        u.waitingForProxy = true;
        return;
    }
    SendUpdateRequest();
}

void TForm1::SendUpdateRequest() {
    UpdateState& u = Update();
    QNetworkProxy proxy(QNetworkProxy::NoProxy);
    if (CheckBox8->isChecked()) {
        proxy = QNetworkProxy(u.socks ? QNetworkProxy::Socks5Proxy : QNetworkProxy::HttpProxy,
                              Edit3->text(), zenta::ProxyPortNumber(Edit4->text().toStdString()),
                              u.proxyUser, u.proxyPassword);
    }
    if (!u.fetch.Get(QUrl(UpdateUrl()), proxy)) {
        FinishUpdateCheck(false, {});
    }
}

void TForm1::cacelGetnewsTimerTimer(QObject* /*Sender*/) {
    cacelGetnewsTimer->stop();
    AbortUpdateCheck();
}

// Gives up a request still running (cancel tick, window close); the end of the check
// then runs as for any failure.
void TForm1::AbortUpdateCheck() {
    cacelGetnewsTimer->stop();
    if (!update_) {
        return;
    }
    if (update_->waitingForProxy) {
        update_->waitingForProxy = false;
        FinishUpdateCheck(false, {});
    }
    if (update_->fetch.Running()) {
        update_->fetch.Abort();
        update_->fetch.Disconnect();
    }
}

// Every failure is silent: the labels keep what they show, and empty links get their
// fallback addresses.
void TForm1::FinishUpdateCheck(bool ok, const QByteArray& body) {
    cacelGetnewsTimer->stop();
    if (ok) {
        ShowUpdatePage(body);
    }
    for (int k = 0; k < 5; ++k) {
        if (HeaderLinks[k].isEmpty()) {
            HeaderLinks[k] = DefaultLink(k);
        }
    }
}

void TForm1::ShowUpdatePage(const QByteArray& body) {
    const zenta::UpdatePage page =
        zenta::ParseUpdatePage(std::string_view(body.constData(), body.size()));
    const bool utf8 = zenta::IsUtf8(body);
    auto text = [utf8](const std::string& bytes) {
        return zenta::DecodePageText(QByteArray::fromStdString(bytes), utf8);
    };
    TClickLabel* labels[] = {H1, H2, H3, H4, H5};
    std::array<std::size_t, 5> bytes{};
    std::array<int, 5> textWidths{};
    for (int k = 0; k < 5; ++k) {
        const QString caption = text(page.captions[k]);
        labels[k]->setText(caption);
        // Widths count the caption in the code page the page was written in (GBK).
        bytes[k] = static_cast<std::size_t>(zenta::ToGb18030(caption).size());
        textWidths[k] = labels[k]->fontMetrics().horizontalAdvance(caption) + 6;
        HeaderLinks[k] = text(page.links[k]);
    }
    const zenta::LinkBarGeometry g = zenta::LayoutLinkBar(bytes, textWidths, H1->x());
    for (int k = 0; k < 5; ++k) {
        labels[k]->setGeometry(g.lefts[k], labels[k]->y(), g.widths[k], labels[k]->height());
    }

    const int compare =
        zenta::CompareVersionBytes(page.version, VersionText.toLatin1().toStdString());
    const zenta::UpdateNotice notice = zenta::MakeUpdateNotice(
        compare, EnglishUI == 1, text(page.version), text(page.notice), text(page.download));
    if (!notice.memoText.isEmpty()) {
        winprint(notice.memoText);
    }
    setWindowTitle(notice.captionPrefix + windowTitle() + notice.captionSuffix);
    // The reply has ended here, so there is no connection left to wait for.
    for (int k = 0; k < 5; ++k) {
        labels[k]->setToolTip(HeaderLinks[k]);
    }
}
