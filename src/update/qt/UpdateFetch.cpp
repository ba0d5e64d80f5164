#include "update/qt/UpdateFetch.h"

#include <QSslSocket>
#include <QTcpSocket>

namespace zenta {

namespace {

constexpr qint64 kReadSlice = 16 * 1024;

bool WebScheme(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

bool Https(const QUrl& url) {
    return url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
}

}  // namespace

UpdateFetch::UpdateFetch(QObject* parent) : QObject(parent) {}

UpdateFetch::~UpdateFetch() {
    DropSocket();
}

bool UpdateFetch::Get(const QUrl& url, const QNetworkProxy& proxy) {
    if (socket_ || !WebScheme(url)) {
        return false;
    }
    proxy_ = proxy;
    redirects_ = 0;
    if (!Start(url)) {
        // Reported from the event loop, as any other failure of a started request.
        QMetaObject::invokeMethod(
            this, [this] { emit Finished(false, {}); }, Qt::QueuedConnection);
    }
    return true;
}

bool UpdateFetch::Start(const QUrl& url) {
    url_ = url;
    const bool https = Https(url);
    if (https && !QSslSocket::supportsSsl()) {
        return false;
    }
    QAbstractSocket* socket = https ? new QSslSocket(this) : new QTcpSocket(this);
    socket_ = socket;
    response_ = std::make_unique<HttpResponse>(static_cast<std::size_t>(BodyLimit));
    // Qt's own buffer stays small too; what it holds is read in slices below.
    socket->setReadBufferSize(4 * kReadSlice);
    const bool viaHttpProxy = proxy_.type() == QNetworkProxy::HttpProxy;
    absoluteForm_ = viaHttpProxy && !https;
    socket->setProxy(absoluteForm_ ? QNetworkProxy(QNetworkProxy::NoProxy) : proxy_);
    connect(socket, &QAbstractSocket::readyRead, this, &UpdateFetch::ReadAvailable);
    connect(socket, &QAbstractSocket::disconnected, this, &UpdateFetch::PeerClosed);
    connect(socket, &QAbstractSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError error) {
                if (error == QAbstractSocket::RemoteHostClosedError) {
                    PeerClosed();
                } else {
                    End(false);
                }
            });
    const quint16 defaultPort = https ? 443 : 80;
    if (https) {
        auto* ssl = static_cast<QSslSocket*>(socket);
        connect(ssl, &QSslSocket::encrypted, this, &UpdateFetch::SendRequest);
        ssl->connectToHostEncrypted(url.host(), static_cast<quint16>(url.port(defaultPort)));
    } else {
        connect(socket, &QAbstractSocket::connected, this, &UpdateFetch::SendRequest);
        if (absoluteForm_) {
            socket->connectToHost(proxy_.hostName(), proxy_.port());
        } else {
            socket->connectToHost(url.host(), static_cast<quint16>(url.port(defaultPort)));
        }
    }
    return true;
}

void UpdateFetch::SendRequest() {
    if (!socket_) {
        return;
    }
    QByteArray target;
    if (absoluteForm_) {
        target = url_.toEncoded(QUrl::RemoveFragment | QUrl::RemoveUserInfo);
    } else {
        target = url_.path(QUrl::FullyEncoded).toLatin1();
        if (target.isEmpty()) {
            target = "/";
        }
        if (url_.hasQuery()) {
            target += '?' + url_.query(QUrl::FullyEncoded).toLatin1();
        }
    }
    QByteArray host = url_.host(QUrl::FullyEncoded).toLatin1();
    if (host.contains(':')) {
        host = '[' + host + ']';
    }
    const int defaultPort = Https(url_) ? 443 : 80;
    if (url_.port(defaultPort) != defaultPort) {
        host += ':' + QByteArray::number(url_.port());
    }
    QByteArray request = "GET " + target + " HTTP/1.1\r\nHost: " + host +
                         "\r\nUser-Agent: zenta\r\nAccept: */*\r\n"
                         // The body limit also holds for a compressed answer: ask for none.
                         "Accept-Encoding: identity\r\nConnection: close\r\n";
    if (absoluteForm_ && !proxy_.user().isEmpty()) {
        request += "Proxy-Authorization: Basic " +
                   (proxy_.user() + ':' + proxy_.password()).toUtf8().toBase64() + "\r\n";
    }
    request += "\r\n";
    socket_->write(request);
}

void UpdateFetch::ReadAvailable() {
    while (socket_ && response_->state() != HttpResponse::State::Failed &&
           response_->state() != HttpResponse::State::Done && socket_->bytesAvailable() > 0) {
        const QByteArray slice = socket_->read(kReadSlice);
        response_->Feed(
            std::string_view(slice.constData(), static_cast<std::size_t>(slice.size())));
    }
    if (socket_) {
        Settle();
    }
}

void UpdateFetch::PeerClosed() {
    if (!socket_) {
        return;
    }
    ReadAvailable();
    if (socket_) {
        response_->Closed();
        Settle();
    }
}

// Acts on a response that has ended: the page, a redirect, or a failure.
void UpdateFetch::Settle() {
    const HttpResponse& r = *response_;
    if (r.state() == HttpResponse::State::Failed) {
        End(false);
        return;
    }
    if (r.state() != HttpResponse::State::Done) {
        return;
    }
    const int status = r.Status();
    const bool redirect =
        status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
    if (redirect && !r.Location().empty()) {
        const QUrl next = url_.resolved(QUrl::fromEncoded(QByteArray::fromStdString(r.Location())));
        // Never from https down to http, and only so many hops.
        if (++redirects_ > MaxRedirects || !WebScheme(next) || (Https(url_) && !Https(next))) {
            End(false);
            return;
        }
        DropSocket();
        if (!Start(next)) {
            emit Finished(false, {});
        }
        return;
    }
    End(status >= 200 && status < 300);
}

void UpdateFetch::End(bool ok) {
    if (!socket_) {
        return;
    }
    QByteArray body;
    if (ok) {
        const std::string& b = response_->Body();
        body = QByteArray(b.data(), static_cast<qsizetype>(b.size()));
    }
    DropSocket();
    emit Finished(ok, body);
}

void UpdateFetch::DropSocket() {
    if (socket_) {
        socket_->disconnect(this);
        // abort() closes the connection at once, without waiting on anything.
        socket_->abort();
        socket_->deleteLater();
        socket_ = nullptr;
    }
    response_.reset();
}

void UpdateFetch::Abort() {
    End(false);
}

void UpdateFetch::Disconnect() {}

}  // namespace zenta
