// The start-up update check of the window against local HTTP servers and a local proxy.
#include <QCheckBox>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "app/ChartPanel.h"
#include "app/ConnectionPanel.h"
#include "app/FileRowPanel.h"
#include "app/LinkBar.h"
#include "app/MainWindow.h"
#include "app/PanelWidgets.h"
#include "app/PreparedPanel.h"
#include "app/ProgrammerPage.h"
#include "app/ReceivePanel.h"
#include "app/SaveFolder.h"
#include "app/SendPanel.h"
#include "app/StatusPanels.h"
#include "app/UpdateCheck.h"
#include "app/WindowState.h"
#include "datapath/qt/ReceiveView.h"
#include "support/qt/WindowFixture.h"
#include "update/support/FloodServer.h"
#include "update/support/LocalHttpServer.h"

using namespace zenta::test;

namespace {

QByteArray Page(const char* version, const char* notice = "Faster charts") {
    return QByteArray(
               "Home\r\nhttp://h.test/1\r\nDev\r\nhttp://h.test/2\r\nHelp\r\n"
               "http://h.test/3\r\nGet it\r\nhttp://h.test/4\r\nMail\r\nhttp://h.test/5\r\n") +
           version + "\r\nhttp://h.test/unused\r\n" + notice + "\r\nhttp://h.test/dl\r\n";
}

// Records what the window hands to the browser.
class UrlRecorder : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> opened;
  public slots:
    void open(const QUrl& url) { opened << url; }
};

const char* const kProxyVars[] = {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
                                  "all_proxy",  "ALL_PROXY",  "no_proxy",    "NO_PROXY"};

}  // namespace

class UpdateCheckTest : public QObject {
    Q_OBJECT

  private:
    RecordingPrompts prompts_;
    std::unique_ptr<MainWindow> form_;
    TWindowFixture fixture_;
    LocalHttpServer server_;
    UrlRecorder browser_;
    QString designTitle_;

    // The window as the program starts it, with its start-up tick held back.
    void Create(bool english = false) {
        form_ = std::make_unique<MainWindow>();
        form_->startTimer->stop();
        if (english) {
            form_->englishCheck->setChecked(true);
            form_->onLanguageChanged();
        }
        designTitle_ = form_->windowTitle();
    }
    // Runs the start-up tick; it must return while the request is still on its way.
    void Tick() {
        form_->onStartTick();
        QVERIFY(form_->links->addresses[4].isEmpty());
        QVERIFY(form_->update->giveUpTimer->isActive());
        QCOMPARE(form_->update->giveUpTimer->interval(), UpdateCheck::GiveUpMs);
    }
    // The check has ended once every link holds an address (the page's or its fallback).
    void WaitForEnd() {
        QTRY_VERIFY_WITH_TIMEOUT(!form_->links->addresses[4].isEmpty(), 20000);
        QVERIFY(!form_->update->giveUpTimer->isActive());
    }
    void ExpectNothingChanged() {
        QCOMPARE(form_->windowTitle(), designTitle_);
        QCOMPARE(form_->links->labels[0]->text(), QStringLiteral("zenta 串口调试助手"));
        QCOMPARE(form_->links->labels[4]->text(), QStringLiteral("联系与反馈"));
        QCOMPARE(form_->links->labels[0]->toolTip(), QString());
        QVERIFY(form_->receive->view->toPlainText().isEmpty());
        for (int k = 0; k < 5; ++k) {
            QCOMPARE(form_->links->addresses[k], QStringLiteral("http://fallback.test/%1").arg(k));
        }
    }
    QList<ClickLabel*> Labels() const {
        return {form_->links->labels[0], form_->links->labels[1], form_->links->labels[2],
                form_->links->labels[3], form_->links->labels[4]};
    }

  private slots:
    void init() {
        for (const char* var : kProxyVars) {
            qunsetenv(var);
        }
        fixture_.Start(prompts_);
        browser_.opened.clear();
        server_.mode = LocalHttpServer::Mode::Page;
        server_.requests.clear();
        server_.disconnects = 0;
        server_.peerLeftEarly = false;
        ConnectionPanel::PortEntrySource = [] { return std::vector<std::string>{}; };
        UpdateCheck::UrlSource = [this] { return server_.Url(); };
        UpdateCheck::DefaultLinkSource = [](int k) {
            return QStringLiteral("http://fallback.test/%1").arg(k);
        };
        UpdateCheck::GiveUpMs = 5000;
    }
    void cleanup() {
        form_.reset();
        for (const char* var : kProxyVars) {
            qunsetenv(var);
        }
        fixture_.Stop();
    }

    void sameVersionEndsTheCaption() {
        server_.body = Page("5.08d2");
        Create(true);
        Tick();
        WaitForEnd();
        QCOMPARE(server_.requests, QStringList{QStringLiteral("GET /zenta/ HTTP/1.1")});
        QCOMPARE(form_->windowTitle(), designTitle_ + QStringLiteral("(Newest version)"));
        QVERIFY(form_->receive->view->toPlainText().isEmpty());
        // Captions, links and hints from the page; the labels follow one another.
        const QStringList captions = {"Home", "Dev", "Help", "Get it", "Mail"};
        const auto labels = Labels();
        int left = labels[0]->width();
        for (int k = 0; k < 5; ++k) {
            QCOMPARE(labels[k]->text(), captions[k]);
            QCOMPARE(form_->links->addresses[k], QStringLiteral("http://h.test/%1").arg(k + 1));
            QCOMPARE(labels[k]->toolTip(), form_->links->addresses[k]);
            QVERIFY(labels[k]->width() >= (captions[k].size() + 1) * 6);
            QVERIFY(labels[k]->width() >= labels[k]->fontMetrics().horizontalAdvance(captions[k]));
            if (k > 0) {
                QCOMPARE(labels[k]->x(), left);
                left += labels[k]->width();
            }
        }
        // A click opens the page's address.
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &browser_, "open");
        form_->links->onLinkClicked(1);
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QCOMPARE(browser_.opened, QList<QUrl>{QUrl(QStringLiteral("http://h.test/2"))});
    }

    void newerVersionIsAnnounced() {
        server_.body = Page("5.08d3", "Faster charts");
        Create(true);
        Tick();
        WaitForEnd();
        QCOMPARE(form_->windowTitle(),
                 QStringLiteral("(★Find the Newest version V5.08d3★)") + designTitle_);
        QVERIFY(form_->receive->view->toPlainText().endsWith(
            QStringLiteral("Find the Newest version:5.08d3\nFaster charts\nhttp://h.test/dl")));
        QVERIFY(prompts_.messages.isEmpty());

        // The Chinese texts, with a notice in GBK.
        form_.reset();
        fixture_.NewSettingsFolder();
        server_.body = Page("5.1", "\xb8\xfc\xbf\xec");  // 更快
        Create(false);
        Tick();
        WaitForEnd();
        QCOMPARE(form_->windowTitle(), QStringLiteral("(★有新版本V5.1★)") + designTitle_);
        QVERIFY(form_->receive->view->toPlainText().endsWith(
            QStringLiteral("发现最新版本:5.1\n更快\n下载地址:\nhttp://h.test/dl")));
    }

    void olderVersionAndOddBodies_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("english");
        QTest::newRow("older") << Page("5.08a1") << false;
        QTest::newRow("prefix") << Page("5.08") << true;
        QTest::newRow("empty body") << QByteArray() << true;
        QTest::newRow("LF only") << QByteArray("Home\nhttp://h.test/1\nDev\n5.08d9\n") << true;
        QTest::newRow("binary") << QByteArray("\x00\xff\x01http\x02\r\n\x80\x81", 12) << false;
    }
    void olderVersionAndOddBodies() {
        QFETCH(QByteArray, body);
        QFETCH(bool, english);
        server_.body = body;
        Create(english);
        Tick();
        WaitForEnd();
        QCOMPARE(form_->windowTitle(),
                 designTitle_ + (english ? QStringLiteral("(Beyond version)")
                                         : QStringLiteral("(你的版本超前了)")));
        QVERIFY(form_->receive->view->toPlainText().isEmpty());
        if (body.isEmpty()) {
            for (ClickLabel* l : Labels()) {
                QCOMPARE(l->text(), QString());
                QCOMPARE(l->width(), 6);
            }
            QCOMPARE(form_->links->addresses[0], QStringLiteral("http://fallback.test/0"));
        }
        if (body.startsWith("Home\n")) {
            // The first label takes the whole body; its link runs to the end.
            QCOMPARE(form_->links->labels[0]->text(), QString::fromLatin1(body));
            QCOMPARE(form_->links->addresses[0], QStringLiteral("http://h.test/1\nDev\n5.08d9\n"));
            QCOMPARE(form_->links->labels[1]->text(), QString());
            QCOMPARE(form_->links->addresses[1], QStringLiteral("http://fallback.test/1"));
            // A link that is no single web address never reaches the browser.
            QDesktopServices::setUrlHandler(QStringLiteral("http"), &browser_, "open");
            form_->links->onLinkClicked(0);
            QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
            QVERIFY(browser_.opened.isEmpty());
        }
    }

    void httpInsideACaptionLine() {
        server_.body = "Visit http://h.test/x\r\nhttp://h.test/1\r\nDev\r\nhttp://h.test/2\r\n";
        Create();
        Tick();
        WaitForEnd();
        QCOMPARE(form_->links->labels[0]->text(), QStringLiteral("Visit http://h.test/x"));
        QCOMPARE(form_->links->addresses[0], QStringLiteral("http://h.test/x"));
        QCOMPARE(form_->links->labels[1]->text(), QStringLiteral("http://h.test/1"));
        QCOMPARE(form_->links->addresses[1], QStringLiteral("http://h.test/1"));
        QCOMPARE(form_->links->labels[2]->text(), QStringLiteral("Dev"));
    }

    void proxyFromTheEnvironment_data() {
        QTest::addColumn<QByteArray>("noProxy");
        QTest::newRow("used") << QByteArray();
        QTest::newRow("host exempt") << QByteArray("localhost,127.0.0.1");
    }
    void proxyFromTheEnvironment() {
        QFETCH(QByteArray, noProxy);
        const bool used = noProxy.isEmpty();
        LocalHttpServer proxy;
        proxy.body = server_.body = Page("5.08d2");
        qputenv("http_proxy", QStringLiteral("http://127.0.0.1:%1/").arg(proxy.Port()).toUtf8());
        qputenv("no_proxy", noProxy);
        Create(true);
        // Copied either way, used only for a host that is not exempt.
        QCOMPARE(form_->update->proxy.use, used);
        QCOMPARE(form_->update->proxy.host, QStringLiteral("127.0.0.1"));
        QCOMPARE(form_->update->proxy.port, QString::number(proxy.Port()));
        Tick();
        WaitForEnd();
        // A proxy is asked with the absolute address.
        QCOMPARE(proxy.requests,
                 used ? QStringList{QStringLiteral("GET %1 HTTP/1.1").arg(server_.Url())}
                      : QStringList());
        QCOMPARE(server_.requests.size(), used ? 0 : 1);
        QVERIFY(form_->windowTitle().endsWith(QStringLiteral("(Newest version)")));
    }

    void silentServerIsCancelled() {
        server_.mode = LocalHttpServer::Mode::Silent;
        UpdateCheck::GiveUpMs = 300;
        Create();
        // The window keeps serving events while the request waits.
        int ticks = 0;
        QTimer other;
        connect(&other, &QTimer::timeout, [&ticks] { ++ticks; });
        other.start(10);
        Tick();
        WaitForEnd();
        QVERIFY(ticks > 0);
        QCOMPARE(server_.requests.size(), 1);
        QTRY_COMPARE(server_.disconnects, 1);
        ExpectNothingChanged();
    }

    void hostileServers_data() {
        QTest::addColumn<int>("mode");
        QTest::newRow("megabytes announced") << int(LocalHttpServer::Mode::HugeWithLength);
        QTest::newRow("megabytes without CR") << int(LocalHttpServer::Mode::HugeStream);
        QTest::newRow("redirect loop") << int(LocalHttpServer::Mode::RedirectLoop);
    }
    void hostileServers() {
        QFETCH(int, mode);
        server_.mode = LocalHttpServer::Mode(mode);
        Create();
        Tick();
        WaitForEnd();
        ExpectNothingChanged();
        if (server_.mode == LocalHttpServer::Mode::RedirectLoop) {
            // Gives up after a few hops, long before the cancel.
            QVERIFY(server_.requests.size() >= 2);
            QVERIFY(server_.requests.size() <= 10);
        } else {
            // The client stopped taking the body: it was never read whole.
            QTRY_VERIFY(server_.disconnects == 1);
            QVERIFY(server_.peerLeftEarly);
        }
    }

    // A server that sends header lines without end: the check gives up, the connection is
    // closed, and the window's thread keeps serving events all along (the wait of a
    // connection cache held it for seconds). Directly, through a proxy, and for a trickle
    // that only the cancel tick ends.
    void floodingServerNeverStallsTheWindow_data() {
        QTest::addColumn<bool>("viaProxy");
        QTest::addColumn<bool>("trickle");
        QTest::newRow("direct") << false << false;
        QTest::newRow("proxy") << true << false;
        QTest::newRow("trickle") << false << true;
        QTest::newRow("trickle via proxy") << true << true;
    }
    void floodingServerNeverStallsTheWindow() {
        QFETCH(bool, viaProxy);
        QFETCH(bool, trickle);
        FloodServer flood(trickle ? FloodServer::Mode::Trickle : FloodServer::Mode::Fast);
        if (viaProxy) {
            qputenv("http_proxy", QStringLiteral("127.0.0.1:%1").arg(flood.Port()).toUtf8());
        } else {
            UpdateCheck::UrlSource = [&flood] { return flood.Url(); };
        }
        UpdateCheck::GiveUpMs = 500;
        Create();
        QElapsedTimer sinceTick;
        qint64 longestGap = 0;
        QTimer beat;
        connect(&beat, &QTimer::timeout,
                [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
        sinceTick.start();
        beat.start(10);
        Tick();
        WaitForEnd();
        QTRY_VERIFY_WITH_TIMEOUT(flood.PeerClosedAll(), 10000);
        beat.stop();
        QCOMPARE(flood.Connections(), 1);
        QVERIFY(server_.requests.isEmpty());
        ExpectNothingChanged();
        // A generous bound: a stalled thread missed seconds of ticks.
        QVERIFY2(longestGap < 2000, qPrintable(QString::number(longestGap)));
        // Cut off at the head's limit: what was sent is what the sockets' kernel buffers held.
        QVERIFY2(flood.BytesSent() < (32 << 20), qPrintable(QString::number(flood.BytesSent())));
    }

    void closingAbortsARunningRequest() {
        server_.mode = LocalHttpServer::Mode::Silent;
        Create();
        Tick();
        QTRY_COMPARE(server_.requests.size(), 1);
        form_->close();
        QVERIFY(!form_->update->giveUpTimer->isActive());
        QTRY_COMPARE(server_.disconnects, 1);
        // Destroying the window right after a start is safe as well.
        form_.reset();
        Create();
        Tick();
        form_.reset();
    }

    void withoutAddressesNothingIsAskedOrOpened() {
        LocalHttpServer proxy;
        qputenv("http_proxy", QStringLiteral("127.0.0.1:%1").arg(proxy.Port()).toUtf8());
        UpdateCheck::UrlSource = [] { return QString(); };
        UpdateCheck::DefaultLinkSource = [](int) { return QString(); };
        Create();
        form_->onStartTick();
        QVERIFY(!form_->update->giveUpTimer->isActive());
        QTest::qWait(50);
        // Without an address there is nowhere to ask but the proxy, which stays untouched (the
        // shared page server may still see a late request of an earlier, aborted test).
        QVERIFY(proxy.requests.isEmpty());
        QCOMPARE(form_->links->labels[0]->text(), QStringLiteral("zenta 串口调试助手"));
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &browser_, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &browser_, "open");
        for (int k = 0; k < 5; ++k) {
            QCOMPARE(form_->links->addresses[k], QString());
            form_->links->onLinkClicked(k);
        }
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QVERIFY(browser_.opened.isEmpty());
    }
};

QTEST_MAIN(UpdateCheckTest)
#include "tst_update_check.moc"
