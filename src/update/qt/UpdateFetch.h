#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QObject>
#include <QPointer>
#include <QUrl>

class QNetworkReply;

namespace zenta {

// One GET of the update page that never blocks its thread. The body is read into a buffer
// of at most BodyLimit bytes; a larger body, an error status, too many redirects or an
// abort all end as a failure with no body.
class UpdateFetch : public QObject {
    Q_OBJECT
  public:
    static constexpr qsizetype BodyLimit = 64 * 1024;
    static constexpr int MaxRedirects = 5;

    explicit UpdateFetch(QObject* parent = nullptr);
    // Drops a running request without reporting it.
    ~UpdateFetch() override;

    // Starts the request; false (and no report) for an address that is not http or https
    // or while a request is running.
    bool Get(const QUrl& url, const QNetworkProxy& proxy);
    // Gives up a running request; it reports a failure.
    void Abort();
    // Closes connections kept for reuse.
    void Disconnect();
    bool Running() const { return !reply_.isNull(); }

  signals:
    void Finished(bool ok, const QByteArray& body);

  private:
    void ReadAvailable();
    void Done();

    QNetworkAccessManager manager_;
    QPointer<QNetworkReply> reply_;
    QByteArray body_;
    bool overflow_ = false;
};

}  // namespace zenta
