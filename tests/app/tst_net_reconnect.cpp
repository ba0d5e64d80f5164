// A network port in the window: a server that dies is reconnected with its settings once it
// listens again, without a click; a connection that cannot be made says why.
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "app/ConnectionPanel.h"
#include "app/MainWindow.h"
#include "app/PanelWidgets.h"
#include "app/StatusPanels.h"
#include "app/support/E2eDriver.h"
#include "support/Ser2net.h"
#include "support/qt/WindowFixture.h"

using namespace zenta::test;
using e2e::WaitFor;

class NetReconnectTest : public QObject {
    Q_OBJECT

  private:
    RecordingPrompts prompts_;
    std::unique_ptr<MainWindow> form_;
    TWindowFixture fixture_;

    bool Receiving() {
        const int64_t before = form_->received.rxCount;
        return WaitFor([&] { return form_->port.Connected() && form_->received.rxCount > before; },
                       15000);
    }

  private slots:
    void init() {
        fixture_.Start(prompts_);
        prompts_ = RecordingPrompts();
        form_ = std::make_unique<MainWindow>();
        form_->startTimer->stop();
    }
    void cleanup() {
        form_.reset();
        fixture_.Stop();
    }

    void deadServerIsReconnectedWithoutAClick() {
        e2e::Devsim sim;
        QVERIFY(sim.Start({"telemetry", "--interval", "20", "--quiet"}));
        auto server = std::make_unique<net_test::TSer2net>(sim.link.toStdString(), true);
        QVERIFY2(server->Ready(), server->Log().c_str());
        const uint16_t tcpPort = server->Port();
        QVERIFY(e2e::OpenThroughWindow(*form_, QString::fromStdString(server->Url())));
        QVERIFY(Receiving());

        server->Kill();
        QVERIFY(WaitFor([this] { return form_->connection->WaitingForDevice(); }, 10000));
        QVERIFY(!form_->port.Connected());
        QCOMPARE(form_->connection->openButton->text(), QStringLiteral("关闭串口"));
        form_->onRefreshTick();
        QVERIFY2(form_->statusBar->PanelText(3).contains(QStringLiteral("正在重连")),
                 qPrintable(form_->statusBar->PanelText(3)));

        server = std::make_unique<net_test::TSer2net>(sim.link.toStdString(), true, tcpPort);
        QVERIFY2(server->Ready(), server->Log().c_str());
        QVERIFY(Receiving());
        QVERIFY(!form_->connection->WaitingForDevice());
        QCOMPARE(form_->port.Port(), server->Url());
        QVERIFY(prompts_.messages.isEmpty());
    }

    void refusedConnectionSaysWhy() {
        const QString url =
            QStringLiteral("rfc2217://127.0.0.1:%1").arg(net_test::FreeLoopbackPort());
        QVERIFY(!e2e::OpenThroughWindow(*form_, url));
        QCOMPARE(prompts_.messages.size(), 1);
        QVERIFY2(prompts_.messages.front().contains(QStringLiteral("cannot connect to 127.0.0.1")),
                 qPrintable(prompts_.messages.front()));
    }
};

QTEST_MAIN(NetReconnectTest)
#include "tst_net_reconnect.moc"
