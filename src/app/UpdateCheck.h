#pragma once
// The one update check at start-up: the system's proxy, the request with its give-up
// timer, and what the page says (link captions and addresses, a notice in the receive
// window, the window title). Needs from outside: the link bar and the receive window.

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QTimer;
class QWidget;
class LinkBar;
class WindowLinks;

// The proxy the request goes through, as the system settings give it.
struct ProxyChoice {
    bool use = false;
    QString host;
    QString port = QStringLiteral("8080");
    bool socks = false;
    QString user;
    QString password;
};

class UpdateCheck : public QObject {
    Q_OBJECT
  public:
    UpdateCheck(QWidget* window, LinkBar& links, WindowLinks& main);
    ~UpdateCheck() override;

    // Copies the system proxy settings: the environment's http_proxy family first, else
    // what the desktop's settings say (asked off the window's thread).
    void ReadSystemProxy();
    void Start();
    // Gives up a request still running (give-up tick, window close); the end of the
    // check then runs as for any failure.
    void Abort();

    ProxyChoice proxy;
    QTimer* giveUpTimer = nullptr;

    // Update page address; unset = the one configured at build time (empty = no request).
    static inline std::function<QString()> UrlSource;
    // Fallback address of link 0..4; unset = the configured home/download pages.
    static inline std::function<QString(int)> DefaultLinkSource;
    // How long the request may run before it is given up.
    static inline int GiveUpMs = 5000;

  private:
    struct State;
    State& Get();
    void SendRequest();
    void Finish(bool ok, const QByteArray& body);
    void ShowPage(const QByteArray& body);

    QWidget* window_;
    LinkBar& links_;
    WindowLinks& main_;
    std::unique_ptr<State> state_;
};
