#include "update/qt/UpdateFetch.h"

#include <QNetworkReply>
#include <QNetworkRequest>

namespace zenta {

UpdateFetch::UpdateFetch(QObject* parent) : QObject(parent) {
    manager_.setAutoDeleteReplies(false);
}

UpdateFetch::~UpdateFetch() {
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
        delete reply_;
    }
}

bool UpdateFetch::Get(const QUrl& url, const QNetworkProxy& proxy) {
    const QString scheme = url.scheme().toLower();
    if (reply_ || !url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        return false;
    }
    body_.clear();
    overflow_ = false;
    manager_.setProxy(proxy);
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(MaxRedirects);
    // The body limit also holds for a compressed answer: ask for none.
    request.setRawHeader("Accept-Encoding", "identity");
    reply_ = manager_.get(request);
    reply_->setReadBufferSize(BodyLimit);
    connect(reply_, &QNetworkReply::metaDataChanged, this, [this] {
        const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > BodyLimit) {
            overflow_ = true;
            reply_->abort();
        }
    });
    connect(reply_, &QNetworkReply::readyRead, this, &UpdateFetch::ReadAvailable);
    connect(reply_, &QNetworkReply::finished, this, &UpdateFetch::Done);
    // A reply that ended before it could be watched still reports, from the event loop.
    if (reply_->isFinished()) {
        QMetaObject::invokeMethod(this, &UpdateFetch::Done, Qt::QueuedConnection);
    }
    return true;
}

void UpdateFetch::ReadAvailable() {
    if (!reply_ || overflow_ || !reply_->isOpen()) {
        return;
    }
    body_ += reply_->read(BodyLimit + 1 - body_.size());
    if (body_.size() > BodyLimit) {
        overflow_ = true;
        body_.clear();
        reply_->abort();
    }
}

void UpdateFetch::Done() {
    QNetworkReply* reply = reply_;
    if (!reply) {
        return;
    }
    ReadAvailable();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool ok =
        !overflow_ && reply->error() == QNetworkReply::NoError && status >= 200 && status < 300;
    reply_ = nullptr;
    reply->disconnect(this);
    reply->deleteLater();
    QByteArray body;
    if (ok) {
        body.swap(body_);
    }
    body_.clear();
    emit Finished(ok, body);
}

void UpdateFetch::Abort() {
    if (reply_) {
        reply_->abort();
    }
}

void UpdateFetch::Disconnect() {
    manager_.clearConnectionCache();
}

}  // namespace zenta
