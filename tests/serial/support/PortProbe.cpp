#include "serial/support/PortProbe.h"

void TPortProbe::Attach(TCustomComPort& port) {
    auto add = [this](const std::string& s) { log.push_back(s); };
    port.OnBeforeOpen = [add](TCustomComPort*) { add("BeforeOpen"); };
    port.OnAfterOpen = [add](TCustomComPort*) { add("AfterOpen"); };
    port.OnBeforeClose = [add](TCustomComPort*) { add("BeforeClose"); };
    port.OnAfterClose = [add](TCustomComPort*) { add("AfterClose"); };
    port.OnCTSChange = [add](TCustomComPort*, bool s) { add(s ? "CTS1" : "CTS0"); };
    port.OnDSRChange = [add](TCustomComPort*, bool s) { add(s ? "DSR1" : "DSR0"); };
    port.OnRLSDChange = [add](TCustomComPort*, bool s) { add(s ? "RLSD1" : "RLSD0"); };
    link.OnConn = [add](TCustomComPort*, bool s) { add(s ? "link+" : "link-"); };
    port.RegisterLink(&link);
}

void ClearHandlers(TCustomComPort& port) {
    port.OnRxChar = nullptr;
    port.OnRxBuf = nullptr;
    port.OnTxEmpty = nullptr;
    port.OnBreak = nullptr;
    port.OnRing = nullptr;
    port.OnRxFlag = nullptr;
    port.OnRx80Full = nullptr;
    port.OnAfterOpen = nullptr;
    port.OnAfterClose = nullptr;
    port.OnBeforeOpen = nullptr;
    port.OnBeforeClose = nullptr;
    port.OnCTSChange = nullptr;
    port.OnDSRChange = nullptr;
    port.OnRLSDChange = nullptr;
    port.OnError = nullptr;
}

int CodeOf(const std::function<void()>& f, int* sys, zenta::TDeviceFault* fault) {
    try {
        f();
    } catch (const EComPort& e) {
        if (sys) {
            *sys = e.SystemErrorCode();
        }
        if (fault) {
            *fault = e.Fault();
        }
        return e.ErrorCode();
    }
    return 0;
}
