// The serial port component: settings, lifecycle, event thread and data transfer.
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
    int Error = 0;  // errno of a failed request
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
    bool Connected() const { return connected_; }
    void SetConnected(bool value);
    TBaudRate BaudRate() const { return baudRate_; }
    void SetBaudRate(TBaudRate value);
    int32_t CustomBaudRate() const { return customBaudRate_; }
    void SetCustomBaudRate(int32_t value);
    const std::string& Port() const { return port_; }
    void SetPort(const std::string& value);
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
    void SetSyncMethod(TSyncMethod value);
    TThreadPriority EventThreadPriority() const { return threadPriority_; }
    void SetEventThreadPriority(TThreadPriority value);
    TStoredProps StoredProps() const { return storedProps_; }
    void SetStoredProps(TStoredProps value) { storedProps_ = value; }
    // True only while the stored flag is true and no link takes received data.
    bool TriggersOnRxChar() const { return triggersOnRxChar_ && !hasLink_; }
    void SetTriggersOnRxChar(bool value);
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
    void Open();
    void Close();
    void BeginUpdate();
    void EndUpdate();
    virtual void SetupComPort();
    void ShowSetupDialog();

    // Each a no-op while closed, inside an update block, loading or designing.
    virtual void ApplyDCB();
    virtual void ApplyTimeouts();
    virtual void ApplyBuffer();

    // --- line control and status ---
    void SetDTR(bool state);  // a gone device closes the port instead of raising
    void SetRTS(bool state);
    void SetBreak(bool state);
    void SetXonXoff(bool state);
    int InputCount();
    int OutputCount();
    TComStateFlags StateFlags();
    TComErrors LastErrors();
    TComSignals Signals();
    void ClearBuffer(bool input, bool output);

    // --- data transfer ---
    int Read(void* buffer, int count);
    int Write(const void* buffer, int count);
    int ReadStr(std::string& text, int count);
    int WriteStr(const std::string& text);
    int ReadAsync(void* buffer, int count, PAsync& async);
    int WriteAsync(const void* buffer, int count, PAsync& async);
    int ReadStrAsync(std::string& text, int count, PAsync& async);
    int WriteStrAsync(const std::string& text, PAsync& async);
    int WaitForAsync(PAsync& async);
    bool IsAsyncCompleted(PAsync async);
    void AbortAllAsync();
    void TransmitChar(char ch);

    // --- links and events ---
    void RegisterLink(TComLink* link);
    void UnRegisterLink(TComLink* link);
    // Blocking wait for events when no event thread runs. stopFd: a readable fd (e.g. an
    // eventfd) ends the wait, -1 for none. timeoutMs < 0 waits without limit.
    void WaitForEvent(TComEvents& events, int stopFd, int timeoutMs);

    // One event each; the event thread's delivery calls them on the main thread.
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
    void StoreSettings(TStoreType storeType, const std::string& storeTo);
    void LoadSettings(TStoreType storeType, const std::string& loadFrom);
    virtual void StoreRegistry(TIniStore& store);
    virtual void StoreIniFile(TIniStore& store);
    virtual void LoadRegistry(TIniStore& store);
    virtual void LoadIniFile(TIniStore& store);

    // --- events ---
    std::function<void(TCustomComPort*, int)> OnRxChar;
    std::function<void(TCustomComPort*, const char*, int)> OnRxBuf;
    std::function<void(TCustomComPort*)> OnTxEmpty;
    std::function<void(TCustomComPort*)> OnBreak;
    std::function<void(TCustomComPort*)> OnRing;
    std::function<void(TCustomComPort*)> OnRxFlag;
    std::function<void(TCustomComPort*)> OnRx80Full;
    std::function<void(TCustomComPort*)> OnAfterOpen;
    std::function<void(TCustomComPort*)> OnAfterClose;
    std::function<void(TCustomComPort*)> OnBeforeOpen;
    std::function<void(TCustomComPort*)> OnBeforeClose;
    std::function<void(TCustomComPort*, bool)> OnCTSChange;
    std::function<void(TCustomComPort*, bool)> OnDSRChange;
    std::function<void(TCustomComPort*, bool)> OnRLSDChange;
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
};

class TComPort : public TCustomComPort {
  public:
    using TCustomComPort::TCustomComPort;
};

// Serial devices of this machine (device paths), sorted.
void EnumComPorts(std::vector<std::string>& list);
void EnumComPorts(std::vector<std::string>& list, const std::string& sysfsRoot,
                  const std::string& devRoot, const std::string& tmpDir);
