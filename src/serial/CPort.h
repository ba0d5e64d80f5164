// The serial port component: settings, lifecycle, event thread and data transfer.
//
// Contract. Every call is made on the thread that owns the port (the main thread) unless it
// says otherwise. "Raises n" means EComPort with ErrorCode n; its SystemErrorCode is the
// system's error number when a system call failed, else -1. Nothing here blocks for longer
// than a device call unless it says so.
//
// Handlers: On*/link handlers of received data and line events run on the main thread under
// smThreadSync (the event thread waits) and smWindowSync (the event thread goes on), on the
// event thread under smNone. OnBefore*/OnAfter* and the signal reports of Open and Close run
// on the caller's thread, inside Open/Close. A handler may call any port operation,
// including Close. An exception from a delivered handler goes to ExceptionHandler; under
// smThreadSync and smNone it also stops deliveries until the port is opened again.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "serial/CPortSettings.h"
#include "serial/CPortTypes.h"
#include "serial/Dispatcher.h"
#include "serial/EComPort.h"
#include "serial/SerialDevice.h"

class TCustomComPort;
class TComThread;
class TIniStore;  // defined with the stored settings

// A listener bound to a port; a slot is in use when it is set.
class TComLink {
  public:
    std::function<void(TCustomComPort*, bool)> OnConn;
    std::function<void(TCustomComPort*, const char*, int)> OnRxBuf;
    std::function<void(TCustomComPort*, const char*, int)> OnTxBuf;
    std::function<void(TCustomComPort*)> OnTxEmpty;
    std::function<void(TCustomComPort*)> OnRxFlag;
    std::function<void(TCustomComPort*, bool)> OnCTSChange;
    std::function<void(TCustomComPort*, bool)> OnDSRChange;
    std::function<void(TCustomComPort*, bool)> OnRLSDChange;
    std::function<void(TCustomComPort*)> OnRing;
    std::function<void(TCustomComPort*, bool)> OnTx;
    std::function<void(TCustomComPort*, bool)> OnRx;
};

// One read or write request. Made by InitAsync, released by DoneAsync.
struct TAsync {
    TOperationKind Kind = okWrite;
    char* Data = nullptr;  // engine's copy of the latest write, or nullptr
    int32_t Size = 0;

    // Engine bookkeeping of the request.
    TCustomComPort* Port = nullptr;  // set while a write is queued on a port
    bool Issued = false;
    bool Completed = true;
    int Error = 0;  // system error number of a failed request; -1 when the engine ended it
    int32_t Transferred = 0;
    int64_t DeadlineMs = -1;  // monotonic ms; -1 without limit
};
using PAsync = TAsync*;

void InitAsync(PAsync& async);
void DoneAsync(PAsync& async);

class TCustomComPort {
  public:
    explicit TCustomComPort(TCustomComPort* owner = nullptr);
    virtual ~TCustomComPort();
    TCustomComPort(const TCustomComPort&) = delete;
    TCustomComPort& operator=(const TCustomComPort&) = delete;

    // --- component model ---
    const std::string& Name() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }
    bool IsLoading() const { return loading_; }
    void SetLoading(bool on) { loading_ = on; }
    bool IsDesigning() const { return designing_; }
    void SetDesigning(bool on) { designing_ = on; }
    // End of loading: opens the port if Connected was streamed as true.
    virtual void Loaded();
    // Called at the start of the destructor (weak bindings drop the port there).
    void AddDestroyListener(const void* key, std::function<void()> listener);
    void RemoveDestroyListener(const void* key);

    // Where handler exceptions go that cannot reach a caller (deliveries, Loaded).
    // Unset: written to stderr.
    static std::function<void(TCustomComPort*, std::exception_ptr)> ExceptionHandler;
    // Filled by the controls library.
    static std::function<void(TCustomComPort&)> SetupDialogHook;

    // --- OS layer and main-thread delivery ---
    // Makes the device of the next Open; empty restores the system device.
    void SetDeviceFactory(TSerialDeviceFactory factory);
    // nullptr: TMainThreadDispatcher::Default(), and without that, ServePendingEvents().
    void SetDispatcher(TMainThreadDispatcher* dispatcher) { dispatcher_ = dispatcher; }
    TMainThreadDispatcher* Dispatcher() const { return dispatcher_; }
    // Serves a delivery the event thread is waiting to hand over; for owners without a
    // dispatcher. Returns true if one ran. Main thread only.
    bool ServePendingEvents();

    // --- properties ---
    // Line setting setters compare first, then apply at once to an open port (raising 7,
    // with the new value kept) unless an update block defers them.
    bool Connected() const { return connected_; }
    void SetConnected(bool value);  // Open or Close
    TBaudRate BaudRate() const { return baudRate_; }
    void SetBaudRate(TBaudRate value);
    int32_t CustomBaudRate() const { return customBaudRate_; }
    void SetCustomBaudRate(int32_t value);
    const std::string& Port() const { return port_; }
    void SetPort(const std::string& value);  // an open port is closed and opened again
    TStopBits StopBits() const { return stopBits_; }
    void SetStopBits(TStopBits value);
    TDataBits DataBits() const { return dataBits_; }
    void SetDataBits(TDataBits value);
    bool DiscardNull() const { return discardNull_; }
    void SetDiscardNull(bool value);
    char EventChar() const { return eventChar_; }
    void SetEventChar(char value);
    TComEvents Events() const { return events_; }
    void SetEvents(TComEvents value) { events_ = value; }
    TSyncMethod SyncMethod() const { return syncMethod_; }
    void SetSyncMethod(TSyncMethod value);  // raises 14 while open
    TThreadPriority EventThreadPriority() const { return threadPriority_; }
    void SetEventThreadPriority(TThreadPriority value);  // raises 14 while open
    TStoredProps StoredProps() const { return storedProps_; }
    void SetStoredProps(TStoredProps value) { storedProps_ = value; }
    // True only while the stored flag is true and no link takes received data.
    bool TriggersOnRxChar() const { return triggersOnRxChar_ && !hasLink_; }
    void SetTriggersOnRxChar(bool value);  // raises 22 while a link takes received data
    bool HasLink() const { return hasLink_; }
    bool ThreadCreated() const { return threadCreated_; }

    TComParity& Parity() { return parity_; }
    const TComParity& Parity() const { return parity_; }
    void SetParity(const TComParity& value);
    TComFlowControl& FlowControl() { return flowControl_; }
    const TComFlowControl& FlowControl() const { return flowControl_; }
    void SetFlowControl(const TComFlowControl& value);
    TComTimeouts& Timeouts() { return timeouts_; }
    const TComTimeouts& Timeouts() const { return timeouts_; }
    void SetTimeouts(const TComTimeouts& value);
    TComBuffer& Buffer() { return buffer_; }
    const TComBuffer& Buffer() const { return buffer_; }
    void SetBuffer(const TComBuffer& value);

    // The device control record for the current settings.
    TDCB BuildDCB() const;

    // --- lifecycle ---
    // Opens, configures, starts the event thread; raises 1 (device refused), 7 or 9 (setup
    // refused; the device is closed again). No-op when open or designing.
    void Open();
    // Stops the event thread (serving a delivery it waits to hand over) and closes; raises
    // 5 after closing if aborting the requests failed. No-op when closed.
    void Close();
    void BeginUpdate();
    // The last one applies all settings; raises as the Apply calls do.
    void EndUpdate();
    virtual void SetupComPort();
    void ShowSetupDialog();

    // Each a no-op while closed, inside an update block, loading or designing.
    // Raises 7 when the device refuses the line settings; the line values (bit rate, data
    // bits, parity, stop bits) then go back to those in force. After an apply the device's
    // values are read back: one it took without an error but does not hold is replaced by
    // what it holds, so the port always shows what is in force.
    virtual void ApplyDCB();
    virtual void ApplyTimeouts();  // kept as data: writes read their limit when issued
    virtual void ApplyBuffer();    // raises 9 for a negative queue size

    // The line values (TLineValue bits) the last apply asked for and the device did not
    // take; 0 when it took them all. Cleared by every apply and at open.
    uint32_t RefusedLine() const { return refusedLine_; }

    // --- line control and status ---
    void SetDTR(bool state);      // never raises; a gone device closes the port
    void SetRTS(bool state);      // never raises; a gone device closes the port
    void SetBreak(bool state);    // raises 12
    void SetXonXoff(bool state);  // raises 12
    int InputCount();             // bytes in the receive queue; raises 10 when closed
    int OutputCount();            // bytes not yet sent; raises 10
    TComStateFlags StateFlags();  // raises 10
    TComErrors LastErrors();      // line errors since the last query, then clears them; 10
    TComSignals Signals();        // empty without modem lines; raises 11
    // Purges in one step with respect to the event thread's reads; raises 5.
    void ClearBuffer(bool input, bool output);

    // --- data transfer ---
    // Returns at once with up to count queued bytes; raises 3 when closed or after the
    // device was lost and the queue is empty.
    int Read(void* buffer, int count);
    // Blocks until all bytes are written or the write time limit passed (returns the count
    // written); a refused write closes the port and raises 2.
    int Write(const void* buffer, int count);
    int ReadStr(std::string& text, int count);  // as Read; text gets the bytes read
    int WriteStr(const std::string& text);      // as Write; 0 for an empty text
    // The request forms: raise 4 without a record; the read never waits.
    int ReadAsync(void* buffer, int count, PAsync& async);
    int WriteAsync(const void* buffer, int count, PAsync& async);  // never blocks
    int ReadStrAsync(std::string& text, int count, PAsync& async);
    int WriteStrAsync(const std::string& text, PAsync& async);
    // Blocks until the request completed; raises 2 (write) or 3 (read) when it failed.
    int WaitForAsync(PAsync& async);
    bool IsAsyncCompleted(PAsync async);  // never blocks; raises 6 for a failed request
    void AbortAllAsync();                 // ends queued writes; raises 5 when closed
    // Waits up to a second for room; raises 13.
    void TransmitChar(char ch);

    // --- links and events ---
    void RegisterLink(TComLink* link);    // raises 18 when registered already
    void UnRegisterLink(TComLink* link);  // raises 18 when not registered
    // Blocks until one of events happens (events then holds those seen), stop is set, or
    // timeoutMs passed (< 0: no limit; events then empty). Raises 20 while the event thread
    // runs, 21 when closed or once the device is lost.
    void WaitForEvent(TComEvents& events, const zenta::TWakeEvent* stop, int timeoutMs);
    // For an owner that waits for short replies (a programming run): while on, the owner
    // thread reads the device itself in ServeInput, Read and InputCount, and the event
    // thread leaves input alone (it still reports lines and drained output). A reply then
    // costs one wake-up instead of two. Kept across close and open; off by default.
    void SetOwnerReads(bool on);
    bool OwnerReads() const;
    // Owner reads only: waits up to timeoutMs for input or the device's loss, then runs
    // the receive events (error, received, flag character, 80 % full) on the calling
    // thread; a handler's failure goes to ExceptionHandler. False when nothing came.
    // Raises 21 when closed or not in owner reads.
    bool ServeInput(int timeoutMs);
    // Received bytes are delivered at most once every ms: bytes that come sooner after the
    // last delivery wait in the device's driver and go with the next one, and so do the
    // flag character and the 80 % mark found in them. The event thread reads them when the
    // hold ends, or sooner if the driver could otherwise fill up at the port's bit rate. A
    // lone arrival after a quiet spell goes at once; line, modem and error events, and a
    // queue of maxBytes or more when it is read, are delivered at once and take the
    // waiting bytes along.
    // Each delivery wakes the main thread, so an owner that shows data at a frame rate
    // saves most of its wake-ups, and the event thread sleeps through the hold. 0 ms (the
    // default) delivers every arrival. Kept across close and open; a change takes effect
    // at the next arrival.
    void SetRxHold(int ms, int maxBytes = kRxHoldBytes);
    static constexpr int kRxHoldBytes = 64 * 1024;

    // One event each; a delivery calls them (raising 10 or 11 as the queries do).
    void CallRxChar();
    void CallTxEmpty();
    void CallRxFlag();
    void CallRing();
    void CallBreak();
    void CallRx80Full();
    void CallError();
    void CallCTSChange();
    void CallDSRChange();
    void CallRLSDChange();

    // --- stored settings (implemented with the settings store) ---
    void StoreSettings(TStoreType storeType, const std::string& storeTo);  // raises 16
    void LoadSettings(TStoreType storeType, const std::string& loadFrom);  // raises 17
    virtual void StoreRegistry(TIniStore& store);
    virtual void StoreIniFile(TIniStore& store);
    virtual void LoadRegistry(TIniStore& store);
    virtual void LoadIniFile(TIniStore& store);

    // --- events ---
    // "Delivered": on the main thread under smThreadSync/smWindowSync, on the event thread
    // under smNone (see the contract above).
    std::function<void(TCustomComPort*, int)> OnRxChar;              // delivered; bytes queued now
    std::function<void(TCustomComPort*, const char*, int)> OnRxBuf;  // delivered; bytes read
    std::function<void(TCustomComPort*)> OnTxEmpty;      // delivered; the driver sent all
    std::function<void(TCustomComPort*)> OnBreak;        // delivered
    std::function<void(TCustomComPort*)> OnRing;         // delivered; when a ring starts
    std::function<void(TCustomComPort*)> OnRxFlag;       // delivered; EventChar arrived
    std::function<void(TCustomComPort*)> OnRx80Full;     // delivered; queue passed 80 %
    std::function<void(TCustomComPort*)> OnAfterOpen;    // caller's thread, inside Open
    std::function<void(TCustomComPort*)> OnAfterClose;   // caller's thread, inside Close
    std::function<void(TCustomComPort*)> OnBeforeOpen;   // caller's thread, inside Open
    std::function<void(TCustomComPort*)> OnBeforeClose;  // caller's thread, inside Close
    // Delivered with the state read now; also from Open and Close on the caller's thread.
    std::function<void(TCustomComPort*, bool)> OnCTSChange;
    std::function<void(TCustomComPort*, bool)> OnDSRChange;
    std::function<void(TCustomComPort*, bool)> OnRLSDChange;
    // Delivered; ceIO once when the device is lost (it is then no longer watched).
    std::function<void(TCustomComPort*, TComErrors)> OnError;

  protected:
    virtual void CreateHandle();
    virtual void DestroyHandle();

    virtual void DoAfterClose();
    virtual void DoAfterOpen();
    virtual void DoBeforeClose();
    virtual void DoBeforeOpen();
    virtual void DoRxChar(int count);
    virtual void DoRxBuf(const char* buffer, int count);
    virtual void DoTxEmpty();
    virtual void DoBreak();
    virtual void DoRing();
    virtual void DoRxFlag();
    virtual void DoCTSChange(bool state);
    virtual void DoDSRChange(bool state);
    virtual void DoError(TComErrors errors);
    virtual void DoRLSDChange(bool state);
    virtual void DoRx80Full();

  private:
    friend class TComThread;
    friend void DoneAsync(PAsync& async);
    struct TCore;

    bool CanApply() const;
    void NotifyLinks(TComLinkEvent event, bool state);
    void NotifyTxBuf(const char* data, int count);
    void ReportSignalsAtOpen();
    void StopThread();
    void Deliver(TComEvents events, uint64_t generation);
    void RunWindowEvent(uint32_t flag, uint64_t generation);
    void ReportHandlerException(std::exception_ptr error);
    void CloseAfterRefusal();
    void ProgressWrites(bool block, TAsync* until);
    void ForgetAsync(TAsync* async);
    uint32_t TakeLineErrors();
    void KeepLineInForce();
    void RestoreLineInForce();

    std::string name_;
    bool loading_ = false;
    bool designing_ = false;
    std::vector<std::pair<const void*, std::function<void()>>> destroyListeners_;

    std::unique_ptr<TCore> core_;
    TMainThreadDispatcher* dispatcher_ = nullptr;
    std::unique_ptr<TComThread> eventThread_;
    bool threadCreated_ = false;
    int updateCount_ = 0;
    std::vector<TComLink*> links_;
    bool triggersOnRxChar_ = true;
    TThreadPriority threadPriority_ = tpNormal;
    bool hasLink_ = false;
    bool connected_ = false;
    TBaudRate baudRate_ = br9600;
    int32_t customBaudRate_ = 9600;
    std::string port_ = "COM1";
    TStopBits stopBits_ = sbOneStopBit;
    TDataBits dataBits_ = dbEight;
    bool discardNull_ = false;
    char eventChar_ = 0;
    TComEvents events_ = AllComEvents;
    TComBuffer buffer_;
    TComParity parity_;
    TComTimeouts timeouts_;
    TComFlowControl flowControl_;
    TSyncMethod syncMethod_ = smThreadSync;
    TStoredProps storedProps_ = {spBasic};
    // The line values the device held after the last apply that it took.
    struct TLineInForce {
        bool known = false;
        TBaudRate baudRate = br9600;
        int32_t customBaudRate = 9600;
        TDataBits dataBits = dbEight;
        TStopBits stopBits = sbOneStopBit;
        TParityBits parity = prNone;
    } lineInForce_;
    uint32_t refusedLine_ = 0;
};

class TComPort : public TCustomComPort {
  public:
    using TCustomComPort::TCustomComPort;
};

// Serial devices of this machine (device paths) in port order (see PortOrderLess); leaves
// list as it was when there is none. Never raises.
void EnumComPorts(std::vector<std::string>& list);
// The same read from other roots (prepared trees in tests).
void EnumComPorts(std::vector<std::string>& list, const std::string& sysfsRoot,
                  const std::string& devRoot, const std::string& tmpDir);

namespace zenta {

// Port order: USB and ACM adapters first, then links outside the device folder (the /tmp/tty*
// links of simulators), then the rest (built-in ports are rarely wired); inside a group
// numbers compare by value (ttyUSB2 before ttyUSB10) and letters ignore case.
bool PortOrderLess(const std::string& a, const std::string& b);

// "Vendor Model (serial)" of the adapter behind a device path, from udev when it knows the
// device, else from sysfs; empty when nothing is known (built-in ports, pseudo-terminals).
std::string FriendlyPortName(const std::string& devicePath, const std::string& sysfsRoot = "/sys");

// A port list entry: the device path, and after one blank the friendly name if there is one.
std::string PortListEntry(const std::string& devicePath, const std::string& sysfsRoot = "/sys");

// The entries of EnumComPorts, in its order.
std::vector<std::string> PortListEntries();

}  // namespace zenta
