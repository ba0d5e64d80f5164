// The setup dialog against an open pseudo-terminal port: OK applies in one
// configuration, Cancel changes nothing, errors reach the caller.

#include <QPushButton>
#include <QtTest>
#include <memory>
#include <vector>

#include "serial/CPort.h"
#include "serial/ctl/CPortCtl.h"
#include "serial/ctl/CPortSetup.h"
#include "serial/ctl/QtDispatcher.h"
#include "support/Pty.h"

using namespace zenta::test;

namespace {

// The system device with a record of every configuration it was given.
class RecordingDevice : public ISerialDevice {
  public:
    explicit RecordingDevice(std::vector<TDCB>& log)
        : real_(CreateSystemSerialDevice()), log_(log) {}
    int Open(const std::string& path) override { return real_->Open(path); }
    int Close() override { return real_->Close(); }
    bool IsOpen() const override { return real_->IsOpen(); }
    int PollFd() const override { return real_->PollFd(); }
    int Configure(const TDCB& dcb) override {
        log_.push_back(dcb);
        return real_->Configure(dcb);
    }
    long Read(void* b, std::size_t n) override { return real_->Read(b, n); }
    long Write(const void* b, std::size_t n) override { return real_->Write(b, n); }
    int SetDTR(bool on) override { return real_->SetDTR(on); }
    int SetRTS(bool on) override { return real_->SetRTS(on); }
    int GetModemStatus(uint32_t& s) override { return real_->GetModemStatus(s); }
    int SetBreak(bool on) override { return real_->SetBreak(on); }
    int SetXonXoff(bool on) override { return real_->SetXonXoff(on); }
    int Flush(bool in, bool out) override { return real_->Flush(in, out); }
    int OutputQueue(int& c) override { return real_->OutputQueue(c); }
    int Counters(TLineCounters& c) override { return real_->Counters(c); }
    int TransmitChar(char ch) override { return real_->TransmitChar(ch); }

  private:
    std::unique_ptr<ISerialDevice> real_;
    std::vector<TDCB>& log_;
};

// Acts on the dialog once it runs modally.
void WhenDialogShows(std::function<void(TComSetupFrm&)> act) {
    QTimer::singleShot(0, [act] {
        auto* form = qobject_cast<TComSetupFrm*>(QApplication::activeModalWidget());
        QVERIFY(form != nullptr);
        act(*form);
    });
}

}  // namespace

class ComSetupTest : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void okAppliesAllInOneConfiguration();
    void cancelChangesNothing();
    void failedApplyReachesCallerAndEndsBatch();
    void refusedValuesAreRolledBack();

  private:
    std::unique_ptr<TPty> pty_;
    std::unique_ptr<TQtDispatcher> dispatcher_;
    std::unique_ptr<TComPort> port_;
    std::vector<TDCB> configured_;
};

void ComSetupTest::init() {
    pty_ = std::make_unique<TPty>();
    QVERIFY(pty_->Ok());
    dispatcher_ = std::make_unique<TQtDispatcher>();
    configured_.clear();
    port_ = std::make_unique<TComPort>();
    port_->SetDispatcher(dispatcher_.get());
    port_->SetDeviceFactory([this] { return std::make_unique<RecordingDevice>(configured_); });
    port_->SetPort(pty_->SlavePath());
    port_->SetBaudRate(br115200);
    port_->Open();
    QVERIFY(port_->Connected());
    QCOMPARE(pty_->SlaveSpeed(), 115200L);
    configured_.clear();
}

void ComSetupTest::cleanup() {
    SetSetupDialogRunner(nullptr);
    port_.reset();
    dispatcher_.reset();
    pty_.reset();
}

void ComSetupTest::okAppliesAllInOneConfiguration() {
    InstallSetupDialog();
    bool shownWithPortValues = false;
    WhenDialogShows([&](TComSetupFrm& form) {
        shownWithPortValues = form.Combo2->Text() == "115200" && form.Combo5->Text() == "None" &&
                              form.Combo6->Text() == "None" && form.Combo3->Text() == "8";
        form.Combo2->SelectByUser(12);  // 57600
        form.Combo5->SelectByUser(2);   // Even
        form.Combo4->SelectByUser(2);   // two stop bits
        QVERIFY(configured_.empty());   // nothing reaches the port before OK
        form.Button1->click();
    });
    port_->ShowSetupDialog();

    QVERIFY(shownWithPortValues);
    QCOMPARE(port_->BaudRate(), br57600);
    QCOMPARE(port_->Parity().Bits(), prEven);
    QCOMPARE(port_->StopBits(), sbTwoStopBits);
    // The pty is not among the listed ports: the port keeps its name and stays open.
    QCOMPARE(port_->Port(), pty_->SlavePath());
    QVERIFY(port_->Connected());
    QCOMPARE(configured_.size(), size_t(1));
    QCOMPARE(configured_[0].BaudRate, 57600u);
    QCOMPARE(configured_[0].Parity, uint8_t(prEven));
    QCOMPARE(configured_[0].StopBits, uint8_t(sbTwoStopBits));
    QCOMPARE(pty_->SlaveSpeed(), 57600L);
}

void ComSetupTest::cancelChangesNothing() {
    WhenDialogShows([&](TComSetupFrm& form) {
        form.Combo2->SelectByUser(0);
        form.Combo3->SelectByUser(0);
        form.Combo6->SelectByUser(0);
        form.Button2->click();
    });
    EditComPort(*port_);
    QCOMPARE(port_->BaudRate(), br115200);
    QCOMPARE(port_->DataBits(), dbEight);
    QCOMPARE(port_->FlowControl().FlowControl(), fcNone);
    QVERIFY(configured_.empty());
    QVERIFY(port_->Connected());
}

void ComSetupTest::failedApplyReachesCallerAndEndsBatch() {
    // A port name that cannot be opened: the reopen fails inside the batch.
    SetSetupDialogRunner([&](TComSetupFrm& form) {
        form.Combo1->SetItems({QString::fromStdString(pty_->SlavePath()), "/dev/zenta-none"});
        form.Combo1->SelectByUser(1);
        form.Combo2->SelectByUser(7);
        return int(QDialog::Accepted);
    });
    int code = 0;
    try {
        EditComPort(*port_);
    } catch (const EComPort& e) {
        code = e.ErrorCode();
    }
    QCOMPARE(code, 1);
    QVERIFY(!port_->Connected());
    QCOMPARE(QApplication::topLevelWidgets().count(), 0);  // the form is gone

    // The batch was closed: the next open configures the device at once.
    QCOMPARE(port_->BaudRate(), br115200);  // applying stopped at the port name
    port_->SetPort(pty_->SlavePath());
    port_->SetBaudRate(br9600);
    configured_.clear();
    port_->Open();
    QCOMPARE(configured_.size(), size_t(1));
    QCOMPARE(pty_->SlaveSpeed(), 9600L);
}

// The device refuses 1.5 stop bits: the port must keep what the device has, so the
// status shows the truth and a later bit-rate change is not refused for the old value.
void ComSetupTest::refusedValuesAreRolledBack() {
    SetSetupDialogRunner([&](TComSetupFrm& form) {
        form.Combo2->SelectByUser(12);  // 57600
        form.Combo4->SelectByUser(1);   // 1.5 stop bits
        return int(QDialog::Accepted);
    });
    bool refused = false;
    try {
        EditComPort(*port_);
    } catch (const EComPort&) {
        refused = true;
    }
    QVERIFY(refused);
    QVERIFY(port_->Connected());
    QCOMPARE(port_->StopBits(), sbOneStopBit);
    QCOMPARE(port_->BaudRate(), br115200);
    QCOMPARE(pty_->SlaveSpeed(), 115200L);

    port_->SetBaudRate(br9600);
    QCOMPARE(port_->BaudRate(), br9600);
    QCOMPARE(pty_->SlaveSpeed(), 9600L);
}

QTEST_MAIN(ComSetupTest)
#include "tst_ComSetup.moc"
