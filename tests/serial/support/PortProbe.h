// Records what a port announces, in order.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "serial/CPort.h"

struct TPortProbe {
    std::vector<std::string> log;
    TComLink link;

    // Hooks the open/close related handlers of port and a link that records leConn.
    void Attach(TCustomComPort& port);
    void Clear() { log.clear(); }
};

// Drops every handler, so a port that outlives a test body's locals cannot call into them.
void ClearHandlers(TCustomComPort& port);

// The engine error code f raised (0 when it raised nothing); *sys gets the system code and
// *fault what the device made of it.
int CodeOf(const std::function<void()>& f, int* sys = nullptr,
           zenta::TDeviceFault* fault = nullptr);
