// The LED on a real pseudo-terminal port: connection, received data through the
// Qt dispatcher, ring timing, hand-set state, weak binding, painting and glyphs.

#include <QtTest>
#include <memory>
#include <set>
#include <vector>

#include "serial/CPort.h"
#include "serial/ctl/CPortCtl.h"
#include "serial/ctl/QtDispatcher.h"
#include "support/Pty.h"

using namespace zenta::test;

class ComLedTest : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void followsConnection();
    void showsReceivedDataThroughDispatcher();
    void eachSignalFeedsOnlyItsSlot();
    void secondRingDoesNotExtend();
    void stateByHandRefusedWhileBound();
    void bindingDroppedWhenPortDestroyed();
    void paintsCentredGlyphOfState();
    void glyphsAndKinds();

  private:
    std::unique_ptr<TPty> pty_;
    std::unique_ptr<TQtDispatcher> dispatcher_;
    std::unique_ptr<TComPort> port_;
};

void ComLedTest::init() {
    pty_ = std::make_unique<TPty>();
    QVERIFY(pty_->Ok());
    dispatcher_ = std::make_unique<TQtDispatcher>();
    port_ = std::make_unique<TComPort>();
    port_->SetDispatcher(dispatcher_.get());
    port_->SetPort(pty_->SlavePath());
}

void ComLedTest::cleanup() {
    port_.reset();
    dispatcher_.reset();
    pty_.reset();
}

void ComLedTest::followsConnection() {
    TComLed led;
    QCOMPARE(led.size(), QSize(25, 25));
    std::vector<TLedState> reported;
    led.OnChange = [&](QObject* sender, TLedState s) {
        QCOMPARE(sender, &led);
        reported.push_back(s);
    };

    // Binding to a closed port keeps what the LED showed.
    led.SetState(lsOn);
    led.SetComPort(port_.get());
    QCOMPARE(led.State(), lsOn);
    led.SetComPort(nullptr);
    QCOMPARE(led.State(), lsOff);
    led.SetComPort(port_.get());
    reported.clear();

    port_->Open();
    QCOMPARE(led.State(), lsOn);
    port_->Close();
    QCOMPARE(led.State(), lsOff);
    QCOMPARE(reported, (std::vector<TLedState>{lsOn, lsOff}));

    // Binding to a port that is already open lights at once.
    port_->Open();
    TComLed late;
    late.SetComPort(port_.get());
    QCOMPARE(late.State(), lsOn);
    // So does a line LED: a pty has no modem lines, so CTS reads off.
    TComLed cts;
    cts.SetLedSignal(lsCTS);
    cts.SetState(lsOn);
    cts.SetComPort(port_.get());
    QCOMPARE(cts.State(), lsOff);
}

void ComLedTest::showsReceivedDataThroughDispatcher() {
    TComLed led;
    led.SetLedSignal(lsRx);
    led.SetComPort(port_.get());
    bool lit = false;
    led.OnChange = [&](QObject*, TLedState s) { lit = lit || s == lsOn; };
    int rxChars = 0;
    port_->OnRxChar = [&](TCustomComPort* p, int count) {
        std::string data;
        p->ReadStr(data, count);
        rxChars += static_cast<int>(data.size());
    };
    port_->Open();
    QVERIFY(!lit);
    QVERIFY(pty_->Send("hello"));
    // Only the Qt event loop carries the delivery to this thread.
    QTRY_VERIFY(lit);
    QTRY_COMPARE(rxChars, 5);
}

void ComLedTest::eachSignalFeedsOnlyItsSlot() {
    using Fire = std::function<void(TComLink&, TCustomComPort*)>;
    const std::vector<std::pair<TComLedSignal, Fire>> wiring = {
        {lsConn, [](TComLink& l, TCustomComPort* p) { l.OnConn(p, true); }},
        {lsCTS, [](TComLink& l, TCustomComPort* p) { l.OnCTSChange(p, true); }},
        {lsDSR, [](TComLink& l, TCustomComPort* p) { l.OnDSRChange(p, true); }},
        {lsRLSD, [](TComLink& l, TCustomComPort* p) { l.OnRLSDChange(p, true); }},
        {lsRing, [](TComLink& l, TCustomComPort* p) { l.OnRing(p); }},
        {lsRx, [](TComLink& l, TCustomComPort* p) { l.OnRx(p, true); }},
        {lsTx, [](TComLink& l, TCustomComPort* p) { l.OnTx(p, true); }},
    };
    for (const auto& [signal, fire] : wiring) {
        TComLed led;
        led.SetLedSignal(lsTx);
        led.SetLedSignal(signal);
        TComLink& link = led.Link();
        const int used = (link.OnConn ? 1 : 0) + (link.OnCTSChange ? 1 : 0) +
                         (link.OnDSRChange ? 1 : 0) + (link.OnRLSDChange ? 1 : 0) +
                         (link.OnRing ? 1 : 0) + (link.OnRx ? 1 : 0) + (link.OnTx ? 1 : 0);
        QCOMPARE(used, 1);
        QVERIFY(!link.OnRxBuf);  // would take received data away from the owner
        fire(link, port_.get());
        QCOMPARE(led.State(), lsOn);
    }
}

void ComLedTest::secondRingDoesNotExtend() {
    TComLed led;
    led.SetLedSignal(lsRing);
    led.SetRingDuration(150);
    led.SetComPort(port_.get());
    port_->Open();

    // Ring again and again, faster than the duration: if a ring restarted the
    // time, the LED would stay lit for as long as the ringing goes on.
    bool offWhileRinging = false;
    bool ringing = true;
    connect(&led, &TComLed::stateChanged, this, [&](TLedState s) {
        if (s == lsOff && ringing)
            offWhileRinging = true;
    });
    QTimer ringer;
    ringer.setInterval(20);
    connect(&ringer, &QTimer::timeout, this, [&] { port_->CallRing(); });
    port_->CallRing();
    QCOMPARE(led.State(), lsOn);
    ringer.start();
    QTRY_VERIFY_WITH_TIMEOUT(offWhileRinging, 10000);
    ringer.stop();
    ringing = false;
    // Without rings it goes off and stays off.
    QTRY_COMPARE(led.State(), lsOff);
}

void ComLedTest::stateByHandRefusedWhileBound() {
    TComLed led;
    led.SetComPort(port_.get());
    int code = 0;
    try {
        led.SetState(lsOn);
    } catch (const EComPort& e) {
        code = e.ErrorCode();
    }
    QCOMPARE(code, 19);
    QCOMPARE(led.State(), lsOff);

    led.SetComPort(nullptr);
    led.SetState(lsOn);
    QCOMPARE(led.State(), lsOn);
}

void ComLedTest::bindingDroppedWhenPortDestroyed() {
    TComLed led;
    led.SetComPort(port_.get());
    port_->Open();
    QCOMPARE(led.State(), lsOn);
    port_.reset();
    QCOMPARE(led.ComPort(), nullptr);
    QCOMPARE(led.State(), lsOff);

    // An LED that goes first unregisters its link: the port lives on unharmed.
    port_ = std::make_unique<TComPort>();
    port_->SetDispatcher(dispatcher_.get());
    port_->SetPort(pty_->SlavePath());
    {
        TComLed shortLived;
        shortLived.SetComPort(port_.get());
    }
    port_->Open();
    port_->Close();
    led.SetComPort(port_.get());
    led.SetComPort(port_.get());  // same port again: no second registration
    port_->Open();
    QCOMPARE(led.State(), lsOn);
}

void ComLedTest::paintsCentredGlyphOfState() {
    TComLed led;
    led.resize(31, 20);
    const QImage on = LedGlyph(lkRedLight, lsOn).toImage();
    const QImage off = LedGlyph(lkRedLight, lsOff).toImage();
    const QPoint origin((31 - 15) / 2, (20 - 15) / 2);
    const QPoint centre = origin + QPoint(7, 7);

    led.SetState(lsOn);
    QImage shot = led.grab().toImage();
    QCOMPARE(shot.pixelColor(centre).rgb(), on.pixelColor(7, 7).rgb());
    QCOMPARE(shot.pixelColor(origin + QPoint(4, 7)).rgb(), on.pixelColor(4, 7).rgb());

    led.setEnabled(false);  // a disabled LED shows the off glyph
    shot = led.grab().toImage();
    QCOMPARE(shot.pixelColor(centre).rgb(), off.pixelColor(7, 7).rgb());

    // Smaller than the glyph: drawn from the top-left corner.
    led.setEnabled(true);
    led.resize(10, 10);
    shot = led.grab().toImage();
    QCOMPARE(shot.pixelColor(7, 7).rgb(), on.pixelColor(7, 7).rgb());
}

void ComLedTest::glyphsAndKinds() {
    const QStringList names = {"LEDREDON",    "LEDREDOFF",    "LEDGREENON",  "LEDGREENOFF",
                               "LEDBLUEON",   "LEDBLUEOFF",   "LEDYELLOWON", "LEDYELLOWOFF",
                               "LEDPURPLEON", "LEDPURPLEOFF", "LEDBULBON",   "LEDBULBOFF"};
    std::set<QByteArray> distinct;
    for (const QString& n : names) {
        const QPixmap g = LedGlyph(n);
        QVERIFY2(!g.isNull(), qPrintable(n));
        QCOMPARE(g.size(), QSize(15, 15));
        const QImage img = g.toImage().convertToFormat(QImage::Format_ARGB32);
        distinct.insert(QByteArray(reinterpret_cast<const char*>(img.constBits()),
                                   static_cast<int>(img.sizeInBytes())));
    }
    QCOMPARE(distinct.size(), size_t(12));
    QVERIFY(LedGlyph("LEDPINKON").isNull());
    QVERIFY(LedGlyph(lkCustom, lsOn).isNull());

    TComLed led;
    QCOMPARE(led.Kind(), lkRedLight);
    QCOMPARE(led.GlyphOn().toImage(), LedGlyph(lkRedLight, lsOn).toImage());
    led.SetKind(lkBulb);
    QCOMPARE(led.GlyphOff().toImage(), LedGlyph(lkBulb, lsOff).toImage());

    // Own glyphs only for the custom kind, which keeps the current ones.
    QPixmap own(15, 15);
    own.fill(Qt::cyan);
    led.SetGlyphOn(own);
    QCOMPARE(led.GlyphOn().toImage(), LedGlyph(lkBulb, lsOn).toImage());
    led.SetKind(lkCustom);
    QCOMPARE(led.GlyphOff().toImage(), LedGlyph(lkBulb, lsOff).toImage());
    QImage keyed(15, 15, QImage::Format_RGB32);
    keyed.fill(Qt::white);
    keyed.setPixelColor(7, 7, Qt::blue);
    led.SetGlyphOn(QPixmap::fromImage(keyed));
    // The bottom-left colour becomes transparent.
    const QImage stored = led.GlyphOn().toImage();
    QCOMPARE(stored.pixelColor(0, 0).alpha(), 0);
    QCOMPARE(stored.pixelColor(7, 7), QColor(Qt::blue));
}

QTEST_MAIN(ComLedTest)
#include "tst_ComLed.moc"
