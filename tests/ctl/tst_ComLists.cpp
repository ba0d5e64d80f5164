// Parameter lists bound to a port: item orders, selection by text, user choices
// with and without AutoApply, weak binding.

#include <QtTest>
#include <memory>
#include <vector>

#include "serial/CPort.h"
#include "serial/EComPort.h"
#include "serial/ctl/CPortCtl.h"
#include "serial/ctl/ComSelect.h"
#include "support/Pty.h"

using namespace zenta::test;

namespace {

QStringList ItemsOf(const TComComboBox& box) {
    QStringList out;
    for (int i = 0; i < box.count(); ++i)
        out << box.itemText(i);
    return out;
}

QStringList ItemsOf(const TComRadioGroup& group) {
    QStringList out;
    for (int i = 0; i < group.Count(); ++i)
        out << group.ItemText(i);
    return out;
}

}  // namespace

class ComListsTest : public QObject {
    Q_OBJECT
  private slots:
    void itemOrders_data();
    void itemOrders();
    void portListComesFromEnumeration();
    void textReadAndWrite();
    void boundToPortShowsItsValue();
    void userChoiceWithoutAutoApply();
    void userChoiceWithAutoApply();
    void portEntryMissingAppliesNothing();
    void bindingDroppedWhenPortDestroyed();
    void radioGroupReportsOnlyNewChoices();
    void refusedChoiceGoesToTheHandler();
};

void ComListsTest::itemOrders_data() {
    QTest::addColumn<int>("property");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("none") << int(cpNone) << QStringList{};
    QTest::newRow("baud") << int(cpBaudRate)
                          << QStringList{"Custom", "110",    "300",    "600",     "1200",
                                         "2400",   "4800",   "9600",   "14400",   "19200",
                                         "38400",  "56000",  "57600",  "115200",  "128000",
                                         "230400", "256000", "460800", "500000",  "512000",
                                         "600000", "750000", "921600", "1000000", "1500000",
                                         "2000000"};
    QTest::newRow("data") << int(cpDataBits) << QStringList{"5", "6", "7", "8"};
    QTest::newRow("stop") << int(cpStopBits) << QStringList{"1", "1.5", "2"};
    QTest::newRow("parity") << int(cpParity) << QStringList{"None", "Odd", "Even", "Mark", "Space"};
    QTest::newRow("flow") << int(cpFlowControl)
                          << QStringList{"Hardware", "Software", "None", "Custom"};
}

void ComListsTest::itemOrders() {
    QFETCH(int, property);
    QFETCH(QStringList, items);
    TComComboBox box;
    TComRadioGroup group;
    box.SetComProperty(static_cast<TComProperty>(property));
    group.SetComProperty(static_cast<TComProperty>(property));
    QCOMPARE(ItemsOf(box), items);
    QCOMPARE(ItemsOf(group), items);
    // Unbound, a filled list starts at its first entry.
    QCOMPARE(box.currentIndex(), items.isEmpty() ? -1 : 0);
    QCOMPARE(group.ItemIndex(), items.isEmpty() ? -1 : 0);

    // Switching the property refills rather than appends.
    box.SetComProperty(cpStopBits);
    QCOMPARE(box.count(), 3);
}

void ComListsTest::portListComesFromEnumeration() {
    std::vector<std::string> ports;
    EnumComPorts(ports);
    QStringList expected;
    for (const auto& p : ports)
        expected << QString::fromStdString(p);
    TComComboBox box;
    box.SetComProperty(cpPort);
    QCOMPARE(ItemsOf(box), expected);

    // The window puts its own refreshed entries in.
    box.SetItems({"/dev/ttyUSB0 USB-Serial", "/dev/ttyUSB1"}, 1);
    QCOMPARE(box.count(), 2);
    QCOMPARE(box.Text(), QString("/dev/ttyUSB1"));
}

void ComListsTest::textReadAndWrite() {
    TComComboBox box;
    box.SetComProperty(cpParity);
    int changes = 0;
    box.OnChange = [&](QObject*) { ++changes; };

    box.SetText("even");
    QCOMPARE(box.currentIndex(), 2);
    QCOMPARE(box.Text(), QString("Even"));
    box.SetText("Evenly");
    QCOMPARE(box.currentIndex(), 2);
    box.SetText("");
    QCOMPARE(box.currentIndex(), 2);

    box.setCurrentIndex(-1);
    QCOMPARE(box.Text(), QString());
    // Selection from code is not a user's change.
    QCOMPARE(changes, 0);
}

void ComListsTest::boundToPortShowsItsValue() {
    TComPort port;
    port.SetBaudRate(br115200);
    port.FlowControl().SetFlowControl(fcNone);
    port.Parity().SetBits(prMark);

    TComComboBox baud;
    baud.SetComProperty(cpBaudRate);
    baud.SetComPort(&port);
    QCOMPARE(baud.currentIndex(), 13);
    QCOMPARE(baud.Text(), QString("115200"));

    // Property set after binding also finds the port's value.
    TComComboBox flow, parity;
    flow.SetComPort(&port);
    flow.SetComProperty(cpFlowControl);
    QCOMPARE(flow.Text(), QString("None"));
    parity.SetComPort(&port);
    parity.SetComProperty(cpParity);
    QCOMPARE(parity.currentIndex(), int(prMark));

    // Follows a later change of the port on request.
    port.SetBaudRate(br2000000);
    baud.UpdateSettings();
    QCOMPARE(baud.currentIndex(), 25);

    // The port name is searched ignoring case.
    TComComboBox name;
    name.SetComProperty(cpPort);
    name.SetItems({"/dev/ttyS0", "COM7 USB", "com7"});
    port.SetPort("COM7");
    name.SetComPort(&port);
    QCOMPARE(name.currentIndex(), 2);
}

void ComListsTest::userChoiceWithoutAutoApply() {
    TComPort port;
    port.SetBaudRate(br115200);
    TComComboBox box;
    box.SetComProperty(cpBaudRate);
    box.SetComPort(&port);

    std::vector<TBaudRate> seenPending;
    QObject* sender = nullptr;
    box.OnChange = [&](QObject* s) {
        sender = s;
        seenPending.push_back(box.Select().PendingBaudRate());
    };
    QSignalSpy spy(&box, &TComComboBox::userChanged);

    box.SelectByUser(0);
    QCOMPARE(box.currentIndex(), 0);
    QCOMPARE(box.Text(), QString("Custom"));
    // The owner sees the new pending value, the port is not touched yet.
    QCOMPARE(seenPending, std::vector<TBaudRate>{brCustom});
    QCOMPARE(sender, &box);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(port.BaudRate(), br115200);

    box.ApplySettings();
    QCOMPARE(port.BaudRate(), brCustom);

    // A key press in the widget is a user's choice too.
    QTest::keyClick(&box, Qt::Key_Down);
    QCOMPARE(box.Text(), QString("110"));
    QCOMPARE(box.Select().PendingBaudRate(), br110);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(port.BaudRate(), brCustom);
}

void ComListsTest::userChoiceWithAutoApply() {
    TComPort port;
    TComComboBox data, stop, parity, flow;
    data.SetComProperty(cpDataBits);
    stop.SetComProperty(cpStopBits);
    parity.SetComProperty(cpParity);
    flow.SetComProperty(cpFlowControl);
    for (TComComboBox* b : {&data, &stop, &parity, &flow}) {
        b->SetComPort(&port);
        b->SetAutoApply(true);
    }

    TParityBits atNotification = prNone;
    parity.OnChange = [&](QObject*) { atNotification = port.Parity().Bits(); };

    data.SelectByUser(2);
    stop.SelectByUser(2);
    parity.SelectByUser(1);
    flow.SelectByUser(0);
    QCOMPARE(port.DataBits(), dbSeven);
    QCOMPARE(port.StopBits(), sbTwoStopBits);
    QCOMPARE(port.Parity().Bits(), prOdd);
    QCOMPARE(atNotification, prOdd);  // applied before the owner is told
    QCOMPARE(port.FlowControl().FlowControl(), fcHardware);
    QVERIFY(port.FlowControl().OutCTSFlow());
}

void ComListsTest::portEntryMissingAppliesNothing() {
    TComPort port;
    port.SetPort("/dev/ttyACM3");
    TComComboBox box;
    box.SetComProperty(cpPort);
    box.SetItems({"/dev/ttyUSB0", "/dev/ttyUSB1"}, 0);
    box.SetComPort(&port);
    QCOMPARE(box.currentIndex(), -1);
    box.ApplySettings();
    QCOMPARE(port.Port(), std::string("/dev/ttyACM3"));

    box.SelectByUser(1);
    box.ApplySettings();
    QCOMPARE(port.Port(), std::string("/dev/ttyUSB1"));
}

void ComListsTest::bindingDroppedWhenPortDestroyed() {
    TComComboBox box;
    TComRadioGroup group;
    box.SetComProperty(cpBaudRate);
    group.SetComProperty(cpParity);
    {
        auto port = std::make_unique<TComPort>();
        port->SetBaudRate(br57600);
        port->Parity().SetBits(prSpace);
        box.SetComPort(port.get());
        group.SetComPort(port.get());
        QCOMPARE(box.currentIndex(), 12);
        QCOMPARE(group.ItemIndex(), 4);
    }
    QCOMPARE(box.ComPort(), nullptr);
    QCOMPARE(group.ComPort(), nullptr);
    QCOMPARE(box.currentIndex(), 0);
    QCOMPARE(group.ItemIndex(), 0);
    box.SetAutoApply(true);
    box.SelectByUser(3);  // nothing left to apply to

    // A binding that goes first (destroyed or moved to no port) leaves nothing behind in
    // the port: its drop notice must never run when the port dies later.
    struct NoItems : TComItems {
        void Clear() override {}
        void Add(const std::string&) override {}
        int Count() const override { return 0; }
        std::string Get(int) const override { return {}; }
        int IndexOf(const std::string&) const override { return -1; }
    } items;
    int dropped = 0;
    int keptDropped = 0;
    {
        auto port = std::make_unique<TComPort>();
        {
            TComSelect shortLived(items);
            shortLived.SetComPort(port.get(), [&] { ++dropped; });
        }
        TComSelect unbound(items);
        unbound.SetComPort(port.get(), [&] { ++dropped; });
        unbound.SetComPort(nullptr);
        TComSelect rebound(items);
        rebound.SetComPort(port.get(), [&] { ++dropped; });
        TComPort other;
        rebound.SetComPort(&other);
        TComSelect kept(items);
        kept.SetComPort(port.get(), [&] { ++keptDropped; });
        box.SetComPort(port.get());
        box.SetComPort(nullptr);
        box.SetComPort(port.get());
        port.reset();
        QCOMPARE(kept.ComPort(), nullptr);
        QCOMPARE(rebound.ComPort(), &other);
        rebound.SetComPort(nullptr);
    }
    QCOMPARE(dropped, 0);
    QCOMPARE(keptDropped, 1);
    QCOMPARE(box.ComPort(), nullptr);
}

void ComListsTest::radioGroupReportsOnlyNewChoices() {
    TComPort port;
    TComRadioGroup group;
    group.SetComProperty(cpParity);
    group.SetComPort(&port);
    group.SetAutoApply(true);
    int clicks = 0;
    group.OnClick = [&](QObject* s) {
        QCOMPARE(s, &group);
        ++clicks;
    };

    group.ClickByUser(1);
    QCOMPARE(port.Parity().Bits(), prOdd);
    port.Parity().SetBits(prEven);
    group.ClickByUser(1);  // same as the last one reported: not passed on
    QCOMPARE(port.Parity().Bits(), prEven);
    QCOMPARE(clicks, 2);
    group.ClickByUser(3);
    QCOMPARE(port.Parity().Bits(), prMark);
    QCOMPARE(group.ItemIndex(), 3);

    group.SetItemIndex(-1);
    QCOMPARE(group.ItemIndex(), -1);
}

// An open port refuses 1.5 stop bits. A user who picks them with AutoApply on must not end
// the program: the refusal goes to the port's exception handler, the owner hears of no
// change, and the control goes on working.
void ComListsTest::refusedChoiceGoesToTheHandler() {
    TPty pty;
    QVERIFY(pty.Ok());
    TComPort port;
    port.SetPort(pty.SlavePath());
    port.Open();
    QVERIFY(port.Connected());

    std::vector<int> refusals;
    TCustomComPort::ExceptionHandler = [&](TCustomComPort* from, std::exception_ptr error) {
        QCOMPARE(from, &port);
        try {
            std::rethrow_exception(error);
        } catch (const EComPort& e) {
            refusals.push_back(e.ErrorCode());
        } catch (...) {
            // Any other kind is a fault of its own.
            refusals.push_back(-1);
        }
    };
    TComComboBox box;
    box.SetComProperty(cpStopBits);
    box.SetComPort(&port);
    box.SetAutoApply(true);
    TComRadioGroup group;
    group.SetComProperty(cpStopBits);
    group.SetComPort(&port);
    group.SetAutoApply(true);
    int notices = 0;
    box.OnChange = [&](QObject*) { ++notices; };
    group.OnClick = [&](QObject*) { ++notices; };

    box.setFocus();
    QTest::keyClick(&box, Qt::Key_Down);  // "1" -> "1.5" by a key press
    // The port keeps the value it was given; take it back before the second try.
    port.SetStopBits(sbOneStopBit);
    group.UpdateSettings();
    group.ClickByUser(1);
    TCustomComPort::ExceptionHandler = nullptr;
    QCOMPARE(refusals.size(), std::size_t(2));
    QVERIFY(refusals[0] != -1 && refusals[1] != -1);
    QCOMPARE(notices, 0);
    // Both show what the port holds, and a value it takes still goes through.
    QCOMPARE(box.Text(), QString::fromStdString(StopBitsToStr(port.StopBits())));
    QCOMPARE(group.ItemText(group.ItemIndex()),
             QString::fromStdString(StopBitsToStr(port.StopBits())));
    if (!port.Connected()) {
        port.Open();
    }
    box.SelectByUser(2);
    QCOMPARE(port.StopBits(), sbTwoStopBits);
    QCOMPARE(notices, 1);
    group.ClickByUser(0);
    QCOMPARE(port.StopBits(), sbOneStopBit);
    QCOMPARE(notices, 2);
}

QTEST_MAIN(ComListsTest)
#include "tst_ComLists.moc"
