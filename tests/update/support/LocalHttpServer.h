#pragma once
// A tiny HTTP server on 127.0.0.1 for the update check: serves one page, or stays silent,
// redirects in a loop, or streams an endless body; records what it was asked.

#include <QByteArray>
#include <QHostAddress>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

class LocalHttpServer {
  public:
    enum class Mode { Page, Silent, RedirectLoop, HugeWithLength, HugeStream };

    Mode mode = Mode::Page;
    QByteArray body;
    // Size of the endless bodies; far above every socket buffer on the way.
    qint64 hugeSize = qint64(64) << 20;
    QStringList requests;  // request lines, "GET /zenta/ HTTP/1.1"
    int disconnects = 0;
    bool peerLeftEarly = false;  // a huge body was not taken whole

    LocalHttpServer() {
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                Serve(s);
            }
        });
    }
    quint16 Port() const { return server_.serverPort(); }
    QString Url(const QString& path = QStringLiteral("/zenta/")) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(Port()).arg(path);
    }

  private:
    void Serve(QTcpSocket* s) {
        auto* head = new QByteArray;
        QObject::connect(s, &QTcpSocket::disconnected, s, [this, s, head] {
            ++disconnects;
            delete head;
            s->deleteLater();
        });
        QObject::connect(s, &QTcpSocket::readyRead, s, [this, s, head] {
            *head += s->readAll();
            while (head->contains("\r\n\r\n")) {
                const qsizetype end = head->indexOf("\r\n\r\n");
                requests << QString::fromLatin1(head->left(head->indexOf("\r\n")));
                head->remove(0, end + 4);
                Answer(s);
            }
        });
    }

    void Answer(QTcpSocket* s) {
        switch (mode) {
            case Mode::Page:
                s->write(
                    "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n"
                    "Content-Length: " +
                    QByteArray::number(body.size()) + "\r\n\r\n" + body);
                s->disconnectFromHost();
                break;
            case Mode::Silent:
                break;
            case Mode::RedirectLoop:
                s->write(
                    "HTTP/1.1 302 Found\r\nLocation: /zenta/again\r\nContent-Length: 0\r\n\r\n");
                break;
            case Mode::HugeWithLength:
                s->write("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(hugeSize) +
                         "\r\n\r\n");
                Stream(s);
                break;
            case Mode::HugeStream:
                s->write("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
                Stream(s);
                break;
        }
    }

    // Writes the body in slices as the peer takes them; one line without any CR.
    void Stream(QTcpSocket* s) {
        auto* sent = new qint64(0);
        auto more = [this, s, sent] {
            while (*sent < hugeSize && s->bytesToWrite() < (1 << 16)) {
                const QByteArray slice(1 << 16, 'A');
                s->write(slice);
                *sent += slice.size();
            }
            if (*sent >= hugeSize) {
                s->disconnectFromHost();
            }
        };
        QObject::connect(s, &QTcpSocket::bytesWritten, s, more);
        QObject::connect(s, &QTcpSocket::disconnected, s, [this, s, sent] {
            peerLeftEarly = *sent < hugeSize || s->bytesToWrite() > 0;
            delete sent;
        });
        more();
    }

    QTcpServer server_;
};
