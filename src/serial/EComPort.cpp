#include "serial/EComPort.h"

#include <array>
#include <cstring>

namespace {

constexpr std::array<const char*, 23> kTexts = {"Unable to open com port",
                                                "WriteFile function failed",
                                                "ReadFile function failed",
                                                "Invalid Async parameter",
                                                "PurgeComm function failed",
                                                "Unable to get async status",
                                                "SetCommState function failed",
                                                "SetCommTimeouts failed",
                                                "SetupComm function failed",
                                                "ClearCommError function failed",
                                                "GetCommModemStatus function failed",
                                                "EscapeCommFunction function failed",
                                                "TransmitCommChar function failed",
                                                "Cannot set property while connected",
                                                "EnumPorts function failed",
                                                "Failed to store settings",
                                                "Failed to load settings",
                                                "Link (un)registration failed",
                                                "Cannot change led state if ComPort is selected",
                                                "Cannot wait for event if event thread is created",
                                                "WaitForEvent method failed",
                                                "A component is linked to OnRxBuf event",
                                                "Registry error"};

std::string MessageOf(int code, int systemCode) {
    std::string text = ComErrorText(code);
    if (systemCode > 0) {
        text += std::string(" (") + std::strerror(systemCode) + ")";
    }
    return text;
}

}  // namespace

std::string ComErrorText(int code) {
    if (code < 1 || code > static_cast<int>(kTexts.size())) {
        return {};
    }
    return kTexts[code - 1];
}

EComPort::EComPort(int code, int systemCode, zenta::TDeviceFault fault)
    : std::runtime_error(MessageOf(code, systemCode)),
      code_(code),
      systemCode_(systemCode),
      fault_(fault) {}
