#pragma once

#include <QByteArray>
#include <QNetworkProxy>
#include <QObject>
#include <QUrl>

#include <memory>

#include "update/HttpResponse.h"

class QAbstractSocket;

namespace zenta {

// One GET of the update page that never blocks its thread. It runs on the thread that
// owns it, reading the answer as it arrives: the head is held to HttpResponse::HeaderLimit
// and the body to BodyLimit, so a server that floods either is cut off at once and its
// connection closed. A larger answer, an error status, too many redirects or an abort all
// end as a failure with no body.
class UpdateFetch : public QObject {
    Q_OBJECT
  public:
    static constexpr qsizetype BodyLimit = 64 * 1024;
    static constexpr int MaxRedirects = 5;

    explicit UpdateFetch(QObject* parent = nullptr);
    // Drops a running request without reporting it.
    ~UpdateFetch() override;

    // Starts the request; false (and no report) for an address that is not http or https
    // or while a request is running. An HTTP proxy is asked with the absolute address for
    // http and through a tunnel for https; a SOCKS5 proxy carries either.
    bool Get(const QUrl& url, const QNetworkProxy& proxy);
    // Gives up a running request and closes its connection at once; it reports a failure.
    void Abort();
    // Closes connections kept for reuse. Every request closes its own connection when it
    // ends, so nothing is kept and this never waits.
    void Disconnect();
    bool Running() const { return socket_ != nullptr; }

  signals:
    void Finished(bool ok, const QByteArray& body);

  private:
    bool Start(const QUrl& url);
    void SendRequest();
    void ReadAvailable();
    void PeerClosed();
    void Settle();
    void End(bool ok);
    void DropSocket();

    QNetworkProxy proxy_;
    QUrl url_;
    int redirects_ = 0;
    bool absoluteForm_ = false;  // plain http through an HTTP proxy
    QAbstractSocket* socket_ = nullptr;
    std::unique_ptr<HttpResponse> response_;
};

}  // namespace zenta
