// System proxy and the update page check.
#include "app/UpdateCheck.h"

#include <QFutureWatcher>
#include <QNetworkProxy>
#include <QPromise>
#include <QThreadPool>
#include <QTimer>
#include <QWidget>
#include <cstdlib>

#include "app/LinkBar.h"
#include "app/PanelWidgets.h"
#include "app/WindowLinks.h"
#include "app/WindowState.h"
#include "text/Gb18030.h"
#include "update/ProxySettings.h"
#include "update/UpdateConfig.h"
#include "update/UpdatePage.h"
#include "update/qt/UpdateFetch.h"
#include "update/qt/UpdateNotice.h"

struct UpdateCheck::State {
    zenta::UpdateFetch fetch;
    // The desktop's proxy settings, asked off the window's thread (a PAC script may be
    // fetched on the way).
    QFutureWatcher<QList<QNetworkProxy>> desktopProxy;
    // The request waits for that answer.
    bool waitingForProxy = false;
};

namespace {

QString UpdateUrl() {
    return UpdateCheck::UrlSource ? UpdateCheck::UrlSource()
                                  : QString::fromStdString(zenta::ConfiguredUpdateUrl());
}

QString DefaultLink(int index) {
    if (UpdateCheck::DefaultLinkSource) {
        return UpdateCheck::DefaultLinkSource(index);
    }
    return QString::fromStdString(zenta::DefaultHeaderLink(index, zenta::ConfiguredHomeUrl(),
                                                           zenta::ConfiguredDownloadUrl()));
}

}  // namespace

UpdateCheck::UpdateCheck(QWidget* window, LinkBar& links, WindowLinks& main)
    : QObject(window), window_(window), links_(links), main_(main) {
    giveUpTimer = panel_widgets::Named(new QTimer(this), "updateGiveUpTimer");
    giveUpTimer->setSingleShot(true);
    giveUpTimer->setInterval(2000);
    connect(giveUpTimer, &QTimer::timeout, this, &UpdateCheck::Abort);
}

UpdateCheck::~UpdateCheck() = default;

UpdateCheck::State& UpdateCheck::Get() {
    if (!state_) {
        state_ = std::make_unique<State>();
        connect(&state_->fetch, &zenta::UpdateFetch::Finished, this,
                [this](bool ok, const QByteArray& body) { Finish(ok, body); });
        connect(&state_->desktopProxy, &QFutureWatcherBase::finished, this, [this] {
            State& u = *state_;
            const QList<QNetworkProxy> proxies = u.desktopProxy.future().result();
            for (const QNetworkProxy& p : proxies) {
                if (p.type() == QNetworkProxy::HttpProxy ||
                    p.type() == QNetworkProxy::Socks5Proxy) {
                    proxy.use = true;
                    proxy.host = p.hostName();
                    proxy.port = QString::number(p.port());
                    proxy.socks = p.type() == QNetworkProxy::Socks5Proxy;
                    proxy.user = p.user();
                    proxy.password = p.password();
                    break;
                }
            }
            if (u.waitingForProxy) {
                u.waitingForProxy = false;
                SendRequest();
            }
        });
    }
    return *state_;
}

void UpdateCheck::ReadSystemProxy() {
    State& u = Get();
    const QUrl url(UpdateUrl());
    const zenta::ProxySetting env =
        zenta::ProxyFromEnvironment([](const char* name) { return std::getenv(name); },
                                    url.scheme().toStdString(), url.host().toStdString());
    if (env.found) {
        proxy.use = env.enabled;
        proxy.host = QString::fromStdString(env.host);
        proxy.port = QString::fromStdString(env.port);
        proxy.socks = env.socks;
        proxy.user = QString::fromStdString(env.user);
        proxy.password = QString::fromStdString(env.password);
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

void UpdateCheck::Start() {
    const QUrl url(UpdateUrl());
    if (!zenta::IsWebLink(url.toString().toStdString())) {
        Finish(false, {});
        return;
    }
    State& u = Get();
    giveUpTimer->setInterval(GiveUpMs);
    giveUpTimer->start();
    if (u.desktopProxy.isRunning()) {
        u.waitingForProxy = true;
        return;
    }
    SendRequest();
}

void UpdateCheck::SendRequest() {
    State& u = Get();
    QNetworkProxy via(QNetworkProxy::NoProxy);
    if (proxy.use) {
        via = QNetworkProxy(proxy.socks ? QNetworkProxy::Socks5Proxy : QNetworkProxy::HttpProxy,
                            proxy.host, zenta::ProxyPortNumber(proxy.port.toStdString()),
                            proxy.user, proxy.password);
    }
    if (!u.fetch.Get(QUrl(UpdateUrl()), via)) {
        Finish(false, {});
    }
}

void UpdateCheck::Abort() {
    giveUpTimer->stop();
    if (!state_) {
        return;
    }
    if (state_->waitingForProxy) {
        state_->waitingForProxy = false;
        Finish(false, {});
    }
    if (state_->fetch.Running()) {
        state_->fetch.Abort();
        state_->fetch.Disconnect();
    }
}

// Every failure is silent: the labels keep what they show, and empty links get their
// fallback addresses.
void UpdateCheck::Finish(bool ok, const QByteArray& body) {
    giveUpTimer->stop();
    if (ok) {
        ShowPage(body);
    }
    for (int k = 0; k < LinkBar::kLinks; ++k) {
        QString& address = links_.addresses[static_cast<std::size_t>(k)];
        if (address.isEmpty()) {
            address = DefaultLink(k);
        }
    }
}

void UpdateCheck::ShowPage(const QByteArray& body) {
    const zenta::UpdatePage page =
        zenta::ParseUpdatePage(std::string_view(body.constData(), body.size()));
    const bool utf8 = zenta::IsUtf8(body);
    auto text = [utf8](const std::string& bytes) {
        return zenta::DecodePageText(QByteArray::fromStdString(bytes), utf8);
    };
    const auto& labels = links_.labels;
    auto& addresses = links_.addresses;
    std::array<std::size_t, 5> bytes{};
    std::array<int, 5> textWidths{};
    links_.pageCaptions = true;
    for (int k = 0; k < 5; ++k) {
        const QString caption = text(page.captions[k]);
        labels[k]->setText(caption);
        // Widths count the caption in the code page the page was written in (GBK).
        bytes[k] = static_cast<std::size_t>(zenta::ToGb18030(caption).size());
        textWidths[k] = labels[k]->fontMetrics().horizontalAdvance(caption) + 6;
        addresses[k] = text(page.links[k]);
    }
    const zenta::LinkBarGeometry g = zenta::LayoutLinkBar(bytes, textWidths, labels[0]->x());
    for (int k = 0; k < 5; ++k) {
        labels[k]->setGeometry(g.lefts[k], labels[k]->y(), g.widths[k], labels[k]->height());
    }

    const int compare =
        zenta::CompareVersionBytes(page.version, VersionText.toLatin1().toStdString());
    const zenta::UpdateNotice notice = zenta::MakeUpdateNotice(
        compare, EnglishUI == 1, text(page.version), text(page.notice), text(page.download));
    if (!notice.memoText.isEmpty()) {
        main_.Print(notice.memoText);
    }
    window_->setWindowTitle(notice.captionPrefix + window_->windowTitle() + notice.captionSuffix);
    // The reply has ended here, so there is no connection left to wait for.
    for (int k = 0; k < 5; ++k) {
        labels[k]->setToolTip(addresses[k]);
    }
}
